// The object behind a kemsig handle: messages kept by key, the protocol, the
// J1939 transport sessions and the value descriptions of the last load.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "kemsig/src/J1939Reassembler.h"
#include "kemsig/include/kemsig.h"

namespace kemsig {

// The first 32 bytes of a DbcMessage record.
struct MessageHead {
    uint32_t nSignalCount;
    uint32_t nID;
    uint32_t nSize;
    uint32_t reserved;
    double nCycleTime;
    uint8_t nExtend;
    uint8_t padding0[7];
};
static_assert(sizeof(MessageHead) == offsetof(DbcMessage, sSignals), "message head");

// The last bytes of a DbcMessage record, after the signal slots.
struct MessageTail {
    char strName[128];
    char strComment[201];
    uint8_t padding1[7];
};
static_assert(sizeof(MessageTail) == sizeof(DbcMessage) - offsetof(DbcMessage, strName), "message tail");

// A message as the table keeps it: only the signal slots in use are stored,
// so a table of many messages does not hold 100 KB per message.
struct StoredMessage {
    MessageHead head{};
    MessageTail tail{};
    std::vector<DbcSignal> sigs;

    void assign(const DbcMessage &m);
    // Writes head, used slots and tail; with zeroUnused also clears the
    // slots past the count, so that the whole record is defined.
    void copyTo(DbcMessage *out, bool zeroUnused) const;
};

struct ValDesc {
    uint32_t msgId = 0;
    char signalName[128] = {};
    std::vector<DbcValDescPair> pairs;
};

struct MsgComment {
    uint32_t msgId = 0;
    char text[201] = {};
};

// One SIG_VALTYPE_ line: the signal's value type, 1 IEEE single, 2 IEEE
// double (0, the integer kind, is what every signal has without a line).
struct SigValType {
    uint32_t msgId = 0;
    char signalName[128] = {};
    uint8_t valType = 0;
};

struct SigComment {
    uint32_t msgId = 0;
    char signalName[128] = {};
    char text[201] = {};
};

// Field cutting and number reading of the DBC line grammar.
struct LineFields {
    // Finds the first `a` at or after `start`, then the first `b` after it;
    // the field lies strictly between them and `pos` becomes the index of
    // that `b`. Leaves `pos` unchanged and fails when either is missing.
    static bool takeField(std::string_view line, size_t start, char a, char b, std::string_view &field,
                          size_t &pos);
    // Unsigned decimal of the first 31 characters, 32-bit: blanks skipped,
    // stops at the first non-digit, "-" negates modulo 2^32, saturates.
    static uint32_t readUnsigned(std::string_view field);
    // Decimal floating-point number at the start of the field (classic
    // notation, blanks skipped); 0 when the field does not begin with one.
    static double readNumber(std::string_view field);
    // The line as the grammars cut it: outside quoted texts every run of
    // blanks and tabs is one blank, no blank stands before a colon and one
    // follows it, leading blanks are gone (a run at the end stays one
    // blank). Quoted texts ("...", with \" inside) are kept byte for byte.
    // Returns true when the line ends inside a quoted text.
    static bool normalize(std::string_view line, std::string &out);
    // True when the line holds an odd number of quotes that are not
    // escaped: a text open at its start closes in it.
    static bool togglesQuote(std::string_view line);
};

} // namespace kemsig

struct DbcDatabase {
public:
    DbcDatabase();
    ~DbcDatabase();
    DbcDatabase(const DbcDatabase &) = delete;
    DbcDatabase &operator=(const DbcDatabase &) = delete;

    bool valid() const { return j1939_.valid(); }

    uint32_t messageKey(uint32_t id) const;

    uint8_t loadFile(const char *path);
    // What the last load made of its file.
    const DbcLoadReport &loadReport() const { return report_; }
    // Parses DBC text that is already in memory (the body of loadFile).
    void loadText(std::string_view text);

    void setProtocol(int32_t p) { protocol_ = p; }
    int32_t protocol() const { return protocol_; }

    uint32_t messageCount() const { return uint32_t(messages_.size()); }
    bool messageByIndex(uint32_t index, DbcMessage *out);
    void insertMessage(const DbcMessage &m);
    void deleteMessage(uint32_t id);
    void clear();

    uint32_t valDescPairCount(uint32_t msgId, const char *name) const;
    uint32_t valDescPairs(uint32_t msgId, const char *name, DbcValDescPair *out, uint32_t maxCount) const;

    // frame: KCAN_CAN_OBJ (fdFlag 0, 8 data bytes) or KCAN_CANFD_OBJ (64).
    int32_t decode(const void *frame, int32_t fdFlag, DbcMessage *out);
    int32_t decodePlain(uint32_t id, const uint8_t *data, uint32_t len, DbcMessage *out);
    int32_t decodeJ1939(uint32_t id, const uint8_t *data, uint32_t len, DbcMessage *out);
    static uint32_t encode(uint8_t *data, uint32_t dataLen, const DbcMessage &m);

    kemsig::J1939Reassembler &j1939() { return j1939_; }

    // Line parsers; each returns whether the line parsed. Fields read before
    // a failing step stay written.
    static bool parseBoLine(std::string_view line, kemsig::StoredMessage &m);
    static bool parseSgLine(std::string_view line, DbcSignal &s);
    static bool parseValLine(std::string_view line, kemsig::ValDesc &v);
    static bool parseCmBoLine(std::string_view line, kemsig::MsgComment &c);
    static bool parseCmSgLine(std::string_view line, kemsig::SigComment &c);
    static bool parseValTypeLine(std::string_view line, kemsig::SigValType &v);

private:
    const kemsig::StoredMessage *findByKey(uint32_t key) const;
    int32_t decodeStored(const kemsig::StoredMessage &m, const uint8_t *data, uint32_t len, DbcMessage *out);
    void storeMessage(kemsig::StoredMessage &&m);
    void invalidateIndex() { indexValid_ = false; }

    std::map<uint32_t, kemsig::StoredMessage> messages_;
    int32_t protocol_ = KDBC_PROTOCOL_CAN;
    kemsig::J1939Reassembler j1939_;
    std::vector<kemsig::ValDesc> valDescs_;
    std::vector<kemsig::MsgComment> msgComments_;
    std::vector<kemsig::SigComment> sigComments_;
    DbcLoadReport report_{};

    // Position of the last index lookup, so that reading the table by
    // ascending index does not walk the map from the start every time.
    bool indexValid_ = false;
    uint32_t index_ = 0;
    std::map<uint32_t, kemsig::StoredMessage>::const_iterator indexIt_;
};

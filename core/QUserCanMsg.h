#pragma once
// The one frame record above the adapter library: every classic and CAN FD
// frame the program receives, sends, shows, stores or decodes travels as a
// QUserCanMsg, and so does every state report of the two send threads.
// Identifier, length and data are kept as text, the form the tables show and
// the user types.

#include <QMetaType>
#include <QString>
#include <QVector>

#include <cstdint>

#include "kemusb/include/kcan_records.h"

class QUserCanMsg
{
public:
    QUserCanMsg();
    QUserCanMsg(const QString &id, bool remote, bool extended, const QString &len, const QString &data);

    QString auxText1;
    QString auxText2;
    uint8_t sendType = 0;
    QString idText;
    uint8_t protocol = 0;      // 0 CAN, 1 CAN FD, 2 CAN FD with bit-rate switch
    uint8_t remote = 0;
    uint8_t extended = 0;
    uint8_t fdFlags = 0;       // received: adapter bits 0x08/0x10; to send: bit 0 BRS, bit 1 ESI
    QString lenText;
    QString dataText;
    uint8_t direction = 0;     // 1 sent by this program, 0 received
    uint8_t channel = 0;
    uint64_t devTime = 0;
    int64_t hostTime = 0;
    uint32_t sendTick = 0;
    uint32_t auxCount = 0;
    int32_t status = 0;
    uint8_t sendFailed = 0;
    uint8_t rowEnable = 0;

    // Identifier text trimmed and read as hexadecimal (signed 32 bits); 0 when
    // it does not parse or does not fit.
    int32_t getId() const;
    // Length text trimmed and read as decimal; 0 when it does not parse.
    uint32_t getLen() const;
};

// Status codes and sender tags carried in QUserCanMsg::status.
enum QUserCanMsgStatus : int32_t {
    MsgStatusBasicStart = 0,
    MsgStatusBasicEnd = 1,
    MsgStatusAdvStart = 2,
    MsgStatusAdvEnd = 3,
    MsgTagBasicSend = 100,
    MsgTagAdvanceSend = 101,
    MsgTagPlayBack = 102,
    MsgTagDbcSend = 103,
    MsgTagCanOpen = 104,
};

Q_DECLARE_METATYPE(QUserCanMsg)
Q_DECLARE_METATYPE(QUserCanMsg *)

// Registers "QUserCanMsg", "QUserCanMsg*" and "QVector<QUserCanMsg>" with the
// meta-type system; safe to call more than once, from any thread.
void registerCanMsgMetaTypes();

// ---- value-to-text (language 0 Chinese, 1 English; other codes: empty) ----
QString getDirText(int lang, bool sent);
QString getFrameFormatText(int lang, bool remote);
QString getFrameTypeText(int lang, bool extended);
QString getProtocolText(int lang, int protocol);

// ---- text-to-value (either language, case-sensitive) ----
bool isSendText(const QString &text);
bool isRemoteText(const QString &text);
bool isExtendText(const QString &text);
int getProtocolFromText(const QString &text);

// ---- identifiers ----
// True when the text (white space removed) is a hexadecimal number that fits
// 11 bits (standard) or 29 bits (extended). Empty or unparsable texts, and
// values beyond 32 bits, are invalid.
bool isCanIdValid(bool extended, QString idText);
// Rewrites the identifier as "%08X " masked to 11 or 29 bits. Always true.
bool formatCanIdText(bool extended, QString &idText);

// ---- host time ----
// Milliseconds since the epoch on the host clock (QUserHostClock.h).
int64_t getCurrentMs();
int64_t getElapsedMs(int64_t startMs);

// ---- data texts ----
bool insertSeparator(QString &text, const QString &separator, int n);
bool fitDataText(bool spaced, int byteCount, QString &text);

// ---- conversions to the adapter library's records ----
int msgToCanObj(const QUserCanMsg &msg, KCAN_CAN_OBJ &obj);
int msgToCanFdObj(const QUserCanMsg &msg, KCAN_CANFD_OBJ &obj);

// ---- conversions from received adapter records (the receive path) ----
// Identifier "%08X " of ID & 0x1FFFFFFF; length "%d" and the first DataLen
// bytes as "%02X" digits without separators (remote frames: "0" and empty);
// TimeStamp as device time. Classic: protocol 0. CAN FD: the flag byte
// unchanged, protocol 2 when it carries the bit-rate switch, else 1.
// Direction, channel and host time are left to the caller.
void canObjToMsg(const KCAN_CAN_OBJ &obj, QUserCanMsg &msg);
void canFdObjToMsg(const KCAN_CANFD_OBJ &obj, QUserCanMsg &msg);

// ---- fast text helpers shared by the receive path and the trace files ----
// "%08X " of the value.
QString idToText(uint32_t id);
// Two upper-case digits per byte, no separators.
QString bytesToHex(const uint8_t *data, int count);
// Decodes the hexadecimal digits of a text as the framework's hex decoder
// does: characters that are not hex digits are skipped, pairs are taken from
// the end, and an odd leading digit is a byte of its own. Writes at most
// `capacity` bytes in order and returns how many it wrote.
int hexTextToBytes(const QString &text, uint8_t *out, int capacity);
// Whole text (surrounding white space allowed) read as a number in `base`
// into 32-bit signed; ok=false when it does not parse or does not fit.
int32_t parseInt32(const QString &text, int base, bool *ok = nullptr);

#include "kemsig/src/DbcDatabase.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <locale.h>
#include <system_error>

#include "kemsig/src/SignalCodec.h"
#include "kemsig/src/TextCodec.h"

using namespace kemsig;

namespace kemsig {

namespace {

// Copies at most cap - 1 bytes and a NUL; the rest of dst stays as it was
// (the records are zeroed before they are filled).
template <size_t N>
void copyText(char (&dst)[N], std::string_view src)
{
    const size_t n = std::min(src.size(), N - 1);
    std::memcpy(dst, src.data(), n);
    dst[n] = '\0';
}

inline bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

inline bool isDigit(char c) { return c >= '0' && c <= '9'; }

locale_t classicLocale()
{
    static locale_t loc = newlocale(LC_ALL_MASK, "C", locale_t(0));
    return loc;
}

} // namespace

void StoredMessage::assign(const DbcMessage &m)
{
    std::memcpy(&head, &m, sizeof head);
    std::memcpy(&tail, m.strName, sizeof tail);
    const uint32_t n = std::min<uint32_t>(m.nSignalCount, KDBC_MAX_SIGNALS);
    head.nSignalCount = n;
    sigs.assign(m.sSignals, m.sSignals + n);
}

void StoredMessage::copyTo(DbcMessage *out, bool zeroUnused) const
{
    std::memcpy(out, &head, sizeof head);
    const size_t n = sigs.size();
    if (n)
        std::memcpy(out->sSignals, sigs.data(), n * sizeof(DbcSignal));
    if (zeroUnused && n < KDBC_MAX_SIGNALS)
        std::memset(out->sSignals + n, 0, (KDBC_MAX_SIGNALS - n) * sizeof(DbcSignal));
    std::memcpy(out->strName, &tail, sizeof tail);
}

bool LineFields::takeField(std::string_view line, size_t start, char a, char b, std::string_view &field,
                           size_t &pos)
{
    if (start >= line.size())
        return false;
    const size_t ia = line.find(a, start);
    if (ia == std::string_view::npos)
        return false;
    const size_t ib = line.find(b, ia + 1);
    if (ib == std::string_view::npos)
        return false;
    field = line.substr(ia + 1, ib - ia - 1);
    pos = ib;
    return true;
}

uint32_t LineFields::readUnsigned(std::string_view field)
{
    field = field.substr(0, std::min<size_t>(field.size(), 31));
    size_t i = 0;
    while (i < field.size() && isBlank(field[i]))
        ++i;
    bool neg = false;
    if (i < field.size() && (field[i] == '+' || field[i] == '-')) {
        neg = field[i] == '-';
        ++i;
    }
    uint64_t v = 0;
    bool overflow = false;
    for (; i < field.size() && isDigit(field[i]); ++i) {
        v = v * 10 + uint64_t(field[i] - '0');
        if (v > 0xFFFFFFFFull) {
            overflow = true;
            v = 0xFFFFFFFFull;
        }
    }
    if (overflow)
        return 0xFFFFFFFFu;
    return neg ? uint32_t(0u - uint32_t(v)) : uint32_t(v);
}

double LineFields::readNumber(std::string_view field)
{
    size_t i = 0;
    while (i < field.size() && isBlank(field[i]))
        ++i;
    const size_t begin = i;
    if (i < field.size() && (field[i] == '+' || field[i] == '-'))
        ++i;
    size_t digits = 0;
    while (i < field.size() && isDigit(field[i]))
        ++i, ++digits;
    if (i < field.size() && field[i] == '.') {
        ++i;
        while (i < field.size() && isDigit(field[i]))
            ++i, ++digits;
    }
    if (digits == 0)
        return 0.0;
    if (i < field.size() && (field[i] == 'e' || field[i] == 'E')) {
        size_t j = i + 1;
        if (j < field.size() && (field[j] == '+' || field[j] == '-'))
            ++j;
        if (j < field.size() && isDigit(field[j])) {
            while (j < field.size() && isDigit(field[j]))
                ++j;
            i = j;
        }
    }
    const char *first = field.data() + begin;
    const char *last = field.data() + i;
    bool neg = false;
    if (*first == '+' || *first == '-') {
        neg = *first == '-';
        ++first;
    }
    double v = 0.0;
    auto r = std::from_chars(first, last, v, std::chars_format::general);
    if (r.ec == std::errc::result_out_of_range) {
        std::string copy(first, last);
        v = strtod_l(copy.c_str(), nullptr, classicLocale());
    }
    return neg ? -v : v;
}

} // namespace kemsig

DbcDatabase::DbcDatabase() = default;
DbcDatabase::~DbcDatabase() = default;

uint32_t DbcDatabase::messageKey(uint32_t id) const
{
    switch (protocol_) {
    case KDBC_PROTOCOL_CAN:
        return id & 0x1FFFFFFFu;
    case KDBC_PROTOCOL_J1939:
        if (((id >> 20) & 0xF) == 0xF)
            return (id >> 8) & 0x1FFFFu;
        return (id & 0x1FF0000u) >> 8;
    default:
        return id;
    }
}

// ---------------------------------------------------------------- parsing

bool DbcDatabase::parseBoLine(std::string_view line, StoredMessage &m)
{
    std::string_view f;
    size_t pos = 0;
    if (!LineFields::takeField(line, pos, ' ', ' ', f, pos))
        return false;
    m.head.nID = LineFields::readUnsigned(f);
    m.head.nExtend = uint8_t(m.head.nID >> 31);
    if (!LineFields::takeField(line, pos, ' ', ':', f, pos))
        return false;
    copyText(m.tail.strName, f);
    if (!LineFields::takeField(line, pos, ' ', ' ', f, pos))
        return false;
    m.head.nSize = LineFields::readUnsigned(f);
    return m.head.nSize <= 64;
}

bool DbcDatabase::parseSgLine(std::string_view line, DbcSignal &s)
{
    std::string_view f;
    size_t pos = 0;
    if (!LineFields::takeField(line, pos, ' ', ' ', f, pos))
        return false;
    // The colon after the name ends the name-and-multiplexer part; blanks
    // may stand before it (aligned columns). A name written against its
    // colon ("S: 0|8...") ends at the colon.
    const size_t nameStart = size_t(f.data() - line.data());
    const size_t colon = line.find(':', nameStart);
    if (colon == std::string_view::npos)
        return false;
    if (colon < pos)
        f = line.substr(nameStart, colon - nameStart);
    copyText(s.strName, f);
    // A multiplexer mark ("m3" or "M") stands between the name and the
    // colon only: an "m" in the unit or the receivers belongs to them.
    const std::string_view mark = colon > pos ? line.substr(pos, colon - pos) : std::string_view();
    const size_t m = mark.find('m');
    if (m != std::string_view::npos) {
        s.multiplexerType = KDBC_MUX_MULTIPLEXED;
        s.multiplexerValue = int32_t(LineFields::readUnsigned(mark.substr(m + 1)));
    } else if (mark.find('M') != std::string_view::npos) {
        s.multiplexerType = KDBC_MUX_SWITCH;
    } else {
        s.multiplexerType = KDBC_MUX_NONE;
    }
    // The start bit follows the colon, after any blanks.
    if (!LineFields::takeField(line, colon, ':', '|', f, pos))
        return false;
    s.nStartBit = int32_t(LineFields::readUnsigned(f));
    if (!LineFields::takeField(line, pos, '|', '@', f, pos))
        return false;
    const uint32_t len = LineFields::readUnsigned(f);
    s.nLen = int32_t(len);
    // A field must stay inside the 64-bit raw value and start at a
    // non-negative bit; anything else would shift or index out of range.
    if (s.nStartBit < 0 || len > 64)
        return false;
    if (!LineFields::takeField(line, pos, '@', ' ', f, pos) || f.size() != 2)
        return false;
    s.isMotorola = f[0] == '0' ? 1 : 0;
    s.isSigned = f[1] != '+' ? 1 : 0;
    if (!LineFields::takeField(line, pos, '(', ',', f, pos))
        return false;
    s.nFactor = LineFields::readNumber(f);
    if (!LineFields::takeField(line, pos, ',', ')', f, pos))
        return false;
    s.nOffset = LineFields::readNumber(f);
    if (!LineFields::takeField(line, pos, '[', '|', f, pos))
        return false;
    s.nMin = LineFields::readNumber(f);
    if (!LineFields::takeField(line, pos, '|', ']', f, pos))
        return false;
    s.nMax = LineFields::readNumber(f);
    if (!LineFields::takeField(line, pos, '"', '"', f, pos))
        return false;
    copyText(s.unit, f);
    return true;
}

bool DbcDatabase::parseValLine(std::string_view line, ValDesc &v)
{
    std::string_view f;
    size_t pos = 0;
    if (!LineFields::takeField(line, pos, ' ', ' ', f, pos))
        return false;
    v.msgId = LineFields::readUnsigned(f);
    if (!LineFields::takeField(line, pos, ' ', ' ', f, pos))
        return false;
    copyText(v.signalName, f);
    while (v.pairs.size() < KDBC_MAX_VALDESC_PAIRS) {
        DbcValDescPair pair;
        std::memset(&pair, 0, sizeof pair);
        if (!LineFields::takeField(line, pos, ' ', ' ', f, pos))
            break;
        pair.value = LineFields::readNumber(f);
        if (!LineFields::takeField(line, pos, '"', '"', f, pos))
            break;
        const size_t n = std::min<size_t>(f.size(), 128);
        std::memcpy(pair.text, f.data(), n);
        v.pairs.push_back(pair);
    }
    return !v.pairs.empty();
}

bool DbcDatabase::parseCmBoLine(std::string_view line, MsgComment &c)
{
    std::string_view f;
    size_t pos = 0;
    if (!LineFields::takeField(line, pos, ' ', ' ', f, pos) || f != "BO_")
        return false;
    if (!LineFields::takeField(line, pos, ' ', ' ', f, pos))
        return false;
    c.msgId = LineFields::readUnsigned(f);
    if (!LineFields::takeField(line, pos, '"', '"', f, pos))
        return false;
    copyText(c.text, f);
    return true;
}

bool DbcDatabase::parseCmSgLine(std::string_view line, SigComment &c)
{
    std::string_view f;
    size_t pos = 0;
    if (!LineFields::takeField(line, pos, ' ', ' ', f, pos) || f != "SG_")
        return false;
    if (!LineFields::takeField(line, pos, ' ', ' ', f, pos))
        return false;
    c.msgId = LineFields::readUnsigned(f);
    if (!LineFields::takeField(line, pos, ' ', ' ', f, pos))
        return false;
    copyText(c.signalName, f);
    if (!LineFields::takeField(line, pos, '"', '"', f, pos))
        return false;
    copyText(c.text, f);
    return true;
}

bool DbcDatabase::parseValTypeLine(std::string_view line, SigValType &v)
{
    // SIG_VALTYPE_ id name : kind ;  (the name may stand against its colon)
    std::string_view f;
    size_t pos = 0;
    if (!LineFields::takeField(line, pos, ' ', ' ', f, pos))
        return false;
    v.msgId = LineFields::readUnsigned(f);
    size_t i = line.find_first_not_of(' ', pos);
    if (i == std::string_view::npos)
        return false;
    const size_t nameEnd = line.find_first_of(" :", i);
    if (nameEnd == std::string_view::npos || nameEnd == i)
        return false;
    copyText(v.signalName, line.substr(i, nameEnd - i));
    const size_t colon = line.find(':', nameEnd);
    if (colon == std::string_view::npos)
        return false;
    const std::string_view kind = line.substr(colon + 1);
    const size_t d = kind.find_first_not_of(' ');
    if (d == std::string_view::npos || !isDigit(kind[d]))
        return false;
    const uint32_t k = LineFields::readUnsigned(kind);
    if (k > 2)
        return false;
    v.valType = uint8_t(k);
    return true;
}

void DbcDatabase::storeMessage(StoredMessage &&m)
{
    m.head.nSignalCount = uint32_t(m.sigs.size());
    m.sigs.shrink_to_fit();
    messages_.insert_or_assign(messageKey(m.head.nID), std::move(m));
    invalidateIndex();
}

uint8_t DbcDatabase::loadFile(const char *path)
{
    valDescs_.clear();
    msgComments_.clear();
    sigComments_.clear();
    if (!path)
        return 0;
    // Only a regular file is read: a folder, a device such as /dev/zero or a
    // pipe would either fail half-way or never end, and opening a pipe waits
    // for its writer.
    std::error_code ec;
    const std::filesystem::path fsPath(path);
    if (!std::filesystem::is_regular_file(fsPath, ec))
        return 0;
    const uintmax_t declared = std::filesystem::file_size(fsPath, ec);
    if (ec || declared > KDBC_MAX_FILE_BYTES)
        return 0;
    FILE *fp = std::fopen(path, "rb");
    if (!fp)
        return 0;
    // Read at most one byte past the limit, whatever the size said: a file
    // that grows while it is read is refused like one that was too large.
    std::string text;
    text.resize(size_t(declared));
    size_t have = std::fread(&text[0], 1, text.size(), fp);
    text.resize(have);
    char buf[4096];
    size_t n;
    while (text.size() <= KDBC_MAX_FILE_BYTES && (n = std::fread(buf, 1, sizeof buf, fp)) > 0)
        text.append(buf, n);
    const bool readError = std::ferror(fp) != 0;
    std::fclose(fp);
    if (readError || text.size() > KDBC_MAX_FILE_BYTES)
        return 0;
    loadText(text);
    return 1;
}

void DbcDatabase::loadText(std::string_view text)
{
    valDescs_.clear();
    msgComments_.clear();
    sigComments_.clear();
    messages_.clear();
    invalidateIndex();

    // A file that is well-formed UTF-8 (after an optional byte-order mark)
    // is read as it is; any other file as code page 936. ASCII is both.
    bool isUtf8File = false;
    {
        std::string_view body = text;
        const bool bom = body.size() >= 3 && body.substr(0, 3) == "\xEF\xBB\xBF";
        if (bom)
            body.remove_prefix(3);
        if (kemsig::isUtf8(body)) {
            isUtf8File = true;
            text = body;
        }
    }

    Cp936ToUtf8 codec;
    std::string converted;
    std::vector<SigValType> valTypes;
    StoredMessage open;
    bool haveOpen = false;
    bool acceptsSignals = false;

    size_t at = 0;
    while (at < text.size()) {
        size_t eol = text.find('\n', at);
        const bool lastLine = eol == std::string_view::npos;
        std::string_view raw = text.substr(at, lastLine ? std::string_view::npos : eol - at);
        at = lastLine ? text.size() : eol + 1;
        // A CR before the LF belongs to the line end, as a text-mode read
        // would have it.
        if (!lastLine && !raw.empty() && raw.back() == '\r')
            raw.remove_suffix(1);
        // The line is handed on as a NUL-terminated string: an embedded NUL
        // ends it.
        const size_t nul = raw.find('\0');
        if (nul != std::string_view::npos)
            raw = raw.substr(0, nul);

        std::string_view line = raw;
        if (!isUtf8File) {
            codec.convert(raw, converted);
            line = converted;
        }
        const size_t lead = line.find_first_not_of(' ');
        if (lead == std::string_view::npos)
            continue;
        line.remove_prefix(lead);
        const size_t kwEnd = line.find(' ');
        if (kwEnd == std::string_view::npos)
            continue;
        const std::string_view kw = line.substr(0, kwEnd);

        if (kw == "BO_") {
            if (haveOpen)
                storeMessage(std::move(open));
            open = StoredMessage();
            haveOpen = true;
            acceptsSignals = parseBoLine(line, open);
        } else if (kw == "SG_") {
            if (!acceptsSignals || open.sigs.size() >= KDBC_MAX_SIGNALS)
                continue;
            DbcSignal s;
            std::memset(&s, 0, sizeof s);
            if (parseSgLine(line, s))
                open.sigs.push_back(s);
        } else if (kw == "VAL_") {
            ValDesc v;
            if (parseValLine(line, v))
                valDescs_.push_back(std::move(v));
        } else if (kw == "SIG_VALTYPE_") {
            SigValType v;
            if (parseValTypeLine(line, v))
                valTypes.push_back(v);
        } else if (kw == "CM_") {
            std::string_view second;
            size_t pos = 0;
            if (!LineFields::takeField(line, kwEnd, ' ', ' ', second, pos))
                continue;
            if (second == "BO_") {
                MsgComment c;
                if (parseCmBoLine(line, c))
                    msgComments_.push_back(c);
            } else if (second == "SG_") {
                SigComment c;
                if (parseCmSgLine(line, c))
                    sigComments_.push_back(c);
            }
        }
    }
    if (haveOpen)
        storeMessage(std::move(open));

    for (const MsgComment &c : msgComments_) {
        auto it = messages_.find(messageKey(c.msgId));
        if (it == messages_.end())
            continue;
        std::memset(it->second.tail.strComment, 0, sizeof it->second.tail.strComment);
        std::memcpy(it->second.tail.strComment, c.text, 200);
    }
    for (const SigComment &c : sigComments_) {
        auto it = messages_.find(messageKey(c.msgId));
        if (it == messages_.end())
            continue;
        for (DbcSignal &s : it->second.sigs) {
            if (std::strncmp(s.strName, c.signalName, 127) == 0) {
                std::memset(s.strComment, 0, sizeof s.strComment);
                std::memcpy(s.strComment, c.text, 200);
                break;
            }
        }
    }
    for (const SigValType &v : valTypes) {
        auto it = messages_.find(messageKey(v.msgId));
        if (it == messages_.end())
            continue;
        for (DbcSignal &s : it->second.sigs) {
            if (std::strncmp(s.strName, v.signalName, 127) == 0) {
                s.valType = v.valType;
                break;
            }
        }
    }
    msgComments_.clear();
    msgComments_.shrink_to_fit();
    sigComments_.clear();
    sigComments_.shrink_to_fit();
}

// ------------------------------------------------------------ the table

bool DbcDatabase::messageByIndex(uint32_t index, DbcMessage *out)
{
    if (index >= messages_.size())
        return false;
    if (!out)
        return true;
    if (!indexValid_ || index < index_) {
        indexIt_ = messages_.cbegin();
        index_ = 0;
        indexValid_ = true;
    }
    while (index_ < index) {
        ++indexIt_;
        ++index_;
    }
    indexIt_->second.copyTo(out, true);
    return true;
}

void DbcDatabase::insertMessage(const DbcMessage &m)
{
    StoredMessage s;
    s.assign(m);
    messages_.insert_or_assign(messageKey(s.head.nID), std::move(s));
    invalidateIndex();
}

void DbcDatabase::deleteMessage(uint32_t id)
{
    messages_.erase(messageKey(id));
    invalidateIndex();
}

void DbcDatabase::clear()
{
    messages_.clear();
    valDescs_.clear();
    invalidateIndex();
}

uint32_t DbcDatabase::valDescPairCount(uint32_t msgId, const char *name) const
{
    if (!name)
        return 0;
    for (const ValDesc &v : valDescs_)
        if (v.msgId == msgId && std::strcmp(v.signalName, name) == 0)
            return uint32_t(v.pairs.size());
    return 0;
}

uint32_t DbcDatabase::valDescPairs(uint32_t msgId, const char *name, DbcValDescPair *out,
                                   uint32_t maxCount) const
{
    if (!name || !out)
        return 0;
    uint32_t copied = 0;
    for (const ValDesc &v : valDescs_) {
        if (v.msgId != msgId || std::strcmp(v.signalName, name) != 0)
            continue;
        copied = std::min<uint32_t>(uint32_t(v.pairs.size()), maxCount);
        if (copied)
            std::memcpy(out, v.pairs.data(), copied * sizeof(DbcValDescPair));
    }
    return copied;
}

// ------------------------------------------------------------- decoding

const StoredMessage *DbcDatabase::findByKey(uint32_t key) const
{
    auto it = messages_.find(key);
    return it == messages_.end() ? nullptr : &it->second;
}

int32_t DbcDatabase::decodeStored(const StoredMessage &m, const uint8_t *data, uint32_t len, DbcMessage *out)
{
    // Only what a caller reads is written: header, used slots and texts.
    m.copyTo(out, false);
    const uint32_t n = uint32_t(m.sigs.size());
    for (uint32_t i = 0; i < n; ++i)
        extractSignal(data, len, out->sSignals[i]);
    return 0;
}

int32_t DbcDatabase::decode(const void *frame, int32_t fdFlag, DbcMessage *out)
{
    if (!frame || !out)
        return -1;
    const uint8_t *f = static_cast<const uint8_t *>(frame);
    uint32_t id;
    std::memcpy(&id, f, sizeof id);
    uint32_t len = f[12];
    // The data area of the record bounds what may be read.
    const uint32_t room = fdFlag ? 64u : 8u;
    if (len > room)
        len = room;
    const uint8_t *data = f + 16;
    switch (protocol_) {
    case KDBC_PROTOCOL_CAN:
        return decodePlain(id, data, len, out);
    case KDBC_PROTOCOL_J1939:
        return decodeJ1939(id, data, len, out);
    default:
        return -1;
    }
}

int32_t DbcDatabase::decodePlain(uint32_t id, const uint8_t *data, uint32_t len, DbcMessage *out)
{
    const StoredMessage *m = findByKey(messageKey(id));
    if (!m || !out)
        return -1;
    return decodeStored(*m, data, len, out);
}

int32_t DbcDatabase::decodeJ1939(uint32_t id, const uint8_t *data, uint32_t len, DbcMessage *out)
{
    if (!out)
        return -1;
    j1939_.expire();
    const uint32_t key = messageKey(id);
    if (key == 0xEB00) {
        const J1939Session *s = nullptr;
        const uint8_t seq = data[0];
        const uint32_t count = len ? len - 1 : 0;
        if (j1939_.storePacket(uint16_t(id & 0xFFFF), seq, data + 1, count, &s) != J1939Reassembler::Complete)
            return -1;
        // Decode only once the announced bytes are all here, and never past
        // the session buffer.
        if (s->received < s->totalSize)
            return -1;
        const uint32_t size = std::min<uint32_t>(s->totalSize, KDBC_J1939_MAX_BYTES);
        const StoredMessage *m = findByKey(s->pgn);
        if (!m)
            return -1;
        return decodeStored(*m, s->data, size, out);
    }
    if (key == 0xEC00) {
        if (data[0] == 16 || data[0] == 32) {
            j1939_.openSession(uint16_t(id & 0xFFFF), uint16_t(data[1] | (data[2] << 8)), data[3],
                               uint32_t(data[5]) | (uint32_t(data[6]) << 8) | (uint32_t(data[7]) << 16));
        }
        return -1;
    }
    const StoredMessage *m = findByKey(key);
    if (!m)
        return -1;
    return decodeStored(*m, data, len, out);
}

uint32_t DbcDatabase::encode(uint8_t *data, uint32_t dataLen, const DbcMessage &m)
{
    if (data) {
        // A caller's count beyond the record's signal array would read past it.
        const uint32_t n = std::min<uint32_t>(m.nSignalCount, KDBC_MAX_SIGNALS);
        for (uint32_t i = 0; i < n; ++i)
            insertSignal(data, dataLen, m.sSignals[i]);
    }
    return m.nSize;
}

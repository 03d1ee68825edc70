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
#include "kemsig/src/FileEncoding.h"
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

// A DBC keyword: capitals, digits and underscores, ending with one
// ("BA_DEF_", "NS_DESC_", "BS_:"), or one of the two without ("VERSION").
bool isKeyword(std::string_view w)
{
    if (!w.empty() && w.back() == ':')
        w.remove_suffix(1);
    if (w == "VERSION" || w == "FILTER")
        return true;
    if (w.size() < 2 || w.back() != '_')
        return false;
    for (char c : w)
        if (!((c >= 'A' && c <= 'Z') || isDigit(c) || c == '_'))
            return false;
    return true;
}

// "VAL_ id name ;" (rest: what follows the keyword): a value table
// without entries.
bool emptyValueTable(std::string_view rest)
{
    const size_t a = rest.find(' ');
    if (a == std::string_view::npos)
        return false;
    std::string_view t = rest.substr(a + 1);
    const size_t e = t.find_first_of(" ;");
    if (e == std::string_view::npos || e == 0)
        return false;
    bool semicolon = false;
    for (char c : t.substr(e)) {
        if (c == ';' && !semicolon)
            semicolon = true;
        else if (c != ' ')
            return false;
    }
    return semicolon;
}

// A SG_ line whose mark is both a page and a switch ("m3M"): a cascaded
// switch of extended multiplexing.
bool cascadedSwitch(std::string_view line)
{
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos)
        return false;
    const std::string_view head = line.substr(0, colon);
    const size_t mark = head.rfind(' ');
    if (mark == std::string_view::npos || mark == head.find(' '))
        return false; // no mark after the name
    const std::string_view m = head.substr(mark + 1);
    if (m.size() < 3 || m.front() != 'm' || m.back() != 'M')
        return false;
    for (size_t i = 1; i + 1 < m.size(); ++i)
        if (!isDigit(m[i]))
            return false;
    return true;
}

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

bool LineFields::normalize(std::string_view line, std::string &out)
{
    out.clear();
    out.reserve(line.size() + 8);
    bool quoted = false;
    bool blank = false; // a blank is due before the next character
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            out += c;
            if (c == '\\' && i + 1 < line.size() && line[i + 1] == '"') {
                out += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            }
            continue;
        }
        if (isBlank(c)) {
            blank = true;
            continue;
        }
        if (c == ':') {
            out += ':';
            blank = true;
            continue;
        }
        if (blank && !out.empty())
            out += ' ';
        blank = false;
        out += c;
        if (c == '"')
            quoted = true;
    }
    if (blank && !out.empty())
        out += ' ';
    return quoted;
}

bool LineFields::togglesQuote(std::string_view line)
{
    bool odd = false;
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '\\' && i + 1 < line.size() && line[i + 1] == '"')
            ++i;
        else if (line[i] == '"')
            odd = !odd;
    }
    return odd;
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
    // The name never keeps the blanks before its colon ("DSU_CRUISE : 7").
    while (!f.empty() && isBlank(f.back()))
        f.remove_suffix(1);
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
    // Byte order and sign: the two characters after the "@", ended by a
    // blank or the factor's parenthesis.
    const size_t at = line.find('@', pos);
    if (at == std::string_view::npos || at + 3 > line.size())
        return false;
    const size_t after = line.find_first_of(" (", at + 1);
    if (after == std::string_view::npos || after != at + 3)
        return false;
    s.isMotorola = line[at + 1] == '0' ? 1 : 0;
    s.isSigned = line[at + 2] != '+' ? 1 : 0;
    pos = after;
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
    // A value table of an environment variable names the variable here:
    // it belongs to no message.
    if (f.empty() || !isDigit(f[0]))
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
    report_ = DbcLoadReport{};
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
    report_ = DbcLoadReport{};

    // The whole file decides its encoding; every line is turned into UTF-8
    // before it is cut.
    const FileEncoding encoding = detectEncoding(text);
    if (encoding == FileEncoding::Utf8Bom)
        text.remove_prefix(byteOrderMarkLength(text));
    report_.nEncoding = uint32_t(encoding);
    LineDecoder decoder(encoding);

    // The next raw line from `at`: the CR of a CR LF pair is the line end,
    // as a text-mode read would have it, and an embedded NUL ends the line
    // (lines were NUL-terminated strings).
    auto nextLine = [&text](size_t &at, std::string_view &raw) {
        if (at >= text.size())
            return false;
        const size_t eol = text.find('\n', at);
        const bool lastLine = eol == std::string_view::npos;
        raw = text.substr(at, lastLine ? std::string_view::npos : eol - at);
        at = lastLine ? text.size() : eol + 1;
        if (!lastLine && !raw.empty() && raw.back() == '\r')
            raw.remove_suffix(1);
        const size_t nul = raw.find('\0');
        if (nul != std::string_view::npos)
            raw = raw.substr(0, nul);
        return true;
    };

    std::string converted, normal, ahead;
    std::vector<SigValType> valTypes;
    StoredMessage open;
    bool haveOpen = false;
    bool acceptsSignals = false;
    uint32_t lineNo = 0;
    // Past this offset no line closes a quoted text: a text left open after
    // it looks no further (one search to the end of the file at most).
    size_t noCloserFrom = std::string_view::npos;

    auto damaged = [&] {
        if (report_.nDamagedLines++ == 0)
            report_.nFirstDamagedLine = lineNo;
    };
    auto extMux = [&] {
        if (report_.nExtMuxLines++ == 0)
            report_.nFirstExtMuxLine = lineNo;
    };
    auto readOk = [&] { ++report_.nReadLines; };

    size_t at = 0;
    std::string_view raw;
    while (nextLine(at, raw)) {
        ++lineNo;
        const bool openQuote = LineFields::normalize(decoder.decode(raw, converted), normal);
        const std::string_view line = normal;
        if (line.empty())
            continue;
        const size_t kwEnd = line.find(' ');
        const std::string_view kw = line.substr(0, kwEnd);
        const std::string_view rest = kwEnd == std::string_view::npos ? std::string_view() : line.substr(kwEnd + 1);

        // Comments and attribute values may run over several lines: the
        // statement ends with the line that closes its text. kemsig reads
        // neither kind over several lines; they are passed over whole.
        if (openQuote && (kw == "CM_" || kw.substr(0, 3) == "BA_") && at < noCloserFrom) {
            size_t scan = at;
            uint32_t lines = 0;
            bool closed = false;
            std::string_view next;
            while (nextLine(scan, next)) {
                ++lines;
                if (LineFields::togglesQuote(decoder.decode(next, ahead))) {
                    closed = true;
                    break;
                }
            }
            if (closed) {
                at = scan;
                lineNo += lines;
                continue;
            }
            noCloserFrom = at;
        }

        if (kw.substr(0, 2) == "//")
            continue; // a comment line, as other tools take them
        if (rest.empty()) {
            // One word alone: the keyword list of the NS_ block, "BS_:".
            if (!isKeyword(kw))
                damaged();
            continue;
        }

        if (kw == "BO_") {
            if (haveOpen)
                storeMessage(std::move(open));
            open = StoredMessage();
            haveOpen = true;
            acceptsSignals = parseBoLine(line, open);
            if (acceptsSignals)
                readOk();
            else
                damaged();
        } else if (kw == "SG_") {
            if (!haveOpen) {
                damaged(); // a signal of no message
                continue;
            }
            // The signals of a message line that did not parse go with it,
            // and a message holds 256 signals.
            if (!acceptsSignals || open.sigs.size() >= KDBC_MAX_SIGNALS)
                continue;
            DbcSignal s;
            std::memset(&s, 0, sizeof s);
            if (!parseSgLine(line, s)) {
                damaged();
                continue;
            }
            open.sigs.push_back(s);
            readOk();
            if (cascadedSwitch(line))
                extMux();
        } else if (kw == "VAL_") {
            ValDesc v;
            if (parseValLine(line, v)) {
                valDescs_.push_back(std::move(v));
                readOk();
            } else if (!isDigit(rest[0]) || emptyValueTable(rest)) {
                // The values of an environment variable, or a table
                // without entries: nothing for a signal.
            } else {
                damaged();
            }
        } else if (kw == "SIG_VALTYPE_") {
            SigValType v;
            if (parseValTypeLine(line, v)) {
                valTypes.push_back(v);
                readOk();
            } else {
                damaged();
            }
        } else if (kw == "CM_") {
            const std::string_view second = rest.substr(0, rest.find(' '));
            if (second == "BO_") {
                MsgComment c;
                if (parseCmBoLine(line, c)) {
                    msgComments_.push_back(c);
                    readOk();
                } else {
                    damaged();
                }
            } else if (second == "SG_") {
                SigComment c;
                if (parseCmSgLine(line, c)) {
                    sigComments_.push_back(c);
                    readOk();
                } else {
                    damaged();
                }
            } else if (rest[0] != '"' && second != "BU_" && second != "EV_") {
                damaged(); // general, node and variable comments are not read
            }
        } else if (kw == "SG_MUL_VAL_") {
            extMux();
        } else if (!isKeyword(kw)) {
            damaged();
        }
        // Every other statement (attributes, value tables, node lists,
        // signal groups, environment variables) is not read.
    }
    report_.nLines = lineNo;
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

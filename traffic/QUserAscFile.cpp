#include "traffic/QUserAscFile.h"

#include "traffic/QUserTraceText.h"

#include <QDateTime>
#include <QDebug>
#include <QLocale>
#include <QLoggingCategory>

#include <array>
#include <cstring>

// Per-line debug output of CAN FD lines; off unless the category is enabled.
Q_LOGGING_CATEGORY(lcAscLine, "orvane.traffic.asc", QtInfoMsg)

namespace {

constexpr int kFlushEvery = 100;
constexpr int kReadChunk = 16 * 1024;

inline bool isBlank(char c) { return c == ' ' || (c >= 9 && c <= 13); }

// ---- number readers with the rules of the framework's text conversions ----

bool readUnsigned(const char *p, int n, int base, uint64_t limit, uint64_t &value)
{
    if (n > 0 && *p == '+') {
        ++p;
        --n;
    }
    if (base == 16 && n > 2 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
        p += 2;
        n -= 2;
    }
    if (n <= 0)
        return false;
    uint64_t v = 0;
    for (int i = 0; i < n; ++i) {
        int d;
        const char c = p[i];
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            return false;
        if (v > (limit - uint64_t(d)) / uint64_t(base))
            return false;
        v = v * uint64_t(base) + uint64_t(d);
    }
    value = v;
    return true;
}

bool readInt(const char *p, int n, int &value)
{
    bool neg = false;
    if (n > 0 && (*p == '-' || *p == '+')) {
        neg = *p == '-';
        ++p;
        --n;
    }
    uint64_t v;
    if (!readUnsigned(p, n, 10, neg ? 2147483648ull : 2147483647ull, v))
        return false;
    value = neg ? int(-int64_t(v)) : int(v);
    return true;
}

// ---- the parts of a line, as byte spans or as a text list ----

// "0" to "99", built once.
const QString &smallNumberText(int v)
{
    static const std::array<QString, 100> texts = [] {
        std::array<QString, 100> t;
        for (int k = 0; k < 100; ++k)
            t[size_t(k)] = QString::number(k);
        return t;
    }();
    return texts[size_t(v)];
}

struct SpanParts {
    struct Span {
        const char *p;
        int n;
    };
    Span items[160];
    int count = 0;

    int size() const { return count; }
    bool eq(int i, const char *lit) const
    {
        const int l = int(std::strlen(lit));
        return items[i].n == l && std::memcmp(items[i].p, lit, size_t(l)) == 0;
    }
    int indexOf(int i, char c) const
    {
        const void *f = std::memchr(items[i].p, c, size_t(items[i].n));
        return f ? int(static_cast<const char *>(f) - items[i].p) : -1;
    }
    uint64_t u64(int i, int from, int len) const
    {
        uint64_t v = 0;
        const int n = items[i].n;
        if (from > n)
            from = n;
        if (len < 0 || from + len > n)
            len = n - from;
        return readUnsigned(items[i].p + from, len, 10, ~uint64_t(0), v) ? v : 0;
    }
    int toInt(int i) const
    {
        int v = 0;
        return readInt(items[i].p, items[i].n, v) ? v : 0;
    }
    // Character k of part i (k within the part).
    char at(int i, int k) const { return items[i].p[k]; }
    int length(int i) const { return items[i].n; }
    QString text(int i) const
    {
        // Lengths and DLCs ("8", "64") come back as shared texts, which
        // spares an allocation per frame.
        const Span &sp = items[i];
        if (sp.n == 1 && sp.p[0] >= '0' && sp.p[0] <= '9')
            return smallNumberText(sp.p[0] - '0');
        if (sp.n == 2 && sp.p[0] >= '1' && sp.p[0] <= '9' && sp.p[1] >= '0' && sp.p[1] <= '9')
            return smallNumberText((sp.p[0] - '0') * 10 + (sp.p[1] - '0'));
        return QString::fromLatin1(sp.p, sp.n);
    }
    QString join(int from, int n) const
    {
        int total = 0;
        for (int k = 0; k < n; ++k)
            total += items[from + k].n;
        QString s(total, Qt::Uninitialized);
        QChar *d = s.data();
        for (int k = 0; k < n; ++k) {
            const Span &sp = items[from + k];
            for (int j = 0; j < sp.n; ++j)
                *d++ = QChar(uchar(sp.p[j]));
        }
        return s;
    }
};

struct ListParts {
    const QStringList &l;
    int size() const { return l.size(); }
    bool eq(int i, const char *lit) const { return l[i] == QLatin1String(lit); }
    int indexOf(int i, char c) const { return l[i].indexOf(QLatin1Char(c)); }
    uint64_t u64(int i, int from, int len) const
    {
        bool ok = false;
        const qulonglong v = l[i].mid(from, len).toULongLong(&ok, 10);
        return ok ? v : 0;
    }
    int toInt(int i) const
    {
        bool ok = false;
        const int v = l[i].toInt(&ok, 10);
        return ok ? v : 0;
    }
    char at(int i, int k) const
    {
        const ushort c = l[i].at(k).unicode();
        return c < 0x80 ? char(c) : '\0';
    }
    int length(int i) const { return l[i].size(); }
    QString text(int i) const { return l[i]; }
    QString join(int from, int n) const
    {
        QString s;
        for (int k = 0; k < n; ++k)
            s += l[from + k];
        return s;
    }
};

const char kHexLower[] = "0123456789abcdef";
const char kHexUpper[] = "0123456789ABCDEF";

// How the numbers of the frame lines are written: the file's "base hex" or
// "base dec" line says (hex until one says otherwise).
enum class Base { Hex, Dec };

template <class P>
bool readTime(const P &parts, int64_t &ms)
{
    const int dot = parts.indexOf(0, '.');
    if (dot < 0)
        return false;
    // Milliseconds are the first three decimals; a shorter fraction stands for
    // tenths or hundredths ("0.25" is 250 ms), not for the last digits of a
    // millisecond count, or times of files written with fewer decimals shrink.
    const int decimals = parts.length(0) - dot - 1;
    uint64_t frac = parts.u64(0, dot + 1, 3);
    for (int k = decimals; k < 3; ++k)
        frac *= 10;
    ms = int64_t(parts.u64(0, 0, dot) * 1000 + frac);
    return true;
}

inline int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The identifier field: hex (or decimal) digits, "x" after them for an
// extended frame. Anything else ("ErrorFrame", statistics and other events
// in the place of the identifier) is no frame. The value must fit 32 bits.
template <class P>
bool readId(const P &parts, int i, Base base, QUserCanMsg &msg)
{
    int n = parts.length(i);
    const char last = n > 0 ? parts.at(i, n - 1) : '\0';
    const bool ext = last == 'x' || last == 'X';
    if (ext)
        --n;
    if (n <= 0)
        return false;
    uint64_t v = 0;
    const int radix = base == Base::Dec ? 10 : 16;
    for (int k = 0; k < n; ++k) {
        const int d = hexDigit(parts.at(i, k));
        if (d < 0 || d >= radix)
            return false;
        v = v * uint64_t(radix) + uint64_t(d);
        if (v > 0xFFFFFFFFu)
            return false;
    }
    msg.extended = ext ? 1 : 0;
    QString id(8, Qt::Uninitialized);
    QChar *d = id.data();
    for (int k = 7; k >= 0; --k)
        d[7 - k] = QChar(kHexLower[(v >> (4 * k)) & 0xF]);
    msg.idText = id;
    return true;
}

// The data bytes as hex digits without separators: hex parts unchanged,
// decimal parts (0 to 255) converted. False when a decimal part is none.
template <class P>
bool readData(const P &parts, int from, int count, Base base, QString &out)
{
    if (base == Base::Hex) {
        out = parts.join(from, count);
        return true;
    }
    QString s(2 * count, Qt::Uninitialized);
    QChar *d = s.data();
    for (int k = 0; k < count; ++k) {
        const int n = parts.length(from + k);
        if (n < 1 || n > 3)
            return false;
        int v = 0;
        for (int j = 0; j < n; ++j) {
            const char c = parts.at(from + k, j);
            if (c < '0' || c > '9')
                return false;
            v = v * 10 + (c - '0');
        }
        if (v > 255)
            return false;
        *d++ = QChar(kHexUpper[v >> 4]);
        *d++ = QChar(kHexUpper[v & 0xF]);
    }
    out = s;
    return true;
}

// Classic line: <time> <channel> <id> <dir> d <dlc> <data...> [more fields],
// or a remote frame <time> <channel> <id> <dir> r [<dlc> ...]. The DLC of a
// "base hex" file is one hex digit; 9 to F stand for 8 bytes in classic CAN.
template <class P>
bool parseClassic(const P &parts, Base base, QUserCanMsg &msg)
{
    if (parts.size() < 5)
        return false;
    const bool remote = parts.eq(4, "r");
    if (!remote && (!parts.eq(4, "d") || parts.size() < 6))
        return false;
    int64_t ms;
    if (!readTime(parts, ms))
        return false;
    if (!readId(parts, 2, base, msg))
        return false;
    msg.protocol = 0;
    msg.fdFlags = 0;
    msg.hostTime = ms;
    msg.channel = uint8_t(parts.toInt(1) - 1);
    msg.direction = parts.eq(3, "Rx") ? 0 : 1;
    msg.remote = remote ? 1 : 0;
    if (remote) {
        msg.lenText = QStringLiteral("0");
        msg.dataText.clear();
        return true;
    }
    const int hexDlc = base == Base::Hex && parts.length(5) == 1 ? hexDigit(parts.at(5, 0)) : -1;
    const int n = hexDlc >= 0 ? hexDlc : parts.toInt(5);
    const int m = n < 0 ? 0 : (n > 8 ? 8 : n);
    if (parts.size() - 6 < m)
        return false;
    if (!readData(parts, 6, m, base, msg.dataText))
        return false;
    // A classic frame carries at most 8 bytes whatever its DLC says (9 to F
    // in a hex file, or a two-digit DLC some tools write): its length is
    // the byte count, not the DLC.
    msg.lenText = QString::number(m);
    return true;
}

// A part of hex digits (at most 8) as a number; false for anything else.
template <class P>
bool readHexPart(const P &parts, int i, uint32_t &value)
{
    const int n = parts.length(i);
    if (n < 1 || n > 8)
        return false;
    uint32_t v = 0;
    for (int k = 0; k < n; ++k) {
        const int d = hexDigit(parts.at(i, k));
        if (d < 0)
            return false;
        v = (v << 4) | uint32_t(d);
    }
    value = v;
    return true;
}

// Bits of the flags field of a CAN FD line.
constexpr uint32_t kFdLineRemote = 0x0010;
constexpr uint32_t kFdLineEdl = 0x1000;

// CAN FD line: <time> CANFD <channel> <dir> <id> [<symbolic name>] <brs>
// <esi> <dlc> <length> <data...> [more fields]. A name is there when the
// field after the identifier is not the bit-rate switch (0 or 1): message
// names never are a bare digit.
template <class P>
bool parseCanFd(const P &parts, Base base, QUserCanMsg &msg)
{
    // Channel, direction, identifier, bit-rate switch, error state, DLC and
    // length must all be there.
    if (parts.size() < 9)
        return false;
    if (!parts.eq(3, "Rx") && !parts.eq(3, "Tx"))
        return false;
    int64_t ms;
    if (!readTime(parts, ms))
        return false;
    if (!readId(parts, 4, base, msg))
        return false;
    const int k = parts.eq(5, "0") || parts.eq(5, "1") ? 5 : 6;
    if (parts.size() < k + 4)
        return false;
    const int n = parts.toInt(k + 3);
    const int m = n < 0 ? 0 : (n > 64 ? 64 : n);
    if (parts.size() - (k + 4) < m)
        return false;
    if (!readData(parts, k + 4, m, base, msg.dataText))
        return false;
    const bool brs = parts.eq(k, "1");
    msg.remote = 0;
    msg.hostTime = ms;
    msg.channel = uint8_t(parts.toInt(2) - 1);
    msg.direction = parts.eq(3, "Rx") ? 0 : 1;
    // After the data: duration, bit count, then the flags. A frame with the
    // remote bit and without EDL is a classic remote frame that a CAN FD
    // channel saw (CAN FD has none); its DLC is the length it asks for.
    // Lines without the flags are taken as CAN FD frames.
    uint32_t flags = 0;
    const int flagsAt = k + 4 + m + 2;
    if (flagsAt < parts.size() && readHexPart(parts, flagsAt, flags) && (flags & kFdLineRemote)
        && !(flags & kFdLineEdl)) {
        const int code = base == Base::Hex && parts.length(k + 2) == 1 ? hexDigit(parts.at(k + 2, 0))
                                                                      : parts.toInt(k + 2);
        msg.protocol = 0;
        msg.fdFlags = 0;
        msg.remote = 1;
        msg.lenText = QString::number(code < 0 ? 0 : (code > 8 ? 8 : code));
        msg.dataText.clear();
        return true;
    }
    // Likewise a data frame without EDL of at most 8 bytes is a classic one.
    if (flagsAt < parts.size() && readHexPart(parts, flagsAt, flags) && !(flags & kFdLineEdl) && m <= 8) {
        msg.protocol = 0;
        msg.fdFlags = 0;
        msg.lenText = QString::number(m);
        return true;
    }
    msg.protocol = brs ? 2 : 1;
    msg.fdFlags = uint8_t((brs ? 0x01 : 0) | (parts.eq(k + 1, "1") ? 0x02 : 0));
    msg.lenText = parts.text(k + 3);
    return true;
}

// A part of decimal digits only.
template <class P>
bool allDigits(const P &parts, int i)
{
    const int n = parts.length(i);
    for (int k = 0; k < n; ++k)
        if (parts.at(i, k) < '0' || parts.at(i, k) > '9')
            return false;
    return n > 0;
}

template <class P>
bool isDirection(const P &parts, int i)
{
    return parts.eq(i, "Rx") || parts.eq(i, "Tx");
}

// A line in the place of a frame: <time> <channel> <id> <dir> ..., or
// <time> CANFD <channel> <dir> <id> ..., error frames aside. Other tools'
// events have other words in these places ("Statistic:", "SV:", "Status:").
template <class P>
bool frameShaped(const P &parts)
{
    const int n = parts.size();
    if (n >= 4 && parts.eq(1, "CANFD"))
        return allDigits(parts, 2) && isDirection(parts, 3) && (n < 5 || !parts.eq(4, "ErrorFrame"));
    return n >= 4 && allDigits(parts, 1) && isDirection(parts, 3) && !parts.eq(2, "ErrorFrame");
}

// A line of an ASC file other than a frame: header, comment, trigger block
// or an event with its time first.
template <class P>
bool ascLine(const P &parts)
{
    if (parts.size() < 1)
        return false;
    if (parts.eq(0, "date") || parts.eq(0, "base") || parts.eq(0, "Begin") || parts.eq(0, "End")
        || parts.eq(0, "internal") || parts.eq(0, "no"))
        return true;
    if (parts.length(0) >= 2 && parts.at(0, 0) == '/' && parts.at(0, 1) == '/')
        return true;
    const int dot = parts.indexOf(0, '.');
    if (dot <= 0 || dot + 1 >= parts.length(0))
        return false;
    for (int k = 0; k < parts.length(0); ++k)
        if (k != dot && (parts.at(0, k) < '0' || parts.at(0, k) > '9'))
            return false;
    return true;
}

template <class P>
bool parseLine(const P &parts, Base base, QUserCanMsg &msg)
{
    if (parts.size() < 5)
        return false;
    if (parts.eq(1, "CANFD"))
        return parseCanFd(parts, base, msg);
    return parseClassic(parts, base, msg);
}

// ---- line building ----

void appendTime(std::string &out, int64_t d)
{
    char digits[24];
    int n = 0;
    uint64_t v = uint64_t(d);
    do {
        digits[n++] = char('0' + v % 10);
        v /= 10;
    } while (v);
    // digits[] holds the number reversed; milliseconds are its last three.
    while (n < 4)
        digits[n++] = '0';
    const int secDigits = n - 3;
    for (int i = secDigits; i < 6; ++i)
        out.push_back(' ');
    for (int i = n - 1; i >= 3; --i)
        out.push_back(digits[i]);
    out.push_back('.');
    out.push_back(digits[2]);
    out.push_back(digits[1]);
    out.push_back(digits[0]);
    out.append("000", 3);
}

void appendDecimal(std::string &out, unsigned v)
{
    char b[12];
    int n = 0;
    do {
        b[n++] = char('0' + v % 10);
        v /= 10;
    } while (v);
    while (n)
        out.push_back(b[--n]);
}

void appendIdField(std::string &out, const QUserCanMsg &msg, std::string &scratch)
{
    tracetext::compactLatin1(msg.idText, scratch);
    size_t skip = 0;
    while (scratch.size() - skip > 1 && scratch[skip] == '0')
        ++skip;
    const size_t start = out.size();
    out.append(scratch, skip, std::string::npos);
    if (msg.extended)
        out.push_back('x');
    while (out.size() - start < 9)
        out.push_back(' ');
}

// Data digits fitted to `bytes`, a blank before every second digit counted
// from the end.
void appendData(std::string &out, const QUserCanMsg &msg, int bytes, std::string &scratch)
{
    tracetext::compactLatin1(msg.dataText, scratch);
    tracetext::fitHex(scratch, bytes);
    for (size_t i = 0; i < scratch.size(); i += 2) {
        if (i)
            out.push_back(' ');
        out.push_back(scratch[i]);
        out.push_back(scratch[i + 1]);
    }
}

} // namespace

QUserAscFile::QUserAscFile() = default;

QUserAscFile::~QUserAscFile()
{
    if (m_open)
        close();
}

bool QUserAscFile::fileCreate(const QString &name)
{
    if (m_open)
        close();
    m_file.setFileName(name);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        qDebug().noquote() << QStringLiteral("ASC File:%1 Creat Fail...").arg(name);
        return false;
    }
    qDebug().noquote() << QStringLiteral("ASC File:%1 Creat Success...").arg(name);
    m_out.clear();
    m_writeError = false;
    const QString date = QLocale(QLocale::English).toString(QDateTime::currentDateTime(), QStringLiteral(" ddd MMMM d hh:mm:ss yyyy"));
    m_out += "date";
    m_out += date.toLatin1().constData();
    m_out += "\r\nbase hex  timestamps absolute\r\nno internal events logged\r\n// version 7.0.0\r\n";
    m_clock.restart();
    m_linesSinceFlush = 0;
    m_open = true;
    m_written = true;
    // The header goes to the file at once: a program ended before the
    // first flush leaves a trace file of no frames, not an empty file no
    // reader takes. A failure here is kept and told by the first write.
    flushBuffer();
    return true;
}

void QUserAscFile::buildLine(const QUserCanMsg &msg, std::string &line)
{
    const int64_t d = m_clock.traceTimeMs(msg.hostTime);

    line.clear();
    appendTime(line, d);
    line.push_back(' ');
    if (msg.protocol == 0) {
        appendDecimal(line, unsigned(msg.channel) + 1);
        line.append("  ", 2);
        appendIdField(line, msg, m_scratch);
        line.append("       ", 7);
        line.append(msg.direction == 0 ? "Rx   " : "Tx   ", 5);
        if (msg.remote) {
            line.append("r 0 ", 4);
        } else {
            line.append("d ", 2);
            std::string lenText;
            tracetext::compactLatin1(msg.lenText, lenText);
            line += lenText;
            line.push_back(' ');
            const int n = tracetext::decimalOf(msg.lenText);
            appendData(line, msg, tracetext::validLength(false, n), m_scratch);
        }
    } else {
        line.append("CANFD   ", 8);
        appendDecimal(line, unsigned(msg.channel) + 1);
        line.append("  ", 2);
        line.append(msg.direction == 0 ? "Rx   " : "Tx   ", 5);
        appendIdField(line, msg, m_scratch);
        line.append("       ", 7);
        line.push_back(msg.protocol == 2 ? '1' : '0');
        line.append("  0  ", 5);
        // A length outside the DLC list is written as the valid length below
        // it, with the data cut or padded to it, so the line stays readable.
        const int len = tracetext::validLength(true, tracetext::decimalOf(msg.lenText));
        line.push_back("0123456789ABCDEF"[tracetext::dlcOfLength(len)]);
        line.push_back(' ');
        appendDecimal(line, unsigned(len));
        line.push_back(' ');
        appendData(line, msg, len, m_scratch);
        line.append(msg.protocol == 2 ? "    0  0   3000 0 0 0 0 0" : "    0  0   1000 0 0 0 0 0");
        qCDebug(lcAscLine) << "ASC FD line time diff" << d;
    }
    line.append(msg.protocol == 0 ? "\r\n" : " \r\n");
}

QString QUserAscFile::msgToLine(const QUserCanMsg &msg, bool &ok)
{
    std::string line;
    buildLine(msg, line);
    ok = true;
    return QString::fromLatin1(line.data(), int(line.size()));
}

bool QUserAscFile::write(const QUserCanMsg &msg)
{
    if (!m_open || !m_written)
        return false;
    buildLine(msg, m_line);
    m_out += m_line;
    if (++m_linesSinceFlush >= kFlushEvery) {
        m_linesSinceFlush = 0;
        if (!flushBuffer())
            return false;
    }
    return !m_writeError;
}

bool QUserAscFile::flushBuffer()
{
    if (!m_out.empty()) {
        if (m_file.write(m_out.data(), qint64(m_out.size())) != qint64(m_out.size()))
            m_writeError = true;
        m_out.clear();
    }
    if (!m_file.flush())
        m_writeError = true;
    return !m_writeError;
}

bool QUserAscFile::flush()
{
    if (!m_open)
        return true;
    m_linesSinceFlush = 0;
    if (!m_written)
        return true;
    return flushBuffer();
}

bool QUserAscFile::close()
{
    if (!m_open)
        return true;
    bool ok = true;
    if (m_written) {
        m_out += "End Triggerblock\r\n";
        ok = flushBuffer();
    }
    m_file.close();
    if (m_file.error() != QFileDevice::NoError && m_written)
        ok = false;
    m_open = false;
    m_written = false;
    m_in.clear();
    m_inPos = 0;
    m_inEof = false;
    return ok;
}

bool QUserAscFile::openForRead(const QString &name)
{
    if (m_open)
        close();
    m_damagedLines = 0;
    m_sawTraceLine = false;
    m_readEnded = false;
    m_openFailed = false;
    m_file.setFileName(name);
    if (!m_file.open(QIODevice::ReadOnly)) {
        qDebug().noquote() << QStringLiteral("File:%1 Open Fail...").arg(name);
        m_openFailed = true;
        return false;
    }
    m_open = true;
    m_written = false;
    m_in.clear();
    m_in.reserve(2 * kReadChunk);
    m_inPos = 0;
    m_inEof = false;
    m_decimal = false;
    return true;
}

// A line the parsers refused: damage when it stands where a frame does or
// holds bytes no text has; otherwise, when it is a line of an ASC file, it
// tells that the file is one.
template <class P>
void QUserAscFile::lineRefused(const char *begin, const char *end, const P &parts)
{
    if (parts.size() == 0)
        return;
    bool binary = false;
    for (const char *p = begin; p < end && !binary; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        binary = (c < 0x20 && !isBlank(char(c))) || c == 0x7F;
    }
    const bool shaped = !binary && frameShaped(parts);
    if (!binary && (shaped || ascLine(parts)))
        m_sawTraceLine = true;
    if ((binary || shaped) && !m_lineOpen)
        ++m_damagedLines;
}

// Next line of the read buffer, without its line end; false at the end.
bool QUserAscFile::nextLine(const char *&begin, const char *&end)
{
    for (;;) {
        const char *data = m_in.constData();
        const int avail = m_in.size() - m_inPos;
        const void *nl = avail > 0 ? std::memchr(data + m_inPos, '\n', size_t(avail)) : nullptr;
        if (nl) {
            begin = data + m_inPos;
            end = static_cast<const char *>(nl);
            m_inPos = int(end - data) + 1;
            m_lineOpen = false;
            return true;
        }
        if (m_inEof) {
            if (avail <= 0) {
                m_readEnded = true;
                return false;
            }
            begin = data + m_inPos;
            end = data + m_in.size();
            m_inPos = m_in.size();
            m_lineOpen = true;
            return true;
        }
        // Keep the unfinished line and read more behind it.
        m_in.remove(0, m_inPos);
        m_inPos = 0;
        const int had = m_in.size();
        m_in.resize(had + kReadChunk);
        const qint64 got = m_file.read(m_in.data() + had, kReadChunk);
        m_in.resize(had + int(got > 0 ? got : 0));
        if (got <= 0)
            m_inEof = true;
    }
}

int QUserAscFile::fileReadPart(const QString &name, QList<QUserCanMsg> &frames, int maxCount)
{
    if (!m_open && !openForRead(name))
        return 0;
    if (m_written)
        return 0; // a file open for writing is not read
    QUserCanMsg msg;
    SpanParts parts;
    int count = 0;
    const char *b;
    const char *e;
    while (nextLine(b, e)) {
        parts.count = 0;
        const char *p = b;
        while (p < e && parts.count < int(sizeof parts.items / sizeof parts.items[0])) {
            while (p < e && isBlank(*p))
                ++p;
            if (p == e)
                break;
            const char *s = p;
            while (p < e && !isBlank(*p))
                ++p;
            parts.items[parts.count++] = {s, int(p - s)};
        }
        if (parts.count >= 2 && parts.eq(0, "base")) {
            m_decimal = parts.eq(1, "dec");
            m_sawTraceLine = true;
            continue;
        }
        if (!parseLine(parts, m_decimal ? Base::Dec : Base::Hex, msg)) {
            lineRefused(b, e, parts);
            continue;
        }
        m_sawTraceLine = true;
        frames.append(msg);
        if (++count >= maxCount)
            break;
    }
    return count;
}

int QUserAscFile::fileRead(const QString &name, QList<QUserCanMsg> &frames)
{
    if (!openForRead(name))
        return -1;
    while (fileReadPart(name, frames, 1 << 30) > 0) {
    }
    return 0;
}

bool QUserAscFile::lineToCanMsg(const QStringList &parts, QUserCanMsg &msg)
{
    return parseClassic(ListParts{parts}, Base::Hex, msg);
}

bool QUserAscFile::lineToCanFdMsg(const QStringList &parts, QUserCanMsg &msg)
{
    return parseCanFd(ListParts{parts}, Base::Hex, msg);
}

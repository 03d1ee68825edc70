#include "QUserTraceText.h"

#include "QUserCanMsg.h"

namespace tracetext {

namespace {
const int kFdLengths[16] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 12, 16, 20, 24, 32, 48, 64};
}

int dlcOfLength(int len)
{
    for (int i = 0; i < 16; ++i) {
        if (kFdLengths[i] == len)
            return i;
    }
    return -1;
}

int validLength(bool fd, int len)
{
    if (len <= 0)
        return 0;
    if (!fd)
        return len > 8 ? 8 : len;
    int best = 0;
    for (int l : kFdLengths) {
        if (l <= len)
            best = l;
    }
    return best;
}

int lengthOfDlc(int dlc)
{
    if (dlc < 0)
        return 0;
    return kFdLengths[dlc > 15 ? 15 : dlc];
}

void compactLatin1(const QString &text, std::string &out)
{
    out.clear();
    const QChar *p = text.constData();
    const int n = text.size();
    for (int i = 0; i < n; ++i) {
        const ushort c = p[i].unicode();
        if (c == ' ' || (c >= 9 && c <= 13))
            continue;
        if (c >= 0x80 && p[i].isSpace())
            continue;
        out.push_back(c < 0x100 ? char(c) : '?');
    }
}

void fitHex(std::string &hex, int bytes)
{
    const size_t want = size_t(bytes < 0 ? 0 : bytes) * 2;
    if (hex.size() != want)
        hex.resize(want, '0');
}

namespace {

inline bool isWhite(ushort c) { return c == ' ' || (c >= 9 && c <= 13); }

inline int hexDigit(ushort c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Bounds of the text without surrounding white space.
void trimmedRange(const QString &text, int &b, int &e)
{
    const QChar *p = text.constData();
    b = 0;
    e = text.size();
    while (b < e && isWhite(p[b].unicode()))
        ++b;
    while (e > b && isWhite(p[e - 1].unicode()))
        --e;
}

} // namespace

int decimalOf(const QString &text, int fallback)
{
    int b, e;
    trimmedRange(text, b, e);
    const QChar *p = text.constData();
    bool neg = false;
    if (b < e && (p[b] == QLatin1Char('+') || p[b] == QLatin1Char('-'))) {
        neg = p[b] == QLatin1Char('-');
        ++b;
    }
    if (b >= e)
        return fallback;
    int64_t v = 0;
    for (int i = b; i < e; ++i) {
        const ushort c = p[i].unicode();
        if (c < '0' || c > '9')
            return fallback;
        v = v * 10 + (c - '0');
        if (v > 2147483648LL)
            return fallback;
    }
    if (neg)
        v = -v;
    if (v > 2147483647LL)
        return fallback;
    return int(v);
}

uint32_t hexIdOf(const QString &text)
{
    int b, e;
    trimmedRange(text, b, e);
    const QChar *p = text.constData();
    if (b < e && p[b] == QLatin1Char('+'))
        ++b;
    if (e - b > 2 && p[b] == QLatin1Char('0') && (p[b + 1] == QLatin1Char('x') || p[b + 1] == QLatin1Char('X')))
        b += 2;
    if (b >= e)
        return 0;
    uint64_t v = 0;
    for (int i = b; i < e; ++i) {
        const int d = hexDigit(p[i].unicode());
        if (d < 0)
            return 0;
        v = v * 16 + uint64_t(d);
        if (v > 0x7FFFFFFFu)
            return 0;
    }
    return uint32_t(v);
}

int hexBytes(const QString &text, uint8_t *out, int capacity)
{
    const int n = text.size();
    const QChar *p = text.constData();
    if (n % 2 == 0) {
        const int bytes = n / 2 < capacity ? n / 2 : capacity;
        int i = 0;
        for (; i < bytes; ++i) {
            const int hi = hexDigit(p[2 * i].unicode());
            const int lo = hexDigit(p[2 * i + 1].unicode());
            if ((hi | lo) < 0)
                break;
            out[i] = uint8_t(hi << 4 | lo);
        }
        if (i == bytes) {
            // The rest must be digits too for the quick path to hold.
            bool clean = true;
            for (int k = 2 * bytes; k < n && clean; ++k)
                clean = hexDigit(p[k].unicode()) >= 0;
            if (clean)
                return bytes;
        }
    }
    return hexTextToBytes(text, out, capacity);
}

} // namespace tracetext

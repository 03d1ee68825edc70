#include "traffic/QUserTraceText.h"

#include "core/QUserCanMsg.h"

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
    // The bytes the frame's text stands for, as the transmit path decodes
    // them: characters that are not hex digits are skipped, and an odd
    // digit count makes the first digit a byte of its own.
    size_t n = 0;
    for (char c : hex)
        if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))
            hex[n++] = c;
    hex.resize(n);
    if (n % 2)
        hex.insert(hex.begin(), '0');
    const size_t want = size_t(bytes < 0 ? 0 : bytes) * 2;
    if (hex.size() != want)
        hex.resize(want, '0');
}

int decimalOf(const QString &text, int fallback)
{
    bool ok = false;
    const int32_t v = parseInt32(text, 10, &ok);
    return ok ? int(v) : fallback;
}

uint32_t hexIdOf(const QString &text)
{
    bool ok = false;
    const int32_t v = parseInt32(text, 16, &ok);
    return ok && v >= 0 ? uint32_t(v) : 0;
}

} // namespace tracetext

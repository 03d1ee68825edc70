#include "mainwindow/QUserCanFrameRec.h"

namespace {

inline int hexDigit(ushort c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

inline bool isBlank(ushort c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Decimal digits with blanks around them; 0 for anything else.
uint32_t lenParse(const QString &text)
{
    const ushort *p = text.utf16();
    int i = 0;
    const int n = text.size();
    while (i < n && isBlank(p[i]))
        ++i;
    uint32_t v = 0;
    int digits = 0;
    while (i < n && p[i] >= '0' && p[i] <= '9') {
        if (v > 100000)
            return 0;
        v = v * 10 + uint32_t(p[i] - '0');
        ++digits;
        ++i;
    }
    while (i < n && isBlank(p[i]))
        ++i;
    return (i == n && digits > 0) ? v : 0;
}

} // namespace

uint32_t canFrameIdParse(const QString &idText)
{
    const ushort *p = idText.utf16();
    const int n = idText.size();
    int i = 0;
    while (i < n && isBlank(p[i]))
        ++i;
    if (i + 1 < n && p[i] == '0' && (p[i + 1] == 'x' || p[i + 1] == 'X'))
        i += 2;
    uint32_t v = 0;
    int digits = 0;
    for (; i < n; ++i) {
        const int d = hexDigit(p[i]);
        if (d < 0)
            break;
        if (++digits > 8)
            return 0;
        v = (v << 4) | uint32_t(d);
    }
    while (i < n && isBlank(p[i]))
        ++i;
    if (i != n || digits == 0)
        return 0;
    return v & 0x1FFFFFFFu;
}

void canFrameFromMsg(const QUserCanMsg &msg, QUserCanFrameFull &f)
{
    f.hostTime = msg.hostTime;
    f.devTime = msg.devTime;
    f.id = canFrameIdParse(msg.idText);
    const uint32_t len = lenParse(msg.lenText);
    f.len = uint8_t(len > 255 ? 255 : len);
    f.dataLen = uint8_t(hexTextToBytes(msg.dataText, f.data, int(sizeof f.data)));
    f.flags = uint8_t((msg.direction == 1 ? FrameFlagSent : 0) | (msg.remote ? FrameFlagRemote : 0) |
                      (msg.extended ? FrameFlagExtended : 0) | (msg.sendFailed ? FrameFlagFailed : 0) |
                      ((msg.protocol & 0x3) << kFrameProtoShift));
    f.fdFlags = msg.fdFlags;
    f.channel = msg.channel;
}

QUserCanMsg canFrameToMsg(const QUserCanFrameFull &f)
{
    QUserCanMsg m;
    m.idText = idToText(f.id);
    m.protocol = uint8_t(f.protocol());
    m.remote = f.remote() ? 1 : 0;
    m.extended = f.extended() ? 1 : 0;
    m.fdFlags = f.fdFlags;
    m.lenText = QString::number(f.len);
    m.dataText = bytesToHex(f.data, f.dataLen);
    m.direction = f.sent() ? 1 : 0;
    m.channel = f.channel;
    m.devTime = f.devTime;
    m.hostTime = f.hostTime;
    m.sendFailed = f.failed() ? 1 : 0;
    return m;
}

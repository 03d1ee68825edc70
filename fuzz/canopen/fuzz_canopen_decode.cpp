// The received-frame decoders on arbitrary frames: identifier, flags, length
// and data texts from the input (well-formed hex, short data and garbage
// alike). Every decoder must describe or refuse without reading past the
// bytes; SDO answers that parse must agree with the decoded text; the TIME
// builder and decoder must agree on any date they accept.
#include "canopen/QUserCANopenFrame.h"

#include <QString>

#include <cstdint>
#include <cstdlib>

static void quiet(QtMsgType, const QMessageLogContext &, const QString &) {}

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qInstallMessageHandler(quiet);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 6)
        return 0;
    const uint32_t id = (uint32_t(data[0]) | (uint32_t(data[1]) << 8)) & 0xFFF;
    const uint8_t flags = data[2];
    const uint8_t len = data[3];
    const uint8_t mode = data[4];
    const uint8_t *rest = data + 5;
    const int restSize = int(size - 5);

    QUserCanMsg msg;
    msg.idText = (flags & 4) ? QString::fromLatin1(reinterpret_cast<const char *>(rest), restSize > 8 ? 8 : restSize)
                             : QString::asprintf("%03X", id);
    msg.remote = flags & 1;
    msg.extended = (flags >> 1) & 1;
    msg.lenText = QString::number(len & 0x0F);
    if (mode & 1)
        msg.dataText = QString::fromUtf8(reinterpret_cast<const char *>(rest), restSize);
    else
        msg.dataText = QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(rest), restSize).toHex(' '));

    QUserCANopenFrame f;
    f.nodeIdFormatSet(mode >> 7);
    QString text = QStringLiteral("x");
    const bool known = f.msgAnalysis(msg, text);
    if (!known && text != QStringLiteral("x"))
        abort();
    if (known && text.isEmpty())
        abort();
    f.isNmtClassMsg(msg);
    if (f.nodeState < 0 || f.nodeState > 3)
        abort();

    QUserCanMsg copy = msg;
    uint8_t node = 0;
    bool isWrite = false;
    uint16_t index = 0, sub = 0;
    uint32_t length = 0, value = 0;
    if (f.sdoResponseParse(copy, node, isWrite, index, sub, length, value)) {
        if (!known || !text.contains(QString::asprintf("0x%04x ", index)) || sub > 0xFF || node > 0x7F)
            abort();
        if (!isWrite && (length < 1 || length > 4))
            abort();
    }
    uint32_t code = 0;
    if (f.sdoAbortParse(msg, node, index, sub, code) && !text.contains(QString::asprintf("<0x%08x>", code)))
        abort();

    // TIME: a date from the input, built then decoded.
    const int year = 1970 + rest[0] % 200, month = data[2] % 14, day = 1 + data[3] % 31;
    const int hour = data[4] % 24, minute = rest[0] % 60, second = data[1] % 60;
    QUserCanMsg t;
    if (f.timeSyncMsgCreat(t, year, month, day, hour, minute, second)) {
        if (year < 1984 || year > 2163 || t.lenText != QStringLiteral("6") || t.dataText.size() != 12)
            abort();
        QString described;
        if (!f.msgAnalysis(t, described))
            abort();
        if (month >= 1 && month <= 12 && day <= 28
            && !described.contains(QString::asprintf("%d-%02d-%02d  %02d:%02d:%02d.0", year, month, day, hour, minute, second)))
            abort();
    }
    CANopenDateTime dt;
    const uint32_t seconds = uint32_t(data[0]) | (uint32_t(data[1]) << 8) | (uint32_t(data[2]) << 16) | (uint32_t(data[3]) << 24);
    QUserCANopenFrame::secondsToDateTime(seconds, dt);
    if (QUserCANopenFrame::dateTimeToSeconds(dt) != seconds || dt.month < 1 || dt.month > 12 || dt.day < 1 || dt.day > 31)
        abort();
    return 0;
}

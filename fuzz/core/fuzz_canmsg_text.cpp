// The frame record's text parsers on arbitrary input: identifier, length and
// data texts, the adapter-record conversions and the device-id parsers. The
// data decoder is also held against the framework's own hex decoder.
#include "core/QUserCanMsg.h"
#include "core/QUserDevId.h"

#include <QByteArray>
#include <QRegExp>
#include <QString>

#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const uint8_t selector = data[0];
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data + 1), int(size - 1));

    // Identifier texts.
    const bool ext = selector & 1;
    const bool valid = isCanIdValid(ext, text);
    QString id = text;
    formatCanIdText(ext, id);
    if (id.size() != 9 || id.at(8) != QLatin1Char(' '))
        abort();
    if (valid) {
        // A valid identifier keeps its value through formatting.
        QString plain = text;
        plain.remove(QRegExp("\\s"));
        bool ok = false;
        const uint32_t v = plain.toUInt(&ok, 16);
        if (ok && idToText(v) != id)
            abort();
    }

    // Data texts against the framework's decoder.
    uint8_t bytes[64];
    const int n = hexTextToBytes(text, bytes, 64);
    QString noBlanks = text;
    noBlanks.remove(QRegExp("\\s"));
    const QByteArray ref = QByteArray::fromHex(noBlanks.toLocal8Bit());
    const int want = ref.size() < 64 ? ref.size() : 64;
    if (n != want || std::memcmp(bytes, ref.constData(), size_t(n)) != 0)
        abort();

    // Whole records.
    QUserCanMsg m(text, selector & 2, ext, text.left(4), text);
    m.protocol = (selector >> 2) % 3;
    m.fdFlags = selector;
    (void)m.getId();
    (void)m.getLen();
    KCAN_CAN_OBJ c;
    KCAN_CANFD_OBJ f;
    if (msgToCanObj(m, c) != (m.protocol == 0 ? 1 : 0))
        abort();
    if (msgToCanFdObj(m, f) != (m.protocol == 0 ? 0 : 1))
        abort();
    if (m.protocol != 0 && (f.ID & ~0x1FFFFFFFu))
        abort();

    QString fitted = text;
    fitDataText(selector & 8, int(selector >> 4) * 4, fitted);
    QString sep = text.left(64);
    insertSeparator(sep, QStringLiteral(" "), 1 + (selector & 3));

    // Device ids and their display texts.
    QString type;
    int idx = 0, ch = 0;
    if (parseDevId(text, type, &idx, &ch) && text.count(QLatin1Char('-')) != 2)
        abort();
    (void)parseDevIdText(text);
    (void)getDevIdTextEx(selector & 1, text);
    return 0;
}

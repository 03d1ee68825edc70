#include "dbc/DbcLibText.h"

#include <cstring>

namespace DbcLibText {

QString fromField(const char *field, size_t fieldSize)
{
    if (!field || fieldSize == 0)
        return QString();
    const void *nul = std::memchr(field, 0, fieldSize);
    const size_t n = nul ? size_t(static_cast<const char *>(nul) - field) : fieldSize;
    return QString::fromUtf8(field, int(n));
}

QByteArray toUtf8Cut(const QString &text, int maxBytes)
{
    QByteArray bytes = text.toUtf8();
    if (maxBytes < 0)
        maxBytes = 0;
    if (bytes.size() <= maxBytes)
        return bytes;
    // Step back over continuation bytes (10xxxxxx) to the lead byte of the
    // character that would be split, and cut before it.
    int cut = maxBytes;
    while (cut > 0 && (uchar(bytes.at(cut)) & 0xC0) == 0x80)
        --cut;
    bytes.truncate(cut);
    return bytes;
}

void toField(const QString &text, char *field, size_t fieldSize)
{
    if (!field || fieldSize == 0)
        return;
    std::memset(field, 0, fieldSize);
    const QByteArray bytes = toUtf8Cut(text, int(fieldSize - 1));
    std::memcpy(field, bytes.constData(), size_t(bytes.size()));
}

QByteArray signalNameKey(const QString &name)
{
    return toUtf8Cut(name, 127);
}

} // namespace DbcLibText

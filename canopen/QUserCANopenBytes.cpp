#include "canopen/QUserCANopenBytes.h"

#include <QCoreApplication>

namespace canopen {

int hexDigit(QChar c)
{
    const ushort u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

QString removeBlanks(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (QChar c : text)
        if (!c.isSpace())
            out.append(c);
    return out;
}

QByteArray dataBytes(const QString &text)
{
    QByteArray out;
    out.reserve(text.size() / 2);
    for (int i = 0; i + 1 < text.size(); i += 2) {
        const int hi = hexDigit(text[i]);
        const int lo = hexDigit(text[i + 1]);
        if (hi < 0 || lo < 0)
            break;
        out.append(char((hi << 4) | lo));
    }
    return out;
}

QString word(const char *text)
{
    return QCoreApplication::translate("QObject", text);
}

} // namespace canopen

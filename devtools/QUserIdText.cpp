#include "devtools/QUserIdText.h"

namespace devtext {

static bool isHexDigit(QChar c)
{
    const ushort u = c.unicode();
    return (u >= '0' && u <= '9') || (u >= 'a' && u <= 'f') || (u >= 'A' && u <= 'F');
}

static bool hexDigitsRead(const QString &digits, int minDigits, int maxDigits, uint32_t *value)
{
    if (digits.size() < minDigits || digits.size() > maxDigits)
        return false;
    uint32_t v = 0;
    for (QChar c : digits) {
        if (!isHexDigit(c))
            return false;
        v = (v << 4) | uint32_t(QString(c).toUInt(nullptr, 16));
    }
    *value = v;
    return true;
}

bool canIdParse(bool extended, const QString &text, uint32_t *value)
{
    QString s;
    s.reserve(text.size());
    for (QChar c : text)
        if (!c.isSpace())
            s.append(c);
    if (s.startsWith(QLatin1String("0x")) || s.startsWith(QLatin1String("0X")))
        s.remove(0, 2);
    uint32_t v = 0;
    if (!hexDigitsRead(s, 1, 8, &v))
        return false;
    if (v > (extended ? 0x1FFFFFFFu : 0x7FFu))
        return false;
    *value = v;
    return true;
}

bool hexFieldParse(const QString &text, int minDigits, int maxDigits, uint32_t *value)
{
    return hexDigitsRead(text.trimmed(), minDigits, maxDigits, value);
}

} // namespace devtext

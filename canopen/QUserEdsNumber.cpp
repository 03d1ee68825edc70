#include "canopen/QUserEdsNumber.h"

#include <QStringList>

namespace edsnumber {

namespace {

int hexDigit(ushort u)
{
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

const QString &nodeIdWord()
{
    static const QString word = QStringLiteral("$NODEID");
    return word;
}

// One term: [-]$NODEID, [-]0x<hex digits>, or [-]<decimal digits>.
bool term(const QString &text, int node, uint64_t &out, bool &namesNode, bool &isDecimal)
{
    QString t = text.trimmed();
    bool negative = false;
    if (t.startsWith(QLatin1Char('-')) || t.startsWith(QLatin1Char('+'))) {
        negative = t[0] == QLatin1Char('-');
        t = t.mid(1).trimmed();
    }
    if (t.isEmpty())
        return false;
    uint64_t v = 0;
    isDecimal = false;
    if (t.compare(nodeIdWord(), Qt::CaseInsensitive) == 0) {
        v = uint64_t(int64_t(node));
        namesNode = true;
    } else if (t.size() >= 2 && t[0] == QLatin1Char('0') && (t[1] == QLatin1Char('x') || t[1] == QLatin1Char('X'))) {
        if (t.size() == 2)
            return false;
        for (int i = 2; i < t.size(); ++i) {
            const int d = hexDigit(t[i].unicode());
            if (d < 0)
                return false;
            v = (v << 4) | uint64_t(d);
        }
    } else {
        for (QChar c : t) {
            const ushort u = c.unicode();
            if (u < '0' || u > '9')
                return false;
            const uint64_t digit = u - '0';
            if (v > (UINT64_MAX - digit) / 10)
                return false;
            v = v * 10 + digit;
        }
        if (negative && v > (uint64_t(1) << 63))
            return false;
        isDecimal = true;
    }
    out = negative ? uint64_t(0) - v : v;
    return true;
}

} // namespace

bool parse(const QString &text, int node, int64_t &out, bool *namesNodeId, bool *decimal)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return false;
    // Terms are split at every "+" but a sign at the very start.
    QStringList terms;
    int start = 0;
    for (int i = 1; i <= t.size(); ++i) {
        if (i == t.size() || t[i] == QLatin1Char('+')) {
            terms << t.mid(start, i - start);
            start = i + 1;
        }
    }
    uint64_t sum = 0;
    bool namesNode = false;
    bool isDecimal = false;
    for (const QString &part : qAsConst(terms)) {
        uint64_t v = 0;
        if (!term(part, node, v, namesNode, isDecimal))
            return false;
        sum += v;
    }
    out = int64_t(sum);
    if (namesNodeId)
        *namesNodeId = namesNode;
    if (decimal)
        *decimal = terms.size() == 1 && isDecimal;
    return true;
}

bool namesNodeId(const QString &text)
{
    return text.contains(nodeIdWord(), Qt::CaseInsensitive);
}

} // namespace edsnumber

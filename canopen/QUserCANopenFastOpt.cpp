#include "canopen/QUserCANopenFastOpt.h"

#include <QRegularExpression>
#include <QStringList>

namespace {

QString noBlanks(const QString &text)
{
    QString out;
    for (QChar c : text)
        if (!c.isSpace())
            out.append(c);
    return out;
}

bool hexOnly(const QString &text)
{
    static const QRegularExpression re(QStringLiteral("^[0-9A-Fa-f]+$"));
    return re.match(text).hasMatch();
}

} // namespace

bool QUserCANopenFastOpt::msgCheck(const QString &text)
{
    if (text.isEmpty())
        return false;
    const QStringList f = text.split(QLatin1Char(','), Qt::KeepEmptyParts);
    if (f.size() != 4)
        return false;
    if (f[0] != QLatin1String("S") && f[0] != QLatin1String("E"))
        return false;
    if (f[1] != QLatin1String("D") && f[1] != QLatin1String("R"))
        return false;
    if (f[2].isEmpty() || f[2].size() > 8 || !hexOnly(f[2]))
        return false;
    const QString data = noBlanks(f[3]);
    return data.isEmpty() || hexOnly(data);
}

bool QUserCANopenFastOpt::msgParse(const QString &text, QUserCanMsg &msg)
{
    if (!msgCheck(text))
        return false;
    const QStringList f = text.split(QLatin1Char(','), Qt::KeepEmptyParts);
    msg.sendType = 0;
    msg.status = MsgTagCanOpen;
    msg.protocol = 0;
    msg.extended = f[0] == QLatin1String("S") ? 0 : 1;
    msg.remote = f[1] == QLatin1String("D") ? 0 : 1;
    msg.idText = f[2];
    msg.dataText = noBlanks(f[3]);
    const int bytes = msg.dataText.size() / 2;
    msg.lenText = QString::number(bytes > 8 ? 8 : bytes);
    return true;
}

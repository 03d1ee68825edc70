#include "dbc/DbcWindowTitle.h"

#include "core/QUserDevId.h"
#include "core/QUserSysCfg.h"

#include <QStringList>

namespace DbcWindowTitle {

QString compose(const QString &kind, const QString &fileName, const QString &channel)
{
    QStringList parts;
    for (const QString &p : {kind, fileName, channel})
        if (!p.isEmpty())
            parts << p;
    return parts.join(QStringLiteral(" - "));
}

QString channelText(const QString &devId)
{
    if (devId.isEmpty())
        return QString();
    const int lang = QUserSysCfg::instance()->getString(QStringLiteral("language")) == QLatin1String("ZH") ? 0 : 1;
    return getDevIdTextEx(lang, devId).trimmed();
}

} // namespace DbcWindowTitle

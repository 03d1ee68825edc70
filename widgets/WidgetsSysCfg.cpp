#include "widgets/WidgetsSysCfg.h"

#include "core/QUserSysCfg.h"

namespace widgetscfg {

QString getString(const QString &key)
{
    return QUserSysCfg::instance()->getString(key);
}

bool setString(const QString &key, const QString &value)
{
    return QUserSysCfg::instance()->setString(key, value);
}

} // namespace widgetscfg

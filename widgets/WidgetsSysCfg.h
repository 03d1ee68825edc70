#pragma once
// The widgets library's access to the system configuration ("setting/sys.ini").

#include <QString>

namespace widgetscfg {
QString getString(const QString &key);
bool setString(const QString &key, const QString &value);
}

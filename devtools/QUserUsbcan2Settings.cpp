#include "devtools/QUserUsbcan2Settings.h"

#include <QFile>
#include <QTextStream>

#include <algorithm>

QHash<QString, BaudRateEntry> QUserUsbcan2Settings::baudTable()
{
    static const char *const rows[][3] = {
        {"1000kbps", "00", "14"}, {"800kbps", "00", "16"}, {"500kbps", "00", "1C"},
        {"250kbps", "01", "1C"},  {"125kbps", "03", "1C"}, {"100kbps", "04", "1C"},
        {"50kbps", "09", "1C"},   {"20kbps", "18", "1C"},  {"10kbps", "31", "1C"},
        {"5kbps", "BF", "FF"},
    };
    QHash<QString, BaudRateEntry> t;
    for (const auto &r : rows)
        t.insert(r[0], BaudRateEntry{r[0], r[1], r[2]});
    return t;
}

QStringList QUserUsbcan2Settings::sortedBaudNames(const QHash<QString, BaudRateEntry> &table)
{
    QStringList names = table.keys();
    auto rate = [](const QString &n) { return n.left(n.size() - 4).toInt(); };
    std::sort(names.begin(), names.end(),
              [&](const QString &a, const QString &b) { return rate(a) > rate(b); });
    return names;
}

void QUserUsbcan2Settings::cfgDefault()
{
    devIndex = "0";
    channel = "0";
    allChannels = "0";
    selfBaud = "0";
    baudIndex = "2";
    timing0 = "00";
    timing1 = "1C";
    workMode = "0";
    filterMode = "1";
    accCode = "00000000";
    accMask = "FFFFFFFF";
}

QString QUserUsbcan2Settings::cfgFileName() const
{
    return QStringLiteral("./") + devName + QStringLiteral("Set.ini");
}

bool QUserUsbcan2Settings::cfgLoad()
{
    QFile file(cfgFileName());
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        cfgDefault();
        return false;
    }
    QTextStream in(&file);
    in.setCodec("UTF-8");
    const QStringList f = in.readLine().split(',', Qt::KeepEmptyParts);
    if (f.size() != 11) {
        cfgDefault();
        return false;
    }
    devIndex = f[0];
    channel = f[1];
    baudIndex = f[2];
    timing0 = f[3];
    timing1 = f[4];
    allChannels = f[5];
    selfBaud = f[6];
    filterMode = f[7];
    workMode = f[8];
    accCode = f[9];
    accMask = f[10];
    return true;
}

QString QUserUsbcan2Settings::line() const
{
    return QStringList{devIndex, channel, baudIndex, timing0, timing1, allChannels, selfBaud,
                       filterMode, workMode, accCode.trimmed(), accMask.trimmed()}
        .join(',');
}

bool QUserUsbcan2Settings::cfgSave() const
{
    QFile file(cfgFileName());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    file.write(line().toUtf8() + '\n');
    return true;
}

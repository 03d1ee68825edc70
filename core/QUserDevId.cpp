#include "core/QUserDevId.h"

#include <QObject>
#include <QStringList>

QString makeDevId(const QString &typeName, int devIndex, int channel)
{
    return QString::fromLatin1(typeName.toLatin1()) + QLatin1Char('-') + QString::number(devIndex)
        + QLatin1Char('-') + QString::number(channel);
}

bool parseDevId(const QString &devId, QString &typeName, int *devIndex, int *channel)
{
    if (devId.isEmpty())
        return false;
    const QStringList parts = devId.split(QLatin1Char('-'), Qt::KeepEmptyParts, Qt::CaseSensitive);
    if (parts.size() != 3)
        return false;
    typeName = parts.at(0);
    if (devIndex)
        *devIndex = parts.at(1).toInt();
    if (channel)
        *channel = parts.at(2).toInt();
    return true;
}

QString getDevIdTextEx(int lang, const QString &devId)
{
    QString type;
    int index = 0;
    int channel = 0;
    parseDevId(devId, type, &index, &channel);
    const QString devWord = lang == 0 ? QObject::tr("设备:") : QObject::tr("DEV:");
    const QString chWord = lang == 0 ? QObject::tr("通道:") : QObject::tr("CH:");
    return QStringLiteral("%1 %2%3 %4%5 ").arg(type, devWord).arg(index).arg(chWord).arg(channel);
}

QString getAdapterTextEx(int lang, const QString &typeName, int devIndex)
{
    const QString devWord = lang == 0 ? QObject::tr("设备:") : QObject::tr("DEV:");
    return QStringLiteral("%1 %2%3").arg(typeName, devWord).arg(devIndex);
}

QString getDevIdText(const QString &devId)
{
    return getDevIdTextEx(0, devId);
}

QString parseDevIdText(const QString &text)
{
    const int b1 = text.indexOf(QLatin1Char(' '));
    const QString type = b1 < 0 ? text : text.left(b1);

    auto field = [&text](int from, int *next) {
        const int colon = from < 0 ? -1 : text.indexOf(QLatin1Char(':'), from);
        if (colon < 0) {
            *next = -1;
            return 0;
        }
        int blank = text.indexOf(QLatin1Char(' '), colon);
        if (blank < 0)
            blank = text.size();
        *next = blank;
        return text.mid(colon + 1, blank - colon - 1).toInt();
    };
    int b2 = -1;
    int b3 = -1;
    const int index = field(0, &b2);
    const int channel = field(b2, &b3);
    return makeDevId(type, index, channel);
}

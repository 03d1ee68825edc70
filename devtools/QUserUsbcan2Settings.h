#pragma once
// Settings of the classic (USBCAN1/USBCAN2) channel dialog: the ten named
// bit rates with their bus-timing register texts for the 16 MHz controller,
// the eleven setting texts and their one-line file "./<type>Set.ini":
//
//   dev,channel,baud position,timing0,timing1,all,custom,filter mode,work mode,code,mask

#include <QHash>
#include <QString>
#include <QStringList>

struct BaudRateEntry
{
    QString name;
    QString timing0;
    QString timing1;
};

class QUserUsbcan2Settings
{
public:
    QUserUsbcan2Settings() { cfgDefault(); }

    // Name -> entry, ten entries.
    static QHash<QString, BaudRateEntry> baudTable();
    // The table's names by their number in front of "kbps", largest first.
    static QStringList sortedBaudNames(const QHash<QString, BaudRateEntry> &table);

    void cfgDefault();
    QString cfgFileName() const;
    // False (and the defaults in force) when the file cannot be opened or
    // its first line does not hold exactly eleven fields.
    bool cfgLoad();
    // False when the file cannot be opened for writing.
    bool cfgSave() const;
    QString line() const;

    QString devName;
    QString devIndex, channel, allChannels, selfBaud, baudIndex;
    QString timing0, timing1, workMode, filterMode, accCode, accMask;
};

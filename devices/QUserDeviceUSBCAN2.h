#pragma once
// The device class of the classic adapters: one object for "USBCAN1" (one
// channel per adapter) and one for "USBCAN2" (two channels and a relay). Up
// to 32 adapters each, one driver thread (QKemDev) per opened adapter.

#include <QHash>
#include <QList>
#include <QString>

#include "core/QUserAdapterModels.h"
#include "devices/QUserDevChState.h"
#include "devices/QUserDevice.h"

class QKemDev;
struct QUserFd2Cfg;

class QUserDeviceUSBCAN2 : public QUserDevice
{
    Q_OBJECT
public:
    explicit QUserDeviceUSBCAN2(const QString &typeName);
    ~QUserDeviceUSBCAN2() override;

    int open(QStringList &devIds) override;
    int close(const QString &devId) override;
    int sendMsg(const QString &devId, QUserCanMsg &msg) override;
    int sendMsgList(const QString &devId, QVector<QUserCanMsg> msgs) override;
    int devInfoGet(const QString &devId, QUserDevChState *state) override;

    // Two for "USBCAN2", one for any other name (core/QUserAdapterModels.h).
    int channelCount() const { return QUserAdapterModels::classicDevice(typeName).channels; }
    // Fills a channel's record from its settings (timing registers, relay,
    // work mode, clock); 1.
    int devChStateFill(int devIndex, int channel, const QUserFd2Cfg &cfg);
    QKemDev *driver(int devIndex) const { return drvTable.value(devIndex, nullptr); }
    int driverCount() const { return drvTable.size(); }

signals:
    void receiveMsg(QString devId, QVector<QUserCanMsg> msgList);
    void sendResultNotify(QString devId, QUserCanMsg msg);

public slots:
    void slotSendMsg(QString devId, QUserCanMsg msg);

protected:
    virtual int settingsDialogRun(QUserFd2Cfg *cfg);

private:
    bool chClosePost(QKemDev *drv, int channel);

    QHash<int, QKemDev *> drvTable;
    QList<QList<QUserDevChState>> stateTable;
    QString typeName;
};

#pragma once
// The device class of the classic adapters: one object for "USBCAN1" (one
// channel per adapter) and one for "USBCAN2" (two channels and a relay). Up
// to 32 adapters each, one driver thread (QKemDev) per opened adapter.
//
// When a driver reports its adapter lost, the device closes every channel it
// had open on that adapter (which stops the driver and closes the adapter,
// so that it can be opened again once it is back), marks their records lost
// and emits adapterLost. Closing a lost channel afterwards succeeds.

#include <QHash>
#include <QList>
#include <QString>

#include "core/QUserAdapterModels.h"
#include "devices/QUserDevChState.h"
#include "devices/QUserDrvTableLock.h"
#include "devices/QUserDevice.h"
#include "devtools/QUserFd2Cfg.h" // QUserUsbcan2Cfg, the classic channel settings

class QKemDev;

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
    bool adapterGone(const QString &devId) override;

    // Two for "USBCAN2", one for any other name (core/QUserAdapterModels.h).
    int channelCount() const { return QUserAdapterModels::classicDevice(typeName).channels; }
    // Fills a channel's record from its settings (timing registers, relay,
    // work mode, clock); 1.
    int devChStateFill(int devIndex, int channel, const QUserUsbcan2Cfg &cfg);
    QKemDev *driver(int devIndex) const;
    int driverCount() const;

signals:
    void receiveMsg(QString devId, QVector<QUserCanMsg> msgList);
    void sendResultNotify(QString devId, QUserCanMsg msg);
    void adapterLost(QString typeName, int devIndex, QStringList devIds);

public slots:
    void slotSendMsg(QString devId, QUserCanMsg msg);
    // A driver's adapterLost (queued to this object's thread).
    void slotDriverLost(QString typeName, int devIndex);

protected:
    virtual int settingsDialogRun(QUserUsbcan2Cfg *cfg);

private:
    bool chClosePost(QKemDev *drv, int channel);
    QUserDevChState *stateOf(int devIndex, int channel);

    // Sender and playback threads look drivers up while the GUI thread opens
    // and closes adapters: look-ups (and the send through the driver found)
    // hold drvLock shared, changes of the table hold it exclusive (the GUI
    // thread alone changes it). A driver leaves the table before its thread
    // is stopped, so no sender can still be inside it when it is deleted.
    mutable QUserDrvTableLock drvLock;
    QHash<int, QKemDev *> drvTable;
    QList<QList<QUserDevChState>> stateTable;
    QString typeName;
};

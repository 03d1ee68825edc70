#pragma once
// The device class of the CAN FD adapter family, one object per model type
// name; it serves up to 32 adapters of its type, each with its own driver
// thread (QKemFdDev), and every channel of them by device id.
//
// When a driver reports its adapter lost, the device closes every channel it
// had open on that adapter (which stops the driver and closes the adapter,
// so that it can be opened again once it is back), marks their records lost
// and emits adapterLost. Closing a lost channel afterwards succeeds.

#include <QHash>
#include <QList>
#include <QString>

#include "devices/QUserDevChState.h"
#include "devices/QUserDrvTableLock.h"
#include "devices/QUserDevice.h"

class QKemFdDev;
struct QUserFd2Cfg;

class QUserDeviceUSBCANFD2 : public QUserDevice
{
    Q_OBJECT
public:
    QUserDeviceUSBCANFD2();
    explicit QUserDeviceUSBCANFD2(const QString &typeName);
    ~QUserDeviceUSBCANFD2() override;

    int open(QStringList &devIds) override;
    int close(const QString &devId) override;
    int sendMsg(const QString &devId, QUserCanMsg &msg) override;
    int sendMsgList(const QString &devId, QVector<QUserCanMsg> msgs) override;
    int devInfoGet(const QString &devId, QUserDevChState *state) override;
    bool adapterGone(const QString &devId) override;

    // Model facts by type name (core/QUserAdapterModels.h).
    static int channelCount(const QString &typeName);
    static int typeNumber(const QString &typeName);
    static bool fdCapable(const QString &typeName);

    QString typeNameGet() const { return typeName; }
    QKemFdDev *driver(int devIndex) const;
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
    // Runs the channel-settings dialog; 1 and the record filled when the
    // user accepted.
    virtual int settingsDialogRun(QUserFd2Cfg *cfg);

private:
    void stateTableBuild();
    void stateFill(int devIndex, int channel, const QUserFd2Cfg &cfg);
    QUserDevChState *stateOf(int devIndex, int channel);

    // Sender and playback threads look drivers up while the GUI thread opens
    // and closes adapters: look-ups (and the send through the driver found)
    // hold drvLock shared, changes of the table hold it exclusive (the GUI
    // thread alone changes it). A driver leaves the table before its thread
    // is stopped, so no sender can still be inside it when it is deleted.
    mutable QUserDrvTableLock drvLock;
    QHash<int, QKemFdDev *> drvTable;
    QString typeName;
    QList<QList<QUserDevChState>> stateTable;
};

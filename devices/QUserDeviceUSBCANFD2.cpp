#include "devices/QUserDeviceUSBCANFD2.h"

#include <QDebug>
#include <QVector>

#include <mutex>
#include <shared_mutex>

#include "core/QUserAdapterModels.h"
#include "core/QUserBaudFunc.h"
#include "core/QUserDevId.h"
#include "core/QUserLogLine.h"
#include "devices/QKemFdDev.h"
#include "devtools/QUserDlgFd2Set.h"
#include "devtools/QUserFd2Cfg.h"

// A name outside the CAN FD models is served as "any other name": one
// channel, type number 41, CAN FD capable.
int QUserDeviceUSBCANFD2::channelCount(const QString &name)
{
    return QUserAdapterModels::fdDevice(name).channels;
}

int QUserDeviceUSBCANFD2::typeNumber(const QString &name)
{
    return QUserAdapterModels::fdDevice(name).typeNumber;
}

bool QUserDeviceUSBCANFD2::fdCapable(const QString &name)
{
    return QUserAdapterModels::fdDevice(name).fdCapable;
}

QUserDeviceUSBCANFD2::QUserDeviceUSBCANFD2() : typeName(QStringLiteral("USBCANFD2"))
{
    stateTableBuild();
}

QUserDeviceUSBCANFD2::QUserDeviceUSBCANFD2(const QString &name) : typeName(name)
{
    stateTableBuild();
}

QUserDeviceUSBCANFD2::~QUserDeviceUSBCANFD2()
{
    QList<QKemFdDev *> drivers;
    {
        std::unique_lock<QUserDrvTableLock> lock(drvLock);
        drivers = drvTable.values();
        drvTable.clear();
    }
    for (QKemFdDev *d : drivers)
        delete d;
}

QKemFdDev *QUserDeviceUSBCANFD2::driver(int devIndex) const
{
    std::shared_lock<QUserDrvTableLock> lock(drvLock);
    return drvTable.value(devIndex, nullptr);
}

int QUserDeviceUSBCANFD2::driverCount() const
{
    std::shared_lock<QUserDrvTableLock> lock(drvLock);
    return drvTable.size();
}

void QUserDeviceUSBCANFD2::stateTableBuild()
{
    const int n = channelCount(typeName);
    stateTable.clear();
    for (int d = 0; d < 32; ++d) {
        QList<QUserDevChState> list;
        for (int c = 0; c < n; ++c)
            list.append(QUserDevChState(makeDevId(typeName, d, c), 1));
        stateTable.append(list);
    }
}

void QUserDeviceUSBCANFD2::slotSendMsg(QString, QUserCanMsg) {}

int QUserDeviceUSBCANFD2::settingsDialogRun(QUserFd2Cfg *cfg)
{
    QUserDlgFd2Set dlg;
    QVector<QVector<bool>> openTable;
    for (const QList<QUserDevChState> &list : stateTable) {
        QVector<bool> flags;
        for (const QUserDevChState &s : list)
            flags.append(s.chOpenGet() != 0);
        openTable.append(flags);
    }
    dlg.fdSupportSet(fdCapable(typeName));
    dlg.dlgInit(typeName, typeName + QObject::tr(" 配置"), openTable);
    if (dlg.dialogExec() != 1)
        return 0;
    dlg.devCfgGet(cfg);
    return 1;
}

void QUserDeviceUSBCANFD2::stateFill(int devIndex, int channel, const QUserFd2Cfg &cfg)
{
    if (devIndex < 0 || devIndex >= stateTable.size() || channel < 0 || channel >= stateTable[devIndex].size())
        return;
    QUserDevChState &s = stateTable[devIndex][channel];
    s.chOpenSet(1);
    s.chLostSet(0);
    s.fdEnableSet(cfg.fdEnable);
    int brp = 0, sjw = 0, ts1 = 0, ts2 = 0;
    unpackFdBaudTiming(cfg.arbTimingWord, brp, sjw, ts1, ts2);
    s.baudSet(0, uint32_t(cfg.clock), uint32_t(brp), uint32_t(sjw), uint32_t(ts1), uint32_t(ts2));
    unpackFdBaudTiming(cfg.dataTimingWord, brp, sjw, ts1, ts2);
    s.baudSet(1, uint32_t(cfg.clock), uint32_t(brp), uint32_t(sjw), uint32_t(ts1), uint32_t(ts2));
    s.workModeSet(cfg.mode);
}

int QUserDeviceUSBCANFD2::open(QStringList &devIds)
{
    QUserFd2Cfg cfg;
    if (settingsDialogRun(&cfg) != 1)
        return -5;
    const int devIndex = cfg.devIndex;
    const int n = channelCount(typeName);

    QKemFdDev *drv = driver(devIndex);
    const bool made = drv == nullptr;
    if (made) {
        drv = new QKemFdDev(typeName, typeNumber(typeName), devIndex);
        connect(drv, &QThread::finished, drv, &QObject::deleteLater);
        connect(drv, SIGNAL(sendResultNotify(QString,QUserCanMsg)), this, SIGNAL(sendResultNotify(QString,QUserCanMsg)));
        connect(drv, SIGNAL(receiveMsg(QString,QVector<QUserCanMsg>)), this,
                SIGNAL(receiveMsg(QString,QVector<QUserCanMsg>)));
        // Queued behind the driver's last batches.
        connect(drv, &QKemFdDev::adapterLost, this, &QUserDeviceUSBCANFD2::slotDriverLost, Qt::QueuedConnection);
        drv->threadStart();
        std::unique_lock<QUserDrvTableLock> lock(drvLock);
        drvTable.insert(devIndex, drv);
    }

    QList<int> channels;
    const bool inTable = devIndex >= 0 && devIndex < stateTable.size();
    if (cfg.allChannels) {
        for (int c = 0; c < n; ++c)
            if (!inTable || !stateTable[devIndex][c].chOpenGet())
                channels.append(c);
    } else {
        channels.append(cfg.channel);
    }

    QList<int> started;
    for (int c : channels) {
        const int r = drv->canStart(c, &cfg);
        if (r < 0) {
            // Nothing of this call stays open: a driver made here goes with
            // its adapter; on a driver that was there before, the channels
            // started by this call are closed again and shown closed.
            if (made) {
                {
                    std::unique_lock<QUserDrvTableLock> lock(drvLock);
                    drvTable.remove(devIndex);
                }
                delete drv;
            } else {
                for (int s : started)
                    drv->canClose(s);
            }
            for (int s : started)
                if (inTable && s < stateTable[devIndex].size())
                    stateTable[devIndex][s].chOpenSet(0);
            return r;
        }
        stateFill(devIndex, c, cfg);
        started.append(c);
        devIds.append(makeDevId(typeName, devIndex, c));
    }
    return 0;
}

int QUserDeviceUSBCANFD2::close(const QString &devId)
{
    if (devId.isEmpty())
        return -1;
    QString type;
    int devIndex = 0, channel = 0;
    if (!parseDevId(devId, type, &devIndex, &channel)) {
        logLine(QStringLiteral("DevId Format Err, devClose fail..."));
        return -1;
    }
    QKemFdDev *drv = driver(devIndex);
    QUserDevChState *state = stateOf(devIndex, channel);
    if (!drv && state && state->chLostGet()) {
        // Closed when its adapter was lost: nothing is open any more.
        state->chLostSet(0);
        return 0;
    }
    if (!drv)
        return -1;
    if (!drv->canClose(channel))
        return -1;
    if (!drv->anyChannelOpen()) {
        // Out of the table first: this waits for the senders inside the
        // driver, and no sender finds it afterwards.
        {
            std::unique_lock<QUserDrvTableLock> lock(drvLock);
            drvTable.remove(devIndex);
        }
        drv->stopRequest();
        drv->wait();
        // The driver deletes itself once the finished signal is delivered.
    }
    if (devIndex >= 0 && devIndex < stateTable.size() && channel >= 0 && channel < stateTable[devIndex].size())
        stateTable[devIndex][channel].chOpenSet(0);
    return 0;
}

int QUserDeviceUSBCANFD2::sendMsg(const QString &devId, QUserCanMsg &msg)
{
    if (devId.isEmpty())
        return 0;
    QString type;
    int devIndex = 0, channel = 0;
    if (!parseDevId(devId, type, &devIndex, &channel)) {
        logLine(QStringLiteral("DevId Format Err, devClose fail..."));
        return 0;
    }
    // Held across the send: the driver cannot leave the table (and go)
    // while this thread is inside it.
    std::shared_lock<QUserDrvTableLock> lock(drvLock);
    QKemFdDev *drv = drvTable.value(devIndex, nullptr);
    if (!drv) {
        // No driver: never opened, closed, or its adapter has gone. The
        // frame did not leave, and says so like one the adapter refused.
        msg.sendFailed = 1;
        return 0;
    }
    return drv->transmitPost(channel, msg) ? 1 : 0;
}

int QUserDeviceUSBCANFD2::sendMsgList(const QString &devId, QVector<QUserCanMsg> msgs)
{
    if (devId.isEmpty())
        return 0;
    QString type;
    int devIndex = 0, channel = 0;
    if (!parseDevId(devId, type, &devIndex, &channel)) {
        logLine(QStringLiteral("DevId Format Err, devClose fail..."));
        return -1;
    }
    std::shared_lock<QUserDrvTableLock> lock(drvLock);
    QKemFdDev *drv = drvTable.value(devIndex, nullptr);
    if (!drv)
        return 0;
    return drv->transmitList(channel, msgs);
}

QUserDevChState *QUserDeviceUSBCANFD2::stateOf(int devIndex, int channel)
{
    if (devIndex < 0 || devIndex >= stateTable.size() || channel < 0 || channel >= stateTable[devIndex].size())
        return nullptr;
    return &stateTable[devIndex][channel];
}

void QUserDeviceUSBCANFD2::slotDriverLost(QString, int devIndex)
{
    // Only the driver that serves the adapter now: a report of one closed
    // meanwhile (and perhaps opened again) is stale.
    QKemFdDev *drv = driver(devIndex);
    if (!drv || !drv->isLost())
        return;
    logLine(QStringLiteral("Kem %1 index:%2 Lost, Channels Close...").arg(typeName).arg(devIndex));
    QStringList ids;
    QList<int> channels;
    for (int c = 0; c < channelCount(typeName); ++c) {
        QUserDevChState *s = stateOf(devIndex, c);
        if (s && s->chOpenGet()) {
            channels.append(c);
            ids.append(makeDevId(typeName, devIndex, c));
        }
    }
    // The channels close as a user's close would: the last one stops the
    // driver and closes the adapter, which can then be opened afresh.
    for (const QString &id : qAsConst(ids))
        close(id);
    for (int c : qAsConst(channels))
        if (QUserDevChState *s = stateOf(devIndex, c)) {
            s->chOpenSet(0);
            s->chLostSet(1);
        }
    emit adapterLost(typeName, devIndex, ids);
}

bool QUserDeviceUSBCANFD2::adapterGone(const QString &devId)
{
    QString type;
    int devIndex = 0, channel = 0;
    if (!parseDevId(devId, type, &devIndex, &channel))
        return false;
    if (const QUserDevChState *s = stateOf(devIndex, channel))
        if (s->chLostGet())
            return true;
    QKemFdDev *drv = driver(devIndex);
    return drv && (drv->isLost() || drv->adapterGone());
}

int QUserDeviceUSBCANFD2::devInfoGet(const QString &devId, QUserDevChState *state)
{
    QString type;
    int devIndex = 0, channel = 0;
    if (!parseDevId(devId, type, &devIndex, &channel)) {
        logLine(QStringLiteral("DevId Format Err, devInfoGet fail..."));
        return 0;
    }
    if (devIndex >= 0 && devIndex < stateTable.size() && channel >= 0 && channel < stateTable[devIndex].size()) {
        if (state)
            *state = stateTable[devIndex][channel];
        return 1;
    }
    logLine(QStringLiteral("DevId is out of range, devInfoGet fail..."));
    return 0;
}

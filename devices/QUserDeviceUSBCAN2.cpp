#include "devices/QUserDeviceUSBCAN2.h"

#include <QByteArray>
#include <QDebug>
#include <QSemaphore>
#include <QVector>

#include <mutex>
#include <shared_mutex>

#include <cstring>

#include "core/QUserBaudFunc.h"
#include "core/QUserDevId.h"
#include "core/QUserLogLine.h"
#include "devices/QKemDev.h"
#include "devtools/QUserFd2Cfg.h"
#include "devtools/uiDlgUsbcan2Cfg.h"

QUserDeviceUSBCAN2::QUserDeviceUSBCAN2(const QString &name) : typeName(name)
{
    const int n = channelCount();
    for (int d = 0; d < 32; ++d) {
        QList<QUserDevChState> list;
        for (int c = 0; c < n; ++c)
            list.append(QUserDevChState(makeDevId(typeName, d, c), 0));
        stateTable.append(list);
    }
}

QUserDeviceUSBCAN2::~QUserDeviceUSBCAN2()
{
    QList<QKemDev *> drivers;
    {
        std::unique_lock<QUserDrvTableLock> lock(drvLock);
        drivers = drvTable.values();
        drvTable.clear();
    }
    for (QKemDev *d : drivers)
        delete d;
}

QKemDev *QUserDeviceUSBCAN2::driver(int devIndex) const
{
    std::shared_lock<QUserDrvTableLock> lock(drvLock);
    return drvTable.value(devIndex, nullptr);
}

int QUserDeviceUSBCAN2::driverCount() const
{
    std::shared_lock<QUserDrvTableLock> lock(drvLock);
    return drvTable.size();
}

void QUserDeviceUSBCAN2::slotSendMsg(QString, QUserCanMsg) {}

int QUserDeviceUSBCAN2::settingsDialogRun(QUserUsbcan2Cfg *cfg)
{
    Usbcan2CfgDialog dlg(typeName + QObject::tr(" 配置"));
    QVector<QByteArray> usage;
    for (const QList<QUserDevChState> &list : stateTable) {
        QByteArray flags;
        for (const QUserDevChState &s : list)
            flags.append(char(s.chOpenGet()));
        usage.append(flags);
    }
    dlg.cfgSet(typeName, usage);
    if (dlg.dialogExec() != 1)
        return 0;
    dlg.cfgGet(cfg);
    return 1;
}

int QUserDeviceUSBCAN2::devChStateFill(int devIndex, int channel, const QUserUsbcan2Cfg &cfg)
{
    if (devIndex < 0 || devIndex >= stateTable.size() || channel < 0 || channel >= stateTable[devIndex].size())
        return 0;
    QUserDevChState &s = stateTable[devIndex][channel];
    s.chOpenSet(1);
    s.chLostSet(0);
    int brp = 0, sjw = 0, ts1 = 0, ts2 = 0;
    unpackBtr(uint8_t(cfg.timing0), uint8_t(cfg.timing1), brp, sjw, ts1, ts2);
    s.baudSet(0, uint32_t(cfg.clock), uint32_t(brp), uint32_t(sjw), uint32_t(ts1), uint32_t(ts2));
    if (typeName == QLatin1String("USBCAN2")) {
        s.relayShowSet();
        s.relayStateSet(cfg.relay != 0 ? 1 : 0);
    }
    s.workModeSet(cfg.mode);
    return 1;
}

bool QUserDeviceUSBCAN2::chClosePost(QKemDev *drv, int channel)
{
    QUserDrvCmdArg arg;
    arg.channel = channel;
    QUserDrvCmd cmd;
    cmd.type = QUserDrvCmd::ChClose;
    cmd.arg = &arg;
    QSemaphore *sem = new QSemaphore(0);
    cmd.sem = sem;
    drv->cmdPost(&cmd);
    delete sem;
    return cmd.result == 0;
}

int QUserDeviceUSBCAN2::open(QStringList &devIds)
{
    QUserUsbcan2Cfg cfg;
    cfg.mode = 0;
    cfg.fdEnable = 1;
    cfg.selfBaud = 0;
    cfg.filterEnable = 0;
    cfg.selfBaudText.clear();
    cfg.rules.clear();
    cfg.clock = 60;
    cfg.arbTimingWord = 0x1400106;
    cfg.dataTimingWord = 0x800001;
    if (settingsDialogRun(&cfg) != 1)
        return -5;

    KCAN_INIT_CONFIG init;
    std::memset(&init, 0, sizeof init);
    init.AccCode = cfg.accCode;
    init.AccMask = cfg.accMask;
    init.Filter = uint8_t(cfg.filter);
    init.Timing0 = uint8_t(cfg.timing0);
    init.Timing1 = uint8_t(cfg.timing1);
    init.Mode = uint8_t(cfg.mode);

    const int devIndex = cfg.devIndex;
    QKemDev *drv = driver(devIndex);
    const bool made = drv == nullptr;
    if (made) {
        drv = new QKemDev(typeName, QUserAdapterModels::classicDevice(typeName).typeNumber, devIndex);
        connect(drv, SIGNAL(sendResultNotify(QString,QUserCanMsg)), this, SIGNAL(sendResultNotify(QString,QUserCanMsg)));
        connect(drv, SIGNAL(receiveMsg(QString,QVector<QUserCanMsg>)), this,
                SIGNAL(receiveMsg(QString,QVector<QUserCanMsg>)));
        connect(drv, &QThread::finished, drv, &QObject::deleteLater);
        // Queued behind the driver's last batches.
        connect(drv, &QKemDev::adapterLost, this, &QUserDeviceUSBCAN2::slotDriverLost, Qt::QueuedConnection);
        drv->threadStart();
        std::unique_lock<QUserDrvTableLock> lock(drvLock);
        drvTable.insert(devIndex, drv);
    }

    QList<int> started;
    const bool inTable = devIndex >= 0 && devIndex < stateTable.size();
    auto fail = [&](int code) {
        if (made) {
            {
                std::unique_lock<QUserDrvTableLock> lock(drvLock);
                drvTable.remove(devIndex);
            }
            delete drv;
        } else {
            for (int s : started)
                chClosePost(drv, s);
        }
        for (int s : started)
            if (inTable && s < stateTable[devIndex].size())
                stateTable[devIndex][s].chOpenSet(0);
        return code;
    };

    if (drv->devOpen() < 0)
        return fail(-1);

    QList<int> channels;
    if (!cfg.allChannels) {
        channels.append(cfg.channel);
    } else {
        for (int c = 0; c < channelCount(); ++c)
            if (!inTable || !stateTable[devIndex][c].chOpenGet())
                channels.append(c);
    }
    for (int c : channels) {
        const int r = drv->canStart(c, &init);
        if (r < 0)
            return fail(r);
        started.append(c);
        if (typeName == QLatin1String("USBCAN2")) {
            int relay = 0;
            if (!drv->relayMaskGet(1 << c, &relay)) {
                // The channel is running but its relay state is unknown: the
                // open fails and the channel is closed again. Left open, it
                // would run in the driver unmarked, unlisted and unclosable.
                logLine(QStringLiteral("Kem %1 Relay Status Get Fail...").arg(typeName));
                return fail(-1);
            }
            cfg.relay = relay;
        }
        devChStateFill(devIndex, c, cfg);
        devIds.append(makeDevId(typeName, devIndex, c));
    }
    return 0;
}

int QUserDeviceUSBCAN2::close(const QString &devId)
{
    if (devId.isEmpty())
        return -1;
    QString type;
    int devIndex = 0, channel = 0;
    if (!parseDevId(devId, type, &devIndex, &channel)) {
        logLine(QStringLiteral("DevId Format Err, devClose fail..."));
        return -1;
    }
    QKemDev *drv = driver(devIndex);
    QUserDevChState *state = stateOf(devIndex, channel);
    if (!drv && state && state->chLostGet()) {
        // Closed when its adapter was lost: nothing is open any more.
        state->chLostSet(0);
        return 0;
    }
    if (!drv)
        return -1;
    if (!chClosePost(drv, channel))
        return -1;
    if (drv->anyChannelOpen() == 0) {
        // Out of the table first: this waits for the senders inside the
        // driver, and no sender finds it afterwards.
        {
            std::unique_lock<QUserDrvTableLock> lock(drvLock);
            drvTable.remove(devIndex);
        }
        drv->threadStop();
        drv->wait();
        // The driver deletes itself once the finished signal is delivered.
    }
    if (devIndex >= 0 && devIndex < stateTable.size() && channel >= 0 && channel < stateTable[devIndex].size())
        stateTable[devIndex][channel].chOpenSet(0);
    return 0;
}

int QUserDeviceUSBCAN2::sendMsg(const QString &devId, QUserCanMsg &msg)
{
    if (devId.isEmpty())
        return 0;
    QString type;
    int devIndex = 0, channel = 0;
    if (!parseDevId(devId, type, &devIndex, &channel))
        return 0;
    // Held across the send: the driver cannot leave the table (and go)
    // while this thread is inside it.
    std::shared_lock<QUserDrvTableLock> lock(drvLock);
    QKemDev *drv = drvTable.value(devIndex, nullptr);
    if (!drv) {
        // No driver: never opened, closed, or its adapter has gone. The
        // frame did not leave, and says so like one the adapter refused.
        msg.sendFailed = 1;
        return 0;
    }
    return drv->transmitPost(channel, msg) ? 1 : 0;
}

int QUserDeviceUSBCAN2::sendMsgList(const QString &devId, QVector<QUserCanMsg> msgs)
{
    if (devId.isEmpty())
        return 0;
    QString type;
    int devIndex = 0, channel = 0;
    if (!parseDevId(devId, type, &devIndex, &channel))
        return -1;
    std::shared_lock<QUserDrvTableLock> lock(drvLock);
    QKemDev *drv = drvTable.value(devIndex, nullptr);
    if (!drv)
        return 0;
    return drv->transmitList(channel, msgs);
}

QUserDevChState *QUserDeviceUSBCAN2::stateOf(int devIndex, int channel)
{
    if (devIndex < 0 || devIndex >= stateTable.size() || channel < 0 || channel >= stateTable[devIndex].size())
        return nullptr;
    return &stateTable[devIndex][channel];
}

void QUserDeviceUSBCAN2::slotDriverLost(QString, int devIndex)
{
    // Only the driver that serves the adapter now: a report of one closed
    // meanwhile (and perhaps opened again) is stale.
    QKemDev *drv = driver(devIndex);
    if (!drv || !drv->isLost())
        return;
    logLine(QStringLiteral("Kem %1 index:%2 Lost, Channels Close...").arg(typeName).arg(devIndex));
    QStringList ids;
    QList<int> channels;
    for (int c = 0; c < channelCount(); ++c) {
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

bool QUserDeviceUSBCAN2::adapterGone(const QString &devId)
{
    QString type;
    int devIndex = 0, channel = 0;
    if (!parseDevId(devId, type, &devIndex, &channel))
        return false;
    if (const QUserDevChState *s = stateOf(devIndex, channel))
        if (s->chLostGet())
            return true;
    QKemDev *drv = driver(devIndex);
    return drv && (drv->isLost() || drv->adapterGone());
}

int QUserDeviceUSBCAN2::devInfoGet(const QString &devId, QUserDevChState *state)
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

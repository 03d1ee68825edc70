#include "devices/QUserDeviceAdapter.h"

#include "core/QUserAdapterModels.h"
#include "core/QUserDevId.h"
#include "devices/QUserDevice.h"
#include "devices/QUserDeviceSendMachine.h"
#include "devices/QUserDeviceUSBCAN2.h"
#include "devices/QUserDeviceUSBCANFD2.h"
#include "traffic/QUserRecord.h"

QUserDeviceAdapter::QUserDeviceAdapter(QObject *ownerWindow) : QObject(nullptr), owner(ownerWindow)
{
    registerCanMsgMetaTypes();
    // One device per classic and CAN FD model, in the model table's order.
    QList<QPair<QString, QUserDevice *>> made;
    for (const QUserAdapterModel &m : QUserAdapterModels::kModels) {
        const QString name = QString::fromLatin1(m.name);
        if (m.family == QUserAdapterFamily::Classic)
            made.append({name, new QUserDeviceUSBCAN2(name)});
        else if (m.family == QUserAdapterFamily::CanFd)
            made.append({name, new QUserDeviceUSBCANFD2(name)});
    }
    for (const auto &p : made)
        devMap.insert(p.first, p.second);
    for (const auto &p : made)
        deviceConnect(p.second);
}

QUserDeviceAdapter::~QUserDeviceAdapter()
{
    // Senders first (their threads send through the devices), then the
    // recorders, then the devices with their driver threads, then the filters.
    for (QUserDeviceSendMachine *m : qAsConst(sendMachineMap))
        delete m;
    sendMachineMap.clear();
    for (QUserRecord *r : qAsConst(recordMap))
        delete r;
    recordMap.clear();
    for (QUserDevice *d : qAsConst(devMap))
        delete d;
    devMap.clear();
    for (QUserFliterCfg *f : qAsConst(fliterMap))
        delete f;
    fliterMap.clear();
}

void QUserDeviceAdapter::deviceConnect(QUserDevice *device)
{
    connect(device, SIGNAL(sendResultNotify(QString,QUserCanMsg)), this, SIGNAL(sendResultNotify(QString,QUserCanMsg)));
    connect(device, SIGNAL(receiveMsg(QString,QVector<QUserCanMsg>)), this,
            SIGNAL(receiveMsg(QString,QVector<QUserCanMsg>)));
    // Only devices that tell of lost adapters have the signal.
    if (device->metaObject()->indexOfSignal("adapterLost(QString,int,QStringList)") >= 0)
        connect(device, SIGNAL(adapterLost(QString,int,QStringList)), this,
                SLOT(soltAdapterLost(QString,int,QStringList)));
}

void QUserDeviceAdapter::soltAdapterLost(QString typeName, int devIndex, QStringList devIds)
{
    // One more turn of the event loop: the batches the drivers received
    // before the loss were relayed to the window (queued) before the loss
    // reached the device, and are shown and recorded before the recordings
    // stop here.
    QMetaObject::invokeMethod(
        this, [this, typeName, devIndex, devIds] { adapterLostHandle(typeName, devIndex, devIds); },
        Qt::QueuedConnection);
}

void QUserDeviceAdapter::adapterLostHandle(const QString &typeName, int devIndex, const QStringList &devIds)
{
    QStringList stopped;
    for (const QString &id : devIds) {
        if (recordIsStart(id)) {
            recordStop(id);
            stopped.append(id);
        }
        basicSendStop(id);
        advanceSendStop(id);
    }
    emit devLost(typeName, devIndex, devIds, stopped);
}

bool QUserDeviceAdapter::devLostGet(const QString &devId)
{
    QUserDevice *d = deviceOf(devId);
    return d && d->adapterGone(devId);
}

void QUserDeviceAdapter::deviceReplace(const QString &typeName, QUserDevice *device)
{
    delete devMap.take(typeName);
    devMap.insert(typeName, device);
    deviceConnect(device);
}

QUserDevice *QUserDeviceAdapter::deviceOf(const QString &devId) const
{
    QString type;
    if (!parseDevId(devId, type))
        return nullptr;
    return devMap.value(type, nullptr);
}

bool QUserDeviceAdapter::hasChannel(const QString &devId) const
{
    return sendMachineMap.contains(devId) && recordMap.contains(devId) && fliterMap.contains(devId);
}

void QUserDeviceAdapter::channelRemove(const QString &devId)
{
    if (QUserDeviceSendMachine *m = sendMachineMap.take(devId))
        delete m;
    if (QUserRecord *r = recordMap.take(devId))
        delete r;
    if (QUserFliterCfg *f = fliterMap.take(devId))
        delete f;
}

int QUserDeviceAdapter::devOpen(const QString &typeName, QStringList &devIds)
{
    if (!owner)
        return -4;
    QUserDevice *device = devMap.value(typeName, nullptr);
    if (!device)
        return -4;
    const int r = device->open(devIds);
    if (r < 0)
        return r;
    for (const QString &id : qAsConst(devIds)) {
        // An id that is somehow still held gets fresh objects; the old ones go.
        channelRemove(id);
        QUserDeviceSendMachine *m = new QUserDeviceSendMachine(id, device);
        sendMachineMap.insert(id, m);
        connect(m, SIGNAL(sendResultNotify(QString,QUserCanMsg)), this, SIGNAL(sendResultNotify(QString,QUserCanMsg)));
        QUserRecord *rec = new QUserRecord(id);
        recordMap.insert(id, rec);
        connect(rec, &QUserRecord::recordFailed, this, [this, id](const QString &) {
            emit recordFailed(id, QStringLiteral("Record Write Fail, Record Stop..."));
        });
        fliterMap.insert(id, new QUserFliterCfg(id));
    }
    return r;
}

int QUserDeviceAdapter::devClose(const QString &typeName, const QString &devId)
{
    // The device's own result: 0 closed, negative when the channel did not
    // close. The channel's objects go either way. A type name without a
    // device class has nothing open to close.
    QUserDevice *device = devMap.value(typeName, nullptr);
    const int result = device ? device->close(devId) : 0;
    channelRemove(devId);
    return result;
}

int QUserDeviceAdapter::devInfoGet(const QString &devId, QUserDevChState *state)
{
    QUserDevice *d = deviceOf(devId);
    return d ? d->devInfoGet(devId, state) : 0;
}

int QUserDeviceAdapter::devSendMsg(const QString &devId, QUserCanMsg &msg)
{
    QUserDevice *d = deviceOf(devId);
    return d ? d->sendMsg(devId, msg) : 0;
}

int QUserDeviceAdapter::devSendMsgList(const QString &devId, QVector<QUserCanMsg> msgs)
{
    QUserDevice *d = deviceOf(devId);
    return d ? d->sendMsgList(devId, msgs) : 0;
}

// ---- send machines ----------------------------------------------------------------

bool QUserDeviceAdapter::basicSendStart(const QString &devId, const QUserSendTask &task)
{
    QUserDeviceSendMachine *m = sendMachine(devId);
    return m ? (m->basicSendStart(task), true) : false;
}

bool QUserDeviceAdapter::basicSendStop(const QString &devId)
{
    QUserDeviceSendMachine *m = sendMachine(devId);
    return m ? (m->basicSendStop(), true) : false;
}

bool QUserDeviceAdapter::basicSendParaSet(const QString &devId, const QUserSendTask &task)
{
    QUserDeviceSendMachine *m = sendMachine(devId);
    return m ? (m->basicSendParaSet(task), true) : false;
}

int QUserDeviceAdapter::basicSendParaGet(const QString &devId, QUserSendTask &task)
{
    QUserDeviceSendMachine *m = sendMachine(devId);
    if (!m)
        return 0;
    task = m->basicSendParaGet();
    return 1;
}

QUserSendTask *QUserDeviceAdapter::basicSendParaRef(const QString &devId)
{
    QUserDeviceSendMachine *m = sendMachine(devId);
    return m ? m->basicSendParaRef() : nullptr;
}

bool QUserDeviceAdapter::advanceSendStart(const QString &devId, const QUserSendTask &task)
{
    QUserDeviceSendMachine *m = sendMachine(devId);
    return m ? (m->advanceSendStart(task), true) : false;
}

bool QUserDeviceAdapter::advanceSendStop(const QString &devId)
{
    QUserDeviceSendMachine *m = sendMachine(devId);
    return m ? (m->advanceSendStop(), true) : false;
}

bool QUserDeviceAdapter::advanceSendParaSet(const QString &devId, const QUserSendTask &task)
{
    QUserDeviceSendMachine *m = sendMachine(devId);
    return m ? (m->advanceSendParaSet(task), true) : false;
}

int QUserDeviceAdapter::advanceSendParaGet(const QString &devId, QUserSendTask &task)
{
    QUserDeviceSendMachine *m = sendMachine(devId);
    if (!m)
        return 0;
    task = m->advanceSendParaGet();
    return 1;
}

QUserSendTask *QUserDeviceAdapter::advanceSendParaRef(const QString &devId)
{
    QUserDeviceSendMachine *m = sendMachine(devId);
    return m ? m->advanceSendParaRef() : nullptr;
}

bool QUserDeviceAdapter::advanceSendCfgLoad(const QString &devId, const QString &path)
{
    QUserDeviceSendMachine *m = sendMachine(devId);
    return m ? m->advanceSendCfgLoad(path) : false;
}

bool QUserDeviceAdapter::advanceSendCfgSave(const QString &devId, const QString &path)
{
    QUserDeviceSendMachine *m = sendMachine(devId);
    return m ? m->advanceSendCfgSave(path) : false;
}

// ---- recorders ------------------------------------------------------------------

bool QUserDeviceAdapter::recordStart(const QString &devId, const QString &path)
{
    QUserRecord *r = recordMap.value(devId, nullptr);
    if (!r)
        return false;
    r->recordStart(path);
    return r->isRecording();
}

bool QUserDeviceAdapter::recordStop(const QString &devId)
{
    QUserRecord *r = recordMap.value(devId, nullptr);
    if (!r)
        return false;
    r->recordStop();
    return true;
}

bool QUserDeviceAdapter::recordIsStart(const QString &devId)
{
    QUserRecord *r = recordMap.value(devId, nullptr);
    return r ? r->isRecording() : false;
}

int QUserDeviceAdapter::recordWrite(const QString &devId, QUserCanMsg msg)
{
    QUserRecord *r = recordMap.value(devId, nullptr);
    if (!r || !r->isRecording())
        return 0;
    return r->recordWrite(devId, msg) ? 1 : 0;
}

// ---- filters -----------------------------------------------------------------------

bool QUserDeviceAdapter::fliterEnableSet(const QString &devId, bool on)
{
    QUserFliterCfg *f = fliterMap.value(devId, nullptr);
    return f ? f->setEnable(on) : false;
}

bool QUserDeviceAdapter::fliterEnableGet(const QString &devId)
{
    QUserFliterCfg *f = fliterMap.value(devId, nullptr);
    return f ? f->isEnable() : false;
}

bool QUserDeviceAdapter::fliterSave(const QString &devId, const QVector<QUserFliterRule> &rules)
{
    QUserFliterCfg *f = fliterMap.value(devId, nullptr);
    if (!f)
        return false;
    QVector<QUserFliterRule> before;
    f->getRules(before);
    if (f->setRules(rules))
        return true;
    // Rules that were not stored would be gone at the next start: the
    // channel keeps those its file holds (written back where it can be).
    f->setRules(before);
    return false;
}

bool QUserDeviceAdapter::fliterRulesGet(const QString &devId, QVector<QUserFliterRule> &rules)
{
    QUserFliterCfg *f = fliterMap.value(devId, nullptr);
    return f ? f->getRules(rules) : false;
}

int QUserDeviceAdapter::fliterCheck(const QString &devId, const QUserCanMsg *msg)
{
    QUserFliterCfg *f = fliterMap.value(devId, nullptr);
    if (!f || !msg)
        return 0;
    return f->isPass(msg) ? 1 : 0;
}

#include "devices/QKemFdDev.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QMutexLocker>

#include <cstring>

#include "core/QUserAdapterModels.h"
#include "core/QUserBaudFunc.h"
#include "core/QUserDevId.h"
#include "core/QUserLogLine.h"
#include "core/QUserProtocolFrame.h"
#include "devices/QKemFrames.h"
#include "devtools/QUserFd2Cfg.h"

namespace {
// Decimal texts of 0..255, shared by every received frame.
const QString &lengthText(uint8_t n)
{
    static const QVector<QString> texts = [] {
        QVector<QString> t(256);
        for (int i = 0; i < 256; ++i)
            t[i] = QString::number(i);
        return t;
    }();
    return texts.at(n);
}
} // namespace

// The receive conversion of the poll: the same texts as canObjToMsg and
// canFdObjToMsg, with the identifier text taken from a small cache (a bus
// carries few identifiers, and a shared text costs no allocation) and the
// length text from a shared table. Only the driver thread uses the cache.
const QString &QKemFdDev::idTextOf(uint32_t id)
{
    IdText &slot = idCache[(id ^ (id >> 8) ^ (id >> 16)) & (kIdCacheSize - 1)];
    if (slot.id != id) {
        slot.text = idToText(id);
        slot.id = id;
    }
    return slot.text;
}

namespace {

// The reference count of a list's shared storage, read with acquire. Qt 5
// gives no access to it other than isDetached(), which reads it relaxed; a
// QVector is nothing but the pointer to that storage.
int refCountAcquire(const QVector<QUserCanMsg> &v)
{
    static_assert(sizeof(QVector<QUserCanMsg>) == sizeof(QArrayData *), "a QVector is its storage pointer");
    const QArrayData *d = nullptr;
    std::memcpy(&d, &v, sizeof d);
    return d->ref.atomic.loadAcquire();
}

} // namespace

// A batch list of count frames for the next emit. Lists handed out before
// come back once every receiver has let go of its copy (the driver then holds
// the only reference): such a list is refilled in place, so its storage and
// its frames' texts are made and released in this thread rather than freed
// one by one in the receivers' thread, which contends with this one for the
// allocator. Refilled frames are written in every field the conversion sets;
// the others are never written by anyone (a receiver that changes its copy
// gets one of its own), so they keep their default-constructed values.
QVector<QUserCanMsg> &QKemFdDev::batchFor(int count)
{
    // Lists come back roughly in the order they went out: look at the
    // oldest few only.
    for (int n = 0; n < kBatchLook; ++n) {
        const int slot = (batchNext + n) % kBatchPool;
        QVector<QUserCanMsg> &v = batchPool[slot];
        // The receivers' last reads happen before their release of it (the
        // decrement of the reference count): the count is read with acquire,
        // which orders the refill after them. (isDetached() reads it
        // relaxed; a separate fence gives the same order, but the thread
        // sanitizer does not see fences and reported the refill as a race.)
        if (refCountAcquire(v) == 1) {
            batchNext = (slot + 1) % kBatchPool;
            v.resize(count);
            return v;
        }
    }
    // All out: a new list in the next slot; the one there stays with its
    // receivers and is freed by the last of them.
    QVector<QUserCanMsg> &v = batchPool[batchNext];
    batchNext = (batchNext + 1) % kBatchPool;
    v = QVector<QUserCanMsg>(count);
    return v;
}

template<class Obj>
void QKemFdDev::rxFill(const Obj &obj, int maxData, QUserCanMsg &msg)
{
    msg.idText = idTextOf(obj.ID & 0x1FFFFFFFu);
    msg.remote = obj.RemoteFlag ? 1 : 0;
    msg.extended = obj.ExternFlag ? 1 : 0;
    if (msg.remote) {
        msg.lenText = lengthText(0);
        msg.dataText = QString(QLatin1String(""));
    } else {
        msg.lenText = lengthText(obj.DataLen);
        msg.dataText = bytesToHex(obj.Data, obj.DataLen < maxData ? obj.DataLen : maxData);
    }
    msg.devTime = obj.TimeStamp;
}

int QKemFdDev::typeNumber(const QString &name)
{
    // A name outside the CAN FD models takes 41, as devSet does for "any other name".
    return QUserAdapterModels::fdDevice(name).typeNumber;
}

QKemFdDev::QKemFdDev(const QString &name, int type, int index)
    : typeName(name), devType(uint16_t(type)), devIndex(uint16_t(index))
{
    queuedMode = true;
    opened = false;
    stopFlag = false;
    registerCanMsgMetaTypes();
    qRegisterMetaType<QUserBaudChkMsg>("QUserBaudChkMsg");
    lib = new QKemLib(QStringLiteral("kemusb.dll"));
    if (lib->isLoaded())
        logLine(QStringLiteral("Kem %1 Lib Load Success...").arg(typeName));
    else
        logLine(QStringLiteral("Kem %1 Lib Load Fail...").arg(typeName));
}

QKemFdDev::~QKemFdDev()
{
    {
        QMutexLocker lock(&stopMutex);
        stopFlag = true;
    }
    if (isRunning())
        wait();
    // Posters still queued (or arriving now) are answered, never left waiting.
    cmdQueue.close();
    devClose();
    delete lib;
    lib = nullptr;
}

QString QKemFdDev::deviceId(int channel) const
{
    return makeDevId(typeName, devIndex, channel);
}

void QKemFdDev::threadStart()
{
    setObjectName(QStringLiteral("kemfd-%1").arg(devIndex)); // the thread's name in tools and benchmarks
    cmdQueue.open();
    start(QThread::InheritPriority);
}

int QKemFdDev::devSet(const QString &name, int, int index)
{
    typeName = name;
    devIndex = uint16_t(index);
    devType = uint16_t(typeNumber(name));
    queuedMode = false;
    return 0;
}

// ---- adapter operations -----------------------------------------------------

int QKemFdDev::devOpen()
{
    if (opened)
        return 0;
    logLine(QStringLiteral("Kem %1 打开设备..").arg(typeName));
    const uint32_t r = lib->openDevice ? lib->openDevice(devType, devIndex) : 0;
    if (r == 1) {
        opened = true;
        return 0;
    }
    logLine(QStringLiteral("ERROR:%1 Open Fail...").arg(typeName));
    return -1;
}

int QKemFdDev::devOpenByIndex(int index)
{
    devIndex = uint16_t(index);
    return devOpen();
}

int QKemFdDev::devClose()
{
    if (!opened)
        return 1;
    logLine(QStringLiteral("Kem %1 关闭设备..").arg(typeName));
    opened = false;
    const uint32_t r = lib->closeDevice ? lib->closeDevice(devType, devIndex) : 0;
    if (r != 1)
        logLine(QStringLiteral("Kem %1 关闭失败..").arg(typeName));
    return 1;
}

bool QKemFdDev::chStart(int channel)
{
    logLine(QStringLiteral("Kem %1 <%2,%3> Start").arg(typeName).arg(devIndex).arg(channel));
    return lib->start && lib->start(devType, devIndex, uint32_t(channel)) != 0;
}

bool QKemFdDev::chReset(int channel)
{
    logLine(QStringLiteral("%1 复位...").arg(typeName));
    if (!opened)
        return false;
    if (lib->stop && lib->stop(devType, devIndex, uint32_t(channel)) != 0)
        return true;
    logLine(QStringLiteral("ERROR:%1 复位失败...").arg(typeName));
    return false;
}

bool QKemFdDev::chBufferClear(int channel)
{
    logLine(QStringLiteral("%1 清缓冲...").arg(typeName));
    if (!opened)
        return false;
    if (lib->clearBuffer && lib->clearBuffer(devType, devIndex, uint32_t(channel)) == 1)
        return true;
    logLine(QStringLiteral("ERROR:%1 缓冲清空失败...").arg(typeName));
    return false;
}

bool QKemFdDev::anyChannelOpen() const
{
    QMutexLocker lock(&chMutex);
    for (auto it = chTable.cbegin(); it != chTable.cend(); ++it)
        if (it.value())
            return true;
    return false;
}

void QKemFdDev::pollListRebuild()
{
    QVector<int> list;
    QVector<QString> ids;
    for (auto it = chTable.cbegin(); it != chTable.cend(); ++it)
        if (it.value()) {
            list.append(it.key());
            ids.append(deviceId(it.key()));
        }
    pollList = list;
    pollIds = ids;
}

int QKemFdDev::relayStatusSet(uint8_t, uint8_t)
{
    logLine(QStringLiteral("Kem %1 index:%2 Relay Status Set..").arg(typeName).arg(devIndex));
    return 1;
}

int QKemFdDev::relayStatusGet(int &a, int &b)
{
    a = 0;
    b = 0;
    return 1;
}

// The classic driver's timing operations, which CAN FD adapters do not
// have: they reach no adapter, write nothing and answer 1.
int QKemFdDev::canInitByTiming(int, uint8_t, uint8_t)
{
    return 1;
}

int QKemFdDev::devBaudParaGet(int, int *, int *)
{
    return 1;
}

int QKemFdDev::receiveNumGetDirect(int channel)
{
    return lib->getReceiveNum ? int(lib->getReceiveNum(devType, devIndex, uint32_t(channel), 2)) : 0;
}

int QKemFdDev::dataDirectTransferAny(uint8_t *buffer, int length)
{
    return lib->dataDirectTransfer ? int(lib->dataDirectTransfer(devType, devIndex, buffer, length)) : 0;
}

int QKemFdDev::receiveNumGet(int channel)
{
    return queuedMode ? 0 : receiveNumGetDirect(channel);
}

int QKemFdDev::dataDirectTransfer(uint8_t *buffer, int length)
{
    return queuedMode ? 0 : dataDirectTransferAny(buffer, length);
}

// ---- channel start and close -----------------------------------------------

int QKemFdDev::canInit(int channel, QUserFd2Cfg *cfg)
{
    logLine(QStringLiteral("Kem %1 <%2,%3> Init").arg(typeName).arg(devIndex).arg(channel));
    const int o = devOpen();
    if (o != 0)
        return o;
    if (cfg->filterEnable && !cfg->rules.isEmpty() && lib->setFliter) {
        KCAN_FLITER_CONFIG f;
        std::memset(&f, 0, sizeof f);
        f.Kind = KCAN_FLITER_CLEAR;
        lib->setFliter(devType, devIndex, uint32_t(channel), &f);
        for (const QUserFliterRule &rule : cfg->rules) {
            f.Kind = KCAN_FLITER_ADD;
            f.Mode = rule.extended ? 1 : 0;
            f.Start = rule.startId;
            f.End = rule.endId;
            lib->setFliter(devType, devIndex, uint32_t(channel), &f);
        }
        f.Kind = KCAN_FLITER_ACK;
        lib->setFliter(devType, devIndex, uint32_t(channel), &f);
    }
    KCAN_INITFD_CONFIG init;
    std::memset(&init, 0, sizeof init);
    init.ArbBaud = 0;
    init.DataBaud = 0;
    init.ArbTiming = cfg->arbTimingWord;
    init.DataTiming = cfg->dataTimingWord;
    init.Mode = uint8_t(cfg->mode);
    init.FdEnable = cfg->fdEnable ? 1 : 0;
    init.Standard = init.FdEnable == 1 ? cfg->isoStandard : 0;
    const uint32_t r = lib->initCanFd ? lib->initCanFd(devType, devIndex, uint32_t(channel), &init) : 0;
    return r == 1 ? 0 : -3;
}

bool QKemFdDev::chStartExec(int channel, QUserFd2Cfg *cfg)
{
    {
        QMutexLocker lock(&chMutex);
        chTable[channel] = true;
        pollListRebuild();
    }
    bool ok = cfg && canInit(channel, cfg) >= 0;
    if (!ok)
        logLine(QStringLiteral("Kem %1 ch%2 Init Fail...").arg(typeName).arg(channel));
    else if (!(ok = chStart(channel)))
        logLine(QStringLiteral("Kem %1 ch%2 Start Fail...").arg(typeName).arg(channel));
    if (!ok) {
        // A channel that did not start is not polled, and does not keep the
        // thread and the adapter alive once the others close.
        QMutexLocker lock(&chMutex);
        chTable[channel] = false;
        pollListRebuild();
    }
    return ok;
}

bool QKemFdDev::chCloseExec(int channel)
{
    {
        QMutexLocker lock(&chMutex);
        if (!chTable.contains(channel))
            return false;
        chTable[channel] = false;
        pollListRebuild();
    }
    chReset(channel);
    if (anyChannelOpen())
        return true;
    devClose();
    return true;
}

int QKemFdDev::canStart(int channel, void *cfg)
{
    if (!queuedMode)
        return chStartExec(channel, static_cast<QUserFd2Cfg *>(cfg)) ? 0 : -1;
    const int r = cmdQueue.postWait(QUserDrvCmd::ChStart, channel, nullptr, nullptr, cfg);
    return r != 0 ? -1 : 0;
}

bool QKemFdDev::canClose(int channel)
{
    if (!queuedMode)
        return chCloseExec(channel);
    return cmdQueue.postWait(QUserDrvCmd::ChClose, channel, nullptr, nullptr, nullptr) == 0;
}

// ---- transmit -------------------------------------------------------------

bool QKemFdDev::transmitOne(int channel, QUserCanMsg &msg)
{
    KCAN_CAN_OBJ obj;
    KCAN_CANFD_OBJ fdObj;
    const uint8_t p = msg.protocol;
    if (p == 0)
        kemframes::toCanObj(msg, obj, true);
    else if (p == 1 || p == 2)
        kemframes::toCanFdObj(msg, fdObj);
    bool failed = true;
    {
        QMutexLocker lock(&txMutex);
        if (p == 0)
            failed = !(lib->transmit && lib->transmit(devType, devIndex, uint32_t(channel), &obj, 1) != 0);
        else if (p == 1 || p == 2)
            failed = !(lib->transmitFd && lib->transmitFd(devType, devIndex, uint32_t(channel), &fdObj, 1) != 0);
    }
    msg.direction = 1;
    msg.channel = uint8_t(channel);
    msg.sendFailed = failed ? 1 : 0;
    msg.hostTime = getCurrentMs();
    emit sendResultNotify(deviceId(channel), msg);
    return !failed;
}

// Sends at most 32 frames. A list may mix classic and CAN FD frames (playback
// hands such lists): each run of frames of one kind goes out as its own
// transmit call with its own records, so no frame is converted to the wrong
// kind. A run the adapter does not take whole ends the list there.
int QKemFdDev::transmitBatch(int channel, QVector<QUserCanMsg> &msgs)
{
    const int n = msgs.size() < 32 ? msgs.size() : 32;
    if (n == 0) {
        QMutexLocker lock(&txMutex);
        if (lib->transmit)
            lib->transmit(devType, devIndex, uint32_t(channel), nullptr, 0);
        return 0;
    }
    KCAN_CAN_OBJ objs[32];
    KCAN_CANFD_OBJ fdObjs[32];
    for (int i = 0; i < n; ++i) {
        if (kemframes::isFdProtocol(msgs[i].protocol))
            kemframes::toCanFdObj(msgs[i], fdObjs[i]);
        else
            kemframes::toCanObj(msgs[i], objs[i], true);
    }
    int sent = 0;
    int reported = 0;
    const QString id = deviceId(channel);
    // Run by run of one kind: sent as one call of one kind, a mixed list
    // would go out with every frame of the other kind as a garbage record.
    int start = 0;
    while (start < n) {
        const bool fd = kemframes::isFdProtocol(msgs[start].protocol);
        int end = start + 1;
        while (end < n && kemframes::isFdProtocol(msgs[end].protocol) == fd)
            ++end;
        const int count = end - start;
        uint32_t r = 0;
        {
            // A sender thread and the driver thread transmit on one adapter;
            // unlocked, their calls interleave inside the library.
            QMutexLocker lock(&txMutex);
            if (fd)
                r = lib->transmitFd ? lib->transmitFd(devType, devIndex, uint32_t(channel), fdObjs + start, uint32_t(count)) : 0;
            else
                r = lib->transmit ? lib->transmit(devType, devIndex, uint32_t(channel), objs + start, uint32_t(count)) : 0;
        }
        const int took = int(r) > count ? count : int(r);
        for (int i = start; i < start + took; ++i) {
            QUserCanMsg &m = msgs[i];
            m.channel = uint8_t(channel);
            m.direction = 1;
            m.sendFailed = 0;
            m.hostTime = getCurrentMs();
            emit sendResultNotify(id, m);
            ++reported;
        }
        sent += took;
        if (took < count) {
            QUserCanMsg &m = msgs[start + took];
            m.channel = uint8_t(channel);
            m.direction = 1;
            m.sendFailed = 1;
            m.hostTime = getCurrentMs();
            emit sendResultNotify(id, m);
            return sent;
        }
        start = end;
    }
    return sent;
}

int QKemFdDev::transmitList(int channel, QVector<QUserCanMsg> msgs)
{
    return transmitBatch(channel, msgs);
}

bool QKemFdDev::transmitPost(int channel, QUserCanMsg &msg)
{
    if (!queuedMode)
        return transmitOne(channel, msg);
    int done = 0;
    cmdQueue.postWait(QUserDrvCmd::SendOne, channel, &msg, nullptr, nullptr, &done);
    return done != 0;
}

int QKemFdDev::cmdPost(QUserDrvCmd *cmd)
{
    cmdQueue.post(cmd);
    return 1;
}

void QKemFdDev::stopRequest()
{
    QMutexLocker lock(&stopMutex);
    stopFlag = true;
}

// ---- receive ----------------------------------------------------------------

int QKemFdDev::receive(int channel, QVector<QUserCanMsg> &msgs)
{
    {
        QMutexLocker lock(&chMutex);
        if (!chTable.value(channel, false))
            return 0;
    }
    msgs.clear();
    KCAN_CAN_OBJ objs[32];
    KCAN_CANFD_OBJ fdObjs[32];
    QUserCanMsg m;
    const uint32_t n = lib->receive ? lib->receive(devType, devIndex, uint32_t(channel), objs, 32, 0) : 0;
    for (uint32_t i = 0; int(n) > 0 && i < n && i < 32; ++i) {
        canObjToMsg(objs[i], m);
        msgs.append(m);
    }
    QUserCanMsg f;
    const uint32_t k = lib->receiveFd ? lib->receiveFd(devType, devIndex, uint32_t(channel), fdObjs, 32, 0) : 0;
    for (uint32_t i = 0; int(k) > 0 && i < k && i < 32; ++i) {
        canFdObjToMsg(fdObjs[i], f);
        msgs.append(f);
    }
    return msgs.size();
}

int QKemFdDev::chPoll(int channel, const QString &id)
{
    KCAN_CAN_OBJ objs[32];
    KCAN_CANFD_OBJ fdObjs[32];
    int total = 0;
    const int n = lib->receive ? int(lib->receive(devType, devIndex, uint32_t(channel), objs, 32, 0)) : 0;
    if (n > 0) {
        const int count = n > 32 ? 32 : n;
        QVector<QUserCanMsg> &batch = batchFor(count);
        const int64_t now = getCurrentMs();
        QUserCanMsg *m = batch.data();
        for (int i = 0; i < count; ++i) {
            rxFill(objs[i], 8, m[i]);
            m[i].protocol = 0;
            m[i].fdFlags = 0;
            m[i].direction = 0;
            m[i].channel = uint8_t(channel);
            m[i].hostTime = now;
        }
        emit receiveMsg(id, batch);
        total += count;
    }
    const int k = lib->receiveFd ? int(lib->receiveFd(devType, devIndex, uint32_t(channel), fdObjs, 32, 0)) : 0;
    if (k > 0) {
        const int count = k > 32 ? 32 : k;
        QVector<QUserCanMsg> &batch = batchFor(count);
        const int64_t now = getCurrentMs();
        QUserCanMsg *m = batch.data();
        for (int i = 0; i < count; ++i) {
            rxFill(fdObjs[i], 64, m[i]);
            m[i].fdFlags = fdObjs[i].FdFlag;
            m[i].protocol = (fdObjs[i].FdFlag & KCAN_FD_FLAG_BRS) ? 2 : 1;
            m[i].direction = 0;
            m[i].channel = uint8_t(channel);
            m[i].hostTime = now;
        }
        emit receiveMsg(id, batch);
        total += count;
    }
    return total;
}

// ---- the thread ---------------------------------------------------------------

int QKemFdDev::cmdExecute()
{
    QUserDrvCmd *cmd = cmdQueue.pop();
    if (!cmd)
        return 0;
    QUserDrvCmdArg *arg = cmd->cmdArg();
    switch (cmd->type) {
    case QUserDrvCmd::SendOne:
        if (arg && arg->msg && transmitOne(arg->channel, *arg->msg)) {
            arg->done = 1;
            cmd->result = 0;
        } else {
            cmd->result = -2;
        }
        break;
    case QUserDrvCmd::SendList: {
        if (arg && arg->msgList) {
            QVector<QUserCanMsg> copy = *arg->msgList;
            arg->done = transmitBatch(arg->channel, copy);
            cmd->result = arg->done == arg->msgList->size() ? 0 : -2;
        } else {
            cmd->result = -2;
        }
        break;
    }
    case QUserDrvCmd::ChStart:
        cmd->result = (arg && chStartExec(arg->channel, static_cast<QUserFd2Cfg *>(arg->cfg))) ? 0 : -1;
        break;
    case QUserDrvCmd::ChClose:
        cmd->result = (arg && chCloseExec(arg->channel)) ? 0 : -1;
        break;
    case QUserDrvCmd::Stop:
        stopFlag = true;
        cmd->result = 0;
        break;
    default:
        cmd->result = 0;
        break;
    }
    QUserDrvCmdPort::finish(cmd);
    return 1;
}

bool QKemFdDev::adapterGone() const
{
    return opened && lib && lib->devIsGone && lib->devIsGone(devType, devIndex) == 1;
}

void QKemFdDev::run()
{
    cmdQueue.open();
    logLine(QStringLiteral("%1接收线程启动...").arg(typeName));
    QElapsedTimer goneLook;
    goneLook.start();
    while (!stopFlag) {
        int total = 0;
        // The poll list and its device ids change only in this thread (a
        // channel start or close runs as a command below), so the copies are
        // shared, not rebuilt, from turn to turn. A lost adapter has nothing
        // more to give.
        const QVector<int> channels = lost ? QVector<int>() : pollList;
        const QVector<QString> ids = pollIds;
        for (int i = 0; i < channels.size(); ++i)
            total += chPoll(channels.at(i), ids.at(i));
        const int r = cmdExecute();
        if (r == 0 && total == 0) {
            // Idle: every frame the library held has been emitted, so a loss
            // reported now comes after the last of them.
            if (!lost && goneLook.elapsed() >= kGoneLookMs) {
                goneLook.restart();
                if (adapterGone()) {
                    lost = true;
                    logLine(QStringLiteral("Kem %1 index:%2 设备已断开...").arg(typeName).arg(devIndex));
                    emit adapterLost(typeName, devIndex);
                }
            }
            QThread::usleep(100);
        }
    }
    // Whatever is still queued is answered now, and later posts fail at once.
    cmdQueue.close();
    logLine(QStringLiteral("%1接收线程退出...").arg(typeName));
}

// ---- firmware update --------------------------------------------------------

int QKemFdDev::firmUpdateReq(uint8_t arg)
{
    if (queuedMode)
        return 0;
    QUserProtocolFrame frame;
    if (devOpen() != 0)
        return 0;
    uint8_t buf[64];
    std::memset(buf, 0, sizeof buf);
    const uint8_t payload[1] = {arg};
    const int len = frame.framePack(buf, int(sizeof buf), 4, true, payload, 1);
    if (len <= 0) {
        devClose();
        return 0;
    }
    const int r = dataDirectTransferAny(buf, len);
    if (r == 0) {
        logLine(QStringLiteral("错误:固件升级应答信息获取失败..."));
        devClose();
        return 0;
    }
    uint8_t out[64];
    std::memset(out, 0, sizeof out);
    if (frame.frameUnpack(buf, r, out, int(sizeof out)) <= 0) {
        devClose();
        return 0;
    }
    if (out[1] == 1) {
        logLine(QStringLiteral("提示:固件升级请求<%1>成功...").arg(arg));
        return 1;
    }
    logLine(QStringLiteral("错误:固件升级请求<%1>失败...").arg(arg));
    devClose();
    return 0;
}

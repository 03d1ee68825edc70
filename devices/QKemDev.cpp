#include "devices/QKemDev.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QMutexLocker>

#include <cstring>

#include "core/QUserDevId.h"
#include "core/QUserLogLine.h"
#include "devices/QKemFrames.h"

QKemDev::QKemDev(const QString &n, int type, int index) : QThread(nullptr)
{
    detecting = false;
    matchCount = 0;
    registerCanMsgMetaTypes();
    qRegisterMetaType<QUserBaudChkMsg>("QUserBaudChkMsg");
    devType = uint16_t(type);
    devIndex = uint16_t(index);
    name = n;
    opened = false;
    stopFlag = false;
    lib = new QKemLib(QStringLiteral("kemusb.dll"));
    if (lib->isLoaded())
        logLine(QStringLiteral("Kem %1 Lib Load Success...").arg(name));
    else
        logLine(QStringLiteral("Kem %1 Lib Load Fail...").arg(name));
}

QKemDev::~QKemDev()
{
    threadStop();
    cmdQueue.close();
    devClose();
    delete lib;
    lib = nullptr;
}

QString QKemDev::deviceId(int channel) const
{
    return makeDevId(name, devIndex, channel);
}

// ---- adapter operations -----------------------------------------------------

int QKemDev::devOpen()
{
    if (opened)
        return 0;
    logLine(QStringLiteral("Kem %1 打开设备..").arg(name));
    const uint32_t r = lib->openDevice ? lib->openDevice(devType, devIndex) : 0;
    if (r == 1) {
        opened = true;
        return 0;
    }
    logLine(QStringLiteral("ERROR:%1 Open Fail...").arg(name));
    return -1;
}

int QKemDev::devOpenByIndex(int index)
{
    devIndex = uint16_t(index);
    return devOpen();
}

bool QKemDev::chStart(int channel)
{
    logLine(QStringLiteral("Kem %1 <%2,%3> Start").arg(name).arg(devIndex).arg(channel));
    return lib->start && lib->start(devType, devIndex, uint32_t(channel)) != 0;
}

int QKemDev::chInit(int channel, const KCAN_INIT_CONFIG *cfg)
{
    logLine(QStringLiteral("Kem %1 <%2,%3> Init").arg(name).arg(devIndex).arg(channel));
    const int o = devOpen();
    if (o < 0)
        return o;
    KCAN_INIT_CONFIG c;
    std::memset(&c, 0, sizeof c);
    if (cfg) {
        c.AccCode = cfg->AccCode;
        c.AccMask = cfg->AccMask;
        c.Filter = cfg->Filter;
        c.Timing0 = cfg->Timing0;
        c.Timing1 = cfg->Timing1;
        c.Mode = cfg->Mode;
    }
    c.Reserved = 0;
    const uint32_t r = lib->initCan ? lib->initCan(devType, devIndex, uint32_t(channel), &c) : 0;
    return r == 0 ? -3 : 0;
}

bool QKemDev::canInitByTiming(int channel, uint8_t timing0, uint8_t timing1)
{
    logLine(QStringLiteral("Kem %1 <%2,%3> Init").arg(name).arg(devIndex).arg(channel));
    if (devOpen() < 0)
        return false;
    KCAN_INIT_CONFIG c;
    std::memset(&c, 0, sizeof c);
    c.AccCode = 0;
    c.AccMask = 0xFFFFFFFFu;
    c.Filter = 0;
    c.Timing0 = timing0;
    c.Timing1 = timing1;
    c.Mode = 0;
    return lib->initCan && lib->initCan(devType, devIndex, uint32_t(channel), &c) != 0;
}

bool QKemDev::chReset(int channel)
{
    logLine(QStringLiteral("%1 复位...").arg(name));
    if (!opened)
        return false;
    const bool ok = lib->stop && lib->stop(devType, devIndex, uint32_t(channel)) != 0;
    if (!ok)
        logLine(QStringLiteral("ERROR:%1 复位失败...").arg(name));
    return ok;
}

bool QKemDev::chBufferClear(int channel)
{
    logLine(QStringLiteral("%1 清缓冲...").arg(name));
    if (!opened)
        return false;
    const bool ok = lib->clearBuffer && lib->clearBuffer(devType, devIndex, uint32_t(channel)) != 0;
    if (!ok)
        logLine(QStringLiteral("ERROR:%1 缓冲清空失败...").arg(name));
    return ok;
}

int QKemDev::devClose()
{
    if (!opened)
        return 1;
    logLine(QStringLiteral("Kem %1 关闭设备..").arg(name));
    opened = false;
    const uint32_t r = lib && lib->closeDevice ? lib->closeDevice(devType, devIndex) : 0;
    if (r == 0)
        logLine(QStringLiteral("Kem %1 关闭失败..").arg(name));
    return 1;
}

bool QKemDev::relayStatusSet(uint8_t a, uint8_t b)
{
    logLine(QStringLiteral("Kem %1 index:%2 Relay Status Set..").arg(name).arg(devIndex));
    return lib->devRelayStatusSet && lib->devRelayStatusSet(devType, devIndex, a, b) != 0;
}

bool QKemDev::relayStatusGet(int *a, int *b)
{
    if (name != QLatin1String("USBCAN2")) {
        if (a)
            *a = 0;
        if (b)
            *b = 0;
        return true;
    }
    uint8_t x = 0, y = 0;
    if (!lib->devRelayStatusGet || lib->devRelayStatusGet(devType, devIndex, &x, &y) == 0)
        return false;
    if (a)
        *a = x;
    if (b)
        *b = y;
    return true;
}

bool QKemDev::relayMaskGet(int mask, int *out)
{
    uint8_t a = 0, b = 0;
    if (!lib->devRelayStatusGet || lib->devRelayStatusGet(devType, devIndex, &a, &b) == 0)
        return false;
    if (out)
        *out = ((b != 0 ? 2 : 0) | (a != 0 ? 1 : 0)) & mask;
    return true;
}

bool QKemDev::devBaudParaGet(int channel, int *timing0, int *timing1)
{
    uint8_t t0 = 0, t1 = 0;
    if (!lib->devBaudParaGet || lib->devBaudParaGet(devType, devIndex, uint32_t(channel), &t0, &t1) == 0)
        return false;
    if (timing0)
        *timing0 = t0;
    if (timing1)
        *timing1 = t1;
    return true;
}

// ---- frames -------------------------------------------------------------------

bool QKemDev::transmitOne(int channel, QUserCanMsg &msg)
{
    KCAN_CAN_OBJ obj;
    kemframes::toCanObj(msg, obj, false);
    const uint32_t n = lib->transmit ? lib->transmit(devType, devIndex, uint32_t(channel), &obj, 1) : 0;
    msg.sendFailed = n == 0 ? 1 : 0;
    msg.direction = 1;
    msg.channel = uint8_t(channel);
    msg.hostTime = getCurrentMs();
    emit sendResultNotify(deviceId(channel), msg);
    return n != 0;
}

int QKemDev::transmitList(int channel, QVector<QUserCanMsg> msgs)
{
    const int k = msgs.size() < 32 ? msgs.size() : 32;
    KCAN_CAN_OBJ objs[32];
    for (int i = 0; i < k; ++i)
        kemframes::toCanObj(msgs[i], objs[i], false);
    const uint32_t r = lib->transmit ? lib->transmit(devType, devIndex, uint32_t(channel), objs, uint32_t(k)) : 0;
    const int n = int(r) > k ? k : int(r);
    if (k == 0)
        return n;
    const QString id = deviceId(channel);
    for (int i = 0; i < k; ++i) {
        QUserCanMsg &m = msgs[i];
        m.channel = uint8_t(channel);
        m.direction = 1;
        if (i == n) {
            m.sendFailed = 1;
            m.hostTime = getCurrentMs();
            emit sendResultNotify(id, m);
            return n;
        }
        m.sendFailed = 0;
        m.hostTime = getCurrentMs();
        emit sendResultNotify(id, m);
    }
    return n;
}

int QKemDev::receive(int channel)
{
    {
        QMutexLocker lock(&chMutex);
        if (!chTable.value(channel, 0))
            return 0;
    }
    KCAN_CAN_OBJ buf[256];
    const int n = lib->receive ? int(lib->receive(devType, devIndex, uint32_t(channel), buf, 256, 0)) : 0;
    if (n <= 0)
        return 0;
    const int count = n > 256 ? 256 : n;
    QVector<QUserCanMsg> list;
    list.reserve(count);
    QUserCanMsg m;
    for (int i = 0; i < count; ++i) {
        canObjToMsg(buf[i], m);
        m.direction = 0;
        m.channel = uint8_t(channel);
        m.hostTime = getCurrentMs();
        list.append(m);
    }
    emit receiveMsg(deviceId(channel), list);
    return count;
}

// ---- commands -------------------------------------------------------------------

int QKemDev::canStart(int channel, KCAN_INIT_CONFIG *cfg)
{
    return cmdQueue.postWait(QUserDrvCmd::ChStart, channel, nullptr, nullptr, cfg) != 0 ? -1 : 0;
}

bool QKemDev::transmitPost(int channel, QUserCanMsg &msg)
{
    int done = 0;
    cmdQueue.postWait(QUserDrvCmd::SendOne, channel, &msg, nullptr, nullptr, &done);
    return done != 0;
}

int QKemDev::cmdPost(QUserDrvCmd *cmd)
{
    cmdQueue.post(cmd);
    return 1;
}

void QKemDev::threadStart()
{
    detectionRun = false;
    stopFlag = false;
    cmdQueue.open();
    start(QThread::InheritPriority);
}

// The thread ends by a flag and a wait, as the CAN FD driver does: a posted
// stop command could be left unserved by a thread that ends on its own
// between the test and the post, or that runs a detection.
void QKemDev::threadStop()
{
    stopFlag = true;
    detecting = false;
    wait();
    cmdQueue.close();
}

int QKemDev::anyChannelOpen() const
{
    QMutexLocker lock(&chMutex);
    for (auto it = chTable.cbegin(); it != chTable.cend(); ++it)
        if (it.value())
            return it.value();
    return 0;
}

bool QKemDev::chStartExec(QUserDrvCmdArg *arg)
{
    const int channel = arg->channel;
    {
        QMutexLocker lock(&chMutex);
        chTable[channel] = 1;
    }
    bool ok = chInit(channel, static_cast<KCAN_INIT_CONFIG *>(arg->cfg)) >= 0;
    if (!ok)
        logLine(QStringLiteral("Kem %1 ch%2 Init Fail...").arg(name).arg(channel));
    else if (!(ok = chStart(channel)))
        logLine(QStringLiteral("Kem %1 ch%2 Start Fail...").arg(name).arg(channel));
    if (!ok) {
        // A channel that did not start is not polled, and does not keep the
        // thread and the adapter alive once the others close.
        QMutexLocker lock(&chMutex);
        chTable[channel] = 0;
    }
    return ok;
}

bool QKemDev::chCloseExec(QUserDrvCmdArg *arg)
{
    {
        QMutexLocker lock(&chMutex);
        if (!chTable.contains(arg->channel))
            return false;
        chTable[arg->channel] = 0;
    }
    chReset(arg->channel);
    if (anyChannelOpen())
        return true;
    devClose();
    return true;
}

int QKemDev::cmdExecute()
{
    QUserDrvCmd *cmd = cmdQueue.pop();
    if (!cmd)
        return 0;
    QUserDrvCmdArg *arg = cmd->cmdArg();
    switch (cmd->type) {
    case QUserDrvCmd::SendOne:
        if (arg && arg->msg && transmitOne(arg->channel, *arg->msg))
            arg->done = 1;
        else
            cmd->result = -2;
        break;
    case QUserDrvCmd::SendList:
        if (arg && arg->msgList) {
            arg->done = transmitList(arg->channel, *arg->msgList);
            cmd->result = arg->done != arg->msgList->size() ? -2 : 0;
        } else {
            cmd->result = -2;
        }
        break;
    case QUserDrvCmd::ChStart:
        cmd->result = arg && chStartExec(arg) ? 0 : -1;
        break;
    case QUserDrvCmd::ChClose:
        cmd->result = arg && chCloseExec(arg) ? 0 : -1;
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

bool QKemDev::adapterGone() const
{
    return opened && lib && lib->devIsGone && lib->devIsGone(devType, devIndex) == 1;
}

void QKemDev::pollLoop()
{
    cmdQueue.open();
    QElapsedTimer goneLook;
    goneLook.start();
    while (!stopFlag) {
        QVector<int> channels;
        if (!lost) {
            QMutexLocker lock(&chMutex);
            for (auto it = chTable.cbegin(); it != chTable.cend(); ++it)
                if (it.value())
                    channels.append(it.key());
        }
        int total = 0;
        for (int ch : channels)
            total += receive(ch);
        const int r = cmdExecute();
        if (total == 0 && r != 1) {
            // Idle: every frame the library held has been emitted, so a loss
            // reported now comes after the last of them.
            if (!lost && goneLook.elapsed() >= kGoneLookMs) {
                goneLook.restart();
                if (adapterGone()) {
                    lost = true;
                    logLine(QStringLiteral("Kem %1 index:%2 设备已断开...").arg(name).arg(devIndex));
                    emit adapterLost(name, devIndex);
                }
            }
            QThread::usleep(100);
        }
    }
    cmdQueue.close();
}

void QKemDev::run()
{
    if (detecting) {
        if (!baudListPrepare())
            return;
        if (detecting) {
            logLine(QStringLiteral("侦测开始..."));
            baudEmit(QUserBaudChkMsg::Begin);
            baudChkRun();
            logLine(QStringLiteral("侦测结束..."));
            baudEmit(QUserBaudChkMsg::End);
            return;
        }
    }
    pollLoop();
}

// ---- baud-rate detection ------------------------------------------------------

void QKemDev::baudEmit(int code, const QUserBaudEntry *e, int failed, int progress)
{
    QUserBaudChkMsg m;
    m.code = code;
    if (e) {
        m.rate = e->rate;
        m.timing0 = e->timing0;
        m.timing1 = e->timing1;
        m.failed = uint8_t(failed);
    }
    m.progress = progress;
    emit baudChkResult(deviceId(detChannel), m);
}

int QKemDev::baudChkStart(int channel, int rateA, int rateB, int standard, int64_t wait)
{
    if (detecting)
        return 1;
    if (isRunning()) {
        // The thread serves open channels: no detection on it.
        if (!detectionRun)
            return 0;
        // A stopped detection still winding down (it ends within one trial
        // step), or one that a stop during table preparation left in the
        // poll loop: end it, then start afresh.
        stopFlag = true;
    }
    QThread::wait();
    cmdQueue.close();
    rateLow = rateA < rateB ? rateA : rateB;
    rateHigh = rateA < rateB ? rateB : rateA;
    detChannel = channel;
    standardOnly = standard;
    waitMs = wait;
    detecting = true;
    detectionRun = true;
    matchCount = 0;
    stopFlag = false;
    start(QThread::InheritPriority);
    return 1;
}

int QKemDev::baudChkStop()
{
    detecting = false;
    return 1;
}

bool QKemDev::baudListLoad()
{
    baudlist::load(baudlist::filePath(), baudList);
    logLine(QStringLiteral("成功加载%1条波特率信息...").arg(baudList.size()));
    return !baudList.isEmpty();
}

bool QKemDev::baudListSave()
{
    int lastPercent = 0;
    const bool ok = baudlist::generate(
        baudList, [this] { return detecting.load(); },
        [this, &lastPercent](int p) {
            lastPercent = p;
            baudEmit(QUserBaudChkMsg::Progress, nullptr, 0, p);
        },
        [](const QUserBaudEntry &e) { logLine(QString::number(e.rate) + QStringLiteral("Hz")); });
    if (!ok && !detecting)
        return false;
    if (baudList.isEmpty()) {
        logLine(QStringLiteral("波特率参数生成失败,请检查参数.."));
        return false;
    }
    const int written = baudlist::save(baudlist::filePath(), baudList);
    baudEmit(QUserBaudChkMsg::TableReady, nullptr, 0, lastPercent);
    logLine(QStringLiteral("成功保存%1条波特率信息...").arg(written));
    if (written == 0) {
        logLine(QStringLiteral("波特率参数生成失败,文件保存逻辑.."));
        return false;
    }
    return true;
}

bool QKemDev::baudListPrepare()
{
    logLine(QStringLiteral("加载波特率对照表..."));
    if (baudListLoad()) {
        baudEmit(QUserBaudChkMsg::TableReady);
        return true;
    }
    return baudListSave();
}

bool QKemDev::baudTry(int channel, int timing0, int timing1)
{
    chBufferClear(channel);
    KCAN_INIT_CONFIG c;
    std::memset(&c, 0, sizeof c);
    c.AccCode = 0;
    c.AccMask = 0xFFFFFFFFu;
    c.Filter = 0;
    c.Timing0 = uint8_t(timing0);
    c.Timing1 = uint8_t(timing1);
    c.Mode = 0;
    chInit(channel, &c);
    chStart(channel);
    // The channel was not stopped: frames heard under the previous timing
    // can still be on their way up after the clear above. What is in the
    // buffer once the start has been answered was heard before it.
    chBufferClear(channel);
    // A timing that misses the bus shows in the channel's error byte:
    // 1 = it misses, 0 = it fits, -1 = the state went unanswered.
    auto timingState = [&]() -> int {
        uint8_t a = 0, b = 0, e = 0;
        if (lib->devChStateGet(devType, devIndex, uint32_t(channel), &a, &b, &e) == 0)
            return -1;
        return e != 0 ? 1 : 0;
    };
    const int64_t t0 = getCurrentMs();
    const int64_t checkAt = t0 + 10;
    for (;;) {
        if (!detecting)
            return false;
        const int64_t now = getCurrentMs();
        if (now > t0 + waitMs)
            return false;
        if (now > checkAt && lib->devChStateGet && timingState() == 1)
            return false;
        if (lib->getReceiveNum && int(lib->getReceiveNum(devType, devIndex, uint32_t(channel), 0)) > 0) {
            // Late frames of the previous timing can still land after the
            // clear; they count only once the channel, asked after they
            // were seen, answers that the new timing fits the bus. No
            // answer: ask again on the next turn.
            if (!lib->devChStateGet)
                return true;
            const int state = timingState();
            if (state >= 0)
                return state == 0;
        }
    }
}

void QKemDev::baudChkRun()
{
    if (!detecting)
        return;
    QVector<QUserBaudEntry> cands;
    for (const QUserBaudEntry &e : baudList) {
        if (standardOnly == 1) {
            if (baudlist::standardRates().contains(e.rate))
                cands.append(e);
        } else if (e.rate >= rateLow && e.rate <= rateHigh) {
            cands.append(e);
        }
    }
    if (cands.isEmpty()) {
        logLine(QStringLiteral("侦测频点数为0个,侦测完毕..."));
        detecting = false;
        return;
    }
    logLine(QStringLiteral("侦测频点数为%1个,侦测开始...").arg(cands.size()));
    for (int i = 0; i < cands.size(); ++i) {
        const QUserBaudEntry &e = cands.at(i);
        baudEmit(QUserBaudChkMsg::TryBegin, &e);
        if (baudTry(detChannel, e.timing0, e.timing1)) {
            matchCount += 1;
            baudEmit(QUserBaudChkMsg::TryEnd, &e, 0);
        } else {
            baudEmit(QUserBaudChkMsg::TryEnd, &e, 1);
            if (matchCount > 0) {
                detecting = false;
                return;
            }
        }
        if (i == cands.size() - 1) {
            detecting = false;
            return;
        }
        if (!detecting)
            return;
    }
}

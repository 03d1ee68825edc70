#include "traffic/QUserBasicSend.h"

#include <QMutexLocker>

#include <limits>

#include "core/FileKeyValue.h"
#include "core/QUserSettingRange.h"
#include "devices/QUserDevice.h"

namespace {
// A number of the file, checked against the range the sender can live with;
// a missing key gives `missing` silently, a value outside gives it with a
// log line.
int64_t readNumber(const FileKeyValue &kv, const QString &path, const char *key, int64_t lo, int64_t hi,
                   int64_t missing)
{
    QString v;
    if (!kv.getValue(QString::fromLatin1(key), v))
        return missing;
    return settingrange::bounded(path, QString::fromLatin1(key), v, lo, hi, missing);
}

QString readText(const FileKeyValue &kv, const char *key, const char *missing)
{
    QString v;
    if (!kv.getValue(QString::fromLatin1(key), v))
        return QString::fromUtf8(missing);
    return v;
}
} // namespace

QUserBasicSend::QUserBasicSend(const QString &id, QUserDevice *dev) : QThread(nullptr), device(dev), devId(id)
{
    registerCanMsgMetaTypes();
    task = QUserSendTask();
    task.msg.direction = 1;
    if (!configureLoad(devId)) {
        QUserCanMsg &m = task.msg;
        m.sendType = 0;
        m.protocol = 0;
        m.remote = 0;
        m.extended = 0;
        m.lenText = QStringLiteral("8");
        m.idText = QStringLiteral("00000000");
        m.dataText = QStringLiteral("00 01 02 03 04 05 06 07");
        task.reqSendCnt = 1;
        task.perSendCnt = 1;
        task.period = 1;
        task.idIncEnable = 0;
    }
    if (device) {
        QUserDevChState state;
        if (device->devInfoGet(devId, &state)) {
            if (state.fdEnableGet()) {
                task.fdCapable = 1;
                task.fdEnable = 1;
            } else {
                task.fdCapable = 0;
                task.fdEnable = 0;
                task.msg.protocol = 0;
            }
        }
    }
}

QUserBasicSend::~QUserBasicSend()
{
    sendStop();
    configureSave();
}

QString QUserBasicSend::settingsPath() const
{
    return QStringLiteral("setting/") + devId + QStringLiteral("_BasicSend.ini");
}

bool QUserBasicSend::configureLoad(const QString &id)
{
    FileKeyValue kv;
    const QString path = QStringLiteral("setting/") + id + QStringLiteral("_BasicSend.ini");
    if (!kv.load(path))
        return false;
    const uint32_t u32Max = std::numeric_limits<uint32_t>::max();
    QMutexLocker lock(&taskMutex);
    QUserCanMsg &m = task.msg;
    m.sendType = uint8_t(readNumber(kv, path, "sendType", 0, 2, 0));
    m.protocol = uint8_t(readNumber(kv, path, "procotolType", 0, 2, 0));
    m.remote = uint8_t(readNumber(kv, path, "format", 0, 1, 0));
    m.extended = uint8_t(readNumber(kv, path, "type", 0, 1, 0));
    m.lenText = readText(kv, "strLen", "8");
    m.idText = readText(kv, "strCANID", "00000000");
    m.dataText = readText(kv, "strData", "00 01 02 03 04 05 06 07");
    task.reqSendCnt = uint32_t(readNumber(kv, path, "reqSendCnt", 0, u32Max, 1));
    // One call of the device's send-list operation takes at most 32 frames.
    task.perSendCnt = uint32_t(readNumber(kv, path, "perSendCnt", 1, 32, 1));
    task.period = readNumber(kv, path, "sendTimerInterVal", 0, u32Max, 1);
    task.idIncEnable = readText(kv, "idIncEnable", "FALSE") == QLatin1String("TRUE") ? 1 : 0;
    m.direction = 1;
    return true;
}

bool QUserBasicSend::configureSave()
{
    QUserSendTask t = sendTaskGet();
    FileKeyValue kv;
    kv.clear();
    const QUserCanMsg &m = t.msg;
    kv.setValue(QStringLiteral("sendType"), QString::number(m.sendType));
    kv.setValue(QStringLiteral("procotolType"), QString::number(m.protocol));
    kv.setValue(QStringLiteral("format"), QString::number(m.remote));
    kv.setValue(QStringLiteral("type"), QString::number(m.extended));
    kv.setValue(QStringLiteral("strLen"), m.lenText);
    kv.setValue(QStringLiteral("strCANID"), m.idText);
    kv.setValue(QStringLiteral("strData"), m.dataText);
    kv.setValue(QStringLiteral("reqSendCnt"), QString::number(t.reqSendCnt));
    kv.setValue(QStringLiteral("perSendCnt"), QString::number(int32_t(t.perSendCnt)));
    kv.setValue(QStringLiteral("sendTimerInterVal"), QString::number(qlonglong(t.period)));
    kv.setValue(QStringLiteral("idIncEnable"), t.idIncEnable ? QStringLiteral("TRUE") : QStringLiteral("FALSE"));
    return kv.save(settingsPath());
}

bool QUserBasicSend::sendTaskSet(const QUserSendTask &t)
{
    QMutexLocker lock(&taskMutex);
    task = t;
    task.running = running.load() ? 1 : 0;
    return true;
}

bool QUserBasicSend::protocolSet(uint8_t protocol)
{
    if (protocol > 2)
        return false;
    QMutexLocker lock(&taskMutex);
    task.msg.protocol = protocol;
    return true;
}

QUserSendTask QUserBasicSend::sendTaskGet() const
{
    QMutexLocker lock(&taskMutex);
    return task;
}

bool QUserBasicSend::sendStart()
{
    if (running.load())
        return true;
    wait(); // a run that has just reported its end may still be leaving run()
    {
        QMutexLocker lock(&taskMutex);
        task.msg.sendTick = 0;
        task.running = 1;
        task.msg.direction = 1;
        savedId = task.msg.idText;
    }
    framesSent = 0;
    framesDue = 0;
    startTime = getCurrentMs();
    // Cleared here, before the thread exists, so that a stop issued at once
    // after this start is never lost.
    stopRequest = false;
    running = true;
    start(QThread::NormalPriority);
    return true;
}

bool QUserBasicSend::sendStop()
{
    // Always request and always wait: a run that has been started but not
    // yet scheduled still sees the request and ends.
    stopRequest = true;
    wait();
    return true;
}

void QUserBasicSend::run()
{
    running = true;
    QUserCanMsg report;
    int64_t period;
    uint32_t perCnt;
    {
        QMutexLocker lock(&taskMutex);
        task.running = 1;
        task.msg.status = MsgStatusBasicStart;
        report = task.msg;
        period = task.period;
        perCnt = task.perSendCnt;
    }
    emit sendResultNotify(devId, report);

    for (;;) {
        if (period == 0) {
            framesDue = 0xFFFFFFFFu;
        } else {
            const int64_t ticks = getElapsedMs(startTime) / period;
            framesDue = uint32_t(uint64_t(ticks)) * perCnt;
        }
        if (framesSent == framesDue) {
            QThread::usleep(100);
            if (stopRequest.load())
                break;
            continue;
        }
        const bool more = msgSendNext();
        if (!more || stopRequest.load())
            break;
    }

    {
        QMutexLocker lock(&taskMutex);
        task.msg.idText = savedId;
        task.msg.status = MsgStatusBasicEnd;
        task.running = 0;
        report = task.msg;
    }
    stopRequest = false;
    running = false;
    emit sendResultNotify(devId, report);
}

bool QUserBasicSend::msgSendNext()
{
    QVector<QUserCanMsg> batch;
    uint32_t tick;
    uint32_t req;
    int32_t per;
    {
        QMutexLocker lock(&taskMutex);
        QUserCanMsg &m = task.msg;
        req = task.reqSendCnt;
        if (m.sendTick != req)
            m.sendTick += 1;
        tick = m.sendTick;
        m.status = MsgTagBasicSend;
        per = int32_t(task.perSendCnt);
        if (per > 0)
            batch.reserve(per);
        for (int32_t i = 0; i < per; ++i) {
            m.hostTime = getCurrentMs();
            batch.append(m);
            if (task.idIncEnable) {
                bool ok = false;
                const uint32_t v = m.idText.trimmed().toUInt(&ok, 16);
                m.idText = QString::asprintf("%08x", (ok ? v : 0u) + 1u);
                formatCanIdText(m.extended != 0, m.idText);
            }
            framesSent += 1;
        }
    }
    const int took = device ? device->sendMsgList(devId, batch) : 0;
    return tick != req && took == per;
}

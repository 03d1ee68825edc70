#include "traffic/QUserAdvanceSend.h"

#include <QDebug>
#include <QFile>
#include <QMutexLocker>
#include <QRegularExpression>
#include <QStringList>
#include <QTextStream>

#include <limits>

#include "core/FileKeyValue.h"
#include "core/QUserBaudFunc.h"
#include "core/QUserSettingRange.h"
#include "devices/QUserDevice.h"

namespace {
uint32_t toU32(const QString &text)
{
    bool ok = false;
    const qulonglong v = text.trimmed().toULongLong(&ok, 10);
    return ok ? uint32_t(v) : 0;
}

const QChar kWideComma(0xFF0C);

// Lines of the file (from 1) whose key is "msg", in file order.
QList<int> msgLineNumbers(const QString &path)
{
    QList<int> lines;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return lines;
    QTextStream in(&file);
    in.setCodec("UTF-8");
    int n = 0;
    while (!in.atEnd()) {
        QString line = in.readLine();
        ++n;
        const int comma = line.indexOf(QLatin1Char(','));
        if (comma >= 0 && line.left(comma) == QLatin1String("msg"))
            lines.append(n);
    }
    return lines;
}
} // namespace

QUserAdvanceSend::QUserAdvanceSend(const QString &id, QUserDevice *dev) : QThread(nullptr), device(dev), devId(id)
{
    registerCanMsgMetaTypes();
    task = QUserSendTask();
    task.errorMode = 1;
    task.running = 0;
    runStart = 0;
    cycleStart = 0;
    entryIndex = 0;
    configureLoad(settingsPath());
}

QUserAdvanceSend::~QUserAdvanceSend()
{
    sendStop();
    configureSave(settingsPath());
}

QString QUserAdvanceSend::settingsPath() const
{
    return QStringLiteral("setting/") + devId + QStringLiteral("_AdvSend.ini");
}

QString QUserAdvanceSend::entryToLine(const QUserCanMsg &m)
{
    QString comment = m.auxText2;
    comment.replace(QLatin1Char(','), kWideComma);
    QStringList f;
    f << (m.rowEnable ? QStringLiteral("1") : QStringLiteral("0")) << comment << m.idText
      << QString::number(m.protocol) << QString::number(m.remote) << QString::number(m.extended) << m.lenText
      << m.dataText;
    return f.join(QLatin1Char(','));
}

bool QUserAdvanceSend::lineToEntry(const QString &line, QUserCanMsg &m)
{
    const QStringList f = line.split(QLatin1Char(','), Qt::KeepEmptyParts);
    if (f.size() != 8)
        return false;
    m = QUserCanMsg();
    m.rowEnable = toU32(f.at(0)) != 0 ? 1 : 0;
    m.auxText2 = f.at(1);
    m.idText = f.at(2);
    m.protocol = uint8_t(toU32(f.at(3)));
    m.remote = uint8_t(toU32(f.at(4)));
    m.extended = uint8_t(toU32(f.at(5)));
    m.lenText = f.at(6);
    m.dataText = f.at(7);
    return true;
}

bool QUserAdvanceSend::entryCheck(const QUserCanMsg &m, QString *why)
{
    auto refuse = [why](const QString &reason) {
        if (why)
            *why = reason;
        return false;
    };
    static const QRegularExpression blanks(QStringLiteral("\\s"));
    static const QRegularExpression hexId(QStringLiteral("^[0-9A-Fa-f]{1,8}$"));
    static const QRegularExpression hexData(QStringLiteral("^[0-9A-Fa-f]*$"));
    QString id = m.idText;
    id.remove(blanks);
    if (!hexId.match(id).hasMatch())
        return refuse(tr("帧ID不是1-8位16进制数"));
    if (m.extended > 1 || m.remote > 1)
        return refuse(tr("帧类型或帧格式无效"));
    if (!isCanIdValid(m.extended != 0, id))
        return refuse(m.extended ? tr("扩展帧ID超出范围0-1FFFFFFF") : tr("标准帧ID超出范围0-7FF"));
    if (m.protocol > 2)
        return refuse(tr("帧协议无效"));
    if (m.remote && m.protocol != 0)
        return refuse(tr("CANFD没有远程帧"));
    QStringList lens;
    getLenList(m.protocol != 0, lens);
    const QString len = m.lenText.trimmed();
    if (!lens.contains(len))
        return refuse(tr("数据长度无效"));
    QString data = m.dataText;
    data.remove(blanks);
    if (!hexData.match(data).hasMatch())
        return refuse(tr("数据不是16进制数"));
    if (m.remote) {
        if (len != QLatin1String("0") || !data.isEmpty())
            return refuse(tr("远程帧长度须为0且无数据"));
        return true;
    }
    if (data.size() != 2 * len.toInt())
        return refuse(tr("数据字节数与长度不符"));
    return true;
}

QList<QUserAdvanceSend::Refused> QUserAdvanceSend::loadRefusedGet() const
{
    QMutexLocker lock(&taskMutex);
    return loadRefused;
}

bool QUserAdvanceSend::configureLoad(const QString &path)
{
    FileKeyValue kv;
    if (!kv.loadMulti(path))
        return false;
    QUserSendTask t = sendTaskGet();
    QStringList adv;
    kv.getMultiValue(QStringLiteral("adv"), adv);
    bool advSet = false;
    if (!adv.isEmpty()) {
        const QStringList p = adv.first().split(QLatin1Char(','), Qt::KeepEmptyParts);
        if (p.size() == 4) {
            // Counts and periods beyond 32 bits, or no number, are no
            // setting of this panel: those take the panel's defaults.
            const int64_t u32Max = std::numeric_limits<uint32_t>::max();
            t.errorMode = uint32_t(settingrange::bounded(path, QStringLiteral("adv/errorMode"), p.at(0), 0, 255, 1));
            t.reqSendCnt =
                uint32_t(settingrange::bounded(path, QStringLiteral("adv/reqSendCnt"), p.at(1), 0, u32Max, 1));
            t.period = settingrange::bounded(path, QStringLiteral("adv/period"), p.at(2), 0, u32Max, 1000);
            t.frameInterval = settingrange::bounded(path, QStringLiteral("adv/frameInterval"), p.at(3), 0, u32Max, 10);
            advSet = true;
        }
    }
    if (!advSet) {
        t.errorMode = 1;
        t.reqSendCnt = 1;
        t.period = 1000;
        t.frameInterval = 10;
    }
    t.msgList.clear();
    QStringList msgs;
    kv.getMultiValue(QStringLiteral("msg"), msgs);
    // The store gives the values last line first.
    const QList<int> lineNos = msgLineNumbers(path);
    QList<Refused> refused;
    for (int i = 0; i < msgs.size(); ++i) {
        QUserCanMsg m;
        QString why;
        const int fields = msgs.at(i).count(QLatin1Char(',')) + 1;
        const bool read = lineToEntry(msgs.at(i), m);
        if (!read)
            why = tr("字段数为%1,应为8").arg(fields);
        if (!read || !entryCheck(m, &why)) {
            // A hand-edited or foreign file must not put a frame on the bus
            // that the editor would never have let through.
            Refused r;
            r.line = lineNos.size() == msgs.size() ? lineNos.at(msgs.size() - 1 - i) : 0;
            r.reason = why;
            refused.prepend(r);
            qDebug().noquote() << "QUserAdvanceSend >"
                               << QStringLiteral("%1 line %2 refused: %3").arg(path).arg(r.line).arg(why);
            continue;
        }
        t.msgList.append(m);
    }
    QMutexLocker lock(&taskMutex);
    t.running = task.running;
    task = t;
    loadRefused = refused;
    return true;
}

bool QUserAdvanceSend::configureSave(const QString &path)
{
    const QUserSendTask t = sendTaskGet();
    FileKeyValue kv;
    kv.clearMultiValue();
    kv.addMultiValue(QStringLiteral("adv"),
                     QStringLiteral("%1,%2,%3,%4")
                         .arg(int32_t(t.errorMode))
                         .arg(t.reqSendCnt)
                         .arg(qlonglong(t.period))
                         .arg(qlonglong(t.frameInterval)));
    for (const QUserCanMsg &m : t.msgList)
        kv.addMultiValue(QStringLiteral("msg"), entryToLine(m));
    return kv.saveMulti(path);
}

bool QUserAdvanceSend::sendTaskSet(const QUserSendTask &t)
{
    sendStop();
    QMutexLocker lock(&taskMutex);
    task = t;
    task.running = 0;
    return true;
}

uint32_t QUserAdvanceSend::errorModeGet() const
{
    QMutexLocker lock(&taskMutex);
    return task.errorMode;
}

QUserSendTask QUserAdvanceSend::sendTaskGet() const
{
    QMutexLocker lock(&taskMutex);
    return task;
}

bool QUserAdvanceSend::sendStart()
{
    if (running.load())
        return true;
    wait(); // a run that has just reported its end may still be leaving run()
    // Cleared before the thread exists, so that a stop issued at once after
    // this start is never lost.
    stopRequest = false;
    running = true;
    {
        QMutexLocker lock(&taskMutex);
        task.running = 1;
    }
    start(QThread::HighPriority);
    return true;
}

bool QUserAdvanceSend::sendStop()
{
    stopRequest = true;
    wait();
    return true;
}

void QUserAdvanceSend::run()
{
    QUserCanMsg report;
    report.status = MsgStatusAdvStart;
    emit sendResultNotify(devId, report);

    cyclesDone = 0;
    cycleDue = 0;
    sentInCycle = 0;
    dueInCycle = 0;
    entryIndex = 0;
    runStart = getCurrentMs();
    cycleStart = getCurrentMs();
    int64_t period;
    int64_t interval;
    {
        QMutexLocker lock(&taskMutex);
        task.running = 1;
        period = task.period;
        interval = task.frameInterval;
    }

    for (;;) {
        if (entryIndex == 0) {
            uint32_t due;
            if (period == 0)
                due = 0xFFFFFFFFu;
            else
                due = uint32_t(uint64_t(getElapsedMs(runStart) / period)) + 1u;
            if (due != cycleDue) {
                cycleDue = due;
                sentInCycle = 0;
                cycleStart = getCurrentMs();
            }
        }
        if (cyclesDone == cycleDue) {
            QThread::usleep(100);
            if (stopRequest.load())
                break;
            continue;
        }
        if (interval == 0)
            dueInCycle = 0xFFFFFFFFu;
        else
            dueInCycle = uint32_t(uint64_t(getElapsedMs(cycleStart) / interval)) + 1u;
        if (sentInCycle == dueInCycle) {
            QThread::usleep(10);
            if (stopRequest.load())
                break;
            continue;
        }
        if (!listSendNext() || stopRequest.load())
            break;
    }

    {
        QMutexLocker lock(&taskMutex);
        task.running = 0;
    }
    running = false;
    QUserCanMsg endReport;
    endReport.status = MsgStatusAdvEnd;
    emit sendResultNotify(devId, endReport);
}

bool QUserAdvanceSend::listSendNext()
{
    QUserCanMsg frame;
    int p = -1;
    uint32_t failMode;
    {
        QMutexLocker lock(&taskMutex);
        if (task.reqSendCnt <= cyclesDone)
            return false;
        failMode = task.errorMode;
        const int n = task.msgList.size();
        for (int i = entryIndex; i < n; ++i) {
            if (task.msgList.at(i).rowEnable) {
                p = i;
                break;
            }
        }
        if (p < 0) {
            entryIndex += 1;
            if (entryIndex >= n) {
                cyclesDone += 1;
                entryIndex = 0;
            }
            return true;
        }
        QUserCanMsg &e = task.msgList[p];
        e.status = MsgTagAdvanceSend;
        e.sendType = 0;
        e.hostTime = getCurrentMs();
        frame = e;
    }
    // The device blocks until the driver thread has transmitted the frame;
    // the task lock is not held meanwhile.
    const int ok = device ? device->sendMsg(devId, frame) : 0;
    QMutexLocker lock(&taskMutex);
    if (p < task.msgList.size()) {
        // What the transmit wrote into the frame goes back into the entry.
        task.msgList[p] = frame;
    }
    if (!ok && failMode == 0)
        return false;
    sentInCycle += 1;
    entryIndex = p + 1;
    if (entryIndex >= task.msgList.size()) {
        cyclesDone += 1;
        entryIndex = 0;
    }
    return true;
}

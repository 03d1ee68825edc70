#include "traffic/windows/QPlayBackWork.h"

#include "traffic/windows/QUserCacheSweep.h"

#include "core/QFClassUserCanMsg.h"
#include "devices/QUserDeviceAdapter.h"
#include "traffic/QUserTraceFile.h"
#include "widgets/QUserProgressDlg.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QThread>

namespace {

// Frames per read of the trace file: small batches keep memory low and let
// the stop flag be polled often.
constexpr int kReadBatch = 16;
// Frames the device's send-list operation takes per call.
constexpr int kSendListMax = 32;

std::atomic<int> g_activeJobs{0};

void logLine(const QString &text) { qDebug().noquote() << "QPlayBackWork" << ">" << text; }

} // namespace

QUserPlayBackParam::~QUserPlayBackParam() { delete progressDlg; }

QPlayBackWork::QPlayBackWork(QObject *parent) : QUserWork(parent) {}

QPlayBackWork::~QPlayBackWork() = default;

int QPlayBackWork::activeJobs() { return g_activeJobs.load(); }

QString QPlayBackWork::newCachePath()
{
    // Every playback dialog replays from a cache file of its own. Under one
    // shared name two dialogs (of one program, or of two programs started in
    // the same folder) would overwrite each other's frames, and the first to
    // close would delete the other's cache. The process id keeps programs
    // apart and the counter the dialogs of one program. The path is made
    // absolute now, so that the file is found again wherever the working
    // folder is later.
    static std::atomic<unsigned> counter{0};
    // The lock that tells a later start-up this program still runs.
    QUserCacheSweep::ownerHold(QDir::current().absoluteFilePath(QStringLiteral("cache")));
    const QString name = QStringLiteral("cache/playBackItem-%1-%2.dat")
                             .arg(QCoreApplication::applicationPid())
                             .arg(++counter);
    return QDir::current().absoluteFilePath(name);
}

int QPlayBackWork::sendPercent(int64_t index, int64_t count)
{
    if (count <= 0 || index <= 0)
        return 0;
    if (index >= count)
        return 100;
    // index < count < 2^63 / 100 for any cache a disk can hold.
    return int(index * 100 / count);
}

void QPlayBackWork::slotRun(int reqType, void *param)
{
    auto *p = static_cast<QUserPlayBackParam *>(param);
    ++g_activeJobs;
    emit start();
    emit notice(param, 0, 0);
    int r = 0;
    if (p) {
        if (reqType == QUserPlayBackParam::ReqLoad)
            fileToCache(p);
        else if (reqType == QUserPlayBackParam::ReqSend)
            r = cacheSend(p);
    }
    finished.store(1);
    emit notice(param, 1, r);
    emit stop();
    --g_activeJobs;
}

void QPlayBackWork::fileToCache(QUserPlayBackParam *p)
{
    if (p->cachePath.isEmpty())
        p->cachePath = newCachePath();
    QDir().mkpath(QFileInfo(p->cachePath).absolutePath());

    QUserTraceFile trace;
    QFClassUserCanMsg cache;
    const bool cacheOpen = cache.open(false, p->cachePath);

    // The number of frames is known only at the end of the file, so the
    // progress creeps with time: one percent a second up to 60, then one
    // every two seconds, never past 100.
    QList<QUserCanMsg> frames;
    int percent = 0;
    int64_t mark = getCurrentMs();
    while (cacheOpen) {
        const int64_t threshold = percent <= 59 ? 1000 : 2000;
        if (isStopRequested())
            break;
        frames.clear();
        const int n = trace.fileReadPart(p->filePath, frames, kReadBatch);
        if (n <= 0)
            break;
        bool written = true;
        for (const QUserCanMsg &m : qAsConst(frames)) {
            if (!cache.appendMsg(m)) {
                written = false;
                break;
            }
        }
        if (!written) {
            logLine(QStringLiteral("Cache<%1> Write Fail...").arg(p->cachePath));
            break;
        }
        if (n < kReadBatch)
            break;
        if (getElapsedMs(mark) > threshold) {
            mark = getCurrentMs();
            if (percent < 100)
                ++percent;
            emit progressValue(percent);
        }
    }
    cache.close();
    p->endedEarly = !isStopRequested() && trace.endedEarly();
    p->damagedCount = trace.damagedCount();
    p->notTrace = cacheOpen && !isStopRequested() && trace.notTraceFile();
    trace.close();
    logLine(QStringLiteral("File<%1> ItemSize:%2").arg(p->filePath).arg(cache.getMsgCount()));
    p->recordCount = cache.getMsgCount();
}

int QPlayBackWork::cacheSend(QUserPlayBackParam *p)
{
    p->result = QUserPlayBackParam::ResultDone;
    p->skippedCount = 0;
    QFClassUserCanMsg cache;
    if (p->cachePath.isEmpty() || !cache.open(true, p->cachePath)) {
        p->result = QUserPlayBackParam::ResultNoCache;
        return p->result;
    }
    p->startTime = getCurrentMs();
    p->progressCounter = 0;
    p->stepsSent = 0;
    p->stepsDue = 0;
    p->nextIndex = 0;
    p->lastPercent = 0;
    p->passHadFrame = false;

    // Step k leaves when k intervals have passed since the start; a send
    // that falls behind catches up back to back. Interval 0 sends without
    // pause; a negative one pauses |interval| ms once, then does the same.
    for (;;) {
        if (isStopRequested()) {
            p->result = QUserPlayBackParam::ResultStopped;
            break;
        }
        p->stepsDue = p->interval != 0 ? getElapsedMs(p->startTime) / p->interval : -1;
        if (p->stepsDue == p->stepsSent) {
            QThread::usleep(100);
            continue;
        }
        if (!cacheSendStep(&cache, p))
            break;
    }
    cache.close();
    return p->result;
}

bool QPlayBackWork::cacheSendStep(QFClassUserCanMsg *cache, QUserPlayBackParam *p)
{
    // Up to `step` records from the next index on. A record that cannot be
    // read is skipped and counted; the end of the cache ends the collection.
    QVector<QUserCanMsg> list;
    if (p->step > 0)
        list.reserve(p->step);
    QUserCanMsg m;
    while (list.size() < p->step && p->nextIndex < p->recordCount) {
        const int64_t index = p->nextIndex++;
        if (!cache->readMsg(uint64_t(index), &m)) {
            ++p->skippedCount;
            continue;
        }
        m.status = MsgTagPlayBack;
        m.sendType = 0;
        // The trace readers give the bit-rate switch as protocol 2 only; the
        // device sends it from bit 0 of the CAN FD flag byte.
        if (m.protocol == 2)
            m.fdFlags |= 0x01;
        m.sendFailed = 0;
        m.hostTime = getCurrentMs();
        list.append(m);
    }

    if (list.isEmpty()) {
        // Only unreadable records were left before the end of a pass: a
        // cycle that has sent something starts over at once.
        if (p->step > 0 && p->cycle.load() && p->passHadFrame && p->nextIndex >= p->recordCount) {
            p->nextIndex = 0;
            p->lastPercent = 0;
            p->passHadFrame = false;
            return true;
        }
        p->result = QUserPlayBackParam::ResultDone;
        return false;
    }
    p->passHadFrame = true;

    int sent = 0;
    if (p->devAdapter) {
        if (list.size() <= kSendListMax) {
            sent = qMax(0, p->devAdapter->devSendMsgList(p->devId, list));
        } else {
            for (int at = 0; at < list.size(); at += kSendListMax)
                sent += qMax(0, p->devAdapter->devSendMsgList(p->devId, list.mid(at, kSendListMax)));
        }
    }
    if (p->autoStop.load() && sent == 0) {
        p->result = QUserPlayBackParam::ResultNothingSent;
        return false;
    }

    // Progress is worked out on every step-th step, and at the end of a pass
    // so that a finished send shows 100.
    ++p->progressCounter;
    if (p->progressCounter >= p->step || p->nextIndex >= p->recordCount) {
        p->progressCounter = 0;
        const int percent = sendPercent(p->nextIndex, p->recordCount);
        if (percent != p->lastPercent) {
            p->lastPercent = percent;
            emit progressValue(percent);
        }
    }
    ++p->stepsSent;

    if (p->nextIndex >= p->recordCount) {
        if (p->cycle.load()) {
            p->nextIndex = 0;
            p->lastPercent = 0;
            p->passHadFrame = false;
            return true;
        }
        p->result = QUserPlayBackParam::ResultDone;
        return false;
    }
    return true;
}

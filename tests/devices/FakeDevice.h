#pragma once
// A device that records what the senders hand it, with a settable limit on
// how many frames it takes, for sender and send-machine tests.

#include <QMutex>
#include <QMutexLocker>
#include <QThread>
#include <QVector>

#include <atomic>

#include "devices/QUserDevice.h"
#include "tests/support/ManualHostClock.h"

class FakeDevice : public QUserDevice
{
public:
    struct Sent {
        QUserCanMsg msg;
        int64_t atMs = 0;
        int batch = 0; // batch number (sendMsgList calls), 0 for sendMsg
    };

    int open(QStringList &) override { return 0; }
    int close(const QString &) override { return 0; }
    int sendMsg(const QString &devId, QUserCanMsg &msg) override
    {
        QMutexLocker lock(&mutex);
        lastDevId = devId;
        const bool ok = refuseAll.load() == 0;
        msg.direction = 1;
        msg.sendFailed = ok ? 0 : 1;
        sent.append({msg, getCurrentMs(), 0});
        return ok ? 1 : 0;
    }
    int sendMsgList(const QString &devId, QVector<QUserCanMsg> msgs) override
    {
        const int delay = firstDelayMs.exchange(0);
        if (delay > 0) {
            // A slow first transmit: on a test's clock it takes that long
            // exactly, on the machine's at least that long.
            if (auto *c = dynamic_cast<testsupport::ManualHostClock *>(QUserHostClock::installed()))
                c->advance(delay);
            else
                QThread::msleep(unsigned(delay));
        }
        QMutexLocker lock(&mutex);
        lastDevId = devId;
        ++batches;
        batchSizes.append(msgs.size());
        const int limit = takeLimit.load();
        int n = msgs.size() < 32 ? msgs.size() : 32;
        if (limit >= 0 && n > limit)
            n = limit;
        for (int i = 0; i < n; ++i)
            sent.append({msgs.at(i), getCurrentMs(), batches});
        return n;
    }
    int devInfoGet(const QString &devId, QUserDevChState *state) override
    {
        if (!knowsChannel)
            return 0;
        *state = QUserDevChState(devId, fdKind);
        state->fdEnableSet(fdOn);
        return 1;
    }

    // A copy of its own, made element by element under the lock: a plain
    // copy of the vector would share its buffer with the list that the
    // sending thread goes on appending to, and the reader's first use would
    // copy the elements out of it after the lock is gone.
    QVector<Sent> sentCopy()
    {
        QMutexLocker lock(&mutex);
        QVector<Sent> out;
        out.reserve(sent.size());
        for (const Sent &s : qAsConst(sent))
            out.append(s);
        return out;
    }
    void sentClear()
    {
        QMutexLocker lock(&mutex);
        sent.clear();
    }
    int sentCount()
    {
        QMutexLocker lock(&mutex);
        return sent.size();
    }

    QMutex mutex;
    // Guarded by mutex once a sending thread runs: read it through
    // sentCopy(), sentCount() and sentClear().
    QVector<Sent> sent;
    QVector<int> batchSizes;
    int batches = 0;
    QString lastDevId;
    std::atomic<int> takeLimit{-1};
    std::atomic<int> refuseAll{0};
    std::atomic<int> firstDelayMs{0};
    bool knowsChannel = true;
    int fdKind = 1;
    uint8_t fdOn = 1;
};

#include "devtools/QUserWaitResultTask.h"

#include "devtools/QUserRecordCmd.h"
#include "core/QUserCanMsg.h" // getCurrentMs, getElapsedMs

namespace {

class SystemClock final : public QUserWaitClock
{
public:
    int64_t nowMs() override { return getCurrentMs(); }
    void sleepMs(int ms) override { QThread::msleep(ulong(ms)); }
};

} // namespace

QUserWaitClock *QUserWaitClock::system()
{
    static SystemClock clock;
    return &clock;
}

QUserWaitResultTask::QUserWaitResultTask(int kind, QUserRecordWaitOwner *owner, QUserWaitClock *clock,
                                         QObject *parent)
    : QThread(parent), m_kind(kind), m_owner(owner), m_clock(clock ? clock : QUserWaitClock::system())
{
}

void QUserWaitResultTask::run()
{
    if ((m_kind != KindFormat && m_kind != KindWRTest) || !m_owner)
        return;
    const int64_t start = m_clock->nowMs();
    bool polled = false;
    int64_t lastPoll = 0;
    for (;;) {
        const int64_t now = m_clock->nowMs();
        const int64_t elapsed = now - start;
        if (elapsed > LimitMs - 1) {
            m_owner->diskTaskExit(QUserRecordCmd::StatusTimeOut);
            return;
        }
        if (polled && now - lastPoll <= PollGapMs) {
            // Sleep until the next poll is due or the time is up.
            const int64_t toPoll = lastPoll + PollGapMs + 1 - now;
            const int64_t toLimit = start + LimitMs - now;
            const int64_t nap = toPoll < toLimit ? toPoll : toLimit;
            m_clock->sleepMs(int(nap > 0 ? nap : 1));
            continue;
        }
        polled = true;
        lastPoll = now;
        // Every poll may take a whole reply, whatever the last one held.
        uint8_t reply[PollCapacity] = {};
        int count = PollCapacity;
        const int st = m_owner->devStatusQuery(uint8_t(m_kind), reply, &count);
        if (st == QUserRecordCmd::StatusRunning)
            continue;
        int status = 0;
        uint32_t rd = 0, wr = 0;
        // devStatusQuery left count at the reply count (3 or more) here.
        const QUserRecordCmd::Poll p = QUserRecordCmd::parsePoll(m_kind, reply, count, &status, &rd, &wr);
        if (p != QUserRecordCmd::Poll::Final)
            continue;
        if (m_kind == KindWRTest && status == QUserRecordCmd::StatusDone)
            m_owner->diskSpeedSet(rd, wr);
        m_owner->diskTaskExit(status);
        return;
    }
}

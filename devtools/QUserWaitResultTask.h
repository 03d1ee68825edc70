#pragma once
// The thread that watches one long disk operation of a recording adapter (a
// storage-card format or a read/write speed test): it polls the operation's
// status once a second and reports the final status through its owner, or
// 4 when none came within 20 s.
//
// The owner (the recording adapter's settings dialog) sends the polls,
// keeps the measured speeds and emits the final status; the clock is
// injectable so that tests pass the seconds at once.

#include <QThread>

#include <cstdint>

// What the task needs of its owner; every call comes from the task's thread.
class QUserRecordWaitOwner
{
public:
    virtual ~QUserRecordWaitOwner() = default;
    // Sends the status poll of a disk operation. Returns 2 (still running)
    // for a reply count below 3; otherwise sets *capacity to the reply count
    // and returns reply byte 2.
    virtual int devStatusQuery(uint8_t sub, uint8_t *reply, int *capacity) = 0;
    // The speeds of a read/write test that ended with status 1.
    virtual void diskSpeedSet(uint32_t readMBs, uint32_t writeMBs) = 0;
    // The final status of the operation.
    virtual void diskTaskExit(int code) = 0;
};

// Time as the task sees it.
class QUserWaitClock
{
public:
    virtual ~QUserWaitClock() = default;
    virtual int64_t nowMs() = 0;
    virtual void sleepMs(int ms) = 0;
    // Wall-clock milliseconds and real sleeping.
    static QUserWaitClock *system();
};

class QUserWaitResultTask : public QThread
{
    Q_OBJECT

public:
    enum : int {
        KindFormat = 0, // the polled sub-command
        KindWRTest = 2,
        LimitMs = 20000, // more than 19999 ms without a final status: 4
        PollGapMs = 1000, // polls come more than this apart
        PollCapacity = 64,
    };

    // clock null: the system clock.
    QUserWaitResultTask(int kind, QUserRecordWaitOwner *owner, QUserWaitClock *clock = nullptr,
                        QObject *parent = nullptr);

    int kind() const { return m_kind; }

protected:
    void run() override;

private:
    int m_kind;
    QUserRecordWaitOwner *m_owner;
    QUserWaitClock *m_clock;
};

#pragma once
// The host clock the program reads through getCurrentMs() and getElapsedMs()
// (QUserCanMsg.h): milliseconds since the epoch. The senders' periods, the
// CANopen time-outs, the table throttles and the frames' host times all come
// from it. A test may install a clock of its own (a clock it moves itself)
// to drive them; otherwise the machine's clock is read.

#include <cstdint>
#include <memory>

class QUserHostClock
{
public:
    virtual ~QUserHostClock() = default;
    virtual int64_t nowMs() = 0;

    // The clock installed, or null: the machine's clock.
    static QUserHostClock *installed();
    // Installs c (null: the machine's clock again); returns the one it
    // replaces. Every clock installed once stays alive until the process
    // ends, since a thread may still be reading it when it is replaced.
    static std::shared_ptr<QUserHostClock> install(std::shared_ptr<QUserHostClock> c);
};

// Installs a clock for one scope, the previous one again after it.
class QUserHostClockScope
{
public:
    explicit QUserHostClockScope(std::shared_ptr<QUserHostClock> c) : prev_(QUserHostClock::install(std::move(c))) {}
    ~QUserHostClockScope() { QUserHostClock::install(prev_); }
    QUserHostClockScope(const QUserHostClockScope &) = delete;
    QUserHostClockScope &operator=(const QUserHostClockScope &) = delete;

private:
    std::shared_ptr<QUserHostClock> prev_;
};

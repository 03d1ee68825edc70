#pragma once
// Time for the adapter library: a millisecond tick that wraps like the
// Windows tick count, sleeping, and timed waits on condition variables.
//
// Every time-out in kemusb is measured on the current tick source. The
// source is process-wide and injectable: tests install a ManualTicks so that
// waits of 200 to 5000 ms pass in microseconds of real time.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

namespace plat {

constexpr uint32_t INFINITE = 0xFFFFFFFFu;

// A lock as condition_variable_any sees it; lets a virtual wait take any lock.
class BasicLock
{
public:
    virtual ~BasicLock() = default;
    virtual void lock() = 0;
    virtual void unlock() = 0;
};

template<class L>
class LockRef final : public BasicLock
{
public:
    explicit LockRef(L &l) : l_(l) {}
    void lock() override { l_.lock(); }
    void unlock() override { l_.unlock(); }

private:
    L &l_;
};

class TickSource
{
public:
    virtual ~TickSource() = default;
    virtual uint64_t nowMs() = 0;
    virtual uint64_t nowUs() = 0;
    virtual void sleepMs(uint32_t ms) = 0;
    // Blocks on cv (lock held by the caller, released while blocked) for at
    // most until the tick reaches untilMs; may return early (notify or a
    // spurious wake). Callers re-check their condition and the time.
    virtual void waitSlice(std::condition_variable_any &cv, BasicLock &lock, uint64_t untilMs) = 0;
};

// The steady clock of the machine.
class RealTicks final : public TickSource
{
public:
    uint64_t nowMs() override;
    uint64_t nowUs() override;
    void sleepMs(uint32_t ms) override;
    void waitSlice(std::condition_variable_any &cv, BasicLock &lock, uint64_t untilMs) override;
};

// A tick that moves only when told to, or, in auto-advance mode, when every
// waiter is idle: a wait that saw no notification within a short real slice
// jumps the clock to the end of its wait, and a sleep moves it by its length.
class ManualTicks final : public TickSource
{
public:
    explicit ManualTicks(uint64_t startMs = 0, bool autoAdvance = true);
    uint64_t nowMs() override;
    uint64_t nowUs() override;
    void sleepMs(uint32_t ms) override;
    void waitSlice(std::condition_variable_any &cv, BasicLock &lock, uint64_t untilMs) override;

    void advance(uint64_t ms);
    void advanceTo(uint64_t ms); // never moves backwards
    void setAutoAdvance(bool on) { autoAdvance_ = on; }
    bool autoAdvance() const { return autoAdvance_; }

private:
    std::atomic<uint64_t> us_;
    std::atomic<bool> autoAdvance_;
};

// The current source (RealTicks unless one was installed).
TickSource &ticks();
// Installs a source (null restores the real one); returns the previous one.
std::shared_ptr<TickSource> setTickSource(std::shared_ptr<TickSource> src);

// Installs a source for one scope, restoring the previous one after.
class ScopedTickSource
{
public:
    explicit ScopedTickSource(std::shared_ptr<TickSource> src) : prev_(setTickSource(std::move(src))) {}
    ~ScopedTickSource() { setTickSource(prev_); }
    ScopedTickSource(const ScopedTickSource &) = delete;
    ScopedTickSource &operator=(const ScopedTickSource &) = delete;

private:
    std::shared_ptr<TickSource> prev_;
};

// Windows-style services on the current source.
uint32_t GetTickCount();       // milliseconds, wraps at 2^32
uint64_t GetTickCount64();
uint64_t TickMicros();         // microseconds on the same source
void Sleep(uint32_t ms);

// Milliseconds from start to now on the wrapping 32-bit tick.
inline uint32_t TicksSince(uint32_t start) { return GetTickCount() - start; }

// Waits on cv until pred() holds or timeoutMs passed on the current source
// (INFINITE: no limit). nextEvent, when given, names a tick at which the
// caller wants to re-check earlier (scheduled work); it is asked each turn.
// The lock must be held; returns pred().
template<class Lock, class Pred>
bool WaitTicks(std::condition_variable_any &cv, Lock &lock, uint32_t timeoutMs, Pred pred,
               const std::function<uint64_t()> &nextEvent = {})
{
    TickSource *src = &ticks();
    uint64_t deadline = timeoutMs == INFINITE ? UINT64_MAX : src->nowMs() + timeoutMs;
    LockRef<Lock> ref(lock);
    for (;;) {
        if (pred())
            return true;
        TickSource *cur = &ticks();
        if (cur != src) {
            // The source was swapped during the wait (a test put its clock
            // in or took it out): what is left of the wait carries over to
            // the new source, so a wait begun on a clock nobody moves any
            // more still ends.
            if (deadline != UINT64_MAX) {
                const uint64_t oldNow = src->nowMs();
                const uint64_t left = deadline > oldNow ? deadline - oldNow : 0;
                deadline = cur->nowMs() + left;
            }
            src = cur;
        }
        const uint64_t now = src->nowMs();
        if (now >= deadline)
            return false;
        uint64_t until = deadline;
        if (nextEvent) {
            uint64_t ev = nextEvent();
            if (ev < until)
                until = ev > now ? ev : now;
        }
        src->waitSlice(cv, ref, until);
    }
}

} // namespace plat

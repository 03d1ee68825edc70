#pragma once
// A tick source that only one thread moves: the thread that made it (the
// test's). Its waits that nothing wakes jump the clock to their ends at once,
// and its sleeps move the clock by their length; every other thread (device
// threads) waits in short real slices without moving the clock while the
// source is current. A call the
// test makes thus meets its reply time-outs exactly, in microseconds of real
// time, whatever the device threads do meanwhile.

#include "platform/PlatTicks.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace kemtest {

class DriverTicks final : public plat::TickSource
{
public:
    explicit DriverTicks(uint64_t startMs = 1000000) : us_(startMs * 1000), driver_(std::this_thread::get_id()) {}

    uint64_t nowMs() override
    {
        countRead();
        return us_.load() / 1000;
    }
    uint64_t nowUs() override
    {
        countRead();
        return us_.load();
    }

    // One other thread may be watched: how often it has read the clock.
    // A call that times its reply from a tick it reads after sending must
    // have read it before the test moves the clock, or it waits from the
    // moved time for ever; the test waits for reads of the call's thread.
    void watchThisThread()
    {
        watchedReads_.store(0);
        watched_.store(std::this_thread::get_id());
    }
    uint64_t watchedReads() const { return watchedReads_.load(); }

    void sleepMs(uint32_t ms) override
    {
        if (isDriver()) {
            us_.fetch_add(uint64_t(ms) * 1000);
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }

    // Once it is no longer the current source (the test's scope ended), a
    // thread still waiting on it moves it itself, as nobody else will.
    void waitSlice(std::condition_variable_any &cv, plat::BasicLock &lock, uint64_t untilMs) override
    {
        if (cv.wait_for(lock, kSlice) == std::cv_status::no_timeout)
            return; // woken: the caller looks again
        if (!isDriver() && &plat::ticks() == this)
            return; // other threads never move the clock while the test drives it
        if (untilMs == UINT64_MAX)
            return;
        uint64_t target = untilMs * 1000;
        uint64_t cur = us_.load();
        while (cur < target && !us_.compare_exchange_weak(cur, target)) {
        }
    }

private:
    static constexpr std::chrono::microseconds kSlice{200};
    bool isDriver() const { return std::this_thread::get_id() == driver_; }
    void countRead()
    {
        if (watched_.load() == std::this_thread::get_id())
            watchedReads_.fetch_add(1);
    }

    std::atomic<uint64_t> us_;
    const std::thread::id driver_;
    std::atomic<std::thread::id> watched_{};
    std::atomic<uint64_t> watchedReads_{0};
};

} // namespace kemtest

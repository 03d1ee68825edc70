#pragma once
// Host clocks (core/QUserHostClock.h) a test controls. ManualHostClock
// stands still until the test moves it. Periods, time-outs and throttles read from it then happen at
// exact times of the test's choosing, however slow the machine is.
//
// It counts its reads: a thread that polls the clock (a sender's loop, a
// time-out check) has looked at it again after a move once the count has
// grown by a few, so a test can let it act on the new time (or see that it
// does nothing) before moving on.

#include "core/QUserHostClock.h"
#include "tests/support/GiveUp.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>

namespace testsupport {

class ManualHostClock final : public QUserHostClock
{
public:
    // A fixed time of day, so that stamps are the same in every run.
    static constexpr int64_t kStartMs = 1700000000000;

    explicit ManualHostClock(int64_t startMs = kStartMs) : ms_(startMs) {}

    int64_t nowMs() override
    {
        reads_.fetch_add(1);
        return ms_.load();
    }
    // The time without counting a read.
    int64_t peekMs() const { return ms_.load(); }
    void advance(int64_t ms) { ms_.fetch_add(ms); }
    void setMs(int64_t ms) { ms_.store(ms); }
    uint64_t reads() const { return reads_.load(); }

    // Waits until the clock has been read n more times than when called
    // (other threads polling it); false when that did not happen within
    // the give-up bound. Plain threads: no event loop is turned.
    bool readMore(uint64_t n = 3, int giveUpMs = kGiveUpMs) const
    {
        const uint64_t want = reads_.load() + n;
        return waitUntilReal([&] { return reads_.load() >= want; }, giveUpMs);
    }

private:
    std::atomic<int64_t> ms_;
    std::atomic<uint64_t> reads_{0};
};

// The machine's time, which the test can hold still for a while: held, it
// stands; released, it runs on from where it stood (never jumping ahead by
// the time it was held). For windows that need time to pass (throttles)
// around an exchange whose answer is bound to come: held while the test
// waits for the answer, no time-out of the exchange can run out because
// the machine was too busy to deliver it in time.
class HeldHostClock final : public QUserHostClock
{
public:
    int64_t nowMs() override
    {
        std::lock_guard<std::mutex> g(m_);
        return held_ ? heldAt_ : running();
    }
    void hold()
    {
        std::lock_guard<std::mutex> g(m_);
        if (held_)
            return;
        heldAt_ = running();
        heldSince_ = steadyMs();
        held_ = true;
    }
    void release()
    {
        std::lock_guard<std::mutex> g(m_);
        if (!held_)
            return;
        pausedMs_ += steadyMs() - heldSince_;
        held_ = false;
    }

private:
    static int64_t steadyMs()
    {
        using namespace std::chrono;
        return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    }
    int64_t running() const { return epochAtStart_ + (steadyMs() - steadyAtStart_) - pausedMs_; }

    std::mutex m_;
    const int64_t epochAtStart_ = std::chrono::duration_cast<std::chrono::milliseconds>(
                                      std::chrono::system_clock::now().time_since_epoch())
                                      .count();
    const int64_t steadyAtStart_ = steadyMs();
    int64_t pausedMs_ = 0;
    int64_t heldAt_ = 0;
    int64_t heldSince_ = 0;
    bool held_ = false;
};

// Installs a new manual clock for one scope.
struct ManualHostClockScope
{
    std::shared_ptr<ManualHostClock> clock = std::make_shared<ManualHostClock>();
    QUserHostClockScope scope{clock};
    ManualHostClock *operator->() { return clock.get(); }
};

} // namespace testsupport

#pragma once
// A host clock (core/QUserHostClock.h) that stands still until the test
// moves it. Periods, time-outs and throttles read from it then happen at
// exact times of the test's choosing, however slow the machine is.
//
// It counts its reads: a thread that polls the clock (a sender's loop, a
// time-out check) has looked at it again after a move once the count has
// grown by a few, so a test can let it act on the new time (or see that it
// does nothing) before moving on.

#include "core/QUserHostClock.h"
#include "tests/support/GiveUp.h"

#include <atomic>
#include <cstdint>
#include <memory>

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

// Installs a new manual clock for one scope.
struct ManualHostClockScope
{
    std::shared_ptr<ManualHostClock> clock = std::make_shared<ManualHostClock>();
    QUserHostClockScope scope{clock};
    ManualHostClock *operator->() { return clock.get(); }
};

} // namespace testsupport

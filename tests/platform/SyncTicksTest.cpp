#include "platform/PlatSync.h"
#include "platform/PlatThread.h"
#include "platform/PlatTicks.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

using namespace plat;

namespace {

double realMsSince(std::chrono::steady_clock::time_point t0)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

} // namespace

TEST(Ticks, CountWrapsAtThirtyTwoBitsAndElapsedSurvivesTheWrap)
{
    auto clock = std::make_shared<ManualTicks>(0xFFFFFF00ull, false);
    ScopedTickSource use(clock);
    const uint32_t start = GetTickCount();
    EXPECT_EQ(start, 0xFFFFFF00u);
    clock->advance(0x180);
    EXPECT_EQ(GetTickCount(), 0x80u);
    EXPECT_EQ(TicksSince(start), 0x180u);
    EXPECT_EQ(GetTickCount64(), 0x100000080ull);
}

TEST(Ticks, SleepMovesAnAutoAdvancingClockAtOnce)
{
    auto clock = std::make_shared<ManualTicks>(1000);
    ScopedTickSource use(clock);
    auto t0 = std::chrono::steady_clock::now();
    Sleep(5000);
    EXPECT_EQ(GetTickCount(), 6000u);
    EXPECT_LT(realMsSince(t0), 1000.0);
}

// Every timed lock gives up after exactly its time-out on the injected clock,
// across the 32-bit wrap, in far less real time.
TEST(Ticks, TimedLocksGiveUpAfterTheirTimeoutOnTheInjectedClock)
{
    auto clock = std::make_shared<ManualTicks>(0xFFFFF000ull);
    ScopedTickSource use(clock);

    CMutex held;
    std::thread owner([&] { held.Lock(); });
    owner.join(); // the mutex stays owned by a finished thread

    for (uint32_t timeout : {200u, 1000u, 1500u, 5000u}) {
        SCOPED_TRACE(timeout);
        CSemaphore sem(0, 1);
        CEvent ev;
        struct Case
        {
            const char *what;
            SyncObject *obj;
        } cases[] = {{"semaphore", &sem}, {"event", &ev}, {"mutex", &held}};
        for (const Case &c : cases) {
            SCOPED_TRACE(c.what);
            const uint32_t start = GetTickCount();
            auto t0 = std::chrono::steady_clock::now();
            EXPECT_EQ(WaitForSingleObject(c.obj, timeout), WAIT_TIMEOUT);
            EXPECT_EQ(TicksSince(start), timeout);
            EXPECT_LT(realMsSince(t0), 1000.0);
        }
    }
}

namespace {

// A manual clock seen through a counter of the wait slices taken on it: the
// test learns when a waiter has read its start time and is waiting, and
// when it has looked at the clock again after a move.
class SliceCountingTicks final : public TickSource
{
public:
    explicit SliceCountingTicks(std::shared_ptr<ManualTicks> clock) : clock_(std::move(clock)) {}
    uint64_t nowMs() override { return clock_->nowMs(); }
    uint64_t nowUs() override { return clock_->nowUs(); }
    void sleepMs(uint32_t ms) override
    {
        ++sleeps;
        clock_->sleepMs(ms);
    }
    void waitSlice(std::condition_variable_any &cv, BasicLock &lock, uint64_t untilMs) override
    {
        ++slices;
        clock_->waitSlice(cv, lock, untilMs);
    }
    std::atomic<int> slices{0};
    std::atomic<int> sleeps{0};

private:
    std::shared_ptr<ManualTicks> clock_;
};

// Waits in real time (a generous bound for a loaded machine) until pred holds.
template<class Pred>
bool realWaitUntil(Pred pred, int ms = 30000)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!pred()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

} // namespace

// The clock is moved only once the waiter has taken its start time: a
// waiter that starts late would otherwise measure its 300 ms from a moved
// clock and never time out.
TEST(Ticks, ManualClockWithoutAutoAdvanceWaitsForTheTestToMoveIt)
{
    auto clock = std::make_shared<ManualTicks>(0, false);
    auto counting = std::make_shared<SliceCountingTicks>(clock);
    ScopedTickSource use(counting);
    CSemaphore sem(0, 1);
    std::atomic<int> result{-1};
    std::thread waiter([&] { result = sem.Lock(300) ? 1 : 0; });
    struct Joiner
    {
        std::thread &t;
        ManualTicks &c;
        std::atomic<int> &r;
        ~Joiner()
        {
            if (!t.joinable())
                return;
            while (r.load() == -1) { // a failed step: move the clock until the wait ends
                c.advance(1000);
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            t.join();
        }
    } joiner{waiter, *clock, result};
    ASSERT_TRUE(realWaitUntil([&] { return counting->slices.load() > 0; })) << "the waiter never waited";
    // Real time passes, the clock does not: the waiter keeps waiting.
    const int before = counting->slices.load();
    ASSERT_TRUE(realWaitUntil([&] { return counting->slices.load() >= before + 20; }));
    EXPECT_EQ(result.load(), -1);
    clock->advance(299);
    // Two slices after the move: at least one whole look at the moved clock.
    const int moved = counting->slices.load();
    ASSERT_TRUE(realWaitUntil([&] { return counting->slices.load() >= moved + 2; }));
    EXPECT_EQ(result.load(), -1);
    clock->advance(1);
    waiter.join();
    EXPECT_EQ(result.load(), 0);
    EXPECT_EQ(GetTickCount(), 300u);
}

TEST(Semaphore, ReleasePastTheMaximumFailsAndKeepsTheCount)
{
    struct Case
    {
        long initial, max, release;
        bool ok;
        long after;
    } cases[] = {
        {0, 1, 1, true, 1},  {1, 1, 1, false, 1}, {0, 1, 2, false, 0}, {0, 32, 32, true, 32},
        {5, 8, 3, true, 8},  {5, 8, 4, false, 5}, {0, 1, 0, false, 0}, {0, 8, -1, false, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.initial << "/" << c.max << " +" << c.release);
        CSemaphore sem(c.initial, c.max);
        long prev = -7;
        EXPECT_EQ(sem.Unlock(c.release, &prev), c.ok);
        EXPECT_EQ(sem.count(), c.after);
        EXPECT_EQ(prev, c.ok ? c.initial : -7);
    }
}

TEST(Semaphore, EachReleaseLetsOneLockThrough)
{
    CSemaphore sem(0, 8);
    std::atomic<int> passed{0};
    std::vector<std::thread> ts;
    for (int i = 0; i < 4; ++i)
        ts.emplace_back([&] {
            if (sem.Lock(INFINITE))
                ++passed;
        });
    EXPECT_TRUE(sem.Unlock(3));
    EXPECT_TRUE(realWaitUntil([&] { return passed.load() >= 3; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(passed.load(), 3); // and no fourth one
    EXPECT_TRUE(sem.Unlock(1));
    for (auto &t : ts)
        t.join();
    EXPECT_EQ(passed.load(), 4);
    EXPECT_EQ(sem.count(), 0);
}

TEST(Locks, CriticalSectionAndMutexAreRecursiveAndExclusive)
{
    CCriticalSection cs;
    CMutex mx;
    // Recursion by the owner does not deadlock.
    ASSERT_TRUE(cs.Lock());
    ASSERT_TRUE(cs.Lock());
    cs.Unlock();
    cs.Unlock();
    ASSERT_TRUE(mx.Lock(0));
    ASSERT_TRUE(mx.Lock(0));
    // Another thread cannot take the mutex while it is owned, nor release it.
    std::thread other([&] {
        EXPECT_FALSE(mx.Lock(0));
        EXPECT_FALSE(mx.Unlock());
    });
    other.join();
    mx.Unlock();
    mx.Unlock();
    EXPECT_FALSE(mx.Unlock()); // not owned any more

    long counter = 0;
    std::vector<std::thread> ts;
    for (int t = 0; t < 4; ++t)
        ts.emplace_back([&] {
            for (int i = 0; i < 20000; ++i) {
                cs.Lock();
                mx.Lock();
                ++counter;
                mx.Unlock();
                cs.Unlock();
            }
        });
    for (auto &t : ts)
        t.join();
    EXPECT_EQ(counter, 80000);
}

TEST(Event, SetLetsOneWaiterThroughAndResetsItself)
{
    CEvent ev;
    EXPECT_FALSE(ev.Lock(0));
    ev.SetEvent();
    EXPECT_TRUE(ev.Lock(0));
    EXPECT_FALSE(ev.Lock(0)); // auto-reset
    ev.SetEvent();
    ev.ResetEvent();
    EXPECT_FALSE(ev.Lock(0));
}

TEST(Event, PulseReleasesACurrentWaiterAndIsLostWithoutOne)
{
    CEvent ev;
    EXPECT_TRUE(PulseEvent(&ev));
    EXPECT_FALSE(ev.Lock(0)); // nobody waited: the pulse is gone

    std::atomic<bool> through{false};
    std::thread waiter([&] { through = ev.Lock(INFINITE); });
    while (ev.waiters() == 0)
        std::this_thread::yield();
    PulseEvent(&ev);
    waiter.join();
    EXPECT_TRUE(through.load());
    EXPECT_FALSE(ev.Lock(0)); // and the event is not left signalled
    EXPECT_EQ(WaitForSingleObject(nullptr, 0), WAIT_FAILED);
}

namespace {
uint32_t storeArg(void *p)
{
    static_cast<std::atomic<int> *>(p)->fetch_add(1);
    return 42;
}
} // namespace

TEST(Thread, StartsAtOnceWithAnyPriorityHint)
{
    for (int prio : {THREAD_PRIORITY_NORMAL, THREAD_PRIORITY_HIGHEST, THREAD_PRIORITY_TIME_CRITICAL}) {
        SCOPED_TRACE(prio);
        std::atomic<int> ran{0};
        auto t = AfxBeginThread(&storeArg, &ran, prio);
        ASSERT_TRUE(t);
        t->join();
        EXPECT_EQ(ran.load(), 1); // a refused priority does not stop the thread
        EXPECT_TRUE(t->finished());
        EXPECT_EQ(t->exitCode(), 42u);
    }
}

// The stop handshake's semaphore lives on the waiter's stack: the waiter may
// destroy it the moment its Lock returns, while the releasing thread is still
// inside Unlock. Nothing may touch the semaphore after the count is given.
TEST(Semaphore, WaiterMayDestroyItAsSoonAsItIsReleased)
{
    for (int i = 0; i < 5000; ++i) {
        auto *sem = new CSemaphore(0, 1);
        std::thread releaser([sem] { sem->Unlock(); });
        ASSERT_TRUE(sem->Lock(INFINITE));
        delete sem;
        releaser.join();
    }
}

// A wait or a sleep begun on a test clock that stands still ends once the
// clock is taken out: what was left of it is spent on the real clock. A
// device thread waiting for a read when a test's scope ends would otherwise
// wait for ever and hang the adapter's close.
TEST(Ticks, WaitsAndSleepsBegunOnAStillClockEndOnceItIsTakenOut)
{
    auto clock = std::make_shared<ManualTicks>(5000, false);
    auto counting = std::make_shared<SliceCountingTicks>(clock);
    CSemaphore sem(0, 1);
    std::atomic<int> waited{-1};
    std::atomic<bool> slept{false};
    std::thread waiter, sleeper;
    {
        ScopedTickSource use(counting);
        waiter = std::thread([&] { waited = sem.Lock(100) ? 1 : 0; });
        sleeper = std::thread([&] {
            Sleep(100);
            slept = true;
        });
        EXPECT_TRUE(realWaitUntil([&] { return counting->slices.load() > 0; })) << "the waiter never waited";
        EXPECT_TRUE(realWaitUntil([&] { return counting->sleeps.load() > 0; })) << "the sleeper never slept";
        // Real time passes, the clock does not: both keep waiting.
        const int before = counting->slices.load();
        EXPECT_TRUE(realWaitUntil([&] { return counting->slices.load() >= before + 20; }));
        EXPECT_EQ(waited.load(), -1);
        EXPECT_FALSE(slept.load());
        // The sleep sees the source it began on still in place, reached
        // through this wrapper: it does not take itself for taken out and
        // sleep again on the wrapper (which would recurse without end).
        EXPECT_EQ(counting->sleeps.load(), 1);
    }
    const bool ended = realWaitUntil([&] { return waited.load() != -1 && slept.load(); }, 60000);
    if (!ended) { // a failed step: free both threads before the test ends
        clock->advance(1000);
        sem.Unlock();
    }
    waiter.join();
    sleeper.join();
    ASSERT_TRUE(ended) << "a wait begun on the still clock never ended";
    EXPECT_EQ(waited.load(), 0) << "the wait timed out";
    EXPECT_EQ(clock->nowMs(), 5000u) << "nobody moved the still clock";
}

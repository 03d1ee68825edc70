#include "platform/PlatTicks.h"

#include "platform/PlatGlobals.h"

#include <atomic>
#include <chrono>
#include <new>
#include <thread>
#include <vector>

namespace plat {

namespace {

uint64_t steadyUs()
{
    using namespace std::chrono;
    return uint64_t(duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count());
}

// Sources that were current once stay alive: a thread may still be inside
// one of their waits when a test swaps the source.
SwappableService<TickSource> g_ticks{[] { g_ticks.release(); }};

RealTicks &realTicks()
{
    // Constructed in static storage and never destroyed: threads may ask late.
    alignas(RealTicks) static unsigned char storage[sizeof(RealTicks)];
    static RealTicks *r = new (storage) RealTicks;
    return *r;
}

// Real time slice a manual-clock waiter blocks before it may move the clock.
constexpr auto kManualSlice = std::chrono::microseconds(200);

} // namespace

uint64_t RealTicks::nowMs() { return steadyUs() / 1000; }
uint64_t RealTicks::nowUs() { return steadyUs(); }

void RealTicks::sleepMs(uint32_t ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void RealTicks::waitSlice(std::condition_variable_any &cv, BasicLock &lock, uint64_t untilMs)
{
    const uint64_t now = nowMs();
    if (untilMs <= now)
        return;
    // Wake at least every second so that a source swap is noticed.
    uint64_t left = untilMs - now;
    if (left > 1000)
        left = 1000;
    cv.wait_for(lock, std::chrono::milliseconds(left));
}

ManualTicks::ManualTicks(uint64_t startMs, bool autoAdvance) : us_(startMs * 1000), autoAdvance_(autoAdvance) {}

uint64_t ManualTicks::nowMs() { return us_.load() / 1000; }
uint64_t ManualTicks::nowUs() { return us_.load(); }

void ManualTicks::advance(uint64_t ms) { us_.fetch_add(ms * 1000); }

void ManualTicks::advanceTo(uint64_t ms)
{
    uint64_t target = ms * 1000;
    uint64_t cur = us_.load();
    while (cur < target && !us_.compare_exchange_weak(cur, target)) {
    }
}

void ManualTicks::sleepMs(uint32_t ms)
{
    if (autoAdvance_) {
        advance(ms);
        std::this_thread::yield();
        return;
    }
    // The source the sleep began on: this clock, or a source that reaches
    // it (a test's wrapper that counts or watches the calls).
    TickSource *const began = &ticks();
    const uint64_t until = nowMs() + ms;
    while (nowMs() < until) {
        TickSource &now = ticks();
        if (&now != began) {
            // Taken out while sleeping: the rest of the sleep is spent on
            // the source now in place, nobody moves this clock any more.
            const uint64_t at = nowMs();
            if (at < until)
                now.sleepMs(uint32_t(until - at));
            return;
        }
        std::this_thread::sleep_for(kManualSlice);
    }
}

void ManualTicks::waitSlice(std::condition_variable_any &cv, BasicLock &lock, uint64_t untilMs)
{
    if (cv.wait_for(lock, kManualSlice) == std::cv_status::no_timeout)
        return; // notified: let the caller look first
    if (autoAdvance_ && untilMs != UINT64_MAX)
        advanceTo(untilMs);
}

TickSource &ticks()
{
    TickSource *t = g_ticks.current();
    return t ? *t : realTicks();
}

std::shared_ptr<TickSource> setTickSource(std::shared_ptr<TickSource> src) { return g_ticks.install(std::move(src)); }

uint32_t GetTickCount() { return uint32_t(ticks().nowMs()); }
uint64_t GetTickCount64() { return ticks().nowMs(); }
uint64_t TickMicros() { return ticks().nowUs(); }
void Sleep(uint32_t ms) { ticks().sleepMs(ms); }

} // namespace plat

#include "core/QUserHostClock.h"

#include <atomic>
#include <mutex>
#include <vector>

namespace {

std::atomic<QUserHostClock *> g_clock{nullptr};

// Every clock ever installed; never destroyed (threads may read late).
struct Installed
{
    std::mutex m;
    std::shared_ptr<QUserHostClock> current;
    std::vector<std::shared_ptr<QUserHostClock>> retired;
};

Installed &installedClocks()
{
    static Installed *s = new Installed;
    return *s;
}

} // namespace

QUserHostClock *QUserHostClock::installed() { return g_clock.load(std::memory_order_acquire); }

std::shared_ptr<QUserHostClock> QUserHostClock::install(std::shared_ptr<QUserHostClock> c)
{
    Installed &s = installedClocks();
    std::lock_guard<std::mutex> g(s.m);
    std::shared_ptr<QUserHostClock> prev = s.current;
    if (prev)
        s.retired.push_back(prev);
    s.current = std::move(c);
    g_clock.store(s.current.get(), std::memory_order_release);
    return prev;
}

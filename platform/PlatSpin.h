#pragma once
// Short waits on the core: the pause a spinning thread makes between two
// looks, and a lock taken by spinning a while before sleeping on it. For
// locks held only for a few frames at a time, where a sleep and a wake-up
// each way cost more than the holder's whole turn.

#include <mutex>

namespace plat {

// Tells the core that the thread is spinning (lets a sibling hyper-thread
// run, saves power); a no-op where the processor has no such hint.
inline void cpuRelax()
{
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#elif defined(__aarch64__)
    asm volatile("yield");
#endif
}

// Tries m up to `spins` times, pausing between tries, then blocks on it.
template<class Mutex>
std::unique_lock<Mutex> lockSpinningFirst(Mutex &m, int spins)
{
    std::unique_lock<Mutex> lk(m, std::defer_lock);
    for (int i = 0; i < spins && !lk.try_lock(); ++i)
        cpuRelax();
    if (!lk.owns_lock())
        lk.lock();
    return lk;
}

} // namespace plat

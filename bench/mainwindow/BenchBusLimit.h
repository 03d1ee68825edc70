#pragma once
// The bus-limit rig of the main window's figures: eight simulated CAN FD
// channels of a TRNB702 ("DUT" of the simulated topology) whose far ends
// ("FAR") send 16-byte frames every millisecond, so that batches reach the
// GUI thread through the driver thread and the queued connections as they
// do in the program; the GUI thread's own CPU time and context switches
// over a run; a count of the events the GUI thread delivers.

#include "bench/support/BenchFdDevice.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>

#include <sys/resource.h>

namespace bench {

// Events delivered by the application at the outermost level (not the ones
// sent from inside another event's handler); the bench program's
// application object counts them.
inline std::atomic<uint64_t> &guiEventsDelivered()
{
    static std::atomic<uint64_t> n{0};
    return n;
}

// The calling thread's CPU time (user and system, the kernel's time in poll
// and in switching included) and its context switches.
struct ThreadUsage {
    double userSeconds = 0;
    double sysSeconds = 0;
    long voluntarySwitches = 0;
    long involuntarySwitches = 0;

    static ThreadUsage now()
    {
        rusage ru{};
        getrusage(RUSAGE_THREAD, &ru);
        ThreadUsage u;
        u.userSeconds = double(ru.ru_utime.tv_sec) + double(ru.ru_utime.tv_usec) / 1e6;
        u.sysSeconds = double(ru.ru_stime.tv_sec) + double(ru.ru_stime.tv_usec) / 1e6;
        u.voluntarySwitches = ru.ru_nvcsw;
        u.involuntarySwitches = ru.ru_nivcsw;
        return u;
    }
    double cpuSeconds() const { return userSeconds + sysSeconds; }
    ThreadUsage since(const ThreadUsage &before) const
    {
        ThreadUsage d;
        d.userSeconds = userSeconds - before.userSeconds;
        d.sysSeconds = sysSeconds - before.sysSeconds;
        d.voluntarySwitches = voluntarySwitches - before.voluntarySwitches;
        d.involuntarySwitches = involuntarySwitches - before.involuntarySwitches;
        return d;
    }
};

// The far ends' traffic: every millisecond from `start` on, `perMsPerChannel`
// 16-byte CAN FD frames on each of the eight channels, for `ms`
// milliseconds; `sent` counts the frames the simulator took, `done` is set
// at the end. SendFn is the simulator control's send function.
template <typename SendFn>
void busLimitInject(SendFn send, int perMsPerChannel, int ms, std::chrono::steady_clock::time_point start,
                    std::atomic<uint64_t> &sent, std::atomic<bool> &done)
{
    for (int k = 0; k < ms; ++k) {
        std::this_thread::sleep_until(start + std::chrono::milliseconds(k));
        for (int c = 0; c < 8; ++c)
            sent += uint64_t(send("FAR", c, perMsPerChannel, 1, 16, 0x200, uint32_t(k)));
    }
    done = true;
}

} // namespace bench

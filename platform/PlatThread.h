#pragma once
// Thread start with a priority hint, in the shape the adapter library uses
// (AfxBeginThread: a body taking one pointer, started at once).

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>

namespace plat {

constexpr int THREAD_PRIORITY_NORMAL = 0;
constexpr int THREAD_PRIORITY_ABOVE_NORMAL = 1;
constexpr int THREAD_PRIORITY_HIGHEST = 2;
constexpr int THREAD_PRIORITY_TIME_CRITICAL = 15;

using ThreadBody = uint32_t (*)(void *);

class WinThread
{
public:
    ~WinThread(); // joins
    WinThread(const WinThread &) = delete;
    WinThread &operator=(const WinThread &) = delete;

    void join();
    bool joinable() const { return t_.joinable(); }
    bool finished() const { return finished_.load(); }
    uint32_t exitCode() const { return exit_.load(); }
    // Whether the system accepted the priority asked for (a refusal is
    // ignored: the thread runs at normal priority).
    bool priorityApplied() const { return priorityApplied_.load(); }
    std::thread::id id() const { return t_.get_id(); }

private:
    friend std::unique_ptr<WinThread> AfxBeginThread(ThreadBody, void *, int);
    WinThread() = default;
    std::thread t_;
    std::atomic<bool> finished_{false};
    std::atomic<bool> priorityApplied_{true};
    std::atomic<uint32_t> exit_{0};
};

// Starts body(arg) on a new thread with the given priority hint.
std::unique_ptr<WinThread> AfxBeginThread(ThreadBody body, void *arg, int priority = THREAD_PRIORITY_NORMAL);

} // namespace plat

#pragma once
// Synchronisation objects with the behaviour kemusb relies on: a recursive
// critical section, a recursive mutex with a timed lock, an auto-reset event
// with PulseEvent, and a counting semaphore with a maximum. Timed waits are
// measured on the current tick source (PlatTicks.h).

#include "platform/PlatTicks.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

namespace plat {

constexpr uint32_t WAIT_OBJECT_0 = 0;
constexpr uint32_t WAIT_TIMEOUT = 258;
constexpr uint32_t WAIT_FAILED = 0xFFFFFFFFu;

// Something a thread can wait on.
class SyncObject
{
public:
    virtual ~SyncObject() = default;
    // true when acquired (signalled) within timeoutMs (INFINITE: no limit).
    virtual bool Lock(uint32_t timeoutMs = INFINITE) = 0;
    virtual bool Unlock() = 0;
};

// Recursive lock without a time-out; the owner may lock it again.
class CCriticalSection final : public SyncObject
{
public:
    bool Lock(uint32_t timeoutMs = INFINITE) override;
    bool Unlock() override;

private:
    std::recursive_mutex m_;
};

// Recursive lock that can give up after a time-out.
class CMutex final : public SyncObject
{
public:
    bool Lock(uint32_t timeoutMs = INFINITE) override;
    bool Unlock() override; // false when the caller does not own it

private:
    std::mutex m_;
    std::condition_variable_any cv_;
    std::thread::id owner_;
    uint32_t depth_ = 0;
};

// Auto-reset event: SetEvent lets exactly one waiter through (or the next
// one to come); PulseEvent lets one current waiter through and leaves the
// event unsignalled, so that it is lost when nobody waits.
class CEvent final : public SyncObject
{
public:
    explicit CEvent(bool initiallySignalled = false) : signalled_(initiallySignalled) {}
    bool Lock(uint32_t timeoutMs = INFINITE) override;
    bool Unlock() override { return true; }
    bool SetEvent();
    bool ResetEvent();
    bool PulseEvent();
    int waiters();

private:
    std::mutex m_;
    std::condition_variable_any cv_;
    bool signalled_;
    int waiting_ = 0;
    uint64_t pulses_ = 0; // pulses handed to current waiters, not yet taken
};

// Counting semaphore with a maximum: releasing past the maximum fails and
// leaves the count as it was.
class CSemaphore final : public SyncObject
{
public:
    explicit CSemaphore(long initialCount = 1, long maxCount = 1);
    bool Lock(uint32_t timeoutMs = INFINITE) override;
    bool Unlock() override { return Unlock(1, nullptr); }
    bool Unlock(long count, long *previous = nullptr);
    long count();

private:
    std::mutex m_;
    std::condition_variable_any cv_;
    long count_;
    const long max_;
};

uint32_t WaitForSingleObject(SyncObject *obj, uint32_t timeoutMs);
bool PulseEvent(CEvent *ev);
bool SetEvent(CEvent *ev);

} // namespace plat

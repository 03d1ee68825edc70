#include "platform/PlatSync.h"

namespace plat {

bool CCriticalSection::Lock(uint32_t)
{
    m_.lock();
    return true;
}

bool CCriticalSection::Unlock()
{
    m_.unlock();
    return true;
}

bool CMutex::Lock(uint32_t timeoutMs)
{
    const std::thread::id me = std::this_thread::get_id();
    std::unique_lock<std::mutex> lk(m_);
    if (depth_ > 0 && owner_ == me) {
        ++depth_;
        return true;
    }
    if (!WaitTicks(cv_, lk, timeoutMs, [&] { return depth_ == 0; }))
        return false;
    owner_ = me;
    depth_ = 1;
    return true;
}

bool CMutex::Unlock()
{
    std::unique_lock<std::mutex> lk(m_);
    if (depth_ == 0 || owner_ != std::this_thread::get_id())
        return false;
    if (--depth_ == 0) {
        owner_ = std::thread::id();
        cv_.notify_one(); // under the lock: see CSemaphore::Unlock
    }
    return true;
}

bool CEvent::Lock(uint32_t timeoutMs)
{
    std::unique_lock<std::mutex> lk(m_);
    ++waiting_;
    bool got = WaitTicks(cv_, lk, timeoutMs, [&] { return signalled_ || pulses_ > 0; });
    --waiting_;
    if (!got)
        return false;
    if (pulses_ > 0)
        --pulses_;
    else
        signalled_ = false; // auto-reset
    return true;
}

bool CEvent::SetEvent()
{
    std::lock_guard<std::mutex> g(m_);
    signalled_ = true;
    cv_.notify_one();
    return true;
}

bool CEvent::ResetEvent()
{
    std::lock_guard<std::mutex> g(m_);
    signalled_ = false;
    return true;
}

bool CEvent::PulseEvent()
{
    std::lock_guard<std::mutex> g(m_);
    signalled_ = false;
    // One current waiter (not yet served by an earlier pulse) gets through.
    if (uint64_t(waiting_) > pulses_)
        ++pulses_;
    cv_.notify_all();
    return true;
}

int CEvent::waiters()
{
    std::lock_guard<std::mutex> g(m_);
    return waiting_;
}

CSemaphore::CSemaphore(long initialCount, long maxCount)
    : count_(initialCount < 0 ? 0 : initialCount), max_(maxCount < 1 ? 1 : maxCount)
{
    if (count_ > max_)
        count_ = max_;
}

bool CSemaphore::Lock(uint32_t timeoutMs)
{
    std::unique_lock<std::mutex> lk(m_);
    if (!WaitTicks(cv_, lk, timeoutMs, [&] { return count_ > 0; }))
        return false;
    --count_;
    return true;
}

bool CSemaphore::Unlock(long count, long *previous)
{
    std::unique_lock<std::mutex> lk(m_);
    if (count <= 0 || count > max_ - count_)
        return false;
    if (previous)
        *previous = count_;
    count_ += count;
    // Notify before the lock goes: a waiter that gets through may destroy
    // the semaphore at once (the stop handshake's lives on the poster's
    // stack), so nothing may touch it after the mutex is released.
    cv_.notify_all();
    return true;
}

long CSemaphore::count()
{
    std::lock_guard<std::mutex> g(m_);
    return count_;
}

uint32_t WaitForSingleObject(SyncObject *obj, uint32_t timeoutMs)
{
    if (!obj)
        return WAIT_FAILED;
    return obj->Lock(timeoutMs) ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
}

bool PulseEvent(CEvent *ev) { return ev && ev->PulseEvent(); }
bool SetEvent(CEvent *ev) { return ev && ev->SetEvent(); }

} // namespace plat

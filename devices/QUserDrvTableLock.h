#pragma once
// The reader-writer lock of a device class's driver table. Sender and
// playback threads hold it shared for a whole send through the driver they
// looked up (so the driver cannot go while they are inside it); the GUI
// thread holds it exclusive to enter or remove a driver. A waiting writer
// holds off new readers: several senders taking turns could otherwise keep
// the GUI thread's close waiting for as long as they send.
//
// Usable with std::shared_lock and std::unique_lock. Not recursive: a thread
// that holds it shared must not take it again.

#include <shared_mutex>

#if defined(__GLIBC__)
#include <pthread.h>
#endif

class QUserDrvTableLock
{
public:
#if defined(__GLIBC__)
    QUserDrvTableLock()
    {
        pthread_rwlockattr_t attr;
        pthread_rwlockattr_init(&attr);
        pthread_rwlockattr_setkind_np(&attr, PTHREAD_RWLOCK_PREFER_WRITER_NONRECURSIVE_NP);
        pthread_rwlock_init(&rw, &attr);
        pthread_rwlockattr_destroy(&attr);
    }
    ~QUserDrvTableLock() { pthread_rwlock_destroy(&rw); }
    void lock() { pthread_rwlock_wrlock(&rw); }
    void unlock() { pthread_rwlock_unlock(&rw); }
    void lock_shared() { pthread_rwlock_rdlock(&rw); }
    void unlock_shared() { pthread_rwlock_unlock(&rw); }
#else
    void lock() { rw.lock(); }
    void unlock() { rw.unlock(); }
    void lock_shared() { rw.lock_shared(); }
    void unlock_shared() { rw.unlock_shared(); }
#endif
    QUserDrvTableLock(const QUserDrvTableLock &) = delete;
    QUserDrvTableLock &operator=(const QUserDrvTableLock &) = delete;

private:
#if defined(__GLIBC__)
    pthread_rwlock_t rw;
#else
    std::shared_mutex rw;
#endif
};

// ThreadSanitizer builds only: tells the sanitizer about Qt's locks, thread
// ends and queued calls.
//
// Qt is not built with the sanitizer, and its mutexes and semaphores wait on
// futexes directly, which the sanitizer cannot see. Every piece of our data
// that a QMutex guards, or that one thread hands to another through a
// QSemaphore, a finished QThread or a queued signal, would be reported as a
// race. The test programs of the sanitizer build therefore carry these
// definitions of the Qt operations that our code calls: each forwards to
// Qt's own and marks the hand-over the real operation gives (release before
// giving a lock, a token or an event away, acquire after taking one), so the
// sanitizer sees the ordering that exists. Nothing is hidden: a value touched
// outside its lock, or after it was handed on, is still reported.

#include <QByteArray>
#include <QEvent>
#include <QMetaObject>
#include <QMetaType>
#include <QMutex>
#include <QObject>
#include <QReadWriteLock>
#include <QSemaphore>
#include <QThread>
#include <QVariant>
#include <QWaitCondition>

#include <array>
#include <cstdlib>
#include <dlfcn.h>
#include <mutex>
#include <utility>

extern "C" {
void __tsan_acquire(void *addr);
void __tsan_release(void *addr);
}

namespace {

// Qt's definition of a member function, found past this program's own.
template <class Fn>
Fn real(const char *mangled)
{
    static_assert(sizeof(Fn) == sizeof(void *), "plain function pointer");
    void *p = dlsym(RTLD_NEXT, mangled);
    if (!p)
        abort();
    Fn fn;
    __builtin_memcpy(&fn, &p, sizeof fn);
    return fn;
}

} // namespace

void QMutex::lock() QT_MUTEX_LOCK_NOEXCEPT
{
    static auto fn = real<void (*)(QMutex *)>("_ZN6QMutex4lockEv");
    fn(this);
    __tsan_acquire(this);
}

bool QMutex::tryLock(int timeout) QT_MUTEX_LOCK_NOEXCEPT
{
    static auto fn = real<bool (*)(QMutex *, int)>("_ZN6QMutex7tryLockEi");
    const bool ok = fn(this, timeout);
    if (ok)
        __tsan_acquire(this);
    return ok;
}

void QMutex::unlock() noexcept
{
    static auto fn = real<void (*)(QMutex *)>("_ZN6QMutex6unlockEv");
    __tsan_release(this);
    fn(this);
}

void QSemaphore::acquire(int n)
{
    static auto fn = real<void (*)(QSemaphore *, int)>("_ZN10QSemaphore7acquireEi");
    fn(this, n);
    __tsan_acquire(this);
}

bool QSemaphore::tryAcquire(int n)
{
    static auto fn = real<bool (*)(QSemaphore *, int)>("_ZN10QSemaphore10tryAcquireEi");
    const bool ok = fn(this, n);
    if (ok)
        __tsan_acquire(this);
    return ok;
}

bool QSemaphore::tryAcquire(int n, int timeout)
{
    static auto fn = real<bool (*)(QSemaphore *, int, int)>("_ZN10QSemaphore10tryAcquireEii");
    const bool ok = fn(this, n, timeout);
    if (ok)
        __tsan_acquire(this);
    return ok;
}

void QSemaphore::release(int n)
{
    static auto fn = real<void (*)(QSemaphore *, int)>("_ZN10QSemaphore7releaseEi");
    __tsan_release(this);
    fn(this, n);
}

// A wait gives the mutex away and takes it back; a wake hands over to the
// woken thread.
bool QWaitCondition::wait(QMutex *lockedMutex, QDeadlineTimer deadline)
{
    static auto fn = real<bool (*)(QWaitCondition *, QMutex *, QDeadlineTimer)>(
        "_ZN14QWaitCondition4waitEP6QMutex14QDeadlineTimer");
    __tsan_release(lockedMutex);
    const bool woken = fn(this, lockedMutex, deadline);
    __tsan_acquire(lockedMutex);
    __tsan_acquire(this);
    return woken;
}

bool QWaitCondition::wait(QMutex *lockedMutex, unsigned long time)
{
    static auto fn = real<bool (*)(QWaitCondition *, QMutex *, unsigned long)>("_ZN14QWaitCondition4waitEP6QMutexm");
    __tsan_release(lockedMutex);
    const bool woken = fn(this, lockedMutex, time);
    __tsan_acquire(lockedMutex);
    __tsan_acquire(this);
    return woken;
}

void QWaitCondition::wakeOne()
{
    static auto fn = real<void (*)(QWaitCondition *)>("_ZN14QWaitCondition7wakeOneEv");
    __tsan_release(this);
    fn(this);
}

void QWaitCondition::wakeAll()
{
    static auto fn = real<void (*)(QWaitCondition *)>("_ZN14QWaitCondition7wakeAllEv");
    __tsan_release(this);
    fn(this);
}

void QReadWriteLock::lockForRead()
{
    static auto fn = real<void (*)(QReadWriteLock *)>("_ZN14QReadWriteLock11lockForReadEv");
    fn(this);
    __tsan_acquire(this);
}

void QReadWriteLock::lockForWrite()
{
    static auto fn = real<void (*)(QReadWriteLock *)>("_ZN14QReadWriteLock12lockForWriteEv");
    fn(this);
    __tsan_acquire(this);
}

bool QReadWriteLock::tryLockForRead()
{
    static auto fn = real<bool (*)(QReadWriteLock *)>("_ZN14QReadWriteLock14tryLockForReadEv");
    const bool ok = fn(this);
    if (ok)
        __tsan_acquire(this);
    return ok;
}

bool QReadWriteLock::tryLockForWrite()
{
    static auto fn = real<bool (*)(QReadWriteLock *)>("_ZN14QReadWriteLock15tryLockForWriteEv");
    const bool ok = fn(this);
    if (ok)
        __tsan_acquire(this);
    return ok;
}

void QReadWriteLock::unlock()
{
    static auto fn = real<void (*)(QReadWriteLock *)>("_ZN14QReadWriteLock6unlockEv");
    __tsan_release(this);
    fn(this);
}

// ---- thread ends -------------------------------------------------------------
// A QThread ends by Qt's own code, which marks the thread finished and wakes
// its waiters behind the sanitizer's back. The end is marked as a release in
// the thread (a direct slot of finished(), the last thing the thread runs of
// ours); wait(), isFinished() and isRunning() acquire once they see the end.

void QThread::start(Priority priority)
{
    static auto fn = real<void (*)(QThread *, Priority)>("_ZN7QThread5startENS_8PriorityE");
    if (!property("orvaneTsanEnd").isValid()) {
        setProperty("orvaneTsanEnd", true);
        QObject::connect(this, &QThread::finished, [t = this]() { __tsan_release(t); });
    }
    __tsan_release(this); // the start hands everything so far to the thread
    fn(this, priority);
}

bool QThread::wait(QDeadlineTimer deadline)
{
    static auto fn = real<bool (*)(QThread *, QDeadlineTimer)>("_ZN7QThread4waitE14QDeadlineTimer");
    const bool ended = fn(this, deadline);
    if (ended)
        __tsan_acquire(this);
    return ended;
}

bool QThread::wait(unsigned long time)
{
    static auto fn = real<bool (*)(QThread *, unsigned long)>("_ZN7QThread4waitEm");
    const bool ended = fn(this, time);
    if (ended)
        __tsan_acquire(this);
    return ended;
}

bool QThread::isFinished() const
{
    static auto fn = real<bool (*)(const QThread *)>("_ZNK7QThread10isFinishedEv");
    const bool finished = fn(this);
    if (finished)
        __tsan_acquire(const_cast<QThread *>(this));
    return finished;
}

bool QThread::isRunning() const
{
    static auto fn = real<bool (*)(const QThread *)>("_ZNK7QThread9isRunningEv");
    const bool running = fn(this);
    if (!running)
        __tsan_acquire(const_cast<QThread *>(this));
    return running;
}

// ---- queued calls ------------------------------------------------------------
// A signal hands its arguments to the receiving thread through Qt's event
// queue: Qt copies each argument (with the copy constructor our types
// register) and posts the event; a functor handed to invokeMethod travels
// the same way. The emission and the functor's hand-over release, and so
// does every copy Qt makes of one of our types, right after it is made and
// before the event that carries it is posted; the delivery of an event to one of our
// objects acquires. The queue is one object per receiving thread in Qt; one
// mark for all of them is the same order or stronger only where two threads
// post to different receivers.

namespace {

char g_postedEvents;

using Constructor = void *(*)(void *, const void *);
constexpr int kCopySlots = 64;
Constructor g_copy[kCopySlots];
int g_copyUsed = 0; // under g_copyMutex

template <int N>
void *copyThenRelease(void *where, const void *from)
{
    void *made = g_copy[N](where, from);
    __tsan_release(&g_postedEvents);
    return made;
}

template <int... N>
constexpr std::array<Constructor, sizeof...(N)> copyTable(std::integer_sequence<int, N...>)
{
    return {{&copyThenRelease<N>...}};
}

constexpr std::array<Constructor, kCopySlots> g_copyWrappers = copyTable(std::make_integer_sequence<int, kCopySlots>());

std::mutex g_copyMutex;

Constructor wrapCopy(Constructor c)
{
    if (!c)
        return c;
    std::lock_guard<std::mutex> lock(g_copyMutex);
    for (int i = 0; i < g_copyUsed; ++i)
        if (g_copy[i] == c)
            return g_copyWrappers[size_t(i)];
    if (g_copyUsed == kCopySlots)
        abort(); // more registered types than slots: raise kCopySlots
    g_copy[g_copyUsed] = c;
    return g_copyWrappers[size_t(g_copyUsed++)];
}

} // namespace

int QMetaType::registerNormalizedType(const ::QByteArray &normalizedTypeName, Destructor destructor,
                                      Constructor constructor, int size, QMetaType::TypeFlags flags,
                                      const QMetaObject *metaObject)
{
    static auto fn = real<int (*)(const ::QByteArray &, Destructor, Constructor, int, QMetaType::TypeFlags,
                                  const QMetaObject *)>(
        "_ZN9QMetaType22registerNormalizedTypeERK10QByteArrayPFvPvEPFS3_S3_PKvEi6QFlagsINS_8TypeFlagEEPK11QMetaObject");
    return fn(normalizedTypeName, destructor, wrapCopy(constructor), size, flags, metaObject);
}

void QMetaObject::activate(QObject *sender, const QMetaObject *m, int local_signal_index, void **argv)
{
    static auto fn = real<void (*)(QObject *, const QMetaObject *, int, void **)>(
        "_ZN11QMetaObject8activateEP7QObjectPKS_iPPv");
    __tsan_release(&g_postedEvents);
    fn(sender, m, local_signal_index, argv);
}

// A functor posted with QMetaObject::invokeMethod: the slot object that
// carries it is made here and run in the receiver's thread.
bool QMetaObject::invokeMethodImpl(QObject *object, QtPrivate::QSlotObjectBase *slot, Qt::ConnectionType type,
                                   void *ret)
{
    static auto fn = real<bool (*)(QObject *, QtPrivate::QSlotObjectBase *, Qt::ConnectionType, void *)>(
        "_ZN11QMetaObject16invokeMethodImplEP7QObjectPN9QtPrivate15QSlotObjectBaseEN2Qt14ConnectionTypeEPv");
    __tsan_release(&g_postedEvents);
    return fn(object, slot, type, ret);
}

bool QObject::event(QEvent *e)
{
    static auto fn = real<bool (*)(QObject *, QEvent *)>("_ZN7QObject5eventEP6QEvent");
    __tsan_acquire(&g_postedEvents);
    return fn(this, e);
}

bool QThread::event(QEvent *e)
{
    static auto fn = real<bool (*)(QThread *, QEvent *)>("_ZN7QThread5eventEP6QEvent");
    __tsan_acquire(&g_postedEvents);
    return fn(this, e);
}

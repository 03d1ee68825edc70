// ThreadSanitizer builds only: tells the sanitizer about the hand-overs that
// Qt makes between threads, and about nothing else.
//
// Qt is not built with the sanitizer. Its mutexes, semaphores and wait
// conditions wait on futexes, its event queues are guarded by its own locks,
// and its threads end by its own code: all of it is invisible to the
// sanitizer, so every piece of our data that a QMutex guards, or that one
// thread hands to another through a QSemaphore, a finished QThread, a queued
// signal or a posted event, would be reported as a race. The test programs
// of the sanitizer build therefore carry the definitions below. Each marks
// the hand-over that the real operation makes, and only that one: a release
// where a thread gives something away, an acquire where the receiving thread
// takes it, both on a key that belongs to that hand-over. A value touched
// outside its lock, or passed on by what hands nothing over (a direct call, a
// signal that no receiver in another thread gets queued), is still reported;
// tests/support/TsanHarnessTest.cpp checks both sides.
//
// Qt binds the calls inside its own library to itself: a definition here is
// the one our code (and Qt's other libraries) call, never the one Qt calls
// from within QtCore. QMutex::lock from our code comes here; the lock that
// postEvent takes inside Qt does not. Where a hand-over happens inside QtCore
// (a signal queued to another thread is copied and posted there), Qt's own
// hooks carry it instead:
//  - every signal emission, Qt's own included, passes the signal spy
//    callbacks (the ones QTest's signal dump uses): the emission releases
//    the key of (sender, signal);
//  - every event delivery passes the event notify callback of QInternal, in
//    the receiving thread: a queued call acquires the key of the emission
//    that queued it (Qt's call event names its sender and signal), of the
//    invokeMethod that posted it, or of the event that was posted;
//  - every QObject made passes Qt's object hook (the one debuggers use): a
//    new object at an address drops the keys a former one left there.
// The key of a signal is one per sender and signal, not one per emission: a
// queued call acquires what every emission of its signal released up to
// then, the later ones not yet delivered included.
// Qt's other libraries call QtCore like our code does: Qt's image code hands
// pieces of work to QThreadPool, and waits for them on a QSemaphore, through
// the definitions here.
//
// The memory accesses of the C library calls that QtCore and GLib make
// (allocating and filling a queued call's event after the emission, say) are
// ignored by tests/support/tsan.supp, which says why.
//
// What is not modelled is reported, never hidden: a blocking-queued signal
// connection's return to the emitter (there is none in this program; the
// blocking invokeMethod with a functor is modelled), QWaitCondition::wait on
// a QReadWriteLock.

#include <QByteArray>
#include <QCoreApplication>
#include <QEvent>
#include <QMetaObject>
#include <QMetaType>
#include <QMutex>
#include <QObject>
#include <QReadWriteLock>
#include <QSemaphore>
#include <QThread>
#include <QThreadPool>
#include <QThreadStorage>
#include <QTimer>
#include <QVariant>
#include <QWaitCondition>

#include <array>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <utility>

extern "C" {
void __tsan_acquire(void *addr);
void __tsan_release(void *addr);
void AnnotateIgnoreSyncBegin(const char *file, int line);
void AnnotateIgnoreSyncEnd(const char *file, int line);
void AnnotateIgnoreReadsBegin(const char *file, int line);
void AnnotateIgnoreReadsEnd(const char *file, int line);
void AnnotateIgnoreWritesBegin(const char *file, int line);
void AnnotateIgnoreWritesEnd(const char *file, int line);
}

// Qt's hooks (exported by QtCore; declared in its private headers).
struct QSignalSpyCallbackSet {
    void (*signal_begin_callback)(QObject *caller, int signal_index, void **argv);
    void (*slot_begin_callback)(QObject *caller, int method_index, void **argv);
    void (*signal_end_callback)(QObject *caller, int signal_index);
    void (*slot_end_callback)(QObject *caller, int method_index);
};
void qt_register_signal_spy_callbacks(QSignalSpyCallbackSet *callback_set);
extern quintptr qtHookData[];

namespace {

[[noreturn]] void fail(const char *what)
{
    std::fprintf(stderr, "TsanQtSync: %s\n", what);
    std::abort();
}

// Qt's definition of a function, found past this program's own. Looked up
// once, with relaxed atomics: a function-local static would be guarded, and
// the guard's release and acquire would order every later caller after the
// thread that looked it up first.
template <class Fn>
class Real
{
public:
    constexpr explicit Real(const char *mangled) : name(mangled) {}
    Fn operator*() const
    {
        Fn f = fn.load(std::memory_order_relaxed);
        if (!f) {
            static_assert(sizeof(Fn) == sizeof(void *), "plain function pointer");
            void *p = dlsym(RTLD_NEXT, name);
            if (!p)
                fail(name);
            __builtin_memcpy(&f, &p, sizeof f);
            fn.store(f, std::memory_order_relaxed);
        }
        return f;
    }

private:
    const char *name;
    mutable std::atomic<Fn> fn{nullptr};
};

// The harness's own bookkeeping is shared by all threads behind a lock of
// its own. Neither that lock nor the memory it guards may be seen by the
// sanitizer: the lock would order every thread that passes it after every
// other, hiding what it is here to show.
class Hidden
{
public:
    explicit Hidden(std::mutex &m) : m(m)
    {
        hide();
        m.lock();
    }
    ~Hidden()
    {
        m.unlock();
        show();
    }
    Hidden(const Hidden &) = delete;
    Hidden &operator=(const Hidden &) = delete;

    // Runs mark (a release or an acquire) in view of the sanitizer, the lock
    // still held (so the key cannot go meanwhile).
    template <class Mark>
    void inView(Mark mark)
    {
        show();
        mark();
        hide();
    }

private:
    static void hide()
    {
        AnnotateIgnoreSyncBegin(__FILE__, __LINE__);
        AnnotateIgnoreReadsBegin(__FILE__, __LINE__);
        AnnotateIgnoreWritesBegin(__FILE__, __LINE__);
    }
    static void show()
    {
        AnnotateIgnoreWritesEnd(__FILE__, __LINE__);
        AnnotateIgnoreReadsEnd(__FILE__, __LINE__);
        AnnotateIgnoreSyncEnd(__FILE__, __LINE__);
    }
    std::mutex &m;
};

// ---- keys of objects ---------------------------------------------------------
// A hand-over through an object is marked on a key of that object: one per
// signal (its index) and one per kind below. The keys live in a table beside
// the object, not in its memory: a signal queued by an object that is
// deleted before the call is delivered still finds the emission's key. A
// new object at the same address drops them.

enum KeyKind : int {
    kQueuedCall = -1,     // invokeMethod queued to the object
    kDeferredDelete = -2, // deleteLater of the object
    kThreadEnd = -3,      // the end of the QThread's run
};

class Keys
{
public:
    void release(const void *object, int kind) { mark(object, kind, true, &__tsan_release); }
    void acquire(const void *object, int kind) { mark(object, kind, false, &__tsan_acquire); }
    void forget(const void *object)
    {
        Hidden h(lock);
        auto it = keys.lower_bound({object, kThreadEnd});
        while (it != keys.end() && it->first.first == object)
            it = keys.erase(it);
    }

private:
    void mark(const void *object, int kind, bool make, void (*op)(void *))
    {
        Hidden h(lock);
        char *key = nullptr;
        const auto it = keys.find({object, kind});
        if (it != keys.end())
            key = &it->second;
        else if (make)
            key = &keys.emplace(std::make_pair(object, kind), char(0)).first->second;
        if (key)
            h.inView([&] { op(key); });
    }

    std::mutex lock;
    std::map<std::pair<const void *, int>, char> keys; // a key is its node's address
};

Keys *g_keys; // made before main and never destroyed (callbacks run until exit)

// ---- signals -----------------------------------------------------------------
// A signal queued to another thread is copied there by Qt: each argument by
// the copy constructor our types register, then the call event is posted.
// The emission releases before anything is copied, and every copy made
// during an emission releases again once made, so that the copies are
// handed over with the arguments.

struct Emission {
    const QObject *sender;
    int signal;
};
constexpr int kEmitDepth = 64;
thread_local Emission t_emitting[kEmitDepth];
thread_local int t_emitDepth = 0;

void signalBegin(QObject *sender, int signal, void **)
{
    g_keys->release(sender, signal);
    if (t_emitDepth == kEmitDepth)
        fail("signals nested deeper than kEmitDepth");
    t_emitting[t_emitDepth++] = {sender, signal};
}

void signalEnd(QObject *, int)
{
    if (t_emitDepth > 0)
        --t_emitDepth;
}

using Constructor = void *(*)(void *, const void *);
constexpr int kCopySlots = 64;
std::atomic<Constructor> g_copy[kCopySlots];
int g_copyUsed = 0; // under g_copyLock
std::mutex g_copyLock;

template <int N>
void *copyThenRelease(void *where, const void *from)
{
    void *made = g_copy[N].load(std::memory_order_relaxed)(where, from);
    if (from && t_emitDepth > 0) {
        const Emission &e = t_emitting[t_emitDepth - 1];
        g_keys->release(e.sender, e.signal);
    }
    return made;
}

template <int... N>
constexpr std::array<Constructor, sizeof...(N)> copyTable(std::integer_sequence<int, N...>)
{
    return {{&copyThenRelease<N>...}};
}

constexpr std::array<Constructor, kCopySlots> g_copyWrappers = copyTable(std::make_integer_sequence<int, kCopySlots>());

Constructor wrapCopy(Constructor c)
{
    if (!c)
        return c;
    Hidden h(g_copyLock);
    for (int i = 0; i < g_copyUsed; ++i)
        if (g_copy[i].load(std::memory_order_relaxed) == c)
            return g_copyWrappers[size_t(i)];
    if (g_copyUsed == kCopySlots)
        fail("more registered types than kCopySlots");
    g_copy[g_copyUsed].store(c, std::memory_order_relaxed);
    return g_copyWrappers[size_t(g_copyUsed++)];
}

// ---- deliveries --------------------------------------------------------------
// Qt's queued call event (QAbstractMetaCallEvent, private) names the sender
// and the signal that queued it: the signal's index sits right after the
// QEvent part, the sender after that. The layout is checked before main.

constexpr size_t kCallSignalAt = 20;
constexpr size_t kCallSenderAt = 24;

const QObject *callSender(const QEvent *e)
{
    const QObject *s;
    std::memcpy(&s, reinterpret_cast<const char *>(e) + kCallSenderAt, sizeof s);
    return s;
}

int callSignal(const QEvent *e)
{
    int i;
    std::memcpy(&i, reinterpret_cast<const char *>(e) + kCallSignalAt, sizeof i);
    return i;
}

void checkCallEventLayout()
{
    static const Real<void (*)(void *, QtPrivate::QSlotObjectBase *, const QObject *, int, int)> make(
        "_ZN14QMetaCallEventC1EPN9QtPrivate15QSlotObjectBaseEPK7QObjectii");
    static const Real<void (*)(void *)> unmake("_ZN14QMetaCallEventD1Ev");
    alignas(16) static unsigned char room[1024];
    static int probe;
    std::memset(room, 0, sizeof room);
    (*make)(room, nullptr, reinterpret_cast<const QObject *>(&probe), 4321, 0);
    const QEvent *e = reinterpret_cast<const QEvent *>(room);
    const bool ok = e->type() == QEvent::MetaCall && callSender(e) == reinterpret_cast<const QObject *>(&probe) &&
                    callSignal(e) == 4321;
    (*unmake)(room);
    if (!ok)
        fail("Qt's queued call event is not laid out as this file reads it");
}

// Called by Qt in the receiving thread right before an event is delivered.
// The event is Qt's, made in the posting thread (for a queued call, after
// the emission released) and handed over under Qt's lock: this reads it
// unseen, as Qt's own code would.
bool eventDelivered(void **data)
{
    const QObject *receiver = static_cast<QObject *>(data[0]);
    QEvent *e = static_cast<QEvent *>(data[1]);
    __tsan_acquire(e); // an event posted by our code (postEvent below)
    AnnotateIgnoreReadsBegin(__FILE__, __LINE__);
    const QEvent::Type type = e->type();
    const QObject *sender = type == QEvent::MetaCall ? callSender(e) : nullptr;
    const int signal = type == QEvent::MetaCall ? callSignal(e) : 0;
    AnnotateIgnoreReadsEnd(__FILE__, __LINE__);
    switch (type) {
    case QEvent::MetaCall:
        if (sender)
            g_keys->acquire(sender, signal);
        else
            g_keys->acquire(receiver, kQueuedCall);
        break;
    case QEvent::DeferredDelete:
        g_keys->acquire(receiver, kDeferredDelete);
        break;
    default:
        break;
    }
    return false; // delivered by Qt as usual
}

void (*g_formerObjectMade)(QObject *);

void objectMade(QObject *o)
{
    g_keys->forget(o);
    if (g_formerObjectMade)
        g_formerObjectMade(o);
}

// A QThread's end. Qt marks the thread finished and wakes its waiters after
// the last of our code that the thread runs: the slots of finished(), the
// objects deleted with deleteLater in it, its QThreadStorage values. A value
// of the thread's own storage, set from finished(), is destroyed after all of
// that; its destruction releases, and wait(), isFinished() and isRunning()
// acquire once they see the end.
struct ThreadEndMark {
    const QThread *thread;
    ~ThreadEndMark() { g_keys->release(thread, kThreadEnd); }
};
QThreadStorage<ThreadEndMark *> g_endMarks;

struct Install {
    Install()
    {
        g_keys = new Keys;
        checkCallEventLayout();
        static QSignalSpyCallbackSet spies = {&signalBegin, nullptr, &signalEnd, nullptr};
        qt_register_signal_spy_callbacks(&spies);
        if (!QInternal::registerCallback(QInternal::EventNotifyCallback, &eventDelivered))
            fail("cannot register the event notify callback");
        // Qt's object hooks: [0] their version, [1] their count, [3] the
        // callback for each QObject made.
        if (qtHookData[0] < 1 || qtHookData[1] <= 3)
            fail("Qt's object hooks are not where this file looks for them");
        g_formerObjectMade = reinterpret_cast<void (*)(QObject *)>(qtHookData[3]);
        qtHookData[3] = reinterpret_cast<quintptr>(&objectMade);
    }
} g_install;

// ---- queued functors -----------------------------------------------------------
// A functor handed to invokeMethod travels in a slot object, which Qt calls
// in the receiver's thread (queued) or right away (direct). The call goes
// through a slot object of ours around it: the hand-over releases it, its
// call acquires it, and after the call it releases again, for the one who
// destroys it and, in a blocking call, for the caller waiting on the result.

class HandedCall : public QtPrivate::QSlotObjectBase
{
public:
    HandedCall(QtPrivate::QSlotObjectBase *inner, char *back) : QSlotObjectBase(&impl), inner(inner), back(back) {}

private:
    static void impl(int which, QSlotObjectBase *base, QObject *receiver, void **args, bool *ret)
    {
        auto *self = static_cast<HandedCall *>(base);
        switch (which) {
        case Destroy:
            __tsan_acquire(self);
            self->inner->destroyIfLastRef();
            delete self;
            break;
        case Call: {
            __tsan_acquire(self);
            char *back = self->back;
            self->inner->call(receiver, args);
            if (back)
                __tsan_release(back);
            __tsan_release(self); // the last touch of self in this thread
            break;
        }
        case Compare:
            *ret = self->inner->compare(args);
            break;
        default:
            break;
        }
    }

    QtPrivate::QSlotObjectBase *inner;
    char *back; // the caller's key in a blocking call, else null
};

bool queuedTo(const QObject *object, Qt::ConnectionType type)
{
    return type == Qt::QueuedConnection || type == Qt::BlockingQueuedConnection ||
           (type == Qt::AutoConnection && object->thread() != QThread::currentThread());
}

// A QReadWriteLock: a write lock acquires what every former holder
// released, a read lock only what writers released. The locks this thread
// holds for writing, to tell the two unlocks apart.
constexpr int kWriteHeld = 16;
thread_local const QReadWriteLock *t_writeHeld[kWriteHeld];
thread_local int t_writeHeldCount = 0;

char *readKey(QReadWriteLock *l)
{
    return reinterpret_cast<char *>(l) + 1;
}

void lockedForRead(QReadWriteLock *l)
{
    __tsan_acquire(l);
}

void lockedForWrite(QReadWriteLock *l)
{
    __tsan_acquire(l);
    __tsan_acquire(readKey(l));
    if (t_writeHeldCount == kWriteHeld)
        fail("more write locks held than kWriteHeld");
    t_writeHeld[t_writeHeldCount++] = l;
}

bool heldForWrite(const QReadWriteLock *l)
{
    for (int i = t_writeHeldCount - 1; i >= 0; --i) {
        if (t_writeHeld[i] == l) {
            for (int j = i + 1; j < t_writeHeldCount; ++j)
                t_writeHeld[j - 1] = t_writeHeld[j];
            --t_writeHeldCount;
            return true;
        }
    }
    return false;
}

const Real<void (*)(QMutex *)> realMutexLock("_ZN6QMutex4lockEv");
const Real<bool (*)(QMutex *, int)> realMutexTryLock("_ZN6QMutex7tryLockEi");
const Real<void (*)(QMutex *)> realMutexUnlock("_ZN6QMutex6unlockEv");
const Real<void (*)(QSemaphore *, int)> realSemAcquire("_ZN10QSemaphore7acquireEi");
const Real<bool (*)(QSemaphore *, int)> realSemTryAcquire("_ZN10QSemaphore10tryAcquireEi");
const Real<bool (*)(QSemaphore *, int, int)> realSemTryAcquireFor("_ZN10QSemaphore10tryAcquireEii");
const Real<void (*)(QSemaphore *, int)> realSemRelease("_ZN10QSemaphore7releaseEi");
const Real<bool (*)(QWaitCondition *, QMutex *, QDeadlineTimer)> realWaitUntil(
    "_ZN14QWaitCondition4waitEP6QMutex14QDeadlineTimer");
const Real<bool (*)(QWaitCondition *, QMutex *, unsigned long)> realWaitFor("_ZN14QWaitCondition4waitEP6QMutexm");
const Real<void (*)(QWaitCondition *)> realWakeOne("_ZN14QWaitCondition7wakeOneEv");
const Real<void (*)(QWaitCondition *)> realWakeAll("_ZN14QWaitCondition7wakeAllEv");
const Real<void (*)(QReadWriteLock *)> realLockForRead("_ZN14QReadWriteLock11lockForReadEv");
const Real<void (*)(QReadWriteLock *)> realLockForWrite("_ZN14QReadWriteLock12lockForWriteEv");
const Real<bool (*)(QReadWriteLock *)> realTryLockForRead("_ZN14QReadWriteLock14tryLockForReadEv");
const Real<bool (*)(QReadWriteLock *, int)> realTryLockForReadFor("_ZN14QReadWriteLock14tryLockForReadEi");
const Real<bool (*)(QReadWriteLock *)> realTryLockForWrite("_ZN14QReadWriteLock15tryLockForWriteEv");
const Real<bool (*)(QReadWriteLock *, int)> realTryLockForWriteFor("_ZN14QReadWriteLock15tryLockForWriteEi");
const Real<void (*)(QReadWriteLock *)> realRwUnlock("_ZN14QReadWriteLock6unlockEv");
const Real<void (*)(QThread *, QThread::Priority)> realThreadStart("_ZN7QThread5startENS_8PriorityE");
const Real<bool (*)(QThread *, QDeadlineTimer)> realThreadWaitUntil("_ZN7QThread4waitE14QDeadlineTimer");
const Real<bool (*)(QThread *, unsigned long)> realThreadWaitFor("_ZN7QThread4waitEm");
const Real<bool (*)(const QThread *)> realThreadIsFinished("_ZNK7QThread10isFinishedEv");
const Real<bool (*)(const QThread *)> realThreadIsRunning("_ZNK7QThread9isRunningEv");
const Real<int (*)(const ::QByteArray &, QMetaType::Destructor, QMetaType::Constructor, int, QMetaType::TypeFlags,
                   const QMetaObject *)>
    realRegisterType(
        "_ZN9QMetaType22registerNormalizedTypeERK10QByteArrayPFvPvEPFS3_S3_PKvEi6QFlagsINS_8TypeFlagEEPK11QMetaObject");
const Real<bool (*)(QObject *, QtPrivate::QSlotObjectBase *, Qt::ConnectionType, void *)> realInvokeFunctor(
    "_ZN11QMetaObject16invokeMethodImplEP7QObjectPN9QtPrivate15QSlotObjectBaseEN2Qt14ConnectionTypeEPv");
const Real<bool (*)(QObject *, const char *, Qt::ConnectionType, QGenericReturnArgument, QGenericArgument,
                    QGenericArgument, QGenericArgument, QGenericArgument, QGenericArgument, QGenericArgument,
                    QGenericArgument, QGenericArgument, QGenericArgument, QGenericArgument)>
    realInvokeByName("_ZN11QMetaObject12invokeMethodEP7QObjectPKcN2Qt14ConnectionTypeE22QGenericReturnArgument16QGen"
                     "ericArgumentS7_S7_S7_S7_S7_S7_S7_S7_S7_");
const Real<void (*)(QObject *, QEvent *, int)> realPostEvent("_ZN16QCoreApplication9postEventEP7QObjectP6QEventi");
const Real<void (*)(QObject *)> realDeleteLater("_ZN7QObject11deleteLaterEv");
const Real<void (*)(int, Qt::TimerType, const QObject *, QtPrivate::QSlotObjectBase *)> realSingleShot(
    "_ZN6QTimer14singleShotImplEiN2Qt9TimerTypeEPK7QObjectPN9QtPrivate15QSlotObjectBaseE");
const Real<void (*)(QThreadPool *, std::function<void()>, int)> realPoolStart(
    "_ZN11QThreadPool5startESt8functionIFvvEEi");

} // namespace

// ---- locks -------------------------------------------------------------------
// Release before giving a lock or a token away, acquire after taking one.

void QMutex::lock() QT_MUTEX_LOCK_NOEXCEPT
{
    (*realMutexLock)(this);
    __tsan_acquire(this);
}

bool QMutex::tryLock(int timeout) QT_MUTEX_LOCK_NOEXCEPT
{
    const bool ok = (*realMutexTryLock)(this, timeout);
    if (ok)
        __tsan_acquire(this);
    return ok;
}

void QMutex::unlock() noexcept
{
    __tsan_release(this);
    (*realMutexUnlock)(this);
}

void QSemaphore::acquire(int n)
{
    (*realSemAcquire)(this, n);
    __tsan_acquire(this);
}

bool QSemaphore::tryAcquire(int n)
{
    const bool ok = (*realSemTryAcquire)(this, n);
    if (ok)
        __tsan_acquire(this);
    return ok;
}

bool QSemaphore::tryAcquire(int n, int timeout)
{
    const bool ok = (*realSemTryAcquireFor)(this, n, timeout);
    if (ok)
        __tsan_acquire(this);
    return ok;
}

void QSemaphore::release(int n)
{
    __tsan_release(this);
    (*realSemRelease)(this, n);
}

// A wait gives the mutex away and takes it back; a wake hands over to the
// woken thread.
bool QWaitCondition::wait(QMutex *lockedMutex, QDeadlineTimer deadline)
{
    __tsan_release(lockedMutex);
    const bool woken = (*realWaitUntil)(this, lockedMutex, deadline);
    __tsan_acquire(lockedMutex);
    __tsan_acquire(this);
    return woken;
}

bool QWaitCondition::wait(QMutex *lockedMutex, unsigned long time)
{
    __tsan_release(lockedMutex);
    const bool woken = (*realWaitFor)(this, lockedMutex, time);
    __tsan_acquire(lockedMutex);
    __tsan_acquire(this);
    return woken;
}

void QWaitCondition::wakeOne()
{
    __tsan_release(this);
    (*realWakeOne)(this);
}

void QWaitCondition::wakeAll()
{
    __tsan_release(this);
    (*realWakeAll)(this);
}

void QReadWriteLock::lockForRead()
{
    (*realLockForRead)(this);
    lockedForRead(this);
}

void QReadWriteLock::lockForWrite()
{
    (*realLockForWrite)(this);
    lockedForWrite(this);
}

bool QReadWriteLock::tryLockForRead()
{
    const bool ok = (*realTryLockForRead)(this);
    if (ok)
        lockedForRead(this);
    return ok;
}

bool QReadWriteLock::tryLockForRead(int timeout)
{
    const bool ok = (*realTryLockForReadFor)(this, timeout);
    if (ok)
        lockedForRead(this);
    return ok;
}

bool QReadWriteLock::tryLockForWrite()
{
    const bool ok = (*realTryLockForWrite)(this);
    if (ok)
        lockedForWrite(this);
    return ok;
}

bool QReadWriteLock::tryLockForWrite(int timeout)
{
    const bool ok = (*realTryLockForWriteFor)(this, timeout);
    if (ok)
        lockedForWrite(this);
    return ok;
}

void QReadWriteLock::unlock()
{
    __tsan_release(heldForWrite(this) ? static_cast<void *>(this) : readKey(this));
    (*realRwUnlock)(this);
}

// ---- threads -----------------------------------------------------------------
// The start is seen by the sanitizer (Qt starts the thread with
// pthread_create); the end is marked as told above.

// A function run by a pool thread (Qt's image code hands its pieces of work
// over this way) is queued behind Qt's lock: the queueing releases the
// address of the stored wrapper, which its run acquires first. The address
// is the key because the run knows it without reading anything the queueing
// wrote (a key kept inside the wrapper would be read before its acquire).
namespace {
struct PoolRun
{
    std::function<void()> run;
    void operator()()
    {
        __tsan_acquire(this);
        run();
    }
};
} // namespace

void QThreadPool::start(std::function<void()> functionToRun, int priority)
{
    // Too big to be kept inside the std::function: it lives on the heap, and
    // moving the std::function moves its pointer, so the address holds.
    std::function<void()> wrapped = PoolRun{std::move(functionToRun)};
    __tsan_release(wrapped.target<PoolRun>());
    (*realPoolStart)(this, std::move(wrapped), priority);
}

void QThread::start(Priority priority)
{
    if (!property("orvaneTsanEnd").isValid()) {
        setProperty("orvaneTsanEnd", true);
        QObject::connect(this, &QThread::finished, [t = this]() { g_endMarks.setLocalData(new ThreadEndMark{t}); });
    }
    (*realThreadStart)(this, priority);
}

bool QThread::wait(QDeadlineTimer deadline)
{
    const bool ended = (*realThreadWaitUntil)(this, deadline);
    if (ended)
        g_keys->acquire(this, kThreadEnd);
    return ended;
}

bool QThread::wait(unsigned long time)
{
    const bool ended = (*realThreadWaitFor)(this, time);
    if (ended)
        g_keys->acquire(this, kThreadEnd);
    return ended;
}

bool QThread::isFinished() const
{
    const bool finished = (*realThreadIsFinished)(this);
    if (finished)
        g_keys->acquire(this, kThreadEnd);
    return finished;
}

bool QThread::isRunning() const
{
    const bool running = (*realThreadIsRunning)(this);
    if (!running)
        g_keys->acquire(this, kThreadEnd);
    return running;
}

// ---- queued calls and posted events --------------------------------------------

int QMetaType::registerNormalizedType(const ::QByteArray &normalizedTypeName, Destructor destructor,
                                      Constructor constructor, int size, QMetaType::TypeFlags flags,
                                      const QMetaObject *metaObject)
{
    return (*realRegisterType)(normalizedTypeName, destructor, wrapCopy(constructor), size, flags, metaObject);
}

bool QMetaObject::invokeMethodImpl(QObject *object, QtPrivate::QSlotObjectBase *slot, Qt::ConnectionType type,
                                   void *ret)
{
    if (!object || !slot)
        return (*realInvokeFunctor)(object, slot, type, ret);
    std::unique_ptr<char> back;
    if (type == Qt::BlockingQueuedConnection)
        back.reset(new char(0));
    auto *call = new HandedCall(slot, back.get());
    __tsan_release(call);
    const bool ok = (*realInvokeFunctor)(object, call, type, ret);
    if (back)
        __tsan_acquire(back.get());
    return ok;
}

// A functor run by a single-shot timer in the receiver's thread (queued
// there right away for no delay) travels like one handed to invokeMethod.
void QTimer::singleShotImpl(int msec, Qt::TimerType timerType, const QObject *receiver,
                            QtPrivate::QSlotObjectBase *slotObj)
{
    QtPrivate::QSlotObjectBase *call = slotObj ? new HandedCall(slotObj, nullptr) : nullptr;
    if (call)
        __tsan_release(call);
    (*realSingleShot)(msec, timerType, receiver, call);
}

// A member invoked by name: queued to the object's thread, it is keyed on the
// object. (A blocking call's return is not modelled.)
bool QMetaObject::invokeMethod(QObject *obj, const char *member, Qt::ConnectionType type, QGenericReturnArgument ret,
                               QGenericArgument val0, QGenericArgument val1, QGenericArgument val2,
                               QGenericArgument val3, QGenericArgument val4, QGenericArgument val5,
                               QGenericArgument val6, QGenericArgument val7, QGenericArgument val8,
                               QGenericArgument val9)
{
    if (obj && queuedTo(obj, type))
        g_keys->release(obj, kQueuedCall);
    return (*realInvokeByName)(obj, member, type, ret, val0, val1, val2, val3, val4, val5, val6, val7, val8, val9);
}

void QCoreApplication::postEvent(QObject *receiver, QEvent *event, int priority)
{
    if (event)
        __tsan_release(event);
    (*realPostEvent)(receiver, event, priority);
}

void QObject::deleteLater()
{
    g_keys->release(this, kDeferredDelete);
    (*realDeleteLater)(this);
}

// The thread sanitizer stage's view of Qt's hand-overs (TsanQtSync.cpp):
// data handed from one thread to another by what hands nothing over (a
// direct call, a signal that no receiver gets queued, two read locks) is
// reported as a race, and data handed over by a queued signal, a queued or
// blocking call, a posted event, a lock or a thread's end is not. Each case
// runs in a child process, whose sanitizer output the test reads: a race
// there must not end this program (the stage halts on the first report).
//
// Only the sanitizer build (build-tsan) can show any of this; elsewhere the
// tests say so and are skipped.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>
#include <QMetaType>
#include <QMutex>
#include <QObject>
#include <QReadWriteLock>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <string>
#include <thread>
#include <unistd.h>

#include "tests/support/ChildProcess.h"
#include "tests/support/WaitUntil.h"

#if defined(__SANITIZE_THREAD__)
#define ORVANE_TSAN_BUILD 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define ORVANE_TSAN_BUILD 1
#endif
#endif

struct Payload {
    int values[8] = {};
};
Q_DECLARE_METATYPE(Payload)

class Emitter : public QObject
{
    Q_OBJECT
signals:
    void fired(int n);
    void carried(Payload p);
};

class Receiver : public QObject
{
    Q_OBJECT
public:
    std::function<void()> onMark;
    std::function<void(int)> onFired;
    std::function<void()> onEvent;

public slots:
    void mark()
    {
        if (onMark)
            onMark();
    }
    void takeFired(int n)
    {
        if (onFired)
            onFired(n);
    }

protected:
    void customEvent(QEvent *) override
    {
        if (onEvent)
            onEvent();
    }
};

namespace {

volatile int g_sink;

// What a case run in a child left: how it ended and what it wrote to stderr
// (the sanitizer's reports go there).
struct Seen {
    child::Outcome end;
    std::string err;

    bool raced() const { return err.find("WARNING: ThreadSanitizer: data race") != std::string::npos; }
    bool quiet() const { return err.find("ThreadSanitizer") == std::string::npos; }
};

[[maybe_unused]] int threadCount()
{
    int n = 0;
    if (DIR *d = opendir("/proc/self/task")) {
        while (dirent *e = readdir(d))
            if (e->d_name[0] != '.')
                ++n;
        closedir(d);
    }
    return n;
}

Seen runCase(const std::function<int()> &body)
{
    Seen s;
    char path[] = "/tmp/orvane-tsan-case-XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0)
        return s;
    s.end = child::run([&] {
        dup2(fd, 2);
        return body();
    });
    lseek(fd, 0, SEEK_SET);
    char buf[4096];
    ssize_t n;
    while ((n = read(fd, buf, sizeof buf)) > 0)
        s.err.append(buf, size_t(n));
    close(fd);
    unlink(path);
    return s;
}

// The GUI thread's side of a case: it turns its event loop, with a call of
// its own queued every turn (a GUI thread is never without events), while
// the worker runs on a thread of its own, until the worker says it is done
// through a flag that orders nothing. Then `after` runs on this thread, in
// the next of those calls, as a GUI reads what a worker left in a later
// event; the worker is joined last.
int withWorker(const std::function<void(std::atomic<bool> &done)> &worker, const std::function<int()> &after)
{
    Receiver self;
    std::atomic<bool> done{false};
    std::thread t([&] { worker(done); });
    const auto turn = [&] {
        QMetaObject::invokeMethod(&self, [] {}, Qt::QueuedConnection);
        return done.load(std::memory_order_relaxed);
    };
    int r = 90;
    if (testsupport::waitUntil(turn, 20000)) {
        bool ran = false;
        QMetaObject::invokeMethod(&self, [&] {
            r = after();
            ran = true;
        }, Qt::QueuedConnection);
        if (!testsupport::waitUntil([&] { return ran; }, 20000))
            r = 91;
    }
    t.join();
    return r;
}

// ---- what hands nothing over ----------------------------------------------------

int directInvoke()
{
    int *value = new int(0);
    Receiver here;
    const int r = withWorker(
        [&](std::atomic<bool> &done) {
            *value = 42;
            QMetaObject::invokeMethod(&here, [&] { done.store(true, std::memory_order_relaxed); },
                                      Qt::DirectConnection);
        },
        [&] {
            g_sink = *value;
            return 0;
        });
    delete value;
    return r;
}

int directInvokeByName()
{
    int *value = new int(0);
    Receiver here;
    std::atomic<bool> *flag = nullptr;
    here.onMark = [&] { flag->store(true, std::memory_order_relaxed); };
    const int r = withWorker(
        [&](std::atomic<bool> &done) {
            flag = &done;
            *value = 42;
            QMetaObject::invokeMethod(&here, "mark", Qt::DirectConnection);
        },
        [&] {
            g_sink = *value;
            return 0;
        });
    delete value;
    return r;
}

int signalWithoutReceiver()
{
    int *value = new int(0);
    Emitter e;
    const int r = withWorker(
        [&](std::atomic<bool> &done) {
            *value = 42;
            emit e.fired(1);
            done.store(true, std::memory_order_relaxed);
        },
        [&] {
            g_sink = *value;
            return 0;
        });
    delete value;
    return r;
}

int signalToDirectReceiver()
{
    int *value = new int(0);
    Emitter e;
    Receiver here; // lives in this thread, but the connection is direct
    std::atomic<bool> *flag = nullptr;
    QObject::connect(&e, &Emitter::fired, &here, [&] { flag->store(true, std::memory_order_relaxed); },
                     Qt::DirectConnection);
    const int r = withWorker(
        [&](std::atomic<bool> &done) {
            flag = &done;
            *value = 42;
            emit e.fired(1);
        },
        [&] {
            g_sink = *value;
            return 0;
        });
    delete value;
    return r;
}

int writesUnderReadLocks()
{
    int *value = new int(0);
    QReadWriteLock lock;
    const int r = withWorker(
        [&](std::atomic<bool> &done) {
            lock.lockForRead();
            *value = 42;
            lock.unlock();
            done.store(true, std::memory_order_relaxed);
        },
        [&] {
            lock.lockForRead();
            *value = 43;
            lock.unlock();
            return 0;
        });
    delete value;
    return r;
}

// ---- what hands over ------------------------------------------------------------

int queuedSignal()
{
    qRegisterMetaType<Payload>();
    int *value = new int(0);
    Emitter e;
    Receiver here;
    int got = 0;
    Payload carried;
    QObject::connect(&e, &Emitter::fired, &here, [&](int n) { got = n + *value; });
    QObject::connect(&e, &Emitter::carried, &here, [&](Payload p) { carried = p; });
    const int r = withWorker(
        [&](std::atomic<bool> &done) {
            *value = 42;
            Payload p;
            for (int i = 0; i < 8; ++i)
                p.values[i] = i + 1;
            emit e.carried(p);
            emit e.fired(1);
            done.store(true, std::memory_order_relaxed);
        },
        [&] {
            return testsupport::waitUntil([&] { return got == 43 && carried.values[7] == 8; }) ? 0 : 1;
        });
    delete value;
    return r;
}

int queuedSignalByName()
{
    int *value = new int(0);
    Emitter e;
    Receiver here;
    int got = 0;
    here.onFired = [&](int n) { got = n + *value; };
    QObject::connect(&e, SIGNAL(fired(int)), &here, SLOT(takeFired(int)));
    const int r = withWorker(
        [&](std::atomic<bool> &done) {
            *value = 42;
            emit e.fired(1);
            done.store(true, std::memory_order_relaxed);
        },
        [&] { return testsupport::waitUntil([&] { return got == 43; }) ? 0 : 1; });
    delete value;
    return r;
}

int queuedInvoke()
{
    int *value = new int(0);
    Receiver here;
    int got = 0;
    here.onMark = [&] { got = *value; };
    const int r = withWorker(
        [&](std::atomic<bool> &done) {
            *value = 42;
            QMetaObject::invokeMethod(&here, [&] { got += *value; }, Qt::QueuedConnection);
            QMetaObject::invokeMethod(&here, "mark", Qt::QueuedConnection);
            done.store(true, std::memory_order_relaxed);
        },
        [&] { return testsupport::waitUntil([&] { return got == 42; }) ? 0 : 1; });
    delete value;
    return r;
}

int singleShotFunctor()
{
    int *value = new int(0);
    Receiver here;
    int got = 0;
    const int r = withWorker(
        [&](std::atomic<bool> &done) {
            *value = 42;
            QTimer::singleShot(0, &here, [&] { got = *value; });
            done.store(true, std::memory_order_relaxed);
        },
        [&] { return testsupport::waitUntil([&] { return got == 42; }) ? 0 : 1; });
    delete value;
    return r;
}

int blockingInvoke()
{
    int *value = new int(0);
    int *answer = new int(0);
    Receiver here;
    int returned = 0;
    const int r = withWorker(
        [&](std::atomic<bool> &done) {
            *value = 42;
            QMetaObject::invokeMethod(
                &here,
                [&] {
                    *answer = *value + 1;
                    return *answer;
                },
                Qt::BlockingQueuedConnection, &returned);
            g_sink = *answer;
            done.store(true, std::memory_order_relaxed);
        },
        [&] { return returned == 43 ? 0 : 1; });
    delete value;
    delete answer;
    return r;
}

int postedEvent()
{
    int *value = new int(0);
    Receiver here;
    int got = 0;
    here.onEvent = [&] { got = *value; };
    const int r = withWorker(
        [&](std::atomic<bool> &done) {
            *value = 42;
            QCoreApplication::postEvent(&here, new QEvent(QEvent::User));
            done.store(true, std::memory_order_relaxed);
        },
        [&] { return testsupport::waitUntil([&] { return got == 42; }) ? 0 : 1; });
    delete value;
    return r;
}

int lockedHandOver()
{
    int *value = new int(0);
    QMutex mutex;
    QReadWriteLock rw;
    const int r = withWorker(
        [&](std::atomic<bool> &done) {
            mutex.lock();
            *value = 42;
            mutex.unlock();
            rw.lockForWrite();
            *value += 1;
            rw.unlock();
            done.store(true, std::memory_order_relaxed);
        },
        [&] {
            QMutexLocker hold(&mutex);
            rw.lockForRead();
            const int seen = *value;
            rw.unlock();
            return seen == 43 ? 0 : 1;
        });
    delete value;
    return r;
}

class Leftover : public QObject
{
public:
    explicit Leftover(int *value) : value(value) {}
    ~Leftover() override { *value += 1; }

private:
    int *value;
};

class WritingThread : public QThread
{
public:
    int *early = nullptr;
    int *value = nullptr;

protected:
    void run() override
    {
        *early = 7;
        *value = 42;
        (new Leftover(value))->deleteLater(); // deleted as the thread ends
    }
};

int threadEnd()
{
    int *early = new int(0);
    int *value = new int(0);
    WritingThread t;
    t.early = early;
    t.value = value;
    Receiver here;
    int seenInSlot = 0;
    // finished() is emitted by Qt's own code in the ending thread and
    // queued here.
    QObject::connect(&t, &QThread::finished, &here, [&] { seenInSlot = *early; });
    t.start();
    if (!testsupport::waitUntil([&] { return seenInSlot != 0; }, 20000))
        return 90;
    if (!t.wait(20000))
        return 91;
    const int seen = *value;
    delete early;
    delete value;
    return seenInSlot == 7 && seen == 43 ? 0 : 1;
}

class TsanHarness : public ::testing::Test
{
protected:
    void SetUp() override
    {
#if !defined(ORVANE_TSAN_BUILD)
        GTEST_SKIP() << "the harness of the thread sanitizer can only be seen at work in its build (build-tsan)";
#else
        // The cases run with the stage's options: without its suppressions
        // of Qt's own doings, the hand-overs would be reported with them.
        const char *options = std::getenv("TSAN_OPTIONS");
        ASSERT_TRUE(options && std::strstr(options, "tests/support/tsan.supp"))
            << "run with the TSAN_OPTIONS of scripts/test.sh (suppressions=<tree>/tests/support/tsan.supp)";
        // A child of a process with more threads cannot start threads under
        // the sanitizer.
        ASSERT_EQ(threadCount(), 1) << "the children are forked from this process, which must have no other thread";
#endif
    }

    static void expectReported(const Seen &s)
    {
        EXPECT_TRUE(s.end.exited) << s.end.describe();
        EXPECT_TRUE(s.raced()) << s.err;
        EXPECT_NE(s.err.find("TsanHarnessTest.cpp"), std::string::npos) << s.err;
    }
    static void expectQuiet(const Seen &s)
    {
        EXPECT_TRUE(s.end.exitedWith(0)) << s.end.describe() << "\n" << s.err;
        EXPECT_TRUE(s.quiet()) << s.err;
    }
};

} // namespace

TEST_F(TsanHarness, DirectInvokeHandsNothingOver)
{
    expectReported(runCase(directInvoke));
    expectReported(runCase(directInvokeByName));
}

TEST_F(TsanHarness, SignalWithoutQueuedReceiverHandsNothingOver)
{
    expectReported(runCase(signalWithoutReceiver));
    expectReported(runCase(signalToDirectReceiver));
}

TEST_F(TsanHarness, ReadLocksDoNotOrderTheirHolders)
{
    expectReported(runCase(writesUnderReadLocks));
}

TEST_F(TsanHarness, QueuedSignalHandsOverItsEmittersData)
{
    expectQuiet(runCase(queuedSignal));
    expectQuiet(runCase(queuedSignalByName));
}

TEST_F(TsanHarness, QueuedAndBlockingCallsHandOver)
{
    expectQuiet(runCase(queuedInvoke));
    expectQuiet(runCase(singleShotFunctor));
    expectQuiet(runCase(blockingInvoke));
}

TEST_F(TsanHarness, PostedEventHandsOver)
{
    expectQuiet(runCase(postedEvent));
}

TEST_F(TsanHarness, LocksHandOver)
{
    expectQuiet(runCase(lockedHandOver));
}

TEST_F(TsanHarness, ThreadEndHandsOverEverythingTheThreadDid)
{
    expectQuiet(runCase(threadEnd));
}

#include "TsanHarnessTest.moc"

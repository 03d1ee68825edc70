#include "core/QUserMsgQueue.h"
#include "core/QUserThreadObject.h"
#include "core/QUserTimer.h"
#include "core/QUserWork.h"
#include "tests/support/GiveUp.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QThread>

#include <atomic>
#include <thread>

TEST(MsgQueue, FifoAndNonBlockingPop)
{
    QUserMsgQueue q;
    int a = 1, b = 2;
    EXPECT_EQ(q.pop(0), nullptr);
    q.push(&a);
    q.push(&b);
    q.push(nullptr);
    EXPECT_EQ(q.pop(0), &a);
    EXPECT_EQ(q.pop(0), &b);
    EXPECT_EQ(q.size(), 1);
    EXPECT_EQ(q.pop(0), nullptr);
    EXPECT_EQ(q.size(), 0);
}

TEST(MsgQueue, BlockingPopTimesOutOrWakes)
{
    QUserMsgQueue q;
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(q.pop(100), nullptr);
    EXPECT_GE(t.elapsed(), 90);

    // A push wakes the waiter: well before its time-out of a minute.
    int item = 5;
    std::thread poster([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        q.push(&item);
    });
    t.restart();
    EXPECT_EQ(q.pop(60000), &item);
    EXPECT_LT(t.elapsed(), 30000);
    poster.join();
}

TEST(MsgQueue, ManyProducersOneConsumerLoseNothing)
{
    QUserMsgQueue q;
    constexpr int perThread = 5000;
    static int cells[4][perThread];
    std::vector<std::thread> producers;
    for (int p = 0; p < 4; ++p)
        producers.emplace_back([&, p] {
            for (int i = 0; i < perThread; ++i)
                q.push(&cells[p][i]);
        });
    int got = 0;
    int lastIndex[4] = {-1, -1, -1, -1};
    while (got < 4 * perThread) {
        void *v = q.pop(testsupport::kGiveUpMs);
        ASSERT_NE(v, nullptr);
        const int *s = static_cast<int *>(v);
        const int p = int((s - &cells[0][0]) / perThread);
        const int i = int((s - &cells[0][0]) % perThread);
        EXPECT_GT(i, lastIndex[p]); // each producer's items stay in order
        lastIndex[p] = i;
        ++got;
    }
    for (auto &t : producers)
        t.join();
}

TEST(MsgQueue, DestructionLeavesQueuedItemsToTheirOwners)
{
    // Stack records of posters and heap records of other owners may still be
    // queued when the queue goes; it must free neither (a free of the stack
    // record, or a double delete below, would crash or trip the sanitizer).
    struct Cmd {
        int code;
        std::string text;
    };
    Cmd onStack{1, std::string(100, 'x')};
    Cmd *onHeap = new Cmd{2, "heap"};
    {
        QUserMsgQueue q;
        q.push(&onStack);
        q.push(onHeap);
        q.push(nullptr);
    }
    EXPECT_EQ(onStack.text.size(), 100u);
    EXPECT_EQ(onHeap->text, "heap");
    delete onHeap;
}

TEST(UserTimer, StartStopAndPointer)
{
    int token = 0;
    QUserTimer t(&token);
    t.stop(); // before any start: nothing
    EXPECT_FALSE(t.isActive());
    t.start(500);
    t.start(1000);
    EXPECT_TRUE(t.isActive());
    EXPECT_EQ(t.interval(), 1000);
    t.stop();
    EXPECT_FALSE(t.isActive());

    QSignalSpy spy(&t, SIGNAL(timeout(void *)));
    int other = 0;
    t.setObj(&other);
    t.start(10);
    ASSERT_TRUE(spy.wait(testsupport::kGiveUpMs));
    EXPECT_EQ(spy.takeFirst().at(0).value<void *>(), static_cast<void *>(&other));
    QElapsedTimer clock;
    clock.start();
    while (spy.size() < 2 && clock.elapsed() < testsupport::kGiveUpMs)
        spy.wait(100);
    EXPECT_GE(spy.size(), 2); // repeating
    t.stop();
}

namespace {

class CountingWork : public QUserWork
{
    Q_OBJECT
public:
    std::atomic<int> running{0};
    std::atomic<int> maxRunning{0};
    std::atomic<int> done{0};
    std::atomic<bool> sawStop{false};
    QVector<int> order; // written only in the worker thread
    std::atomic<Qt::HANDLE> threadId{nullptr};

    // Jobs of this type run until they are told to stop (a give-up bound
    // aside); the others for about 40 ms.
    static constexpr int kUntilStopped = 4;

public slots:
    void slotRun(int reqType, void *obj) override
    {
        const int now = ++running;
        if (now > maxRunning)
            maxRunning = now;
        threadId = QThread::currentThreadId();
        order.append(reqType);
        const int turns = reqType == kUntilStopped ? testsupport::kGiveUpMs / 2 : 20;
        for (int i = 0; i < turns && !stopRequested; ++i)
            QThread::msleep(2);
        if (stopRequested)
            sawStop = true;
        --running;
        ++done;
        emit result(obj, reqType);
    }
};

} // namespace

TEST(UserWork, JobsRunOneAfterAnotherInTheWorkerThread)
{
    auto *work = new CountingWork;
    QUserWorkThread holder;
    holder.setWork(work);
    holder.start();
    ASSERT_TRUE(holder.thread->isRunning());
    work->reqRun(1, nullptr);
    work->reqRun(2, nullptr);
    work->reqRun(3, nullptr);
    ASSERT_TRUE(testsupport::waitUntilReal([&] { return work->done == 3; }));
    EXPECT_EQ(work->done, 3);
    EXPECT_EQ(work->maxRunning, 1);
    EXPECT_NE(work->threadId.load(), QThread::currentThreadId());
    EXPECT_EQ(work->order, (QVector<int>{1, 2, 3}));

    // reqStop outside a job stays set only until the next reqRun
    work->reqStop();
    EXPECT_TRUE(work->isStopRequested());
    work->reqRun(CountingWork::kUntilStopped, nullptr);
    EXPECT_FALSE(work->isStopRequested());
    ASSERT_TRUE(testsupport::waitUntilReal([&] { return work->running == 1; })) << "the job never started";
    work->reqStop(); // seen by the running job at its next poll
    ASSERT_TRUE(testsupport::waitUntilReal([&] { return work->done == 4; }));
    EXPECT_TRUE(work->sawStop);

    holder.thread->quit();
    holder.thread->wait();
    delete work;
    delete holder.thread;
}

TEST(UserWork, WithoutWorkerStartDoesNothing)
{
    QUserWorkThread holder;
    holder.start();
    EXPECT_FALSE(holder.thread->isRunning());
    delete holder.thread;
    QUserThreadObject ctx;
    EXPECT_EQ(ctx.parent(), nullptr);
}

#include "WorkerTest.moc"

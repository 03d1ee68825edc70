#include "kemusb/src/devices/KemLibrary.h"
#include "tests/kemusb/TestDevices.h"
#include "tests/support/GiveUp.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace kemusb;

namespace {

// A client that counts turns and reads nothing (or fails every read).
class CountingClient : public DeviceThreadClient
{
public:
    explicit CountingClient(ReadTurn answer = ReadTurn::Nothing) : answer_(answer) {}
    ReadTurn deviceThreadRead(int) override
    {
        ++reads;
        if (answer_ == ReadTurn::Nothing)
            std::this_thread::sleep_for(std::chrono::microseconds(200)); // a read waits a little
        return answer_;
    }
    QUserWinUsb *deviceThreadTransport(int) override { return nullptr; }
    std::atomic<uint64_t> reads{0};

private:
    ReadTurn answer_;
};

class SimDeviceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        prevBackend = plat::setUsbBackend(plat::sim::makeSimBackend());
        world.reset();
    }
    void TearDown() override
    {
        world.reset();
        plat::setUsbBackend(prevBackend);
    }
    plat::sim::World &world = plat::sim::World::instance();
    std::shared_ptr<plat::UsbBackend> prevBackend;
};

} // namespace

TEST(DeviceRequestQueue, FirstInFirstOutAndEmptyGivesNone)
{
    DeviceRequestQueue q;
    EXPECT_EQ(q.pop(), nullptr);
    DeviceRequest a, b, c;
    q.push(&a);
    q.push(&b);
    q.push(&c);
    EXPECT_EQ(q.size(), 3u);
    EXPECT_EQ(q.pop(), &a);
    EXPECT_TRUE(q.remove(&c));
    EXPECT_FALSE(q.remove(&c));
    EXPECT_EQ(q.pop(), &b);
    EXPECT_EQ(q.pop(), nullptr);
}

TEST(DeviceRequestQueue, PushPulsesTheEventForAWaitingThread)
{
    DeviceRequestQueue q;
    std::atomic<bool> woke{false};
    std::thread waiter([&] { woke = q.event().Lock(plat::INFINITE); });
    while (q.event().waiters() == 0)
        std::this_thread::yield();
    DeviceRequest r;
    q.push(&r);
    waiter.join();
    EXPECT_TRUE(woke.load());
    EXPECT_FALSE(q.event().Lock(0)); // a pulse leaves nothing behind
}

TEST(DeviceThread, StopOfANeverStartedThreadReturnsAtOnce)
{
    CountingClient client;
    DeviceThread t(&client);
    // At once: there is no loop to answer a handshake, and a stop that
    // waited for one would wait for ever.
    auto t0 = std::chrono::steady_clock::now();
    t.stop();
    t.stop();
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(5));
    EXPECT_FALSE(t.hasThread());
    EXPECT_EQ(client.reads.load(), 0u);
}

TEST(DeviceThread, StopHandshakeEndsTheLoopAndCanStartAgain)
{
    CountingClient client;
    DeviceThread t(&client);
    const int threadsBefore = runningThreadCount();
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        ASSERT_TRUE(t.start(plat::THREAD_PRIORITY_HIGHEST));
        EXPECT_TRUE(t.start(plat::THREAD_PRIORITY_HIGHEST)); // already running: nothing new
        EXPECT_EQ(runningThreadCount(), threadsBefore + 1);
        while (client.reads.load() < 3)
            std::this_thread::yield();
        EXPECT_FALSE(t.finished());
        t.stop();
        EXPECT_FALSE(t.hasThread());
        EXPECT_TRUE(t.stopFlag());
        EXPECT_TRUE(t.finished());
        EXPECT_EQ(t.queue().size(), 0u);
        EXPECT_EQ(runningThreadCount(), threadsBefore);
        const uint64_t reads = client.reads.load();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        EXPECT_EQ(client.reads.load(), reads); // nothing runs any more
    }
}

TEST(DeviceThread, RequestsAreServedOnePerTurnAndTheirSemaphoreReleased)
{
    CountingClient client;
    DeviceThread t(&client);
    t.start(plat::THREAD_PRIORITY_NORMAL);
    // Several posters at once: each gets its answer (no transport: 0 bytes).
    std::vector<std::thread> posters;
    std::atomic<int> answered{0};
    for (int i = 0; i < 8; ++i)
        posters.emplace_back([&] {
            uint8_t b[4] = {1, 2, 3, 4};
            EXPECT_EQ(t.postWrite(b, 4, 0x01), 0u);
            ++answered;
        });
    for (auto &p : posters)
        p.join();
    EXPECT_EQ(answered.load(), 8);
    t.stop();
    // Once stopped, posting returns at once instead of waiting forever.
    uint8_t b[1] = {0};
    EXPECT_EQ(t.postWrite(b, 1, 0x01), 0u);
}

TEST(DeviceThread, RequestsLeftWhenTheLoopEndsAreStillAnswered)
{
    CountingClient client;
    DeviceThread t(&client);
    t.start(plat::THREAD_PRIORITY_NORMAL);
    // A quit request from elsewhere, with writes queued behind it.
    plat::CSemaphore quitSem(0, 1), s1(0, 1), s2(0, 1);
    DeviceRequest quit, w1, w2;
    quit.kind = DeviceRequest::Quit;
    quit.done = &quitSem;
    w1.done = &s1;
    w2.done = &s2;
    w1.result = w2.result = 99;
    t.queue().push(&quit);
    t.queue().push(&w1);
    t.queue().push(&w2);
    EXPECT_TRUE(quitSem.Lock(testsupport::kGiveUpMs));
    EXPECT_TRUE(s1.Lock(testsupport::kGiveUpMs));
    EXPECT_TRUE(s2.Lock(testsupport::kGiveUpMs));
    EXPECT_EQ(w1.result, 0u);
    EXPECT_EQ(w2.result, 0u);
    t.stop(); // the thread has ended on its own: stop just joins
    EXPECT_FALSE(t.hasThread());
}

// Mend: a read that fails at once (unplugged adapter) no longer spins a core.
TEST(DeviceThread, FailedReadsBackOff)
{
    CountingClient failing(ReadTurn::Failed);
    DeviceThread t(&failing);
    t.start(plat::THREAD_PRIORITY_NORMAL);
    ASSERT_TRUE(testsupport::waitUntilReal([&] { return failing.reads.load() >= 2; }));
    // Each turn pauses at least 5 ms: in 200 ms (or however long the machine
    // lets the test sleep) at most that many turns; a spinning loop makes
    // millions.
    const auto t0 = std::chrono::steady_clock::now();
    const uint64_t before = failing.reads.load();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const uint64_t turns = failing.reads.load() - before;
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0);
    t.stop();
    EXPECT_LE(turns, uint64_t(ms.count()) / DeviceThread::kFailedReadBackoffMs + 2);
    EXPECT_EQ(t.failedReads(), failing.reads.load());
}

TEST_F(SimDeviceTest, WriteRequestsGoOutOnTheirPipeFromTheDeviceThread)
{
    plat::sim::Adapter *a = world.addAdapter("ECHO");
    EchoDevice dev;
    ASSERT_EQ(dev.Open(99, 0), 1u);
    EXPECT_TRUE(a->isOpen());
    const uint8_t req[] = {0xEC, 0x01, 0x00, 0x20, 0xA1, 0x07, 0x00}; // channel 0 at 500000
    EXPECT_EQ(dev.thread.postWrite(req, sizeof req, 0x01), sizeof req);
    auto log = a->outLog();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].ep, 0x01);
    EXPECT_EQ(log[0].data, plat::sim::Bytes(req, req + sizeof req));
    EXPECT_EQ(a->channel(0).nominalRate(), 500000u);

    // Frames from the bus reach the thread's parser through the stream pipe.
    const uint8_t start0[] = {0xEC, 0x02, 0x00}, rate1[] = {0xEC, 0x01, 0x01, 0x20, 0xA1, 0x07, 0x00},
                  start1[] = {0xEC, 0x02, 0x01};
    dev.thread.postWrite(start0, sizeof start0, 0x01);
    dev.thread.postWrite(rate1, sizeof rate1, 0x01);
    dev.thread.postWrite(start1, sizeof start1, 0x01);
    uint8_t frame[16] = {0, 0, 2, 0, 0x21, 0x03, 0, 0, 0xAA, 0xBB};
    EXPECT_EQ(dev.usb.write(frame, sizeof frame, 0x02), 16u);
    testsupport::waitUntilReal([&] { return dev.streamBytes() >= 20; });
    ASSERT_EQ(dev.streamBytes(), 20u);
    {
        std::lock_guard<std::mutex> g(dev.m);
        EXPECT_EQ(dev.stream[0], 1);    // heard on channel 1
        EXPECT_EQ(dev.stream[4], 0x21); // identifier 0x321
        EXPECT_EQ(dev.stream[5], 0x03);
        EXPECT_EQ(dev.stream[12], 0xAA);
    }
    EXPECT_EQ(dev.Close(), 1u);
    EXPECT_FALSE(a->isOpen());
}

// The mend on a real transport: an adapter pulled out while its thread runs.
TEST_F(SimDeviceTest, UnpluggedAdapterDoesNotSpinTheDeviceThread)
{
    plat::sim::Adapter *a = world.addAdapter("ECHO");
    EchoDevice dev;
    ASSERT_EQ(dev.Open(99, 0), 1u);
    a->unplug();
    ASSERT_TRUE(testsupport::waitUntilReal([&] { return dev.thread.failedReads() >= 2; }));
    // At least 5 ms between failed reads (see FailedReadsBackOff).
    const auto t0 = std::chrono::steady_clock::now();
    const uint64_t before = dev.reads.load();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const uint64_t turns = dev.reads.load() - before;
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0);
    EXPECT_LE(turns, uint64_t(ms.count()) / DeviceThread::kFailedReadBackoffMs + 2);
    // Writes fail, the thread still serves requests and stops cleanly.
    uint8_t b[1] = {0};
    EXPECT_EQ(dev.thread.postWrite(b, 1, 0x01), 0u);
    EXPECT_EQ(dev.Close(), 1u);
}

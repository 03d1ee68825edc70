#include "tests/platform/SimFixture.h"

#include <chrono>
#include <thread>

using namespace plat;
using plat::sim::Adapter;

// What a sequence of reads returns for given pushes on a 64-byte endpoint.
TEST_F(SimTest, ReadsFollowWinUsbSemantics)
{
    struct Push
    {
        size_t len;
        bool terminate;
    };
    struct Case
    {
        const char *what;
        std::vector<Push> pushes;
        std::vector<uint32_t> reads;    // buffer sizes
        std::vector<size_t> expect;     // bytes each read returns
        std::vector<UsbStatus> status;
    } cases[] = {
        {"short packet ends the read", {{10, true}}, {64}, {10}, {UsbStatus::Ok}},
        {"surplus stays for the next read", {{100, true}}, {64, 64}, {64, 36}, {UsbStatus::Ok, UsbStatus::Ok}},
        {"small reads drain one transfer", {{30, true}}, {8, 8, 8, 8}, {8, 8, 8, 6},
         {UsbStatus::Ok, UsbStatus::Ok, UsbStatus::Ok, UsbStatus::Ok}},
        {"zero-length packet ends a whole-packet transfer", {{128, true}}, {512}, {128}, {UsbStatus::Ok}},
        {"unterminated whole packets run on into the next transfer", {{128, false}, {10, true}}, {512}, {138},
         {UsbStatus::Ok}},
        {"transfers are not merged", {{10, true}, {20, true}}, {512, 512}, {10, 20}, {UsbStatus::Ok, UsbStatus::Ok}},
        {"a time-out returns what arrived", {{64, false}}, {512}, {64}, {UsbStatus::Timeout}},
        {"nothing there: time-out with no bytes", {}, {64}, {0}, {UsbStatus::Timeout}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        world.reset();
        Adapter *a = world.addAdapter("ECHO");
        auto d = open(a);
        ASSERT_TRUE(d);
        Bytes all;
        uint8_t next = 0;
        for (const Push &p : c.pushes) {
            Bytes b = seq(p.len, next);
            next = uint8_t(next + p.len);
            all.insert(all.end(), b.begin(), b.end());
            a->push(0x82, b, p.terminate);
        }
        Bytes got;
        for (size_t i = 0; i < c.reads.size(); ++i) {
            UsbStatus st;
            Bytes r = read(*d, 0x82, c.reads[i], &st);
            EXPECT_EQ(r.size(), c.expect[i]) << "read " << i;
            EXPECT_EQ(st, c.status[i]) << "read " << i;
            got.insert(got.end(), r.begin(), r.end());
        }
        EXPECT_EQ(got, Bytes(all.begin(), all.begin() + std::min(all.size(), got.size())));
    }
}

TEST_F(SimTest, ReadTimeOutsRunOnTheInjectedClock)
{
    Adapter *a = world.addAdapter("ECHO");
    for (uint32_t timeout : {100u, 1500u, 5000u}) {
        SCOPED_TRACE(timeout);
        auto d = open(a, timeout);
        ASSERT_TRUE(d);
        const uint32_t start = GetTickCount();
        auto t0 = std::chrono::steady_clock::now();
        UsbStatus st;
        EXPECT_TRUE(read(*d, 0x81, 64, &st).empty());
        EXPECT_EQ(st, UsbStatus::Timeout);
        EXPECT_EQ(TicksSince(start), timeout);
        EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count(), 2.0);
    }
}

TEST_F(SimTest, LateReplyArrivesWhenItsTimeComes)
{
    Adapter *a = world.addAdapter("ECHO");
    auto d = open(a, 100);
    a->inFaults(0x81).delayMs = 250;
    ASSERT_EQ(write(*d, 0x01, {1, 2, 3}), UsbStatus::Ok); // echoed late
    const uint32_t start = GetTickCount();
    UsbStatus st;
    EXPECT_TRUE(read(*d, 0x81, 64, &st).empty());
    EXPECT_TRUE(read(*d, 0x81, 64, &st).empty());
    EXPECT_EQ(read(*d, 0x81, 64, &st), (Bytes{1, 2, 3}));
    EXPECT_EQ(st, UsbStatus::Ok);
    EXPECT_EQ(TicksSince(start), 250u);
}

TEST_F(SimTest, InFaultsShapeWhatTheModelPushes)
{
    struct Case
    {
        const char *what;
        std::function<void(sim::InFaults &)> set;
        std::vector<Bytes> expect; // successive reads of 512 bytes
    } cases[] = {
        {"no reply", [](sim::InFaults &f) { f.dropNext = 1; }, {{}, {}}},
        {"short reply", [](sim::InFaults &f) { f.truncateNextTo = 2; }, {{0xA0, 0xA1}, {}}},
        {"garbage before the packet", [](sim::InFaults &f) { f.garbage = {0xEE, 0xFF}; },
         {{0xEE, 0xFF, 0xA0, 0xA1, 0xA2, 0xA3, 0xA4}, {}}},
        {"split anywhere", [](sim::InFaults &f) { f.split = {1, 3}; },
         {{0xA0}, {0xA1, 0xA2, 0xA3}, {0xA4}, {}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        world.reset();
        Adapter *a = world.addAdapter("ECHO");
        auto d = open(a);
        c.set(a->inFaults(0x83));
        a->push(0x83, {0xA0, 0xA1, 0xA2, 0xA3, 0xA4});
        for (size_t i = 0; i < c.expect.size(); ++i)
            EXPECT_EQ(read(*d, 0x83, 512), c.expect[i]) << "read " << i;
    }
}

TEST_F(SimTest, ReadAndWriteErrorsAndUnplug)
{
    Adapter *a = world.addAdapter("ECHO");
    auto d = open(a, 5000);
    a->inFaults(0x81).failReads = 1;
    UsbStatus st;
    const uint32_t start = GetTickCount();
    read(*d, 0x81, 64, &st);
    EXPECT_EQ(st, UsbStatus::Error);
    EXPECT_EQ(TicksSince(start), 0u); // at once, not after the time-out
    a->failWrites(1);
    EXPECT_EQ(write(*d, 0x01, {1}), UsbStatus::Error);
    EXPECT_EQ(write(*d, 0x01, {1}), UsbStatus::Ok);
    EXPECT_EQ(write(*d, 0x81, {1}), UsbStatus::Error); // not an OUT pipe
    read(*d, 0x84, 64, &st);
    EXPECT_EQ(st, UsbStatus::Error); // no such pipe
    EXPECT_FALSE(d->gone()) << "failed transfers of a present adapter";

    EXPECT_EQ(backend->devicePaths().size(), 1u);
    a->unplug();
    EXPECT_TRUE(d->gone());
    read(*d, 0x81, 64, &st);
    EXPECT_EQ(st, UsbStatus::Error);
    EXPECT_EQ(write(*d, 0x01, {1}), UsbStatus::Error);
    EXPECT_TRUE(backend->devicePaths().empty());
    EXPECT_EQ(TicksSince(start), 0u);
    // Plugged in again, the old handle stays dead but a new open works.
    a->replug();
    EXPECT_TRUE(d->gone());
    auto d2 = open(a);
    ASSERT_TRUE(d2);
    EXPECT_FALSE(d2->gone());
    EXPECT_EQ(write(*d, 0x01, {1}), UsbStatus::Error);
    EXPECT_EQ(write(*d2, 0x01, {7}), UsbStatus::Ok);
    EXPECT_EQ(read(*d2, 0x81, 64), Bytes{7});
}

// A read waiting for data when the adapter is pulled out ends with a failure
// at once, and the adapter comes back as one freshly powered: its channels
// stopped until the host starts them.
TEST_F(SimTest, UnplugEndsAWaitingReadAndStopsTheChannels)
{
    Adapter *a = world.addAdapter("ECHO");
    a->channel(0).setBitRate(500000);
    a->channel(0).start();
    auto d = open(a, 0); // no time-out: only the unplug ends the read
    // Most likely while the read waits (it has nothing to take); before it
    // began, the read fails at once all the same.
    std::thread puller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        a->unplug();
    });
    UsbStatus st = UsbStatus::Ok;
    read(*d, 0x83, 512, &st);
    puller.join();
    EXPECT_EQ(st, UsbStatus::Error);
    EXPECT_TRUE(d->gone());
    EXPECT_FALSE(a->channel(0).started());
    a->replug();
    EXPECT_FALSE(a->channel(0).started());
}

TEST_F(SimTest, OpenIsExclusiveAndCanBeMadeToFail)
{
    Adapter *a = world.addAdapter("ECHO");
    Adapter *b = world.addAdapter("ECHO");
    EXPECT_EQ(a->index(), 0);
    EXPECT_EQ(b->index(), 1);
    auto d = open(a);
    ASSERT_TRUE(d);
    EXPECT_FALSE(open(a)); // one handle at a time, as WinUSB
    d.reset();
    EXPECT_FALSE(a->isOpen());
    a->setBusy(true);
    EXPECT_FALSE(open(a));
    a->setBusy(false);
    b->setOpenFails(true);
    EXPECT_FALSE(open(b));
    EXPECT_TRUE(open(a));
}

TEST_F(SimTest, OutWritesAreLoggedByteExact)
{
    Adapter *a = world.addAdapter("ECHO");
    auto d = open(a);
    clock->advance(5);
    write(*d, 0x01, {0x55, 0x01, 0x01, 0x01});
    write(*d, 0x02, Bytes(16, 0x00));
    auto log = a->outLog();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].ep, 0x01);
    EXPECT_EQ(log[0].data, (Bytes{0x55, 0x01, 0x01, 0x01}));
    EXPECT_EQ(log[0].ms, 10005u);
    EXPECT_EQ(log[1].ep, 0x02);
    EXPECT_EQ(log[1].data.size(), 16u);
    // The echo device answers its command pipe with the same bytes.
    EXPECT_EQ(read(*d, 0x81, 64), (Bytes{0x55, 0x01, 0x01, 0x01}));
    a->clearOutLog();
    EXPECT_TRUE(a->outLog().empty());
}

TEST_F(SimTest, ModelsPlugInPerVidPidWithTheirOwnHandlers)
{
    struct Counter : sim::DeviceModel
    {
        int opens = 0, closes = 0;
        Counter()
        {
            handleOut(0x01, [this](const sim::Bytes &b) {
                sim::Bytes r = b;
                for (auto &x : r)
                    x = uint8_t(x + 1);
                adapter().push(0x81, r);
            });
        }
        void onOpen() override { ++opens; }
        void onClose() override { ++closes; }
    };
    sim::registerModel({"PLUS1", 0x1234, 0x5678, 1,
                        {{0x01, UsbdPipeTypeBulk, 64}, {0x81, UsbdPipeTypeInterrupt, 16}},
                        [] { return std::unique_ptr<sim::DeviceModel>(new Counter); }});
    Adapter *a = world.addAdapter("1234:5678");
    ASSERT_TRUE(a);
    EXPECT_EQ(a->modelName(), "PLUS1");
    EXPECT_NE(a->path().find("#vid_1234&pid_5678#"), std::string::npos);
    {
        auto d = open(a);
        ASSERT_TRUE(d);
        auto pipes = d->queryPipes();
        ASSERT_EQ(pipes.size(), 2u);
        EXPECT_EQ(pipes[1].pipeType, UsbdPipeTypeInterrupt);
        EXPECT_EQ(pipes[1].maximumPacketSize, 16);
        write(*d, 0x01, {1, 2, 3});
        EXPECT_EQ(read(*d, 0x81, 64), (Bytes{2, 3, 4}));
    }
    EXPECT_EQ(a->modelAs<Counter>()->opens, 1);
    EXPECT_EQ(a->modelAs<Counter>()->closes, 1);
}

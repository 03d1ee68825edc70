#include "kemusb/src/devices/QUserWinUsb.h"
#include "platform/PlatSim.h"
#include "platform/PlatTicks.h"
#include "tests/platform/FakeLibusb.h"
#include "tests/support/GiveUp.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <thread>

using namespace kemusb;
using plat::sim::Adapter;

namespace {

class WinUsbSimTest : public ::testing::Test
{
protected:
    std::shared_ptr<plat::ManualTicks> clock = std::make_shared<plat::ManualTicks>(50000);
    plat::ScopedTickSource useClock{clock};
    plat::sim::World &world = plat::sim::World::instance();
    std::shared_ptr<plat::UsbBackend> prev;

    void SetUp() override
    {
        prev = plat::setUsbBackend(plat::sim::makeSimBackend());
        world.reset();
    }
    void TearDown() override
    {
        world.reset();
        plat::setUsbBackend(prev);
    }
};

// The test's clock seen through a count of the wait slices taken on it: the
// test learns when a reader has taken its start time and waits.
class SliceCountingTicks final : public plat::TickSource
{
public:
    explicit SliceCountingTicks(std::shared_ptr<plat::ManualTicks> clock) : clock_(std::move(clock)) {}
    uint64_t nowMs() override { return clock_->nowMs(); }
    uint64_t nowUs() override { return clock_->nowUs(); }
    void sleepMs(uint32_t ms) override { clock_->sleepMs(ms); }
    void waitSlice(std::condition_variable_any &cv, plat::BasicLock &lock, uint64_t untilMs) override
    {
        ++slices;
        clock_->waitSlice(cv, lock, untilMs);
    }
    std::atomic<int> slices{0};

private:
    std::shared_ptr<plat::ManualTicks> clock_;
};

// An adapter whose firmware has no stream endpoint.
void registerNoStreamModel()
{
    plat::sim::registerModel({"NOSTREAM", 0x0471, 0x7FFE, 1,
                              {{0x01, plat::UsbdPipeTypeBulk, 64},
                               {0x81, plat::UsbdPipeTypeBulk, 64},
                               {0x85, plat::UsbdPipeTypeIsochronous, 256}},
                              nullptr});
}

} // namespace

// Which adapter open(vid, pid, index) takes, for adapters in enumeration order.
TEST_F(WinUsbSimTest, IndexCountsMatchesAndABusyMatchLetsTheNextOneTakeItsPlace)
{
    struct Case
    {
        const char *what;
        std::vector<bool> busy; // echo adapters in order
        uint32_t index;
        int opened;             // which adapter, -1 none
    } cases[] = {
        {"first", {false, false}, 0, 0},
        {"second", {false, false}, 1, 1},
        {"beyond the last", {false, false}, 2, -1},
        {"first busy: index 0 opens the second", {true, false}, 0, 1},
        {"all busy", {true, true}, 0, -1},
        {"busy before the index still counts", {true, false, false}, 1, 1},
        {"busy at the index: the next one", {false, true, false}, 1, 2},
    };
    registerNoStreamModel();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        world.reset();
        world.addAdapter("NOSTREAM", "other"); // another model in between: ignored
        std::vector<Adapter *> echo;
        for (size_t i = 0; i < c.busy.size(); ++i) {
            echo.push_back(world.addAdapter("ECHO"));
            echo.back()->setBusy(c.busy[i]);
        }
        world.adapterByAlias("other")->setBusy(true);
        QUserWinUsb usb;
        EXPECT_EQ(usb.open(plat::sim::kEchoVid, plat::sim::kEchoPid, c.index), c.opened >= 0 ? 1u : 0u);
        EXPECT_EQ(usb.isOpen(), c.opened >= 0);
        for (size_t i = 0; i < echo.size(); ++i)
            EXPECT_EQ(echo[i]->isOpen(), int(i) == c.opened) << "adapter " << i;
        if (c.opened >= 0) {
            EXPECT_EQ(usb.path(), echo[size_t(c.opened)]->path());
        }
    }
}

TEST_F(WinUsbSimTest, PipesAreRecordedByDirectionWithTheHundredMillisecondTimeOut)
{
    world.addAdapter("ECHO");
    QUserWinUsb usb;
    ASSERT_EQ(usb.open(plat::sim::kEchoVid, plat::sim::kEchoPid, 0), 1u);
    struct Case
    {
        uint8_t ep;
        uint32_t ok;
        uint16_t mps;
    } cases[] = {{0x01, 1, 64}, {0x81, 1, 64}, {0x02, 1, 512}, {0x82, 1, 64}, {0x83, 1, 512},
                 {0x03, 0, 0},  {0x84, 0, 0},  {0x11, 0, 0}};
    for (const Case &c : cases) {
        plat::UsbPipeInfo info;
        EXPECT_EQ(usb.pipeInformation(c.ep, &info), c.ok) << int(c.ep);
        if (c.ok) {
            EXPECT_EQ(info.pipeId, c.ep);
            EXPECT_EQ(info.maximumPacketSize, c.mps);
            EXPECT_EQ(info.pipeType, plat::UsbdPipeTypeBulk);
        }
    }
    // An empty IN pipe gives 0 after 100 ms of the injected clock.
    uint8_t buf[64];
    plat::UsbStatus st;
    const uint32_t start = plat::GetTickCount();
    EXPECT_EQ(usb.read(buf, sizeof buf, 0x81, &st), 0u);
    EXPECT_EQ(st, plat::UsbStatus::Timeout);
    EXPECT_EQ(plat::TicksSince(start), 100u);
    // Written bytes come back from the echo device.
    const uint8_t req[] = {0x55, 0x13, 0x01, 0x01};
    EXPECT_EQ(usb.write(req, 4, 0x01), 4u);
    EXPECT_EQ(usb.read(buf, sizeof buf, 0x81), 4u);
    EXPECT_EQ(usb.write(req, 4, 0x05), 0u); // no such pipe
    EXPECT_EQ(usb.close(), 1u);
    EXPECT_EQ(usb.write(req, 4, 0x01), 0u);
    EXPECT_EQ(usb.read(buf, sizeof buf, 0x81, &st), 0u);
    EXPECT_EQ(st, plat::UsbStatus::Error);
    plat::UsbPipeInfo info;
    EXPECT_EQ(usb.pipeInformation(0x81, &info), 1u); // the table stays as it was
}

TEST_F(WinUsbSimTest, AdapterWithoutAStreamEndpointStillOpensAndItsReadsGiveNothing)
{
    registerNoStreamModel();
    world.addAdapter("NOSTREAM");
    QUserWinUsb usb;
    ASSERT_EQ(usb.open(0x0471, 0x7FFE, 0), 1u);
    plat::UsbPipeInfo info;
    EXPECT_EQ(usb.pipeInformation(0x83, &info), 0u);
    EXPECT_EQ(usb.pipeInformation(0x85, &info), 0u); // isochronous: not recorded
    uint8_t buf[4096];
    const uint32_t start = plat::GetTickCount();
    plat::UsbStatus st;
    EXPECT_EQ(usb.read(buf, sizeof buf, 0x83, &st), 0u);
    EXPECT_EQ(st, plat::UsbStatus::Error);
    EXPECT_EQ(plat::TicksSince(start), 0u);
}

TEST_F(WinUsbSimTest, ReadOnATimeOutHandsOverWhatArrived)
{
    Adapter *a = world.addAdapter("ECHO");
    QUserWinUsb usb;
    ASSERT_EQ(usb.open(plat::sim::kEchoVid, plat::sim::kEchoPid, 0), 1u);
    a->push(0x83, std::vector<uint8_t>(1024, 0x5A), false); // whole packets, no end
    uint8_t buf[4096];
    plat::UsbStatus st;
    EXPECT_EQ(usb.read(buf, sizeof buf, 0x83, &st), 1024u);
    EXPECT_EQ(st, plat::UsbStatus::Timeout);
}

// A read of another thread still waiting on the adapter when the transport
// closes: close returns once that read has let go of the adapter, so the
// adapter is free when close returns and opens again at once.
TEST_F(WinUsbSimTest, CloseWaitsForAReadInFlightSoTheAdapterIsFreeAfterwards)
{
    clock->setAutoAdvance(false); // the read waits until the clock is moved
    auto counting = std::make_shared<SliceCountingTicks>(clock);
    plat::ScopedTickSource useCounting(counting);
    Adapter *a = world.addAdapter("ECHO");
    QUserWinUsb usb;
    ASSERT_EQ(usb.open(plat::sim::kEchoVid, plat::sim::kEchoPid, 0), 1u);
    std::atomic<bool> readDone{false};
    std::thread reader([&] {
        uint8_t buf[64];
        usb.read(buf, sizeof buf, 0x81);
        readDone = true;
    });
    // The read is waiting (it took its start time before its first slice).
    ASSERT_TRUE(testsupport::waitUntilReal([&] { return counting->slices.load() > 0; }));
    std::atomic<bool> closed{false};
    bool adapterFreeAtClose = false;
    std::thread closer([&] {
        usb.close();
        adapterFreeAtClose = !a->isOpen();
        closed = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_FALSE(closed.load()) << "close returned while a read still held the adapter";
    clock->advance(QUserWinUsb::kPipeTimeoutMs); // the read times out
    closer.join();
    reader.join();
    EXPECT_TRUE(readDone.load());
    EXPECT_TRUE(adapterFreeAtClose);
    QUserWinUsb again;
    EXPECT_EQ(again.open(plat::sim::kEchoVid, plat::sim::kEchoPid, 0), 1u);
}

// The same open logic over the libusb back end, against its stand-in.
TEST(WinUsbLibusb, IndexAndBusyLogicOverLibusb)
{
    auto api = std::make_shared<FakeLibusb>();
    api->add(0x0471, 0x7A41, 2, {1});        // third in order
    api->add(0x0471, 0x7A41, 1, {3}).busy = true; // second
    api->add(0x0471, 0x7A41, 1, {1, 1});     // first
    api->add(0x0471, 0x7A42, 1, {2});        // other product
    auto prev = plat::setUsbBackend(plat::makeLibusbBackend(api));
    {
        QUserWinUsb a, b, c;
        ASSERT_EQ(a.open(0x0471, 0x7A41, 0), 1u);
        EXPECT_EQ(plat::usbPathInstance(a.path()), "1-1.1");
        // Index 1 is the busy one: the next match takes its place.
        ASSERT_EQ(b.open(0x0471, 0x7A41, 1), 1u);
        EXPECT_EQ(plat::usbPathInstance(b.path()), "2-1");
        EXPECT_EQ(c.open(0x0471, 0x7A41, 2), 0u);
        EXPECT_EQ(api->claimedIface, 0);
        EXPECT_EQ(api->autoDetach, 1);
        // Every bulk pipe got the 100 ms time-out, and reads use it.
        api->send(0, 0x83, std::vector<uint8_t>(100, 1));
        uint8_t buf[4096];
        api->timeouts.clear();
        EXPECT_EQ(b.read(buf, sizeof buf, 0x83), 100u);
        ASSERT_FALSE(api->timeouts.empty());
        EXPECT_EQ(api->timeouts.back(), QUserWinUsb::kPipeTimeoutMs);
        EXPECT_EQ(api->overflows, 0);
    }
    plat::setUsbBackend(prev);
}

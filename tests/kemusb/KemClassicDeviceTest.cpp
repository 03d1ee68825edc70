// The classic adapter and the Kvaser interfaces through the KCAN_, VCI_ and
// KVCI_ functions on simulated adapters.

#include "kemusb/include/kcan_api.h"
#include "kemusb/include/vci_api.h"
#include "kemusb/src/devices/KcanHandleRegistry.h"
#include "kemusb/src/devices/OcanDeviceRegistry.h"
#include "kemusb/src/devices/QDeviceKvaser.h"
#include "kemusb/src/devices/VciDeviceRegistry.h"
#include "kemusb/src/sim/KemSimClassic.h"
#include "kemusb/src/sim/KemSimKvaser.h"
#include "kemusb/src/sim/KemSimModels.h"
#include "platform/PlatSim.h"
#include "kemusb/src/protocol/KemClassicProtocol.h"
#include "tests/kemusb/DriverTicks.h"
#include "tests/kemusb/KemTestUtil.h"
#include "tests/support/GiveUp.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <future>
#include <thread>
#include <vector>

using plat::sim::World;

namespace {

constexpr uint32_t kUsbCan = 3;

KCAN_INIT_CONFIG initConfig(uint8_t t0 = 0x00, uint8_t t1 = 0x1C, uint8_t mode = 0)
{
    KCAN_INIT_CONFIG c;
    std::memset(&c, 0, sizeof c);
    c.AccCode = 0;
    c.AccMask = 0xFFFFFFFF;
    c.Timing0 = t0;
    c.Timing1 = t1;
    c.Mode = mode;
    return c;
}

// A frame whose data bytes follow from its identifier.
KCAN_CAN_OBJ frame(uint32_t id, bool ext = false, bool rtr = false, uint8_t len = 8, uint8_t sendType = 0)
{
    return kemtest::kcanFrame(id, ext, rtr, len, kemtest::seq(int(id), 8), sendType);
}

KCAN_INITFD_CONFIG kvConfig(uint32_t rate, bool fd = false, uint32_t dataRate = 0)
{
    KCAN_INITFD_CONFIG c;
    std::memset(&c, 0, sizeof c);
    c.KvArbBaud = rate;
    c.KvArbTseg1 = 13;
    c.KvArbTseg2 = 2;
    c.KvArbSjw = 1;
    c.KvSamplePoints = 1;
    c.FdEnable = fd;
    c.Standard = 1;
    c.KvDataBaud = dataRate;
    return c;
}

class KemClassicDevice : public ::testing::Test
{
protected:
    void SetUp() override
    {
        kemusb::registerSimModels();
        prev_ = plat::setUsbBackend(plat::sim::makeSimBackend());
        World::instance().loadDefault();
    }
    void TearDown() override
    {
        kemusb::VciDeviceRegistry::instance().closeAll();
        kemusb::KcanHandleRegistry::instance().clear();
        kemusb::OcanDeviceRegistry::instance().closeAll();
        World::instance().reset();
        plat::setUsbBackend(prev_);
    }

    plat::sim::Adapter *classicAdapter(int index = 0) { return World::instance().adapter(0x0471, 0x1200, index); }
    kemusb::sim::SimClassicModel *classicModel() { return classicAdapter()->modelAs<kemusb::sim::SimClassicModel>(); }
    void openClassic()
    {
        ASSERT_EQ(KCAN_OpenDevice(kUsbCan, 0), 1u);
        const KCAN_INIT_CONFIG c = initConfig();
        ASSERT_EQ(KCAN_InitCAN(kUsbCan, 0, 0, &c), 1u);
        ASSERT_EQ(KCAN_InitCAN(kUsbCan, 0, 1, &c), 1u);
    }
    std::vector<KCAN_CAN_OBJ> receive(uint32_t type, uint32_t ch, size_t want, int32_t waitMs = testsupport::kGiveUpMs)
    {
        return kemtest::collect<KCAN_CAN_OBJ>(
            want, waitMs, [&](KCAN_CAN_OBJ *buf, uint32_t room) { return KCAN_Receive(type, 0, ch, buf, room, 50); });
    }

    std::shared_ptr<plat::UsbBackend> prev_;
};

} // namespace

// Both channels of one classic adapter on one bus: 7 frames go out as
// groups of 3, 3 and 1 and arrive whole on the other channel, both ways.
TEST_F(KemClassicDevice, TwoChannelsExchangeFramesInGroupsOfThree)
{
    openClassic();
    struct Case {
        uint32_t from, to;
        bool ext, rtr;
    } cases[] = {{0, 1, false, false}, {1, 0, true, false}, {0, 1, true, true}};
    for (const Case &c : cases) {
        classicAdapter()->clearOutLog();
        std::vector<KCAN_CAN_OBJ> tx;
        for (uint32_t i = 0; i < 7; ++i)
            tx.push_back(frame(c.ext ? 0x18DA0000 + i : 0x100 + i, c.ext, c.rtr, uint8_t(i + 1)));
        ASSERT_EQ(KCAN_Transmit(kUsbCan, 0, c.from, tx.data(), 7), 7u);
        const auto writes = kemtest::outOn(classicAdapter(), 0x02);
        ASSERT_EQ(writes.size(), 3u);
        EXPECT_EQ(writes[0].data.size(), 57u);
        EXPECT_EQ(writes[1].data.size(), 57u);
        EXPECT_EQ(writes[2].data.size(), 19u);
        const auto rx = receive(kUsbCan, c.to, 7);
        ASSERT_EQ(rx.size(), 7u);
        for (size_t i = 0; i < 7; ++i) {
            EXPECT_EQ(rx[i].ID, tx[i].ID);
            EXPECT_EQ(rx[i].ExternFlag, c.ext ? 1 : 0);
            EXPECT_EQ(rx[i].RemoteFlag, c.rtr ? 1 : 0);
            EXPECT_EQ(rx[i].DataLen, tx[i].DataLen);
            EXPECT_EQ(rx[i].TimeFlag, 1);
            EXPECT_EQ(std::memcmp(rx[i].Data, tx[i].Data, tx[i].DataLen), 0);
        }
        EXPECT_EQ(KCAN_GetReceiveNum(kUsbCan, 0, c.from, 0), 0u) << "the sender does not hear itself";
    }
    EXPECT_EQ(KCAN_GetReceiveNum(kUsbCan, 0, 1, 1), 0u) << "kind 1 of a classic adapter";
    KCAN_CAN_OBJ none[1];
    EXPECT_EQ(KCAN_Receive(kUsbCan, 0, 1, none, 0, 1000), 0u);
}

TEST_F(KemClassicDevice, CommandsRelayTimingStateAndBoardInfo)
{
    ASSERT_EQ(KCAN_OpenDevice(kUsbCan, 0), 1u);
    EXPECT_EQ(KCAN_OpenDevice(kUsbCan, 0), 1u) << "already open";

    // Initialising with both timing bytes 0 sends nothing.
    classicAdapter()->clearOutLog();
    KCAN_INIT_CONFIG zero = initConfig(0, 0);
    EXPECT_EQ(VCI_InitCAN(kUsbCan, 0, 0, &zero), 1u);
    EXPECT_TRUE(classicAdapter()->outLog().empty());

    KCAN_INIT_CONFIG c = initConfig(0x01, 0x1C);
    c.Filter = 1;
    c.AccCode = 0x12345678;
    c.AccMask = 0x0000FFFF;
    ASSERT_EQ(VCI_InitCAN(kUsbCan, 0, 1, &c), 1u);
    EXPECT_EQ(classicModel()->filterCode(1), 0x12345678u);
    EXPECT_EQ(classicModel()->filterMask(1), 0x0000FFFFu);
    ASSERT_EQ(VCI_StartCAN(kUsbCan, 0, 1), 1u);
    classicAdapter()->clearOutLog();
    EXPECT_EQ(VCI_StartCAN(kUsbCan, 0, 1), 1u) << "started already";
    EXPECT_EQ(VCI_ResetCAN(kUsbCan, 0, 0), 1u) << "never started";
    EXPECT_TRUE(classicAdapter()->outLog().empty());

    uint8_t t0 = 0, t1 = 0;
    ASSERT_EQ(KCAN_DevBaudParaGet(kUsbCan, 0, 1, &t0, &t1), 1u);
    EXPECT_EQ(t0, 0x01);
    EXPECT_EQ(t1, 0x1C);

    uint8_t a = 9, b = 9;
    ASSERT_EQ(KCAN_DevRelayStatusSet(kUsbCan, 0, 1, 0), 1u);
    ASSERT_EQ(KCAN_DevRelayStatusGet(kUsbCan, 0, &a, &b), 1u);
    EXPECT_EQ(a, 1);
    EXPECT_EQ(b, 0);
    EXPECT_EQ(KCAN_DevRelayStatusGet(68, 0, &a, &b), 0u) << "classic types only";

    OCAN_DEVICE_INFO info;
    ASSERT_EQ(VCI_ReadBoardInfo(kUsbCan, 0, &info), 1u);
    EXPECT_EQ(info.HwVersion, 0x0210);
    EXPECT_EQ(info.FwVersion, 0x0135);
    EXPECT_EQ(info.CanNum, 2);
    EXPECT_EQ(info.DrVersion, 0x0200);
    EXPECT_EQ(info.InVersion, 0x0101);
    EXPECT_STREQ(info.HwType, "USBCAN+");
    EXPECT_EQ(VCI_ReadBoardInfo(kUsbCan, 1, &info), 0u);

    // The direct transfer hands back the reply less its first two bytes.
    uint8_t buf[62] = {0xFE, 0xEF};
    EXPECT_EQ(KCAN_DataDirectTransfer(kUsbCan, 0, buf, 2), 1u) << "a non-frame is answered by one byte";

    // Stubs and fixed answers.
    uint32_t ref = 0;
    EXPECT_EQ(VCI_GetReference(kUsbCan, 0, 0, 1, &ref), 100u);
    EXPECT_EQ(ref, 1000u);
    EXPECT_EQ(VCI_SetReference(kUsbCan, 0, 0, 0, nullptr), 0u);
    EXPECT_EQ(VCI_SetReference(kUsbCan, 0, 0, 2, nullptr), 1u);
    EXPECT_EQ(VCI_ConnectDevice(kUsbCan, 0), 1u);
    EXPECT_EQ(VCI_SetOperationMode(kUsbCan, 0, 0, 1), 1u);
}

// The channel-state reply shows an error byte while the channel's timing
// does not fit the bus rate; a fitting timing hears the bus. The channel is
// re-initialised while started, without a reset, as baud detection does.
TEST_F(KemClassicDevice, ChannelStateReportsATimingThatMissesTheBus)
{
    std::string err;
    ASSERT_TRUE(World::instance().loadConfig("bus car nominal=250000\n"
                                             "adapter USBCAN2 name=u\n"
                                             "attach u 0 car\n"
                                             "periodic car id=0x321 period=5 data=0102\n",
                                             &err))
        << err;
    ASSERT_EQ(KCAN_OpenDevice(kUsbCan, 0), 1u);
    struct Case {
        uint8_t t0, t1;
        bool fits;
    } cases[] = {{0x00, 0x1C, false}, {0x01, 0x1C, true}, {0x03, 0x1C, false}, {0x01, 0x1C, true}};
    for (const Case &c : cases) {
        const KCAN_INIT_CONFIG cfg = initConfig(c.t0, c.t1);
        KCAN_ClearBuffer(kUsbCan, 0, 0);
        ASSERT_EQ(KCAN_InitCAN(kUsbCan, 0, 0, &cfg), 1u);
        uint8_t a = 0, b = 0, e = 0xEE;
        ASSERT_EQ(KCAN_DevChStateGet(kUsbCan, 0, 0, &a, &b, &e), 1u);
        EXPECT_EQ(e == 0, c.fits) << std::hex << int(c.t0) << " " << int(c.t1);
        // Frames heard under the previous timing may still be on their way
        // up (frames and replies travel on pipes of their own): once the
        // adapter has handed over all it queued, and the frame thread has
        // had time to put the last of it into the buffer, clear it, so what
        // is received is heard under the new one.
        if (!c.fits) {
            ASSERT_TRUE(testsupport::waitUntilReal([&] { return classicAdapter()->pendingTransfers(0x82) == 0; }));
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            KCAN_ClearBuffer(kUsbCan, 0, 0);
        }
        const auto rx = receive(kUsbCan, 0, 1, c.fits ? testsupport::kGiveUpMs : 100);
        EXPECT_EQ(!rx.empty(), c.fits);
        if (!rx.empty()) {
            EXPECT_EQ(rx[0].ID, 0x321u);
        }
    }
}

// A transmit from one thread and commands from another: neither takes or
// throws away the other's reply, so every call succeeds. The clock stands
// still meanwhile: every reply comes, and none may be missed for coming
// later than its 200 ms on a machine too loaded to deliver it sooner.
TEST_F(KemClassicDevice, TransmitAndCommandsAtOnceKeepTheirReplies)
{
    openClassic();
    auto clock = std::make_shared<plat::ManualTicks>(plat::GetTickCount64(), false);
    plat::ScopedTickSource scope(clock);
    std::atomic<int> txFailed{0}, cmdFailed{0};
    std::atomic<bool> sending{true};
    std::thread sender([&] {
        for (int i = 0; i < 150; ++i) {
            KCAN_CAN_OBJ f[4] = {frame(0x10), frame(0x11), frame(0x12), frame(0x13)};
            if (KCAN_Transmit(kUsbCan, 0, 0, f, 4) != 4)
                ++txFailed;
        }
        sending = false;
    });
    std::thread commander([&] {
        while (sending) {
            uint8_t a, b, c;
            if (KCAN_DevRelayStatusGet(kUsbCan, 0, &a, &b) != 1)
                ++cmdFailed;
            if (KCAN_DevChStateGet(kUsbCan, 0, 1, &a, &b, &c) != 1)
                ++cmdFailed;
            if (KCAN_DevBaudParaGet(kUsbCan, 0, 0, &a, &b) != 1)
                ++cmdFailed;
        }
    });
    // A receiving thread drains the other channel meanwhile.
    std::atomic<size_t> received{0};
    std::thread receiver([&] {
        KCAN_CAN_OBJ buf[64];
        // Frames may still be on their way after the last transmit returned.
        const auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(testsupport::kGiveUpMs);
        while (received < 600 && std::chrono::steady_clock::now() < limit)
            received += KCAN_Receive(kUsbCan, 0, 1, buf, 64, 5);
    });
    sender.join();
    commander.join();
    receiver.join();
    EXPECT_EQ(txFailed.load(), 0);
    EXPECT_EQ(cmdFailed.load(), 0);
    EXPECT_EQ(received.load(), 600u);
}

TEST_F(KemClassicDevice, MissingRepliesFailTheTransmitAndTheInitialisation)
{
    openClassic();
    {
        std::lock_guard<std::recursive_mutex> g(World::instance().lock());
        classicModel()->setTxSilent(true);
    }
    // Single-shot frames wait 100 ms for their group's answer.
    KCAN_CAN_OBJ f[2] = {frame(1, false, false, 8, 1), frame(2, false, false, 8, 1)};
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(KCAN_Transmit(kUsbCan, 0, 0, f, 2), 0u);
    EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(90));
    {
        std::lock_guard<std::recursive_mutex> g(World::instance().lock());
        classicModel()->setTxSilent(false);
        classicModel()->setSilent(true);
    }
    const KCAN_INIT_CONFIG c = initConfig();
    EXPECT_EQ(KCAN_InitCAN(kUsbCan, 0, 0, &c), 0u);
    uint8_t a, b;
    EXPECT_EQ(KCAN_DevRelayStatusGet(kUsbCan, 0, &a, &b), 0u);
    {
        std::lock_guard<std::recursive_mutex> g(World::instance().lock());
        classicModel()->setSilent(false);
    }
    // A stopped channel: the bus takes nothing, the group is refused.
    EXPECT_EQ(KCAN_Stop(kUsbCan, 0, 0), 1u);
    EXPECT_EQ(KCAN_Transmit(kUsbCan, 0, 0, f, 2), 0u);
}

// Open and close answers, with the close and reset mends: 1 when an adapter
// was closed or reset, 0 when there was none.
TEST_F(KemClassicDevice, OpenCloseAndResetAnswers)
{
    EXPECT_EQ(VCI_OpenDevice(20, 0, 0), 0xFFFFFFFFu);
    EXPECT_EQ(VCI_OpenDevice(5, 0, 0), 0u);
    EXPECT_EQ(VCI_OpenDevice(kUsbCan, 3, 0), 0xFFFFFFFFu) << "no such adapter";
    EXPECT_EQ(KCAN_OpenDevice(kUsbCan, 3), 0xFFFFFFFFu);

    struct Case {
        uint32_t type;
    } cases[] = {{3}, {68}, {69}, {63}};
    for (const Case &c : cases) {
        EXPECT_EQ(VCI_CloseDevice(c.type, 0), 0u) << c.type << " closing nothing";
        EXPECT_EQ(VCI_ResetCAN(c.type, 0, 0), 0u) << c.type << " resetting nothing";
        ASSERT_EQ(KCAN_OpenDevice(c.type, 0), 1u) << c.type;
        EXPECT_EQ(VCI_ResetCAN(c.type, 0, 0), 1u) << c.type << " reset of an open adapter";
        EXPECT_EQ(KCAN_CloseDevice(c.type, 0), 1u) << c.type;
        EXPECT_EQ(KCAN_CloseDevice(c.type, 0), 0u) << c.type << " closed already";
    }
    EXPECT_FALSE(classicAdapter()->isOpen());
}

// Kvaser interfaces of both families: initialise two channels, send on one,
// receive on the other through KCAN_Receive.
TEST_F(KemClassicDevice, KvaserInterfacesSendAndReceive)
{
    struct Case {
        uint32_t type;
        uint16_t pid;
        uint32_t perWrite;
    } cases[] = {{68, 0x0120, 25}, {69, 0x0122, 25}, {70, 0x0122, 25}, {72, 0x0122, 25}, {63, 0x0102, 8},
                 {73, 0x0102, 8}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.type);
        ASSERT_EQ(KCAN_OpenDevice(c.type, 0), 1u);
        plat::sim::Adapter *a = World::instance().adapter(kemusb::sim::kKvaserVid, c.pid, 0);
        ASSERT_TRUE(a && a->isOpen());
        auto dev = std::dynamic_pointer_cast<kemusb::KvaserDeviceBase>(
            kemusb::VciDeviceRegistry::instance().kvaser(c.type, 0));
        ASSERT_TRUE(dev);
        EXPECT_EQ(dev->framesPerWrite(), c.perWrite);
        const KCAN_INITFD_CONFIG cfg = kvConfig(500000);
        ASSERT_EQ(KCAN_InitCANFD(c.type, 0, 0, &cfg), 1u);
        ASSERT_EQ(KCAN_InitCANFD(c.type, 0, 1, &cfg), 1u);
        std::vector<KCAN_CAN_OBJ> tx;
        for (uint32_t i = 0; i < 30; ++i)
            tx.push_back(frame(i % 2 ? 0x1ABCDE00 + i : 0x700 + i, i % 2, i % 5 == 0, uint8_t(i % 9)));
        EXPECT_EQ(KCAN_Transmit(c.type, 0, 0, tx.data(), 30), 30u);
        const auto rx = receive(c.type, 1, 30);
        ASSERT_EQ(rx.size(), 30u);
        for (size_t i = 0; i < rx.size(); ++i) {
            EXPECT_EQ(rx[i].ID, tx[i].ID);
            EXPECT_EQ(rx[i].ExternFlag, tx[i].ExternFlag);
            EXPECT_EQ(rx[i].RemoteFlag, tx[i].RemoteFlag);
            EXPECT_EQ(rx[i].DataLen, tx[i].DataLen);
            EXPECT_EQ(std::memcmp(rx[i].Data, tx[i].Data, tx[i].DataLen), 0);
        }
        EXPECT_EQ(KCAN_GetReceiveNum(c.type, 0, 1, 0), 0u);
        EXPECT_EQ(KCAN_ClearBuffer(c.type, 0, 1), 0u) << "classic types only";
        ASSERT_EQ(KCAN_CloseDevice(c.type, 0), 1u);
        EXPECT_FALSE(a->isOpen());
    }
}

TEST_F(KemClassicDevice, KvaserTransmitWithoutAcknowledgementsAndFdFrames)
{
    ASSERT_EQ(KCAN_OpenDevice(69, 0), 1u);
    const KCAN_INITFD_CONFIG cfg = kvConfig(500000);
    ASSERT_EQ(KCAN_InitCANFD(69, 0, 0, &cfg), 1u);
    ASSERT_EQ(KCAN_InitCANFD(69, 0, 1, &cfg), 1u);
    plat::sim::Adapter *a = World::instance().adapter(kemusb::sim::kKvaserVid, 0x0122, 0);
    {
        std::lock_guard<std::recursive_mutex> g(World::instance().lock());
        a->modelAs<kemusb::sim::SimKvaserModel>()->setAckSilent(true);
    }
    std::vector<KCAN_CAN_OBJ> tx(40, frame(0x55));
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(KCAN_Transmit(69, 0, 0, tx.data(), 40), 0u);
    const auto spent = std::chrono::steady_clock::now() - t0;
    EXPECT_GE(spent, std::chrono::milliseconds(190));
    EXPECT_LT(spent, std::chrono::milliseconds(2000)) << "one group, one wait";

    // The CAN FD interface keeps FD frames apart: counted, never handed out.
    ASSERT_EQ(KCAN_OpenDevice(63, 0), 1u);
    KCAN_INITFD_CONFIG fd = kvConfig(500000, true, 2000000);
    ASSERT_EQ(KCAN_InitCANFD(63, 0, 0, &fd), 1u);
    ASSERT_EQ(KCAN_InitCANFD(63, 0, 1, &fd), 1u);
    plat::sim::Adapter *pro = World::instance().adapter(kemusb::sim::kKvaserVid, 0x0102, 0);
    {
        std::lock_guard<std::recursive_mutex> g(World::instance().lock());
        plat::sim::CanFrame f;
        f.id = 0x321;
        f.fd = true;
        f.brs = true;
        f.len = 64;
        ASSERT_TRUE(pro->channel(0).transmit(f));
        f.fd = false;
        f.brs = false;
        f.len = 8;
        ASSERT_TRUE(pro->channel(0).transmit(f));
    }
    auto dev = kemusb::VciDeviceRegistry::instance().kvaser(63, 0);
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(testsupport::kGiveUpMs);
    while (dev->GetReceiveNum(1, 2) < 2 && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    EXPECT_EQ(dev->GetReceiveNum(1, 1), 1u);
    EXPECT_EQ(dev->GetReceiveNum(1, 0), 1u);
    const auto rx = receive(63, 1, 2, 200);
    ASSERT_EQ(rx.size(), 1u);
    EXPECT_EQ(rx[0].DataLen, 8);
    EXPECT_EQ(VCI_ResetCAN(63, 0, 1), 1u);
    EXPECT_EQ(dev->GetReceiveNum(1, 2), 0u) << "reset clears both buffers";
}

// Received CAN FD frames of the CAN FD interface, which no function hands
// out, stay bounded on a busy bus: the newest kFdFramesKept of a channel
// are kept and counted, older ones dropped and counted as dropped; classic
// frames on the same stream are all kept.
TEST_F(KemClassicDevice, KvaserFdFramesAreBoundedAndDropsCounted)
{
    ASSERT_EQ(KCAN_OpenDevice(63, 0), 1u);
    auto dev = std::dynamic_pointer_cast<kemusb::KvaserDeviceBase>(kemusb::VciDeviceRegistry::instance().kvaser(63, 0));
    ASSERT_TRUE(dev);
    plat::sim::Adapter *pro = World::instance().adapter(kemusb::sim::kKvaserVid, 0x0102, 0);
    const size_t kept = kemusb::KvaserDeviceBase::kFdFramesKept;
    const size_t fdFrames = kept + 700, classicFrames = 300;
    plat::sim::Bytes stream;
    size_t pushed = 0;
    for (size_t i = 0; i < fdFrames + classicFrames; ++i) {
        plat::sim::CanFrame f;
        f.id = uint32_t(0x100 + i % 0x600);
        f.fd = i % 4 != 3 || i >= classicFrames * 4; // every fourth a classic frame
        f.len = f.fd ? 64 : 8;
        const plat::sim::Bytes cmd = kemusb::sim::SimKvaserModel::frame32(5, f, uint32_t(i));
        stream.insert(stream.end(), cmd.begin(), cmd.end());
        pushed += f.fd ? 0 : 1;
        if (stream.size() > 8000 || i + 1 == fdFrames + classicFrames) {
            pro->push(0x82, stream);
            stream.clear();
        }
    }
    ASSERT_EQ(pushed, classicFrames);
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(testsupport::kGiveUpMs);
    while (dev->GetReceiveNum(5, 0) + dev->droppedFdFrames(5) + dev->GetReceiveNum(5, 1) < fdFrames + classicFrames &&
           std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    EXPECT_EQ(dev->GetReceiveNum(5, 1), kept);
    EXPECT_EQ(dev->droppedFdFrames(5), fdFrames - kept);
    EXPECT_EQ(dev->GetReceiveNum(5, 0), classicFrames);
    EXPECT_EQ(dev->GetReceiveNum(5, 2), kept + classicFrames);
    EXPECT_EQ(dev->droppedFdFrames(4), 0u);
    // A reset clears both buffers; what was dropped stays counted.
    EXPECT_EQ(VCI_ResetCAN(63, 0, 5), 1u);
    EXPECT_EQ(dev->GetReceiveNum(5, 2), 0u);
    EXPECT_EQ(dev->droppedFdFrames(5), fdFrames - kept);
}

// The handle path reaches a classic adapter through the forwarding object.
TEST_F(KemClassicDevice, HandlePathForwardsToTheClassicAdapter)
{
    auto &reg = kemusb::OcanDeviceRegistry::instance();
    kemusb::QDevice *d = reg.open(kUsbCan, 0);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->IsDeviceOnLine(), 2u);
    OCAN_INIT_CONFIG init;
    std::memset(&init, 0, sizeof init);
    init.CanType = 0;
    init.AccMask = 0xFFFFFFFF;
    init.can.Timing0 = 0x00;
    init.can.Timing1 = 0x1C;
    kemusb::OcanChannelHandle *h0 = reg.initCan(d, 0, &init);
    kemusb::OcanChannelHandle *h1 = reg.initCan(d, 1, &init);
    ASSERT_TRUE(h0 && h1);
    ASSERT_EQ(d->StartCAN(0), 1u);
    ASSERT_EQ(d->StartCAN(1), 1u);
    OCAN_CAN_TX tx;
    std::memset(&tx, 0, sizeof tx);
    tx.IdWord = 0x1234567 | OCAN_ID_EXTENDED;
    tx.Len = 3;
    tx.Data[0] = 0xAB;
    ASSERT_EQ(d->Transmit(0, &tx, 1), 1u);
    OCAN_CAN_RX rx;
    ASSERT_EQ(d->Receive(1, &rx, 1, 2000), 1u);
    EXPECT_EQ(rx.IdWord, 0x1234567 | OCAN_ID_EXTENDED);
    EXPECT_EQ(rx.Len, 3);
    EXPECT_EQ(rx.Data[0], 0xAB);
    EXPECT_EQ(reg.close(d), 1u);
    EXPECT_FALSE(classicAdapter()->isOpen());
}

// Receive waits on the classic path: 0xFFFFFFFF counts as 0 (one read, at
// once), a time waits that long for a first frame, a frame that comes ends
// the wait early.
TEST_F(KemClassicDevice, ClassicReceiveWaits)
{
    openClassic();
    struct Case {
        int32_t waitMs;
        int minMs, maxMs;
    } cases[] = {{0, 0, 1000}, {-1, 0, 1000}, {250, 230, 1500}}; // at once: well under a second
    for (const Case &c : cases) {
        KCAN_CAN_OBJ buf[4];
        const auto t0 = std::chrono::steady_clock::now();
        EXPECT_EQ(KCAN_Receive(kUsbCan, 0, 1, buf, 4, c.waitMs), 0u);
        const auto ms =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
        EXPECT_GE(ms, c.minMs) << c.waitMs;
        EXPECT_LE(ms, c.maxMs) << c.waitMs;
    }
    std::thread later([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        KCAN_CAN_OBJ f = frame(0x42);
        KCAN_Transmit(kUsbCan, 0, 0, &f, 1);
    });
    KCAN_CAN_OBJ buf[4];
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(KCAN_Receive(kUsbCan, 0, 1, buf, 4, 5000), 1u);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(2500));
    EXPECT_EQ(buf[0].ID, 0x42u);
    later.join();
}

// A call run on a thread of its own, for the steps of a test that moves the
// clock (kemtest::DriverTicks) while the call waits. Should a step fail and
// leave the test with the call still waiting, the clock is moved on until the
// call ends: nobody else moves it, and the wait would hold the test for ever.
template<class T>
class OwnThreadCall
{
public:
    OwnThreadCall(std::future<T> f, kemtest::DriverTicks *clock) : f_(std::move(f)), clock_(clock) {}
    OwnThreadCall(OwnThreadCall &&) = default;
    ~OwnThreadCall()
    {
        if (!f_.valid())
            return;
        while (f_.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready)
            clock_->sleepMs(1000);
    }
    // Ended within the give-up time.
    bool returned() { return f_.wait_for(std::chrono::milliseconds(testsupport::kGiveUpMs)) == std::future_status::ready; }
    // Waits until the call has read the clock twice since now: a call sent
    // or waiting then has its start time, so moving the clock counts against
    // its wait. A call that reads its start after sending and is preempted
    // between the two would otherwise wait from the moved time, on a clock
    // nobody moves again. False when it never read the clock (it ended, or
    // hangs elsewhere).
    bool hasTakenItsTime()
    {
        const uint64_t seen = clock_->watchedReads();
        return testsupport::waitUntilReal([&] {
            return clock_->watchedReads() >= seen + 2 || f_.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
        });
    }
    T get() { return f_.get(); }

private:
    std::future<T> f_;
    kemtest::DriverTicks *clock_;
};

template<class F>
auto onItsOwnThread(const std::shared_ptr<kemtest::DriverTicks> &clock, F f)
{
    kemtest::DriverTicks *c = clock.get();
    return OwnThreadCall<decltype(f())>(std::async(std::launch::async,
                                                   [c, f] {
                                                       c->watchThisThread();
                                                       return f();
                                                   }),
                                        c);
}
template<class T>
bool returned(OwnThreadCall<T> &call)
{
    return call.returned();
}

// Replies carry no sequence number: a query that timed out may still be
// answered, and that late answer must not be taken for the answer to the
// next query of the same command. On a clock only the test moves: the
// timing query's answer is held back 250 ms (its wait is 200 ms) and the
// clock moved to the end of the wait. Once the query has failed, the channel
// is re-initialised with another timing and asked again, that answer taking
// 100 ms. The late answer (old timing) comes 50 ms after the failure, within
// the second query's wait had that gone out at once; it must still report
// the new timing.
TEST_F(KemClassicDevice, LateReplyOfATimedOutQueryIsNotTheNextAnswer)
{
    openClassic(); // channel 0 at 0x00/0x1C
    auto delayReplies = [&](uint32_t ms) {
        std::lock_guard<std::recursive_mutex> g(World::instance().lock());
        classicAdapter()->inFaults(0x81).delayMs = ms;
    };
    const kemusb::classic::Bytes timingQuery = kemusb::classic::cmdBusTimingGet(0);
    auto commands = [&] { return kemtest::outOn(classicAdapter(), 0x01).size(); };
    auto timingQueries = [&] {
        size_t n = 0;
        for (const auto &o : kemtest::outOn(classicAdapter(), 0x01))
            n += o.data == timingQuery;
        return n;
    };
    classicAdapter()->clearOutLog();
    auto clock = std::make_shared<kemtest::DriverTicks>();
    plat::ScopedTickSource scope(clock);

    uint8_t t0 = 0xEE, t1 = 0xEE;
    delayReplies(250);
    auto first = onItsOwnThread(clock, [&] { return KCAN_DevBaudParaGet(kUsbCan, 0, 0, &t0, &t1); });
    // Asked, and its answer held back: then the wait runs out.
    ASSERT_TRUE(testsupport::waitUntilReal(
        [&] { return timingQueries() == 1 && classicAdapter()->pendingTransfers(0x81) == 1; }));
    ASSERT_TRUE(first.hasTakenItsTime());
    clock->sleepMs(200);
    ASSERT_TRUE(returned(first));
    EXPECT_EQ(first.get(), 0u) << "its answer is 250 ms away";
    delayReplies(0);

    const size_t before = commands();
    uint32_t initialised = 99, asked = 99;
    auto next = onItsOwnThread(clock, [&] {
        const KCAN_INIT_CONFIG c = initConfig(0x03, 0x1C);
        initialised = KCAN_InitCAN(kUsbCan, 0, 0, &c);
        delayReplies(100);
        asked = KCAN_DevBaudParaGet(kUsbCan, 0, 0, &t0, &t1);
    });
    // While the late answer may still come (the clock stands still), the
    // next command waits for it rather than going out: had it gone out,
    // the second query would have followed at once and been asked here.
    if (testsupport::waitUntilReal([&] { return timingQueries() == 2; }, 300))
        ADD_FAILURE() << "the next commands went out while the late answer was still owed";
    EXPECT_EQ(commands(), before);
    // The late answer arrives; then the second query is asked, and its own
    // answer comes 100 ms later.
    clock->sleepMs(50);
    ASSERT_TRUE(testsupport::waitUntilReal([&] { return timingQueries() == 2; }));
    clock->sleepMs(100);
    ASSERT_TRUE(returned(next));
    delayReplies(0);
    EXPECT_EQ(initialised, 1u);
    EXPECT_EQ(asked, 1u);
    EXPECT_EQ(t0, 0x03) << "the answer of the query that timed out";
    EXPECT_EQ(t1, 0x1C);

    // Later queries get their own answers.
    const KCAN_INIT_CONFIG d = initConfig(0x01, 0x1C);
    auto later = onItsOwnThread(clock, [&] {
        return KCAN_InitCAN(kUsbCan, 0, 0, &d) == 1 && KCAN_DevBaudParaGet(kUsbCan, 0, 0, &t0, &t1) == 1;
    });
    ASSERT_TRUE(returned(later)) << "waited for time that does not pass";
    EXPECT_TRUE(later.get());
    EXPECT_EQ(t0, 0x01);
}

// A query whose answer never comes costs the next exchange one more reply
// time, and only once: the exchanges after it answer at once. On a clock
// only the test moves: the next exchange goes out exactly when the owed
// answer's time is over, the ones after it without the clock moving at all.
TEST_F(KemClassicDevice, QueryThatIsNeverAnsweredDelaysOnlyTheNextExchange)
{
    openClassic();
    const kemusb::classic::Bytes timingQuery = kemusb::classic::cmdBusTimingGet(0);
    auto timingQueries = [&] {
        size_t n = 0;
        for (const auto &o : kemtest::outOn(classicAdapter(), 0x01))
            n += o.data == timingQuery;
        return n;
    };
    classicAdapter()->clearOutLog();
    {
        std::lock_guard<std::recursive_mutex> g(World::instance().lock());
        classicAdapter()->inFaults(0x81).dropNext = 1;
    }
    auto clock = std::make_shared<kemtest::DriverTicks>();
    plat::ScopedTickSource scope(clock);
    uint8_t t0 = 0, t1 = 0;
    auto first = onItsOwnThread(clock, [&] { return KCAN_DevBaudParaGet(kUsbCan, 0, 0, &t0, &t1); });
    ASSERT_TRUE(testsupport::waitUntilReal([&] {
        std::lock_guard<std::recursive_mutex> g(World::instance().lock());
        return timingQueries() == 1 && classicAdapter()->inFaults(0x81).dropNext == 0;
    }));
    ASSERT_TRUE(first.hasTakenItsTime());
    clock->sleepMs(200);
    ASSERT_TRUE(returned(first));
    EXPECT_EQ(first.get(), 0u);

    // The next one waits out the owed answer's time (200 ms more)...
    auto next = onItsOwnThread(clock, [&] { return KCAN_DevBaudParaGet(kUsbCan, 0, 0, &t0, &t1); });
    if (testsupport::waitUntilReal([&] { return timingQueries() == 2; }, 300))
        ADD_FAILURE() << "went out at once";
    ASSERT_TRUE(next.hasTakenItsTime());
    clock->sleepMs(199);
    if (testsupport::waitUntilReal([&] { return timingQueries() == 2; }, 300))
        ADD_FAILURE() << "went out before the owed answer's time was over";
    // ...and not a millisecond more.
    clock->sleepMs(1);
    ASSERT_TRUE(returned(next)) << "still waiting after the owed answer's time";
    EXPECT_EQ(next.get(), 1u);
    // The ones after it do not wait at all: the clock stands still now.
    for (int i = 0; i < 3; ++i) {
        auto again = onItsOwnThread(clock, [&] { return KCAN_DevBaudParaGet(kUsbCan, 0, 0, &t0, &t1); });
        ASSERT_TRUE(returned(again)) << i << ": waited for time";
        EXPECT_EQ(again.get(), 1u) << i;
    }
    EXPECT_EQ(t0, 0x00);
    EXPECT_EQ(t1, 0x1C);
}
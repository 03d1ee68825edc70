// The CAN FD and recording adapters through the KCAN_ and OCAN_ functions,
// on simulated adapters.

#include "kemusb/include/kcan_api.h"
#include "kemusb/src/devices/KcanHandleRegistry.h"
#include "kemusb/src/devices/OcanDeviceRegistry.h"
#include "kemusb/src/devices/QDeviceUsbCanFd2.h"
#include "kemusb/src/protocol/KemFdProtocol.h"
#include "kemusb/src/sim/KemSimAdapters.h"
#include "kemusb/src/sim/KemSimFrames.h"
#include "kemusb/src/sim/KemSimModels.h"
#include "platform/PlatSim.h"
#include "platform/PlatTicks.h"
#include "tests/kemusb/KemTestUtil.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

extern "C" {
void *OCAN_OpenDevice(uint32_t type, uint32_t index, uint32_t reserved);
uint32_t OCAN_CloseDevice(void *dev);
uint32_t OCAN_SetValue(void *dev, const char *path, const char *value);
struct OCAN_DEV_PROPERTY {
    uint32_t (*SetValue)(const char *path, const char *value);
    const void *(*GetValue)(const char *path);
    const void *(*GetPropertys)();
};
OCAN_DEV_PROPERTY *GetDevProperty(void *dev);
uint32_t ReleaseDevProperty(OCAN_DEV_PROPERTY *p);
}

using plat::sim::World;

namespace {

constexpr uint32_t kTrna701 = 65; // 4 channels, 60 MHz
constexpr uint32_t kTrnb701 = 64;
constexpr uint32_t kTrna702 = 66; // 8 channels, 80 MHz
constexpr uint32_t kTrnd701 = 61;

struct Usb {
    uint16_t vid, pid;
};
Usb usbOf(uint32_t type)
{
    switch (type) {
    case 64:
        return {0x0471, 0x7A42};
    case 65:
        return {0x0471, 0x7A41};
    case 66:
        return {0x0471, 0x7A43};
    case 67:
        return {0x0471, 0x7A44};
    case 61:
        return {0x0471, 0x7B51};
    case 62:
        return {0x0471, 0x7B52};
    default:
        return {0x5E2D, 0x0009};
    }
}

KCAN_INITFD_CONFIG fdConfig(uint32_t arb, uint32_t data, bool fd = true)
{
    KCAN_INITFD_CONFIG c;
    std::memset(&c, 0, sizeof c);
    c.ArbBaud = arb;
    c.DataBaud = data;
    c.FdEnable = fd ? 1 : 0;
    c.Standard = 1;
    return c;
}

KCAN_CANFD_OBJ fdFrame(uint32_t id, uint8_t len, bool ext = false, uint8_t flags = KCAN_FD_FLAG_BRS)
{
    KCAN_CANFD_OBJ f;
    std::memset(&f, 0, sizeof f);
    f.ID = id;
    f.DataLen = len;
    f.ExternFlag = ext;
    f.FdFlag = flags;
    for (int i = 0; i < 64; ++i)
        f.Data[i] = uint8_t(id + i);
    return f;
}

class KemFdDevice : public ::testing::Test
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
        kemusb::KcanHandleRegistry::instance().clear();
        kemusb::OcanDeviceRegistry::instance().closeAll();
        World::instance().reset();
        plat::setUsbBackend(prev_);
    }

    plat::sim::Adapter *adapter(uint32_t type, int index = 0)
    {
        const Usb u = usbOf(type);
        return World::instance().adapter(u.vid, u.pid, index);
    }
    kemusb::sim::SimCanFdModel *fdModel(uint32_t type, int index = 0)
    {
        return adapter(type, index)->modelAs<kemusb::sim::SimCanFdModel>();
    }
    std::vector<plat::sim::OutRecord> outOn(uint32_t type, uint8_t ep) { return kemtest::outOn(adapter(type), ep); }
    // Open and start two channels at 500 kbit/s and 2 Mbit/s.
    void openTwo(uint32_t type, uint32_t a, uint32_t b)
    {
        ASSERT_EQ(KCAN_OpenDevice(type, 0), 1u);
        const KCAN_INITFD_CONFIG c = fdConfig(500000, 2000000);
        ASSERT_EQ(KCAN_InitCANFD(type, 0, a, &c), 1u);
        ASSERT_EQ(KCAN_InitCANFD(type, 0, b, &c), 1u);
    }
    std::vector<KCAN_CANFD_OBJ> receiveFd(uint32_t type, uint32_t ch, size_t want, int32_t waitMs = 2000)
    {
        return kemtest::collect<KCAN_CANFD_OBJ>(
            want, waitMs, [&](KCAN_CANFD_OBJ *buf, uint32_t room) { return KCAN_ReceiveFD(type, 0, ch, buf, room, 50); });
    }

    std::shared_ptr<plat::UsbBackend> prev_;
};

} // namespace

// Two channels of one adapter: frames sent on one arrive on the other, in
// both firmware acknowledgement modes.
TEST_F(KemFdDevice, SendOnOneChannelReceiveOnAnother)
{
    struct Case {
        uint32_t type;
        uint16_t firmware;
        uint32_t from, to;
    } cases[] = {
        {kTrna701, 0x0117, 0, 1}, // each packet acknowledged on 0x82
        {kTrna701, 0x0210, 1, 3}, // no acknowledgement
        {kTrna702, 0x0200, 6, 7},
        {41, 0x0117, 1, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.type);
        fdModel(c.type)->setFirmware(c.firmware);
        openTwo(c.type, c.from, c.to);
        adapter(c.type)->clearOutLog();
        std::vector<KCAN_CANFD_OBJ> tx;
        for (uint32_t i = 0; i < 25; ++i)
            tx.push_back(fdFrame(0x100 + i, uint8_t(i % 2 ? 64 : 12), i % 3 == 0,
                                 uint8_t(i % 2 ? KCAN_FD_FLAG_BRS : KCAN_FD_FLAG_BRS | KCAN_FD_FLAG_ESI)));
        EXPECT_EQ(KCAN_TransmitFD(c.type, 0, c.from, tx.data(), 25), 25u);
        // 25 frames travel in packets of 10, 10 and 5.
        const auto pkts = outOn(c.type, 0x02);
        ASSERT_EQ(pkts.size(), 3u);
        EXPECT_EQ(pkts[0].data[6], 10);
        EXPECT_EQ(pkts[1].data[6], 10);
        EXPECT_EQ(pkts[2].data[6], 5);
        EXPECT_EQ(pkts[2].data.size(), 7u + 5 * 75);

        const auto rx = receiveFd(c.type, c.to, 25);
        ASSERT_EQ(rx.size(), 25u);
        for (uint32_t i = 0; i < 25; ++i) {
            EXPECT_EQ(rx[i].ID, 0x100 + i);
            EXPECT_EQ(rx[i].ExternFlag, i % 3 == 0 ? 1 : 0);
            EXPECT_EQ(rx[i].DataLen, i % 2 ? 64 : 12);
            EXPECT_EQ(rx[i].FdFlag, i % 2 ? KCAN_FD_FLAG_BRS : KCAN_FD_FLAG_BRS | KCAN_FD_FLAG_ESI);
            EXPECT_EQ(std::memcmp(rx[i].Data, tx[i].Data, rx[i].DataLen), 0);
        }
        // A classic remote frame with a 29-bit identifier.
        KCAN_CAN_OBJ cf;
        std::memset(&cf, 0, sizeof cf);
        cf.ID = 0x18DAF110;
        cf.ExternFlag = 1;
        cf.RemoteFlag = 1;
        cf.DataLen = 4;
        EXPECT_EQ(KCAN_Transmit(c.type, 0, c.from, &cf, 1), 1u);
        KCAN_CAN_OBJ got;
        std::memset(&got, 0xAB, sizeof got);
        ASSERT_EQ(KCAN_Receive(c.type, 0, c.to, &got, 1, 2000), 1u);
        EXPECT_EQ(got.ID, 0x18DAF110u);
        EXPECT_EQ(got.ExternFlag, 1);
        EXPECT_EQ(got.RemoteFlag, 1);
        EXPECT_EQ(got.DataLen, 0);
        EXPECT_EQ(got.SendType, 0);
        EXPECT_EQ(got.TimeFlag, 0xAB) << "the time flag is not written";
        EXPECT_EQ(KCAN_GetReceiveNum(c.type, 0, c.to, 2), 0u);
        EXPECT_EQ(KCAN_Stop(c.type, 0, c.from), 1u);
        EXPECT_EQ(KCAN_CloseDevice(c.type, 0), 1u);
        EXPECT_FALSE(adapter(c.type)->isOpen());
    }
}

TEST_F(KemFdDevice, MissingAcknowledgementOrFailedWriteEndsTheTransmit)
{
    fdModel(kTrna701)->setFirmware(0x0117);
    openTwo(kTrna701, 0, 1);
    std::vector<KCAN_CANFD_OBJ> tx(25, fdFrame(0x10, 8));
    EXPECT_EQ(KCAN_TransmitFD(kTrna701, 0, 0, tx.data(), 25), 25u);
    {
        std::lock_guard<std::recursive_mutex> g(World::instance().lock());
        adapter(kTrna701)->inFaults(0x82).dropNext = 1;
    }
    EXPECT_EQ(KCAN_TransmitFD(kTrna701, 0, 0, tx.data(), 25), 0u) << "the first batch was not acknowledged";
    adapter(kTrna701)->failWrites(1);
    EXPECT_EQ(KCAN_TransmitFD(kTrna701, 0, 0, tx.data(), 25), 0u);
    EXPECT_EQ(KCAN_TransmitFD(kTrna701, 0, 0, tx.data(), 25), 25u);
    EXPECT_EQ(KCAN_TransmitFD(kTrna701, 0, 0, tx.data(), 0), 0u);
}

// Every channel of the 4- and 8-channel adapters takes its rate and filter
// settings; the 80 MHz adapters get timing worked out for 80 MHz.
TEST_F(KemFdDevice, ChannelsPastOneTakeRatesAndFiltersAtTheAdaptersClock)
{
    for (uint32_t type : {kTrnb701, kTrna702}) {
        SCOPED_TRACE(type);
        const int last = type == kTrna702 ? 7 : 3;
        ASSERT_EQ(KCAN_OpenDevice(type, 0), 1u);
        const KCAN_INITFD_CONFIG c = fdConfig(500000, 2000000);
        ASSERT_EQ(KCAN_InitCANFD(type, 0, 2, &c), 1u);
        ASSERT_EQ(KCAN_InitCANFD(type, 0, last, &c), 1u);
        const KCAN_INITFD_CONFIG c2 = fdConfig(250000, 1000000);
        ASSERT_EQ(KCAN_InitCANFD(type, 0, 1, &c2), 1u);
        {
            std::lock_guard<std::recursive_mutex> g(World::instance().lock());
            for (int ch : {2, last}) {
                EXPECT_EQ(adapter(type)->channel(ch).nominalRate(), 500000u) << ch;
                EXPECT_EQ(adapter(type)->channel(ch).dataRate(), 2000000u) << ch;
            }
            EXPECT_EQ(adapter(type)->channel(1).nominalRate(), 250000u);
            EXPECT_EQ(adapter(type)->channel(1).dataRate(), 1000000u);
        }
        // A filter on the last channel: only 0x100-0x1FF standard frames.
        KCAN_FLITER_CONFIG f;
        std::memset(&f, 0, sizeof f);
        f.Kind = KCAN_FLITER_CLEAR;
        EXPECT_EQ(KCAN_SetFliter(type, 0, last, &f), 1u);
        f.Kind = KCAN_FLITER_ADD;
        f.Mode = 0;
        f.Start = 0x100;
        f.End = 0x1FF;
        EXPECT_EQ(KCAN_SetFliter(type, 0, last, &f), 1u);
        f.Kind = KCAN_FLITER_ACK;
        EXPECT_EQ(KCAN_SetFliter(type, 0, last, &f), 1u);
        {
            std::lock_guard<std::recursive_mutex> g(World::instance().lock());
            const auto &active = fdModel(type)->activeFilter(last);
            ASSERT_EQ(active.size(), 1u);
            EXPECT_EQ(active[0].kind, 2);
            EXPECT_EQ(active[0].start, 0x100u);
            EXPECT_EQ(active[0].end, 0x1FFu);
        }
        KCAN_CANFD_OBJ tx[3] = {fdFrame(0x080, 8), fdFrame(0x150, 8), fdFrame(0x250, 8)};
        EXPECT_EQ(KCAN_TransmitFD(type, 0, 2, tx, 3), 3u);
        const auto rx = receiveFd(type, last, 2, 500);
        ASSERT_EQ(rx.size(), 1u);
        EXPECT_EQ(rx[0].ID, 0x150u);
        EXPECT_EQ(KCAN_CloseDevice(type, 0), 1u);
    }
}

TEST_F(KemFdDevice, SettingsRefusedForUnknownKeysChannelsAndRates)
{
    void *dev = OCAN_OpenDevice(kTrnb701, 0, 0);
    ASSERT_NE(dev, nullptr);
    struct Case {
        const char *path;
        const char *value;
        uint32_t result;
    } cases[] = {
        {"3/canfd_abit_baud_rate", "500000", 1},
        {"3/canfd_abit_baud_rate", "333333", 0},
        {"3/canfd_dbit_baud_rate", "3000000", 0},
        {"4/canfd_abit_baud_rate", "500000", 0}, // a 4-channel adapter
        {"2/canfd_standard", "1", 1},
        {"2/canfd_bogus", "1", 0},
        {"2/filter_start", "0x100", 0}, // no mode given first
        {"2/filter_mode", "1", 1},
        {"2/filter_start", "0x100", 1},
        {"2/filter_end", "0x1ff", 1},
        {"1/baud_rate_custom", "80M,(0,0001975e,0041020a)", 1},
        {"1/baud_rate_custom", "0001975e", 0},
    };
    for (const Case &c : cases)
        EXPECT_EQ(OCAN_SetValue(dev, c.path, c.value), c.result) << c.path << " = " << c.value;
    // The asked rate of 333333 makes the channel's initialisation fail.
    ASSERT_EQ(KCAN_OpenDevice(kTrnb701, 0), 1u);
    const KCAN_INITFD_CONFIG bad = fdConfig(333333, 2000000);
    EXPECT_EQ(KCAN_InitCANFD(kTrnb701, 0, 0, &bad), 0u);
    EXPECT_EQ(OCAN_CloseDevice(dev), 1u);
    EXPECT_EQ(OCAN_CloseDevice(dev), 0u) << "a closed handle is not followed";
}

// What KCAN_InitCANFD writes and sends, by its record.
TEST_F(KemFdDevice, InitialisationRecordChoosesRatesOrTimingWords)
{
    ASSERT_EQ(KCAN_OpenDevice(kTrna701, 0), 1u);
    // FD off with an arbitration rate: both phases at that rate.
    const KCAN_INITFD_CONFIG classic = fdConfig(500000, 0, false);
    ASSERT_EQ(KCAN_InitCANFD(kTrna701, 0, 0, &classic), 1u);
    {
        std::lock_guard<std::recursive_mutex> g(World::instance().lock());
        EXPECT_EQ(adapter(kTrna701)->channel(0).nominalRate(), 500000u);
        EXPECT_EQ(adapter(kTrna701)->channel(0).dataRate(), 500000u);
    }
    // Both rates 0: the two timing words of the record go out unchanged.
    adapter(kTrna701)->clearOutLog();
    KCAN_INITFD_CONFIG words = fdConfig(0, 0);
    words.ArbTiming = 0x0041AFBE; // 125 kbit/s at 60 MHz
    words.DataTiming = 0x0081830E; // 1 Mbit/s
    words.Mode = 0;
    ASSERT_EQ(KCAN_InitCANFD(kTrna701, 0, 1, &words), 1u);
    const auto cmds = outOn(kTrna701, 0x01);
    ASSERT_GE(cmds.size(), 2u);
    const auto &init = cmds[cmds.size() - 2].data; // standard write sends nothing; init then start
    ASSERT_EQ(init.size(), 24u);
    EXPECT_EQ(init[1], 0x03);
    EXPECT_EQ(init[2], 1);
    EXPECT_EQ(init[6], 60);
    EXPECT_EQ(init[8] | init[9] << 8, 1); // prescaler - 1 of 0x0041AFBE
    {
        std::lock_guard<std::recursive_mutex> g(World::instance().lock());
        EXPECT_EQ(adapter(kTrna701)->channel(1).nominalRate(), 125000u);
        EXPECT_EQ(adapter(kTrna701)->channel(1).dataRate(), 1000000u);
    }
}

TEST_F(KemFdDevice, AnswersWithoutAChannelOrForOtherGroups)
{
    ASSERT_EQ(KCAN_OpenDevice(kTrna701, 0), 1u);
    EXPECT_EQ(KCAN_Start(kTrna701, 0, 2), 1u) << "never initialised";
    EXPECT_EQ(KCAN_Stop(kTrna701, 0, 2), 1u);
    EXPECT_EQ(KCAN_ClearBuffer(kTrna701, 0, 2), 0u);
    uint8_t info[16] = {};
    EXPECT_EQ(KCAN_BoardInfoGet(kTrna701, 0, info), 0u);
    KCAN_FLITER_CONFIG f;
    std::memset(&f, 0, sizeof f);
    f.Kind = 7;
    adapter(kTrna701)->clearOutLog();
    EXPECT_EQ(KCAN_SetFliter(kTrna701, 0, 0, &f), 1u);
    EXPECT_TRUE(adapter(kTrna701)->outLog().empty());
    EXPECT_EQ(KCAN_SetFliter(kTrna701, 1, 0, &f), 0u) << "no device";
    EXPECT_EQ(KCAN_GetReceiveNum(3, 0, 0, 1), 0u);
    EXPECT_EQ(KCAN_OpenDevice(5, 0), 0u);
    EXPECT_EQ(KCAN_CloseDevice(kTrna701, 1), 0u);
    EXPECT_EQ(OCAN_OpenDevice(kTrna701, 16, 0), nullptr);

    // A receive of count 0 returns at once, whatever the wait.
    const KCAN_INITFD_CONFIG c = fdConfig(500000, 2000000);
    ASSERT_EQ(KCAN_InitCANFD(kTrna701, 0, 0, &c), 1u);
    KCAN_CANFD_OBJ buf[1];
    KCAN_CAN_OBJ cbuf[1];
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(KCAN_ReceiveFD(kTrna701, 0, 0, buf, 0, -1), 0u);
    EXPECT_EQ(KCAN_Receive(kTrna701, 0, 0, cbuf, 0, -1), 0u);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(1));
    // A wait that runs out returns nothing after about its time.
    const auto t1 = std::chrono::steady_clock::now();
    EXPECT_EQ(KCAN_ReceiveFD(kTrna701, 0, 0, buf, 1, 100), 0u);
    EXPECT_GE(std::chrono::steady_clock::now() - t1, std::chrono::milliseconds(90));

    void *dev = OCAN_OpenDevice(kTrna701, 0, 0);
    OCAN_DEV_PROPERTY *p = GetDevProperty(dev);
    ASSERT_NE(p, nullptr);
    // The property functions reach the CAN FD adapter of that index.
    EXPECT_EQ(p->SetValue("3/canfd_abit_baud_rate", "333333"), 0u);
    EXPECT_EQ(p->SetValue("3/canfd_abit_baud_rate", "250000"), 1u);
    EXPECT_EQ(p->GetValue("3/canfd_abit_baud_rate"), nullptr);
    EXPECT_NE(std::strstr(static_cast<const char *>(p->GetPropertys()), "/info/device"), nullptr);
    uint32_t arb = 0, data = 0;
    auto *fd = dynamic_cast<kemusb::QDeviceUsbCanFd2 *>(static_cast<kemusb::QDevice *>(dev));
    ASSERT_NE(fd, nullptr);
    ASSERT_TRUE(fd->customTiming(3, &arb, &data));
    EXPECT_EQ(arb, 0x0001AFBEu);
    EXPECT_EQ(ReleaseDevProperty(p), 1u);
    ASSERT_EQ(KCAN_OpenDevice(kTrnd701, 0), 1u);
    EXPECT_EQ(GetDevProperty(OCAN_OpenDevice(kTrnd701, 0, 0)), nullptr) << "recording adapters have none";
}

// Replies shorter than what is read from them are refused.
TEST_F(KemFdDevice, ShortRepliesAreRefused)
{
    {
        std::lock_guard<std::recursive_mutex> g(World::instance().lock());
        adapter(kTrna701)->inFaults(0x81).truncateNextTo = 5; // the hardware version
    }
    EXPECT_EQ(KCAN_OpenDevice(kTrna701, 0), 0u);
    EXPECT_FALSE(adapter(kTrna701)->isOpen());
    EXPECT_EQ(KCAN_OpenDevice(kTrna701, 0), 1u);

    ASSERT_EQ(KCAN_OpenDevice(kTrnd701, 0), 1u);
    uint8_t setting[21];
    std::memset(setting, 0x5A, sizeof setting);
    {
        std::lock_guard<std::recursive_mutex> g(World::instance().lock());
        adapter(kTrnd701)->inFaults(0x81).truncateNextTo = 25;
    }
    EXPECT_EQ(KCAN_RecordSettingGet(kTrnd701, 0, 0, setting), 0u);
    EXPECT_EQ(setting[20], 0x5A) << "a refused reply leaves the record as it was";
    EXPECT_EQ(KCAN_RecordSettingGet(kTrnd701, 0, 0, setting), 1u);
}

// A false header in the stream, and a length the buffer cannot hold, cost a
// byte each; reception goes on.
TEST_F(KemFdDevice, StreamRecoversFromFalseHeaders)
{
    openTwo(kTrna701, 0, 1);
    plat::sim::Bytes junk = {0x55, 0xF2, 0, 0, 0xFF, 0x7F, 1, 0x55, 0xF2, 0, 0, 19, 0, 1, 0x10, 0x01};
    junk.resize(200, 0x00);
    adapter(kTrna701)->push(0x83, junk);
    KCAN_CANFD_OBJ tx = fdFrame(0x321, 16);
    EXPECT_EQ(KCAN_TransmitFD(kTrna701, 0, 0, &tx, 1), 1u);
    const auto rx = receiveFd(kTrna701, 1, 1);
    ASSERT_EQ(rx.size(), 1u);
    EXPECT_EQ(rx[0].ID, 0x321u);
}

// A packet the firmware padded to a whole number of USB packets: its frames
// all reach their channels, and reception goes on after it.
TEST_F(KemFdDevice, PaddedStreamPacketsDeliverTheirFrames)
{
    openTwo(kTrna701, 0, 1);
    kemusb::fd::StreamFrame fs[2] = {};
    fs[0].channel = 1;
    fs[0].fd = true;
    fs[0].brs = true;
    fs[0].id = 0x4AB;
    fs[0].Len = 48;
    fs[1].channel = 1;
    fs[1].id = 0x4AC;
    fs[1].Len = 3;
    fs[1].Data[2] = 0x77;
    kemusb::fd::Bytes pkt = kemusb::fd::streamPacket(fs, 2);
    pkt.resize(128, 0x00); // 7 + 75 + 19 bytes of packet, padded to 128
    pkt[4] = uint8_t(128 - 7);
    pkt[5] = 0;
    adapter(kTrna701)->push(0x83, pkt);
    const auto rx = receiveFd(kTrna701, 1, 1);
    ASSERT_EQ(rx.size(), 1u);
    EXPECT_EQ(rx[0].ID, 0x4ABu);
    EXPECT_EQ(rx[0].DataLen, 48);
    KCAN_CAN_OBJ c;
    ASSERT_EQ(KCAN_Receive(kTrna701, 0, 1, &c, 1, 1000), 1u);
    EXPECT_EQ(c.ID, 0x4ACu);
    EXPECT_EQ(c.Data[2], 0x77);
    KCAN_CANFD_OBJ tx = fdFrame(0x5CD, 8);
    EXPECT_EQ(KCAN_TransmitFD(kTrna701, 0, 0, &tx, 1), 1u);
    const auto more = receiveFd(kTrna701, 1, 1);
    ASSERT_EQ(more.size(), 1u);
    EXPECT_EQ(more[0].ID, 0x5CDu);
}

// Two CAN FD models opened with the same index are two devices; both close.
// A recording adapter index of 2 or more is refused.
TEST_F(KemFdDevice, SlotsAreKeyedByTypeAndIndex)
{
    ASSERT_EQ(KCAN_OpenDevice(kTrna701, 0), 1u);
    ASSERT_EQ(KCAN_OpenDevice(kTrna702, 0), 1u);
    EXPECT_TRUE(adapter(kTrna701)->isOpen());
    EXPECT_TRUE(adapter(kTrna702)->isOpen());
    EXPECT_EQ(KCAN_CloseDevice(kTrna701, 0), 1u);
    EXPECT_EQ(KCAN_CloseDevice(kTrna702, 0), 1u);
    EXPECT_FALSE(adapter(kTrna701)->isOpen());
    EXPECT_FALSE(adapter(kTrna702)->isOpen());

    for (int i = 0; i < 3; ++i)
        World::instance().addAdapter("TRND701");
    EXPECT_EQ(KCAN_OpenDevice(kTrnd701, 1), 1u);
    EXPECT_EQ(KCAN_OpenDevice(kTrnd701, 2), 0u);
    EXPECT_EQ(OCAN_OpenDevice(kTrnd701, 2, 0), nullptr);
    EXPECT_FALSE(adapter(kTrnd701, 2)->isOpen());
    // Opening an open (type, index) again gives the same device, not the
    // next adapter.
    void *a = OCAN_OpenDevice(kTrnd701, 1, 0);
    EXPECT_EQ(OCAN_OpenDevice(kTrnd701, 1, 0), a);
    EXPECT_FALSE(adapter(kTrnd701, 2)->isOpen());
}

// Property records of two CAN FD models open under the same index each
// reach their own adapter, and neither reaches the other once its own
// adapter has closed.
TEST_F(KemFdDevice, PropertyRecordsAreKeyedByTypeAndIndex)
{
    void *a = OCAN_OpenDevice(kTrna701, 0, 0); // 4 channels
    void *b = OCAN_OpenDevice(kTrna702, 0, 0); // 8 channels, 80 MHz
    ASSERT_TRUE(a && b);
    OCAN_DEV_PROPERTY *pa = GetDevProperty(a);
    OCAN_DEV_PROPERTY *pb = GetDevProperty(b);
    ASSERT_TRUE(pa && pb);
    auto *fa = dynamic_cast<kemusb::QDeviceUsbCanFd2 *>(static_cast<kemusb::QDevice *>(a));
    auto *fb = dynamic_cast<kemusb::QDeviceUsbCanFd2 *>(static_cast<kemusb::QDevice *>(b));
    ASSERT_TRUE(fa && fb);
    uint32_t arb = 0, data = 0;
    // Channel 5 exists on the TRNA702 only.
    EXPECT_EQ(pb->SetValue("5/canfd_abit_baud_rate", "250000"), 1u);
    ASSERT_TRUE(fb->customTiming(5, &arb, &data));
    EXPECT_EQ(pa->SetValue("5/canfd_abit_baud_rate", "250000"), 0u);
    // Channel 1 of each: each record reaches its own adapter only.
    EXPECT_EQ(pb->SetValue("1/canfd_abit_baud_rate", "1000000"), 1u);
    EXPECT_TRUE(fb->customTiming(1, &arb, &data));
    EXPECT_FALSE(fa->customTiming(1, &arb, &data));
    EXPECT_EQ(pa->SetValue("1/canfd_abit_baud_rate", "125000"), 1u);
    ASSERT_TRUE(fa->customTiming(1, &arb, &data));
    EXPECT_EQ(arb, 0x0041AFBEu) << "the 60 MHz word";
    EXPECT_EQ(OCAN_CloseDevice(b), 1u);
    EXPECT_EQ(pb->SetValue("1/canfd_abit_baud_rate", "500000"), 0u) << "its slot is empty";
    EXPECT_EQ(pb->GetValue("1/canfd_abit_baud_rate"), nullptr);
    ASSERT_TRUE(fa->customTiming(1, &arb, &data));
    EXPECT_EQ(arb, 0x0041AFBEu) << "the other model's adapter is not reached";
    EXPECT_EQ(ReleaseDevProperty(pa), 1u);
    EXPECT_EQ(ReleaseDevProperty(pb), 1u);
}

// Look-ups from several threads while another opens, initialises and closes.
TEST_F(KemFdDevice, RegistriesStandConcurrentLookupsAndChanges)
{
    std::atomic<bool> stop{false};
    std::vector<std::thread> readers;
    for (int t = 0; t < 4; ++t) {
        readers.emplace_back([&, t] {
            KCAN_CANFD_OBJ buf[4];
            KCAN_CANFD_OBJ tx = fdFrame(0x10 + t, 8);
            while (!stop) {
                KCAN_GetReceiveNum(kTrna701, 0, t % 2, 2);
                KCAN_ReceiveFD(kTrna701, 0, t % 2, buf, 4, 0);
                KCAN_TransmitFD(kTrna701, 0, t % 2, &tx, 1);
                uint8_t dt[62] = {1, 2, 3};
                KCAN_DataDirectTransfer(kTrna701, 0, dt, 3);
            }
        });
    }
    const KCAN_INITFD_CONFIG c = fdConfig(500000, 2000000);
    for (int i = 0; i < 15; ++i) {
        ASSERT_EQ(KCAN_OpenDevice(kTrna701, 0), 1u);
        EXPECT_EQ(KCAN_InitCANFD(kTrna701, 0, 0, &c), 1u);
        EXPECT_EQ(KCAN_InitCANFD(kTrna701, 0, 1, &c), 1u);
        EXPECT_EQ(KCAN_CloseDevice(kTrna701, 0), 1u);
    }
    stop = true;
    for (auto &r : readers)
        r.join();
    EXPECT_FALSE(adapter(kTrna701)->isOpen());
}

TEST_F(KemFdDevice, RecordingAdapterSettingsFiltersAndBoardInfo)
{
    ASSERT_EQ(KCAN_OpenDevice(kTrnd701, 0), 1u);
    uint8_t board[16];
    std::memset(board, 0xEE, sizeof board);
    ASSERT_EQ(KCAN_BoardInfoGet(kTrnd701, 0, board), 1u);
    EXPECT_EQ(board[0] | board[1] << 8, 0x0102); // little-endian at reply[4]
    EXPECT_EQ(board[2] | board[3] << 8, 0x0305);
    EXPECT_EQ(board[6] | board[7] << 8, 0x0100);
    EXPECT_EQ(board[10], 2);
    EXPECT_EQ(board[4], 0xEE) << "other bytes untouched";

    uint8_t set[21] = {0, 1, 1, 0, 60, 60, 0, 0};
    const uint32_t arb = 0x0001975E, data = 0x0041020A;
    std::memcpy(set + 8, &arb, 4);
    std::memcpy(set + 12, &data, 4);
    set[16] = 1, set[17] = 7, set[18] = 9, set[19] = 1, set[20] = 200;
    EXPECT_EQ(KCAN_RecordSettingSet(kTrnd701, 0, 1, set), 1u);
    uint8_t back[21] = {};
    EXPECT_EQ(KCAN_RecordSettingGet(kTrnd701, 0, 1, back), 1u);
    EXPECT_EQ(std::memcmp(back + 1, set + 1, 5), 0);
    EXPECT_EQ(std::memcmp(back + 8, set + 8, 13), 0);

    adapter(kTrnd701)->clearOutLog();
    EXPECT_EQ(KCAN_RecordSettingSet(kTrnd701, 0, 2, set), 0u);
    EXPECT_TRUE(adapter(kTrnd701)->outLog().empty()) << "channel 2 sends nothing";

    EXPECT_EQ(KCAN_RecordFliterClr(kTrnd701, 0, 1), 1u);
    for (uint32_t i = 0; i < 301; ++i) {
        uint8_t f[14] = {};
        f[2] = 1;
        const uint32_t first = 0x100 + i, last = 0x200 + i;
        std::memcpy(f + 4, &first, 4);
        std::memcpy(f + 8, &last, 4);
        ASSERT_EQ(KCAN_RecordFliterAdd(kTrnd701, 0, 1, f), 1u);
    }
    EXPECT_EQ(KCAN_RecordFliterEnable(kTrnd701, 0, 1), 1u);
    uint8_t info[3] = {};
    EXPECT_EQ(KCAN_RecordFliterInfoGet(kTrnd701, 0, 1, info), 1u);
    EXPECT_EQ(info[0] | info[1] << 8, 301);
    EXPECT_EQ(info[2], 1);
    adapter(kTrnd701)->clearOutLog();
    uint8_t f[14] = {};
    EXPECT_EQ(KCAN_RecordFliterSettingGet(kTrnd701, 0, 1, 300, f), 1u);
    const auto out = adapter(kTrnd701)->outLog();
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].data[4], 0x2C);
    EXPECT_EQ(out[0].data[5], 0x01);
    uint32_t first = 0;
    std::memcpy(&first, f + 4, 4);
    EXPECT_EQ(first, 0x100u + 300);
    EXPECT_EQ(KCAN_RecordFliterDisable(kTrnd701, 0, 1), 1u);
    EXPECT_EQ(KCAN_RecordCmdExecute(kTrnd701, 0, 1, 9, 0, nullptr), 0u);
    EXPECT_EQ(KCAN_RecordSettingSet(kTrna701, 0, 0, set), 0u) << "not a recording adapter";
}

// Direct-transfer frames built and checked by python3-cryptography pass
// through both adapter families and come back enciphered.
TEST_F(KemFdDevice, DirectTransferFramesAgainstPeer)
{
    REQUIRE_PEER_MODULES("cryptography");
    for (uint32_t type : {kTrnd701, kTrna701}) {
        SCOPED_TRACE(type);
        ASSERT_EQ(KCAN_OpenDevice(type, 0), 1u);
        const std::string payload = "0102030405060708090a0b0c0d0e0f1011";
        const auto req = peer::run(peer::script("kemusb_direct.py"), {"request", "7", "33", payload});
        ASSERT_EQ(req.exitCode, 0) << req.output;
        std::string hex = req.output.substr(0, req.output.find_first_of("\r\n"));
        uint8_t buf[62] = {};
        const size_t len = hex.size() / 2;
        for (size_t i = 0; i < len; ++i)
            buf[i] = uint8_t(std::stoi(hex.substr(2 * i, 2), nullptr, 16));
        const uint32_t n = KCAN_DataDirectTransfer(type, 0, buf, int32_t(len));
        ASSERT_GT(n, 0u);
        ASSERT_LE(n, 62u);
        static const char *d = "0123456789abcdef";
        std::string reply;
        for (uint32_t i = 0; i < n; ++i) {
            reply += d[buf[i] >> 4];
            reply += d[buf[i] & 15];
        }
        const auto chk = peer::run(peer::script("kemusb_direct.py"), {"check", reply, "7", "33", payload});
        EXPECT_EQ(chk.exitCode, 0) << chk.output;
        EXPECT_NE(chk.output.find("ok"), std::string::npos) << chk.output;
    }
}

// The simulator's own cipher and frames against the peer.
TEST(KemSimCipher, FramesAndBlocksMatchPeer)
{
    REQUIRE_PEER_MODULES("cryptography");
    kemusb::sim::DirectFrame f;
    f.sequence = 200;
    f.command = 4;
    f.enciphered = true;
    f.payload = {0x01};
    const auto bytes = kemusb::sim::packDirectFrame(f);
    ASSERT_EQ(bytes.size(), 20u);
    EXPECT_EQ(bytes[2], 0x14);
    EXPECT_EQ(bytes[3], 0x10);
    static const char *d = "0123456789abcdef";
    std::string body;
    for (size_t i = 4; i < bytes.size(); ++i) {
        body += d[bytes[i] >> 4];
        body += d[bytes[i] & 15];
    }
    const auto r = peer::run(peer::script("kemusb_direct.py"), {"decrypt", body});
    ASSERT_EQ(r.exitCode, 0) << r.output;
    // sequence, 01, 01, command, payload, padding, check byte
    EXPECT_EQ(r.output.substr(0, 30), "c80101040100000000000000000000");
    kemusb::sim::DirectFrame back;
    ASSERT_TRUE(kemusb::sim::unpackDirectFrame(bytes.data(), bytes.size(), &back));
    EXPECT_EQ(back.sequence, 200);
    EXPECT_EQ(back.command, 4);
    EXPECT_EQ(back.payload[0], 1);
    auto bad = bytes;
    bad[19] ^= 1;
    EXPECT_FALSE(kemusb::sim::unpackDirectFrame(bad.data(), bad.size(), &back));
    EXPECT_FALSE(kemusb::sim::unpackDirectFrame(bytes.data(), 19, &back));
}

// The shared library from Python: records declared there from their byte
// layout, a simulated TRNA701 opened, two channels started, frames sent on
// one and received on the other.
TEST(KemFdLibrary, CtypesDrivesASimulatedAdapter)
{
    const auto r = kemtest::runLibraryPeer("kemusb_ctypes.py");
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_NE(r.output.find("ok"), std::string::npos) << r.output;
}

extern "C" {
void *OCAN_InitCAN(void *dev, uint32_t channel, const OCAN_INIT_CONFIG *init);
uint32_t OCAN_StartCAN(void *ch);
uint32_t OCAN_ReadChannelErrInfo(void *ch, OCAN_ERR_INFO *info);
uint32_t OCAN_ReadChannelStatus(void *ch, OCAN_CAN_STATUS *status);
uint32_t OCAN_TransmitFD(void *ch, const OCAN_CANFD_TX *frames, uint32_t count);
uint32_t OCAN_IsDeviceOnLine(void *dev);
}

// The handle functions on their own: a channel at another rate than the bus
// reports the error the adapter's status word carries; a handle of a closed
// device is refused.
TEST_F(KemFdDevice, HandleFunctionsReportChannelErrors)
{
    void *dev = OCAN_OpenDevice(kTrna701, 0, 0);
    ASSERT_NE(dev, nullptr);
    EXPECT_EQ(OCAN_IsDeviceOnLine(dev), 2u);
    OCAN_INIT_CONFIG init;
    std::memset(&init, 0, sizeof init);
    init.CanType = 1;
    ASSERT_EQ(OCAN_SetValue(dev, "0/canfd_abit_baud_rate", "500000"), 1u);
    ASSERT_EQ(OCAN_SetValue(dev, "0/canfd_dbit_baud_rate", "2000000"), 1u);
    void *ch0 = OCAN_InitCAN(dev, 0, &init);
    ASSERT_EQ(OCAN_SetValue(dev, "1/canfd_abit_baud_rate", "250000"), 1u);
    ASSERT_EQ(OCAN_SetValue(dev, "1/canfd_dbit_baud_rate", "2000000"), 1u);
    void *ch1 = OCAN_InitCAN(dev, 1, &init);
    ASSERT_NE(ch0, nullptr);
    ASSERT_NE(ch1, nullptr);
    init.CanType = 0;
    EXPECT_EQ(OCAN_InitCAN(dev, 2, &init), nullptr) << "a classic record is refused";
    EXPECT_EQ(OCAN_StartCAN(ch0), 1u);
    EXPECT_EQ(OCAN_StartCAN(ch1), 1u);
    OCAN_CANFD_TX f;
    std::memset(&f, 0, sizeof f);
    f.IdWord = 0x55;
    f.Len = 8;
    EXPECT_EQ(OCAN_TransmitFD(ch0, &f, 1), 1u);
    OCAN_ERR_INFO err;
    std::memset(&err, 0xFF, sizeof err);
    ASSERT_EQ(OCAN_ReadChannelErrInfo(ch1, &err), 1u);
    EXPECT_EQ(err.ErrCode, 0x02u);
    ASSERT_EQ(OCAN_ReadChannelErrInfo(ch0, &err), 1u);
    EXPECT_EQ(err.ErrCode, 0u);
    OCAN_CAN_STATUS st;
    ASSERT_EQ(OCAN_ReadChannelStatus(ch1, &st), 1u);
    EXPECT_EQ(reinterpret_cast<uint8_t *>(&st)[5], 0x60);
    EXPECT_EQ(OCAN_CloseDevice(dev), 1u);
    EXPECT_EQ(OCAN_StartCAN(ch0), 0u);
    EXPECT_EQ(OCAN_ReadChannelErrInfo(ch1, &err), 0u);
}

// Two threads on one adapter's command channel each get their own replies.
TEST_F(KemFdDevice, ConcurrentCommandsKeepTheirReplies)
{
    for (uint32_t type : {kTrna701, kTrnd701}) {
        SCOPED_TRACE(type);
        ASSERT_EQ(KCAN_OpenDevice(type, 0), 1u);
        std::atomic<int> wrong{0};
        std::vector<std::thread> threads;
        for (int t = 0; t < 3; ++t) {
            threads.emplace_back([&, t] {
                for (int i = 0; i < 40; ++i) {
                    kemusb::sim::DirectFrame f;
                    f.sequence = uint8_t(i);
                    f.command = uint8_t(0x40 + t);
                    f.payload = {uint8_t(t), uint8_t(i)};
                    const auto req = kemusb::sim::packDirectFrame(f);
                    uint8_t buf[62] = {};
                    std::memcpy(buf, req.data(), req.size());
                    const uint32_t n = KCAN_DataDirectTransfer(type, 0, buf, int32_t(req.size()));
                    kemusb::sim::DirectFrame back;
                    if (n == 0 || !kemusb::sim::unpackDirectFrame(buf, n, &back) || back.command != f.command ||
                        back.sequence != f.sequence || back.payload.size() < 3 || back.payload[1] != t ||
                        back.payload[2] != i)
                        ++wrong;
                }
            });
        }
        for (auto &th : threads)
            th.join();
        EXPECT_EQ(wrong.load(), 0);
    }
}

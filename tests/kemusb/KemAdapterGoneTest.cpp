// An adapter pulled out while open, through the KCAN_ functions on
// simulated adapters: KCAN_DevIsGone says so once the library has met it
// (every open adapter with a device thread meets it by itself), receives
// give nothing and transmits fail, the close releases it, and once it is
// plugged back in it opens again and carries frames.

#include "kemusb/include/kcan_api.h"
#include "tests/kemusb/KemSimFixture.h"
#include "tests/kemusb/KemTestUtil.h"
#include "tests/support/GiveUp.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <thread>
#include <utility>

namespace {

using kemtest::KemSimTest;

KCAN_INIT_CONFIG classicConfig()
{
    KCAN_INIT_CONFIG c;
    std::memset(&c, 0, sizeof c);
    c.AccMask = 0xFFFFFFFF;
    c.Timing0 = 0x00;
    c.Timing1 = 0x1C; // 500 kbit/s
    return c;
}

KCAN_INITFD_CONFIG kvaserConfig()
{
    KCAN_INITFD_CONFIG c;
    std::memset(&c, 0, sizeof c);
    c.KvArbBaud = 500000;
    c.KvArbTseg1 = 13;
    c.KvArbTseg2 = 2;
    c.KvArbSjw = 1;
    c.KvSamplePoints = 1;
    c.Standard = 1;
    return c;
}

// Polls cond until it holds (a bound to give up at: GiveUp.h).
bool waitFor(const std::function<bool()> &cond)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(testsupport::kGiveUpMs);
    while (!cond()) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

class KemAdapterGone : public KemSimTest
{
protected:
    enum Kind { Classic, CanFd, Kvaser, Recording };
    // Starts channels 0 and 1 of an adapter of the type.
    static bool startTwo(uint32_t type, Kind kind)
    {
        if (kind == Classic) {
            const KCAN_INIT_CONFIG c = classicConfig();
            return KCAN_InitCAN(type, 0, 0, &c) == 1 && KCAN_InitCAN(type, 0, 1, &c) == 1;
        }
        const KCAN_INITFD_CONFIG c = kind == Kvaser ? kvaserConfig() : kemtest::fdConfig(500000, 2000000);
        return KCAN_InitCANFD(type, 0, 0, &c) == 1 && KCAN_InitCANFD(type, 0, 1, &c) == 1;
    }
    // Sends n frames on channel 0; the number that channel 1 received.
    static size_t carry(uint32_t type, uint32_t n)
    {
        std::vector<KCAN_CAN_OBJ> tx;
        for (uint32_t i = 0; i < n; ++i)
            tx.push_back(kemtest::kcanFrame(0x100 + i, false, false, 8, kemtest::seq(int(i), 8)));
        if (KCAN_Transmit(type, 0, 0, tx.data(), n) != n)
            return 0;
        return kemtest::collect<KCAN_CAN_OBJ>(n, 5000, [&](KCAN_CAN_OBJ *buf, uint32_t room) {
                   return KCAN_Receive(type, 0, 1, buf, room, 50);
               }).size();
    }
};

} // namespace

TEST_F(KemAdapterGone, UnpluggedAdapterIsGoneUntilClosedAndOpensAgainOnceBack)
{
    struct Case {
        const char *what;
        uint32_t type;
        Kind kind;
    } cases[] = {
        {"classic", kemtest::kUsbCan2, Classic},
        {"CAN FD", kemtest::kTrna701, CanFd},
        {"CAN FD, eight channels", kemtest::kTrna702, CanFd},
        {"Kvaser", 68, Kvaser},
        {"recording adapter", kemtest::kTrnd701, Recording},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const bool frames = c.kind != Recording; // channels that carry frames
        plat::sim::Adapter *a = adapter(c.type);
        ASSERT_TRUE(a);
        EXPECT_EQ(KCAN_DevIsGone(c.type, 0), 0u) << "not open";
        ASSERT_EQ(KCAN_OpenDevice(c.type, 0), 1u);
        if (frames) {
            ASSERT_TRUE(startTwo(c.type, c.kind));
            ASSERT_EQ(carry(c.type, 5), 5u);
        }
        EXPECT_EQ(KCAN_DevIsGone(c.type, 0), 0u);

        a->unplug();
        if (frames) {
            // The device thread's next read meets it.
            ASSERT_TRUE(waitFor([&] { return KCAN_DevIsGone(c.type, 0) == 1; }));
            KCAN_CAN_OBJ f = kemtest::kcanFrame(0x1, false, false, 1, {1});
            EXPECT_EQ(KCAN_Transmit(c.type, 0, 0, &f, 1), 0u);
            EXPECT_EQ(KCAN_Receive(c.type, 0, 1, &f, 1, 0), 0u);
        } else {
            // No device thread: the next command meets it.
            uint8_t info[64] = {0};
            EXPECT_EQ(KCAN_BoardInfoGet(c.type, 0, info), 0u);
            EXPECT_EQ(KCAN_DevIsGone(c.type, 0), 1u);
        }
        a->replug();
        EXPECT_EQ(KCAN_DevIsGone(c.type, 0), 1u) << "the open handle stays gone after a replug";

        EXPECT_EQ(KCAN_CloseDevice(c.type, 0), 1u);
        EXPECT_EQ(KCAN_DevIsGone(c.type, 0), 0u) << "closed";
        ASSERT_EQ(KCAN_OpenDevice(c.type, 0), 1u);
        EXPECT_EQ(KCAN_DevIsGone(c.type, 0), 0u);
        if (frames) {
            ASSERT_TRUE(startTwo(c.type, c.kind));
            EXPECT_EQ(carry(c.type, 7), 7u);
        } else {
            uint8_t info[64] = {0};
            EXPECT_EQ(KCAN_BoardInfoGet(c.type, 0, info), 1u);
        }
        EXPECT_EQ(KCAN_DevIsGone(c.type, 0), 0u);
        EXPECT_EQ(KCAN_CloseDevice(c.type, 0), 1u);
    }
    EXPECT_EQ(KCAN_DevIsGone(9999, 0), 0u) << "a type of no group";
}

// Failed transfers of an adapter that is still there (a stalled reply, a
// write refused once) do not make it gone.
TEST_F(KemAdapterGone, FailedTransfersOfAPresentAdapterAreNotALoss)
{
    for (auto [type, kind] : {std::pair<uint32_t, Kind>{kemtest::kUsbCan2, Classic}, {kemtest::kTrna701, CanFd}}) {
        SCOPED_TRACE(type);
        ASSERT_EQ(KCAN_OpenDevice(type, 0), 1u);
        ASSERT_TRUE(startTwo(type, kind));
        {
            std::lock_guard<std::recursive_mutex> g(worldLock());
            adapter(type)->failWrites(1);
            adapter(type)->inFaults(0x81).failReads = 3;
        }
        KCAN_CAN_OBJ f = kemtest::kcanFrame(0x1, false, false, 1, {1});
        EXPECT_EQ(KCAN_Transmit(type, 0, 0, &f, 1), 0u);
        EXPECT_EQ(carry(type, 3), 3u);
        EXPECT_EQ(KCAN_DevIsGone(type, 0), 0u);
        EXPECT_EQ(KCAN_CloseDevice(type, 0), 1u);
    }
}

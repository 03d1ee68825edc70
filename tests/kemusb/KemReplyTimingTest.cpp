// Reply times of the CAN FD and recording adapters' command exchanges, on a
// clock only the test moves (DriverTicks): a silent adapter fails every
// command after exactly its reply time, a reply just inside the time is
// taken and one just past it is not, reads that fail at once do not spin,
// and a reply that does not answer its query is not taken for its answer.

#include "kemusb/include/kcan_api.h"
#include "kemusb/src/devices/QDeviceUsbCanFd2.h"
#include "tests/kemusb/DriverTicks.h"
#include "tests/kemusb/KemSimFixture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

extern "C" {
void *OCAN_OpenDevice(uint32_t type, uint32_t index, uint32_t reserved);
void *OCAN_InitCAN(void *dev, uint32_t channel, const OCAN_INIT_CONFIG *init);
uint32_t OCAN_StartCAN(void *ch);
uint32_t OCAN_ResetCAN(void *ch);
uint32_t OCAN_SetValue(void *dev, const char *path, const char *value);
uint32_t OCAN_ReadChannelErrInfo(void *ch, OCAN_ERR_INFO *info);
uint32_t OCAN_ReadChannelStatus(void *ch, OCAN_CAN_STATUS *status);
uint32_t OCAN_TransmitFD(void *ch, const OCAN_CANFD_TX *frames, uint32_t count);
uint32_t OCAN_DevDataTransfer(void *dev, uint8_t *buf, int32_t len);
}

using kemtest::DriverTicks;
using kemtest::kTrna701;
using kemtest::kTrnb701;
using kemtest::kTrnd701;

namespace {

// One command made through the exported functions: its result as a number
// (a handle as 0 or 1), what it gives when it fails, and its reply time.
struct Command {
    std::string name;
    uint32_t replyMs;
    uint32_t failure;
    std::function<uint32_t()> call;
};

class KemReplyTiming : public kemtest::KemSimTest
{
protected:
    // An open CAN FD adapter with channel 0 initialised and started through
    // the handle functions.
    void openCanFd(uint32_t type)
    {
        dev_ = OCAN_OpenDevice(type, 0, 0);
        ASSERT_NE(dev_, nullptr);
        std::memset(&init_, 0, sizeof init_);
        init_.CanType = 1;
        for (const char *ch : {"0", "1"}) {
            ASSERT_EQ(OCAN_SetValue(dev_, (std::string(ch) + "/canfd_abit_baud_rate").c_str(), "500000"), 1u);
            ASSERT_EQ(OCAN_SetValue(dev_, (std::string(ch) + "/canfd_dbit_baud_rate").c_str(), "2000000"), 1u);
        }
        ch0_ = OCAN_InitCAN(dev_, 0, &init_);
        ASSERT_NE(ch0_, nullptr);
        ASSERT_EQ(OCAN_StartCAN(ch0_), 1u);
    }

    // The commands of an open CAN FD adapter and their reply times.
    std::vector<Command> canFdCommands()
    {
        return {
            {"initialise", 2000, 0, [this] { return OCAN_InitCAN(dev_, 1, &init_) ? 1u : 0u; }},
            {"start", 1500, 0, [this] { return OCAN_StartCAN(ch0_); }},
            {"filter clear", 1500, 0, [this] { return OCAN_SetValue(dev_, "0/filter_clear", "0"); }},
            {"filter mode 2", 1500, 0, [this] { return OCAN_SetValue(dev_, "0/filter_mode", "2"); }},
            {"filter range", 1500, 0,
             [this] {
                 // mode and start are kept without a command; the end sends the range
                 if (OCAN_SetValue(dev_, "0/filter_mode", "1") != 1 ||
                     OCAN_SetValue(dev_, "0/filter_start", "0x100") != 1)
                     return 99u;
                 return OCAN_SetValue(dev_, "0/filter_end", "0x1ff");
             }},
            {"filter acknowledge", 1500, 0, [this] { return OCAN_SetValue(dev_, "0/filter_ack", "0"); }},
            {"error information", 1500, 0,
             [this] {
                 OCAN_ERR_INFO e;
                 return OCAN_ReadChannelErrInfo(ch0_, &e);
             }},
            {"channel status", 1500, 0,
             [this] {
                 OCAN_CAN_STATUS s;
                 return OCAN_ReadChannelStatus(ch0_, &s);
             }},
            {"direct transfer", 1000, 0,
             [this] {
                 uint8_t buf[62] = {1, 2, 3};
                 return OCAN_DevDataTransfer(dev_, buf, 3);
             }},
        };
    }

    // Runs one command on the test's clock: its result and the time it took.
    static uint32_t timed(DriverTicks &clock, const Command &c, uint64_t *ms)
    {
        const uint64_t t0 = clock.nowMs();
        const uint32_t r = c.call();
        *ms = clock.nowMs() - t0;
        return r;
    }

    void *dev_ = nullptr;
    void *ch0_ = nullptr;
    OCAN_INIT_CONFIG init_{};
};

} // namespace

// A CAN FD adapter that stops answering: every command fails after its own
// reply time (2000 ms for an initialisation, 1000 ms for a direct transfer,
// 1500 ms for the others), a reset and a close still complete, and an open
// of another silent adapter fails after the hardware query's time.
TEST_F(KemReplyTiming, SilentCanFdAdapterTimesOutEveryCommand)
{
    openCanFd(kTrna701);
    silence(kTrna701);
    silence(kTrnb701);
    auto clock = std::make_shared<DriverTicks>();
    plat::ScopedTickSource scope(clock);
    const auto real0 = std::chrono::steady_clock::now();

    std::vector<Command> cmds = canFdCommands();
    cmds.push_back({"initialise and start", 2000, 0, [] {
                        const KCAN_INITFD_CONFIG c = kemtest::fdConfig(500000, 2000000);
                        return KCAN_OpenDevice(kTrna701, 0) == 1 ? KCAN_InitCANFD(kTrna701, 0, 2, &c) : 99u;
                    }});
    cmds.push_back({"open of a silent adapter", 1500, 0,
                    [] { return OCAN_OpenDevice(kTrnb701, 0, 0) ? 1u : 0u; }});
    // The reset's own result is not looked at: the buffers are cleared.
    cmds.push_back({"reset", 1500, 1, [this] { return OCAN_ResetCAN(ch0_); }});
    for (const Command &c : cmds) {
        uint64_t ms = 0;
        EXPECT_EQ(timed(*clock, c, &ms), c.failure) << c.name;
        EXPECT_GE(ms, c.replyMs) << c.name;
        EXPECT_LT(ms, c.replyMs + 100) << c.name;
    }
    // Channel 0 was reset above; the close has no channel to reset.
    uint64_t ms = 0;
    EXPECT_EQ(timed(*clock, {"close", 0, 1, [] { return KCAN_CloseDevice(kTrna701, 0); }}, &ms), 1u);
    EXPECT_FALSE(adapter(kTrna701)->isOpen());
    EXPECT_LT(std::chrono::steady_clock::now() - real0, std::chrono::seconds(20)) << "the clock is the test's";
}

// A recording adapter that stops answering: 5000 ms for the setting write,
// the four filter-list changes and a direct transfer, 1000 ms for the
// setting read, the filter information and entry and each board query.
TEST_F(KemReplyTiming, SilentRecordingAdapterTimesOutEveryCommand)
{
    ASSERT_EQ(KCAN_OpenDevice(kTrnd701, 0), 1u);
    silence(kTrnd701);
    auto clock = std::make_shared<DriverTicks>();
    plat::ScopedTickSource scope(clock);
    uint8_t setting[21] = {0, 1, 1, 0, 60, 60};
    uint8_t filter[14] = {0, 0, 1};
    uint8_t info[3] = {};
    uint8_t board[16] = {};
    const std::vector<Command> cmds = {
        {"setting write", 5000, 0, [&] { return KCAN_RecordSettingSet(kTrnd701, 0, 1, setting); }},
        {"setting read", 1000, 0, [&] { return KCAN_RecordSettingGet(kTrnd701, 0, 1, setting); }},
        {"filter clear", 5000, 0, [] { return KCAN_RecordFliterClr(kTrnd701, 0, 0); }},
        {"filter add", 5000, 0, [&] { return KCAN_RecordFliterAdd(kTrnd701, 0, 0, filter); }},
        {"filter enable", 5000, 0, [] { return KCAN_RecordFliterEnable(kTrnd701, 0, 1); }},
        {"filter disable", 5000, 0, [] { return KCAN_RecordFliterDisable(kTrnd701, 0, 1); }},
        {"filter information", 1000, 0, [&] { return KCAN_RecordFliterInfoGet(kTrnd701, 0, 1, info); }},
        {"filter entry", 1000, 0, [&] { return KCAN_RecordFliterSettingGet(kTrnd701, 0, 1, 3, filter); }},
        {"board information", 1000, 0, [&] { return KCAN_BoardInfoGet(kTrnd701, 0, board); }},
        {"direct transfer", 5000, 0,
         [] {
             uint8_t buf[62] = {9};
             return KCAN_DataDirectTransfer(kTrnd701, 0, buf, 1);
         }},
    };
    for (const Command &c : cmds) {
        uint64_t ms = 0;
        EXPECT_EQ(timed(*clock, c, &ms), c.failure) << c.name;
        EXPECT_GE(ms, c.replyMs) << c.name;
        EXPECT_LT(ms, c.replyMs + 100) << c.name;
    }
    EXPECT_EQ(KCAN_CloseDevice(kTrnd701, 0), 1u);
}

// Each command's reply arriving 10 ms before its reply time ends is taken;
// 10 ms after, the command has failed.
TEST_F(KemReplyTiming, LateRepliesCountUntilTheReplyTimeEnds)
{
    openCanFd(kTrnb701); // firmware 1.17: transmits wait for their acknowledgement
    ASSERT_EQ(KCAN_OpenDevice(kTrnd701, 0), 1u);
    uint8_t first[14] = {0, 0, 1};
    ASSERT_EQ(KCAN_RecordFliterAdd(kTrnd701, 0, 0, first), 1u); // an entry to read back
    auto clock = std::make_shared<DriverTicks>();
    plat::ScopedTickSource scope(clock);

    struct Late {
        uint32_t type;
        uint8_t ep;
        Command cmd;
    };
    std::vector<Late> cases;
    for (Command &c : canFdCommands())
        cases.push_back({kTrnb701, 0x81, c});
    cases.push_back({kTrnb701, 0x82, {"transmit acknowledgement", 1500, 0, [this] {
                                          OCAN_CANFD_TX f;
                                          std::memset(&f, 0, sizeof f);
                                          f.IdWord = 0x123;
                                          f.Len = 8;
                                          return OCAN_TransmitFD(ch0_, &f, 1);
                                      }}});
    uint8_t setting[21] = {0, 1, 1, 0, 60, 60};
    uint8_t filter[14] = {0, 0, 1};
    uint8_t info[3] = {};
    for (Command c : std::vector<Command>{
             {"setting write", 5000, 0, [&] { return KCAN_RecordSettingSet(kTrnd701, 0, 0, setting); }},
             {"setting read", 1000, 0, [&] { return KCAN_RecordSettingGet(kTrnd701, 0, 0, setting); }},
             {"filter add", 5000, 0, [&] { return KCAN_RecordFliterAdd(kTrnd701, 0, 0, filter); }},
             {"filter disable", 5000, 0, [] { return KCAN_RecordFliterDisable(kTrnd701, 0, 0); }},
             {"filter information", 1000, 0, [&] { return KCAN_RecordFliterInfoGet(kTrnd701, 0, 0, info); }},
             {"filter entry", 1000, 0, [&] { return KCAN_RecordFliterSettingGet(kTrnd701, 0, 0, 0, filter); }},
             {"direct transfer", 5000, 0,
              [] {
                  uint8_t buf[62] = {9};
                  return KCAN_DataDirectTransfer(kTrnd701, 0, buf, 1);
              }},
         })
        cases.push_back({kTrnd701, 0x81, c});

    for (const Late &l : cases) {
        for (const bool inside : {true, false}) {
            SCOPED_TRACE(l.cmd.name + (inside ? ", just inside" : ", just past"));
            delayIn(l.type, l.ep, inside ? l.cmd.replyMs - 10 : l.cmd.replyMs + 10);
            uint64_t ms = 0;
            const uint32_t r = timed(*clock, l.cmd, &ms);
            delayIn(l.type, l.ep, 0);
            clearIn(l.type, l.ep); // a reply that came too late
            if (inside) {
                EXPECT_NE(r, l.cmd.failure);
                EXPECT_EQ(ms, l.cmd.replyMs - 10u);
            } else {
                EXPECT_EQ(r, l.cmd.failure);
                EXPECT_GE(ms, l.cmd.replyMs);
            }
        }
    }
}

// Reads of the reply pipe that fail at once while writes go through: the
// exchange pauses between tries instead of spinning a core through the
// whole reply time, and fails when the time is over.
TEST_F(KemReplyTiming, FailingReplyReadsPauseBetweenTries)
{
    openCanFd(kTrnb701);
    ASSERT_EQ(KCAN_OpenDevice(kTrnd701, 0), 1u);
    auto clock = std::make_shared<DriverTicks>();
    plat::ScopedTickSource scope(clock);
    uint8_t setting[21] = {};
    struct Case {
        uint32_t type;
        uint8_t ep;
        Command cmd;
    } cases[] = {
        {kTrnb701, 0x81, {"channel status", 1500, 0, [this] {
                              OCAN_CAN_STATUS s;
                              return OCAN_ReadChannelStatus(ch0_, &s);
                          }}},
        {kTrnb701, 0x82, {"transmit acknowledgement", 1500, 0, [this] {
                              OCAN_CANFD_TX f;
                              std::memset(&f, 0, sizeof f);
                              f.Len = 8;
                              return OCAN_TransmitFD(ch0_, &f, 1);
                          }}},
        {kTrnd701, 0x81, {"setting read", 1000, 0, [&] { return KCAN_RecordSettingGet(kTrnd701, 0, 0, setting); }}},
    };
    constexpr int kPlenty = 1000000;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.cmd.name);
        {
            std::lock_guard<std::recursive_mutex> g(worldLock());
            adapter(c.type)->inFaults(c.ep).failReads = kPlenty;
        }
        uint64_t ms = 0;
        EXPECT_EQ(timed(*clock, c.cmd, &ms), c.cmd.failure);
        int left = 0;
        {
            std::lock_guard<std::recursive_mutex> g(worldLock());
            left = adapter(c.type)->inFaults(c.ep).failReads;
            adapter(c.type)->inFaults(c.ep).failReads = 0;
        }
        clearIn(c.type, c.ep);
        const int tries = kPlenty - left;
        EXPECT_GE(ms, c.cmd.replyMs);
        // Tried on through the reply time, at most about once a millisecond.
        EXPECT_GT(tries, 10);
        EXPECT_LE(tries, int(c.cmd.replyMs) + 10);
    }
}

// The firmware version read at open decides whether transmits wait for
// acknowledgements: a reply that does not answer the query (another query's
// echo, arriving as the reply time ends) is not taken for it, and the open
// fails. A reply that answers it at that moment is taken.
TEST_F(KemReplyTiming, VersionRepliesMustAnswerTheirQuery)
{
    struct Case {
        const char *what;
        std::vector<uint8_t> firmwareReply;
        bool opens;
    } cases[] = {
        {"answers the firmware query", {0x55, 0x12, 0x01, 0x01, 0x02, 0x10}, true},
        {"echo of the channel-count query", {0x55, 0x13, 0x01, 0x01, 0x02, 0x10}, false},
        {"echo of the hardware query", {0x55, 0x01, 0x01, 0x01, 0x02, 0x10}, false},
        {"no 55 in front", {0xAA, 0x12, 0x01, 0x01, 0x02, 0x10}, false},
    };
    silence(kTrnb701);
    auto clock = std::make_shared<DriverTicks>();
    plat::ScopedTickSource scope(clock);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        pushIn(kTrnb701, 0x81, {0x55, 0x01, 0x01, 0x01, 0x01, 0x00}); // the hardware version, at once
        pushIn(kTrnb701, 0x81, c.firmwareReply, 1500);
        void *dev = OCAN_OpenDevice(kTrnb701, 0, 0);
        EXPECT_EQ(dev != nullptr, c.opens);
        EXPECT_EQ(adapter(kTrnb701)->isOpen(), c.opens);
        if (dev) {
            auto *fd = dynamic_cast<kemusb::QDeviceUsbCanFd2 *>(static_cast<kemusb::QDevice *>(dev));
            ASSERT_NE(fd, nullptr);
            EXPECT_EQ(fd->firmwareVersion(), 0x0210);
            kemusb::OcanDeviceRegistry::instance().close(dev);
        }
        clearIn(kTrnb701, 0x81);
    }

    // The recording adapter's board information: each of its three answers
    // must echo its own query; the record stays as it was otherwise.
    ASSERT_EQ(KCAN_OpenDevice(kTrnd701, 0), 1u);
    silence(kTrnd701);
    const std::vector<uint8_t> hw = {0x55, 0x01, 0x01, 0x01, 0x02, 0x01}, fw = {0x55, 0x12, 0x01, 0x01, 0x05, 0x03},
                               count = {0x55, 0x13, 0x01, 0x01, 0x02};
    // Replies pushed before the call: the first ones answer at once, a
    // delayed one arrives as the reply time of its query (1000 ms) ends.
    struct Reply {
        std::vector<uint8_t> bytes;
        uint32_t delayMs;
    };
    struct Board {
        const char *what;
        std::vector<Reply> replies;
        bool filled;
    } boards[] = {
        {"all three answer", {{hw, 0}, {fw, 0}, {count, 1000}}, true},
        {"count answered by the firmware echo", {{hw, 0}, {fw, 0}, {{0x55, 0x12, 0x01, 0x01, 0x02}, 1000}}, false},
        {"firmware answered by the hardware echo", {{hw, 0}, {hw, 1000}, {count, 1000}}, false},
    };
    for (const Board &b : boards) {
        SCOPED_TRACE(b.what);
        for (const Reply &r : b.replies)
            pushIn(kTrnd701, 0x81, r.bytes, r.delayMs);
        uint8_t board[16];
        std::memset(board, 0xEE, sizeof board);
        EXPECT_EQ(KCAN_BoardInfoGet(kTrnd701, 0, board), b.filled ? 1u : 0u);
        if (b.filled) {
            EXPECT_EQ(board[0] | board[1] << 8, 0x0102);
            EXPECT_EQ(board[2] | board[3] << 8, 0x0305);
            EXPECT_EQ(board[10], 2);
        } else {
            for (uint8_t v : board)
                EXPECT_EQ(v, 0xEE) << "a refused answer fills nothing";
        }
        clearIn(kTrnd701, 0x81);
    }
}

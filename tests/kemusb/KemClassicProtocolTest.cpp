// The classic adapter's and the Kvaser interfaces' protocols: golden bytes
// from a script written from the byte tables, the reply checks at their
// length bounds, and the stream parsers on awkward streams.

#include "kemusb/src/protocol/KemClassicProtocol.h"
#include "kemusb/src/protocol/KemKvaserProtocol.h"
#include "tests/kemusb/GoldenBytes.h"
#include "tests/kemusb/KemTestUtil.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

VCI_CAN_OBJ classic(uint32_t id, bool ext, bool rtr, uint8_t len, uint8_t sendType, uint8_t seed)
{
    VCI_CAN_OBJ r;
    std::memset(&r, 0, sizeof r);
    r.ID = id;
    r.ExternFlag = ext;
    r.RemoteFlag = rtr;
    r.DataLen = len;
    r.SendType = sendType;
    for (int i = 0; i < 8; ++i)
        r.Data[i] = uint8_t(seed + i);
    return r;
}

struct ClassicCollect : kemusb::classic::StreamParser::Sink {
    std::vector<kemusb::classic::StreamFrame> frames;
    void frame(const kemusb::classic::StreamFrame &f) override { frames.push_back(f); }
};

struct KvCollect : kemusb::kvaser::Sink {
    std::vector<std::pair<int, KCAN_CAN_OBJ>> frames;
    std::vector<std::pair<int, KCAN_CANFD_OBJ>> fd;
    std::vector<int> acks;
    void classicFrame(int ch, const KCAN_CAN_OBJ &f) override { frames.emplace_back(ch, f); }
    void fdFrame(int ch, const KCAN_CANFD_OBJ &f) override { fd.emplace_back(ch, f); }
    void txAck(int ch) override { acks.push_back(ch); }
};

} // namespace

TEST(KemClassicProtocol, BuildersMatchGoldenBytes)
{
    const auto g = golden::vectors("kemusb_classic_golden.py");
    ASSERT_FALSE(g.empty());
    std::map<std::string, std::vector<uint8_t>> mine;
    mine["cls_hw"] = kemusb::classic::cmdHardwareVersion();
    mine["cls_fw"] = kemusb::classic::cmdFirmwareVersion();
    mine["cls_count"] = kemusb::classic::cmdChannelCount();
    for (int c = 0; c < 2; ++c) {
        for (int mode = 0; mode < 3; ++mode)
            mine["cls_mode_" + std::to_string(c) + "_" + std::to_string(mode)] =
                kemusb::classic::cmdModeTiming(c, uint8_t(mode), 0x00, 0x1C);
        for (int f = 0; f < 2; ++f)
            mine["cls_acc_" + std::to_string(c) + "_" + std::to_string(f)] =
                kemusb::classic::cmdAcceptance(c, uint8_t(f ? 7 : 0), 0x12345678, 0x80FF00AA);
        mine["cls_start_" + std::to_string(c)] = kemusb::classic::cmdStart(c);
        mine["cls_reset_" + std::to_string(c)] = kemusb::classic::cmdReset(c);
        mine["cls_timing_" + std::to_string(c)] = kemusb::classic::cmdBusTimingGet(c);
        mine["cls_state_" + std::to_string(c)] = kemusb::classic::cmdChannelStateGet(c);
    }
    mine["cls_relay_set"] = kemusb::classic::cmdRelaySet(1, 0);
    mine["cls_relay_get"] = kemusb::classic::cmdRelayGet();
    const auto payload = kemtest::seq(0, 100);
    mine["cls_direct"] = kemusb::classic::cmdDirectTransfer(payload.data(), 100);

    // 7 frames on channel 1: groups of 3, 3 and 1.
    std::vector<VCI_CAN_OBJ> frames;
    for (int i = 0; i < 7; ++i) {
        const bool ext = i % 2 == 1;
        frames.push_back(classic(ext ? 0x18FF0000u + i : 0x100u + i, ext, i == 3, uint8_t(i + 2), i == 6 ? 1 : 0,
                                 uint8_t(i * 16)));
    }
    const auto sizes = kemusb::classic::txGroupSizes(7);
    ASSERT_EQ(sizes, (std::vector<int>{3, 3, 1}));
    size_t at = 0;
    for (size_t n = 0; n < sizes.size(); ++n) {
        mine["cls_tx_group_" + std::to_string(n)] = kemusb::classic::txGroup(1, frames.data() + at, sizes[n]);
        at += size_t(sizes[n]);
    }
    EXPECT_EQ(kemusb::classic::txAckWaitMs(frames.data() + 6, 1), 100u) << "single-shot last frame";
    EXPECT_EQ(kemusb::classic::txAckWaitMs(frames.data(), 3), 2000u);

    struct IdCase {
        uint32_t id;
        bool ext;
        const char *name;
    } ids[] = {{0x7FF, false, "cls_idword_7ff_0"},
               {0x123, false, "cls_idword_123_0"},
               {0x1FFFFFFF, true, "cls_idword_1fffffff_1"},
               {0x18DAF110, true, "cls_idword_18daf110_1"}};
    for (const IdCase &c : ids) {
        const uint32_t w = kemusb::classic::idWord(c.id, c.ext);
        mine[c.name] = {uint8_t(w), uint8_t(w >> 8), uint8_t(w >> 16), uint8_t(w >> 24)};
        EXPECT_EQ(kemusb::classic::idFromWord(w, c.ext), c.id);
    }
    const auto d8 = kemtest::seq(1, 8);
    mine["cls_rx_std"] = kemusb::classic::streamRecord(0, 0x321, false, false, 8, d8.data(), 0x123456);
    mine["cls_rx_ext_rtr"] = kemusb::classic::streamRecord(1, 0x1ABCDEF0, true, true, 0, nullptr, 0xFFFFFF);

    // Kvaser, 20-byte family.
    KCAN_INITFD_CONFIG cfg;
    std::memset(&cfg, 0, sizeof cfg);
    cfg.KvArbBaud = 500000;
    cfg.KvArbTseg1 = 13;
    cfg.KvArbTseg2 = 2;
    cfg.KvArbSjw = 1;
    cfg.KvSamplePoints = 1;
    mine["kv20_bus"] = kemusb::kvaser::cmd20BusParams(2, cfg);
    mine["kv20_start"] = kemusb::kvaser::cmd20StartChip(3);
    mine["kv20_stop"] = kemusb::kvaser::cmd20StopChip(3);
    kemusb::kvaser::Bytes b;
    kemusb::kvaser::cmd20Transmit(b, 1, kemtest::kcanFrame(0x5A5, false, false, 8, kemtest::seq(0xA0, 8)));
    mine["kv20_tx_std"] = b;
    b.clear();
    kemusb::kvaser::cmd20Transmit(b, 5, kemtest::kcanFrame(0x1BCDEF12, true, true, 4, kemtest::seq(0, 4)));
    mine["kv20_tx_ext_rtr"] = b;
    mine["kv20_rx_std"] = kemusb::kvaser::rx20Frame(2, 0x7E8, false, false, 8, kemtest::seq(0, 8).data());
    mine["kv20_rx_ext"] = kemusb::kvaser::rx20Frame(6, 0x18DAF110, true, false, 3, kemtest::seq(1, 3).data());

    // Kvaser, 32-byte family.
    cfg.KvArbBaud = 250000;
    mine["kv32_bus_classic"] = kemusb::kvaser::cmd32BusParams(4, cfg).at(0);
    EXPECT_EQ(kemusb::kvaser::cmd32BusParams(4, cfg).size(), 1u);
    cfg.FdEnable = 1;
    cfg.Standard = 1;
    cfg.KvArbBaud = 500000;
    cfg.KvArbTseg1 = 31;
    cfg.KvArbTseg2 = 8;
    cfg.KvArbSjw = 8;
    cfg.KvDataBaud = 2000000;
    cfg.KvDataTseg1 = 7;
    cfg.KvDataTseg2 = 2;
    cfg.KvDataSjw = 2;
    auto fd = kemusb::kvaser::cmd32BusParams(4, cfg);
    ASSERT_EQ(fd.size(), 2u);
    mine["kv32_bus_fd_a"] = fd[0];
    mine["kv32_bus_fd_d"] = fd[1];
    cfg.Standard = 0;
    mine["kv32_bus_fd_d_std0"] = kemusb::kvaser::cmd32BusParams(4, cfg).at(1);
    mine["kv32_start"] = kemusb::kvaser::cmd32StartChip(9);
    mine["kv32_stop"] = kemusb::kvaser::cmd32StopChip(9);
    b.clear();
    kemusb::kvaser::cmd32Transmit(b, 3, kemtest::kcanFrame(0x123, false, false, 8, kemtest::seq(0, 8)));
    mine["kv32_tx_std"] = b;
    b.clear();
    kemusb::kvaser::cmd32Transmit(b, 3, kemtest::kcanFrame(0x1ABCDEF0, true, true, 0, {}));
    mine["kv32_tx_ext_rtr"] = b;
    mine["kv32_rx_classic"] = kemusb::kvaser::rx32Frame(13, 0x18FF00AA, true, true, 2, std::vector<uint8_t>{0xDE, 0xAD}.data());
    mine["kv32_rx_fd"] = kemusb::kvaser::rx32FdFrame(5, 0x2AB, false, true, false, 9, kemtest::seq(0, 12).data(), 0xCAFE);
    mine["kv32_ack"] = kemusb::kvaser::rx32Ack(7);

    for (const auto &kv : g) {
        auto it = mine.find(kv.first);
        if (it == mine.end()) {
            ADD_FAILURE() << "no C++ packet for " << kv.first;
            continue;
        }
        EXPECT_EQ(golden::hex(it->second), kv.second) << kv.first;
    }
    EXPECT_EQ(mine.size(), g.size());
}

// Every reply check refuses a reply one byte shorter than what it reads,
// and reads nothing past the length it was given (the replies sit in heap
// blocks of exactly their length, so an over-read shows under the sanitizer).
TEST(KemClassicProtocol, ReplyChecksStayWithinTheirLength)
{
    struct Case {
        const char *name;
        uint8_t cmd;
        size_t least;
        std::function<bool(const uint8_t *, size_t)> check;
    } cases[] = {
        {"hardware", 0x01, 6, [](const uint8_t *r, size_t n) { uint16_t v; return kemusb::classic::parseVersion(r, n, 0x01, &v); }},
        {"count", 0x13, 5, [](const uint8_t *r, size_t n) { uint8_t c; return kemusb::classic::parseChannelCount(r, n, &c); }},
        {"mode", 0x03, 4, kemusb::classic::modeTimingOk},
        {"filter", 0x04, 4, kemusb::classic::acceptanceOk},
        {"start", 0x0E, 3, kemusb::classic::startOk},
        {"reset", 0x0F, 3, kemusb::classic::resetOk},
        {"relay set", 0xB1, 5, kemusb::classic::relaySetOk},
        {"relay get", 0xB2, 5, [](const uint8_t *r, size_t n) { uint8_t a, b; return kemusb::classic::parseRelay(r, n, &a, &b); }},
        {"timing", 0xA4, 9, [](const uint8_t *r, size_t n) { uint8_t a, b; return kemusb::classic::parseBusTiming(r, n, &a, &b); }},
        {"state", 0x80, 12,
         [](const uint8_t *r, size_t n) { uint8_t a, b, c; return kemusb::classic::parseChannelState(r, n, &a, &b, &c); }},
    };
    for (const Case &c : cases) {
        for (size_t n : {c.least - 1, c.least}) {
            std::unique_ptr<uint8_t[]> r(new uint8_t[n]);
            for (size_t i = 0; i < n; ++i)
                r[i] = uint8_t(0x30 + i);
            r[0] = 0x12;
            r[1] = c.cmd;
            EXPECT_EQ(c.check(r.get(), n), n >= c.least) << c.name << " with " << n << " bytes";
        }
        uint8_t wrong[16] = {0x12, uint8_t(c.cmd ^ 0x40)};
        EXPECT_FALSE(c.check(wrong, sizeof wrong)) << c.name << " answers another command";
    }
    // Where the values sit.
    const uint8_t state[12] = {0x12, 0x80, 1, 0, 0, 0xA5, 0, 0, 0, 0xC9, 0xB7, 0};
    uint8_t a = 0, b = 0, c = 0;
    ASSERT_TRUE(kemusb::classic::parseChannelState(state, sizeof state, &a, &b, &c));
    EXPECT_EQ(a, 0xA5);
    EXPECT_EQ(b, 0xB7);
    EXPECT_EQ(c, 0xC9);
    const uint8_t timing[9] = {0x12, 0xA4, 1, 0, 0, 0, 0x01, 0, 0x1C};
    ASSERT_TRUE(kemusb::classic::parseBusTiming(timing, sizeof timing, &a, &b));
    EXPECT_EQ(a, 0x01);
    EXPECT_EQ(b, 0x1C);
    const uint8_t relay[5] = {0x12, 0xB2, 2, 1, 0};
    ASSERT_TRUE(kemusb::classic::parseRelay(relay, sizeof relay, &a, &b));
    EXPECT_EQ(a, 1);
    EXPECT_EQ(b, 0);
    const uint8_t version[6] = {0x12, 0x01, 1, 1, 0x10, 0x02};
    uint16_t v = 0;
    ASSERT_TRUE(kemusb::classic::parseVersion(version, sizeof version, 0x01, &v));
    EXPECT_EQ(v, 0x0210) << "little-endian at bytes 4 and 5";
    // A group's answer must reach its count.
    const uint8_t ack[3] = {0x12, 0xC6, 3};
    EXPECT_TRUE(kemusb::classic::txGroupAccepted(ack, 3, 3));
    EXPECT_FALSE(kemusb::classic::txGroupAccepted(ack, 2, 3));
    EXPECT_FALSE(kemusb::classic::txGroupAccepted(ack, 3, 2));
}

TEST(KemClassicProtocol, StreamParserFindsRecordsLosingOnlyStrayBytes)
{
    const auto d8 = kemtest::seq(0x40, 8);
    std::vector<uint8_t> s = {0xEE, 0x01};
    const auto r1 = kemusb::classic::streamRecord(0, 0x123, false, false, 8, d8.data(), 0x010203);
    const auto r2 = kemusb::classic::streamRecord(1, 0x1ABCDEF0, true, true, 0, nullptr, 0xFFFFFF);
    s.insert(s.end(), r1.begin(), r1.end());
    s.insert(s.end(), r2.begin(), r2.end());
    // Fed in every possible two-piece split: the result never changes.
    for (size_t cut = 0; cut <= s.size(); ++cut) {
        kemusb::classic::StreamParser p;
        ClassicCollect c;
        p.feed(s.data(), cut, c);
        p.feed(s.data() + cut, s.size() - cut, c);
        ASSERT_EQ(c.frames.size(), 2u) << "cut at " << cut;
        EXPECT_EQ(p.skippedBytes(), 2u);
        EXPECT_EQ(p.pending(), 0u);
        const auto &a = c.frames[0];
        EXPECT_EQ(a.channel, 0);
        EXPECT_EQ(a.record.ID, 0x123u);
        EXPECT_EQ(a.record.TimeStamp, 0x010203u);
        EXPECT_EQ(a.record.TimeFlag, 1);
        EXPECT_EQ(a.record.DataLen, 8);
        EXPECT_EQ(std::memcmp(a.record.Data, d8.data(), 8), 0);
        const auto &b = c.frames[1];
        EXPECT_EQ(b.channel, 1);
        EXPECT_EQ(b.record.ID, 0x1ABCDEF0u);
        EXPECT_EQ(b.record.ExternFlag, 1);
        EXPECT_EQ(b.record.RemoteFlag, 1);
        EXPECT_EQ(b.record.TimeStamp, 0xFFFFFFu);
    }
}

TEST(KemClassicProtocol, StreamLengthNibbleAboveEightIsClampedAndOverflowDropped)
{
    auto r = kemusb::classic::streamRecord(0, 0x10, false, false, 8, kemtest::seq(1, 8).data(), 0);
    for (uint8_t nib : {9, 12, 15}) {
        r[6] = uint8_t((r[6] & 0xF0) | nib);
        kemusb::classic::StreamParser p;
        ClassicCollect c;
        p.feed(r.data(), r.size(), c);
        ASSERT_EQ(c.frames.size(), 1u);
        EXPECT_EQ(c.frames[0].record.DataLen, 8) << int(nib);
    }
    // More than the assembly buffer holds: the surplus is dropped, the
    // whole records that fitted come out.
    std::vector<uint8_t> big;
    for (int i = 0; i < 120; ++i) {
        const auto x = kemusb::classic::streamRecord(i & 1, uint32_t(i), false, false, 1, nullptr, 0);
        big.insert(big.end(), x.begin(), x.end());
    }
    kemusb::classic::StreamParser p;
    ClassicCollect c;
    p.feed(big.data(), big.size(), c);
    EXPECT_EQ(c.frames.size(), kemusb::classic::kAssemblyCapacity / kemusb::classic::kRecordSize);
    EXPECT_EQ(p.droppedBytes(), big.size() - kemusb::classic::kAssemblyCapacity);
}

TEST(KemKvaserProtocol, Stream20SplitsCommandsAndStepsOverZeroLengths)
{
    std::vector<uint8_t> s;
    auto add = [&](const std::vector<uint8_t> &x) { s.insert(s.end(), x.begin(), x.end()); };
    add(kemusb::kvaser::rx20Frame(2, 0x7E8, false, false, 8, kemtest::seq(0, 8).data()));
    add({0, 0}); // two zero lengths: would never move on
    add(kemusb::kvaser::rx20Ack(1));
    add(kemusb::kvaser::rx20Frame(9, 0x18DAF110, true, true, 12, kemtest::seq(5, 8).data())); // channel 9 → 7, length 12 → 8
    add({6, 99, 0, 0, 0, 0}); // an unknown command is stepped over by its length
    add(kemusb::kvaser::rx20Ack(3));
    for (size_t cut = 0; cut <= s.size(); ++cut) {
        kemusb::kvaser::Stream20 p;
        KvCollect c;
        p.feed(s.data(), cut, c);
        p.feed(s.data() + cut, s.size() - cut, c);
        ASSERT_EQ(c.frames.size(), 2u) << "cut " << cut;
        EXPECT_EQ(c.acks, (std::vector<int>{1, 3}));
        EXPECT_EQ(p.skippedBytes(), 2u);
        EXPECT_EQ(c.frames[0].first, 2);
        EXPECT_EQ(c.frames[0].second.ID, 0x7E8u);
        EXPECT_EQ(c.frames[1].first, 7) << "a channel above the last counts as the last";
        EXPECT_EQ(c.frames[1].second.ID, 0x18DAF110u);
        EXPECT_EQ(c.frames[1].second.ExternFlag, 1);
        EXPECT_EQ(c.frames[1].second.RemoteFlag, 1);
        EXPECT_EQ(c.frames[1].second.DataLen, 8);
    }
    // A stream of nothing but zero bytes ends.
    std::vector<uint8_t> zeros(4096, 0);
    kemusb::kvaser::Stream20 p;
    KvCollect c;
    p.feed(zeros.data(), zeros.size(), c);
    EXPECT_EQ(p.skippedBytes(), zeros.size());
    EXPECT_EQ(p.pending(), 0u);
}

TEST(KemKvaserProtocol, Stream32ChannelsFdFramesAndSplitCommands)
{
    std::vector<uint8_t> s;
    auto add = [&](const std::vector<uint8_t> &x) { s.insert(s.end(), x.begin(), x.end()); };
    add(kemusb::kvaser::rx32Frame(13, 0x18FF00AA, true, true, 2, std::vector<uint8_t>{0xDE, 0xAD}.data()));
    add(kemusb::kvaser::rx32FdFrame(5, 0x2AB, false, true, true, 15, kemtest::seq(0, 64).data(), 0xCAFE));
    add(kemusb::kvaser::rx32Ack(7));
    add(kemusb::kvaser::rx32Ack(15));
    for (size_t cut = 0; cut <= s.size(); cut += 3) {
        kemusb::kvaser::Stream32 p;
        KvCollect c;
        p.feed(s.data(), cut, c);
        p.feed(s.data() + cut, s.size() - cut, c);
        ASSERT_EQ(c.frames.size(), 1u) << "cut " << cut;
        ASSERT_EQ(c.fd.size(), 1u) << "cut " << cut;
        EXPECT_EQ(c.acks, (std::vector<int>{7, 15}));
        EXPECT_EQ(c.frames[0].first, 13);
        EXPECT_EQ(c.frames[0].second.ID, 0x18FF00AAu);
        EXPECT_EQ(c.frames[0].second.ExternFlag, 1);
        EXPECT_EQ(c.frames[0].second.RemoteFlag, 1);
        EXPECT_EQ(c.frames[0].second.DataLen, 2);
        EXPECT_EQ(c.fd[0].first, 5);
        EXPECT_EQ(c.fd[0].second.DataLen, 64);
        EXPECT_EQ(c.fd[0].second.FdFlag, KCAN_FD_FLAG_BRS | KCAN_FD_FLAG_ESI);
        EXPECT_EQ(c.fd[0].second.TimeStamp, 0xCAFEu);
        EXPECT_EQ(c.fd[0].second.Data[63], 63);
    }
    // Commands that declare a length below their own header cannot be
    // stepped over by it: a byte at a time, and the parse ends.
    {
        std::vector<uint8_t> bad;
        for (int i = 0; i < 200; ++i)
            bad.insert(bad.end(), {0xFF, 0, 0, 0, uint8_t(i % 6), 0});
        kemusb::kvaser::Stream32 p;
        KvCollect c;
        p.feed(bad.data(), bad.size(), c);
        EXPECT_GT(p.skippedBytes(), 0u);
        EXPECT_LE(p.pending(), kemusb::kvaser::kAssembly32);
    }
    // Source channels: the two fields make 0-63, anything above 15 is 15.
    for (int ch : {0, 1, 15, 16, 40, 63}) {
        auto a = kemusb::kvaser::rx32Ack(ch);
        EXPECT_EQ(kemusb::kvaser::cmd32SourceChannel(a.data()), ch > 15 ? 15 : ch) << ch;
    }
    // A split command longer than the assembly buffer is dropped.
    auto longFd = kemusb::kvaser::rx32FdFrame(1, 0x10, false, false, false, 15, nullptr, 0);
    longFd[4] = 0x00;
    longFd[5] = 0x01; // claims 256 bytes
    kemusb::kvaser::Stream32 p;
    KvCollect c;
    p.feed(longFd.data(), longFd.size(), c);
    std::vector<uint8_t> more(100, 0x11);
    p.feed(more.data(), more.size(), c);
    EXPECT_EQ(p.pending(), 0u);
    const auto ack = kemusb::kvaser::rx32Ack(2);
    p.feed(ack.data(), ack.size(), c);
    EXPECT_EQ(c.acks, std::vector<int>{2});
}

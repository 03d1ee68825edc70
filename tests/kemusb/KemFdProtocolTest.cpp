// Packet builders and parsers of the CAN FD and recording adapters.

#include "kemusb/src/protocol/KemFdProtocol.h"
#include "kemusb/src/protocol/KemRecordProtocol.h"

#include "platform/PlatBytes.h"
#include "tests/kemusb/GoldenBytes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <sstream>

using namespace kemusb::fd;

namespace {

struct Collect : StreamSink {
    std::vector<std::pair<int, OCAN_CAN_RX>> classic;
    std::vector<std::pair<int, OCAN_CANFD_RX>> fd;
    void classicFrame(int ch, const OCAN_CAN_RX &f) override { classic.emplace_back(ch, f); }
    void fdFrame(int ch, const OCAN_CANFD_RX &f) override { fd.emplace_back(ch, f); }
};

StreamFrame frame(int ch, bool fd, uint32_t id, uint8_t len, uint8_t seed = 0)
{
    StreamFrame f{};
    f.channel = ch;
    f.fd = fd;
    f.id = id;
    f.Len = len;
    f.TimeStamp = 1000 + id;
    for (int i = 0; i < 64; ++i)
        f.Data[i] = uint8_t(seed + i);
    return f;
}

} // namespace

TEST(KemFdProtocol, PacketsMatchGoldenVectors)
{
    const auto g = golden::vectors("kemusb_golden.py");
    ASSERT_FALSE(g.empty());
    std::map<std::string, Bytes> mine;
    mine["fd_hw"] = cmdHardwareVersion();
    mine["fd_fw"] = cmdFirmwareVersion();
    mine["fd_count"] = cmdChannelCount();
    for (int ch : {0, 3, 7}) {
        const std::string s = std::to_string(ch);
        mine["fd_start_" + s] = cmdStartChannel(ch);
        mine["fd_reset_" + s] = cmdResetChannel(ch);
        mine["fd_fclear_" + s] = cmdFilterClear(ch);
        mine["fd_fack_" + s] = cmdFilterAck(ch);
        mine["fd_fmode2_" + s] = cmdFilterMode2(ch);
        mine["fd_status_" + s] = cmdChannelStatus(ch);
    }
    mine["fd_frange_std"] = cmdFilterRange(1, 0, 0x123, 0xFFFF);
    mine["fd_frange_ext"] = cmdFilterRange(2, 1, 0x18FF0000, 0xFFFFFFFF);
    mine["fd_init_60"] = cmdInitChannel(1, 1, 0, 60, 0x0001975E, 0x0041020A);
    mine["fd_init_80"] = cmdInitChannel(5, 0, 2, 80, 0x12345678, 0x00010207);

    // 25 classic frames go out as packets of 10, 10 and 5.
    std::vector<OCAN_CAN_TX> tx(25);
    for (int i = 0; i < 25; ++i) {
        OCAN_CAN_TX &f = tx[i];
        std::memset(&f, 0, sizeof f);
        const bool ext = i % 5 == 0, rtr = i % 7 == 0;
        f.IdWord = uint32_t(0x100 + i) | (ext ? 0x1ABC0000u | OCAN_ID_EXTENDED : 0) | (rtr ? OCAN_ID_REMOTE : 0);
        f.Len = uint8_t(i % 9);
        for (int k = 0; k < 8; ++k)
            f.Data[k] = k < f.Len ? uint8_t(i + k) : 0xEE; // bytes past the length must not travel
        f.SendType = uint32_t(i % 3) | 0xF0;                  // only the low 4 bits travel
    }
    for (int p = 0, at = 0; at < 25; ++p, at += kTxBatch)
        mine["tx_classic_" + std::to_string(p)] = txPacket(2, tx.data() + at, std::min(kTxBatch, 25 - at));

    std::vector<OCAN_CANFD_TX> fd(12);
    static const uint8_t lens[] = {0, 1, 8, 12, 16, 20, 24, 32, 48, 64};
    for (int i = 0; i < 12; ++i) {
        OCAN_CANFD_TX &f = fd[i];
        std::memset(&f, 0, sizeof f);
        const bool ext = i % 2 == 1;
        f.IdWord = ext ? (0x1FFFF000u + i) | OCAN_ID_EXTENDED : uint32_t(0x7FF - i);
        f.Len = lens[i % 10];
        for (int k = 0; k < f.Len; ++k)
            f.Data[k] = uint8_t(3 * i + k);
        f.Flags = uint8_t((i % 4 == 0 ? 0x01 : 0) | (i % 3 == 0 ? 0x02 : 0));
        f.SendType = 1;
    }
    mine["tx_fd_0"] = txPacketFd(7, fd.data(), 10);
    mine["tx_fd_1"] = txPacketFd(7, fd.data() + 10, 2);

    kemusb::record::RecordSetting s0{};
    s0.enabled = 1, s0.standard = 1, s0.mode = 0, s0.arbClock = 60, s0.dataClock = 60;
    s0.arbTiming = 0x0001975E, s0.dataTiming = 0x0041020A, s0.optA = 1, s0.optB = 7, s0.optC = 9, s0.optE = 200;
    kemusb::record::RecordSetting s1{};
    s1.enabled = 0, s1.standard = 0, s1.mode = 3, s1.arbClock = 80, s1.dataClock = 40;
    s1.arbTiming = 0x00C1BBEE, s1.dataTiming = 0x00010207, s1.optD = 9;
    s1.optB = 0, s1.optC = 0, s1.optE = 0;
    mine["rec_set_0"] = kemusb::record::cmdSettingSet(0, s0);
    mine["rec_set_1"] = kemusb::record::cmdSettingSet(1, s1);
    kemusb::record::RecordFilter f{};
    f.kind = 1, f.first = 0x18DA00F1, f.last = 0x18DAFFF1;
    mine["rec_fclear_1"] = kemusb::record::cmdFilter(0, 5, nullptr); // any non-zero channel is 1
    mine["rec_fadd_0"] = kemusb::record::cmdFilter(1, 0, &f);
    mine["rec_fenable_1"] = kemusb::record::cmdFilter(2, 1, nullptr);
    mine["rec_fdisable_0"] = kemusb::record::cmdFilter(3, 0, nullptr);
    mine["rec_finfo_1"] = kemusb::record::cmdFilterInfo(1);
    mine["rec_fentry_300"] = kemusb::record::cmdFilterEntry(0, 300);
    mine["rec_get_1"] = kemusb::record::cmdSettingGet(1);

    for (const auto &kv : g) {
        auto it = mine.find(kv.first);
        ASSERT_NE(it, mine.end()) << "no builder for " << kv.first;
        EXPECT_EQ(golden::hex(it->second), kv.second) << kv.first;
    }
    EXPECT_EQ(g.size(), mine.size());
    EXPECT_EQ(mine["tx_classic_0"].size(), 7u + 10 * 19);
    EXPECT_EQ(mine["tx_classic_2"].size(), 7u + 5 * 19);
    EXPECT_EQ(mine["rec_set_0"].size(), 28u);
    EXPECT_EQ(golden::hex(mine["rec_fentry_300"]).substr(8), "2c01");
}

// Channels 2 to 7 of the 4- and 8-channel adapters reach their keys; a
// channel past the adapter's count or an unknown key matches nothing.
TEST(KemFdProtocol, SettingPathsCoverEveryChannelOfTheAdapter)
{
    struct Case {
        const char *path;
        int channels;
        int channel;
        SettingKey key;
    } cases[] = {
        {"0/canfd_standard", 2, 0, SettingKey::Standard},
        {"1/canfd_abit_baud_rate", 2, 1, SettingKey::ArbRate},
        {"2/canfd_dbit_baud_rate", 2, -1, SettingKey::None},
        {"2/canfd_dbit_baud_rate", 4, 2, SettingKey::DataRate},
        {"3/filter_mode", 4, 3, SettingKey::FilterMode},
        {"4/filter_mode", 4, -1, SettingKey::None},
        {"7/filter_end", 8, 7, SettingKey::FilterEnd},
        {"5/baud_rate_custom", 8, 5, SettingKey::CustomTiming},
        {"6/filter_start", 8, 6, SettingKey::FilterStart},
        {"6/filter_clear", 8, 6, SettingKey::FilterClear},
        {"6/filter_ack", 8, 6, SettingKey::FilterAck},
        {"8/filter_ack", 8, -1, SettingKey::None},
        {"12/filter_ack", 8, -1, SettingKey::None},
        {"0/filter_bogus", 8, -1, SettingKey::None},
        {"x/filter_ack", 8, -1, SettingKey::None},
        {"/filter_ack", 8, -1, SettingKey::None},
        {"0filter_ack", 8, -1, SettingKey::None},
        {"", 8, -1, SettingKey::None},
        {nullptr, 8, -1, SettingKey::None},
    };
    for (const auto &c : cases) {
        const SettingPath p = parseSettingPath(c.path, c.channels);
        EXPECT_EQ(p.key, c.key) << (c.path ? c.path : "(null)");
        if (c.key != SettingKey::None) {
            EXPECT_EQ(p.channel, c.channel) << c.path;
        }
    }
}

TEST(KemFdProtocol, SettingValuesParseLeniently)
{
    EXPECT_EQ(parseDecimal(" 500 000 "), 500000u);
    EXPECT_EQ(parseDecimal("abc"), 0u);
    EXPECT_EQ(parseDecimal(""), 0u);
    EXPECT_EQ(parseHex0x("0x000007ff"), 0x7FFu);
    EXPECT_EQ(parseHex0x("7ff"), 0u);
    EXPECT_EQ(parseHex0x("0xzz"), 0u);
    uint32_t a = 0, d = 0;
    EXPECT_TRUE(parseCustomTiming("80M,(0,0001975e,0041020a)", &a, &d));
    EXPECT_EQ(a, 0x0001975Eu);
    EXPECT_EQ(d, 0x0041020Au);
    EXPECT_FALSE(parseCustomTiming("0001975e,0041020a", &a, &d));
    EXPECT_FALSE(parseCustomTiming(",(1,2)", &a, &d));
}

// Every table rate reaches the bus at the adapter's real clock: the 60 MHz
// words as given, and at 80 MHz words worked out for 80 MHz.
TEST(KemFdProtocol, RateTablesGiveTheAskedRateAtEachClock)
{
    const uint32_t arb[] = {1000000, 800000, 500000, 250000, 125000, 100000, 50000};
    const uint32_t data[] = {5000000, 4000000, 2000000, 1000000, 800000, 500000, 250000, 125000, 100000, 50000};
    for (uint32_t clock : {60u, 80u}) {
        for (uint32_t r : arb) {
            uint32_t w = 0;
            ASSERT_TRUE(arbTimingFor(r, clock, &w)) << r << " @" << clock;
            EXPECT_EQ(bitRateOf(w, clock * 1000000u), r) << r << " @" << clock;
            const Timing t = decodeTiming(w);
            EXPECT_EQ(uint64_t(clock) * 1000000u % (uint64_t(r) * t.prescaler * (1 + t.tseg1 + t.tseg2)), 0u);
            EXPECT_LE(t.sjw, t.tseg2);
        }
        for (uint32_t r : data) {
            uint32_t w = 0;
            ASSERT_TRUE(dataTimingFor(r, clock, &w)) << r << " @" << clock;
            EXPECT_EQ(bitRateOf(w, clock * 1000000u), r) << r << " @" << clock;
        }
    }
    uint32_t w = 0;
    EXPECT_TRUE(arbTimingFor(500000, 60, &w));
    EXPECT_EQ(w, 0x0001975Eu);
    EXPECT_FALSE(arbTimingFor(333333, 60, &w));
    EXPECT_FALSE(arbTimingFor(333333, 80, &w));
    EXPECT_FALSE(dataTimingFor(3000000, 80, &w));
    // The 80 MHz 1 Mbit/s word keeps the 80 % sample point of the table.
    ASSERT_TRUE(arbTimingFor(1000000, 80, &w));
    const Timing t = decodeTiming(w);
    EXPECT_EQ(t.prescaler, 1u);
    EXPECT_EQ(1 + t.tseg1, 64u);
    EXPECT_EQ(t.tseg2, 16u);
}

// Replies shorter than what a parser reads are refused.
TEST(KemFdProtocol, ReplyParsersReadOnlyCheckedBytes)
{
    const uint8_t r[32] = {0x55, 0x01, 0x01, 0x00, 0x01, 0x17, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
    const uint8_t cr[5] = {0x55, 0x13, 0x01, 0x01, 0x04};
    uint16_t v = 0;
    uint8_t c = 0;
    uint32_t st = 0;
    EXPECT_FALSE(parseVersionReply(cmdHardwareVersion(), r, 5, &v));
    EXPECT_TRUE(parseVersionReply(cmdHardwareVersion(), r, 6, &v));
    EXPECT_EQ(v, 0x0117);
    EXPECT_FALSE(parseChannelCountReply(cmdChannelCount(), cr, 4, &c));
    EXPECT_TRUE(parseChannelCountReply(cmdChannelCount(), cr, 5, &c));
    EXPECT_EQ(c, 4);
    // A board reply counts only when it answers its own query.
    v = 0;
    EXPECT_FALSE(parseVersionReply(cmdFirmwareVersion(), r, 6, &v)) << "the hardware query's echo";
    EXPECT_FALSE(parseChannelCountReply(cmdChannelCount(), r, 6, &c));
    EXPECT_FALSE(kemusb::record::parseVersionReply(kemusb::record::cmdFirmwareVersion(), r, 6, &v));
    EXPECT_EQ(v, 0) << "a refused reply writes nothing";
    EXPECT_FALSE(filterReplyOk(r, 3));
    EXPECT_TRUE(filterReplyOk(r, 4));
    EXPECT_FALSE(initReplyOk(r, 4));
    EXPECT_TRUE(initReplyOk(r, 5));
    EXPECT_FALSE(parseStatusReply(r, 10, &st));
    EXPECT_TRUE(parseStatusReply(r, 11, &st));
    EXPECT_FALSE(startReplyOk(r, 2));

    kemusb::record::RecordSetting s{};
    s.optE = 0x5A;
    s.arbClock = 0x5A;
    uint8_t g[28] = {0x55, 0xA4, 0x00, 0x01, 0x01, 0x00, 60};
    g[27] = 0x77;
    EXPECT_FALSE(kemusb::record::parseSettingGetReply(g, 25, &s));
    EXPECT_EQ(s.arbClock, 0x5A) << "a refused reply leaves the record as it was";
    EXPECT_TRUE(kemusb::record::parseSettingGetReply(g, 27, &s));
    EXPECT_EQ(s.optE, 0x5A) << "a field the reply does not reach stays as it was";
    EXPECT_TRUE(kemusb::record::parseSettingGetReply(g, 28, &s));
    EXPECT_EQ(s.optE, 0x77);
    EXPECT_EQ(s.arbClock, 60);
    kemusb::record::RecordFilterInfo info{};
    const uint8_t fi[7] = {0x55, 0x05, 0x00, 0x00, 0x34, 0x12, 0x09};
    EXPECT_FALSE(kemusb::record::parseFilterInfoReply(fi, 6, &info));
    EXPECT_TRUE(kemusb::record::parseFilterInfoReply(fi, 7, &info));
    EXPECT_EQ(info.value0, 0x1234);
    EXPECT_EQ(info.value2, 9);
    EXPECT_FALSE(kemusb::record::filterReplyOk(fi, 3));
}

TEST(KemFdProtocol, RecordSettingRoundTripsThroughItsReply)
{
    kemusb::record::RecordSetting s{};
    s.enabled = 1, s.standard = 1, s.mode = 1, s.arbClock = 80, s.dataClock = 40;
    s.arbTiming = 0x00C1BBEE, s.dataTiming = 0x0081830E, s.optA = 1, s.optB = 2, s.optC = 3, s.optD = 1, s.optE = 4;
    const Bytes req = kemusb::record::cmdSettingSet(1, s);
    kemusb::record::RecordSetting back{};
    ASSERT_TRUE(kemusb::record::parseSettingGetReply(req.data(), req.size(), &back));
    EXPECT_EQ(std::memcmp(&back.enabled, &s.enabled, 5), 0);
    EXPECT_EQ(back.arbTiming, s.arbTiming);
    EXPECT_EQ(back.dataTiming, s.dataTiming);
    EXPECT_EQ(back.optA, 1);
    EXPECT_EQ(back.optD, 1);
    EXPECT_EQ(back.optE, 4);
}

// ---- receive stream ---------------------------------------------------------

TEST(KemFdStream, FramesReachTheirChannelsWithFlagsAndClampedLengths)
{
    StreamFrame in[4] = {frame(1, false, 0x123, 12, 1), frame(2, true, 0x18DAF110, 64, 2), frame(0, false, 0x7FF, 3),
                         frame(3, true, 0x10, 99)};
    in[1].extended = true;
    in[1].brs = true;
    in[1].esi = true;
    in[2].remote = true;
    in[2].extended = true;
    Bytes pkt = streamPacket(in, 4);
    pkt[7 + 19 + 75 + 19] = 0x95; // byte 0 of 0x80 or more goes to channel 7
    Collect c;
    StreamParser p;
    p.feed(pkt.data(), pkt.size(), c);
    ASSERT_EQ(c.classic.size(), 2u);
    ASSERT_EQ(c.fd.size(), 2u);
    EXPECT_EQ(c.classic[0].first, 1);
    EXPECT_EQ(c.classic[0].second.Len, 8) << "a classic length of 12 is stored as 8";
    EXPECT_EQ(c.classic[0].second.IdWord, 0x123u);
    EXPECT_EQ(c.classic[0].second.TimeStamp, 1000u + 0x123);
    EXPECT_EQ(c.classic[0].second.Data[7], 1 + 7);
    EXPECT_EQ(c.classic[1].second.IdWord, 0x7FFu | OCAN_ID_REMOTE | OCAN_ID_EXTENDED);
    EXPECT_EQ(c.fd[0].first, 2);
    EXPECT_EQ(c.fd[0].second.IdWord, 0x18DAF110u | OCAN_ID_EXTENDED);
    EXPECT_EQ(c.fd[0].second.Flags, 0x03);
    EXPECT_EQ(c.fd[0].second.Len, 64);
    EXPECT_EQ(c.fd[0].second.Data[63], 2 + 63);
    EXPECT_EQ(c.fd[1].first, 7);
    EXPECT_EQ(c.fd[1].second.Len, 64);
    EXPECT_EQ(p.pending(), 0u);
}

TEST(KemFdStream, SplitPacketsAndGarbageLoseOnlyTheGarbage)
{
    StreamFrame a[2] = {frame(0, true, 1, 20), frame(1, false, 2, 8)};
    StreamFrame b[1] = {frame(1, true, 3, 64)};
    Bytes s;
    const uint8_t junk[] = {0x00, 0x55, 0x55, 0xF2, 0x01};
    s.insert(s.end(), junk, junk + sizeof junk);
    Bytes p1 = streamPacket(a, 2);
    s.insert(s.end(), p1.begin(), p1.end());
    s.push_back(0x55);
    Bytes p2 = streamPacket(b, 1);
    s.insert(s.end(), p2.begin(), p2.end());
    // Every split point, fed in two reads.
    for (size_t cut = 0; cut <= s.size(); ++cut) {
        Collect c;
        StreamParser p;
        p.feed(s.data(), cut, c);
        p.feed(s.data() + cut, s.size() - cut, c);
        ASSERT_EQ(c.fd.size(), 2u) << cut;
        ASSERT_EQ(c.classic.size(), 1u) << cut;
        EXPECT_EQ(c.fd[1].second.IdWord, 3u);
        EXPECT_EQ(p.pending(), 0u);
    }
}

// A false header is checked before it is taken: its records must fit in its
// length, and its length must fit the assembly buffer.
TEST(KemFdStream, FalseHeadersAreSkippedAndReceptionGoesOn)
{
    StreamFrame f = frame(2, false, 0x321, 8);
    const Bytes good = streamPacket(&f, 1);
    struct Case {
        const char *what;
        Bytes prefix;
    } cases[] = {
        // claims one classic record of 19 bytes in 18
        {"length shorter than its record", {0x55, 0xF2, 0, 0, 18, 0, 1}},
        // claims two records in a 19-byte length
        {"count beyond length", {0x55, 0xF2, 0, 0, 19, 0, 2}},
        // claims an FD record (75) in 19 bytes: would read past the packet
        {"record past length", {0x55, 0xF2, 0, 0, 19, 0, 1, 0x00, 0x01}},
        // a length the buffer can never hold
        {"length over the buffer", {0x55, 0xF2, 0, 0, 0xFF, 0xFF, 1}},
        {"zero count", {0x55, 0xF2, 0, 0, 19, 0, 0}},
    };
    for (const auto &c : cases) {
        Bytes s = c.prefix;
        s.resize(std::max<size_t>(s.size(), 26), 0x00);
        s.insert(s.end(), good.begin(), good.end());
        Collect col;
        StreamParser p;
        p.feed(s.data(), s.size(), col);
        ASSERT_EQ(col.classic.size(), 1u) << c.what;
        EXPECT_EQ(col.classic[0].first, 2) << c.what;
        EXPECT_EQ(col.classic[0].second.IdWord, 0x321u) << c.what;
        // and the stream goes on afterwards
        p.feed(good.data(), good.size(), col);
        EXPECT_EQ(col.classic.size(), 2u) << c.what;
    }
}

// Firmware may pad a packet past its last record (to a whole number of USB
// packets, say): the declared length covers the padding, the records fit
// within it, and every frame is taken. Padding that looks like a header is
// passed over with the packet; the packet after it is read as usual.
TEST(KemFdStream, PaddedPacketsKeepTheirFrames)
{
    StreamFrame mixed[3] = {frame(0, false, 0x101, 8, 1), frame(5, true, 0x18DA00F1, 64, 2),
                            frame(3, false, 0x7FF, 2, 3)};
    mixed[1].extended = true;
    StreamFrame next = frame(6, true, 0x222, 12, 4);
    struct Case {
        const char *what;
        int frames;   // of mixed
        size_t pad;   // bytes after the last record
        uint8_t fill; // what they hold
    } cases[] = {
        {"one byte", 3, 1, 0x00},
        {"to a whole 64-byte packet", 3, 64 - (7 + 19 + 75 + 19) % 64, 0x00},
        {"one classic record's worth", 1, 19, 0x00},
        {"more than an FD record", 2, 200, 0xFF},
        {"header-like bytes", 3, 40, 0x55},
        {"a whole false header", 1, 26, 0xF2},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Bytes pkt = streamPacket(mixed, c.frames);
        pkt.insert(pkt.end(), c.pad, c.fill);
        if (c.fill == 0xF2) // 55 F2 00 00 13 00 01 ... inside the padding
            std::copy_n(Bytes{0x55, 0xF2, 0, 0, 19, 0, 1}.begin(), 7, pkt.end() - long(c.pad));
        plat::putLe16(&pkt[4], uint16_t(pkt.size() - kPacketHeader));
        const Bytes after = streamPacket(&next, 1);
        Bytes s = pkt;
        s.insert(s.end(), after.begin(), after.end());
        // Whole, and split at every point in two reads.
        for (size_t cut = 0; cut <= s.size(); cut += (cut < pkt.size() - c.pad ? 7 : 1)) {
            Collect col;
            StreamParser p;
            p.feed(s.data(), cut, col);
            p.feed(s.data() + cut, s.size() - cut, col);
            ASSERT_EQ(int(col.classic.size() + col.fd.size()), c.frames + 1) << "cut " << cut;
            EXPECT_EQ(col.classic[0].second.IdWord, 0x101u);
            EXPECT_EQ(col.fd.back().first, 6);
            EXPECT_EQ(col.fd.back().second.IdWord, 0x222u);
            if (c.frames == 3) {
                EXPECT_EQ(col.fd[0].second.IdWord, 0x18DA00F1u | OCAN_ID_EXTENDED);
                EXPECT_EQ(col.classic[1].first, 3);
            }
            EXPECT_EQ(p.skippedBytes(), 0u) << "cut " << cut;
            EXPECT_EQ(p.pending(), 0u);
        }
    }
}

TEST(KemFdStream, LongStreamThroughSmallAndLargeReads)
{
    Bytes s;
    int want = 0;
    for (int i = 0; i < 400; ++i) {
        StreamFrame fs[10];
        const int n = 1 + i % 10;
        for (int k = 0; k < n; ++k)
            fs[k] = frame(k % 8, (i + k) % 3 == 0, uint32_t(want + k), uint8_t(k * 7));
        want += n;
        const Bytes p = streamPacket(fs, n);
        s.insert(s.end(), p.begin(), p.end());
    }
    for (size_t chunk : {size_t(1), size_t(63), size_t(4096), size_t(10000), s.size()}) {
        Collect c;
        StreamParser p;
        for (size_t at = 0; at < s.size(); at += chunk)
            p.feed(s.data() + at, std::min(chunk, s.size() - at), c);
        EXPECT_EQ(int(c.classic.size() + c.fd.size()), want) << chunk;
        EXPECT_EQ(p.skippedBytes(), 0u) << chunk;
    }
}

TEST(KemFdStream, ClearDropsHalfAPacket)
{
    StreamFrame f = frame(0, true, 5, 64);
    const Bytes pkt = streamPacket(&f, 1);
    Collect c;
    StreamParser p;
    p.feed(pkt.data(), 40, c);
    EXPECT_EQ(p.pending(), 40u);
    p.clear();
    p.feed(pkt.data() + 40, pkt.size() - 40, c);
    p.feed(pkt.data(), pkt.size(), c);
    EXPECT_EQ(c.fd.size(), 1u);
}

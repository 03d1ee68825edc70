// The simulated classic adapter and Kvaser interfaces held against the
// golden packets of the byte tables (the same peer script the library's
// codecs are held against): what they send is byte for byte the table's,
// and what they read out of the table's transmit commands is the frame
// that was meant. The simulator shares no code with the library's codecs,
// so a mistake made on both sides shows here.

#include "kemusb/src/sim/KemSimClassic.h"
#include "kemusb/src/sim/KemSimKvaser.h"
#include "tests/kemusb/GoldenBytes.h"
#include "tests/kemusb/KemTestUtil.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using kemusb::sim::SimClassicModel;
using kemusb::sim::SimKvaserModel;
using plat::sim::Bytes;
using plat::sim::CanFrame;

namespace {

CanFrame frame(uint32_t id, bool ext, bool rtr, uint8_t len, const std::vector<uint8_t> &data, bool fd = false,
               bool brs = false)
{
    CanFrame f;
    f.id = id;
    f.ext = ext;
    f.rtr = rtr;
    f.len = len;
    f.fd = fd;
    f.brs = brs;
    if (!data.empty())
        std::memcpy(f.data, data.data(), data.size() < 64 ? data.size() : 64);
    return f;
}

// Identifier, formats, length and the bytes the length covers.
void expectFrame(const CanFrame &got, const CanFrame &want)
{
    EXPECT_EQ(got.id, want.id);
    EXPECT_EQ(got.ext, want.ext);
    EXPECT_EQ(got.rtr, want.rtr);
    EXPECT_EQ(got.len, want.len);
    EXPECT_EQ(std::memcmp(got.data, want.data, got.len), 0);
}

} // namespace

TEST(KemSimWire, SentPacketsAreTheTablesBytes)
{
    const auto g = golden::vectors("kemusb_classic_golden.py");
    ASSERT_FALSE(g.empty());
    struct Case {
        const char *name;
        Bytes bytes;
    } cases[] = {
        {"cls_rx_std",
         [] {
             Bytes b;
             SimClassicModel::appendStreamRecord(b, 0, frame(0x321, false, false, 8, kemtest::seq(1, 8)), 0x123456);
             return b;
         }()},
        {"cls_rx_ext_rtr",
         [] {
             Bytes b;
             SimClassicModel::appendStreamRecord(b, 1, frame(0x1ABCDEF0, true, true, 0, {}), 0xFFFFFF);
             return b;
         }()},
        {"kv20_rx_std", SimKvaserModel::frame20(2, frame(0x7E8, false, false, 8, kemtest::seq(0, 8)))},
        {"kv20_rx_ext", SimKvaserModel::frame20(6, frame(0x18DAF110, true, false, 3, kemtest::seq(1, 3)))},
        {"kv32_rx_classic", SimKvaserModel::frame32(13, frame(0x18FF00AA, true, true, 2, {0xDE, 0xAD}), 0)},
        {"kv32_rx_fd", SimKvaserModel::frame32(5, frame(0x2AB, false, false, 12, kemtest::seq(0, 12), true, true), 0xCAFE)},
        {"kv32_ack", SimKvaserModel::ack32(7)},
    };
    for (const Case &c : cases) {
        auto it = g.find(c.name);
        ASSERT_NE(it, g.end()) << c.name;
        EXPECT_EQ(golden::hex(c.bytes), it->second) << c.name;
    }
    EXPECT_EQ(golden::hex(SimKvaserModel::ack20(3)), "04320300") << "length 4, command 50, channel 3";
}

TEST(KemSimWire, TransmitCommandsOfTheTableReadAsTheirFrames)
{
    const auto g = golden::vectors("kemusb_classic_golden.py");
    ASSERT_FALSE(g.empty());

    // The classic adapter's three groups of seven frames on channel 1.
    std::vector<CanFrame> read;
    for (int n = 0; n < 3; ++n) {
        const Bytes grp = golden::bytes(g.at("cls_tx_group_" + std::to_string(n)));
        ASSERT_EQ(grp.size() % 19, 0u);
        for (size_t off = 0; off < grp.size(); off += 19) {
            CanFrame f;
            int ch = -1;
            ASSERT_TRUE(SimClassicModel::decodeTransmitRecord(grp.data() + off, &ch, &f));
            EXPECT_EQ(ch, 1);
            read.push_back(f);
        }
    }
    ASSERT_EQ(read.size(), 7u);
    for (int i = 0; i < 7; ++i) {
        SCOPED_TRACE(i);
        const bool ext = i % 2 == 1;
        expectFrame(read[size_t(i)], frame(ext ? 0x18FF0000u + i : 0x100u + i, ext, i == 3, uint8_t(i + 2),
                                           kemtest::seq(i * 16, 8)));
    }
    Bytes notARecord = golden::bytes(g.at("cls_tx_group_2"));
    notARecord[4] = 0xC7;
    CanFrame f;
    int ch = 0;
    EXPECT_FALSE(SimClassicModel::decodeTransmitRecord(notARecord.data(), &ch, &f));

    // The Kvaser interfaces' transmit commands.
    struct Case {
        const char *name;
        bool wide;
        int channel;
        CanFrame frame;
    } cases[] = {
        {"kv20_tx_std", false, 1, frame(0x5A5, false, false, 8, kemtest::seq(0xA0, 8))},
        {"kv20_tx_ext_rtr", false, 5, frame(0x1BCDEF12, true, true, 4, kemtest::seq(0, 4))},
        {"kv32_tx_std", true, 3, frame(0x123, false, false, 8, kemtest::seq(0, 8))},
        {"kv32_tx_ext_rtr", true, 3, frame(0x1ABCDEF0, true, true, 0, {})},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes b = golden::bytes(g.at(c.name));
        CanFrame got;
        int channel = -1;
        ASSERT_TRUE(c.wide ? SimKvaserModel::decodeTransmit32(b.data(), &channel, &got)
                           : SimKvaserModel::decodeTransmit20(b.data(), b.size(), &channel, &got));
        EXPECT_EQ(channel, c.channel);
        expectFrame(got, c.frame);
    }
    // A 32-byte transmit whose two extended flags disagree is not a frame.
    Bytes torn = golden::bytes(g.at("kv32_tx_ext_rtr"));
    torn[17] &= uint8_t(~0x20);
    EXPECT_FALSE(SimKvaserModel::decodeTransmit32(torn.data(), &ch, &f));
}

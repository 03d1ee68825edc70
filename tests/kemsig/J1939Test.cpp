// J1939 decoding: direct parameter groups and transport-protocol transfers
// reassembled from announcements and data packets, on an injected clock.
#include <gtest/gtest.h>

#include "tests/kemsig/KemsigTestUtil.h"

namespace {

uint32_t fakeTick(void *ctx) { return *static_cast<uint32_t *>(ctx); }

class KemsigJ1939 : public testing::Test
{
protected:
    kt::Db db = kt::makeDb(KDBC_PROTOCOL_J1939);
    std::unique_ptr<DbcMessage> out = kt::newMessage();
    uint32_t now = 5000;

    void SetUp() override
    {
        db->j1939().setTickSource(fakeTick, &now);
        // A 9-byte group 0xFECA with a signal in its first and its last byte,
        // and a single-frame group 0xFEF1.
        auto big = kt::newMessage();
        big->nID = 0x98FECA00;
        big->nSize = 9;
        big->nSignalCount = 2;
        big->sSignals[0] = kt::signal(0, 8, false, false, 1, 0, "First");
        big->sSignals[1] = kt::signal(64, 8, false, false, 1, 0, "Ninth");
        ASSERT_EQ(KDBC_InsertMessage(db.get(), big.get()), 1);
        auto small = kt::newMessage();
        small->nID = 0x98FEF100;
        small->nSize = 8;
        small->nSignalCount = 1;
        small->sSignals[0] = kt::signal(8, 16, false, false, 1, 0, "Speed");
        ASSERT_EQ(KDBC_InsertMessage(db.get(), small.get()), 1);
    }

    int decode(uint32_t id, std::vector<uint8_t> data)
    {
        const KCAN_CAN_OBJ f = kt::canFrame(id, data);
        return KDBC_Decode(db.get(), &f, 0, out.get());
    }
    // Connection management from source `sa` to `da`.
    int announce(uint8_t control, uint8_t sa, uint8_t da, uint16_t size, uint8_t packets, uint32_t pgn)
    {
        return decode(0x1CEC0000u | (uint32_t(da) << 8) | sa,
                      {control, uint8_t(size), uint8_t(size >> 8), packets, 0xFF, uint8_t(pgn), uint8_t(pgn >> 8),
                       uint8_t(pgn >> 16)});
    }
    int packet(uint8_t sa, uint8_t da, uint8_t seq, std::vector<uint8_t> bytes)
    {
        bytes.insert(bytes.begin(), seq);
        return decode(0x1CEB0000u | (uint32_t(da) << 8) | sa, bytes);
    }
};

const std::vector<uint8_t> kFirst = {0xA1, 2, 3, 4, 5, 6, 7};
const std::vector<uint8_t> kSecond = {8, 0xB9, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

} // namespace

TEST_F(KemsigJ1939, DecodesSingleFrameGroupsFromAnySource)
{
    for (uint32_t id : {0x18FEF100u, 0x18FEF1FEu, 0x0CFEF133u}) {
        ASSERT_EQ(decode(id, {0, 0x34, 0x12, 0, 0, 0, 0, 0}), 0) << std::hex << id;
        EXPECT_EQ(out->sSignals[0].nRawValue, 0x1234u);
    }
    EXPECT_EQ(decode(0x18FEF200, {0}), -1);
}

TEST_F(KemsigJ1939, BroadcastAnnounceThenPacketsDecodesTheWholeGroup)
{
    EXPECT_EQ(announce(32, 0x21, 0xFF, 9, 2, 0xFECA), -1);
    EXPECT_EQ(packet(0x21, 0xFF, 1, kFirst), -1);
    ASSERT_EQ(packet(0x21, 0xFF, 2, kSecond), 0);
    EXPECT_EQ(out->sSignals[0].nRawValue, 0xA1u);
    EXPECT_EQ(out->sSignals[1].nRawValue, 0xB9u) << "the ninth byte came in the second packet";
    EXPECT_EQ(out->nSize, 9u);
}

TEST_F(KemsigJ1939, RequestToSendTransferIsFollowedPassively)
{
    EXPECT_EQ(announce(16, 0x21, 0x33, 9, 2, 0xFECA), -1);
    EXPECT_EQ(announce(17, 0x33, 0x21, 0, 2, 0xFECA), -1) << "clear to send opens nothing";
    EXPECT_EQ(packet(0x33, 0x21, 1, kFirst), -1) << "packets travel under the sender's key";
    EXPECT_EQ(packet(0x21, 0x33, 1, kFirst), -1);
    EXPECT_EQ(packet(0x21, 0x33, 2, kSecond), 0);
}

TEST_F(KemsigJ1939, SessionsAreKeptPerAddressPairAndRestartOnANewAnnouncement)
{
    EXPECT_EQ(announce(32, 0x21, 0xFF, 9, 2, 0xFECA), -1);
    EXPECT_EQ(announce(32, 0x22, 0xFF, 9, 2, 0xFECA), -1);
    EXPECT_EQ(packet(0x21, 0xFF, 1, kFirst), -1);
    EXPECT_EQ(packet(0x22, 0xFF, 1, {0xC1, 0, 0, 0, 0, 0, 0}), -1);
    // Restart the first session: it expects packet 1 again.
    EXPECT_EQ(announce(32, 0x21, 0xFF, 9, 2, 0xFECA), -1);
    EXPECT_EQ(packet(0x21, 0xFF, 2, kSecond), -1);
    EXPECT_EQ(packet(0x22, 0xFF, 2, kSecond), 0);
    EXPECT_EQ(out->sSignals[0].nRawValue, 0xC1u);
    EXPECT_EQ(packet(0x21, 0xFF, 1, {0xD1, 0, 0, 0, 0, 0, 0}), -1);
    EXPECT_EQ(packet(0x21, 0xFF, 2, kSecond), 0);
    EXPECT_EQ(out->sSignals[0].nRawValue, 0xD1u);
    int used = 0;
    for (int i = 0; i < 256; ++i)
        used += db->j1939().sessions()[i].inUse;
    EXPECT_EQ(used, 2);
}

TEST_F(KemsigJ1939, OutOfOrderPacketLeavesTheSessionWaiting)
{
    announce(32, 0x21, 0xFF, 16, 3, 0xFECA);
    EXPECT_EQ(packet(0x21, 0xFF, 1, kFirst), -1);
    EXPECT_EQ(packet(0x21, 0xFF, 3, kSecond), -1);
    EXPECT_EQ(packet(0x21, 0xFF, 2, kSecond), -1);
    EXPECT_EQ(packet(0x21, 0xFF, 3, {0, 0}), 0);
    EXPECT_EQ(packet(0x99, 0xFF, 1, kFirst), -1) << "no session for that sender";
}

TEST_F(KemsigJ1939, SessionsExpireAfterTenSecondsWithoutTraffic)
{
    announce(32, 0x21, 0xFF, 9, 2, 0xFECA);
    now += 9999;
    EXPECT_EQ(packet(0x21, 0xFF, 1, kFirst), -1);
    now += 9999; // counted from the last packet
    EXPECT_EQ(packet(0x21, 0xFF, 2, kSecond), 0);

    announce(32, 0x21, 0xFF, 9, 2, 0xFECA);
    packet(0x21, 0xFF, 1, kFirst);
    now += 10000;
    EXPECT_EQ(packet(0x21, 0xFF, 2, kSecond), -1);

    // The tick counter wraps like a 32-bit millisecond count.
    now = 0xFFFFFF00u;
    announce(32, 0x21, 0xFF, 9, 2, 0xFECA);
    now = 0x100;
    EXPECT_EQ(packet(0x21, 0xFF, 1, kFirst), -1);
    EXPECT_EQ(packet(0x21, 0xFF, 2, kSecond), 0);
}

TEST_F(KemsigJ1939, FullTableIgnoresNewAnnouncements)
{
    for (int i = 0; i < 256; ++i)
        announce(32, uint8_t(i), 0xFF, 9, 2, 0xFECA);
    EXPECT_EQ(announce(32, 0x00, 0x01, 9, 2, 0xFECA), -1);
    EXPECT_EQ(packet(0x00, 0x01, 1, kFirst), -1);
    EXPECT_EQ(packet(0x00, 0x01, 2, kSecond), -1) << "that announcement found no session";
    now += 10000;
    EXPECT_EQ(announce(32, 0x00, 0x01, 9, 2, 0xFECA), -1);
    EXPECT_EQ(packet(0x00, 0x01, 1, kFirst), -1);
    EXPECT_EQ(packet(0x00, 0x01, 2, kSecond), 0);
}

// A transfer announced larger than its packets carry is not decoded from
// stale buffer contents; one announced beyond the buffer reads no further.
TEST_F(KemsigJ1939, DecodesOnlyWhenTheAnnouncedBytesArrived)
{
    announce(32, 0x21, 0xFF, 100, 2, 0xFECA);
    packet(0x21, 0xFF, 1, kFirst);
    EXPECT_EQ(packet(0x21, 0xFF, 2, kSecond), -1) << "14 of 100 bytes";

    // 0xFFFF announced bytes in 255 packets: the buffer holds 1792.
    auto big = kt::newMessage();
    big->nID = 0x98FECB00;
    big->nSize = 64;
    big->nSignalCount = 1;
    big->sSignals[0] = kt::signal(1791 * 8, 8, false, false, 1, 0, "LastByte");
    ASSERT_EQ(KDBC_InsertMessage(db.get(), big.get()), 1);
    announce(32, 0x30, 0xFF, 0xFFFF, 255, 0xFECB);
    int r = 0;
    for (int seq = 1; seq <= 255; ++seq)
        r = packet(0x30, 0xFF, uint8_t(seq), {uint8_t(seq), 1, 2, 3, 4, 5, uint8_t(seq)});
    EXPECT_EQ(r, -1) << "1785 bytes received of 65535";
    int used = 0;
    for (int i = 0; i < 256; ++i)
        if (db->j1939().sessions()[i].inUse && db->j1939().sessions()[i].key == 0xFF30)
            used = db->j1939().sessions()[i].received;
    EXPECT_EQ(used, 1785);

    // 1792 announced, 256 packets cannot be numbered: 255 * 7 = 1785 < 1792.
    // 1785 announced in 255 packets completes and decodes.
    big->sSignals[0] = kt::signal(1784 * 8, 8, false, false, 1, 0, "LastByte");
    ASSERT_EQ(KDBC_InsertMessage(db.get(), big.get()), 1);
    announce(32, 0x30, 0xFF, 1785, 255, 0xFECB);
    for (int seq = 1; seq <= 255; ++seq)
        r = packet(0x30, 0xFF, uint8_t(seq), {uint8_t(seq), 1, 2, 3, 4, 5, uint8_t(seq)});
    ASSERT_EQ(r, 0);
    EXPECT_EQ(out->sSignals[0].nRawValue, 255u);
}

TEST_F(KemsigJ1939, TransferOfUnknownGroupAndDataPageOneTransport)
{
    announce(32, 0x21, 0xFF, 9, 2, 0xFEDD);
    packet(0x21, 0xFF, 1, kFirst);
    EXPECT_EQ(packet(0x21, 0xFF, 2, kSecond), -1) << "assembled, but no such message";

    auto dp1 = kt::newMessage();
    dp1->nID = 0x99EB0000;
    dp1->nSize = 8;
    dp1->nSignalCount = 1;
    dp1->sSignals[0] = kt::signal(0, 8, false);
    ASSERT_EQ(KDBC_InsertMessage(db.get(), dp1.get()), 1);
    EXPECT_EQ(decode(0x19EBFF21, {0x42, 1, 2, 3, 4, 5, 6, 7}), 0) << "transport on data page 1 is an ordinary group";
    EXPECT_EQ(out->sSignals[0].nRawValue, 0x42u);
    EXPECT_EQ(decode(0x18EB, {}), -1);
    EXPECT_EQ(decode(0x1CEBFF21, {}), -1) << "an empty data packet";
}

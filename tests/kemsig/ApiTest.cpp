// The exported functions on a handle: keys, the table, decoding and
// encoding of plain CAN frames.
#include <gtest/gtest.h>

#include <random>

#include "tests/kemsig/KemsigTestUtil.h"
#include "kemsig/src/SignalCodec.h"

namespace {

std::unique_ptr<DbcMessage> message(uint32_t id, uint32_t size, std::vector<DbcSignal> sigs, const char *name = "M")
{
    auto m = kt::newMessage();
    m->nID = id;
    m->nExtend = uint8_t(id >> 31);
    m->nSize = size;
    m->nSignalCount = uint32_t(sigs.size());
    for (size_t i = 0; i < sigs.size(); ++i)
        m->sSignals[i] = sigs[i];
    std::strncpy(m->strName, name, 127);
    std::strncpy(m->strComment, "comment", 200);
    return m;
}

} // namespace

TEST(KemsigKeys, FollowTheProtocol)
{
    struct Case {
        int32_t protocol;
        uint32_t id, key;
    } cases[] = {
        {KDBC_PROTOCOL_CAN, 0x100, 0x100},
        {KDBC_PROTOCOL_CAN, 0x80000100, 0x100},
        {KDBC_PROTOCOL_CAN, 0xFFFFFFFF, 0x1FFFFFFF},
        {KDBC_PROTOCOL_J1939, 0x18FEF100, 0xFEF1},  // PDU2: source address dropped
        {KDBC_PROTOCOL_J1939, 0x18FEF1FE, 0xFEF1},
        {KDBC_PROTOCOL_J1939, 0x18EF2100, 0xEF00},  // PDU1: destination dropped too
        {KDBC_PROTOCOL_J1939, 0x18EF3300, 0xEF00},
        {KDBC_PROTOCOL_J1939, 0x19FEF100, 0x1FEF1}, // data page kept
        {KDBC_PROTOCOL_J1939, 0x1BFEF100, 0x1FEF1}, // extended data page and priority are not
        {KDBC_PROTOCOL_J1939, 0x98EBFF00, 0xEB00},
        {KDBC_PROTOCOL_J1939, 0x0CF00400, 0xF004},
        {2, 0x80000100, 0x80000100},
        {-1, 0x123, 0x123},
    };
    for (const auto &c : cases) {
        kt::Db db = kt::makeDb(c.protocol);
        EXPECT_EQ(db->messageKey(c.id), c.key) << std::hex << c.id << " protocol " << c.protocol;
    }
}

TEST(KemsigApi, HandleStartsEmptyUnderPlainCanAndReportsItsProtocol)
{
    kt::Db db(KDBC_Init());
    ASSERT_TRUE(db);
    EXPECT_EQ(KDBC_GetProtocol(db.get()), 1);
    EXPECT_EQ(KDBC_GetMessageCount(db.get()), 0u);
    for (int p : {0, 1, 2}) {
        EXPECT_EQ(KDBC_SetProtocol(db.get(), p), 1);
        EXPECT_EQ(KDBC_GetProtocol(db.get()), p);
    }
    KDBC_Release(nullptr);
}

TEST(KemsigApi, TableInsertReplaceDeleteAndIndex)
{
    kt::Db db = kt::makeDb();
    auto out = kt::newMessage();
    EXPECT_EQ(KDBC_InsertMessage(db.get(), nullptr), 0);
    ASSERT_EQ(KDBC_InsertMessage(db.get(), message(0x300, 8, {}, "C").get()), 1);
    ASSERT_EQ(KDBC_InsertMessage(db.get(), message(0x100, 8, {}, "A").get()), 1);
    ASSERT_EQ(KDBC_InsertMessage(db.get(), message(0x80000100, 8, {}, "A2").get()), 1);
    ASSERT_EQ(KDBC_InsertMessage(db.get(), message(0x200, 8, {}, "B").get()), 1);
    ASSERT_EQ(KDBC_GetMessageCount(db.get()), 3u) << "0x100 and 0x80000100 share a key";
    const char *order[] = {"A2", "B", "C"};
    for (uint32_t pass = 0; pass < 2; ++pass)
        for (uint32_t i = 0; i < 3; ++i) {
            uint32_t idx = pass ? 2 - i : i; // forwards, then backwards
            ASSERT_EQ(KDBC_GetMessageByIndex(db.get(), idx, out.get()), 1);
            EXPECT_STREQ(out->strName, order[idx]);
        }
    EXPECT_EQ(KDBC_GetMessageByIndex(db.get(), 3, out.get()), 0);
    EXPECT_EQ(KDBC_GetMessageByIndex(db.get(), 0, nullptr), 1);
    EXPECT_EQ(KDBC_DeleteMessage(db.get(), 0x999), 1);
    EXPECT_EQ(KDBC_DeleteMessage(db.get(), 0x100), 1);
    ASSERT_EQ(KDBC_GetMessageCount(db.get()), 2u);
    ASSERT_EQ(KDBC_GetMessageByIndex(db.get(), 0, out.get()), 1);
    EXPECT_STREQ(out->strName, "B") << "the index follows the table after a change";
    EXPECT_EQ(KDBC_ClrMessage(db.get()), 1);
    EXPECT_EQ(KDBC_GetMessageCount(db.get()), 0u);
}

TEST(KemsigApi, MessageCopiedOutAndBackInStoresUnderTheSameKey)
{
    kt::Db db = kt::makeDb(KDBC_PROTOCOL_J1939);
    auto in = message(0x98FEF1FE, 8, {kt::signal(0, 8, false), kt::signal(15, 4, true)});
    in->nCycleTime = 100;
    ASSERT_EQ(KDBC_InsertMessage(db.get(), in.get()), 1);
    auto out = kt::newMessage();
    std::memset(out.get(), 0x5A, sizeof(DbcMessage));
    ASSERT_EQ(KDBC_GetMessageByIndex(db.get(), 0, out.get()), 1);
    EXPECT_EQ(0, std::memcmp(in.get(), out.get(), sizeof(DbcMessage))) << "the whole record, unused slots zero";
    ASSERT_EQ(KDBC_InsertMessage(db.get(), out.get()), 1);
    EXPECT_EQ(KDBC_GetMessageCount(db.get()), 1u);
}

TEST(KemsigApi, RecordWithTooManySignalsIsHeldTo256)
{
    kt::Db db = kt::makeDb();
    auto in = message(0x10, 8, {});
    for (int i = 0; i < 256; ++i)
        in->sSignals[i] = kt::signal(i % 64, 1, false);
    in->nSignalCount = 100000;
    ASSERT_EQ(KDBC_InsertMessage(db.get(), in.get()), 1);
    auto out = kt::newMessage();
    const KCAN_CAN_OBJ f = kt::canFrame(0x10, {0xFF, 0, 0, 0, 0, 0, 0, 0x80});
    ASSERT_EQ(KDBC_Decode(db.get(), &f, 0, out.get()), 0);
    EXPECT_EQ(out->nSignalCount, 256u);
    EXPECT_EQ(out->sSignals[255].nRawValue, 1u);
    uint8_t data[8] = {};
    EXPECT_EQ(KDBC_Encode(db.get(), data, 8, in.get()), 8u);
}

TEST(KemsigApi, DecodeExtractsEverySignalOfTheStoredMessage)
{
    kt::Db db = kt::makeDb();
    auto in = message(0x80000100, 8,
                      {kt::signal(0, 8, false, true, 1, 0, "Int8"), kt::signal(7, 16, true, false, 1, 0, "Moto"),
                       kt::signal(60, 8, false, false, 1, 0, "Out"), kt::signal(0, 0, false, false, 1, 0, "Empty")});
    in->sSignals[2].nRawValue = 1234; // kept when the field does not fit
    ASSERT_EQ(KDBC_InsertMessage(db.get(), in.get()), 1);
    auto out = kt::newMessage();
    const KCAN_CAN_OBJ f = kt::canFrame(0x100, {0xFF, 0x34, 0, 0, 0, 0, 0, 0});
    ASSERT_EQ(KDBC_Decode(db.get(), &f, 0, out.get()), 0) << "a standard frame meets the extended message";
    EXPECT_EQ(out->sSignals[0].nRawValue, 0xFFu) << "raw stays zero-extended";
    EXPECT_DOUBLE_EQ(KDBC_CalcPhysicalValue(&out->sSignals[0], out->sSignals[0].nRawValue), -1.0);
    EXPECT_EQ(out->sSignals[1].nRawValue, 0xFF34u);
    EXPECT_EQ(out->sSignals[2].nRawValue, 1234u);
    EXPECT_EQ(out->sSignals[3].nRawValue, 0u);

    const KCAN_CAN_OBJ miss = kt::canFrame(0x101, {1});
    EXPECT_EQ(KDBC_Decode(db.get(), &miss, 0, out.get()), -1);
    EXPECT_EQ(KDBC_Decode(db.get(), &f, 0, nullptr), -1);
    KDBC_SetProtocol(db.get(), 2);
    EXPECT_EQ(KDBC_Decode(db.get(), &f, 0, out.get()), -1) << "no decoding under an unknown protocol";
}

// The length byte is bounded by the data area of the record the caller
// passed: 8 bytes for a classic record, 64 for a CAN FD record.
TEST(KemsigApi, DecodeReadsNoFurtherThanTheFrameRecord)
{
    kt::Db db = kt::makeDb();
    ASSERT_EQ(KDBC_InsertMessage(db.get(), message(0x10, 64,
                                                   {kt::signal(56, 8, false, false, 1, 0, "Last8"),
                                                    kt::signal(64, 8, false, false, 1, 0, "Byte8"),
                                                    kt::signal(504, 8, false, false, 1, 0, "Last64")})
                                               .get()),
              1);
    // A classic record followed by bytes that are not its own.
    struct {
        KCAN_CAN_OBJ f;
        uint8_t beyond[56];
    } classic;
    std::memset(&classic, 0xEE, sizeof classic);
    classic.f.ID = 0x10;
    classic.f.DataLen = 255;
    std::memset(classic.f.Data, 0x11, 8);
    auto out = kt::newMessage();
    ASSERT_EQ(KDBC_Decode(db.get(), &classic.f, 0, out.get()), 0);
    EXPECT_EQ(out->sSignals[0].nRawValue, 0x11u);
    EXPECT_EQ(out->sSignals[1].nRawValue, 0u) << "byte 8 lies outside a classic record";
    EXPECT_EQ(out->sSignals[2].nRawValue, 0u);

    KCAN_CANFD_OBJ fd;
    std::memset(&fd, 0, sizeof fd);
    fd.ID = 0x10;
    fd.DataLen = 200;
    for (int i = 0; i < 64; ++i)
        fd.Data[i] = uint8_t(i);
    ASSERT_EQ(KDBC_Decode(db.get(), &fd, 1, out.get()), 0);
    EXPECT_EQ(out->sSignals[1].nRawValue, 8u);
    EXPECT_EQ(out->sSignals[2].nRawValue, 63u);
}

// Decoding writes the header, the used signal slots and the texts; the
// values there are those a full copy would give.
TEST(KemsigApi, DecodeWritesWhatTheCallerReads)
{
    kt::Db db = kt::makeDb();
    auto in = message(0x10, 8, {kt::signal(0, 8, false), kt::signal(8, 8, false)}, "Name");
    in->nCycleTime = 50;
    std::strcpy(in->sSignals[1].strComment, "second");
    ASSERT_EQ(KDBC_InsertMessage(db.get(), in.get()), 1);
    auto full = kt::newMessage();
    ASSERT_EQ(KDBC_GetMessageByIndex(db.get(), 0, full.get()), 1);
    auto out = kt::newMessage();
    for (uint8_t fill : {0x00, 0xA5}) {
        std::memset(out.get(), fill, sizeof(DbcMessage));
        const KCAN_CAN_OBJ f = kt::canFrame(0x10, {7, 9});
        ASSERT_EQ(KDBC_Decode(db.get(), &f, 0, out.get()), 0);
        full->sSignals[0].nRawValue = 7;
        full->sSignals[1].nRawValue = 9;
        EXPECT_EQ(0, std::memcmp(out.get(), full.get(), offsetof(DbcMessage, sSignals) + 2 * sizeof(DbcSignal)));
        EXPECT_EQ(0, std::memcmp(out->strName, full->strName, sizeof(DbcMessage) - offsetof(DbcMessage, strName)));
    }
}

TEST(KemsigApi, EncodeWritesSignalsInSlotOrderAndReturnsTheSize)
{
    auto m = message(0x10, 6,
                     {kt::signal(0, 12, false), kt::signal(23, 12, true), kt::signal(4, 8, false),
                      kt::signal(60, 8, false)});
    m->sSignals[0].nRawValue = 0xABC;
    m->sSignals[1].nRawValue = 0x123;
    m->sSignals[2].nRawValue = 0xFF; // overlaps the first: the later slot wins
    m->sSignals[3].nRawValue = 0xFF; // does not fit 6 bytes: skipped
    uint8_t data[6] = {0, 0, 0, 0, 0, 0x77};
    EXPECT_EQ(KDBC_Encode(nullptr, data, 6, m.get()), 6u);
    const uint8_t expect[6] = {0xFC, 0x0F, 0x12, 0x30, 0x00, 0x77};
    EXPECT_EQ(0, std::memcmp(data, expect, 6));
    EXPECT_EQ(KDBC_Encode(nullptr, data, 6, nullptr), 0u);
}

// Extracting every signal of a message and inserting it again into a zero
// buffer reproduces exactly the bits the fields cover.
TEST(KemsigApi, DecodeThenEncodeReproducesTheCoveredBits)
{
    std::mt19937 rng(11);
    kt::Db db = kt::makeDb();
    std::vector<DbcSignal> sigs;
    uint8_t cover[8] = {};
    for (int i = 0; i < 8; ++i) { // one byte each, alternating orders, split across bytes
        DbcSignal s = i % 2 ? kt::signal(i * 8 + 7, 8, true) : kt::signal(i * 8, 8, false);
        if (i == 7)
            s = kt::signal(56, 5, false);
        sigs.push_back(s);
    }
    for (const DbcSignal &s : sigs)
        s.isMotorola ? kemsig::insertMotorola(cover, 8, s.nStartBit, s.nLen, ~0ull)
                     : kemsig::insertIntel(cover, 8, s.nStartBit, s.nLen, ~0ull);
    auto in = message(0x10, 8, sigs);
    ASSERT_EQ(KDBC_InsertMessage(db.get(), in.get()), 1);
    auto out = kt::newMessage();
    for (int round = 0; round < 100; ++round) {
        std::vector<uint8_t> bytes(8);
        for (auto &b : bytes)
            b = uint8_t(rng());
        const KCAN_CAN_OBJ f = kt::canFrame(0x10, bytes);
        ASSERT_EQ(KDBC_Decode(db.get(), &f, 0, out.get()), 0);
        uint8_t again[8] = {};
        KDBC_Encode(db.get(), again, 8, out.get());
        for (int b = 0; b < 8; ++b)
            ASSERT_EQ(again[b], bytes[b] & cover[b]);
    }
}

TEST(KemsigApi, ValueDescriptionsMatchTheIdAsWritten)
{
    kt::Db db = kt::makeDb();
    DbcDatabase *d = db.get();
    d->loadText("VAL_ 2147483904 S 0 \"a\" 1 \"b\" 2 \"c\" 3 \"d\" 4 \"e\" ;\n"
                "VAL_ 2147483904 S 9 \"second\" ;\n");
    EXPECT_EQ(KDBC_GetValDescPairCount(d, 0x80000100, "S"), 5u) << "the first match counts";
    EXPECT_EQ(KDBC_GetValDescPairCount(d, 0x100, "S"), 0u) << "ids are compared as written, not as keys";
    EXPECT_EQ(KDBC_GetValDescPairCount(d, 0x80000100, "s"), 0u);
    EXPECT_EQ(KDBC_GetValDescPairCount(d, 0x80000100, "Unknown"), 0u);
    DbcValDescPair p[16];
    std::memset(p, 0, sizeof p);
    EXPECT_EQ(KDBC_GetValDescPair(d, 0x80000100, "S", p, 16), 1u) << "the last match gives the result";
    EXPECT_EQ(p[0].value, 9);
    EXPECT_STREQ(p[0].text, "second");
    EXPECT_STREQ(p[1].text, "b") << "the earlier match was copied first";
    EXPECT_EQ(KDBC_GetValDescPair(d, 0x80000100, "S", p, 0), 0u);
    EXPECT_EQ(KDBC_ClrMessage(d), 1);
    EXPECT_EQ(KDBC_GetValDescPairCount(d, 0x80000100, "S"), 0u);
}

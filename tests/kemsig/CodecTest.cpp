// Bit-field extraction and insertion, and the raw/physical conversions.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "tests/kemsig/KemsigTestUtil.h"
#include "kemsig/src/SignalCodec.h"

using namespace kemsig;

namespace {

struct FieldCase {
    bool motorola;
    int32_t start;
    int32_t len;
    uint32_t dataLen;
    bool ok;
    uint64_t raw;
};

const uint8_t kData[8] = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0};

} // namespace

TEST(KemsigCodec, ExtractsIntelAndMotorolaFields)
{
    const FieldCase cases[] = {
        {false, 4, 8, 4, true, 0x41},
        {false, 0, 32, 4, true, 0x78563412},
        {false, 0, 64, 8, true, 0xF0DEBC9A78563412ull},
        {false, 3, 1, 8, true, 0},
        {false, 4, 1, 8, true, 1},
        {false, 60, 8, 8, false, 0},
        {false, 56, 8, 8, true, 0xF0},
        {false, 0, 0, 8, true, 0},
        {false, 0, 65, 16, false, 0},
        {false, -1, 4, 8, false, 0},
        {true, 7, 16, 4, true, 0x1234},
        {true, 3, 8, 4, true, 0x23},
        {true, 7, 32, 4, true, 0x12345678},
        {true, 11, 12, 4, true, 0x456},
        {true, 60, 4, 8, true, 0x8},         // bits 60..57 of F0 = 1000
        {true, 7, 64, 8, true, 0x123456789ABCDEF0ull},
        {true, 7, 65, 16, false, 0},
        {true, 0, 2, 1, false, 0},           // runs past the only byte
        {true, 64, 1, 8, false, 0},
        {true, 15, 0, 2, true, 0},
        {true, -3, 4, 8, false, 0},
    };
    for (const auto &c : cases) {
        uint64_t raw = 0xDEADBEEF;
        bool ok = c.motorola ? extractMotorola(kData, c.dataLen, c.start, c.len, &raw)
                             : extractIntel(kData, c.dataLen, c.start, c.len, &raw);
        SCOPED_TRACE(testing::Message() << (c.motorola ? "motorola" : "intel") << " start " << c.start << " len "
                                        << c.len << " dataLen " << c.dataLen);
        EXPECT_EQ(ok, c.ok);
        EXPECT_EQ(raw, c.ok ? c.raw : 0xDEADBEEFu) << "a failed extraction leaves the output";
    }
}

TEST(KemsigCodec, InsertsOnlyTheFieldBits)
{
    // 0x1FF into an 8-bit Intel field at bit 4: FF lands in the field, the
    // ninth value bit and the neighbouring bits stay.
    uint8_t d[2] = {0x05, 0xA0};
    ASSERT_TRUE(insertIntel(d, 2, 4, 8, 0x1FF));
    EXPECT_EQ(d[0], 0xF5);
    EXPECT_EQ(d[1], 0xAF);

    uint8_t m[4] = {0xFF, 0xFF, 0xFF, 0xFF};
    ASSERT_TRUE(insertMotorola(m, 4, 11, 12, 0));
    EXPECT_EQ(m[0], 0xFF);
    EXPECT_EQ(m[1], 0xF0);
    EXPECT_EQ(m[2], 0x00);
    EXPECT_EQ(m[3], 0xFF);

    uint8_t z[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    uint8_t before[8];
    std::memcpy(before, z, 8);
    EXPECT_TRUE(insertIntel(z, 8, 3, 0, ~0ull)) << "length 0 writes nothing, with success";
    EXPECT_FALSE(insertIntel(z, 8, 60, 8, ~0ull));
    EXPECT_EQ(0, std::memcmp(z, before, 8));
    EXPECT_FALSE(insertMotorola(z, 1, 2, 8, ~0ull));
    EXPECT_EQ(0, std::memcmp(z, before, 8)) << "a field that does not fit leaves the data";
}

// Random fields of both orders: inserting a value and extracting it again
// gives the value masked to the field, and bits outside the field stay.
TEST(KemsigCodec, RoundTripsRandomFieldsAndKeepsOtherBits)
{
    std::mt19937_64 rng(7);
    for (int i = 0; i < 20000; ++i) {
        const uint32_t dataLen = 1 + rng() % 64;
        const bool motorola = rng() & 1;
        const int32_t len = int32_t(rng() % 65);
        const int32_t start = int32_t(rng() % (dataLen * 8));
        std::vector<uint8_t> data(dataLen), mask(dataLen, 0);
        for (auto &b : data)
            b = uint8_t(rng());
        const std::vector<uint8_t> original = data;
        const uint64_t value = rng();
        const bool ok = motorola ? insertMotorola(data.data(), dataLen, start, len, value)
                                 : insertIntel(data.data(), dataLen, start, len, value);
        uint64_t back = 0;
        const bool okBack = motorola ? extractMotorola(data.data(), dataLen, start, len, &back)
                                     : extractIntel(data.data(), dataLen, start, len, &back);
        ASSERT_EQ(ok, okBack);
        if (!ok) {
            ASSERT_EQ(data, original);
            continue;
        }
        const uint64_t expect = len == 64 ? value : value & ((uint64_t(1) << len) - 1);
        ASSERT_EQ(back, expect) << "start " << start << " len " << len << " motorola " << motorola;
        // Mark the field's bits by inserting all ones into a zero buffer.
        if (motorola)
            insertMotorola(mask.data(), dataLen, start, len, ~0ull);
        else
            insertIntel(mask.data(), dataLen, start, len, ~0ull);
        int bits = 0;
        for (uint32_t b = 0; b < dataLen; ++b) {
            ASSERT_EQ(data[b] & ~mask[b] & 0xFF, original[b] & ~mask[b] & 0xFF);
            bits += __builtin_popcount(mask[b]);
        }
        ASSERT_EQ(bits, len);
    }
}

TEST(KemsigCodec, SignalsPickTheirByteOrder)
{
    const uint8_t data[4] = {0x12, 0x34, 0x56, 0x78};
    DbcSignal intel = kt::signal(0, 16, false), moto = kt::signal(7, 16, true);
    intel.nRawValue = moto.nRawValue = 99;
    EXPECT_TRUE(extractSignal(data, 4, intel));
    EXPECT_TRUE(extractSignal(data, 4, moto));
    EXPECT_EQ(intel.nRawValue, 0x3412u);
    EXPECT_EQ(moto.nRawValue, 0x1234u);
    DbcSignal off = kt::signal(30, 8, false);
    off.nRawValue = 77;
    EXPECT_FALSE(extractSignal(data, 4, off));
    EXPECT_EQ(off.nRawValue, 77u) << "a field past the data keeps its raw value";
}

TEST(KemsigCodec, PhysicalValueSignExtendsSignedSignals)
{
    struct Case {
        int32_t len;
        bool isSigned;
        double factor, offset;
        uint64_t raw;
        double physical;
    } cases[] = {
        {8, true, 1, 0, 0xFF, -1},
        {8, false, 1, 0, 0xFF, 255},
        {8, true, 1, 0, 0x7F, 127},
        {8, true, 1, 0, 0x80, -128},
        {12, true, 0.1, -40, 0xF9C, -50},          // -100 * 0.1 - 40
        {16, true, 0.5, 0, 0x8000, -16384},
        {1, true, 1, 0, 1, -1},
        {64, true, 1, 0, ~0ull, -1},
        {64, false, 1, 0, ~0ull, 18446744073709551615.0},
        {8, true, 1, 0, 0xFFFFFFFFFFFFFF7Full, 127}, // bits above the field are not the sign
        {0, true, 2, 3, 5, 13},                     // no field: read as it is
    };
    for (const auto &c : cases) {
        DbcSignal s = kt::signal(0, c.len, false, c.isSigned, c.factor, c.offset);
        EXPECT_DOUBLE_EQ(KDBC_CalcPhysicalValue(&s, c.raw), c.physical)
            << "len " << c.len << " signed " << c.isSigned << " raw " << c.raw;
    }
}

TEST(KemsigCodec, RawValueRoundsToNearest)
{
    struct Case {
        double factor, offset, physical;
        int64_t raw;
    } cases[] = {
        {0.1, 0, 0.3, 3},      // truncation would give 2
        {0.1, 0, 0.7, 7},
        {0.01, 0, 1.15, 115},
        {1, 0, 2.5, 3},
        {1, 0, -2.5, -3},
        {0.5, -10, -10.2, 0},
        {0.5, -10, -10.3, -1},
        {1, 0, -1, -1},
        {0, 5, 123, -1},       // factor 0
        {1, 0, 1e300, -1},        // saturates at all ones
        {1, 0, -1e300, INT64_MIN},
        {1, 0, 18446744073709549568.0, int64_t(18446744073709549568ull)},
    };
    for (const auto &c : cases) {
        DbcSignal s = kt::signal(0, 8, false, false, c.factor, c.offset);
        EXPECT_EQ(KDBC_CalcRawValue(&s, c.physical), c.raw) << c.physical << " / " << c.factor;
    }
    DbcSignal s = kt::signal(0, 8, false, false, 1, 0);
    EXPECT_EQ(KDBC_CalcRawValue(&s, std::nan("")), 0);
}

// Negative physical values of a signed signal survive the trip through raw,
// insertion, extraction and back.
TEST(KemsigCodec, SignedValuesRoundTripThroughTheFrame)
{
    DbcSignal s = kt::signal(12, 10, true, true, 0.25, 0);
    uint8_t data[8] = {};
    for (double phys : {-128.0, -0.25, 0.0, 12.5, 127.75}) {
        s.nRawValue = uint64_t(KDBC_CalcRawValue(&s, phys));
        ASSERT_TRUE(insertSignal(data, 8, s));
        DbcSignal back = s;
        back.nRawValue = 0;
        ASSERT_TRUE(extractSignal(data, 8, back));
        EXPECT_LT(back.nRawValue, 1u << 10) << "raw stays the zero-extended field";
        EXPECT_DOUBLE_EQ(KDBC_CalcPhysicalValue(&back, back.nRawValue), phys);
    }
}

// IEEE 754 signals: the field's bits are the float (valType 1, 32 bits) or
// the double (valType 2, 64 bits); factor and offset apply to that number.
TEST(KemsigCodec, FloatAndDoubleSignalsConvertAsIeee754)
{
    struct Case {
        uint8_t valType;
        int32_t len;
        bool isSigned;
        double factor, offset;
        uint64_t bits;
        double physical;
    };
    const Case cases[] = {
        {1, 32, true, 1, 0, 0x41480000u, 12.5},
        {1, 32, true, 1, 0, 0xC0200000u, -2.5},
        {1, 32, false, 1, 0, 0xC0200000u, -2.5},
        {1, 32, true, 0.5, 10, 0x40800000u, 12.0}, // 4 * 0.5 + 10
        {2, 64, true, 1, 0, 0x400921FB54442D18ull, 3.141592653589793},
        {2, 64, false, 2, -1, 0xC000000000000000ull, -5.0},
        {1, 32, true, 1, 0, 0, 0.0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "valType " << int(c.valType) << " bits " << std::hex << c.bits);
        DbcSignal s = kt::signal(0, c.len, false, c.isSigned, c.factor, c.offset);
        s.valType = c.valType;
        EXPECT_DOUBLE_EQ(KDBC_CalcPhysicalValue(&s, c.bits), c.physical);
        // The raw value of a physical value is the number's bit pattern, as a
        // signed signal's raw values are: sign-extended from the field.
        const int64_t raw = KDBC_CalcRawValue(&s, c.physical);
        const uint64_t mask = c.len == 64 ? ~uint64_t(0) : ((uint64_t(1) << c.len) - 1);
        EXPECT_EQ(uint64_t(raw) & mask, c.bits);
        if (c.len < 64 && c.isSigned && (c.bits >> (c.len - 1)) & 1) {
            EXPECT_LT(raw, 0);
        }
        if (c.len < 64 && !c.isSigned) {
            EXPECT_GE(raw, 0);
        }
        EXPECT_DOUBLE_EQ(KDBC_CalcPhysicalValue(&s, uint64_t(raw)), c.physical);
    }
    // Beyond a single's range: infinite, of the value's sign.
    DbcSignal big = kt::signal(0, 32, false, true);
    big.valType = 1;
    EXPECT_EQ(uint32_t(KDBC_CalcRawValue(&big, 1e300)), 0x7F800000u);
    EXPECT_EQ(uint32_t(KDBC_CalcRawValue(&big, -1e300)), 0xFF800000u);
    EXPECT_TRUE(std::isnan(KDBC_CalcPhysicalValue(&big, 0x7FC00000u)));

    // A float signal's raw value through a frame: Intel and Motorola.
    uint8_t data[8] = {};
    DbcSignal f = kt::signal(0, 32, false, true);
    f.valType = 1;
    f.nRawValue = 0x41480000u;
    ASSERT_TRUE(insertSignal(data, 8, f));
    EXPECT_EQ(data[0], 0x00);
    EXPECT_EQ(data[3], 0x41);
    DbcSignal m = kt::signal(39, 32, true, true);
    m.valType = 1;
    m.nRawValue = 0x41480000u;
    ASSERT_TRUE(insertSignal(data, 8, m));
    EXPECT_EQ(data[4], 0x41);
    EXPECT_EQ(data[5], 0x48);
}

// The DBC records' own operations: construction values, setFrame, the
// identifier check, the range check, and the text and raw-value forms used
// at the library boundary.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "dbc/DbcLibText.h"
#include "dbc/DbcRecord.h"
#include "dbc/QUserDbcMsg.h"
#include "dbc/QUserDbcSignal.h"

TEST(DbcRecords, ConstructionValues)
{
    const QUserDbcMsg m;
    EXPECT_TRUE(m.strData.isEmpty());
    EXPECT_TRUE(m.strFrameId.isEmpty());
    EXPECT_FALSE(m.strFrameId.isNull());
    EXPECT_EQ(m.nFrameTime, 0);
    EXPECT_TRUE(m.vSignals.isEmpty());

    const QUserDbcSignal s;
    EXPECT_EQ(s.chartEnable, 0);
    EXPECT_EQ(s.nRawValue, 0);
    EXPECT_EQ(s.nPhysicalValue, 0.0);
    EXPECT_TRUE(s.valDesPair.isEmpty());
}

TEST(DbcRecords, CopiesAreIndependent)
{
    QUserDbcMsg a;
    QUserDbcSignal s;
    s.strName = "S";
    s.valDesPair.insert(1, "one");
    a.vSignals.append(s);
    QUserDbcMsg b = a;
    b.vSignals[0].strName = "T";
    b.vSignals[0].valDesPair.insert(2, "two");
    EXPECT_EQ(a.vSignals[0].strName, "S");
    EXPECT_EQ(a.vSignals[0].valDesPair.size(), 1);
    EXPECT_EQ(b.vSignals[0].valDesPair.size(), 2);
}

TEST(DbcRecords, SetFrameRecordsTheLastFrame)
{
    QUserDbcMsg m;
    m.nExtend = 0; // the DBC file marks it standard
    EXPECT_EQ(m.setFrame(1700000000123LL, "18FF0001", true, "0102"), 1);
    EXPECT_EQ(m.nFrameTime, 1700000000123LL);
    EXPECT_EQ(m.strFrameId, "18FF0001");
    EXPECT_EQ(m.nExtend, 1);
    EXPECT_EQ(m.strData, "0102");
    m.setFrame(5, "123", false, "");
    EXPECT_EQ(m.nExtend, 0);
}

TEST(DbcRecords, IdValidity)
{
    struct Case {
        const char *id;
        int extended;
        bool valid;
    } cases[] = {
        {"7FF", 0, true},   {"7FF", 1, true},      {"800", 0, false},   {"800", 1, true},
        {"", 0, false},     {"", 1, false},        {"1FFFFFFF", 1, true}, {"20000000", 1, false},
        {" 7 FF ", 0, true}, {"xyz", 1, false},
    };
    for (const Case &c : cases) {
        QUserDbcMsg m;
        m.strFrameId = c.id;
        m.nExtend = quint8(c.extended);
        EXPECT_EQ(m.isIdValid(), c.valid) << c.id << " ext " << c.extended;
    }
}

TEST(DbcRecords, RangeCheck)
{
    struct Case {
        quint32 len;
        bool isSigned;
        qint64 raw;
        double phys, min, max;
        bool valid;
    } cases[] = {
        // raw against the bits, unsigned
        {8, false, 255, 0, 0, 0, true},
        {8, false, 256, 0, 0, 0, false},
        {8, false, -1, 0, 0, 0, false},
        {32, false, 0xFFFFFFFFLL, 0, 0, 0, true},
        {32, false, 0x100000000LL, 0, 0, 0, false},
        {63, false, std::numeric_limits<qint64>::max(), 0, 0, 0, true},
        {64, false, -1, 0, 0, 0, true},
        {64, false, std::numeric_limits<qint64>::min(), 0, 0, 0, true},
        {1, false, 1, 0, 0, 0, true},
        {1, false, 2, 0, 0, 0, false},
        // raw against the bits, signed (two's complement of nLen bits)
        {8, true, -128, 0, 0, 0, true},
        {8, true, 127, 0, 0, 0, true},
        {8, true, -129, 0, 0, 0, false},
        {8, true, 128, 0, 0, 0, false},
        {1, true, -1, 0, 0, 0, true},
        {1, true, 1, 0, 0, 0, false},
        {63, true, -(qint64(1) << 62), 0, 0, 0, true},
        {63, true, qint64(1) << 62, 0, 0, 0, false},
        {64, true, std::numeric_limits<qint64>::min(), 0, 0, 0, true},
        // physical limits, both inclusive
        {8, false, 0, -5, -5, 5, true},
        {8, false, 0, 5, -5, 5, true},
        {8, false, 0, std::nextafter(5.0, 6.0), -5, 5, false},
        {8, false, 0, std::nextafter(-5.0, -6.0), -5, 5, false},
        {8, false, 0, std::nan(""), -5, 5, false},
    };
    for (const Case &c : cases) {
        QUserDbcSignal s;
        s.nLen = c.len;
        s.isSigned = c.isSigned;
        s.nRawValue = c.raw;
        s.nPhysicalValue = c.phys;
        s.nMin = c.min;
        s.nMax = c.max;
        EXPECT_EQ(s.isValid(), c.valid) << "len " << c.len << " signed " << c.isSigned << " raw " << c.raw
                                        << " phys " << c.phys;
    }
}

TEST(DbcRecords, RawValueAtTheLibraryBoundary)
{
    struct Case {
        bool isSigned;
        quint32 len;
        quint64 bits;
        qint64 raw;
    } cases[] = {
        {true, 8, 0xFF, -1},
        {true, 8, 0x7F, 127},
        {true, 8, 0x80, -128},
        {true, 12, 0x800, -2048},
        {true, 1, 1, -1},
        {true, 63, quint64(1) << 62, -(qint64(1) << 62)},
        {true, 64, ~quint64(0), -1},
        {false, 8, 0xFF, 255},
        {false, 64, ~quint64(0), -1},
        {false, 40, quint64(1) << 40, qint64(1) << 40},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(DbcSignalRecord::rawFromLib(c.isSigned, c.len, c.bits), c.raw) << c.len << " " << c.bits;
        EXPECT_EQ(DbcSignalRecord::rawToLib(c.isSigned, c.len, c.raw), c.bits) << c.len << " " << c.raw;
    }
    // A signed value written to the library keeps only its field's bits.
    EXPECT_EQ(DbcSignalRecord::rawToLib(true, 8, -2), 0xFEu);
}

TEST(DbcLibTextCut, CutsUtf8AtCharacterBoundaries)
{
    const QString cjk = QString::fromUtf8("发动机状态"); // 5 characters, 3 bytes each
    struct Case {
        QString text;
        int max;
        QByteArray expected;
    } cases[] = {
        {"abc", 10, "abc"},
        {"abcdefghijkl", 10, "abcdefghij"},
        {cjk, 15, cjk.toUtf8()},
        {cjk, 14, cjk.left(4).toUtf8()},
        {cjk, 13, cjk.left(4).toUtf8()},
        {cjk, 12, cjk.left(4).toUtf8()},
        {cjk, 2, ""},
        {"a" + cjk, 10, ("a" + cjk.left(3)).toUtf8()},
        {QString::fromUtf8("°C"), 1, ""},
        // four-byte character (outside the BMP)
        {QString::fromUtf8("x\xF0\x9F\x98\x80y"), 4, "x"},
        {QString::fromUtf8("x\xF0\x9F\x98\x80y"), 5, "x\xF0\x9F\x98\x80"},
    };
    for (const Case &c : cases) {
        const QByteArray got = DbcLibText::toUtf8Cut(c.text, c.max);
        EXPECT_EQ(got, c.expected) << c.text.toStdString() << " max " << c.max;
        EXPECT_EQ(QString::fromUtf8(got).toUtf8(), got) << "cut left half a character";
    }

    char field[11];
    std::memset(field, 'x', sizeof field);
    DbcLibText::toField(QString::fromUtf8("摄氏度每"), field);
    EXPECT_STREQ(field, "摄氏度");
    EXPECT_EQ(field[10], 0);
    EXPECT_EQ(DbcLibText::fromField(field), QString::fromUtf8("摄氏度"));

    // A field without a NUL is read to its end, never past it.
    char full[4] = {'a', 'b', 'c', 'd'};
    EXPECT_EQ(DbcLibText::fromField(full), "abcd");
}

// Record settings of the recording adapters without an adapter: the preset
// tables against the rates their texts name, the conversions to and from
// kemusb's records, and the check of settings read back.

#include "devtools/QUserRecordChCfg.h"

#include "core/QUserBaudFunc.h"

#include <gtest/gtest.h>

#include <QRegularExpression>

#include <cstring>

// Every preset word gives the rate and sample point its list text names at
// its model's clock; the tenth data word is 50 kbit/s.
TEST(RecordPresets, WordsGiveTheRatesTheirTextsName)
{
    for (int pos = 0; pos < recordModelCount(); ++pos) {
        const QUserRecordModel &m = recordModel(pos);
        SCOPED_TRACE(m.name);
        const QVector<uint32_t> &arb = recordArbWords(m.presetRow);
        const QVector<uint32_t> &data = recordDataWords(m.presetRow);
        ASSERT_EQ(arb.size(), 7);
        ASSERT_EQ(data.size(), 10);
        QStringList arbTexts = recordArbTexts();
        QStringList dataTexts = recordDataTexts();
        ASSERT_EQ(arbTexts.size(), 8);
        ASSERT_EQ(dataTexts.size(), 10);
        EXPECT_EQ(arbTexts.last(), QString("自定义"));
        EXPECT_EQ(dataTexts.last(), QString("自定义"));
        dataTexts.last() = "50kbps 80%";
        const auto check = [&](uint32_t word, const QString &text) {
            int brp = 0, sjw = 0, t1 = 0, t2 = 0;
            unpackFdBaudTiming(word, brp, sjw, t1, t2);
            EXPECT_EQ(sjw, 1) << text.toStdString();
            const uint32_t bps = m.clockMHz * 1000000u / uint32_t(brp) / uint32_t(1 + t1 + t2);
            const auto parts = QRegularExpression("^(\\d+)(k|M)bps (\\d+)%$").match(text);
            ASSERT_TRUE(parts.hasMatch()) << text.toStdString();
            const uint32_t want = parts.captured(1).toUInt() * (parts.captured(2) == "M" ? 1000000u : 1000u);
            EXPECT_EQ(bps, want) << text.toStdString() << " word " << std::hex << word;
            EXPECT_EQ((1 + t1) * 100 / (1 + t1 + t2), parts.captured(3).toInt()) << text.toStdString();
        };
        for (int i = 0; i < 7; ++i)
            check(arb[i], arbTexts[i]);
        for (int i = 0; i < 10; ++i)
            check(data[i], dataTexts[i]);
    }
    EXPECT_STREQ(recordModel(5).name, "TRND701") << "outside the list: the first entry";
    EXPECT_EQ(recordModel(0).channels, 1);
    EXPECT_EQ(recordModel(1).channels, 2);
}

// QUserRecordChCfg <-> RecordSetting field by field: clocks cut to 8 bits
// on the way out; the filter switch, rules and text are not part of it.
TEST(RecordRecords, SettingConvertsFieldByField)
{
    QUserRecordChCfg c;
    c.baudText = "x";
    c.fd = 1;
    c.iso = 1;
    c.listenOnly = 1;
    c.customTiming = 1;
    c.channelOn = 1;
    c.fliterEnable = 1;
    c.fileFormat = 3;
    c.fileInterval = 255;
    c.diskPolicy = 1;
    c.clockA = 200;
    c.clockB = 300; // 0x12C: 0x2C on the wire
    c.arbWord = 0x09C00106;
    c.dataWord = 0x01000104;
    c.rules.append(QUserFliterRule());

    const RecordSetting r = recordSettingFrom(c);
    uint8_t raw[sizeof(RecordSetting)];
    std::memcpy(raw, &r, sizeof raw);
    const uint8_t want[21] = {0, 1, 1, 1, 200, 0x2C, 0, 0, 0x06, 0x01, 0xC0, 0x09,
                              0x04, 0x01, 0x00, 0x01, 1, 3, 255, 1, 1};
    EXPECT_EQ(std::memcmp(raw, want, 21), 0);

    QUserRecordChCfg back;
    back.fliterEnable = 0;
    recordSettingTo(r, &back);
    EXPECT_EQ(back.fd, 1);
    EXPECT_EQ(back.iso, 1);
    EXPECT_EQ(back.listenOnly, 1);
    EXPECT_EQ(back.customTiming, 1);
    EXPECT_EQ(back.channelOn, 1);
    EXPECT_EQ(back.fileFormat, 3);
    EXPECT_EQ(back.fileInterval, 255);
    EXPECT_EQ(back.diskPolicy, 1);
    EXPECT_EQ(back.clockA, 200u);
    EXPECT_EQ(back.clockB, 0x2Cu);
    EXPECT_EQ(back.arbWord, 0x09C00106u);
    EXPECT_EQ(back.dataWord, 0x01000104u);
    EXPECT_EQ(back.fliterEnable, 0) << "not carried";
    EXPECT_TRUE(back.rules.isEmpty());
}

// Rule types: (range ? 2 : 0) + (extended ? 1 : 0), and back.
TEST(RecordRecords, FilterRuleTypes)
{
    struct Case {
        uint8_t ext, range, type;
    };
    for (const Case &k : {Case{0, 0, 0}, Case{1, 0, 1}, Case{0, 1, 2}, Case{1, 1, 3}}) {
        QUserFliterRule r;
        r.extended = k.ext;
        r.range = k.range;
        r.startId = 0x123;
        r.endId = 0x1ABCDEF0;
        const RecordFliterRule rec = recordRuleFrom(r);
        EXPECT_EQ(rec.type, k.type);
        EXPECT_EQ(rec.startId, 0x123u);
        EXPECT_EQ(rec.endId, 0x1ABCDEF0u);
        EXPECT_TRUE(recordRuleTo(rec) == r) << int(k.type);
    }
}

TEST(RecordRecords, VersionTexts)
{
    EXPECT_EQ(recordVersionText(0x0100), QString("V1.0"));
    EXPECT_EQ(recordVersionText(0x0A1F), QString("Va.1f"));
    EXPECT_EQ(recordVersionText(0x0000), QString("V0.0"));
    EXPECT_EQ(recordVersionText(0xFF02), QString("Vff.2"));
}

// The check of settings read back, one case per row: what is repaired and
// whether the read counts as valid.
TEST(RecordValidation, RepairsClocksAndWordsOutsideTheModel)
{
    const QUserRecordModel &d1 = recordModel(0);
    const QUserRecordModel &d2 = recordModel(1);
    struct Case {
        const char *what;
        const QUserRecordModel *m;
        uint32_t clockA, clockB, arb, data;
        uint8_t fd, custom, interval;
        bool valid, intervalZero;
        uint32_t wantClock, wantArb, wantData;
    };
    const Case cases[] = {
        {"all presets", &d2, 200, 200, 0x09C00106, 0x02400106, 1, 0, 10, true, false, 200, 0x09C00106, 0x02400106},
        {"clock 80 on TRND702", &d2, 80, 200, 0x09C00106, 0x02400106, 1, 0, 10, false, false, 200, 0x09C00106,
         0x02400106},
        {"data clock only", &d2, 200, 60, 0x09C00106, 0x02400106, 1, 0, 10, false, false, 200, 0x09C00106,
         0x02400106},
        {"TRND701 word on TRND702", &d2, 200, 200, 0x02C00106, 0x02400106, 1, 0, 10, false, false, 200,
         0x04C00106, 0x02400106},
        {"data word not a preset", &d2, 200, 200, 0x09C00106, 0x12345678, 1, 0, 10, false, false, 200,
         0x09C00106, 0x01000104},
        {"data word ignored for CAN", &d2, 200, 200, 0x09C00106, 0x12345678, 0, 0, 10, true, false, 200,
         0x09C00106, 0x12345678},
        {"50k data word is a preset", &d2, 200, 200, 0x09C00106, 0x63C00106, 1, 0, 10, true, false, 200,
         0x09C00106, 0x63C00106},
        {"custom words kept", &d2, 200, 200, 0x0240830E, 0x00C00106, 1, 1, 10, true, false, 200, 0x0240830E,
         0x00C00106},
        // SJW 35 beyond BS2 18 (0x11111111): kept as read, but not valid.
        {"custom words out of range kept", &d2, 200, 200, 0x11111111, 0x00C00106, 1, 1, 10, false, false, 200,
         0x11111111, 0x00C00106},
        {"custom does not save the clock", &d1, 200, 200, 0x11111111, 0x22222222, 1, 1, 10, false, false, 60,
         0x11111111, 0x22222222},
        {"interval 0 alone", &d1, 60, 60, 0x02C00106, 0, 0, 0, 0, true, true, 60, 0x02C00106, 0},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.what);
        QUserRecordChCfg c;
        c.clockA = k.clockA;
        c.clockB = k.clockB;
        c.arbWord = k.arb;
        c.dataWord = k.data;
        c.fd = k.fd;
        c.customTiming = k.custom;
        c.fileInterval = k.interval;
        bool zero = !k.intervalZero;
        EXPECT_EQ(recordCfgCheck(&c, *k.m, &zero), k.valid);
        EXPECT_EQ(zero, k.intervalZero);
        EXPECT_EQ(c.clockA, k.wantClock);
        EXPECT_EQ(c.clockB, k.wantClock);
        EXPECT_EQ(c.arbWord, k.wantArb);
        EXPECT_EQ(c.dataWord, k.wantData);
        EXPECT_EQ(c.fileInterval, k.interval) << "the interval is only reported";
    }
}

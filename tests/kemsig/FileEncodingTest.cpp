// The encoding of a DBC file, decided from the whole file: whole files in
// UTF-8 (with and without byte-order mark), code page 936 (GBK) and code
// page 1252, each read into the UTF-8 texts it holds.
#include <gtest/gtest.h>

#include <iconv.h>

#include "kemsig/src/FileEncoding.h"
#include "tests/kemsig/KemsigTestUtil.h"
#include "tests/support/TempWorkDir.h"

using namespace kemsig;

namespace {

// The bytes of UTF-8 text in another encoding.
std::string encode(const std::string &utf8, const char *to)
{
    iconv_t cd = iconv_open(to, "UTF-8");
    EXPECT_NE(cd, iconv_t(-1)) << to;
    std::string out(utf8.size() * 4 + 4, '\0');
    char *src = const_cast<char *>(utf8.data());
    size_t srcLeft = utf8.size(), dstLeft = out.size();
    char *dst = &out[0];
    const size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    EXPECT_NE(r, size_t(-1)) << "every text of the fixture exists in " << to;
    iconv_close(cd);
    out.resize(out.size() - dstLeft);
    return out;
}

// One DBC file with its texts in the places kemsig reads texts: message
// and signal comments, units and value descriptions.
struct Texts {
    const char *msgComment;
    const char *unitA;
    const char *unitB;
    const char *sigComment;
    const char *value0;
    const char *value1;
};

std::string dbcFile(const Texts &t)
{
    return std::string("VERSION \"\"\r\n\r\nNS_ :\r\n\tCM_\r\n\r\nBS_:\r\n\r\nBU_: ECU GW\r\n\r\n") +
           "BO_ 256 Engine: 8 ECU\r\n"
           " SG_ Speed : 0|16@1+ (0.1,0) [0|6553.5] \"" + t.unitA + "\" GW\r\n"
           " SG_ Temp : 16|8@1- (1,-40) [-40|215] \"" + t.unitB + "\" GW\r\n"
           " SG_ State : 24|2@1+ (1,0) [0|3] \"\" GW\r\n"
           "\r\n"
           "CM_ BO_ 256 \"" + t.msgComment + "\";\r\n"
           "CM_ SG_ 256 State \"" + t.sigComment + "\";\r\n"
           "VAL_ 256 State 0 \"" + t.value0 + "\" 1 \"" + t.value1 + "\" ;\r\n";
}

class KemsigFileEncoding : public WorkDirTest
{
};

} // namespace

TEST_F(KemsigFileEncoding, WholeFilesOfEachEncodingReadTheirTexts)
{
    struct Case {
        const char *label;
        const char *encoding; // iconv name of the file's bytes, null for UTF-8
        bool bom;
        uint32_t expected;    // KDBC_ENCODING_*
        Texts texts;          // UTF-8
    } cases[] = {
        {"UTF-8, Chinese and unit symbols", nullptr, false, KDBC_ENCODING_UTF8,
         {"发动机控制器", "°C", "µs", "冷却液温度传感器", "关闭", "打开"}},
        {"UTF-8 with byte-order mark", nullptr, true, KDBC_ENCODING_UTF8_BOM,
         {"发动机控制器", "°C", "µs", "冷却液温度传感器", "关闭", "打开"}},
        {"UTF-8, unit symbols only", nullptr, false, KDBC_ENCODING_UTF8, {"engine", "°C", "µs", "state", "off", "on"}},
        {"UTF-8, German and Greek", nullptr, false, KDBC_ENCODING_UTF8,
         {"Motorsteuerung", "°/s", "Ω", "Zustand für Räder", "Größe", "μs"}},
        // The GBK bytes of these words are well-formed UTF-8 as well: D7 B4
        // CC AC and C4 A3 CA BD read as "״̬" and "ģʽ".
        {"GBK, short words that are valid UTF-8", "GBK", false, KDBC_ENCODING_GBK,
         {"状态", "", "", "模式", "状态", "模式"}},
        {"GBK, short words", "GBK", false, KDBC_ENCODING_GBK, {"温度", "℃", "", "速度", "关", "开"}},
        {"GBK, long texts", "GBK", false, KDBC_ENCODING_GBK,
         {"发动机控制器报文,周期十毫秒", "℃", "千克", "冷却液温度传感器的当前状态", "传感器故障,请检查线束",
          "正常工作,数值有效"}},
        {"code page 1252, German texts and units", "CP1252", false, KDBC_ENCODING_CP1252,
         {"Öltemperatur des Motors", "°C", "°/s", "Drehzahl für Räder", "Größe außer Betrieb", "µs gültig"}},
        {"code page 1252, a unit alone", "CP1252", false, KDBC_ENCODING_CP1252, {"engine", "°C", "", "state", "off", "on"}},
        {"code page 1252, one word", "CP1252", false, KDBC_ENCODING_CP1252, {"Motor", "", "", "für", "aus", "an"}},
        {"ASCII", nullptr, false, KDBC_ENCODING_ASCII, {"engine", "rpm", "C", "state", "off", "on"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        const std::string utf8 = dbcFile(c.texts);
        std::string bytes = c.encoding ? encode(utf8, c.encoding) : utf8;
        if (c.bom)
            bytes = "\xEF\xBB\xBF" + bytes;
        EXPECT_EQ(uint32_t(detectEncoding(bytes)), c.expected);

        kt::writeFile("enc.dbc", bytes);
        kt::Db db = kt::makeDb();
        ASSERT_EQ(KDBC_LoadFile(db.get(), "enc.dbc"), 1);
        DbcLoadReport report;
        ASSERT_EQ(KDBC_GetLoadReport(db.get(), &report), 1);
        EXPECT_EQ(report.nEncoding, c.expected);
        EXPECT_EQ(report.nDamagedLines, 0u);
        auto m = kt::newMessage();
        ASSERT_EQ(KDBC_GetMessageByIndex(db.get(), 0, m.get()), 1);
        EXPECT_STREQ(m->strName, "Engine");
        EXPECT_STREQ(m->strComment, c.texts.msgComment);
        ASSERT_EQ(m->nSignalCount, 3u);
        EXPECT_STREQ(m->sSignals[0].unit, c.texts.unitA);
        EXPECT_STREQ(m->sSignals[1].unit, c.texts.unitB);
        EXPECT_STREQ(m->sSignals[2].strComment, c.texts.sigComment);
        DbcValDescPair p[2];
        ASSERT_EQ(KDBC_GetValDescPair(db.get(), 256, "State", p, 2), 2u);
        EXPECT_STREQ(p[0].text, c.texts.value0);
        EXPECT_STREQ(p[1].text, c.texts.value1);
    }
}

// The readings weighed against each other for the cases validity alone
// gets wrong.
TEST(KemsigEncodingScores, ValidityAloneDoesNotDecide)
{
    // "状态模式" in GBK: valid UTF-8 (Hebrew, a combining mark, a Latin
    // letter and a modifier letter), but GBK's common hanzi.
    const EncodingScores gbkWords = scoreEncodings("\xD7\xB4\xCC\xAC \xC4\xA3\xCA\xBD");
    EXPECT_TRUE(gbkWords.utf8Valid);
    EXPECT_GT(gbkWords.gbk, gbkWords.utf8);
    // "°C" in code page 1252 is a valid GBK character, a rare one.
    const EncodingScores degree = scoreEncodings("\"\xB0" "C\"");
    EXPECT_FALSE(degree.utf8Valid);
    EXPECT_GT(degree.cp1252, degree.gbk);
    // "°C" in UTF-8 is a common hanzi in GBK: UTF-8 keeps it.
    EXPECT_EQ(detectEncoding("\"\xC2\xB0" "C\""), FileEncoding::Utf8);
    // Nothing above ASCII: nothing to convert.
    EXPECT_EQ(detectEncoding("BO_ 1 A: 8 X\n"), FileEncoding::Ascii);
    // Bytes no reading decodes stay GBK, as files that were not UTF-8
    // always read, each bad byte replaced.
    EXPECT_EQ(detectEncoding("M\xFFsg \x81\n"), FileEncoding::Gbk);
}

TEST(KemsigEncodingScores, LinesDecodeIntoUtf8)
{
    std::string out;
    LineDecoder cp1252(FileEncoding::Cp1252);
    EXPECT_EQ(cp1252.decode("f\xFCr \x80 \x81", out), "f\xC3\xBCr \xE2\x82\xAC \xEF\xBF\xBD")
        << "0x80 is the euro sign, 0x81 is undefined";
    LineDecoder utf8(FileEncoding::Utf8);
    EXPECT_EQ(utf8.decode("ok \xE2\x84\x83", out), "ok \xE2\x84\x83");
    EXPECT_EQ(utf8.decode("a\xFF" "b\xE2\x84", out), "a\xEF\xBF\xBD" "b\xEF\xBF\xBD\xEF\xBF\xBD")
        << "a byte that starts no sequence becomes U+FFFD";
    LineDecoder gbk(FileEncoding::Gbk);
    EXPECT_EQ(gbk.decode("\xD7\xB4\xCC\xAC", out), "\xE7\x8A\xB6\xE6\x80\x81");
    const std::string ascii = "BO_ 1 A: 8 X";
    EXPECT_EQ(gbk.decode(ascii, out).data(), ascii.data()) << "ASCII passes uncopied";
}

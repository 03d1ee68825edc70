// DBC file reading: line kinds, field cutting, numbers, text conversion and
// the refusal of fields that the records cannot hold.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <locale>

#include "tests/kemsig/KemsigTestUtil.h"
#include "tests/support/TempWorkDir.h"

using namespace kemsig;

namespace {

// Loads DBC text through a file, as the exported function does.
class KemsigParser : public WorkDirTest
{
protected:
    kt::Db db = kt::makeDb();
    std::unique_ptr<DbcMessage> msg = kt::newMessage();

    void load(const std::string &text, const char *name = "t.dbc")
    {
        kt::writeFile(name, text);
        ASSERT_EQ(KDBC_LoadFile(db.get(), name), 1);
    }
    uint32_t count() { return KDBC_GetMessageCount(db.get()); }
    const DbcMessage &at(uint32_t i)
    {
        EXPECT_EQ(KDBC_GetMessageByIndex(db.get(), i, msg.get()), 1);
        return *msg;
    }
};

const char kHead[] = "BO_ 256 Msg: 8 Node\n";

} // namespace

TEST(KemsigFields, TakeFieldFindsTheDelimitersInOrder)
{
    std::string_view f;
    size_t pos = 3;
    ASSERT_TRUE(LineFields::takeField("BO_ 100 Msg: 8 X", 0, ' ', ' ', f, pos));
    EXPECT_EQ(f, "100");
    EXPECT_EQ(pos, 7u) << "the closing space can open the next field";
    ASSERT_TRUE(LineFields::takeField("BO_ 100 Msg: 8 X", pos, ' ', ':', f, pos));
    EXPECT_EQ(f, "Msg");
    pos = 42;
    EXPECT_FALSE(LineFields::takeField("a (1,2", 0, '(', ')', f, pos));
    EXPECT_FALSE(LineFields::takeField("a 1,2)", 0, '(', ')', f, pos));
    EXPECT_EQ(pos, 42u) << "a failed cut leaves the position";
    ASSERT_TRUE(LineFields::takeField("\"\" x", 0, '"', '"', f, pos));
    EXPECT_EQ(f, "");
}

TEST(KemsigFields, ReadsUnsignedWith32BitSemantics)
{
    struct Case {
        const char *text;
        uint32_t value;
    } cases[] = {
        {"100", 100},
        {"  42xyz", 42},
        {"+7", 7},
        {"-1", 0xFFFFFFFFu},
        {"-2", 0xFFFFFFFEu},
        {"2147483904", 0x80000100u},
        {"4294967295", 0xFFFFFFFFu},
        {"4294967296", 0xFFFFFFFFu},
        {"99999999999999999999", 0xFFFFFFFFu},
        {"abc", 0},
        {"", 0},
        {"0000000000000000000000000000000123", 0}, // only the first 31 characters count
        {"000000000000000000000000000012345", 123},
    };
    for (const auto &c : cases)
        EXPECT_EQ(LineFields::readUnsigned(c.text), c.value) << '"' << c.text << '"';
}

TEST(KemsigFields, ReadsNumbersInClassicNotationWhateverTheLocale)
{
    struct Case {
        const char *text;
        double value;
    } cases[] = {
        {"1.5e3", 1500},   {"0x10", 0},     {" -0.25", -0.25}, {"+2", 2},   {".5", 0.5},
        {"1.", 1},         {"1e", 1},       {"3.5abc", 3.5},   {"abc", 0},  {"", 0},
        {"-", 0},          {"1e400", HUGE_VAL}, {"-1e400", -HUGE_VAL}, {"1e-400", 0}, {"12,5", 12},
    };
    // A caller that switched the C locale to one with a decimal comma must
    // not change how numbers read.
    const std::string before = std::setlocale(LC_NUMERIC, nullptr);
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    for (const auto &c : cases)
        EXPECT_EQ(LineFields::readNumber(c.text), c.value) << '"' << c.text << '"';
    std::setlocale(LC_NUMERIC, before.c_str());
}

TEST_F(KemsigParser, ReadsMessagesSignalsCommentsAndValues)
{
    load("VERSION \"\"\n"
         "\n"
         "BO_ 256 Engine: 8 ECU\n"
         " SG_ Speed : 0|16@1+ (0.1,0) [0|6553.5] \"km/h\" Dash,Gw\n"
         " SG_ Temp m3 : 16|8@1- (0.5,-10) [-10|117.5] \"V\" X\n"
         " SG_ Mux M : 31|4@0+ (1,0) [0|15] \"\" X\n"
         "BO_ 2147484672 Ext: 64 ECU\n"
         " SG_ Big : 7|64@0- (1E-3,+5) [-1.5e3|1.5E3] \"Nm\" X\n"
         "CM_ BO_ 256 \"engine frame\";\n"
         "CM_ SG_ 256 Temp \"coolant\";\n"
         "CM_ SG_ 2147484672 Big \"torque\";\n"
         "CM_ \"general comment\";\n"
         "CM_ BU_ ECU \"node\";\n"
         "VAL_ 256 Mux 0 \"Zero\" 1 \"One\" 2 \"Two words\" ;\n");
    ASSERT_EQ(count(), 2u);
    const DbcMessage &a = at(0);
    EXPECT_EQ(a.nID, 256u);
    EXPECT_EQ(a.nSize, 8u);
    EXPECT_EQ(a.nExtend, 0);
    EXPECT_STREQ(a.strName, "Engine");
    EXPECT_STREQ(a.strComment, "engine frame");
    ASSERT_EQ(a.nSignalCount, 3u);
    const DbcSignal &speed = a.sSignals[0];
    EXPECT_STREQ(speed.strName, "Speed");
    EXPECT_EQ(speed.nStartBit, 0);
    EXPECT_EQ(speed.nLen, 16);
    EXPECT_EQ(speed.isMotorola, 0);
    EXPECT_EQ(speed.isSigned, 0);
    EXPECT_DOUBLE_EQ(speed.nFactor, 0.1);
    EXPECT_DOUBLE_EQ(speed.nMax, 6553.5);
    EXPECT_STREQ(speed.unit, "km/h");
    EXPECT_EQ(speed.multiplexerType, KDBC_MUX_NONE);
    const DbcSignal &temp = a.sSignals[1];
    EXPECT_EQ(temp.multiplexerType, KDBC_MUX_MULTIPLEXED);
    EXPECT_EQ(temp.multiplexerValue, 3);
    EXPECT_EQ(temp.isSigned, 1);
    EXPECT_DOUBLE_EQ(temp.nFactor, 0.5);
    EXPECT_DOUBLE_EQ(temp.nOffset, -10);
    EXPECT_DOUBLE_EQ(temp.nMin, -10);
    EXPECT_STREQ(temp.unit, "V");
    EXPECT_STREQ(temp.strComment, "coolant");
    const DbcSignal &mux = a.sSignals[2];
    EXPECT_EQ(mux.multiplexerType, KDBC_MUX_SWITCH);
    EXPECT_EQ(mux.isMotorola, 1);

    const DbcMessage &b = at(1);
    EXPECT_EQ(b.nID, 0x80000400u) << "an extended id is kept whole";
    EXPECT_EQ(b.nExtend, 1);
    EXPECT_EQ(b.nSize, 64u);
    ASSERT_EQ(b.nSignalCount, 1u);
    EXPECT_DOUBLE_EQ(b.sSignals[0].nFactor, 0.001);
    EXPECT_DOUBLE_EQ(b.sSignals[0].nOffset, 5);
    EXPECT_DOUBLE_EQ(b.sSignals[0].nMin, -1500);
    EXPECT_STREQ(b.sSignals[0].strComment, "torque");

    ASSERT_EQ(KDBC_GetValDescPairCount(db.get(), 256, "Mux"), 3u);
    DbcValDescPair pairs[16];
    ASSERT_EQ(KDBC_GetValDescPair(db.get(), 256, "Mux", pairs, 16), 3u);
    EXPECT_EQ(pairs[2].value, 2);
    EXPECT_STREQ(pairs[2].text, "Two words");
}

// One line after a good message line, and what it leaves in the table.
TEST_F(KemsigParser, BoLineGrammar)
{
    struct Case {
        const char *bo;
        uint32_t size;
        uint32_t signals; // of the one SG_ line that follows
    } cases[] = {
        {"BO_ 100 Msg: 8 Node", 8, 1},
        {"BO_ 100 Msg: 8", 0, 0},     // no space after the size
        {"BO_ 100 Msg: 8 ", 8, 1},    // a trailing blank is enough
        {"BO_ 100 Big: 65 X", 65, 0}, // too long: kept, but takes no signals
        {"BO_ 100 Msg 8 X", 0, 0},    // no colon
    };
    for (const auto &c : cases) {
        load(std::string(c.bo) + "\n SG_ S : 0|8@1+ (1,0) [0|255] \"\" X\n");
        SCOPED_TRACE(c.bo);
        ASSERT_EQ(count(), 1u) << "a message line that does not parse still leaves a message";
        EXPECT_EQ(at(0).nSize, c.size);
        EXPECT_EQ(at(0).nSignalCount, c.signals);
        EXPECT_EQ(at(0).nID, 100u);
    }
}

TEST_F(KemsigParser, SgLineGrammar)
{
    struct Case {
        const char *sg;
        bool parses;
        int32_t start, len;
        uint8_t mux;
        int32_t muxValue = 0;
    } cases[] = {
        {" SG_ S : 0|8@1+ (1,0) [0|255] \"\" X", true, 0, 8, 0},
        {"SG_ S : 0|8@1+ (1,0) [0|255] \"\" X", true, 0, 8, 0},
        {"\tSG_ S : 0|8@1+ (1,0) [0|255] \"\" X", true, 0, 8, 0},  // tab-indented, as some tools write
        {"\tSG_\tS\t:\t16|8@1+\t(1,0)\t[0|255]\t\"\"\tX", true, 16, 8, 0}, // tabs between every field
        {" SG_  S  :  0|8@1+  (1,0)  [0|255]  \"\"  X", true, 0, 8, 0},
        {" SG_ S : 0|8@1+(1,0) [0|255] \"\" X", true, 0, 8, 0}, // no blank before the factor
        // An "m" or "M" after the colon (unit, receivers) is no multiplexer mark.
        {" SG_ S : 0|8@1+ (1,0) [0|255] \"km\" X:Y", true, 0, 8, 0},
        {" SG_ T : 24|16@1+ (1,0) [0|65535] \"mm:ss\" X", true, 24, 16, 0},
        {" SG_ T : 24|16@1+ (1,0) [0|65535] \"MB:s\" X", true, 24, 16, 0},
        // Aligned columns: blanks between the name (or the mark) and the colon.
        {" SG_ Speed      : 16|8@1+ (1,0) [0|255] \"\" X", true, 16, 8, 0},
        {" SG_ Ch1 m1     : 8|8@1+ (1,0) [0|255] \"\" X", true, 8, 8, 1, 1},
        {" SG_ Ch12 m12   :  40|4@1+ (1,0) [0|15] \"mm:ss\" X", true, 40, 4, 1, 12},
        {" SG_ Sel M      :  4|4@1+ (1,0) [0|15] \"\" X", true, 4, 4, 2},
        {" SG_ S:12|4@1+ (1,0) [0|1] \"\" X", true, 12, 4, 0}, // name against its colon
        {" SG_ S: 12|4@1+ (1,0) [0|1] \"\" X", true, 12, 4, 0},
        {" SG_ S 0|8@1+ (1,0) [0|255] \"\" X", false, 0, 0, 0},  // no colon at all
        {" SG_ S : 0|8@1+x (1,0) [0|255] \"\" X", false, 0, 0, 0},  // order and sign must be two characters
        {" SG_ S : 0|8@1+ (1,0) [0|255] X", false, 0, 0, 0},        // no unit
        {" SG_ S : 0|8@1+ (1,0) [0|255] \"unit", false, 0, 0, 0},   // unclosed unit
        {" SG_ S : 0|64@1+ (1,0) [0|1] \"\" X", true, 0, 64, 0},
        {" SG_ S : 0|65@1+ (1,0) [0|1] \"\" X", false, 0, 0, 0},    // longer than the raw value
        {" SG_ S : -1|8@1+ (1,0) [0|1] \"\" X", false, 0, 0, 0},    // start bit below 0
        {" SG_ S : 4294967295|8@1+ (1,0) [0|1] \"\" X", false, 0, 0, 0},
        {" SG_ S : 2147483648|8@1+ (1,0) [0|1] \"\" X", false, 0, 0, 0},
        {" SG_ S : 100|4@0- (1,0) [0|1] \"\" X", true, 100, 4, 0}, // past an 8-byte frame: kept, fails at decode
    };
    for (const auto &c : cases) {
        load(std::string(kHead) + c.sg + "\n");
        SCOPED_TRACE(c.sg);
        ASSERT_EQ(at(0).nSignalCount, c.parses ? 1u : 0u);
        if (!c.parses)
            continue;
        const DbcSignal &s = msg->sSignals[0];
        EXPECT_EQ(s.multiplexerType, c.mux);
        EXPECT_EQ(s.multiplexerValue, c.muxValue);
        EXPECT_EQ(s.nStartBit, c.start);
        EXPECT_EQ(s.nLen, c.len);
        EXPECT_EQ(std::string(s.strName).find_first_of(" :"), std::string::npos) << s.strName;
    }
}

TEST_F(KemsigParser, StopsAt256SignalsPerMessage)
{
    std::string text = kHead;
    for (int i = 0; i < 300; ++i)
        text += " SG_ S" + std::to_string(i) + " : 0|1@1+ (1,0) [0|1] \"\" X\n";
    text += "BO_ 257 Next: 8 Node\n SG_ T : 0|1@1+ (1,0) [0|1] \"\" X\n";
    load(text);
    ASSERT_EQ(count(), 2u);
    EXPECT_EQ(at(0).nSignalCount, 256u);
    EXPECT_STREQ(msg->sSignals[255].strName, "S255");
    EXPECT_EQ(at(1).nSignalCount, 1u) << "the next message still takes its signals";
}

TEST_F(KemsigParser, SignalsJoinTheLastGoodMessageAcrossOtherLines)
{
    load("BO_ 1 A: 8 N\n"
         " SG_ S1 : 0|8@1+ (1,0) [0|1] \"\" X\n"
         "CM_ BO_ 1 \"c\";\n"
         "\n"
         "   \n"
         "VAL_ 1 S1 0 \"z\" ;\n"
         "BA_ \"GenMsgCycleTime\" BO_ 1 100;\n"
         " SG_ S2 : 8|8@1+ (1,0) [0|1] \"\" X\n"
         "BO_ 1 B: 4 N\n"
         " SG_ S3 : 0|8@1+ (1,0) [0|1] \"\" X\n");
    ASSERT_EQ(count(), 1u) << "a later message with the same key replaces the earlier";
    EXPECT_STREQ(at(0).strName, "B");
    EXPECT_EQ(msg->nSignalCount, 1u);
    EXPECT_STREQ(msg->strComment, "c") << "comments attach after the whole file";

    load("BO_ 1 A: 8 N\n SG_ S1 : 0|8@1+ (1,0) [0|1] \"\" X\nCM_ BO_ 1 \"c\";\n\n SG_ S2 : 8|8@1+ (1,0) [0|1] \"\" X\n");
    EXPECT_EQ(at(0).nSignalCount, 2u);
}

TEST_F(KemsigParser, KeepsFirstBytesOfLongTextsAndSixteenValuePairs)
{
    const std::string longName(200, 'n'), longComment(300, 'c'), longUnit(20, 'u'), longText(200, 't');
    std::string val = "VAL_ 256 S";
    for (int i = 0; i < 20; ++i)
        val += " " + std::to_string(i) + " \"" + (i == 3 ? longText : "v" + std::to_string(i)) + "\"";
    load("BO_ 256 " + longName + ": 8 N\n SG_ " + longName + " : 0|8@1+ (1,0) [0|1] \"" + longUnit +
         "\" X\nCM_ BO_ 256 \"" + longComment + "\";\n" + val + " ;\n");
    EXPECT_EQ(std::string(at(0).strName), longName.substr(0, 127));
    EXPECT_EQ(std::string(msg->strComment), longComment.substr(0, 200));
    EXPECT_EQ(std::string(msg->sSignals[0].strName), longName.substr(0, 127));
    EXPECT_EQ(std::string(msg->sSignals[0].unit), longUnit.substr(0, 10));
    const std::string sigName = longName.substr(0, 127);
    EXPECT_EQ(KDBC_GetValDescPairCount(db.get(), 256, "S"), 16u);
    DbcValDescPair pairs[20];
    EXPECT_EQ(KDBC_GetValDescPair(db.get(), 256, "S", pairs, 20), 16u);
    EXPECT_EQ(pairs[15].value, 15);
    EXPECT_EQ(std::string(pairs[3].text), longText.substr(0, 128));
    EXPECT_EQ(KDBC_GetValDescPair(db.get(), 256, "S", pairs, 5), 5u);
}

TEST_F(KemsigParser, ConvertsCodePage936AndCrLfLines)
{
    // "发动机" (engine) and "温度" (temperature) in GBK, CR LF line ends.
    const std::string name = "\xB7\xA2\xB6\xAF\xBB\xFA";
    const std::string unit = "\xCE\xC2\xB6\xC8";
    load("BO_ 256 Msg: 8 N\r\n SG_ S : 0|8@1+ (1,0) [0|1] \"" + unit + "\" X\r\nCM_ BO_ 256 \"" + name +
         "\";\r\nVAL_ 256 S 1 \"" + name + "\" ;\r\n");
    EXPECT_STREQ(at(0).strComment, "\xE5\x8F\x91\xE5\x8A\xA8\xE6\x9C\xBA");
    EXPECT_STREQ(msg->sSignals[0].unit, "\xE6\xB8\xA9\xE5\xBA\xA6");
    EXPECT_STREQ(msg->strName, "Msg") << "no CR is left in the fields";
    DbcValDescPair p[1];
    ASSERT_EQ(KDBC_GetValDescPair(db.get(), 256, "S", p, 1), 1u);
    EXPECT_STREQ(p[0].text, "\xE5\x8F\x91\xE5\x8A\xA8\xE6\x9C\xBA");
}

TEST_F(KemsigParser, BadBytesAreReplacedAndTheLineGoesOn)
{
    // 0xFF is no GBK lead byte; 0x81 at the end of a line is a lead byte
    // without its trail. Neither may cost the message or its signal.
    load("BO_ 256 M\xFFsg: 8 N\n SG_ S : 0|8@1+ (1,0) [0|1] \"u\x81\" X\nBO_ 257 Tail\x81: 8 N\n"
         "CM_ BO_ 256 \"a\xFF" "b\";\n");
    ASSERT_EQ(count(), 2u);
    EXPECT_STREQ(at(0).strName, "M\xEF\xBF\xBDsg");
    EXPECT_STREQ(msg->strComment, "a\xEF\xBF\xBD" "b");
    ASSERT_EQ(msg->nSignalCount, 1u);
    EXPECT_STREQ(msg->sSignals[0].unit, "u\xEF\xBF\xBD");
    EXPECT_STREQ(at(1).strName, "Tail\xEF\xBF\xBD");
}

TEST_F(KemsigParser, EmbeddedNulEndsTheLineAndLastLineNeedsNoNewline)
{
    using namespace std::string_literals;
    load("BO_ 256 Msg: 8 N\n SG_ A : 0|8@1+ (1,0) [0|1] \"\" X\0 ignored\n"s +
         " SG_ B : 8|8@1+ (1,0) [0|1] \"\" X");
    ASSERT_EQ(at(0).nSignalCount, 2u);
    EXPECT_STREQ(msg->sSignals[1].strName, "B");
}

TEST_F(KemsigParser, FileThatCannotBeOpenedKeepsMessagesButDropsValues)
{
    load("BO_ 256 Msg: 8 N\n SG_ S : 0|8@1+ (1,0) [0|1] \"\" X\nVAL_ 256 S 1 \"one\" ;\n");
    ASSERT_EQ(KDBC_GetValDescPairCount(db.get(), 256, "S"), 1u);
    EXPECT_EQ(KDBC_LoadFile(db.get(), "missing/none.dbc"), 0);
    EXPECT_EQ(count(), 1u);
    EXPECT_EQ(KDBC_GetValDescPairCount(db.get(), 256, "S"), 0u);
    EXPECT_EQ(KDBC_LoadFile(db.get(), nullptr), 0);
}

TEST_F(KemsigParser, CommentsFindTheirMessageAndFirstSignalByName)
{
    load("BO_ 256 Msg: 8 N\n"
         " SG_ S : 0|8@1+ (1,0) [0|1] \"\" X\n"
         " SG_ S : 8|8@1+ (1,0) [0|1] \"\" X\n"
         "CM_ SG_ 256 S \"first\";\n"
         "CM_ SG_ 256 S \"second\";\n"
         "CM_ SG_ 256 Nope \"dropped\";\n"
         "CM_ SG_ 999 S \"dropped\";\n"
         "CM_ BO_ 256 \"old\";\n"
         "CM_ BO_ 256 \"new\";\n"
         "CM_ BO_ 256 \"multi\n"
         "line\";\n");
    EXPECT_STREQ(at(0).strComment, "new");
    EXPECT_STREQ(msg->sSignals[0].strComment, "second");
    EXPECT_STREQ(msg->sSignals[1].strComment, "");
}

TEST_F(KemsigParser, NeverTouchesTheProcessLocale)
{
    const std::string cBefore = std::setlocale(LC_ALL, nullptr);
    const std::string cppBefore = std::locale().name();
    load("BO_ 256 \xB7\xA2: 8 N\n SG_ S : 0|8@1+ (1.5,0) [0|1] \"\" X\n");
    EXPECT_DOUBLE_EQ(at(0).sSignals[0].nFactor, 1.5);
    EXPECT_EQ(std::setlocale(LC_ALL, nullptr), cBefore);
    EXPECT_EQ(std::locale().name(), cppBefore);
}

TEST_F(KemsigParser, ReadsUtf8FilesAsUtf8WithOrWithoutByteOrderMark)
{
    // "温度" (temperature) and "发动机" (engine) written in UTF-8, as most
    // open-source databases are; read as code page 936 they would come out
    // garbled.
    const std::string unit = "\xE6\xB8\xA9\xE5\xBA\xA6";
    const std::string name = "\xE5\x8F\x91\xE5\x8A\xA8\xE6\x9C\xBA";
    const std::string body = "BO_ 256 Msg: 8 N\n SG_ S : 0|8@1+ (1,0) [0|1] \"" + unit + "\" X\nCM_ BO_ 256 \"" +
                             name + "\";\nVAL_ 256 S 1 \"" + name + "\" ;\n";
    for (const std::string &bom : {std::string(), std::string("\xEF\xBB\xBF")}) {
        SCOPED_TRACE(bom.empty() ? "without byte-order mark" : "with byte-order mark");
        load(bom + body);
        ASSERT_EQ(count(), 1u);
        EXPECT_STREQ(at(0).strComment, name.c_str());
        EXPECT_STREQ(msg->strName, "Msg");
        ASSERT_EQ(msg->nSignalCount, 1u);
        EXPECT_STREQ(msg->sSignals[0].unit, unit.c_str());
        DbcValDescPair p[1];
        ASSERT_EQ(KDBC_GetValDescPair(db.get(), 256, "S", p, 1), 1u);
        EXPECT_STREQ(p[0].text, name.c_str());
    }
    // A byte-order mark in front of the first BO_ line does not cost it.
    load("\xEF\xBB\xBF" "BO_ 300 First: 8 N\n");
    ASSERT_EQ(count(), 1u);
    EXPECT_STREQ(at(0).strName, "First");
}

TEST_F(KemsigParser, FileThatIsNotUtf8IsStillReadAsCodePage936)
{
    // One UTF-8 text elsewhere in the file does not make a GBK file UTF-8:
    // the whole file decides. "温度" in GBK next to a UTF-8 "℃".
    load("BO_ 256 Msg: 8 N\n SG_ S : 0|8@1+ (1,0) [0|1] \"\xCE\xC2\xB6\xC8\" X\n"
         "CM_ BO_ 256 \"\xE2\x84\x83\";\n");
    EXPECT_STREQ(at(0).sSignals[0].unit, "\xE6\xB8\xA9\xE5\xBA\xA6");
    EXPECT_STRNE(msg->strComment, "\xE2\x84\x83") << "read as GBK like the rest of the file";
}

TEST_F(KemsigParser, ReadsSignalValueTypes)
{
    load("BO_ 256 Msg: 8 N\n"
         " SG_ F : 0|32@1- (1,0) [0|0] \"\" X\n"
         " SG_ I : 32|16@1+ (1,0) [0|0] \"\" X\n"
         " SG_ G : 48|16@1+ (1,0) [0|0] \"\" X\n"
         "BO_ 2147483905 Ext: 8 N\n"
         " SG_ D : 7|64@0- (1,0) [0|0] \"\" X\n"
         "SIG_VALTYPE_ 256 F : 1;\n"
         "SIG_VALTYPE_ 256 G: 0;\n"
         "SIG_VALTYPE_ 2147483905 D : 2;\n"
         "SIG_VALTYPE_ 256 Missing : 1;\n"
         "SIG_VALTYPE_ 999 F : 1;\n");
    ASSERT_EQ(count(), 2u);
    ASSERT_EQ(at(0).nSignalCount, 3u);
    EXPECT_EQ(msg->sSignals[0].valType, 1) << "IEEE single";
    EXPECT_EQ(msg->sSignals[1].valType, 0) << "no line: integer";
    EXPECT_EQ(msg->sSignals[2].valType, 0) << "0 is the integer kind";
    EXPECT_EQ(at(1).sSignals[0].valType, 2) << "IEEE double";
}

// Any run of blanks and tabs separates two fields, in every line kind, as
// tools that align their columns write them; blanks inside quoted texts are
// text. With one blank per field the same file reads the same.
TEST_F(KemsigParser, AnyRunOfBlanksAndTabsSeparatesFields)
{
    struct Case {
        const char *label;
        const char *sep;  // between fields
        const char *lead; // before a SG_ keyword
    } cases[] = {
        {"one blank", " ", " "},
        {"two blanks", "  ", " "},
        {"tab", "\t", "\t"},
        {"blanks and tabs", " \t  ", "\t "},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        const std::string s = c.sep;
        load("BO_" + s + "869" + s + "DSU_CRUISE" + s + ":" + s + "7" + s + "DSU\n" + c.lead + "SG_" + s +
             "Mode" + s + ":" + s + "0|8@1+" + s + "(1,0)" + s + "[0|255]" + s + "\"deg  C\"" + s + "X\n" + c.lead +
             "SG_" + s + "F" + s + ":" + s + "8|32@1-" + s + "(0.5,1)" + s + "[0|0]" + s + "\"\"" + s + "X\n" +
             "CM_" + s + "BO_" + s + "869" + s + "\"cruise  state\";\n" + "CM_" + s + "SG_" + s + "869" + s +
             "Mode" + s + "\"assist\tmode\";\n" + "VAL_" + s + "869" + s + "Mode" + s + "0" + s +
             "\"steering assist off\"" + s + "2" + s + "\"two  blanks\"" + s + "128" + s + "\"mid sensitivity\"" + s +
             ";\n" + "SIG_VALTYPE_" + s + "869" + s + "F" + s + ":" + s + "1" + s + ";\n");
        ASSERT_EQ(count(), 1u);
        const DbcMessage &m = at(0);
        EXPECT_STREQ(m.strName, "DSU_CRUISE") << "no blank before the colon stays in the name";
        EXPECT_EQ(m.nID, 869u);
        EXPECT_EQ(m.nSize, 7u);
        EXPECT_STREQ(m.strComment, "cruise  state");
        ASSERT_EQ(m.nSignalCount, 2u);
        EXPECT_STREQ(m.sSignals[0].strName, "Mode");
        EXPECT_STREQ(m.sSignals[0].unit, "deg  C");
        EXPECT_STREQ(m.sSignals[0].strComment, "assist\tmode");
        EXPECT_EQ(m.sSignals[1].nStartBit, 8);
        EXPECT_EQ(m.sSignals[1].isSigned, 1);
        EXPECT_DOUBLE_EQ(m.sSignals[1].nOffset, 1);
        EXPECT_EQ(m.sSignals[1].valType, KDBC_VALTYPE_FLOAT);
        DbcValDescPair p[4];
        ASSERT_EQ(KDBC_GetValDescPair(db.get(), 869, "Mode", p, 4), 3u);
        EXPECT_EQ(p[0].value, 0);
        EXPECT_STREQ(p[0].text, "steering assist off");
        EXPECT_EQ(p[1].value, 2) << "no empty field is read as a value";
        EXPECT_STREQ(p[1].text, "two  blanks");
        EXPECT_EQ(p[2].value, 128);
        EXPECT_STREQ(p[2].text, "mid sensitivity");
    }
}

// A message line whose name stands apart from its colon, or whose size
// stands against it.
TEST_F(KemsigParser, MessageNameNeverKeepsTheBlanksBeforeItsColon)
{
    struct Case {
        const char *bo;
        const char *name;
        uint32_t size;
    } cases[] = {
        {"BO_ 869 DSU_CRUISE : 7 DSU", "DSU_CRUISE", 7},
        {"BO_ 869 DSU_CRUISE   :   7   DSU", "DSU_CRUISE", 7},
        {"BO_ 869 DSU_CRUISE:7 DSU", "DSU_CRUISE", 7},
        {"BO_ 869 DSU_CRUISE\t:\t7\tDSU", "DSU_CRUISE", 7},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.bo);
        load(std::string(c.bo) + "\n SG_ S : 0|8@1+ (1,0) [0|255] \"\" X\n");
        ASSERT_EQ(count(), 1u);
        EXPECT_STREQ(at(0).strName, c.name);
        EXPECT_EQ(msg->nSize, c.size);
        EXPECT_EQ(msg->nSignalCount, 1u);
    }
}

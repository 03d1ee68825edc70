// What a load says of its file: the lines that could not be read (how
// many, the first), the lines of extended multiplexing that are not read,
// and never a line of the kinds other tools write that kemsig leaves alone.
#include <gtest/gtest.h>

#include "tests/kemsig/KemsigLoadFixtures.h"
#include "tests/kemsig/KemsigTestUtil.h"
#include "tests/support/TempWorkDir.h"

namespace {

class KemsigLoadReport : public WorkDirTest
{
protected:
    kt::Db db = kt::makeDb();

    DbcLoadReport load(const std::string &text)
    {
        kt::writeFile("r.dbc", text);
        EXPECT_EQ(KDBC_LoadFile(db.get(), "r.dbc"), 1);
        DbcLoadReport r;
        std::memset(&r, 0xA5, sizeof r);
        EXPECT_EQ(KDBC_GetLoadReport(db.get(), &r), 1);
        return r;
    }
};

const char kGood[] = "BO_ 100 Msg: 8 ECU\n SG_ S : 0|8@1+ (1,0) [0|255] \"\" GW\n";

} // namespace

TEST_F(KemsigLoadReport, AFileAsToolsWriteItHasNoDamagedLine)
{
    const DbcLoadReport r = load(kt::kRealShapedDbc);
    EXPECT_EQ(r.nDamagedLines, 0u) << "first at line " << r.nFirstDamagedLine;
    EXPECT_EQ(r.nFirstDamagedLine, 0u);
    EXPECT_EQ(r.nExtMuxLines, 0u);
    EXPECT_EQ(r.nEncoding, uint32_t(KDBC_ENCODING_ASCII));
    EXPECT_GT(r.nReadLines, 10u);
    EXPECT_EQ(r.reserved, 0u);
    ASSERT_EQ(KDBC_GetMessageCount(db.get()), 5u);
    auto m = kt::newMessage();
    ASSERT_EQ(KDBC_GetMessageByIndex(db.get(), 4, m.get()), 1) << "keys: 0 (the pseudo message), 100, 300, 400, 0x18FEF1FE";
    EXPECT_STREQ(m->strName, "EngineData");
    EXPECT_EQ(m->nSignalCount, 4u);
    EXPECT_STREQ(m->strComment, "") << "a comment over several lines is not read, and nothing of it either";
}

// One damaged line after a good file: the count, the line number, and the
// rest of the file still read.
TEST_F(KemsigLoadReport, CountsTheLinesThatCannotBeRead)
{
    struct Case {
        const char *line;
        bool damaged;
    } cases[] = {
        {"BO_ 200 NoSender: 8", true},                          // the transmitter is missing
        {"BO_ 200", true},
        {"BO_", false},                                          // a keyword alone, as in the NS_ block
        {"BO_ 200 Big: 65 X", true},                             // longer than any frame
        {" SG_ T : 8|8@1+ (1,0) [0|255] X", true},               // no unit
        {" SG_ T : 8|8@1+ (1,0) [0|255] \"unit", true},          // unit not closed
        {" SG_ T : 8|65@1+ (1,0) [0|1] \"\" X", true},           // longer than the raw value
        {" SG_ T : 8|8@2 (1,0) [0|1] \"\" X", true},
        {"VAL_ 100 S 1 one ;", true},                            // a text without quotes
        {"VAL_ 100 S ;", false},                                 // a table without entries
        {"VAL_ EnvVar 0 \"off\" 1 \"on\" ;", false},             // an environment variable's values
        {"CM_ SG_ 100 \"no signal name\";", true},
        {"CM_ BO_ 100 no quotes;", true},
        {"CM_ \"general comment\";", false},
        {"CM_ BU_ ECU \"node comment\";", false},
        {"CM_ EV_ EnvVar \"variable comment\";", false},
        {"CM_ XY_ 1 \"?\";", true},
        {"SIG_VALTYPE_ 100 S : 7;", true},
        {"SIG_VALTYPE_ 100 S : 1;", false},
        {"garbage in the middle", true},
        {"<<<<<<< HEAD", true},
        {"x", true},
        {"BA_ \"GenMsgCycleTime\" BO_ 100 10;", false},
        {"BA_DEF_ BO_ \"GenMsgCycleTime\" INT 0 65535;", false},
        {"VAL_TABLE_ Onoff 1 \"on\" 0 \"off\" ;", false},
        {"SIG_GROUP_ 100 Group 1 : S;", false},
        {"BO_TX_BU_ 100 : ECU,GW;", false},
        {"EV_ EnvVar: 0 [0|1] \"\" 0 1 DUMMY_NODE_VECTOR0 Vector__XXX;", false},
        {"// a comment line", false},
        {"FILTER", false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.line);
        const DbcLoadReport r = load(std::string(kGood) + c.line + "\nBO_ 300 After: 8 ECU\n SG_ A : 0|8@1+ (1,0) [0|255] \"\" X\n");
        EXPECT_EQ(r.nDamagedLines, c.damaged ? 1u : 0u);
        EXPECT_EQ(r.nFirstDamagedLine, c.damaged ? 3u : 0u);
        EXPECT_EQ(r.nLines, 5u);
        ASSERT_GE(KDBC_GetMessageCount(db.get()), 2u) << "the lines after it are still read";
    }
}

TEST_F(KemsigLoadReport, NamesTheFirstDamagedLineAndCountsEvery)
{
    const DbcLoadReport r = load("VERSION \"\"\r\n"
                                 "\r\n"
                                 "CM_ BO_ 100 \"spans\r\n"
                                 "two lines\";\r\n"
                                 "BO_ 100 Msg: 8 ECU\r\n"
                                 " SG_ A : 0|8@1+ (1,0) [0|255] \"\" X\r\n"
                                 " SG_ B : broken\r\n"
                                 " SG_ C : 8|8@1+ (1,0) [0|255] \"\" X\r\n"
                                 "VAL_ 100 A 1 \"one\" 2 two ;\r\n"
                                 "junk\r\n");
    EXPECT_EQ(r.nFirstDamagedLine, 7u) << "line numbers count the lines of a comment over two lines";
    EXPECT_EQ(r.nDamagedLines, 2u) << "the VAL_ line reads its first pair";
    EXPECT_EQ(r.nLines, 10u);
    auto m = kt::newMessage();
    ASSERT_EQ(KDBC_GetMessageByIndex(db.get(), 0, m.get()), 1);
    EXPECT_EQ(m->nSignalCount, 2u);
}

TEST_F(KemsigLoadReport, SignalsOfAMessageLineThatDidNotParseAreNotCountedAgain)
{
    // The message line is the damaged one; its signals go with it.
    const DbcLoadReport r = load("BO_ 100 Msg: 99 ECU\n SG_ A : 0|8@1+ (1,0) [0|255] \"\" X\n"
                                 " SG_ B : 8|8@1+ (1,0) [0|255] \"\" X\n");
    EXPECT_EQ(r.nDamagedLines, 1u);
    EXPECT_EQ(r.nFirstDamagedLine, 1u);
    // A signal before any message belongs to none.
    const DbcLoadReport orphan = load(" SG_ A : 0|8@1+ (1,0) [0|255] \"\" X\nBO_ 100 Msg: 8 ECU\n");
    EXPECT_EQ(orphan.nDamagedLines, 1u);
    EXPECT_EQ(orphan.nFirstDamagedLine, 1u);
}

TEST_F(KemsigLoadReport, AFileOfNothingReadable)
{
    std::string junk = "\x89PNG\r\n\x1A\n";
    for (int i = 0; i < 64; ++i)
        junk += char(0x80 + (i * 37) % 127) + std::string(" IDAT x") + char('a' + i % 26) + "\n";
    const DbcLoadReport r = load(junk);
    EXPECT_EQ(r.nReadLines, 0u);
    EXPECT_GT(r.nDamagedLines, 60u);
    EXPECT_EQ(r.nFirstDamagedLine, 1u);
    EXPECT_EQ(KDBC_GetMessageCount(db.get()), 0u);
    // An empty file holds nothing, damaged or read.
    const DbcLoadReport empty = load("");
    EXPECT_EQ(empty.nLines, 0u);
    EXPECT_EQ(empty.nReadLines, 0u);
    EXPECT_EQ(empty.nDamagedLines, 0u);
}

TEST_F(KemsigLoadReport, ExtendedMultiplexingIsReportedAndNotRead)
{
    const DbcLoadReport r = load("BO_ 100 Mux: 8 ECU\n"
                                 " SG_ Sel M : 0|4@1+ (1,0) [0|15] \"\" X\n"
                                 " SG_ Sub m1M : 4|4@1+ (1,0) [0|15] \"\" X\n"
                                 " SG_ Val m2 : 8|8@1+ (1,0) [0|255] \"\" X\n"
                                 "SG_MUL_VAL_ 100 Sub Sel 1-1;\n"
                                 "SG_MUL_VAL_ 100 Val Sub 2-2, 4-5;\n");
    EXPECT_EQ(r.nDamagedLines, 0u);
    EXPECT_EQ(r.nExtMuxLines, 3u);
    EXPECT_EQ(r.nFirstExtMuxLine, 3u);
    auto m = kt::newMessage();
    ASSERT_EQ(KDBC_GetMessageByIndex(db.get(), 0, m.get()), 1);
    ASSERT_EQ(m->nSignalCount, 3u);
    EXPECT_EQ(m->sSignals[1].multiplexerType, KDBC_MUX_MULTIPLEXED) << "read as its m1 mark only";
    EXPECT_EQ(m->sSignals[1].multiplexerValue, 1);

    // The keyword alone in the NS_ block is no extended multiplexing.
    const DbcLoadReport ns = load("NS_ :\n\tSG_MUL_VAL_\n\tVAL_\n\n" + std::string(kGood));
    EXPECT_EQ(ns.nExtMuxLines, 0u);
    EXPECT_EQ(ns.nDamagedLines, 0u);
}

TEST_F(KemsigLoadReport, StartsAfreshWithEveryLoad)
{
    load("junk\n");
    EXPECT_EQ(KDBC_LoadFile(db.get(), "missing/none.dbc"), 0);
    DbcLoadReport r;
    ASSERT_EQ(KDBC_GetLoadReport(db.get(), &r), 1);
    EXPECT_EQ(r.nDamagedLines, 0u) << "a file that could not be opened was not read at all";
    EXPECT_EQ(r.nLines, 0u);
    EXPECT_EQ(KDBC_GetLoadReport(db.get(), nullptr), 0);
    EXPECT_EQ(KDBC_GetLoadReport(nullptr, &r), 0);
    kt::Db fresh = kt::makeDb();
    ASSERT_EQ(KDBC_GetLoadReport(fresh.get(), &r), 1);
    EXPECT_EQ(r.nReadLines, 0u);
}

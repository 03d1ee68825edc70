#include "core/QUserFliterCfg.h"

#include "tests/support/TempWorkDir.h"

#include <QFile>

#include <fstream>
#include <sstream>

namespace {

QUserCanMsg frame(const char *id, bool extended)
{
    QUserCanMsg m;
    m.idText = id;
    m.extended = extended ? 1 : 0;
    return m;
}

QUserFliterRule rule(bool ext, uint32_t a, uint32_t b)
{
    QUserFliterRule r;
    r.extended = ext ? 1 : 0;
    r.startId = a;
    r.endId = b;
    return r;
}

std::string readAll(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

} // namespace

class FliterCfgTest : public WorkDirTest
{
};

TEST_F(FliterCfgTest, OffOrEmptyLetsEverythingPass)
{
    QUserFliterCfg f("DEV-0-0");
    EXPECT_FALSE(f.isEnable());
    QUserCanMsg junk = frame("xyz", false);
    EXPECT_TRUE(f.isPass(&junk));
    f.setEnable(true);
    EXPECT_TRUE(f.isPass(&junk)); // on, but no rules
    EXPECT_FALSE(f.isPass(nullptr));
    f.rules = {rule(false, 0x100, 0x1FF)};
    f.setEnable(false);
    EXPECT_TRUE(f.isPass(&junk));
}

TEST_F(FliterCfgTest, RangesAreAnAllowListPerFrameType)
{
    QUserFliterCfg f;
    f.rules = {rule(false, 0x100, 0x1FF), rule(true, 0x18FF0000, 0x18FFFFFF), rule(false, 0x200, 0x100)};
    f.setEnable(true);
    struct Case {
        const char *id;
        bool ext;
        bool pass;
    } cases[] = {
        {"00000150 ", false, true},  {"00000150 ", true, false}, {"00000200 ", false, false},
        {"100", false, true},        {"1FF", false, true},       {"0x1ff", false, true},
        {"000000FF", false, false},  {"18FF1234 ", true, true},  {"18FF1234 ", false, false},
        {"garbage", false, false},   {"", false, false},         {"1 50", false, false},
        {"100000000", false, false}, {"18FEFFFF", true, false},
    };
    for (const Case &c : cases) {
        QUserCanMsg m = frame(c.id, c.ext);
        EXPECT_EQ(f.isPass(&m), c.pass) << c.id << " ext=" << c.ext;
    }
    // An inverted range matches nothing, not even its ends.
    QUserFliterCfg inv;
    inv.rules = {rule(false, 0x200, 0x100)};
    inv.setEnable(true);
    for (const char *id : {"100", "150", "200"}) {
        QUserCanMsg m = frame(id, false);
        EXPECT_FALSE(inv.isPass(&m)) << id;
    }
}

TEST_F(FliterCfgTest, SaveAndLoadRoundTrip)
{
    {
        QUserFliterCfg f("USBCAN2-0-1");
        EXPECT_EQ(f.getFilePath(), "./USBCAN2-0-1-Fliter.ini");
        QUserFliterRule r1 = rule(false, 0x100, 0x1FF);
        r1.flag = 7; // not stored
        f.setEnable(true);
        ASSERT_TRUE(f.setRules({r1, rule(true, 0x1FFFFFFF, 0x1FFFFFFF)}));
    }
    EXPECT_EQ(readAll("USBCAN2-0-1-Fliter.ini"),
              "FLITER_false_0x00000100_0x000001FF\nFLITER_true_0x1FFFFFFF_0x1FFFFFFF\n");
    QUserFliterCfg g("USBCAN2-0-1");
    EXPECT_FALSE(g.isEnable());
    QVector<QUserFliterRule> got;
    ASSERT_TRUE(g.getRules(got));
    ASSERT_EQ(got.size(), 2);
    EXPECT_EQ(got[0], rule(false, 0x100, 0x1FF));
    EXPECT_EQ(got[0].flag, 0);
    EXPECT_EQ(got[1], rule(true, 0x1FFFFFFF, 0x1FFFFFFF));
}

TEST_F(FliterCfgTest, LoaderSkipsBadLinesAndAcceptsCrLf)
{
    std::ofstream("D-0-0-Fliter.ini", std::ios::binary)
        << "FLITER_true_0x1FFFFFFF_0x20000000\r\n"   // end is not a valid extended id
        << "FLITER_false_0x7FF\r\n"                  // three fields
        << "FILTER_false_0x1_0x2\r\n"                // wrong tag
        << "FLITER_TRUE_0x1_0x2\r\n"                 // taken, as a standard rule
        << "FLITER_false_0x800_0x900\r\n"            // beyond 11 bits
        << "FLITER_false__0x10\r\n"                  // empty field
        << "FLITER_false_0x10_zz\r\n"                // not hexadecimal
        << "FLITER_true_0x18FF0000_0x18FFFFFF_extra\r\n" // extra fields ignored
        << "FLITER_false_0x300_0x200\r\n"            // inverted range kept
        << "\r\n"
        << "FLITER_false_10_20";                     // no line end, no 0x
    QUserFliterCfg f("D-0-0");
    QVector<QUserFliterRule> got;
    f.getRules(got);
    const QVector<QUserFliterRule> want = {rule(false, 1, 2), rule(true, 0x18FF0000, 0x18FFFFFF),
                                           rule(false, 0x300, 0x200), rule(false, 0x10, 0x20)};
    EXPECT_EQ(got, want);
}

TEST_F(FliterCfgTest, MissingFileGivesEmptyListAndUnwritableFileKeepsRules)
{
    QUserFliterCfg f("NONE-0-0");
    EXPECT_TRUE(f.rules.isEmpty());
    // A directory in the file's place cannot be written.
    std::filesystem::create_directory("BAD-0-0-Fliter.ini");
    QUserFliterCfg g("BAD-0-0");
    g.setRules({rule(false, 1, 2)});
    EXPECT_EQ(g.rules.size(), 1);
}

TEST(FliterParseId, Table)
{
    struct Case {
        const char *text;
        uint32_t id;
    } cases[] = {{"00000123 ", 0x123}, {" 0x7ff ", 0x7FF}, {"FFFFFFFF", 0xFFFFFFFF}, {"1FFFFFFFF", 0},
                 {"", 0},             {"0x", 0},         {"12G", 0},                {"\t1A\n", 0x1A}};
    for (const auto &c : cases)
        EXPECT_EQ(QUserFliterCfg::parseId(c.text), c.id) << c.text;
}

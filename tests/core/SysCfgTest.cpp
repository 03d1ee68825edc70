#include "core/QUserSysCfg.h"
#include "core/QUserSettingRange.h"

#include "tests/support/PeerCheck.h"
#include "tests/support/TempWorkDir.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QSplitter>

#include <fstream>
#include <memory>

class SysCfgTest : public WorkDirTest
{
};

TEST_F(SysCfgTest, FirstStartCreatesFileWithCompanyOnly)
{
    ASSERT_FALSE(QFileInfo::exists("setting/sys.ini"));
    QUserSysCfg cfg;
    ASSERT_TRUE(QFileInfo("setting/sys.ini").isFile());
    EXPECT_EQ(cfg.getString("Company"), "KEM");
    EXPECT_EQ(cfg.getInt("language"), -1);
    EXPECT_TRUE(cfg.getString("language").isNull());
    EXPECT_TRUE(cfg.getString("language").isEmpty());

    QSettings raw("setting/sys.ini", QSettings::IniFormat);
    EXPECT_EQ(raw.allKeys(), QStringList{"Company"});
    EXPECT_EQ(raw.value("Company").toString(), "KEM");
}

TEST_F(SysCfgTest, SettersRefuseEmptyAndKeepOldValue)
{
    QUserSysCfg cfg;
    EXPECT_TRUE(cfg.setString("language", "EN"));
    EXPECT_FALSE(cfg.setString("language", ""));
    EXPECT_FALSE(cfg.setString("", "x"));
    EXPECT_FALSE(cfg.setInt("", 3));
    EXPECT_EQ(cfg.getString("language"), "EN");
}

TEST_F(SysCfgTest, IntegerAndTextTypeRules)
{
    QUserSysCfg cfg;
    struct Case {
        const char *text;
        int asInt;
    } cases[] = {{"500", 500}, {"abc", 0}, {"-1", -1}, {" 42 ", 42}, {"0x10", 0}};
    EXPECT_TRUE(cfg.setInt("msgCacheSize", 500));
    EXPECT_EQ(cfg.getString("msgCacheSize"), "500");
    for (const auto &c : cases) {
        ASSERT_TRUE(cfg.setString("k", c.text));
        EXPECT_EQ(cfg.getInt("k"), c.asInt) << c.text;
    }
}

TEST_F(SysCfgTest, ChangesReachTheFileAndSurviveReload)
{
    {
        QUserSysCfg cfg;
        cfg.setString("styleColor", "rgb(43, 87, 154)");
        cfg.setInt("timeFormat", 0);
        cfg.setInt("axisXMaxValue", 60000);
        // Another reader sees the change before the store is destroyed.
        QSettings raw("setting/sys.ini", QSettings::IniFormat);
        EXPECT_EQ(raw.value("styleColor").toString(), "rgb(43, 87, 154)");
        EXPECT_EQ(raw.value("axisXMaxValue").toString(), "60000");
    }
    QUserSysCfg again;
    EXPECT_EQ(again.getString("styleColor"), "rgb(43, 87, 154)");
    EXPECT_EQ(again.getInt("timeFormat"), 0);
    EXPECT_EQ(again.getInt("axisXMaxValue"), 60000);
    EXPECT_EQ(again.getString("Company"), "KEM");
}

TEST_F(SysCfgTest, ByteArraysBypassTheCache)
{
    const QByteArray state("\x00\xff\x01splitter\n", 12);
    {
        QUserSysCfg cfg;
        EXPECT_TRUE(cfg.setByteArray("mainWindowSpliteRate", state));
        EXPECT_EQ(cfg.getByteArray("mainWindowSpliteRate"), state);
        // not in the cache until the next load
        EXPECT_TRUE(cfg.getString("mainWindowSpliteRate").isNull());
    }
    QUserSysCfg again;
    EXPECT_EQ(again.getByteArray("mainWindowSpliteRate"), state);
    EXPECT_FALSE(again.getString("mainWindowSpliteRate").isNull());
}

TEST_F(SysCfgTest, ExistingFileIsLoadedAsIs)
{
    std::filesystem::create_directories("setting");
    std::ofstream("setting/sys.ini") << "[General]\nlanguage=EN\nmsgIdFormat=1\n";
    QUserSysCfg cfg;
    EXPECT_EQ(cfg.getString("language"), "EN");
    EXPECT_EQ(cfg.getInt("msgIdFormat"), 1);
    // an existing file is not given the default key
    EXPECT_TRUE(cfg.getString("Company").isNull());
}

TEST_F(SysCfgTest, InstanceIsOneObject)
{
    QUserSysCfg *a = QUserSysCfg::instance();
    QUserSysCfg *b = QUserSysCfg::instance();
    EXPECT_EQ(a, b);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->getString("Company").isEmpty(), false);
}

TEST_F(SysCfgTest, PeerConfigParserReadsTheFile)
{
    REQUIRE_PEER_MODULES("configparser");
    {
        QUserSysCfg cfg;
        cfg.setString("language", "ZH");
        cfg.setString("styleColor", "rgb(183, 71, 42)");
        cfg.setInt("msgCacheSize", 1000000);
        cfg.setInt("openFliterEndNode", 127);
        cfg.setString("canopenPrjFilePath", "NULL");
        cfg.setString("idMergEnable", "ON");
    }
    auto r = peer::run(peer::script("core_sysini.py"), {workDir.file("setting/sys.ini")});
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(r.output,
              "Company=KEM\n"
              "canopenPrjFilePath=NULL\n"
              "idMergEnable=ON\n"
              "language=ZH\n"
              "msgCacheSize=1000000\n"
              "openFliterEndNode=127\n"
              "styleColor=rgb(183, 71, 42)\n");
}

namespace {

QStringList *capturedLog = nullptr;
void captureHandler(QtMsgType, const QMessageLogContext &, const QString &text)
{
    if (capturedLog)
        capturedLog->append(text);
}

} // namespace

// A bounded integer is taken only inside its range; any other text gives the
// default and one log line naming the key and the text; an absent key gives
// the default silently (its owner may then write it).
TEST_F(SysCfgTest, BoundedIntegerTakesTheDefaultOutsideItsRange)
{
    QUserSysCfg cfg;
    QStringList lines;
    capturedLog = &lines;
    const QtMessageHandler previous = qInstallMessageHandler(captureHandler);
    struct Case {
        const char *text;
        int expect;
        bool logged;
    } cases[] = {{"1", 1, false},          {"32", 32, false},      {" 7 ", 7, false},      {"0", 5, true},
                 {"-1", 5, true},          {"33", 5, true},        {"2147483647", 5, true}, {"1e12", 5, true},
                 {"abc", 5, true},         {"99999999999", 5, true}, {"3.5", 5, true}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        ASSERT_TRUE(cfg.setString("perBatch", c.text));
        lines.clear();
        EXPECT_EQ(cfg.getIntBounded("perBatch", 1, 32, 5), c.expect);
        EXPECT_EQ(lines.filter("perBatch").size(), c.logged ? 1 : 0) << lines.join('\n').toStdString();
        if (c.logged) {
            EXPECT_EQ(lines.filter(QStringLiteral("值<%1>").arg(QString::fromLatin1(c.text).trimmed())).size(), 1);
        }
    }
    // Empty text cannot be set through the store; as the file gives it:
    {
        QSettings raw("setting/sys.ini", QSettings::IniFormat);
        raw.setValue("emptyKey", "");
    }
    cfg.reload();
    lines.clear();
    EXPECT_EQ(cfg.getIntBounded("emptyKey", 1, 32, 5), 5);
    EXPECT_EQ(lines.filter("emptyKey").size(), 1);
    lines.clear();
    EXPECT_EQ(cfg.getIntBounded("absentKey", 1, 32, 5), 5);
    EXPECT_TRUE(lines.filter("absentKey").isEmpty());
    qInstallMessageHandler(previous);
    capturedLog = nullptr;
}

// Every read of the stores is reported to the watcher while one is set.
TEST_F(SysCfgTest, ReadsReachTheWatch)
{
    QUserSysCfg cfg;
    QStringList seen;
    settingrange::readWatchSet([&seen](const QString &source, const QString &key) { seen << source + "/" + key; });
    cfg.getString("a");
    cfg.getInt("b");
    cfg.getIntBounded("c", 0, 1, 0);
    cfg.getByteArray("d");
    settingrange::readWatchSet(nullptr);
    cfg.getString("e");
    EXPECT_EQ(seen, (QStringList{"sys.ini/a", "sys.ini/b", "sys.ini/c", "sys.ini/d"}));
}

// A splitter state as the framework writes it comes back whole; one whose
// size list claims more entries than it holds (the framework would reserve
// room for all of them before reading one) comes back empty with a log line.
TEST_F(SysCfgTest, SplitterStatesWhoseSizeListDoesNotFitAreRefused)
{
    QUserSysCfg cfg;
    QSplitter splitter;
    splitter.addWidget(new QWidget);
    splitter.addWidget(new QWidget);
    splitter.addWidget(new QWidget);
    const QByteArray real = splitter.saveState();
    QByteArray claimsAll = real.left(8);
    claimsAll += QByteArray::fromHex("7fffffff");
    QByteArray claimsFour = real; // three sizes stored, four claimed, nothing after
    claimsFour.truncate(8);
    claimsFour += QByteArray::fromHex("00000004") + real.mid(12, 12);
    QStringList lines;
    capturedLog = &lines;
    const QtMessageHandler previous = qInstallMessageHandler(captureHandler);
    const struct {
        const char *what;
        QByteArray state;
        bool kept;
    } cases[] = {{"as written", real, true},
                 {"claims 2^31-1 sizes", claimsAll, false},
                 {"claims one more than it holds", claimsFour, false},
                 {"text", QByteArray("abc"), true},
                 {"another marker", QByteArray::fromHex("000000fe000000007fffffff"), true}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(cfg.setByteArray("someSplitter", c.state));
        lines.clear();
        const QByteArray got = cfg.getSplitterState("someSplitter");
        EXPECT_EQ(got, c.kept ? c.state : QByteArray());
        EXPECT_EQ(lines.filter("someSplitter").size(), c.kept ? 0 : 1);
    }
    qInstallMessageHandler(previous);
    capturedLog = nullptr;
}

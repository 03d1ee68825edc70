// What both DBC windows say about a file after loading it: the lines that
// could not be read (how many, the first) in the log and in a box, a file
// of which nothing could be read as a failed load, extended multiplexing
// that is not read; and nothing at all for a file as tools write it.
#include <gtest/gtest.h>

#include <QLabel>

#include "tests/dbc/DbcWindowSupport.h"
#include "tests/dbc/SendSupport.h"

namespace {

// Two damaged lines, the first on line 7; the rest of the file reads.
const char kDamaged[] = "VERSION \"\"\n"
                        "\n"
                        "BS_:\n"
                        "\n"
                        "BU_: ECU\n"
                        "BO_ 256 EngineData: 8 ECU\n"
                        " SG_ Broken : 0|16@1+ (0.25,0) [0|16383.75] rpm Vector__XXX\n"
                        " SG_ EngTemp : 23|8@0- (1,-40) [-168|87] \"degC\" Vector__XXX\n"
                        "BO_ 512 NoSender: 8\n"
                        "BO_ 768 Body: 2 ECU\n"
                        " SG_ Door : 0|1@1+ (1,0) [0|1] \"\" Vector__XXX\n";

const char kExtMux[] = "BO_ 256 Mux: 8 ECU\n"
                       " SG_ Sel M : 0|4@1+ (1,0) [0|15] \"\" X\n"
                       " SG_ Sub m1M : 4|4@1+ (1,0) [0|15] \"\" X\n"
                       " SG_ Val m2 : 8|8@1+ (1,0) [0|255] \"\" X\n"
                       "SG_MUL_VAL_ 256 Sub Sel 1-1;\n"
                       "SG_MUL_VAL_ 256 Val Sub 2-2;\n";

const char kClean[] = "VERSION \"\"\n\nNS_ :\n\tCM_\n\tSG_MUL_VAL_\n\nBS_:\n\nBU_: ECU\n\n"
                      "BO_ 256 EngineData: 8 ECU\n"
                      " SG_ EngSpeed : 0|16@1+ (0.25,0) [0|16383.75] \"rpm\" Vector__XXX\n"
                      "\n"
                      "CM_ BO_ 256 \"engine data,\n"
                      "over two lines\";\n"
                      "BA_DEF_ BO_ \"GenMsgCycleTime\" INT 0 65535;\n"
                      "VAL_TABLE_ OnOff 1 \"On\" 0 \"Off\" ;\n";

QByteArray junk()
{
    QByteArray b("\x89PNG\r\n\x1A\n", 8);
    for (int i = 0; i < 40; ++i)
        b += char(0x80 + (i * 37) % 127) + QByteArray(" IDAT chunk ") + char('a' + i % 26) + "\n";
    return b;
}

bool write(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

const char kDamagedNote[] = "DBC文件有2行无法解析,已跳过(第一处:第7行)。";
const char kExtMuxNote[] = "文件含扩展多路复用(SG_MUL_VAL_),未解析:多路复用信号只按其m/M标记显示。";

// ---- the analysis window ----------------------------------------------------------------

class AnalysisLoadNote : public dbcwin::DbcWindowTest
{
protected:
    // Loads through the window; every box after the progress dialog is
    // answered with OK and returned (title, texts).
    QVector<QPair<QString, QString>> load(QUserMainWindowDBC *w, const QString &path)
    {
        QUserPromptScript prompts;
        dbcwin::answerLoadRun(prompts, w);
        prompts.answerExec(1);
        prompts.answerExec(1);
        w->dbcFileLoad(path);
        return dbcwin::boxes(prompts);
    }
    static QString tip(QUserMainWindowDBC *w)
    {
        QLabel *l = w->messageBox().tipLabelWidget();
        return l ? l->text() : QString();
    }
};

TEST_F(AnalysisLoadNote, DamagedLinesAreCountedInTheLogAndTheLoadMessage)
{
    ASSERT_TRUE(write(dbcPath("damaged.dbc"), kDamaged));
    std::unique_ptr<QUserMainWindowDBC> w(new QUserMainWindowDBC);
    dbcwin::LogCapture log;
    const auto shown = load(w.get(), dbcPath("damaged.dbc"));
    ASSERT_EQ(shown.size(), 1) << "one box after the load";
    EXPECT_EQ(shown[0].first, "提示");
    EXPECT_TRUE(shown[0].second.contains(QString::fromUtf8(kDamagedNote))) << shown[0].second.toStdString();
    EXPECT_EQ(log.count(QStringLiteral("WARNING:DBC文件<%1>共2行无法解析,第一处在第7行...").arg(dbcPath("damaged.dbc"))),
              1);
    EXPECT_EQ(tip(w.get()), "DBC文件加载成功!") << "what could be read is loaded";
    ASSERT_EQ(w->dbcMessages().size(), 3);
    EXPECT_EQ(w->dbcMessages().at(0).vSignals.size(), 1) << "EngTemp, after the damaged line";
    EXPECT_EQ(w->windowTitle(), "DBC解析 - damaged.dbc");
}

TEST_F(AnalysisLoadNote, AFileOfWhichNothingCouldBeReadFailsToLoad)
{
    ASSERT_TRUE(dbcwin::writeDbc(dbcPath("small.dbc"), dbcwin::smallDbc()));
    ASSERT_TRUE(write(dbcPath("picture.dbc"), junk()));
    std::unique_ptr<QUserMainWindowDBC> w(new QUserMainWindowDBC);
    ASSERT_TRUE(load(w.get(), dbcPath("small.dbc")).isEmpty());
    ASSERT_EQ(w->dbcMessages().size(), 3);
    dbcwin::LogCapture log;
    const auto shown = load(w.get(), dbcPath("picture.dbc"));
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].first, "错误");
    EXPECT_TRUE(shown[0].second.contains("DBC文件解析失败!!!"));
    EXPECT_TRUE(log.contains(QStringLiteral("DBC文件<%1>解析失败!!!").arg(dbcPath("picture.dbc"))));
    EXPECT_TRUE(log.contains("行无法解析,第一处在第1行..."));
    EXPECT_EQ(w->dbcMessages().size(), 3) << "the file loaded before stays";
    EXPECT_EQ(w->windowTitle(), "DBC解析 - small.dbc");
}

TEST_F(AnalysisLoadNote, ExtendedMultiplexingIsNamedAsNotRead)
{
    ASSERT_TRUE(write(dbcPath("extmux.dbc"), kExtMux));
    std::unique_ptr<QUserMainWindowDBC> w(new QUserMainWindowDBC);
    dbcwin::LogCapture log;
    const auto shown = load(w.get(), dbcPath("extmux.dbc"));
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].first, "提示");
    EXPECT_TRUE(shown[0].second.contains(QString::fromUtf8(kExtMuxNote))) << shown[0].second.toStdString();
    EXPECT_FALSE(shown[0].second.contains("无法解析,已跳过"));
    EXPECT_EQ(log.count("含扩展多路复用(SG_MUL_VAL_,第3行起),未解析..."), 1) << "one log line";
    ASSERT_EQ(w->dbcMessages().size(), 1);
    EXPECT_EQ(w->dbcMessages().at(0).vSignals.size(), 3);
}

TEST_F(AnalysisLoadNote, AFileAsToolsWriteItLoadsWithoutAWord)
{
    ASSERT_TRUE(write(dbcPath("clean.dbc"), kClean));
    std::unique_ptr<QUserMainWindowDBC> w(new QUserMainWindowDBC);
    dbcwin::LogCapture log;
    EXPECT_TRUE(load(w.get(), dbcPath("clean.dbc")).isEmpty());
    EXPECT_FALSE(log.contains("无法解析"));
    EXPECT_FALSE(log.contains("扩展多路复用"));
    EXPECT_TRUE(log.contains(QStringLiteral("DBC文件<%1>编码:ASCII").arg(dbcPath("clean.dbc"))));
    EXPECT_EQ(w->dbcMessages().size(), 1);
}

// ---- the send window ------------------------------------------------------------------------

class SendLoadNote : public WorkDirTest
{
protected:
    void TearDown() override { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }
    QString path(const char *name) const { return QString::fromStdString(workDir.file(name)); }
    QVector<QPair<QString, QString>> load(QUserMainWindowDBCSend &w, const QString &file, int *result = nullptr)
    {
        QUserPromptScript prompts;
        prompts.answerExec(sendtest::waitForLoad());
        prompts.answerExec(1);
        prompts.answerExec(1);
        const int r = w.dbcFileLoad(file);
        if (result)
            *result = r;
        return dbcwin::boxes(prompts);
    }
};

TEST_F(SendLoadNote, DamagedLinesAreCountedInTheLogAndTheLoadMessage)
{
    ASSERT_TRUE(write(path("damaged.dbc"), kDamaged));
    QUserMainWindowDBCSend w;
    dbcwin::LogCapture log;
    int result = -1;
    const auto shown = load(w, path("damaged.dbc"), &result);
    EXPECT_EQ(result, 0);
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].first, "提示");
    EXPECT_TRUE(shown[0].second.contains(QString::fromUtf8(kDamagedNote))) << shown[0].second.toStdString();
    EXPECT_EQ(log.count(QStringLiteral("WARNING:DBC文件<%1>共2行无法解析,第一处在第7行...").arg(path("damaged.dbc"))), 1);
    EXPECT_EQ(w.fileMessages().size(), 3);
}

TEST_F(SendLoadNote, AFileOfWhichNothingCouldBeReadFailsToLoad)
{
    ASSERT_TRUE(write(path("small.dbc"), sendtest::kSmallDbc));
    ASSERT_TRUE(write(path("picture.dbc"), junk()));
    QUserMainWindowDBCSend w;
    int result = -1;
    EXPECT_TRUE(load(w, path("small.dbc"), &result).isEmpty());
    ASSERT_EQ(result, 0);
    const int before = w.fileMessages().size();
    dbcwin::LogCapture log;
    const auto shown = load(w, path("picture.dbc"), &result);
    EXPECT_EQ(result, 4);
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].first, "错误");
    EXPECT_TRUE(shown[0].second.contains("DBC文件解析失败!!!"));
    EXPECT_TRUE(log.contains(QStringLiteral("DBC文件<%1>解析失败!!!").arg(path("picture.dbc"))));
    EXPECT_EQ(w.fileMessages().size(), before) << "the file loaded before stays";
}

TEST_F(SendLoadNote, ExtendedMultiplexingIsNamedAsNotRead)
{
    ASSERT_TRUE(write(path("extmux.dbc"), kExtMux));
    QUserMainWindowDBCSend w;
    dbcwin::LogCapture log;
    const auto shown = load(w, path("extmux.dbc"));
    ASSERT_EQ(shown.size(), 1);
    EXPECT_TRUE(shown[0].second.contains(QString::fromUtf8(kExtMuxNote))) << shown[0].second.toStdString();
    EXPECT_EQ(log.count("含扩展多路复用(SG_MUL_VAL_,第3行起),未解析..."), 1);
}

TEST_F(SendLoadNote, AFileAsToolsWriteItLoadsWithoutAWord)
{
    ASSERT_TRUE(write(path("clean.dbc"), kClean));
    QUserMainWindowDBCSend w;
    dbcwin::LogCapture log;
    EXPECT_TRUE(load(w, path("clean.dbc")).isEmpty());
    EXPECT_FALSE(log.contains("无法解析"));
    EXPECT_EQ(w.fileMessages().size(), 1);
}

// A file in Western code page 1252, as European tools write it, shows its
// units and texts as written.
TEST_F(SendLoadNote, Cp1252FileShowsItsTexts)
{
    const QByteArray bytes = QTextCodec::codecForName("Windows-1252")
                                 ->fromUnicode(QString::fromUtf8("BO_ 256 Motor: 8 ECU\n"
                                                                 " SG_ Temp : 0|8@1+ (1,-40) [-40|215] \"°C\" GW\n"
                                                                 " SG_ Rate : 8|8@1+ (1,0) [0|255] \"°/s\" GW\n"
                                                                 "CM_ SG_ 256 Temp \"Öltemperatur für Motor\";\n"));
    ASSERT_TRUE(write(path("de.dbc"), bytes));
    QUserMainWindowDBCSend w;
    dbcwin::LogCapture log;
    EXPECT_TRUE(load(w, path("de.dbc")).isEmpty());
    ASSERT_EQ(w.fileMessages().size(), 1);
    const QUserDbcMsg &m = w.fileMessages().at(0);
    ASSERT_EQ(m.vSignals.size(), 2);
    EXPECT_EQ(m.vSignals.at(0).unit, QString::fromUtf8("°C"));
    EXPECT_EQ(m.vSignals.at(1).unit, QString::fromUtf8("°/s"));
    EXPECT_EQ(m.vSignals.at(0).strComment, QString::fromUtf8("Öltemperatur für Motor"));
    EXPECT_TRUE(log.contains("编码:CP1252"));
}

} // namespace

#include "core/QUserLogHandler.h"

#include "tests/support/ChildProcess.h"
#include "tests/support/GiveUp.h"
#include "tests/support/TempWorkDir.h"

#include <QCoreApplication>
#include <QDebug>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>

#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>
#include <sstream>

namespace {

std::string readAll(const QString &path)
{
    std::ifstream in(path.toStdString(), std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// File times by name, set by the test (the file system may keep creation
// times that a test cannot set).
struct FakeTimes {
    QHash<QString, QDateTime> times;
    QDateTime operator()(const QFileInfo &fi) const { return times.value(fi.fileName(), QDateTime::currentDateTime()); }
};

} // namespace

class LogHandlerTest : public WorkDirTest
{
};

TEST(LogLine, FormatAndLevelWords)
{
    const QDateTime t(QDate(2026, 5, 4), QTime(10, 20, 30));
    struct Case {
        QtMsgType type;
        const char *line;
    } cases[] = {
        {QtDebugMsg, "2026-05-04 10:20:30 [DEBUG] abc\n"},  {QtWarningMsg, "2026-05-04 10:20:30 [WARN ] abc\n"},
        {QtCriticalMsg, "2026-05-04 10:20:30 [ERROR] abc\n"}, {QtFatalMsg, "2026-05-04 10:20:30 [FATAL] abc\n"},
        {QtInfoMsg, "2026-05-04 10:20:30 [INFO ] abc\n"},    {QtMsgType(5), "2026-05-04 10:20:30 [] abc\n"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(QUserLogState::formatLine(t, c.type, "abc").toStdString(), c.line);
}

TEST_F(LogHandlerTest, CreatesDirectoryAndAppendsAcrossRuns)
{
    {
        QUserLogState s;
        s.openLogFile();
        ASSERT_TRUE(s.hasStream());
        EXPECT_TRUE(QFileInfo("log/kem.log").isFile());
        s.writeLine(QtWarningMsg, "first");
        s.flush();
        EXPECT_NE(readAll("log/kem.log").find("[WARN ] first\n"), std::string::npos);
    }
    QUserLogState again;
    again.openLogFile();
    again.writeLine(QtDebugMsg, "second");
    again.flush();
    const std::string text = readAll("log/kem.log");
    EXPECT_NE(text.find("first"), std::string::npos);
    EXPECT_NE(text.find("[DEBUG] second\n"), std::string::npos);
}

TEST_F(LogHandlerTest, RollsAtDateChangeKeepingContent)
{
    QDate today(2026, 5, 3);
    QUserLogState s("log", [&today] { return today; });
    s.openLogFile();
    s.writeLine(QtDebugMsg, "day one");
    s.openLogFile(); // same day: nothing happens
    EXPECT_FALSE(QFileInfo::exists("log/kem2026-05-03.log"));
    today = QDate(2026, 5, 4);
    s.openLogFile();
    s.writeLine(QtDebugMsg, "day two");
    s.flush();
    EXPECT_EQ(s.logDate(), today);
    const std::string old = readAll("log/kem2026-05-03.log");
    EXPECT_NE(old.find("day one"), std::string::npos);
    const std::string now = readAll("log/kem.log");
    EXPECT_EQ(now.find("day one"), std::string::npos);
    EXPECT_NE(now.find("day two"), std::string::npos);

    // The dated name is taken: another name is chosen, nothing is lost.
    std::ofstream("log/kem2026-05-04.log") << "older text\n";
    today = QDate(2026, 5, 5);
    s.openLogFile();
    s.writeLine(QtDebugMsg, "day three");
    s.flush();
    EXPECT_EQ(readAll("log/kem2026-05-04.log"), "older text\n");
    EXPECT_NE(readAll("log/kem2026-05-04-1.log").find("day two"), std::string::npos);
    EXPECT_NE(readAll("log/kem.log").find("day three"), std::string::npos);
}

TEST_F(LogHandlerTest, PurgeRemovesOldFilesButNeverTheActiveLog)
{
    const QDate today(2026, 6, 10);
    const QDateTime noon(today, QTime(12, 0));
    std::filesystem::create_directory("log");
    for (const char *name : {"kem.log", "kem2026-05-09.log", "kem2026-05-10.log", "other.txt"})
        std::ofstream(std::string("log/") + name) << "x\n";
    std::filesystem::create_directory("log/sub");
    FakeTimes times;
    times.times["kem.log"] = noon.addDays(-400);       // active: stays
    times.times["kem2026-05-09.log"] = noon.addDays(-31);
    times.times["kem2026-05-10.log"] = noon.addDays(-30);
    times.times["other.txt"] = noon.addDays(-90);
    times.times["sub"] = noon.addDays(-90);            // directory: stays
    QUserLogState s("log", [today] { return today; }, times);
    s.openLogFile();
    EXPECT_TRUE(QFileInfo::exists("log/kem.log"));
    EXPECT_FALSE(QFileInfo::exists("log/kem2026-05-09.log"));
    EXPECT_TRUE(QFileInfo::exists("log/kem2026-05-10.log"));
    EXPECT_FALSE(QFileInfo::exists("log/other.txt"));
    EXPECT_TRUE(QFileInfo::exists("log/sub"));
    // kem.log from an earlier day is appended to, not rolled at start
    s.writeLine(QtDebugMsg, "more");
    s.flush();
    EXPECT_EQ(readAll("log/kem.log").substr(0, 2), "x\n");
}

TEST(LogFileTime, FallsBackToModificationTime)
{
    TempWorkDir dir;
    std::ofstream("f.txt") << "x";
    const QFileInfo fi("f.txt");
    const QDateTime t = QUserLogState::fileTime(fi);
    ASSERT_TRUE(t.isValid());
    if (fi.birthTime().isValid())
        EXPECT_EQ(t, fi.birthTime());
    else
        EXPECT_EQ(t, fi.lastModified());
}

// The last lines before the program ends are the ones that tell what went
// wrong at shutdown: they must be in the file although the flush timer never
// ran again. Each case ends a child process its own way right after logging.
TEST_F(LogHandlerTest, LastLineBeforeExitReachesTheFile)
{
    if (QUserLogHandler::instance().state())
        GTEST_SKIP() << "the handler is installed in this process already (run the test on its own)";
    struct Case {
        const char *name;
        std::function<void()> end;
        const char *line;
    } cases[] = {
        {"exit", [] { qDebug("closing device USBCANFD2-0-0"); std::exit(0); }, "[DEBUG] closing device USBCANFD2-0-0\n"},
        {"a thread's line, then exit",
         [] {
             std::thread([] { qWarning("recording stopped"); }).join();
             std::exit(3);
         },
         "[WARN ] recording stopped\n"},
        {"fatal", [] { qFatal("driver thread lost"); }, "[FATAL] driver thread lost\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all("log");
        const child::Outcome out = child::run([&c]() -> int {
            QUserLogHandler::instance().installMessageHandler();
            qDebug("started");
            c.end();
            return 0;
        });
        const std::string text = readAll("log/kem.log");
        EXPECT_NE(text.find("[DEBUG] started\n"), std::string::npos) << out.describe() << "\n" << text;
        EXPECT_NE(text.find(c.line), std::string::npos) << out.describe() << "\n" << text;
    }
}

// Start-up writes nothing of its own to standard error (the log directory's
// file names used to be listed there).
TEST_F(LogHandlerTest, OpeningListsNothingOnStandardError)
{
    std::filesystem::create_directory("log");
    std::ofstream("log/kem2026-05-03.log") << "x\n";
    testing::internal::CaptureStderr();
    {
        QUserLogState s;
        s.openLogFile();
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST_F(LogHandlerTest, InstalledHandlerWritesEveryThreadsMessages)
{
    QUserLogHandler &h = QUserLogHandler::instance();
    EXPECT_EQ(&h, &QUserLogHandler::instance());
    h.installMessageHandler();
    h.installMessageHandler(); // second call does nothing
    ASSERT_NE(h.state(), nullptr);
    const QString path = h.state()->logPath();
    qWarning() << "from the test";
    std::thread t([] { qDebug("from a thread"); });
    t.join();
    // the flush timer pushes the text within a second (the wait gives up
    // only after a long time)
    QElapsedTimer clock;
    clock.start();
    std::string text;
    while (clock.elapsed() < testsupport::kGiveUpMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        text = readAll(path);
        if (text.find("from a thread") != std::string::npos)
            break;
    }
    EXPECT_NE(text.find("[WARN ] from the test\n"), std::string::npos) << text;
    EXPECT_NE(text.find("[DEBUG] from a thread\n"), std::string::npos) << text;
    qInstallMessageHandler(nullptr);
}

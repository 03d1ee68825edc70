// Every key the program reads from "sys.ini" and from the settings files in
// "setting/" (and the device dialogs' files of their own form), written with
// hostile values: 0, -1, 2147483647, 1e12, "abc" and empty, and a DBC and a
// CANopen project whose every number is that value. With them the
// main window opens, both simulated adapters open through the real selection
// and channel dialogs (data tabs with live traffic), and every tool window
// and every dialog that reads settings opens and closes; both DBC windows
// and the CANopen window open the projects.
//
// Each value runs in a child process of its own (this binary started again
// on the child test below), under an address-space limit of kHeadroom bytes
// beyond what the process maps when the child starts and a time-out of
// kTimeoutS seconds: no crash, no abort, no allocation beyond the bound, no
// endless loop. The child also watches every read of the two stores and
// fails on a key this list does not name, so a key added to the program
// without being added here is caught.

#include "tests/mainwindow/MainWindowTestEnv.h"

#include "tests/support/ChildProcess.h"
#include "tests/support/PeerCheck.h"

#include "canopen/windows/QUserMainWindowCANopen.h"
#include "core/QUserSettingRange.h"
#include "dbc/QUserMainWindowDBC.h"
#include "dbc/QUserMainWindowDBCSend.h"
#include "devices/QKemLib.h"
#include "mainwindow/MainWindow.h"
#include "mainwindow/MainWindowForm.h"
#include "mainwindow/QUserMainWindowLayout.h"
#include "traffic/windows/QUserMainWindowCANWatch.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDataStream>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QMutex>
#include <QPushButton>
#include <QSet>
#include <QTabWidget>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

extern char **environ;

namespace {

const char *const kHostile[] = {"0", "-1", "2147483647", "1e12", "abc", ""};
constexpr int kHostileCount = int(sizeof(kHostile) / sizeof(kHostile[0]));

// The bound: address space beyond what the child maps at its start.
constexpr size_t kHeadroom = size_t(768) << 20;
// An endless loop, not a slow machine: a child takes some 90 s in the
// sanitizer build beside 16 busy processes.
constexpr int kTimeoutS = 600;

const QStringList kDevIds = {"USBCANFD2-0-0", "USBCANFD2-0-1", "USBCAN2-0-0", "USBCAN2-0-1"};

// Every key the program reads from "sys.ini".
const QStringList kSysKeys = {
    "language", "styleColor", "msgCacheSize", "idMergEnable", "sendAllowDis", "timeFormat",
    "msgIdFormat", "msgDataFormat", "msgHardWareTimeEn", "mainWindowSpliteRate", "cw_msgIdFormat",
    "cw_msgDataFormat", "devCanFDSelIndex", "devLinSelIndex", "devRecordSelIndex", "dbcProcotolType", "seriesType",
    "pointsVisible", "pointsLabelVisible", "axisXMaxValue", "sendDataAnalysisEnable", "dbcSpliteRootRate",
    "dbcSpliteRightRate", "dbcMsgSrcAddr", "dbcMsgDstAddr", "dbcFdSendProcotol", "dbcSendSpliteRootRate",
    "dbcSendSpliteRightRate", "openNodeIdFormat", "openFliterNodeEn", "openFliterBeginNode", "openFliterEndNode",
    "openHeartBeatShow", "canopenPrjFilePath", "dbcEdsSpliteRootRate", "dbcEdsSpliteLeftFileRate",
    "dbcEdsSpliteRightListenRate", "openCanSpliteRootRate"};

// Byte-array keys: splitter states.
const QStringList kSysBytesKeys = {"mainWindowSpliteRate",  "dbcSpliteRootRate",        "dbcSpliteRightRate",
                                   "dbcSendSpliteRootRate", "dbcSendSpliteRightRate",   "dbcEdsSpliteRootRate",
                                   "dbcEdsSpliteLeftFileRate", "dbcEdsSpliteRightListenRate", "openCanSpliteRootRate"};


// The single-valued settings files and their keys ("<id>" files by suffix).
const QMap<QString, QStringList> kFileKeys = {
    {"_BasicSend.ini",
     {"sendType", "procotolType", "format", "type", "strLen", "strCANID", "strData", "reqSendCnt", "perSendCnt",
      "sendTimerInterVal", "idIncEnable"}},
    {"CANWatchUi.ini",
     {"windowRightTabPageIndex", "windowLeftTabPageIndex", "chkBoxTxMsgShow", "chkBoxRtrMsgShow", "chkBoxIdFliterEn",
      "lineEditFliterStartId", "lineEditFliterStopId", "lineEditLocateRow"}},
    {"CANOpenUi.ini",
     {"windowRightTabPageIndex", "windowLeftTabPageIndex", "Cia301NodeId", "comBoxNmtType", "comBoxNmtGuardType",
      "lineEditSyncCnt", "lineEditErrCode", "lineEditErrRegister", "lineEditUserErrCode", "comBoxPdoType",
      "lineEditPdoData", "comBoxRemotePdoType", "lineEditSdoFastWriteIndex", "lineEditSdoFastWriteSubIndex",
      "lineEditSdoFastWriteData", "comBoxSdoFastWriteLen", "lineEditSdoFastReadIndex",
      "lineEditSdoFastReadSubIndex", "dateTimeEdit", "chkBoxUseSysTime", "Cia402NodeId", "lineEditVelDstSpeed",
      "lineEditVelAccSpeed", "lineEditVelDecSpeed", "lineEditTorDst", "lineEditTorSlope", "lineEditPosAbsDst",
      "linEditPosRelDst", "linEditPosAAccSpeed", "linEditPosAccSpeed", "linEditPosDecSpeed"}},
};
// The multi-valued files and their keys.
const QMap<QString, QStringList> kMultiKeys = {{"_AdvSend.ini", {"adv", "msg"}},
                                               {"CANOpenFastOptSet.ini", {"fastOptMsg"}}};

QString sourceKind(const QString &source)
{
    for (const char *suffix : {"_BasicSend.ini", "_AdvSend.ini"})
        if (source.endsWith(QLatin1String(suffix)))
            return QString::fromLatin1(suffix);
    return source;
}

bool writeText(const QString &path, const QByteArray &text)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return f.write(text) == text.size();
}

// A splitter state as the framework writes one (marker, version, list of
// sizes), whose list claims `count` entries and holds none.
QByteArray splitterStateClaiming(quint32 count)
{
    QByteArray out;
    QDataStream s(&out, QIODevice::WriteOnly);
    s << qint32(0xff) << qint32(0) << count;
    return out;
}

void writeHostileFiles(const QString &v)
{
    const QByteArray u = v.toUtf8();
    {
        QDir().mkpath("setting");
        QSettings ini(QStringLiteral("setting/sys.ini"), QSettings::IniFormat);
        for (const QString &key : kSysKeys)
            ini.setValue(key, v);
        // Splitter states: the text itself, and for a number a state whose
        // size list claims that many entries.
        bool isNumber = false;
        const qlonglong n = v.toLongLong(&isNumber);
        for (const QString &key : kSysBytesKeys)
            ini.setValue(key, isNumber ? QVariant(splitterStateClaiming(quint32(n))) : QVariant(v));
        ini.sync();
    }
    const auto single = [&](const QString &path, const QStringList &keys) {
        QByteArray text;
        for (const QString &k : keys)
            text += k.toUtf8() + ',' + u + ',' + k.toUtf8() + u + "\r\n";
        writeText(path, text);
    };
    for (const QString &id : kDevIds) {
        single("setting/" + id + "_BasicSend.ini", kFileKeys.value("_BasicSend.ini"));
        writeText("setting/" + id + "_AdvSend.ini", "adv," + u + ',' + u + ',' + u + ',' + u + "\r\n" +
                                                      "msg," + u + ',' + u + ',' + u + ',' + u + ',' + u + ',' + u +
                                                      ',' + u + ',' + u + ',' + u + "\r\n");
        // The receive filter's rules ("<id>-Fliter.ini" in the working folder).
        writeText(id + "-Fliter.ini", "FLITER_" + u + '_' + u + '_' + u + "\nFLITER_true_" + u + "_" + u + "\n");
    }
    single("setting/CANWatchUi.ini", kFileKeys.value("CANWatchUi.ini"));
    single("setting/CANOpenUi.ini", kFileKeys.value("CANOpenUi.ini"));
    writeText("setting/CANOpenFastOptSet.ini", "fastOptMsg," + u + ',' + u + ',' + u + ',' + u + ',' + u + "\r\n");
    // The device dialogs' files of their own form.
    QByteArray baud = "BAUD";
    for (int i = 0; i < 11; ++i)
        baud += '_' + u;
    const QByteArray fd2 = baud + "\nFLITER_" + u + '_' + u + '_' + u + "\nFDSUPPORT_" + u + "\n";
    writeText("setting/USBCANFD2Set.ini", fd2);
    QByteArray classic = u;
    for (int i = 0; i < 10; ++i)
        classic += ',' + u;
    for (const char *name : {"./USBCAN2Set.ini", "./USBCAN2-ASet.ini", "./USBCAN2-BSet.ini"})
        writeText(QString::fromLatin1(name), classic + "\n");
    writeText("setting/baudlist.txt", u + ',' + u + ',' + u + "\n" + u + "\n");
}

// The project files: every number of a DBC project (one message of the
// demonstration DBC file and its signal, listened and charted) and of a
// CANopen project (an entry in each list) written as the value. The CANopen
// window opens the project named by "canopenPrjFilePath" itself, which holds
// the same value: the project lies at that path.
void writeHostileProjects(const QString &v)
{
    const QString dbc = QStringLiteral(ORVANE_SOURCE_DIR_DEFAULT) + "/fuzz/seeds/fuzz_kemsig_load/basic.dbc";
    QJsonObject sig;
    for (const char *k : {"msgId", "chartEnable", "nStartBit", "nLen", "nFactor", "nOffset", "nMin", "nMax",
                          "nRawValue", "nPhysicalValue", "isSigned", "isMotorola", "multiplexerType", "valType",
                          "multiplexerValue"})
        sig.insert(QLatin1String(k), v);
    sig.insert("msgName", "Engine");
    sig.insert("strName", "Speed");
    sig.insert("valDesPair", QJsonArray{QJsonObject{{"value", v}, {"desc", v}}});
    QJsonObject msg;
    for (const char *k : {"nID", "nSize", "nCycleTime", "nExtend"})
        msg.insert(QLatin1String(k), v);
    msg.insert("strName", "Engine");
    msg.insert("vSignals", QJsonArray{sig});
    const QJsonObject dbcPrj{{"dbcFilePath", dbc}, {"msgList", QJsonArray{msg}}, {"sigList", QJsonArray{sig}}};
    writeText("hostile-dbc.prj", QJsonDocument(dbcPrj).toJson());

    QJsonObject obj;
    for (const char *k : {"isRoot", "index", "subIndex", "SubNumber", "ObjectType", "DataType", "DefaultValue",
                          "LowLimit", "HighLimit", "curValue", "PDOMapping", "ObjFlags", "cobID", "transmissionType",
                          "syncStartValue", "inhibitTime", "eventTime", "pdoEnable", "mapBitLength"})
        obj.insert(QLatin1String(k), v);
    obj.insert("ParameterName", v);
    obj.insert("AccessType", v);
    QJsonObject withChild = obj;
    withChild.insert("childList", QJsonArray{obj});
    const QString eds = QStringLiteral(ORVANE_SOURCE_DIR_DEFAULT) + "/tests/canopen/eds/drive.eds";
    const QJsonObject coPrj{{"edsFilePath", eds},
                            {"listenDictObjList", QJsonArray{withChild}},
                            {"RxPdoDictObjList", QJsonArray{withChild}},
                            {"TxPdoDictObjList", QJsonArray{withChild}}};
    if (!v.isEmpty())
        writeText(v, QJsonDocument(coPrj).toJson());
}

// Answers the two dialogs of a device open as a user does (the model, then
// every channel with OK); every other modal run is shown for a moment and
// closed, as if the user looked and pressed Esc.
class HostilePrompt : public QUserPromptScript
{
public:
    QStringList models = {"USBCANFD2", "USBCAN2-A"};
    int exec(QDialog *dlg) override
    {
        if (!dlg)
            return 0;
        auto *combo = dlg->findChild<QComboBox *>("comboBox_model");
        auto *ok = dlg->findChild<QPushButton *>("pushButton_ok");
        if (combo && ok && !models.isEmpty() && combo->findText(models.first()) >= 0) {
            combo->setCurrentIndex(combo->findText(models.takeFirst()));
            ok->click();
            return dlg->result();
        }
        if (auto *all = dlg->findChild<QCheckBox *>("checkBox_allChannel")) {
            all->setChecked(true);
            if (ok) {
                ok->click();
                return dlg->result();
            }
        }
        const QPointer<QDialog> alive(dlg);
        dlg->show();
        QApplication::processEvents();
        if (alive)
            alive->hide();
        ++shown;
        return 0;
    }
    int shown = 0;
};

void runFor(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QTest::qWait(10);
}

template <typename T>
QList<T *> topLevels()
{
    QList<T *> out;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *t = qobject_cast<T *>(w))
            out << t;
    return out;
}

std::string readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

long statusKb(const char *field)
{
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(field, 0) == 0)
            return std::strtol(line.c_str() + std::strlen(field), nullptr, 10);
    return -1;
}

} // namespace

// The child: runs only when started by the test below.
TEST(HostileSettingsChild, DISABLED_OpensEverything)
{
    const char *which = std::getenv("ORVANE_HOSTILE_VALUE");
    ASSERT_NE(which, nullptr);
    const int index = std::atoi(which);
    ASSERT_GE(index, 0);
    ASSERT_LT(index, kHostileCount);
    const QString value = QString::fromLatin1(kHostile[index]);

    TempWorkDir dir;
    writeHostileFiles(value);
    writeHostileProjects(value);
    QUserSysCfg::instance()->reload();
    QKemLib::setPathOverride(QString());

    QMutex readsMutex;
    QSet<QPair<QString, QString>> reads;
    settingrange::readWatchSet([&](const QString &source, const QString &key) {
        QMutexLocker lock(&readsMutex);
        reads.insert(qMakePair(sourceKind(source), key));
    });
    // Ended on every way out of this test, an early one included.
    struct WatchEnd {
        ~WatchEnd() { settingrange::readWatchSet(nullptr); }
    } watchEnd;

    const long startKb = statusKb("VmSize:");
    if (child::kAddressLimitWorks) {
        ASSERT_TRUE(child::limitAddressSpace(kHeadroom));
    }

    HostilePrompt prompts;
    {
        MainWindow w;
        w.show();
        QTabWidget *tabs = w.layoutGet()->tabDataShow;
        w.formGet()->actDevCAN->trigger();
        w.formGet()->actDevCAN->trigger();
        if (tabs->count() < 1 + kDevIds.size()) {
            // The channel dialogs may refuse what their files hold (the user
            // is told); the data tabs are opened on the dialogs' defaults then.
            std::printf("channel dialogs refused their files: %d data tabs\n", tabs->count() - 1);
            for (const char *f :
                 {"setting/USBCANFD2Set.ini", "./USBCAN2Set.ini", "./USBCAN2-ASet.ini", "./USBCAN2-BSet.ini"})
                QFile::remove(QString::fromLatin1(f));
            prompts.models = QStringList{"USBCANFD2", "USBCAN2-A"};
            w.formGet()->actDevCAN->trigger();
            w.formGet()->actDevCAN->trigger();
        }
        std::printf("data tabs: %d\n", tabs->count() - 1);
        runFor(600);
        for (int i = 0; i < tabs->count(); ++i) {
            tabs->setCurrentIndex(i);
            runFor(50);
        }
        w.uiTabDataShowSet();
        w.soltTabDataFliterSet();
        w.soltTabDataPlay();
        w.soltCANwatch();
        for (QUserMainWindowCANWatch *v : topLevels<QUserMainWindowCANWatch>())
            v->slotWatchSetting();
        w.soltDbcAnalysis();
        for (QUserMainWindowDBC *d : topLevels<QUserMainWindowDBC>()) {
            d->slotDbcSigChartSetting();
            d->slotDbcSigAnalysisSetting();
            prompts.answerFile(QDir::current().absoluteFilePath("hostile-dbc.prj"));
            d->slotDbcPrjLoad();
        }
        w.soltDbcSend();
        for (QUserMainWindowDBCSend *d : topLevels<QUserMainWindowDBCSend>()) {
            d->slotDbcSetting();
            prompts.answerFile(QDir::current().absoluteFilePath("hostile-dbc.prj"));
            d->slotDbcPrjLoad();
        }
        w.soltCANopenAnalysis();
        for (QUserMainWindowCANopen *c : topLevels<QUserMainWindowCANopen>())
            c->slotProcotolParaSet();
        for (MainWindow::DevTool t : {MainWindow::DevToolFirmUpdate, MainWindow::DevToolRepeatCfg,
                                      MainWindow::DevToolBaudChk, MainWindow::DevToolBaudCalc,
                                      MainWindow::DevToolRecordSet})
            w.devToolExec(t);
        w.soltDevLinSelect();
        w.soltDevRecordSelect();
        w.slotBaudAssistor();
        runFor(600);
        std::printf("tool windows: %d, dialogs shown: %d\n", w.toolWindowCount(), prompts.shown);
        w.close();
    }
    mwtest::flush();
    settingrange::readWatchSet(nullptr);

    std::printf("address space: %ld KiB at the start, peak %ld KiB, resident peak %ld KiB\n", startKb,
                statusKb("VmPeak:"), statusKb("VmHWM:"));

    // Every key read is one of the list, and every key of the list was read
    // (so every window and dialog that reads one was opened).
    QStringList unlisted;
    QSet<QPair<QString, QString>> listed;
    for (const QString &k : kSysKeys)
        listed.insert(qMakePair(QStringLiteral("sys.ini"), k));
    for (const auto *table : {&kFileKeys, &kMultiKeys})
        for (auto it = table->constBegin(); it != table->constEnd(); ++it)
            for (const QString &k : it.value())
                listed.insert(qMakePair(it.key(), k));
    for (const auto &r : reads)
        if (!listed.contains(r))
            unlisted << r.first + "/" + r.second;
    unlisted.sort();
    EXPECT_TRUE(unlisted.isEmpty()) << "keys read but not in the list: " << unlisted.join(", ").toStdString();
    QStringList unread;
    for (const auto &l : listed)
        if (!reads.contains(l))
            unread << l.first + "/" + l.second;
    unread.sort();
    EXPECT_TRUE(unread.isEmpty()) << "keys of the list never read: " << unread.join(", ").toStdString();
    std::printf("keys read: %d (%d of sys.ini)\n", int(reads.size()), int(kSysKeys.size()));
}

class HostileSettingsTest : public ::testing::TestWithParam<int>
{
};

// Starts this binary on the child test with the value, waits for it with the
// time-out, and hands back how it ended and what it printed.
TEST_P(HostileSettingsTest, EverythingOpensUnharmed)
{
    const int index = GetParam();
    SCOPED_TRACE(std::string("value \"") + kHostile[index] + "\"");
    TempWorkDir here;
    const std::string out = here.file("child.log");
    const std::string topology = std::string(ORVANE_SOURCE_DIR_DEFAULT) + "/resources/sim/demo.topology";
    if (!QFileInfo::exists(QString::fromStdString(peer::binDir()) + "/libkemusb.so"))
        GTEST_SKIP() << "libkemusb.so not built";

    // Everything the child needs is made before the fork: after it only
    // plain system calls run until the program is started anew.
    std::vector<std::string> env;
    for (char **e = environ; *e; ++e) {
        const std::string entry(*e);
        bool replaced = false;
        for (const char *name : {"ORVANE_HOSTILE_VALUE=", "QT_QPA_PLATFORM=", "KEMUSB_BACKEND=", "KEMUSB_SIM_CONFIG=",
                                 "MALLOC_ARENA_MAX="})
            replaced = replaced || entry.rfind(name, 0) == 0;
        if (!replaced)
            env.push_back(entry);
    }
    env.push_back("ORVANE_HOSTILE_VALUE=" + std::to_string(index));
    env.push_back("QT_QPA_PLATFORM=offscreen");
    env.push_back("KEMUSB_BACKEND=sim");
    env.push_back("KEMUSB_SIM_CONFIG=" + topology);
    // Few malloc arenas, so that the address space counts what is taken.
    env.push_back("MALLOC_ARENA_MAX=2");
    std::vector<char *> envp;
    for (std::string &e : env)
        envp.push_back(&e[0]);
    envp.push_back(nullptr);
    const char *args[] = {"/proc/self/exe", "--gtest_also_run_disabled_tests",
                          "--gtest_filter=HostileSettingsChild.DISABLED_OpensEverything", nullptr};

    std::fflush(nullptr);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        const int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd >= 0) {
            dup2(fd, 1);
            dup2(fd, 2);
        }
        execve("/proc/self/exe", const_cast<char *const *>(args), envp.data());
        _exit(127);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kTimeoutS);
    int status = 0;
    bool ended = false;
    while (std::chrono::steady_clock::now() < deadline) {
        const pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid) {
            ended = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (!ended) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
    }
    const std::string log = readFile(out);
    // The end of the log, or where the thread sanitizer reported.
    const size_t report = log.find("WARNING: ThreadSanitizer");
    const std::string tail = report != std::string::npos ? log.substr(report, 12000)
                             : log.size() > 6000          ? log.substr(log.size() - 6000)
                                                          : log;
    ASSERT_TRUE(ended) << "no end within " << kTimeoutS << " s\n" << tail;
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status) << "\n" << tail;
    EXPECT_EQ(WEXITSTATUS(status), 0) << tail;
    EXPECT_NE(log.find("[  PASSED  ] 1 test"), std::string::npos) << tail;
    // The figures of the run, for the test log.
    for (const char *what :
         {"channel dialogs refused", "data tabs:", "tool windows:", "address space:", "keys read:"}) {
        const size_t at = log.find(what);
        if (at != std::string::npos)
            std::printf("%s\n", log.substr(at, log.find('\n', at) - at).c_str());
    }
}

INSTANTIATE_TEST_SUITE_P(Values, HostileSettingsTest, ::testing::Range(0, kHostileCount));

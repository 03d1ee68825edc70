// An adapter pulled out of a running window while one of its channels
// records, on simulated adapters: the frames that came before are in the
// file (python-can and our reader agree with the tab), the recording is
// stopped with its file closed, the status bar shows the channel lost, one
// box names the adapter, and once it is back the adapter opens again into
// the same tabs and frames flow.
//
// The first test pulls the plug through the test build of kemusb (counted
// frames from a far-end adapter); the second as a user of the running
// program would, through the simulator's control file.

#include "tests/mainwindow/MainWindowTestEnv.h"

#include "tests/devices/SimHarness.h"
#include "tests/support/PeerCheck.h"
#include "tests/support/WaitUntil.h"
#include "core/QUserDevId.h"
#include "devices/QKemLib.h"
#include "devices/QUserDeviceAdapter.h"
#include "mainwindow/MainWindow.h"
#include "mainwindow/MainWindowForm.h"
#include "mainwindow/QUserMainWindowLayout.h"
#include "mainwindow/QUserTableModelCan.h"
#include "traffic/QUserRecordWriter.h"
#include "traffic/QUserTraceFile.h"
#include "widgets/uiStatusBar.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>

#include <memory>

namespace {

std::function<int(QDialog *)> pickModel(const QString &model)
{
    return [model](QDialog *d) {
        auto *combo = d->findChild<QComboBox *>("comboBox_model");
        auto *ok = d->findChild<QPushButton *>("pushButton_ok");
        if (!combo || !ok || combo->findText(model) < 0)
            return 0;
        combo->setCurrentIndex(combo->findText(model));
        ok->click();
        return d->result();
    };
}

int allChannelsOk(QDialog *d)
{
    if (auto *all = d->findChild<QCheckBox *>("checkBox_allChannel"))
        all->setChecked(true);
    auto *ok = d->findChild<QPushButton *>("pushButton_ok");
    if (!ok)
        return 0;
    ok->click();
    return d->result();
}

bool waitUntil(const std::function<bool()> &cond) { return testsupport::waitUntil(cond); }

// The frames of a trace file as python-can reads them.
QJsonArray pythonRead(const QString &path, std::string *output)
{
    const peer::Result r = peer::run(peer::script("traffic_peer.py"), {"read", path.toStdString()});
    *output = r.output;
    if (r.exitCode != 0)
        return QJsonArray();
    const QList<QByteArray> lines = QByteArray::fromStdString(r.output).trimmed().split('\n');
    return QJsonDocument::fromJson(lines.last()).array();
}

uint32_t idOf(const QUserCanMsg &m) { return m.idText.trimmed().toUInt(nullptr, 16); }
QString dataOf(const QUserCanMsg &m) { return QString(m.dataText).remove(' ').toUpper(); }

// The file against what the tab showed: python-can's reading and ours.
void expectFileHolds(const QString &file, const QVector<QUserCanMsg> &shown)
{
    // The stop hands the file to its writer, which closes it on its thread.
    ASSERT_TRUE(QUserRecordWriter::waitAllEnded(std::chrono::seconds(60)));
    std::string output;
    const QJsonArray py = pythonRead(file, &output);
    ASSERT_EQ(py.size(), shown.size()) << output.substr(0, 2000);
    QUserTraceFile reader;
    QList<QUserCanMsg> ours;
    reader.fileRead(file, ours);
    ASSERT_EQ(ours.size(), shown.size());
    for (int i = 0; i < shown.size(); ++i) {
        SCOPED_TRACE(i);
        const QUserCanMsg &m = shown.at(i);
        const QJsonObject o = py.at(i).toObject();
        EXPECT_EQ(o.value("id").toVariant().toUInt(), idOf(m));
        EXPECT_EQ(o.value("fd").toBool(), m.protocol != 0);
        EXPECT_EQ(o.value("rx").toBool(), m.direction == 0);
        EXPECT_EQ(o.value("data").toString(), dataOf(m));
        EXPECT_EQ(idOf(ours.at(i)), idOf(m));
        EXPECT_EQ(ours.at(i).protocol != 0, m.protocol != 0);
        EXPECT_EQ(ours.at(i).direction, m.direction);
        EXPECT_EQ(dataOf(ours.at(i)), dataOf(m));
    }
}

} // namespace

class AdapterLostLiveTest : public MainWindowEnv
{
protected:
    void SetUp() override
    {
        MainWindowEnv::SetUp();
        if (!QFileInfo::exists(QString::fromStdString(peer::binDir()) + "/libkemusb.so"))
            GTEST_SKIP() << "libkemusb.so not built";
        cfg()->setString("idMergEnable", "OFF"); // the tab lists every frame
    }
    void TearDown() override
    {
        w.reset();
        mwtest::flush();
        qunsetenv("KEMUSB_BACKEND");
        qunsetenv("KEMUSB_SIM_CONFIG");
        qunsetenv("KEMUSB_SIM_CONTROL");
    }

    // Opens every channel of the model from the device menu; the tab of
    // channel 0 is made current.
    void openAll(const QString &model, const QString &id0)
    {
        prompts.answerExec(pickModel(model));
        prompts.answerExec(allChannelsOk);
        w->formGet()->actDevCAN->trigger();
        ASSERT_EQ(prompts.unanswered(), 0);
        QTabWidget *tabs = w->layoutGet()->tabDataShow;
        for (int i = 0; i < tabs->count(); ++i)
            if (tabs->tabText(i) == getDevIdTextEx(w->languageCodeGet(), id0))
                tabs->setCurrentIndex(i);
        ASSERT_EQ(w->curTabDevGet(), id0);
    }
    QUserTableModelCan *model(const QString &id)
    {
        QUserWindowTabData *d = w->tabSrvGet().find(id);
        return d ? d->model : nullptr;
    }
    QString statusText() { return w->statusBarWidgetGet()->form()->label_devInfo->text(); }
    int boxesWith(const QString &text)
    {
        int n = 0;
        for (const auto &r : prompts.records())
            n += r.text.contains(text);
        return n;
    }

    std::unique_ptr<MainWindow> w;
};

TEST_F(AdapterLostLiveTest, UnpluggedWhileRecordingThenOpenedAgain)
{
    REQUIRE_PEER_MODULES("can");
    struct Case {
        const char *what;
        const char *topology;
        const char *model;   // in the device selection
        const char *type;    // device type name
        bool fd;
        const char *suffix;
    } cases[] = {
        {"classic, ASC", "adapter USBCAN2 name=C\nadapter USBCAN2 name=F\nbus cb nominal=500000\n"
                         "attach C 0 cb\nattach F 0 cb\n", "USBCAN2-A", "USBCAN2", false, "asc"},
        {"classic, BLF", "adapter USBCAN2 name=C\nadapter USBCAN2 name=F\nbus cb nominal=500000\n"
                         "attach C 0 cb\nattach F 0 cb\n", "USBCAN2-A", "USBCAN2", false, "blf"},
        {"CAN FD, ASC", "adapter USBCANFD name=C\nadapter USBCANFD name=F\nbus fb nominal=1000000 data=5000000\n"
                        "attach C 0 fb\nattach F 0 fb\n", "USBCANFD2", "USBCANFD2", true, "asc"},
        {"CAN FD, BLF", "adapter USBCANFD name=C\nadapter USBCANFD name=F\nbus fb nominal=1000000 data=5000000\n"
                        "attach C 0 fb\nattach F 0 fb\n", "USBCANFD2", "USBCANFD2", true, "blf"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        sim::environment(c.topology);
        sim::Controls ctl;
        ASSERT_TRUE(ctl.ok()) << "test build of kemusb missing";
        ASSERT_EQ(ctl.configure(c.topology), 1);
        const QString id0 = QString("%1-0-0").arg(c.type);
        const QString adapterName = getAdapterTextEx(0, c.type, 0);
        const int lostBoxes = boxesWith("已断开连接");
        const int lostLines = log.lines.filter(" Closed, Record ").size();
        w.reset(new MainWindow);
        openAll(c.model, id0);
        QUserTableModelCan *tab = model(id0);
        ASSERT_TRUE(tab);
        const int tabCount = w->layoutGet()->tabDataShow->count();

        // Recording channel 0 while the far end sends 30 frames.
        const QString file = QDir::current().absoluteFilePath(QStringLiteral("lost.") + c.suffix);
        QFile::remove(file);
        prompts.answerFile(file);
        QAction *record = w->formGet()->actRecord;
        record->trigger();
        ASSERT_TRUE(w->devAdapterGet()->recordIsStart(id0));
        ASSERT_EQ(ctl.peer("F", 0, "C", 0), 1);
        const int kBefore = 30;
        ASSERT_EQ(ctl.send("F", 0, kBefore, c.fd ? 1 : 0, 8, 0x120, 0), kBefore);
        ASSERT_TRUE(waitUntil([&] { return tab->listCount() == kBefore; }));
        ASSERT_TRUE(waitUntil([&] { return statusText().contains(c.fd ? "[FD]" : "[CAN]"); }));
        EXPECT_FALSE(statusText().contains("已断开"));

        // Channel 1 sends every millisecond: its frames are refused once the
        // plug goes, which is not a send failure of its own to box.
        const QString id1 = QString("%1-0-1").arg(c.type);
        QUserSendTask task;
        task.msg = QUserCanMsg("00000555 ", false, false, "2", "0102");
        task.perSendCnt = 1;
        task.reqSendCnt = 1000000;
        task.period = 1;
        ASSERT_TRUE(w->devAdapterGet()->basicSendStart(id1, task));
        ASSERT_TRUE(waitUntil([&] { return model(id1)->listCount() >= 5; }));

        // The plug goes: one box names the adapter.
        const int boxesBefore = prompts.records().size();
        prompts.answerExec(1);
        ASSERT_EQ(ctl.unplug("C"), 1);
        ASSERT_TRUE(waitUntil([&] { return prompts.records().size() > boxesBefore; }));
        const QUserPromptScript::Record box = prompts.last();
        EXPECT_EQ(box.title, "错误");
        EXPECT_TRUE(box.text.contains(adapterName + " 已断开连接")) << box.text.toStdString();
        EXPECT_TRUE(box.text.contains("实时保存已停止,文件已关闭")) << box.text.toStdString();
        EXPECT_EQ(boxesWith("已断开连接"), lostBoxes + 1);
        EXPECT_EQ(prompts.records().size(), boxesBefore + 1) << "no other box (no send failure, no second channel)";
        EXPECT_EQ(boxesWith("发送失败"), 0);

        // The recording is off with its file closed, the state says lost, the
        // tabs keep what they showed.
        EXPECT_FALSE(w->devAdapterGet()->recordIsStart(id0));
        EXPECT_FALSE(record->isChecked());
        ASSERT_TRUE(waitUntil([&] { return statusText().startsWith("[已断开]"); })) << statusText().toStdString();
        EXPECT_EQ(w->statusBarWidgetGet()->form()->label_devInfo->styleSheet().contains("color"), true);
        EXPECT_EQ(tab->listCount(), kBefore);
        EXPECT_EQ(w->layoutGet()->tabDataShow->count(), tabCount);
        QVector<QUserCanMsg> shown;
        for (int i = 0; i < tab->listCount(); ++i)
            shown.append(tab->listAt(i));
        expectFileHolds(file, shown);
        EXPECT_EQ(log.lines.filter(" Closed, Record ").size(), lostLines + 1);

        // Back again: the adapter opens into the same tabs, frames flow and
        // the state is normal.
        ASSERT_EQ(ctl.replug("C"), 1);
        openAll(c.model, id0);
        EXPECT_EQ(w->layoutGet()->tabDataShow->count(), tabCount);
        EXPECT_EQ(model(id0), tab);
        ASSERT_EQ(ctl.peer("F", 0, "C", 0), 1);
        ASSERT_EQ(ctl.send("F", 0, 5, c.fd ? 1 : 0, 8, 0x220, 100), 5);
        ASSERT_TRUE(waitUntil([&] { return tab->listCount() == kBefore + 5; }));
        ASSERT_TRUE(waitUntil([&] { return !statusText().contains("已断开"); })) << statusText().toStdString();
        EXPECT_FALSE(w->statusBarWidgetGet()->form()->label_devInfo->styleSheet().contains("color"));
        EXPECT_EQ(boxesWith("已断开连接"), lostBoxes + 1);

        // The tabs close without a failure.
        const int closeFails = log.lines.filter("Close Fail").size();
        w->tabAllClose();
        EXPECT_EQ(log.lines.filter("Close Fail").size(), closeFails);
        w.reset();
        mwtest::flush();
        EXPECT_EQ(prompts.unanswered(), 0);
    }
}

// The running program's way: the simulator's control file pulls the adapter
// and plugs it back; frames sent on channel 0 are heard on channel 1. The
// window speaks English here.
TEST_F(AdapterLostLiveTest, ControlFilePullsTheAdapterOfARunningWindow)
{
    withTranslations();
    cfg()->setString("language", "EN");
    const char *topology = "bus cb nominal=500000\nadapter USBCAN2 name=classic\n"
                           "attach classic 0 cb\nattach classic 1 cb\n";
    sim::environment(topology);
    QKemLib::setPathOverride(QString()); // the shipped library
    const QString control = QDir::current().absoluteFilePath("sim-control.txt");
    qputenv("KEMUSB_SIM_CONTROL", QFile::encodeName(control));
    auto say = [&](const char *line) {
        QFile f(control);
        ASSERT_TRUE(f.open(QIODevice::Append));
        f.write(line);
    };
    w.reset(new MainWindow);
    openAll("USBCAN2-A", "USBCAN2-0-1");
    QUserTableModelCan *heard = model("USBCAN2-0-1");
    ASSERT_TRUE(heard);
    const QString file = QDir::current().absoluteFilePath("heard.asc");
    prompts.answerFile(file);
    w->formGet()->actRecord->trigger();
    ASSERT_TRUE(w->devAdapterGet()->recordIsStart("USBCAN2-0-1"));

    auto sendSome = [&](int n, uint32_t id) {
        for (int i = 0; i < n; ++i) {
            QUserCanMsg m(QString::asprintf("%08X ", id + uint32_t(i)), false, false, "2", "A1B2");
            m.status = MsgTagDbcSend;
            ASSERT_EQ(w->devAdapterGet()->devSendMsg("USBCAN2-0-0", m), 1);
        }
    };
    sendSome(12, 0x300);
    ASSERT_TRUE(waitUntil([&] { return heard->listCount() == 12; }));

    prompts.answerExec(1);
    say("unplug classic\n");
    ASSERT_TRUE(waitUntil([&] { return boxesWith("is disconnected") == 1; }));
    const QString text = prompts.last().text;
    EXPECT_TRUE(text.contains("Adapter USBCAN2 DEV:0 is disconnected (unplugged or no longer answering)!\r\n"
                              "Its channels are closed.\r\n"))
        << text.toStdString();
    EXPECT_TRUE(text.contains("Real-time recording has stopped; its file is closed.")) << text.toStdString();
    EXPECT_TRUE(text.contains("Once it is connected again, open the device again.")) << text.toStdString();
    EXPECT_FALSE(w->devAdapterGet()->recordIsStart("USBCAN2-0-1"));
    ASSERT_TRUE(waitUntil([&] { return statusText().startsWith("[DISCONNECTED]"); })) << statusText().toStdString();
    QVector<QUserCanMsg> shown;
    for (int i = 0; i < heard->listCount(); ++i)
        shown.append(heard->listAt(i));
    ASSERT_EQ(shown.size(), 12);
    ASSERT_TRUE(QUserRecordWriter::waitAllEnded(std::chrono::seconds(60)));
    QUserTraceFile reader;
    QList<QUserCanMsg> ours;
    reader.fileRead(file, ours);
    ASSERT_EQ(ours.size(), 12);
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(idOf(ours.at(i)), 0x300u + uint32_t(i));

    // Back in: the open's enumeration sees the line.
    say("replug classic\n");
    openAll("USBCAN2-A", "USBCAN2-0-1");
    EXPECT_EQ(model("USBCAN2-0-1"), heard);
    sendSome(3, 0x400);
    ASSERT_TRUE(waitUntil([&] { return heard->listCount() == 15; }));
    EXPECT_EQ(boxesWith("is disconnected"), 1);
    w->tabAllClose();
}

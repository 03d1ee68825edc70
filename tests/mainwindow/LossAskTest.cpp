// Closing what the user captured only after asking: the device tools that
// take the adapter ("设备升级", "中继配置", "波特率侦测") and the language
// switch close every channel (and the switch every tool window). When a tab
// holds frames, a recording runs or a DBC window holds edits no project
// file has, one question says what goes; cancelling leaves everything as it
// was. With nothing to lose they go on as before (the language switch with
// its own question only).

#include "tests/mainwindow/MainWindowTestEnv.h"
#include "tests/mainwindow/StubChannelDevice.h"

#include "core/QUserDevId.h"
#include "dbc/QUserMainWindowDBC.h"
#include "dbc/QUserMainWindowDBCSend.h"
#include "devices/QUserDeviceAdapter.h"
#include "devtools/QUserDlgBaudChk.h"
#include "devtools/QUserDlgFirmUpdate.h"
#include "devtools/QUserDlgRepeatCfg.h"
#include "mainwindow/MainLoop.h"
#include "mainwindow/MainWindow.h"
#include "mainwindow/MainWindowForm.h"
#include "mainwindow/QUserMainWindowLayout.h"
#include "mainwindow/QUserTableModelCan.h"
#include "tests/support/WaitUntil.h"
#include "traffic/QUserRecordWriter.h"
#include "traffic/QUserTraceFile.h"

#include <QAction>
#include <QDialog>
#include <QDir>
#include <QPointer>
#include <QProgressDialog>
#include <QTabWidget>

#include <functional>

namespace {

const char *kFd0 = "USBCANFD2-0-0";
const char *kFd1 = "USBCANFD2-0-1";

QVector<QUserCanMsg> framesOf(int n)
{
    QVector<QUserCanMsg> b;
    for (int i = 0; i < n; ++i) {
        QUserCanMsg m;
        m.idText = idToText(0x100 + uint32_t(i % 3));
        m.lenText = "2";
        m.dataText = QString::asprintf("%04X", i);
        m.hostTime = getCurrentMs();
        b.append(m);
    }
    return b;
}

QString channelText(const char *devId)
{
    return getDevIdTextEx(0, QString::fromLatin1(devId)).trimmed();
}

QString basicDbc()
{
    return QStringLiteral(ORVANE_SOURCE_DIR_DEFAULT) + "/fuzz/seeds/fuzz_kemsig_load/basic.dbc";
}

template <class T>
QList<T *> topLevels()
{
    QList<T *> out;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *t = qobject_cast<T *>(w))
            out << t;
    return out;
}

// What the user may lose, set up on a window with the stub's two channels.
struct Loss {
    bool frames = false;    // 5 frames in the tab of channel 0
    bool recording = false; // channel 1 records
    bool dbcSend = false;   // a DBC send window with a message in its list
    bool dbcListen = false; // a DBC analysis window with a signal listened
};

class Situation
{
public:
    Situation(MainWindow *window, QUserPromptScript &script) : w(window), prompts(script) {}

    // Opens the stub's channels and sets up what `loss` names.
    void setUp(const Loss &loss, StubChannelDevice *stub)
    {
        stub->openIds = QStringList{kFd0, kFd1};
        ASSERT_TRUE(w->devOpen("USBCANFD2"));
        if (loss.frames)
            w->soltDevRec(kFd0, framesOf(5));
        if (loss.recording) {
            ASSERT_TRUE(w->devAdapterGet()->recordStart(kFd1, QDir::current().absoluteFilePath("rec.asc")));
        }
        if (loss.dbcSend) {
            w->soltDbcSend();
            QList<QUserMainWindowDBCSend *> all = topLevels<QUserMainWindowDBCSend>();
            ASSERT_EQ(all.size(), 1);
            send = all.first();
            prompts.answerExec([](QDialog *d) {
                auto *pd = qobject_cast<QProgressDialog *>(d);
                if (pd)
                    testsupport::waitUntil([pd] { return pd->wasCanceled(); });
                return 0;
            });
            ASSERT_EQ(send->dbcFileLoad(basicDbc()), 0);
            ASSERT_FALSE(send->editsUnsaved()) << "a loaded file alone is no edit";
            ASSERT_EQ(send->sendListMsgAdd("Engine"), 0);
            ASSERT_TRUE(send->editsUnsaved());
        }
        if (loss.dbcListen) {
            w->soltDbcAnalysis();
            QList<QUserMainWindowDBC *> all = topLevels<QUserMainWindowDBC>();
            ASSERT_EQ(all.size(), 1);
            listen = all.first();
            QUserMainWindowDBC *l = listen;
            prompts.answerExec([l](QDialog *) {
                testsupport::waitUntil([l] { return !l->isLoadJobRunning(); });
                return 0;
            });
            ASSERT_EQ(listen->dbcFileLoad(basicDbc()), 1);
            ASSERT_FALSE(listen->editsUnsaved());
            ASSERT_EQ(listen->listenSignalAdd("Engine", "Speed"), 0);
            ASSERT_TRUE(listen->editsUnsaved());
        }
        ASSERT_EQ(prompts.unanswered(), 0);
        framesHeld = model(kFd0)->listCount();
        rxHeld = w->tabSrvGet().find(kFd0)->rxCntGet();
        tabCount = w->layoutGet()->tabDataShow->count();
        tools = w->toolWindowCount();
    }

    // The lines the question must hold for `loss`, and those it must not.
    static QStringList linesOf(const Loss &loss)
    {
        QStringList l;
        if (loss.frames)
            l << channelText(kFd0) + QString::fromUtf8(": 5帧数据将丢失");
        if (loss.recording)
            l << channelText(kFd1) + QString::fromUtf8(": 实时保存将停止");
        if (loss.dbcSend)
            l << QString::fromUtf8("DBC发送窗口 (basic.dbc): 发送列表有未保存的修改");
        if (loss.dbcListen)
            l << QString::fromUtf8("DBC解析窗口 (basic.dbc): 监听列表有未保存的修改");
        return l;
    }

    // Everything as setUp left it.
    void expectKept(const Loss &loss)
    {
        EXPECT_EQ(w->layoutGet()->tabDataShow->count(), tabCount);
        ASSERT_NE(w->tabSrvGet().find(kFd0), nullptr);
        ASSERT_NE(w->tabSrvGet().find(kFd1), nullptr);
        EXPECT_EQ(model(kFd0)->listCount(), framesHeld);
        EXPECT_EQ(w->tabSrvGet().find(kFd0)->rxCntGet(), rxHeld);
        EXPECT_EQ(w->devAdapterGet()->recordIsStart(kFd1), loss.recording);
        EXPECT_TRUE(w->devAdapterGet()->hasChannel(kFd0));
        EXPECT_TRUE(w->devAdapterGet()->hasChannel(kFd1));
        EXPECT_EQ(w->toolWindowCount(), tools);
        if (loss.dbcSend) {
            ASSERT_FALSE(send.isNull());
            EXPECT_TRUE(send->editsUnsaved());
            EXPECT_EQ(send->sendMessages().size(), 1);
        }
        if (loss.dbcListen) {
            ASSERT_FALSE(listen.isNull());
            EXPECT_TRUE(listen->editsUnsaved());
        }
        // Frames still reach the tab, and the recording.
        w->soltDevRec(kFd1, framesOf(2));
        EXPECT_EQ(model(kFd1)->listCount(), 2);
    }

    QUserTableModelCan *model(const char *id) const { return w->tabSrvGet().find(QString::fromLatin1(id))->model; }

    MainWindow *w;
    QUserPromptScript &prompts;
    QPointer<QUserMainWindowDBCSend> send;
    QPointer<QUserMainWindowDBC> listen;
    int framesHeld = 0;
    quint32 rxHeld = 0;
    int tabCount = 0;
    int tools = 0;
};

} // namespace

class LossAskTest : public MainWindowEnv
{
protected:
    void SetUp() override
    {
        MainWindowEnv::SetUp();
        w.reset(new MainWindow);
        stub = new StubChannelDevice;
        w->devAdapterGet()->deviceReplace("USBCANFD2", stub);
    }
    void TearDown() override
    {
        w.reset();
        mwtest::flush();
    }

    std::unique_ptr<MainWindow> w;
    StubChannelDevice *stub = nullptr;
};

// Each tool with frames in a tab, with a recording, with both on one
// channel: asked, with the tool, the channel and what it loses named;
// cancelled, nothing closes and the tool does not run; answered yes, every
// channel closes and the tool runs.
TEST_F(LossAskTest, DeviceToolsAskBeforeClosingFramesOrARecording)
{
    struct Tool {
        QAction *action;
        const char *name;
        const char *dialogTitle;
        std::function<QWidget *(QDialog *)> dialog;
    } const tools[] = {
        {w->formGet()->actionFreqChk, "波特率侦测", "波特率侦测",
         [](QDialog *d) -> QWidget * { return d->findChild<QUserDlgBaudChk *>(); }},
        {w->formGet()->actionRepeatCfg, "中继配置", "中继配置",
         [](QDialog *d) -> QWidget * { return d->findChild<QUserDlgRepeatCfg *>(); }},
        {w->formGet()->actionFirmUpdate, "设备升级", "设备升级",
         [](QDialog *d) -> QWidget * { return d->findChild<QUserDlgFirmUpdate *>(); }},
    };
    struct Case {
        const char *name;
        bool frames;
        bool recordCh0; // channel 0 records (beside its frames)
        bool recordCh1;
        QStringList lines;
        QString quiet; // the channel with nothing to lose, not named
    };
    const QString ch0 = channelText(kFd0);
    const QString ch1 = channelText(kFd1);
    const Case cases[] = {
        {"frames", true, false, false, {ch0 + QString::fromUtf8(": 5帧数据将丢失")}, ch1},
        {"recording", false, false, true, {ch1 + QString::fromUtf8(": 实时保存将停止")}, ch0},
        {"frames and recording", true, true, false, {ch0 + QString::fromUtf8(": 5帧数据将丢失,实时保存将停止")},
         ch1},
    };
    QUserDeviceAdapter *reg = w->devAdapterGet();
    int n = 0;
    for (const Tool &t : tools) {
        for (const Case &c : cases) {
            SCOPED_TRACE(std::string(t.name) + ", " + c.name);
            stub->closed.clear();
            stub->openIds = QStringList{kFd0, kFd1};
            ASSERT_TRUE(w->devOpen("USBCANFD2"));
            if (c.frames)
                w->soltDevRec(kFd0, framesOf(5));
            const QString file = QDir::current().absoluteFilePath(QStringLiteral("rec%1.asc").arg(n++));
            if (c.recordCh0) {
                ASSERT_TRUE(reg->recordStart(kFd0, file));
            }
            if (c.recordCh1) {
                ASSERT_TRUE(reg->recordStart(kFd1, file));
            }
            const int tabs = w->layoutGet()->tabDataShow->count();

            // Cancelled: everything stays, the tool does not run.
            const int before = prompts.records().size();
            prompts.answerExec(0);
            t.action->trigger();
            ASSERT_EQ(prompts.records().size(), before + 1);
            const QUserPromptScript::Record ask = prompts.last();
            EXPECT_EQ(ask.title, "警告");
            const QString head = QString::fromUtf8(t.name) + QString::fromUtf8("需要独占设备,开始前将关闭所有通道:");
            EXPECT_TRUE(ask.text.contains(head)) << ask.text.toStdString();
            for (const QString &line : c.lines)
                EXPECT_TRUE(ask.text.contains(line)) << line.toStdString() << " in " << ask.text.toStdString();
            EXPECT_FALSE(ask.text.contains(c.quiet)) << "a channel with nothing to lose is not named";
            EXPECT_TRUE(ask.text.contains(QString::fromUtf8("确定继续?")));
            EXPECT_EQ(w->layoutGet()->tabDataShow->count(), tabs);
            EXPECT_TRUE(stub->closed.isEmpty());
            ASSERT_NE(w->tabSrvGet().find(kFd0), nullptr) << "the tab is still there";
            EXPECT_EQ(w->tabSrvGet().find(kFd0)->model->listCount(), c.frames ? 5 : 0);
            EXPECT_EQ(w->tabSrvGet().find(kFd0)->rxCntGet(), c.frames ? 5u : 0u);
            EXPECT_EQ(reg->recordIsStart(kFd0), c.recordCh0);
            EXPECT_EQ(reg->recordIsStart(kFd1), c.recordCh1);
            EXPECT_TRUE(log.contains(QString::fromUtf8(t.name) + " Cancelled, Channels Kept Open..."));

            // Yes: every channel closes, then the tool runs.
            QPointer<QWidget> dialog;
            int tabsDuring = -1;
            prompts.answerExec(1);
            prompts.answerExec([&](QDialog *frame) {
                dialog = t.dialog(frame);
                tabsDuring = w->layoutGet()->tabDataShow->count();
                return 0;
            });
            t.action->trigger();
            ASSERT_EQ(prompts.records().size(), before + 3);
            EXPECT_EQ(prompts.records().at(before + 1).title, "警告");
            EXPECT_EQ(prompts.last().title, QString::fromUtf8(t.dialogTitle));
            EXPECT_TRUE(dialog.isNull()) << "ran and was destroyed";
            EXPECT_EQ(tabsDuring, 0);
            EXPECT_EQ(stub->closed, (QStringList{kFd0, kFd1}));
            EXPECT_FALSE(reg->recordIsStart(kFd0));
            EXPECT_FALSE(reg->recordIsStart(kFd1));
            EXPECT_EQ(prompts.unanswered(), 0);
            // The recording that stopped left a file that reads.
            if (c.recordCh0 || c.recordCh1) {
                // Its writer closes it on its own thread.
                ASSERT_TRUE(QUserRecordWriter::waitAllEnded(std::chrono::seconds(60)));
                QList<QUserCanMsg> back;
                QUserTraceFile f;
                EXPECT_EQ(f.fileRead(file, back), 0);
            }
            log.lines.clear();
        }
    }
}

// The language switch with something to lose: one question, the language
// question itself with what the restart closes; cancelled, everything stays
// as it was, the language too.
TEST_F(LossAskTest, LanguageSwitchCancelledKeepsEverything)
{
    struct Case {
        const char *name;
        Loss loss;
    } const cases[] = {
        {"frames", {true, false, false, false}},
        {"recording", {false, true, false, false}},
        {"DBC send edits", {false, false, true, false}},
        {"DBC analysis edits", {false, false, false, true}},
        {"all of them", {true, true, true, true}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        w.reset(new MainWindow);
        stub = new StubChannelDevice;
        w->devAdapterGet()->deviceReplace("USBCANFD2", stub);
        Situation s(w.get(), prompts);
        s.setUp(c.loss, stub);
        if (HasFatalFailure())
            return;
        const int before = prompts.records().size();
        prompts.answerExec(0);
        w->slotLanguageEn();
        ASSERT_EQ(prompts.records().size(), before + 1) << "asked once";
        const QUserPromptScript::Record ask = prompts.last();
        EXPECT_EQ(ask.title, "警告");
        // The box's labels: its caption, then the text, which says what
        // closes and ends with the language question.
        const QString text = ask.text.section(QLatin1Char('\n'), 2);
        EXPECT_TRUE(text.startsWith(QString::fromUtf8("切换语言将关闭所有设备和工具窗口:\n"))) << ask.text.toStdString();
        EXPECT_TRUE(text.endsWith(QString::fromUtf8("\n重启生效,确定切换语言?"))) << ask.text.toStdString();
        for (const QString &line : Situation::linesOf(c.loss))
            EXPECT_TRUE(ask.text.contains(line)) << line.toStdString() << " in " << ask.text.toStdString();
        const Loss all{true, true, true, true};
        for (const QString &line : Situation::linesOf(all))
            if (!Situation::linesOf(c.loss).contains(line)) {
                EXPECT_FALSE(ask.text.contains(line)) << line.toStdString();
            }
        EXPECT_EQ(cfg()->getString("language"), "ZH");
        s.expectKept(c.loss);
        EXPECT_EQ(prompts.unanswered(), 0);
    }
}

// The tools close the channels only, and with nothing to lose there (empty
// tabs, no recording) they ask nothing: a DBC window with unsaved edits
// stays open beside them.
TEST_F(LossAskTest, DeviceToolsWithNothingToLoseAskNothing)
{
    Situation s(w.get(), prompts);
    s.setUp(Loss{false, false, true, false}, stub);
    ASSERT_FALSE(HasFatalFailure());
    for (QAction *a : {w->formGet()->actionFreqChk, w->formGet()->actionRepeatCfg, w->formGet()->actionFirmUpdate}) {
        SCOPED_TRACE(a->objectName().toStdString());
        if (w->tabSrvGet().count() == 1) {
            stub->openIds = QStringList{kFd0, kFd1};
            ASSERT_TRUE(w->devOpen("USBCANFD2"));
        }
        const int before = prompts.records().size();
        prompts.answerExec(0);
        a->trigger();
        ASSERT_EQ(prompts.records().size(), before + 1) << "only the tool's own dialog";
        EXPECT_NE(prompts.last().title, "警告");
        EXPECT_EQ(w->tabSrvGet().count(), 1) << "the channels closed";
        ASSERT_FALSE(s.send.isNull());
        EXPECT_TRUE(s.send->editsUnsaved());
    }
    EXPECT_EQ(prompts.unanswered(), 0);
}

// Nothing to lose (channels open with empty tabs, DBC windows with a file
// loaded but no list, a DBC list saved in a project): only the language
// question, word for word.
TEST_F(LossAskTest, LanguageSwitchWithNothingToLoseAsksOnlyItsQuestion)
{
    Situation s(w.get(), prompts);
    s.setUp(Loss{false, false, true, true}, stub);
    ASSERT_FALSE(HasFatalFailure());
    // The edits go into a project file each: nothing unsaved is left.
    prompts.answerFile(QDir::current().absoluteFilePath("send.prj"));
    s.send->slotDbcPrjSave();
    prompts.answerFile(QDir::current().absoluteFilePath("listen.prj"));
    s.listen->slotDbcPrjSave();
    EXPECT_FALSE(s.send->editsUnsaved());
    EXPECT_FALSE(s.listen->editsUnsaved());
    const int before = prompts.records().size();
    prompts.answerExec(0);
    w->slotLanguageEn();
    ASSERT_EQ(prompts.records().size(), before + 1);
    EXPECT_EQ(prompts.last().title, "警告");
    // The box's labels: its caption, then the text.
    EXPECT_EQ(prompts.last().text.section(QLatin1Char('\n'), 2).toStdString(), "重启生效,确定切换语言?");
    EXPECT_EQ(prompts.unanswered(), 0);
}

// Answered yes, the switch goes on: the window is built again in the new
// language, without the devices and the tool windows of the old one; the
// recording that stopped left a file that reads.
TEST_F(LossAskTest, LanguageSwitchAnsweredYesRestarts)
{
    w.reset();
    withTranslations();
    const QString recFile = QDir::current().absoluteFilePath("rec.asc");
    QStringList asked;
    QList<int> tabsSeen;
    int pass = 0;
    const int built = mainWindowLoop([]() -> QWidget * { return new MainWindow(nullptr); },
                                     [&](QWidget *window) {
                                         auto *mw = static_cast<MainWindow *>(window);
                                         const int n = pass++;
                                         QTimer::singleShot(0, window, [&, mw, n]() {
                                             tabsSeen << mw->tabSrvGet().count();
                                             if (n > 0) {
                                                 mw->close();
                                                 return;
                                             }
                                             auto *dev = new StubChannelDevice;
                                             mw->devAdapterGet()->deviceReplace("USBCANFD2", dev);
                                             Situation s(mw, prompts);
                                             s.setUp(Loss{true, true, true, false}, dev);
                                             mw->soltDevRec(kFd1, framesOf(3)); // recorded
                                             const int before = prompts.records().size();
                                             prompts.answerExec(1);
                                             mw->slotLanguageEn();
                                             for (int i = before; i < prompts.records().size(); ++i)
                                                 asked << prompts.records().at(i).text;
                                         });
                                         QTimer::singleShot(testsupport::kGiveUpMs, window,
                                                            [window]() { window->close(); });
                                         return QApplication::exec();
                                     });
    EXPECT_EQ(built, 2);
    ASSERT_EQ(asked.size(), 1);
    for (const QString &line : Situation::linesOf(Loss{true, false, true, false}))
        EXPECT_TRUE(asked.first().contains(line)) << line.toStdString();
    EXPECT_TRUE(asked.first().contains(channelText(kFd1) + QString::fromUtf8(": 3帧数据将丢失,实时保存将停止")))
        << asked.first().toStdString();
    EXPECT_EQ(cfg()->getString("language"), "EN");
    EXPECT_EQ(tabsSeen, (QList<int>{1, 1})) << "the new window has only the \"GLOBAL\" entry";
    EXPECT_TRUE(topLevels<QUserMainWindowDBCSend>().isEmpty());
    ASSERT_TRUE(QUserRecordWriter::waitAllEnded(std::chrono::seconds(60)));
    QList<QUserCanMsg> back;
    QUserTraceFile f;
    EXPECT_EQ(f.fileRead(recFile, back), 0);
    EXPECT_EQ(back.size(), 3);
    EXPECT_EQ(prompts.unanswered(), 0);
}

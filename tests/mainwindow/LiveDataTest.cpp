// Data tabs, the receive road, send results, the status bar and device open
// and close in the main window, over a stand-in device in the registry whose
// open, close and channel states the tests script.

#include "tests/mainwindow/MainWindowTestEnv.h"
#include "tests/mainwindow/StubChannelDevice.h"

#include "core/QUserDevId.h"
#include "devices/QUserDeviceAdapter.h"
#include "devices/QUserDeviceSendMachine.h"
#include "devtools/QUserDlgBaudChk.h"
#include "devtools/QUserDlgFdRecordSet.h"
#include "devtools/QUserDlgFirmUpdate.h"
#include "devtools/QUserDlgRepeatCfg.h"
#include "mainwindow/MainWindow.h"
#include "mainwindow/MainWindowForm.h"
#include "mainwindow/QUserMainWindowLayout.h"
#include "mainwindow/QUserTableModelCan.h"
#include "traffic/QUserAdvanceSend.h"
#include "traffic/QUserBasicSend.h"
#include "traffic/QUserRecordWriter.h"
#include "widgets/QUserTableView.h"
#include "widgets/uiStatusBar.h"

#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTextStream>
#include <QWheelEvent>

#include <chrono>

namespace {

const char *kFd0 = "USBCANFD2-0-0";
const char *kFd1 = "USBCANFD2-0-1";

const QString kRelayText = QString::fromUtf8("设备已处于中继模式,无法正常收发数据,如果要正常接收和发送数据，\r\n"
                                             "                请先关闭中继功能([工具]->[中继配置])，再打开设备!!");
const QString kListenText =
    QString::fromUtf8("设备处于只听模式,无法正常发送数据,如果要正常发送数据，\r\n"
                      "                请修改设备工作模式为[正常模式]([选择设备]->[设备]->[工作模式])，再打开设备!!");

QUserCanMsg frameOf(uint32_t id, int status = 0, bool failed = false, int direction = 0)
{
    QUserCanMsg m;
    m.idText = idToText(id);
    m.lenText = "2";
    m.dataText = "0102";
    m.status = status;
    m.sendFailed = failed ? 1 : 0;
    m.direction = uint8_t(direction);
    m.hostTime = getCurrentMs();
    return m;
}

// The selection dialog answered as a user does: a model picked, then OK.
std::function<int(QDialog *)> pickModel(const QString &model)
{
    return [model](QDialog *d) {
        auto *combo = d->findChild<QComboBox *>("comboBox_model");
        if (!combo)
            return 0;
        combo->setCurrentIndex(combo->findText(model));
        auto *ok = d->findChild<QPushButton *>("pushButton_ok");
        if (!ok)
            return 0;
        ok->click();
        return d->result();
    };
}

// Identifiers of the frames an ASC file holds, in file order.
QStringList ascIds(const QString &path)
{
    QFile f(path);
    QStringList ids;
    if (!f.open(QIODevice::ReadOnly))
        return ids;
    QTextStream in(&f);
    while (!in.atEnd()) {
        const QStringList parts = in.readLine().split(' ', Qt::SkipEmptyParts);
        if (parts.size() > 4 && (parts.at(3) == "Rx" || parts.at(3) == "Tx"))
            ids << parts.at(2);
    }
    return ids;
}

} // namespace

class LiveDataTest : public MainWindowEnv
{
protected:
    void SetUp() override
    {
        MainWindowEnv::SetUp();
        w.reset(new MainWindow);
        stub = new StubChannelDevice;
        w->devAdapterGet()->deviceReplace("USBCANFD2", stub);
    }
    void TearDown() override { w.reset(); }

    // Opens the stub's channels through the window.
    void openChannels(const QStringList &ids)
    {
        stub->openIds = ids;
        ASSERT_TRUE(w->devOpen("USBCANFD2"));
    }
    QTabWidget *tabs() const { return w->layoutGet()->tabDataShow; }
    QUserWindowTabData *tab(const char *id) const { return w->tabSrvGet().find(QString::fromLatin1(id)); }
    int tipsSaying(const QString &text) const { return log.lines.filter(QStringLiteral("tip: ") + text).size(); }
    void selectTab(const char *id)
    {
        for (int i = 0; i < tabs()->count(); ++i)
            if (tabs()->tabText(i) == getDevIdTextEx(w->languageCodeGet(), QString::fromLatin1(id)))
                tabs()->setCurrentIndex(i);
    }

    std::unique_ptr<MainWindow> w;
    StubChannelDevice *stub = nullptr;
};

// ---- open ------------------------------------------------------------------

TEST_F(LiveDataTest, OpenFailuresShowTheirBoxOnceAndMakeNoTab)
{
    struct Case {
        int result;
        const char *text; // null: nothing shown
    } const cases[] = {
        {-1, "设备打开失败!"}, {-3, "设备初始化失败!"}, {-4, "设备参数错误!"}, {-5, nullptr}, {-2, nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.result);
        stub->openResult = c.result;
        stub->openIds = QStringList{kFd0};
        const int before = prompts.records().size();
        if (c.text)
            prompts.answerExec(1);
        EXPECT_FALSE(w->devOpen("USBCANFD2"));
        ASSERT_EQ(prompts.records().size(), before + (c.text ? 1 : 0));
        if (c.text) {
            EXPECT_EQ(prompts.last().title, "错误");
            EXPECT_TRUE(prompts.last().text.contains(QString::fromUtf8(c.text))) << prompts.last().text.toStdString();
        }
        EXPECT_EQ(w->tabSrvGet().count(), 1); // "GLOBAL" only
        EXPECT_EQ(tabs()->count(), 1);        // the welcome tab
    }
    // A type key without a device class.
    prompts.answerExec(1);
    EXPECT_FALSE(w->devOpen("NOPE"));
    EXPECT_TRUE(prompts.last().text.contains("设备参数错误!"));
    EXPECT_EQ(tipsSaying("设备打开成功!"), 0);
    EXPECT_EQ(prompts.unanswered(), 0);
}

TEST_F(LiveDataTest, OpenedChannelsGetTabsAndTheirWarningsOnce)
{
    struct Case {
        bool relayShown, relayOn, listen;
        QStringList warnings;
    } const cases[] = {
        {true, true, false, {kRelayText}},
        {true, false, false, {}}, // a relay shown but off
        {false, true, false, {}}, // no relay on this adapter
        {false, false, true, {kListenText}},
        {true, true, true, {kRelayText, kListenText}},
    };
    int round = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(round);
        const QString id0 = QStringLiteral("USBCANFD2-%1-0").arg(round);
        const QString id1 = QStringLiteral("USBCANFD2-%1-1").arg(round);
        ++round;
        QUserDevChState plain(id0, 1);
        QUserDevChState scripted(id1, 1);
        if (c.relayShown)
            scripted.relayShowSet();
        scripted.relayStateSet(c.relayOn ? 1 : 0);
        scripted.workModeSet(c.listen ? 1 : 0);
        stub->states.insert(id0, plain);
        stub->states.insert(id1, scripted);
        stub->openIds = QStringList{id0, id1};
        const int before = prompts.records().size();
        const int tips = tipsSaying("设备打开成功!");
        for (int i = 0; i < c.warnings.size(); ++i)
            prompts.answerExec(1);
        ASSERT_TRUE(w->devOpen("USBCANFD2"));
        EXPECT_EQ(tipsSaying("设备打开成功!"), tips + 1);
        ASSERT_EQ(prompts.records().size(), before + c.warnings.size());
        for (int i = 0; i < c.warnings.size(); ++i) {
            const QUserPromptScript::Record &r = prompts.records().at(before + i);
            EXPECT_EQ(r.title, "提示");
            EXPECT_TRUE(r.text.contains(c.warnings.at(i))) << r.text.toStdString();
        }
        // Two new tabs, the second one current, named by their ids.
        ASSERT_NE(w->tabSrvGet().find(id0), nullptr);
        ASSERT_NE(w->tabSrvGet().find(id1), nullptr);
        EXPECT_EQ(w->curTabDevGet(), id1);
        const int last = tabs()->count() - 1;
        EXPECT_EQ(tabs()->tabText(last), getDevIdTextEx(0, id1));
        EXPECT_EQ(tabs()->tabText(last - 1), getDevIdTextEx(0, id0));
        EXPECT_FALSE(tabs()->tabIcon(last).isNull());
    }
    EXPECT_EQ(tabs()->count(), 1 + 2 * round);
    // A second tab for an id that has one is refused.
    EXPECT_FALSE(w->tabCreat("USBCANFD2-0-0"));
    EXPECT_TRUE(log.contains("ERROR:TAB USBCANFD2-0-0 Aready Exist..."));
}

TEST_F(LiveDataTest, ColumnsFollowTheMergeSetting)
{
    struct Case {
        const char *merge;
        QStringList headers;
        QList<int> widths;
    } const cases[] = {
        {"ON",
         {"序号", "传输方向", "状态", "时间标志", "周期(us)", "数量", "帧ID", "帧格式", "帧类型", "长度", "数据"},
         {90, 70, 70, 100, 60, 60, 120, 70, 70, 35}},
        {"OFF",
         {"序号", "传输方向", "状态", "电脑时间", "设备时间", "帧ID", "帧格式", "帧类型", "长度", "数据"},
         {90, 70, 70, 100, 100, 120, 70, 70, 35}},
    };
    int n = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.merge);
        cfg()->setString("idMergEnable", c.merge);
        const QString id = QStringLiteral("USBCANFD2-0-%1").arg(n++);
        ASSERT_TRUE(w->tabCreat(id));
        QUserWindowTabData *data = w->tabSrvGet().find(id);
        ASSERT_NE(data, nullptr);
        ASSERT_EQ(data->model->columnCount(), c.headers.size());
        for (int k = 0; k < c.headers.size(); ++k)
            EXPECT_EQ(data->model->headerData(k, Qt::Horizontal).toString(), c.headers.at(k));
        // The last column stretches; the others take their widths, more
        // only where the font would cut a text (checked with the
        // translations below).
        for (int k = 0; k < c.widths.size(); ++k)
            EXPECT_GE(data->view->columnWidth(k), c.widths.at(k)) << k;
        EXPECT_TRUE(data->view->horizontalHeader()->stretchLastSection());
        EXPECT_TRUE(data->view->verticalHeader()->isHidden());
        EXPECT_EQ(data->view->selectionBehavior(), QAbstractItemView::SelectRows);
        EXPECT_EQ(data->view->editTriggers(), QAbstractItemView::NoEditTriggers);
        // The view's own scroll bar stands beside it in the tab's page.
        EXPECT_EQ(data->view->vScrollBar->parentWidget(), data->view->parentWidget());
        EXPECT_EQ(data->model->mergeMode(), QString(c.merge) == "ON");
    }
}

// ---- receive road ----------------------------------------------------------

TEST_F(LiveDataTest, RefusedFramesAreNeitherCountedShownNorRecorded)
{
    cfg()->setString("idMergEnable", "OFF");
    openChannels({kFd0});
    QUserDeviceAdapter *reg = w->devAdapterGet();
    QUserFliterRule rule;
    rule.extended = 0;
    rule.startId = 0x100;
    rule.endId = 0x1FF;
    ASSERT_TRUE(reg->fliterSave(kFd0, {rule}));
    ASSERT_TRUE(reg->fliterEnableSet(kFd0, true));
    ASSERT_TRUE(reg->recordStart(kFd0, "rec.asc"));

    QVector<QUserCanMsg> batch = {frameOf(0x100), frameOf(0x300), frameOf(0x101), frameOf(0x102), frameOf(0x103)};
    w->soltDevRec(kFd0, batch);
    QUserWindowTabData *data = tab(kFd0);
    EXPECT_EQ(data->rxCntGet(), 4u);
    ASSERT_EQ(data->model->listCount(), 4);
    const char *shown[] = {"00000100 ", "00000101 ", "00000102 ", "00000103 "};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(data->model->listAt(i).idText, shown[i]);

    // Filtering on with an empty rule list lets everything through.
    ASSERT_TRUE(reg->fliterSave(kFd0, {}));
    w->soltDevRec(kFd0, {frameOf(0x300)});
    EXPECT_EQ(data->rxCntGet(), 5u);

    ASSERT_TRUE(reg->recordStop(kFd0));
    ASSERT_TRUE(QUserRecordWriter::waitAllEnded(std::chrono::seconds(30))); // the writer closes the file
    EXPECT_EQ(ascIds("rec.asc"), (QStringList{"100", "101", "102", "103", "300"}));
}

TEST_F(LiveDataTest, SentFramesHiddenBySettingAreStillCounted)
{
    cfg()->setString("idMergEnable", "OFF");
    cfg()->setString("sendAllowDis", "OFF");
    openChannels({kFd0});
    ASSERT_TRUE(w->devAdapterGet()->recordStart(kFd0, "rec.asc"));
    w->soltDevSendResult(kFd0, frameOf(0x7E0, MsgTagBasicSend, false, 1));
    w->soltDevRec(kFd0, {frameOf(0x7E8)});
    QUserWindowTabData *data = tab(kFd0);
    EXPECT_EQ(data->txCntGet(), 1u);
    EXPECT_EQ(data->rxCntGet(), 1u);
    ASSERT_EQ(data->model->listCount(), 1);
    EXPECT_EQ(data->model->listAt(0).idText, "000007E8 ");
    ASSERT_TRUE(w->devAdapterGet()->recordStop(kFd0));
    ASSERT_TRUE(QUserRecordWriter::waitAllEnded(std::chrono::seconds(30))); // the writer closes the file
    EXPECT_EQ(ascIds("rec.asc"), QStringList{"7E8"});

    cfg()->setString("sendAllowDis", "ON");
    w->soltDevSendResult(kFd0, frameOf(0x7E0, MsgTagBasicSend, false, 1));
    EXPECT_EQ(data->model->listCount(), 2);
    EXPECT_EQ(data->model->listAt(1).direction, 1);
}

TEST_F(LiveDataTest, FramesForChannelsWithoutATabGoNowhere)
{
    openChannels({kFd0});
    log.lines.clear();
    w->soltDevRec("USBCANFD2-0-7", {frameOf(1), frameOf(2)});
    EXPECT_TRUE(log.lines.filter("Not Exist").isEmpty()); // dropped silently
    w->soltDevRec(kFd0, {});
    EXPECT_EQ(tab(kFd0)->rxCntGet(), 0u);
    w->soltDevSendResult("USBCANFD2-0-7", frameOf(1, MsgTagDbcSend, false, 1));
    EXPECT_TRUE(log.contains("ERROR: TAB <USBCANFD2-0-7> Not Exist..."));
    EXPECT_EQ(tab(kFd0)->txCntGet(), 0u);
}

// ---- send results ----------------------------------------------------------

TEST_F(LiveDataTest, EverySendResultCodeDoesItsOwnThing)
{
    openChannels({kFd0, kFd1}); // the second is current
    QUserSendTask stops;
    ASSERT_TRUE(w->devAdapterGet()->advanceSendParaGet(kFd1, stops));
    stops.errorMode = 0;
    ASSERT_TRUE(w->devAdapterGet()->advanceSendParaSet(kFd1, stops));
    struct Case {
        const char *devId;
        int status;
        bool failed;
        int basicUpdates, advUpdates, tx, shown;
        bool box;
    } const cases[] = {
        {kFd0, 0, false, 1, 0, 0, 0, false}, // basic run begun: the panel, whatever the channel
        {kFd1, 1, false, 1, 0, 0, 0, false},
        {kFd0, 2, false, 0, 0, 0, 0, false}, // advanced state of a channel not current: nothing
        {kFd1, 3, false, 0, 1, 0, 0, false},
        {kFd1, 100, false, 0, 0, 1, 1, false},
        {kFd1, 100, true, 0, 0, 1, 1, true},
        {kFd1, 101, false, 0, 0, 1, 1, false},
        {kFd1, 101, true, 0, 0, 1, 1, true}, // the channel's task stops at a failure
        {kFd1, 102, true, 0, 0, 1, 1, false},
        {kFd1, 103, true, 0, 0, 1, 1, false},
        {kFd1, 104, true, 0, 0, 1, 1, false},
        {kFd1, 4, false, 0, 0, 0, 0, false},
        {kFd1, 99, true, 0, 0, 0, 0, false},
        {kFd1, 105, true, 0, 0, 0, 0, false},
        {kFd1, -1, true, 0, 0, 0, 0, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.status);
        SCOPED_TRACE(c.devId);
        QUserWindowTabData *data = tab(c.devId);
        const int basic = w->layoutGet()->basic.refreshes;
        const int adv = w->layoutGet()->adv.refreshes;
        const quint32 tx = data->txCntGet();
        const int shown = data->model->listCount();
        const int boxes = prompts.records().size();
        if (c.box)
            prompts.answerExec(1);
        w->soltDevSendResult(c.devId, frameOf(0x123, c.status, c.failed, 1));
        EXPECT_EQ(w->layoutGet()->basic.refreshes, basic + c.basicUpdates);
        EXPECT_EQ(w->layoutGet()->adv.refreshes, adv + c.advUpdates);
        EXPECT_EQ(data->txCntGet(), tx + quint32(c.tx));
        EXPECT_EQ(data->model->listCount(), shown + c.shown);
        ASSERT_EQ(prompts.records().size(), boxes + (c.box ? 1 : 0));
        if (c.box) {
            EXPECT_EQ(prompts.last().title, "错误");
            EXPECT_TRUE(prompts.last().text.contains(QString::fromLatin1(c.devId) + ":发送失败!"))
                << prompts.last().text.toStdString();
        }
    }
    EXPECT_EQ(prompts.unanswered(), 0);
}

// A failed advanced-send frame warns when the task of its own channel stops
// at a failure, whatever the panel of the current tab shows.
TEST_F(LiveDataTest, AdvancedSendFailureBoxFollowsTheReportingChannelsTask)
{
    openChannels({kFd0, kFd1});
    const auto modeSet = [this](const char *id, uint32_t mode) {
        QUserSendTask t;
        ASSERT_TRUE(w->devAdapterGet()->advanceSendParaGet(id, t));
        t.errorMode = mode;
        ASSERT_TRUE(w->devAdapterGet()->advanceSendParaSet(id, t));
    };
    modeSet(kFd0, 1); // goes on after a failure
    modeSet(kFd1, 0); // stops at a failure
    for (const char *current : {kFd0, kFd1}) {
        for (int panel : {0, 1}) {
            SCOPED_TRACE(std::string(current) + " current, panel mode " + std::to_string(panel));
            selectTab(current);
            w->layoutGet()->adv.failMode->setCurrentIndex(panel);
            const int boxes = prompts.records().size();
            w->soltDevSendResult(kFd0, frameOf(0x321, MsgTagAdvanceSend, true, 1));
            EXPECT_EQ(prompts.records().size(), boxes) << "a channel set to continue warns not";
            prompts.answerExec(1);
            w->soltDevSendResult(kFd1, frameOf(0x321, MsgTagAdvanceSend, true, 1));
            ASSERT_EQ(prompts.records().size(), boxes + 1) << "a channel that stopped warns";
            EXPECT_TRUE(prompts.last().text.contains(QString::fromLatin1(kFd1) + ":发送失败!"));
        }
    }
    EXPECT_EQ(tab(kFd0)->model->listCount(), 4);
    EXPECT_EQ(prompts.unanswered(), 0);
}

// While a failure warning is open its modal run keeps handling queued
// results; more failures of that channel must not stack boxes on it.
TEST_F(LiveDataTest, FailuresDuringAnOpenWarningDoNotStackBoxes)
{
    openChannels({kFd0, kFd1});
    int nested = 0;
    prompts.answerExec([&](QDialog *) {
        for (int i = 0; i < 3; ++i)
            w->soltDevSendResult(kFd0, frameOf(0x1, MsgTagBasicSend, true, 1));
        ++nested;
        return 1;
    });
    prompts.answerExec(1); // the other channel's own warning
    w->soltDevSendResult(kFd0, frameOf(0x1, MsgTagBasicSend, true, 1));
    EXPECT_EQ(nested, 1);
    EXPECT_EQ(prompts.records().size(), 1);
    EXPECT_EQ(tab(kFd0)->txCntGet(), 4u); // all shown and counted
    EXPECT_EQ(tab(kFd0)->model->listCount(), 4);
    // Once it is closed the next failure warns again; other channels warn on their own.
    w->soltDevSendResult(kFd1, frameOf(0x1, MsgTagBasicSend, true, 1));
    EXPECT_EQ(prompts.records().size(), 2);
    prompts.answerExec(1);
    w->soltDevSendResult(kFd0, frameOf(0x1, MsgTagBasicSend, true, 1));
    EXPECT_EQ(prompts.records().size(), 3);
    EXPECT_EQ(prompts.unanswered(), 0);
}

// ---- status bar ------------------------------------------------------------

TEST_F(LiveDataTest, StatusBarShowsTheCurrentTabAndClears)
{
    Ui_uiStatusBar *bar = w->statusBarWidgetGet()->form();
    QUserDevChState st(kFd0, 1);
    st.fdEnableSet(1);
    st.baudSet(0, 40, 1, 8, 31, 8);
    st.baudSet(1, 40, 1, 2, 7, 2);
    stub->states.insert(kFd0, st);
    openChannels({kFd0});
    w->soltDevRec(kFd0, QVector<QUserCanMsg>(250, frameOf(0x10)));
    tab(kFd0)->msgRateTimeTask();
    w->soltDevRec(kFd0, QVector<QUserCanMsg>(5, frameOf(0x10)));
    w->soltDevSendResult(kFd0, frameOf(0x20, MsgTagCanOpen, false, 1));

    // The welcome tab current: the status bar keeps what it shows.
    tabs()->setCurrentIndex(0);
    const QString before = bar->label_rxCnt->text();
    QTest::qWait(250);
    EXPECT_EQ(bar->label_rxCnt->text(), before);

    selectTab(kFd0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return bar->label_rxCnt->text().endsWith(":255"); }, testsupport::kGiveUpMs))
        << bar->label_rxCnt->text().toStdString();
    EXPECT_TRUE(bar->label_rxRate->text().contains("250"));
    EXPECT_TRUE(bar->label_txCnt->text().endsWith(":1"));
    EXPECT_TRUE(bar->label_devInfo->text().startsWith("[FD]")) << bar->label_devInfo->text().toStdString();

    w->statusBarWidgetGet()->form()->pushButton_clr->click();
    EXPECT_TRUE(log.contains("统计数据清零..."));
    EXPECT_TRUE(bar->label_rxCnt->text().endsWith(":0"));
    EXPECT_TRUE(bar->label_txCnt->text().endsWith(":0"));
    EXPECT_TRUE(bar->label_rxRate->text().contains(":0"));
    EXPECT_EQ(tab(kFd0)->rxCntGet(), 0u);
}

// ---- close -----------------------------------------------------------------

// The status bar shows live channels only: once the last channel's tab is
// closed (by the user, one after the other, or by a device tool closing
// them all) it shows no state, counts or rates; while one is left it keeps
// what it shows.
TEST_F(LiveDataTest, StatusBarClearedWhenTheLastChannelTabCloses)
{
    Ui_uiStatusBar *bar = w->statusBarWidgetGet()->form();
    QUserDevChState st(kFd0, 1);
    st.fdEnableSet(1);
    st.baudSet(0, 40, 1, 8, 31, 8);
    st.baudSet(1, 40, 1, 2, 7, 2);
    stub->states.insert(kFd0, st);
    stub->states.insert(kFd1, st);
    const auto live = [&] {
        w->soltDevRec(kFd0, QVector<QUserCanMsg>(7, frameOf(0x10)));
        w->soltDevRec(kFd1, QVector<QUserCanMsg>(7, frameOf(0x10)));
        tab(kFd0)->msgRateTimeTask();
        tab(kFd1)->msgRateTimeTask();
        selectTab(kFd0);
        ASSERT_TRUE(QTest::qWaitFor([&] { return bar->label_rxCnt->text().endsWith(":7"); }, testsupport::kGiveUpMs));
        ASSERT_FALSE(bar->label_devInfo->text().isEmpty());
    };
    const auto cleared = [&] {
        EXPECT_TRUE(bar->label_devInfo->text().isEmpty()) << bar->label_devInfo->text().toStdString();
        EXPECT_TRUE(bar->label_rxCnt->text().endsWith(":0")) << bar->label_rxCnt->text().toStdString();
        EXPECT_TRUE(bar->label_rxRate->text().contains(":0"));
    };
    for (int how = 0; how < 2; ++how) {
        SCOPED_TRACE(how == 0 ? "closed one by one" : "closed all at once");
        openChannels({kFd0, kFd1});
        live();
        if (how == 0) {
            const int index = tabs()->currentIndex();
            w->soltTabDataShowClose(index);
            QTest::qWait(250);
            EXPECT_TRUE(bar->label_rxCnt->text().endsWith(":7")) << "a channel is still open";
            while (tabs()->count() > 0)
                w->soltTabDataShowClose(0);
        } else {
            w->tabAllClose();
        }
        ASSERT_EQ(w->curTabDataGet(), nullptr);
        cleared();
        QTest::qWait(250);
        cleared();
    }
}

TEST_F(LiveDataTest, CloseStopsRecordingAndBothSendersBeforeTheChannel)
{
    openChannels({kFd0, kFd1});
    QUserDeviceAdapter *reg = w->devAdapterGet();
    ASSERT_TRUE(reg->recordStart(kFd0, "close.asc"));
    QUserSendTask basic;
    basic.msg = frameOf(0x5);
    basic.reqSendCnt = 0xFFFFFFFFu;
    basic.period = 100000;
    QUserSendTask adv;
    QUserCanMsg entry = frameOf(0x6);
    entry.rowEnable = 1;
    adv.msgList = {entry};
    adv.reqSendCnt = 0xFFFFFFFFu;
    adv.period = 100000;
    ASSERT_TRUE(reg->basicSendStart(kFd0, basic));
    ASSERT_TRUE(reg->advanceSendStart(kFd0, adv));
    QUserDeviceSendMachine *machine = reg->sendMachine(kFd0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return machine->basicSender()->isSending(); }, testsupport::kGiveUpMs));
    ASSERT_TRUE(QTest::qWaitFor([&] { return machine->advanceSender()->isSending(); }, testsupport::kGiveUpMs));

    struct AtClose {
        bool recording = true, basic = true, advance = true;
    } seen;
    stub->onClose = [&](const QString &id) {
        seen.recording = reg->recordIsStart(id);
        QUserDeviceSendMachine *m = reg->sendMachine(id);
        seen.basic = m && m->basicSender()->isSending();
        seen.advance = m && m->advanceSender()->isSending();
    };
    // The user closes the first channel's tab.
    int index = -1;
    for (int i = 0; i < tabs()->count(); ++i)
        if (tabs()->tabText(i) == getDevIdTextEx(0, kFd0))
            index = i;
    ASSERT_GE(index, 0);
    emit tabs()->tabCloseRequested(index);
    EXPECT_EQ(stub->closed, QStringList{kFd0});
    EXPECT_FALSE(seen.recording);
    EXPECT_FALSE(seen.basic);
    EXPECT_FALSE(seen.advance);
    EXPECT_EQ(tipsSaying("设备已关闭!"), 1);
    EXPECT_EQ(tab(kFd0), nullptr);
    EXPECT_FALSE(reg->hasChannel(kFd0));
    EXPECT_TRUE(log.contains("Tab USBCANFD2-0-0 Delete..."));
    // The recording was closed as a whole file (by its writer, after the
    // close returned).
    ASSERT_TRUE(QUserRecordWriter::waitAllEnded(std::chrono::seconds(30)));
    QFile asc("close.asc");
    ASSERT_TRUE(asc.open(QIODevice::ReadOnly));
    EXPECT_TRUE(asc.readAll().contains("End Triggerblock"));
    // Late frames of the closed channel find no tab; the other tab stays.
    QApplication::processEvents();
    w->soltDevRec(kFd0, {frameOf(1)});
    ASSERT_NE(tab(kFd1), nullptr);
    w->soltDevRec(kFd1, {frameOf(1)});
    EXPECT_EQ(tab(kFd1)->rxCntGet(), 1u);
}

// A close that fails must not be reported as done.
TEST_F(LiveDataTest, FailedCloseIsReportedAsFailed)
{
    openChannels({kFd0});
    stub->closeResult = -1;
    EXPECT_FALSE(w->devClose(kFd0));
    EXPECT_EQ(tipsSaying("设备已关闭!"), 0);
    EXPECT_EQ(tipsSaying("设备关闭失败!"), 1);
    EXPECT_TRUE(log.contains("Dev USBCANFD2-0-0 Close Fail, result -1..."));
    ASSERT_NE(w->msgBoxGet().tipLabelWidget(), nullptr);
    EXPECT_EQ(w->msgBoxGet().tipLabelWidget()->text(), "设备关闭失败!");
    // A device id that does not split into its parts fails the same way.
    EXPECT_FALSE(w->devClose("garbage"));
    EXPECT_EQ(tipsSaying("设备关闭失败!"), 2);
    stub->closeResult = 0;
    openChannels({kFd1});
    EXPECT_TRUE(w->devClose(kFd1));
    EXPECT_EQ(tipsSaying("设备已关闭!"), 1);
    EXPECT_EQ(w->msgBoxGet().tipLabelWidget()->text(), "设备已关闭!");
}

TEST_F(LiveDataTest, ClosingEveryTabClosesEveryChannel)
{
    openChannels({kFd0, kFd1});
    ASSERT_EQ(tabs()->count(), 3);
    w->tabAllClose();
    EXPECT_EQ(tabs()->count(), 0);
    EXPECT_EQ(stub->closed, (QStringList{kFd0, kFd1}));
    EXPECT_EQ(tipsSaying("设备已关闭!"), 2);
    EXPECT_EQ(w->tabSrvGet().count(), 1);
    EXPECT_EQ(w->curTabDevGet(), QString());
    EXPECT_EQ(w->curTabDataGet(), nullptr);
    // The status bar timer runs on without a tab.
    QTest::qWait(150);
}

// ---- device menu and tools -------------------------------------------------

TEST_F(LiveDataTest, DeviceMenuEntries)
{
    stub->openIds = QStringList{kFd0};
    // Cancelled selection: nothing.
    prompts.answerExec(0);
    w->formGet()->actDevCAN->trigger();
    EXPECT_EQ(stub->opens, 0);
    // A model mapped to the stand-in's type key opens it.
    prompts.answerExec(pickModel("USBCANFD2"));
    w->formGet()->actDevCAN->trigger();
    EXPECT_EQ(stub->opens, 1);
    EXPECT_NE(tab(kFd0), nullptr);
    EXPECT_EQ(tipsSaying("设备打开成功!"), 1);
    // The LIN adapter: the registry has no class for it.
    prompts.answerExec(pickModel("TRNC701"));
    prompts.answerExec(1);
    w->formGet()->actDevLIN->trigger();
    EXPECT_EQ(prompts.last().title, "错误");
    EXPECT_TRUE(prompts.last().text.contains("设备参数错误!"));
    EXPECT_EQ(w->tabSrvGet().count(), 2);
    EXPECT_EQ(prompts.unanswered(), 0);
}

// The recording adapter is set up in its settings dialog, for "TRND702" at
// device index 0; it gets no data tab and is not opened through the
// registry. Only a dialog that ends with a non-zero result refreshes the
// send panels.
TEST_F(LiveDataTest, RecorderSelectionRunsItsSettingsDialog)
{
    for (int result : {0, 1}) {
        SCOPED_TRACE(result);
        const int basic = w->layoutGet()->basic.refreshes;
        const int adv = w->layoutGet()->adv.refreshes;
        const int before = prompts.records().size();
        QPointer<QUserDlgFdRecordSet> seen;
        QString devName;
        prompts.answerExec(pickModel("TRND702"));
        prompts.answerExec([&](QDialog *frame) {
            seen = frame->findChild<QUserDlgFdRecordSet *>();
            if (seen)
                devName = seen->devName();
            return result;
        });
        w->formGet()->actDevRecord->trigger();
        ASSERT_EQ(prompts.records().size(), before + 2);
        EXPECT_EQ(prompts.records().at(before).title, "选择设备");
        EXPECT_EQ(prompts.last().title, "配置");
        ASSERT_FALSE(devName.isEmpty()) << "the settings dialog ran in the frame";
        EXPECT_EQ(devName, "TRND702");
        EXPECT_TRUE(seen.isNull()) << "destroyed when the slot ends";
        EXPECT_EQ(w->layoutGet()->basic.refreshes, basic + result);
        EXPECT_EQ(w->layoutGet()->adv.refreshes, adv + result);
    }
    // Another recorder model runs nothing after the selection.
    const int before = prompts.records().size();
    prompts.answerExec(pickModel("TRND701"));
    w->formGet()->actDevRecord->trigger();
    EXPECT_EQ(prompts.records().size(), before + 1);
    EXPECT_EQ(stub->opens, 0);
    EXPECT_EQ(w->tabSrvGet().count(), 1);
    EXPECT_EQ(prompts.unanswered(), 0);
}

// The tools that open the adapter themselves get it free: the launcher logs,
// closes every tab (and so every open channel) and only then runs the
// tool's dialog, built without parent and destroyed after its run.
TEST_F(LiveDataTest, DeviceToolsCloseEveryTabBeforeTheirDialog)
{
    struct Case {
        QAction *action;
        const char *slot;
        const char *logText;
        const char *title;
        std::function<QWidget *(QDialog *)> tool;
    } const cases[] = {
        {w->formGet()->actionRepeatCfg, "slotRepeatCfg", "中继配置", "中继配置",
         [](QDialog *d) -> QWidget * { return d->findChild<QUserDlgRepeatCfg *>(); }},
        {w->formGet()->actionFreqChk, "slotBaudChk", "波特率侦测", "波特率侦测",
         [](QDialog *d) -> QWidget * { return d->findChild<QUserDlgBaudChk *>(); }},
        {w->formGet()->actionFirmUpdate, "slotDevFirmUpdate", "设备升级...", "设备升级",
         [](QDialog *d) -> QWidget * { return d->findChild<QUserDlgFirmUpdate *>(); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.logText);
        stub->closed.clear();
        openChannels({kFd0, kFd1});
        ASSERT_GE(tabs()->count(), 2); // and the welcome tab until a tool closed it
        const QString line = QString::fromUtf8("MainWindow > ") + QString::fromUtf8(c.logText);
        const int before = prompts.records().size();
        QPointer<QWidget> tool;
        bool loggedFirst = false;
        int tabsDuring = -1;
        QStringList closedDuring;
        prompts.answerExec([&](QDialog *frame) {
            tool = c.tool(frame);
            loggedFirst = log.contains(line);
            tabsDuring = tabs()->count();
            closedDuring = stub->closed;
            return 0;
        });
        c.action->trigger();
        ASSERT_EQ(prompts.records().size(), before + 1);
        EXPECT_EQ(prompts.last().title, QString::fromUtf8(c.title));
        EXPECT_TRUE(loggedFirst) << "the log line comes first";
        EXPECT_EQ(tabsDuring, 0) << "every tab is closed before the dialog runs";
        EXPECT_EQ(closedDuring, (QStringList{kFd0, kFd1}));
        EXPECT_EQ(w->tabSrvGet().count(), 1);
        EXPECT_TRUE(tool.isNull()) << "the dialog ran and was destroyed";
        EXPECT_EQ(tabs()->count(), 0);
        log.lines.clear();
    }
    // Without open channels a tool runs all the same.
    prompts.answerExec(0);
    w->formGet()->actionFirmUpdate->trigger();
    EXPECT_EQ(prompts.last().title, "设备升级");

    // The bit-timing calculator needs no adapter: it runs with the tabs open.
    openChannels({kFd0, kFd1});
    const int open = tabs()->count();
    prompts.answerExec(0);
    w->formGet()->actionCalculator->trigger();
    EXPECT_EQ(prompts.last().title, "波特率计算器");
    EXPECT_EQ(tabs()->count(), open);
    EXPECT_TRUE(log.contains("MainWindow > 波特率计算器"));
    EXPECT_EQ(prompts.unanswered(), 0);
}

TEST_F(LiveDataTest, ModelReloadTakesTheSettingsAndGoesToTheTop)
{
    cfg()->setString("idMergEnable", "OFF");
    openChannels({kFd0});
    QVector<QUserCanMsg> batch;
    for (uint32_t i = 0; i < 100; ++i)
        batch << frameOf(i % 10);
    w->soltDevRec(kFd0, batch);
    QUserTableModelCan *model = tab(kFd0)->model;
    EXPECT_GT(model->windowStart(), 0);
    cfg()->setString("idMergEnable", "ON");
    w->curTabModelReload();
    EXPECT_TRUE(model->mergeMode());
    EXPECT_EQ(model->windowStart(), 0);
    EXPECT_EQ(model->cacheCount(), 10);
}

// The merged view with more identifiers than rows while traffic runs: the
// user wheels up and the window stays there, with the handle showing it,
// while the frames go on and new identifiers arrive; the first rows (the
// busiest identifiers) can be read without stopping the display. Back at
// the end, the view follows the newest identifiers again.
TEST_F(LiveDataTest, MergedViewStaysWhereTheUserScrolledWhileTrafficRuns)
{
    openChannels({kFd0});
    w->resize(1280, 800);
    w->show();
    selectTab(kFd0);
    QTest::qWait(50);
    QUserTableModelCan *model = tab(kFd0)->model;
    QUserTableView *view = tab(kFd0)->view;
    ASSERT_TRUE(model->mergeMode());
    const auto traffic = [&](uint32_t ids) {
        QVector<QUserCanMsg> batch;
        for (uint32_t i = 0; i < ids; ++i)
            batch << frameOf(0x100 + i);
        // On screen once the rows were rebuilt after the batch and no
        // rebuild is still owed by the throttle.
        const qint64 before = model->rebuildCount();
        w->soltDevRec(kFd0, batch);
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return model->rebuildCount() > before && !model->refreshTimerGet()->isActive(); },
            testsupport::kGiveUpMs));
    };
    const auto wheel = [&](int delta) {
        QWheelEvent e(QPointF(10, 10), QPointF(view->viewport()->mapToGlobal(QPoint(10, 10))), QPoint(),
                      QPoint(0, delta), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(view->viewport(), &e);
    };
    traffic(200);
    const int size = model->windowSize();
    ASSERT_GT(size, 2) << view->viewport()->height();
    ASSERT_EQ(model->cacheCount(), 200);
    EXPECT_EQ(model->windowStart(), 200 - size) << "the newest identifiers in view";
    EXPECT_EQ(view->vScrollBar->value(), model->windowStart());

    for (int i = 0; i < 3; ++i)
        wheel(120);
    const int away = 200 - size - 3;
    EXPECT_EQ(model->windowStart(), away);
    for (uint32_t more : {200u, 200u, 230u, 260u}) {
        traffic(more);
        EXPECT_EQ(model->windowStart(), away) << "frames and new identifiers leave the window alone";
        EXPECT_EQ(view->vScrollBar->value(), away);
    }
    EXPECT_EQ(model->cacheCount(), 260);

    // The first rows, while traffic runs.
    view->vScrollBar->setSliderDown(true);
    view->vScrollBar->setSliderPosition(0);
    view->vScrollBar->setSliderDown(false);
    traffic(260);
    EXPECT_EQ(model->windowStart(), 0);
    EXPECT_EQ(model->data(model->index(0, 0)).toString(), "0");

    // Back at the end: following again.
    view->vScrollBar->setSliderDown(true);
    view->vScrollBar->setSliderPosition(view->vScrollBar->maximum());
    view->vScrollBar->setSliderDown(false);
    traffic(300);
    EXPECT_EQ(model->windowStart(), 300 - size);
    EXPECT_EQ(view->vScrollBar->value(), 300 - size);
}

// The texts as the translations give them: whole (the warnings hold a
// carriage return) in Chinese, and English where the language is English.
TEST_F(LiveDataTest, WarningsAndHeadersThroughTheTranslations)
{
    withTranslations();
    struct Case {
        const char *language;
        QString relayStart, relayEnd;
        QString header0, opened;
    } const cases[] = {
        {"ZH", QString::fromUtf8("设备已处于中继模式"), QString::fromUtf8("，再打开设备!!"), "序号", "设备打开成功!"},
        {"EN", "The device is in relay mode", "then open the device again!!", "No.", "Device opened!"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.language);
        cfg()->setString("language", c.language);
        w.reset(new MainWindow);
        stub = new StubChannelDevice;
        w->devAdapterGet()->deviceReplace("USBCANFD2", stub);
        QUserDevChState relay(kFd0, 1);
        relay.relayShowSet();
        relay.relayStateSet(1);
        stub->states.insert(kFd0, relay);
        prompts.answerExec(1);
        openChannels({kFd0});
        const QString text = prompts.last().text;
        EXPECT_TRUE(text.contains(c.relayStart)) << text.toStdString();
        if (QString(c.language) == "ZH") {
            EXPECT_TRUE(text.contains(kRelayText)) << text.toStdString();
        }
        EXPECT_TRUE(text.endsWith(c.relayEnd)) << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("\r\n                "))) << text.toStdString();
        EXPECT_EQ(tab(kFd0)->model->headerData(0, Qt::Horizontal).toString(), c.header0);
        // Every header is readable whole: "Period(us)" and "Length" are
        // longer than the Chinese ones the widths were made for.
        QUserTableView *view = tab(kFd0)->view;
        const QFontMetrics fm = view->horizontalHeader()->fontMetrics();
        for (int k = 0; k + 1 < tab(kFd0)->model->columnCount(); ++k) {
            const QString header = tab(kFd0)->model->headerData(k, Qt::Horizontal).toString();
            EXPECT_GT(view->columnWidth(k), fm.horizontalAdvance(header)) << header.toStdString();
        }
        // So is the direction with the protocol icon before it.
        for (bool sent : {false, true})
            EXPECT_GT(view->columnWidth(1), view->fontMetrics().horizontalAdvance(getDirText(w->languageCodeGet(), sent)) + 16);
        EXPECT_EQ(tipsSaying(c.opened), 1);
    }
}

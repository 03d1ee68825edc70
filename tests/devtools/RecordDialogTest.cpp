// The recording adapter's settings dialog offscreen, with its library being
// a build of kemusb over simulated TRND701 and TRND702 adapters. Every modal
// run (message boxes, the filter editor, the calculator, the waiting dialog,
// the dialog's own frame) goes through the prompt seam.

#include "tests/devtools/DialogTestUtil.h"
#include "tests/devtools/RecordSim.h"

#include "devtools/QUserDlgFdRecordSet.h"
#include "devtools/QUserRecordCmd.h"
#include "core/QUserBaudFunc.h"

#include "tests/support/TempWorkDir.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QtTest/QTest>

#include <cstring>
#include <memory>

namespace {

// The dialog as the main window sets it up.
struct Dlg {
    QUserDlgFdRecordSet d;
    recsim::FakeClock clock;
    Dlg()
    {
        d.dlgInit("TRND702", "配置", {QByteArray()});
        d.setWaitClock(&clock);
    }
    QUserRecordChPage *p(int i) const { return d.page(i); }
    QComboBox *model() { return kid<QComboBox>(&d, "comboBox_devType"); }
    QTabWidget *tabs() { return kid<QTabWidget>(&d, "tabWidget"); }
    QPushButton *btn(const char *name) { return kid<QPushButton>(&d, name); }
    void open() { btn("pushButton_open")->click(); }
    // The newest line of the current page's log pane, without its time.
    QString last() const
    {
        const QUserRecordChPage *cur = d.currentPage();
        const QStringList l = cur ? cur->logLines() : QStringList();
        return l.isEmpty() ? QString() : l.last().mid(22);
    }
    bool lastIsError() const
    {
        const QUserRecordChPage *cur = d.currentPage();
        return cur && !cur->logErrors().isEmpty() && cur->logErrors().last();
    }
};

QStringList tabTitles(QTabWidget *t)
{
    QStringList out;
    for (int i = 0; i < t->count(); ++i)
        out << t->tabText(i);
    return out;
}

bool simBuilt()
{
    return QFileInfo::exists(recsim::libPath());
}

} // namespace

class RecordDialog : public WorkDirTest
{
protected:
    void SetUp() override
    {
        if (!simBuilt())
            GTEST_SKIP() << "libdevtools_recsimkemusb.so not built";
        ctl = std::make_unique<recsim::Controls>();
        ASSERT_TRUE(ctl->ok());
    }
    void TearDown() override { ctl.reset(); }
    std::unique_ptr<recsim::Controls> ctl;
};

// ---- the form ------------------------------------------------------------------

TEST_F(RecordDialog, FreshDialogShowsTheTwoChannelModelClosed)
{
    QUserPromptScript prompts;
    Dlg g;
    EXPECT_TRUE(g.d.libraryLoaded());
    EXPECT_EQ(g.d.frame()->windowTitle(), "配置");
    EXPECT_EQ(g.d.devName(), "TRND702");
    EXPECT_EQ(g.d.devType(), 62);
    EXPECT_EQ(items(g.model()), QStringList({"TRND701", "TRND702"}));
    EXPECT_EQ(g.model()->currentText(), "TRND702");
    EXPECT_EQ(tabTitles(g.tabs()), QStringList({"CAN0", "CAN1"}));
    EXPECT_EQ(g.d.findChild<QWidget *>("tab"), nullptr) << "placeholder tabs removed";
    EXPECT_TRUE(g.btn("pushButton_open")->isEnabled());
    for (const char *b : {"pushButton_close", "pushButton_read", "pushButton_write"})
        EXPECT_FALSE(g.btn(b)->isEnabled()) << b;
    EXPECT_TRUE(g.model()->isEnabled());
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        QUserRecordChPage *p = g.p(i);
        EXPECT_TRUE(p->comboBox_workPro->isEnabled());
        EXPECT_FALSE(p->groupBox_devMgr->isEnabled());
        EXPECT_FALSE(p->groupBox_selfBaud->isEnabled());
        EXPECT_EQ(p->cfg.clockA, 200u);
        EXPECT_EQ(p->cfg.clockB, 200u);
        EXPECT_EQ(p->cfg.arbWord, 0x04C00106u);
        EXPECT_EQ(p->cfg.dataWord, 0x01000104u);
        EXPECT_EQ(p->cfg.fileInterval, 10);
        EXPECT_EQ(items(p->comboBox_clkA), QStringList({"200"}));
        EXPECT_FALSE(p->comboBox_clkA->isEnabled());
        EXPECT_EQ(p->lineEdit_baudText->text(), "1000.000Kbps(80.0%),5000.000Kbps(75.0%),(200,04C00106,01000104)");
        EXPECT_TRUE(p->lineEdit_baudText->isReadOnly());
        EXPECT_EQ(p->lineEdit_aBrp->text(), "20");
        EXPECT_EQ(p->lineEdit_aSjw->text(), "1");
        EXPECT_EQ(p->lineEdit_aBs1->text(), "7");
        EXPECT_EQ(p->lineEdit_aBs2->text(), "2");
        EXPECT_EQ(p->lineEdit_dBrp->text(), "5");
        EXPECT_EQ(p->lineEdit_dBs1->text(), "5");
        EXPECT_EQ(p->lineEdit_fliterNum->text(), "当前过滤器规则数量:0");
        EXPECT_FALSE(p->lineEdit_fliterNum->isEnabled());
        EXPECT_FALSE(p->pushButton_fliterSet->isEnabled());
        EXPECT_EQ(p->lineEdit_fileInterval->text(), "10");
        EXPECT_EQ(p->lineEdit_fileInterval->placeholderText(), "1-255");
        EXPECT_EQ(items(p->comboBox_fileFormat), QStringList({"ASC", "TXT", "CAN", "CSV"}));
        EXPECT_EQ(items(p->comboBox_diskPolicy), QStringList({"删除旧记录继续任务", "停止任务"}));
        EXPECT_EQ(p->comboBox_aBaud->count(), 8);
        EXPECT_EQ(p->comboBox_dBaud->count(), 10);
        // Protocol "CAN": the data phase is hidden and the labels say so.
        EXPECT_TRUE(p->comboBox_dBaud->isHidden());
        EXPECT_TRUE(p->widget_dLine->isHidden());
        EXPECT_TRUE(p->comboBox_iso->isHidden());
        EXPECT_EQ(p->label_aBaud->text(), "波特率:");
        EXPECT_EQ(p->label_clkA->text(), "时钟:");
    }
    // "CANFD" shows the data phase.
    choose(g.p(1)->comboBox_workPro, 1);
    EXPECT_FALSE(g.p(1)->comboBox_dBaud->isHidden());
    EXPECT_FALSE(g.p(1)->widget_dLine->isHidden());
    EXPECT_EQ(g.p(1)->label_aBaud->text(), "仲裁域波特率:");
    EXPECT_EQ(g.p(1)->label_clkA->text(), "仲裁域-> 时钟:");
    EXPECT_TRUE(prompts.records().isEmpty());
}

// The one-channel model: one page, protocol held at "CAN"; back to the
// two-channel model: two fresh pages, earlier edits and rules gone.
TEST_F(RecordDialog, ModelSwitchRebuildsThePages)
{
    QUserPromptScript prompts;
    Dlg g;
    choose(g.p(0)->comboBox_workPro, 1);
    g.p(0)->lineEdit_fileInterval->setText("99");
    g.p(0)->cfg.rules.append(QUserFliterRule());

    choose(g.model(), 0);
    EXPECT_EQ(tabTitles(g.tabs()), QStringList({"CAN0"}));
    ASSERT_EQ(g.d.pageCount(), 1);
    EXPECT_EQ(g.d.devType(), 61);
    EXPECT_EQ(g.d.clockMHz(), 60u);
    QUserRecordChPage *p = g.p(0);
    EXPECT_EQ(p->comboBox_workPro->currentText(), "CAN");
    EXPECT_FALSE(p->comboBox_workPro->isEnabled());
    EXPECT_TRUE(p->comboBox_dBaud->isHidden());
    EXPECT_TRUE(p->label_dBaud->isHidden());
    EXPECT_TRUE(p->widget_dLine->isHidden());
    EXPECT_TRUE(p->comboBox_iso->isHidden());
    EXPECT_EQ(p->cfg.clockA, 60u);
    EXPECT_EQ(p->cfg.arbWord, 0x01400106u);
    EXPECT_EQ(p->cfg.dataWord, 0x00800001u);
    EXPECT_EQ(items(p->comboBox_clkB), QStringList({"60"}));
    EXPECT_EQ(p->lineEdit_baudText->text(), "1000.000Kbps(80.0%),5000.000Kbps(75.0%),(60,01400106,00800001)");

    choose(g.model(), 1);
    EXPECT_EQ(tabTitles(g.tabs()), QStringList({"CAN0", "CAN1"}));
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(g.p(i)->comboBox_workPro->currentIndex(), 0);
        EXPECT_TRUE(g.p(i)->comboBox_workPro->isEnabled());
        EXPECT_EQ(g.p(i)->lineEdit_fileInterval->text(), "10");
        EXPECT_TRUE(g.p(i)->cfg.rules.isEmpty());
        EXPECT_EQ(g.p(i)->cfg.arbWord, 0x04C00106u);
    }
}

// "自定义" in either list checks the custom box, which disables both lists
// and sets them to "自定义"; unchecking re-enables them, still there.
TEST_F(RecordDialog, CustomEntryTurnsCustomTimingOn)
{
    Dlg g;
    for (bool data : {false, true}) {
        SCOPED_TRACE(data);
        choose(g.model(), 1); // fresh pages
        QUserRecordChPage *p = g.p(0);
        choose(p->comboBox_workPro, 1);
        QComboBox *list = data ? p->comboBox_dBaud : p->comboBox_aBaud;
        choose(list, list->count() - 1);
        EXPECT_TRUE(p->checkBox_selfBaud->isChecked());
        EXPECT_FALSE(p->comboBox_aBaud->isEnabled());
        EXPECT_FALSE(p->comboBox_dBaud->isEnabled());
        EXPECT_EQ(p->comboBox_aBaud->currentText(), "自定义");
        EXPECT_EQ(p->comboBox_dBaud->currentText(), "自定义");
        EXPECT_TRUE(p->groupBox_selfBaud->isEnabled());
        EXPECT_FALSE(g.p(1)->checkBox_selfBaud->isChecked()) << "the other page is left alone";
        p->checkBox_selfBaud->setChecked(false);
        EXPECT_TRUE(p->comboBox_aBaud->isEnabled());
        EXPECT_TRUE(p->comboBox_dBaud->isEnabled());
        EXPECT_EQ(p->comboBox_aBaud->currentText(), "自定义");
        EXPECT_FALSE(p->groupBox_selfBaud->isEnabled());
    }
}

// Lines go to the pane of the current tab, three at most, errors in red;
// "关闭设备" while closed still logs.
TEST_F(RecordDialog, LogPaneKeepsTheNewestThreeLinesOfTheCurrentPage)
{
    QUserPromptScript prompts;
    Dlg g;
    for (int i = 0; i < 4; ++i) // the button is disabled while closed; its slot runs all the same
        QMetaObject::invokeMethod(&g.d, "slotsComboxDevClose");
    QStringList lines = g.p(0)->logLines();
    ASSERT_EQ(lines.size(), 3);
    const QRegularExpression stamp("^\\[\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\] 设备已关闭!$");
    for (const QString &l : lines)
        EXPECT_TRUE(stamp.match(l).hasMatch()) << l.toStdString();
    EXPECT_EQ(g.p(0)->logErrors(), QList<bool>({false, false, false}));
    EXPECT_TRUE(g.p(1)->logLines().isEmpty());

    g.tabs()->setCurrentIndex(1);
    g.d.diskCapGet(); // closed: the query fails, in red
    EXPECT_EQ(g.last(), "容量查询失败!");
    EXPECT_TRUE(g.lastIsError());
    EXPECT_EQ(g.p(0)->logLines().size(), 3);
    EXPECT_EQ(g.p(1)->logLines().size(), 1);
}

// With the filter switch off the rule count shows 0 whatever the page holds;
// the editor runs with the page's rules and its OK replaces them.
TEST_F(RecordDialog, FilterEditorAndRuleCount)
{
    QUserPromptScript prompts;
    Dlg g;
    QUserRecordChPage *p = g.p(0);
    p->checkBox_fliterEn->setChecked(true);
    EXPECT_TRUE(p->pushButton_fliterSet->isEnabled());
    prompts.answerExec([](QDialog *d) {
        EXPECT_EQ(d->windowTitle(), "滤波设置");
        kid<QLineEdit>(d, "lineEdit_startId")->setText("123");
        kid<QPushButton>(d, "pushButton_add")->click();
        chooseText(kid<QComboBox>(d, "comboBox_mode"), "扩展帧组ID");
        kid<QLineEdit>(d, "lineEdit_startId")->setText("100");
        kid<QLineEdit>(d, "lineEdit_endId")->setText("1FF");
        kid<QPushButton>(d, "pushButton_add")->click();
        kid<QPushButton>(d, "pushButton_ok")->click();
        return d->result();
    });
    p->pushButton_fliterSet->click();
    ASSERT_EQ(p->cfg.rules.size(), 2);
    EXPECT_EQ(p->cfg.rules[1].extended, 1);
    EXPECT_EQ(p->cfg.rules[1].range, 1);
    EXPECT_EQ(p->cfg.rules[1].endId, 0x1FFu);
    EXPECT_EQ(p->lineEdit_fliterNum->text(), "当前过滤器规则数量:2");
    EXPECT_EQ(p->cfg.fliterEnable, 1);

    // Cancel leaves the rules.
    prompts.answerExec([](QDialog *d) {
        kid<QPushButton>(d, "pushButton_del")->click();
        kid<QPushButton>(d, "pushButton_cancel")->click();
        return d->result();
    });
    p->pushButton_fliterSet->click();
    EXPECT_EQ(p->cfg.rules.size(), 2);

    p->checkBox_fliterEn->setChecked(false);
    EXPECT_EQ(p->lineEdit_fliterNum->text(), "当前过滤器规则数量:0");
    EXPECT_FALSE(p->pushButton_fliterSet->isEnabled());
    EXPECT_EQ(p->cfg.fliterEnable, 0);
    EXPECT_EQ(p->cfg.rules.size(), 2);
    EXPECT_EQ(prompts.unanswered(), 0);
}

// The calculator gets the model from the list; its result sets both clocks
// and both words of the current page.
TEST_F(RecordDialog, CalculatorResultSetsThePage)
{
    QUserPromptScript prompts;
    Dlg g;
    g.tabs()->setCurrentIndex(1);
    QUserRecordChPage *p = g.p(1);
    choose(p->comboBox_workPro, 1);
    p->checkBox_selfBaud->setChecked(true);
    QString result;
    prompts.answerExec([&](QDialog *d) {
        EXPECT_EQ(kid<QComboBox>(d, "comboBox_devType")->currentText(), "TRND702");
        EXPECT_EQ(kid<QComboBox>(d, "comboBox_mainClk")->currentText(), "200");
        kid<QLineEdit>(d, "lineEdit_aBaud")->setText("500");
        kid<QLineEdit>(d, "lineEdit_dBaud")->setText("2000");
        kid<QPushButton>(d, "pushButton_cal")->click();
        result = kid<QLineEdit>(d, "lineEdit_result")->text();
        kid<QPushButton>(d, "pushButton_ok")->click();
        return d->result();
    });
    p->pushButton_baudCal->click();
    const QStringList words = result.section('(', -1).chopped(1).split(',');
    ASSERT_EQ(words.size(), 3) << result.toStdString();
    EXPECT_EQ(p->cfg.clockA, 200u);
    EXPECT_EQ(p->cfg.clockB, 200u);
    EXPECT_EQ(p->cfg.arbWord, words[1].toUInt(nullptr, 16));
    EXPECT_EQ(p->cfg.dataWord, words[2].toUInt(nullptr, 16));
    QString text;
    calcBaudText(200, p->cfg.arbWord, p->cfg.dataWord, text);
    EXPECT_EQ(p->lineEdit_baudText->text(), text);
    EXPECT_TRUE(text.startsWith("500.000Kbps")) << text.toStdString();
    int brp = 0, sjw = 0, t1 = 0, t2 = 0;
    unpackFdBaudTiming(p->cfg.arbWord, brp, sjw, t1, t2);
    EXPECT_EQ(p->lineEdit_aBrp->text(), QString::number(brp));
    EXPECT_EQ(p->lineEdit_aBs1->text(), QString::number(t1));
    EXPECT_EQ(g.p(0)->cfg.arbWord, 0x04C00106u) << "the other page is left alone";
}

// ---- open and close ------------------------------------------------------------

TEST_F(RecordDialog, OpenAndCloseTheAdapterOfTheModel)
{
    QUserPromptScript prompts;
    Dlg g;
    g.open();
    ASSERT_TRUE(g.d.isOpen());
    EXPECT_EQ(g.last(), "设备打开成功!");
    EXPECT_EQ(ctl->isOpen("R2"), 1);
    EXPECT_EQ(ctl->isOpen("R1"), 0);
    EXPECT_FALSE(g.btn("pushButton_open")->isEnabled());
    for (const char *b : {"pushButton_close", "pushButton_read", "pushButton_write"})
        EXPECT_TRUE(g.btn(b)->isEnabled()) << b;
    EXPECT_FALSE(g.model()->isEnabled());
    EXPECT_TRUE(g.p(0)->groupBox_devMgr->isEnabled());
    EXPECT_TRUE(g.p(1)->groupBox_devMgr->isEnabled());

    g.btn("pushButton_close")->click();
    EXPECT_FALSE(g.d.isOpen());
    EXPECT_EQ(g.last(), "设备已关闭!");
    EXPECT_EQ(ctl->isOpen("R2"), 0);
    EXPECT_TRUE(g.model()->isEnabled());
    EXPECT_FALSE(g.p(0)->groupBox_devMgr->isEnabled());

    choose(g.model(), 0);
    g.open();
    EXPECT_TRUE(g.d.isOpen());
    EXPECT_EQ(ctl->isOpen("R1"), 1);
    EXPECT_EQ(g.d.devType(), 61);
    EXPECT_TRUE(prompts.records().isEmpty());
}

TEST_F(RecordDialog, OpenRefusedStaysClosed)
{
    ASSERT_EQ(ctl->configure("adapter TRND702 name=R2 busy=1\n"), 1);
    QUserPromptScript prompts;
    Dlg g;
    g.open();
    EXPECT_FALSE(g.d.isOpen());
    EXPECT_EQ(g.last(), "设备打开失败!");
    EXPECT_TRUE(g.lastIsError());
    EXPECT_TRUE(hasBox(prompts, "错误", "设备打开失败!"));
    EXPECT_TRUE(g.btn("pushButton_open")->isEnabled());
    EXPECT_FALSE(g.btn("pushButton_write")->isEnabled());
}

// Without its library the dialog never counts the adapter as open.
TEST_F(RecordDialog, MissingLibraryKeepsEverythingClosed)
{
    QUserKemusbPath::setPathOverride("/nonexistent/libkemusb.so");
    QUserPromptScript prompts;
    Dlg g;
    EXPECT_FALSE(g.d.libraryLoaded());
    g.open();
    EXPECT_FALSE(g.d.isOpen());
    EXPECT_TRUE(g.p(0)->logLines().isEmpty());
    EXPECT_FALSE(g.btn("pushButton_write")->isEnabled());
    QMetaObject::invokeMethod(&g.d, "slotsComboxDevClose");
    EXPECT_EQ(g.last(), "设备已关闭!");
    EXPECT_EQ(g.d.diskCapGet(), -1);
    EXPECT_TRUE(prompts.records().isEmpty());
}

// Closing the dialog with the adapter open closes the adapter before the
// library goes: another holder of the library finds it closed.
TEST_F(RecordDialog, DestroyingTheDialogClosesItsAdapter)
{
    QUserPromptScript prompts;
    {
        Dlg g;
        g.open();
        ASSERT_TRUE(g.d.isOpen());
        ASSERT_EQ(ctl->isOpen("R2"), 1);
    }
    EXPECT_EQ(ctl->isOpen("R2"), 0);
    // Closed on the library's side too: a new dialog opens it again.
    Dlg again;
    again.open();
    EXPECT_TRUE(again.d.isOpen());
    EXPECT_EQ(ctl->isOpen("R2"), 1);
}

// The main window's way: dialogExec through the frame, for both models.
TEST_F(RecordDialog, RunsInItsFrameThroughThePromptSeam)
{
    QUserPromptScript prompts;
    Dlg g;
    prompts.answerExec([&](QDialog *frame) {
        EXPECT_EQ(frame->windowTitle(), "配置");
        EXPECT_EQ(frame->findChildren<QUserDlgFdRecordSet *>().size(), 1);
        auto *tabs = kid<QTabWidget>(frame, "tabWidget");
        EXPECT_EQ(tabs->count(), 2);
        chooseText(kid<QComboBox>(frame, "comboBox_devType"), "TRND701");
        EXPECT_EQ(tabs->count(), 1);
        kid<QPushButton>(frame, "pushButton_open")->click();
        kid<QPushButton>(frame, "pushButton_devInfo")->click();
        return 0; // the frame's close button
    });
    EXPECT_EQ(g.d.dialogExec(), 0);
    EXPECT_EQ(ctl->isOpen("R1"), 1);
    EXPECT_TRUE(g.last().startsWith("设备时间:")) << g.last().toStdString();
    EXPECT_EQ(prompts.unanswered(), 0);
}

// ---- storage commands ----------------------------------------------------------

// Capacity and device information, and their failures: a refused or short
// reply and no reply at all.
TEST_F(RecordDialog, CapacityAndDeviceInformation)
{
    QUserPromptScript prompts;
    Dlg g;
    g.open();
    g.p(0)->pushButton_diskCap->click();
    EXPECT_EQ(g.last(), "总空间: 7580MB 剩余空间: 7012MB");
    EXPECT_FALSE(g.lastIsError());

    ASSERT_EQ(ctl->clock("R2", 2024, 5, 7, 9, 3, 1), 1);
    g.p(0)->pushButton_devInfo->click();
    const QStringList lines = g.p(0)->logLines();
    ASSERT_GE(lines.size(), 2);
    EXPECT_EQ(lines[lines.size() - 2].mid(22), "硬件版本:V1.2 固件版本:V3.5 DLL:V1.0");
    EXPECT_TRUE(g.last() == "设备时间:2024-05-07 09:03:01" || g.last() == "设备时间:2024-05-07 09:03:02")
        << g.last().toStdString();

    struct Case {
        const char *what;
        int status;
        int fault;
        int result;
        const char *line; // "" for none
        bool red;
    };
    const Case cases[] = {
        {"no card", 3, 0, 2, "未发现存储设备!", true},
        {"other status", 5, 0, 2, "", false},
        {"short answer", 1, 2, -1, "容量查询失败!", true},
        {"bad check byte", 1, 3, -1, "容量查询失败!", true},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.what);
        g.p(0)->plainTextEdit_log->clear();
        ctl->card("R2", k.status, 100, 50);
        ctl->fault("R2", k.fault, 1, 5, 1);
        EXPECT_EQ(g.d.diskCapGet(), k.result);
        EXPECT_EQ(g.last(), QString::fromUtf8(k.line));
        if (*k.line) {
            EXPECT_EQ(g.lastIsError(), k.red);
        }
    }

    // The clock fails: the versions still show.
    ctl->card("R2", 1, 100, 50);
    ctl->fault("R2", 3, 1, 5, 4);
    g.p(0)->pushButton_devInfo->click();
    EXPECT_EQ(g.last(), "设备时间获取失败!");
    EXPECT_TRUE(g.lastIsError());
    EXPECT_TRUE(prompts.records().isEmpty());
}

// No answer at all: the transfer gives up after its time (passed at once on
// the library's manual clock) and the command counts as failed.
TEST_F(RecordDialog, SilentAdapterFailsTheCommand)
{
    ctl->manualTicks(1);
    ASSERT_EQ(ctl->configure(recsim::kTopology), 1);
    QUserPromptScript prompts;
    Dlg g;
    g.open();
    ctl->fault("R2", 1, 1, 5, 1);
    EXPECT_EQ(g.d.diskCapGet(), -1);
    EXPECT_EQ(g.last(), "容量查询失败!");
    QString text;
    ctl->fault("R2", 1, 1, 5, 4);
    EXPECT_EQ(g.d.devTimeGet(text), -1);
    EXPECT_TRUE(text.isEmpty());
    EXPECT_EQ(g.d.devTimeGet(text), 0) << "the fault was for one request";
}

// Format: Cancel in the question sends nothing; OK starts it, waits in the
// waiting dialog while the task polls, and reports the final status.
TEST_F(RecordDialog, FormatAsksFirstAndReportsTheFinalStatus)
{
    QUserPromptScript prompts;
    Dlg g;
    g.open();
    ctl->outClear("R2");
    prompts.answerExec(0);
    g.p(0)->pushButton_diskFormat->click();
    ASSERT_EQ(prompts.records().size(), 1);
    EXPECT_EQ(prompts.records()[0].title, "警告");
    EXPECT_TRUE(prompts.records()[0].text.contains("格式化将清空所有记录文件,\n确定继续?"))
        << prompts.records()[0].text.toStdString();
    EXPECT_TRUE(ctl->directWrites("R2").empty());

    recsim::Waited seen;
    ctl->disk("R2", 3, 1, 0, 0);
    prompts.answerExec(1);
    prompts.answerExec([&](QDialog *d) { return recsim::waitForClose(d, &seen); });
    g.p(0)->pushButton_diskFormat->click();
    EXPECT_TRUE(seen.closed);
    EXPECT_EQ(seen.tips, "操作中,请等待...");
    EXPECT_TRUE(seen.cancelHidden);
    EXPECT_TRUE(seen.modal);
    EXPECT_EQ(g.last(), "操作成功!");
    EXPECT_TRUE(hasBox(prompts, "提示", "操作成功!"));
    int formats = 0, tests = 0, polls = 0;
    ctl->counts("R2", &formats, &tests, &polls);
    EXPECT_EQ(formats, 1);
    EXPECT_EQ(polls, 4) << "three times 2, then the final status";
    g.p(0)->pushButton_diskCap->click();
    EXPECT_EQ(g.last(), "总空间: 7580MB 剩余空间: 7580MB");
}

// Final statuses of a format, each with its line and box; a start the
// adapter answers badly runs no task.
TEST_F(RecordDialog, FormatOutcomes)
{
    QUserPromptScript prompts;
    Dlg g;
    g.open();
    struct Case {
        const char *what;
        int runningPolls, finalStatus, card, startFault;
        int code;
        const char *text;
        bool waits;
    };
    const Case cases[] = {
        {"done", 0, 1, 1, 0, 1, "操作成功!", true},
        {"adapter failure", 2, 7, 1, 0, 7, "操作失败!", true},
        {"no card", 1, 1, 3, 0, 3, "未发现存储设备!", true},
        {"never finishes", 100000, 1, 1, 0, 4, "操作超时!", true},
        {"start refused", 0, 1, 1, 3, 0, "操作失败!", false},
        {"start cut short", 0, 1, 1, 2, 0, "操作失败!", false},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.what);
        QUserPromptScript p;
        ctl->disk("R2", k.runningPolls, k.finalStatus, 0, 0);
        ctl->card("R2", k.card, 10, 5);
        ctl->fault("R2", k.startFault, 1, 5, 0);
        int f0 = 0, t0 = 0, polls0 = 0;
        ctl->counts("R2", &f0, &t0, &polls0);
        recsim::Waited seen;
        if (k.waits)
            p.answerExec([&](QDialog *d) { return recsim::waitForClose(d, &seen); });
        EXPECT_EQ(g.d.diskFormatRun(), k.code);
        EXPECT_EQ(seen.closed, k.waits);
        EXPECT_EQ(g.last(), QString::fromUtf8(k.text));
        EXPECT_EQ(g.lastIsError(), k.code != 1);
        EXPECT_TRUE(hasBox(p, k.code == 1 ? "提示" : "错误", QString::fromUtf8(k.text)));
        int f1 = 0, t1 = 0, polls1 = 0;
        ctl->counts("R2", &f1, &t1, &polls1);
        if (!k.waits) {
            EXPECT_EQ(polls1, polls0) << "no task polls";
        }
        if (k.code == 4) {
            EXPECT_EQ(polls1 - polls0, 20);
        }
        EXPECT_EQ(p.unanswered(), 1) << "the report box";
    }
}

// A read/write test shows the speeds of that very test; a failed one leaves
// the earlier speeds and shows none.
TEST_F(RecordDialog, ReadWriteTestShowsItsSpeeds)
{
    QUserPromptScript prompts;
    Dlg g;
    g.open();
    recsim::Waited seen;
    ctl->disk("R2", 2, 1, 300, 80);
    prompts.answerExec([&](QDialog *d) { return recsim::waitForClose(d, &seen); });
    g.p(1)->pushButton_diskWRTest->click();
    EXPECT_EQ(seen.tips, "测试中,请等待...");
    EXPECT_EQ(g.d.readSpeed(), 300u);
    EXPECT_EQ(g.d.writeSpeed(), 80u);
    EXPECT_EQ(g.last(), "读速度:300MB/秒 写速度:80MB/秒");
    EXPECT_FALSE(g.lastIsError());
    EXPECT_EQ(prompts.records().size(), 1) << "no box after a passed test";

    ctl->disk("R2", 1, 6, 999, 999);
    prompts.answerExec([&](QDialog *d) { return recsim::waitForClose(d, nullptr); });
    EXPECT_EQ(g.d.diskWRTestRun(), 6);
    EXPECT_EQ(g.last(), "操作失败!");
    EXPECT_TRUE(hasBox(prompts, "错误", "操作失败!"));
    EXPECT_EQ(g.d.readSpeed(), 300u);
    EXPECT_EQ(g.d.writeSpeed(), 80u);
}

// A final status the task reports before the waiting dialog runs still
// closes it: the dialog is connected to the task before the task starts.
TEST_F(RecordDialog, FinalStatusReportedAtOnceIsNotLost)
{
    QUserPromptScript prompts;
    Dlg g;
    g.open();
    ctl->disk("R2", 0, 1, 0, 0);
    bool finishedFirst = false;
    g.d.setTaskStartHook([&](QThread *t) { finishedFirst = t->wait(testsupport::kGiveUpMs); });
    recsim::Waited seen;
    prompts.answerExec([&](QDialog *d) { return recsim::waitForClose(d, &seen); });
    EXPECT_EQ(g.d.diskFormatRun(), 1);
    EXPECT_TRUE(finishedFirst);
    EXPECT_TRUE(seen.closed);
    EXPECT_EQ(g.last(), "操作成功!");
}

// A waiting dialog that returns before the report (the user pressed Esc)
// does not turn the adapter's outcome into a failure.
TEST_F(RecordDialog, WaitingDialogLeftEarlyStillReportsTheOutcome)
{
    QUserPromptScript prompts;
    Dlg g;
    g.open();
    ctl->disk("R2", 2, 1, 120, 60);
    prompts.answerExec(0);
    EXPECT_EQ(g.d.diskWRTestRun(), 1);
    EXPECT_EQ(g.last(), "读速度:120MB/秒 写速度:60MB/秒");
}

// Esc on the waiting dialog while the command runs: the dialog stays and
// closes with the adapter's report (not early, leaving the window waiting
// with nothing shown).
TEST_F(RecordDialog, WaitingDialogIgnoresEscWhileItsCommandRuns)
{
    QUserPromptScript prompts;
    Dlg g;
    g.open();
    ctl->disk("R2", 2, 1, 120, 60);
    bool openAfterEsc = false;
    recsim::Waited seen;
    prompts.answerExec([&](QDialog *d) {
        bool finished = false;
        QObject::connect(d, &QDialog::finished, [&] { finished = true; });
        d->show();
        QTest::keyClick(d, Qt::Key_Escape);
        d->close();
        openAfterEsc = d->isVisible() && !finished;
        return recsim::waitForClose(d, &seen);
    });
    EXPECT_EQ(g.d.diskWRTestRun(), 1);
    EXPECT_TRUE(openAfterEsc);
    EXPECT_TRUE(seen.closed) << "closed by the report";
    EXPECT_EQ(g.last(), "读速度:120MB/秒 写速度:60MB/秒");
}

// ---- the bytes on the wire -------------------------------------------------------

// Every command as the adapter receives it, opened by python3-cryptography
// and held against the command table.
TEST_F(RecordDialog, CommandsOnTheWireAgainstPeer)
{
    REQUIRE_PEER_MODULES("cryptography");
    QUserPromptScript prompts;
    Dlg g;
    g.d.setNowSource([] { return QDateTime(QDate(2031, 12, 30), QTime(23, 59, 58)); });
    g.open();
    ctl->disk("R2", 1, 1, 10, 20);
    ctl->outClear("R2");
    std::vector<std::string> args;
    const auto take = [&](std::vector<std::string> names) {
        const std::vector<std::string> w = ctl->directWrites("R2");
        EXPECT_EQ(w.size(), names.size());
        for (size_t i = 0; i < w.size() && i < names.size(); ++i)
            args.push_back(names[i] + "=" + w[i]);
        ctl->outClear("R2");
    };
    g.d.diskCapGet();
    take({"capacity"});
    QString t;
    g.d.devTimeGet(t);
    take({"timeget"});
    EXPECT_EQ(g.d.devTimeSync(), 0);
    take({"timesync:2031-12-30T23:59:58"});
    EXPECT_EQ(g.d.devTimeGet(t), 0);
    EXPECT_TRUE(t == "2031-12-30 23:59:58" || t == "2031-12-30 23:59:59") << t.toStdString();
    ctl->outClear("R2");
    prompts.answerExec([&](QDialog *d) { return recsim::waitForClose(d, nullptr); });
    EXPECT_EQ(g.d.diskFormatRun(), 1);
    take({"format", "poll-format", "poll-format"});
    prompts.answerExec([&](QDialog *d) { return recsim::waitForClose(d, nullptr); });
    EXPECT_EQ(g.d.diskWRTestRun(), 1);
    take({"wrtest", "poll-wrtest", "poll-wrtest"});

    const peer::Result r = peer::run(peer::script("devtools_record_cmds.py"), args);
    EXPECT_EQ(r.exitCode, 0) << r.output;
    size_t oks = 0;
    for (size_t at = r.output.find("ok "); at != std::string::npos; at = r.output.find("ok ", at + 1))
        ++oks;
    EXPECT_EQ(oks, args.size()) << r.output;
}

// ---- settings --------------------------------------------------------------------

namespace {

QUserFliterRule rule(uint8_t ext, uint8_t range, uint32_t start, uint32_t end)
{
    QUserFliterRule r;
    r.extended = ext;
    r.range = range;
    r.startId = start;
    r.endId = end;
    return r;
}

void expectSame(const QUserRecordChCfg &a, const QUserRecordChCfg &b)
{
    EXPECT_EQ(a.fd, b.fd);
    EXPECT_EQ(a.iso, b.iso);
    EXPECT_EQ(a.listenOnly, b.listenOnly);
    EXPECT_EQ(a.customTiming, b.customTiming);
    EXPECT_EQ(a.channelOn, b.channelOn);
    EXPECT_EQ(a.fliterEnable, b.fliterEnable);
    EXPECT_EQ(a.fileFormat, b.fileFormat);
    EXPECT_EQ(a.fileInterval, b.fileInterval);
    EXPECT_EQ(a.diskPolicy, b.diskPolicy);
    EXPECT_EQ(a.clockA, b.clockA);
    EXPECT_EQ(a.clockB, b.clockB);
    EXPECT_EQ(a.arbWord, b.arbWord);
    EXPECT_EQ(a.dataWord, b.dataWord);
    EXPECT_EQ(a.rules, b.rules);
}

} // namespace

// Two channels set in the widgets, written, and read back by a new dialog:
// records and widgets come back equal; the filter lists on the adapter keep
// their types (a standard range stays type 2).
TEST_F(RecordDialog, SettingsWrittenThenReadBackEqual)
{
    QUserPromptScript prompts;
    QUserRecordChCfg written[2];
    {
        Dlg g;
        g.open();
        QUserRecordChPage *a = g.p(0);
        choose(a->comboBox_workPro, 1);
        a->comboBox_iso->setCurrentIndex(1);
        a->comboBox_workMode->setCurrentIndex(1);
        a->checkBox_chEnable->setChecked(true);
        chooseText(a->comboBox_aBaud, "500kbps 80%");
        chooseText(a->comboBox_dBaud, "2Mbps 80%");
        a->comboBox_fileFormat->setCurrentIndex(3);
        a->lineEdit_fileInterval->setText("255");
        a->comboBox_diskPolicy->setCurrentIndex(1);
        a->checkBox_fliterEn->setChecked(true);
        a->cfg.rules = {rule(0, 0, 0x123, 0x123), rule(1, 1, 0x100, 0x1FF), rule(0, 1, 0x10, 0x20),
                        rule(1, 0, 0x1ABCDEF0, 0x1ABCDEF0)};

        QUserRecordChPage *b = g.p(1);
        choose(b->comboBox_workPro, 1);
        b->checkBox_selfBaud->setChecked(true);
        b->lineEdit_aBrp->setText("10");
        b->lineEdit_aSjw->setText("2");
        b->lineEdit_aBs1->setText("15");
        b->lineEdit_aBs2->setText("4");
        b->lineEdit_dBrp->setText("4");
        b->lineEdit_dSjw->setText("1");
        b->lineEdit_dBs1->setText("7");
        b->lineEdit_dBs2->setText("2");
        b->lineEdit_fileInterval->setText("");
        b->cfg.rules = {rule(0, 0, 0x7FF, 0x7FF)};

        g.btn("pushButton_write")->click();
        EXPECT_EQ(g.last(), "写入成功!");
        const QStringList lines = g.p(0)->logLines();
        EXPECT_EQ(lines.value(lines.size() - 2).mid(22), "设备时间同步成功!");
        EXPECT_TRUE(prompts.records().isEmpty());
        EXPECT_EQ(a->cfg.arbWord, 0x09C00106u);
        EXPECT_EQ(a->cfg.dataWord, 0x02400106u);
        uint32_t w = 0;
        packFdBaudTiming(10, 2, 15, 4, w);
        EXPECT_EQ(b->cfg.arbWord, w) << "custom fields, whatever the lists show";
        packFdBaudTiming(4, 1, 7, 2, w);
        EXPECT_EQ(b->cfg.dataWord, w);
        EXPECT_EQ(b->cfg.fileInterval, 10) << "empty interval";
        written[0] = a->cfg;
        written[1] = b->cfg;

        // On the adapter: filter switch and list per channel, types kept.
        int kind = -1, on = -1;
        uint32_t s = 0, e = 0;
        ASSERT_EQ(ctl->filter("R2", 0, 2, &kind, &s, &e, &on), 4);
        EXPECT_EQ(on, 1);
        EXPECT_EQ(kind, 2);
        EXPECT_EQ(s, 0x10u);
        EXPECT_EQ(e, 0x20u);
        ctl->filter("R2", 0, 1, &kind, &s, &e, &on);
        EXPECT_EQ(kind, 3);
        ASSERT_EQ(ctl->filter("R2", 1, 0, &kind, &s, &e, &on), 1);
        EXPECT_EQ(on, 0) << "rules written, filter off";
        EXPECT_EQ(kind, 0);
    }
    EXPECT_EQ(ctl->isOpen("R2"), 0);

    Dlg g;
    g.open();
    g.btn("pushButton_read")->click();
    EXPECT_EQ(g.last(), "读取成功!");
    EXPECT_TRUE(prompts.records().isEmpty()) << "valid settings: no box";
    for (int ch = 0; ch < 2; ++ch) {
        SCOPED_TRACE(ch);
        const QUserRecordChCfg &c = g.p(ch)->cfg;
        expectSame(c, written[ch]);
        QString text;
        calcBaudText(200, c.arbWord, c.dataWord, text);
        EXPECT_EQ(g.p(ch)->lineEdit_baudText->text(), text);
    }
    QUserRecordChPage *a = g.p(0);
    EXPECT_EQ(a->comboBox_workPro->currentText(), "CANFD");
    EXPECT_EQ(a->comboBox_iso->currentText(), "CANFD-ISO");
    EXPECT_EQ(a->comboBox_workMode->currentIndex(), 1);
    EXPECT_TRUE(a->checkBox_chEnable->isChecked());
    EXPECT_EQ(a->comboBox_aBaud->currentText(), "500kbps 80%");
    EXPECT_EQ(a->comboBox_dBaud->currentText(), "2Mbps 80%");
    EXPECT_EQ(a->comboBox_fileFormat->currentText(), "CSV");
    EXPECT_EQ(a->lineEdit_fileInterval->text(), "255");
    EXPECT_EQ(a->comboBox_diskPolicy->currentIndex(), 1);
    EXPECT_TRUE(a->checkBox_fliterEn->isChecked());
    EXPECT_EQ(a->lineEdit_fliterNum->text(), "当前过滤器规则数量:4");
    QUserRecordChPage *b = g.p(1);
    EXPECT_TRUE(b->checkBox_selfBaud->isChecked());
    EXPECT_EQ(b->lineEdit_aBrp->text(), "10");
    EXPECT_EQ(b->lineEdit_aBs1->text(), "15");
    EXPECT_EQ(b->lineEdit_dBs2->text(), "2");
    EXPECT_EQ(b->lineEdit_fileInterval->text(), "10");
    EXPECT_EQ(b->lineEdit_fliterNum->text(), "当前过滤器规则数量:0") << "filter off";

    // Written back unchanged, the adapter's list is the same.
    g.btn("pushButton_write")->click();
    EXPECT_EQ(g.last(), "写入成功!");
    int kind = -1, on = -1;
    uint32_t s = 0, e = 0;
    EXPECT_EQ(ctl->filter("R2", 0, 2, &kind, &s, &e, &on), 4);
    EXPECT_EQ(kind, 2);
}

// The one-channel model writes channel 0 only: its arbitration word from
// the preset row at 60 MHz, and the data word of the hidden data list.
TEST_F(RecordDialog, OneChannelModelWritesItsPresets)
{
    QUserPromptScript prompts;
    Dlg g;
    choose(g.model(), 0);
    g.open();
    chooseText(g.p(0)->comboBox_aBaud, "500kbps 80%");
    ctl->outClear("R1");
    g.btn("pushButton_write")->click();
    EXPECT_EQ(g.last(), "写入成功!");
    RecordSetting rec;
    ASSERT_EQ(ctl->settingGet(61, 0, 0, &rec), 1u);
    EXPECT_EQ(rec.arbWord, 0x02C00106u);
    EXPECT_EQ(rec.dataWord, 0x00800001u);
    EXPECT_EQ(rec.fd, 0);
    EXPECT_EQ(rec.clockA, 60);
    EXPECT_EQ(rec.clockB, 60);
    for (const std::string &w : ctl->writes("R1"))
        EXPECT_NE(w.substr(0, 6), "550301") << "no write for channel 1";

    // Zero rules: the filter is still switched off and the list cleared.
    std::vector<std::string> filterCmds;
    for (const std::string &w : ctl->writes("R1"))
        if (w.rfind("5504", 0) == 0)
            filterCmds.push_back(w.substr(0, 8));
    EXPECT_EQ(filterCmds, std::vector<std::string>({"55040300", "55040000"}));
}

// The interval field is checked before anything is written: outside 1-255
// the write is refused with the range message instead of reaching the
// adapter cut to 8 bits (300 would be 44).
TEST_F(RecordDialog, IntervalOutsideItsRangeIsRefused)
{
    Dlg g;
    g.open();
    for (const char *text : {"300", "0", "256", "999"}) {
        SCOPED_TRACE(text);
        QUserPromptScript prompts;
        g.p(1)->lineEdit_fileInterval->setText(text);
        ctl->outClear("R2");
        g.btn("pushButton_write")->click();
        EXPECT_EQ(g.last(), "写入失败!");
        EXPECT_TRUE(g.lastIsError());
        EXPECT_TRUE(hasBox(prompts, "错误", "文件创建间隔有效范围:1-255"));
        EXPECT_TRUE(ctl->writes("R2").empty()) << "nothing reaches the adapter";
    }
    QUserPromptScript prompts;
    g.p(1)->lineEdit_fileInterval->setText("1");
    g.btn("pushButton_write")->click();
    EXPECT_EQ(g.last(), "写入成功!");
    RecordSetting rec;
    ASSERT_EQ(ctl->settingGet(62, 0, 1, &rec), 1u);
    EXPECT_EQ(rec.fileInterval, 1);
}

// Custom bit-timing fields are checked before anything is sent: an empty,
// non-numeric or out-of-range field (which would spill into the next field
// of the timing word) refuses the write with a box naming the field.
TEST_F(RecordDialog, CustomTimingFieldsOutsideTheirRangeAreRefused)
{
    Dlg g;
    g.open();
    QUserRecordChPage *b = g.p(1);
    choose(b->comboBox_workPro, 1);
    b->checkBox_selfBaud->setChecked(true);
    struct Case {
        QLineEdit *field;
        const char *text;
        const char *box;
    } const cases[] = {
        {b->lineEdit_aBrp, "", "CAN1 仲裁域预分频有效范围:1-1024"},
        {b->lineEdit_aBrp, "1025", "CAN1 仲裁域预分频有效范围:1-1024"},
        {b->lineEdit_aSjw, "abc", "CAN1 仲裁域SJW有效范围:1-4"},
        {b->lineEdit_aSjw, "5", "CAN1 仲裁域SJW有效范围:1-4"},
        {b->lineEdit_aBs1, "0", "CAN1 仲裁域BS1有效范围:1-256"},
        {b->lineEdit_aBs1, "257", "CAN1 仲裁域BS1有效范围:1-256"},
        {b->lineEdit_aBs2, "129", "CAN1 仲裁域BS2有效范围:1-128"},
        {b->lineEdit_dBrp, "-1", "CAN1 数据域预分频有效范围:1-1024"},
        {b->lineEdit_dBs2, " ", "CAN1 数据域BS2有效范围:1-128"},
    };
    const auto fill = [b] {
        for (QLineEdit *e : {b->lineEdit_aBrp, b->lineEdit_dBrp})
            e->setText("4");
        for (QLineEdit *e : {b->lineEdit_aSjw, b->lineEdit_dSjw})
            e->setText("1");
        b->lineEdit_aBs1->setText("15");
        b->lineEdit_aBs2->setText("4");
        b->lineEdit_dBs1->setText("7");
        b->lineEdit_dBs2->setText("2");
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.box);
        SCOPED_TRACE(c.text);
        fill();
        c.field->setText(QString::fromLatin1(c.text));
        QUserPromptScript prompts;
        ctl->outClear("R2");
        g.btn("pushButton_write")->click();
        EXPECT_EQ(g.last(), "写入失败!");
        EXPECT_TRUE(g.lastIsError());
        EXPECT_TRUE(hasBox(prompts, "错误", c.box));
        EXPECT_TRUE(ctl->writes("R2").empty()) << "nothing reaches the adapter";
    }
    // At the top of every range the word is the one the fields give.
    fill();
    b->lineEdit_aBrp->setText("1024");
    b->lineEdit_aSjw->setText("128");
    b->lineEdit_aBs1->setText("256");
    b->lineEdit_aBs2->setText("128");
    QUserPromptScript prompts;
    g.btn("pushButton_write")->click();
    EXPECT_EQ(g.last(), "写入成功!");
    RecordSetting rec;
    ASSERT_EQ(ctl->settingGet(62, 0, 1, &rec), 1u);
    EXPECT_EQ(rec.arbWord, 0xFFFFFFFFu);
    uint32_t w = 0;
    packFdBaudTiming(4, 1, 7, 2, w);
    EXPECT_EQ(rec.dataWord, w);
}

// Custom timing read back whose fields no range allows (SJW beyond BS2) is
// shown as out of range, not as a rate, and the user is asked to write again.
TEST_F(RecordDialog, CustomTimingReadBackOutOfRangeIsShownAsSuch)
{
    Dlg g;
    g.open();
    RecordSetting rec;
    rec.fd = 1;
    rec.customTiming = 1;
    rec.clockA = rec.clockB = 200;
    rec.fileInterval = 10;
    packFdBaudTiming(10, 8, 15, 4, rec.arbWord);
    packFdBaudTiming(4, 1, 7, 2, rec.dataWord);
    ASSERT_EQ(ctl->settingSet(62, 0, 0, &rec), 1u);
    packFdBaudTiming(10, 2, 15, 4, rec.arbWord);
    ASSERT_EQ(ctl->settingSet(62, 0, 1, &rec), 1u);
    QUserPromptScript prompts;
    g.btn("pushButton_read")->click();
    EXPECT_EQ(g.last(), "读取成功!");
    EXPECT_TRUE(hasBox(prompts, "错误", "设备参数无效,请重新写入配置!"));
    EXPECT_EQ(g.p(0)->lineEdit_baudText->text(), "自定义波特率参数超出范围!");
    EXPECT_EQ(g.p(0)->lineEdit_aSjw->text(), "8") << "shown as read";
    QString text;
    calcBaudText(200, g.p(1)->cfg.arbWord, g.p(1)->cfg.dataWord, text);
    EXPECT_EQ(g.p(1)->lineEdit_baudText->text(), text) << "a valid custom timing shows its rate";
}

// Settings read back are checked against the model, repaired and shown;
// the user is asked to write again.
TEST_F(RecordDialog, ReadRepairsWhatDoesNotFitTheModel)
{
    Dlg g;
    g.open();
    struct Case {
        const char *what;
        uint8_t clockA, interval;
        uint32_t data;
        bool invalidBox, intervalBox;
        const char *dataText;
    };
    const Case cases[] = {
        {"clock 80", 80, 10, 0x02400106, true, false, "2Mbps 80%"},
        {"interval 0", 200, 0, 0x02400106, false, true, "2Mbps 80%"},
        {"50 kbit/s data word", 200, 10, 0x63C00106, false, false, "自定义"},
        {"data word not a preset", 200, 10, 0x0BADBEEF, true, false, "5Mbps 75%"},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.what);
        RecordSetting rec;
        rec.fd = 1;
        rec.clockA = k.clockA;
        rec.clockB = 200;
        rec.arbWord = 0x09C00106;
        rec.dataWord = k.data;
        rec.fileInterval = k.interval;
        ASSERT_EQ(ctl->settingSet(62, 0, 0, &rec), 1u);
        rec.clockA = 200;
        rec.dataWord = 0x02400106;
        rec.fileInterval = 10;
        ASSERT_EQ(ctl->settingSet(62, 0, 1, &rec), 1u);

        QUserPromptScript prompts;
        g.btn("pushButton_read")->click();
        EXPECT_EQ(g.last(), "读取成功!");
        EXPECT_EQ(hasBox(prompts, "错误", "设备参数无效,请重新写入配置!"), k.invalidBox);
        EXPECT_EQ(hasBox(prompts, "错误", "文件创建间隔有效范围:1-255"), k.intervalBox);
        QUserRecordChPage *p = g.p(0);
        EXPECT_EQ(p->cfg.clockA, 200u);
        EXPECT_EQ(items(p->comboBox_clkA), QStringList({"200"}));
        EXPECT_EQ(p->lineEdit_fileInterval->text(), QString::number(k.interval));
        EXPECT_EQ(p->comboBox_dBaud->currentText(), QString::fromUtf8(k.dataText));
    }
}

// A record function the adapter refuses stops the write or read at once,
// with the channel's box and the red line.
TEST_F(RecordDialog, RefusedRecordFunctionsStopWriteAndRead)
{
    QUserPromptScript prompts;
    Dlg g;
    g.open();
    // The time sync's answer is refused after both channels were written.
    ctl->fault("R2", 3, 1, 5, 3);
    g.btn("pushButton_write")->click();
    EXPECT_EQ(g.last(), "写入失败!");
    EXPECT_TRUE(hasBox(prompts, "错误", "设备时间同步失败!"));
    const QStringList lines = g.p(0)->logLines();
    EXPECT_EQ(lines.value(lines.size() - 2).mid(22), "设备时间同步失败!");

    // A write the adapter never gets: the first channel's setting fails,
    // and so does the first read.
    QUserPromptScript p2;
    ctl->failWrites("R2", 1);
    g.btn("pushButton_write")->click();
    EXPECT_EQ(g.last(), "写入失败!");
    EXPECT_TRUE(hasBox(p2, "错误", "CAN0配置失败!"));
    ctl->failWrites("R2", 1);
    g.btn("pushButton_read")->click();
    EXPECT_EQ(g.last(), "读取失败!");
    EXPECT_TRUE(hasBox(p2, "错误", "CAN0读取失败!"));
}

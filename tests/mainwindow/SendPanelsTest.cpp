// The two send panels on stand-in channels (StubChannelDevice): what the
// basic panel accepts and refuses and how it follows the channel, the
// advanced list's menu actions, start checks, list files (entries checked
// on load, commas in comments), the single send by double click.

#include "tests/mainwindow/MainWindowTestEnv.h"

#include "tests/mainwindow/StubChannelDevice.h"
#include "core/QUserDevId.h"
#include "devices/QUserDeviceAdapter.h"
#include "mainwindow/MainWindow.h"
#include "mainwindow/MainWindowForm.h"
#include "mainwindow/QUserMainWindowLayout.h"
#include "mainwindow/QUserTableModelCan.h"
#include "mainwindow/uiDlgCanMsgForm.h"
#include "traffic/QUserAdvanceSend.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextEdit>
#include <QTextStream>

#include <memory>

namespace {

const QString kFd0 = QStringLiteral("USBCANFD2-0-0");
const QString kFd1 = QStringLiteral("USBCANFD2-0-1");
const QString kClassic0 = QStringLiteral("USBCAN2-0-0");

QStringList items(const QComboBox *c)
{
    QStringList l;
    for (int i = 0; i < c->count(); ++i)
        l << c->itemText(i);
    return l;
}

QStringList lens(bool fd)
{
    QStringList l;
    for (int i = 0; i <= 8; ++i)
        l << QString::number(i);
    if (fd)
        l << QStringList{"12", "16", "20", "24", "32", "48", "64"};
    return l;
}

QUserCanMsg entry(const QString &id, const QString &note, bool enabled = true)
{
    QUserCanMsg m(id, false, false, QStringLiteral("2"), QStringLiteral("A1B2"));
    m.auxText2 = note;
    m.rowEnable = enabled ? 1 : 0;
    return m;
}

bool writeFile(const QString &path, const QStringList &lines)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QTextStream out(&f);
    out.setCodec("UTF-8");
    for (const QString &l : lines)
        out << l << "\r\n";
    return true;
}

} // namespace

class SendPanelsTest : public MainWindowEnv
{
protected:
    void SetUp() override
    {
        MainWindowEnv::SetUp();
        w.reset(new MainWindow);
        fdStub = new StubChannelDevice;
        classicStub = new StubChannelDevice;
        w->devAdapterGet()->deviceReplace("USBCANFD2", fdStub);
        w->devAdapterGet()->deviceReplace("USBCAN2", classicStub);
    }
    void TearDown() override { w.reset(); }

    void openFd()
    {
        for (const QString &id : {kFd0, kFd1}) {
            QUserDevChState st(id, 1);
            st.fdEnableSet(1);
            fdStub->states.insert(id, st);
        }
        fdStub->openIds = QStringList{kFd0, kFd1};
        ASSERT_TRUE(w->devOpen("USBCANFD2"));
    }
    void openClassic()
    {
        classicStub->states.insert(kClassic0, QUserDevChState(kClassic0, 0));
        classicStub->openIds = QStringList{kClassic0};
        ASSERT_TRUE(w->devOpen("USBCAN2"));
    }
    void selectTab(const QString &id)
    {
        QTabWidget *tabs = w->layoutGet()->tabDataShow;
        for (int i = 0; i < tabs->count(); ++i)
            if (tabs->tabText(i) == getDevIdTextEx(w->languageCodeGet(), id))
                tabs->setCurrentIndex(i);
        ASSERT_EQ(w->curTabDevGet(), id);
    }
    QUserMainWindowLayout::BasicSend &basic() { return w->layoutGet()->basic; }
    QUserMainWindowLayout::AdvSend &adv() { return w->layoutGet()->adv; }
    QTableWidget *table() { return w->layoutGet()->tabAdvSendTable; }
    QUserSendTask advTask(const QString &id)
    {
        QUserSendTask t;
        w->devAdapterGet()->advanceSendParaGet(id, t);
        return t;
    }
    // Opens the list's menu over a row (or below the rows with -1) and
    // closes it again: the actions then act on that row.
    void menuAt(int row)
    {
        QPoint pos(5, 5);
        if (row >= 0) {
            pos = table()->visualRect(table()->model()->index(row, 1)).center();
        } else {
            pos = QPoint(5, table()->viewport()->height() - 2);
            ASSERT_FALSE(table()->indexAt(pos).isValid()) << "not below the rows";
        }
        w->soltTabAdvanceSendPopMenue(pos);
        w->layoutGet()->tabAdvSendMenu->hide();
    }
    QStringList ids()
    {
        QStringList l;
        for (int r = 0; r < table()->rowCount(); ++r)
            l << table()->item(r, 2)->text().trimmed();
        return l;
    }
    QStringList numbers()
    {
        QStringList l;
        for (int r = 0; r < table()->rowCount(); ++r)
            l << table()->item(r, 0)->text();
        return l;
    }
    void setList(const QString &id, const QVector<QUserCanMsg> &list)
    {
        QUserSendTask t = advTask(id);
        t.msgList = list;
        w->devAdapterGet()->advanceSendParaSet(id, t);
        w->uiTabAdvSendUpdate();
    }

    std::unique_ptr<MainWindow> w;
    StubChannelDevice *fdStub = nullptr;
    StubChannelDevice *classicStub = nullptr;
};

// ---- basic panel -----------------------------------------------------------

TEST_F(SendPanelsTest, BasicPanelChecksIdentifierAndFramesPerSend)
{
    openFd();
    struct Case {
        int type;
        const char *id, *perSend, *sends, *period;
        const char *box; // null: accepted
        const char *idShown;
    } const cases[] = {
        {1, "1FFFFFFF", "1", "1", "10", nullptr, "1FFFFFFF "},
        {1, "20000000", "1", "1", "10", "扩展帧ID错误,有效范围:0-1FFFFFFF", nullptr},
        {1, "FFFFFFFF", "1", "1", "10", "扩展帧ID错误,有效范围:0-1FFFFFFF", nullptr},
        {0, "000007FF", "1", "1", "10", nullptr, "000007FF "},
        {0, "00000800", "1", "1", "10", "标准帧ID错误,有效范围:0-7FF", nullptr},
        {0, "80000000", "1", "1", "10", "标准帧ID错误,有效范围:0-7FF", nullptr},
        {0, "", "1", "1", "10", nullptr, "00000000 "},
        {0, "00000100", "0", "1", "10", "[每次发送帧数]:有效范围:1-32", nullptr},
        {0, "00000100", "33", "1", "10", "[每次发送帧数]:有效范围:1-32", nullptr},
        {0, "00000100", "", "1", "10", "[每次发送帧数]:有效范围:1-32", nullptr},
        {0, "00000100", "32", "", "", nullptr, "00000100 "},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.id);
        SCOPED_TRACE(c.perSend);
        basic().frameType->setCurrentIndex(c.type);
        basic().id->setText(c.id);
        basic().perSendCnt->setText(c.perSend);
        basic().sendCnt->setText(c.sends);
        basic().period->setText(c.period);
        const int before = prompts.records().size();
        if (c.box)
            prompts.answerExec(1);
        QUserSendTask task;
        task.reqSendCnt = 77;
        task.period = 77;
        const bool ok = w->tabBasicSendParaCheck(&task);
        EXPECT_EQ(ok, c.box == nullptr);
        ASSERT_EQ(prompts.records().size(), before + (c.box ? 1 : 0));
        if (c.box) {
            EXPECT_EQ(prompts.last().title, "错误");
            EXPECT_TRUE(prompts.last().text.contains(QString::fromUtf8(c.box))) << prompts.last().text.toStdString();
            continue;
        }
        EXPECT_EQ(task.msg.idText, c.idShown);
        EXPECT_EQ(basic().id->text(), c.idShown);
        EXPECT_EQ(task.perSendCnt, QString(c.perSend).toUInt());
        // Empty counts read as 0.
        EXPECT_EQ(task.reqSendCnt, QString(c.sends).toUInt());
        EXPECT_EQ(task.period, QString(c.period).toLongLong());
    }
    // A refused start sends nothing and leaves the channel idle.
    basic().frameType->setCurrentIndex(0);
    basic().id->setText("00000800");
    prompts.answerExec(1);
    w->soltTabBasicSendStart();
    EXPECT_TRUE(log.contains("Send Start Fail, Send Info Get fail..."));
    QUserSendTask t;
    w->devAdapterGet()->basicSendParaGet(w->curTabDevGet(), t);
    EXPECT_EQ(t.running, 0);
    EXPECT_EQ(prompts.unanswered(), 0);
}

TEST_F(SendPanelsTest, BasicPanelFollowsTheChannel)
{
    // Welcome tab: nothing to start.
    EXPECT_FALSE(basic().start->isEnabled());
    EXPECT_FALSE(basic().stop->isEnabled());
    w->soltTabBasicSendStart();
    w->soltTabBasicSendStop();
    EXPECT_TRUE(log.contains("Send Start Fail, devId Get fail..."));
    EXPECT_TRUE(log.contains("Send Stop Fail, devId Get fail..."));

    // A classic channel: CAN only, lengths 0 to 8.
    openClassic();
    EXPECT_TRUE(basic().start->isEnabled());
    EXPECT_FALSE(basic().stop->isEnabled());
    EXPECT_FALSE(basic().protocol->isEnabled());
    EXPECT_EQ(basic().protocol->currentIndex(), 0);
    EXPECT_EQ(items(basic().len), lens(false));

    // A CAN FD channel: "CANFD加速" takes effect at once and is kept by the
    // channel before any start.
    openFd();
    selectTab(kFd0);
    EXPECT_TRUE(basic().protocol->isEnabled());
    basic().protocol->setCurrentIndex(2);
    EXPECT_FALSE(basic().frameFormat->isEnabled());
    EXPECT_EQ(basic().frameFormat->currentIndex(), 0);
    EXPECT_EQ(items(basic().len), lens(true));
    QUserSendTask t;
    ASSERT_TRUE(w->devAdapterGet()->basicSendParaGet(kFd0, t));
    EXPECT_EQ(t.msg.protocol, 2);

    // Data fitted to the length: cut, and padded with 00 pairs.
    basic().len->setCurrentText("2");
    basic().data->setPlainText("11 22 33 44");
    basic().sendCnt->setText("1");
    basic().period->setText("10");
    basic().perSendCnt->setText("1");
    QUserSendTask task;
    w->devAdapterGet()->basicSendParaGet(kFd0, task);
    ASSERT_TRUE(w->tabBasicSendParaCheck(&task));
    EXPECT_EQ(basic().data->toPlainText(), "11 22");
    EXPECT_EQ(task.msg.dataText, "1122");
    EXPECT_EQ(task.msg.fdFlags, 1); // bit-rate switch on a CAN FD channel
    basic().len->setCurrentText("12");
    basic().data->setPlainText("11");
    ASSERT_TRUE(w->tabBasicSendParaCheck(&task));
    EXPECT_EQ(basic().data->toPlainText(), "11" + QString(" 00").repeated(11));

    // Each channel keeps its own frame across tab switches.
    basic().id->setText("00000321");
    ASSERT_TRUE(w->tabBasicSendParaCheck(&task));
    w->devAdapterGet()->basicSendParaSet(kFd0, task);
    selectTab(kFd1);
    EXPECT_NE(basic().id->text(), "00000321 ");
    EXPECT_EQ(basic().protocol->currentIndex(), 0);
    selectTab(kFd0);
    EXPECT_EQ(basic().id->text(), "00000321 ");
    EXPECT_EQ(basic().protocol->currentIndex(), 2);
    EXPECT_EQ(basic().len->currentText(), "12");
}

// ---- advanced panel --------------------------------------------------------

TEST_F(SendPanelsTest, AddOpensTheEditorWithTheChannelsDefault)
{
    struct Seen {
        QString protocol, len, data;
        bool protocolEnabled = false;
        QString title;
    };
    auto addOne = [this](Seen &seen) {
        prompts.answerExec([&seen](QDialog *d) {
            seen.protocol = d->findChild<QComboBox *>("comboBox_proco")->currentText();
            seen.protocolEnabled = d->findChild<QComboBox *>("comboBox_proco")->isEnabled();
            seen.len = d->findChild<QComboBox *>("comboBox_len")->currentText();
            seen.data = d->findChild<QTextEdit *>("textEdit_data")->toPlainText();
            d->findChild<QPushButton *>("pushButton_ok")->click();
            return d->result();
        });
        w->soltTabAdvanceSendPopMenueActAdd();
        seen.title = prompts.last().title;
    };

    openFd();
    Seen fd;
    addOne(fd);
    EXPECT_EQ(fd.title, "新增");
    EXPECT_EQ(fd.protocol, "CANFD加速");
    EXPECT_TRUE(fd.protocolEnabled);
    EXPECT_EQ(fd.len, "64");
    EXPECT_EQ(fd.data, "00 11 22 33 44 55 66 77 88 99 AA BB CC DD EE FF" + QString(" 00").repeated(48));
    // Appended and handed to the channel's sender.
    ASSERT_EQ(table()->rowCount(), 1);
    EXPECT_EQ(table()->item(0, 3)->text(), "CANFD加速");
    ASSERT_EQ(advTask(kFd1).msgList.size(), 1);
    EXPECT_EQ(advTask(kFd1).msgList.at(0).lenText, "64");

    openClassic();
    Seen classic;
    addOne(classic);
    EXPECT_EQ(classic.protocol, "CAN");
    EXPECT_FALSE(classic.protocolEnabled);
    EXPECT_EQ(classic.len, "8");
    EXPECT_EQ(classic.data, "11 22 33 44 55 66 77 88");

    // Cancel adds nothing.
    prompts.answerExec(0);
    w->soltTabAdvanceSendPopMenueActAdd();
    EXPECT_EQ(table()->rowCount(), 1);
    EXPECT_EQ(prompts.unanswered(), 0);
}

TEST_F(SendPanelsTest, MenuActionsEditTheListAndTheSender)
{
    openFd();
    setList(kFd1, {entry("00000101 ", "a"), entry("00000102 ", "b"), entry("00000103 ", "c")});
    ASSERT_EQ(ids(), (QStringList{"00000101", "00000102", "00000103"}));

    // Copy appends after the last row, not after its source.
    menuAt(0);
    w->soltTabAdvanceSendPopMenueActCopy();
    EXPECT_EQ(ids(), (QStringList{"00000101", "00000102", "00000103", "00000101"}));
    EXPECT_EQ(advTask(kFd1).msgList.size(), 4);

    // Up on row 0 and down on the last row do nothing.
    const int refreshesBefore = adv().refreshes;
    menuAt(0);
    w->soltTabAdvanceSendPopMenueActUp();
    menuAt(3);
    w->soltTabAdvanceSendPopMenueActDown();
    EXPECT_EQ(ids(), (QStringList{"00000101", "00000102", "00000103", "00000101"}));
    EXPECT_EQ(adv().refreshes, refreshesBefore);

    // Up and down swap with the neighbour, numbers follow the rows.
    menuAt(2);
    w->soltTabAdvanceSendPopMenueActUp();
    EXPECT_EQ(ids(), (QStringList{"00000101", "00000103", "00000102", "00000101"}));
    menuAt(0);
    w->soltTabAdvanceSendPopMenueActDown();
    EXPECT_EQ(ids(), (QStringList{"00000103", "00000101", "00000102", "00000101"}));
    EXPECT_EQ(numbers(), (QStringList{"0", "1", "2", "3"}));
    QStringList sent;
    for (const QUserCanMsg &m : advTask(kFd1).msgList)
        sent << m.idText.trimmed();
    EXPECT_EQ(sent, ids());

    // Delete asks first; Cancel keeps the row, OK removes it.
    menuAt(1);
    prompts.answerExec(0);
    w->soltTabAdvanceSendPopMenueActDel();
    EXPECT_EQ(table()->rowCount(), 4);
    EXPECT_TRUE(prompts.last().text.contains(QString::fromUtf8("确定是否删除消息?"))) << prompts.last().text.toStdString();
    prompts.answerExec(1);
    w->soltTabAdvanceSendPopMenueActDel();
    EXPECT_EQ(ids(), (QStringList{"00000103", "00000102", "00000101"}));
    EXPECT_EQ(numbers(), (QStringList{"0", "1", "2"}));
    EXPECT_EQ(advTask(kFd1).msgList.size(), 3);

    // Modify: the editor titled "修改" with the row; OK writes it back.
    menuAt(2);
    prompts.answerExec([](QDialog *d) {
        d->findChild<QLineEdit *>("lineEdit_id")->setText("00000555");
        d->findChild<QPushButton *>("pushButton_ok")->click();
        return d->result();
    });
    w->soltTabAdvanceSendPopMenueActEdit();
    EXPECT_EQ(prompts.last().title, "修改");
    EXPECT_EQ(ids(), (QStringList{"00000103", "00000102", "00000555"}));
    EXPECT_EQ(advTask(kFd1).msgList.at(2).idText, "00000555 ");

    // Below the last row: copy, delete, modify and the moves do nothing.
    menuAt(-1);
    w->soltTabAdvanceSendPopMenueActCopy();
    prompts.answerExec(1);
    w->soltTabAdvanceSendPopMenueActDel();
    w->soltTabAdvanceSendPopMenueActEdit();
    w->soltTabAdvanceSendPopMenueActUp();
    w->soltTabAdvanceSendPopMenueActDown();
    EXPECT_EQ(ids(), (QStringList{"00000103", "00000102", "00000555"}));

    // Clear asks, then empties the list and the sender's list.
    prompts.answerExec(1);
    w->soltTabAdvanceSendPopMenueActClr();
    EXPECT_TRUE(prompts.last().text.contains(QString::fromUtf8("确定是否清空消息?"))) << prompts.last().text.toStdString();
    EXPECT_EQ(table()->rowCount(), 0);
    EXPECT_TRUE(advTask(kFd1).msgList.isEmpty());
    EXPECT_EQ(prompts.unanswered(), 0);
}

TEST_F(SendPanelsTest, MenuAndStartNeedADeviceTab)
{
    struct Action {
        void (MainWindow::*slot)();
        const char *line; // null: no debug line of its own
    } const actions[] = {
        {&MainWindow::soltTabAdvanceSendPopMenueActAdd, "新增消息..."},
        {&MainWindow::soltTabAdvanceSendPopMenueActCopy, "复制消息..."},
        {&MainWindow::soltTabAdvanceSendPopMenueActDel, "删除消息..."},
        {&MainWindow::soltTabAdvanceSendPopMenueActEdit, "修改消息..."},
        {&MainWindow::soltTabAdvanceSendPopMenueActUp, "上移消息..."},
        {&MainWindow::soltTabAdvanceSendPopMenueActDown, "下移消息..."},
        {&MainWindow::soltTabAdvanceSendPopMenueActClr, nullptr},
        {&MainWindow::soltTabAdvSendStart, nullptr},
    };
    for (const Action &a : actions) {
        prompts.answerExec(1);
        (w.get()->*a.slot)();
        EXPECT_EQ(prompts.last().title, "错误");
        EXPECT_TRUE(prompts.last().text.contains(QString::fromUtf8("请先[选择设备]!"))) << prompts.last().text.toStdString();
        if (a.line) {
            EXPECT_TRUE(log.contains(QString::fromUtf8(a.line)));
        }
    }
    EXPECT_EQ(log.lines.filter("错误:操作非法...").size(), 6);
    EXPECT_EQ(prompts.unanswered(), 0);
    for (QPushButton *b : {adv().start, adv().stop, adv().load, adv().save})
        EXPECT_FALSE(b->isEnabled());
}

TEST_F(SendPanelsTest, StartChecksTheListAndTheLoopCount)
{
    openFd();
    // A truly empty list says so; rows none of which is ticked (rows are
    // added unticked) say that no row is ticked, not that the list is empty.
    setList(kFd1, {});
    prompts.answerExec(1);
    w->soltTabAdvSendStart();
    EXPECT_EQ(prompts.last().title, "错误");
    EXPECT_TRUE(prompts.last().text.contains(QString::fromUtf8("发送列表空!!!"))) << prompts.last().text.toStdString();
    setList(kFd1, {entry("00000101 ", "a", false), entry("00000102 ", "b", false), entry("00000103 ", "c", false)});
    EXPECT_TRUE(adv().start->isEnabled());
    EXPECT_FALSE(adv().stop->isEnabled());
    prompts.answerExec(1);
    w->soltTabAdvSendStart();
    EXPECT_EQ(prompts.last().title, "错误");
    EXPECT_TRUE(prompts.last().text.contains(QString::fromUtf8("发送列表中没有勾选的行,请在\"序号\"列勾选要发送的行!!!")))
        << prompts.last().text.toStdString();
    EXPECT_FALSE(prompts.last().text.contains(QString::fromUtf8("发送列表空")));
    EXPECT_TRUE(log.contains(QString::fromUtf8("错误:发送列表3行均未勾选!!!...")));
    EXPECT_FALSE(adv().stop->isEnabled()); // nothing started
    // Saving that table works all the same.
    prompts.answerFile(QStringLiteral("unchecked.txt"));
    prompts.answerExec(1);
    w->soltTabAdvFileSave();
    EXPECT_TRUE(prompts.last().text.contains(QString::fromUtf8("保存成功!"))) << prompts.last().text.toStdString();
    EXPECT_TRUE(QFile::exists("unchecked.txt"));

    table()->item(0, 0)->setCheckState(Qt::Checked);
    for (const char *loops : {"abc", "0", ""}) {
        SCOPED_TRACE(loops);
        adv().loopCnt->setText(loops);
        prompts.answerExec(1);
        w->soltTabAdvSendStart();
        EXPECT_TRUE(prompts.last().text.contains(QString::fromUtf8("循环次数不能为0!!!"))) << prompts.last().text.toStdString();
    }
    EXPECT_EQ(prompts.unanswered(), 0);
    EXPECT_EQ(advTask(kFd1).running, 0);
}

TEST_F(SendPanelsTest, ACheckBoxToggledIsKeptByTheChannel)
{
    openFd();
    setList(kFd1, {entry("00000101 ", "a"), entry("00000102 ", "b")});
    table()->item(1, 0)->setCheckState(Qt::Unchecked);
    EXPECT_EQ(advTask(kFd1).msgList.at(1).rowEnable, 0);
    // Away and back: the table is rebuilt from the sender.
    selectTab(kFd0);
    selectTab(kFd1);
    EXPECT_EQ(table()->item(0, 0)->checkState(), Qt::Checked);
    EXPECT_EQ(table()->item(1, 0)->checkState(), Qt::Unchecked);
}

TEST_F(SendPanelsTest, ListFilesSaveAndLoadTheWholeList)
{
    openFd();
    // Nothing to save in an empty list.
    prompts.answerExec(1);
    w->soltTabAdvFileSave();
    EXPECT_EQ(prompts.last().title, "提示");
    EXPECT_TRUE(prompts.last().text.contains(QString::fromUtf8("发送列表空!"))) << prompts.last().text.toStdString();

    QUserCanMsg fdEntry(QStringLiteral("18FEF100 "), false, true, QStringLiteral("12"), QString(24, '7'));
    fdEntry.protocol = 2;
    fdEntry.rowEnable = 1;
    fdEntry.auxText2 = QStringLiteral("fd");
    setList(kFd1, {entry("00000101 ", "first", true), fdEntry, entry("00000103 ", "third", false)});
    adv().failMode->setCurrentIndex(1);
    adv().loopCnt->setText("5");
    adv().period->setText("250");
    adv().frameInterval->setText("20");
    prompts.answerFile(QStringLiteral("list.txt"));
    prompts.answerExec(1);
    w->soltTabAdvFileSave();
    EXPECT_EQ(prompts.records().at(prompts.records().size() - 2).title, "另存为");
    EXPECT_EQ(prompts.records().at(prompts.records().size() - 2).dir, "../");
    EXPECT_EQ(prompts.records().at(prompts.records().size() - 2).text, "txt(*.txt)");
    EXPECT_TRUE(prompts.last().text.contains(QString::fromUtf8("保存成功!"))) << prompts.last().text.toStdString();

    // Another channel loads it: list, failure mode, loop count, intervals.
    selectTab(kFd0);
    adv().failMode->setCurrentIndex(0);
    prompts.answerFile(QStringLiteral("list.txt"));
    w->soltTabAdvFileLoad();
    EXPECT_EQ(prompts.last().title, "加载配置");
    EXPECT_EQ(ids(), (QStringList{"00000101", "18FEF100", "00000103"}));
    EXPECT_EQ(table()->item(2, 0)->checkState(), Qt::Unchecked);
    EXPECT_EQ(table()->item(1, 3)->text(), "CANFD加速");
    EXPECT_EQ(table()->item(1, 5)->text(), "扩展帧");
    EXPECT_EQ(table()->item(1, 7)->text(), QString("77 ").repeated(12).trimmed());
    EXPECT_EQ(adv().failMode->currentIndex(), 1);
    EXPECT_EQ(adv().loopCnt->text(), "5");
    EXPECT_EQ(adv().period->text(), "250");
    EXPECT_EQ(adv().frameInterval->text(), "20");
    const QUserSendTask t = advTask(kFd0);
    ASSERT_EQ(t.msgList.size(), 3);
    EXPECT_EQ(t.msgList.at(1).auxText2, "fd");
    EXPECT_EQ(t.reqSendCnt, 5u);

    // A save the file system refuses is reported.
    prompts.answerFile(QStringLiteral("no/such/folder/list.txt"));
    prompts.answerExec(1);
    w->soltTabAdvFileSave();
    EXPECT_EQ(prompts.last().title, "错误");
    EXPECT_TRUE(prompts.last().text.contains(QString::fromUtf8("保存失败!"))) << prompts.last().text.toStdString();
    // A file that cannot be read changes nothing, silently.
    const int boxes = prompts.records().size();
    prompts.answerFile(QStringLiteral("missing.txt"));
    w->soltTabAdvFileLoad();
    EXPECT_EQ(prompts.records().size(), boxes + 1); // the chooser only
    EXPECT_EQ(table()->rowCount(), 3);
    EXPECT_EQ(prompts.unanswered(), 0);
}

TEST_F(SendPanelsTest, LoadedEntriesAreCheckedLikeTheEditorChecksThem)
{
    openFd();
    // The store reads the last line first: the list is the file upside
    // down. Lines 2, 4, 5, 6 and 8 are entries the editor never makes.
    ASSERT_TRUE(writeFile("mixed.txt", {
                                           "adv,1,3,100,10",                        // 1
                                           "msg,1,bad id,0000080G ,0,0,0,2,A1B2",   // 2 not hex
                                           "msg,1,ok std,000007FF ,0,0,0,2,A1B2",   // 3
                                           "msg,1,std range,00000800 ,0,0,0,2,A1B2", // 4 beyond 11 bits
                                           "msg,1,fd len,00000100 ,1,0,0,9,",       // 5 9 is no CAN FD length
                                           "msg,1,short,00000100 ,0,0,0,8,A1B2",    // 6 2 bytes for length 8
                                           "msg,1,ok fd,18FEF100 ,2,0,1,12,000000000000000000000000", // 7
                                           "msg,1,fd remote,00000100 ,1,1,0,0,",    // 8 CAN FD has no remote frames
                                           "msg,0,ok remote,00000100 ,0,1,0,0,",    // 9
                                       }));
    prompts.answerFile(QStringLiteral("mixed.txt"));
    prompts.answerExec(1);
    w->soltTabAdvFileLoad();
    ASSERT_EQ(prompts.unanswered(), 0);
    const QUserPromptScript::Record box = prompts.last();
    EXPECT_EQ(box.title, "错误");
    for (int line : {2, 4, 5, 6, 8})
        EXPECT_TRUE(box.text.contains(QStringLiteral("第%1行").arg(line))) << box.text.toStdString();
    for (int line : {3, 7, 9})
        EXPECT_FALSE(box.text.contains(QStringLiteral("第%1行").arg(line))) << box.text.toStdString();
    // The good entries are loaded, in list order.
    QStringList notes;
    for (int r = 0; r < table()->rowCount(); ++r)
        notes << table()->item(r, 1)->text();
    EXPECT_EQ(notes, (QStringList{"ok remote", "ok fd", "ok std"}));
    EXPECT_EQ(advTask(kFd1).msgList.size(), 3);
    EXPECT_EQ(adv().loopCnt->text(), "3");
}

// Lines without the eight fields of an entry (a comment with a comma from a
// list saved before commas were replaced, a line cut short) are named by
// their line like every other refused entry, not skipped without a word.
TEST_F(SendPanelsTest, LoadedLinesWithTheWrongFieldCountAreNamed)
{
    openFd();
    ASSERT_TRUE(writeFile("fields.txt", {
                                            "adv,1,1,100,10",                       // 1
                                            "msg,1,old a,b,00000100 ,0,0,0,1,AA",   // 2 nine fields
                                            "msg,1,ok,00000101 ,0,0,0,1,AA",        // 3
                                            "msg,1,cut,00000102 ,0,0,1,AA",         // 4 seven fields
                                            "msg,1",                                // 5 one field
                                        }));
    prompts.answerFile(QStringLiteral("fields.txt"));
    prompts.answerExec(1);
    w->soltTabAdvFileLoad();
    ASSERT_EQ(prompts.unanswered(), 0);
    const QUserPromptScript::Record box = prompts.last();
    EXPECT_EQ(box.title, "错误");
    EXPECT_TRUE(box.text.contains(QString::fromUtf8("第2行: 字段数为9,应为8"))) << box.text.toStdString();
    EXPECT_TRUE(box.text.contains(QString::fromUtf8("第4行: 字段数为7,应为8"))) << box.text.toStdString();
    EXPECT_TRUE(box.text.contains(QString::fromUtf8("第5行: 字段数为1,应为8"))) << box.text.toStdString();
    EXPECT_FALSE(box.text.contains(QString::fromUtf8("第3行")));
    ASSERT_EQ(table()->rowCount(), 1);
    EXPECT_EQ(table()->item(0, 1)->text(), "ok");
}

TEST_F(SendPanelsTest, CommentCellsKeepNoCommaAndSaySo)
{
    openFd();
    setList(kFd1, {entry("00000101 ", "a,b")});
    QTableWidgetItem *note = table()->item(0, 1);
    EXPECT_EQ(note->text(), QString::fromUtf8("a，b"));
    EXPECT_TRUE(note->toolTip().contains(QString::fromUtf8("全角逗号"))) << note->toolTip().toStdString();
    // The entry survives a save and a load.
    prompts.answerFile(QStringLiteral("comma.txt"));
    prompts.answerExec(1);
    w->soltTabAdvFileSave();
    prompts.answerFile(QStringLiteral("comma.txt"));
    w->soltTabAdvFileLoad();
    ASSERT_EQ(table()->rowCount(), 1);
    EXPECT_EQ(table()->item(0, 1)->text(), QString::fromUtf8("a，b"));
}

TEST_F(SendPanelsTest, DoubleClickSendsTheRowOnceWithTag101)
{
    openFd();
    setList(kFd1, {entry("00000101 ", "a", false)});
    QList<QUserCanMsg> results;
    QObject::connect(w->devAdapterGet(), &QUserDeviceAdapter::sendResultNotify, w.get(),
                     [&](QString, QUserCanMsg m) { results << m; });
    // The data column only fits the row's height.
    w->soltTabAdvanceSendCellDoubleClick(0, 7);
    mwtest::flush();
    EXPECT_TRUE(results.isEmpty());
    // Any other column sends once, unchecked or not.
    w->soltTabAdvanceSendCellDoubleClick(0, 2);
    mwtest::flush();
    ASSERT_EQ(results.size(), 1);
    EXPECT_EQ(results.at(0).status, MsgTagAdvanceSend);
    EXPECT_EQ(results.at(0).idText, "00000101 ");
    EXPECT_EQ(results.at(0).dataText, "A1B2");
    ASSERT_TRUE(QTest::qWaitFor([&] { return w->tabSrvGet().find(kFd1)->txCntGet() == 1; }, testsupport::kGiveUpMs));
}

TEST_F(SendPanelsTest, ProtocolChangeReachesARunningSendAndStartRestartsIt)
{
    openFd();
    selectTab(kFd0);
    QList<QUserCanMsg> frames;
    QList<int> states;
    QObject::connect(w->devAdapterGet(), &QUserDeviceAdapter::sendResultNotify, w.get(),
                     [&](QString id, QUserCanMsg m) {
                         if (id != kFd0)
                             return;
                         if (m.status == MsgStatusBasicStart || m.status == MsgStatusBasicEnd)
                             states << m.status;
                         else
                             frames << m;
                     });
    basic().protocol->setCurrentIndex(0);
    basic().id->setText("00000100");
    basic().len->setCurrentText("2");
    basic().perSendCnt->setText("1");
    basic().sendCnt->setText("100000");
    basic().period->setText("5");
    basic().start->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return frames.size() >= 3 && basic().stop->isEnabled(); }, testsupport::kGiveUpMs));
    EXPECT_FALSE(basic().start->isEnabled());

    // The protocol goes into the running send's frame (under its lock).
    basic().protocol->setCurrentIndex(1);
    QUserSendTask t;
    ASSERT_TRUE(w->devAdapterGet()->basicSendParaGet(kFd0, t));
    EXPECT_EQ(t.msg.protocol, 1);
    EXPECT_EQ(t.running, 1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return frames.last().protocol == 1; }, testsupport::kGiveUpMs));

    // Start while sending (the button is disabled then; the slot is what it
    // would run): the run ends, a new one begins with the panel's frame, and
    // the old frame is not sent again.
    basic().id->setText("00000200");
    w->soltTabBasicSendStart();
    ASSERT_TRUE(QTest::qWaitFor([&] { return states.count(MsgStatusBasicStart) == 2; }, testsupport::kGiveUpMs));
    EXPECT_EQ(states.mid(0, 3), (QList<int>{MsgStatusBasicStart, MsgStatusBasicEnd, MsgStatusBasicStart}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return frames.last().idText == "00000200 "; }, testsupport::kGiveUpMs));
    int firstNew = -1;
    for (int i = 0; i < frames.size(); ++i)
        if (frames.at(i).idText == "00000200 " && firstNew < 0)
            firstNew = i;
    for (int i = firstNew; i < frames.size(); ++i)
        EXPECT_EQ(frames.at(i).idText, "00000200 ") << i;
    basic().stop->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return basic().start->isEnabled(); }, testsupport::kGiveUpMs));
    EXPECT_FALSE(basic().stop->isEnabled());
}

// The DBC send window offscreen, every dialog answered through the prompt
// seam: its form, settings and device binding, DBC loading into the file
// tree and the filter, the send list and its menus, the signal list, the
// property, settings and help dialogs, and the window without kemsig.

#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPointer>
#include <QProgressDialog>
#include <QSplitter>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>
#include <QTreeWidgetItem>

#include "tests/dbc/SendSupport.h"
#include "tests/support/TempWorkDir.h"
#include "core/QUserSysCfg.h"
#include "core/QUserTimer.h"
#include "dbc/DbcKemsigLoad.h"
#include "dbc/DbcPrjFile.h"
#include "widgets/QUserDlgSetting.h"
#include "widgets/QUserProgressDlg.h"
#include "widgets/QUserTreeWidget.h"

using namespace sendtest;
using Win = QUserMainWindowDBCSend;

namespace {

class SendWindow : public WorkDirTest
{
protected:
    void SetUp() override
    {
        // The store is process-wide: every test starts from the same values.
        QUserSysCfg *cfg = QUserSysCfg::instance();
        if (!cfg->getString("dbcProcotolType").isNull()) {
            cfg->setInt("dbcProcotolType", 0);
            cfg->setString("dbcMsgSrcAddr", "FF");
            cfg->setString("dbcMsgDstAddr", "FF");
            cfg->setInt("dbcFdSendProcotol", 2);
        }
        Win::setLibFileName("kemsig.dll");
    }
    void TearDown() override
    {
        Win::setLibFileName("kemsig.dll");
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    QString smallDbc()
    {
        const QString path = QDir::current().absoluteFilePath("small.dbc");
        EXPECT_TRUE(writeText(path, kSmallDbc));
        return path;
    }

    static QStringList topTexts(QTreeWidget *t)
    {
        QStringList out;
        for (int i = 0; i < t->topLevelItemCount(); ++i)
            out << t->topLevelItem(i)->text(0);
        return out;
    }

    static QTreeWidgetItem *topItem(QTreeWidget *t, const QString &prefix)
    {
        for (int i = 0; i < t->topLevelItemCount(); ++i)
            if (t->topLevelItem(i)->text(0).startsWith(prefix))
                return t->topLevelItem(i);
        return nullptr;
    }

    // The rows of an info dialog, read when it is run.
    static std::function<int(QDialog *)> readRows(QList<QStringList> *rows)
    {
        return [rows](QDialog *d) {
            if (QTableWidget *t = d->findChild<QTableWidget *>()) {
                for (int r = 0; r < t->rowCount(); ++r) {
                    QStringList row;
                    for (int c = 0; c < t->columnCount(); ++c)
                        row << (t->item(r, c) ? t->item(r, c)->text() : QString());
                    *rows << row;
                }
            }
            return 1;
        };
    }
};

QStringList headers(QTableWidget *t)
{
    QStringList out;
    for (int c = 0; c < t->columnCount(); ++c)
        out << t->horizontalHeaderItem(c)->text();
    return out;
}

} // namespace

// ---- construction and settings ------------------------------------------------------------

TEST_F(SendWindow, ConstructionBuildsTheFormAndBindsKemsig)
{
    Win w;
    EXPECT_EQ(w.objectName(), "QUserMainWindowDBCSend");
    EXPECT_EQ(w.windowTitle(), "DBC发送");
    EXPECT_EQ(w.size(), QSize(800, 600));
    EXPECT_TRUE(w.testAttribute(Qt::WA_DeleteOnClose));
    Ui_QUserMainWindowDBCSend *ui = w.form();
    ASSERT_NE(ui, nullptr);
    EXPECT_EQ(ui->centralwidget->objectName(), "centralwidget");
    EXPECT_EQ(ui->horizontalLayout_content->objectName(), "horizontalLayout_content");
    EXPECT_EQ(ui->statusbar->objectName(), "statusbar");

    struct Act {
        QAction *a;
        const char *name, *text, *tip, *icon;
    };
    const Act acts[] = {
        {ui->actLoadDbc, "actLoadDbc", "加载DBC", "加载DBC文件", ":/res/database.png"},
        {ui->actOpen, "actOpen", "打开工程", "打开工程文件", ":/res/fold.png"},
        {ui->actSave, "actSave", "保存工程", "保存工程", ":/res/save.png"},
        {ui->actSet, "actSet", "参数设置", "发送参数设置", ":/res/gear.png"},
        {ui->actHelp, "actHelp", "帮助", "帮助", ":/res/msg_icon_question.png"},
    };
    for (const Act &a : acts) {
        SCOPED_TRACE(a.name);
        EXPECT_EQ(a.a->objectName(), a.name);
        EXPECT_EQ(a.a->text(), QString::fromUtf8(a.text));
        EXPECT_EQ(a.a->toolTip(), QString::fromUtf8(a.tip));
        EXPECT_TRUE(QFile::exists(a.icon));
        EXPECT_FALSE(a.a->icon().isNull());
    }
    const QList<QAction *> bar = ui->menubar->actions();
    ASSERT_EQ(bar.size(), 3);
    EXPECT_EQ(bar[0]->text(), "文件");
    EXPECT_EQ(bar[1]->text(), "设置");
    EXPECT_EQ(bar[2]->text(), "帮助");
    EXPECT_EQ(ui->menu_DBC->actions(), (QList<QAction *>{ui->actLoadDbc, ui->actOpen, ui->actSave}));
    EXPECT_EQ(ui->menuDBC->actions(), QList<QAction *>{ui->actSet});
    EXPECT_EQ(ui->menu->actions(), QList<QAction *>{ui->actHelp});
    EXPECT_EQ(ui->toolBar->actions(), (QList<QAction *>{ui->actLoadDbc, ui->actOpen, ui->actSave, ui->actHelp}));
    EXPECT_EQ(ui->toolBar->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
    EXPECT_EQ(ui->toolBar->font().family(), "微软雅黑");

    EXPECT_EQ(headers(w.sendListTable()), (QStringList{"序号", "消息名称", "消息ID", "长度", "数据", "发送", "注释"}));
    EXPECT_EQ(headers(w.sigListTable()),
              (QStringList{"序号", "信号名称", "原始值(十六进制)", "物理值(双击编辑)", "单位", "最小值", "最大值"}));
    EXPECT_TRUE(w.sendListTable()->acceptDrops());
    EXPECT_EQ(w.sendListTable()->dragDropMode(), QAbstractItemView::DropOnly);
    EXPECT_EQ(w.sendListTable()->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_EQ(w.sigListTable()->editTriggers(), QAbstractItemView::DoubleClicked);
    EXPECT_TRUE(w.fileMsgTree()->dragEnabled());
    EXPECT_FALSE(w.fileMsgTree()->acceptDrops());
    EXPECT_TRUE(w.fileMsgTree()->isHeaderHidden());
    EXPECT_EQ(w.filterEdit()->placeholderText(), "输入消息名称或ID(10进制)");
    EXPECT_EQ(topTexts(w.fileMsgTree()), QStringList{"列表空!请先导入DBC文件!"});
    QStringList menu;
    for (QAction *a : w.treeMenu()->actions())
        menu << a->text();
    EXPECT_EQ(menu, (QStringList{"添加到发送列表", "添加所有消息到发送列表", "删除所有消息", "属性"}));
    menu.clear();
    for (QAction *a : w.sendListMenu()->actions())
        menu << a->text();
    EXPECT_EQ(menu, (QStringList{"上移一行", "下移一行", "删除当前行", "清空表格"}));

    EXPECT_TRUE(w.kemsigBound());
    EXPECT_TRUE(w.hasHandle());
    ASSERT_NE(w.workerThread(), nullptr);
    EXPECT_TRUE(w.workerThread()->isRunning());
    EXPECT_EQ(w.worker()->thread(), w.workerThread());
}

// Absent keys: the protocol type and the CAN FD protocol are written at
// once (0 and 2), the addresses are "FF" in memory only. Everything is
// written back when the window goes, splitter states included, and read by
// the next window.
TEST_F(SendWindow, SettingsDefaultsAndRoundTrip)
{
    QUserSysCfg *cfg = QUserSysCfg::instance();
    if (cfg->getString("dbcProcotolType").isNull()) {
        // A fresh store (ctest runs every test in a process of its own).
        Win w;
        EXPECT_EQ(cfg->getString("dbcProcotolType"), "0");
        EXPECT_EQ(cfg->getString("dbcFdSendProcotol"), "2");
        EXPECT_TRUE(cfg->getString("dbcMsgSrcAddr").isNull());
        EXPECT_TRUE(cfg->getString("dbcMsgDstAddr").isNull());
        EXPECT_EQ(w.srcAddr(), "FF");
        EXPECT_EQ(w.dstAddr(), "FF");
        EXPECT_EQ(w.fdSendProtocol(), 2);
        EXPECT_EQ(w.protocolType(), 0);
    }
    cfg->setInt("dbcProcotolType", 1);
    cfg->setString("dbcMsgSrcAddr", "A5");
    cfg->setString("dbcMsgDstAddr", "3c");
    cfg->setInt("dbcFdSendProcotol", 1);
    QByteArray root, right;
    {
        Win w;
        EXPECT_EQ(w.protocolType(), 1);
        EXPECT_EQ(w.srcAddr(), "A5");
        EXPECT_EQ(w.dstAddr(), "3c");
        EXPECT_EQ(w.fdSendProtocol(), 1);
        w.resize(1000, 700);
        w.rootSplitter()->setSizes({123, 700});
        w.rightSplitter()->setSizes({111, 333});
        root = w.rootSplitter()->saveState();
        right = w.rightSplitter()->saveState();
    }
    EXPECT_EQ(cfg->getByteArray("dbcSendSpliteRootRate"), root);
    EXPECT_EQ(cfg->getByteArray("dbcSendSpliteRightRate"), right);
    EXPECT_EQ(cfg->getString("dbcMsgSrcAddr"), "A5");
    Win again;
    EXPECT_EQ(again.rootSplitter()->saveState(), root);
    EXPECT_EQ(again.rightSplitter()->saveState(), right);
}

TEST_F(SendWindow, DeviceBinding)
{
    Win w;
    {
        LogCapture log;
        w.setDevAdapter("TRNA702-0-0", nullptr);
        EXPECT_TRUE(log.contains("ERROR:DBC DevAdapter Set Err, Is NULL..."));
        EXPECT_EQ(w.devId(), "TRNA702-0-0");
    }
    QObject owner;
    QUserDeviceAdapter reg(&owner);
    {
        LogCapture log;
        w.setDevAdapter("NONE-0-0", &reg);
        EXPECT_TRUE(log.contains("ERROR:DBC DevAdapter Set Err, Dev(NONE-0-0) Info Get Fail..."));
        EXPECT_FALSE(w.canFdAllowed());
    }
    if (!kemusbBuilt())
        GTEST_SKIP() << "libkemusb.so not built";
    for (bool fd : {false, true}) {
        SCOPED_TRACE(fd ? "CAN FD" : "CAN");
        SimRig rig;
        ASSERT_TRUE(rig.open(fd));
        Win bound;
        bound.setDevAdapter(SimRig::tx(), &rig.reg);
        EXPECT_EQ(bound.canFdAllowed(), fd);
    }
}

// Several send windows may be open on different channels: each names, in
// its title and its status bar, the channel it sends on (as the main
// window's tabs name it), beside what it is and the file it works on.
TEST_F(SendWindow, TitleAndStatusBarNameTheChannelItSendsOn)
{
    QUserSysCfg *cfg = QUserSysCfg::instance();
    const QString language = cfg->getString("language");
    struct Case {
        const char *language;
        const char *channel;
        const char *label;
    };
    const Case cases[] = {
        {"ZH", "TRNA702 设备:0 通道:1", "发送通道:TRNA702 设备:0 通道:1"},
        {"EN", "TRNA702 DEV:0 CH:1", "发送通道:TRNA702 DEV:0 CH:1"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.language);
        cfg->setString("language", c.language);
        Win w;
        EXPECT_EQ(w.windowTitle(), "DBC发送");
        w.setDevAdapter("TRNA702-0-1", nullptr);
        const QString channel = QString::fromUtf8(c.channel);
        EXPECT_EQ(w.channelText(), channel);
        EXPECT_EQ(w.windowTitle(), "DBC发送 - " + channel);
        ASSERT_NE(w.sendChannelLabel(), nullptr);
        EXPECT_EQ(w.sendChannelLabel()->text(), QString::fromUtf8(c.label));
        EXPECT_EQ(w.sendChannelLabel()->parent(), w.statusBar());

        // A loaded file joins the title; the channel stays.
        QUserPromptScript prompts;
        prompts.answerExec(waitForLoad());
        ASSERT_EQ(w.dbcFileLoad(smallDbc()), 0);
        EXPECT_EQ(w.windowTitle(), "DBC发送 - small.dbc - " + channel);
        // So does a saved project.
        prompts.answerFile(QDir::current().absoluteFilePath("send.prj"));
        w.slotDbcPrjSave();
        EXPECT_EQ(w.windowTitle(), "DBC发送 - send.prj - " + channel);
        EXPECT_EQ(w.sendChannelLabel()->text(), QString::fromUtf8(c.label));
    }
    cfg->setString("language", language);
}

// ---- loading and the tree -------------------------------------------------------------------

TEST_F(SendWindow, LoadFillsTheTreeAndTheFilterNarrowsIt)
{
    Win w;
    const QString path = smallDbc();
    QUserPromptScript prompts;
    prompts.answerFile(path);
    prompts.answerExec(waitForLoad());
    w.form()->actLoadDbc->trigger();
    EXPECT_EQ(prompts.records().at(0).title, "选择DBC文件");
    EXPECT_EQ(prompts.records().at(0).text, "DBC File(*.dbc)");
    EXPECT_EQ(prompts.records().at(1).title, "加载中...");
    EXPECT_EQ(prompts.unanswered(), 0);
    EXPECT_EQ(w.windowTitle(), "DBC发送 - small.dbc");
    EXPECT_EQ(w.dbcFilePath(), path);
    EXPECT_EQ(w.tipBox()->tipLabelWidget()->text(), "DBC文件加载成功!");

    ASSERT_EQ(w.fileMessages().size(), 5);
    QTreeWidget *t = w.fileMsgTree();
    EXPECT_EQ(t->topLevelItemCount(), 5);
    QTreeWidgetItem *eng = topItem(t, "EngineData ");
    ASSERT_NE(eng, nullptr);
    EXPECT_EQ(eng->text(0), "EngineData 312");
    EXPECT_TRUE(eng->font(0).bold());
    EXPECT_EQ(eng->font(0).family(), "Calibri");
    ASSERT_EQ(eng->childCount(), 3);
    EXPECT_EQ(eng->child(0)->text(0), "Speed");
    EXPECT_EQ(eng->child(2)->text(0), "Flags");
    ASSERT_NE(topItem(t, "ENG_1 "), nullptr);
    EXPECT_EQ(topItem(t, "ENG_1 ")->text(0), "ENG_1 2147485248");
    // The value descriptions came along.
    for (const QUserDbcMsg &m : w.fileMessages()) {
        if (m.strName == "EngineData") {
            EXPECT_EQ(m.vSignals.at(2).valDesPair.value(1.0), "On");
            EXPECT_EQ(m.strComment, "engine values");
        }
    }

    struct Case {
        const char *filter;
        QStringList shown;
    };
    const Case cases[] = {
        {"12", {"EngineData 312", "Body 1200"}},
        {"eng", {"EngineData 312", "ENG_1 2147485248"}},
        {"ENG", {"EngineData 312", "ENG_1 2147485248"}},
        {"2565", {"EEC1 2565804596", "PropB 2565870132"}},
        {"zz", {}},
        {"", {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.filter);
        w.filterEdit()->setText(QString::fromUtf8(c.filter));
        QStringList shown = topTexts(t);
        if (QByteArray(c.filter).isEmpty()) {
            EXPECT_EQ(shown.size(), 5);
            continue;
        }
        std::sort(shown.begin(), shown.end());
        QStringList want = c.shown;
        std::sort(want.begin(), want.end());
        EXPECT_EQ(shown, want);
    }
}

// Each failure shows its box, keeps the previous messages, tree and title,
// and still ends with the tip.
TEST_F(SendWindow, LoadFailuresShowTheirBoxAndKeepThePrevious)
{
    Win w;
    ASSERT_EQ(loadDbc(w, smallDbc()), 0);
    struct Case {
        const char *what;
        QString path;
        QString lib;
        int result;
        const char *box;
    };
    const Case cases[] = {
        {"missing file", QDir::current().absoluteFilePath("gone.dbc"), "kemsig.dll", 4, "DBC文件解析失败!!!"},
        {"empty path", QString(), "kemsig.dll", 1, "DBC文件加载失败,路径空!!!"},
        {"no kemsig", QDir::current().absoluteFilePath("small.dbc"), "nosuchkemsig.dll", 2, "DBC库加载失败!!!"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        w.loadJob().libFileName = c.lib;
        QUserPromptScript prompts;
        prompts.answerExec(waitForLoad());
        prompts.answerExec(1);
        LogCapture log;
        EXPECT_EQ(w.dbcFileLoad(c.path), c.result);
        ASSERT_EQ(prompts.records().size(), 2);
        EXPECT_EQ(prompts.records().at(1).title, "错误");
        EXPECT_TRUE(prompts.records().at(1).text.contains(QString::fromUtf8(c.box)))
            << prompts.records().at(1).text.toStdString();
        EXPECT_EQ(w.fileMessages().size(), 5);
        EXPECT_EQ(w.fileMsgTree()->topLevelItemCount(), 5);
        EXPECT_EQ(w.windowTitle(), "DBC发送 - small.dbc");
        EXPECT_EQ(w.tipBox()->tipLabelWidget()->text(), "操作完成!");
        if (c.result == 4) {
            EXPECT_TRUE(log.contains(QStringLiteral("DBC文件<%1>解析失败!!!").arg(c.path)));
        }
        EXPECT_FALSE(w.loadBusy());
    }
    w.loadJob().libFileName = "kemsig.dll";
    // A cancelled file dialog loads nothing.
    QUserPromptScript prompts;
    prompts.answerFile("");
    LogCapture log;
    w.slotDbcFileLoad();
    EXPECT_TRUE(log.contains("DBC文件加载失败,路径空!!!"));
    EXPECT_EQ(prompts.records().size(), 1);
}

// A path with Chinese folders and file name loads (kemsig opens it by this
// platform's file-name encoding); a signal with 20 value descriptions keeps
// the first 16.
TEST_F(SendWindow, LoadTakesNonAsciiPathsAndSixteenValueDescriptions)
{
    QByteArray text = "VERSION \"\"\n\nBU_: A\n\nBO_ 100 Gear: 8 A\n SG_ Pos : 0|8@1+ (1,0) [0|255] \"\" A\n\nVAL_ 100 Pos";
    for (int i = 0; i < 20; ++i)
        text += " " + QByteArray::number(i) + " \"P" + QByteArray::number(i) + "\"";
    text += " ;\n";
    ASSERT_TRUE(QDir().mkpath("数据 目录"));
    const QString path = QDir::current().absoluteFilePath("数据 目录/变速箱.dbc");
    ASSERT_TRUE(writeText(path, text));
    Win w;
    ASSERT_EQ(loadDbc(w, path), 0);
    EXPECT_EQ(w.windowTitle(), "DBC发送 - 变速箱.dbc");
    ASSERT_EQ(w.fileMessages().size(), 1);
    const QMap<double, QString> &vals = w.fileMessages().at(0).vSignals.at(0).valDesPair;
    EXPECT_EQ(vals.size(), 16);
    EXPECT_EQ(vals.value(15.0), "P15");
    EXPECT_FALSE(vals.contains(16.0));
}

// The bar of the progress dialog advances by one per tick of the job's
// timer, from where the previous load left the counter.
TEST_F(SendWindow, ProgressCounterRunsOnAcrossLoads)
{
    Win w;
    ASSERT_EQ(loadDbc(w, smallDbc()), 0);
    DbcLoadJob &job = w.loadJob();
    ASSERT_NE(job.progressDlg, nullptr);
    ASSERT_NE(job.progressTimer, nullptr);
    EXPECT_FALSE(job.progressTimer->isActive()) << "stopped with the job";
    EXPECT_EQ(job.progressTimer->interval(), 500);
    EXPECT_EQ(job.progressDlg->labelText(), "加载中...");
    EXPECT_EQ(job.progressDlg->minimum(), 0);
    EXPECT_EQ(job.progressDlg->maximum(), 100);
    job.progressCounter = 7;
    emit job.progressTimer->timeout(&job);
    EXPECT_EQ(job.progressDlg->value(), 7);
    EXPECT_EQ(job.progressCounter, 8);
    QUserProgressDlg *first = job.progressDlg;
    ASSERT_EQ(loadDbc(w, smallDbc()), 0);
    EXPECT_EQ(job.progressDlg, first) << "made once, kept";
    EXPECT_GE(job.progressCounter, 8);
}

// ---- the send list ----------------------------------------------------------------------------

TEST_F(SendWindow, SendListTakesMessagesFromTheTreeByMenuAndDrop)
{
    Win w;
    {
        // Before a DBC is loaded the menu only logs.
        LogCapture log;
        w.soltFileMsgTreeWidgetPopMenueActAdd();
        EXPECT_TRUE(log.contains("ERROR:Msg List Is Empty..."));
    }
    ASSERT_EQ(loadDbc(w, smallDbc()), 0);
    QTreeWidget *t = w.fileMsgTree();
    // A signal item adds its message.
    t->setCurrentItem(topItem(t, "EngineData ")->child(1));
    QUserPromptScript prompts;
    w.soltFileMsgTreeWidgetPopMenueActAdd();
    ASSERT_EQ(w.sendMessages().size(), 1);
    EXPECT_EQ(w.sendMessages().at(0).strName, "EngineData");
    EXPECT_EQ(prompts.records().size(), 0);

    QTableWidget *tab = w.sendListTable();
    ASSERT_EQ(tab->rowCount(), 1);
    EXPECT_EQ(tab->item(0, Win::MsgColIndex)->text(), "0");
    EXPECT_EQ(tab->item(0, Win::MsgColName)->text(), "EngineData");
    EXPECT_EQ(tab->item(0, Win::MsgColId)->text(), "0x138");
    EXPECT_EQ(tab->item(0, Win::MsgColLen)->text(), "8");
    EXPECT_EQ(tab->item(0, Win::MsgColData)->text(), "双击查看数据");
    EXPECT_EQ(tab->item(0, Win::MsgColComment)->text(), "engine values");
    ASSERT_NE(sendButton(w, 0), nullptr);
    EXPECT_EQ(sendButton(w, 0)->text(), "发送");
    EXPECT_EQ(tab->cellWidget(0, Win::MsgColSend)->layout()->contentsMargins(), QMargins(5, 5, 5, 5));

    // The same message again, and a name the file does not have.
    t->setCurrentItem(topItem(t, "EngineData "));
    w.soltFileMsgTreeWidgetPopMenueActAdd();
    w.slotMsgTabDropEvent("", "Nothing 5");
    ASSERT_EQ(prompts.records().size(), 2);
    EXPECT_EQ(prompts.records().at(0).title, "提示");
    EXPECT_TRUE(prompts.records().at(0).text.contains("消息已存在!!!"));
    EXPECT_TRUE(prompts.records().at(1).text.contains("消息不存在!!!"));
    EXPECT_EQ(prompts.beeps(), 2);
    EXPECT_EQ(w.sendMessages().size(), 1);

    // Drops: a top-level item carries an empty parent text and its own;
    // a signal item its message's text first.
    w.slotMsgTabDropEvent("", "ENG_1 2147485248");
    w.slotMsgTabDropEvent("Body 1200", "Door");
    ASSERT_EQ(w.sendMessages().size(), 3);
    EXPECT_EQ(w.sendMessages().at(1).strName, "ENG_1");
    EXPECT_EQ(w.sendMessages().at(2).strName, "Body");
    EXPECT_EQ(tab->item(1, Win::MsgColId)->text(), "0x640") << "the extended marker is not shown";

    // The drag of the tree carries what the drop takes.
    t->setCurrentItem(topItem(t, "PropB "));
    topItem(t, "PropB ")->setSelected(true);
    std::unique_ptr<QMimeData> mime(static_cast<QUserTreeWidget *>(t)->dragMimeData());
    ASSERT_NE(mime, nullptr);
    w.slotMsgTabDropEvent(mime->text(), mime->html());
    EXPECT_EQ(w.sendMessages().size(), 4);

    // Add all: asked first, the rest added silently, in file order.
    prompts.answerExec(1);
    w.soltFileMsgTreeWidgetPopMenueActAddAll();
    EXPECT_EQ(prompts.records().last().text.contains("是否添加所有信号?"), true);
    EXPECT_EQ(prompts.records().size(), 3);
    ASSERT_EQ(w.sendMessages().size(), 5);
    EXPECT_EQ(w.sendMessages().at(4).strName, "EEC1");
    EXPECT_EQ(w.tipBox()->tipLabelWidget()->text(), "操作完成!");
    for (int r = 0; r < 5; ++r)
        EXPECT_EQ(tab->item(r, Win::MsgColIndex)->text(), QString::number(r));

    // Clearing the file messages leaves the send list alone.
    prompts.answerExec(1);
    w.soltFileMsgTreeWidgetPopMenueActClr();
    EXPECT_TRUE(prompts.records().last().text.contains("是否删除所有信号?"));
    EXPECT_EQ(prompts.records().last().title, "警告");
    EXPECT_TRUE(w.fileMessages().isEmpty());
    EXPECT_EQ(topTexts(t), QStringList{"列表空!请先导入DBC文件!"});
    EXPECT_EQ(w.sendMessages().size(), 5);
}

TEST_F(SendWindow, SendListMenuMovesDeletesAndClears)
{
    Win w;
    ASSERT_EQ(loadDbc(w, smallDbc()), 0);
    for (const char *n : {"EngineData", "ENG_1", "Body", "EEC1"})
        ASSERT_EQ(w.sendListMsgAdd(n), 0);
    QTableWidget *tab = w.sendListTable();
    auto names = [&] {
        QStringList out;
        for (const QUserDbcMsg &m : w.sendMessages())
            out << m.strName;
        return out;
    };
    auto at = [&](int row) { w.setSendListPopIndex(tab->model()->index(row, 1)); };
    QUserPromptScript prompts;

    struct Step {
        const char *what;
        int row;
        std::function<void()> act;
        QStringList after;
    };
    const Step steps[] = {
        {"up from row 0: nothing", 0, [&] { w.soltMsgListPopMenueActUp(); }, {"EngineData", "ENG_1", "Body", "EEC1"}},
        {"down from the last row: nothing", 3, [&] { w.soltMsgListPopMenueActDown(); },
         {"EngineData", "ENG_1", "Body", "EEC1"}},
        {"up from row 2", 2, [&] { w.soltMsgListPopMenueActUp(); }, {"EngineData", "Body", "ENG_1", "EEC1"}},
        {"down from row 0", 0, [&] { w.soltMsgListPopMenueActDown(); }, {"Body", "EngineData", "ENG_1", "EEC1"}},
    };
    for (const Step &s : steps) {
        SCOPED_TRACE(s.what);
        at(s.row);
        s.act();
        EXPECT_EQ(names(), s.after);
        for (int r = 0; r < tab->rowCount(); ++r)
            EXPECT_EQ(tab->item(r, Win::MsgColName)->text(), s.after.at(r));
    }
    EXPECT_EQ(prompts.records().size(), 0);

    // Delete asks; No keeps the row.
    at(1);
    prompts.answerExec(0);
    w.soltMsgListPopMenueActDel();
    EXPECT_EQ(names().size(), 4);
    EXPECT_TRUE(prompts.records().last().text.contains("是否删除该消息?"));
    at(1);
    prompts.answerExec(1);
    w.soltMsgListPopMenueActDel();
    EXPECT_EQ(names(), (QStringList{"Body", "ENG_1", "EEC1"}));
    // The pop-up index does not outlive the table it pointed into.
    EXPECT_FALSE(w.sendListPopIndex().isValid());
    w.soltMsgListPopMenueActDel();
    EXPECT_EQ(names().size(), 3);

    selectRow(w, 1);
    EXPECT_GT(w.sigListTable()->rowCount(), 0);
    prompts.answerExec(1);
    w.soltMsgListPopMenueActClr();
    EXPECT_TRUE(prompts.records().last().text.contains("是否删除所有消息?"));
    EXPECT_TRUE(w.sendMessages().isEmpty());
    EXPECT_EQ(tab->rowCount(), 0);
    EXPECT_EQ(w.sigListTable()->rowCount(), 0);
    EXPECT_EQ(w.currentMsgRow(), -1);
    // Nothing to clear: no question.
    const int asked = prompts.records().size();
    w.soltMsgListPopMenueActClr();
    EXPECT_EQ(prompts.records().size(), asked);
}

// ---- the signal list ----------------------------------------------------------------------------

TEST_F(SendWindow, SignalListShowsAndEditsTheCurrentMessage)
{
    Win w;
    ASSERT_EQ(loadDbc(w, smallDbc()), 0);
    ASSERT_EQ(w.sendListMsgAdd("EngineData"), 0);
    ASSERT_EQ(w.sendListMsgAdd("Body"), 0);
    EXPECT_EQ(w.sigListTable()->rowCount(), 0) << "no current row yet";
    selectRow(w, 0);
    QTableWidget *s = w.sigListTable();
    ASSERT_EQ(s->rowCount(), 3);
    EXPECT_EQ(s->item(0, Win::SigColName)->text(), "Speed");
    EXPECT_EQ(s->item(0, Win::SigColRaw)->text(), "0");
    EXPECT_EQ(s->item(0, Win::SigColPhysical)->text(), "0");
    EXPECT_EQ(s->item(0, Win::SigColUnit)->text(), "km/h");
    EXPECT_EQ(s->item(0, Win::SigColMin)->text(), "0");
    EXPECT_EQ(s->item(0, Win::SigColMax)->text(), "300");
    // Temp's raw 0 is -40 degrees: inside its limits.
    EXPECT_EQ(s->item(1, Win::SigColPhysical)->text(), "-40");
    for (int c : {Win::SigColIndex, Win::SigColName, Win::SigColUnit, Win::SigColMin, Win::SigColMax})
        EXPECT_FALSE(s->item(0, c)->flags() & Qt::ItemIsEditable) << c;
    EXPECT_TRUE(s->item(0, Win::SigColRaw)->flags() & Qt::ItemIsEditable);
    EXPECT_TRUE(s->item(0, Win::SigColPhysical)->flags() & Qt::ItemIsEditable);

    struct Edit {
        const char *what;
        int row, column;
        const char *text;
        qint64 raw;
        const char *rawShown, *physShown;
        bool red;
    };
    const Edit edits[] = {
        {"raw hex", 0, Win::SigColRaw, "c8", 200, "C8", "100", false},
        {"physical", 0, Win::SigColPhysical, "123.5", 247, "F7", "123.5", false},
        {"physical above the maximum: still computed", 0, Win::SigColPhysical, "400", 800, "320", "400", true},
        {"unreadable raw reads as 0", 0, Win::SigColRaw, "xyz", 0, "0", "0", false},
        {"signed raw typed as its field, below the minimum", 1, Win::SigColRaw, "F6", -10, "F6", "-50", true},
        {"signed raw inside the limits", 1, Win::SigColRaw, "1E", 30, "1E", "-10", false},
        {"signed physical", 1, Win::SigColPhysical, "-41", -1, "FF", "-41", true},
        {"Motorola field", 2, Win::SigColRaw, "F", 15, "F", "15", false},
    };
    for (const Edit &e : edits) {
        SCOPED_TRACE(e.what);
        editCell(w, e.row, e.column, e.text);
        const QUserDbcSignal &sig = w.sendMessages().at(0).vSignals.at(e.row);
        EXPECT_EQ(sig.nRawValue, e.raw);
        EXPECT_EQ(cellText(w, e.row, Win::SigColRaw), e.rawShown);
        EXPECT_EQ(cellText(w, e.row, Win::SigColPhysical), e.physShown);
        const QColor want = e.red ? QColor(255, 0, 0) : QColor(0, 0, 0);
        EXPECT_EQ(cellColor(w, e.row, Win::SigColRaw), want);
        EXPECT_EQ(cellColor(w, e.row, Win::SigColPhysical), want);
    }
    EXPECT_GT(w.sendMessages().at(0).nFrameTime, 0) << "the time of the last edit";

    // The values so far encode as kemsig places them: Speed 0, Temp -1,
    // Flags 15 in the Motorola nibble of byte 4.
    QUserDbcMsg m = w.sendMessages().at(0);
    ASSERT_TRUE(w.dbcMsgEncode(m));
    EXPECT_EQ(m.strData, "0000FF00F0000000");
    EXPECT_EQ(m.strFrameId, "138");

    // An emptied cell changes nothing and gets its value back.
    {
        LogCapture log;
        editCell(w, 0, Win::SigColRaw, "");
        EXPECT_TRUE(log.contains("Signal Modify Fail,Val Is Null..."));
        EXPECT_EQ(cellText(w, 0, Win::SigColRaw), "0");
    }
    // Only the double-clicked cell is taken: a change elsewhere is not.
    s->item(0, Win::SigColPhysical)->setText("77");
    EXPECT_EQ(w.sendMessages().at(0).vSignals.at(0).nRawValue, 0);

    // Another row shows its own signals; the edits stay with their row.
    selectRow(w, 1);
    ASSERT_EQ(s->rowCount(), 1);
    EXPECT_EQ(s->item(0, Win::SigColName)->text(), "Door");
    selectRow(w, 0);
    EXPECT_EQ(cellText(w, 1, Win::SigColRaw), "FF");
    // Shown again, each cell by its own rule: -41 is below Temp's minimum,
    // its raw value fits.
    EXPECT_EQ(cellColor(w, 1, Win::SigColRaw), QColor(0, 0, 0));
    EXPECT_EQ(cellColor(w, 1, Win::SigColPhysical), QColor(255, 0, 0));
    // The file's own record is untouched.
    EXPECT_EQ(w.fileMessages().at(0).vSignals.at(1).nRawValue, 0);
}

// ---- dialogs ---------------------------------------------------------------------------------

TEST_F(SendWindow, PropertyDialogs)
{
    Win w;
    ASSERT_EQ(loadDbc(w, smallDbc()), 0);
    QTreeWidget *t = w.fileMsgTree();
    QUserPromptScript prompts;
    QList<QStringList> rows;

    // Tree menu: a message, then a signal.
    t->setCurrentItem(topItem(t, "EngineData "));
    prompts.answerExec(readRows(&rows));
    w.soltFileMsgTreeWidgetPopMenueActAttribute();
    EXPECT_EQ(prompts.records().last().title, "EngineData 属性");
    ASSERT_EQ(rows.size(), 6);
    EXPECT_EQ(rows.at(0), (QStringList{"消息名称:", "EngineData"}));
    rows.clear();
    t->setCurrentItem(topItem(t, "EngineData ")->child(0));
    prompts.answerExec(readRows(&rows));
    w.soltFileMsgTreeWidgetPopMenueActAttribute();
    EXPECT_EQ(prompts.records().last().title, "Speed 属性");
    ASSERT_FALSE(rows.isEmpty());
    EXPECT_EQ(rows.at(0), (QStringList{"所属消息:", "EngineData"}));

    // Double click on a signal: titled with the name alone; on a message:
    // nothing.
    rows.clear();
    prompts.answerExec(readRows(&rows));
    w.soltFileMsgTreeWidgetItemDoubleClick(topItem(t, "EngineData ")->child(2), 0);
    EXPECT_EQ(prompts.records().last().title, "Flags");
    bool described = false;
    for (const QStringList &r : rows)
        described |= r.value(0) == "值描述:" && r.value(1) == "0:Off\r\n1:On";
    EXPECT_TRUE(described);
    const int before = prompts.records().size();
    w.soltFileMsgTreeWidgetItemDoubleClick(topItem(t, "EngineData "), 0);
    EXPECT_EQ(prompts.records().size(), before);

    // Send list: the name column shows the message, the data column the
    // frame it encodes to.
    ASSERT_EQ(w.sendListMsgAdd("EngineData"), 0);
    selectRow(w, 0);
    editCell(w, 0, Win::SigColRaw, "1234");
    QAbstractItemModel *model = w.sendListTable()->model();
    rows.clear();
    prompts.answerExec(readRows(&rows));
    w.soltMsgListItemDoubleClick(model->index(0, Win::MsgColName));
    EXPECT_EQ(prompts.records().last().title, "EngineData 属性");
    rows.clear();
    prompts.answerExec(readRows(&rows));
    w.soltMsgListItemDoubleClick(model->index(0, Win::MsgColData));
    EXPECT_EQ(prompts.records().last().title, "EngineData 数据信息");
    ASSERT_EQ(rows.size(), 6);
    EXPECT_EQ(rows.at(2), (QStringList{"帧ID:", "0x138 <实际传输计算所得ID>"}));
    EXPECT_EQ(rows.at(4), (QStringList{"数据长度:", "8 字节"}));
    EXPECT_EQ(rows.at(5), (QStringList{"数据内容:", "34 12 00 00 00 00 00 00"}));
    // Other columns do nothing.
    const int n = prompts.records().size();
    w.soltMsgListItemDoubleClick(model->index(0, Win::MsgColLen));
    EXPECT_EQ(prompts.records().size(), n);

    // Signal list: the name column.
    rows.clear();
    prompts.answerExec(readRows(&rows));
    w.soltSigListItemDoubleClick(w.sigListTable()->model()->index(1, Win::SigColName));
    EXPECT_EQ(prompts.records().last().title, "Temp 属性");
    EXPECT_EQ(prompts.unanswered(), 0);
}

// A message of length 0 (from a project) and an identifier that does not
// fit the message's frame type end in their boxes, before any dialog.
TEST_F(SendWindow, DataDialogRefusesWhatCannotBeSent)
{
    QUserDbcMsg zero;
    zero.strName = "Zero";
    zero.nID = 0x10;
    zero.nSize = 0;
    QUserDbcMsg wide;
    wide.strName = "Wide";
    wide.nID = 0x12345; // a standard frame cannot carry it
    wide.nSize = 8;
    DbcPrjFile prj;
    prj.setPrjFilePath(QDir::current().absoluteFilePath("odd.prj"));
    prj.setDbcFilePath(smallDbc());
    prj.addMessageList({zero, wide});
    ASSERT_EQ(prj.save(), 0);

    Win w;
    QUserPromptScript prompts;
    prompts.answerFile(prj.prjFilePath());
    prompts.answerExec(waitForLoad());
    w.slotDbcPrjLoad();
    ASSERT_EQ(w.sendMessages().size(), 2);
    QAbstractItemModel *model = w.sendListTable()->model();
    prompts.answerExec(1);
    w.soltMsgListItemDoubleClick(model->index(0, Win::MsgColData));
    EXPECT_EQ(prompts.records().last().title, "错误");
    EXPECT_TRUE(prompts.records().last().text.contains("消息参数错误,长度不能等于0!!!"));
    prompts.answerExec(1);
    w.soltMsgListItemDoubleClick(model->index(1, Win::MsgColData));
    EXPECT_TRUE(prompts.records().last().text.contains("数据ID无效,请检查<参数设置>里的协议类型"));
}

TEST_F(SendWindow, SettingsDialogTakesChangesOnlyOnOk)
{
    QUserSysCfg *cfg = QUserSysCfg::instance();
    Win w;
    struct Answer {
        int protocol = -1;
        QString src, dst;
        int fd = -1;
        bool ok = true;
    };
    QList<QStringList> seen;
    auto answer = [&seen](Answer a) {
        return [a, &seen](QDialog *d) {
            auto *dlg = d->findChild<QUserDlgSetting *>();
            if (!dlg)
                return 0;
            QTableWidget *t = dlg->tableWidget();
            seen.clear();
            for (int r = 0; r < t->rowCount(); ++r)
                seen << QStringList{t->item(r, 0)->text(), t->item(r, 2)->text()};
            QList<QUserDlgSettingItem> &rows = *dlg->itemsGet();
            if (a.protocol >= 0)
                rows[0].comboBox->setCurrentIndex(a.protocol);
            if (!a.src.isNull())
                rows[1].lineEdit->setText(a.src);
            if (!a.dst.isNull())
                rows[2].lineEdit->setText(a.dst);
            if (a.fd >= 0)
                rows[3].comboBox->setCurrentIndex(a.fd);
            (a.ok ? dlg->okButton() : dlg->cancelButton())->click();
            return d->result();
        };
    };
    QUserPromptScript prompts;
    // OK without a change writes nothing: a value put into the store
    // meanwhile stays.
    cfg->setString("dbcMsgDstAddr", "7E");
    prompts.answerExec(answer({}));
    w.form()->actSet->trigger();
    EXPECT_EQ(prompts.records().last().title, "DBC发送参数设置");
    EXPECT_EQ(seen, (QList<QStringList>{{"DBC协议类型:", "根据实际协议选择"},
                                        {"J1939源地址:", "十六进制格式,00-FF"},
                                        {"J1939目的地址:", "十六进制格式,00-FF"},
                                        {"FD设备帧协议:", "FD设备工作于于FD模式时有效"}}));
    EXPECT_EQ(cfg->getString("dbcMsgDstAddr"), "7E");
    // Cancel takes nothing.
    prompts.answerExec(answer({1, "12", "34", 0, false}));
    w.slotDbcSetting();
    EXPECT_EQ(w.protocolType(), 0);
    EXPECT_EQ(w.srcAddr(), "FF");
    // OK with changes takes all four and saves them.
    prompts.answerExec(answer({1, "12", "34", 0, true}));
    w.slotDbcSetting();
    EXPECT_EQ(w.protocolType(), 1);
    EXPECT_EQ(w.srcAddr(), "12");
    EXPECT_EQ(w.dstAddr(), "34");
    EXPECT_EQ(w.fdSendProtocol(), 0);
    EXPECT_EQ(cfg->getString("dbcProcotolType"), "1");
    EXPECT_EQ(cfg->getString("dbcMsgSrcAddr"), "12");
    EXPECT_EQ(cfg->getString("dbcMsgDstAddr"), "34");
    EXPECT_EQ(cfg->getString("dbcFdSendProcotol"), "0");
    // The next encode uses them.
    QUserDbcMsg m;
    m.nID = 0x98EF1234;
    m.nSize = 8;
    m.nExtend = 1;
    ASSERT_TRUE(w.dbcMsgEncode(m));
    EXPECT_EQ(m.strFrameId, "18EF3412");
    EXPECT_EQ(prompts.unanswered(), 0);
}

TEST_F(SendWindow, HelpListsTheTopics)
{
    Win w;
    QUserPromptScript prompts;
    QList<QStringList> rows;
    prompts.answerExec(readRows(&rows));
    w.form()->actHelp->trigger();
    EXPECT_EQ(prompts.records().last().title, "DBC发送帮助");
    QStringList topics;
    for (const QStringList &r : rows) {
        topics << r.value(0);
        EXPECT_FALSE(r.value(1).isEmpty());
    }
    EXPECT_EQ(topics, (QStringList{"操作步骤:", "加载DBC:", "选择消息:", "选择方法:", "信号修改:", "发送方法:",
                                   "信号值格式:", "保存工程:", "打开工程:", "属性查看:"}));
    EXPECT_EQ(rows.at(6).at(1), "原始值是十六进制数,物理值是十进制数");
}

// ---- without kemsig ---------------------------------------------------------------------------

// The window's own library does not load: it logs, makes no handle and
// shows no box; loading still works (the job has a library of its own), but
// nothing is encoded or converted, and a send reports the encode failure.
TEST_F(SendWindow, WithoutKemsigNothingUnresolvedIsCalled)
{
    Win::setLibFileName("nosuchkemsig.dll");
    LogCapture log;
    QUserPromptScript prompts;
    Win w;
    EXPECT_TRUE(log.contains("Kem DBC Lib Load Fail..."));
    EXPECT_FALSE(w.kemsigBound());
    EXPECT_FALSE(w.hasHandle());
    EXPECT_EQ(prompts.records().size(), 0);

    ASSERT_EQ(loadDbc(w, smallDbc()), 0);
    ASSERT_EQ(w.sendListMsgAdd("EngineData"), 0);
    selectRow(w, 0);
    editCell(w, 0, Win::SigColRaw, "10");
    EXPECT_EQ(w.sendMessages().at(0).vSignals.at(0).nRawValue, 0) << "left as it was";
    EXPECT_EQ(cellText(w, 0, Win::SigColRaw), "0");
    QUserDbcMsg m = w.sendMessages().at(0);
    EXPECT_FALSE(w.dbcMsgEncode(m));
    prompts.answerExec(1);
    sendButton(w, 0)->click();
    EXPECT_EQ(prompts.records().last().title, "错误");
    EXPECT_TRUE(prompts.records().last().text.contains("发送错误,DBC消息编码错误"));
}

// Closing destroys the window (delete on close) and ends its worker thread.
TEST_F(SendWindow, CloseDestroysTheWindowAndItsWorker)
{
    QPointer<Win> w = new Win;
    QPointer<QThread> thread = w->workerThread();
    ASSERT_TRUE(thread);
    ASSERT_EQ(loadDbc(*w, smallDbc()), 0);
    w->show();
    EXPECT_TRUE(w->close());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(w.isNull());
    EXPECT_TRUE(thread.isNull());
    EXPECT_EQ(QUserDbcSendWork::activeJobs(), 0);
}

// ---- sending ------------------------------------------------------------------------------------

// On a classic channel a 12-byte message goes out as its first 8 bytes with
// protocol 0 (its data text keeps all 12); the frame is reported back with
// the window's tag. A channel that is not open fails the send with a box; a
// J1939 identifier on a message without the extended flag never leaves.
TEST_F(SendWindow, SendsThroughTheRegistry)
{
    if (!kemusbBuilt())
        GTEST_SKIP() << "libkemusb.so not built";
    const QString dbc = QDir::current().absoluteFilePath("twelve.dbc");
    ASSERT_TRUE(writeText(dbc, "VERSION \"\"\n\nBU_: A\n\n"
                               "BO_ 801 Twelve: 12 A\n"
                               " SG_ Head : 0|16@1+ (1,0) [0|65535] \"\" A\n"
                               " SG_ Tail : 64|32@1+ (1,0) [0|4294967295] \"\" A\n\n"
                               "BO_ 2147483939 Marked: 8 A\n"
                               " SG_ B0 : 0|8@1+ (1,0) [0|255] \"\" A\n"));
    SimRig rig;
    ASSERT_TRUE(rig.open(false));
    Win w;
    w.setDevAdapter(SimRig::tx(), &rig.reg);
    ASSERT_FALSE(w.canFdAllowed());
    ASSERT_EQ(loadDbc(w, dbc), 0);
    ASSERT_EQ(w.sendListMsgAdd("Twelve"), 0);
    ASSERT_EQ(w.sendListMsgAdd("Marked"), 0);
    selectRow(w, 0);
    editCell(w, 0, Win::SigColRaw, "BEEF");
    editCell(w, 1, Win::SigColRaw, "11223344");
    QUserPromptScript prompts;
    sendButton(w, 0)->click();
    sendButton(w, 1)->click();
    EXPECT_EQ(prompts.records().size(), 0);
    EXPECT_EQ(w.statusBar()->currentMessage(), "发送成功..");
    EXPECT_EQ(w.sendMessages().at(0).strData, "EFBE000000000000" "44332211");
    ASSERT_TRUE(waitUntil([&] { return rig.received(SimRig::rx()).size() == 2; }));
    const QUserCanMsg got = rig.received(SimRig::rx()).at(0);
    EXPECT_EQ(got.getId(), 0x321);
    EXPECT_EQ(got.extended, 0);
    EXPECT_EQ(got.protocol, 0);
    EXPECT_EQ(got.lenText, "8");
    EXPECT_EQ(got.dataText, "EFBE000000000000");
    // Bit 31 of the file's identifier marks the extended frame; it is not
    // part of the identifier sent.
    const QUserCanMsg marked = rig.received(SimRig::rx()).at(1);
    EXPECT_EQ(marked.getId(), 0x123);
    EXPECT_EQ(marked.extended, 1);
    ASSERT_TRUE(waitUntil([&] { return rig.collector.resultsWith(SimRig::tx(), MsgTagDbcSend) == 2; }));

    LogCapture log;
    w.setDevAdapter("TRNA702-0-9", &rig.reg);
    prompts.answerExec(1);
    sendButton(w, 0)->click();
    EXPECT_EQ(w.statusBar()->currentMessage(), "发送失败..");
    ASSERT_EQ(prompts.records().size(), 1);
    EXPECT_EQ(prompts.records().at(0).title, "错误");
    EXPECT_TRUE(prompts.records().at(0).text.contains("发送失败.."));
    EXPECT_TRUE(log.contains("ERROR:DBC Msg Send Fail,CanMsg Send Fail ..."));

    QUserSysCfg::instance()->setInt("dbcProcotolType", 1);
    Win j1939;
    j1939.setDevAdapter(SimRig::tx(), &rig.reg);
    ASSERT_EQ(loadDbc(j1939, dbc), 0);
    ASSERT_EQ(j1939.sendListMsgAdd("Twelve"), 0);
    prompts.answerExec(1);
    sendButton(j1939, 0)->click();
    EXPECT_TRUE(prompts.records().last().text.contains("数据ID无效,请检查<参数设置>里的协议类型"));
    EXPECT_TRUE(log.contains("ERROR:DBC Msg Send Fail,Msg Id Invalid..."));
    QCoreApplication::processEvents();
    EXPECT_EQ(rig.received(SimRig::rx()).size(), 2) << "nothing more was sent";
}

// Both tables keep their last column stretched over the rest of the width
// after their columns are sized to their contents (a rebuilt send list, a
// refilled signal list).
TEST_F(SendWindow, TablesKeepTheirLastColumnStretched)
{
    Win w;
    w.resize(1100, 680);
    w.show();
    ASSERT_EQ(loadDbc(w, smallDbc()), 0);
    for (const char *n : {"EngineData", "ENG_1", "Body"})
        ASSERT_EQ(w.sendListMsgAdd(n), 0);
    w.setSendListPopIndex(w.sendListTable()->model()->index(0, 1));
    w.soltMsgListPopMenueActDown();
    selectRow(w, 1);
    QCoreApplication::processEvents();
    for (QTableWidget *t : {static_cast<QTableWidget *>(w.sendListTable()), static_cast<QTableWidget *>(w.sigListTable())}) {
        ASSERT_GT(t->rowCount(), 0);
        EXPECT_EQ(t->horizontalHeader()->length(), t->viewport()->width());
    }
}

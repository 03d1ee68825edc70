// The DBC window's frame, its kemsig binding, loading DBC files on the
// worker thread behind the progress dialog (answered through the prompt
// seam), the outcome of each load, the message tree and its filter; the
// cancel of a running load and the release of the job's library.
#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressDialog>
#include <QSemaphore>
#include <QSplitter>
#include <QToolBar>

#include <atomic>
#include <fstream>
#include <thread>

#include "tests/dbc/DbcWindowSupport.h"
#include "core/QUserTimer.h"
#include "dbc/DbcFileLoader.h"
#include "dbc/QUserMainWindowDBCForm.h"
#include "widgets/QUserProgressDlg.h"
#include "widgets/QUserTableView.h"
#include "widgets/QUserTreeWidget.h"

using namespace dbcwin;

namespace {

class WindowLoad : public DbcWindowTest
{
};

QStringList topTexts(QUserMainWindowDBC *w)
{
    QStringList out;
    for (int i = 0; i < w->msgTree()->topLevelItemCount(); ++i)
        out << w->msgTree()->topLevelItem(i)->text(0);
    return out;
}

QString tipText(QUserMainWindowDBC *w)
{
    QLabel *l = w->messageBox().tipLabelWidget();
    return l ? l->text() : QString();
}

// True while a library file of that name is mapped into the process.
bool libraryMapped(const std::string &name)
{
    std::ifstream f("/proc/self/maps");
    std::string line;
    while (std::getline(f, line)) {
        if (line.find(name) != std::string::npos)
            return true;
    }
    return false;
}

} // namespace

TEST_F(WindowLoad, FrameActionsAndPanels)
{
    std::unique_ptr<QUserMainWindowDBC> w(new QUserMainWindowDBC);
    Ui_QUserMainWindowDBC *ui = w->form();
    EXPECT_EQ(w->objectName(), "QUserMainWindowDBC");
    EXPECT_EQ(w->windowTitle(), "DBC解析");
    EXPECT_TRUE(w->testAttribute(Qt::WA_DeleteOnClose));
    EXPECT_EQ(w->parent(), nullptr);

    struct Act {
        QAction *a;
        const char *text, *tip;
        QWidget *where;
    };
    const Act acts[] = {
        {ui->actLoadDbc, "加载DBC", "加载DBC文件", ui->menu_DBC},
        {ui->actOpen, "打开工程", "打开工程文件", ui->menu_DBC},
        {ui->actSave, "保存工程", "保存工程", ui->menu_DBC},
        {ui->actChartSet, "图表设置", "图表设置", ui->menuDBC},
        {ui->actAnalysisSet, "解析设置", "DBC解析设置", ui->menuDBC},
        {ui->actHelp, "帮助", "帮助", ui->menu},
        {ui->actDataClr, "数据清空", "数据清空", ui->toolBar},
        {ui->actDataStop, "停止显示", "停止显示", ui->toolBar},
        {ui->actAutoFit, "自动缩放", "图表自适应", ui->toolBar},
    };
    for (const Act &a : acts) {
        SCOPED_TRACE(a.text);
        EXPECT_EQ(a.a->text(), QString::fromUtf8(a.text));
        EXPECT_EQ(a.a->toolTip(), QString::fromUtf8(a.tip));
        EXPECT_FALSE(a.a->icon().isNull()) << "its picture is compiled in";
        EXPECT_TRUE(a.where->actions().contains(a.a));
    }
    EXPECT_EQ(ui->menu_DBC->actions(), QList<QAction *>({ui->actLoadDbc, ui->actOpen, ui->actSave}));
    EXPECT_EQ(ui->menu_DBC->title(), "文件");
    EXPECT_EQ(ui->menuDBC->title(), "设置");
    EXPECT_EQ(ui->menu->title(), "帮助");
    EXPECT_TRUE(ui->actDataStop->isCheckable());
    EXPECT_EQ(w->toolBarArea(ui->toolBar), Qt::RightToolBarArea);
    EXPECT_EQ(ui->toolBar->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);

    // The tree with its placeholder, the filter, the table, the splitters.
    ASSERT_EQ(w->msgTree()->topLevelItemCount(), 1);
    EXPECT_EQ(w->msgTree()->topLevelItem(0)->text(0), "列表空!请先导入DBC文件!");
    EXPECT_TRUE(w->msgTree()->isHeaderHidden());
    EXPECT_TRUE(w->msgTree()->dragEnabled());
    EXPECT_FALSE(w->msgTree()->acceptDrops());
    EXPECT_EQ(w->filterEdit()->placeholderText(), "输入消息名称或ID(10进制)");
    QStringList heads;
    for (int c = 0; c < w->listenModel()->columnCount(); ++c)
        heads << w->listenModel()->horizontalHeaderItem(c)->text();
    EXPECT_EQ(heads, QStringList({"序号", "信号名称", "信号颜色", "图表显示", "原始值(Hex)", "物理值", "最小值", "最大值",
                                  "时间标志", "报文"}));
    EXPECT_TRUE(w->listenTable()->acceptDrops());
    EXPECT_EQ(w->listenTable()->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_EQ(w->listenTable()->selectionMode(), QAbstractItemView::SingleSelection);
    EXPECT_TRUE(w->listenTable()->horizontalHeader()->stretchLastSection());
    EXPECT_NE(w->listenTable()->itemDelegateForColumn(2), nullptr);
    QStringList treeMenu, listenMenu;
    for (QAction *a : w->treeMenu()->actions())
        treeMenu << a->text();
    for (QAction *a : w->listenMenu()->actions())
        listenMenu << a->text();
    EXPECT_EQ(treeMenu, QStringList({"添加到监听列表", "添加所有信号到监听列表", "删除所有信号", "属性"}));
    EXPECT_EQ(listenMenu, QStringList({"信号上移一行", "信号下移一行", "删除当前信号", "删除所有信号"}));
    ASSERT_NE(w->rootSplitter(), nullptr);
    EXPECT_EQ(w->rootSplitter()->orientation(), Qt::Horizontal);
    EXPECT_EQ(w->rightSplitter()->orientation(), Qt::Vertical);
    EXPECT_EQ(w->rootSplitter()->widget(1), w->rightSplitter());
    EXPECT_EQ(w->rightSplitter()->widget(0), reinterpret_cast<QWidget *>(w->chartView()));

    // Bound for its whole life, the worker on a running thread of its own.
    EXPECT_TRUE(w->isBound());
    ASSERT_NE(w->workerThread(), nullptr);
    EXPECT_TRUE(w->workerThread()->isRunning());
    EXPECT_EQ(w->worker()->thread(), w->workerThread());
}

// The stored protocol decides the analysis handle's keys once, when the
// window binds: J1939 for 1, plain CAN otherwise. A J1939 group sent by
// another source decodes only under J1939.
TEST_F(WindowLoad, ProtocolSettingDecidesTheHandle)
{
    struct Case {
        int stored;
        bool j1939;
    };
    const Case cases[] = {{0, false}, {1, true}, {5, false}, {-7, false}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.stored);
        QUserSysCfg::instance()->setInt("dbcProcotolType", c.stored);
        std::unique_ptr<QUserMainWindowDBC> w(new QUserMainWindowDBC);
        EXPECT_EQ(w->protocolType(), c.stored);
        ASSERT_TRUE(w->isBound());
        QUserDbcMsg msg;
        msg.strName = "EEC1";
        msg.nID = 0x98FEF100u;
        msg.nSize = 8;
        msg.nExtend = 1;
        w->listenMsgInsert(msg);
        KCAN_CAN_OBJ f;
        std::memset(&f, 0, sizeof f);
        f.ID = 0x18FEF117u;
        f.ExternFlag = 1;
        f.DataLen = 8;
        std::unique_ptr<DbcMessage> out(new DbcMessage);
        const int r = w->kemsig()->decode(w->analysisHandle(), &f, 0, out.get());
        EXPECT_EQ(r == 0, c.j1939);
    }
}

TEST_F(WindowLoad, LoadOutcomes)
{
    ASSERT_TRUE(writeDbc(dbcPath(), smallDbc()));
    struct Case {
        const char *what;
        QString path;
        const char *box;   // error box text, or nullptr
        const char *log;   // a log line the load writes
        bool loaded;
    };
    const QString missing = QDir::current().absoluteFilePath("missing.dbc");
    const Case cases[] = {
        {"good file", dbcPath(), nullptr, "DBC Msg数量:3", true},
        {"empty path", QString(), "DBC文件加载失败,路径空!!!", "DBC文件加载失败,路径空!!!", false},
        {"missing file", missing, "DBC文件解析失败!!!", "解析失败!!!", false},
    };
    std::unique_ptr<QUserMainWindowDBC> w(new QUserMainWindowDBC);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        LogCapture log;
        QUserPromptScript prompts;
        answerLoadRun(prompts, w.get());
        if (c.box)
            prompts.answerExec(1);
        EXPECT_EQ(w->dbcFileLoad(c.path), 1);
        EXPECT_FALSE(w->isLoadBusy());
        EXPECT_EQ(prompts.unanswered(), 0);
        const auto b = boxes(prompts);
        if (c.box) {
            ASSERT_EQ(b.size(), 1);
            EXPECT_EQ(b[0].first, "错误");
            EXPECT_TRUE(b[0].second.contains(QString::fromUtf8(c.box)));
            EXPECT_EQ(tipText(w.get()), "操作完成!");
        } else {
            EXPECT_TRUE(b.isEmpty());
            EXPECT_EQ(tipText(w.get()), "DBC文件加载成功!");
        }
        EXPECT_TRUE(log.contains(QString::fromUtf8(c.log)));
        if (c.path == missing) {
            EXPECT_TRUE(log.contains(QStringLiteral("DBC文件<%1>解析失败!!!").arg(missing)));
        }
        // The progress dialog was the run answered first, and is hidden now.
        ASSERT_FALSE(prompts.records().isEmpty());
        EXPECT_EQ(prompts.records().first().className, w->loadJob().progressDlg->metaObject()->className());
        EXPECT_EQ(prompts.records().first().title, "加载中...");
        EXPECT_FALSE(w->loadJob().progressDlg->isVisible());
        EXPECT_FALSE(w->loadJob().progressTimer->isActive());
        // A failed load leaves the loaded file, its path, tree and title.
        EXPECT_EQ(w->dbcMessages().size(), 3);
        EXPECT_EQ(w->dbcFilePath(), dbcPath());
        EXPECT_EQ(w->windowTitle(), "DBC解析 - small.dbc");
        EXPECT_EQ(topTexts(w.get()).size(), 3);
    }
}

// The library the load jobs bind may be missing while the window's own is
// there: the job reports it and nothing else changes.
TEST_F(WindowLoad, JobWithoutItsLibraryReportsIt)
{
    ASSERT_TRUE(writeDbc(dbcPath(), smallDbc()));
    std::unique_ptr<QUserMainWindowDBC> w(new QUserMainWindowDBC);
    QUserMainWindowDBC::setKemsigLibName("kemsig_absent.dll");
    QUserPromptScript prompts;
    answerLoadRun(prompts, w.get());
    prompts.answerExec(1);
    EXPECT_EQ(w->dbcFileLoad(dbcPath()), 1);
    QUserMainWindowDBC::setKemsigLibName("kemsig.dll");
    ASSERT_EQ(boxes(prompts).size(), 1);
    EXPECT_TRUE(boxes(prompts)[0].second.contains("DBC库加载失败!!!"));
    EXPECT_EQ(w->loadJob().result, DbcFileLoader::LibLoadFailed);
    EXPECT_TRUE(w->dbcMessages().isEmpty());
}

// Without kemsig the window opens unbound: no box, lists work, decoding and
// the handle's sync are skipped.
TEST_F(WindowLoad, UnboundWindowWorksWithoutDecoding)
{
    LogCapture log;
    QUserMainWindowDBC::setKemsigLibName("kemsig_absent.dll");
    QUserPromptScript prompts;
    std::unique_ptr<QUserMainWindowDBC> w(new QUserMainWindowDBC);
    QUserMainWindowDBC::setKemsigLibName("kemsig.dll");
    EXPECT_TRUE(log.contains("Kem DBC Lib Load Fail..."));
    EXPECT_TRUE(prompts.records().isEmpty());
    EXPECT_FALSE(w->isBound());
    QUserDbcMsg m;
    m.strName = "M";
    m.nID = 5;
    w->listenMsgInsert(m);
    EXPECT_TRUE(w->listenMsgExists("M"));
    w->listenMsgSync();
    EXPECT_TRUE(log.contains("ERROR:Kem DBC LIB is invalid..."));
    QUserCanMsg f;
    w->soltCanMsgRec("X-0-0", f); // ignored without a handle
    EXPECT_TRUE(w->listenMsgDel("M"));
}

TEST_F(WindowLoad, TreeShowsMessagesAndFilters)
{
    ASSERT_TRUE(writeDbc(dbcPath(), smallDbc()));
    std::unique_ptr<QUserMainWindowDBC> w(new QUserMainWindowDBC);
    ASSERT_EQ(loadDbc(w.get(), dbcPath()), 1);
    // kemsig's key order: 256, 1024, then the extended 0x18FEF100.
    EXPECT_EQ(topTexts(w.get()), QStringList({"EngineData 256", "Empty 1024", "车速报文 2566844672"}));
    QTreeWidgetItem *eng = w->msgTree()->topLevelItem(0);
    EXPECT_TRUE(eng->font(0).bold());
    EXPECT_EQ(eng->font(0).family(), "Calibri");
    ASSERT_EQ(eng->childCount(), 3);
    EXPECT_EQ(eng->child(0)->text(0), "EngSpeed");
    EXPECT_EQ(eng->child(2)->text(0), "Gear");
    EXPECT_EQ(w->msgTree()->topLevelItem(1)->childCount(), 0);
    EXPECT_EQ(w->msgTree()->topLevelItem(2)->child(0)->text(0), "车速");

    struct Case {
        const char *filter;
        QStringList shown;
    };
    const Case cases[] = {
        {"25", {"EngineData 256", "车速报文 2566844672"}},
        {"eng", {"EngineData 256"}},
        {"ENGINE", {"EngineData 256"}},
        {"车速", {"车速报文 2566844672"}},
        {"1024", {"Empty 1024"}},
        {"xyz", {}},
        {"", {"EngineData 256", "Empty 1024", "车速报文 2566844672"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.filter);
        w->filterEdit()->setText(QString::fromUtf8(c.filter));
        EXPECT_EQ(w->msgFilterText(), QString::fromUtf8(c.filter));
        EXPECT_EQ(topTexts(w.get()), c.shown);
    }

    // Clearing the loaded list asks first; cancel keeps it.
    QUserPromptScript prompts;
    prompts.answerExec(0);
    w->soltTreeWidgetPopMenueActClr();
    EXPECT_EQ(w->dbcMessages().size(), 3);
    prompts.answerExec(1);
    w->soltTreeWidgetPopMenueActClr();
    EXPECT_TRUE(w->dbcMessages().isEmpty());
    EXPECT_EQ(topTexts(w.get()), QStringList({"列表空!请先导入DBC文件!"}));
    ASSERT_EQ(boxes(prompts).size(), 2);
    EXPECT_EQ(boxes(prompts)[0].first, "警告");
    EXPECT_TRUE(boxes(prompts)[0].second.contains("是否删除所有信号?"));
}

// What a load hands over: definitions, comments and value descriptions (at
// most 16 a signal; names in Chinese found through their UTF-8 form).
TEST_F(WindowLoad, LoadedRecordsCarryTheFile)
{
    QString text = smallDbc();
    text += QString::fromUtf8("VAL_ 2566844672 车速 0 \"停止\" 1 \"慢\" ;\nBO_ 300 Many: 8 ECU\n SG_ Mode : 0|8@1+ (1,0) [0|255] \"\" ECU\n");
    QString pairs;
    for (int i = 0; i < 20; ++i)
        pairs += QStringLiteral(" %1 \"m%1\"").arg(i);
    text += "VAL_ 300 Mode" + pairs + " ;\n";
    ASSERT_TRUE(writeDbc(dbcPath(), text));
    std::unique_ptr<QUserMainWindowDBC> w(new QUserMainWindowDBC);
    ASSERT_EQ(loadDbc(w.get(), dbcPath()), 1);
    QUserDbcMsg eng, speed, many;
    ASSERT_TRUE(w->msgFindByName("EngineData", eng));
    ASSERT_TRUE(w->msgFindByName("车速报文", speed));
    ASSERT_TRUE(w->msgFindByName("Many", many));
    EXPECT_EQ(eng.nID, 256u);
    EXPECT_EQ(eng.strComment, "engine");
    EXPECT_EQ(eng.vSignals[1].isMotorola, 1);
    EXPECT_EQ(eng.vSignals[1].isSigned, 1);
    EXPECT_EQ(eng.vSignals[1].nOffset, -40);
    EXPECT_EQ(eng.vSignals[2].valDesPair.size(), 4);
    EXPECT_EQ(eng.vSignals[2].valDesPair.value(3), "D");
    EXPECT_EQ(speed.nExtend, 1);
    EXPECT_EQ(speed.vSignals[0].valDesPair.value(0), "停止");
    ASSERT_EQ(many.vSignals[0].valDesPair.size(), 16);
    EXPECT_EQ(many.vSignals[0].valDesPair.firstKey(), 0);
    EXPECT_EQ(many.vSignals[0].valDesPair.lastKey(), 15);
}

// The path reaches kemsig in the platform's file-name encoding: a DBC file
// in a folder with a Chinese name loads; a path of more than 260 bytes is
// cut to 260 and then names no file.
TEST_F(WindowLoad, PathEncodingAndLength)
{
    ASSERT_TRUE(QDir().mkpath("数据库"));
    const QString cn = QDir::current().absoluteFilePath("数据库/文件.dbc");
    ASSERT_TRUE(writeDbc(cn, smallDbc()));
    EXPECT_EQ(DbcFileLoader::pathBytes(cn), QFile::encodeName(cn));
    std::unique_ptr<QUserMainWindowDBC> w(new QUserMainWindowDBC);
    ASSERT_EQ(loadDbc(w.get(), cn), 1);
    EXPECT_EQ(w->loadJob().result, DbcFileLoader::Loaded);
    EXPECT_EQ(w->windowTitle(), "DBC解析 - 文件.dbc");

    QString deep = QDir::current().absolutePath();
    while (QFile::encodeName(deep).size() < 300)
        deep += "/abcdefghij";
    ASSERT_TRUE(QDir().mkpath(deep));
    const QString longPath = deep + "/x.dbc";
    ASSERT_TRUE(writeDbc(longPath, smallDbc()));
    // Paths are not cut on this platform: a long path loads here as it
    // does in the send window.
    EXPECT_EQ(DbcFileLoader::pathBytes(longPath), QFile::encodeName(longPath));
    ASSERT_EQ(loadDbc(w.get(), longPath), 1);
    EXPECT_EQ(w->loadJob().result, DbcFileLoader::Loaded);
    EXPECT_EQ(w->windowTitle(), "DBC解析 - x.dbc");
    EXPECT_EQ(w->dbcMessages().size(), 3);
}

// Mend: the progress dialog may close (cancel) while the job still runs.
// The window then stays busy, never reads the job record, refuses further
// loads, and becomes free only when the job has ended; what the cancelled
// job made is dropped.
TEST_F(WindowLoad, CancelledLoadKeepsTheWindowBusyUntilTheJobEnds)
{
    ASSERT_TRUE(writeDbc(dbcPath(), smallDbc()));
    QString other = QString::fromUtf8("BO_ 7 Only: 8 ECU\n SG_ S : 0|8@1+ (1,0) [0|255] \"\" ECU\n");
    const QString otherPath = dbcPath("other.dbc");
    ASSERT_TRUE(writeDbc(otherPath, other));
    std::unique_ptr<QUserMainWindowDBC> w(new QUserMainWindowDBC);
    ASSERT_EQ(loadDbc(w.get(), dbcPath()), 1);
    ASSERT_EQ(w->dbcMessages().size(), 3);

    // Hold the worker thread so that the job cannot start before the cancel.
    QSemaphore gate;
    int jobStarts = 0;
    QObject::connect(w->worker(), &QUserWork::notice, w.get(), [&](void *, int phase, int) {
        jobStarts += phase == 0;
    });
    QMetaObject::invokeMethod(w->worker(), [&gate] { gate.acquire(); }, Qt::QueuedConnection);

    QUserPromptScript prompts;
    prompts.answerExec(0); // the dialog closes at once: cancel
    EXPECT_EQ(w->dbcFileLoad(otherPath), 0);
    EXPECT_TRUE(w->isLoadBusy());
    EXPECT_TRUE(w->isLoadJobRunning());
    // Nothing of the record was taken over.
    EXPECT_EQ(w->dbcMessages().size(), 3);
    EXPECT_EQ(w->windowTitle(), "DBC解析 - small.dbc");
    EXPECT_TRUE(boxes(prompts).isEmpty());

    // A second load and a project load are refused while the job is in hand.
    EXPECT_EQ(w->dbcFileLoad(otherPath), 0);
    w->slotDbcPrjLoad();
    w->slotDbcFileLoad();
    EXPECT_EQ(prompts.records().size(), 1) << "no dialog, no chooser while busy";
    EXPECT_EQ(tipText(w.get()), "加载中...");

    gate.release();
    ASSERT_TRUE(waitUntil([&] { return !w->isLoadBusy(); }));
    EXPECT_EQ(jobStarts, 1);
    EXPECT_EQ(w->dbcMessages().size(), 3) << "the cancelled job's result is dropped";
    EXPECT_EQ(w->dbcFilePath(), dbcPath());
    EXPECT_FALSE(w->loadJob().progressTimer->isActive());

    // Free again: the next load runs and is taken over.
    ASSERT_EQ(loadDbc(w.get(), otherPath), 1);
    EXPECT_EQ(w->dbcMessages().size(), 1);
    EXPECT_EQ(w->windowTitle(), "DBC解析 - other.dbc");
    EXPECT_EQ(jobStarts, 2);
}

// A job's end closes its dialog with the end notice itself. Were the close
// a delivery of its own, one still under way when the next load began would
// close that load's dialog and cancel a load nobody cancelled. Here the
// worker is held inside the cancelled job's end, after its end notice went
// out, until the next load's dialog is up; the next job waits on the worker
// a while, so that a stray close meets it under way. The next load must
// still load, its dialog closed by its own end.
TEST_F(WindowLoad, EndOfACancelledLoadDoesNotCancelTheNextOne)
{
    ASSERT_TRUE(writeDbc(dbcPath(), smallDbc()));
    const QString otherPath = dbcPath("other.dbc");
    ASSERT_TRUE(writeDbc(otherPath, QString::fromUtf8("BO_ 7 Only: 8 ECU\n SG_ S : 0|8@1+ (1,0) [0|255] \"\" ECU\n")));
    // Outlive the window: its worker thread may still be in the end.
    std::atomic<bool> secondUp{false};
    std::atomic<int> ends{0};
    QSemaphore first, second;
    std::unique_ptr<QUserMainWindowDBC> w(new QUserMainWindowDBC);
    QObject::connect(
        w->worker(), QOverload<>::of(&QUserWork::stop), w->worker(),
        [&] {
            if (ends.fetch_add(1) == 0)
                testsupport::waitUntilReal([&] { return secondUp.load(); });
        },
        Qt::DirectConnection);

    QMetaObject::invokeMethod(w->worker(), [&first] { first.acquire(); }, Qt::QueuedConnection);
    QUserPromptScript prompts;
    prompts.answerExec(0); // the dialog closes at once: cancel
    EXPECT_EQ(w->dbcFileLoad(dbcPath()), 0);
    first.release();
    // Its end notice came (the window is free); the worker is held after it.
    ASSERT_TRUE(waitUntil([&] { return !w->isLoadBusy(); }));

    QMetaObject::invokeMethod(w->worker(), [&second] { second.acquire(); }, Qt::QueuedConnection);
    bool closedByItsEnd = false;
    prompts.answerExec([&](QDialog *d) {
        secondUp = true;
        auto *pd = qobject_cast<QProgressDialog *>(d);
        if (!pd)
            return 0;
        waitUntil([pd] { return pd->wasCanceled(); }, 2000);
        second.release();
        closedByItsEnd = waitUntil([pd] { return pd->wasCanceled(); });
        return 0;
    });
    const int loaded = w->dbcFileLoad(otherPath);
    secondUp = true; // when the next dialog never came up
    second.release();
    EXPECT_EQ(prompts.unanswered(), 0);
    EXPECT_TRUE(closedByItsEnd);
    EXPECT_EQ(loaded, 1) << "the next load was cancelled";
    ASSERT_TRUE(waitUntil([&] { return !w->isLoadBusy(); }));
    EXPECT_EQ(w->dbcMessages().size(), 1);
    EXPECT_EQ(w->windowTitle(), "DBC解析 - other.dbc");
}

// Closing the window while a load job runs waits for the job: the record
// and the worker outlive it.
TEST_F(WindowLoad, ClosingWhileAJobRunsWaitsForIt)
{
    ASSERT_TRUE(writeDbc(dbcPath(), smallDbc()));
    QUserMainWindowDBC *w = new QUserMainWindowDBC;
    QSemaphore gate;
    QMetaObject::invokeMethod(w->worker(), [&gate] { gate.acquire(); }, Qt::QueuedConnection);
    QUserPromptScript prompts;
    prompts.answerExec(0);
    EXPECT_EQ(w->dbcFileLoad(dbcPath()), 0);
    std::thread opener([&gate] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        gate.release();
    });
    delete w;
    opener.join();
}

// Mend: the load job releases its library object whatever its outcome
// (here a copy of kemsig that only the job binds: after each load it is no
// longer mapped into the process).
TEST_F(WindowLoad, LoadJobAlwaysReleasesItsLibrary)
{
    ASSERT_TRUE(writeDbc(dbcPath(), smallDbc()));
    const QString bin = QDir::current().absoluteFilePath("jobbin/bin");
    ASSERT_TRUE(QDir().mkpath(bin));
    ASSERT_TRUE(QFile::copy(QString::fromStdString(peer::binDir()) + "/libkemsig.so", bin + "/libkemsigjob.so"));
    const QByteArray savedBin = qgetenv("ORVANE_BINARY_DIR");
    const bool hadBin = qEnvironmentVariableIsSet("ORVANE_BINARY_DIR");
    std::unique_ptr<QUserMainWindowDBC> w(new QUserMainWindowDBC);
    qputenv("ORVANE_BINARY_DIR", QFile::encodeName(QDir::current().absoluteFilePath("jobbin")));
    QUserMainWindowDBC::setKemsigLibName("kemsigjob.dll");

    struct Case {
        const char *what;
        QString path;
        int result;
        int boxes;
    };
    const Case cases[] = {
        {"file kemsig cannot open", QDir::current().absoluteFilePath("missing.dbc"), DbcFileLoader::ParseFailed, 1},
        {"empty path", QString(), DbcFileLoader::EmptyPath, 1},
        {"good file", dbcPath(), DbcFileLoader::Loaded, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        LogCapture log;
        ASSERT_EQ(loadDbc(w.get(), c.path, c.boxes), 1);
        EXPECT_EQ(w->loadJob().result, c.result);
        EXPECT_TRUE(log.contains("Kem DBC Lib Load Success..."));
        EXPECT_TRUE(log.contains("Kem DBC Lib UnLoad..."));
        EXPECT_FALSE(libraryMapped("libkemsigjob.so"));
    }
    QUserMainWindowDBC::setKemsigLibName("kemsig.dll");
    if (hadBin)
        qputenv("ORVANE_BINARY_DIR", savedBin);
    else
        qunsetenv("ORVANE_BINARY_DIR");
}

// The progress bar advances one step per 500 ms tick while a job runs; the
// count goes on from load to load.
TEST_F(WindowLoad, ProgressTicksWhileTheJobRuns)
{
    ASSERT_TRUE(writeDbc(dbcPath(), smallDbc()));
    std::unique_ptr<QUserMainWindowDBC> w(new QUserMainWindowDBC);
    QSemaphore gate;
    QMetaObject::invokeMethod(w->worker(), [&gate] { gate.acquire(); }, Qt::QueuedConnection);
    QUserPromptScript prompts;
    prompts.answerExec([&](QDialog *d) {
        EXPECT_TRUE(d->isModal() || d->windowModality() == Qt::ApplicationModal);
        settle(1150);
        gate.release();
        waitUntil([&] { return !w->isLoadJobRunning(); });
        return 0;
    });
    ASSERT_EQ(w->dbcFileLoad(dbcPath()), 1);
    const int first = w->loadJob().progressCount;
    EXPECT_GE(first, 2);
    EXPECT_LE(first, 4);
    EXPECT_EQ(w->loadJob().progressTimer->interval(), 500);
    QUserProgressDlg *pd = w->loadJob().progressDlg;
    EXPECT_EQ(pd->labelText(), "加载中...");
    EXPECT_EQ(pd->minimumDuration(), 0);
    EXPECT_FALSE(pd->autoClose());
    EXPECT_EQ(pd->windowModality(), Qt::ApplicationModal);
    EXPECT_TRUE(pd->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_GE(pd->minimumWidth(), 200);
    ASSERT_EQ(loadDbc(w.get(), dbcPath()), 1);
    EXPECT_GE(w->loadJob().progressCount, first);
}

// The trace viewer window offscreen, its modal runs and file choosers
// answered through the prompt seam: the form, load, filter, locate, save and
// clear through its controls, the settings and help boxes, the settings file
// "CANWatchUi.ini", and what "取消" and closing do to a job in flight.

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QItemSelectionModel>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QThread>
#include <QToolBar>
#include <QWheelEvent>

#include <algorithm>
#include <memory>

#include "tests/traffic/CanWatchSupport.h"
#include "tests/traffic/DamageSupport.h"
#include "tests/traffic/OtherToolsFixtures.h"
#include "tests/support/TempWorkDir.h"
#include "tests/traffic/TraceSupport.h"
#include "core/QUserSysCfg.h"
#include "traffic/windows/QUserCanWatchDelegate.h"
#include "traffic/windows/QUserMainWindowCANWatch.h"
#include "traffic/windows/QUserTableModelCANWatch.h"
#include "traffic/QUserTraceFile.h"
#include "widgets/QUserDlgSetting.h"
#include "widgets/QUserProgressDlg.h"
#include "tests/support/QUserPromptScript.h"
#include "widgets/QUserTableView.h"

using namespace watchtest;

namespace {

class CanWatchWindow : public WorkDirTest
{
protected:
    void SetUp() override
    {
        QDir().mkpath("cache");
        QDir().mkpath("setting");
        QUserSysCfg::instance()->setString("language", "ZH");
        QUserSysCfg::instance()->setInt("cw_msgIdFormat", 0);
        QUserSysCfg::instance()->setInt("cw_msgDataFormat", 0);
    }
    void TearDown() override
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }
};

QString here(const QString &name) { return QDir::current().absoluteFilePath(name); }

// The next modal run is a request's progress dialog: it lasts until the
// job has reported its end.
void answerProgress(QUserPromptScript &prompts, QUserMainWindowCANWatch *w)
{
    prompts.answerExec([w](QDialog *) {
        waitUntil([w] { return !w->jobRunning(); }, 120000);
        return 0;
    });
}

void load(QUserMainWindowCANWatch *w, QUserPromptScript &prompts, const QString &path)
{
    prompts.answerFile(path);
    answerProgress(prompts, w);
    w->form()->actFileLoad->trigger();
}

void fliter(QUserMainWindowCANWatch *w, QUserPromptScript &prompts)
{
    answerProgress(prompts, w);
    w->uiCfg().basicOpt.btnFliter->click();
}

QUserTableModelCANWatch *modelOf(QUserMainWindowCANWatch *w) { return w->uiCfg().tableModel; }

// The rows the table has now, once its throttled rebuild has run.
int shownCount(QUserMainWindowCANWatch *w)
{
    QUserTableModelCANWatch *m = modelOf(w);
    waitUntil([m] { return !m->refreshTimer()->isActive(); });
    return m->cacheCount();
}

QString cell(QUserMainWindowCANWatch *w, int row, int column)
{
    QStandardItem *it = modelOf(w)->item(row, column);
    return it ? it->text() : QString();
}

int execsOf(const QUserPromptScript &prompts, const QString &className)
{
    int n = 0;
    for (const auto &r : prompts.records())
        if (r.kind == QUserPromptScript::Exec && r.className == className)
            ++n;
    return n;
}

// Frames of our own writer: frame i of the peer rule, time i ms.
bool writeOwnTrace(const QString &path, int count)
{
    QUserTraceFile t;
    if (!t.fileCreate(path))
        return false;
    for (int i = 0; i < count; ++i) {
        if (!t.write(toMsg(watchFrame(i), 1700000000000 + i)))
            return false;
    }
    return t.close();
}

} // namespace

TEST_F(CanWatchWindow, FormAndStartState)
{
    QUserMainWindowCANWatch w;
    Ui_QUserMainWindowCANWatch *ui = w.form();
    EXPECT_EQ(w.objectName(), "QUserMainWindowCANWatch");
    EXPECT_EQ(w.windowTitle(), "MainWindow");
    EXPECT_EQ(w.size(), QSize(800, 600));
    EXPECT_TRUE(w.testAttribute(Qt::WA_DeleteOnClose));
    EXPECT_EQ(ui->actFileLoad->text(), "加载文件");
    EXPECT_EQ(ui->actDataClr->text(), "清空数据");
    EXPECT_EQ(ui->actHelp->text(), "快捷帮助");
    EXPECT_EQ(ui->actSetting->text(), "查看设置");
    EXPECT_EQ(ui->menu->title(), "文件");
    EXPECT_EQ(ui->menu_3->title(), "设置");
    EXPECT_EQ(ui->menu_2->title(), "帮助");
    const QList<QAction *> menus = ui->menubar->actions();
    ASSERT_EQ(menus.size(), 3);
    EXPECT_EQ(menus[0]->text(), "文件");
    EXPECT_EQ(menus[1]->text(), "设置");
    EXPECT_EQ(menus[2]->text(), "帮助");
    EXPECT_EQ(w.toolBarArea(ui->toolBar), Qt::RightToolBarArea);
    EXPECT_EQ(ui->toolBar->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
    EXPECT_EQ(ui->toolBar->actions(), (QList<QAction *>{ui->actFileLoad, ui->actDataClr}));

    QUserCanWatchUiCfg &cfg = w.uiCfg();
    ASSERT_TRUE(cfg.dataTab && cfg.toolTab && cfg.tableView && cfg.tableModel);
    EXPECT_EQ(cfg.dataTab->tabText(0), "CAN报文");
    EXPECT_EQ(cfg.toolTab->tabText(0), "基本操作");
    EXPECT_EQ(cfg.advToolShow->text(), "显示高级工具");
    EXPECT_FALSE(cfg.advToolShow->isChecked());
    EXPECT_EQ(cfg.btnClear->text(), "清空数据");
    EXPECT_EQ(cfg.btnSave->text(), "保存");
    EXPECT_TRUE(cfg.toolTab->isHidden());
    const QStringList headers = {"序号", "传输方向", "时间", "帧ID", "帧格式", "帧类型", "长度", "数据"};
    const int widths[] = {90, 70, 100, 120, 70, 70, 35};
    for (int c = 0; c < 8; ++c) {
        EXPECT_EQ(cfg.tableModel->headerData(c, Qt::Horizontal).toString(), headers[c]);
        // (the header's minimum section size may hold a narrow column wider)
        if (c < 7) {
            EXPECT_EQ(cfg.tableView->columnWidth(c),
                      qMax(widths[c], cfg.tableView->horizontalHeader()->minimumSectionSize())) << c;
        }
    }
    EXPECT_FALSE(cfg.tableView->verticalHeader()->isVisible());
    EXPECT_EQ(cfg.tableView->selectionBehavior(), QAbstractItemView::SelectRows);

    // No settings file: the filter boxes unchecked and the edits empty.
    QUserCanWatchBasicOpt &opt = cfg.basicOpt;
    EXPECT_FALSE(opt.chkBoxTxMsgShow->isChecked());
    EXPECT_FALSE(opt.chkBoxRtrMsgShow->isChecked());
    EXPECT_FALSE(opt.chkBoxIdFliterEn->isChecked());
    EXPECT_TRUE(opt.lineEditFliterStartId->text().isEmpty());
    EXPECT_EQ(opt.chkBoxTxMsgShow->text(), "显示发送帧");
    EXPECT_EQ(opt.chkBoxRtrMsgShow->text(), "显示远程帧");
    EXPECT_EQ(opt.chkBoxIdFliterEn->text(), "ID过滤使能");
    EXPECT_EQ(opt.btnFliter->text(), "执行");
    EXPECT_EQ(opt.btnLocate->text(), "跳转");
    // Identifier edits take up to eight hex digits, the row edit eight digits.
    opt.lineEditFliterStartId->setText("");
    QTest::keyClicks(opt.lineEditFliterStartId, "1fG2x3456789");
    EXPECT_EQ(opt.lineEditFliterStartId->text(), "1f234567");
    QTest::keyClicks(opt.lineEditLocateRow, "12a3456789");
    EXPECT_EQ(opt.lineEditLocateRow->text(), "12345678");

    ASSERT_NE(w.workerThread(), nullptr);
    EXPECT_TRUE(w.workerThread()->isRunning());
    EXPECT_EQ(w.worker()->thread(), w.workerThread());
    EXPECT_FALSE(w.isBusy());

    // Every window has caches of its own.
    QUserMainWindowCANWatch other;
    EXPECT_NE(w.request().cachePath, other.request().cachePath);
    EXPECT_NE(w.request().srcCachePath, other.request().srcCachePath);
    EXPECT_TRUE(w.request().cachePath.startsWith(here("cache/watchTraceItem-")));
    EXPECT_TRUE(w.request().srcCachePath.startsWith(here("cache/watchSrcTraceItem-")));
}

// The tool column comes and goes with "显示高级工具", any number of times.
TEST_F(CanWatchWindow, AdvancedToolsShowAndHide)
{
    QUserMainWindowCANWatch w;
    QUserCanWatchUiCfg &cfg = w.uiCfg();
    auto inLayout = [&] { return cfg.mainLayout->indexOf(cfg.toolColumn) >= 0 || cfg.toolColumn->parent() == cfg.mainLayout; };
    EXPECT_FALSE(inLayout());
    for (int round = 0; round < 2; ++round) {
        cfg.advToolShow->setChecked(true);
        EXPECT_EQ(cfg.advToolState, 2);
        EXPECT_FALSE(cfg.toolTab->isHidden());
        EXPECT_TRUE(inLayout());
        EXPECT_EQ(cfg.mainLayout->count(), 2);
        cfg.advToolShow->setChecked(false);
        EXPECT_EQ(cfg.advToolState, 0);
        EXPECT_TRUE(cfg.toolTab->isHidden());
        EXPECT_EQ(cfg.mainLayout->count(), 1);
    }
    w.slotAdvToolShowEn(0); // the same state: nothing happens
    EXPECT_EQ(cfg.mainLayout->count(), 1);
}

// Load through the chooser and the progress dialog; the table shows every
// frame, the green tip follows. A cancelled chooser starts nothing.
TEST_F(CanWatchWindow, LoadThroughTheChooserAndProgress)
{
    REQUIRE_PEER_MODULES("can");
    const QString path = here("peer.blf");
    ASSERT_TRUE(writePeerTrace(path, 300));
    QUserMainWindowCANWatch w;
    QUserPromptScript prompts;
    prompts.answerFile("");
    w.form()->actFileLoad->trigger();
    ASSERT_EQ(prompts.records().size(), 1);
    EXPECT_EQ(prompts.records()[0].kind, QUserPromptScript::OpenFile);
    EXPECT_EQ(prompts.records()[0].title, "加载文件");
    EXPECT_EQ(prompts.records()[0].dir, "");
    EXPECT_EQ(prompts.records()[0].text, "Record File(*.blf *asc)");
    EXPECT_EQ(w.request().progressDlg, nullptr);

    load(&w, prompts, path);
    EXPECT_EQ(prompts.unanswered(), 0);
    EXPECT_FALSE(w.isBusy());
    EXPECT_EQ(shownCount(&w), 300);
    ASSERT_EQ(execsOf(prompts, "QProgressDialog"), 1);
    EXPECT_EQ(prompts.last().title, "加载中...");
    QUserProgressDlg *pd = w.request().progressDlg;
    ASSERT_NE(pd, nullptr);
    EXPECT_EQ(pd->windowModality(), Qt::ApplicationModal);
    EXPECT_FALSE(pd->isVisible());
    EXPECT_EQ(pd->minimum(), 0);
    EXPECT_EQ(pd->maximum(), 100);
    ASSERT_NE(w.tipsBox().tipLabelWidget(), nullptr);
    EXPECT_EQ(w.tipsBox().tipLabelWidget()->text(), "操作完成!");
    EXPECT_EQ(cell(&w, 0, 0), "0");
    EXPECT_EQ(cell(&w, 2, 1), "发送"); // frame 2 is transmitted
    EXPECT_EQ(cell(&w, 1, 5), "扩展帧");
    EXPECT_TRUE(QFile::exists(w.request().srcCachePath));
    EXPECT_TRUE(QFile::exists(w.request().cachePath));
    EXPECT_FALSE(w.worker()->isStopRequested());
}

// A BLF file cut short: the frames before the cut are shown, and instead of
// "操作完成!" the window says that the file ended early and how many frames
// it read.
TEST_F(CanWatchWindow, LoadOfAFileCutShortSaysSo)
{
    const QString path = here("cut.blf");
    ASSERT_TRUE(craft::writeFile(path.toStdString(), othertools::cutShortBlf(40, 2)));
    QUserMainWindowCANWatch w;
    QUserPromptScript prompts;
    prompts.answerFile(path);
    answerProgress(prompts, &w);
    prompts.answerExec(1); // the warning
    w.form()->actFileLoad->trigger();
    EXPECT_EQ(prompts.unanswered(), 0);
    EXPECT_FALSE(w.isBusy());
    const int shown = shownCount(&w);
    EXPECT_GE(shown, 20);
    EXPECT_LT(shown, 40);
    EXPECT_EQ(w.request().recordCount, shown);
    EXPECT_EQ(prompts.last().title, "警告");
    EXPECT_TRUE(prompts.last().text.contains(QStringLiteral("文件提前结束(文件不完整),已读取%1帧。").arg(shown)))
        << prompts.last().text.toStdString();
    EXPECT_TRUE(w.tipsBox().tipLabelWidget() == nullptr || w.tipsBox().tipLabelWidget()->text() != "操作完成!");
}

// A damaged file: the intact frames are shown, and instead of "操作完成!"
// the window says that the file is damaged, how many places were passed
// over and how many frames it read; a file cut short as well says both. In
// English too.
TEST_F(CanWatchWindow, LoadOfADamagedFileSaysSo)
{
    auto loadAnswered = [](QUserMainWindowCANWatch &w, QUserPromptScript &prompts, const QString &path) {
        prompts.answerFile(path);
        answerProgress(prompts, &w);
        prompts.answerExec(1); // the box
        w.form()->actFileLoad->trigger();
    };
    for (const damage::DamagedFile &f : damage::damagedFiles()) {
        SCOPED_TRACE(f.name.toStdString());
        const QString path = here(f.name);
        ASSERT_TRUE(tracetest::writeAll(path, f.bytes));
        QUserMainWindowCANWatch w;
        QUserPromptScript prompts;
        loadAnswered(w, prompts, path);
        EXPECT_EQ(prompts.unanswered(), 0);
        EXPECT_EQ(shownCount(&w), f.frames);
        EXPECT_EQ(w.request().recordCount, f.frames);
        const QString text = f.cut ? QStringLiteral("文件已损坏且提前结束(文件不完整),跳过了%1处损坏的数据,已读取%2帧。")
                                   : QStringLiteral("文件已损坏,跳过了%1处损坏的数据,已读取%2帧。");
        EXPECT_EQ(prompts.last().title, "警告");
        EXPECT_TRUE(prompts.last().text.contains(text.arg(f.places).arg(f.frames))) << prompts.last().text.toStdString();
        EXPECT_TRUE(w.tipsBox().tipLabelWidget() == nullptr || w.tipsBox().tipLabelWidget()->text() != "操作完成!");
    }
    damage::EnglishTexts english;
    ASSERT_TRUE(english.loaded());
    const auto files = damage::damagedFiles();
    for (const damage::DamagedFile &f : {files[0], files[1]}) {
        SCOPED_TRACE(f.name.toStdString());
        QUserMainWindowCANWatch w;
        QUserPromptScript prompts;
        loadAnswered(w, prompts, here(f.name));
        const QString text = f.cut ? QStringLiteral("The file is damaged and ended early (it is incomplete): damaged data "
                                                    "was skipped at %1 place(s); %2 frames were read.")
                                   : QStringLiteral("The file is damaged: damaged data was skipped at %1 place(s); %2 "
                                                    "frames were read.");
        EXPECT_EQ(prompts.last().title, "Warning");
        EXPECT_TRUE(prompts.last().text.contains(text.arg(f.places).arg(f.frames))) << prompts.last().text.toStdString();
    }
}

// A file that is no trace file shows no frames, and the window says so in
// an error that names the file, never "操作完成!".
TEST_F(CanWatchWindow, LoadOfAFileThatIsNoTraceFileIsAnError)
{
    QUserMainWindowCANWatch w;
    QUserPromptScript prompts;
    for (const damage::NotTrace &f : damage::notTraceFiles()) {
        SCOPED_TRACE(f.name.toStdString());
        const QString path = here(f.name);
        ASSERT_TRUE(craft::writeFile(path.toStdString(), f.bytes));
        prompts.answerFile(path);
        answerProgress(prompts, &w);
        prompts.answerExec(1);
        w.form()->actFileLoad->trigger();
        EXPECT_EQ(shownCount(&w), 0);
        EXPECT_EQ(prompts.last().title, "错误");
        EXPECT_TRUE(prompts.last().text.contains(QStringLiteral("文件%1不是可读取的记录文件(ASC/BLF)!").arg(f.name)))
            << prompts.last().text.toStdString();
    }
    EXPECT_EQ(prompts.unanswered(), 0);
    EXPECT_TRUE(w.tipsBox().tipLabelWidget() == nullptr || w.tipsBox().tipLabelWidget()->text() != "操作完成!");

    damage::EnglishTexts english;
    ASSERT_TRUE(english.loaded());
    prompts.answerFile(here("zero.blf"));
    answerProgress(prompts, &w);
    prompts.answerExec(1);
    w.form()->actFileLoad->trigger();
    EXPECT_EQ(prompts.last().title, "Error");
    EXPECT_TRUE(prompts.last().text.contains("zero.blf is not a readable trace file (ASC/BLF)!")) << prompts.last().text.toStdString();
}

// With the settings file absent the first "执行" keeps only received data
// frames; with "ID过滤使能" and both edits empty only identifier 0 passes;
// then a range typed in the edits.
TEST_F(CanWatchWindow, FilterThroughTheToolColumn)
{
    REQUIRE_PEER_MODULES("can");
    const int total = 400;
    ASSERT_TRUE(writePeerTrace(here("peer.asc"), total));
    QUserMainWindowCANWatch w;
    QUserPromptScript prompts;
    load(&w, prompts, here("peer.asc"));
    ASSERT_EQ(shownCount(&w), total);
    auto expectKept = [&](auto keep) {
        QVector<QUserCanMsg> shown;
        ASSERT_TRUE(cacheFrames(w.request().cachePath, &shown));
        QVector<WatchFrame> want;
        for (int i = 0; i < total; ++i)
            if (keep(watchFrame(i)))
                want.append(watchFrame(i));
        ASSERT_EQ(shown.size(), want.size());
        for (int i = 0; i < shown.size(); ++i)
            ASSERT_EQ(fromMsg(shown[i]), want[i]) << i;
        EXPECT_EQ(shownCount(&w), want.size());
    };

    fliter(&w, prompts);
    EXPECT_EQ(prompts.last().title, "处理中...");
    expectKept([](const WatchFrame &f) { return !f.tx && !f.rtr; });

    QUserCanWatchBasicOpt &opt = w.uiCfg().basicOpt;
    opt.chkBoxIdFliterEn->setChecked(true);
    opt.chkBoxTxMsgShow->setChecked(true);
    opt.chkBoxRtrMsgShow->setChecked(true);
    fliter(&w, prompts);
    expectKept([](const WatchFrame &f) { return f.id == 0; });

    opt.lineEditFliterStartId->setText("100");
    opt.lineEditFliterStopId->setText("1FFFFFFF");
    opt.chkBoxRtrMsgShow->setChecked(false);
    fliter(&w, prompts);
    expectKept([](const WatchFrame &f) { return !f.rtr && f.id >= 0x100; });
    EXPECT_EQ(prompts.unanswered(), 0);
}

// "跳转" goes to the row numbered so in the first column; an empty edit goes
// to row 0 and a number past the end to the last row.
TEST_F(CanWatchWindow, LocateARow)
{
    const QString path = here("own.blf");
    ASSERT_TRUE(writeOwnTrace(path, 1000));
    QUserMainWindowCANWatch w;
    w.show();
    QUserPromptScript prompts;
    load(&w, prompts, path);
    ASSERT_EQ(shownCount(&w), 1000);
    QUserTableView *view = w.uiCfg().tableView;
    QLineEdit *edit = w.uiCfg().basicOpt.lineEditLocateRow;
    const struct {
        const char *text;
        int row;
    } cases[] = {{"500", 500}, {"", 0}, {"999", 999}, {"12345678", 999}, {"0", 0}, {"7", 7}, {"995", 995}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        edit->setText(QString::fromLatin1(c.text));
        w.uiCfg().basicOpt.btnLocate->click();
        modelOf(&w)->windowRebuild();
        EXPECT_EQ(view->currentCacheRow(), c.row);
        // The located row starts the window, unless it lies on the last
        // page, which is shown full.
        const int rows = modelOf(&w)->windowSize();
        ASSERT_GT(rows, 5);
        const int start = std::min(c.row, 1000 - rows);
        EXPECT_EQ(modelOf(&w)->windowStart(), start);
        EXPECT_EQ(modelOf(&w)->rowCount(), rows);
        const int at = c.row - start;
        EXPECT_EQ(cell(&w, at, 0), QString::number(c.row));
        EXPECT_EQ(cell(&w, at, 3), QStringLiteral("0x%1").arg(QString::asprintf("%08X", watchFrame(c.row).id)));
        EXPECT_EQ(view->selectedWindowRow(), at);
    }
}

namespace {

// One notch of the mouse wheel over the table; down when `down`.
void wheelStep(QUserTableView *view, bool down)
{
    const QPointF at(20, 20);
    QWheelEvent ev(at, view->viewport()->mapToGlobal(at.toPoint()), QPoint(), QPoint(0, down ? -120 : 120),
                   Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(view->viewport(), &ev);
}

} // namespace

// A second file loaded after scrolling far into the first: the thumb, the
// table and the current row start at the top again, so the next wheel step
// moves one row instead of jumping to where the old file was left.
TEST_F(CanWatchWindow, SecondLoadStartsAtTheTop)
{
    ASSERT_TRUE(writeOwnTrace(here("first.blf"), 3000));
    ASSERT_TRUE(writeOwnTrace(here("second.blf"), 2000));
    QUserMainWindowCANWatch w;
    w.show();
    QUserPromptScript prompts;
    load(&w, prompts, here("first.blf"));
    ASSERT_EQ(shownCount(&w), 3000);
    QUserTableView *view = w.uiCfg().tableView;
    EXPECT_FALSE(view->selectionModel()->hasSelection());
    QUserTableModelCANWatch *m = modelOf(&w);
    for (int i = 0; i < 3; ++i)
        wheelStep(view, true);
    view->vScrollBar->setValue(2500); // the thumb dragged far down
    view->rowScroll(2500);
    m->windowRebuild();
    ASSERT_EQ(m->windowStart(), 2500);

    load(&w, prompts, here("second.blf"));
    ASSERT_EQ(shownCount(&w), 2000);
    EXPECT_EQ(view->vScrollBar->value(), 0);
    EXPECT_EQ(m->windowStart(), 0);
    EXPECT_EQ(view->currentCacheRow(), 0);
    EXPECT_FALSE(view->selectionModel()->hasSelection());
    EXPECT_EQ(cell(&w, 0, 0), "0");
    wheelStep(view, true);
    m->windowRebuild();
    EXPECT_EQ(view->vScrollBar->value(), 1);
    EXPECT_EQ(m->windowStart(), 1);
    EXPECT_EQ(cell(&w, 0, 0), "1");
}

// At the end of a file the table shows a full last page: the thumb's end
// is the last page's start, so the wheel at the end and back up moves the
// table at every step, and a drag past it shows the last page too.
TEST_F(CanWatchWindow, LastPageIsFull)
{
    const int total = 1000;
    ASSERT_TRUE(writeOwnTrace(here("own.blf"), total));
    QUserMainWindowCANWatch w;
    w.show();
    QUserPromptScript prompts;
    load(&w, prompts, here("own.blf"));
    ASSERT_EQ(shownCount(&w), total);
    QUserTableView *view = w.uiCfg().tableView;
    QUserTableModelCANWatch *m = modelOf(&w);
    const int rows = m->windowSize();
    ASSERT_GT(rows, 5);
    EXPECT_EQ(view->vScrollBar->maximum(), total - rows);
    EXPECT_EQ(view->vScrollBar->pageStep(), rows);

    // Dragged to the last row, as the bar reported it before.
    view->rowScroll(total - 1);
    m->windowRebuild();
    EXPECT_EQ(m->windowStart(), total - rows);
    ASSERT_EQ(m->rowCount(), rows);
    EXPECT_EQ(cell(&w, 0, 0), QString::number(total - rows));
    EXPECT_EQ(cell(&w, rows - 1, 0), QString::number(total - 1));

    // The thumb at its end, then one step back up: one row up.
    view->vScrollBar->setValue(view->vScrollBar->maximum());
    wheelStep(view, true);
    m->windowRebuild();
    EXPECT_EQ(m->windowStart(), total - rows);
    EXPECT_EQ(m->rowCount(), rows);
    wheelStep(view, false);
    m->windowRebuild();
    EXPECT_EQ(m->windowStart(), total - rows - 1);
    EXPECT_EQ(cell(&w, rows - 1, 0), QString::number(total - 2));

    // A table of fewer records than fit: all of them, from the first.
    ASSERT_TRUE(writeOwnTrace(here("short.blf"), 3));
    load(&w, prompts, here("short.blf"));
    ASSERT_EQ(shownCount(&w), 3);
    view->rowScroll(2);
    m->windowRebuild();
    EXPECT_EQ(m->windowStart(), 0);
    EXPECT_EQ(m->rowCount(), 3);
    EXPECT_EQ(view->vScrollBar->maximum(), 0);
}

namespace {

int openFiles() { return int(QDir("/proc/self/fd").entryList(QDir::NoDotAndDotDot | QDir::AllEntries).size()); }

} // namespace

// Loads, filters and a clear replace the caches; the old ones are let go
// off the GUI thread, but every one of them is let go: no file stays open
// behind the window, and none is let go while the table still reads it.
TEST_F(CanWatchWindow, ReplacedCachesAreLetGo)
{
    ASSERT_TRUE(writeOwnTrace(here("own.blf"), 2000));
    auto w = std::make_unique<QUserMainWindowCANWatch>();
    QUserPromptScript prompts;
    load(w.get(), prompts, here("own.blf"));
    const int base = openFiles();
    for (int i = 0; i < 3; ++i) {
        load(w.get(), prompts, here("own.blf"));
        ASSERT_EQ(shownCount(w.get()), 2000);
        fliter(w.get(), prompts);
        EXPECT_EQ(cell(w.get(), 0, 0), "0");
    }
    EXPECT_TRUE(waitUntil([&] { return openFiles() <= base; })) << openFiles() << " " << base;
    w->uiCfg().btnClear->click();
    EXPECT_TRUE(waitUntil([&] { return openFiles() < base; })) << openFiles() << " " << base;
    w.reset();
}

// The table's rows are as tall as the standard delegate makes them, for
// every kind of cell text at widths around the wrap points: the data of
// classic and 64-byte frames in both formats, texts with and without
// blanks, in the table's own font and a larger one.
TEST_F(CanWatchWindow, QuickRowHeightsMatchTheStandardOnes)
{
    QUserMainWindowCANWatch w;
    w.show();
    QUserTableView *view = w.uiCfg().tableView;
    auto *quick = qobject_cast<QUserCanWatchDelegate *>(view->itemDelegate());
    ASSERT_NE(quick, nullptr);
    ASSERT_TRUE(quick->gridLines());
    EXPECT_FALSE(view->showGrid());
    QStyledItemDelegate standard;
    QStandardItemModel model(1, 2);
    QString hex64, dec64, hex12;
    for (int i = 0; i < 64; ++i) {
        hex64 += QString::asprintf("%02X ", (i * 37 + 11) & 0xFF);
        dec64 += QString::asprintf("%d ", (i * 53 + 7) & 0xFF);
    }
    for (int i = 0; i < 12; ++i)
        hex12 += QString::asprintf("%02X ", i * 21);
    const QStringList texts = {hex64.trimmed(), dec64, hex12.trimmed(), "DE AD BE EF 00 11 22 33", "", "0x18DA00F1",
                               "12:34:56:789", "Standard Frame", "数据帧", "64", "a  b   c", "  lead and trail  "};
    QFont big = view->font();
    big.setPointSizeF(big.pointSizeF() * 1.7);
    int checked = 0;
    for (const QFont &font : {view->font(), big}) {
        for (const QString &text : texts) {
            model.setData(model.index(0, 1), text);
            const QModelIndex idx = model.index(0, 1);
            for (int width = 20; width <= 700; width += 7) {
                QStyleOptionViewItem opt;
                opt.initFrom(view);
                opt.font = font;
                opt.fontMetrics = QFontMetrics(font);
                opt.rect = QRect(0, 0, width, 30);
                opt.features |= QStyleOptionViewItem::WrapText;
                opt.widget = view;
                opt.decorationSize = view->iconSize();
                // The delegate draws the grid line the view would have
                // counted into the row.
                ASSERT_EQ(quick->sizeHint(opt, idx).height(), standard.sizeHint(opt, idx).height() + 1)
                    << text.toStdString() << " at " << width << " px, " << font.pointSizeF() << " pt";
                ++checked;
            }
        }
    }
    EXPECT_GT(checked, 1000);
}

// The status bar tells how many frames the last load brought, and after a
// filter how many of them the table shows; nothing before a load and after
// "清空数据".
TEST_F(CanWatchWindow, FrameCountIsShown)
{
    const int total = 12345;
    ASSERT_TRUE(writeOwnTrace(here("own.blf"), total));
    QUserMainWindowCANWatch w;
    QUserPromptScript prompts;
    QLabel *label = w.findChild<QLabel *>("labelFrameCount");
    ASSERT_NE(label, nullptr);
    EXPECT_TRUE(label->text().isEmpty());
    EXPECT_TRUE(w.statusBar()->isAncestorOf(label));

    load(&w, prompts, here("own.blf"));
    EXPECT_EQ(label->text(), "已加载12,345帧");

    int kept = 0;
    for (int i = 0; i < total; ++i)
        kept += !watchFrame(i).tx && !watchFrame(i).rtr;
    ASSERT_LT(kept, total);
    fliter(&w, prompts);
    ASSERT_EQ(shownCount(&w), kept);
    EXPECT_EQ(label->text(), QStringLiteral("已加载12,345帧,显示%1帧").arg(QLocale(QLocale::English).toString(kept)));

    // A save leaves the count as it was.
    prompts.answerFile(here("saved.blf"));
    answerProgress(prompts, &w);
    w.uiCfg().btnSave->click();
    EXPECT_EQ(label->text(), QStringLiteral("已加载12,345帧,显示%1帧").arg(QLocale(QLocale::English).toString(kept)));

    w.uiCfg().btnClear->click();
    EXPECT_TRUE(label->text().isEmpty());

    ASSERT_TRUE(writeOwnTrace(here("small.blf"), 7));
    load(&w, prompts, here("small.blf"));
    EXPECT_EQ(label->text(), "已加载7帧");
    // A status message ("正在取消...") and its clearing leave it standing.
    w.statusBar()->showMessage("x");
    w.statusBar()->clearMessage();
    EXPECT_EQ(label->text(), "已加载7帧");
    EXPECT_FALSE(label->isHidden());
}

// "保存" through the save chooser and progress: python-can reads back the
// frames the table shows, channels and directions kept.
TEST_F(CanWatchWindow, SaveWhatTheTableShows)
{
    REQUIRE_PEER_MODULES("can");
    const int total = 500;
    ASSERT_TRUE(writePeerTrace(here("peer.blf"), total));
    QUserMainWindowCANWatch w;
    QUserPromptScript prompts;
    load(&w, prompts, here("peer.blf"));
    w.uiCfg().basicOpt.chkBoxTxMsgShow->setChecked(true);
    fliter(&w, prompts); // transmitted frames kept, remote frames dropped
    QVector<WatchFrame> want;
    for (int i = 0; i < total; ++i)
        if (!watchFrame(i).rtr)
            want.append(watchFrame(i));
    ASSERT_EQ(shownCount(&w), want.size());

    prompts.answerFile("");
    w.uiCfg().btnSave->click();
    EXPECT_EQ(prompts.last().kind, QUserPromptScript::SaveFile);
    EXPECT_EQ(prompts.last().title, "另存为");
    EXPECT_EQ(prompts.last().dir, "../");
    EXPECT_EQ(prompts.last().text, "BLF File(*.blf);;ASC File(*.asc)");
    EXPECT_EQ(execsOf(prompts, "QProgressDialog"), 2);

    for (const char *name : {"saved.asc", "saved.blf"}) {
        SCOPED_TRACE(name);
        prompts.answerFile(here(name));
        answerProgress(prompts, &w);
        w.uiCfg().btnSave->click();
        EXPECT_EQ(prompts.last().title, "处理中...");
        EXPECT_EQ(w.tipsBox().tipLabelWidget()->text(), "操作完成!");
        QVector<WatchFrame> back;
        std::string log;
        ASSERT_TRUE(readPeerTrace(here(name), &back, &log)) << log;
        for (WatchFrame &f : back) {
            if (f.fd && f.data.isEmpty())
                f.rtr = false; // python-can's ASC reading of CAN FD lines without data
        }
        ASSERT_EQ(back.size(), want.size());
        for (int i = 0; i < back.size(); ++i)
            ASSERT_EQ(back[i], want[i]) << i;
    }
    // The table still shows the same frames after a save.
    EXPECT_EQ(shownCount(&w), want.size());
    EXPECT_EQ(prompts.unanswered(), 0);
}

// A save whose file cannot be created says so instead of "操作完成!".
TEST_F(CanWatchWindow, SaveToAFileThatCannotBeMade)
{
    ASSERT_TRUE(writeOwnTrace(here("own.asc"), 20));
    QUserMainWindowCANWatch w;
    QUserPromptScript prompts;
    load(&w, prompts, here("own.asc"));
    QLabel *tip = w.tipsBox().tipLabelWidget();
    ASSERT_NE(tip, nullptr);
    tip->setText(QString());
    prompts.answerFile(here("out.txt"));
    answerProgress(prompts, &w);
    prompts.answerExec(1);
    w.uiCfg().btnSave->click();
    EXPECT_EQ(prompts.last().className, "Dialog");
    EXPECT_EQ(prompts.last().title, "错误");
    EXPECT_TRUE(prompts.last().text.contains("文件创建失败!"));
    EXPECT_TRUE(tip->text().isEmpty());
    EXPECT_FALSE(QFile::exists(here("out.txt")));
    EXPECT_EQ(shownCount(&w), 20);
}

// "清空数据" before any load is no error; after one it empties the table and
// removes both caches, without a question.
TEST_F(CanWatchWindow, ClearTheData)
{
    QUserMainWindowCANWatch w;
    QUserPromptScript prompts;
    w.uiCfg().btnClear->click();
    EXPECT_EQ(shownCount(&w), 0);
    EXPECT_TRUE(prompts.records().isEmpty());

    ASSERT_TRUE(writeOwnTrace(here("own.asc"), 30));
    load(&w, prompts, here("own.asc"));
    ASSERT_EQ(shownCount(&w), 30);
    const int before = prompts.records().size();
    w.form()->actDataClr->trigger();
    EXPECT_EQ(prompts.records().size(), before);
    EXPECT_EQ(shownCount(&w), 0);
    EXPECT_EQ(modelOf(&w)->rowCount(), 0);
    EXPECT_FALSE(QFile::exists(w.request().srcCachePath));
    EXPECT_FALSE(QFile::exists(w.request().cachePath));
}

// The display settings: two combo rows; only changed indexes are written;
// the table follows after the next clear or request.
TEST_F(CanWatchWindow, DisplaySettings)
{
    ASSERT_TRUE(writeOwnTrace(here("own.asc"), 10));
    QUserMainWindowCANWatch w;
    QUserPromptScript prompts;
    load(&w, prompts, here("own.asc"));
    ASSERT_EQ(shownCount(&w), 10);
    const uint32_t id1 = watchFrame(1).id;
    EXPECT_EQ(cell(&w, 1, 3), QString::asprintf("0x%08X", id1));

    QStringList names;
    QStringList comments;
    QList<int> shownIndexes;
    prompts.answerExec([&](QDialog *d) {
        auto *s = d->findChild<QUserDlgSetting *>();
        if (!s)
            return 0;
        QTableWidget *t = s->tableWidget();
        for (int r = 0; r < t->rowCount(); ++r) {
            names << t->item(r, 0)->text();
            comments << t->item(r, 2)->text();
            auto *combo = qobject_cast<QComboBox *>(t->cellWidget(r, 1));
            shownIndexes << (combo ? combo->currentIndex() : -2);
            if (combo && r == 0) {
                EXPECT_EQ(combo->itemText(0), "十六进制");
                EXPECT_EQ(combo->itemText(1), "十进制");
                combo->setCurrentIndex(1);
            }
        }
        s->okButton()->click();
        return 1;
    });
    w.form()->actSetting->trigger();
    EXPECT_EQ(prompts.last().title, "设置");
    EXPECT_EQ(names, (QStringList{"ID格式:", "数据格式:"}));
    EXPECT_EQ(comments, (QStringList{"控制表格内部的ID显示格式", "控制表格内部的数据显示格式"}));
    EXPECT_EQ(shownIndexes, (QList<int>{0, 0}));
    EXPECT_EQ(QUserSysCfg::instance()->getInt("cw_msgIdFormat"), 1);
    EXPECT_EQ(QUserSysCfg::instance()->getInt("cw_msgDataFormat"), 0);

    // Unchanged until the next clear or request.
    modelOf(&w)->windowRebuild();
    EXPECT_EQ(cell(&w, 1, 3), QString::asprintf("0x%08X", id1));
    answerProgress(prompts, &w);
    w.uiCfg().basicOpt.btnFliter->click();
    modelOf(&w)->windowRebuild();
    EXPECT_EQ(cell(&w, 0, 3), "0");
    EXPECT_EQ(cell(&w, 1, 3), QString::number(id1));
    EXPECT_EQ(cell(&w, 0, 7), ""); // frame 0 has no data bytes
    EXPECT_EQ(cell(&w, 1, 7), "01"); // data in hexadecimal still

    // Cancelled: nothing is written.
    prompts.answerExec(0);
    w.form()->actSetting->trigger();
    EXPECT_EQ(QUserSysCfg::instance()->getInt("cw_msgIdFormat"), 1);
}

// The settings box shows the format the table uses: decimal for 1, else
// hexadecimal, also before the keys were ever written (they read as -1, and
// the boxes used to show no choice at all). OK writes what is shown where
// it differs from the stored value.
TEST_F(CanWatchWindow, SettingsBoxShowsTheFormatInEffect)
{
    struct Case {
        const char *stored; // nullptr: the key is absent
        int shown;
        int afterOk;
    };
    const Case cases[] = {{nullptr, 0, 0}, {"0", 0, 0}, {"1", 1, 1}, {"7", 0, 0}, {"x", 0, 0}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.stored ? c.stored : "absent");
        QUserSysCfg *sys = QUserSysCfg::instance();
        QFile::remove(sys->filePath());
        sys->reload();
        if (c.stored) {
            sys->setString("cw_msgIdFormat", c.stored);
            sys->setString("cw_msgDataFormat", c.stored);
        }
        QUserMainWindowCANWatch w;
        QUserPromptScript prompts;
        QStringList texts;
        prompts.answerExec([&](QDialog *d) {
            auto *s = d->findChild<QUserDlgSetting *>();
            if (!s)
                return 0;
            QTableWidget *t = s->tableWidget();
            for (int r = 0; r < t->rowCount(); ++r) {
                auto *combo = qobject_cast<QComboBox *>(t->cellWidget(r, 1));
                texts << (combo ? combo->currentText() : QStringLiteral("?"));
            }
            s->okButton()->click();
            return 1;
        });
        w.form()->actSetting->trigger();
        const QString want = c.shown == 1 ? "十进制" : "十六进制";
        EXPECT_EQ(texts, (QStringList{want, want}));
        EXPECT_EQ(sys->getInt("cw_msgIdFormat"), c.afterOk);
        EXPECT_EQ(sys->getInt("cw_msgDataFormat"), c.afterOk);
    }
}

TEST_F(CanWatchWindow, HelpBox)
{
    QUserMainWindowCANWatch w;
    QUserPromptScript prompts;
    QStringList cells;
    prompts.answerExec([&](QDialog *d) {
        if (QTableWidget *t = d->findChild<QTableWidget *>()) {
            for (int r = 0; r < t->rowCount(); ++r)
                for (int c = 0; c < t->columnCount(); ++c)
                    cells << (t->item(r, c) ? t->item(r, c)->text() : QString());
        }
        return 0;
    });
    w.form()->actHelp->trigger();
    EXPECT_EQ(prompts.unanswered(), 0);
    EXPECT_EQ(prompts.last().title, "快捷操作");
    EXPECT_EQ(cells, (QStringList{"支持文件:", "BLF/ASC"}));
}

// "CANWatchUi.ini": the control states are written when the window goes,
// edits never used for a filter included, and a new window starts with them.
TEST_F(CanWatchWindow, SettingsFileRoundTrip)
{
    {
        QUserMainWindowCANWatch w;
        QUserCanWatchBasicOpt &opt = w.uiCfg().basicOpt;
        opt.chkBoxTxMsgShow->setChecked(true);
        opt.chkBoxIdFliterEn->setChecked(true);
        opt.lineEditFliterStartId->setText("123");
        opt.lineEditFliterStopId->setText("7FF");
        opt.lineEditLocateRow->setText("42");
    }
    const QString text = QString::fromUtf8(tracetest::readAll("setting/CANWatchUi.ini"));
    for (const char *line : {"chkBoxTxMsgShow,true,chkBoxTxMsgShowtrue", "chkBoxRtrMsgShow,false,chkBoxRtrMsgShowfalse",
                             "chkBoxIdFliterEn,true,chkBoxIdFliterEntrue", "lineEditFliterStartId,123,lineEditFliterStartId123",
                             "lineEditFliterStopId,7FF,lineEditFliterStopId7FF", "lineEditLocateRow,42,lineEditLocateRow42",
                             "windowLeftTabPageIndex,0,windowLeftTabPageIndex0",
                             "windowRightTabPageIndex,0,windowRightTabPageIndex0"})
        EXPECT_TRUE(text.contains(QString::fromLatin1(line) + "\r\n")) << line << "\n" << text.toStdString();

    QUserMainWindowCANWatch again;
    QUserCanWatchBasicOpt &opt = again.uiCfg().basicOpt;
    EXPECT_TRUE(opt.chkBoxTxMsgShow->isChecked());
    EXPECT_FALSE(opt.chkBoxRtrMsgShow->isChecked());
    EXPECT_TRUE(opt.chkBoxIdFliterEn->isChecked());
    EXPECT_EQ(opt.lineEditFliterStartId->text(), "123");
    EXPECT_EQ(opt.lineEditFliterStopId->text(), "7FF");
    EXPECT_EQ(opt.lineEditLocateRow->text(), "42");
    EXPECT_FALSE(again.uiCfg().advToolShow->isChecked()); // not persisted

    // Tab indexes come only from the file and are written back unchanged.
    FileKeyValue kv;
    ASSERT_TRUE(kv.load("setting/CANWatchUi.ini"));
    kv.setValue("windowRightTabPageIndex", "3");
    kv.setValue("windowLeftTabPageIndex", "x");
    ASSERT_TRUE(kv.save("setting/CANWatchUi.ini"));
    {
        QUserMainWindowCANWatch w;
        int right = -1;
        int left = -1;
        w.uiCfg().tabIndexGet(&right, &left);
        EXPECT_EQ(right, 3);
        EXPECT_EQ(left, 0);
    }
    ASSERT_TRUE(kv.load("setting/CANWatchUi.ini"));
    QString v;
    ASSERT_TRUE(kv.getValue("windowRightTabPageIndex", v));
    EXPECT_EQ(v, "3");
}

// Two windows keep caches of their own: each shows its own file, and
// closing one leaves the other's caches alone.
TEST_F(CanWatchWindow, EveryWindowHasItsOwnCaches)
{
    ASSERT_TRUE(writeOwnTrace(here("a.asc"), 10));
    ASSERT_TRUE(writeOwnTrace(here("b.asc"), 25));
    auto *a = new QUserMainWindowCANWatch;
    QUserMainWindowCANWatch b;
    QUserPromptScript prompts;
    load(a, prompts, here("a.asc"));
    load(&b, prompts, here("b.asc"));
    EXPECT_EQ(shownCount(a), 10);
    EXPECT_EQ(shownCount(&b), 25);
    const QString aSrc = a->request().srcCachePath;
    const QString aCache = a->request().cachePath;
    delete a;
    EXPECT_FALSE(QFile::exists(aSrc));
    EXPECT_FALSE(QFile::exists(aCache));
    EXPECT_TRUE(QFile::exists(b.request().cachePath));
    EXPECT_EQ(shownCount(&b), 25);
    QUserCanMsg last;
    ASSERT_TRUE(modelOf(&b)->msgRead(24, &last));
    EXPECT_EQ(fromMsg(last), watchFrame(24));
}

// ---- "取消" and closing during a job -----------------------------------------------

// After "取消" the window stays busy until the cancelled job has stopped: a
// request made in between is not issued (it would clear the stop flag and
// let the old job run on, and the table would take a half-made cache for a
// finished one). Once the job has stopped, the table shows what it made and
// requests work again.
TEST_F(CanWatchWindow, CancelKeepsTheWindowBusyUntilTheJobStops)
{
    const QString path = here("big.asc");
    ASSERT_TRUE(writeOwnTrace(path, 300000));
    QUserMainWindowCANWatch w;
    QUserPromptScript prompts;
    prompts.answerFile(path);
    prompts.answerExec(0); // "取消" at once
    w.form()->actFileLoad->trigger();
    EXPECT_TRUE(w.worker()->isStopRequested());
    // Whatever the job managed before it saw the flag, the window waits for
    // its end: no request until then.
    const bool stillRunning = w.jobRunning();
    EXPECT_TRUE(w.isBusy());
    EXPECT_FALSE(w.form()->actFileLoad->isEnabled());
    EXPECT_FALSE(w.uiCfg().basicOpt.btnFliter->isEnabled());
    const int execs = execsOf(prompts, "QProgressDialog");
    w.slotBasicMsgFliter();
    w.slotWatchItemSave();
    w.slotWatchItemLoad();
    w.slotWatchItemCacheClr();
    EXPECT_EQ(execsOf(prompts, "QProgressDialog"), execs);
    EXPECT_EQ(prompts.records().size(), 2);
    EXPECT_TRUE(w.worker()->isStopRequested()) << "a new request would have cleared the flag";
    ASSERT_TRUE(waitUntil([&] { return !w.isBusy(); }, 60000));
    EXPECT_TRUE(stillRunning || !w.jobRunning());
    EXPECT_TRUE(w.request().stopped);
    const int64_t loaded = w.request().recordCount;
    EXPECT_LT(loaded, 300000);
    EXPECT_EQ(shownCount(&w), loaded);
    EXPECT_TRUE(w.form()->actFileLoad->isEnabled());
    EXPECT_EQ(w.tipsBox().tipLabelWidget()->text(), "操作完成!");

    // Requests are taken again.
    w.uiCfg().basicOpt.chkBoxTxMsgShow->setChecked(true);
    w.uiCfg().basicOpt.chkBoxRtrMsgShow->setChecked(true);
    fliter(&w, prompts);
    EXPECT_EQ(shownCount(&w), loaded);
    EXPECT_FALSE(w.request().stopped);
}

// Closing the window while its progress dialog runs: the job is stopped
// (it ends with the frames read so far, not at the end of the file), the
// worker's thread ends before the window is gone, and the caches are
// removed after the job has stopped (the job used to go on writing them).
TEST_F(CanWatchWindow, CloseDuringAJobStopsItThenRemovesTheCaches)
{
    const QString path = here("big.blf");
    ASSERT_TRUE(writeOwnTrace(path, 400000));
    tracetest::LogCapture log;
    QPointer<QUserMainWindowCANWatch> w = new QUserMainWindowCANWatch;
    const QString src = w->request().srcCachePath;
    const QString cache = w->request().cachePath;
    QPointer<QThread> thread = w->workerThread();
    QUserPromptScript prompts;
    prompts.answerFile(path);
    prompts.answerExec([&](QDialog *) {
        // The load is under way when the user closes the window.
        waitUntil([&] { return QFileInfo(src).size() > 100 * QFClassUserCanMsg::RecordSize; }, 60000);
        EXPECT_EQ(QUserCanWatchWork::activeJobs(), 1);
        w->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return 0;
    });
    w->form()->actFileLoad->trigger();
    EXPECT_TRUE(w.isNull());
    EXPECT_TRUE(thread.isNull());
    EXPECT_EQ(QUserCanWatchWork::activeJobs(), 0);
    QThread::msleep(100);
    EXPECT_FALSE(QFile::exists(src));
    EXPECT_FALSE(QFile::exists(cache));
    EXPECT_TRUE(QFile::exists("setting/CANWatchUi.ini"));
    // The load's own end line: how many frames it took before it stopped.
    qint64 loaded = -1;
    const QRegularExpression end(QStringLiteral("File<.*big\\.blf> ItemSize:(\\d+)"));
    for (const QString &line : log.all()) {
        const QRegularExpressionMatch m = end.match(line);
        if (m.hasMatch())
            loaded = m.captured(1).toLongLong();
    }
    EXPECT_GE(loaded, 100);
    EXPECT_LT(loaded, 400000) << "the job ran on to the end of the file";
}

// Closing the window while a cancelled job has not stopped yet.
TEST_F(CanWatchWindow, CloseWhileACancelledJobRuns)
{
    const QString path = here("big.asc");
    ASSERT_TRUE(writeOwnTrace(path, 300000));
    QPointer<QUserMainWindowCANWatch> w = new QUserMainWindowCANWatch;
    const QString src = w->request().srcCachePath;
    const QString cache = w->request().cachePath;
    QUserPromptScript prompts;
    prompts.answerFile(path);
    prompts.answerExec(0);
    w->form()->actFileLoad->trigger();
    ASSERT_TRUE(w->isBusy());
    delete w.data();
    EXPECT_EQ(QUserCanWatchWork::activeJobs(), 0);
    QCoreApplication::processEvents();
    EXPECT_FALSE(QFile::exists(src));
    EXPECT_FALSE(QFile::exists(cache));
}

// Records of the source cache that cannot be read are left out of the
// filter and reported.
TEST_F(CanWatchWindow, UnreadableRecordsAreReported)
{
    ASSERT_TRUE(writeOwnTrace(here("own.asc"), 40));
    QUserMainWindowCANWatch w;
    QUserPromptScript prompts;
    load(&w, prompts, here("own.asc"));
    ASSERT_TRUE(spoilRecord(w.request().srcCachePath, 3));
    ASSERT_TRUE(spoilRecord(w.request().srcCachePath, 4));
    w.uiCfg().basicOpt.chkBoxTxMsgShow->setChecked(true);
    w.uiCfg().basicOpt.chkBoxRtrMsgShow->setChecked(true);
    answerProgress(prompts, &w);
    prompts.answerExec(1);
    w.uiCfg().basicOpt.btnFliter->click();
    EXPECT_EQ(prompts.last().title, "警告");
    EXPECT_TRUE(prompts.last().text.contains("跳过2条无法读取的数据。")) << prompts.last().text.toStdString();
    EXPECT_EQ(shownCount(&w), 38);
    EXPECT_EQ(prompts.unanswered(), 0);
}

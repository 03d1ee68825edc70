// The playback dialog offscreen, its modal runs and file chooser answered
// through the prompt seam: the form, the send checks, load and send with the
// boxes that report them, and what closing it does to a job in flight.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>

#include "tests/traffic/DamageSupport.h"
#include "tests/traffic/OtherToolsFixtures.h"
#include "tests/traffic/PlaybackSupport.h"
#include "tests/support/TempWorkDir.h"
#include "tests/traffic/TraceSupport.h"
#include "traffic/windows/QUserDlgPlayBack.h"
#include "widgets/Dialog.h"
#include "widgets/QUserProgressDlg.h"

using namespace playtest;

namespace {

class DlgPlayBack : public WorkDirTest
{
protected:
    void TearDown() override
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }
};

// Loads a file through "加载": the chooser answers `path`, the progress
// dialog's modal run lasts until the load has reported its end, and the box
// that reports it is closed with OK.
void loadThroughDialog(QUserDlgPlayBack *d, QUserPromptScript &prompts, const QString &path)
{
    prompts.answerFile(path);
    prompts.answerExec([d](QDialog *) {
        waitUntil([d] { return !d->jobPending(); }, 60000);
        return 0;
    });
    prompts.answerExec(1);
    d->form()->pushButton_load->click();
}

// Presses "启动发送" and waits for the send's end box (answered with OK).
bool sendToEnd(QUserDlgPlayBack *d, QUserPromptScript &prompts, int ms = 30000)
{
    prompts.answerExec(1);
    d->form()->pushButton_start->click();
    return waitUntil([d] { return !d->jobPending(); }, ms);
}

// The message boxes shown so far: (title, texts of the box).
QVector<QPair<QString, QString>> boxes(const QUserPromptScript &prompts)
{
    QVector<QPair<QString, QString>> out;
    for (const auto &r : prompts.records()) {
        if (r.kind == QUserPromptScript::Exec && r.className == QLatin1String("Dialog"))
            out.append({r.title, r.text});
    }
    return out;
}

bool lastBoxIs(const QUserPromptScript &prompts, const QString &title, const QString &text)
{
    const auto b = boxes(prompts);
    return !b.isEmpty() && b.last().first == title && b.last().second.contains(text);
}

} // namespace

TEST_F(DlgPlayBack, FormFrameAndStartState)
{
    QUserDlgPlayBack d;
    Ui_QUserDlgPlayBack *ui = d.form();
    EXPECT_EQ(d.objectName(), "QUserDlgPlayBack");
    EXPECT_EQ(ui->label->text(), "数据文件:");
    EXPECT_EQ(ui->pushButton_load->text(), "加载");
    EXPECT_EQ(ui->label_msg->text(), "帧总数量:0");
    EXPECT_EQ(ui->label_2->text(), "发送间隔:");
    EXPECT_EQ(ui->lineEdit_time->text(), "1");
    EXPECT_EQ(ui->label_4->text(), "(单位:毫秒)");
    EXPECT_EQ(ui->label_5->text(), "发送步长:");
    EXPECT_EQ(ui->lineEdit_step->text(), "1");
    EXPECT_EQ(ui->label_6->text(), "(有效值:1-32)");
    EXPECT_EQ(ui->label_3->text(), "发送进度:");
    EXPECT_EQ(ui->checkBox_autoStop->text(), "发送失败自动停止");
    EXPECT_EQ(ui->checkBox_cycle->text(), "循环发送");
    EXPECT_EQ(ui->pushButton_start->text(), "启动发送");
    EXPECT_EQ(ui->pushButton_stop->text(), "停止发送");
    EXPECT_EQ(ui->pushButton_cancel->text(), "退出");
    EXPECT_FALSE(ui->lineEdit_path->isEnabled());
    EXPECT_EQ(ui->progressBar->minimum(), 0);
    EXPECT_EQ(ui->progressBar->maximum(), 100);
    EXPECT_EQ(ui->progressBar->value(), 0);
    EXPECT_TRUE(ui->pushButton_start->isEnabled());
    EXPECT_FALSE(ui->pushButton_stop->isEnabled());
    EXPECT_TRUE(ui->pushButton_load->isEnabled());
    ASSERT_NE(d.frameDlg(), nullptr);
    EXPECT_EQ(d.frameDlg()->form()->lab_Title->text(), "数据回放");
    EXPECT_EQ(d.frameDlg()->tipIconPath(), ":/res/play.png");
    ASSERT_NE(d.workerThread(), nullptr);
    EXPECT_TRUE(d.workerThread()->isRunning());
    EXPECT_EQ(d.worker()->thread(), d.workerThread());
    EXPECT_TRUE(d.param().cachePath.startsWith(QDir::current().absoluteFilePath("cache/playBackItem-")));
    EXPECT_TRUE(d.param().cachePath.endsWith(".dat"));

    // The check boxes write the record's flags at once.
    ui->checkBox_autoStop->setChecked(true);
    EXPECT_TRUE(d.param().autoStop.load());
    EXPECT_FALSE(d.param().cycle.load());
    ui->checkBox_cycle->setChecked(true);
    ui->checkBox_autoStop->setChecked(false);
    EXPECT_FALSE(d.param().autoStop.load());
    EXPECT_TRUE(d.param().cycle.load());
}

TEST_F(DlgPlayBack, ShownModelessInItsFrameAQuarterScreenWide)
{
    QPointer<QUserDlgPlayBack> d = new QUserDlgPlayBack;
    EXPECT_TRUE(d->devSet("TRNA702-0-3", nullptr));
    EXPECT_EQ(d->param().devId, "TRNA702-0-3");
    EXPECT_EQ(d->dialogShow(), 0);
    QPointer<Dialog> frame = d->frameDlg();
    ASSERT_TRUE(frame);
    EXPECT_TRUE(frame->isVisible());
    EXPECT_FALSE(frame->isModal());
    EXPECT_TRUE(frame->isAncestorOf(d));
    const int quarter = QGuiApplication::primaryScreen()->geometry().width() / 4;
    EXPECT_GE(d->width(), quarter);
    // Closing from the title bar takes the frame and the dialog.
    frame->form()->btnMenu_Close->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(frame.isNull());
    EXPECT_TRUE(d.isNull());
}

// The checks before a send, in their order; each refusal is one box and
// starts nothing.
TEST_F(DlgPlayBack, SendChecks)
{
    struct Case {
        const char *time;
        const char *step;
        bool loaded;
        const char *title; // nullptr: the check passes
        const char *text;
        int interval; // stored in the record (-999: not looked at)
        int stepStored;
    };
    const Case cases[] = {
        {"", "1", true, "错误", "间隔时间参数不能为空!", -999, -999},
        {"abc", "1", true, "错误", "间隔时间不能等于0!", 0, -999},
        {"0", "1", true, "错误", "间隔时间不能等于0!", 0, -999},
        {" ", "1", true, "错误", "间隔时间不能等于0!", 0, -999},
        {"1 0", "4", true, nullptr, nullptr, 10, 4},
        {"-5", "1", true, nullptr, nullptr, -5, 1},
        {"100", "33", true, "错误", "[发送步长]:有效范围:1-32", 100, -999},
        {"100", "0", true, "错误", "[发送步长]:有效范围:1-32", 100, -999},
        {"100", "", true, "错误", "[发送步长]:有效范围:1-32", 100, -999},
        {"100", "x", true, "错误", "[发送步长]:有效范围:1-32", 100, -999},
        {"100", "-3", true, "错误", "[发送步长]:有效范围:1-32", 100, -999},
        {"100", "3 2", true, nullptr, nullptr, 100, 32},
        {"100", "32", false, "警告", "无可发送数据!", 100, 32},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "time '" << c.time << "' step '" << c.step << "'");
        QUserDlgPlayBack d;
        d.param().recordCount = c.loaded ? 5 : 0;
        d.param().step = -999;
        d.param().interval = -999;
        d.form()->lineEdit_time->setText(QString::fromUtf8(c.time));
        d.form()->lineEdit_step->setText(QString::fromUtf8(c.step));
        d.form()->checkBox_autoStop->blockSignals(true);
        d.form()->checkBox_autoStop->setChecked(true);
        d.form()->checkBox_autoStop->blockSignals(false);
        QUserPromptScript prompts;
        prompts.answerExec(1);
        const bool ok = d.sendParamCheck();
        EXPECT_EQ(ok, c.title == nullptr);
        if (c.title) {
            ASSERT_EQ(boxes(prompts).size(), 1);
            EXPECT_EQ(boxes(prompts)[0].first, QString::fromUtf8(c.title));
            EXPECT_TRUE(boxes(prompts)[0].second.contains(QString::fromUtf8(c.text))) << boxes(prompts)[0].second.toStdString();
            EXPECT_EQ(prompts.beeps(), QString::fromUtf8(c.title) == "警告" ? 1 : 0);
            EXPECT_FALSE(d.param().autoStop.load());
        } else {
            EXPECT_TRUE(boxes(prompts).isEmpty());
            EXPECT_TRUE(d.param().autoStop.load());
        }
        if (c.interval != -999) {
            EXPECT_EQ(d.param().interval, c.interval);
        }
        EXPECT_EQ(d.param().step, c.stepStored);
    }
}

// A refused check starts nothing: no job, the buttons as they were.
TEST_F(DlgPlayBack, RefusedSendStartsNothing)
{
    QUserDlgPlayBack d;
    QUserPromptScript prompts;
    prompts.answerExec(1);
    d.form()->pushButton_start->click();
    EXPECT_TRUE(lastBoxIs(prompts, "警告", "无可发送数据!"));
    EXPECT_FALSE(d.jobPending());
    EXPECT_TRUE(d.form()->pushButton_start->isEnabled());
    QCoreApplication::processEvents();
    EXPECT_EQ(QPlayBackWork::activeJobs(), 0);
}

// Load: the chooser (caption, start folder, filter), the modal progress
// dialog, then the count, the frame title and the box. A cancelled chooser
// changes nothing; a file without frames loads 0 records and every send is
// then refused.
TEST_F(DlgPlayBack, LoadThroughTheChooserAndProgress)
{
    const QString path = QDir::current().absoluteFilePath("trace-20.asc");
    ASSERT_TRUE(writeTrace(path, 20));
    QUserDlgPlayBack d;
    QUserPromptScript prompts;

    prompts.answerFile("");
    d.form()->pushButton_load->click();
    ASSERT_EQ(prompts.records().size(), 1);
    EXPECT_EQ(prompts.records()[0].kind, QUserPromptScript::OpenFile);
    EXPECT_EQ(prompts.records()[0].title, "加载文件");
    EXPECT_EQ(prompts.records()[0].dir, "../");
    EXPECT_EQ(prompts.records()[0].text, "Record File(*.blf *asc)");
    EXPECT_TRUE(d.form()->lineEdit_path->text().isEmpty());
    EXPECT_FALSE(d.jobPending());

    loadThroughDialog(&d, prompts, path);
    EXPECT_EQ(prompts.unanswered(), 0);
    EXPECT_EQ(d.param().recordCount, 20);
    EXPECT_EQ(d.form()->lineEdit_path->text(), path);
    EXPECT_EQ(d.form()->label_msg->text(), "帧总数量:20");
    EXPECT_EQ(d.frameDlg()->form()->lab_Title->text(), "trace-20.asc");
    EXPECT_TRUE(lastBoxIs(prompts, "提示", "成功加载20条数据。"));
    bool sawProgress = false;
    for (const auto &r : prompts.records()) {
        if (r.className == QLatin1String("QProgressDialog")) {
            sawProgress = true;
            EXPECT_EQ(r.title, "加载中...");
        }
    }
    EXPECT_TRUE(sawProgress);
    ASSERT_NE(d.param().progressDlg, nullptr);
    EXPECT_EQ(d.param().progressDlg->windowModality(), Qt::ApplicationModal);
    EXPECT_FALSE(d.param().progressDlg->isVisible());
    EXPECT_TRUE(QFile::exists(d.param().cachePath));
    // The worker's stop flag is not left set by a load that ended by itself.
    EXPECT_FALSE(d.worker()->isStopRequested());

    const QString empty = QDir::current().absoluteFilePath("empty.blf");
    ASSERT_TRUE(writeTrace(empty, 0));
    loadThroughDialog(&d, prompts, empty);
    EXPECT_EQ(d.form()->label_msg->text(), "帧总数量:0");
    EXPECT_TRUE(lastBoxIs(prompts, "提示", "成功加载0条数据。"));
    prompts.answerExec(1);
    d.form()->pushButton_start->click();
    EXPECT_TRUE(lastBoxIs(prompts, "警告", "无可发送数据!"));
    EXPECT_FALSE(d.jobPending());
}

// A damaged file loads what is intact, and the box says that the file is
// damaged, how many places were passed over and how many frames were
// loaded (not success); a file cut short as well says both. In English too.
TEST_F(DlgPlayBack, LoadOfADamagedFileSaysSo)
{
    for (const damage::DamagedFile &f : damage::damagedFiles()) {
        SCOPED_TRACE(f.name.toStdString());
        const QString path = QDir::current().absoluteFilePath(f.name);
        ASSERT_TRUE(tracetest::writeAll(path, f.bytes));
        QUserDlgPlayBack d;
        QUserPromptScript prompts;
        loadThroughDialog(&d, prompts, path);
        EXPECT_EQ(prompts.unanswered(), 0);
        EXPECT_EQ(d.param().recordCount, f.frames);
        EXPECT_EQ(d.form()->label_msg->text(), QStringLiteral("帧总数量:%1").arg(f.frames));
        const QString text = f.cut ? QStringLiteral("文件已损坏且提前结束(文件不完整),跳过了%1处损坏的数据,已加载%2条数据。")
                                   : QStringLiteral("文件已损坏,跳过了%1处损坏的数据,已加载%2条数据。");
        EXPECT_TRUE(lastBoxIs(prompts, "警告", text.arg(f.places).arg(f.frames))) << boxes(prompts).last().second.toStdString();
    }
    damage::EnglishTexts english;
    ASSERT_TRUE(english.loaded());
    const auto files = damage::damagedFiles();
    for (const damage::DamagedFile &f : {files[0], files[1]}) {
        SCOPED_TRACE(f.name.toStdString());
        const QString path = QDir::current().absoluteFilePath(f.name);
        ASSERT_TRUE(tracetest::writeAll(path, f.bytes));
        QUserDlgPlayBack d;
        QUserPromptScript prompts;
        loadThroughDialog(&d, prompts, path);
        const QString text = f.cut ? QStringLiteral("The file is damaged and ended early (it is incomplete): damaged data "
                                                    "was skipped at %1 place(s); %2 frames were loaded.")
                                   : QStringLiteral("The file is damaged: damaged data was skipped at %1 place(s); %2 "
                                                    "frames were loaded.");
        EXPECT_TRUE(lastBoxIs(prompts, "Warning", text.arg(f.places).arg(f.frames))) << boxes(prompts).last().second.toStdString();
    }
}

// A file that is no trace file (empty, a few bytes, random bytes, a broken
// header, the other format's bytes under a name, no known suffix) loads
// nothing, and the box is an error that names the file, never "成功加载0条数据。".
TEST_F(DlgPlayBack, LoadOfAFileThatIsNoTraceFileIsAnError)
{
    QUserDlgPlayBack d;
    QUserPromptScript prompts;
    for (const damage::NotTrace &f : damage::notTraceFiles()) {
        SCOPED_TRACE(f.name.toStdString());
        const QString path = QDir::current().absoluteFilePath(f.name);
        ASSERT_TRUE(craft::writeFile(path.toStdString(), f.bytes));
        loadThroughDialog(&d, prompts, path);
        EXPECT_EQ(d.param().recordCount, 0);
        EXPECT_TRUE(lastBoxIs(prompts, "错误", QStringLiteral("文件%1不是可读取的记录文件(ASC/BLF)!").arg(f.name)))
            << boxes(prompts).last().first.toStdString() << ": " << boxes(prompts).last().second.toStdString();
    }
    EXPECT_EQ(prompts.unanswered(), 0);
    // A good file loaded after them is a success again.
    const QString good = QDir::current().absoluteFilePath("good.blf");
    ASSERT_TRUE(writeTrace(good, 12));
    loadThroughDialog(&d, prompts, good);
    EXPECT_TRUE(lastBoxIs(prompts, "提示", "成功加载12条数据。"));

    damage::EnglishTexts english;
    ASSERT_TRUE(english.loaded());
    const QString path = QDir::current().absoluteFilePath("zero.blf");
    loadThroughDialog(&d, prompts, path);
    EXPECT_TRUE(lastBoxIs(prompts, "Error", "zero.blf is not a readable trace file (ASC/BLF)!"))
        << boxes(prompts).last().second.toStdString();
}

// A BLF file cut short loads the frames before the cut, and the box says
// that the file ended early and how many frames were loaded.
TEST_F(DlgPlayBack, LoadOfAFileCutShortSaysSo)
{
    const QString path = QDir::current().absoluteFilePath("cut.blf");
    ASSERT_TRUE(craft::writeFile(path.toStdString(), othertools::cutShortBlf(40, 2)));
    QUserDlgPlayBack d;
    QUserPromptScript prompts;
    loadThroughDialog(&d, prompts, path);
    EXPECT_EQ(prompts.unanswered(), 0);
    const int64_t n = d.param().recordCount;
    EXPECT_GE(n, 20);
    EXPECT_LT(n, 40);
    EXPECT_TRUE(lastBoxIs(prompts, "警告", QStringLiteral("文件提前结束(文件不完整),已加载%1条数据。").arg(n)));
    EXPECT_EQ(d.form()->label_msg->text(), QStringLiteral("帧总数量:%1").arg(n));
}

// "取消" in the progress dialog stops the conversion after the batch in
// hand; the partial count is shown and reported as loaded.
TEST_F(DlgPlayBack, CancelledLoadShowsThePartialCount)
{
    const QString path = QDir::current().absoluteFilePath("big.asc");
    ASSERT_TRUE(writeTrace(path, 100000));
    QUserDlgPlayBack d;
    QUserPromptScript prompts;
    prompts.answerFile(path);
    prompts.answerExec(0); // the user presses "取消" at once
    prompts.answerExec(1);
    d.form()->pushButton_load->click();
    EXPECT_TRUE(d.worker()->isStopRequested());
    ASSERT_TRUE(waitUntil([&] { return !d.jobPending(); }));
    EXPECT_LT(d.param().recordCount, 100000);
    EXPECT_EQ(d.form()->label_msg->text(), QStringLiteral("帧总数量:%1").arg(d.param().recordCount));
    EXPECT_TRUE(lastBoxIs(prompts, "提示", QStringLiteral("成功加载%1条数据。").arg(d.param().recordCount)));
}

// Sends without a device: every step sends nothing. Without auto stop the
// send runs through the cache ("发送完成!"); with it, it ends after the
// first step ("发送失败!"). "停止发送" ends a cycle ("发送已停止!"), and
// unticking cycle during a send lets it end at the next end of the cache.
TEST_F(DlgPlayBack, SendEndsAreReportedInBoxes)
{
    const QString path = QDir::current().absoluteFilePath("trace-40.blf");
    ASSERT_TRUE(writeTrace(path, 40));
    QUserDlgPlayBack d;
    d.devSet("NONE-0-0", nullptr);
    QUserPromptScript prompts;
    loadThroughDialog(&d, prompts, path);
    ASSERT_EQ(d.param().recordCount, 40);
    Ui_QUserDlgPlayBack *ui = d.form();
    ui->lineEdit_time->setText("2");
    ui->lineEdit_step->setText("4");

    ASSERT_TRUE(sendToEnd(&d, prompts));
    EXPECT_TRUE(lastBoxIs(prompts, "提示", "发送完成!"));
    EXPECT_EQ(ui->progressBar->value(), 100);
    EXPECT_TRUE(ui->pushButton_start->isEnabled());
    EXPECT_FALSE(ui->pushButton_stop->isEnabled());

    ui->checkBox_autoStop->setChecked(true);
    ASSERT_TRUE(sendToEnd(&d, prompts));
    EXPECT_TRUE(lastBoxIs(prompts, "提示", "发送失败!"));
    EXPECT_EQ(d.param().nextIndex, 4);
    ui->checkBox_autoStop->setChecked(false);

    ui->checkBox_cycle->setChecked(true);
    prompts.answerExec(1);
    ui->pushButton_start->click();
    EXPECT_FALSE(ui->pushButton_start->isEnabled());
    EXPECT_TRUE(ui->pushButton_stop->isEnabled());
    QThread::msleep(100); // 40 records every 20 ms: several passes
    EXPECT_TRUE(d.jobPending());
    ui->pushButton_stop->click();
    ASSERT_TRUE(waitUntil([&] { return !d.jobPending(); }));
    EXPECT_TRUE(lastBoxIs(prompts, "提示", "发送已停止!"));

    prompts.answerExec(1);
    ui->pushButton_start->click();
    QThread::msleep(60);
    QCoreApplication::processEvents();
    EXPECT_TRUE(d.jobPending());
    ui->checkBox_cycle->setChecked(false);
    ASSERT_TRUE(waitUntil([&] { return !d.jobPending(); }));
    EXPECT_TRUE(lastBoxIs(prompts, "提示", "发送完成!"));
    EXPECT_EQ(d.param().nextIndex, 40);
    EXPECT_EQ(prompts.unanswered(), 0);
}

// Replay through the dialog onto the simulated adapter: the frames of the
// file arrive on the far channel in order.
TEST_F(DlgPlayBack, ReplayArrivesOnTheFarChannel)
{
    SimRig rig;
    if (!kemusbBuilt())
        GTEST_SKIP() << "libkemusb.so not built";
    ASSERT_TRUE(rig.open());
    const QString path = QDir::current().absoluteFilePath("trace-100.asc");
    ASSERT_TRUE(writeTrace(path, 100));
    QUserDlgPlayBack d;
    d.devSet(SimRig::tx(), &rig.reg);
    QUserPromptScript prompts;
    loadThroughDialog(&d, prompts, path);
    d.form()->lineEdit_step->setText("32");
    ASSERT_TRUE(sendToEnd(&d, prompts));
    EXPECT_TRUE(lastBoxIs(prompts, "提示", "发送完成!"));
    ASSERT_TRUE(waitUntil([&] { return rig.received(SimRig::rx()).size() >= 100; }));
    const QVector<QUserCanMsg> got = rig.received(SimRig::rx());
    ASSERT_EQ(got.size(), 100);
    for (int i = 0; i < 100; ++i) {
        EXPECT_EQ(got[i].getId(), classicFrame(i).getId()) << i;
        EXPECT_EQ(got[i].dataText, classicFrame(i).dataText) << i;
    }
    ASSERT_TRUE(waitUntil([&] { return rig.collector.resultsWith(SimRig::tx(), MsgTagPlayBack) == 100; }));
}

// ---- what closing the dialog does to a job in flight -------------------------------

// Closing the dialog during a send: when it is gone, the worker's thread
// has ended, the worker is freed, no job runs, nothing more is sent and the
// cache file is removed. (The job used to go on with the freed record.)
TEST_F(DlgPlayBack, CloseDuringSendEndsTheJobFirst)
{
    SimRig rig;
    if (!kemusbBuilt())
        GTEST_SKIP() << "libkemusb.so not built";
    ASSERT_TRUE(rig.open());
    const QString path = QDir::current().absoluteFilePath("trace-50.asc");
    ASSERT_TRUE(writeTrace(path, 50));
    QPointer<QUserDlgPlayBack> d = new QUserDlgPlayBack;
    d->devSet(SimRig::tx(), &rig.reg);
    QUserPromptScript prompts;
    loadThroughDialog(d, prompts, path);
    const QString cache = d->param().cachePath;
    ASSERT_TRUE(QFile::exists(cache));
    d->dialogShow();
    d->form()->lineEdit_time->setText("2");
    d->form()->checkBox_cycle->setChecked(true);
    d->form()->pushButton_start->click();
    ASSERT_TRUE(waitUntil([&] { return rig.sent.size() >= 20; }));
    ASSERT_EQ(QPlayBackWork::activeJobs(), 1);

    QPointer<QThread> thread = d->workerThread();
    QPointer<QPlayBackWork> worker = d->worker();
    d->form()->pushButton_cancel->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    const int64_t goneAt = getCurrentMs();
    ASSERT_TRUE(d.isNull());
    EXPECT_EQ(QPlayBackWork::activeJobs(), 0);
    EXPECT_TRUE(thread.isNull());
    EXPECT_TRUE(worker.isNull());
    EXPECT_FALSE(QFile::exists(cache));
    QThread::msleep(100);
    for (const auto &e : rig.sent.copy())
        EXPECT_LE(e.atMs, goneAt) << e.msg.idText.toStdString();
    QCoreApplication::processEvents();
    EXPECT_TRUE(boxes(prompts).size() == 1) << "no end box after the dialog went";
}

// The dialog destroyed while its worker converts a large file: the job has
// ended when the dialog is gone and the cache file is not left behind.
TEST_F(DlgPlayBack, CloseDuringLoadEndsTheJobFirst)
{
    const QString path = QDir::current().absoluteFilePath("big.blf");
    ASSERT_TRUE(writeTrace(path, 100000));
    QPointer<QUserDlgPlayBack> d = new QUserDlgPlayBack;
    const QString cache = d->param().cachePath;
    QPointer<QThread> thread = d->workerThread();
    QPointer<QPlayBackWork> worker = d->worker();
    // The load as "加载" issues it, without its modal progress run.
    d->param().filePath = path;
    d->param().reqType = QUserPlayBackParam::ReqLoad;
    d->worker()->reqRun(QUserPlayBackParam::ReqLoad, &d->param());
    ASSERT_TRUE(waitUntil([&] { return QFile::exists(cache) && QPlayBackWork::activeJobs() == 1; }));
    delete d.data();
    EXPECT_EQ(QPlayBackWork::activeJobs(), 0);
    EXPECT_TRUE(thread.isNull());
    EXPECT_TRUE(worker.isNull());
    EXPECT_FALSE(QFile::exists(cache));
    QThread::msleep(50);
    EXPECT_FALSE(QFile::exists(cache));
    EXPECT_TRUE(QDir("cache").entryList(QDir::Files).isEmpty());
}

// Two dialogs keep their own caches: loading in the second leaves the
// first one's frames alone, and closing the second leaves the first one's
// cache in place. (Both used to share "cache/playBackItem.dat".)
TEST_F(DlgPlayBack, EachDialogHasItsOwnCache)
{
    const QString a = QDir::current().absoluteFilePath("a.asc");
    const QString b = QDir::current().absoluteFilePath("b.blf");
    ASSERT_TRUE(writeTrace(a, 7));
    ASSERT_TRUE(writeTrace(b, 30));
    QUserPromptScript prompts;
    QUserDlgPlayBack d1;
    auto *d2 = new QUserDlgPlayBack;
    EXPECT_NE(d1.param().cachePath, d2->param().cachePath);
    loadThroughDialog(&d1, prompts, a);
    loadThroughDialog(d2, prompts, b);
    ASSERT_EQ(d1.param().recordCount, 7);
    ASSERT_EQ(d2->param().recordCount, 30);
    {
        QFClassUserCanMsg cache;
        ASSERT_TRUE(cache.open(true, d1.param().cachePath));
        ASSERT_EQ(cache.getMsgCount(), 7u);
        for (int i = 0; i < 7; ++i) {
            QUserCanMsg m;
            ASSERT_TRUE(cache.readMsg(uint32_t(i), &m));
            EXPECT_EQ(m.getId(), classicFrame(i).getId());
        }
    }
    delete d2;
    EXPECT_TRUE(QFile::exists(d1.param().cachePath));
    EXPECT_EQ(QDir("cache").entryList(QDir::Files).size(), 1);
}

// "加载" is disabled while a send runs (from the moment it is requested),
// and a load asked for then does nothing; the loaded data and its count
// stay. (A load during a send used to replace the cache under it.)
TEST_F(DlgPlayBack, LoadIsRefusedWhileASendRuns)
{
    const QString path = QDir::current().absoluteFilePath("trace-30.asc");
    const QString other = QDir::current().absoluteFilePath("other.asc");
    ASSERT_TRUE(writeTrace(path, 30));
    ASSERT_TRUE(writeTrace(other, 3));
    QUserDlgPlayBack d;
    d.devSet("NONE-0-0", nullptr);
    QUserPromptScript prompts;
    loadThroughDialog(&d, prompts, path);
    d.form()->lineEdit_time->setText("5");
    d.form()->checkBox_cycle->setChecked(true);
    prompts.answerExec(1);
    d.form()->pushButton_start->click();
    EXPECT_FALSE(d.form()->pushButton_load->isEnabled());
    QThread::msleep(30);
    QCoreApplication::processEvents();
    EXPECT_FALSE(d.form()->pushButton_load->isEnabled());
    const int before = prompts.records().size();
    prompts.answerFile(other);
    d.slotFileLoadGet();
    EXPECT_EQ(prompts.records().size(), before); // no chooser was asked
    EXPECT_EQ(d.param().filePath, path);
    d.form()->pushButton_stop->click();
    ASSERT_TRUE(waitUntil([&] { return !d.jobPending(); }));
    EXPECT_TRUE(lastBoxIs(prompts, "提示", "发送已停止!"));
    EXPECT_TRUE(d.form()->pushButton_load->isEnabled());
    EXPECT_EQ(d.param().recordCount, 30);
    EXPECT_EQ(d.form()->label_msg->text(), "帧总数量:30");
    EXPECT_EQ(prompts.pending(), 1); // the chooser's answer was never asked for
}

// A cache record that cannot be read is skipped, and the end box says how
// many were.
TEST_F(DlgPlayBack, EndBoxCountsSkippedRecords)
{
    const QString path = QDir::current().absoluteFilePath("trace-10.asc");
    ASSERT_TRUE(writeTrace(path, 10));
    QUserDlgPlayBack d;
    d.devSet("NONE-0-0", nullptr);
    QUserPromptScript prompts;
    loadThroughDialog(&d, prompts, path);
    ASSERT_TRUE(spoilRecord(d.param().cachePath, 3));
    ASSERT_TRUE(spoilRecord(d.param().cachePath, 7));
    ASSERT_TRUE(sendToEnd(&d, prompts));
    EXPECT_TRUE(lastBoxIs(prompts, "提示", "发送完成!跳过2条无法读取的数据。"));
    EXPECT_EQ(d.param().skippedCount, 2);
}

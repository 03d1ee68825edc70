// The tool bar's receive filter, data save and real-time recording on a
// stand-in channel: what each shows, what it leaves checked, the files it
// writes, and how a failing disk is reported (a save that says so instead of
// "数据保存完成!", a recording that stops and unchecks its action).

#include "tests/mainwindow/MainWindowTestEnv.h"

#include "core/QUserDevId.h"
#include "devices/QUserDeviceAdapter.h"
#include "mainwindow/MainWindow.h"
#include "mainwindow/MainWindowForm.h"
#include "mainwindow/QUserMainWindowLayout.h"
#include "mainwindow/QUserTableModelCan.h"
#include "mainwindow/QUserTraceSave.h"
#include "tests/mainwindow/StubChannelDevice.h"
#include "tests/support/PeerCheck.h"
#include "tests/support/StalledRecordDisk.h"
#include "traffic/QUserRecord.h"
#include "traffic/QUserRecordWriter.h"
#include "traffic/QUserTraceFile.h"

#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QTabWidget>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <thread>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char *kCh0 = "USBCANFD2-0-0";
const char *kCh1 = "USBCANFD2-0-1";

QUserCanMsg frameOf(uint32_t id, int seq = 0, int direction = 0)
{
    QUserCanMsg m;
    m.idText = idToText(id);
    m.extended = id > 0x7FF ? 1 : 0;
    m.lenText = "4";
    m.dataText = QString::asprintf("%08X", uint32_t(seq));
    m.direction = uint8_t(direction);
    m.hostTime = getCurrentMs();
    return m;
}

QVector<QUserCanMsg> batchOf(int first, int n, uint32_t id = 0x123)
{
    QVector<QUserCanMsg> b;
    for (int i = 0; i < n; ++i)
        b.append(frameOf(id, first + i));
    return b;
}

QString bare(QString hex)
{
    return hex.remove(' ');
}

QList<QUserCanMsg> readBack(const QString &path)
{
    QList<QUserCanMsg> frames;
    QUserTraceFile f;
    f.fileRead(path, frames);
    return frames;
}

// The rule editor answered as a user does: standard range start..end added.
std::function<int(QDialog *)> ruleStdRange(const QString &start, const QString &end)
{
    return [start, end](QDialog *d) {
        auto *mode = d->findChild<QComboBox *>("comboBox_mode");
        auto *s = d->findChild<QLineEdit *>("lineEdit_startId");
        auto *e = d->findChild<QLineEdit *>("lineEdit_endId");
        auto *add = d->findChild<QPushButton *>("pushButton_add");
        auto *ok = d->findChild<QPushButton *>("pushButton_ok");
        if (!mode || !s || !e || !add || !ok)
            return -1;
        mode->setCurrentIndex(1);
        emit mode->activated(1); // as a user's pick
        s->setText(start);
        e->setText(end);
        add->click();
        ok->click();
        return d->result();
    };
}

} // namespace

class RecordSaveTest : public MainWindowEnv
{
protected:
    void SetUp() override
    {
        MainWindowEnv::SetUp();
        // The list shows every frame, in arrival order.
        cfg()->setString("idMergEnable", "OFF");
        w.reset(new MainWindow);
        stub = new StubChannelDevice;
        w->devAdapterGet()->deviceReplace("USBCANFD2", stub);
    }
    void TearDown() override { w.reset(); }

    void openChannels(const QStringList &ids)
    {
        stub->openIds = ids;
        ASSERT_TRUE(w->devOpen("USBCANFD2"));
    }
    void selectTab(const char *id)
    {
        QTabWidget *tabs = w->layoutGet()->tabDataShow;
        for (int i = 0; i < tabs->count(); ++i)
            if (tabs->tabText(i) == getDevIdTextEx(w->languageCodeGet(), QString::fromLatin1(id)))
                tabs->setCurrentIndex(i);
        ASSERT_EQ(w->curTabDevGet(), QString::fromLatin1(id));
    }
    QUserTableModelCan *model(const char *id) const { return w->tabSrvGet().find(QString::fromLatin1(id))->model; }
    int tips(const QString &text) const { return log.lines.filter(QStringLiteral("tip: ") + text).size(); }
    Ui_MainWindow *ui() const { return w->formGet(); }
    QUserDeviceAdapter *reg() const { return w->devAdapterGet(); }
    QString path(const QString &name) const { return QDir::current().absoluteFilePath(name); }

    std::unique_ptr<MainWindow> w;
    StubChannelDevice *stub = nullptr;
};

// ---- without a channel -----------------------------------------------------

TEST_F(RecordSaveTest, WelcomeTabRefusesEachActionWithItsBox)
{
    struct Row {
        QAction *action;
        const char *text;
    } const rows[] = {
        {ui()->actFliter, "请先[选择设备]!!!"},
        {ui()->actRecord, "请先[选择设备]!!!"},
        {ui()->actSave, "无数据可以保存!!!"},
    };
    ASSERT_TRUE(w->curTabDevGet().isEmpty());
    for (const Row &r : rows) {
        SCOPED_TRACE(r.text);
        prompts.answerExec(1);
        r.action->trigger();
        ASSERT_EQ(prompts.last().kind, QUserPromptScript::Exec);
        EXPECT_EQ(prompts.last().title, "错误");
        EXPECT_TRUE(prompts.last().text.contains(QString::fromUtf8(r.text))) << prompts.last().text.toStdString();
        EXPECT_FALSE(r.action->isChecked());
    }
    EXPECT_EQ(prompts.unanswered(), 0);
    EXPECT_EQ(prompts.records().size(), 3); // no file dialog was asked
}

// ---- receive filter ----------------------------------------------------------

TEST_F(RecordSaveTest, FilterOnClearsTheTabAndKeepsOnlyTheRange)
{
    openChannels({kCh0});
    selectTab(kCh0);
    w->soltDevRec(kCh0, batchOf(0, 5));
    ASSERT_EQ(model(kCh0)->listCount(), 5);

    prompts.answerExec(ruleStdRange("100", "1FF"));
    ui()->actFliter->trigger();
    ASSERT_EQ(prompts.unanswered(), 0);
    EXPECT_EQ(prompts.last().title, "数据过滤设置");
    EXPECT_TRUE(ui()->actFliter->isChecked());
    EXPECT_TRUE(reg()->fliterEnableGet(kCh0));
    EXPECT_EQ(tips("数据过滤已开启!"), 1);
    EXPECT_EQ(model(kCh0)->listCount(), 0); // cleared
    EXPECT_EQ(w->tabSrvGet().find(kCh0)->rxCntGet(), 0u);

    // Edges of the range in, neighbours and extended frames out.
    w->soltDevRec(kCh0, {frameOf(0x0FF), frameOf(0x100), frameOf(0x1FF), frameOf(0x200), frameOf(0x00000150)});
    QUserCanMsg ext = frameOf(0x150);
    ext.extended = 1;
    w->soltDevRec(kCh0, {ext});
    ASSERT_EQ(model(kCh0)->listCount(), 3);
    EXPECT_EQ(model(kCh0)->listAt(0).getId(), 0x100);
    EXPECT_EQ(model(kCh0)->listAt(1).getId(), 0x1FF);
    EXPECT_EQ(model(kCh0)->listAt(2).getId(), 0x150);

    // Off: everything is shown again, the rules stay stored.
    ui()->actFliter->trigger();
    EXPECT_FALSE(ui()->actFliter->isChecked());
    EXPECT_FALSE(reg()->fliterEnableGet(kCh0));
    EXPECT_EQ(tips("数据过滤已关闭!"), 1);
    w->soltDevRec(kCh0, {frameOf(0x200)});
    EXPECT_EQ(model(kCh0)->listCount(), 4);
    QVector<QUserFliterRule> rules;
    ASSERT_TRUE(reg()->fliterRulesGet(kCh0, rules));
    ASSERT_EQ(rules.size(), 1);
    EXPECT_EQ(rules.at(0).startId, 0x100u);
    EXPECT_EQ(rules.at(0).endId, 0x1FFu);
}

// The rule file cannot be written (here a folder stands in its place):
// the rules would be lost at the next start, so filtering is not switched
// on and the user is told; the channel keeps the rules it had.
TEST_F(RecordSaveTest, FilterRuleFileNotWrittenIsReportedAndFilteringStaysOff)
{
    openChannels({kCh0});
    selectTab(kCh0);
    prompts.answerExec(ruleStdRange("100", "1FF"));
    ui()->actFliter->trigger();
    ASSERT_TRUE(reg()->fliterEnableGet(kCh0));
    ui()->actFliter->trigger(); // off again, the first rules kept
    w->soltDevRec(kCh0, batchOf(0, 4));
    const QString path = QStringLiteral("./%1-Fliter.ini").arg(kCh0);
    ASSERT_TRUE(QFile::remove(path));
    ASSERT_TRUE(QDir().mkdir(path));

    prompts.answerExec(ruleStdRange("300", "3FF"));
    prompts.answerExec(1);
    ui()->actFliter->trigger();
    ASSERT_EQ(prompts.unanswered(), 0);
    EXPECT_EQ(prompts.last().title, "错误");
    EXPECT_TRUE(prompts.last().text.contains(QString::fromUtf8("过滤规则文件写入失败,数据过滤未开启!")))
        << prompts.last().text.toStdString();
    EXPECT_EQ(tips("数据过滤已开启!"), 1) << "only the first, written, rules said so";
    EXPECT_FALSE(ui()->actFliter->isChecked());
    EXPECT_FALSE(reg()->fliterEnableGet(kCh0));
    EXPECT_EQ(model(kCh0)->listCount(), 4) << "not cleared";
    QVector<QUserFliterRule> rules;
    ASSERT_TRUE(reg()->fliterRulesGet(kCh0, rules));
    ASSERT_EQ(rules.size(), 1);
    EXPECT_EQ(rules.at(0).startId, 0x100u);
}

TEST_F(RecordSaveTest, FilterEditorCancelledLeavesFilteringOff)
{
    openChannels({kCh0});
    selectTab(kCh0);
    w->soltDevRec(kCh0, batchOf(0, 3));
    prompts.answerExec(0);
    ui()->actFliter->trigger();
    EXPECT_FALSE(ui()->actFliter->isChecked());
    EXPECT_FALSE(reg()->fliterEnableGet(kCh0));
    EXPECT_EQ(model(kCh0)->listCount(), 3); // not cleared
    EXPECT_EQ(tips("数据过滤已开启!"), 0);
}

// ---- data save ----------------------------------------------------------------

TEST_F(RecordSaveTest, SaveWritesWhatTheTabShowsInBothFormats)
{
    openChannels({kCh0});
    selectTab(kCh0);
    QVector<QUserCanMsg> frames;
    for (int i = 0; i < 40; ++i)
        frames.append(frameOf(i % 2 ? 0x18DAF100 + i : 0x100 + i, i, i % 3 == 0 ? 1 : 0));
    w->soltDevRec(kCh0, frames);
    for (const char *name : {"tab.asc", "tab.blf"}) {
        SCOPED_TRACE(name);
        prompts.answerFile(path(name));
        ui()->actSave->trigger();
        const QList<QUserCanMsg> back = readBack(path(name));
        ASSERT_EQ(back.size(), frames.size());
        for (int i = 0; i < frames.size(); ++i) {
            EXPECT_EQ(back.at(i).getId(), frames.at(i).getId()) << i;
            EXPECT_EQ(back.at(i).extended, frames.at(i).extended) << i;
            EXPECT_EQ(bare(back.at(i).dataText), frames.at(i).dataText) << i;
            EXPECT_EQ(back.at(i).direction, frames.at(i).direction) << i;
        }
    }
    EXPECT_EQ(tips("数据保存完成!"), 2);
    EXPECT_EQ(log.lines.filter("成功保存40条...").size(), 2);
    const QUserPromptScript::Record ask = prompts.records().at(0);
    EXPECT_EQ(ask.kind, QUserPromptScript::SaveFile);
    EXPECT_EQ(ask.title, "另存为");
    EXPECT_EQ(ask.dir, "../");
    EXPECT_EQ(ask.text, "ASC File(*.asc);;BLF File(*.blf)");
    EXPECT_EQ(model(kCh0)->listCount(), 40); // the display keeps its frames
}

TEST_F(RecordSaveTest, SaveOfMergedEmptyAndBadlyNamedTabs)
{
    openChannels({kCh0});
    selectTab(kCh0);
    // Merged: three identifiers, latest frame of each.
    cfg()->setString("idMergEnable", "ON");
    w->curTabModelReload();
    w->soltDevRec(kCh0, {frameOf(0x300, 1), frameOf(0x100, 2), frameOf(0x300, 3), frameOf(0x200, 4)});
    prompts.answerFile(path("merged.asc"));
    ui()->actSave->trigger();
    const QList<QUserCanMsg> merged = readBack(path("merged.asc"));
    ASSERT_EQ(merged.size(), 3);
    QStringList latest; // the data of each identifier's entry
    for (const QUserCanMsg &f : merged)
        latest << QString::asprintf("%03X:", uint32_t(f.getId())) + bare(f.dataText);
    latest.sort();
    EXPECT_EQ(latest, (QStringList{"100:00000002", "200:00000004", "300:00000003"}));
    EXPECT_EQ(log.lines.filter("成功保存3条...").size(), 1);

    // Empty: a file without frames, still a success.
    w->soltTabDataShowClr();
    prompts.answerFile(path("empty.blf"));
    ui()->actSave->trigger();
    EXPECT_TRUE(QFile::exists(path("empty.blf")));
    EXPECT_EQ(readBack(path("empty.blf")).size(), 0);
    EXPECT_EQ(tips("数据保存完成!"), 2);

    // Neither suffix, or a folder that does not exist: creation fails.
    for (const char *bad : {"x.txt", "gone/x.asc"}) {
        SCOPED_TRACE(bad);
        prompts.answerFile(path(bad));
        prompts.answerExec(1);
        ui()->actSave->trigger();
        EXPECT_EQ(prompts.last().title, "数据保存");
        EXPECT_TRUE(prompts.last().text.contains("保存失败,文件创建失败!"));
        EXPECT_TRUE(log.contains(QStringLiteral("File<%1> Creat Fail...").arg(path(bad))));
    }
    EXPECT_EQ(tips("数据保存完成!"), 2);

    // Cancelled dialog: nothing at all.
    const int shown = prompts.records().size();
    prompts.answerFile(QString());
    ui()->actSave->trigger();
    EXPECT_EQ(prompts.records().size(), shown + 1);
    EXPECT_EQ(prompts.unanswered(), 0);
}

// A tab's traffic over some 40 s as a bus brings it: identifiers at their
// own times, some of them again much later, a CAN FD frame and a frame this
// program sent. Saved from the merged view every identifier keeps the time
// of the frame its row shows, and the file goes in time order (its times
// count from its first frame); saved from the list every frame keeps its
// own. Read back with our reader and with python-can.
TEST_F(RecordSaveTest, SaveKeepsEveryFramesTimeInBothViews)
{
    openChannels({kCh0});
    selectTab(kCh0);
    const int64_t base = getCurrentMs() - 60000;
    struct Sent {
        uint32_t id;
        int64_t at; // ms after base
        bool fd;
        bool tx;
    } const traffic[] = {
        {0x300, 0, false, false},        {0x050, 1000, false, false},   {0x100, 5000, false, false},
        {0x18DAF100, 9500, true, false}, {0x200, 12000, false, false},  {0x300, 20000, false, false},
        {0x7E0, 20250, false, true},     {0x050, 26000, false, false},  {0x100, 35000, false, false},
        {0x0CF00400, 38000, false, false}, {0x300, 40000, false, false}, {0x050, 40000, false, false},
    };
    QVector<QUserCanMsg> sent;
    int seq = 0;
    for (const Sent &t : traffic) {
        QUserCanMsg m = frameOf(t.id, seq++, t.tx ? 1 : 0);
        m.hostTime = base + t.at;
        if (t.fd) {
            m.protocol = 2;
            m.lenText = "12";
            m.dataText = QString::asprintf("%08X", uint32_t(seq)) + "0102030405060708";
        }
        if (t.tx) {
            m.status = MsgTagDbcSend;
            w->soltDevSendResult(kCh0, m);
        } else {
            w->soltDevRec(kCh0, {m});
        }
        sent.append(m);
    }
    QUserTableModelCan *m = model(kCh0);
    ASSERT_EQ(m->listCount(), int(std::size(traffic)));
    ASSERT_EQ(m->mergeCount(), 7);

    // What each view shows: the merged rows (identifier order, the time of
    // the latest frame) and the list (arrival order).
    struct Shown {
        uint32_t id;
        int64_t time;
        QString data;
    };
    QList<Shown> rows;
    QUserCanMsgMerge e;
    for (int k = 0; m->mergeAt(k, e); ++k)
        rows.append({e.frame.id, e.frame.hostTime, canFrameToMsg(e.frame).dataText});
    cfg()->setString("idMergEnable", "ON");
    w->curTabModelReload();
    m->windowRebuild();
    ASSERT_EQ(m->rowCount(), rows.size());
    for (int r = 0; r < rows.size(); ++r)
        EXPECT_EQ(m->item(r, 3)->text().toStdString(), QUserTableModelCan::timeCellText(rows.at(r).time).toStdString())
            << r;
    QList<Shown> byTime = rows;
    std::stable_sort(byTime.begin(), byTime.end(), [](const Shown &a, const Shown &b) { return a.time < b.time; });
    QList<Shown> list;
    for (const QUserCanMsg &f : sent)
        list.append({uint32_t(f.getId()), f.hostTime, f.dataText});

    const bool havePeer = peer::haveModules({"can"});
    if (!havePeer && peer::underCi())
        FAIL() << "python module can missing under /usr/bin/python3";
    struct Case {
        const char *file;
        bool merged;
    } const cases[] = {{"merged.asc", true}, {"merged.blf", true}, {"list.asc", false}, {"list.blf", false}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.file);
        cfg()->setString("idMergEnable", c.merged ? "ON" : "OFF");
        w->curTabModelReload();
        prompts.answerFile(path(c.file));
        ui()->actSave->trigger();
        ASSERT_EQ(tips("数据保存完成!"), int(&c - cases) + 1);
        const QList<Shown> &want = c.merged ? byTime : list;
        const int64_t start = want.first().time;

        const QList<QUserCanMsg> back = readBack(path(c.file));
        ASSERT_EQ(back.size(), want.size());
        for (int i = 0; i < want.size(); ++i) {
            EXPECT_EQ(uint32_t(back.at(i).getId()), want.at(i).id) << i;
            EXPECT_EQ(back.at(i).hostTime, want.at(i).time - start) << i;
            EXPECT_EQ(bare(back.at(i).dataText).toStdString(), want.at(i).data.toStdString()) << i;
        }
        if (!havePeer)
            continue;
        const peer::Result r = peer::run(peer::script("traffic_peer.py"), {"read", path(c.file).toStdString()});
        ASSERT_EQ(r.exitCode, 0) << r.output;
        const QJsonArray frames = QJsonDocument::fromJson(QByteArray::fromStdString(r.output)).array();
        ASSERT_EQ(frames.size(), want.size()) << r.output;
        for (int i = 0; i < want.size(); ++i) {
            const QJsonObject f = frames.at(i).toObject();
            EXPECT_EQ(uint32_t(f.value("id").toDouble()), want.at(i).id) << i;
            // python-can's times in ms from the file's first frame.
            EXPECT_NEAR(f.value("t").toDouble(), double(want.at(i).time - start), 0.01) << i;
            EXPECT_EQ(f.value("data").toString().toStdString(), want.at(i).data.toStdString()) << i;
        }
    }
    if (!havePeer)
        std::printf("python-can missing under /usr/bin/python3: checked with our reader only\n");
}

TEST_F(RecordSaveTest, NameTypedWithoutSuffixTakesTheChosenFilters)
{
    struct Case {
        const char *typed;
        const char *filter;
        const char *file;
    } const cases[] = {
        {"plain", "BLF File(*.blf)", "plain.blf"},
        {"plain2", "ASC File(*.asc)", "plain2.asc"},
        {"nofilter", "", "nofilter.asc"},
        {"dot.", "BLF File(*.blf)", "dot.blf"},
        {"kept.asc", "BLF File(*.blf)", "kept.asc"},
    };
    openChannels({kCh0});
    selectTab(kCh0);
    w->soltDevRec(kCh0, batchOf(0, 2));
    for (const Case &c : cases) {
        SCOPED_TRACE(c.typed);
        prompts.answerFile(path(c.typed), QString::fromLatin1(c.filter));
        ui()->actSave->trigger();
        EXPECT_EQ(readBack(path(c.file)).size(), 2);
    }
    EXPECT_EQ(tips("数据保存完成!"), 5);
    EXPECT_EQ(QUserTraceSave::suffixApply("a/b.c/name", "BLF File(*.blf)"), "a/b.c/name.blf");
}

// A disk that takes no more bytes (the full device): the save says it
// failed, and how far it got, instead of "数据保存完成!".
TEST_F(RecordSaveTest, SaveOntoAFullDiskSaysItFailed)
{
    if (!QFile::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    openChannels({kCh0});
    selectTab(kCh0);
    w->soltDevRec(kCh0, batchOf(0, 3000));
    for (const char *name : {"full.asc", "full.blf"}) {
        SCOPED_TRACE(name);
        ASSERT_EQ(::symlink("/dev/full", name), 0);
        prompts.answerFile(path(name));
        prompts.answerExec(1);
        ui()->actSave->trigger();
        EXPECT_EQ(prompts.last().title, "数据保存");
        EXPECT_TRUE(prompts.last().text.contains("保存失败")) << prompts.last().text.toStdString();
        EXPECT_FALSE(log.contains("成功保存"));
    }
    EXPECT_EQ(tips("数据保存完成!"), 0);
    EXPECT_EQ(prompts.unanswered(), 0);
}

// A file that may grow only so far (a quota, a nearly full disk): the
// first bytes are written, then the writes fail.
TEST_F(RecordSaveTest, SaveCutShortByTheFileSizeLimitSaysItFailed)
{
    openChannels({kCh0});
    selectTab(kCh0);
    w->soltDevRec(kCh0, batchOf(0, 5000));
    struct rlimit old;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 4 * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    for (const char *name : {"cut.asc", "cut.blf"}) {
        SCOPED_TRACE(name);
        prompts.answerFile(path(name));
        prompts.answerExec(1);
        ui()->actSave->trigger();
        EXPECT_EQ(prompts.last().title, "数据保存");
        EXPECT_TRUE(prompts.last().text.contains("保存失败,数据写入失败!")) << prompts.last().text.toStdString();
    }
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(tips("数据保存完成!"), 0);
    EXPECT_LE(QFileInfo(path("cut.asc")).size(), 4 * 1024);
}

// A save that takes long (here: a reader at the other end of a pipe that
// waits before it drains it) shows its progress after half a second, and
// the frames that come in meanwhile reach the tab, none lost.
TEST_F(RecordSaveTest, SlowSaveShowsProgressAndLosesNoArrivingFrames)
{
    openChannels({kCh0});
    selectTab(kCh0);
    const int before = 20000;
    w->soltDevRec(kCh0, batchOf(0, before));
    const QByteArray fifo = QFile::encodeName(path("slow.asc"));
    ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0);

    std::atomic<qint64> drained{0};
    std::thread reader([&] {
        QFile in(QString::fromLocal8Bit(fifo));
        if (!in.open(QIODevice::ReadOnly))
            return;
        QThread::msleep(900);
        // Then slowly: the save stays under way long after its progress
        // shows, whatever the machine's speed.
        while (true) {
            const QByteArray chunk = in.read(1 << 14);
            if (chunk.isEmpty())
                break;
            drained += chunk.size();
            QThread::msleep(5);
        }
    });
    // Batches from the driver side while the file is written.
    std::atomic<bool> stop{false};
    std::atomic<int> sent{0};
    std::thread driver([&] {
        int seq = before;
        while (!stop) {
            emit reg()->receiveMsg(QString::fromLatin1(kCh0), batchOf(seq, 50, 0x456));
            seq += 50;
            sent += 50;
            QThread::msleep(20);
        }
    });
    bool progressSeen = false;
    int progressMax = 0;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        if (auto *p = w->findChild<QProgressDialog *>()) {
            progressSeen = progressSeen || p->isVisible();
            progressMax = p->maximum();
        }
    });
    probe.start(50);
    QElapsedTimer t;
    t.start();
    prompts.answerFile(path("slow.asc"));
    ui()->actSave->trigger();
    const qint64 took = t.elapsed();
    probe.stop();
    stop = true;
    driver.join();
    reader.join();
    EXPECT_GE(took, 800);
    EXPECT_TRUE(progressSeen);
    EXPECT_EQ(progressMax, before);
    EXPECT_EQ(w->findChild<QProgressDialog *>(), nullptr); // gone afterwards
    EXPECT_EQ(tips("数据保存完成!"), 1);
    EXPECT_EQ(log.lines.filter(QStringLiteral("成功保存%1条...").arg(before)).size(), 1);
    EXPECT_GT(drained.load(), 0);
    // Everything still queued arrives; the tab holds all of it, in order.
    mwtest::flush();
    ASSERT_GT(sent.load(), 0);
    QUserTableModelCan *m = model(kCh0);
    ASSERT_EQ(m->listCount(), before + sent.load());
    for (int i = before - 1; i < m->listCount(); i += 997)
        EXPECT_EQ(bare(m->listAt(i).dataText), QString::asprintf("%08X", uint32_t(i))) << i;
}

// ---- real-time recording -----------------------------------------------------

TEST_F(RecordSaveTest, RecordingWritesWhatTheTabShowsWhileOn)
{
    openChannels({kCh0, kCh1});
    selectTab(kCh0);
    w->soltDevRec(kCh0, batchOf(0, 10)); // before: not recorded
    prompts.answerFile(path("live"), "BLF File(*.blf)");
    ui()->actRecord->trigger();
    EXPECT_TRUE(ui()->actRecord->isChecked());
    EXPECT_TRUE(reg()->recordIsStart(kCh0));
    EXPECT_FALSE(reg()->recordIsStart(kCh1));
    EXPECT_EQ(tips("实时保存已开启!"), 1);
    w->soltDevRec(kCh0, batchOf(10, 25));
    w->soltDevRec(kCh1, batchOf(100, 5)); // another channel: not in this file
    QUserCanMsg sent = frameOf(0x7E0, 35);
    sent.status = MsgTagDbcSend;
    stub->sendMsg(kCh0, sent); // comes back as a sent frame of the tab
    mwtest::flush();
    ui()->actRecord->trigger();
    EXPECT_FALSE(ui()->actRecord->isChecked());
    EXPECT_FALSE(reg()->recordIsStart(kCh0));
    EXPECT_EQ(tips("实时保存已停止!"), 1);
    w->soltDevRec(kCh0, batchOf(40, 5)); // after: not recorded

    // The stop returns at once; the writer closes the file on its own.
    ASSERT_TRUE(QUserRecordWriter::waitAllEnded(std::chrono::seconds(30)));
    const QList<QUserCanMsg> back = readBack(path("live.blf"));
    ASSERT_EQ(back.size(), 26);
    for (int i = 0; i < 25; ++i)
        EXPECT_EQ(bare(back.at(i).dataText), QString::asprintf("%08X", uint32_t(10 + i)));
    EXPECT_EQ(back.at(25).getId(), 0x7E0);
    EXPECT_EQ(back.at(25).direction, 1);
}

TEST_F(RecordSaveTest, RecordingThatCannotStartLeavesTheActionOff)
{
    openChannels({kCh0});
    selectTab(kCh0);
    struct Case {
        const char *answer; // null: cancelled
        const char *text;
    } const cases[] = {
        {nullptr, "启动失败!存储路径空!!"},
        {"gone/rec.asc", "启动失败!请选择有读写权限的路径!"},
        {"rec.txt", "启动失败!请选择有读写权限的路径!"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        prompts.answerFile(c.answer ? path(c.answer) : QString());
        prompts.answerExec(1);
        ui()->actRecord->trigger();
        EXPECT_EQ(prompts.last().title, "错误");
        EXPECT_TRUE(prompts.last().text.contains(QString::fromUtf8(c.text))) << prompts.last().text.toStdString();
        EXPECT_FALSE(ui()->actRecord->isChecked());
        EXPECT_FALSE(reg()->recordIsStart(kCh0));
    }
    EXPECT_EQ(tips("实时保存已开启!"), 0);
    EXPECT_EQ(prompts.unanswered(), 0);
}

// A recording whose writes fail (the full device, or a file size limit
// reached part-way) stops, unchecks the action and says so in an error box
// that stays until the user closes it; the failure is logged once, by the
// recorder, with the frames not written. Frames keep reaching the tab.
TEST_F(RecordSaveTest, RecordingWhoseWritesFailStopsAndSaysSo)
{
    if (!QFile::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    openChannels({kCh0});
    selectTab(kCh0);
    struct rlimit old;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    enum How { FullDevice, SizeLimit };
    struct Case {
        const char *name;
        How how;
    } const cases[] = {
        {"full.asc", FullDevice}, {"full.blf", FullDevice}, {"limit.asc", SizeLimit}, {"limit.blf", SizeLimit}};
    int failures = 0;
    int seq = 0;
    const QString boxText = getDevIdTextEx(w->languageCodeGet(), kCh0) + QStringLiteral(":实时保存写入失败,已停止!");
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        if (c.how == FullDevice) {
            ASSERT_EQ(::symlink("/dev/full", c.name), 0);
        }
        prompts.answerFile(path(c.name));
        ui()->actRecord->trigger();
        ASSERT_TRUE(ui()->actRecord->isChecked());
        ASSERT_TRUE(reg()->recordIsStart(kCh0));
        if (c.how == SizeLimit) {
            struct rlimit small = old;
            small.rlim_cur = 16 * 1024;
            ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
        }
        const int rows = model(kCh0)->listCount();
        const int shown = prompts.records().size();
        prompts.answerExec(1);
        // Frames as a bus brings them, 200 every 10 ms, until the failure
        // shows (the writers push their buffers out at the latest once a
        // second).
        QElapsedTimer t;
        t.start();
        bool stopped = false;
        int fed = 0;
        while (t.elapsed() < testsupport::kGiveUpMs && !stopped) {
            w->soltDevRec(kCh0, batchOf(seq, 200));
            seq += 200;
            fed += 200;
            stopped = !reg()->recordIsStart(kCh0);
            QTest::qWait(10);
        }
        setrlimit(RLIMIT_FSIZE, &old);
        ASSERT_TRUE(stopped) << "the recording never noticed";
        EXPECT_TRUE(QTest::qWaitFor([&] { return prompts.records().size() > shown; }, testsupport::kGiveUpMs));
        ++failures;
        ASSERT_EQ(prompts.records().size(), shown + 1) << "one box";
        EXPECT_EQ(prompts.last().title, "错误");
        EXPECT_TRUE(prompts.last().text.contains(boxText)) << prompts.last().text.toStdString();
        EXPECT_FALSE(ui()->actRecord->isChecked());
        EXPECT_EQ(log.lines.filter(QStringLiteral("%1 Record Write Fail, ").arg(kCh0)).size(), failures);
        EXPECT_EQ(log.lines.filter("Record Write Fail").size(), failures) << "logged once";
        EXPECT_EQ(model(kCh0)->listCount(), rows + fed); // the tab lost nothing
    }
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(log.lines.filter("实时保存写入失败").size(), 0) << "no tip besides the box";
    EXPECT_EQ(prompts.unanswered(), 0);
}

// The failure box is modal, and its own loop goes on delivering what the
// adapters receive: every frame that arrives while it is shown reaches the
// tab before the user closes it.
TEST_F(RecordSaveTest, FramesKeepReachingTheTabWhileTheFailureBoxIsShown)
{
    if (!QFile::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    openChannels({kCh0, kCh1});
    selectTab(kCh0);
    ASSERT_EQ(::symlink("/dev/full", "full.asc"), 0);
    prompts.answerFile(path("full.asc"));
    ui()->actRecord->trigger();
    ASSERT_TRUE(reg()->recordIsStart(kCh0));

    const int perBatch = 50, batches = 40;
    int before = -1, duringBox = -1;
    bool boxShown = false;
    prompts.answerExec([&](QDialog *d) {
        boxShown = d->windowTitle() == QStringLiteral("错误");
        before = model(kCh1)->listCount();
        std::atomic<bool> sent{false};
        std::thread driver([&] {
            for (int b = 0; b < batches; ++b) {
                emit reg()->receiveMsg(QString::fromLatin1(kCh1), batchOf(b * perBatch, perBatch, 0x456));
                QThread::msleep(2);
            }
            sent = true;
        });
        // The user reads the box until the frames have all come in.
        QTimer user;
        QElapsedTimer waited;
        waited.start();
        QObject::connect(&user, &QTimer::timeout, d, [&] {
            if ((sent && model(kCh1)->listCount() == before + perBatch * batches) ||
                waited.elapsed() > testsupport::kGiveUpMs)
                d->done(1);
        });
        user.start(10);
        const int r = d->exec();
        driver.join();
        duringBox = model(kCh1)->listCount() - before;
        return r;
    });
    int seq = 0;
    QElapsedTimer t;
    t.start();
    while (reg()->recordIsStart(kCh0) && t.elapsed() < testsupport::kGiveUpMs) {
        w->soltDevRec(kCh0, batchOf(seq, 200));
        seq += 200;
        QTest::qWait(10);
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return duringBox >= 0; }, 60000));
    EXPECT_TRUE(boxShown);
    EXPECT_EQ(duringBox, perBatch * batches);
    EXPECT_EQ(prompts.unanswered(), 0);
}

// A disk that stalls: past the queue bound the recording stops with one box
// and one log line naming the frames not written; the tab lost nothing, and
// once the disk answers the file holds every frame taken before the bound.
TEST_F(RecordSaveTest, RecordingOnAStalledDiskStopsAtTheBoundWithOneBox)
{
    openChannels({kCh0});
    selectTab(kCh0);
    const int fed = int(QUserRecord::kMaxPending) + 5000;
    {
        StalledRecordDisk disk;
        prompts.answerFile(path("stall.blf"));
        ui()->actRecord->trigger();
        ASSERT_TRUE(reg()->recordIsStart(kCh0));
        prompts.answerExec(1);
        for (int seq = 0; seq < fed; seq += 1000)
            w->soltDevRec(kCh0, batchOf(seq, 1000));
        // Every batch came back while the disk still held the writer: none
        // waited for the disk.
        EXPECT_FALSE(QUserRecordWriter::waitAllEnded(std::chrono::milliseconds(0))) << "a batch waited for the disk";
        EXPECT_FALSE(reg()->recordIsStart(kCh0));
        EXPECT_TRUE(QTest::qWaitFor([&] { return prompts.unanswered() == 0 && prompts.pending() == 0; }, 10000));
        ASSERT_EQ(prompts.records().size(), 2) << "the file chooser and one box";
        EXPECT_EQ(prompts.last().title, "错误");
        EXPECT_FALSE(ui()->actRecord->isChecked());
        EXPECT_EQ(log.lines.filter("Record Write").size(), 1);
        EXPECT_EQ(log.lines.filter(QStringLiteral("%1 Record Write Stalled, 100000 Frames Not Written Yet, Record Stop...")
                                       .arg(kCh0))
                      .size(),
                  1);
        EXPECT_EQ(model(kCh0)->listCount(), fed);
    }
    ASSERT_TRUE(QUserRecordWriter::waitAllEnded(std::chrono::seconds(120)));
    const QList<QUserCanMsg> back = readBack(path("stall.blf"));
    ASSERT_EQ(back.size(), QUserRecord::kMaxPending);
    for (int i = 0; i < back.size(); i += 997)
        EXPECT_EQ(bare(back.at(i).dataText), QString::asprintf("%08X", uint32_t(i))) << i;
    EXPECT_EQ(bare(back.last().dataText), QString::asprintf("%08X", uint32_t(back.size() - 1)));
}

// Closing a channel, and the window, while its recording waits for a
// stalled disk returns at once; the files are finished when the disk goes on.
TEST_F(RecordSaveTest, ClosingChannelsWhoseRecordingsWaitForAStalledDiskReturnsAtOnce)
{
    openChannels({kCh0, kCh1});
    StalledRecordDisk disk;
    ASSERT_TRUE(reg()->recordStart(kCh0, path("a.asc")));
    ASSERT_TRUE(reg()->recordStart(kCh1, path("b.blf")));
    w->soltDevRec(kCh0, batchOf(0, 500));
    w->soltDevRec(kCh1, batchOf(0, 700));
    ASSERT_TRUE(disk.waitHeld(2));
    QElapsedTimer t;
    t.start();
    EXPECT_TRUE(w->devClose(kCh0));
    EXPECT_LT(t.elapsed(), 1000);
    t.start();
    w.reset();
    EXPECT_LT(t.elapsed(), 1000);
    EXPECT_FALSE(QUserRecordWriter::waitAllEnded(std::chrono::milliseconds(200)));
    disk.release();
    ASSERT_TRUE(QUserRecordWriter::waitAllEnded(std::chrono::seconds(60)));
    EXPECT_EQ(readBack(path("a.asc")).size(), 500);
    EXPECT_EQ(readBack(path("b.blf")).size(), 700);
}

// Only the current channel's action follows a failure; another channel's
// failure still shows its box.
TEST_F(RecordSaveTest, FailureOfAnotherChannelLeavesTheActionAlone)
{
    openChannels({kCh0, kCh1});
    selectTab(kCh0);
    prompts.answerFile(path("mine.asc"));
    ui()->actRecord->trigger();
    ASSERT_TRUE(ui()->actRecord->isChecked());
    prompts.answerExec(1);
    emit reg()->recordFailed(kCh1, "Record Write Fail, Record Stop...");
    mwtest::flush();
    EXPECT_TRUE(ui()->actRecord->isChecked());
    EXPECT_EQ(prompts.unanswered(), 0);
    EXPECT_EQ(prompts.last().title, "错误");
    EXPECT_TRUE(prompts.last().text.contains(getDevIdTextEx(w->languageCodeGet(), kCh1) + ":实时保存写入失败,已停止!"))
        << prompts.last().text.toStdString();
}

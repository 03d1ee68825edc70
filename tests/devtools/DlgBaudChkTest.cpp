// The baud-rate detection dialog offscreen, its prompts answered through the
// seam: the form and its enabling, the frequency checks, the result table,
// and detections against a simulated classic bus set to 500 kbit/s (found
// row, the others, the end box; fast mode; stopping; closing in the middle).

#include "devtools/QUserDlgBaudChk.h"

#include "tests/devtools/DevtoolsSim.h"
#include "tests/devtools/DialogTestUtil.h"
#include "widgets/QUserDlgProgress.h"
#include "tests/support/TempWorkDir.h"
#include "devices/QKemDev.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

#include <atomic>

namespace {

struct Row {
    QString rate, result, t0, t1;
    QColor colour;
};

QVector<Row> rows(const QUserDlgBaudChk &d)
{
    QVector<Row> out;
    auto *t = kid<QTableWidget>(&d, "tableWidget");
    for (int r = 0; t && r < t->rowCount(); ++r) {
        auto text = [&](int c) { return t->item(r, c) ? t->item(r, c)->text() : QString(); };
        out.append({text(0), text(1), text(2), text(3),
                    t->item(r, 1) ? t->item(r, 1)->foreground().color() : QColor()});
    }
    return out;
}

struct Enabling {
    bool open, close, type, index, start, stop;
    bool operator==(const Enabling &o) const
    {
        return open == o.open && close == o.close && type == o.type && index == o.index && start == o.start &&
               stop == o.stop;
    }
};
std::ostream &operator<<(std::ostream &os, const Enabling &e)
{
    return os << e.open << e.close << e.type << e.index << e.start << e.stop;
}

Enabling enabling(const QUserDlgBaudChk &d)
{
    return {kid<QPushButton>(&d, "pushButton_devOpen")->isEnabled(),
            kid<QPushButton>(&d, "pushButton_devClose")->isEnabled(),
            kid<QComboBox>(&d, "comboBox_devType")->isEnabled(),
            kid<QComboBox>(&d, "comboBox_devIndex")->isEnabled(),
            kid<QPushButton>(&d, "pushButton_start")->isEnabled(),
            kid<QPushButton>(&d, "pushButton_stop")->isEnabled()};
}

const Enabling kClosed{true, false, true, true, false, false};
const Enabling kIdle{false, true, false, false, true, false};
const Enabling kDetecting{false, false, false, false, false, true};

QUserBaudChkMsg msg(int code, int rate = 0, int t0 = 0, int t1 = 0, int failed = 0)
{
    QUserBaudChkMsg m;
    m.code = code;
    m.rate = rate;
    m.timing0 = t0;
    m.timing1 = t1;
    m.failed = uint8_t(failed);
    return m;
}

} // namespace

TEST(DlgBaudChk, FormSelectorsAndEnablingOfANewDialog)
{
    QUserPromptScript prompts;
    QUserDlgBaudChk d;
    EXPECT_EQ(d.objectName(), "QUserDlgBaudChk");
    EXPECT_EQ(d.size(), QSize(594, 360));
    EXPECT_EQ(d.frame()->windowTitle(), QString::fromUtf8("波特率侦测"));
    auto *type = kid<QComboBox>(&d, "comboBox_devType");
    EXPECT_EQ(items(type), (QStringList{"USBCAN1", "USBCAN2"}));
    EXPECT_EQ(type->currentIndex(), 0);
    auto *index = kid<QComboBox>(&d, "comboBox_devIndex");
    EXPECT_EQ(index->count(), 32);
    EXPECT_EQ(index->itemText(31), "31");
    auto *ch = kid<QComboBox>(&d, "comboBox_chIndex");
    EXPECT_EQ(items(ch), QStringList{"0"});
    type->setCurrentIndex(1);
    EXPECT_EQ(items(ch), (QStringList{"0", "1"}));
    EXPECT_EQ(ch->currentIndex(), 0);
    type->setCurrentIndex(0);
    EXPECT_EQ(items(ch), QStringList{"0"});
    EXPECT_EQ(kid<QLineEdit>(&d, "lineEdit_startFreq")->text(), "5000");
    EXPECT_EQ(kid<QLineEdit>(&d, "lineEdit_stopFreq")->text(), "1000000");
    EXPECT_FALSE(kid<QCheckBox>(&d, "checkBox_chkFast")->isChecked());
    auto *t = kid<QTableWidget>(&d, "tableWidget");
    ASSERT_EQ(t->columnCount(), 4);
    QStringList headers;
    for (int c = 0; c < 4; ++c)
        headers << t->horizontalHeaderItem(c)->text();
    EXPECT_EQ(headers, (QStringList{QString::fromUtf8("波特率(Hz)"), QString::fromUtf8("检测结果"), "TIME0", "TIME1"}));
    EXPECT_EQ(t->columnWidth(0), 120);
    EXPECT_EQ(t->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_FALSE(t->verticalHeader()->isVisible());
    EXPECT_EQ(enabling(d), kClosed);

    d.slotsBaudStart();
    EXPECT_TRUE(hasBox(prompts, QString::fromUtf8("错误"), QString::fromUtf8("请先打开设备..")));
    EXPECT_EQ(d.driver(), nullptr);
}

// The table as the driver's codes fill it: one row per pair of timing
// bytes, the result coloured, the row under test made current.
TEST(DlgBaudChk, ResultRowsByTimingPairWithTheirColours)
{
    QUserPromptScript prompts;
    QUserDlgBaudChk d;
    auto *t = kid<QTableWidget>(&d, "tableWidget");
    d.slotsBaudChkResult(QString(), msg(201, 500000, 0x00, 0x1C));
    QVector<Row> r = rows(d);
    ASSERT_EQ(r.size(), 1);
    EXPECT_EQ(r[0].rate, "500000");
    EXPECT_EQ(r[0].result, QString::fromUtf8("开始侦测..."));
    EXPECT_EQ(r[0].t0, "00");
    EXPECT_EQ(r[0].t1, "1C");
    EXPECT_EQ(r[0].colour, QColor(0, 0, 0));
    d.slotsBaudChkResult(QString(), msg(202, 500000, 0x00, 0x1C, 0));
    r = rows(d);
    ASSERT_EQ(r.size(), 1) << "the result overwrites the row of its candidate";
    EXPECT_EQ(r[0].result, QString::fromUtf8("侦测成功..."));
    EXPECT_EQ(r[0].colour, QColor(0, 255, 0));
    d.slotsBaudChkResult(QString(), msg(201, 250000, 0x01, 0xAB));
    d.slotsBaudChkResult(QString(), msg(202, 250000, 0x01, 0xAB, 1));
    r = rows(d);
    ASSERT_EQ(r.size(), 2);
    EXPECT_EQ(r[1].t0, "01");
    EXPECT_EQ(r[1].t1, "AB");
    EXPECT_EQ(r[1].result, QString::fromUtf8("侦测失败..."));
    EXPECT_EQ(r[1].colour, QColor(255, 0, 0));
    EXPECT_EQ(t->currentRow(), 1);
    EXPECT_EQ(t->currentColumn(), 2);
    // Another rate with the same pair shares the first row.
    d.slotsBaudChkResult(QString(), msg(202, 499999, 0x00, 0x1C, 1));
    r = rows(d);
    ASSERT_EQ(r.size(), 2);
    EXPECT_EQ(r[0].rate, "499999");
    EXPECT_EQ(r[0].colour, QColor(255, 0, 0));
    EXPECT_EQ(t->currentRow(), 0);
    // Progress without a preparation dialog, and unknown codes, do nothing.
    d.slotsBaudChkResult(QString(), msg(205));
    d.slotsBaudChkResult(QString(), msg(204));
    d.slotsBaudChkResult(QString(), msg(206));
    d.slotsBaudChkResult(QString(), msg(777));
    EXPECT_EQ(rows(d).size(), 2);
    EXPECT_TRUE(prompts.records().isEmpty());
    // The end of a detection always says so.
    d.slotsBaudChkResult(QString(), msg(200));
    EXPECT_TRUE(d.isDetecting());
    d.slotsBaudChkResult(QString(), msg(203));
    EXPECT_FALSE(d.isDetecting());
    EXPECT_TRUE(hasBox(prompts, QString::fromUtf8("提示"), QString::fromUtf8("扫描结束..")));
    EXPECT_EQ(prompts.beeps(), 1) << "a warning box beeps";
}

namespace {

// A classic adapter on a 500 kbit/s bus on which a node talks every 2 ms.
const char *kBus500k = "adapter USBCAN2 name=C\n"
                       "bus cb nominal=500000\n"
                       "attach C 0 cb\n"
                       "periodic cb id=0x123 period=2 data=0102030405060708\n";

class DlgBaudChkSim : public WorkDirTest
{
protected:
    void SetUp() override
    {
        if (!ctl.ok())
            GTEST_SKIP() << "test build of kemusb missing";
        ASSERT_EQ(ctl.configure(kBus500k), 1);
    }

    // Opens USBCAN2 index 0 in the dialog.
    void open(QUserDlgBaudChk &d)
    {
        chooseText(kid<QComboBox>(&d, "comboBox_devType"), "USBCAN2");
        d.slotsDeviceOpen();
        ASSERT_TRUE(d.isOpen());
        ASSERT_EQ(enabling(d), kIdle);
    }

    // The next modal run is the preparation dialog: let the codes arrive
    // until it closes itself (the candidate file is ready).
    static void answerPreparation(QUserPromptScript &prompts, bool *shown)
    {
        prompts.answerExec([shown](QDialog *dlg) {
            *shown = true;
            devsim::pumpUntil([dlg] { return dlg->result() == 1; }, testsupport::kGiveUpMs);
            return dlg->result();
        });
    }

    void setRange(QUserDlgBaudChk &d, const QString &a, const QString &b, bool fast = false)
    {
        kid<QLineEdit>(&d, "lineEdit_startFreq")->setText(a);
        kid<QLineEdit>(&d, "lineEdit_stopFreq")->setText(b);
        kid<QCheckBox>(&d, "checkBox_chkFast")->setChecked(fast);
    }

    // Waits for the end (code 203) of a detection.
    static bool waitEnd(QUserDlgBaudChk &d, QUserPromptScript &prompts, int ms)
    {
        return devsim::pumpUntil(
            [&] {
                return !d.driver()->isRunning() && !d.isDetecting() &&
                       hasBox(prompts, QString::fromUtf8("提示"), QString::fromUtf8("扫描结束.."));
            },
            ms);
    }

    devsim::Controls ctl;
};

} // namespace

TEST_F(DlgBaudChkSim, FindsTheBusRateInARange)
{
    QUserPromptScript prompts;
    QUserDlgBaudChk d;
    open(d);
    bool prepShown = false;
    answerPreparation(prompts, &prepShown);
    setRange(d, "600000", "400000"); // start above the end is taken as the range between
    d.slotsBaudStart();
    EXPECT_TRUE(prepShown) << "the first start shows the preparation";
    ASSERT_NE(d.prepDialog(), nullptr);
    EXPECT_TRUE(d.isStarted());
    ASSERT_TRUE(waitEnd(d, prompts, 60000));
    const QVector<Row> r = rows(d);
    ASSERT_GE(r.size(), 3);
    QStringList found;
    int red = 0;
    for (const Row &x : r) {
        const int rate = x.rate.toInt();
        EXPECT_GE(rate, 400000);
        EXPECT_LE(rate, 600000);
        if (x.result == QString::fromUtf8("侦测成功...")) {
            found << x.rate;
            EXPECT_EQ(x.colour, QColor(0, 255, 0));
        } else {
            EXPECT_EQ(x.result, QString::fromUtf8("侦测失败..."));
            EXPECT_EQ(x.colour, QColor(255, 0, 0));
            ++red;
        }
    }
    // Only the bus rate matches, with each of its timings, even though
    // frames heard at 500 kbit/s can still arrive after the switch to the
    // candidate after it.
    ASSERT_FALSE(found.isEmpty());
    for (const QString &f : found)
        EXPECT_EQ(f, "500000");
    EXPECT_GE(red, 2) << "the rates below 500000 were tried and missed";
    EXPECT_EQ(r.last().result, QString::fromUtf8("侦测失败...")) << "the first miss after the match ends the scan";
    EXPECT_GT(r.last().rate.toInt(), 500000);
    EXPECT_EQ(r.at(r.size() - 2).rate, "500000") << "the miss right after the bus rate ends the scan";
    EXPECT_EQ(enabling(d), kIdle);
    EXPECT_TRUE(QFile::exists("setting/baudlist.txt"));

    // A later start in the same dialog shows no preparation.
    const int runs = prompts.records().size();
    d.slotsBaudStart();
    EXPECT_TRUE(rows(d).isEmpty()) << "a start clears the table";
    ASSERT_TRUE(devsim::pumpUntil([&] { return prompts.records().size() > runs; }, 60000));
    EXPECT_EQ(prompts.records().at(runs).title, QString::fromUtf8("提示"));
}

TEST_F(DlgBaudChkSim, FastModeTriesOnlyTheStandardRates)
{
    QUserPromptScript prompts;
    QUserDlgBaudChk d;
    open(d);
    bool prepShown = false;
    answerPreparation(prompts, &prepShown);
    setRange(d, "5000", "1000000", true);
    d.slotsBaudStart();
    ASSERT_TRUE(waitEnd(d, prompts, 60000));
    const QList<int> standard{5000, 10000, 20000, 25000, 50000, 100000, 125000, 250000, 500000, 800000, 1000000};
    const QVector<Row> r = rows(d);
    ASSERT_FALSE(r.isEmpty());
    bool found = false;
    for (const Row &x : r) {
        EXPECT_TRUE(standard.contains(x.rate.toInt())) << x.rate.toStdString();
        if (x.result == QString::fromUtf8("侦测成功...")) {
            EXPECT_EQ(x.rate, "500000") << "only the bus rate matches";
            found = true;
        }
    }
    EXPECT_TRUE(found);
    EXPECT_EQ(r.last().rate, "800000") << "the scan ends at the first miss after the match";
    EXPECT_EQ(r.last().result, QString::fromUtf8("侦测失败..."));
}

TEST_F(DlgBaudChkSim, FrequencyFieldsAreChecked)
{
    QUserPromptScript prompts;
    QUserDlgBaudChk d;
    open(d);
    struct Case {
        const char *start, *end, *error;
    };
    const Case cases[] = {
        {"", "1000000", "开始频率不能为空.."},
        {" \t", "1000000", "开始频率不能为空.."},
        {"4999", "1000000", "开始频率必须属于5000-1000000Hz!"},
        {"1000001", "1000000", "开始频率必须属于5000-1000000Hz!"},
        {"abc", "1000000", "开始频率必须属于5000-1000000Hz!"},
        {"5000", "", "结束频率不能为空.."},
        {"5000", "1000001", "结束频率必须属于5000-1000000Hz!"},
        {"5000", "4999", "结束频率必须属于5000-1000000Hz!"},
    };
    d.slotsBaudChkResult(QString(), msg(201, 1, 2, 3)); // a row that a refused start leaves alone
    for (const Case &k : cases) {
        setRange(d, QString::fromUtf8(k.start), QString::fromUtf8(k.end));
        const int before = prompts.records().size();
        d.slotsBaudStart();
        ASSERT_EQ(prompts.records().size(), before + 1) << k.start << "/" << k.end;
        EXPECT_EQ(prompts.records().last().title, QString::fromUtf8("错误"));
        EXPECT_TRUE(prompts.records().last().text.contains(QString::fromUtf8(k.error))) << k.start << "/" << k.end;
        EXPECT_FALSE(d.isStarted());
        EXPECT_EQ(rows(d).size(), 1);
    }
    // The edges and blanks between digits are accepted ("5 000" reads 5000).
    bool prepShown = false;
    answerPreparation(prompts, &prepShown);
    setRange(d, "1 000 000", "5 000");
    d.slotsBaudStart();
    EXPECT_TRUE(d.isStarted());
    for (const Row &r : rows(d))
        EXPECT_NE(r.rate, "1") << "the start cleared the table";
    EXPECT_TRUE(d.driver()->isRunning());
    d.slotsBaudStop();
    EXPECT_FALSE(d.isStarted());
    d.slotsDeviceClose();
    EXPECT_FALSE(d.driver()->isRunning());
}

TEST_F(DlgBaudChkSim, StoppingInTheMiddleEndsWithAMissAndTheEndBox)
{
    QUserPromptScript prompts;
    QUserDlgBaudChk d;
    open(d);
    bool prepShown = false;
    answerPreparation(prompts, &prepShown);
    setRange(d, "5000", "100000"); // hundreds of candidates, none at the bus rate
    d.slotsBaudStart();
    ASSERT_TRUE(devsim::pumpUntil([&] { return rows(d).size() >= 5; }, 60000));
    EXPECT_EQ(enabling(d), kDetecting);
    d.slotsBaudStop();
    EXPECT_EQ(enabling(d), kDetecting) << "the enabling changes with the driver's end, not the stop";
    ASSERT_TRUE(waitEnd(d, prompts, testsupport::kGiveUpMs));
    const QVector<Row> r = rows(d);
    EXPECT_LT(r.size(), 200);
    EXPECT_EQ(r.last().result, QString::fromUtf8("侦测失败..."));
    EXPECT_EQ(enabling(d), kIdle);
}

// Closing the adapter while a detection runs waits for the detection's
// thread first: once the close returns, nothing runs against the adapter
// (the thread would otherwise open it again for its next candidate).
TEST_F(DlgBaudChkSim, ClosingDuringADetectionWaitsForItsThread)
{
    QUserPromptScript prompts;
    QUserDlgBaudChk d;
    open(d);
    bool prepShown = false;
    answerPreparation(prompts, &prepShown);
    setRange(d, "5000", "100000");
    d.slotsBaudStart();
    ASSERT_TRUE(devsim::pumpUntil([&] { return rows(d).size() >= 3; }, 60000));
    // Every command of a candidate now takes 40 ms to be answered, so the
    // detection is inside a candidate's set-up when the close comes.
    std::atomic<int> openAtEnd{-1};
    QKemDev *drv = d.driver();
    QObject::connect(
        drv, &QKemDev::baudChkResult, drv,
        [&openAtEnd, drv](QString, QUserBaudChkMsg m) {
            if (m.code == QUserBaudChkMsg::End)
                openAtEnd = drv->isOpened() ? 1 : 0;
        },
        Qt::DirectConnection);
    ASSERT_EQ(ctl.inDelay("C", 0x81, 40), 1);
    QThread::msleep(60);
    d.slotsDeviceClose();
    EXPECT_FALSE(d.driver()->isRunning()) << "the adapter was closed under a running detection";
    EXPECT_EQ(openAtEnd.load(), 1) << "the detection ended after the adapter was closed";
    EXPECT_FALSE(d.isOpen());
    ASSERT_EQ(ctl.inDelay("C", 0x81, 0), 1);
    EXPECT_TRUE(devsim::pumpUntil([&] { return !d.driver()->isOpened() && ctl.isOpen("C") == 0; },
                                  testsupport::kGiveUpMs));
    EXPECT_FALSE(d.driver()->isOpened());
    EXPECT_EQ(ctl.isOpen("C"), 0);
    EXPECT_EQ(enabling(d), kClosed);
}

// Closing the preparation dialog before the candidate file is ready stops
// the detection and forgets the dialog: the next start shows one again.
TEST_F(DlgBaudChkSim, ClosingThePreparationStopsAndIsShownAgain)
{
    QUserPromptScript prompts;
    QUserDlgBaudChk d;
    open(d);
    prompts.answerExec(0); // the user closes the preparation at once
    d.slotsBaudStart();
    EXPECT_EQ(d.prepDialog(), nullptr);
    EXPECT_FALSE(d.isStarted());
    EXPECT_FALSE(d.driver()->isRunning());
    EXPECT_FALSE(hasBox(prompts, QString::fromUtf8("提示"), QString::fromUtf8("扫描结束.."))) << "no end without a begin";
    EXPECT_EQ(enabling(d), kIdle);
    bool prepShown = false;
    answerPreparation(prompts, &prepShown);
    setRange(d, "500000", "500000");
    d.slotsBaudStart();
    EXPECT_TRUE(prepShown);
    ASSERT_TRUE(waitEnd(d, prompts, 60000));
    ASSERT_FALSE(rows(d).isEmpty());
    EXPECT_EQ(rows(d).first().result, QString::fromUtf8("侦测成功..."));
}

TEST_F(DlgBaudChkSim, ExitDuringADetectionClosesTheAdapter)
{
    QUserPromptScript prompts;
    auto *d = new QUserDlgBaudChk;
    open(*d);
    bool prepShown = false;
    answerPreparation(prompts, &prepShown);
    setRange(*d, "5000", "100000");
    d->slotsBaudStart();
    ASSERT_TRUE(devsim::pumpUntil([&] { return rows(*d).size() >= 2; }, 60000));
    kid<QPushButton>(d, "pushButton_cancel")->click();
    EXPECT_FALSE(d->isOpen());
    EXPECT_FALSE(d->driver()->isRunning());
    EXPECT_EQ(ctl.isOpen("C"), 0);
    delete d;
    // A dialog destroyed while detecting (closed by the frame's button) stops it too.
    auto *e = new QUserDlgBaudChk;
    open(*e);
    answerPreparation(prompts, &prepShown);
    setRange(*e, "5000", "100000");
    e->slotsBaudStart();
    ASSERT_TRUE(devsim::pumpUntil([&] { return e->isDetecting(); }, 60000));
    delete e;
    EXPECT_EQ(ctl.isOpen("C"), 0);
}

TEST_F(DlgBaudChkSim, OpeningAnAbsentAdapterFails)
{
    QUserPromptScript prompts;
    QUserDlgBaudChk d;
    chooseText(kid<QComboBox>(&d, "comboBox_devType"), "USBCAN2");
    kid<QComboBox>(&d, "comboBox_devIndex")->setCurrentIndex(3);
    d.slotsDeviceOpen();
    EXPECT_FALSE(d.isOpen());
    EXPECT_NE(d.driver(), nullptr) << "the driver object stays";
    EXPECT_TRUE(hasBox(prompts, QString::fromUtf8("错误"), QString::fromUtf8("设备打开失败..")));
    EXPECT_EQ(enabling(d), kClosed);
    kid<QComboBox>(&d, "comboBox_devIndex")->setCurrentIndex(0);
    d.slotsDeviceOpen();
    EXPECT_TRUE(d.isOpen());
    d.slotsDeviceClose();
    EXPECT_EQ(ctl.isOpen("C"), 0);
}


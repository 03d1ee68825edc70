// Faults of the send window's first design, each with the case that shows
// it: the send button of a row sends that row; J1939 addresses are one byte
// in the settings and in the encoder; the raw range colouring follows the
// signal's bits; the current message is a row, not an address into a list
// that grows; a cancelled load keeps the window busy until its job has
// stopped; and opening a project changes the send list only when a project
// was read.

#include <gtest/gtest.h>

#include <QDir>
#include <QLineEdit>
#include <QPointer>
#include <QProgressDialog>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "tests/dbc/SendSupport.h"
#include "tests/support/TempWorkDir.h"
#include "tests/support/WaitUntil.h"
#include "core/QUserSysCfg.h"
#include "dbc/DbcKemsigLoad.h"
#include "widgets/QUserDlgSetting.h"
#include "widgets/QUserProgressDlg.h"

using namespace sendtest;
using Win = QUserMainWindowDBCSend;

namespace {

class SendMend : public WorkDirTest
{
protected:
    void SetUp() override
    {
        QUserSysCfg *cfg = QUserSysCfg::instance();
        cfg->setInt("dbcProcotolType", 0);
        cfg->setString("dbcMsgSrcAddr", "FF");
        cfg->setString("dbcMsgDstAddr", "FF");
        cfg->setInt("dbcFdSendProcotol", 2);
    }
    void TearDown() override { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    QString smallDbc()
    {
        const QString path = QDir::current().absoluteFilePath("small.dbc");
        EXPECT_TRUE(writeText(path, kSmallDbc));
        return path;
    }
};

} // namespace

// Four rows, row 0 current: the button of row 3 sends row 3's message (the
// first design sent the current row's). After a move the buttons still
// send their own rows.
TEST_F(SendMend, SendButtonSendsItsOwnRow)
{
    if (!kemusbBuilt())
        GTEST_SKIP() << "libkemusb.so not built";
    SimRig rig;
    ASSERT_TRUE(rig.open(false));
    Win w;
    w.setDevAdapter(SimRig::tx(), &rig.reg);
    ASSERT_EQ(loadDbc(w, smallDbc()), 0);
    for (const char *n : {"EngineData", "ENG_1", "Body", "PropB"})
        ASSERT_EQ(w.sendListMsgAdd(n), 0);
    selectRow(w, 0);
    ASSERT_EQ(w.sendListTable()->currentRow(), 0);

    sendButton(w, 3)->click();
    ASSERT_TRUE(waitUntil([&] { return rig.received(SimRig::rx()).size() == 1; }));
    QUserCanMsg got = rig.received(SimRig::rx()).at(0);
    EXPECT_EQ(uint32_t(got.getId()), 0x18F01234u);
    EXPECT_EQ(got.extended, 1);
    EXPECT_TRUE(w.sendMessages().at(0).strData.isEmpty()) << "the current row was not touched";

    // PropB up to row 2: the button now at row 2 sends it, the one at row 3
    // sends Body.
    w.setSendListPopIndex(w.sendListTable()->model()->index(3, 1));
    w.soltMsgListPopMenueActUp();
    sendButton(w, 2)->click();
    sendButton(w, 3)->click();
    ASSERT_TRUE(waitUntil([&] { return rig.received(SimRig::rx()).size() == 3; }));
    EXPECT_EQ(uint32_t(rig.received(SimRig::rx()).at(1).getId()), 0x18F01234u);
    EXPECT_EQ(uint32_t(rig.received(SimRig::rx()).at(2).getId()), 0x4B0u);
    EXPECT_EQ(rig.received(SimRig::rx()).at(2).extended, 0);

    // A send without a button (from elsewhere) takes the current row; with
    // none it says so.
    w.sendListTable()->setCurrentCell(-1, -1);
    QUserPromptScript prompts;
    prompts.answerExec(1);
    w.soltMsgListItemBtnSendClick();
    EXPECT_EQ(prompts.records().last().title, "错误");
    EXPECT_TRUE(prompts.records().last().text.contains("发送错误,DBC消息获取失败"));
}

// The destination address reaches the identifier as one byte: the encoder
// masks whatever the store holds (1FF gave 18FFFFFF, a different group),
// and the settings dialog takes 00-FF only.
TEST_F(SendMend, J1939DestinationAddressIsOneByte)
{
    struct Case {
        quint32 nID;
        const char *src, *dst;
        const char *id;
    };
    const Case cases[] = {
        {0x98EF1234, "FF", "00", "18EF00FF"}, // PDU1: the destination replaces bits 8-15
        {0x98F01234, "FF", "00", "18F012FF"}, // PDU2: the group extension stays
        {0x98EF1234, "FF", "1FF", "18EFFFFF"},
        {0x98EF1234, "1FE", "FFFF", "18EFFFFE"},
        {0x98F01234, "FF", "1FF", "18F012FF"},
        {0x98EF1234, "FF", "no", "18EF00FF"},
        {0x80000123, "FF", "1FF", "123"}, // plain CAN ignores the addresses
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.id);
        const int protocol = c.nID == 0x80000123 ? 0 : 1;
        EXPECT_EQ(Win::dbcMsgIdText(c.nID, protocol, c.src, c.dst), c.id);
    }

    // A store edited by hand: the window sends with the masked address.
    QUserSysCfg::instance()->setInt("dbcProcotolType", 1);
    QUserSysCfg::instance()->setString("dbcMsgDstAddr", "1FF");
    Win w;
    QUserDbcMsg m;
    m.nID = 0x98EF1234;
    m.nSize = 8;
    m.nExtend = 1;
    ASSERT_TRUE(w.dbcMsgEncode(m));
    EXPECT_EQ(m.strFrameId, "18EFFFFF");
    EXPECT_TRUE(m.isIdValid());

    // The dialog: typing stops at two digits; a longer text set otherwise is
    // refused with a box and changes nothing.
    QString typed;
    QUserPromptScript prompts;
    prompts.answerExec([&typed](QDialog *d) {
        auto *dlg = d->findChild<QUserDlgSetting *>();
        QLineEdit *dst = dlg->itemsGet()->at(2).lineEdit;
        dst->clear();
        QTest::keyClicks(dst, "1FF");
        typed = dst->text();
        dst->setText("1FF");
        dlg->okButton()->click();
        return d->result();
    });
    prompts.answerExec(1);
    w.slotDbcSetting();
    EXPECT_EQ(typed, "1F");
    ASSERT_EQ(prompts.records().size(), 2);
    EXPECT_EQ(prompts.records().at(1).title, "错误");
    EXPECT_TRUE(prompts.records().at(1).text.contains("J1939地址无效,有效范围:00-FF!"));
    EXPECT_EQ(w.dstAddr(), "1FF") << "unchanged";
    EXPECT_EQ(QUserSysCfg::instance()->getString("dbcMsgDstAddr"), "1FF");

    struct Text {
        const char *text;
        bool valid;
    };
    const Text texts[] = {{"0", true}, {"00", true}, {"ff", true}, {" A5 ", true}, {"", false},
                          {"100", false}, {"1FF", false}, {"G1", false}, {"-1", false}};
    for (const Text &t : texts)
        EXPECT_EQ(Win::j1939AddrValid(t.text), t.valid) << t.text;
}

// Raw values typed as hexadecimal, each judged by the signal's bits: an
// unsigned field holds 0 .. 2^n - 1 (2^n itself is out, the first design
// let it pass), lengths from 31 bits up are judged in 64-bit arithmetic
// (the first design's 32-bit power overflowed), a signed field holds its
// two's complement range and takes its own bit pattern as the negative
// number, and a 64-bit field holds anything. The physical limits are wide,
// so the colour is the raw rule's alone.
TEST_F(SendMend, RawRangeColouringFollowsTheSignalsBits)
{
    QByteArray dbc = "VERSION \"\"\n\nBU_: A\n\nBO_ 1000 Ranges: 64 A\n";
    struct Sig {
        const char *name;
        int start, len;
        bool isSigned;
    };
    const Sig sigs[] = {{"U1", 0, 1, false},     {"U8", 8, 8, false},     {"S8", 16, 8, true},
                        {"U31", 24, 31, false},  {"U32", 64, 32, false},  {"S32", 96, 32, true},
                        {"U33", 128, 33, false}, {"S63", 192, 63, true},  {"U64", 256, 64, false},
                        {"S64", 320, 64, true}};
    for (const Sig &s : sigs) {
        dbc += QString(" SG_ %1 : %2|%3@1%4 (1,0) [-1E+30|1E+30] \"\" A\n")
                   .arg(s.name)
                   .arg(s.start)
                   .arg(s.len)
                   .arg(s.isSigned ? "-" : "+")
                   .toLatin1();
    }
    const QString path = QDir::current().absoluteFilePath("ranges.dbc");
    ASSERT_TRUE(writeText(path, dbc));
    Win w;
    ASSERT_EQ(loadDbc(w, path), 0);
    ASSERT_EQ(w.sendListMsgAdd("Ranges"), 0);
    selectRow(w, 0);
    ASSERT_EQ(w.sigListTable()->rowCount(), 10);

    struct Case {
        const char *sig, *typed;
        qint64 raw;
        bool inRange;
    };
    const Case cases[] = {
        {"U1", "1", 1, true},
        {"U1", "2", 2, false},
        {"U8", "FF", 255, true},
        {"U8", "100", 256, false},
        {"U8", "1FF", 511, false},
        {"S8", "7F", 127, true},
        {"S8", "80", -128, true},
        {"S8", "FF", -1, true},
        {"S8", "100", 256, false},
        {"U31", "7FFFFFFF", 0x7FFFFFFF, true},
        {"U31", "80000000", 0x80000000LL, false},
        {"U32", "FFFFFFFF", 0xFFFFFFFFLL, true},
        {"U32", "100000000", 0x100000000LL, false},
        {"S32", "80000000", -0x80000000LL, true},
        {"S32", "FFFFFFFF", -1, true},
        {"S32", "100000000", 0x100000000LL, false},
        {"U33", "1FFFFFFFF", 0x1FFFFFFFFLL, true},
        {"U33", "200000000", 0x200000000LL, false},
        {"S63", "4000000000000000", -0x4000000000000000LL, true},
        {"S63", "8000000000000000", std::numeric_limits<qint64>::min(), false},
        {"U64", "FFFFFFFFFFFFFFFF", -1, true},
        {"S64", "8000000000000000", std::numeric_limits<qint64>::min(), true},
    };
    const QColor red(255, 0, 0), black(0, 0, 0);
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.sig) + " " + c.typed);
        const int r = sigRow(w, c.sig);
        ASSERT_GE(r, 0);
        editCell(w, r, Win::SigColRaw, c.typed);
        EXPECT_EQ(w.sendMessages().at(0).vSignals.at(r).nRawValue, c.raw);
        EXPECT_EQ(cellColor(w, r, Win::SigColRaw), c.inRange ? black : red);
        // The text shown is what can be typed back.
        if (c.inRange) {
            EXPECT_EQ(cellText(w, r, Win::SigColRaw), QString(c.typed));
        }
        // Shown again from the record.
        selectRow(w, -1);
        selectRow(w, 0);
        EXPECT_EQ(cellColor(w, r, Win::SigColRaw), c.inRange ? black : red);
        EXPECT_EQ(cellColor(w, r, Win::SigColPhysical), black);
    }
}

// The signal list edits the message of the current row even after the send
// list has grown and moved its elements (the first design kept the address
// of the element, which the growth freed).
TEST_F(SendMend, CurrentMessageIsARowAndSurvivesTheListGrowing)
{
    Win w;
    ASSERT_EQ(loadDbc(w, smallDbc()), 0);
    ASSERT_EQ(w.sendListMsgAdd("EngineData"), 0);
    selectRow(w, 0);
    ASSERT_EQ(w.currentMsgRow(), 0);
    const QUserDbcMsg *before = w.sendMessages().constData();
    for (const char *n : {"ENG_1", "Body", "EEC1", "PropB"})
        ASSERT_EQ(w.sendListMsgAdd(n), 0);
    ASSERT_NE(w.sendMessages().constData(), before) << "the list has moved: an address into it would dangle";
    EXPECT_EQ(w.currentMsgRow(), 0);
    EXPECT_EQ(cellText(w, 0, Win::SigColName), "Speed");

    editCell(w, 0, Win::SigColRaw, "64");
    editCell(w, 1, Win::SigColPhysical, "-20");
    EXPECT_EQ(w.sendMessages().at(0).vSignals.at(0).nRawValue, 100);
    EXPECT_EQ(w.sendMessages().at(0).vSignals.at(1).nRawValue, 20);
    QUserDbcMsg m = w.sendMessages().at(0);
    ASSERT_TRUE(w.dbcMsgEncode(m));
    EXPECT_EQ(m.strData, "6400140000000000");
    for (int i = 1; i < 5; ++i) {
        for (const QUserDbcSignal &s : w.sendMessages().at(i).vSignals)
            EXPECT_EQ(s.nRawValue, 0) << i;
    }
}

// The user closes the progress dialog while the job still reads the file
// (held up in its worker until the test lets it go on): the window stays
// busy, refuses to close and reads nothing until the job has stopped; the
// load counts as cancelled, the previous messages stay, and the next load
// runs normally. (The first design returned at once and read the record
// under the running job.)
TEST_F(SendMend, CancelledLoadKeepsTheWindowBusyUntilTheJobStops)
{
    QPointer<Win> w = new Win;
    ASSERT_EQ(loadDbc(*w, smallDbc()), 0);
    // kemsig reads regular files only, so a pipe cannot stand in for a slow
    // disk: the load hook holds the job instead.
    const QString fifo = QDir::current().absoluteFilePath("slow.dbc");
    ASSERT_TRUE(writeText(fifo, "VERSION \"\"\n\nBU_: A\n\nBO_ 7 Other: 8 A\n"));
    static std::atomic<bool> held, goOn, fed;
    held = false;
    goOn = false;
    fed = false;
    DbcKemsigLoad::setLoadHookForTest([](const QString &path) {
        if (!path.endsWith(QLatin1String("slow.dbc")))
            return;
        held = true;
        testsupport::waitUntilReal([] { return goOn.load(); });
        fed = true;
    });

    bool busy = false, closed = true, looked = false;
    QString label;
    QUserPromptScript prompts;
    // The dialog is closed once the job is inside the file: cancelled. What
    // the window shows and does is looked at in the wait that follows, while
    // the job is still held; then the job may go on.
    prompts.answerExec([&](QDialog *) {
        EXPECT_TRUE(testsupport::waitUntilReal([] { return held.load(); })) << "the job never reached the file";
        QTimer::singleShot(0, w.data(), [&] {
            busy = w->loadBusy();
            label = w->loadJob().progressDlg->labelText();
            closed = w->close();
            looked = true;
            goOn = true;
        });
        return 0;
    });
    const int r = w->dbcFileLoad(fifo);
    const bool fedAtReturn = fed;
    const int jobsAtReturn = QUserDbcSendWork::activeJobs();
    goOn = true; // a load that returned without waiting leaves the job held
    ASSERT_TRUE(testsupport::waitUntil([] { return QUserDbcSendWork::activeJobs() == 0; }));
    DbcKemsigLoad::setLoadHookForTest(nullptr);
    ASSERT_FALSE(w.isNull());

    EXPECT_TRUE(looked) << "no events turned while the job ran";
    EXPECT_TRUE(fedAtReturn) << "returned while the job still waited for the file";
    EXPECT_EQ(jobsAtReturn, 0);
    EXPECT_FALSE(w->loadJob().running);
    EXPECT_EQ(r, DbcKemsigLoad::Cancelled);
    EXPECT_TRUE(busy);
    EXPECT_FALSE(closed) << "a close while the job runs is refused";
    EXPECT_EQ(label, "取消中...");
    EXPECT_FALSE(w->loadBusy());
    EXPECT_EQ(w->fileMessages().size(), 5);
    EXPECT_EQ(w->windowTitle(), "DBC发送 - small.dbc");
    EXPECT_EQ(prompts.records().size(), 1) << "no error box for a cancel";

    // The next load is a normal one.
    const QString other = QDir::current().absoluteFilePath("other.dbc");
    ASSERT_TRUE(writeText(other, "VERSION \"\"\n\nBU_: A\n\nBO_ 7 Other: 8 A\n"));
    ASSERT_EQ(loadDbc(*w, other), 0);
    ASSERT_EQ(w->fileMessages().size(), 1);
    EXPECT_EQ(w->fileMessages().at(0).strName, "Other");
    delete w.data();
}

// A job's end reaches the window as one delivery: marked stopped, its
// dialog closed and its progress timer stopped together. Were the dialog's
// close a delivery of its own, one still under way when the next load began
// would close that load's dialog and cancel a load nobody cancelled. Here
// the worker is held inside the cancelled job's end, after the window's own
// delivery (connected at the window's construction, before the test's) went
// out, until the next load's dialog is up; that load must still load. The
// next job lingers in the file a while, so that a stray close meets it
// under way.
TEST_F(SendMend, EndOfACancelledLoadDoesNotCancelTheNextOne)
{
    QPointer<Win> w = new Win;
    const QString slow = QDir::current().absoluteFilePath("slow.dbc");
    const QString next = QDir::current().absoluteFilePath("next.dbc");
    ASSERT_TRUE(writeText(slow, "VERSION \"\"\n\nBU_: A\n\nBO_ 7 Slow: 8 A\n"));
    ASSERT_TRUE(writeText(next, "VERSION \"\"\n\nBU_: A\n\nBO_ 9 Next: 8 A\n"));
    static std::atomic<bool> firstHeld, firstGoOn, secondUp, secondClosed;
    firstHeld = false;
    firstGoOn = false;
    secondUp = false;
    secondClosed = false;
    DbcKemsigLoad::setLoadHookForTest([](const QString &path) {
        if (path.endsWith(QLatin1String("slow.dbc"))) {
            firstHeld = true;
            testsupport::waitUntilReal([] { return firstGoOn.load(); });
        } else if (path.endsWith(QLatin1String("next.dbc"))) {
            testsupport::waitUntilReal([] { return secondClosed.load(); }, 2000);
        }
    });
    static std::atomic<int> ends;
    ends = 0;
    QObject::connect(
        w->worker(), QOverload<>::of(&QUserWork::stop), w->worker(),
        [] {
            if (ends.fetch_add(1) == 0)
                testsupport::waitUntilReal([] { return secondUp.load(); });
        },
        Qt::DirectConnection);

    QUserPromptScript prompts;
    // The first load: cancelled once its job is inside the file.
    prompts.answerExec([&](QDialog *) {
        EXPECT_TRUE(testsupport::waitUntilReal([] { return firstHeld.load(); }));
        firstGoOn = true;
        return 0;
    });
    // The next: its dialog is up; it is left to close by itself.
    prompts.answerExec([&](QDialog *d) {
        secondUp = true;
        auto *pd = qobject_cast<QProgressDialog *>(d);
        EXPECT_TRUE(pd && testsupport::waitUntil([pd] { return pd->wasCanceled(); }));
        secondClosed = true;
        return 0;
    });
    w->dbcFileLoad(slow);
    const int r = w->dbcFileLoad(next);
    secondUp = true; // a first load that never ended leaves the worker held
    ASSERT_TRUE(testsupport::waitUntil([] { return QUserDbcSendWork::activeJobs() == 0; }));
    DbcKemsigLoad::setLoadHookForTest(nullptr);
    ASSERT_FALSE(w.isNull());
    EXPECT_EQ(prompts.unanswered(), 0);
    EXPECT_EQ(r, 0) << "the next load was cancelled";
    ASSERT_EQ(w->fileMessages().size(), 1);
    EXPECT_EQ(w->fileMessages().at(0).strName, "Next");
    delete w.data();
}

// Cancelling the project dialog, or picking a file that is no project,
// leaves the send list as it was (the first design emptied it before it
// asked for the file).
TEST_F(SendMend, OpeningNoProjectKeepsTheSendList)
{
    Win w;
    ASSERT_EQ(loadDbc(w, smallDbc()), 0);
    ASSERT_EQ(w.sendListMsgAdd("EngineData"), 0);
    ASSERT_EQ(w.sendListMsgAdd("Body"), 0);
    selectRow(w, 0);
    editCell(w, 0, Win::SigColRaw, "1");
    const QString junk = QDir::current().absoluteFilePath("junk.prj");
    ASSERT_TRUE(writeText(junk, "not json"));

    QUserPromptScript prompts;
    prompts.answerFile("");
    w.form()->actOpen->trigger();
    EXPECT_EQ(prompts.records().at(0).title, "打开工程");
    EXPECT_EQ(prompts.records().at(0).text, "PRJ File(*.prj)");
    EXPECT_EQ(w.sendMessages().size(), 2);

    prompts.answerFile(junk);
    prompts.answerExec(1);
    w.slotDbcPrjLoad();
    EXPECT_EQ(prompts.records().last().title, "打开工程");
    EXPECT_TRUE(prompts.records().last().text.contains("打开失败,文件解析错误!"));
    ASSERT_EQ(w.sendMessages().size(), 2);
    EXPECT_EQ(w.sendListTable()->rowCount(), 2);
    EXPECT_EQ(w.sendMessages().at(0).vSignals.at(0).nRawValue, 1);
    EXPECT_EQ(w.currentMsgRow(), 0);
}

// The two senders against a fake device: settings files, pacing, identifier
// increment, failure modes, and the thread hand-over.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QThread>

#include <atomic>
#include <map>
#include <thread>

#include "tests/devices/FakeDevice.h"
#include "tests/devices/PrintQt.h"
#include "tests/devices/SignalLog.h"
#include "tests/support/TempWorkDir.h"
#include "traffic/QUserAdvanceSend.h"
#include "traffic/QUserBasicSend.h"

namespace {
const QString kId = QStringLiteral("TRNB702-0-1");

QUserSendTask basicTask(const QString &id, uint32_t req, uint32_t per, int64_t period, bool inc = false,
                        bool extended = false)
{
    QUserSendTask t;
    t.msg.idText = id;
    t.msg.extended = extended ? 1 : 0;
    t.msg.lenText = QStringLiteral("2");
    t.msg.dataText = QStringLiteral("11 22");
    t.reqSendCnt = req;
    t.perSendCnt = per;
    t.period = period;
    t.idIncEnable = inc ? 1 : 0;
    return t;
}

QUserCanMsg entry(const QString &id, bool enabled, const QString &comment = QString())
{
    QUserCanMsg m;
    m.idText = id;
    m.rowEnable = enabled ? 1 : 0;
    m.auxText2 = comment;
    m.lenText = QStringLiteral("1");
    m.dataText = QStringLiteral("AA");
    return m;
}

// Drives a sender on a clock only the test moves. Each step puts the clock
// one millisecond short of a due time and lets the sender look at it (a
// sender that went early would send there, and its frames would carry that
// time), then on the due time itself, and waits for the frames due by then.
// The frames' times are then exact, whatever the machine's speed.
struct Steps {
    testsupport::ManualHostClock &clock;
    FakeDevice &dev;
    int64_t t0 = clock.peekMs();

    bool started = false;

    // To t0 + ms, where count frames in all are due.
    void to(int64_t ms, int count)
    {
        if (!started) {
            // The sender's thread takes its start time from the clock as it
            // begins: the clock moves only after that.
            ASSERT_TRUE(clock.readMore()) << "the sender never looked at the clock";
            started = true;
        }
        if (ms == 0) {
            ASSERT_TRUE(waitFor([&] { return dev.sentCount() >= count; })) << "nothing sent at the start";
            return;
        }
        if (clock.peekMs() < t0 + ms - 1) {
            clock.setMs(t0 + ms - 1);
            ASSERT_TRUE(clock.readMore()) << "the sender stopped looking at the clock";
        }
        ASSERT_LT(dev.sentCount(), count) << "sent before " << ms << " ms";
        if (clock.peekMs() < t0 + ms)
            clock.setMs(t0 + ms);
        ASSERT_TRUE(waitFor([&] { return dev.sentCount() >= count; })) << "nothing sent at " << ms << " ms";
    }
};
} // namespace

class BasicSendTest : public WorkDirTest
{
};

TEST_F(BasicSendTest, DefaultsWithoutFileSendOneFrameAfterOnePeriod)
{
    FakeDevice dev;
    dev.fdOn = 0; // a classic channel forces CAN
    QUserBasicSend s(kId, &dev);
    const QUserSendTask t = s.sendTaskGet();
    EXPECT_EQ(t.msg.idText, "00000000");
    EXPECT_EQ(t.msg.dataText, "00 01 02 03 04 05 06 07");
    EXPECT_EQ(t.msg.lenText, "8");
    EXPECT_EQ(t.perSendCnt, 1u);
    EXPECT_EQ(t.reqSendCnt, 1u);
    EXPECT_EQ(t.period, 1);
    EXPECT_EQ(t.fdCapable, 0);
    EXPECT_EQ(t.fdEnable, 0);

    SignalLog log;
    log.attach(&s, &QUserBasicSend::sendResultNotify);
    testsupport::ManualHostClockScope clock;
    Steps step{*clock.clock, dev};
    s.sendStart();
    step.to(1, 1);
    ASSERT_TRUE(waitFor([&] { return log.countStatus(MsgStatusBasicEnd) == 1; }));
    s.wait();
    const auto sent = dev.sentCopy();
    ASSERT_EQ(sent.size(), 1);
    EXPECT_EQ(sent[0].atMs - step.t0, 1);
    EXPECT_EQ(sent[0].msg.status, MsgTagBasicSend);
    EXPECT_EQ(sent[0].msg.sendTick, 1u);
    EXPECT_EQ(sent[0].msg.direction, 1);
    EXPECT_EQ(dev.lastDevId, kId);
    const auto reports = log.copy();
    ASSERT_EQ(reports.size(), 2);
    EXPECT_EQ(reports[0].msg.status, MsgStatusBasicStart);
    EXPECT_EQ(reports[1].msg.status, MsgStatusBasicEnd);
    EXPECT_EQ(reports[1].devId, kId);
    EXPECT_EQ(s.sendTaskGet().running, 0);
}

TEST_F(BasicSendTest, FdChannelKeepsProtocolAndNonFdChannelForcesCan)
{
    QDir().mkpath("setting");
    {
        FakeDevice dev;
        QUserBasicSend s(kId, &dev);
        QUserSendTask t = basicTask("123", 1, 1, 10);
        t.msg.protocol = 2;
        s.sendTaskSet(t);
    } // saved
    FakeDevice fd;
    QUserBasicSend a(kId, &fd);
    EXPECT_EQ(a.sendTaskGet().msg.protocol, 2);
    EXPECT_EQ(a.sendTaskGet().fdCapable, 1);
    FakeDevice classic;
    classic.fdKind = 0; // classic device: fdEnableGet is 0 whatever the flag
    QUserBasicSend b(kId, &classic);
    EXPECT_EQ(b.sendTaskGet().msg.protocol, 0);
    EXPECT_EQ(b.sendTaskGet().fdEnable, 0);
    FakeDevice unknown;
    unknown.knowsChannel = false;
    QUserBasicSend c(kId, &unknown);
    EXPECT_EQ(c.sendTaskGet().msg.protocol, 2); // nothing changes
}

TEST_F(BasicSendTest, SettingsFileRoundTripWithExactKeys)
{
    QDir().mkpath("setting");
    {
        FakeDevice dev;
        QUserBasicSend s(kId, &dev);
        QUserSendTask t = basicTask("1ABCDEF0 ", 7, 3, 250, true, true);
        t.msg.sendType = 2;
        t.msg.protocol = 1;
        t.msg.remote = 1;
        s.sendTaskSet(t);
    }
    QFile f("setting/" + kId + "_BasicSend.ini");
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(f.readAll());
    for (const char *line : {"idIncEnable,TRUE,idIncEnableTRUE\r\n", "perSendCnt,3,perSendCnt3\r\n",
                             "procotolType,1,procotolType1\r\n", "sendTimerInterVal,250,sendTimerInterVal250\r\n",
                             "strCANID,1ABCDEF0 ,strCANID1ABCDEF0 \r\n", "format,1,format1\r\n",
                             "type,1,type1\r\n", "sendType,2,sendType2\r\n", "strData,11 22,strData11 22\r\n"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(line))) << line;
    FakeDevice dev;
    QUserBasicSend back(kId, &dev);
    const QUserSendTask t = back.sendTaskGet();
    EXPECT_EQ(t.msg.idText, "1ABCDEF0 ");
    EXPECT_EQ(t.reqSendCnt, 7u);
    EXPECT_EQ(t.perSendCnt, 3u);
    EXPECT_EQ(t.period, 250);
    EXPECT_EQ(t.idIncEnable, 1);
    EXPECT_EQ(t.msg.sendType, 2);
    EXPECT_EQ(t.msg.protocol, 1);
    EXPECT_EQ(t.msg.remote, 1);
    EXPECT_EQ(t.msg.extended, 1);
    EXPECT_EQ(t.msg.direction, 1);
}

TEST_F(BasicSendTest, MissingKeysAndBadNumbersReadAsDocumented)
{
    QDir().mkpath("setting");
    QFile f("setting/" + kId + "_BasicSend.ini");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("reqSendCnt,abc,reqSendCntabc\r\nidIncEnable,true,idIncEnabletrue\r\n");
    f.close();
    FakeDevice dev;
    QUserBasicSend s(kId, &dev);
    const QUserSendTask t = s.sendTaskGet();
    EXPECT_EQ(t.reqSendCnt, 1u);      // not a number: the default
    EXPECT_EQ(t.idIncEnable, 0);      // only "TRUE" is true
    EXPECT_EQ(t.perSendCnt, 1u);      // missing keys
    EXPECT_EQ(t.period, 1);
    EXPECT_EQ(t.msg.lenText, "8");
    EXPECT_EQ(t.msg.idText, "00000000");
}

// Stored numbers the sender cannot live with (more frames per batch than one
// send-list call takes, counts and periods beyond 32 bits, codes out of
// their range) take the defaults; numbers inside their range are kept.
TEST_F(BasicSendTest, StoredNumbersOutsideTheirRangeTakeTheDefaults)
{
    QDir().mkpath("setting");
    const auto write = [](const QList<QPair<QString, QString>> &pairs) {
        QFile f("setting/" + kId + "_BasicSend.ini");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        for (const auto &p : pairs)
            f.write((p.first + "," + p.second + "," + p.first + p.second + "\r\n").toUtf8());
    };
    for (const char *bad : {"2147483647", "4294967296", "1e12", "-1", "abc", ""}) {
        SCOPED_TRACE(bad);
        const QString v = QString::fromLatin1(bad);
        write({{"perSendCnt", v}, {"reqSendCnt", v == "2147483647" ? "4294967296" : v},
               {"sendTimerInterVal", v == "2147483647" ? "4294967296" : v}, {"sendType", "3"},
               {"procotolType", "7"}, {"format", "2"}, {"type", "255"}});
        FakeDevice dev;
        QUserBasicSend s(kId, &dev);
        const QUserSendTask t = s.sendTaskGet();
        EXPECT_EQ(t.perSendCnt, 1u);
        EXPECT_EQ(t.reqSendCnt, 1u);
        EXPECT_EQ(t.period, 1);
        EXPECT_EQ(t.msg.sendType, 0);
        EXPECT_EQ(t.msg.protocol, 0);
        EXPECT_EQ(t.msg.remote, 0);
        EXPECT_EQ(t.msg.extended, 0);
    }
    write({{"perSendCnt", "32"}, {"reqSendCnt", "4294967295"}, {"sendTimerInterVal", "0"}});
    FakeDevice dev;
    QUserBasicSend s(kId, &dev);
    const QUserSendTask t = s.sendTaskGet();
    EXPECT_EQ(t.perSendCnt, 32u);
    EXPECT_EQ(t.reqSendCnt, 4294967295u);
    EXPECT_EQ(t.period, 0);
}

TEST_F(BasicSendTest, BatchesLeaveAtWholePeriods)
{
    FakeDevice dev;
    QUserBasicSend s(kId, &dev);
    SignalLog log;
    log.attach(&s, &QUserBasicSend::sendResultNotify);
    s.sendTaskSet(basicTask("100", 4, 2, 60));
    testsupport::ManualHostClockScope clock;
    Steps step{*clock.clock, dev};
    s.sendStart();
    for (int k = 0; k < 4; ++k)
        step.to(60 * (k + 1), 2 * (k + 1));
    ASSERT_TRUE(waitFor([&] { return log.countStatus(MsgStatusBasicEnd) == 1; }));
    s.wait();
    const auto sent = dev.sentCopy();
    ASSERT_EQ(sent.size(), 8);
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(sent[2 * k].atMs - step.t0, 60 * (k + 1)) << "batch " << k;
        EXPECT_EQ(sent[2 * k + 1].atMs - step.t0, 60 * (k + 1)) << "batch " << k;
        EXPECT_EQ(sent[2 * k].msg.sendTick, uint32_t(k + 1));
        EXPECT_EQ(sent[2 * k + 1].msg.sendTick, uint32_t(k + 1));
    }
}

// A sender that fell behind catches up batch after batch, skipping none.
TEST_F(BasicSendTest, LateBatchesCatchUpBackToBack)
{
    FakeDevice dev;
    dev.firstDelayMs = 200;
    QUserBasicSend s(kId, &dev);
    SignalLog log;
    log.attach(&s, &QUserBasicSend::sendResultNotify);
    s.sendTaskSet(basicTask("100", 8, 1, 30));
    testsupport::ManualHostClockScope clock;
    Steps step{*clock.clock, dev};
    s.sendStart();
    // Batch 1 leaves at 30 ms and takes 200 ms; batches 2 to 7 were due by
    // then and follow at once, before the clock moves again; batch 8 waits
    // for 240 ms.
    step.to(30, 7);
    step.to(240, 8);
    ASSERT_TRUE(waitFor([&] { return log.countStatus(MsgStatusBasicEnd) == 1; }));
    s.wait();
    const auto sent = dev.sentCopy();
    ASSERT_EQ(sent.size(), 8);
    for (int k = 0; k < 7; ++k) {
        EXPECT_EQ(sent[k].atMs - step.t0, 230) << k;
        EXPECT_EQ(sent[k].msg.sendTick, uint32_t(k + 1));
    }
    EXPECT_EQ(sent[7].atMs - step.t0, 240);
    EXPECT_EQ(sent[7].msg.sendTick, 8u);
}

TEST_F(BasicSendTest, PeriodZeroSendsBackToBackAndReqZeroSendsOneBatch)
{
    struct Case { uint32_t req; int batches; };
    for (const Case c : {Case{50, 50}, Case{0, 1}}) {
        FakeDevice dev;
        QUserBasicSend s(kId, &dev);
        SignalLog log;
        log.attach(&s, &QUserBasicSend::sendResultNotify);
        s.sendTaskSet(basicTask("100", c.req, 3, 0));
        s.sendStart();
        ASSERT_TRUE(waitFor([&] { return log.countStatus(MsgStatusBasicEnd) == 1; }));
        s.wait();
        EXPECT_EQ(dev.batches, c.batches) << c.req;
        EXPECT_EQ(dev.sentCount(), 3 * c.batches);
    }
}

TEST_F(BasicSendTest, ShortBatchEndsTheRun)
{
    FakeDevice dev;
    dev.takeLimit = 2;
    QUserBasicSend s(kId, &dev);
    SignalLog log;
    log.attach(&s, &QUserBasicSend::sendResultNotify);
    s.sendTaskSet(basicTask("100", 10, 3, 0));
    s.sendStart();
    ASSERT_TRUE(waitFor([&] { return log.countStatus(MsgStatusBasicEnd) == 1; }));
    s.wait();
    EXPECT_EQ(dev.batches, 1);
}

TEST_F(BasicSendTest, IdentifierIncrementWrapsAndIsRestoredAfterTheRun)
{
    struct Case {
        const char *start;
        bool extended;
        uint32_t per;
        uint32_t req;
        QStringList expect;
    };
    const Case cases[] = {
        {"000007FE", false, 3, 2, {"000007FE", "000007FF ", "00000000 ", "00000001 ", "00000002 ", "00000003 "}},
        {"1FFFFFFE", true, 2, 2, {"1FFFFFFE", "1FFFFFFF ", "00000000 ", "00000001 "}},
        {"0000FFFF", false, 1, 2, {"0000FFFF", "00000000 "}}, // first copy unchanged, then masked to 11 bits
    };
    for (const Case &c : cases) {
        FakeDevice dev;
        QUserBasicSend s(kId, &dev);
        SignalLog log;
        log.attach(&s, &QUserBasicSend::sendResultNotify);
        s.sendTaskSet(basicTask(c.start, c.req, c.per, 0, true, c.extended));
        s.sendStart();
        ASSERT_TRUE(waitFor([&] { return log.countStatus(MsgStatusBasicEnd) == 1; }));
        s.wait();
        const auto sent = dev.sentCopy();
        ASSERT_EQ(sent.size(), c.expect.size()) << c.start;
        for (int i = 0; i < sent.size(); ++i)
            EXPECT_EQ(sent[i].msg.idText, c.expect[i]) << c.start << " #" << i;
        EXPECT_EQ(s.sendTaskGet().msg.idText, QString::fromLatin1(c.start));
    }
}

TEST_F(BasicSendTest, StopDuringLongPeriodEndsPromptly)
{
    FakeDevice dev;
    QUserBasicSend s(kId, &dev);
    SignalLog log;
    log.attach(&s, &QUserBasicSend::sendResultNotify);
    s.sendTaskSet(basicTask("100", 5, 1, 100000));
    s.sendStart();
    ASSERT_TRUE(waitFor([&] { return log.countStatus(MsgStatusBasicStart) == 1; }));
    const int64_t t0 = getCurrentMs();
    s.sendStop();
    // Promptly: well inside the period of 100 s it would wait otherwise.
    EXPECT_LT(getCurrentMs() - t0, 50000);
    EXPECT_FALSE(s.isRunning());
    EXPECT_EQ(dev.sentCount(), 0);
    EXPECT_EQ(log.countStatus(MsgStatusBasicEnd), 1);
}

// A stop issued right after a start must wait for that run, even when the
// thread has not begun yet; afterwards the sender can be started again.
TEST_F(BasicSendTest, StopRightAfterStartAlwaysWaitsForTheThread)
{
    FakeDevice dev;
    QUserBasicSend s(kId, &dev);
    s.sendTaskSet(basicTask("100", 1000, 1, 100000));
    for (int i = 0; i < 200; ++i) {
        s.sendStart();
        s.sendStop();
        ASSERT_FALSE(s.isRunning()) << "round " << i;
        ASSERT_FALSE(s.isSending());
    }
    EXPECT_EQ(dev.sentCount(), 0);
    // Restartable after all that.
    s.sendTaskSet(basicTask("100", 1, 1, 0));
    SignalLog log;
    log.attach(&s, &QUserBasicSend::sendResultNotify);
    s.sendStart();
    ASSERT_TRUE(waitFor([&] { return log.countStatus(MsgStatusBasicEnd) == 1; }));
    s.wait();
    EXPECT_EQ(dev.sentCount(), 1);
}

// The GUI thread copies the task while the sender thread rewrites it; the
// copies must always be whole (the identifier one of the values sent).
TEST_F(BasicSendTest, TaskCopiesDuringARunAreConsistent)
{
    FakeDevice dev;
    QUserBasicSend s(kId, &dev);
    s.sendTaskSet(basicTask("0", 0xFFFFFFFFu, 4, 0, true));
    s.sendStart();
    int seen = 0;
    for (int i = 0; i < 2000; ++i) {
        const QUserSendTask t = s.sendTaskGet();
        ASSERT_EQ(t.msg.idText.size() == 9 || t.msg.idText == "0", true) << t.msg.idText.toStdString();
        seen += t.running;
    }
    s.sendStop();
    EXPECT_GT(seen, 0);
    EXPECT_EQ(s.sendTaskGet().msg.idText, "0");
    EXPECT_EQ(s.sendTaskGet().running, 0);
}

class AdvanceSendTest : public WorkDirTest
{
};

TEST_F(AdvanceSendTest, ScheduleWithIntervalAndPeriod)
{
    struct Case { int64_t interval; };
    for (const Case c : {Case{25}, Case{0}}) {
        FakeDevice dev;
        QUserAdvanceSend s(kId, &dev);
        SignalLog log;
        log.attach(&s, &QUserAdvanceSend::sendResultNotify);
        QUserSendTask t;
        t.msgList = {entry("1", true), entry("2", false), entry("3", true), entry("4", true)};
        t.reqSendCnt = 2;
        t.period = 250;
        t.frameInterval = c.interval;
        t.errorMode = 1;
        s.sendTaskSet(t);
        testsupport::ManualHostClockScope clock;
        Steps step{*clock.clock, dev};
        auto due = [&](int i) { return (i / 3) * 250 + (i % 3) * c.interval; };
        std::map<int64_t, int> dueBy; // a due time, and how many frames are due by then
        for (int i = 0; i < 6; ++i)
            dueBy[due(i)] = i + 1;
        s.sendStart();
        for (const auto &d : dueBy)
            step.to(d.first, d.second);
        // The run ends when the third cycle would be due.
        clock->setMs(step.t0 + 499);
        ASSERT_TRUE(clock->readMore());
        EXPECT_EQ(log.countStatus(MsgStatusAdvEnd), 0) << "ended before 500 ms";
        clock->setMs(step.t0 + 500);
        ASSERT_TRUE(waitFor([&] { return log.countStatus(MsgStatusAdvEnd) == 1; }));
        EXPECT_EQ(log.copy().last().atMs - step.t0, 500);
        s.wait();
        const auto sent = dev.sentCopy();
        ASSERT_EQ(sent.size(), 6);
        const QStringList ids = {"1", "3", "4", "1", "3", "4"};
        for (int i = 0; i < 6; ++i) {
            EXPECT_EQ(sent[i].atMs - step.t0, due(i)) << i;
            EXPECT_EQ(sent[i].msg.idText, ids[i]);
            EXPECT_EQ(sent[i].msg.status, MsgTagAdvanceSend);
        }
        EXPECT_EQ(log.countStatus(MsgStatusAdvStart), 1);
    }
}

TEST_F(AdvanceSendTest, FailureModesAndEmptyRuns)
{
    struct Case {
        uint32_t errorMode;
        int refuse;
        uint32_t req;
        int entries;
        int expectSent;
    };
    const Case cases[] = {
        {0, 1, 3, 2, 1}, // stop at the first refused frame
        {1, 1, 3, 2, 6}, // go on, every frame reported
        {1, 0, 0, 2, 0}, // zero cycles: start and end only
        {1, 0, 2, 0, 0}, // empty list
    };
    for (const Case &c : cases) {
        FakeDevice dev;
        dev.refuseAll = c.refuse;
        QUserAdvanceSend s(kId, &dev);
        SignalLog log;
        log.attach(&s, &QUserAdvanceSend::sendResultNotify);
        QUserSendTask t;
        for (int i = 0; i < c.entries; ++i)
            t.msgList.append(entry(QString::number(i + 1), true));
        t.reqSendCnt = c.req;
        t.period = 20;
        t.frameInterval = 0;
        t.errorMode = c.errorMode;
        s.sendTaskSet(t);
        s.sendStart();
        ASSERT_TRUE(waitFor([&] { return log.countStatus(MsgStatusAdvEnd) == 1; }));
        s.wait();
        EXPECT_EQ(dev.sentCount(), c.expectSent) << c.errorMode << "/" << c.req;
        EXPECT_EQ(log.countStatus(MsgStatusAdvStart), 1);
    }
}

TEST_F(AdvanceSendTest, ListFileRoundTripOrderAndDefaults)
{
    FakeDevice dev;
    QUserAdvanceSend s(kId, &dev);
    QUserSendTask t;
    t.msgList = {entry("00000001 ", true, "first"), entry("2", false, "a,b"), entry("3", true)};
    t.msgList[2].protocol = 2;
    t.msgList[2].extended = 1;
    t.msgList[2].dataText = "01 02 03";
    t.msgList[2].lenText = "3"; // as the editor keeps them: data and length agree
    t.reqSendCnt = 5;
    t.period = 1234;
    t.frameInterval = 7;
    t.errorMode = 0;
    s.sendTaskSet(t);
    ASSERT_TRUE(s.configureSave("list.txt"));

    QFile f("list.txt");
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray raw = f.readAll();
    EXPECT_TRUE(raw.contains("adv,0,5,1234,7\r\n"));
    // Entries stand last first.
    EXPECT_LT(raw.indexOf("msg,1,,3,2,0,1,3,01 02 03"), raw.indexOf("msg,1,first,00000001 ,0,0,0,1,AA"));

    QUserAdvanceSend back("X-0-0", &dev);
    ASSERT_TRUE(back.configureLoad("list.txt"));
    const QUserSendTask r = back.sendTaskGet();
    ASSERT_EQ(r.msgList.size(), 3);
    EXPECT_EQ(r.msgList[0].idText, "00000001 ");
    EXPECT_EQ(r.msgList[0].auxText2, "first");
    EXPECT_EQ(r.msgList[1].rowEnable, 0);
    EXPECT_EQ(r.msgList[1].auxText2, QString::fromUtf8("a，b")); // comma kept readable, line stays 8 fields
    EXPECT_EQ(r.msgList[2].protocol, 2);
    EXPECT_EQ(r.msgList[2].extended, 1);
    EXPECT_EQ(r.msgList[2].dataText, "01 02 03");
    EXPECT_EQ(r.reqSendCnt, 5u);
    EXPECT_EQ(r.period, 1234);
    EXPECT_EQ(r.frameInterval, 7);
    EXPECT_EQ(r.errorMode, 0u);

    // Without an "adv" line, and with a line of the wrong width.
    QFile g("noadv.txt");
    ASSERT_TRUE(g.open(QIODevice::WriteOnly));
    g.write("msg,1,c,5,0,0,0,1,01\r\nmsg,1,too,many,fields,0,0,0,1,01\r\n");
    g.close();
    ASSERT_TRUE(back.configureLoad("noadv.txt"));
    const QUserSendTask d = back.sendTaskGet();
    ASSERT_EQ(d.msgList.size(), 1);
    EXPECT_EQ(d.errorMode, 1u);
    EXPECT_EQ(d.reqSendCnt, 1u);
    EXPECT_EQ(d.period, 1000);
    EXPECT_EQ(d.frameInterval, 10);
    EXPECT_FALSE(back.configureLoad("missing.txt"));
    EXPECT_EQ(back.sendTaskGet().msgList.size(), 1); // unchanged
}

// The list's run settings ("adv" line) beyond 32 bits or no number take the
// panel's defaults, each on its own; a failure mode beyond one byte is no
// "stop" (it used to be cut to its low byte, so 256 read as 0).
TEST_F(AdvanceSendTest, RunSettingsOutsideTheirRangeTakeTheDefaults)
{
    FakeDevice dev;
    QUserAdvanceSend s(kId, &dev);
    const struct {
        const char *line;
        uint32_t mode, cycles;
        int64_t period, interval;
    } cases[] = {
        {"adv,256,4294967296,1e12,-1", 1, 1, 1000, 10},
        {"adv,abc,,99999999999999,2147483647", 1, 1, 1000, 2147483647},
        {"adv,0,4294967295,0,0", 0, 4294967295u, 0, 0},
        {"adv,-1,-1,-1,-1", 1, 1, 1000, 10},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.line);
        QFile f("hostile.txt");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(QByteArray(c.line) + "\r\nmsg,1,c,5,0,0,0,1,01\r\n");
        f.close();
        ASSERT_TRUE(s.configureLoad("hostile.txt"));
        const QUserSendTask t = s.sendTaskGet();
        EXPECT_EQ(t.errorMode, c.mode);
        EXPECT_EQ(t.reqSendCnt, c.cycles);
        EXPECT_EQ(t.period, c.period);
        EXPECT_EQ(t.frameInterval, c.interval);
        EXPECT_EQ(t.msgList.size(), 1);
    }
}

TEST_F(AdvanceSendTest, EntryCheckRefusesWhatTheEditorNeverMakes)
{
    struct Case {
        const char *what;
        const char *id;
        int protocol, remote, extended;
        const char *len, *data;
        bool ok;
    } const cases[] = {
        {"standard at its limit", "000007FF ", 0, 0, 0, "2", "A1 B2", true},
        {"standard beyond 11 bits", "00000800 ", 0, 0, 0, "2", "A1B2", false},
        {"extended at its limit", "1FFFFFFF", 0, 0, 1, "0", "", true},
        {"extended beyond 29 bits", "20000000", 0, 0, 1, "0", "", false},
        {"identifier not hexadecimal", "0000080G", 0, 0, 0, "0", "", false},
        {"identifier empty", "", 0, 0, 0, "0", "", false},
        {"identifier of nine digits", "000000001", 0, 0, 0, "0", "", false},
        {"protocol 3", "1", 3, 0, 0, "0", "", false},
        {"flag 2", "1", 0, 0, 2, "0", "", false},
        {"CAN length 12", "1", 0, 0, 0, "12", "000000000000000000000000", false},
        {"CAN FD length 12", "1", 1, 0, 0, "12", "000000000000000000000000", true},
        {"CAN FD length 9", "1", 2, 0, 0, "9", "000000000000000000", false},
        {"length not a number", "1", 0, 0, 0, "x", "", false},
        {"data shorter than its length", "1", 0, 0, 0, "8", "A1B2", false},
        {"data longer than its length", "1", 0, 0, 0, "1", "A1B2", false},
        {"data not hexadecimal", "1", 0, 0, 0, "1", "ZZ", false},
        {"remote frame, length 0", "1", 0, 1, 0, "0", "", true},
        {"remote frame with data", "1", 0, 1, 0, "1", "AA", false},
        {"remote CAN FD frame", "1", 1, 1, 0, "0", "", false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QUserCanMsg m(QString::fromLatin1(c.id), c.remote != 0, false, QString::fromLatin1(c.len),
                      QString::fromLatin1(c.data));
        m.protocol = uint8_t(c.protocol);
        m.remote = uint8_t(c.remote);
        m.extended = uint8_t(c.extended);
        QString why;
        EXPECT_EQ(QUserAdvanceSend::entryCheck(m, &why), c.ok);
        EXPECT_EQ(why.isEmpty(), c.ok) << why.toStdString();
    }
}

TEST_F(AdvanceSendTest, BadEntriesOfTheSettingsFileStayOutNamedByLine)
{
    QDir().mkpath("setting");
    QFile f("setting/" + kId + "_AdvSend.ini");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("adv,0,2,100,10\r\n"
            "msg,1,good,00000100 ,0,0,0,1,AA\r\n"
            "msg,1,bad,00000800 ,0,0,0,1,AA\r\n"
            "msg,1,short,00000100 ,0,0,0,4,AA\r\n");
    f.close();
    FakeDevice dev;
    QUserAdvanceSend s(kId, &dev);
    const QUserSendTask t = s.sendTaskGet();
    ASSERT_EQ(t.msgList.size(), 1);
    EXPECT_EQ(t.msgList.at(0).auxText2, "good");
    const QList<QUserAdvanceSend::Refused> refused = s.loadRefusedGet();
    ASSERT_EQ(refused.size(), 2);
    EXPECT_EQ(refused.at(0).line, 3);
    EXPECT_EQ(refused.at(1).line, 4);
    EXPECT_FALSE(refused.at(0).reason.isEmpty());
    // A clean load forgets the refusals of the one before.
    QFile g("clean.txt");
    ASSERT_TRUE(g.open(QIODevice::WriteOnly));
    g.write("msg,1,good,00000100 ,0,0,0,1,AA\r\n");
    g.close();
    ASSERT_TRUE(s.configureLoad("clean.txt"));
    EXPECT_TRUE(s.loadRefusedGet().isEmpty());
}

TEST_F(AdvanceSendTest, SettingsFileIsReadAtConstructionAndWrittenAtDestruction)
{
    QDir().mkpath("setting");
    FakeDevice dev;
    {
        QUserAdvanceSend s(kId, &dev);
        EXPECT_EQ(s.sendTaskGet().errorMode, 1u); // defaults without a file
        QUserSendTask t;
        t.msgList = {entry("7", true)};
        t.reqSendCnt = 9;
        s.sendTaskSet(t);
    }
    QUserAdvanceSend again(kId, &dev);
    ASSERT_EQ(again.sendTaskGet().msgList.size(), 1);
    EXPECT_EQ(again.sendTaskGet().reqSendCnt, 9u);
}

TEST_F(AdvanceSendTest, TaskHandOverStopsARunAndStopRightAfterStartWaits)
{
    FakeDevice dev;
    QUserAdvanceSend s(kId, &dev);
    QUserSendTask t;
    t.msgList = {entry("1", true)};
    t.reqSendCnt = 1000000;
    t.period = 100000;
    t.frameInterval = 0;
    s.sendTaskSet(t);
    for (int i = 0; i < 200; ++i) {
        s.sendStart();
        s.sendStop();
        ASSERT_FALSE(s.isRunning()) << i;
    }
    s.sendStart();
    ASSERT_TRUE(waitFor([&] { return dev.sentCount() > 0; }));
    t.reqSendCnt = 1;
    s.sendTaskSet(t); // stops the long run first
    EXPECT_FALSE(s.isRunning());
    EXPECT_EQ(s.sendTaskGet().running, 0);
    EXPECT_EQ(s.sendTaskGet().reqSendCnt, 1u);
}

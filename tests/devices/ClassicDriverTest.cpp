// The classic driver thread and its baud-rate detection against the
// stand-in adapter library.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <cstring>
#include <future>
#include <utility>
#include <vector>

#include "tests/devices/FakeKcan.h"
#include "tests/devices/PrintQt.h"
#include "tests/devices/SignalLog.h"
#include "tests/support/TempWorkDir.h"
#include "devices/QKemDev.h"

namespace {
const uint32_t kType = 4;

KCAN_INIT_CONFIG initCfg()
{
    KCAN_INIT_CONFIG c{};
    c.AccCode = 0x11;
    c.AccMask = 0xFFFFFFFF;
    c.Reserved = 0x55; // never passed on
    c.Filter = 1;
    c.Timing0 = 0x00;
    c.Timing1 = 0x1C;
    c.Mode = 0;
    return c;
}

struct BaudLog {
    QMutex mutex;
    QVector<QUserBaudChkMsg> msgs;
    QString devId;
    void attach(QKemDev *d)
    {
        QObject::connect(d, &QKemDev::baudChkResult, d,
                         [this](QString id, QUserBaudChkMsg m) {
                             QMutexLocker lock(&mutex);
                             devId = id;
                             msgs.append(m);
                         },
                         Qt::DirectConnection);
    }
    // A copy of its own, made under the lock: a copy that shared the
    // list's data would read it outside the lock while the driver appends.
    QVector<QUserBaudChkMsg> copy()
    {
        QMutexLocker lock(&mutex);
        QVector<QUserBaudChkMsg> c(msgs);
        c.detach();
        return c;
    }
};
} // namespace

class ClassicDriverTest : public WorkDirTest
{
protected:
    void SetUp() override { ASSERT_TRUE(fake.ok()); }
    FakeKcan fake;
};

TEST_F(ClassicDriverTest, StartReceiveAndCloseThroughCommands)
{
    QKemDev drv("USBCAN2", int(kType), 1);
    QVector<QPair<QString, QVector<QUserCanMsg>>> batches;
    QMutex m;
    QObject::connect(&drv, &QKemDev::receiveMsg, &drv,
                     [&](QString id, QVector<QUserCanMsg> l) {
                         QMutexLocker lock(&m);
                         batches.append({id, l});
                     },
                     Qt::DirectConnection);
    ASSERT_EQ(drv.devOpen(), 0);
    drv.threadStart();
    KCAN_INIT_CONFIG cfg = initCfg();
    ASSERT_EQ(drv.canStart(0, &cfg), 0);
    ASSERT_EQ(drv.canStart(1, &cfg), 0);
    KCAN_INIT_CONFIG seen;
    fake.lastInit(kType, 1, 1, &seen);
    EXPECT_EQ(seen.Reserved, 0u);
    EXPECT_EQ(seen.AccCode, 0x11u);
    EXPECT_EQ(seen.Filter, 1);
    EXPECT_EQ(seen.Timing1, 0x1C);

    const KCAN_CAN_OBJ objs[2] = {canObj(0x123, {0x01, 0x02, 0x0A}), canObj(0x5, {1, 2, 3, 4, 5}, true)};
    fake.pushRx(kType, 1, 1, objs, 2);
    ASSERT_TRUE(waitFor([&] { QMutexLocker l(&m); return !batches.isEmpty(); }));
    {
        QMutexLocker l(&m);
        EXPECT_EQ(batches[0].first, "USBCAN2-1-1");
        const auto &b = batches[0].second;
        ASSERT_EQ(b.size(), 2);
        EXPECT_EQ(b[0].idText, "00000123 ");
        EXPECT_EQ(b[0].lenText, "3");
        EXPECT_EQ(b[0].dataText, "01020A");
        EXPECT_EQ(b[1].lenText, "0");
        EXPECT_EQ(b[1].dataText, "");
        EXPECT_EQ(b[1].channel, 1);
    }
    QUserCanMsg frame;
    frame.idText = " 7FF ";
    frame.lenText = "5";
    frame.dataText = "11 22 33";
    EXPECT_TRUE(drv.transmitPost(0, frame));
    EXPECT_EQ(frame.dataText, "112233");
    EXPECT_EQ(frame.channel, 0);
    KCAN_CANFD_OBJ rec;
    ASSERT_EQ(fake.txGet(kType, 1, 0, 0, &rec), 0);
    EXPECT_EQ(rec.ID, 0x7FFu);
    EXPECT_EQ(rec.DataLen, 5);
    const uint8_t expect[8] = {0x11, 0x22, 0x33, 0, 0, 0, 0, 0};
    EXPECT_EQ(std::memcmp(rec.Data, expect, 8), 0);

    // Closing one of two channels leaves the adapter open; the second closes it.
    QUserDrvCmdPort *unused = nullptr;
    (void)unused;
    QUserDrvCmdArg arg;
    arg.channel = 0;
    QSemaphore sem(0);
    QUserDrvCmd cmd;
    cmd.sem = &sem;
    cmd.type = QUserDrvCmd::ChClose;
    cmd.arg = &arg;
    drv.cmdPost(&cmd);
    EXPECT_EQ(cmd.result, 0);
    EXPECT_TRUE(fake.isOpen(kType, 1));
    EXPECT_NE(drv.anyChannelOpen(), 0);
    arg.channel = 1;
    drv.cmdPost(&cmd);
    EXPECT_EQ(cmd.result, 0);
    EXPECT_FALSE(fake.isOpen(kType, 1));
    EXPECT_EQ(drv.anyChannelOpen(), 0);
    arg.channel = 7; // never started
    drv.cmdPost(&cmd);
    EXPECT_EQ(cmd.result, -1);
}

TEST_F(ClassicDriverTest, ListSendReportsUpToTheFirstRefusedFrame)
{
    QKemDev drv("USBCAN1", int(kType), 0);
    SignalLog log;
    log.attach(&drv, &QKemDev::sendResultNotify);
    drv.devOpen();
    fake.setTxLimit(kType, 0, 0, 20);
    QVector<QUserCanMsg> list(40);
    for (int i = 0; i < 40; ++i) {
        list[i].idText = QString::number(i);
        list[i].lenText = "0";
    }
    EXPECT_EQ(drv.transmitList(0, list), 20);
    const auto r = log.copy();
    ASSERT_EQ(r.size(), 21);
    EXPECT_EQ(r[19].msg.sendFailed, 0);
    EXPECT_EQ(r[20].msg.sendFailed, 1);
    EXPECT_EQ(r[20].msg.idText, "20");
    int sizes[4];
    ASSERT_EQ(fake.txCalls(kType, 0, 0, sizes, 4), 1);
    EXPECT_EQ(sizes[0], 32);
}

TEST_F(ClassicDriverTest, RelayQueriesAndClosedAdapterOperations)
{
    QKemDev one("USBCAN1", int(kType), 0);
    int a = 9, b = 9;
    EXPECT_TRUE(one.relayStatusGet(&a, &b));
    EXPECT_EQ(a, 0);
    EXPECT_EQ(b, 0);
    EXPECT_EQ(fake.calls("KCAN_DevRelayStatusGet"), 0);
    EXPECT_FALSE(one.chReset(0)); // adapter not open: no call
    EXPECT_FALSE(one.chBufferClear(0));
    EXPECT_EQ(fake.calls("KCAN_Stop") + fake.calls("KCAN_ClearBuffer"), 0);

    QKemDev two("USBCAN2", int(kType), 0);
    fake.setRelay(kType, 0, 0, 3, 1);
    struct Case { int mask, expect; };
    for (const Case c : {Case{1, 0}, Case{2, 2}, Case{3, 2}}) {
        int out = -1;
        EXPECT_TRUE(two.relayMaskGet(c.mask, &out));
        EXPECT_EQ(out, c.expect) << c.mask;
    }
    fake.setRelay(kType, 0, 1, 0, 0);
    int out = -1;
    EXPECT_FALSE(two.relayMaskGet(1, &out));
    EXPECT_FALSE(two.relayStatusGet(&a, &b));
}

// The stop is a flag and a wait: it ends a poll loop, a detection run and a
// thread that never started alike, and posts afterwards fail at once.
TEST_F(ClassicDriverTest, ThreadStopEndsEveryModeAndReleasesPosters)
{
    {
        QKemDev idle("USBCAN2", int(kType), 0);
        idle.threadStop(); // never started
        QUserCanMsg m;
        EXPECT_FALSE(idle.transmitPost(0, m));
    }
    {
        QKemDev drv("USBCAN2", int(kType), 0);
        drv.devOpen();
        drv.threadStart();
        KCAN_INIT_CONFIG cfg = initCfg();
        ASSERT_EQ(drv.canStart(0, &cfg), 0);
        fake.setReceiveDelayUs(100000);
        std::vector<std::future<bool>> posters;
        for (int i = 0; i < 4; ++i)
            posters.push_back(std::async(std::launch::async, [&drv] {
                QUserCanMsg m;
                m.idText = "1";
                m.lenText = "0";
                return drv.transmitPost(0, m);
            }));
        QThread::msleep(20);
        drv.threadStop();
        EXPECT_FALSE(drv.isRunning());
        for (auto &p : posters)
            ASSERT_EQ(p.wait_for(std::chrono::milliseconds(testsupport::kGiveUpMs)), std::future_status::ready);
        fake.setReceiveDelayUs(0);
        QUserCanMsg late;
        EXPECT_FALSE(drv.transmitPost(0, late));
    }
    {
        // A detection with long trials: the stop still returns promptly.
        QDir().mkpath("setting");
        QFile f("setting/baudlist.txt");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("500000,00,1C\n250000,01,1C\n");
        f.close();
        QKemDev drv("USBCAN2", int(kType), 0);
        drv.devOpen();
        drv.baudChkStart(0, 5000, 1000000, 0, 100000);
        QThread::msleep(30);
        const int64_t t0 = getCurrentMs();
        drv.threadStop();
        EXPECT_LT(getCurrentMs() - t0, 30000); // well inside a trial of 100 s
        EXPECT_FALSE(drv.isRunning());
        EXPECT_FALSE(drv.isDetecting());
    }
}

TEST_F(ClassicDriverTest, DetectionFindsTheMatchingRateAndReportsInOrder)
{
    // Frames arrive only with the two 500 kbit/s timings of the table.
    const int pairs[4] = {0x00, 0x49, 0x00, 0x3A};
    fake.setDetect(pairs, 2);
    QKemDev drv("USBCAN2", int(kType), 0);
    BaudLog log;
    log.attach(&drv);
    ASSERT_EQ(drv.devOpen(), 0);
    EXPECT_EQ(drv.baudChkStart(1, 1000000, 5000, 1, 15), 1);
    EXPECT_EQ(drv.baudChkStart(1, 1, 2, 0, 15), 1); // ignored while detecting
    ASSERT_TRUE(drv.wait(30000));
    const auto msgs = log.copy();
    EXPECT_EQ(log.devId, "USBCAN2-0-1");
    // Table generated (progress 1..100, ready), begin, trials, end.
    int i = 0;
    int progress = 0;
    while (i < msgs.size() && msgs[i].code == QUserBaudChkMsg::Progress)
        EXPECT_EQ(msgs[i++].progress, ++progress);
    EXPECT_EQ(progress, 100);
    ASSERT_LT(i + 1, msgs.size());
    EXPECT_EQ(msgs[i].code, QUserBaudChkMsg::TableReady);
    EXPECT_EQ(msgs[i].progress, 100);
    EXPECT_EQ(msgs[++i].code, QUserBaudChkMsg::Begin);
    QVector<QUserBaudChkMsg> trials;
    for (++i; i < msgs.size() && msgs[i].code != QUserBaudChkMsg::End; ++i)
        trials.append(msgs[i]);
    EXPECT_EQ(i, msgs.size() - 1);
    // 15 standard candidates fail, both 500 kbit/s timings match, the next fails.
    ASSERT_EQ(trials.size(), 2 * 18);
    for (int k = 0; k < 18; ++k) {
        EXPECT_EQ(trials[2 * k].code, QUserBaudChkMsg::TryBegin);
        EXPECT_EQ(trials[2 * k + 1].code, QUserBaudChkMsg::TryEnd);
        EXPECT_EQ(trials[2 * k + 1].rate, trials[2 * k].rate);
        EXPECT_EQ(trials[2 * k + 1].failed, (k == 15 || k == 16) ? 0 : 1) << k;
    }
    EXPECT_EQ(trials[30].rate, 500000);
    EXPECT_EQ(trials[35].rate, 800000);
    EXPECT_EQ(drv.baudMatchCount(), 2);
    EXPECT_FALSE(drv.isDetecting());
    EXPECT_TRUE(QFile::exists("setting/baudlist.txt"));

    // A second run reuses the file (206 without generation) and a range
    // without a table rate ends at once with 200 and 203.
    BaudLog again;
    again.attach(&drv);
    EXPECT_EQ(drv.baudChkStart(1, 3000, 4000, 0, 15), 1);
    ASSERT_TRUE(drv.wait(testsupport::kGiveUpMs));
    const auto b = again.copy();
    // (the first log sees these too)
    ASSERT_EQ(b.size(), 3);
    EXPECT_EQ(b[0].code, QUserBaudChkMsg::TableReady);
    EXPECT_EQ(b[1].code, QUserBaudChkMsg::Begin);
    EXPECT_EQ(b[2].code, QUserBaudChkMsg::End);
    EXPECT_EQ(b[2].timing1, 1);
}

// The channel is re-initialised without a stop, so frames heard at the bus
// rate can land after the switch to the next candidate, past every clear.
// They must not make that candidate a match, also when the channel state
// goes unanswered for a while after the switch (a loaded machine): only the
// bus rate matches, and the scan ends at the candidate after it.
TEST_F(ClassicDriverTest, LateFramesOfTheMatchingTimingDoNotMatchTheNextCandidate)
{
    QDir().mkpath("setting");
    QFile f("setting/baudlist.txt");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("250000,01,1C\n500000,00,49\n500000,00,3A\n800000,00,25\n1000000,00,14\n");
    f.close();
    const int pairs[4] = {0x00, 0x49, 0x00, 0x3A};
    for (int lostStates : {0, 5}) {
        SCOPED_TRACE(lostStates);
        fake.reset();
        fake.setDetect(pairs, 2);
        fake.setDetectLate(1000);
        fake.setStateLost(lostStates);
        QKemDev drv("USBCAN2", int(kType), 0);
        BaudLog log;
        log.attach(&drv);
        ASSERT_EQ(drv.devOpen(), 0);
        ASSERT_EQ(drv.baudChkStart(0, 5000, 1000000, 0, 300), 1);
        ASSERT_TRUE(drv.wait(30000));
        std::vector<std::pair<int, int>> tried; // rate, failed
        for (const QUserBaudChkMsg &m : log.copy())
            if (m.code == QUserBaudChkMsg::TryEnd)
                tried.push_back({m.rate, int(m.failed)});
        const std::vector<std::pair<int, int>> expected{{250000, 1}, {500000, 0}, {500000, 0}, {800000, 1}};
        EXPECT_EQ(tried, expected);
        EXPECT_EQ(drv.baudMatchCount(), 2);
        EXPECT_FALSE(drv.isDetecting());
        drv.devClose();
    }
}

TEST_F(ClassicDriverTest, TableFileWithWrongWidthLinesIsRegenerated)
{
    QDir().mkpath("setting");
    QFile f("setting/baudlist.txt");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("500000,00\n1,2,3,4\n");
    f.close();
    fake.setDetect(nullptr, 0);
    QKemDev drv("USBCAN2", int(kType), 0);
    drv.devOpen();
    drv.baudChkStart(0, 5000, 5000, 0, 5);
    ASSERT_TRUE(drv.wait(30000));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll().count('\n'), 323);
}

// A detection started again right after a stop runs: the start waits for the
// stopped run to end instead of answering 1 and running nothing. A thread
// that serves open channels takes no detection: 0.
TEST_F(ClassicDriverTest, RestartAfterAStopRunsAndABusyThreadRefuses)
{
    QDir().mkpath("setting");
    QFile f("setting/baudlist.txt");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("500000,00,1C\n250000,01,1C\n125000,03,1C\n");
    f.close();
    fake.setDetect(nullptr, 0); // no candidate ever matches
    QKemDev drv("USBCAN2", int(kType), 0);
    BaudLog log;
    log.attach(&drv);
    ASSERT_EQ(drv.devOpen(), 0);
    auto count = [&](int code) {
        int n = 0;
        for (const QUserBaudChkMsg &m : log.copy())
            n += m.code == code ? 1 : 0;
        return n;
    };
    for (int round = 1; round <= 3; ++round) {
        SCOPED_TRACE(round);
        // Long trials: the run is still in its first one when it is stopped.
        ASSERT_EQ(drv.baudChkStart(0, 100000, 600000, 0, 100000), 1);
        ASSERT_TRUE(waitFor([&] { return count(QUserBaudChkMsg::TryBegin) >= round; }));
        EXPECT_EQ(drv.baudChkStop(), 1);
    }
    // The last run, stopped like the others, and one more that runs to its
    // end: a range with no table rate begins and ends at once.
    ASSERT_EQ(drv.baudChkStart(0, 3000, 4000, 0, 5), 1);
    ASSERT_TRUE(drv.wait(testsupport::kGiveUpMs));
    EXPECT_EQ(count(QUserBaudChkMsg::Begin), 4);
    EXPECT_EQ(count(QUserBaudChkMsg::End), 4);
    EXPECT_FALSE(drv.isDetecting());

    // A driver whose thread polls an open channel refuses a detection.
    QKemDev busy("USBCAN2", int(kType), 1);
    ASSERT_EQ(busy.devOpen(), 0);
    busy.threadStart();
    KCAN_INIT_CONFIG cfg = initCfg();
    ASSERT_EQ(busy.canStart(0, &cfg), 0);
    EXPECT_EQ(busy.baudChkStart(0, 5000, 1000000, 1, 15), 0);
    EXPECT_FALSE(busy.isDetecting());
    QUserCanMsg m;
    m.idText = "1";
    m.lenText = "0";
    EXPECT_TRUE(busy.transmitPost(0, m)) << "the poll loop still serves the channel";
}

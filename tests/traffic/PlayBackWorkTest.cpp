// The playback worker: trace files into the cache, and the paced replay of
// the cache onto a simulated TRNA702 channel (its frames arrive on another
// channel of the same adapter).

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <algorithm>

#include "tests/traffic/PlaybackSupport.h"
#include "tests/support/TempWorkDir.h"
#include "tests/traffic/TraceSupport.h"

using namespace playtest;

namespace {

class PlayBackWork : public WorkDirTest
{
protected:
    void TearDown() override { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    QString cachePath() const { return QDir::current().absoluteFilePath("cache/work.dat"); }

    // Frames reported as sent on a channel, in order.
    static QVector<QUserCanMsg> sentOn(SimRig &rig, const QString &devId)
    {
        QVector<QUserCanMsg> out;
        for (const auto &e : rig.sent.copy()) {
            if (e.devId == devId)
                out.append(e.msg);
        }
        return out;
    }
};

#define REQUIRE_SIM(rig, ...)                                                                \
    do {                                                                                     \
        if (!kemusbBuilt())                                                                  \
            GTEST_SKIP() << "libkemusb.so not built";                                        \
        ASSERT_TRUE((rig).open(__VA_ARGS__)) << "simulated TRNA702 did not open";            \
    } while (0)

} // namespace

// ---- load ----------------------------------------------------------------------

TEST_F(PlayBackWork, LoadsTraceFilesIntoTheCache)
{
    struct Case {
        const char *name;
        int frames; // -1: do not write the file
        int expected;
    };
    const Case cases[] = {
        {"empty.asc", 0, 0},    {"fifteen.asc", 15, 15}, {"sixteen.asc", 16, 16}, {"seventeen.blf", 17, 17},
        {"forty.blf", 40, 40},  {"missing.asc", -1, 0},  {"notrace.txt", 5, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = QDir::current().absoluteFilePath(c.name);
        if (c.frames >= 0) {
            if (path.endsWith(".txt"))
                ASSERT_TRUE(tracetest::writeAll(path, "0.000 1 100 Rx d 1 00\n"));
            else
                ASSERT_TRUE(writeTrace(path, c.frames));
        }
        WorkerRig w;
        w.p.filePath = path;
        w.p.cachePath = cachePath();
        w.p.recordCount = 99;
        tracetest::LogCapture log;
        ASSERT_TRUE(w.run(QUserPlayBackParam::ReqLoad));
        EXPECT_EQ(w.p.recordCount, c.expected);
        EXPECT_TRUE(log.contains(QStringLiteral("QPlayBackWork > File<%1> ItemSize:%2").arg(path).arg(c.expected)));

        QFClassUserCanMsg cache;
        ASSERT_TRUE(cache.open(true, cachePath()));
        ASSERT_EQ(cache.getMsgCount(), uint32_t(c.expected));
        for (int i = 0; i < c.expected; ++i) {
            QUserCanMsg m;
            ASSERT_TRUE(cache.readMsg(uint32_t(i), &m)) << i;
            const QUserCanMsg want = classicFrame(i);
            EXPECT_EQ(m.getId(), want.getId()) << i;
            EXPECT_EQ(m.extended, want.extended) << i;
            EXPECT_EQ(m.lenText, want.lenText) << i;
            EXPECT_EQ(QString(m.dataText).remove(' ').toUpper(), want.dataText) << i;
        }
    }
}

// A stop request ends the conversion after the batch in hand; what was
// converted is kept and counted like a whole load.
TEST_F(PlayBackWork, StopDuringLoadKeepsWholeBatches)
{
    const QString path = QDir::current().absoluteFilePath("big.blf");
    ASSERT_TRUE(writeTrace(path, 60000));
    WorkerRig w;
    w.p.filePath = path;
    w.p.cachePath = cachePath();
    w.start(QUserPlayBackParam::ReqLoad);
    w.work.reqStop();
    ASSERT_TRUE(waitUntil([&] { return w.ends == 1; }));
    EXPECT_LT(w.p.recordCount, 60000);
    EXPECT_EQ(w.p.recordCount % 16, 0);
    QFClassUserCanMsg cache;
    ASSERT_TRUE(cache.open(true, cachePath()));
    EXPECT_EQ(int64_t(cache.getMsgCount()), w.p.recordCount);
}

// ---- pacing and progress, without a device ------------------------------------------

// Ten records, step 1: one percent value per step, 10 to 100. Twelve
// records, step 5: the progress is worked out every fifth step only, which
// a three-step send never reaches; the end of the pass still shows 100.
TEST_F(PlayBackWork, SendProgressFollowsTheSteps)
{
    struct Case {
        int records;
        int step;
        QVector<int> progress;
        int64_t steps;
    };
    const Case cases[] = {
        {10, 1, {10, 20, 30, 40, 50, 60, 70, 80, 90, 100}, 10},
        {12, 5, {100}, 3},
        {64, 32, {100}, 2},
        {7, 2, {57, 100}, 4},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.records << " records, step " << c.step);
        ASSERT_TRUE(QDir().mkpath("cache"));
        ASSERT_TRUE(writeCache(cachePath(), c.records));
        WorkerRig w;
        w.p.cachePath = cachePath();
        w.p.recordCount = c.records;
        w.p.step = c.step;
        w.p.interval = 1;
        w.p.devId = "NONE-0-0"; // no device: every step sends nothing
        ASSERT_TRUE(w.run(QUserPlayBackParam::ReqSend));
        QCoreApplication::processEvents();
        EXPECT_EQ(w.p.result, QUserPlayBackParam::ResultDone);
        EXPECT_EQ(w.lastValue, QUserPlayBackParam::ResultDone);
        EXPECT_EQ(w.p.stepsSent, c.steps);
        EXPECT_EQ(w.p.nextIndex, c.records);
        EXPECT_EQ(w.progress, c.progress);
    }
}

// Percent arithmetic over counts of a cache far past 2^31 bytes (6.7
// million records of 320 bytes) and past 2^31 / 100 records, where an index
// times 100 no longer fits 32 bits.
TEST_F(PlayBackWork, SendPercentHoldsForCachesPast32Bits)
{
    struct Case {
        int64_t index;
        int64_t count;
        int percent;
    };
    const Case cases[] = {
        {0, 0, 0},
        {5, 0, 0},
        {1, 3, 33},
        {3, 3, 100},
        {6710887, 6710888, 99},
        {21474837, 42949674, 50},
        {30000000, 40000000, 75},
        {3000000000LL, 4000000000LL, 75},
        {4000000000LL, 4000000000LL, 100},
    };
    for (const Case &c : cases)
        EXPECT_EQ(QPlayBackWork::sendPercent(c.index, c.count), c.percent) << c.index << "/" << c.count;
}

// A device id without a device: with auto stop the send ends after its
// first step with -1; without, every step counts as done and the send runs
// through the cache. A cache that cannot be opened fails the send.
TEST_F(PlayBackWork, AutoStopAndMissingCache)
{
    ASSERT_TRUE(QDir().mkpath("cache"));
    ASSERT_TRUE(writeCache(cachePath(), 9));
    {
        WorkerRig w;
        w.p.cachePath = cachePath();
        w.p.recordCount = 9;
        w.p.step = 2;
        w.p.interval = 1;
        w.p.devId = "NONE-0-0";
        w.p.autoStop = true;
        ASSERT_TRUE(w.run(QUserPlayBackParam::ReqSend));
        EXPECT_EQ(w.p.result, QUserPlayBackParam::ResultNothingSent);
        EXPECT_EQ(w.p.stepsSent, 0);
        EXPECT_EQ(w.p.nextIndex, 2);

        w.p.autoStop = false;
        ASSERT_TRUE(w.run(QUserPlayBackParam::ReqSend));
        EXPECT_EQ(w.p.result, QUserPlayBackParam::ResultDone);
        EXPECT_EQ(w.p.stepsSent, 5);
    }
    {
        WorkerRig w;
        w.p.cachePath = QDir::current().absoluteFilePath("cache/none.dat");
        w.p.recordCount = 9;
        w.p.interval = 1;
        ASSERT_TRUE(w.run(QUserPlayBackParam::ReqSend));
        EXPECT_EQ(w.p.result, QUserPlayBackParam::ResultNoCache);
    }
}

// A record that cannot be read is skipped and counted; the records after it
// are still sent. (It used to end the send there, reported as complete.)
TEST_F(PlayBackWork, UnreadableRecordsAreSkippedAndCounted)
{
    SimRig rig;
    REQUIRE_SIM(rig);
    ASSERT_TRUE(QDir().mkpath("cache"));
    ASSERT_TRUE(writeCache(cachePath(), 12));
    ASSERT_TRUE(spoilRecord(cachePath(), 4));
    ASSERT_TRUE(spoilRecord(cachePath(), 11));
    WorkerRig w;
    w.p.cachePath = cachePath();
    w.p.recordCount = 12;
    w.p.step = 2; // the last step finds only the unreadable record 11
    w.p.interval = 1;
    w.p.devId = SimRig::tx();
    w.p.devAdapter = &rig.reg;
    ASSERT_TRUE(w.run(QUserPlayBackParam::ReqSend));
    EXPECT_EQ(w.p.result, QUserPlayBackParam::ResultDone);
    EXPECT_EQ(w.p.skippedCount, 2);
    QVector<int> want;
    for (int i = 0; i < 11; ++i) {
        if (i != 4)
            want.append(classicFrame(i).getId());
    }
    ASSERT_TRUE(waitUntil([&] { return rig.received(SimRig::rx()).size() >= want.size(); }));
    QVector<int> got;
    for (const QUserCanMsg &m : rig.received(SimRig::rx()))
        got.append(m.getId());
    EXPECT_EQ(got, want);

    // In a cycle, an unreadable last record does not end the send: the next
    // pass starts over at record 0.
    w.p.cycle = true;
    w.start(QUserPlayBackParam::ReqSend);
    ASSERT_TRUE(waitUntil([&] { return sentOn(rig, SimRig::tx()).size() >= 10 + 25; }));
    w.work.reqStop();
    ASSERT_TRUE(waitUntil([&] { return w.ends == 2; }));
    EXPECT_EQ(w.p.result, QUserPlayBackParam::ResultStopped);
    const QVector<QUserCanMsg> sent = sentOn(rig, SimRig::tx());
    for (int i = 0; i < sent.size(); ++i)
        ASSERT_EQ(sent[i].getId(), want[i % want.size()]) << i;
}

// ---- replay onto a simulated channel ------------------------------------------------

// Twelve records, step 5, interval 100 ms: steps of 5, 5 and 2 frames leave
// at about 100, 200 and 300 ms; the send then ends with result 0. What
// arrives on the far channel is the trace, in order; the sent side carries
// the playback tag.
TEST_F(PlayBackWork, PacedStepsArriveInOrderOnTheFarChannel)
{
    SimRig rig;
    REQUIRE_SIM(rig);
    const QString trace = QDir::current().absoluteFilePath("twelve.asc");
    ASSERT_TRUE(writeTrace(trace, 12));
    WorkerRig w;
    w.p.filePath = trace;
    w.p.cachePath = cachePath();
    ASSERT_TRUE(w.run(QUserPlayBackParam::ReqLoad));
    ASSERT_EQ(w.p.recordCount, 12);

    w.p.step = 5;
    w.p.interval = 100;
    w.p.devId = SimRig::tx();
    w.p.devAdapter = &rig.reg;
    w.progress.clear();
    ASSERT_TRUE(w.run(QUserPlayBackParam::ReqSend));
    EXPECT_EQ(w.p.result, QUserPlayBackParam::ResultDone);
    EXPECT_EQ(w.p.stepsSent, 3);
    EXPECT_EQ(w.p.skippedCount, 0);

    // Batches by their send time.
    const QVector<QUserCanMsg> sent = sentOn(rig, SimRig::tx());
    ASSERT_EQ(sent.size(), 12);
    QVector<int> sizes;
    QVector<int64_t> offsets;
    for (int i = 0; i < sent.size(); ++i) {
        EXPECT_EQ(sent[i].status, MsgTagPlayBack) << i;
        EXPECT_EQ(sent[i].sendType, 0) << i;
        EXPECT_EQ(sent[i].sendFailed, 0) << i;
        EXPECT_EQ(sent[i].direction, 1) << i;
        const int64_t at = sent[i].hostTime - w.p.startTime;
        if (offsets.isEmpty() || at - offsets.last() > 30) {
            offsets.append(at);
            sizes.append(0);
        }
        ++sizes.last();
    }
    EXPECT_EQ(sizes, QVector<int>({5, 5, 2}));
    ASSERT_EQ(offsets.size(), 3);
    for (int k = 0; k < 3; ++k) {
        // Never early; late by at most a loaded machine's scheduling delay.
        EXPECT_GE(offsets[k], 100 * (k + 1)) << k;
        EXPECT_LT(offsets[k], 100 * (k + 1) + 60) << k;
    }

    ASSERT_TRUE(waitUntil([&] { return rig.received(SimRig::rx()).size() >= 12; }));
    const QVector<QUserCanMsg> got = rig.received(SimRig::rx());
    ASSERT_EQ(got.size(), 12);
    for (int i = 0; i < 12; ++i) {
        const QUserCanMsg want = classicFrame(i);
        EXPECT_EQ(got[i].getId(), want.getId()) << i;
        EXPECT_EQ(got[i].extended, want.extended) << i;
        EXPECT_EQ(got[i].remote, 0) << i;
        EXPECT_EQ(got[i].lenText, want.lenText) << i;
        EXPECT_EQ(got[i].dataText, want.dataText) << i;
        EXPECT_EQ(got[i].direction, 0) << i;
        EXPECT_EQ(got[i].channel, 1) << i;
    }
    // The registry relays the transmitted frames with their tag as well.
    ASSERT_TRUE(waitUntil([&] { return rig.collector.resultsWith(SimRig::tx(), MsgTagPlayBack) == 12; }));
}

// Cycle: after the last record the next step starts again at record 0, one
// interval after the previous one; only the stop ends it.
TEST_F(PlayBackWork, CycleStartsOverUntilStopped)
{
    SimRig rig;
    REQUIRE_SIM(rig);
    ASSERT_TRUE(QDir().mkpath("cache"));
    ASSERT_TRUE(writeCache(cachePath(), 3));
    WorkerRig w;
    w.p.cachePath = cachePath();
    w.p.recordCount = 3;
    w.p.step = 2;
    w.p.interval = 20;
    w.p.cycle = true;
    w.p.devId = SimRig::tx();
    w.p.devAdapter = &rig.reg;
    w.start(QUserPlayBackParam::ReqSend);
    ASSERT_TRUE(waitUntil([&] { return rig.sent.size() >= 12; }));
    w.work.reqStop();
    ASSERT_TRUE(waitUntil([&] { return w.ends == 1; }));
    EXPECT_EQ(w.p.result, QUserPlayBackParam::ResultStopped);

    const QVector<QUserCanMsg> sent = sentOn(rig, SimRig::tx());
    ASSERT_GE(sent.size(), 12);
    // Steps of 2, 1, 2, 1, ...: records 0 1 | 2 | 0 1 | 2 ...
    for (int i = 0; i < sent.size(); ++i)
        EXPECT_EQ(sent[i].getId(), classicFrame(i % 3).getId()) << i;
    // The steps keep the pace across the start of a pass.
    for (int i = 0; i < sent.size(); ++i) {
        const int stepIndex = (i / 3) * 2 + (i % 3 == 2 ? 1 : 0);
        const int64_t at = sent[i].hostTime - w.p.startTime;
        EXPECT_GE(at, 20 * (stepIndex + 1)) << i;
    }
    // Nothing leaves after the end notice.
    const int n = rig.sent.size();
    QThread::msleep(100);
    EXPECT_EQ(rig.sent.size(), n);
}

// A stop request in the middle ends the send within one pass of the loop,
// without a further step.
TEST_F(PlayBackWork, StopInTheMiddleEndsAtOnce)
{
    SimRig rig;
    REQUIRE_SIM(rig);
    ASSERT_TRUE(QDir().mkpath("cache"));
    ASSERT_TRUE(writeCache(cachePath(), 500));
    WorkerRig w;
    w.p.cachePath = cachePath();
    w.p.recordCount = 500;
    w.p.step = 1;
    w.p.interval = 5;
    w.p.devId = SimRig::tx();
    w.p.devAdapter = &rig.reg;
    w.start(QUserPlayBackParam::ReqSend);
    ASSERT_TRUE(waitUntil([&] { return rig.sent.size() >= 20; }));
    w.work.reqStop();
    const int64_t stopAt = getCurrentMs();
    ASSERT_TRUE(waitUntil([&] { return w.ends == 1; }));
    EXPECT_EQ(w.p.result, QUserPlayBackParam::ResultStopped);
    EXPECT_LT(w.p.nextIndex, 500);
    const QVector<SentLog::Entry> sent = rig.sent.copy();
    EXPECT_EQ(int64_t(sent.size()), w.p.nextIndex);
    // At most the step already under way when the stop came leaves after it.
    int late = 0;
    for (const auto &e : sent)
        late += e.atMs > stopAt + 1;
    EXPECT_LE(late, 1);
    QThread::msleep(50);
    EXPECT_EQ(rig.sent.size(), sent.size());
}

// CAN FD frames keep their bit-rate switch on the bus: the trace readers
// give it as protocol 2 only, and the device sends it from the CAN FD flag
// byte, which the replay sets from the protocol.
TEST_F(PlayBackWork, BitRateSwitchKeptOnReplay)
{
    SimRig rig;
    REQUIRE_SIM(rig, true);
    ASSERT_TRUE(QDir().mkpath("cache"));
    {
        QFClassUserCanMsg c;
        ASSERT_TRUE(c.open(false, cachePath()));
        for (int i = 0; i < 6; ++i) {
            QUserCanMsg m = classicFrame(i);
            m.protocol = uint8_t(1 + i % 2);
            m.fdFlags = 0;
            m.lenText = "12";
            m.dataText = "0102030405060708090A0B0C";
            ASSERT_TRUE(c.appendMsg(m));
        }
    }
    WorkerRig w;
    w.p.cachePath = cachePath();
    w.p.recordCount = 6;
    w.p.step = 6;
    w.p.interval = 1;
    w.p.devId = SimRig::tx();
    w.p.devAdapter = &rig.reg;
    ASSERT_TRUE(w.run(QUserPlayBackParam::ReqSend));
    ASSERT_TRUE(waitUntil([&] { return rig.received(SimRig::rx()).size() >= 6; }));
    const QVector<QUserCanMsg> got = rig.received(SimRig::rx());
    ASSERT_EQ(got.size(), 6);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(got[i].getId(), classicFrame(i).getId()) << i;
        EXPECT_EQ(got[i].protocol, 1 + i % 2) << i;
        EXPECT_EQ(got[i].dataText, "0102030405060708090A0B0C") << i;
    }
}

// python-can's ASC and BLF files of 100,000 frames (classic, extended,
// remote and CAN FD with and without bit-rate switch) are loaded and
// replayed at step 32 every millisecond: every frame arrives on the far
// channel, classic and CAN FD frames each in the order of the file.
TEST_F(PlayBackWork, PythonCanFilesReplayedWhole)
{
    REQUIRE_PEER_MODULES("can");
    SimRig rig;
    REQUIRE_SIM(rig, true);
    constexpr int kFrames = 100000;
    for (const char *name : {"peer.asc", "peer.blf"}) {
        SCOPED_TRACE(name);
        const QString path = QDir::current().absoluteFilePath(name);
        const peer::Result r =
            peer::run(peer::script("traffic_playback.py"), {path.toStdString(), std::to_string(kFrames)});
        ASSERT_EQ(r.exitCode, 0) << r.output;

        WorkerRig w;
        w.p.filePath = path;
        w.p.cachePath = cachePath();
        ASSERT_TRUE(w.run(QUserPlayBackParam::ReqLoad, 60000));
        ASSERT_EQ(w.p.recordCount, kFrames);

        rig.collector.batches.clear();
        w.p.step = 32;
        w.p.interval = 1;
        w.p.autoStop = true;
        w.p.devId = SimRig::tx();
        w.p.devAdapter = &rig.reg;
        ASSERT_TRUE(w.run(QUserPlayBackParam::ReqSend, 120000));
        EXPECT_EQ(w.p.result, QUserPlayBackParam::ResultDone);
        EXPECT_EQ(w.p.skippedCount, 0);
        ASSERT_TRUE(waitUntil([&] { return rig.received(SimRig::rx()).size() >= kFrames; }))
            << rig.received(SimRig::rx()).size();

        // A CAN FD adapter hands received classic and CAN FD frames over in
        // separate lists, so each kind is compared in its own order.
        QVector<PeerFrame> wantClassic, wantFd, gotClassic, gotFd;
        for (int i = 0; i < kFrames; ++i) {
            const PeerFrame f = peerFrame(i);
            (f.fd ? wantFd : wantClassic).append(f);
        }
        for (const QUserCanMsg &m : rig.received(SimRig::rx())) {
            const PeerFrame f = fromMsg(m);
            (f.fd ? gotFd : gotClassic).append(f);
        }
        ASSERT_EQ(gotClassic.size(), wantClassic.size());
        ASSERT_EQ(gotFd.size(), wantFd.size());
        int mismatches = 0;
        for (int i = 0; i < wantClassic.size() && mismatches < 5; ++i) {
            if (!(gotClassic[i] == wantClassic[i])) {
                ++mismatches;
                ADD_FAILURE() << "classic " << i << ": " << gotClassic[i] << " != " << wantClassic[i];
            }
        }
        for (int i = 0; i < wantFd.size() && mismatches < 5; ++i) {
            if (!(gotFd[i] == wantFd[i])) {
                ++mismatches;
                ADD_FAILURE() << "fd " << i << ": " << gotFd[i] << " != " << wantFd[i];
            }
        }
    }
}

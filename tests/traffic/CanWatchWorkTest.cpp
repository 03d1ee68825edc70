// The trace viewer's worker on python-can traces (ASC and BLF, classic and
// 64-byte CAN FD frames on three channels, both directions): what a load puts
// into the two caches, each filter rule, the saved result as python-can
// reads it back, progress, stopping, and what happens to records that cannot
// be read and to records past 2^31 bytes into a cache.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "tests/traffic/CanWatchSupport.h"
#include "tests/traffic/OtherToolsFixtures.h"
#include "tests/support/TempWorkDir.h"
#include "tests/traffic/TraceSupport.h"
#include "traffic/QUserTraceFile.h"

using namespace watchtest;

namespace {

class CanWatchWork : public WorkDirTest
{
};

QString here(const QString &name) { return QDir::current().absoluteFilePath(name); }

// The cache records of frames as the trace front end reads them.
QByteArray recordsOf(const QList<QUserCanMsg> &frames)
{
    QByteArray out;
    for (const QUserCanMsg &m : frames)
        out += QFClassUserCanMsg::msgToLine(m).toLatin1();
    return out;
}

QList<QUserCanMsg> readThroughFrontEnd(const QString &path)
{
    QUserTraceFile t;
    QList<QUserCanMsg> frames;
    int n;
    do {
        n = t.fileReadPart(path, frames, 16);
    } while (n >= 16);
    t.close();
    return frames;
}

// The records of a cache file after its header.
QByteArray recordBytes(const QString &path)
{
    QByteArray all = tracetest::readAll(path);
    return all.mid(QFClassUserCanMsg::RecordSize);
}

} // namespace

// ---- load ----------------------------------------------------------------------

// Frame counts around the batch of 16 in both formats: the source cache holds
// the file's frames in order with channel and direction, the filtered cache
// is the same, and the log line gives the count. Fewer than 16 frames load in
// one read without a progress value.
TEST_F(CanWatchWork, LoadPutsEveryFrameIntoBothCaches)
{
    REQUIRE_PEER_MODULES("can");
    const struct {
        const char *name;
        int count;
    } cases[] = {{"a0.asc", 0}, {"a15.asc", 15}, {"a16.asc", 16}, {"a1000.asc", 1000},
                 {"b0.blf", 0}, {"b16.blf", 16}, {"b17.blf", 17}, {"b1000.blf", 1000}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = here(QString::fromLatin1(c.name));
        std::string out;
        ASSERT_TRUE(writePeerTrace(path, c.count, &out)) << out;
        WatchRig rig;
        tracetest::LogCapture log;
        ASSERT_TRUE(rig.load(path));
        EXPECT_EQ(rig.req.result, QUserCanWatchReq::ResultDone);
        EXPECT_EQ(rig.req.recordCount, c.count);
        EXPECT_FALSE(rig.req.stopped);
        EXPECT_EQ(rig.work.finished.load(), 1);
        QVector<QUserCanMsg> frames;
        ASSERT_TRUE(cacheFrames(rig.req.srcCachePath, &frames));
        ASSERT_EQ(frames.size(), c.count);
        for (int i = 0; i < c.count; ++i)
            ASSERT_EQ(fromMsg(frames[i]), watchFrame(i)) << "frame " << i;
        // Times in ms since the first frame (python-can's BLF writer may
        // round a time down by one).
        if (c.count > 100) {
            EXPECT_EQ(frames[0].hostTime, 0);
            EXPECT_NEAR(double(frames[100].hostTime), 100.0, 1.0);
        }
        EXPECT_EQ(tracetest::readAll(rig.req.cachePath), tracetest::readAll(rig.req.srcCachePath));
        EXPECT_TRUE(log.contains(QStringLiteral("QUserCanWatchWork > File<%1> ItemSize:%2").arg(path).arg(c.count)));
        if (c.count < 16) {
            EXPECT_TRUE(rig.progress.isEmpty());
        }
    }
}

// BLF files load through binary frames; the records they give are byte for
// byte those of the frames the trace front end reads, for our own files, for
// python-can's and for the object kinds of other tools.
TEST_F(CanWatchWork, BlfLoadMatchesTheFrontEndsFrames)
{
    REQUIRE_PEER_MODULES("can");
    QStringList files;
    ASSERT_TRUE(writePeerTrace(here("peer.blf"), 500));
    files << here("peer.blf");
    {
        QUserTraceFile w;
        ASSERT_TRUE(w.fileCreate(here("own.blf")));
        for (int i = 0; i < 300; ++i)
            ASSERT_TRUE(w.write(toMsg(watchFrame(i), 1700000000000 + i * 3)));
        ASSERT_TRUE(w.close());
        files << here("own.blf");
    }
    for (othertools::Fixture &f : othertools::blfFixtures()) {
        const QString path = here(QString::fromStdString(f.name));
        ASSERT_TRUE(craft::writeFile(path.toStdString(), f.blf(true)));
        files << path;
    }
    for (const QString &path : files) {
        SCOPED_TRACE(path.toStdString());
        const QList<QUserCanMsg> expected = readThroughFrontEnd(path);
        ASSERT_FALSE(expected.isEmpty());
        WatchRig rig;
        ASSERT_TRUE(rig.load(path));
        EXPECT_EQ(rig.req.recordCount, expected.size());
        EXPECT_EQ(recordBytes(rig.req.srcCachePath), recordsOf(expected));
    }
}

// Files the front end cannot read load as no frame; the caches are made all
// the same, so that the table shows no row.
TEST_F(CanWatchWork, UnreadableFilesLoadAsNoFrame)
{
    ASSERT_TRUE(tracetest::writeAll("notes.txt", "hello"));
    ASSERT_TRUE(tracetest::writeAll("broken.blf", "LOGGxxxx"));
    for (const QString &name : {QStringLiteral("notes.txt"), QStringLiteral("missing.asc"),
                                QStringLiteral("missing.blf"), QStringLiteral("broken.blf")}) {
        SCOPED_TRACE(name.toStdString());
        WatchRig rig;
        ASSERT_TRUE(rig.load(here(name)));
        EXPECT_EQ(rig.req.result, QUserCanWatchReq::ResultDone);
        EXPECT_EQ(rig.req.recordCount, 0);
        QFClassUserCanMsg c;
        ASSERT_TRUE(c.open(true, rig.req.cachePath));
        EXPECT_EQ(c.getMsgCount(), 0u);
    }
}

// A load stopped on the flag keeps what it read: both caches hold the same
// first frames of the file, a whole number of batches of 16.
TEST_F(CanWatchWork, StoppedLoadKeepsTheFramesReadSoFar)
{
    const QString path = here("big.asc");
    const int total = 400000;
    {
        QUserTraceFile w;
        ASSERT_TRUE(w.fileCreate(path));
        for (int i = 0; i < total; ++i)
            ASSERT_TRUE(w.write(toMsg(watchFrame(i), i)));
        ASSERT_TRUE(w.close());
    }
    WatchRig rig;
    rig.req.path = path;
    rig.req.reqType = QUserCanWatchReq::ReqLoad;
    rig.work.reqRun(QUserCanWatchReq::ReqLoad, &rig.req);
    // Stop once the first block of records has reached the source cache.
    ASSERT_TRUE(waitUntil([&] { return QFileInfo(rig.req.srcCachePath).size() > 4 * QFClassUserCanMsg::RecordSize; },
                          60000));
    rig.work.reqStop();
    ASSERT_TRUE(waitUntil([&] { return rig.ends == 1; }, 60000));
    EXPECT_TRUE(rig.req.stopped);
    const int64_t got = rig.req.recordCount;
    EXPECT_GT(got, 0);
    EXPECT_LT(got, total);
    EXPECT_EQ(got % 16, 0);
    QVector<QUserCanMsg> src;
    ASSERT_TRUE(cacheFrames(rig.req.srcCachePath, &src));
    ASSERT_EQ(src.size(), got);
    EXPECT_EQ(fromMsg(src.first()), watchFrame(0));
    EXPECT_EQ(fromMsg(src.last()), watchFrame(int(got - 1)));
    EXPECT_EQ(tracetest::readAll(rig.req.cachePath), tracetest::readAll(rig.req.srcCachePath));
}

// ---- filter --------------------------------------------------------------------

// Each rule alone and together over a python-can trace: the filtered cache
// holds, in order, exactly the frames the rule keeps. The source cache stays
// as the load left it (the filtered cache is a file of its own from then on).
TEST_F(CanWatchWork, EachFilterRule)
{
    REQUIRE_PEER_MODULES("can");
    const int total = 2000;
    const QString path = here("rules.blf");
    ASSERT_TRUE(writePeerTrace(path, total));
    WatchRig rig;
    ASSERT_TRUE(rig.load(path));
    ASSERT_EQ(rig.req.recordCount, total);
    const QByteArray source = tracetest::readAll(rig.req.srcCachePath);

    struct Case {
        const char *what;
        bool tx, remote, range;
        uint32_t start, stop;
    } cases[] = {
        {"everything", true, true, false, 0, 0},
        {"no transmitted frames", false, true, false, 0, 0},
        {"no remote frames", true, false, false, 0, 0},
        {"received data frames only", false, false, false, 0, 0},
        {"standard identifiers 0x100..0x3FF", true, true, true, 0x100, 0x3FF},
        {"extended identifiers only", true, true, true, 0x800, 0x1FFFFFFF},
        {"one identifier", true, true, true, 0x1000000 + 13 * 1000, 0x1000000 + 13 * 1000},
        {"start above stop", true, true, true, 0x400, 0x100},
        {"range and flags", false, false, true, 0x0, 0x7FF},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(rig.fliter(c.tx, c.remote, c.range, c.start, c.stop));
        EXPECT_EQ(rig.req.result, QUserCanWatchReq::ResultDone);
        EXPECT_EQ(rig.req.skippedCount, 0);
        QVector<WatchFrame> expected;
        for (int i = 0; i < total; ++i) {
            const WatchFrame f = watchFrame(i);
            if ((!c.tx && f.tx) || (!c.remote && f.rtr))
                continue;
            if (c.range && (f.id < c.start || f.id > c.stop))
                continue;
            expected.append(f);
        }
        QVector<QUserCanMsg> got;
        ASSERT_TRUE(cacheFrames(rig.req.cachePath, &got));
        EXPECT_EQ(rig.req.recordCount, expected.size());
        ASSERT_EQ(got.size(), expected.size());
        for (int i = 0; i < got.size(); ++i)
            ASSERT_EQ(fromMsg(got[i]), expected[i]) << "kept frame " << i;
        EXPECT_EQ(tracetest::readAll(rig.req.srcCachePath), source);
    }
}

// The rules on a small source of hand-made frames: one identifier taken as
// standard and as extended, a frame both transmitted and remote, the range
// bounds themselves, and identifier texts that are no number (read as 0).
TEST_F(CanWatchWork, FilterRuleEdges)
{
    WatchRig rig;
    QDir().mkpath("cache");
    auto frame = [](const char *id, bool ext, bool remote, bool tx) {
        QUserCanMsg m = tracetest::frame(QString::fromLatin1(id), ext, remote, 0, "0", "", tx ? 1 : 0, 0, 0);
        return m;
    };
    const QVector<QUserCanMsg> src = {
        frame("00000123", false, false, false), // 0 standard 0x123
        frame("00000123", true, false, false),  // 1 extended 0x123
        frame("00000124", false, true, true),   // 2 transmitted remote
        frame("00000122", false, false, true),  // 3 transmitted
        frame("00000200", false, true, false),  // 4 remote
        frame("zz", false, false, false),       // 5 no number: identifier 0
        frame("1FFFFFFFF", true, false, false), // 6 beyond 32 bits: identifier 0
    };
    ASSERT_TRUE(writeCache(rig.req.srcCachePath, src));
    struct Case {
        const char *what;
        bool tx, remote, range;
        uint32_t start, stop;
        QVector<int> kept;
    } cases[] = {
        {"all", true, true, false, 0, 0, {0, 1, 2, 3, 4, 5, 6}},
        {"exactly 0x123, either type", true, true, true, 0x123, 0x123, {0, 1}},
        {"bounds belong to the range", true, true, true, 0x122, 0x124, {0, 1, 2, 3}},
        {"transmitted remote dropped without tx", false, true, false, 0, 0, {0, 1, 4, 5, 6}},
        {"transmitted remote dropped without remote", true, false, false, 0, 0, {0, 1, 3, 5, 6}},
        {"only identifier 0", true, true, true, 0, 0, {5, 6}},
        {"the defaults of a new window", false, false, false, 0, 0, {0, 1, 5, 6}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(rig.fliter(c.tx, c.remote, c.range, c.start, c.stop));
        QVector<QUserCanMsg> got;
        ASSERT_TRUE(cacheFrames(rig.req.cachePath, &got));
        ASSERT_EQ(got.size(), c.kept.size());
        for (int k = 0; k < got.size(); ++k) {
            const QUserCanMsg &want = src[c.kept[k]];
            EXPECT_EQ(got[k].idText, want.idText.trimmed());
            EXPECT_EQ(got[k].extended, want.extended);
            EXPECT_EQ(got[k].remote, want.remote);
            EXPECT_EQ(got[k].direction, want.direction);
        }
    }
}

TEST_F(CanWatchWork, IdentifierTextsReadAsHex)
{
    const struct {
        const char *text;
        uint32_t value;
    } cases[] = {{"00000123", 0x123}, {" 1ABCDEF0 ", 0x1ABCDEF0}, {"0x7ff", 0x7FF}, {"ffffffff", 0xFFFFFFFF},
                 {"100000000", 0},    {"", 0},                   {"12 34", 0},    {"-1", 0},
                 {"0x", 0},           {"g", 0}};
    for (const auto &c : cases)
        EXPECT_EQ(QUserCanWatchWork::idValueOf(QString::fromLatin1(c.text)), c.value) << c.text;
}

// A filter without a source cache writes an empty filtered cache.
TEST_F(CanWatchWork, FilterWithoutSourceGivesAnEmptyTable)
{
    WatchRig rig;
    ASSERT_TRUE(rig.fliter(true, true));
    EXPECT_EQ(rig.req.result, QUserCanWatchReq::ResultDone);
    EXPECT_EQ(rig.req.recordCount, 0);
    QFClassUserCanMsg c;
    ASSERT_TRUE(c.open(true, rig.req.cachePath));
    EXPECT_EQ(c.getMsgCount(), 0u);
    EXPECT_TRUE(rig.progress.isEmpty());
}

// Filter and save report progress every 10,000 records (save from record 0).
TEST_F(CanWatchWork, ProgressEveryTenThousandRecords)
{
    WatchRig rig;
    QVector<QUserCanMsg> src;
    for (int i = 0; i < 25000; ++i)
        src.append(toMsg(watchFrame(i % 100), i));
    ASSERT_TRUE(writeCache(rig.req.srcCachePath, src));
    ASSERT_TRUE(rig.fliter(true, true));
    EXPECT_EQ(rig.progress, (QVector<int>{40, 80}));
    ASSERT_TRUE(rig.save(here("p.asc")));
    EXPECT_EQ(rig.progress, (QVector<int>{0, 40, 80}));
    EXPECT_EQ(rig.req.recordCount, 25000);
}

TEST_F(CanWatchWork, PercentsIn64Bits)
{
    EXPECT_EQ(QUserCanWatchWork::percentOf(0, 0), 0);
    EXPECT_EQ(QUserCanWatchWork::percentOf(5, 0), 0);
    EXPECT_EQ(QUserCanWatchWork::percentOf(10000, 25000), 40);
    EXPECT_EQ(QUserCanWatchWork::percentOf(25000, 25000), 100);
    // Past 2^31 / 100 records a 32-bit product goes negative.
    EXPECT_EQ(QUserCanWatchWork::percentOf(30000000, 40000000), 75);
    EXPECT_EQ(QUserCanWatchWork::percentOf(int64_t(3) << 32, int64_t(4) << 32), 75);
}

// ---- save ------------------------------------------------------------------------

// Filtered frames saved as ASC and as BLF read back through python-can equal
// to the frames the filter kept, channel and direction included.
TEST_F(CanWatchWork, SavedResultReadsBackInPythonCan)
{
    REQUIRE_PEER_MODULES("can");
    const int total = 1500;
    for (const char *src : {"src.asc", "src.blf"}) {
        SCOPED_TRACE(src);
        ASSERT_TRUE(writePeerTrace(here(src), total));
        WatchRig rig;
        ASSERT_TRUE(rig.load(here(src)));
        ASSERT_TRUE(rig.fliter(true, false, true, 0x100, 0x1FFFFFFF));
        QVector<WatchFrame> expected;
        for (int i = 0; i < total; ++i) {
            const WatchFrame f = watchFrame(i);
            if (!f.rtr && f.id >= 0x100)
                expected.append(f);
        }
        ASSERT_EQ(rig.req.recordCount, expected.size());
        for (const char *out : {"out.asc", "out.blf"}) {
            SCOPED_TRACE(out);
            ASSERT_TRUE(rig.save(here(out)));
            EXPECT_EQ(rig.req.result, QUserCanWatchReq::ResultDone);
            EXPECT_EQ(rig.req.recordCount, expected.size());
            QVector<WatchFrame> back;
            std::string log;
            ASSERT_TRUE(readPeerTrace(here(out), &back, &log)) << log;
            // python-can's ASC reader takes a CAN FD line without data bytes
            // for a remote frame (it writes them so itself); CAN FD has none.
            for (WatchFrame &f : back) {
                if (f.fd && f.data.isEmpty())
                    f.rtr = false;
            }
            ASSERT_EQ(back.size(), expected.size());
            for (int i = 0; i < back.size(); ++i)
                ASSERT_EQ(back[i], expected[i]) << "frame " << i;
        }
    }
}

// A name the front end cannot create fails the save at once: nothing is
// read or written and the finished flag stays. A save of an empty filtered
// cache makes a file without frames and reports no progress.
TEST_F(CanWatchWork, SaveEdges)
{
    REQUIRE_PEER_MODULES("can");
    WatchRig rig;
    rig.work.finished.store(0);
    ASSERT_TRUE(rig.save(here("out.txt")));
    EXPECT_EQ(rig.req.result, QUserCanWatchReq::ResultCreateFail);
    EXPECT_EQ(rig.work.finished.load(), 0);
    EXPECT_FALSE(QFile::exists(here("out.txt")));

    ASSERT_TRUE(rig.save(here("no-such-dir/out.blf")));
    EXPECT_EQ(rig.req.result, QUserCanWatchReq::ResultCreateFail);

    ASSERT_TRUE(rig.fliter(true, true)); // no source: an empty filtered cache
    ASSERT_TRUE(rig.save(here("empty.blf")));
    EXPECT_EQ(rig.req.result, QUserCanWatchReq::ResultDone);
    EXPECT_EQ(rig.req.recordCount, 0);
    EXPECT_TRUE(rig.progress.isEmpty());
    EXPECT_EQ(rig.work.finished.load(), 1);
    QVector<WatchFrame> back;
    ASSERT_TRUE(readPeerTrace(here("empty.blf"), &back));
    EXPECT_TRUE(back.isEmpty());
}

// ---- records that cannot be read ---------------------------------------------------

// Filter and save check every cache read: a record that does not read is
// left out and counted, and the frame before it is not written again in
// its place.
TEST_F(CanWatchWork, BadRecordsAreSkippedAndCounted)
{
    WatchRig rig;
    QVector<QUserCanMsg> src;
    for (int i = 0; i < 50; ++i)
        src.append(toMsg(watchFrame(i), i));
    ASSERT_TRUE(writeCache(rig.req.srcCachePath, src));
    for (uint64_t bad : {0u, 7u, 8u, 49u})
        ASSERT_TRUE(spoilRecord(rig.req.srcCachePath, bad));

    ASSERT_TRUE(rig.fliter(true, true));
    EXPECT_EQ(rig.req.skippedCount, 4);
    EXPECT_EQ(rig.req.recordCount, 46);
    QVector<QUserCanMsg> got;
    ASSERT_TRUE(cacheFrames(rig.req.cachePath, &got));
    QVector<WatchFrame> want;
    for (int i = 0; i < 50; ++i)
        if (i != 0 && i != 7 && i != 8 && i != 49)
            want.append(watchFrame(i));
    ASSERT_EQ(got.size(), want.size());
    for (int i = 0; i < got.size(); ++i)
        EXPECT_EQ(fromMsg(got[i]), want[i]) << i;

    // Two more records spoiled in the filtered cache: the saved file lacks
    // exactly those.
    ASSERT_TRUE(spoilRecord(rig.req.cachePath, 0));
    ASSERT_TRUE(spoilRecord(rig.req.cachePath, 10));
    ASSERT_TRUE(rig.save(here("out.asc")));
    EXPECT_EQ(rig.req.skippedCount, 2);
    EXPECT_EQ(rig.req.recordCount, 44);
    const QList<QUserCanMsg> saved = readThroughFrontEnd(here("out.asc"));
    want.removeAt(10);
    want.removeAt(0);
    ASSERT_EQ(saved.size(), want.size());
    for (int i = 0; i < saved.size(); ++i)
        EXPECT_EQ(fromMsg(saved[i]), want[i]) << i;
}

// Records past 2^31 bytes into the source cache (about 6.7 million records
// in) are read, filtered and saved where they are. The cache is a sparse
// file: its records are written near the end, the rest are holes that read
// as records that cannot be read.
TEST_F(CanWatchWork, RecordsPastTwoGigabytes)
{
    WatchRig rig;
    QDir().mkpath("cache");
    const uint64_t count = 6720000; // 2^31 / 320 = 6,710,886.4
    const uint64_t at[] = {6710885, 6710886, 6710887, 6719999};
    {
        QFile f(rig.req.srcCachePath);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        QByteArray header = QByteArray::number(qulonglong(count)) + ",";
        header += QByteArray(QFClassUserCanMsg::RecordTextWidth - header.size(), '0') + "\r\n";
        ASSERT_EQ(f.write(header), QFClassUserCanMsg::RecordSize);
        for (uint64_t i : at) {
            ASSERT_TRUE(f.seek(qint64(QFClassUserCanMsg::recordOffset(i))));
            const QByteArray line = QFClassUserCanMsg::msgToLine(toMsg(watchFrame(int(i % 997)), int64_t(i))).toLatin1();
            ASSERT_EQ(f.write(line), line.size());
        }
    }
    ASSERT_TRUE(rig.fliter(true, true, true, 0, 0x1FFFFFFF));
    EXPECT_EQ(rig.req.result, QUserCanWatchReq::ResultDone);
    EXPECT_EQ(rig.req.recordCount, 4);
    EXPECT_EQ(rig.req.skippedCount, int64_t(count) - 4);
    ASSERT_FALSE(rig.progress.isEmpty());
    EXPECT_EQ(rig.progress.size(), int(count / 10000));
    for (int k = 0; k < rig.progress.size(); ++k)
        ASSERT_EQ(rig.progress[k], int(int64_t(k + 1) * 10000 * 100 / int64_t(count))) << k;
    QVector<QUserCanMsg> got;
    ASSERT_TRUE(cacheFrames(rig.req.cachePath, &got));
    ASSERT_EQ(got.size(), 4);
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(fromMsg(got[k]), watchFrame(int(at[k] % 997))) << k;
        EXPECT_EQ(got[k].hostTime, int64_t(at[k]));
    }
    QFile::remove(rig.req.srcCachePath);
}

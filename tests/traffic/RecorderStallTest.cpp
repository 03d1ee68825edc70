// The recorder on a disk that stalls: the GUI side never waits for it, the
// recording stops at the queue bound and says how many frames are not
// written, the writer finishes the file on its own thread once the disk
// answers again, and the program's exit gives up on a writer that never
// gets an answer.

#include "tests/support/PeerCheck.h"
#include "tests/support/StalledRecordDisk.h"
#include "tests/support/TempWorkDir.h"
#include "tests/traffic/TraceSupport.h"
#include "traffic/QUserRecord.h"
#include "traffic/QUserRecordWriter.h"
#include "traffic/QUserTraceFile.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

const char *kDev = "DEV-0-1";

// Frame seq of a recording: its data bytes are its position.
QUserCanMsg nth(int seq)
{
    return tracetest::frame(QStringLiteral("00000123 "), false, false, 0, QStringLiteral("4"),
                            QString::asprintf("%08X", uint32_t(seq)), 0, 0, 1000 + seq);
}

// The longest any of the GUI side's calls took. The promise is "at once"
// against a disk stalled for good, so the bound is far above the noise of a
// busy machine and far below for ever.
class Longest
{
public:
    template <class F>
    auto operator()(F &&f)
    {
        const auto t0 = std::chrono::steady_clock::now();
        auto r = f();
        m_max = std::max(m_max, std::chrono::steady_clock::now() - t0);
        return r;
    }
    std::chrono::steady_clock::duration max() const { return m_max; }

private:
    std::chrono::steady_clock::duration m_max{};
};
constexpr auto kAtOnce = 1s;

// Frames until the recorder refuses one; the count it took.
int feedUntilRefused(QUserRecord &rec, Longest &timed)
{
    int taken = 0;
    while (taken <= QUserRecord::kMaxPending && timed([&] { return rec.recordWrite(kDev, nth(taken)); }))
        ++taken;
    return taken;
}

// The first frame whose data is not its position (-1: none), and the count.
struct Sequence {
    int count = -1;
    int outOfOrder = -1;
};

Sequence oursRead(const QString &path)
{
    QUserTraceFile t;
    QList<QUserCanMsg> frames;
    t.fileRead(path, frames);
    t.close();
    Sequence s;
    s.count = frames.size();
    for (int i = 0; i < frames.size() && s.outOfOrder < 0; ++i)
        if (QString(frames.at(i).dataText).remove(' ').toUpper() != QString::asprintf("%08X", uint32_t(i)))
            s.outOfOrder = i;
    return s;
}

Sequence pythonCanRead(const std::string &path, std::string *output)
{
    const peer::Result r = peer::run(peer::script("traffic_record_seq.py"), {path});
    *output = r.output;
    Sequence s;
    if (r.exitCode != 0)
        return s;
    const QByteArray last = QByteArray::fromStdString(r.output).trimmed().split('\n').last();
    const QJsonObject o = QJsonDocument::fromJson(last).object();
    s.count = o.value("count").toInt(-1);
    s.outOfOrder = o.value("outOfOrder").toInt(-2);
    return s;
}

int linesWith(const tracetest::LogCapture &log, const QString &text)
{
    return log.all().filter(text).size();
}

} // namespace

class RecorderStall : public WorkDirTest
{
};

// A pipe that nobody reads: even the file's creation waits for a reader,
// and every write after it. The start, the frames, the stop and the end of
// the recorder return at once; at the queue bound the recording stops, once,
// naming the frames not written. When a reader comes, the writer puts every
// frame taken before the bound into the file, in order, and closes it.
TEST_F(RecorderStall, APipeNobodyReadsStopsTheRecordingAtTheBoundAndGetsEveryFrameBeforeIt)
{
    REQUIRE_PEER_MODULES("can");
    ASSERT_EQ(mkfifo("stalled.asc", 0600), 0);
    tracetest::LogCapture log;
    Longest timed;
    auto rec = std::make_unique<QUserRecord>(kDev);
    QSignalSpy failed(rec.get(), &QUserRecord::recordFailed);

    ASSERT_TRUE(timed([&] { return rec->recordStart("stalled.asc"); }));
    EXPECT_EQ(feedUntilRefused(*rec, timed), QUserRecord::kMaxPending);
    EXPECT_FALSE(rec->isRecording());
    QCoreApplication::processEvents();
    ASSERT_EQ(failed.count(), 1);
    EXPECT_EQ(failed.at(0).at(0).toString(), kDev);
    EXPECT_EQ(linesWith(log, "Record Write"), 1);
    EXPECT_TRUE(log.contains("DEV-0-1 Record Write Stalled, 100000 Frames Not Written Yet, Record Stop..."));

    EXPECT_FALSE(timed([&] { return rec->recordWrite(kDev, nth(0)); }));
    EXPECT_TRUE(timed([&] { return rec->recordStop(); }));
    timed([&] {
        rec.reset();
        return true;
    });
    EXPECT_LT(timed.max(), kAtOnce);
    EXPECT_EQ(failed.count(), 1) << "one report";
    // Nobody reads: the writer cannot have ended.
    EXPECT_FALSE(QUserRecordWriter::waitAllEnded(200ms));
    EXPECT_FALSE(log.contains("Record<stalled.asc> Closed"));

    // The stall ends.
    QByteArray bytes;
    std::thread reader([&bytes] {
        const int fd = ::open("stalled.asc", O_RDONLY);
        if (fd < 0)
            return;
        char buf[65536];
        ssize_t n;
        while ((n = ::read(fd, buf, sizeof buf)) > 0)
            bytes.append(buf, int(n));
        ::close(fd);
    });
    EXPECT_TRUE(QUserRecordWriter::waitAllEnded(120s));
    reader.join();
    EXPECT_TRUE(log.contains("DEV-0-1 Record<stalled.asc> Closed, 100000 Frames Written..."));
    ASSERT_TRUE(tracetest::writeAll("copy.asc", bytes));
    const Sequence ours = oursRead("copy.asc");
    EXPECT_EQ(ours.count, QUserRecord::kMaxPending);
    EXPECT_EQ(ours.outOfOrder, -1);
    std::string output;
    const Sequence py = pythonCanRead(workDir.file("copy.asc"), &output);
    EXPECT_EQ(py.count, QUserRecord::kMaxPending) << output.substr(0, 2000);
    EXPECT_EQ(py.outOfOrder, -1);
}

// The same bound when the writer is held before it writes its frames, in
// both formats: exactly the frames taken before the bound reach the file
// once the disk goes on, and both readers read them in order.
TEST_F(RecorderStall, AHeldWriterStopsTheRecordingAtTheBoundInBothFormats)
{
    REQUIRE_PEER_MODULES("can");
    for (const char *name : {"held.blf", "held.asc"}) {
        SCOPED_TRACE(name);
        tracetest::LogCapture log;
        Longest timed;
        int taken = 0;
        {
            StalledRecordDisk disk;
            auto rec = std::make_unique<QUserRecord>(kDev);
            QSignalSpy failed(rec.get(), &QUserRecord::recordFailed);
            ASSERT_TRUE(timed([&] { return rec->recordStart(name); }));
            taken = feedUntilRefused(*rec, timed);
            QCoreApplication::processEvents();
            EXPECT_EQ(failed.count(), 1);
            EXPECT_TRUE(timed([&] { return rec->recordStop(); }));
            timed([&] {
                rec.reset();
                return true;
            });
            EXPECT_LT(timed.max(), kAtOnce);
            EXPECT_TRUE(disk.waitHeld(1));
            EXPECT_FALSE(QUserRecordWriter::waitAllEnded(200ms));
        } // the disk goes on
        EXPECT_EQ(taken, QUserRecord::kMaxPending);
        EXPECT_EQ(linesWith(log, "Record Write"), 1);
        EXPECT_TRUE(log.contains("DEV-0-1 Record Write Stalled, 100000 Frames Not Written Yet, Record Stop..."));
        ASSERT_TRUE(QUserRecordWriter::waitAllEnded(120s));
        EXPECT_TRUE(log.contains(QStringLiteral("DEV-0-1 Record<%1> Closed, 100000 Frames Written...").arg(name)));
        const Sequence ours = oursRead(name);
        EXPECT_EQ(ours.count, taken);
        EXPECT_EQ(ours.outOfOrder, -1);
        std::string output;
        const Sequence py = pythonCanRead(workDir.file(name), &output);
        EXPECT_EQ(py.count, taken) << output.substr(0, 2000);
        EXPECT_EQ(py.outOfOrder, -1);
    }
}

// Below the bound a stop on a stalled disk returns at once too, the
// recorder may go (its channel closes) while its writer waits, and the file
// gets every frame when the disk answers. A new recording into the same
// file meanwhile is refused: it would cut the file under its writer.
TEST_F(RecorderStall, StopAndEndOnAStalledDiskReturnAtOnceAndTheFileIsFinishedLater)
{
    tracetest::LogCapture log;
    Longest timed;
    const int frames = 1000;
    {
        StalledRecordDisk disk;
        auto rec = std::make_unique<QUserRecord>(kDev);
        QSignalSpy failed(rec.get(), &QUserRecord::recordFailed);
        ASSERT_TRUE(timed([&] { return rec->recordStart("later.blf"); }));
        for (int i = 0; i < frames; ++i)
            ASSERT_TRUE(timed([&] { return rec->recordWrite(kDev, nth(i)); }));
        ASSERT_TRUE(disk.waitHeld(1));
        EXPECT_TRUE(timed([&] { return rec->recordStop(); }));
        EXPECT_FALSE(rec->isRecording());

        auto again = std::make_unique<QUserRecord>("DEV-0-2");
        EXPECT_FALSE(timed([&] { return again->recordStart("later.blf"); }));
        EXPECT_TRUE(log.contains("DEV-0-2 Record<later.blf> Start Fail, File Still Being Written..."));
        EXPECT_FALSE(again->isRecording());

        timed([&] {
            rec.reset();
            again.reset();
            return true;
        });
        EXPECT_EQ(failed.count(), 0);
        EXPECT_LT(timed.max(), kAtOnce);
        EXPECT_FALSE(QUserRecordWriter::waitAllEnded(200ms));
    }
    ASSERT_TRUE(QUserRecordWriter::waitAllEnded(60s));
    EXPECT_TRUE(log.contains("DEV-0-1 Record<later.blf> Closed, 1000 Frames Written..."));
    EXPECT_EQ(linesWith(log, "Record Write"), 0);
    const Sequence ours = oursRead("later.blf");
    EXPECT_EQ(ours.count, frames);
    EXPECT_EQ(ours.outOfOrder, -1);

    // The file is free again.
    QUserRecord rec(kDev);
    ASSERT_TRUE(rec.recordStart("later.blf"));
    EXPECT_TRUE(rec.recordWrite(kDev, nth(0)));
    EXPECT_TRUE(rec.recordStop());
    ASSERT_TRUE(QUserRecordWriter::waitAllEnded(60s));
    EXPECT_EQ(oursRead("later.blf").count, 1);
}

// Program exit with a writer that never gets an answer: the wait ends at its
// bound, the log names the file and the frames not written, and the writer
// no longer counts as running. (The gate opens at the end of the test; the
// writer given up then ends without touching the file again.)
TEST_F(RecorderStall, ExitGivesUpOnAWriterStalledForGoodAfterItsBound)
{
    tracetest::LogCapture log;
    StalledRecordDisk disk;
    {
        QUserRecord rec(kDev);
        ASSERT_TRUE(rec.recordStart("exit.asc"));
        for (int i = 0; i < 10; ++i)
            ASSERT_TRUE(rec.recordWrite(kDev, nth(i)));
        ASSERT_TRUE(disk.waitHeld(1));
    }
    EXPECT_FALSE(QUserRecordWriter::finishAll(300ms));
    EXPECT_TRUE(log.contains("DEV-0-1 Record<exit.asc> Stalled, 10 Frames Not Written, Given Up..."));
    EXPECT_TRUE(QUserRecordWriter::waitAllEnded(0ms));
    EXPECT_TRUE(QUserRecordWriter::finishAll(0ms)) << "nothing left to wait for";
}

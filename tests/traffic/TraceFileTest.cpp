// The trace-file front end and the recorder.

#include "traffic/QUserRecord.h"
#include "traffic/QUserRecordWriter.h"
#include "traffic/QUserTraceFile.h"
#include "tests/support/GiveUp.h"
#include "tests/support/TempWorkDir.h"
#include "tests/traffic/TraceSupport.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <QDir>
#include <QRegularExpression>
#include <QSignalSpy>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using tracetest::frame;

namespace {

QUserCanMsg nth(int i, qint64 t0 = 1000)
{
    return frame(QString::asprintf("%08X ", i), false, false, i % 2 ? 2 : 0, "2", "A1B2", i % 2, 0, t0 + i);
}

int countFrames(const QString &path)
{
    QUserTraceFile t;
    QList<QUserCanMsg> frames;
    t.fileRead(path, frames);
    t.close();
    return frames.size();
}

} // namespace

class TraceFile : public WorkDirTest
{
};

TEST_F(TraceFile, FormatFromSuffix)
{
    struct Case {
        QString name;
        int mode; // -1 refused
    } cases[] = {{"a.blf", 0}, {"dir.x/a.asc", 1}, {"a.ASC", -1}, {"a.Blf", -1}, {"asc", -1}, {"", -1}, {"a.txt", -1}, {".asc", 1}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        if (c.name.startsWith("dir.x"))
            QDir().mkpath("dir.x");
        tracetest::LogCapture log;
        QUserTraceFile t;
        EXPECT_EQ(t.fileCreate(c.name), c.mode != -1);
        EXPECT_EQ(t.mode(), c.mode);
        if (c.mode == -1) {
            EXPECT_TRUE(log.contains(QStringLiteral("Trace File(%1) Creat Fail,Format Not Support...").arg(c.name)));
            // Nothing open: write and close fail.
            EXPECT_FALSE(t.write(nth(0)));
            EXPECT_FALSE(t.close());
            QList<QUserCanMsg> frames;
            EXPECT_EQ(t.fileReadPart(c.name, frames, 16), -2);
            EXPECT_EQ(t.fileRead(c.name, frames), -2);
            EXPECT_TRUE(log.contains(QStringLiteral("Trace File(%1) Read Fail,Format Not Support...").arg(c.name)));
        } else {
            EXPECT_TRUE(t.write(nth(0)));
            EXPECT_TRUE(t.close());
        }
    }
}

TEST_F(TraceFile, BatchedReadsOfBothFormats)
{
    for (const QString name : {"b.asc", "b.blf"}) {
        SCOPED_TRACE(name.toStdString());
        struct Case {
            int frames;
            int limit;
            QList<int> counts;
        } cases[] = {{40, 16, {16, 16, 8}}, {16, 16, {16, 0}}, {0, 16, {0}}, {3, 0, {1, 1, 1, 0}}};
        for (const Case &c : cases) {
            SCOPED_TRACE(c.frames);
            {
                QUserTraceFile w;
                ASSERT_TRUE(w.fileCreate(name));
                for (int i = 0; i < c.frames; ++i)
                    ASSERT_TRUE(w.write(nth(i)));
                ASSERT_TRUE(w.close());
            }
            QUserTraceFile r;
            QList<QUserCanMsg> frames;
            QList<int> counts;
            for (int guard = 0; guard < 10; ++guard) {
                const int n = r.fileReadPart(name, frames, c.limit);
                counts.append(n);
                if (n <= 0 || n < c.limit)
                    break;
            }
            r.close();
            EXPECT_EQ(counts, c.counts);
            ASSERT_EQ(frames.size(), c.frames);
            for (int i = 0; i < c.frames; ++i) {
                EXPECT_EQ(frames[i].hostTime, i);
                EXPECT_EQ(frames[i].protocol, i % 2 ? 2 : 0);
                EXPECT_EQ(frames[i].dataText, "A1B2");
            }
        }
    }
}

TEST_F(TraceFile, FlushesAtMostOnceASecond)
{
    for (const QString name : {"f.asc", "f.blf"}) {
        SCOPED_TRACE(name.toStdString());
        QUserTraceFile t;
        ASSERT_TRUE(t.fileCreate(name));
        const qint64 recent = getCurrentMs() - 500;
        t.setLastFlushMs(recent);
        ASSERT_TRUE(t.write(nth(0)));
        EXPECT_EQ(t.lastFlushMs(), recent);
        const qint64 old = getCurrentMs() - 1000;
        t.setLastFlushMs(old);
        ASSERT_TRUE(t.write(nth(1)));
        EXPECT_GT(t.lastFlushMs(), old);
        // The time flush made both frames readable while the file is open.
        if (name.endsWith(".asc")) {
            EXPECT_EQ(tracetest::readAll(name).count("A1 B2"), 2);
        }
        t.close();
    }
}

TEST_F(TraceFile, WithoutTheLibraryOnlyBlfFails)
{
    QUserBlfFile::setLibraryName("nosuchlib.dll");
    {
        tracetest::LogCapture log;
        QUserTraceFile t;
        EXPECT_TRUE(log.contains("binlogLib Load Fail..."));
        EXPECT_FALSE(t.fileCreate("x.blf"));
        EXPECT_TRUE(log.contains("BLCreateFileFun Load Fail..."));
        QList<QUserCanMsg> frames;
        EXPECT_EQ(t.fileReadPart("x.blf", frames, 16), -1);
        EXPECT_EQ(t.fileRead("x.blf", frames), -1);
        EXPECT_TRUE(t.fileCreate("x.asc"));
        EXPECT_TRUE(t.write(nth(0)));
        EXPECT_TRUE(t.close());
    }
    QUserBlfFile::setLibraryName(QString());
    EXPECT_EQ(countFrames("x.asc"), 1);
}

TEST_F(TraceFile, RecorderStartsOnceAndStops)
{
    tracetest::LogCapture log;
    {
        QUserRecord rec("USBCANFD-0-0");
        EXPECT_FALSE(rec.isRecording());
        EXPECT_FALSE(rec.recordWrite("USBCANFD-0-0", nth(0)));
        EXPECT_TRUE(rec.recordStop()); // idle: logs and succeeds
        EXPECT_TRUE(log.contains("USBCANFD-0-0 Record Stop..."));

        EXPECT_FALSE(rec.recordStart("r.txt"));
        EXPECT_FALSE(rec.isRecording());

        ASSERT_TRUE(rec.recordStart("first.blf"));
        EXPECT_TRUE(log.contains("USBCANFD-0-0 Record<first.blf> Start..."));
        EXPECT_TRUE(rec.recordStart("second.asc")); // already recording: unchanged
        EXPECT_FALSE(QFile::exists("second.asc"));
        for (int i = 0; i < 5; ++i)
            EXPECT_TRUE(rec.recordWrite("ignored", nth(i)));
        EXPECT_TRUE(rec.recordStop());
        EXPECT_FALSE(rec.isRecording());
        // The stop returns at once; the writer closes the file on its own.
        ASSERT_TRUE(QUserRecordWriter::waitAllEnded(std::chrono::seconds(10)));
        EXPECT_EQ(countFrames("first.blf"), 5);

        ASSERT_TRUE(rec.recordStart("third.asc"));
        EXPECT_TRUE(rec.recordWrite("ignored", nth(0)));
    }
    // Destruction stops the recording and closes the file with its end line.
    ASSERT_TRUE(QUserRecordWriter::waitAllEnded(std::chrono::seconds(10)));
    EXPECT_TRUE(tracetest::readAll("third.asc").endsWith("End Triggerblock\r\n"));
    EXPECT_EQ(countFrames("third.asc"), 1);
}

// The GUI thread hands frames to the recorder and goes on: the file is
// written on the recorder's own thread. A file whose writes stall (a pipe
// that nobody reads for a while) holds up only that thread; every frame
// arrives once the pipe is read, the stop returning before them.
TEST_F(TraceFile, RecorderNeverHoldsTheCallerOnAStalledFile)
{
    ASSERT_EQ(mkfifo("stalled.asc", 0600), 0);
    const int rfd = open("stalled.asc", O_RDONLY | O_NONBLOCK);
    ASSERT_GE(rfd, 0);
    QUserRecord rec("DEV-0-1");
    ASSERT_TRUE(rec.recordStart("stalled.asc"));
    std::string text;
    std::atomic<bool> written{false}, readerGaveUp{false};
    std::thread reader([&] {
        // Read nothing until the caller is through with its writes (or a
        // minute passed): the pipe fills up after a few hundred lines and
        // every further write of the file waits.
        readerGaveUp = !testsupport::waitUntilReal([&] { return written.load(); });
        fcntl(rfd, F_SETFL, 0);
        char buf[65536];
        ssize_t n;
        while ((n = read(rfd, buf, sizeof buf)) > 0)
            text.append(buf, size_t(n));
    });
    const int frames = 5000;
    for (int i = 0; i < frames; ++i)
        ASSERT_TRUE(rec.recordWrite("DEV-0-1", nth(i)));
    written = true;
    EXPECT_FALSE(readerGaveUp.load()) << "the caller waited on the file";
    EXPECT_TRUE(rec.recordStop());
    reader.join();
    close(rfd);
    int lines = 0;
    for (const char *dir : {" Rx ", " Tx "})
        for (size_t at = 0; (at = text.find(dir, at)) != std::string::npos; ++at)
            ++lines;
    EXPECT_EQ(lines, frames);
}

TEST_F(TraceFile, RecorderStopsAndReportsWhenWritesFail)
{
    if (!QFile::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    for (const QString path : {"/dev/full.asc", "/dev/full.blf"}) {
        SCOPED_TRACE(path.toStdString());
        // A full disk: the recorder gets a file name whose writes all fail.
        const QString link = path.endsWith(".asc") ? "full.asc" : "full.blf";
        ASSERT_TRUE(QFile::link("/dev/full", link));
        tracetest::LogCapture log;
        QUserRecord rec("DEV-0-1");
        QSignalSpy failed(&rec, &QUserRecord::recordFailed);
        ASSERT_TRUE(rec.recordStart(link));
        // The writer thread meets the failure; the GUI thread learns of it
        // in its loop (or at the next frame) and stops the recording.
        int written = 0;
        QElapsedTimer clock;
        clock.start();
        while (rec.recordWrite("DEV-0-1", nth(written)) && clock.elapsed() < testsupport::kGiveUpMs) {
            if (++written % 50 == 0) {
                QCoreApplication::processEvents();
                QThread::msleep(1);
            }
        }
        EXPECT_FALSE(rec.isRecording());
        ASSERT_EQ(failed.count(), 1);
        EXPECT_EQ(failed[0][0].toString(), "DEV-0-1");
        const QStringList lines = log.all().filter("Record Write Fail");
        ASSERT_EQ(lines.size(), 1) << lines.join('\n').toStdString();
        EXPECT_TRUE(QRegularExpression("^DEV-0-1 Record Write Fail, \\d+ Frames Not Written, Record Stop\\.\\.\\.$")
                        .match(lines.at(0))
                        .hasMatch())
            << lines.at(0).toStdString();
        EXPECT_FALSE(rec.recordWrite("DEV-0-1", nth(0)));
        EXPECT_TRUE(QUserRecordWriter::waitAllEnded(std::chrono::seconds(30)));
    }
}

// The same frame gives the same data bytes in an ASC file, in a BLF file and
// on the bus (the adapter record the transmit path fills): an odd digit count
// makes the first digit a byte of its own, characters that are not hex
// digits are skipped, and bytes the text does not give are zero.
TEST_F(TraceFile, OneFrameGivesTheSameBytesInAscBlfAndOnTheBus)
{
    struct Case {
        int protocol;
        const char *len;
        const char *data;
        std::vector<uint8_t> bytes; // what the bus gets
    } cases[] = {
        {0, "3", "123", {0x01, 0x23, 0x00}},
        {0, "2", "1 2 3", {0x01, 0x23}},
        {0, "3", "12345", {0x01, 0x23, 0x45}},
        {0, "2", "12345", {0x01, 0x23}},
        {0, "8", "abc", {0x0a, 0xbc, 0, 0, 0, 0, 0, 0}},
        {0, "1", "7", {0x07}},
        {0, "2", "", {0x00, 0x00}},
        {0, "2", "1G2", {0x12, 0x00}},
        {0, "8", "00 11 22 33 44 55 66 77 88", {0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77}},
        {1, "12", "1 2 3", {0x01, 0x23, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {2, "8", "FEDCBA98765", {0x0F, 0xED, 0xCB, 0xA9, 0x87, 0x65, 0, 0}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.data) + " / " + c.len);
        QUserCanMsg m = frame("123", false, false, c.protocol, c.len, c.data, 1, 0, 5000);

        uint8_t bus[64] = {};
        if (c.protocol == 0) {
            KCAN_CAN_OBJ obj;
            ASSERT_EQ(msgToCanObj(m, obj), 1);
            std::memcpy(bus, obj.Data, sizeof obj.Data);
        } else {
            KCAN_CANFD_OBJ obj;
            ASSERT_EQ(msgToCanFdObj(m, obj), 1);
            std::memcpy(bus, obj.Data, sizeof obj.Data);
        }
        ASSERT_EQ(std::vector<uint8_t>(bus, bus + c.bytes.size()), c.bytes) << "the bus conversion";

        for (const QString name : {"same.asc", "same.blf"}) {
            SCOPED_TRACE(name.toStdString());
            {
                QUserTraceFile t;
                ASSERT_TRUE(t.fileCreate(name));
                ASSERT_TRUE(t.write(m));
                ASSERT_TRUE(t.close());
            }
            QUserTraceFile t;
            QList<QUserCanMsg> back;
            t.fileRead(name, back);
            t.close();
            ASSERT_EQ(back.size(), 1);
            EXPECT_EQ(back[0].lenText, QString::fromLatin1(c.len));
            uint8_t got[64] = {};
            const int n = hexTextToBytes(back[0].dataText, got, 64);
            EXPECT_EQ(n, int(c.bytes.size())) << back[0].dataText.toStdString();
            EXPECT_EQ(std::vector<uint8_t>(got, got + c.bytes.size()), c.bytes) << back[0].dataText.toStdString();
        }
    }
}

#include "core/QFClassUserCanMsg.h"

#include "tests/support/TempWorkDir.h"

#include <QFile>

#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>
#include <atomic>

namespace {

std::string readAll(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

QUserCanMsg classicFrame()
{
    QUserCanMsg m;
    m.idText = "00000123";
    m.protocol = 0;
    m.extended = 0;
    m.remote = 0;
    m.fdFlags = 0;
    m.lenText = "8";
    m.dataText = "00 01 02 03 04 05 06 07";
    m.direction = 1;
    m.devTime = 5000;
    m.hostTime = 1700000000000;
    m.channel = 0;
    return m;
}

QUserCanMsg fd64Frame(int i)
{
    QUserCanMsg m;
    m.idText = QString::asprintf("%08X ", 0x18FF0000 + i);
    m.protocol = 2;
    m.extended = 1;
    m.remote = 0;
    m.fdFlags = 0x18;
    m.lenText = "64";
    QStringList bytes;
    for (int b = 0; b < 64; ++b)
        bytes << QString::asprintf("%02X", (b + i) & 0xFF);
    m.dataText = bytes.join(' ');
    m.direction = 0;
    m.channel = uint8_t(i % 4);
    m.devTime = UINT64_MAX - uint64_t(i);
    m.hostTime = INT64_MIN + i;
    return m;
}

void expectSameRecord(const QUserCanMsg &a, const QUserCanMsg &b)
{
    EXPECT_EQ(a.idText.trimmed(), b.idText);
    EXPECT_EQ(a.protocol, b.protocol);
    EXPECT_EQ(a.extended, b.extended);
    EXPECT_EQ(a.remote, b.remote);
    EXPECT_EQ(a.fdFlags, b.fdFlags);
    EXPECT_EQ(a.lenText, b.lenText);
    EXPECT_EQ(a.dataText, b.dataText);
    EXPECT_EQ(a.direction, b.direction);
    EXPECT_EQ(a.channel, b.channel);
    EXPECT_EQ(a.devTime, b.devTime);
    EXPECT_EQ(a.hostTime, b.hostTime);
}

const int W = QFClassUserCanMsg::RecordSize;

} // namespace

class CacheFileTest : public WorkDirTest
{
};

TEST_F(CacheFileTest, EmptyFileIsOneHeaderLine)
{
    {
        QFClassUserCanMsg f;
        ASSERT_TRUE(f.open(false, "e.cache"));
        f.close();
    }
    const std::string text = readAll("e.cache");
    ASSERT_EQ(int(text.size()), W);
    EXPECT_EQ(text, "0," + std::string(W - 4, '0') + "\r\n");
    QFClassUserCanMsg r;
    ASSERT_TRUE(r.open(true, "e.cache"));
    EXPECT_EQ(r.getMsgCount(), 0u);
    QUserCanMsg m;
    EXPECT_FALSE(r.readMsg(0, &m));
}

TEST_F(CacheFileTest, ClassicRecordLayoutAndRoundTrip)
{
    const QUserCanMsg m = classicFrame();
    const QString line = QFClassUserCanMsg::msgToLine(m);
    ASSERT_EQ(line.size(), W);
    const QString text = "00000123,0,0,0,0,8,00 01 02 03 04 05 06 07,1,5000,1700000000000,0,";
    EXPECT_TRUE(line.startsWith(text)) << line.toStdString();
    EXPECT_EQ(line.mid(text.size(), W - 2 - text.size()), QString(W - 2 - text.size(), '0'));
    EXPECT_TRUE(line.endsWith("\r\n"));
    QUserCanMsg back;
    ASSERT_TRUE(QFClassUserCanMsg::lineToMsg(line, &back));
    expectSameRecord(m, back);
}

TEST_F(CacheFileTest, LongestFramesSurviveWithChannel)
{
    {
        QFClassUserCanMsg f;
        ASSERT_TRUE(f.open(false, "fd.cache"));
        for (int i = 0; i < 12; ++i)
            ASSERT_TRUE(f.appendMsg(fd64Frame(i)));
        EXPECT_EQ(f.getMsgCount(), 12u);
    } // the destructor closes and writes the header
    const std::string text = readAll("fd.cache");
    ASSERT_EQ(text.size(), size_t(13 * W));
    EXPECT_EQ(text.substr(0, 3), "12,");
    EXPECT_EQ(text.substr(W - 2, 2), "\r\n");
    EXPECT_EQ(QFClassUserCanMsg::recordOffset(11), uint64_t(12 * W));
    EXPECT_EQ(text.substr(12 * W, 9), "18FF000B,");

    QFClassUserCanMsg r;
    ASSERT_TRUE(r.open(true, "fd.cache"));
    ASSERT_EQ(r.getMsgCount(), 12u);
    for (int i : {11, 0, 5, 6, 7, 3}) {
        QUserCanMsg m;
        ASSERT_TRUE(r.readMsg(uint32_t(i), &m)) << i;
        expectSameRecord(fd64Frame(i), m);
    }
    QUserCanMsg m;
    EXPECT_FALSE(r.readMsg(12, &m));
    EXPECT_FALSE(r.readMsg(UINT32_MAX, &m));
}

TEST_F(CacheFileTest, SequentialReadsDoNotSeek)
{
    {
        QFClassUserCanMsg f;
        ASSERT_TRUE(f.open(false, "s.cache"));
        for (int i = 0; i < 10; ++i)
            f.appendMsg(classicFrame());
    }
    QFClassUserCanMsg r;
    ASSERT_TRUE(r.open(true, "s.cache"));
    QUserCanMsg m;
    r.getMsgCount(); // the header leaves the stream at record 0
    ASSERT_TRUE(r.readMsg(0, &m));
    EXPECT_EQ(r.seekCount(), 0u);
    for (uint32_t i : {5u, 6u, 7u})
        ASSERT_TRUE(r.readMsg(i, &m));
    EXPECT_EQ(r.seekCount(), 1u);
    ASSERT_TRUE(r.readMsg(9, &m));
    ASSERT_TRUE(r.readMsg(2, &m));
    EXPECT_EQ(r.seekCount(), 3u);
}

TEST_F(CacheFileTest, DamagedRecordsAndModes)
{
    struct Case {
        const char *line;
        bool ok;
    } cases[] = {
        {"", false},
        {"1,2,3", false},
        {"00000123,0,0,0,0,8,00 01,1,5000,17", false},            // cut: no channel, no padding
        {"00000123,0,0,0,0,8,00 01,1,5000,17,0", false},          // cut: no padding field
        {"00000123,0,0,0,0,8,00 01,1,5000,17,0,", true},
        {"x,y,z,w,v,8,00,a,b,c,d,000", true},                     // numbers that do not parse read as 0
    };
    for (const auto &c : cases) {
        QUserCanMsg m;
        m.channel = 9;
        EXPECT_EQ(QFClassUserCanMsg::lineToMsg(c.line, &m), c.ok) << c.line;
    }
    QUserCanMsg m;
    ASSERT_TRUE(QFClassUserCanMsg::lineToMsg("x,y,z,w,v,8,00,a,b,c,d,000", &m));
    EXPECT_EQ(m.protocol, 0);
    EXPECT_EQ(m.devTime, 0u);
    EXPECT_EQ(m.hostTime, 0);
    EXPECT_EQ(m.channel, 0);

    // A text that overflows the width is cut and is then refused on reading.
    QUserCanMsg huge = classicFrame();
    huge.dataText = QString(400, 'A');
    const QString line = QFClassUserCanMsg::msgToLine(huge);
    EXPECT_EQ(line.size(), W);
    EXPECT_FALSE(QFClassUserCanMsg::lineToMsg(line, &m));
    // Commas in a text field would shift the fields; they are written as blanks.
    QUserCanMsg comma = classicFrame();
    comma.dataText = "00,01";
    ASSERT_TRUE(QFClassUserCanMsg::lineToMsg(QFClassUserCanMsg::msgToLine(comma), &m));
    EXPECT_EQ(m.dataText, "00 01");
    EXPECT_EQ(m.devTime, 5000u);

    QFClassUserCanMsg f;
    EXPECT_FALSE(f.appendMsg(classicFrame()));
    EXPECT_FALSE(f.readMsg(0, &m));
    EXPECT_FALSE(f.open(true, "no-such.cache"));
    EXPECT_FALSE(f.open(false, "no-dir/x.cache"));
    ASSERT_TRUE(f.open(false, "w.cache"));
    EXPECT_FALSE(f.readMsg(0, &m));
    f.close();
    ASSERT_TRUE(f.open(true, "w.cache"));
    EXPECT_FALSE(f.appendMsg(classicFrame()));
}

TEST_F(CacheFileTest, BadHeaderReadsAsNoRecords)
{
    std::ofstream("h.cache", std::ios::binary) << "";
    QFClassUserCanMsg r;
    ASSERT_TRUE(r.open(true, "h.cache"));
    EXPECT_EQ(r.getMsgCount(), 0u);
    std::ofstream("g.cache", std::ios::binary) << "garbage-without-comma\r\n";
    ASSERT_TRUE(r.open(true, "g.cache"));
    EXPECT_EQ(r.getMsgCount(), 0u);
}

TEST_F(CacheFileTest, RewritingTheFileUnderAnOpenReader)
{
    // The viewer's table keeps its cache open while a job rewrites the same
    // path with fewer records; the reader must go on safely with what it had.
    {
        QFClassUserCanMsg w;
        ASSERT_TRUE(w.open(false, "v.cache"));
        for (int i = 0; i < 50; ++i)
            w.appendMsg(fd64Frame(i));
    }
    QFClassUserCanMsg reader;
    ASSERT_TRUE(reader.open(true, "v.cache"));
    ASSERT_EQ(reader.getMsgCount(), 50u);
    {
        QFClassUserCanMsg w;
        ASSERT_TRUE(w.open(false, "v.cache"));
        w.appendMsg(classicFrame());
    }
    QUserCanMsg m;
    ASSERT_TRUE(reader.readMsg(49, &m));
    expectSameRecord(fd64Frame(49), m);
    reader.close();
    ASSERT_TRUE(reader.open(true, "v.cache"));
    EXPECT_EQ(reader.getMsgCount(), 1u);
    ASSERT_TRUE(reader.readMsg(0, &m));
    expectSameRecord(classicFrame(), m);
}

// The binary form of a frame formats to the same record as the frame record
// the trace readers make of it: the viewer's load writes caches from it.
TEST_F(CacheFileTest, BinaryFramesFormatLikeTheirFrameRecords)
{
    struct Case {
        uint32_t id;
        uint8_t protocol, remote, extended, fdFlags, direction, channel, len, dataLen;
        uint64_t devTime;
        int64_t hostTime;
    } cases[] = {
        {0x000, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
        {0x7FF, 0, 0, 0, 0, 1, 1, 8, 8, 0, 1700000000123},
        {0x1FFFFFFF, 2, 0, 1, 3, 0, 255, 64, 64, UINT64_MAX, INT64_MIN},
        {0x123, 0, 1, 0, 0, 1, 2, 5, 0, 7, -1},    // remote: a length, no data
        {0x18DA00F1, 1, 0, 1, 2, 0, 3, 12, 12, 42, INT64_MAX},
        {0x1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 5},        // CAN FD without data
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.id);
        QUserCanMsgRaw raw;
        raw.id = c.id;
        raw.protocol = c.protocol;
        raw.remote = c.remote;
        raw.extended = c.extended;
        raw.fdFlags = c.fdFlags;
        raw.direction = c.direction;
        raw.channel = c.channel;
        raw.len = c.len;
        raw.dataLen = c.dataLen;
        raw.devTime = c.devTime;
        raw.hostTime = c.hostTime;
        for (int i = 0; i < 64; ++i)
            raw.data[i] = uint8_t(i * 37 + c.id);
        QUserCanMsg m;
        rawToMsg(raw, m);
        EXPECT_EQ(m.idText, QString::asprintf("%08X ", c.id));
        EXPECT_EQ(m.lenText, QString::number(c.len));
        EXPECT_EQ(m.dataText.size(), c.remote ? 0 : 2 * c.dataLen);
        char a[W];
        char b[W];
        std::memset(a, 'x', W);
        std::memset(b, 'y', W);
        QFClassUserCanMsg::formatRaw(raw, a);
        QFClassUserCanMsg::formatRecord(m, b);
        EXPECT_EQ(std::string(a, W), std::string(b, W));
        QUserCanMsg back;
        ASSERT_TRUE(QFClassUserCanMsg::parseRecord(a, W, &back));
        expectSameRecord(m, back);
    }
}

// Records appended in bulk and read back as they stand in the file.
TEST_F(CacheFileTest, BulkAppendAndRawRecordReads)
{
    std::string block;
    for (int i = 0; i < 5; ++i)
        block += QFClassUserCanMsg::msgToLine(fd64Frame(i)).toStdString();
    {
        QFClassUserCanMsg f;
        ASSERT_TRUE(f.open(false, "b.cache"));
        EXPECT_TRUE(f.appendRecords(block.data(), 5));
        EXPECT_TRUE(f.appendRecords(nullptr, 0));
        ASSERT_TRUE(f.appendMsg(classicFrame()));
        EXPECT_EQ(f.getMsgCount(), 6u);
    }
    QFClassUserCanMsg r;
    ASSERT_TRUE(r.open(true, "b.cache"));
    EXPECT_FALSE(r.appendRecords(block.data(), 1));
    ASSERT_EQ(r.getMsgCount(), 6u);
    char rec[W];
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(r.readRecord(uint64_t(i), rec)) << i;
        EXPECT_EQ(std::string(rec, W), block.substr(size_t(i) * W, W)) << i;
    }
    ASSERT_TRUE(r.readRecord(5, rec));
    EXPECT_EQ(QString::fromLatin1(rec, W), QFClassUserCanMsg::msgToLine(classicFrame()));
    EXPECT_FALSE(r.readRecord(6, rec));
    EXPECT_FALSE(r.readRecord(UINT64_MAX, rec));
    QUserCanMsg m;
    EXPECT_FALSE(r.readMsg(UINT64_MAX, &m));
}

// A header that claims more records than the file holds reads as what the
// file holds; a cut last record still counts (and fails to read).
TEST_F(CacheFileTest, HeaderCountIsBoundByTheFileSize)
{
    {
        QFClassUserCanMsg f;
        ASSERT_TRUE(f.open(false, "c.cache"));
        for (int i = 0; i < 4; ++i)
            f.appendMsg(fd64Frame(i));
    }
    std::string text = readAll("c.cache");
    text.replace(0, 1, "9"); // "4," -> "9,": five records more than are there
    text.resize(text.size() - 270); // and the last record cut in its data
    std::ofstream("c.cache", std::ios::binary | std::ios::trunc) << text;
    QFClassUserCanMsg r;
    ASSERT_TRUE(r.open(true, "c.cache"));
    EXPECT_EQ(r.getMsgCount(), 4u);
    QUserCanMsg m;
    EXPECT_TRUE(r.readMsg(2, &m));
    EXPECT_FALSE(r.readMsg(3, &m));
    char rec[W];
    EXPECT_FALSE(r.readRecord(3, rec));
}

// Record numbers and offsets are 64-bit: records past 2^31 and 2^32 bytes
// (about 6.7 and 13.4 million records) are found where they were written.
// The file is sparse, so it takes a few pages of disk.
TEST_F(CacheFileTest, RecordsPastFourGigabytes)
{
    const uint64_t indices[] = {6710886, 6710887, 13421772, 13421773, 13500000};
    const uint64_t count = 13500001;
    {
        QFile f("sparse.cache");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        QString header = QString::number(count) + ",";
        header += QString(W - 2 - header.size(), '0') + "\r\n";
        ASSERT_EQ(f.write(header.toLatin1()), W);
        for (uint64_t i : indices) {
            ASSERT_TRUE(f.seek(qint64(QFClassUserCanMsg::recordOffset(i))));
            ASSERT_EQ(f.write(QFClassUserCanMsg::msgToLine(fd64Frame(int(i % 1000))).toLatin1()), W);
        }
    }
    EXPECT_EQ(QFClassUserCanMsg::recordOffset(13421773), uint64_t(13421774) * W);
    EXPECT_GT(QFClassUserCanMsg::recordOffset(13421773), uint64_t(1) << 32);
    QFClassUserCanMsg r;
    ASSERT_TRUE(r.open(true, "sparse.cache"));
    ASSERT_EQ(r.getMsgCount(), count);
    for (uint64_t i : indices) {
        QUserCanMsg m;
        ASSERT_TRUE(r.readMsg(i, &m)) << i;
        expectSameRecord(fd64Frame(int(i % 1000)), m);
    }
    // The holes between them read as zeros: no record. A reader learns
    // where the next data may be (to within the file system's block), and
    // that nothing follows the last record.
    QUserCanMsg m;
    EXPECT_FALSE(r.readMsg(13421771, &m));
    EXPECT_EQ(r.dataRecordFrom(1), 1u); // the header's block holds data
    const uint64_t next = r.dataRecordFrom(100);
    EXPECT_LE(next, 6710886u);
    EXPECT_GE(next + 64, 6710886u) << "a sparse file should skip to near its first record";
    EXPECT_EQ(r.dataRecordFrom(6710886), 6710886u);
    EXPECT_EQ(r.dataRecordFrom(13500000), 13500000u);
}

// Records written by several threads at once, each block at its place: the
// file reads back in order and the count is the highest record written.
TEST_F(CacheFileTest, BlocksWrittenInPlaceFromSeveralThreads)
{
    const int blocks = 16;
    const int perBlock = 100;
    QFClassUserCanMsg w;
    ASSERT_TRUE(w.open(false, "p.cache"));
    std::vector<std::thread> threads;
    std::atomic<int> failures{0};
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            std::string buf(size_t(perBlock) * W, '\0');
            for (int b = blocks - 1 - t; b >= 0; b -= 4) { // from the end: the count must still come out right
                for (int i = 0; i < perBlock; ++i)
                    QFClassUserCanMsg::formatRecord(fd64Frame(b * perBlock + i), &buf[size_t(i) * W]);
                if (!w.writeRecordsAt(uint64_t(b) * perBlock, buf.data(), perBlock))
                    ++failures;
            }
        });
    }
    for (std::thread &t : threads)
        t.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(w.getMsgCount(), uint64_t(blocks * perBlock));
    w.close();
    QFClassUserCanMsg r;
    ASSERT_TRUE(r.open(true, "p.cache"));
    ASSERT_EQ(r.getMsgCount(), uint64_t(blocks * perBlock));
    for (int i = 0; i < blocks * perBlock; ++i) {
        QUserCanMsg m;
        ASSERT_TRUE(r.readMsg(uint64_t(i), &m)) << i;
        ASSERT_EQ(m.idText, fd64Frame(i).idText.trimmed()) << i;
    }
    EXPECT_FALSE(r.writeRecordsAt(0, "x", 1));
}

// Records read a block at a time: whole records only, fewer at the end.
TEST_F(CacheFileTest, BlockReads)
{
    {
        QFClassUserCanMsg w;
        ASSERT_TRUE(w.open(false, "k.cache"));
        for (int i = 0; i < 10; ++i)
            ASSERT_TRUE(w.appendMsg(fd64Frame(i)));
    }
    QFClassUserCanMsg r;
    ASSERT_TRUE(r.open(true, "k.cache"));
    std::string buf(size_t(8) * W, '\0');
    EXPECT_EQ(r.readRecords(0, 8, &buf[0]), 8);
    EXPECT_EQ(QString::fromLatin1(buf.data() + 3 * W, W), QFClassUserCanMsg::msgToLine(fd64Frame(3)));
    EXPECT_EQ(r.readRecords(6, 8, &buf[0]), 4);
    EXPECT_EQ(QString::fromLatin1(buf.data(), W), QFClassUserCanMsg::msgToLine(fd64Frame(6)));
    EXPECT_EQ(r.readRecords(10, 8, &buf[0]), 0);
    EXPECT_EQ(r.readRecords(0, 8, nullptr), -1);
    QFClassUserCanMsg closed;
    EXPECT_EQ(closed.readRecords(0, 1, &buf[0]), -1);
}

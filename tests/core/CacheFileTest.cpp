#include "core/QFClassUserCanMsg.h"

#include "tests/support/TempWorkDir.h"

#include <QFile>

#include <fstream>
#include <sstream>

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

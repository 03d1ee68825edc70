// ASC trace files: header and line layout character for character, the
// reader's acceptance rules, batched reads, and reported failures.

#include "traffic/QUserAscFile.h"
#include "tests/support/TempWorkDir.h"
#include "tests/traffic/TraceSupport.h"

#include <gtest/gtest.h>

#include <QRegularExpression>

using tracetest::frame;

namespace {

QString allData(int n)
{
    QString s;
    for (int i = 0; i < n; ++i)
        s += QString::asprintf("%02X", i);
    return s;
}

QStringList splitParts(const QString &line) { return line.simplified().split(' '); }

} // namespace

class AscFile : public WorkDirTest
{
};

TEST_F(AscFile, HeaderAndWorkedExamplesByteForByte)
{
    QUserAscFile f;
    ASSERT_TRUE(f.fileCreate("w.asc"));
    const qint64 t0 = 1700000000000;
    // First frame of the file: time 0.
    ASSERT_TRUE(f.write(frame("00000123 ", false, false, 0, "8", "0102030405060708", 0, 0, t0)));
    ASSERT_TRUE(f.write(frame("00000123 ", false, false, 0, "8", "0102030405060708", 0, 0, t0 + 5)));
    ASSERT_TRUE(f.write(frame("18FF0001", true, false, 2, "12", allData(12), 1, 1, t0 + 12345)));
    ASSERT_TRUE(f.close());

    const QByteArray bytes = tracetest::readAll("w.asc");
    QList<QByteArray> lines = bytes.split('\n');
    ASSERT_EQ(lines.size(), 9); // 8 lines and the empty rest after the last CR LF
    for (int i = 0; i < 8; ++i)
        ASSERT_TRUE(lines[i].endsWith('\r')) << i;
    EXPECT_TRUE(QRegularExpression("^date (Mon|Tue|Wed|Thu|Fri|Sat|Sun) (January|February|March|April|May|June|July|August|September|October|November|December) [1-9][0-9]? [0-2][0-9]:[0-5][0-9]:[0-5][0-9] [0-9]{4}\r$")
                    .match(QString::fromLatin1(lines[0])).hasMatch())
        << lines[0].constData();
    EXPECT_EQ(lines[1], "base hex  timestamps absolute\r");
    EXPECT_EQ(lines[2], "no internal events logged\r");
    EXPECT_EQ(lines[3], "// version 7.0.0\r");
    EXPECT_EQ(lines[4], "     0.000000 1  123             Rx   d 8 01 02 03 04 05 06 07 08\r");
    EXPECT_EQ(lines[5], "     0.005000 1  123             Rx   d 8 01 02 03 04 05 06 07 08\r");
    EXPECT_EQ(lines[6], "    12.345000 CANFD   2  Tx   18FF0001x       1  0  9 12 00 01 02 03 04 05 06 07 08 09 0A 0B"
                        "    0  0   3000 0 0 0 0 0 \r");
    EXPECT_EQ(lines[7], "End Triggerblock\r");
}

TEST_F(AscFile, LineLayouts)
{
    struct Case {
        const char *what;
        QUserCanMsg msg;
        qint64 after; // ms after the first frame
        QString line;
    } cases[] = {
        {"999 ms", frame("7FF", false, false, 0, "1", "AA", 1, 0, 0), 999, "     0.999000 1  7FF             Tx   d 1 AA\r\n"},
        {"one second", frame("7FF", false, false, 0, "1", "AA", 0, 0, 0), 1000, "     1.000000 1  7FF             Rx   d 1 AA\r\n"},
        {"59.999 s", frame("7FF", false, false, 0, "1", "AA", 0, 0, 0), 59999, "    59.999000 1  7FF             Rx   d 1 AA\r\n"},
        {"beyond a million seconds", frame("1", false, false, 0, "0", "", 0, 0, 0), 1234567890,
         "1234567.890000 1  1               Rx   d 0 \r\n"},
        {"zero identifier", frame("00000000", false, false, 0, "0", "", 0, 3, 0), 0, "     0.000000 4  0               Rx   d 0 \r\n"},
        {"widest extended identifier", frame("1FFFFFFF", true, false, 0, "0", "", 0, 0, 0), 0,
         "     0.000000 1  1FFFFFFFx       Rx   d 0 \r\n"},
        {"received remote frame", frame("00000055 ", false, true, 0, "3", "", 0, 0, 0), 0, "     0.000000 1  55              Rx   r 0 \r\n"},
        {"data text with blanks", frame("100", false, false, 0, "3", " 01 02  03 ", 0, 0, 0), 0,
         "     0.000000 1  100             Rx   d 3 01 02 03\r\n"},
        {"classic data shorter than its length is padded", frame("100", false, false, 0, "4", "0102", 0, 0, 0), 0,
         "     0.000000 1  100             Rx   d 4 01 02 00 00\r\n"},
        {"classic length 9 keeps 8 bytes", frame("100", false, false, 0, "9", allData(9), 0, 0, 0), 0,
         "     0.000000 1  100             Rx   d 9 00 01 02 03 04 05 06 07\r\n"},
        {"CAN FD length 10 becomes 8", frame("123", false, false, 1, "10", allData(10), 0, 0, 0), 0,
         "     0.000000 CANFD   1  Rx   123             0  0  8 8 00 01 02 03 04 05 06 07    0  0   1000 0 0 0 0 0 \r\n"},
        {"CAN FD length 13 becomes 12, short data padded", frame("123", false, false, 1, "13", "0102", 0, 0, 0), 0,
         "     0.000000 CANFD   1  Rx   123             0  0  9 12 01 02 00 00 00 00 00 00 00 00 00 00    0  0   1000 0 0 0 0 0 \r\n"},
        {"CAN FD 64 bytes", frame("123", false, false, 2, "64", allData(64), 1, 0, 0), 0,
         "     0.000000 CANFD   1  Tx   123             1  0  F 64 " + [] {
             QString s = allData(64);
             for (int i = 126; i > 0; i -= 2)
                 s.insert(i, ' ');
             return s;
         }() + "    0  0   3000 0 0 0 0 0 \r\n"},
        {"CAN FD length 0", frame("123", false, false, 1, "0", "", 0, 0, 0), 0,
         "     0.000000 CANFD   1  Rx   123             0  0  0 0     0  0   1000 0 0 0 0 0 \r\n"},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.what);
        QUserAscFile f;
        bool ok = false;
        const qint64 t0 = 5000;
        f.msgToLine(frame("1", false, false, 0, "0", "", 0, 0, t0), ok); // sets the start time
        c.msg.hostTime = t0 + c.after;
        EXPECT_EQ(f.msgToLine(c.msg, ok), c.line);
        EXPECT_TRUE(ok);
    }
}

// Frames that reach the file out of order keep their own times; only a time
// before the first frame's is written as 0.
TEST_F(AscFile, OutOfOrderTimesAreKeptAndOnlyTimesBeforeTheFirstClamped)
{
    QUserAscFile f;
    bool ok;
    const qint64 t0 = 10000;
    const qint64 times[] = {t0, t0 + 100, t0 + 50, t0 - 20, t0 + 150};
    const char *expected[] = {"     0.000000", "     0.100000", "     0.050000", "     0.000000", "     0.150000"};
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(f.msgToLine(frame("1", false, false, 0, "0", "", 0, 0, times[i]), ok).startsWith(expected[i])) << i;
}

TEST_F(AscFile, ReaderRules)
{
    struct Case {
        const char *line;
        bool accepted;
        qint64 time = 0;
        int channel = 0;
        const char *id = "";
        int ext = 0, dir = 0, remote = 0, protocol = 0;
        const char *len = "";
        const char *data = "";
        int fdFlags = 0;
    } cases[] = {
        {"1.500000 1 7ff Rx d 2 AA BB", true, 1500, 0, "000007ff", 0, 0, 0, 0, "2", "AABB"},
        {"0.000000 1 100 Rx d 8 01 02", false},
        {"2.123456 2 18FF0001x Tx d 1 5A", true, 2123, 1, "18ff0001", 1, 1, 0, 0, "1", "5A"},
        {"3.000000 1 100 Rx d 9 01 02 03 04 05 06 07 08 09", true, 3000, 0, "00000100", 0, 0, 0, 0, "8", "0102030405060708"},
        {"0.25 1 55 Rx r 3", true, 250, 0, "00000055", 0, 0, 1, 0, "0", ""},
        {"7.5 1 55 Rx d 1 01", true, 7500, 0, "00000055", 0, 0, 0, 0, "1", "01"},
        {"0.0051239 1 55 Rx d 1 01", true, 5, 0, "00000055", 0, 0, 0, 0, "1", "01"},
        {"0.500000 1 55 Rx q 0 1 2", false},
        {"500000 1 55 Rx d 0", false},
        {"date Wed December 9 22:05:03 2026", false},
        {"   0.500000 CANFD   2 Tx   18FF0001x                                   1 0 9 12 00 01 02 03 04 05 06 07 08 09 0A 0B"
         "        0    0     3000        0        0        0        0        0",
         true, 500, 1, "18ff0001", 1, 1, 0, 2, "12", "000102030405060708090A0B", 1},
        {"1.0 CANFD 1 Rx 123 0 0 9 12 00 01", false},
        {"1.0 CANFD 1 Rx 123 0 0 9", false}, // too few parts for a CAN FD line
        {"1.0 CANFD 1 Xx 123 0 0 9 0", false},
        {"1.0 CANFD 1 Rx 123 0 0 0 0", true, 1000, 0, "00000123", 0, 0, 0, 1, "0", ""},
        // Other tools' lines. CAN FD with a symbolic message name between the
        // identifier and the bit-rate switch; the error-state indicator.
        {"0.500000 CANFD 1 Rx 1A3 EngineData 1 0 9 12 00 01 02 03 04 05 06 07 08 09 0A 0B 130000 130 3000 1fa4b 0 0 0 0", true, 500, 0,
         "000001a3", 0, 0, 0, 2, "12", "000102030405060708090A0B", 1},
        {"0.500000 CANFD 2 Tx 10x Diag_1 0 1 2 2 AB CD", true, 500, 1, "00000010", 1, 1, 0, 1, "2", "ABCD", 2},
        {"0.500000 CANFD 2 Tx 10x 0 1 2 2 AB CD", true, 500, 1, "00000010", 1, 1, 0, 1, "2", "ABCD", 2},
        {"0.500000 CANFD 1 Rx 11 1 1 1 1 EE", true, 500, 0, "00000011", 0, 0, 0, 2, "1", "EE", 3},
        {"0.500000 CANFD 1 Rx 1A3 EngineData 1 0 9 12 00 01", false},
        {"0.500000 CANFD 1 Rx 1A3 EngineData 1 0 9", false},
        // A CANFD line of a classic remote frame (remote flag 0x10 in the
        // flags after duration and bit count, no EDL): read as a classic
        // remote frame with its DLC as its length, up to 8. With EDL (or
        // without flags) a line of length 0 is a CAN FD data frame.
        {"1.0 CANFD 1 Rx 123 0 0 8 0 50000 54 10 0 0 0 0 0", true, 1000, 0, "00000123", 0, 0, 1, 0, "8", ""},
        {"1.0 CANFD 2 Tx 1ABx Req 0 0 3 0 50000 54 10 0", true, 1000, 1, "000001ab", 1, 1, 1, 0, "3", ""},
        {"1.0 CANFD 1 Rx 123 0 0 f 0 50000 54 10 0", true, 1000, 0, "00000123", 0, 0, 1, 0, "8", ""},
        {"1.0 CANFD 1 Rx 123 0 0 0 0 50000 54 1010 0", true, 1000, 0, "00000123", 0, 0, 0, 1, "0", ""},
        {"1.0 CANFD 1 Rx 123 0 0 0 0 50000 54 1000 0", true, 1000, 0, "00000123", 0, 0, 0, 1, "0", ""},
        {"1.0 CANFD 1 Rx 123 0 0 2 2 AA BB 50000 54 1000 0", true, 1000, 0, "00000123", 0, 0, 0, 1, "2", "AABB"},
        // A data frame without EDL: a classic frame of the CAN FD channel.
        {"1.0 CANFD 1 Rx 123 0 0 2 2 AA BB 50000 54 0 0", true, 1000, 0, "00000123", 0, 0, 0, 0, "2", "AABB"},
        {"1.0 CANFD 1 Tx 7ffx 0 0 8 8 01 02 03 04 05 06 07 08 90000 120 0 0", true, 1000, 0, "000007ff", 1, 1, 0, 0, "8",
         "0102030405060708"},
        // A classic line's DLC above 8 (a hex digit 9 to F, or a longer
        // field read as decimal) still carries 8 bytes: the length is 8.
        {"1.0 1 100 Rx d D 01 02 03 04 05 06 07 08", true, 1000, 0, "00000100", 0, 0, 0, 0, "8", "0102030405060708"},
        {"1.0 1 100 Rx d a 01 02 03 04 05 06 07 08 Length = 1 BitCount = 2", true, 1000, 0, "00000100", 0, 0, 0, 0, "8",
         "0102030405060708"},
        {"1.0 1 100 Rx d F 01 02", false},
        {"1.0 1 100 Rx d 10 01 02 03 04 05 06 07 08", true, 1000, 0, "00000100", 0, 0, 0, 0, "8", "0102030405060708"},
        {"1.0 1 100 Rx d 40 01 02 03 04 05 06 07 08", true, 1000, 0, "00000100", 0, 0, 0, 0, "8", "0102030405060708"},
        {"1.0 1 100 Rx d 9 01 02 03 04 05 06 07 08", true, 1000, 0, "00000100", 0, 0, 0, 0, "8", "0102030405060708"},
        // Error frames and other events where the identifier stands.
        {"0.014 CANFD 1 Rx ErrorFrame Stuff 0 0 0 0 0 0 1 0 8 8 01 02 03 04 05 06 07 08 0 0 3000 0 0 0 0 0", false},
        {"0.015 CANFD 2 Tx ErrorFrame 0 0 8 8 01 02 03 04 05 06 07 08", false},
        {"0.016 1 ErrorFrame Rx d 0", false},
        {"1.0 1 GHI Rx d 1 00", false},
        {"1.0 1 0x100 Rx d 1 00", false},
        {"1.0 1 x Rx d 1 00", false},
        {"1.0 1 123456789 Rx d 1 00", false}, // beyond 32 bits
        {"1.0 1 0000000000123 Rx d 1 00", true, 1000, 0, "00000123", 0, 0, 0, 0, "1", "00"},
        {"1.0 1 1fX Rx d 0", true, 1000, 0, "0000001f", 1, 0, 0, 0, "0", ""},
        // A remote frame without its DLC.
        {"0.030000 1 55 Rx r", true, 30, 0, "00000055", 0, 0, 1, 0, "0", ""},
        {"0.030000 2 1ABx Tx r", true, 30, 1, "000001ab", 1, 1, 1, 0, "0", ""},
        {"0.030000 1 55 Rx d", false},
        {"0.030000 1 55 Rx", false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.line);
        ASSERT_TRUE(tracetest::writeAll("r.asc", QByteArray("base hex  timestamps absolute\r\n") + c.line + "\r\nEnd Triggerblock\r\n"));
        QUserAscFile f;
        QList<QUserCanMsg> frames;
        EXPECT_EQ(f.fileRead("r.asc", frames), 0);
        ASSERT_EQ(frames.size(), c.accepted ? 1 : 0);
        // The list parsers give the same answer as the file reader.
        QUserCanMsg m;
        const QStringList parts = splitParts(c.line);
        const bool listOk = parts.size() >= 5
            && (parts[1] == "CANFD" ? QUserAscFile::lineToCanFdMsg(parts, m) : QUserAscFile::lineToCanMsg(parts, m));
        EXPECT_EQ(listOk, c.accepted);
        if (!c.accepted)
            continue;
        for (const QUserCanMsg &r : {frames[0], m}) {
            EXPECT_EQ(r.hostTime, c.time);
            EXPECT_EQ(r.channel, c.channel);
            EXPECT_EQ(r.idText, c.id);
            EXPECT_EQ(r.extended, c.ext);
            EXPECT_EQ(r.direction, c.dir);
            EXPECT_EQ(r.remote, c.remote);
            EXPECT_EQ(r.protocol, c.protocol);
            EXPECT_EQ(r.lenText, c.len);
            EXPECT_EQ(r.dataText, c.data);
            EXPECT_EQ(r.fdFlags, c.fdFlags);
        }
    }
}

// A "base dec" line switches identifiers and data bytes to decimal until a
// "base hex" line; a file opened again starts in hex.
TEST_F(AscFile, DecimalBaseLines)
{
    struct Case {
        const char *line;
        const char *id; // nullptr: skipped
        const char *data;
    } cases[] = {
        {"1.000000 1 291 Rx d 3 0 9 255", "00000123", "0009FF"},
        {"1.000000 1 4294967295 Rx d 0", "ffffffff", ""},
        {"1.000000 1 100x Tx r", "00000064", ""},
        {"1.000000 CANFD 1 Rx 16 Name 0 0 2 2 10 11", "00000010", "0A0B"},
        {"1.000000 1 4294967296 Rx d 0", nullptr, nullptr}, // beyond 32 bits
        {"1.000000 1 1A Rx d 1 1", nullptr, nullptr},       // not decimal
        {"1.000000 1 10 Rx d 1 256", nullptr, nullptr},     // not a byte
        {"1.000000 1 10 Rx d 1 0A", nullptr, nullptr},
        {"1.000000 1 10 Rx d 1 1000", nullptr, nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.line);
        ASSERT_TRUE(tracetest::writeAll("d.asc", QByteArray("base dec  timestamps absolute\r\n") + c.line
                                                      + "\r\nbase hex  timestamps absolute\r\n" + c.line + "\r\n"));
        QUserAscFile f;
        QList<QUserCanMsg> frames;
        EXPECT_EQ(f.fileRead("d.asc", frames), 0);
        f.close();
        // The second copy of the line is read in hex.
        QUserCanMsg hex;
        const bool hexOk = QUserAscFile::lineToCanMsg(splitParts(c.line), hex) || QUserAscFile::lineToCanFdMsg(splitParts(c.line), hex);
        const int n = (c.id ? 1 : 0) + (hexOk ? 1 : 0);
        ASSERT_EQ(frames.size(), n);
        if (c.id) {
            EXPECT_EQ(frames[0].idText, c.id);
            EXPECT_EQ(frames[0].dataText, c.data);
        }
        if (hexOk) {
            EXPECT_EQ(frames.last().idText, hex.idText);
            EXPECT_EQ(frames.last().dataText, hex.dataText);
        }
    }
    // Opening another file starts in hex again.
    ASSERT_TRUE(tracetest::writeAll("dec.asc", "base dec\r\n1.000000 1 16 Rx d 1 16\r\n"));
    ASSERT_TRUE(tracetest::writeAll("hex.asc", "1.000000 1 16 Rx d 1 16\r\n"));
    QUserAscFile f;
    QList<QUserCanMsg> frames;
    EXPECT_EQ(f.fileRead("dec.asc", frames), 0);
    EXPECT_EQ(f.fileRead("hex.asc", frames), 0);
    ASSERT_EQ(frames.size(), 2);
    EXPECT_EQ(frames[0].idText, "00000010");
    EXPECT_EQ(frames[0].dataText, "10");
    EXPECT_EQ(frames[1].idText, "00000016");
    EXPECT_EQ(frames[1].dataText, "16");
}

TEST_F(AscFile, WrittenFramesReadBackInBatches)
{
    QList<QUserCanMsg> written;
    for (int i = 0; i < 40; ++i) {
        const int proto = i % 3;
        const int len = proto ? (i * 5) % 65 : i % 9;
        QUserCanMsg m = frame(QString::asprintf("%08X ", 0x100 + i), i % 2, proto == 0 && i % 7 == 0, proto,
                              QString::number(proto ? [](int l) {
                                  const int v[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 12, 16, 20, 24, 32, 48, 64};
                                  int b = 0;
                                  for (int x : v)
                                      if (x <= l)
                                          b = x;
                                  return b;
                              }(len)
                                                   : len),
                              allData(64), i % 2, i % 4, 1000 + i * 37);
        m.dataText = m.dataText.left(2 * m.lenText.toInt());
        if (m.remote) {
            m.lenText = "0";
            m.dataText.clear();
        }
        written.append(m);
    }
    {
        QUserAscFile f;
        ASSERT_TRUE(f.fileCreate("b.asc"));
        for (const auto &m : written)
            ASSERT_TRUE(f.write(m));
        ASSERT_TRUE(f.close());
    }
    QUserAscFile f;
    QList<QUserCanMsg> back;
    QList<int> counts;
    int n;
    do {
        n = f.fileReadPart("b.asc", back, 16);
        counts.append(n);
    } while (n >= 16);
    EXPECT_EQ(counts, (QList<int>{16, 16, 8}));
    ASSERT_EQ(back.size(), written.size());
    for (int i = 0; i < written.size(); ++i) {
        SCOPED_TRACE(i);
        const QUserCanMsg &w = written[i];
        const QUserCanMsg &r = back[i];
        EXPECT_EQ(r.idText, w.idText.trimmed().toLower());
        EXPECT_EQ(r.extended, w.extended);
        EXPECT_EQ(r.remote, w.remote);
        EXPECT_EQ(r.protocol, w.protocol);
        EXPECT_EQ(r.lenText, w.lenText);
        EXPECT_EQ(r.dataText, w.dataText);
        EXPECT_EQ(r.direction, w.direction);
        EXPECT_EQ(r.channel, w.channel);
        EXPECT_EQ(r.hostTime, w.hostTime - 1000);
    }
    f.close();

    // Exactly 16 frames: 16, then 0. A limit of 0 still yields one a call.
    {
        QUserAscFile w;
        ASSERT_TRUE(w.fileCreate("s.asc"));
        for (int i = 0; i < 16; ++i)
            w.write(written[i]);
        w.close();
    }
    QList<QUserCanMsg> sixteen;
    QUserAscFile r16;
    EXPECT_EQ(r16.fileReadPart("s.asc", sixteen, 16), 16);
    EXPECT_EQ(r16.fileReadPart("s.asc", sixteen, 16), 0);
    r16.close();
    QUserAscFile r0;
    QList<QUserCanMsg> ones;
    EXPECT_EQ(r0.fileReadPart("s.asc", ones, 0), 1);
    EXPECT_EQ(r0.fileReadPart("s.asc", ones, -5), 1);
    EXPECT_EQ(ones.size(), 2);
}

TEST_F(AscFile, FailuresAreReported)
{
    tracetest::LogCapture log;
    QUserAscFile f;
    // Writing, flushing and closing with nothing open.
    EXPECT_FALSE(f.write(frame("1", false, false, 0, "0", "", 0, 0, 0)));
    EXPECT_TRUE(f.flush());
    EXPECT_TRUE(f.close());
    // Creating in a folder that does not exist.
    EXPECT_FALSE(f.fileCreate("no/such/folder/x.asc"));
    EXPECT_TRUE(log.contains("ASC File:no/such/folder/x.asc Creat Fail..."));
    // Reading a file that does not exist.
    QList<QUserCanMsg> frames;
    EXPECT_EQ(f.fileReadPart("missing.asc", frames, 16), 0);
    EXPECT_TRUE(log.contains("File:missing.asc Open Fail..."));
    EXPECT_EQ(f.fileRead("missing.asc", frames), -1);

    // A full disk: the header cannot be written, the first write says so,
    // and so do flush and close.
    if (!QFile::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    ASSERT_TRUE(f.fileCreate("/dev/full"));
    bool failed = false;
    for (int i = 0; i < 100 && !failed; ++i)
        failed = !f.write(frame("1", false, false, 0, "1", "00", 0, 0, i));
    EXPECT_TRUE(failed);
    EXPECT_FALSE(f.flush());
    EXPECT_FALSE(f.close());
}

// A recording ended before its first flush (the program killed): what the
// file holds is the header, read as a trace file of no frames, never an
// empty file that is no trace file.
TEST_F(AscFile, FileBeforeItsFirstFlushIsATraceFileOfNoFrames)
{
    QUserAscFile w;
    ASSERT_TRUE(w.fileCreate("early.asc"));
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(w.write(frame("123", false, false, 0, "1", "00", 0, 0, 1700000000000 + i)));
    // The writer is still open and has not flushed its three lines.
    ASSERT_TRUE(QFile::copy("early.asc", "killed.asc"));
    QUserAscFile r;
    QList<QUserCanMsg> frames;
    EXPECT_EQ(r.fileRead("killed.asc", frames), 0);
    EXPECT_TRUE(frames.isEmpty());
    EXPECT_FALSE(r.notTraceFile());
    EXPECT_EQ(r.damagedLines(), 0);
    ASSERT_TRUE(w.close());
    frames.clear();
    QUserAscFile whole;
    whole.fileRead("early.asc", frames);
    EXPECT_EQ(frames.size(), 3);
}

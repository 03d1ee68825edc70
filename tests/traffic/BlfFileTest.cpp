// BLF trace files through the binlog library: the objects handed over, what
// the reader makes of them and of other tools' objects, and failures.

#include "tests/binlog/BlfCraft.h"
#include "traffic/QUserBlfFile.h"
#include "tests/support/TempWorkDir.h"
#include "tests/traffic/TraceSupport.h"
#include "tests/traffic/OtherToolsFixtures.h"

#include <gtest/gtest.h>

#include <QLibrary>

#include <dlfcn.h>
#include <thread>
#include <vector>

using tracetest::frame;

namespace {

// Every object of a file, raw, through the library itself.
std::vector<craft::Bytes> objectsOf(const QString &path)
{
    std::vector<craft::Bytes> out;
    QLibrary lib(QUserBlfFile::libraryPath());
    if (!lib.load())
        return out;
    auto create = reinterpret_cast<void *(*)(const char *, uint32_t)>(lib.resolve("BLCreateFile"));
    auto peek = reinterpret_cast<int32_t (*)(void *, void *)>(lib.resolve("BLPeekObject"));
    auto read = reinterpret_cast<int32_t (*)(void *, void *, size_t)>(lib.resolve("BLReadObjectSecure"));
    auto closeH = reinterpret_cast<int32_t (*)(void *)>(lib.resolve("BLCloseHandle"));
    void *h = create(QFile::encodeName(path).constData(), 0x80000000u);
    if (h == reinterpret_cast<void *>(~uintptr_t(0)))
        return out;
    uint8_t base[16];
    while (peek(h, base)) {
        craft::Bytes o(craft::get32(base + 8), 0);
        std::memcpy(o.data(), base, 16);
        if (!read(h, o.data(), o.size()))
            break;
        out.push_back(o);
    }
    closeH(h);
    return out;
}

uint16_t u16(const craft::Bytes &b, size_t at) { return uint16_t(b[at] | (b[at + 1] << 8)); }
uint32_t u32(const craft::Bytes &b, size_t at) { return craft::get32(b.data() + at); }
uint64_t u64(const craft::Bytes &b, size_t at) { return u32(b, at) | (uint64_t(u32(b, at + 4)) << 32); }

QString hexOf(const uint8_t *p, int n)
{
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(p), n).toHex().toUpper());
}

} // namespace

class BlfFile : public WorkDirTest
{
};

TEST_F(BlfFile, LibraryLoadsFromNextToTheProgram)
{
    QUserBlfFile f;
    ASSERT_TRUE(f.isLoaded()) << QUserBlfFile::libraryPath().toStdString();
    EXPECT_TRUE(QUserBlfFile::libraryPath().endsWith("/libbinlog.so"));
}

// Recorders' writers, playback, the viewer and the save worker make and drop
// their front ends on threads of their own. The library stays loaded once
// it has been: the last object's unload on one thread never closes it while
// another thread's load takes it as loaded and resolves from it.
TEST_F(BlfFile, LibraryStaysLoadedWhenItsObjectsComeAndGoOnSeveralThreads)
{
    const QByteArray path = QFile::encodeName(QUserBlfFile::libraryPath());
    { QUserBlfFile first; ASSERT_TRUE(first.isLoaded()); }
    void *still = dlopen(path.constData(), RTLD_NOW | RTLD_NOLOAD);
    EXPECT_NE(still, nullptr) << "the last object's unload closed the library";
    if (still)
        dlclose(still);

    constexpr int kThreads = 6, kRounds = 150;
    std::vector<int> made(kThreads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([t, &made] {
            const QString name = QStringLiteral("mt%1.blf").arg(t);
            for (int i = 0; i < kRounds; ++i) {
                QUserBlfFile f;
                if (f.isLoaded() && f.fileCreate(name) && f.close())
                    ++made[t];
            }
        });
    for (std::thread &th : threads)
        th.join();
    for (int t = 0; t < kThreads; ++t)
        EXPECT_EQ(made[t], kRounds) << t;
}

TEST_F(BlfFile, ObjectsWrittenPerFrame)
{
    const qint64 t0 = 1700000000000;
    QList<QUserCanMsg> frames = {
        frame("18FF0001", true, false, 0, "8", "0102030405060708", 0, 0, t0),
        frame("00000055 ", false, true, 0, "0", "", 0, 1, t0 + 5),
        frame("123", false, false, 1, "10", "00 01 02 03 04 05 06 07 08 09", 0, 2, t0 + 7),
        frame("7FF", false, false, 2, "64", QString(128, 'A'), 1, 0, t0 + 1234),
        frame("100", false, false, 0, "3", "01 02 03", 1, 0, t0 + 1300),
        frame("101", false, false, 1, "12", "0102", 0, 0, t0 + 1400), // short data: zero fill
    };
    {
        QUserBlfFile f;
        ASSERT_TRUE(f.fileCreate("o.blf"));
        for (const auto &m : frames)
            ASSERT_TRUE(f.write(m));
        ASSERT_TRUE(f.close());
    }
    const auto objs = objectsOf("o.blf");
    ASSERT_EQ(objs.size(), 2 * size_t(frames.size()));
    for (size_t i = 0; i < objs.size(); ++i) {
        SCOPED_TRACE(i);
        const craft::Bytes &o = objs[i];
        const bool trigger = i % 2 == 0;
        const int proto = frames[int(i / 2)].protocol;
        EXPECT_EQ(std::string(o.begin(), o.begin() + 4), "LOBJ");
        EXPECT_EQ(u16(o, 4), 32);
        EXPECT_EQ(u16(o, 6), 1);
        EXPECT_EQ(u32(o, 8), trigger ? 56u : (proto ? 120u : 48u));
        EXPECT_EQ(u32(o, 12), trigger ? 5u : (proto ? 100u : 1u));
        EXPECT_EQ(u32(o, 16), 2u);
        EXPECT_EQ(u64(o, 24), uint64_t(frames[int(i / 2)].hostTime - t0) * 1000000u);
        if (trigger) {
            EXPECT_EQ(craft::Bytes(o.begin() + 32, o.end()), craft::Bytes(24, 0));
        }
    }
    // Extended classic frame: identifier with bit 31.
    EXPECT_EQ(u16(objs[1], 32), 1);
    EXPECT_EQ(objs[1][34], 0);
    EXPECT_EQ(objs[1][35], 8);
    EXPECT_EQ(u32(objs[1], 36), 0x98FF0001u);
    EXPECT_EQ(hexOf(objs[1].data() + 40, 8), "0102030405060708");
    // Received remote frame.
    EXPECT_EQ(u16(objs[3], 32), 2);
    EXPECT_EQ(objs[3][34], 0x80);
    EXPECT_EQ(objs[3][35], 0);
    EXPECT_EQ(u32(objs[3], 36), 0x55u);
    // CAN FD length 10: written as 8 (DLC 8, 8 valid bytes), EDL set.
    EXPECT_EQ(objs[5][35], 8);
    EXPECT_EQ(objs[5][45], 0x01);
    EXPECT_EQ(objs[5][46], 8);
    EXPECT_EQ(hexOf(objs[5].data() + 52, 8), "0001020304050607");
    // Sent CAN FD frame with bit-rate switch: flags 1, EDL and BRS.
    EXPECT_EQ(objs[7][34], 0x01);
    EXPECT_EQ(objs[7][35], 15);
    EXPECT_EQ(objs[7][45], 0x03);
    EXPECT_EQ(objs[7][46], 64);
    // Data text with blanks decodes to its bytes.
    EXPECT_EQ(hexOf(objs[9].data() + 40, 3), "010203");
    // Short data is zero-filled, not left over from the earlier frame.
    EXPECT_EQ(hexOf(objs[11].data() + 52, 12), "010200000000000000000000");

    // Read back: identifiers "%08X ", lengths and data as written.
    QUserBlfFile r;
    QList<QUserCanMsg> back;
    EXPECT_EQ(r.fileRead("o.blf", back), 0);
    ASSERT_EQ(back.size(), frames.size());
    const char *ids[] = {"18FF0001 ", "00000055 ", "00000123 ", "000007FF ", "00000100 ", "00000101 "};
    const char *lens[] = {"8", "0", "8", "64", "3", "12"};
    const QString datas[] = {"0102030405060708", "", "0001020304050607", QString(128, 'A'), "010203", "010200000000000000000000"};
    const int protos[] = {0, 0, 1, 2, 0, 1};
    for (int i = 0; i < back.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(back[i].idText, ids[i]);
        EXPECT_EQ(back[i].extended, frames[i].extended);
        EXPECT_EQ(back[i].remote, frames[i].remote);
        EXPECT_EQ(back[i].protocol, protos[i]);
        EXPECT_EQ(back[i].lenText, lens[i]);
        EXPECT_EQ(back[i].dataText, datas[i]);
        EXPECT_EQ(back[i].direction, frames[i].direction);
        EXPECT_EQ(back[i].channel, frames[i].channel);
        EXPECT_EQ(back[i].hostTime, frames[i].hostTime - t0);
    }
}

// Frames that reach the file out of order keep their own times; only a time
// before the first frame's is stamped 0.
TEST_F(BlfFile, OutOfOrderTimesAreKeptAndOnlyTimesBeforeTheFirstClamped)
{
    const qint64 t0 = 50000;
    {
        QUserBlfFile f;
        ASSERT_TRUE(f.fileCreate("t.blf"));
        for (qint64 t : {t0, t0 + 100, t0 + 50, t0 - 20, t0 + 150})
            ASSERT_TRUE(f.write(frame("1", false, false, 0, "0", "", 0, 0, t)));
        f.close();
    }
    QUserBlfFile r;
    QList<QUserCanMsg> back;
    r.fileRead("t.blf", back);
    QList<qint64> times;
    for (const auto &m : back)
        times.append(m.hostTime);
    EXPECT_EQ(times, (QList<qint64>{0, 100, 50, 0, 150}));
}

TEST_F(BlfFile, ReaderTakesOtherToolsObjects)
{
    auto can = [](uint64_t ts, uint32_t flags, uint8_t dlc, int hv = 1) {
        craft::Bytes b(16, 0);
        b[0] = 2; // channel 2
        b[2] = 0x01; // sent
        b[3] = dlc;
        craft::put32(b, 4, 0x80000000u | 0x1ABCDEF);
        for (int i = 0; i < 8; ++i)
            b[8 + i] = uint8_t(0x10 + i);
        return craft::object(1, ts, b, hv, flags);
    };
    auto fd = [](uint64_t ts, uint8_t fdFlags, uint8_t valid, size_t bodyLen) {
        craft::Bytes b(88, 0);
        b[0] = 1;
        b[3] = 15;
        craft::put32(b, 4, 0x321);
        b[13] = fdFlags;
        b[14] = valid;
        for (int i = 0; i < 64; ++i)
            b[20 + i] = uint8_t(i);
        b.resize(bodyLen);
        return craft::object(100, ts, b);
    };
    const std::vector<craft::Bytes> objects = {
        craft::object(5, 0, craft::Bytes(24, 0)),  // trigger: skipped
        can(1000000, 2, 15),                       // DLC 15 -> 8 bytes; ns
        can(250, 1, 3),                            // 10 us units: 2.5 ms
        can(100000000, 2, 2, 2),                   // header version 2
        craft::object(73, 5, craft::Bytes(32, 0)), // error frame: skipped
        fd(3000000, 0x00, 12, 88),                 // no EDL: still CAN FD
        fd(4000000, 0x03, 80, 88),                 // valid bytes above 64
        fd(5000000, 0x01, 12, 84),                 // shorter than the full layout
        craft::object(96, 5, craft::Bytes(40, 0)), // marker: skipped
    };
    for (bool compress : {false, true}) {
        SCOPED_TRACE(compress);
        ASSERT_TRUE(craft::writeFile("x.blf", craft::file(objects, compress, 50)));
        QUserBlfFile r;
        QList<QUserCanMsg> back;
        ASSERT_EQ(r.fileRead("x.blf", back), 0);
        ASSERT_EQ(back.size(), 6);
        EXPECT_EQ(back[0].lenText, "8");
        EXPECT_EQ(back[0].dataText, "1011121314151617");
        EXPECT_EQ(back[0].idText, "01ABCDEF ");
        EXPECT_EQ(back[0].extended, 1);
        EXPECT_EQ(back[0].direction, 1);
        EXPECT_EQ(back[0].channel, 1);
        EXPECT_EQ(back[0].hostTime, 1);
        EXPECT_EQ(back[1].hostTime, 2);
        EXPECT_EQ(back[1].dataText, "101112");
        EXPECT_EQ(back[2].hostTime, 100);
        EXPECT_EQ(back[2].lenText, "2");
        EXPECT_EQ(back[3].protocol, 1);
        EXPECT_EQ(back[3].lenText, "12");
        EXPECT_EQ(back[3].dataText, "000102030405060708090A0B");
        EXPECT_EQ(back[3].idText, "00000321 ");
        EXPECT_EQ(back[3].channel, 0);
        EXPECT_EQ(back[4].protocol, 2);
        EXPECT_EQ(back[4].lenText, "64");
        EXPECT_EQ(back[4].dataText.size(), 128);
        EXPECT_EQ(back[5].lenText, "12");
        EXPECT_EQ(back[5].dataText, "000102030405060708090A0B");
        EXPECT_EQ(back[5].hostTime, 5);
    }
    // Only other types: nothing, result 0. A file that does not open: -1.
    ASSERT_TRUE(craft::writeFile("none.blf", craft::file({craft::object(5, 0, craft::Bytes(24, 0))}, true)));
    QUserBlfFile r;
    QList<QUserCanMsg> back;
    EXPECT_EQ(r.fileRead("none.blf", back), 0);
    EXPECT_EQ(r.fileReadPart("none.blf", back, 16), 0);
    r.close();
    EXPECT_TRUE(back.isEmpty());
    EXPECT_EQ(r.fileRead("missing.blf", back), -1);
    EXPECT_EQ(r.fileReadPart("missing.blf", back, 16), -1);
}

TEST_F(BlfFile, CreatingAgainClosesTheFirstFile)
{
    QUserBlfFile f;
    ASSERT_TRUE(f.fileCreate("a.blf"));
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(f.write(frame("1", false, false, 0, "1", "00", 0, 0, i)));
    ASSERT_TRUE(f.fileCreate("b.blf"));
    ASSERT_TRUE(f.write(frame("2", false, false, 0, "1", "00", 0, 0, 0)));
    ASSERT_TRUE(f.close());
    QUserBlfFile r;
    QList<QUserCanMsg> a, b;
    EXPECT_EQ(r.fileRead("a.blf", a), 0);
    EXPECT_EQ(r.fileRead("b.blf", b), 0);
    EXPECT_EQ(a.size(), 3);
    EXPECT_EQ(b.size(), 1);
}

TEST_F(BlfFile, FailuresAreReported)
{
    tracetest::LogCapture log;
    {
        QUserBlfFile f;
        EXPECT_FALSE(f.write(frame("1", false, false, 0, "0", "", 0, 0, 0)));
        EXPECT_TRUE(f.flush());
        EXPECT_TRUE(f.close());
        EXPECT_FALSE(f.fileCreate("no/such/folder/x.blf"));
        EXPECT_TRUE(log.contains("BLCreateFileFun Load Fail..."));
        if (QFile::exists("/dev/full")) {
            // A full disk: the flush after the 100th frame fails, so does close.
            ASSERT_TRUE(f.fileCreate("/dev/full"));
            bool failed = false;
            for (int i = 0; i < 100 && !failed; ++i)
                failed = !f.write(frame("1", false, false, 0, "1", "00", 0, 0, i));
            EXPECT_TRUE(failed);
            EXPECT_FALSE(f.flush());
            EXPECT_FALSE(f.close());
        }
    }
    EXPECT_TRUE(log.contains("binlogLib Unload..."));
}

// Objects of current tools at the edges of their layouts, held against the
// frames they stand for. python-can keeps only the bytes present of a CAN FD
// message whose valid bytes fall short of its DLC, so these are not compared
// with it.
TEST_F(BlfFile, ReaderTakesEdgesOfCurrentToolsObjects)
{
    using namespace othertools;
    Fd64 shortValid; // DLC 9 (12 bytes), only 4 valid, extended frame data behind them
    shortValid.dlc = 9;
    shortValid.valid = 4;
    shortValid.id = 0x10;
    shortValid.flags = 0x1000;
    shortValid.data = {0x01, 0x02, 0x03, 0x04};
    shortValid.extData = craft::Bytes(16, 0xEE);
    Fd64 bigDlc; // a DLC code above 15 counts as 64 bytes
    bigDlc.dlc = 20;
    bigDlc.valid = 64;
    bigDlc.id = 0x11;
    bigDlc.flags = 0x1000;
    bigDlc.data = craft::Bytes(64, 0x5A);
    // A type-101 object cut off before its flags: what is missing reads as 0,
    // a classic frame of one zero byte.
    Fd64 small;
    small.dlc = 1;
    small.valid = 1;
    small.id = 0x12;
    craft::Bytes truncated = canFdMessage64(ms(4), small);
    truncated.resize(32 + 12);
    craft::put32(truncated, 8, uint32_t(truncated.size()));
    Fd64 v2;
    v2.dlc = 2;
    v2.valid = 2;
    v2.id = 0x13;
    v2.flags = 0x3000;
    v2.data = {0xC1, 0xC2};
    craft::Bytes v2obj = canFdMessage64(ms(5), v2);
    {
        // Same object behind a 40-byte version-2 header.
        craft::Bytes body(v2obj.begin() + 32, v2obj.end());
        v2obj = craft::object(101, ms(5), body, 2);
    }
    const std::vector<craft::Bytes> objects = {
        canFdMessage64(ms(1), shortValid),
        canFdMessage64(ms(2), bigDlc),
        truncated,
        v2obj,
        // A remote CAN message carries no data, whatever its data bytes hold.
        canMessage(ms(6), 1, 0x80, 4, 0x14, {0x99, 0x99, 0x99, 0x99}),
        canMessage2(ms(7), 1, 0x80, 8, 0x15, {0x99, 0x99}),
        // CAN FD message (type 100) with EDL and ESI, no BRS.
        canFdMessage(ms(8), 2, 0x01, 1, 0x16, 0x05, 1, {0x77}),
        // CAN message after a CAN FD one: no CAN FD flags left over.
        canMessage(ms(9), 1, 0x00, 1, 0x17, {0x78}),
    };
    const std::vector<Want> want = {
        {"00000010 ", 0, 0, 1, 0, "12", "010203040000000000000000", 0, 0, 1},
        {"00000011 ", 0, 0, 1, 0, "64", "", 0, 0, 2}, // data: 64 times 5A, below
        {"00000012 ", 0, 0, 0, 0, "1", "00", 0, 0, 4},
        {"00000013 ", 0, 0, 2, 1, "2", "C1C2", 0, 0, 5},
        {"00000014 ", 0, 1, 0, 0, "4", "", 0, 0, 6},
        {"00000015 ", 0, 1, 0, 0, "8", "", 0, 0, 7},
        {"00000016 ", 0, 0, 1, 2, "1", "77", 1, 1, 8},
        {"00000017 ", 0, 0, 0, 0, "1", "78", 0, 0, 9},
    };
    const QString bigData = QString("5A").repeated(64);
    ASSERT_TRUE(craft::writeFile("edges.blf", craft::file(objects, true, 100)));
    QUserBlfFile r;
    QList<QUserCanMsg> back;
    ASSERT_EQ(r.fileRead("edges.blf", back), 0);
    ASSERT_EQ(size_t(back.size()), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        SCOPED_TRACE(i);
        const QUserCanMsg &m = back[int(i)];
        EXPECT_EQ(m.idText, QString(want[i].id));
        EXPECT_EQ(m.extended, want[i].ext);
        EXPECT_EQ(m.remote, want[i].remote);
        EXPECT_EQ(m.protocol, want[i].protocol);
        EXPECT_EQ(m.fdFlags, want[i].fdFlags);
        EXPECT_EQ(m.lenText, QString(want[i].len));
        EXPECT_EQ(m.dataText, i == 1 ? bigData : QString(want[i].data));
        EXPECT_EQ(m.direction, want[i].dir);
        EXPECT_EQ(m.channel, want[i].channel);
        EXPECT_EQ(m.hostTime, want[i].ms);
    }
}

// A file shorter than its header says: the frames before the cut are read
// and the file tells that it ended early; a whole file does not, nor one
// whose header gives no size.
TEST_F(BlfFile, FileCutShortIsToldApartFromAWholeOne)
{
    struct Case {
        const char *name;
        craft::Bytes bytes;
        bool early;
        int minFrames, maxFrames;
    } cases[] = {
        {"cut.blf", othertools::cutShortBlf(40, 2), true, 20, 29},
        {"whole.blf", craft::file({othertools::canMessage(othertools::ms(1), 1, 0, 1, 0x100, {1})}, true), false, 1, 1},
        {"cut-at-start.blf", othertools::cutShortBlf(40, 0), true, 0, 9},
    };
    craft::Bytes noSize = othertools::cutShortBlf(40, 2);
    craft::put64(noSize, 16, 0);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(craft::writeFile(workDir.file(c.name), c.bytes));
        QUserBlfFile f;
        QList<QUserCanMsg> frames;
        int n;
        do {
            n = f.fileReadPart(QString::fromStdString(workDir.file(c.name)), frames, 16);
        } while (n >= 16);
        EXPECT_EQ(f.endedEarly(), c.early);
        f.close();
        EXPECT_EQ(f.endedEarly(), c.early) << "kept after close";
        EXPECT_GE(frames.size(), c.minFrames);
        EXPECT_LE(frames.size(), c.maxFrames);
        for (int i = 0; i < frames.size(); ++i)
            EXPECT_EQ(frames[i].idText.trimmed().toUInt(nullptr, 16), uint(0x100 + i));
    }
    ASSERT_TRUE(craft::writeFile(workDir.file("nosize.blf"), noSize));
    QUserBlfFile f;
    QList<QUserCanMsg> frames;
    EXPECT_EQ(f.fileRead(QString::fromStdString(workDir.file("nosize.blf")), frames), 0);
    EXPECT_FALSE(f.endedEarly()) << "no size in the header: nothing to hold the file against";
}

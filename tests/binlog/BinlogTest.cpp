// The binlog library through its C interface: what it writes reads back
// object for object, the reader takes the layouts other tools write, and
// damaged or hostile files end the read cleanly.

#include "tests/binlog/BlfCraft.h"
#include "tests/support/TempWorkDir.h"
#include "binlog/include/binlog.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/PeerCheck.h"
#include "binlog/src/BlfReader.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <random>
#include <thread>

#include <sys/mman.h>

using craft::Bytes;

namespace {

struct ReadObject {
    uint32_t type;
    Bytes bytes; // as BLReadObjectSecure returns it, buffer of the object's size
};

// Reads every object; `complete` tells whether the read ended at a clean end
// (peek 0 after the last object) rather than at a refused read.
std::vector<ReadObject> readAll(const std::string &path, bool *opened = nullptr, size_t cap = 100000)
{
    std::vector<ReadObject> out;
    void *h = BLCreateFile(path.c_str(), BL_ACCESS_READ);
    if (opened)
        *opened = h != BL_INVALID_HANDLE;
    if (h == BL_INVALID_HANDLE)
        return out;
    uint8_t base[16];
    while (out.size() < cap && BLPeekObject(h, base)) {
        const uint32_t size = craft::get32(base + 8);
        const uint32_t type = craft::get32(base + 12);
        Bytes buf(std::max<uint32_t>(size + 8, 32), 0);
        std::memcpy(buf.data(), base, 16);
        if (!BLReadObjectSecure(h, buf.data(), buf.size()))
            break;
        buf.resize(craft::get32(buf.data() + 8));
        out.push_back({type, buf});
        BLFreeObject(h, buf.data());
    }
    BLCloseHandle(h);
    return out;
}

Bytes body(size_t n, uint8_t seed)
{
    Bytes b(n);
    for (size_t i = 0; i < n; ++i)
        b[i] = uint8_t(seed + i * 7);
    return b;
}

} // namespace

class Binlog : public WorkDirTest
{
};

TEST_F(Binlog, WrittenObjectsReadBackAcrossCompressionAndContainerCuts)
{
    // Bodies of assorted sizes, odd ones among them; small containers make
    // objects span two or more containers.
    std::vector<Bytes> objects;
    for (int i = 0; i < 300; ++i) {
        const uint32_t type = i % 3 == 0 ? 5 : (i % 3 == 1 ? 1 : 100);
        objects.push_back(craft::object(type, uint64_t(i) * 1000000, body(i % 3 == 0 ? 24 : (i % 3 == 1 ? 16 : 88) + (i % 5 == 0 ? 3 : 0), uint8_t(i))));
    }
    struct Case {
        uint32_t level;
        uint32_t containerSize;
    } cases[] = {{0, 0}, {6, 0}, {6, 100}, {0, 64}, {1, 333}, {10, 4096}};
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "level " << c.level << " container " << c.containerSize);
        const std::string path = workDir.file("w.blf");
        void *h = BLCreateFile(path.c_str(), BL_ACCESS_WRITE);
        ASSERT_NE(h, BL_INVALID_HANDLE);
        EXPECT_EQ(BLSetApplication(h, 6, 1, 0, 1), 1);
        const uint16_t st[8] = {2024, 5, 3, 17, 8, 30, 15, 250};
        EXPECT_EQ(BLSetMeasurementStartTime(h, st), 1);
        EXPECT_EQ(BLSetWriteOptions(h, c.level, c.containerSize), 1);
        for (size_t i = 0; i < objects.size(); ++i) {
            ASSERT_EQ(BLWriteObject(h, objects[i].data()), 1);
            if (i == 150 || i == 151 || i == 152) { // the later two follow at once: coalesced
                EXPECT_EQ(BLFlushFileBuffers(h, 2), 1);
            }
        }
        EXPECT_EQ(BLCloseHandle(h), 1);

        const Bytes file = craft::readFile(path);
        ASSERT_GE(file.size(), 144u);
        EXPECT_EQ(std::string(file.begin(), file.begin() + 4), "LOGG");
        EXPECT_EQ(craft::get32(file.data() + 4), 144u);
        EXPECT_EQ(file[8], 6);
        EXPECT_EQ(craft::get32(file.data() + 16), file.size()); // file size
        EXPECT_EQ(craft::get32(file.data() + 32), objects.size());
        EXPECT_EQ(file[40] | (file[41] << 8), 2024);
        EXPECT_EQ(file[54] | (file[55] << 8), 250);
        // Last object time: 299 ms after the start, 08:30:15.549.
        EXPECT_EQ(file[64] | (file[65] << 8), 8);
        EXPECT_EQ(file[66] | (file[67] << 8), 30);
        EXPECT_EQ(file[68] | (file[69] << 8), 15);
        EXPECT_EQ(file[70] | (file[71] << 8), 549);

        const auto back = readAll(path);
        ASSERT_EQ(back.size(), objects.size());
        for (size_t i = 0; i < objects.size(); ++i) {
            ASSERT_EQ(back[i].type, craft::get32(objects[i].data() + 12)) << i;
            ASSERT_EQ(back[i].bytes, objects[i]) << i;
        }
    }
}

TEST_F(Binlog, ReaderTakesOtherToolsLayouts)
{
    // Header version 2, an object shorter than the caller's layout, objects
    // of unknown types, and time stamps in 10 us units.
    Bytes v2 = craft::object(1, 12345, body(16, 1), 2, 1);
    Bytes shortFd = craft::object(100, 7, body(84, 2));
    Bytes other = craft::object(73, 9, body(32, 3));
    Bytes plain = craft::object(1, 11, body(16, 4));
    for (bool compress : {false, true}) {
        for (size_t chunk : {size_t(37), size_t(4096)}) {
            SCOPED_TRACE(testing::Message() << "compress " << compress << " chunk " << chunk);
            const std::string path = workDir.file("o.blf");
            ASSERT_TRUE(craft::writeFile(path, craft::file({v2, shortFd, other, plain}, compress, chunk)));
            void *h = BLCreateFile(path.c_str(), BL_ACCESS_READ);
            ASSERT_NE(h, BL_INVALID_HANDLE);
            uint8_t base[16];
            uint8_t msg[48] = {};
            // v2 object comes back with a version-1 header and its body at 32.
            ASSERT_EQ(BLPeekObject(h, base), 1);
            EXPECT_EQ(craft::get32(base + 12), 1u);
            std::memcpy(msg, base, 16);
            ASSERT_EQ(BLReadObjectSecure(h, msg, sizeof msg), 1);
            EXPECT_EQ(msg[4], 32);
            EXPECT_EQ(msg[6], 1);
            EXPECT_EQ(craft::get32(msg + 16), 1u); // 10 us flag kept
            EXPECT_EQ(craft::get32(msg + 24), 12345u);
            EXPECT_EQ(Bytes(msg + 32, msg + 48), body(16, 1));
            // Short CAN FD object: body copied, the rest of the 120 bytes zero.
            uint8_t fd[120];
            std::memset(fd, 0xEE, sizeof fd);
            ASSERT_EQ(BLPeekObject(h, base), 1);
            std::memcpy(fd, base, 16);
            ASSERT_EQ(BLReadObjectSecure(h, fd, sizeof fd), 1);
            EXPECT_EQ(Bytes(fd + 32, fd + 116), body(84, 2));
            EXPECT_EQ(Bytes(fd + 116, fd + 120), Bytes(4, 0));
            // A read whose buffer names another type is refused and consumes
            // nothing; skip passes over it.
            ASSERT_EQ(BLPeekObject(h, base), 1);
            EXPECT_EQ(craft::get32(base + 12), 73u);
            std::memcpy(msg, base, 16);
            craft::Bytes wrong(msg, msg + 48);
            craft::put32(wrong, 12, 1);
            EXPECT_EQ(BLReadObjectSecure(h, wrong.data(), wrong.size()), 0);
            EXPECT_EQ(BLSkipObject(h, base), 1);
            ASSERT_EQ(BLPeekObject(h, base), 1);
            std::memcpy(msg, base, 16);
            ASSERT_EQ(BLReadObjectSecure(h, msg, sizeof msg), 1);
            EXPECT_EQ(craft::get32(msg + 24), 11u);
            EXPECT_EQ(BLPeekObject(h, base), 0);
            EXPECT_EQ(BLCloseHandle(h), 1);
        }
    }
}

TEST_F(Binlog, DamagedFilesEndTheReadCleanly)
{
    std::vector<Bytes> objects;
    for (int i = 0; i < 40; ++i)
        objects.push_back(craft::object(i % 2 ? 1 : 100, i, body(i % 2 ? 16 : 88, uint8_t(i))));
    const std::string path = workDir.file("d.blf");
    for (bool compress : {false, true}) {
        const Bytes good = craft::file(objects, compress, 500);
        // Every truncation: the objects read are a prefix of the good ones.
        for (size_t cut = 0; cut < good.size(); cut += 7) {
            ASSERT_TRUE(craft::writeFile(path, Bytes(good.begin(), good.begin() + cut)));
            bool opened = false;
            const auto back = readAll(path, &opened);
            if (cut < 144) {
                EXPECT_TRUE(back.empty());
                continue;
            }
            ASSERT_LE(back.size(), objects.size());
            for (size_t i = 0; i < back.size(); ++i)
                ASSERT_EQ(back[i].bytes, objects[i]) << "cut " << cut << " object " << i;
        }
        // Random damage: never a crash or a hang.
        std::mt19937 rng(compress ? 7 : 8);
        for (int round = 0; round < 400; ++round) {
            Bytes bad = good;
            const int flips = 1 + int(rng() % 6);
            for (int k = 0; k < flips; ++k)
                bad[144 + rng() % (bad.size() - 144)] = uint8_t(rng());
            ASSERT_TRUE(craft::writeFile(path, bad));
            const auto back = readAll(path);
            EXPECT_LE(back.size(), 100000u);
        }
    }
}

TEST_F(Binlog, HostileSizesAreRefusedWithoutHugeAllocations)
{
    const std::string path = workDir.file("h.blf");
    struct Case {
        const char *what;
        Bytes file;
    };
    std::vector<Case> cases;
    {
        // Container claiming 4 GiB of uncompressed data.
        Bytes f = craft::file({craft::object(1, 0, body(16, 0))}, true);
        craft::put32(f, 144 + 24, 0xFFFFFFF0u);
        cases.push_back({"huge uncompressed size", f});
    }
    {
        // Inner object claiming 2 GiB.
        Bytes o = craft::object(1, 0, body(16, 0));
        craft::put32(o, 8, 0x80000000u);
        cases.push_back({"huge object size", craft::file({o}, false)});
    }
    {
        // Object size below its header size.
        Bytes o = craft::object(1, 0, body(16, 0));
        craft::put32(o, 8, 8);
        cases.push_back({"object smaller than header", craft::file({o}, false)});
    }
    {
        // Container larger than the file.
        Bytes f = craft::file({craft::object(1, 0, body(16, 0))}, false);
        craft::put32(f, 144 + 8, 0x7FFFFFFF);
        cases.push_back({"container beyond the end", f});
    }
    {
        // File header size pointing past the end.
        Bytes f = craft::file({craft::object(1, 0, body(16, 0))}, false);
        craft::put32(f, 4, 0x7FFFFFFF);
        cases.push_back({"header size beyond the end", f});
    }
    {
        // Unknown compression method.
        Bytes f = craft::file({craft::object(1, 0, body(16, 0))}, false);
        craft::put16(f, 144 + 16, 9);
        cases.push_back({"unknown compression", f});
    }
    {
        // Not a BLF file at all.
        cases.push_back({"text file", Bytes(300, 'x')});
    }
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(craft::writeFile(path, c.file));
        const auto back = readAll(path);
        EXPECT_TRUE(back.empty());
    }
}

TEST_F(Binlog, AnObjectTheFileEndsInsideEndsTheRead)
{
    // The last object claims more bytes than the file holds: it is never
    // handed out, peek, skip and read report the end and keep reporting it
    // (a caller looping on peek must not spin). In a file that holds the
    // size its header gives this is damage; in one whose header claims
    // more (a copy cut short) it is where the file was cut.
    Bytes o = craft::object(1, 0, body(16, 0));
    Bytes cut = craft::object(100, 0, body(88, 0));
    craft::put32(cut, 8, 4000);
    const std::string path = workDir.file("c.blf");
    for (bool cutShort : {false, true}) {
        for (bool useSkip : {true, false}) {
            SCOPED_TRACE(testing::Message() << "cut short " << cutShort << ", skip " << useSkip);
            Bytes f = craft::file({o, cut}, true);
            if (cutShort)
                craft::put64(f, 16, f.size() + 4000);
            ASSERT_TRUE(craft::writeFile(path, f));
            void *h = BLCreateFile(path.c_str(), BL_ACCESS_READ);
            ASSERT_NE(h, BL_INVALID_HANDLE);
            uint8_t base[16];
            ASSERT_EQ(BLSkipObject(h, base), 1);
            if (useSkip) {
                EXPECT_EQ(BLSkipObject(h, base), 0);
            } else {
                Bytes buf(120, 0);
                std::memcpy(buf.data(), o.data(), 16);
                EXPECT_EQ(BLReadObjectSecure(h, buf.data(), buf.size()), 0);
            }
            for (int i = 0; i < 3; ++i) {
                EXPECT_EQ(BLPeekObject(h, base), 0);
                EXPECT_EQ(BLSkipObject(h, base), 0);
            }
            uint32_t places = 7;
            uint64_t bytes = 7;
            EXPECT_EQ(BLGetReadDamage(h, &places, &bytes), 1);
            EXPECT_EQ(places, cutShort ? 0u : 1u);
            EXPECT_EQ(bytes, cutShort ? 0u : cut.size());
            EXPECT_EQ(BLCloseHandle(h), 1);
        }
    }
}

TEST_F(Binlog, MisuseAndWriteFailuresAreReported)
{
    uint8_t base[16] = {};
    uint8_t obj[48] = {};
    EXPECT_EQ(BLCreateFile(nullptr, BL_ACCESS_WRITE), BL_INVALID_HANDLE);
    EXPECT_EQ(BLCreateFile(workDir.file("missing.blf").c_str(), BL_ACCESS_READ), BL_INVALID_HANDLE);
    EXPECT_EQ(BLCreateFile(workDir.file("x.blf").c_str(), 0), BL_INVALID_HANDLE);
    EXPECT_EQ(BLCreateFile(workDir.file("no/such/dir.blf").c_str(), BL_ACCESS_WRITE), BL_INVALID_HANDLE);
    for (void *bad : {static_cast<void *>(nullptr), BL_INVALID_HANDLE}) {
        EXPECT_EQ(BLWriteObject(bad, obj), 0);
        EXPECT_EQ(BLPeekObject(bad, base), 0);
        EXPECT_EQ(BLFlushFileBuffers(bad, 2), 0);
        EXPECT_EQ(BLCloseHandle(bad), 0);
    }

    void *w = BLCreateFile(workDir.file("w.blf").c_str(), BL_ACCESS_WRITE);
    ASSERT_NE(w, BL_INVALID_HANDLE);
    EXPECT_EQ(BLPeekObject(w, base), 0);            // a writer reads nothing
    EXPECT_EQ(BLWriteObject(w, obj), 0);            // no "LOBJ"
    Bytes o = craft::object(1, 0, body(16, 0));
    craft::put32(o, 8, 20);                         // size below header size
    EXPECT_EQ(BLWriteObject(w, o.data()), 0);
    EXPECT_EQ(BLCloseHandle(w), 1);

    // A full disk: the write may be buffered, the flush and close report it.
    FILE *probe = std::fopen("/dev/full", "wb");
    if (!probe)
        GTEST_SKIP() << "no /dev/full";
    std::fclose(probe);
    w = BLCreateFile("/dev/full", BL_ACCESS_WRITE);
    ASSERT_NE(w, BL_INVALID_HANDLE);
    BLSetWriteOptions(w, 0, 0);
    const Bytes good = craft::object(1, 0, body(16, 0));
    BLWriteObject(w, good.data());
    EXPECT_EQ(BLFlushFileBuffers(w, 2), 0);
    EXPECT_EQ(BLCloseHandle(w), 0);
}

// Files read ahead (containers inflated on threads while the caller takes
// objects) give the same objects as files read in step, and damaged data
// ends the read at the same object; a reader closed half way leaves no
// thread behind.
TEST_F(Binlog, ReadAheadGivesTheSameObjects)
{
    std::vector<Bytes> objects;
    for (int i = 0; i < 4000; ++i) {
        const uint32_t type = i % 2 ? 100 : 1;
        objects.push_back(craft::object(type, uint64_t(i) * 1000, body(type == 1 ? 16 : 88, uint8_t(i * 13))));
    }
    const Bytes plain = craft::file(objects, true, 4096);
    // Damage: a byte inside the compressed data of a container about half
    // way, and a file cut inside a container.
    Bytes spoiled = plain;
    spoiled[plain.size() / 2] ^= 0x5A;
    const Bytes cut(plain.begin(), plain.begin() + long(plain.size() * 3 / 4));
    Bytes mixed = craft::file(objects, false, 1000); // stored containers, objects across them
    const struct {
        const char *name;
        const Bytes *bytes;
    } files[] = {{"plain.blf", &plain}, {"spoiled.blf", &spoiled}, {"cut.blf", &cut}, {"stored.blf", &mixed}};
    const uint64_t threshold = binlog::BlfReader::prefetchThreshold();
    for (const auto &f : files) {
        SCOPED_TRACE(f.name);
        const std::string path = workDir.file(f.name);
        ASSERT_TRUE(craft::writeFile(path, *f.bytes));
        binlog::BlfReader::setPrefetchThreshold(UINT64_MAX);
        const auto inStep = readAll(path);
        binlog::BlfReader::setPrefetchThreshold(0);
        const auto ahead = readAll(path);
        binlog::BlfReader::setPrefetchThreshold(threshold);
        ASSERT_EQ(ahead.size(), inStep.size());
        for (size_t i = 0; i < ahead.size(); ++i)
            ASSERT_EQ(ahead[i].bytes, inStep[i].bytes) << i;
        if (f.bytes == &plain || f.bytes == &mixed)
            EXPECT_EQ(ahead.size(), objects.size());
        else
            EXPECT_LT(ahead.size(), objects.size());
    }
    binlog::BlfReader::setPrefetchThreshold(0);
    for (int n : {0, 1, 700}) {
        binlog::BlfReader r;
        ASSERT_TRUE(r.open(workDir.file("plain.blf").c_str()));
        EXPECT_TRUE(r.prefetching());
        uint8_t base[16];
        for (int i = 0; i < n; ++i) {
            ASSERT_TRUE(r.peek(base));
            ASSERT_TRUE(r.skip());
        }
    } // the reader's threads end with it
    binlog::BlfReader::setPrefetchThreshold(threshold);
    binlog::BlfReader small;
    ASSERT_TRUE(small.open(workDir.file("plain.blf").c_str()));
    EXPECT_FALSE(small.prefetching());
}

// A writer whose memory runs out (an address-space limit, and a container
// size so large that the objects pile up in memory) refuses the objects it
// cannot take; no exception unwinds through the C interface, which would end
// the calling program with an abort.
TEST_F(Binlog, RunningOutOfMemoryIsAFailedCall)
{
    if (!child::kAddressLimitWorks)
        GTEST_SKIP() << "the sanitizers' allocator does not run out under an address-space limit";
    const std::string path = workDir.file("limited.blf");
    const child::Outcome o = child::run([&path] {
        void *w = BLCreateFile(path.c_str(), BL_ACCESS_WRITE);
        if (w == BL_INVALID_HANDLE)
            return 10;
        BLSetWriteOptions(w, 0, 0x7FFFFFFF);
        const Bytes obj = craft::object(1, 0, body(16, 1));
        if (!child::limitAddressSpace(2u << 20))
            return 11;
        // Up to 200 MB of objects: far more than the limit leaves, whatever
        // free heap the process had already mapped.
        int refused = 0;
        for (int i = 0; i < 4000000 && refused < 10; ++i)
            if (BLWriteObject(w, obj.data()) != 1)
                ++refused;
        if (refused == 0)
            return 12;
        BLFlushFileBuffers(w, 2);
        BLCloseHandle(w);
        return 0;
    });
    EXPECT_TRUE(o.exitedWith(0)) << o.describe() << " (12: no write was refused, "
                                 << "SIGABRT: an exception left the interface)";
}

// A writer killed right after a flush leaves a file that python-can reads to
// the end, with every frame taken before that flush: the flush put them into
// the file as whole containers. Frames taken after it may be lost.
TEST_F(Binlog, EveryFrameBeforeAFlushSurvivesAKillRightAfterIt)
{
    REQUIRE_PEER_MODULES("can");
    struct Case {
        uint32_t compression;
        int first, second; // frames before the first and the second flush
    } cases[] = {
        {6, 3000, 50}, // the first flush waits for a container on a worker
        {6, 7, 1},
        {0, 2900, 120},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.compression);
        const std::string path = workDir.file("killed.blf");
        const child::Outcome o = child::run([&] {
            void *w = BLCreateFile(path.c_str(), BL_ACCESS_WRITE);
            if (w == BL_INVALID_HANDLE)
                return 10;
            BLSetWriteOptions(w, c.compression, 0);
            auto frame = [w](uint32_t n) {
                Bytes b(16, 0);
                b[0] = 1; // channel 1
                b[3] = 8;
                craft::put32(b, 4, 0x100 + n);
                for (int k = 0; k < 8; ++k)
                    b[8 + k] = uint8_t(n + k);
                const Bytes obj = craft::object(BL_OBJ_TYPE_CAN_MESSAGE, uint64_t(n) * 1000000u, b);
                return BLWriteObject(w, obj.data()) == 1;
            };
            uint32_t n = 0;
            for (int i = 0; i < c.first; ++i)
                if (!frame(n++))
                    return 11;
            if (BLFlushFileBuffers(w, 2) != 1)
                return 12;
            for (int i = 0; i < c.second; ++i)
                if (!frame(n++))
                    return 11;
            if (BLFlushFileBuffers(w, 2) != 1)
                return 12;
            // Taken, but never flushed.
            for (int i = 0; i < 10; ++i)
                frame(n++);
            raise(SIGKILL);
            return 13;
        });
        ASSERT_EQ(o.signal, SIGKILL) << o.describe();

        const peer::Result r = peer::run(peer::script("traffic_peer.py"), {"read", path});
        ASSERT_EQ(r.exitCode, 0) << r.output;
        // One JSON object per frame; the identifiers count up from 0x100.
        const int flushed = c.first + c.second;
        int count = 0;
        size_t at = 0;
        while ((at = r.output.find("\"id\": ", at)) != std::string::npos) {
            at += 6;
            const int id = std::atoi(r.output.c_str() + at);
            if (count < flushed) {
                EXPECT_EQ(id, 0x100 + count) << "frame " << count;
            }
            ++count;
        }
        EXPECT_EQ(count, flushed) << "python-can read " << count << " of " << flushed << " flushed frames";
    }
}

// A recorder killed at a random moment: while it takes objects, while it
// flushes, while its worker puts a deflated container in place of a stored
// one or moves the stored ones back, or while it closes. python-can reads
// every file to the end, with every frame up to the last completed flush
// (and maybe some after it, in order); so does our reader.
TEST_F(Binlog, EveryFrameBeforeAFlushSurvivesAKillAtARandomMoment)
{
    REQUIRE_PEER_MODULES("can");
    struct Case {
        uint32_t container; // 0: the default
        int framesBeforeClose;
        bool oddObjects; // objects of odd sizes (and a type python-can passes over) among the frames
    } cases[] = {
        {4096, 1 << 30, false}, // a replacement every few flushes
        {0, 1 << 30, false},    // the default, a replacement every few dozen
        {4096, 30000, false},   // the kill may come during or after the close
        {4096, 1 << 30, true},  // containers whose data ends off a 4-byte boundary
    };
    auto *flushed = static_cast<std::atomic<int64_t> *>(
        mmap(nullptr, sizeof(std::atomic<int64_t>), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(flushed, MAP_FAILED);
    std::mt19937 rng(35);
    const int kills = peer::sanitizedBuild() ? 4 : 10;
    for (const Case &c : cases) {
        for (int k = 0; k < kills; ++k) {
            const int delayUs = int(rng() % 40000) + 200;
            SCOPED_TRACE(std::to_string(c.container) + (c.oddObjects ? " odd" : "") + " close after "
                         + std::to_string(c.framesBeforeClose) + ", kill after " + std::to_string(delayUs) + " us");
            const std::string path = workDir.file("random-kill.blf");
            flushed->store(-1);
            std::fflush(nullptr);
            const pid_t pid = fork();
            ASSERT_GE(pid, 0);
            if (pid == 0) {
                void *w = BLCreateFile(path.c_str(), BL_ACCESS_WRITE);
                if (w == BL_INVALID_HANDLE)
                    _exit(10);
                BLSetWriteOptions(w, 6, c.container);
                flushed->store(0);
                for (int64_t n = 0; n < c.framesBeforeClose; ++n) {
                    Bytes b(16, 0);
                    b[0] = 1;
                    b[3] = 8;
                    craft::put32(b, 4, uint32_t(n & 0x7FF));
                    for (int i = 0; i < 8; ++i)
                        b[8 + i] = uint8_t((n >> (i % 3 * 8)) + i);
                    const Bytes obj = craft::object(BL_OBJ_TYPE_CAN_MESSAGE, uint64_t(n) * 100000u, b);
                    if (BLWriteObject(w, obj.data()) != 1)
                        _exit(11);
                    if (c.oddObjects && n % 7 == 3) {
                        const Bytes odd = craft::object(0x7F00, uint64_t(n) * 100000u, Bytes(size_t(17 + n % 3), 0x5A));
                        if (BLWriteObject(w, odd.data()) != 1)
                            _exit(11);
                    }
                    if (n % 100 == 99) {
                        if (BLFlushFileBuffers(w, 2) != 1)
                            _exit(12);
                        flushed->store(n + 1);
                    }
                }
                if (BLCloseHandle(w) != 1)
                    _exit(13);
                flushed->store(c.framesBeforeClose);
                _exit(0);
            }
            std::this_thread::sleep_for(std::chrono::microseconds(delayUs));
            kill(pid, SIGKILL);
            const child::Outcome o = child::wait(pid);
            ASSERT_TRUE(o.signal == SIGKILL || o.exitedWith(0)) << o.describe();
            const int64_t mustHave = flushed->load();
            if (mustHave < 0)
                continue; // killed before the file was created

            const peer::Result r = peer::run(peer::script("traffic_peer.py"), {"read", path});
            ASSERT_EQ(r.exitCode, 0) << "python-can failed after " << mustHave << " flushed frames:\n" << r.output;
            int64_t count = 0;
            size_t at = 0;
            while ((at = r.output.find("\"id\": ", at)) != std::string::npos) {
                at += 6;
                const int id = std::atoi(r.output.c_str() + at);
                ASSERT_EQ(id, int(count & 0x7FF)) << "python-can, frame " << count;
                ++count;
            }
            EXPECT_GE(count, mustHave) << "python-can";

            const auto back = readAll(path, nullptr, size_t(mustHave) * 2 + 100000);
            int64_t frames = 0;
            for (const ReadObject &o : back) {
                if (o.type != BL_OBJ_TYPE_CAN_MESSAGE)
                    continue;
                if (craft::get32(o.bytes.data() + 32 + 4) != uint32_t(frames & 0x7FF)) {
                    ADD_FAILURE() << "our reader, frame " << frames;
                    break;
                }
                ++frames;
            }
            EXPECT_GE(frames, mustHave) << "our reader";
        }
    }
    munmap(flushed, sizeof(std::atomic<int64_t>));
}

// A caller that flushes every hundred objects (a recorder at a full bus
// load) gets a closed file of full deflated containers, as if it had never
// flushed: the stored tail its flushes grew is deflated and takes its place.
// It reads back whole, here and in python-can.
TEST_F(Binlog, FlushesEveryHundredObjectsLeaveFullDeflatedContainers)
{
    const std::string path = workDir.file("busy.blf");
    void *w = BLCreateFile(path.c_str(), BL_ACCESS_WRITE);
    ASSERT_NE(w, BL_INVALID_HANDLE);
    ASSERT_EQ(BLSetWriteOptions(w, 6, 0), 1);
    const uint32_t total = 400000;
    for (uint32_t n = 0; n < total; ++n) {
        Bytes b(16, 0);
        b[0] = 1;
        b[3] = 8;
        craft::put32(b, 4, n & 0x7FF);
        std::mt19937 rng(n);
        for (int k = 0; k < 8; ++k)
            b[8 + k] = uint8_t(rng());
        const Bytes obj = craft::object(BL_OBJ_TYPE_CAN_MESSAGE, uint64_t(n) * 1000u, b);
        ASSERT_EQ(BLWriteObject(w, obj.data()), 1);
        if (n % 100 == 99) {
            ASSERT_EQ(BLFlushFileBuffers(w, 2), 1);
        }
    }
    ASSERT_EQ(BLCloseHandle(w), 1);

    // Walk the containers: all deflated; those with data hold a full
    // container's worth (the last one the rest), the others an empty stream.
    const Bytes file = craft::readFile(path);
    int full = 0, empty = 0, stored = 0;
    uint64_t data = 0;
    for (size_t at = 144; at < file.size();) {
        ASSERT_LE(at + 32, file.size()) << at;
        ASSERT_EQ(std::string(file.begin() + long(at), file.begin() + long(at) + 4), "LOBJ") << at;
        const uint32_t size = craft::get32(file.data() + at + 8);
        ASSERT_GE(size, 32u) << at;
        ASSERT_EQ(craft::get32(file.data() + at + 12), 10u) << at;
        const uint16_t method = uint16_t(file[at + 16] | (file[at + 17] << 8));
        const uint32_t declared = craft::get32(file.data() + at + 24);
        if (method == 0)
            ++stored;
        else if (declared == 0)
            ++empty;
        else
            ++full;
        if (declared != 0 && data + declared < uint64_t(total) * 48) {
            EXPECT_GE(declared, 1024u * 1024) << at;
        }
        data += declared;
        at += size + size % 4;
    }
    EXPECT_EQ(stored, 0);
    EXPECT_EQ(data, uint64_t(total) * 48);
    EXPECT_LE(full, int(uint64_t(total) * 48 / (1024 * 1024)) + 1);
    EXPECT_LE(empty, full);

    const auto back = readAll(path, nullptr, total + 1);
    ASSERT_EQ(back.size(), total);
    for (uint32_t n = 0; n < total; n += 997)
        EXPECT_EQ(craft::get32(back[n].bytes.data() + 32 + 4), n & 0x7FF) << n;

    if (peer::haveModules({"can"})) {
        const peer::Result r = peer::run(peer::script("traffic_peer.py"), {"count", path});
        ASSERT_EQ(r.exitCode, 0) << r.output;
        EXPECT_NE(r.output.find(std::to_string(total)), std::string::npos) << r.output;
    }
}

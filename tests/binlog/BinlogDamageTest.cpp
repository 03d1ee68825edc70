// Damaged files through the binlog reader's C interface: every container of
// a recording damaged in turn (its compressed data, each field of its
// header, its signature; objects inside stored containers), recordings of
// our writer, of python-can and made by hand with objects across
// containers. Exactly the objects that lie wholly in the intact containers
// read back, in order, and the damage is counted; nothing is invented.

#include "tests/binlog/BlfCraft.h"
#include "tests/support/TempWorkDir.h"
#include "binlog/include/binlog.h"
#include "tests/support/PeerCheck.h"
#include "binlog/src/BlfReader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

using craft::Bytes;

namespace {

// Two object lists alike, or where they first differ.
testing::AssertionResult sameObjects(const std::vector<Bytes> &got, const std::vector<Bytes> &want)
{
    for (size_t i = 0; i < std::min(got.size(), want.size()); ++i) {
        if (got[i] != want[i])
            return testing::AssertionFailure() << "object " << i << " of " << got.size() << " read (" << want.size()
                                               << " expected) differs: type " << craft::get32(got[i].data() + 12)
                                               << " size " << got[i].size() << ", time "
                                               << craft::get32(got[i].data() + 24) << " instead of "
                                               << craft::get32(want[i].data() + 24);
    }
    if (got.size() != want.size())
        return testing::AssertionFailure() << got.size() << " objects read, " << want.size() << " expected";
    return testing::AssertionSuccess();
}

struct Read {
    std::vector<Bytes> objects; // as BLReadObjectSecure returns them
    uint32_t places = 0;
    uint64_t bytes = 0;
    bool opened = false;
};

Read readBack(const std::string &path, size_t cap = 1000000)
{
    Read r;
    void *h = BLCreateFile(path.c_str(), BL_ACCESS_READ);
    r.opened = h != BL_INVALID_HANDLE;
    if (!r.opened)
        return r;
    uint8_t base[16];
    while (r.objects.size() < cap && BLPeekObject(h, base)) {
        const uint32_t size = craft::get32(base + 8);
        Bytes buf(std::max<uint32_t>(size, 32), 0);
        std::memcpy(buf.data(), base, 16);
        if (!BLReadObjectSecure(h, buf.data(), buf.size()))
            break;
        buf.resize(craft::get32(buf.data() + 8));
        r.objects.push_back(buf);
    }
    EXPECT_EQ(BLGetReadDamage(h, &r.places, &r.bytes), 1);
    BLCloseHandle(h);
    return r;
}

// The same file read in step and read ahead on the reader's threads: the
// same objects and the same damage either way.
Read readBothWays(const std::string &path)
{
    const uint64_t threshold = binlog::BlfReader::prefetchThreshold();
    binlog::BlfReader::setPrefetchThreshold(UINT64_MAX);
    Read inStep = readBack(path);
    binlog::BlfReader::setPrefetchThreshold(0);
    const Read ahead = readBack(path);
    binlog::BlfReader::setPrefetchThreshold(threshold);
    EXPECT_TRUE(sameObjects(ahead.objects, inStep.objects)) << "read ahead";
    EXPECT_EQ(ahead.places, inStep.places) << "read ahead";
    EXPECT_EQ(ahead.bytes, inStep.bytes) << "read ahead";
    return inStep;
}

// The layout of a file as this test sees it, without the reader: its
// containers (place in the file, data in the joined stream) and the objects
// of the stream with their place in it.
struct Layout {
    struct Container {
        size_t pos = 0, size = 0;
        uint16_t method = 0;
        size_t s0 = 0, s1 = 0; // its data in the stream
    };
    struct Object {
        size_t start = 0, end = 0;
        Bytes bytes;
    };
    std::vector<Container> containers;
    std::vector<Object> objects;

    // The objects that do not reach into container k (all for k past the
    // last one).
    std::vector<Bytes> without(size_t k) const
    {
        std::vector<Bytes> out;
        for (const Object &o : objects) {
            if (k >= containers.size()) {
                out.push_back(o.bytes);
                continue;
            }
            const Container &c = containers[k];
            const bool touches = c.s0 == c.s1 ? (o.start < c.s0 && o.end > c.s0) : (o.start < c.s1 && o.end > c.s0);
            if (!touches)
                out.push_back(o.bytes);
        }
        return out;
    }
    std::vector<Bytes> allBut(size_t object) const
    {
        std::vector<Bytes> out;
        for (size_t i = 0; i < objects.size(); ++i)
            if (i != object)
                out.push_back(objects[i].bytes);
        return out;
    }
};

uint16_t get16(const uint8_t *p) { return uint16_t(p[0] | (p[1] << 8)); }


Layout layoutOf(const Bytes &f)
{
    Layout l;
    Bytes stream;
    size_t p = craft::get32(f.data() + 4);
    // Containers up to the end of the file (or our writer's end mark).
    while (p + 32 <= f.size() && std::memcmp(f.data() + p, "LOBJ", 4) == 0) {
        const uint32_t size = craft::get32(f.data() + p + 8);
        if (craft::get32(f.data() + p + 12) != 10 || size > f.size() - p)
            break;
        Layout::Container c;
        c.pos = p;
        c.size = size;
        c.method = get16(f.data() + p + 16);
        Bytes data(f.begin() + long(p) + 32, f.begin() + long(p + size));
        if (c.method == 2) {
            uLongf len = craft::get32(f.data() + p + 24);
            Bytes out(std::max<uLongf>(len, 1));
            uLong srcLen = uLong(data.size());
            EXPECT_EQ(uncompress2(out.data(), &len, data.data(), &srcLen), Z_OK) << "container at " << p;
            out.resize(len);
            data = out;
        }
        c.s0 = stream.size();
        stream.insert(stream.end(), data.begin(), data.end());
        c.s1 = stream.size();
        l.containers.push_back(c);
        p += size + size % 4;
    }
    for (size_t q = 0; q + 16 <= stream.size();) {
        size_t j = 0;
        while (j <= 8 && q + j + 4 <= stream.size() && std::memcmp(stream.data() + q + j, "LOBJ", 4) != 0)
            ++j;
        if (j > 8 || q + j + 16 > stream.size())
            break;
        q += j;
        const uint32_t size = craft::get32(stream.data() + q + 8);
        EXPECT_LE(q + size, stream.size());
        Layout::Object o;
        o.start = q;
        o.end = q + size;
        o.bytes.assign(stream.begin() + long(q), stream.begin() + long(q + size));
        l.objects.push_back(o);
        q += size;
    }
    return l;
}

// A frame object of the kind python-can writes: CAN message (1) or CAN FD
// message (100), the n-th of a recording told apart by identifier and data.
Bytes frameObject(uint32_t n)
{
    if (n % 3 == 2) {
        Bytes b(88, 0);
        b[0] = 1;
        b[3] = 15;
        craft::put32(b, 4, 0x200 + (n & 0x3FF));
        b[13] = 0x01;
        b[14] = 64;
        for (int k = 0; k < 64; ++k)
            b[20 + k] = uint8_t(n * 11 + k);
        b[20] = uint8_t(n >> 8);
        b[21] = uint8_t(n);
        return craft::object(100, uint64_t(n) * 500000, b);
    }
    Bytes b(16, 0);
    b[0] = 1;
    b[3] = 8;
    craft::put32(b, 4, 0x100 + (n & 0x3FF));
    for (int k = 0; k < 8; ++k)
        b[8 + k] = uint8_t(n * 7 + k);
    b[8] = uint8_t(n >> 8);
    b[9] = uint8_t(n);
    return craft::object(1, uint64_t(n) * 500000, b);
}

Bytes writeOurs(const std::string &path, uint32_t level, uint32_t container, uint32_t count)
{
    void *w = BLCreateFile(path.c_str(), BL_ACCESS_WRITE);
    EXPECT_NE(w, BL_INVALID_HANDLE);
    if (w == BL_INVALID_HANDLE)
        return {};
    BLSetWriteOptions(w, level, container);
    for (uint32_t n = 0; n < count; ++n) {
        const Bytes o = frameObject(n);
        EXPECT_EQ(BLWriteObject(w, o.data()), 1);
        if (n % 100 == 99)
            BLFlushFileBuffers(w, 2);
    }
    EXPECT_EQ(BLCloseHandle(w), 1);
    return craft::readFile(path);
}

std::vector<Bytes> crafted(uint32_t count)
{
    std::vector<Bytes> objects;
    for (uint32_t n = 0; n < count; ++n)
        objects.push_back(frameObject(n));
    return objects;
}

// One damaged byte: where, how (xor mask), and what it is; whether the file
// is also read ahead on the reader's threads (for the kinds that take each
// path of the search: a skipped container, a searched one, a size that
// meets no object).
struct Damage {
    std::string what;
    size_t at;
    uint8_t mask;
    bool ahead = false;
};

std::vector<Damage> containerDamages(const Layout::Container &c)
{
    std::vector<Damage> d = {
        {"signature", c.pos + 1, 0x20, true},
        {"header size", c.pos + 4, 0x0F},
        {"type", c.pos + 12, 0x40},
        {"method", c.pos + 16, 0x10},
        {"uncompressed size", c.pos + 25, 0x04},
        {"object size, within the file", c.pos + 9, 0x20, true},
        {"object size, one byte off", c.pos + 8, 0x01},
        {"object size, past the end", c.pos + 11, 0x10},
    };
    if (c.method == 2)
        d.push_back({"compressed data", c.pos + 32 + (c.size - 32) / 2, 0x5A, true});
    return d;
}

// Damages every container of the file in turn, each way, and checks what
// reads back against the layout.
void damageEveryContainer(const std::string &dir, const Bytes &file)
{
    const Layout l = layoutOf(file);
    ASSERT_GE(l.containers.size(), 8u);
    {
        // The whole file reads back as laid out.
        const std::string path = dir + "/whole.blf";
        ASSERT_TRUE(craft::writeFile(path, file));
        const Read r = readBack(path);
        ASSERT_TRUE(sameObjects(r.objects, l.without(l.containers.size())));
        EXPECT_EQ(r.places, 0u);
    }
    const std::string path = dir + "/damaged.blf";
    for (size_t k = 0; k < l.containers.size(); ++k) {
        const Layout::Container &c = l.containers[k];
        const std::vector<Bytes> expected = l.without(k);
        for (const Damage &d : containerDamages(c)) {
            SCOPED_TRACE(testing::Message() << "container " << k << " of " << l.containers.size() << " at "
                                            << c.pos << (c.method == 2 ? " (deflated)" : " (stored)") << ": "
                                            << d.what);
            Bytes bad = file;
            bad[d.at] ^= d.mask;
            ASSERT_TRUE(craft::writeFile(path, bad));
            const Read r = d.ahead ? readBothWays(path) : readBack(path);
            // A header size is no reader's business for a container, and a
            // size one byte off may only take in or leave out padding: those
            // may be harmless; the rest is damage.
            const bool mayBeHarmless = d.what == "header size" || d.what == "object size, one byte off";
            if (mayBeHarmless && r.places == 0) {
                ASSERT_TRUE(sameObjects(r.objects, l.without(l.containers.size())));
                continue;
            }
            ASSERT_TRUE(sameObjects(r.objects, expected));
            EXPECT_EQ(r.places, 1u);
            EXPECT_GE(r.bytes, 1u);
        }
        if (c.method != 0 || c.s1 - c.s0 < 300)
            continue;
        // A stored container: an object in its middle damaged. The objects
        // around it stay, whatever its data holds.
        size_t victim = l.objects.size();
        for (size_t i = 1; i + 1 < l.objects.size(); ++i) {
            if (l.objects[i - 1].start >= c.s0 && l.objects[i + 1].end <= c.s1 && l.objects[i].start >= (c.s0 + c.s1) / 2) {
                victim = i;
                break;
            }
        }
        ASSERT_LT(victim, l.objects.size());
        const size_t at = c.pos + 32 + (l.objects[victim].start - c.s0);
        const Damage objectDamages[] = {
            {"object signature", at, 0x20, true},
            {"object size, larger", at + 8, 0x80, true},
            {"object size, far larger", at + 10, 0x01},
            {"object size, below its header", at + 8, 0x30},
        };
        for (const Damage &d : objectDamages) {
            SCOPED_TRACE(testing::Message() << "stored container " << k << ", object " << victim << ": " << d.what);
            Bytes bad = file;
            bad[d.at] ^= d.mask;
            ASSERT_TRUE(craft::writeFile(path, bad));
            const Read r = d.ahead ? readBothWays(path) : readBack(path);
            ASSERT_TRUE(sameObjects(r.objects, l.allBut(victim)));
            EXPECT_EQ(r.places, 1u);
            EXPECT_GE(r.bytes, l.objects[victim].bytes.size());
        }
    }
}

// The frames python-can reads from a file: identifier, data (hex) and time
// (ms after the first), from its JSON lines.
struct PeerFrame {
    uint32_t id;
    std::string data;
    double t;
};

std::vector<PeerFrame> peerFrames(const std::string &json)
{
    std::vector<PeerFrame> out;
    size_t at = 0;
    while ((at = json.find("{\"t\": ", at)) != std::string::npos) {
        PeerFrame f;
        f.t = std::atof(json.c_str() + at + 6);
        const size_t id = json.find("\"id\": ", at);
        const size_t data = json.find("\"data\": \"", at);
        if (id == std::string::npos || data == std::string::npos)
            break;
        f.id = uint32_t(std::strtoul(json.c_str() + id + 6, nullptr, 10));
        const size_t close = json.find('"', data + 9);
        f.data = json.substr(data + 9, close - data - 9);
        out.push_back(f);
        at = close;
    }
    return out;
}

std::string hexOf(const uint8_t *p, size_t n)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string s;
    for (size_t i = 0; i < n; ++i) {
        s += digits[p[i] >> 4];
        s += digits[p[i] & 15];
    }
    return s;
}

} // namespace

class BinlogDamage : public WorkDirTest
{
};

TEST_F(BinlogDamage, EveryDamagedContainerOfOurRecordingsIsPassedOver)
{
    for (uint32_t level : {6u, 0u}) {
        SCOPED_TRACE(level ? "deflated" : "stored");
        const Bytes file = writeOurs(workDir.file("ours.blf"), level, 4096, 1500);
        damageEveryContainer(workDir.path().string(), file);
    }
}

TEST_F(BinlogDamage, EveryDamagedContainerOfObjectsAcrossContainersIsPassedOver)
{
    // Containers cut inside objects, as other tools write them.
    for (bool compress : {true, false}) {
        SCOPED_TRACE(compress ? "deflated" : "stored");
        damageEveryContainer(workDir.path().string(), craft::file(crafted(500), compress, 997));
    }
}

TEST_F(BinlogDamage, EveryDamagedContainerOfAPythonCanRecordingIsPassedOver)
{
    REQUIRE_PEER_MODULES("can");
    for (int compression : {6, 0}) {
        SCOPED_TRACE(compression ? "deflated" : "stored");
        const std::string path = workDir.file("pycan.blf");
        const peer::Result w = peer::run(peer::script("traffic_peer.py"), {"write-seq", path, "1200", std::to_string(compression), "4096"});
        ASSERT_EQ(w.exitCode, 0) << w.output;
        const Bytes file = craft::readFile(path);
        // python-can's reading of the whole file is the oracle of the frames
        // the layout walk finds: identifiers, data and times, in order.
        const peer::Result r = peer::run(peer::script("traffic_peer.py"), {"read", path});
        ASSERT_EQ(r.exitCode, 0) << r.output;
        const std::vector<PeerFrame> peers = peerFrames(r.output);
        ASSERT_EQ(peers.size(), 1200u);
        const Layout l = layoutOf(file);
        ASSERT_EQ(l.objects.size(), peers.size());
        const uint64_t t0 = craft::get32(l.objects[0].bytes.data() + 24)
                            | (uint64_t(craft::get32(l.objects[0].bytes.data() + 28)) << 32);
        for (size_t i = 0; i < peers.size(); ++i) {
            const uint8_t *o = l.objects[i].bytes.data();
            const uint32_t type = craft::get32(o + 12);
            ASSERT_TRUE(type == 1 || type == 100) << i;
            EXPECT_EQ(craft::get32(o + 36) & 0x1FFFFFFF, peers[i].id) << i;
            const std::string data = type == 1 ? hexOf(o + 40, o[35]) : hexOf(o + 52, o[46]);
            EXPECT_EQ(data, peers[i].data) << i;
            const uint64_t ts = craft::get32(o + 24) | (uint64_t(craft::get32(o + 28)) << 32);
            const double ms = (craft::get32(o + 16) & 1) ? double(ts - t0) / 100.0 : double(ts - t0) / 1e6;
            EXPECT_NEAR(ms, peers[i].t, 0.002) << i;
        }
        damageEveryContainer(workDir.path().string(), file);
    }
}

// "LOBJ" and whole object headers inside frame data, right where the reader
// looks for the objects to go on (behind a damaged container, inside an
// object whose signature is damaged): no frame comes of them.
TEST_F(BinlogDamage, SignaturesInsideDataInventNoFrames)
{
    std::vector<Bytes> objects;
    for (uint32_t n = 0; n < 400; ++n) {
        Bytes o = frameObject(n);
        if (craft::get32(o.data() + 12) == 100) {
            // A CAN message object's header in the frame data, with sizes
            // that look right but lead nowhere, and a bare signature.
            Bytes fake = craft::object(1, uint64_t(n) * 500000, Bytes(16, 0x11));
            std::memcpy(o.data() + 56, fake.data(), 32);
            std::memcpy(o.data() + 100, "LOBJ", 4);
        } else {
            std::memcpy(o.data() + 40, "LOBJ", 4); // classic data "LOBJ...."
        }
        objects.push_back(o);
    }
    for (bool compress : {true, false}) {
        SCOPED_TRACE(compress ? "deflated" : "stored");
        const Bytes file = craft::file(objects, compress, 1013);
        damageEveryContainer(workDir.path().string(), file);
    }
}

// Our writer's dead space: a reservation's slack holding an old copy of a
// container read already. When the reservation's header is damaged, the
// search behind it finds the copy first; its frames are older than those
// read, and are not read twice.
TEST_F(BinlogDamage, OldCopiesInDeadSpaceAreNotReadTwice)
{
    const std::vector<Bytes> first = crafted(60);
    std::vector<Bytes> second;
    for (uint32_t n = 60; n < 120; ++n)
        second.push_back(frameObject(n));
    auto containerOf = [](const std::vector<Bytes> &objects, bool compress) {
        Bytes stream;
        for (const Bytes &o : objects)
            stream.insert(stream.end(), o.begin(), o.end());
        return craft::container(stream.data(), stream.size(), compress);
    };
    const Bytes c1 = containerOf(first, true);
    const Bytes copy = containerOf(first, false);
    const Bytes c2 = containerOf(second, true);
    // The reservation: a container of an empty zlib stream whose size
    // covers the slack behind it.
    Bytes r(40, 0);
    std::memcpy(r.data(), "LOBJ", 4);
    craft::put16(r, 4, 16);
    craft::put16(r, 6, 1);
    craft::put32(r, 8, uint32_t(40 + 24 + copy.size()));
    craft::put32(r, 12, 10);
    craft::put16(r, 16, 2);
    const uint8_t empty[8] = {0x78, 0x9C, 0x03, 0x00, 0x00, 0x00, 0x00, 0x01};
    std::memcpy(r.data() + 32, empty, 8);
    r.resize(64, 0);
    r.insert(r.end(), copy.begin(), copy.end());
    Bytes f(144, 0);
    std::memcpy(f.data(), "LOGG", 4);
    craft::put32(f, 4, 144);
    f.insert(f.end(), c1.begin(), c1.end());
    const size_t rAt = f.size();
    f.insert(f.end(), r.begin(), r.end());
    f.insert(f.end(), c2.begin(), c2.end());
    craft::put64(f, 16, f.size());

    std::vector<Bytes> all = first;
    all.insert(all.end(), second.begin(), second.end());
    const std::string path = workDir.file("slack.blf");
    ASSERT_TRUE(craft::writeFile(path, f));
    EXPECT_TRUE(sameObjects(readBothWays(path).objects, all)) << "the slack is passed over by the reservation's size";
    for (size_t at : {rAt + 1, rAt + 12, rAt + 16}) {
        SCOPED_TRACE(at - rAt);
        Bytes bad = f;
        bad[at] ^= 0x40;
        ASSERT_TRUE(craft::writeFile(path, bad));
        const Read back = readBothWays(path);
        EXPECT_TRUE(sameObjects(back.objects, all));
        EXPECT_EQ(back.places, 1u);
    }
}

// Our writer grows its stored tail in place: the new objects and a new end
// mark behind it, then the tail's uncompressed size, then its object size.
// Killed between those two writes, the tail's uncompressed size leads to
// the new end mark while its object size still ends at the old data, and
// the new objects follow outside any container. That is a recording cut
// short, not damage: every object reads, none is counted. An uncompressed
// size that leads anywhere else is damage, and the tail is passed over.
TEST_F(BinlogDamage, AStoredTailBetweenItsTwoSizesIsNoDamage)
{
    const std::vector<Bytes> objects = crafted(90);
    auto streamOf = [&](size_t from, size_t to) {
        Bytes s;
        for (size_t i = from; i < to; ++i) {
            s.insert(s.end(), objects[i].begin(), objects[i].end());
            s.resize(s.size() + objects[i].size() % 4, 0);
        }
        return s;
    };
    const Bytes firstData = streamOf(0, 40);
    const Bytes first = craft::container(firstData.data(), firstData.size(), true);
    const Bytes tailData = streamOf(40, 70);
    const Bytes grown = streamOf(70, 90); // behind the tail, outside any container
    ASSERT_EQ(tailData.size() % 4, 0u);
    Bytes f(144, 0);
    std::memcpy(f.data(), "LOGG", 4);
    craft::put32(f, 4, 144);
    f.insert(f.end(), first.begin(), first.end());
    const size_t tailAt = f.size();
    Bytes tail = craft::container(tailData.data(), tailData.size(), false);
    craft::put32(tail, 24, uint32_t(tailData.size() + grown.size()));
    f.insert(f.end(), tail.begin(), tail.end());
    f.insert(f.end(), grown.begin(), grown.end());
    const size_t markAt = f.size();
    Bytes mark(16, 0);
    std::memcpy(mark.data(), "LOBJ", 4);
    craft::put16(mark, 4, 16);
    craft::put16(mark, 6, 1);
    craft::put32(mark, 8, 256u * 1024 * 1024);
    f.insert(f.end(), mark.begin(), mark.end());
    // Until the close the header claims where the end mark says the data
    // ends.
    craft::put64(f, 16, markAt + 256u * 1024 * 1024);
    ASSERT_EQ(tailAt + 32 + tailData.size() + grown.size(), markAt);

    const std::string path = workDir.file("tail.blf");
    ASSERT_TRUE(craft::writeFile(path, f));
    const Read r = readBothWays(path);
    EXPECT_TRUE(sameObjects(r.objects, objects));
    EXPECT_EQ(r.places, 0u);
    EXPECT_EQ(r.bytes, 0u);

    // The uncompressed size leading into the grown objects, to the start of
    // the last of them, and past the end mark.
    const uint32_t lastSize = uint32_t(objects.back().size() + objects.back().size() % 4);
    for (int64_t off : {int64_t(-4), -int64_t(lastSize), int64_t(16)}) {
        SCOPED_TRACE(off);
        Bytes bad = f;
        craft::put32(bad, tailAt + 24, uint32_t(int64_t(tailData.size() + grown.size()) + off));
        ASSERT_TRUE(craft::writeFile(path, bad));
        const Read d = readBothWays(path);
        ASSERT_GE(d.objects.size(), 40u);
        EXPECT_TRUE(sameObjects(std::vector<Bytes>(d.objects.begin(), d.objects.begin() + 40),
                                std::vector<Bytes>(objects.begin(), objects.begin() + 40)));
        for (size_t i = 40; i < d.objects.size(); ++i)
            EXPECT_EQ(std::find(objects.begin() + 40, objects.begin() + 70, d.objects[i]), objects.begin() + 70)
                << "an object of the damaged tail read";
        EXPECT_EQ(d.places, 1u);
        EXPECT_GE(d.bytes, tail.size());
    }
}

// Any damage, anywhere behind the file header, in files of deflated
// containers (whose check sums tell damaged data): whatever reads back are
// objects of the file, in order, none twice and none made up.
TEST_F(BinlogDamage, RandomDamageNeverInventsAnObject)
{
    const std::vector<Bytes> objects = crafted(700);
    const std::string path = workDir.file("random.blf");
    std::mt19937 rng(41);
    for (size_t chunk : {size_t(600), size_t(4096)}) {
        const Bytes good = craft::file(objects, true, chunk);
        for (int round = 0; round < 300; ++round) {
            Bytes bad = good;
            const int flips = 1 + int(rng() % 4);
            for (int k = 0; k < flips; ++k)
                bad[144 + rng() % (bad.size() - 144)] ^= uint8_t(1 + rng() % 255);
            ASSERT_TRUE(craft::writeFile(path, bad));
            const Read r = readBack(path);
            size_t next = 0;
            for (const Bytes &o : r.objects) {
                while (next < objects.size() && objects[next] != o)
                    ++next;
                ASSERT_LT(next, objects.size()) << "chunk " << chunk << ", round " << round << ": an object not in the file, or out of order";
                ++next;
            }
            if (r.objects.size() < objects.size()) {
                EXPECT_GE(r.places, 1u) << "chunk " << chunk << ", round " << round << ": objects missing without damage";
            }
        }
    }
}

// A file cut short anywhere (a copy that ended early) is no damage: what
// reads back are the first objects, and nothing is counted.
TEST_F(BinlogDamage, AFileCutShortIsNoDamage)
{
    const std::vector<Bytes> objects = crafted(120);
    const std::string path = workDir.file("cut.blf");
    for (bool compress : {true, false}) {
        const Bytes good = craft::file(objects, compress, 700);
        for (size_t cut = 144; cut < good.size(); cut += 5) {
            SCOPED_TRACE(testing::Message() << (compress ? "deflated" : "stored") << ", cut at " << cut);
            ASSERT_TRUE(craft::writeFile(path, Bytes(good.begin(), good.begin() + long(cut))));
            const Read r = readBack(path);
            ASSERT_TRUE(r.opened);
            ASSERT_LE(r.objects.size(), objects.size());
            for (size_t i = 0; i < r.objects.size(); ++i)
                ASSERT_EQ(r.objects[i], objects[i]) << i;
            EXPECT_EQ(r.places, 0u);
            EXPECT_EQ(r.bytes, 0u);
        }
    }
}

TEST_F(BinlogDamage, TheDamageQueryTakesOnlyReaders)
{
    uint32_t places = 5;
    uint64_t bytes = 5;
    EXPECT_EQ(BLGetReadDamage(nullptr, &places, &bytes), 0);
    EXPECT_EQ(BLGetReadDamage(BL_INVALID_HANDLE, &places, &bytes), 0);
    void *w = BLCreateFile(workDir.file("w.blf").c_str(), BL_ACCESS_WRITE);
    ASSERT_NE(w, BL_INVALID_HANDLE);
    EXPECT_EQ(BLGetReadDamage(w, &places, &bytes), 0);
    EXPECT_EQ(BLCloseHandle(w), 1);
    EXPECT_EQ(places, 5u);
    void *h = BLCreateFile(workDir.file("w.blf").c_str(), BL_ACCESS_READ);
    ASSERT_NE(h, BL_INVALID_HANDLE);
    EXPECT_EQ(BLGetReadDamage(h, nullptr, nullptr), 1);
    EXPECT_EQ(BLGetReadDamage(h, &places, &bytes), 1);
    EXPECT_EQ(places, 0u);
    EXPECT_EQ(bytes, 0u);
    EXPECT_EQ(BLCloseHandle(h), 1);
}

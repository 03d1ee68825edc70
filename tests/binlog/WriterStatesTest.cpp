// The BLF writer against every state its file can be left in: each write of
// a recording replayed and the file read after each one (and at each page
// inside one), by python-can and by our reader.

#include "tests/binlog/BlfStateCheck.h"
#include "tests/support/TempWorkDir.h"
#include "binlog/include/binlog.h"

#include <gtest/gtest.h>

#include <iostream>
#include <sstream>

using blfstate::Bytes;
using blfstate::OurRead;
using blfstate::readOurs;

namespace {

std::string describe(const std::vector<blfstate::TestIo::Op> &log, const blfstate::State &s, size_t size)
{
    std::ostringstream o;
    o << "state after " << s.ops << " of " << log.size() << " writes";
    if (s.ops < log.size()) {
        const auto &op = log[s.ops];
        if (s.cut)
            o << " and " << s.cut << " bytes of the next";
        o << " (next: " << (op.truncate ? "cut to " : "write at ") << op.pos;
        if (!op.truncate)
            o << ", " << op.bytes.size() << " bytes";
        o << ")";
    }
    o << ", file " << size << " bytes, " << s.mustHave << " frames flushed, " << s.taken << " taken";
    return o.str();
}

} // namespace

class WriterStates : public WorkDirTest
{
};

// Recordings with small containers (a deflated one replaces a stored one
// every few flushes, the stored ones move back often), with CAN FD frames
// and objects whose sizes are no multiple of 4, with data that does not
// deflate, and with the default containers; flushed as the recorder
// flushes, some closed, some not. Every state is read: after each write and
// at each page boundary inside one; for the default containers, whose
// writes into dead space run to megabytes (the small containers go through
// the same steps page by page), at the first and the last boundary of
// writes longer than a page. The writer deflates on the caller's thread
// here, so the writes come in one order whatever the machine does (and the
// queue of sealed containers is as long as the writer lets it grow); one
// recording runs with its threads. Every frame flushed is read, in order,
// and none that was not handed over; our reader finds no damage in any of
// them (a killed recording is cut short, not damaged).
TEST_F(WriterStates, EveryWritePrefixReadsToTheLastCompletedFlush)
{
    REQUIRE_PEER_MODULES("can");
    struct Case {
        blfstate::Recording rec;
        size_t workers;
        size_t cutsUpTo; // page cuts inside writes up to this size (first and last beyond)
    };
    const Case cases[] = {
        {{"4 KiB containers", 6, 4096, 3000, 100, true, false, true}, 0, ~size_t(0)},
        {{"4 KiB containers, odd objects", 6, 4096, 2400, 37, false, true, true}, 0, ~size_t(0)},
        {{"stored", 0, 4096, 1200, 100, true, true, true}, 0, ~size_t(0)},
        {{"every frame flushed, odd objects", 6, 4096, 300, 1, false, true, false}, 0, ~size_t(0)},
        // A lead object puts the end of the tail 12 bytes before a page
        // boundary when a flush of two frames comes (the bytes that make
        // them visible cross the page there).
        {{"two frames a flush, across a page", 6, 4096, 120, 2, false, false, false, 0, 196}, 0, ~size_t(0)},
        {{"default containers", 6, 0, 1600, 80, true, false, true, 2048}, 0, 4096},
        // Containers that do not deflate wear the reservation down until the
        // stored ones are copied past the end mark.
        {{"data that does not deflate", 6, 4096, 200, 1, false, false, true, 4000, 0, false, true}, 0, ~size_t(0)},
        {{"4 KiB containers, threads, not closed", 6, 4096, 3000, 100, true, true, false}, 4, ~size_t(0)},
    };
    blfstate::PythonCan python;
    ASSERT_TRUE(python.start());
    const std::string path = workDir.file("state.blf");
    size_t total = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.rec.name);
        blfstate::TestIo io;
        blfstate::Driven d;
        {
            blfstate::Installed installed(&io, c.workers);
            d = blfstate::drive(c.rec, workDir.file("recorded.blf"), io);
        }
        ASSERT_FALSE(d.writeFailed || d.flushFailed);
        ASSERT_EQ(d.closeOk, c.rec.close);
        const auto log = io.log();
        int failures = 0;
        const size_t states = blfstate::forEachState(
            log, d, path,
            [&](const Bytes &image, const blfstate::State &s) {
                if (failures >= 10)
                    return;
                if (image.empty()) {
                    // Created, the header not yet written: no frame taken.
                    if (s.mustHave != 0) {
                        ++failures;
                        ADD_FAILURE() << "empty file with flushed frames, " << describe(log, s, 0);
                    }
                    return;
                }
                python.ask(path);
                const OurRead ours = readOurs(path);
                const auto theirs = python.answer();
                const bool good = !theirs.error && theirs.firstBad < 0 && theirs.frames >= s.mustHave
                                  && theirs.frames <= s.taken && ours.opened && ours.firstBad < 0
                                  && ours.frames >= s.mustHave && ours.frames <= s.taken && ours.damaged == 0;
                if (!good) {
                    ++failures;
                    ADD_FAILURE() << describe(log, s, image.size()) << ": python-can " << theirs.text
                                  << " our reader " << (ours.opened ? "" : "(not opened) ") << ours.frames
                                  << " frames, first out of order " << ours.firstBad << ", " << ours.damaged
                                  << " damaged places";
                }
            },
            c.cutsUpTo);
        ASSERT_GT(states, log.size());
        std::cout << c.rec.name << ": " << log.size() << " writes, " << states << " states read" << std::endl;
        total += states;
    }
    std::cout << "every write prefix: " << total << " states read by python-can and our reader" << std::endl;
}

namespace {

// The bytes of a file that are neither its header nor a deflated container:
// the stored containers, the reservation, the end mark and whatever lies
// behind it. (The empty containers that replacements leave stay in a closed
// file too; they count with the deflated ones.)
uint64_t slackOf(const Bytes &image)
{
    if (image.size() < 144)
        return 0;
    uint64_t kept = 0;
    size_t at = 144;
    while (at + 32 <= image.size() && std::memcmp(image.data() + at, "LOBJ", 4) == 0) {
        const uint32_t size = craft::get32(image.data() + at + 8);
        if (craft::get32(image.data() + at + 12) != 10 || size < 32 || at + size > image.size())
            break;
        const uint16_t method = uint16_t(image[at + 16] | (image[at + 17] << 8));
        if (method == 2 && (craft::get32(image.data() + at + 24) != 0 || size == 40))
            kept += size + size % 4;
        at += size + size % 4;
    }
    return image.size() - 144 - kept;
}

// The most a killed recording holds beyond its deflated containers, for
// containers of C bytes and at most F bytes of objects put in at once (a
// flush's objects, or C and one object when more than that comes between
// two flushes). S is the largest stored container: a tail short of C grown
// by F. At most three are stored (the tail and two sealed ones waiting to be
// deflated); the reservation is 2C + 1 KiB and grows by what replacements
// free until the stored ones behind it fit in front of it, so it stays below
// 2C + 1 KiB + 2S; the objects of a flush under way lie behind the end mark.
// When replacements have worn the reservation down (containers that do not
// deflate), the stored ones are copied past the end mark once: the
// reservation below S, the stored containers twice.
uint64_t slackBound(uint64_t C, uint64_t F)
{
    const uint64_t S = C + F + 35;
    return std::max(2 * C + 1024 + 5 * S + F + 64, 7 * S + S / 512 + 256);
}

} // namespace

// A recording killed at any moment holds no more than slackBound() beyond
// its deflated containers: every write state of recordings with the default
// containers as the recorder writes them (CAN and CAN FD frames, a flush
// every 100 frames; the writer deflating only when the caller would wait,
// the most it lets wait), with large flushes, and with small containers of
// data that does not deflate (the reservation wears down and the stored
// containers move past the end mark).
TEST_F(WriterStates, AKilledRecordingHoldsNoMoreThanTheBoundBeyondItsFrames)
{
    struct Case {
        blfstate::Recording rec;
        size_t workers;
        uint64_t largestPut; // F
    };
    const uint64_t C = 1024 * 1024;
    const Case cases[] = {
        {{"recorder, CAN", 6, 0, 60000, 100, true, false, false}, 0, 100 * (56 + 48)},
        {{"recorder, CAN and CAN FD", 6, 0, 60000, 100, true, true, false}, 0, 100 * (56 + 120 + 52)},
        {{"recorder, threads", 6, 0, 60000, 100, true, false, false}, 4, 100 * (56 + 48)},
        {{"flushes larger than a container", 6, 0, 50000, 15000, true, false, false}, 0, C + 56},
        {{"4 KiB containers, data that does not deflate", 6, 4096, 600, 1, false, false, false, 4000, 0, false, true},
         0, 48 + 4000},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.rec.name);
        blfstate::TestIo io;
        blfstate::Driven d;
        {
            blfstate::Installed installed(&io, c.workers);
            d = blfstate::drive(c.rec, workDir.file("recorded.blf"), io);
        }
        ASSERT_FALSE(d.writeFailed || d.flushFailed);
        const auto log = io.log();
        const uint64_t bound = slackBound(c.rec.containerSize ? c.rec.containerSize : C, c.largestPut);
        uint64_t worst = 0;
        blfstate::State worstAt;
        blfstate::forEachState(
            log, d, workDir.file("state.blf"),
            [&](const Bytes &image, const blfstate::State &s) {
                const uint64_t slack = slackOf(image);
                if (slack > worst) {
                    worst = slack;
                    worstAt = s;
                }
            },
            4096);
        std::cout << c.rec.name << ": at most " << worst << " bytes beyond the deflated containers (bound " << bound
                  << ")" << std::endl;
        EXPECT_LE(worst, bound) << "after " << worstAt.ops << " of " << log.size() << " writes";
    }
}

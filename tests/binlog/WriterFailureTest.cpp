// The BLF writer when writes fail: a full disk or an I/O error at any write
// of a recording, and a real file system that fills up. The file keeps every
// frame of every completed flush, the failure is reported, and the header
// tells that the file was not closed cleanly.

#include "tests/binlog/BlfStateCheck.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TempWorkDir.h"
#include "binlog/include/binlog.h"

#include <gtest/gtest.h>

#include <iostream>

#include <sched.h>
#include <sys/mman.h>
#include <sys/mount.h>
#include <sys/stat.h>

using blfstate::Bytes;
using blfstate::OurRead;
using blfstate::readOurs;

namespace {

const char *faultName(blfstate::TestIo::Fault f)
{
    switch (f) {
    case blfstate::TestIo::Fault::None:
        return "none";
    case blfstate::TestIo::Fault::NoSpace:
        return "disk full";
    case blfstate::TestIo::Fault::IoError:
        return "I/O error";
    case blfstate::TestIo::Fault::ShortThenNoSpace:
        return "short write, then disk full";
    case blfstate::TestIo::Fault::Short:
        return "short write";
    }
    return "?";
}

} // namespace

class WriterFailures : public WorkDirTest
{
};

// A short recording, and the same with a write failing: every write in turn,
// with a full disk (that write and all later ones), an I/O error (that write
// only), a write cut short at a page boundary with the disk full behind it,
// and a short write whose rest goes through when asked again. Closed as the
// recorder closes, the file reads (here and in python-can) with every frame
// of every completed flush, in order; a failure is reported by the call that
// meets it or a later one and by the close, and the header tells that the
// file is not whole; a short write that went through leaves a whole file.
// None reads as damaged: the file stays in a state the writer left it in.
TEST_F(WriterFailures, AFailureAtAnyWriteKeepsEveryFlushedFrame)
{
    REQUIRE_PEER_MODULES("can");
    using Fault = blfstate::TestIo::Fault;
    const blfstate::Recording recordings[] = {
        {"4 KiB containers", 6, 4096, 700, 50, true, false, true},
        {"4 KiB containers, odd objects", 6, 4096, 500, 37, false, true, true},
        {"stored", 0, 4096, 400, 100, true, false, true},
        {"4 KiB containers, the recorder stops at the failure", 6, 4096, 700, 50, true, false, true, 0, 0, true},
    };
    const Fault faults[] = {Fault::NoSpace, Fault::IoError, Fault::ShortThenNoSpace, Fault::Short};
    blfstate::PythonCan python;
    ASSERT_TRUE(python.start());
    size_t runs = 0;
    for (const blfstate::Recording &r : recordings) {
        SCOPED_TRACE(r.name);
        size_t writes = 0;
        {
            blfstate::TestIo io(false);
            blfstate::Installed installed(&io, 0);
            const blfstate::Driven d = blfstate::drive(r, workDir.file("whole.blf"), io);
            ASSERT_TRUE(d.closeOk);
            writes = io.writeCalls();
        }
        // Faults by kind: frames lost or out of order, a file python-can
        // refuses, a failure not reported, a header that does not tell.
        int lost = 0, refused = 0, unreported = 0, header = 0, damaged = 0;
        for (Fault f : faults) {
            for (size_t k = 0; k < writes; ++k) {
                const std::string path = workDir.file("failed.blf");
                blfstate::TestIo io(false);
                io.failWrite(k, f);
                blfstate::Driven d;
                {
                    blfstate::Installed installed(&io, 0);
                    d = blfstate::drive(r, path, io);
                }
                ++runs;
                const bool failed = io.faulted() && f != Fault::Short;
                const Bytes file = craft::readFile(path);
                if (file.empty()) {
                    // The header at create did not go out: no frame is lost,
                    // and no reader takes the file.
                    EXPECT_TRUE(failed && k == 0 && d.flushed == 0 && !d.closeOk) << faultName(f) << " at write " << k;
                    continue;
                }
                python.ask(path);
                const OurRead ours = readOurs(path);
                const auto theirs = python.answer();
                const int64_t mustHave = failed ? d.flushed : d.taken;
                const uint64_t declared = blfstate::declaredSize(file);
                const bool isLost = !ours.opened || ours.firstBad >= 0 || ours.frames < mustHave
                                    || ours.frames > d.taken
                                    || (!theirs.error
                                        && (theirs.firstBad >= 0 || theirs.frames < mustHave || theirs.frames > d.taken));
                const bool isRefused = theirs.error;
                const bool isUnreported = d.closeOk == failed;
                const bool isHeader = (declared > file.size()) != failed;
                const bool isDamaged = ours.damaged != 0;
                lost += isLost;
                refused += isRefused;
                unreported += isUnreported;
                header += isHeader;
                damaged += isDamaged;
                if ((isLost && lost <= 3) || (isRefused && refused <= 3) || (isUnreported && unreported <= 3)
                    || (isHeader && header <= 3) || (isDamaged && damaged <= 3)) {
                    ADD_FAILURE() << faultName(f) << " at write " << k << " of " << writes << ": " << d.flushed
                                  << " frames flushed, " << d.taken << " taken; python-can " << theirs.text
                                  << " our reader " << ours.frames << " frames (first out of order "
                                  << ours.firstBad << ", " << ours.damaged << " damaged places); close " << (d.closeOk ? "succeeded" : "failed")
                                  << "; header claims " << declared << " of a file of " << file.size() << " bytes";
                }
            }
        }
        EXPECT_EQ(lost, 0) << "recordings that lost flushed frames or read out of order";
        EXPECT_EQ(refused, 0) << "recordings python-can refuses";
        EXPECT_EQ(unreported, 0) << "failures the close did not report (or a close that failed without one)";
        EXPECT_EQ(header, 0) << "headers that do not tell a failed recording from a whole one";
        EXPECT_EQ(damaged, 0) << "recordings our reader takes for damaged (a failed write leaves one cut short)";
    }
    std::cout << runs << " recordings with a failed write read back" << std::endl;
}

// A real file system that fills up (a tmpfs of a few MiB, mounted in a
// mount namespace of a child of its own): the recorder records until a call
// fails, then closes. Every flushed frame reads back after the close, here
// and in python-can. Once with the deflating threads, once with the caller
// deflating (one order of writes, so the same figures on every run).
TEST_F(WriterFailures, AFileSystemThatFillsUpKeepsEveryFlushedFrame)
{
    REQUIRE_PEER_MODULES("can");
    auto *shared = static_cast<int64_t *>(
        mmap(nullptr, 4 * sizeof(int64_t), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(shared, MAP_FAILED);
    blfstate::PythonCan python;
    ASSERT_TRUE(python.start());
    const struct {
        size_t workers;
        int mib;
    } cases[] = {{4, 6}, {4, 10}, {4, 16}, {0, 6}, {0, 10}, {0, 16}};
    for (const auto &c : cases) {
        const size_t workers = c.workers;
        const int mib = c.mib;
        const std::string what = std::to_string(mib) + " MiB file system, "
                                 + (workers ? "deflating threads" : "the caller deflating");
        SCOPED_TRACE(what);
        const std::string mnt = workDir.file("fs" + std::to_string(mib) + "-" + std::to_string(workers));
        const std::string kept = workDir.file("kept.blf");
        ASSERT_EQ(mkdir(mnt.c_str(), 0755), 0);
        shared[0] = shared[1] = shared[2] = 0;
        const child::Outcome o = child::run([&] {
            binlog::BlfWriter::setWorkerLimit(workers);
            if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
                return 77;
            const std::string size = "size=" + std::to_string(mib) + "m";
            if (mount("tmpfs", mnt.c_str(), "tmpfs", 0, size.c_str()) != 0)
                return 77;
            const std::string path = mnt + "/full.blf";
            void *w = BLCreateFile(path.c_str(), BL_ACCESS_WRITE);
            if (w == BL_INVALID_HANDLE)
                return 10;
            BLSetApplication(w, 6, 1, 0, 1);
            if (BLSetWriteOptions(w, 6, 0) != 1)
                return 11;
            const Bytes trigger = craft::object(5, 0, Bytes(24, 0));
            int64_t n = 0;
            for (; n < 50000000; ++n) {
                // Frames whose last four data bytes are noise, as measured
                // values on a bus are.
                Bytes frame = blfstate::frameObject(n, false);
                const uint32_t x = uint32_t(n + 1) * 2654435761u;
                for (int i = 0; i < 4; ++i)
                    frame[44 + i] = uint8_t(x >> (8 * i));
                if (BLWriteObject(w, trigger.data()) != 1 || BLWriteObject(w, frame.data()) != 1)
                    break;
                if ((n + 1) % 100 == 0) {
                    if (BLFlushFileBuffers(w, 2) != 1)
                        break;
                    shared[0] = n + 1;
                }
            }
            shared[1] = n + 1;
            // The recorder's close: a flush, then the close.
            const bool flushed = BLFlushFileBuffers(w, 2) == 1;
            const bool closed = BLCloseHandle(w) == 1;
            shared[2] = (flushed ? 1 : 0) | (closed ? 2 : 0);
            // The file leaves the file system with the child.
            const Bytes file = craft::readFile(path);
            return craft::writeFile(kept, file) ? 0 : 12;
        });
        if (o.exitedWith(77))
            GTEST_SKIP() << "no private mount namespace with a tmpfs here (needs root): " << mnt;
        ASSERT_TRUE(o.exitedWith(0)) << o.describe();
        const int64_t flushed = shared[0];
        EXPECT_EQ(shared[2], 0) << "the flush and the close on a full disk report the failure";
        EXPECT_GT(flushed, 0);
        EXPECT_LT(flushed, shared[1]) << "the file system never filled up";
        python.ask(kept);
        const OurRead ours = readOurs(kept);
        const auto theirs = python.answer();
        std::cout << what << ": " << flushed << " frames flushed, " << ours.frames
                  << " read back by our reader, " << theirs.frames << " by python-can" << std::endl;
        EXPECT_FALSE(theirs.error) << theirs.text;
        EXPECT_EQ(theirs.firstBad, -1);
        EXPECT_GE(theirs.frames, flushed);
        EXPECT_TRUE(ours.opened);
        EXPECT_EQ(ours.firstBad, -1);
        EXPECT_GE(ours.frames, flushed);
        EXPECT_EQ(ours.damaged, 0u) << "a full disk leaves the file cut short, not damaged";
    }
    munmap(shared, 4 * sizeof(int64_t));
}

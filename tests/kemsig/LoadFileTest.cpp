// What KDBC_LoadFile agrees to read: regular files up to the size limit.
// Everything else (a folder, an endless device, a pipe, a file too large)
// is refused like a file that cannot be opened, and nothing the load runs
// into (memory running out among it) unwinds through the C interface.
#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/support/ChildProcess.h"
#include "tests/kemsig/KemsigTestUtil.h"
#include "tests/support/TempWorkDir.h"

namespace {

const char kGood[] = "BO_ 256 Msg: 8 Node\n SG_ S : 0|8@1+ (1,0) [0|255] \"\" X\n";

// A file of `size` bytes that starts with `head` and is zero after it,
// made sparse so that a large one costs no disk space.
void sparseFile(const std::string &path, const std::string &head, off_t size)
{
    const int fd = ::open(path.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, head.data(), head.size()), ssize_t(head.size()));
    ASSERT_EQ(::ftruncate(fd, size), 0);
    ::close(fd);
}

} // namespace

class KemsigLoadFile : public WorkDirTest
{
};

// Each path is tried in a child process held to a time and an address-space
// budget: a load that blocks, grows without end or aborts ends the child,
// and the test reports how, instead of taking the test binary with it.
TEST_F(KemsigLoadFile, RefusesWhatIsNotARegularFileAndKeepsTheTable)
{
    kt::writeFile("good.dbc", kGood);
    ASSERT_EQ(::mkdir("folder.dbc", 0755), 0);
    ASSERT_EQ(::mkfifo("pipe.dbc", 0644), 0);
    // A writer holds the pipe open, so a reader that opened it would wait
    // for data for ever rather than see its end.
    const int pipeWriter = ::open("pipe.dbc", O_RDWR | O_NONBLOCK);
    ASSERT_GE(pipeWriter, 0);
    const char *paths[] = {"folder.dbc", "/dev/zero", "pipe.dbc", "/dev/null", "/dev/urandom"};
    for (const char *path : paths) {
        SCOPED_TRACE(path);
        const child::Outcome o = child::run([path] {
            if (child::kAddressLimitWorks && !child::limitAddressSpace(512u << 20))
                return 10;
            alarm(20);
            kt::Db db = kt::makeDb();
            if (KDBC_LoadFile(db.get(), "good.dbc") != 1)
                return 11;
            if (KDBC_LoadFile(db.get(), path) != 0)
                return 12;
            return KDBC_GetMessageCount(db.get()) == 1 ? 0 : 13;
        });
        EXPECT_TRUE(o.exitedWith(0)) << o.describe()
                                     << " (12: loaded, 13: table lost, SIGALRM: blocked, SIGABRT: threw)";
    }
    ::close(pipeWriter);
}

TEST_F(KemsigLoadFile, ReadsUpToTheSizeLimitAndRefusesOneByteMore)
{
    kt::Db db = kt::makeDb();
    // A real message line at the start; the zeros after it end that line
    // and are read as one empty line.
    sparseFile("limit.dbc", "BO_ 7 Big: 8 N\n", off_t(KDBC_MAX_FILE_BYTES));
    ASSERT_EQ(KDBC_LoadFile(db.get(), "limit.dbc"), 1);
    ASSERT_EQ(KDBC_GetMessageCount(db.get()), 1u);

    sparseFile("over.dbc", "BO_ 8 Over: 8 N\nBO_ 9 Two: 8 N\n", off_t(KDBC_MAX_FILE_BYTES) + 1);
    EXPECT_EQ(KDBC_LoadFile(db.get(), "over.dbc"), 0);
    auto m = kt::newMessage();
    ASSERT_EQ(KDBC_GetMessageCount(db.get()), 1u) << "a refused file leaves the earlier load";
    ASSERT_EQ(KDBC_GetMessageByIndex(db.get(), 0, m.get()), 1);
    EXPECT_STREQ(m->strName, "Big");
}

// A load that runs out of memory returns 0 instead of unwinding into the
// C caller (which ends the process with an abort).
TEST_F(KemsigLoadFile, RunningOutOfMemoryIsAFailedLoad)
{
    if (!child::kAddressLimitWorks)
        GTEST_SKIP() << "the sanitizers' allocator does not run out under an address-space limit";
    kt::writeFile("good.dbc", kGood);
    sparseFile("large.dbc", "BO_ 1 A: 8 N\n", off_t(48) << 20);
    const child::Outcome o = child::run([] {
        kt::Db db = kt::makeDb();
        if (KDBC_LoadFile(db.get(), "good.dbc") != 1)
            return 11;
        if (!child::limitAddressSpace(16u << 20))
            return 10;
        if (KDBC_LoadFile(db.get(), "large.dbc") != 0)
            return 12;
        return KDBC_GetMessageCount(db.get()) == 1 ? 0 : 13;
    });
    EXPECT_TRUE(o.exitedWith(0)) << o.describe() << " (SIGABRT: an exception left KDBC_LoadFile)";
}

// Caches left behind by sessions that ended by a crash or a kill go at the
// next start-up; those of programs still running stay. The other program is
// a forked child that takes its lock as the program does, makes caches of
// its own and is then killed.

#include "traffic/windows/QUserCacheSweep.h"
#include "traffic/windows/QPlayBackWork.h"
#include "traffic/windows/QUserCanWatchWork.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TempWorkDir.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

bool touch(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write("x") == 1;
}

QStringList cachesOf(qint64 pid)
{
    return {QStringLiteral("playBackItem-%1-1.dat").arg(pid), QStringLiteral("watchSrcTraceItem-%1-2.dat").arg(pid),
            QStringLiteral("watchTraceItem-%1-2.dat").arg(pid)};
}

bool allThere(const QString &dir, const QStringList &names, bool there)
{
    for (const QString &n : names)
        if (QFileInfo::exists(dir + QLatin1Char('/') + n) != there)
            return false;
    return true;
}

// A program in a child: its lock taken (or not), its caches made, then it
// waits to be killed. Returns its pid once the caches are there.
pid_t startOwner(const QString &dir, bool takeLock)
{
    // The child only makes system calls: the paths are put together from
    // bytes made before the fork.
    const QByteArray folder = QFile::encodeName(dir);
    int ready[2];
    if (pipe(ready) != 0)
        return -1;
    const pid_t pid = fork();
    if (pid == 0) {
        ::close(ready[0]);
        bool ok = true;
        char path[4096];
        const long self = long(::getpid());
        if (takeLock) {
            std::snprintf(path, sizeof path, "%s/.orvane-%ld.lock", folder.constData(), self);
            const int fd = ::open(path, O_RDWR | O_CREAT, 0644);
            ok = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
        }
        for (const char *pattern : {"%s/playBackItem-%ld-1.dat", "%s/watchSrcTraceItem-%ld-2.dat", "%s/watchTraceItem-%ld-2.dat"}) {
            std::snprintf(path, sizeof path, pattern, folder.constData(), self);
            ok = ok && ::open(path, O_WRONLY | O_CREAT, 0644) >= 0;
        }
        const char c = ok ? '1' : '0';
        if (::write(ready[1], &c, 1) != 1)
            _exit(2);
        for (;;)
            pause();
    }
    ::close(ready[1]);
    char c = 0;
    const bool up = pid > 0 && ::read(ready[0], &c, 1) == 1 && c == '1';
    ::close(ready[0]);
    if (!up && pid > 0) {
        ::kill(pid, SIGKILL);
        child::wait(pid);
        return -1;
    }
    return pid;
}

} // namespace

class CacheSweep : public WorkDirTest
{
protected:
    void SetUp() override { ASSERT_TRUE(QDir().mkpath(dir)); }
    QString dir = QDir::current().absoluteFilePath(QStringLiteral("cache"));
};

TEST_F(CacheSweep, KilledProgramsCachesGoRunningProgramsStay)
{
    for (bool takeLock : {true, false}) {
        SCOPED_TRACE(takeLock ? "the other program holds its lock" : "a session without a lock file");
        const pid_t other = startOwner(dir, takeLock);
        ASSERT_GT(other, 0);
        const QStringList theirs = cachesOf(other);
        ASSERT_TRUE(allThere(dir, theirs, true));

        // Running: nothing of it is touched.
        EXPECT_EQ(QUserCacheSweep::sweep(dir), 0);
        EXPECT_TRUE(allThere(dir, theirs, true));
        EXPECT_EQ(QFileInfo::exists(QUserCacheSweep::lockPath(dir, other)), takeLock);

        // Killed: the next start-up removes its caches and its lock file.
        ASSERT_EQ(::kill(other, SIGKILL), 0);
        EXPECT_EQ(child::wait(other).signal, SIGKILL);
        EXPECT_EQ(QUserCacheSweep::sweep(dir), 3);
        EXPECT_TRUE(allThere(dir, theirs, false));
        EXPECT_FALSE(QFileInfo::exists(QUserCacheSweep::lockPath(dir, other)));
    }
}

// The lock decides over the process id: a free lock file whose process id
// runs again (given to another process since) still marks an ended program.
TEST_F(CacheSweep, FreeLockOfAProcessIdInUseMeansTheProgramEnded)
{
    const pid_t reused = startOwner(dir, false);
    ASSERT_GT(reused, 0);
    ASSERT_TRUE(touch(QUserCacheSweep::lockPath(dir, reused)));
    EXPECT_EQ(QUserCacheSweep::sweep(dir), 3);
    EXPECT_TRUE(allThere(dir, cachesOf(reused), false));
    ::kill(reused, SIGKILL);
    child::wait(reused);
}

// This process's own caches, files of other names and the names of an older
// version stay; the caches this process makes carry its lock.
TEST_F(CacheSweep, OwnAndForeignFilesStay)
{
    const QString mine = QFileInfo(QPlayBackWork::newCachePath()).fileName();
    QString src, table;
    QUserCanWatchWork::newCachePaths(&src, &table);
    ASSERT_EQ(QFileInfo(src).absolutePath(), dir);
    const qint64 self = ::getpid();
    EXPECT_TRUE(QFileInfo::exists(QUserCacheSweep::lockPath(dir, self)));
    const QStringList keep{mine, QFileInfo(src).fileName(), QFileInfo(table).fileName(), "playBackItem.dat",
                           "notes.txt", "watchTraceItem-abc-1.dat", "playBackItem-99999999999-1.dat"};
    for (const QString &n : keep)
        ASSERT_TRUE(touch(dir + QLatin1Char('/') + n)) << n.toStdString();
    EXPECT_EQ(QUserCacheSweep::sweep(dir), 0);
    EXPECT_TRUE(allThere(dir, keep, true));
    // The lock is held: a second hold in this process is a no-op, and the
    // lock file of this process is never swept.
    EXPECT_TRUE(QUserCacheSweep::ownerHold(dir));
    EXPECT_TRUE(QFileInfo::exists(QUserCacheSweep::lockPath(dir, self)));
}

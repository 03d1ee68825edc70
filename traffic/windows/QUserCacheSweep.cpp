#include "traffic/windows/QUserCacheSweep.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>
#include <QRegularExpression>
#include <QSet>

#if defined(Q_OS_UNIX)
#include <cerrno>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace {

void logLine(const QString &text)
{
    qDebug().noquote() << "QUserCacheSweep >" << text;
}

#if defined(Q_OS_UNIX)

// Whether the program of a process id has ended. Its lock file decides when
// it is there: held, the program runs; free, it has ended (even when the
// process id has been given to another process since). Without one (a
// session of a program that took no lock), the process id decides.
// *lockFd keeps a free lock held until the caller has removed the files.
bool ownerGone(const QString &dir, qint64 pid, int *lockFd)
{
    *lockFd = -1;
    const QByteArray path = QFile::encodeName(QUserCacheSweep::lockPath(dir, pid));
    const int fd = ::open(path.constData(), O_RDWR | O_CLOEXEC);
    if (fd >= 0) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            *lockFd = fd;
            return true;
        }
        ::close(fd);
        return false;
    }
    if (pid <= 0 || pid > 0x7FFFFFFF)
        return false;
    return ::kill(pid_t(pid), 0) != 0 && errno == ESRCH;
}

#endif

} // namespace

namespace QUserCacheSweep {

QString lockPath(const QString &dir, qint64 pid)
{
    return QDir(dir).absoluteFilePath(QStringLiteral(".orvane-%1.lock").arg(pid));
}

bool ownerHold(const QString &dir)
{
#if defined(Q_OS_UNIX)
    static QMutex mutex;
    static QSet<QString> held;
    const QString key = QDir(dir).absolutePath();
    QMutexLocker lock(&mutex);
    if (held.contains(key))
        return true;
    QDir().mkpath(key);
    const QByteArray path = QFile::encodeName(lockPath(key, ::getpid()));
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    // The descriptor stays open: the lock lasts as long as the process.
    held.insert(key);
    return true;
#else
    Q_UNUSED(dir);
    return false;
#endif
}

int sweep(const QString &dir)
{
#if defined(Q_OS_UNIX)
    static const QRegularExpression cacheName(
        QStringLiteral("^(?:playBackItem|watchSrcTraceItem|watchTraceItem)-(\\d{1,10})-\\d+\\.dat$"));
    static const QRegularExpression lockName(QStringLiteral("^\\.orvane-(\\d{1,10})\\.lock$"));
    const qint64 self = ::getpid();
    const QDir folder(dir);
    QHash<qint64, QStringList> caches;
    QSet<qint64> locks;
    for (const QString &name : folder.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        QRegularExpressionMatch m = cacheName.match(name);
        if (m.hasMatch()) {
            caches[m.captured(1).toLongLong()].append(name);
            continue;
        }
        m = lockName.match(name);
        if (m.hasMatch())
            locks.insert(m.captured(1).toLongLong());
    }
    QSet<qint64> pids = locks;
    for (auto it = caches.constBegin(); it != caches.constEnd(); ++it)
        pids.insert(it.key());
    int removed = 0;
    for (qint64 pid : qAsConst(pids)) {
        if (pid == self)
            continue;
        int fd = -1;
        if (!ownerGone(dir, pid, &fd))
            continue;
        for (const QString &name : caches.value(pid)) {
            if (QFile::remove(folder.absoluteFilePath(name))) {
                ++removed;
                logLine(QStringLiteral("Cache <%1> of an ended session removed").arg(name));
            } else {
                logLine(QStringLiteral("Cache <%1> of an ended session not removed").arg(name));
            }
        }
        // The lock file goes while its lock is held here, so that no
        // program of the same id takes it in between.
        if (fd >= 0) {
            QFile::remove(lockPath(dir, pid));
            ::close(fd);
        }
    }
    return removed;
#else
    Q_UNUSED(dir);
    return 0;
#endif
}

} // namespace QUserCacheSweep

#pragma once
// The caches of the trace viewer and of playback ("cache/watchSrcTraceItem-
// <pid>-<n>.dat", "cache/watchTraceItem-<pid>-<n>.dat", "cache/playBackItem-
// <pid>-<n>.dat") are removed by the windows that made them, but a session
// that ends by a crash or a kill leaves them behind, and they can be
// gigabytes. Every program that makes such caches holds a lock on the file
// ".orvane-<pid>.lock" (hidden) in the cache folder for as long as it lives (the
// system drops the lock when the process ends, however it ends). At start-up
// the caches whose program no longer runs are removed: those whose lock file
// is there and not held, and, without a lock file, those whose process id is
// gone. The caches of another running program are never touched, nor those
// of this process.

#include <QString>

namespace QUserCacheSweep {

// Takes this process's lock in the folder (once per folder; kept until the
// process ends). False when the lock file cannot be made or locked.
bool ownerHold(const QString &dir);

// Removes the caches and lock files of programs that no longer run from the
// folder; returns the number of cache files removed.
int sweep(const QString &dir);

// The lock file of a process in a folder.
QString lockPath(const QString &dir, qint64 pid);

} // namespace QUserCacheSweep

// Figures taken from a few cold runs: the page cache dropped before each, and
// the median and spread of what they measured.
#pragma once

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#ifdef QT_CORE_LIB
#include <QFile>
#include <QStringList>
#endif

namespace benchcold {

// Writes the system's dirty pages out and drops its page cache, so that the
// next figure starts with nothing of the files in memory and nothing left to
// write back. Without the right to drop the whole cache (not root), the files
// named are synced and advised out of the cache one by one, with a note on
// stderr the first time (what names them). True when the whole cache was
// dropped.
inline bool pageCacheDrop(const std::vector<std::string> &files, const char *what)
{
    ::sync();
    const int fd = ::open("/proc/sys/vm/drop_caches", O_WRONLY | O_CLOEXEC);
    if (fd >= 0) {
        const bool dropped = ::write(fd, "3\n", 2) == 2;
        ::close(fd);
        if (dropped)
            return true;
    }
    static bool told = false;
    if (!told) {
        std::fprintf(stderr,
                     "page cache not dropped (writing /proc/sys/vm/drop_caches needs root): %s synced and advised "
                     "out with posix_fadvise instead\n",
                     what);
        told = true;
    }
    for (const std::string &f : files) {
        const int h = ::open(f.c_str(), O_RDONLY | O_CLOEXEC);
        if (h < 0)
            continue;
        ::fdatasync(h);
        ::posix_fadvise(h, 0, 0, POSIX_FADV_DONTNEED);
        ::close(h);
    }
    return false;
}

#ifdef QT_CORE_LIB
inline bool pageCacheDrop(const QStringList &files, const char *what)
{
    std::vector<std::string> names;
    for (const QString &f : files)
        names.push_back(QFile::encodeName(f).toStdString());
    return pageCacheDrop(names, what);
}
#endif

inline double median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// Largest less smallest.
inline double spread(const std::vector<double> &v)
{
    if (v.empty())
        return 0;
    return *std::max_element(v.begin(), v.end()) - *std::min_element(v.begin(), v.end());
}

} // namespace benchcold

#include "binlog/src/BlfFileIo.h"

#include <atomic>

#include <fcntl.h>
#include <unistd.h>

namespace binlog {

namespace {
BlfFileIo g_system;
std::atomic<BlfFileIo *> g_current{&g_system};
} // namespace

int BlfFileIo::create(const char *path) { return ::open(path, O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644); }

long BlfFileIo::write(int fd, const void *data, size_t len, uint64_t pos)
{
    return long(::pwrite(fd, data, len, off_t(pos)));
}

int BlfFileIo::truncate(int fd, uint64_t size) { return ::ftruncate(fd, off_t(size)); }

int BlfFileIo::close(int fd) { return ::close(fd); }

void BlfFileIo::install(BlfFileIo *io) { g_current = io ? io : &g_system; }

BlfFileIo &BlfFileIo::current() { return *g_current; }

} // namespace binlog

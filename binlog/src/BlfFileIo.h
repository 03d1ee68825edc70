#pragma once
// The file operations of the BLF writer: every create, write, cut and close
// of a file being written goes through one small interface, so that a test
// can stand in for the file system (fail a chosen write, cut one short, or
// log every write and rebuild the file as it stood after each of them).

#include <cstddef>
#include <cstdint>

namespace binlog {

class BlfFileIo
{
public:
    virtual ~BlfFileIo() = default;

    // Creates (truncates) the file for reading and writing: a descriptor, or
    // -1 with errno set.
    virtual int create(const char *path);
    // As pwrite(2): the bytes written (maybe fewer than asked), or -1 with
    // errno set.
    virtual long write(int fd, const void *data, size_t len, uint64_t pos);
    // As ftruncate(2): 0, or -1 with errno set.
    virtual int truncate(int fd, uint64_t size);
    virtual int close(int fd);

    // What a writer opened from now on uses; nullptr puts the system's back.
    // The object must outlive every writer opened with it.
    static void install(BlfFileIo *io);
    static BlfFileIo &current();
};

} // namespace binlog

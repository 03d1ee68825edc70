#pragma once
// Reads the objects of a BLF file one by one. The data of LOG_CONTAINER
// objects (stored or zlib-compressed) is joined into one stream, so objects
// may span containers; objects found outside containers join the stream as
// they are. Every size is checked against the data and against fixed limits:
// damaged data ends the read (peek returns false), it never over-reads or
// allocates without bound.

#include <cstdint>
#include <cstdio>
#include <vector>

#include <zlib.h>

namespace binlog {

class BlfReader
{
public:
    BlfReader();
    ~BlfReader();
    BlfReader(const BlfReader &) = delete;
    BlfReader &operator=(const BlfReader &) = delete;

    // Opens a file by path, or takes a stream already open for reading (the
    // reader closes it).
    bool open(const char *path);
    bool open(FILE *stream);

    // Base header (16 bytes) of the next object; false at the end or on
    // damaged data.
    bool peek(uint8_t base[16]);
    // Next object into `out` as a version-1 object of `outSize` bytes; the
    // type in out's base header must be the peeked one.
    bool read(uint8_t *out, size_t outSize);
    bool skip();

    bool damaged() const { return damaged_; }
    uint32_t headerObjectCount() const { return headerObjectCount_; }

private:
    bool locate();
    bool ensure(size_t n);
    bool loadNext();
    bool readAt(uint64_t offset, void *dst, size_t len);
    bool fail();

    FILE *file_ = nullptr;
    uint64_t fileSize_ = 0;
    uint64_t filePos_ = 0;  // next top-level object
    uint64_t streamPos_ = 0; // where the FILE stands
    std::vector<uint8_t> buf_;
    size_t pos_ = 0;
    std::vector<uint8_t> scratch_;
    z_stream zs_{};
    bool zInit_ = false;
    bool damaged_ = false;
    bool ended_ = false;
    uint32_t headerObjectCount_ = 0;

    bool haveCur_ = false;
    uint16_t curHeaderSize_ = 0;
    uint32_t curSize_ = 0;
    uint32_t curType_ = 0;
};

} // namespace binlog

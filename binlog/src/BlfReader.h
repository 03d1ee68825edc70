#pragma once
// Reads the objects of a BLF file one by one. The data of LOG_CONTAINER
// objects (stored or zlib-compressed) is joined into one stream, so objects
// may span containers; objects found outside containers join the stream as
// they are. Every size is checked against the data and against fixed limits:
// damaged data ends the read (peek returns false), it never over-reads or
// allocates without bound.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

#include <zlib.h>

namespace binlog {

// One top-level object of the file as the reader takes it in: the bytes it
// adds to the object stream (an object outside containers, the data of a
// stored container, or a compressed container's data once inflated), or the
// end of the file, or damaged data.
struct BlfChunk {
    enum Kind { Data, Zlib, End, Fail };
    Kind kind = End;
    std::vector<uint8_t> bytes; // Data: the bytes; Zlib: the compressed data
    uint32_t declared = 0;      // Zlib: the uncompressed size the container gives
    std::vector<uint8_t> out;   // Zlib: the data inflated
    bool inflated = false;      // Zlib: inflated to the end of its stream
};

class BlfPrefetch;

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
    // Whether this reader inflates ahead on threads of its own.
    bool prefetching() const { return prefetch_ != nullptr; }

    // Files from this size on are read ahead: one thread reads the file and
    // others inflate the next containers while the caller takes the
    // objects of the current one. The objects, and where damaged data ends
    // the read, are the same either way. Default 4 MiB.
    static void setPrefetchThreshold(uint64_t bytes);
    static uint64_t prefetchThreshold();

    // The next top-level object of the file (reading thread only).
    void scanNext(BlfChunk &c);
    // Inflates a Zlib chunk with the stream given (reset first).
    static void inflateChunk(BlfChunk &c, z_stream &zs);

private:
    bool locate();
    bool ensure(size_t n);
    bool loadNext();
    bool readAt(uint64_t offset, void *dst, size_t len);
    bool fail();
    void prefetchStop();

    FILE *file_ = nullptr;
    uint64_t fileSize_ = 0;
    uint64_t filePos_ = 0;  // next top-level object
    uint64_t streamPos_ = 0; // where the FILE stands
    std::vector<uint8_t> buf_;
    size_t pos_ = 0;
    z_stream zs_{};
    bool zInit_ = false;
    bool damaged_ = false;
    bool ended_ = false;
    uint32_t headerObjectCount_ = 0;

    std::unique_ptr<BlfPrefetch> prefetch_;

    bool haveCur_ = false;
    uint16_t curHeaderSize_ = 0;
    uint32_t curSize_ = 0;
    uint32_t curType_ = 0;
};

} // namespace binlog

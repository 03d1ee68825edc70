#pragma once
// Reads the objects of a BLF file one by one. The data of LOG_CONTAINER
// objects (stored or zlib-compressed) is joined into one stream, so objects
// may span containers; objects found outside containers join the stream as
// they are. Every size is checked against the data and against fixed limits:
// the reader never over-reads or allocates without bound.
//
// Damaged data does not end the read; it is passed over and counted:
// - a container that does not inflate to the size it gives is skipped, and
//   so is one whose header does not hold (no signature, a size that does not
//   meet the next object, an unknown method): the reader looks further on
//   for the next "LOBJ" whose container header holds, whose size meets the
//   next object or the end of the file, and which then inflates. A stored
//   container whose uncompressed size leads past its data exactly to an end
//   mark is our writer's tail caught between its two size writes: it holds,
//   and the objects behind it are read outside containers;
// - in the stream, an object is handed out only once its end meets the next
//   object's signature (after at most kMaxPadding bytes of padding) or the
//   end of the data. Where that fails the reader looks for the next
//   signature with a plain object header whose end checks out the same way.
//   The object before the break is kept only when the damaged object's own
//   size leads to where the objects go on.
// The stream restarts after every skipped container, so objects that reach
// into one are lost with it. An object claiming more than the file holds
// ends the read when nothing readable follows: the end mark of a file being
// written, or a file cut short; that is damage only when the file holds the
// size its header gives.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

#include <zlib.h>

namespace binlog {

// One top-level object of the file as the reader takes it in: the bytes it
// adds to the object stream (an object outside containers, the data of a
// stored container, or a compressed container's data once inflated), damaged
// bytes passed over, or the end of the file.
struct BlfChunk {
    enum Kind { Data, Zlib, Gap, End };
    Kind kind = End;
    std::vector<uint8_t> bytes; // Data: the bytes; Zlib: the compressed data
    uint32_t declared = 0;      // Zlib: the uncompressed size the container gives
    std::vector<uint8_t> out;   // Zlib: the data inflated
    bool inflated = false;      // Zlib: inflated to the end of its stream, to the size declared
    uint64_t skipped = 0;       // Gap: file bytes passed over
    bool searched = false;      // Gap: what follows was found by looking for a signature
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
    // reader closes it). False when it is no BLF file (no "LOGG" header).
    bool open(const char *path);
    bool open(FILE *stream);

    // Base header (16 bytes) of the next object; false at the end.
    bool peek(uint8_t base[16]);
    // Next object into `out` as a version-1 object of `outSize` bytes; the
    // type in out's base header must be the peeked one.
    bool read(uint8_t *out, size_t outSize);
    bool skip();

    // Damage passed over so far: places (each run of damaged data between
    // objects read counts once) and the bytes skipped there.
    uint32_t damagedPlaces() const { return places_; }
    uint64_t damagedBytes() const { return skippedBytes_; }
    uint32_t headerObjectCount() const { return headerObjectCount_; }
    // Whether this reader inflates ahead on threads of its own.
    bool prefetching() const { return prefetch_ != nullptr; }

    // Files from this size on are read ahead: one thread reads the file and
    // others inflate the next containers while the caller takes the
    // objects of the current one. The objects, and the damage passed over,
    // are the same either way. Default 4 MiB.
    static void setPrefetchThreshold(uint64_t bytes);
    static uint64_t prefetchThreshold();

    // The next top-level object of the file (reading thread only).
    void scanNext(BlfChunk &c);
    // Inflates a Zlib chunk with the stream given (reset first).
    static void inflateChunk(BlfChunk &c, z_stream &zs);

private:
    // An object of the stream: where it starts (stream offset) and its base
    // header; why it was refused, when it was.
    struct Obj {
        enum Why { None, NoSignature, BadHeader, BadEnd, Cut };
        uint64_t start = 0;
        uint16_t headerSize = 0;
        uint16_t version = 0;
        uint32_t size = 0;
        uint32_t type = 0;
        Why why = None;
    };
    enum class Look { Ok, Bad, More, Exhausted };
    enum class Top { Object, End, Damaged, Cut };
    struct TopObject {
        uint64_t at = 0;
        uint32_t size = 0;
        bool container = false;
        uint16_t method = 0;
        uint32_t declared = 0;
    };

    // Top level (the reading thread).
    Top topAt(uint64_t at, TopObject &t);
    bool containerHeaderOk(uint64_t at, bool strict, TopObject &t);
    bool followedWell(uint64_t end);
    bool endMarkAt(uint64_t at);
    bool findContainer(uint64_t from, uint64_t to, uint64_t &found, bool *nonZero);
    bool readAt(uint64_t offset, void *dst, size_t len);

    // The stream (the caller's thread).
    const uint8_t *at(uint64_t off) const { return buf_.data() + (off - bufStart_); }
    uint64_t bufEnd() const { return bufStart_ + buf_.size(); }
    Look examine(uint64_t p, bool padded, bool strict, Obj &o) const;
    bool locate();
    bool take(const Obj &o, uint64_t next);
    void beginSearch(const Obj &o);
    Look searchStep();
    Look followLink();
    bool linksTo(uint64_t e, uint64_t r, uint64_t slack) const;
    bool endSegment();
    void loadMore();
    void compact();
    void markDamage(uint64_t bytes);
    void prefetchStop();

    FILE *file_ = nullptr;
    uint64_t fileSize_ = 0;
    uint64_t filePos_ = 0;   // next top-level object
    uint64_t streamPos_ = 0; // where the FILE stands
    z_stream zs_{};
    bool zInit_ = false;
    uint32_t headerObjectCount_ = 0;
    bool wholeFile_ = false; // the file holds the size its header gives

    std::unique_ptr<BlfPrefetch> prefetch_;

    // The data of the current segment (the stream since the last damaged
    // container): stream offsets [bufStart_, bufEnd()).
    std::vector<uint8_t> buf_;
    uint64_t bufStart_ = 0;
    uint64_t pos_ = 0;        // the next object (or the padding before it)
    bool segEnded_ = false;   // nothing more joins this segment
    bool gapNext_ = false;    // a damaged container ends it; another segment follows
    uint64_t gapBytes_ = 0;   // the file bytes of that damage
    bool gapSearched_ = false; // what follows it was found by looking for a signature
    bool fileEnded_ = false;

    bool searching_ = false;  // looking for the next object from searchAt_ on
    uint64_t searchAt_ = 0;
    uint64_t searchOrigin_ = 0; // where the damaged bytes begin
    bool suspect_ = false;      // the object before the break, kept if the damaged one links
    bool suspectCut_ = false;   // it reached past the end of the data
    bool linkTried_ = false;    // where the damaged object's size leads was looked at
    Obj suspectObj_;

    // After a container was found by looking for it, objects older than the
    // newest one read, and those of that time read already, are passed over:
    // a writer's dead space (a reservation's slack) may hold old copies of
    // containers read already.
    bool guard_ = false;
    uint64_t newest_ = 0;
    static constexpr size_t kNewestPrints = 256;
    uint64_t atNewest_[kNewestPrints] = {}; // prints of the objects read of the newest time
    size_t newestCount_ = 0;

    uint32_t places_ = 0;
    uint64_t skippedBytes_ = 0;
    bool inDamage_ = false; // no object read since the last damage

    bool haveCur_ = false;
    Obj cur_;
    uint64_t curNext_ = 0; // where the stream goes on after the current object
};

} // namespace binlog

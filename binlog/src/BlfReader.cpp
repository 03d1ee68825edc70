#include "binlog/src/BlfReader.h"

#include "binlog/src/BlfBytes.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>

namespace binlog {

namespace {

std::atomic<uint64_t> g_prefetchThreshold{4u * 1024 * 1024};

// Bytes held ahead of the caller at most (compressed and inflated), beyond
// the one chunk that is always allowed.
constexpr size_t kAheadBytes = 48u * 1024 * 1024;

} // namespace

// Reads ahead for one reader: a scanning thread takes the file's top-level
// objects in order (the reader's own scanNext, which alone touches the
// file), inflater threads inflate the compressed containers among them, and
// the reader takes the chunks back in file order. Scanning stops at the end
// of the file; damaged data passed over comes as a chunk of its own, where
// the reader would have met it reading by itself.
class BlfPrefetch
{
public:
    BlfPrefetch(BlfReader *reader, int inflaters) : reader_(reader)
    {
        scanner_ = std::thread([this] { scan(); });
        for (int i = 0; i < inflaters; ++i)
            inflaters_.emplace_back([this] { inflateLoop(); });
    }

    ~BlfPrefetch()
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            quit_ = true;
        }
        changed_.notify_all();
        if (scanner_.joinable())
            scanner_.join();
        for (std::thread &t : inflaters_)
            t.join();
    }

    // The next chunk in file order (waits for it).
    void next(BlfChunk &out)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return !slots_.empty() && slots_.front()->ready; });
        std::shared_ptr<Slot> s = slots_.front();
        slots_.pop_front();
        held_ -= s->weight;
        lock.unlock();
        changed_.notify_all();
        out = std::move(s->chunk);
    }

private:
    struct Slot {
        BlfChunk chunk;
        size_t weight = 0;
        bool ready = false;
    };

    void scan()
    {
        for (;;) {
            auto s = std::make_shared<Slot>();
            reader_->scanNext(s->chunk);
            const BlfChunk::Kind kind = s->chunk.kind;
            s->weight = s->chunk.bytes.size() + (kind == BlfChunk::Zlib ? s->chunk.declared : 0);
            s->ready = kind != BlfChunk::Zlib;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                changed_.wait(lock, [this] { return quit_ || slots_.empty() || held_ < kAheadBytes; });
                if (quit_)
                    return;
                held_ += s->weight;
                slots_.push_back(s);
                if (!s->ready)
                    work_.push_back(s);
            }
            changed_.notify_all();
            if (kind == BlfChunk::End)
                return;
        }
    }

    void inflateLoop()
    {
        z_stream zs{};
        const bool ok = inflateInit(&zs) == Z_OK;
        for (;;) {
            std::shared_ptr<Slot> s;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                changed_.wait(lock, [this] { return quit_ || !work_.empty(); });
                if (quit_)
                    break;
                s = work_.front();
                work_.pop_front();
            }
            if (ok)
                BlfReader::inflateChunk(s->chunk, zs);
            {
                std::lock_guard<std::mutex> lock(mutex_);
                s->ready = true;
            }
            changed_.notify_all();
        }
        if (ok)
            inflateEnd(&zs);
    }

    BlfReader *reader_;
    std::thread scanner_;
    std::vector<std::thread> inflaters_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::shared_ptr<Slot>> slots_; // in file order
    std::deque<std::shared_ptr<Slot>> work_;  // compressed, not yet inflated
    size_t held_ = 0;
    bool quit_ = false;
};

void BlfReader::setPrefetchThreshold(uint64_t bytes) { g_prefetchThreshold = bytes; }

uint64_t BlfReader::prefetchThreshold() { return g_prefetchThreshold; }

BlfReader::BlfReader() = default;

BlfReader::~BlfReader()
{
    prefetchStop();
    if (file_)
        std::fclose(file_);
    if (zInit_)
        inflateEnd(&zs_);
}

void BlfReader::prefetchStop() { prefetch_.reset(); }

bool BlfReader::open(const char *path)
{
    FILE *f = std::fopen(path, "rb");
    return f && open(f);
}

bool BlfReader::open(FILE *stream)
{
    file_ = stream;
    if (std::fseek(file_, 0, SEEK_END) != 0)
        return false;
    const long end = std::ftell(file_);
    if (end < 0 || std::fseek(file_, 0, SEEK_SET) != 0)
        return false;
    fileSize_ = uint64_t(end);
    streamPos_ = 0;
    uint8_t h[40];
    if (fileSize_ < sizeof h || !readAt(0, h, sizeof h) || std::memcmp(h, "LOGG", 4) != 0)
        return false;
    const uint32_t headerSize = rd32(h + 4);
    if (headerSize < sizeof h || headerSize > fileSize_ || headerSize > 0x100000)
        return false;
    headerObjectCount_ = rd32(h + 32);
    // Writers put the file's size in the header when they close it (ours at
    // every flush too): a file that holds that much was not cut short, so an
    // object it ends inside is damage.
    const uint64_t declaredSize = rd64(h + 16);
    wholeFile_ = declaredSize != 0 && declaredSize <= fileSize_;
    filePos_ = headerSize;
    if (fileSize_ >= g_prefetchThreshold) {
        const unsigned cores = std::thread::hardware_concurrency();
        const int inflaters = int(std::min(4u, std::max(1u, cores / 2)));
        prefetch_.reset(new BlfPrefetch(this, inflaters));
    }
    return true;
}

bool BlfReader::readAt(uint64_t offset, void *dst, size_t len)
{
    if (offset > fileSize_ || len > fileSize_ - offset)
        return false;
    if (offset != streamPos_) {
        if (std::fseek(file_, long(offset), SEEK_SET) != 0)
            return false;
        streamPos_ = offset;
    }
    if (len && std::fread(dst, 1, len, file_) != len) {
        streamPos_ = ~uint64_t(0);
        return false;
    }
    streamPos_ += len;
    return true;
}

// ---- the top level: containers and objects outside them ----

// Whether the object ending at `end` meets the next one: a signature after
// at most kMaxPadding bytes, or the last few bytes of the file.
bool BlfReader::followedWell(uint64_t end)
{
    if (end >= fileSize_ || fileSize_ - end < kBaseHeaderSize)
        return true;
    uint8_t w[kMaxPadding + 4];
    if (!readAt(end, w, sizeof w))
        return false;
    for (size_t j = 0; j + 4 <= sizeof w; ++j)
        if (isObjSignature(w + j))
            return true;
    return false;
}

// Whether a writer's end mark stands at `at`: the base header alone, of no
// container, claiming more than the file holds behind it.
bool BlfReader::endMarkAt(uint64_t at)
{
    uint8_t b[kBaseHeaderSize];
    if (at > fileSize_ || fileSize_ - at < kBaseHeaderSize || !readAt(at, b, sizeof b))
        return false;
    return isObjSignature(b) && rd16(b + 4) == kBaseHeaderSize && rd32(b + 12) != kTypeLogContainer
           && rd32(b + 8) > fileSize_ - at;
}

// The container header at `at` (signature, sizes and type already read into
// t): a known method and an uncompressed size that fits it. `strict` for a
// signature found by searching: the header size and version every writer
// gives a container, too.
bool BlfReader::containerHeaderOk(uint64_t at, bool strict, TopObject &t)
{
    uint8_t h[kContainerHeaderSize];
    if (t.size < kContainerHeaderSize || t.size - kContainerHeaderSize > kMaxContainerData
        || !readAt(at, h, sizeof h))
        return false;
    const uint16_t headerSize = rd16(h + 4);
    if (headerSize < kBaseHeaderSize || (strict && (headerSize != kBaseHeaderSize || rd16(h + 6) != 1)))
        return false;
    t.method = rd16(h + 16);
    t.declared = rd32(h + 24);
    const uint32_t dataLen = t.size - kContainerHeaderSize;
    if (t.method == kCompressionNone) {
        // Our writer grows its stored tail in place: the new objects and a
        // new end mark behind it first, then the uncompressed size, then the
        // object size. Between those two writes the uncompressed size
        // already leads to the new end mark while the object size still
        // ends at the old data; the new objects follow as objects outside
        // containers. Any other difference is damage.
        return t.declared == dataLen
               || (t.declared > dataLen && endMarkAt(at + kContainerHeaderSize + uint64_t(t.declared)));
    }
    // zlib cannot expand by more than about 1032:1; a larger claim is a lie
    // that would only cost memory.
    return t.method == kCompressionZlib && t.declared <= kMaxContainerData
           && uint64_t(t.declared) <= uint64_t(dataLen) * 1100 + 64;
}

// Looks through [from, to) for the signature of a container whose header
// holds and whose size meets the next object (or the end of the file).
// Stops at an end mark (an object of no container that claims more than the
// file holds: behind it lies a writer's dead space). `nonZero` tells whether
// any byte looked at was not zero.
bool BlfReader::findContainer(uint64_t from, uint64_t to, uint64_t &found, bool *nonZero)
{
    constexpr size_t kBlock = 64 * 1024;
    std::vector<uint8_t> blk(kBlock + 3);
    to = std::min(to, fileSize_);
    for (uint64_t p = from; p < to;) {
        const size_t n = size_t(std::min<uint64_t>(kBlock, to - p));
        const size_t len = size_t(std::min<uint64_t>(n + 3, fileSize_ - p));
        if (!readAt(p, blk.data(), len))
            return false;
        if (nonZero && !*nonZero)
            *nonZero = std::any_of(blk.begin(), blk.begin() + long(n), [](uint8_t b) { return b != 0; });
        for (size_t i = 0; i < n; ++i) {
            const void *l = std::memchr(blk.data() + i, 'L', n - i);
            if (!l)
                break;
            i = size_t(static_cast<const uint8_t *>(l) - blk.data());
            if (i + 4 > len || !isObjSignature(blk.data() + i))
                continue;
            const uint64_t q = p + i;
            uint8_t b[kBaseHeaderSize];
            if (fileSize_ - q < kBaseHeaderSize || !readAt(q, b, sizeof b))
                continue;
            TopObject t;
            t.size = rd32(b + 8);
            const uint32_t type = rd32(b + 12);
            if (type != kTypeLogContainer) {
                if (rd16(b + 4) == kBaseHeaderSize && t.size > fileSize_ - q)
                    return false; // an end mark
                continue;
            }
            if (t.size > fileSize_ - q || !containerHeaderOk(q, true, t) || !followedWell(q + t.size))
                continue;
            found = q;
            return true;
        }
        p += n;
    }
    return false;
}

// What stands where the next top-level object should begin.
BlfReader::Top BlfReader::topAt(uint64_t pos, TopObject &t)
{
    // Find the signature, allowing for padding after the previous object.
    uint8_t win[kBaseHeaderSize + kMaxPadding];
    const size_t winLen = size_t(std::min<uint64_t>(sizeof win, fileSize_ - pos));
    if (!readAt(pos, win, winLen))
        return Top::End; // the file cannot be read on
    size_t skip = 0;
    while (skip + kBaseHeaderSize <= winLen && !isObjSignature(win + skip))
        ++skip;
    if (skip + kBaseHeaderSize > winLen) {
        // A signature (or the start of one) whose header the end of the
        // file cuts: the file ends inside that object.
        for (size_t j = 0; j <= kMaxPadding && j < winLen; ++j)
            if (std::memcmp(win + j, "LOBJ", std::min<size_t>(4, winLen - j)) == 0 && j + kBaseHeaderSize > winLen)
                return Top::Cut;
        return Top::Damaged;
    }
    t.at = pos + skip;
    const uint8_t *b = win + skip;
    const uint16_t headerSize = rd16(b + 4);
    t.size = rd32(b + 8);
    const uint32_t type = rd32(b + 12);
    const uint64_t left = fileSize_ - t.at;
    if (type != kTypeLogContainer) {
        // The end mark of a file being written claims far more than the
        // file holds, and so does an object a copy was cut inside.
        if (t.size > left || t.size > kMaxObjectSize)
            return Top::End;
        // Every object but a container has at least the version-1 header.
        if (headerSize < kObjHeaderV1Size || t.size < headerSize || !followedWell(t.at + t.size))
            return Top::Damaged;
        t.container = false;
        return Top::Object;
    }
    if (t.size > left)
        return Top::Cut;
    t.container = true;
    return containerHeaderOk(t.at, false, t) ? Top::Object : Top::Damaged;
}

// The next top-level object of the file, from filePos_ on.
void BlfReader::scanNext(BlfChunk &c)
{
    c = BlfChunk();
    c.kind = BlfChunk::End;
    const uint64_t pos = filePos_;
    if (pos >= fileSize_ || fileSize_ - pos < kBaseHeaderSize)
        return; // only padding or a few trailing bytes
    TopObject t;
    Top r = topAt(pos, t);
    if (r == Top::End)
        return;
    if (r == Top::Object) {
        const uint64_t dataAt = t.container ? t.at + kContainerHeaderSize : t.at;
        const size_t dataLen = t.container ? t.size - kContainerHeaderSize : t.size;
        c.bytes.resize(dataLen);
        if (!readAt(dataAt, c.bytes.data(), dataLen)) {
            c = BlfChunk();
            return;
        }
        // A size that does not meet the next object may be the damage: when
        // a container begins inside, this one is passed over.
        uint64_t inner = 0;
        if (t.container && !followedWell(t.at + t.size) && findContainer(t.at + 1, t.at + t.size, inner, nullptr)) {
            c = BlfChunk();
            r = Top::Damaged;
        } else {
            c.kind = BlfChunk::Data;
            if (t.container && t.method == kCompressionZlib) {
                c.kind = BlfChunk::Zlib;
                c.declared = t.declared;
            }
            filePos_ = t.at + t.size;
            return;
        }
    }
    // Damaged, or a container the file ends inside: the next container
    // further on, if there is one.
    bool nonZero = false;
    uint64_t next = 0;
    if (findContainer(pos + 1, fileSize_, next, &nonZero)) {
        c.kind = BlfChunk::Gap;
        c.skipped = next - pos;
        c.searched = true;
        filePos_ = next;
        return;
    }
    // Nothing readable follows: a file cut short inside its last container,
    // or one that ends in zeros (what a system that went down leaves behind
    // data it had not written), ends here; anything else is damage.
    filePos_ = fileSize_;
    if ((r == Top::Cut && !wholeFile_) || !nonZero)
        return;
    c.kind = BlfChunk::Gap;
    c.skipped = fileSize_ - pos;
}

void BlfReader::inflateChunk(BlfChunk &c, z_stream &zs)
{
    c.inflated = false;
    inflateReset(&zs);
    // A container may hold a stream of no data (a writer's reserved space):
    // zlib still needs somewhere to write to.
    c.out.resize(std::max<uint32_t>(c.declared, 1));
    zs.next_in = c.bytes.data();
    zs.avail_in = uInt(c.bytes.size());
    zs.next_out = c.out.data();
    zs.avail_out = uInt(c.declared);
    const int rc = inflate(&zs, Z_FINISH);
    // Only data that inflates to the end of its stream, to the size the
    // container gives, is taken: the stream's check sum holds it.
    if (rc != Z_STREAM_END || zs.total_out != c.declared) {
        c.out.clear();
        c.out.shrink_to_fit();
        return;
    }
    c.out.resize(zs.total_out);
    c.inflated = true;
}

// ---- the object stream ----

void BlfReader::markDamage(uint64_t bytes)
{
    skippedBytes_ += bytes;
    if (!inDamage_) {
        inDamage_ = true;
        ++places_;
    }
}

// Drops the bytes no longer needed: before the next object, or while
// searching, before the place looked at (and the object kept in case the
// damaged one links to what follows).
void BlfReader::compact()
{
    uint64_t keep = pos_;
    if (searching_) {
        keep = searchAt_;
        if (suspect_) {
            // The damaged object's size cannot reach further than this:
            // past it the suspect cannot be confirmed.
            const uint64_t reach = suspectObj_.start + suspectObj_.size + kMaxObjectSize + kMaxPadding;
            if (searchAt_ > reach)
                suspect_ = false;
            else
                keep = suspectObj_.start;
        }
    }
    keep = std::min(keep, bufEnd());
    if (keep > bufStart_) {
        buf_.erase(buf_.begin(), buf_.begin() + long(keep - bufStart_));
        bufStart_ = keep;
    }
}

// Appends the data of the next top-level object to the segment, or ends it.
void BlfReader::loadMore()
{
    if (segEnded_)
        return;
    compact();
    BlfChunk c;
    if (prefetch_) {
        prefetch_->next(c);
    } else {
        scanNext(c);
        if (c.kind == BlfChunk::Zlib) {
            if (!zInit_) {
                zInit_ = inflateInit(&zs_) == Z_OK;
                if (!zInit_) {
                    // No inflater: nothing more can be read.
                    segEnded_ = fileEnded_ = true;
                    return;
                }
            }
            inflateChunk(c, zs_);
        }
    }
    switch (c.kind) {
    case BlfChunk::End:
        segEnded_ = fileEnded_ = true;
        return;
    case BlfChunk::Gap:
        segEnded_ = gapNext_ = true;
        gapBytes_ = c.skipped;
        gapSearched_ = c.searched;
        return;
    case BlfChunk::Data:
        buf_.insert(buf_.end(), c.bytes.begin(), c.bytes.end());
        return;
    case BlfChunk::Zlib:
        if (!c.inflated) {
            segEnded_ = gapNext_ = true;
            gapBytes_ = c.bytes.size() + kContainerHeaderSize;
            return;
        }
        buf_.insert(buf_.end(), c.out.begin(), c.out.end());
        return;
    }
}

// The object at stream offset p (after padding when `padded`): Ok when its
// header holds and its end meets the next signature or the end of the
// segment; More when the segment must grow to tell; Exhausted when the
// segment holds no further object; Bad (o.why says why) otherwise. `strict`
// for a signature found by searching: only the headers objects have (32
// bytes version 1, 40 bytes version 2, a type of no container), and an end
// that meets a signature or the segment's end after zero padding.
BlfReader::Look BlfReader::examine(uint64_t p, bool padded, bool strict, Obj &o) const
{
    const uint64_t end = bufEnd();
    o = Obj();
    o.start = p;
    const uint64_t avail = end - p;
    if (padded) {
        const uint64_t window = std::min<uint64_t>(kMaxPadding + 4, avail);
        uint64_t j = 0;
        while (j + 4 <= window && !isObjSignature(at(p + j)))
            ++j;
        if (j + 4 > window) {
            if (!segEnded_ && avail < kMaxPadding + 4)
                return Look::More;
            if (segEnded_ && avail < kBaseHeaderSize + kMaxPadding)
                return Look::Exhausted; // padding or a few bytes at the end
            o.why = Obj::NoSignature;
            return Look::Bad;
        }
        o.start = p + j;
    } else if (avail < 4 || !isObjSignature(at(p))) {
        if (avail >= 4) {
            o.why = Obj::NoSignature;
            return Look::Bad;
        }
        return segEnded_ ? Look::Exhausted : Look::More;
    }
    if (end - o.start < kBaseHeaderSize)
        return segEnded_ ? Look::Exhausted : Look::More;
    const uint8_t *h = at(o.start);
    o.headerSize = rd16(h + 4);
    o.version = rd16(h + 6);
    o.size = rd32(h + 8);
    o.type = rd32(h + 12);
    bool sane = o.headerSize >= kBaseHeaderSize && o.size >= o.headerSize && o.size <= kMaxObjectSize;
    if (strict)
        sane = sane
               && ((o.headerSize == kObjHeaderV1Size && o.version == 1)
                   || (o.headerSize == kObjHeaderV2Size && o.version == 2))
               && o.type != 0 && o.type != kTypeLogContainer && o.type < 0x10000;
    if (!sane) {
        o.why = Obj::BadHeader;
        return Look::Bad;
    }
    const uint64_t e = o.start + o.size;
    if (e > end) {
        if (!segEnded_)
            return Look::More;
        o.why = Obj::Cut;
        return Look::Bad;
    }
    const uint64_t rem = end - e;
    const uint64_t window = std::min<uint64_t>(kMaxPadding + 4, rem);
    for (uint64_t j = 0; j + 4 <= window; ++j)
        if (isObjSignature(at(e + j)))
            return Look::Ok;
    if (!segEnded_ && rem < kMaxPadding + 4)
        return Look::More;
    if (segEnded_) {
        if (!strict && rem < kBaseHeaderSize + kMaxPadding)
            return Look::Ok;
        if (strict && rem <= kMaxPadding && std::all_of(at(e), at(end), [](uint8_t b) { return b == 0; }))
            return Look::Ok;
    }
    o.why = Obj::BadEnd;
    return Look::Bad;
}

// Whether the bytes at e, read as a base header whatever their signature,
// give a size that leads to r (after padding, at most `slack` bytes).
bool BlfReader::linksTo(uint64_t e, uint64_t r, uint64_t slack) const
{
    if (e >= r || e < bufStart_ || bufEnd() - e < kBaseHeaderSize)
        return false;
    const uint8_t *h = at(e);
    const uint16_t headerSize = rd16(h + 4);
    const uint32_t size = rd32(h + 8);
    if (headerSize < kBaseHeaderSize || size < headerSize || size > kMaxObjectSize)
        return false;
    return e + size <= r && r - (e + size) <= slack;
}

// Hands out the object o (the stream goes on at `next`), unless it is
// older than what has been read after a container had to be searched for.
bool BlfReader::take(const Obj &o, uint64_t next)
{
    if (o.headerSize >= kObjHeaderV1Size) {
        const uint8_t *h = at(o.start);
        const uint64_t ts = rd64(h + 24);
        const uint64_t t = (rd32(h + 16) & 1) ? (ts > UINT64_MAX / 10000 ? UINT64_MAX : ts * 10000) : ts;
        // Objects of the newest time are told apart by their bytes (the
        // first and the last of the body, where frames keep identifier and
        // data): a copy of one read already has the same.
        uint64_t print = o.size * 0x9E3779B97F4A7C15ull;
        if (t >= newest_) {
            const uint32_t at[4] = {o.headerSize, o.headerSize + 8u, o.size - 16u, o.size - 8u};
            for (uint32_t i : at) {
                uint64_t w = 0;
                if (i >= o.headerSize && i < o.size)
                    std::memcpy(&w, h + i, std::min<uint32_t>(8, o.size - i));
                print = (print ^ w) * 0x100000001B3ull;
                print ^= print >> 29;
            }
        }
        if (guard_ && (t < newest_ || (t == newest_ && std::find(atNewest_, atNewest_ + newestCount_, print) != atNewest_ + newestCount_))) {
            skippedBytes_ += next - o.start;
            pos_ = next;
            return false;
        }
        if (t > newest_) {
            newest_ = t;
            newestCount_ = 0;
        }
        if (t == newest_ && newestCount_ < kNewestPrints)
            atNewest_[newestCount_++] = print;
    }
    cur_ = o;
    curNext_ = next;
    haveCur_ = true;
    inDamage_ = false;
    return true;
}

void BlfReader::beginSearch(const Obj &o)
{
    searching_ = true;
    searchOrigin_ = o.start;
    searchAt_ = o.start + 1;
    suspect_ = o.why == Obj::BadEnd || o.why == Obj::Cut;
    suspectCut_ = o.why == Obj::Cut;
    linkTried_ = false;
    suspectObj_ = o;
}

// Where the damaged object after the suspect one leads by its own size:
// when an object that checks out begins there (or the segment ends there),
// only the damaged object's signature was hit; the suspect one is handed out
// and the damaged one's data (which may hold anything) is not searched. Ok
// when so, More when the segment must grow to tell, Bad otherwise.
BlfReader::Look BlfReader::followLink()
{
    const uint64_t e = suspectObj_.start + suspectObj_.size;
    const uint64_t end = bufEnd();
    if (e > end || end - e < kBaseHeaderSize)
        return segEnded_ ? Look::Bad : Look::More;
    const uint8_t *h = at(e);
    const uint16_t headerSize = rd16(h + 4);
    const uint32_t size = rd32(h + 8);
    if (headerSize < kBaseHeaderSize || size < headerSize || size > kMaxObjectSize)
        return Look::Bad;
    const uint64_t next = e + size;
    if (next > end)
        return segEnded_ ? Look::Bad : Look::More;
    for (uint64_t j = 0; j <= kMaxPadding; ++j) {
        const uint64_t q = next + j;
        Obj c;
        Look l = Look::Exhausted;
        if (q < end)
            l = examine(q, false, true, c);
        else if (!segEnded_)
            l = Look::More;
        if (l == Look::More)
            return l;
        if (l == Look::Ok || (l == Look::Exhausted && segEnded_ && end - next < kBaseHeaderSize + kMaxPadding)) {
            const uint64_t resume = l == Look::Ok ? q : end;
            searching_ = false;
            suspect_ = false;
            markDamage(resume - e);
            take(suspectObj_, resume);
            return Look::Ok;
        }
        if (l == Look::Exhausted)
            break;
    }
    return Look::Bad;
}

// One step of the search for the next object: Ok when found (pos_ is
// there, or the suspect object is the current one), More or Exhausted.
BlfReader::Look BlfReader::searchStep()
{
    if (suspect_ && !suspectCut_ && !linkTried_) {
        const Look l = followLink();
        if (l != Look::Bad)
            return l;
        linkTried_ = true;
    }
    for (;;) {
        const uint64_t end = bufEnd();
        if (searchAt_ > end || end - searchAt_ < 4)
            return segEnded_ ? Look::Exhausted : Look::More;
        const uint8_t *b = at(searchAt_);
        const size_t n = size_t(end - searchAt_);
        size_t i = 0;
        for (; i + 4 <= n; ++i) {
            const void *l = std::memchr(b + i, 'L', n - 3 - i);
            if (!l) {
                i = n;
                break;
            }
            i = size_t(static_cast<const uint8_t *>(l) - b);
            if (isObjSignature(b + i))
                break;
        }
        if (i + 4 > n) {
            searchAt_ = end - 3;
            return segEnded_ ? Look::Exhausted : Look::More;
        }
        const uint64_t q = searchAt_ + i;
        Obj c;
        const Look l = examine(q, false, true, c);
        if (l == Look::More || l == Look::Exhausted) {
            searchAt_ = q;
            return l;
        }
        if (l == Look::Bad) {
            searchAt_ = q + 1;
            continue;
        }
        // Found: the objects go on at q.
        searching_ = false;
        if (suspect_) {
            suspect_ = false;
            const uint64_t e = suspectObj_.start + suspectObj_.size;
            if (!suspectCut_ && linksTo(e, q, kMaxPadding)) {
                // Only the object at e was damaged (its signature): the one
                // before it stays.
                markDamage(q - e);
                take(suspectObj_, q);
                return Look::Ok;
            }
        }
        markDamage(q - searchOrigin_);
        pos_ = q;
        return Look::Ok;
    }
}

// The segment holds no further object: the end of the file, or a new
// segment behind a damaged container.
bool BlfReader::endSegment()
{
    if (!gapNext_)
        return false;
    markDamage(gapBytes_ + (bufEnd() - std::min(pos_, bufEnd())));
    bufStart_ = bufEnd();
    buf_.clear();
    pos_ = bufStart_;
    segEnded_ = gapNext_ = false;
    gapBytes_ = 0;
    if (gapSearched_)
        guard_ = true;
    gapSearched_ = false;
    // The data behind the damage begins inside an object: look for the
    // first whole one.
    searching_ = true;
    searchOrigin_ = searchAt_ = pos_;
    suspect_ = false;
    return true;
}

bool BlfReader::locate()
{
    while (!haveCur_) {
        if (searching_) {
            const Look l = searchStep();
            if (l == Look::More) {
                loadMore();
            } else if (l == Look::Exhausted) {
                searching_ = false;
                const uint64_t end = bufEnd();
                const uint64_t e = suspectObj_.start + suspectObj_.size;
                if (suspect_ && !suspectCut_ && linksTo(e, end, kBaseHeaderSize + kMaxPadding)) {
                    // The last object was the damaged one.
                    suspect_ = false;
                    markDamage(end - e);
                    take(suspectObj_, end);
                    continue;
                }
                // An object the file ends inside, with nothing after it: the
                // file was cut short there, which is no damage.
                const bool cut = suspect_ && suspectCut_ && fileEnded_ && !wholeFile_;
                suspect_ = false;
                if (!cut)
                    markDamage(end - searchOrigin_);
                pos_ = end;
                if (!endSegment())
                    return false;
            }
            continue;
        }
        Obj o;
        switch (examine(pos_, true, false, o)) {
        case Look::More:
            loadMore();
            break;
        case Look::Exhausted:
            if (!endSegment())
                return false;
            break;
        case Look::Bad:
            beginSearch(o);
            break;
        case Look::Ok:
            take(o, o.start + o.size);
            break;
        }
    }
    return true;
}

bool BlfReader::peek(uint8_t base[16])
{
    if (!locate())
        return false;
    std::memcpy(base, at(cur_.start), kBaseHeaderSize);
    return true;
}

bool BlfReader::read(uint8_t *out, size_t outSize)
{
    if (!out || outSize < kObjHeaderV1Size || !locate())
        return false;
    if (rd32(out + 12) != cur_.type)
        return false;
    const uint8_t *src = at(cur_.start);
    const size_t headLen = std::min<size_t>(cur_.headerSize, kObjHeaderV1Size);
    std::memcpy(out, src, headLen);
    std::memset(out + headLen, 0, outSize - headLen);
    if (cur_.headerSize != kObjHeaderV1Size && headLen == kObjHeaderV1Size) {
        // Version 2 keeps flags, object version and time stamp where version 1
        // has them; bytes 20 and 21 are its time stamp status, not a client.
        out[20] = out[21] = 0;
    }
    const size_t bodyLen = cur_.size - cur_.headerSize;
    // No more than the caller's buffer holds, whatever the object claims.
    const size_t copy = std::min(bodyLen, outSize - kObjHeaderV1Size);
    std::memcpy(out + kObjHeaderV1Size, src + cur_.headerSize, copy);
    wr16(out + 4, kObjHeaderV1Size);
    wr16(out + 6, 1);
    wr32(out + 8, uint32_t(kObjHeaderV1Size + bodyLen));
    pos_ = curNext_;
    haveCur_ = false;
    return true;
}

bool BlfReader::skip()
{
    if (!locate())
        return false;
    pos_ = curNext_;
    haveCur_ = false;
    return true;
}

} // namespace binlog

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
// of the file or at the first damaged object, which the reader then meets
// where it would have met it reading by itself.
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
            if (kind == BlfChunk::End || kind == BlfChunk::Fail)
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
    filePos_ = headerSize;
    if (fileSize_ >= g_prefetchThreshold) {
        const unsigned cores = std::thread::hardware_concurrency();
        const int inflaters = int(std::min(4u, std::max(1u, cores / 2)));
        prefetch_.reset(new BlfPrefetch(this, inflaters));
    }
    return true;
}

bool BlfReader::fail()
{
    damaged_ = true;
    ended_ = true;
    haveCur_ = false;
    return false;
}

bool BlfReader::readAt(uint64_t offset, void *dst, size_t len)
{
    if (offset + len > fileSize_)
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

// The next top-level object of the file, from filePos_ on.
void BlfReader::scanNext(BlfChunk &c)
{
    c = BlfChunk();
    c.kind = BlfChunk::Fail;
    if (filePos_ + kBaseHeaderSize > fileSize_) {
        c.kind = BlfChunk::End;
        return;
    }
    // Find the signature, allowing for padding after the previous object.
    uint8_t win[kBaseHeaderSize + kMaxPadding];
    const size_t winLen = size_t(std::min<uint64_t>(sizeof win, fileSize_ - filePos_));
    if (!readAt(filePos_, win, winLen))
        return;
    size_t skip = 0;
    while (skip + kBaseHeaderSize <= winLen && !isObjSignature(win + skip))
        ++skip;
    if (skip + kBaseHeaderSize > winLen) {
        // Only padding or trailing bytes that hold no object: the end, unless
        // there is more file behind them.
        if (fileSize_ - filePos_ <= kMaxPadding + 3)
            c.kind = BlfChunk::End;
        return;
    }
    filePos_ += skip;
    const uint8_t *b = win + skip;
    const uint16_t headerSize = rd16(b + 4);
    const uint32_t size = rd32(b + 8);
    const uint32_t type = rd32(b + 12);
    // Sizes come from the file: a header below the base header, or an object
    // past the end of the file, would have the reads below run past the data.
    if (headerSize < kBaseHeaderSize || size < headerSize || size > fileSize_ - filePos_)
        return;

    if (type == kTypeLogContainer) {
        if (size < kContainerHeaderSize || size - kContainerHeaderSize > kMaxContainerData)
            return;
        uint8_t head[kContainerHeaderSize];
        if (!readAt(filePos_, head, sizeof head))
            return;
        const uint16_t method = rd16(head + 16);
        const uint32_t declared = rd32(head + 24);
        const size_t dataLen = size - kContainerHeaderSize;
        if (method == kCompressionNone) {
            c.bytes.resize(dataLen);
            if (!readAt(filePos_ + kContainerHeaderSize, c.bytes.data(), dataLen))
                return;
            c.kind = BlfChunk::Data;
        } else if (method == kCompressionZlib) {
            // zlib cannot expand by more than about 1032:1; a larger claim is
            // a lie that would only cost memory.
            if (declared > kMaxContainerData || uint64_t(declared) > uint64_t(dataLen) * 1100 + 64)
                return;
            c.bytes.resize(dataLen);
            if (!readAt(filePos_ + kContainerHeaderSize, c.bytes.data(), dataLen))
                return;
            c.declared = declared;
            c.kind = BlfChunk::Zlib;
        } else {
            return;
        }
    } else {
        if (size > kMaxObjectSize)
            return;
        c.bytes.resize(size);
        if (!readAt(filePos_, c.bytes.data(), size))
            return;
        c.kind = BlfChunk::Data;
    }
    filePos_ += size;
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
    if (rc != Z_STREAM_END) {
        c.out.clear();
        return;
    }
    c.out.resize(zs.total_out);
    c.inflated = true;
}

// Appends the data of the next top-level object to the stream buffer.
bool BlfReader::loadNext()
{
    if (ended_)
        return false;
    // Drop what has been consumed.
    if (pos_) {
        buf_.erase(buf_.begin(), buf_.begin() + pos_);
        pos_ = 0;
    }
    BlfChunk c;
    if (prefetch_) {
        prefetch_->next(c);
    } else {
        scanNext(c);
        if (c.kind == BlfChunk::Zlib) {
            if (!zInit_) {
                if (inflateInit(&zs_) != Z_OK)
                    return fail();
                zInit_ = true;
            }
            inflateChunk(c, zs_);
        }
    }
    switch (c.kind) {
    case BlfChunk::End:
        ended_ = true;
        return false;
    case BlfChunk::Fail:
        return fail();
    case BlfChunk::Data:
        buf_.insert(buf_.end(), c.bytes.begin(), c.bytes.end());
        return true;
    case BlfChunk::Zlib:
        if (!c.inflated)
            return fail();
        buf_.insert(buf_.end(), c.out.begin(), c.out.end());
        return true;
    }
    return fail();
}

bool BlfReader::ensure(size_t n)
{
    while (buf_.size() - pos_ < n) {
        if (!loadNext())
            return false;
    }
    return true;
}

bool BlfReader::locate()
{
    if (damaged_)
        return false;
    if (haveCur_)
        return true;
    if (!ensure(kBaseHeaderSize))
        return false;
    if (!isObjSignature(buf_.data() + pos_)) {
        // Padding between objects: look a few bytes further.
        size_t skip = 1;
        for (; skip <= kMaxPadding; ++skip) {
            if (!ensure(skip + kBaseHeaderSize))
                return false; // nothing but padding left, or damaged data
            if (isObjSignature(buf_.data() + pos_ + skip))
                break;
        }
        if (skip > kMaxPadding)
            return fail();
        pos_ += skip;
    }
    const uint8_t *b = buf_.data() + pos_;
    curHeaderSize_ = rd16(b + 4);
    curSize_ = rd32(b + 8);
    curType_ = rd32(b + 12);
    if (curHeaderSize_ < kBaseHeaderSize || curSize_ < curHeaderSize_ || curSize_ > kMaxObjectSize)
        return fail();
    haveCur_ = true;
    return true;
}

bool BlfReader::peek(uint8_t base[16])
{
    if (!locate())
        return false;
    std::memcpy(base, buf_.data() + pos_, kBaseHeaderSize);
    return true;
}

bool BlfReader::read(uint8_t *out, size_t outSize)
{
    if (!out || outSize < kObjHeaderV1Size || !locate())
        return false;
    if (rd32(out + 12) != curType_)
        return false;
    if (!ensure(curSize_))
        return fail(); // the object is cut off: the file ends inside it
    const uint8_t *src = buf_.data() + pos_;
    const size_t headLen = std::min<size_t>(curHeaderSize_, kObjHeaderV1Size);
    std::memcpy(out, src, headLen);
    std::memset(out + headLen, 0, outSize - headLen);
    if (curHeaderSize_ != kObjHeaderV1Size && headLen == kObjHeaderV1Size) {
        // Version 2 keeps flags, object version and time stamp where version 1
        // has them; bytes 20 and 21 are its time stamp status, not a client.
        out[20] = out[21] = 0;
    }
    const size_t bodyLen = curSize_ - curHeaderSize_;
    // No more than the caller's buffer holds, whatever the object claims.
    const size_t copy = std::min(bodyLen, outSize - kObjHeaderV1Size);
    std::memcpy(out + kObjHeaderV1Size, src + curHeaderSize_, copy);
    wr16(out + 4, kObjHeaderV1Size);
    wr16(out + 6, 1);
    wr32(out + 8, uint32_t(kObjHeaderV1Size + bodyLen));
    pos_ += curSize_;
    haveCur_ = false;
    return true;
}

bool BlfReader::skip()
{
    if (!locate())
        return false;
    if (!ensure(curSize_))
        return fail();
    pos_ += curSize_;
    haveCur_ = false;
    return true;
}

} // namespace binlog

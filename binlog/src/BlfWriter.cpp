#include "binlog/src/BlfWriter.h"

#include "binlog/src/BlfBytes.h"
#include "binlog/src/BlfFileIo.h"

#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace binlog {

namespace {
// The end mark claims this much beyond itself, far past the end of the file
// and past anything staged behind it: python-can stops at an object the
// file does not hold, our reader at that or at an object this large.
constexpr uint32_t kEndMarkClaim = 256u * 1024 * 1024;
constexpr uint32_t kNoType = 0;
constexpr uint32_t kPage = 4096;
// The bytes of a zlib stream of no data.
constexpr uint8_t kEmptyZlib[8] = {0x78, 0x9C, 0x03, 0x00, 0x00, 0x00, 0x00, 0x01};
constexpr uint32_t kReservationHead = kContainerHeaderSize + sizeof kEmptyZlib;
constexpr size_t kMaxWorkers = 4;
// Sealed containers a caller may have waiting for the workers before it
// waits itself: memory stays bounded, and so does what a killed recording
// holds stored instead of deflated (see the header).
constexpr size_t kMaxQueuedJobs = 2;
// Largest container size taken: the stored containers and what a move
// stages behind the end mark stay far below its claim, and every container
// stays within what readers take.
constexpr uint32_t kMaxContainerSize = 16u * 1024 * 1024;
std::atomic<size_t> g_workerLimit{kMaxWorkers};

uint64_t padded(uint64_t size) { return size + size % 4; }

// An object's base header: signature, header size, version, size and type.
void objectHead(uint8_t *out, uint32_t size, uint32_t type)
{
    std::memcpy(out, "LOBJ", 4);
    wr16(out + 4, kBaseHeaderSize);
    wr16(out + 6, 1);
    wr32(out + 8, size);
    wr32(out + 12, type);
}
} // namespace

BlfWriter::BlfWriter() : containerSize_(kDefaultContainerSize) {}

BlfWriter::~BlfWriter()
{
    // A destructor must not throw: a close that runs out of memory or
    // threads still releases the file and the worker.
    try {
        if (fd_ >= 0)
            close();
    } catch (...) {
    }
    try {
        stopWorker();
    } catch (...) {
    }
    if (fd_ >= 0) {
        io_->close(fd_);
        fd_ = -1;
    }
}

bool BlfWriter::open(const char *path)
{
    io_ = &BlfFileIo::current();
    workerLimit_ = g_workerLimit;
    fd_ = io_->create(path);
    if (fd_ < 0)
        return false;
    // The header of an empty file goes out at once, so a program killed
    // before its first flush leaves a file that reads as holding nothing;
    // it is written again on every flush and at close. A failure to write it
    // shows at the first flush.
    uncompressedSize_ = kFileHeaderSize;
    resPos_ = kFileHeaderSize;
    writeHeaderLocked(false);
    return true;
}

void BlfWriter::setApplication(uint8_t appId, uint8_t major, uint8_t minor, uint8_t build)
{
    app_[0] = appId;
    app_[1] = major;
    app_[2] = minor;
    app_[3] = build;
}

bool BlfWriter::setOptions(uint32_t level, uint32_t containerSize)
{
    level_ = int(std::min<uint32_t>(level, 9));
    if (containerSize != 0)
        containerSize_ = std::min(std::max<uint32_t>(containerSize, 64), kMaxContainerSize);
    return true;
}

void BlfWriter::setStartTime(const uint16_t systemTime[8])
{
    std::memcpy(startTime_, systemTime, sizeof startTime_);
}

bool BlfWriter::pwriteAll(uint64_t pos, const void *data, size_t len)
{
    const uint8_t *p = static_cast<const uint8_t *>(data);
    while (len) {
        const long n = io_->write(fd_, p, len, pos);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ioError_ = true;
            return false;
        }
        p += n;
        pos += uint64_t(n);
        len -= size_t(n);
    }
    return true;
}

// The base header of an object written over the end mark (16 bytes at a
// 4-aligned place, so a page boundary can only fall at 4, 8 or 12 bytes):
// the two parts go in the order that leaves every state between them an
// object that ends the read or one that is passed over whole.
// - A container's header: the part in the first page goes first. Cut at 12
//   bytes it is the container's size with the mark's type: an object of no
//   known type that covers the new container and ends at the new end mark.
// - The first of the objects that grow the tail (`sizeLast`): the part
//   holding the size field goes last, so that until it lands the mark's
//   claim, past the end of the file, ends every read. Cut at 12 bytes the
//   first-page-first order would show the new objects' size with the mark's
//   type, an object readers pass over, and the objects behind it would read
//   without it.
bool BlfWriter::writeSplitFirstPage(uint64_t pos, const uint8_t *data, size_t len, bool sizeLast)
{
    const size_t inFirst = size_t(std::min<uint64_t>(len, kPage - pos % kPage));
    if (inFirst == len)
        return pwriteAll(pos, data, len);
    if (sizeLast && inFirst > 8)
        return pwriteAll(pos + inFirst, data + inFirst, len - inFirst) && pwriteAll(pos, data, inFirst);
    return pwriteAll(pos, data, inFirst) && pwriteAll(pos + inFirst, data + inFirst, len - inFirst);
}

void BlfWriter::endMark(uint8_t out[16])
{
    objectHead(out, kEndMarkClaim, kNoType);
}

void BlfWriter::reservationHead(uint8_t out[40], uint32_t size)
{
    std::memset(out, 0, kReservationHead);
    objectHead(out, size, kTypeLogContainer);
    wr16(out + 16, kCompressionZlib);
    std::memcpy(out + kContainerHeaderSize, kEmptyZlib, sizeof kEmptyZlib);
}

uint64_t BlfWriter::storedBytesLocked() const
{
    uint64_t n = 0;
    for (const Stored &s : stored_)
        n += padded(s.bytes.size());
    return n;
}

bool BlfWriter::writeObject(const uint8_t *object)
{
    // After a failed write nothing more is taken: the file keeps what it
    // held then.
    if (fd_ < 0 || ioError_ || !object || !isObjSignature(object))
        return false;
    const uint16_t headerSize = rd16(object + 4);
    const uint32_t size = rd32(object + 8);
    if (headerSize < kBaseHeaderSize || size < headerSize || size > kMaxObjectSize)
        return false;
    if (headerSize >= kObjHeaderV1Size) {
        const uint32_t flags = rd32(object + 16);
        const uint64_t ts = rd64(object + 24);
        lastTimeNs_ = (flags & 1) ? ts * 10000 : ts;
    }
    pending_.insert(pending_.end(), object, object + size);
    // Objects are followed by (size % 4) bytes of padding, the layout other
    // readers expect.
    pending_.insert(pending_.end(), size % 4, 0);
    ++objectCount_;
    if (pending_.size() >= containerSize_) {
        std::unique_lock<std::mutex> lock(mutex_);
        waitRoomLocked(lock, kMaxQueuedJobs);
        const bool ok = appendLocked(pending_.data(), pending_.size());
        pending_.clear();
        if (!ok)
            return false;
    }
    return !ioError_;
}

// Puts `data` (whole objects) into the file behind everything flushed so
// far: the live tail grows, or a new stored container begins.
bool BlfWriter::appendLocked(const uint8_t *data, size_t len)
{
    if (ioError_)
        return false;
    if (resSize_ == 0) {
        // The first data: the reservation (only its empty stream when
        // nothing is deflated) with the end mark after it. An end mark goes
        // where the reservation will begin, then the one after it, then the
        // reservation's head over the first (one write within a page): the
        // file reads as holding nothing until the reservation stands.
        uint64_t size = level_ > 0 ? reservationTarget_ : kReservationHead;
        if (size == 0)
            size = reservationTarget_ = (2 * uint64_t(containerSize_) + 1024 + 3) & ~uint64_t(3);
        uint8_t head[kReservationHead];
        reservationHead(head, uint32_t(size));
        uint8_t mark[16];
        endMark(mark);
        if (!pwriteAll(resPos_, mark, sizeof mark) || !pwriteAll(resPos_ + size, mark, sizeof mark)
            || !pwriteAll(resPos_, head, sizeof head))
            return false;
        resSize_ = size;
        endPos_ = resPos_ + resSize_;
    }
    if (level_ == 0) {
        // Stored containers are final: only the tail is kept.
        while (!stored_.empty() && stored_.front().sealed)
            stored_.pop_front();
    }
    uint8_t mark[16];
    endMark(mark);
    std::vector<uint8_t> buf;
    // The tail grows when it and the new objects keep to 4-byte sizes: until
    // its sizes are set, a reader takes the new objects as objects outside
    // containers, each followed by its own padding, and must meet the new
    // end mark right behind them, where it also lies for the grown tail.
    // Otherwise the objects go into a container of their own.
    if (!stored_.empty() && !stored_.back().sealed && (stored_.back().bytes.size() % 4 != 0 || len % 4 != 0)) {
        if (level_ > 0)
            sealTailLocked();
        else
            stored_.back().sealed = true;
    }
    if (!stored_.empty() && !stored_.back().sealed) {
        // Grow the tail: the objects behind its data (over the old end mark)
        // with a new end mark after them, the old mark overwritten last,
        // then the tail's sizes.
        Stored &t = stored_.back();
        const uint64_t at = t.pos + t.bytes.size();
        const uint64_t newSize = t.bytes.size() + len;
        buf.assign(data + std::min<size_t>(16, len), data + len);
        buf.insert(buf.end(), mark, mark + 16);
        if (!pwriteAll(at + 16, buf.data(), buf.size())
            || !writeSplitFirstPage(at, data, std::min<size_t>(16, len), true))
            return false;
        t.bytes.insert(t.bytes.end(), data, data + len);
        wr32(t.bytes.data() + 8, uint32_t(newSize));
        wr32(t.bytes.data() + 24, uint32_t(newSize - kContainerHeaderSize));
        if (!pwriteAll(t.pos + 24, t.bytes.data() + 24, 4) || !pwriteAll(t.pos + 8, t.bytes.data() + 8, 4))
            return false;
        endPos_ = t.pos + padded(newSize);
    } else {
        Stored s;
        s.pos = endPos_;
        s.bytes.resize(kContainerHeaderSize);
        uint8_t *h = s.bytes.data();
        objectHead(h, uint32_t(kContainerHeaderSize + len), kTypeLogContainer);
        wr16(h + 16, kCompressionNone);
        wr32(h + 24, uint32_t(len));
        s.bytes.insert(s.bytes.end(), data, data + len);
        buf.assign(s.bytes.begin() + 16, s.bytes.end());
        buf.insert(buf.end(), s.bytes.size() % 4, 0);
        buf.insert(buf.end(), mark, mark + 16);
        if (!pwriteAll(s.pos + 16, buf.data(), buf.size()) || !writeSplitFirstPage(s.pos, s.bytes.data(), 16, false))
            return false;
        endPos_ = s.pos + padded(s.bytes.size());
        uncompressedSize_ += kContainerHeaderSize;
        stored_.push_back(std::move(s));
    }
    uncompressedSize_ += len;
    if (stored_.back().bytes.size() - kContainerHeaderSize >= containerSize_)
        sealTailLocked();
    return true;
}

void BlfWriter::sealTailLocked()
{
    Stored &t = stored_.back();
    t.sealed = true;
    if (level_ == 0)
        return;
    std::unique_ptr<Job> job(new Job);
    job->data.assign(t.bytes.begin() + kContainerHeaderSize, t.bytes.end());
    jobs_.push_back(std::move(job));
    if (workers_.size() < workerLimit_ && workers_.size() < jobs_.size()) {
        stopping_ = false;
        try {
            workers_.emplace_back(&BlfWriter::workerLoop, this);
        } catch (...) {
            // No thread to deflate on: without one at all, what is sealed
            // stays stored.
            if (workers_.empty()) {
                jobs_.clear();
                nextJob_ = 0;
                level_ = 0;
                return;
            }
        }
    }
    workCv_.notify_one();
}

// Copies the stored containers to `to` (dead space: the reservation's slack
// or past the end mark) with an end mark after them, then makes the
// reservation end there.
bool BlfWriter::relocateLocked(uint64_t to)
{
    std::vector<uint8_t> buf;
    buf.reserve(size_t(storedBytesLocked()) + 16);
    for (const Stored &s : stored_) {
        buf.insert(buf.end(), s.bytes.begin(), s.bytes.end());
        buf.insert(buf.end(), s.bytes.size() % 4, 0);
    }
    uint8_t mark[16];
    endMark(mark);
    buf.insert(buf.end(), mark, mark + 16);
    const bool forward = to >= endPos_ + 16;
    if (!forward && (to < resPos_ + kReservationHead || to + buf.size() > resPos_ + resSize_))
        return false;
    if (!pwriteAll(to, buf.data(), buf.size()))
        return false;
    uint8_t size[4];
    wr32(size, uint32_t(to - resPos_));
    if (!pwriteAll(resPos_ + 8, size, 4))
        return false;
    resSize_ = to - resPos_;
    uint64_t at = to;
    for (Stored &s : stored_) {
        s.pos = at;
        at += padded(s.bytes.size());
    }
    endPos_ = at;
    if (!forward && io_->truncate(fd_, endPos_ + 16) != 0)
        ioError_ = true;
    return true;
}

// The first stored container deflated: staged in the reservation's slack
// with a new reservation after it that covers the stored one, then shown.
bool BlfWriter::applyDeflatedLocked(const std::vector<uint8_t> &container)
{
    if (stored_.empty() || !stored_.front().sealed)
        return false;
    const uint64_t need = kReservationHead + container.size() + kReservationHead;
    if (resSize_ < need && !relocateLocked(std::max(endPos_ + 16, resPos_ + need)))
        return false;
    const Stored &front = stored_.front();
    const uint64_t frontEnd = front.pos + padded(front.bytes.size());
    const uint64_t cpos = resPos_ + kReservationHead;
    const uint64_t next = cpos + container.size();
    std::vector<uint8_t> buf(container);
    buf.resize(container.size() + kReservationHead);
    reservationHead(buf.data() + container.size(), uint32_t(frontEnd - next));
    if (!pwriteAll(cpos, buf.data(), buf.size()))
        return false;
    uint8_t size[4];
    wr32(size, kReservationHead);
    if (!pwriteAll(resPos_ + 8, size, 4))
        return false;
    resPos_ = next;
    resSize_ = frontEnd - next;
    stored_.pop_front();
    // Keep the reservation near its size: what the replacements freed goes
    // to the stored containers behind it.
    const uint64_t to = resPos_ + reservationTarget_;
    if (resSize_ > reservationTarget_ + containerSize_ / 2 && to + storedBytesLocked() + 16 <= resPos_ + resSize_)
        relocateLocked(to);
    return true;
}

// The deflated containers go into the file in file order, as soon as the
// first one waiting is ready.
void BlfWriter::applyDoneLocked()
{
    while (!jobs_.empty() && jobs_.front()->done) {
        std::unique_ptr<Job> job = std::move(jobs_.front());
        jobs_.pop_front();
        --nextJob_;
        // After a failed write nothing more changes in the file.
        if (ioError_ || level_ == 0 || (job->ok && applyDeflatedLocked(job->out)) || ioError_)
            continue;
        // A container that could not be deflated stays stored, and so do
        // the ones after it: they are final where they stand (close keeps
        // everything before the end mark).
        while (!stored_.empty() && stored_.front().sealed)
            stored_.pop_front();
        level_ = 0;
    }
    idleCv_.notify_all();
}

// Deflates a sealed container's data into its container object.
void BlfWriter::deflateJob(z_stream &zs, Job &job)
{
    deflateReset(&zs);
    std::vector<uint8_t> &out = job.out;
    out.resize(kContainerHeaderSize + deflateBound(&zs, uLong(job.data.size())) + 4);
    zs.next_in = job.data.data();
    zs.avail_in = uInt(job.data.size());
    zs.next_out = out.data() + kContainerHeaderSize;
    zs.avail_out = uInt(out.size() - kContainerHeaderSize);
    if (deflate(&zs, Z_FINISH) != Z_STREAM_END)
        return;
    // Sized to a multiple of 4 (zero bytes after the stream, which readers
    // leave alone), so that no padding follows.
    const uint32_t objSize = uint32_t((kContainerHeaderSize + zs.total_out + 3) & ~uLong(3));
    std::memset(out.data() + kContainerHeaderSize + zs.total_out, 0, objSize - kContainerHeaderSize - zs.total_out);
    out.resize(objSize);
    uint8_t *h = out.data();
    std::memset(h, 0, kContainerHeaderSize);
    objectHead(h, objSize, kTypeLogContainer);
    wr16(h + 16, kCompressionZlib);
    wr32(h + 24, uint32_t(job.data.size()));
    job.ok = true;
}

void BlfWriter::workerLoop()
{
    z_stream zs{};
    std::unique_lock<std::mutex> lock(mutex_);
    const bool zOk = deflateInit(&zs, level_ > 0 ? level_ : 1) == Z_OK;
    for (;;) {
        workCv_.wait(lock, [this] { return stopping_ || nextJob_ < jobs_.size(); });
        if (nextJob_ >= jobs_.size())
            break;
        Job *job = jobs_[nextJob_++].get();
        lock.unlock();
        if (zOk)
            deflateJob(zs, *job);
        lock.lock();
        job->done = true;
        applyDoneLocked();
    }
    if (zOk)
        deflateEnd(&zs);
}

// Waits until fewer than `room` sealed containers wait for the workers.
// Without workers (a test's setting) the caller deflates the first itself.
void BlfWriter::waitRoomLocked(std::unique_lock<std::mutex> &lock, size_t room)
{
    if (workerLimit_ > 0) {
        idleCv_.wait(lock, [&] { return jobs_.size() < room; });
        return;
    }
    while (jobs_.size() >= room && !jobs_.empty()) {
        Job &job = *jobs_.front();
        z_stream zs{};
        if (deflateInit(&zs, level_ > 0 ? level_ : 1) == Z_OK) {
            deflateJob(zs, job);
            deflateEnd(&zs);
        }
        job.done = true;
        ++nextJob_;
        applyDoneLocked();
    }
}

void BlfWriter::setWorkerLimit(size_t workers) { g_workerLimit = std::min(workers, kMaxWorkers); }

bool BlfWriter::waitJobs()
{
    std::unique_lock<std::mutex> lock(mutex_);
    waitRoomLocked(lock, 1);
    return !ioError_;
}

void BlfWriter::stopWorker()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    workCv_.notify_all();
    for (std::thread &t : workers_)
        t.join();
    workers_.clear();
}

bool BlfWriter::writeHeaderLocked(bool closed)
{
    if (ioError_)
        return false;
    uint8_t h[kFileHeaderSize] = {};
    std::memcpy(h, "LOGG", 4);
    wr32(h + 4, kFileHeaderSize);
    std::memcpy(h + 8, app_, 4);
    h[12] = 4; // version of this library's format writer
    h[13] = 7;
    h[14] = 1;
    h[15] = 0;
    // The file's size once closed; while it is written, where the end mark
    // says the data ends (past the end of the file): a file whose header
    // claims more than it holds was not closed.
    if (closed)
        wr64(h + 16, resSize_ == 0 ? kFileHeaderSize : endPos_);
    else
        wr64(h + 16, (resSize_ == 0 ? resPos_ : endPos_) + kEndMarkClaim);
    wr64(h + 24, uncompressedSize_);
    wr32(h + 32, objectCount_);
    wr32(h + 36, 0);
    for (int i = 0; i < 8; ++i)
        wr16(h + 40 + 2 * i, startTime_[i]);
    uint16_t last[8] = {};
    const int64_t startMs = systemTimeToMs(startTime_);
    if (startMs != 0 || startTime_[0] != 0)
        msToSystemTime(startMs + int64_t(lastTimeNs_ / 1000000), last);
    for (int i = 0; i < 8; ++i)
        wr16(h + 56 + 2 * i, last[i]);
    return pwriteAll(0, h, sizeof h);
}

bool BlfWriter::flush()
{
    if (fd_ < 0)
        return false;
    // The objects go to the kernel before the flush returns: that survives
    // the end of the program. What a power loss keeps is the file system's
    // business.
    std::unique_lock<std::mutex> lock(mutex_);
    if (ioError_)
        return false;
    if (!pending_.empty()) {
        waitRoomLocked(lock, kMaxQueuedJobs);
        const bool ok = appendLocked(pending_.data(), pending_.size());
        pending_.clear();
        if (!ok)
            return false;
    }
    writeHeaderLocked(false);
    return !ioError_;
}

bool BlfWriter::close()
{
    if (fd_ < 0)
        return false;
    bool ok = flush();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (level_ > 0 && !stored_.empty() && !stored_.back().sealed)
            sealTailLocked();
    }
    if (!waitJobs())
        ok = false;
    stopWorker();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        // After a failed write the file stays as it is: it reads to the last
        // completed flush, and its header tells that it was not closed.
        // Otherwise it ends after its last container: the reservation (when
        // nothing lies behind it) or the end mark is cut off, and the header
        // gets the file's size.
        if (!ioError_ && resSize_ != 0) {
            if (endPos_ == resPos_ + resSize_)
                endPos_ = resPos_;
            if (io_->truncate(fd_, endPos_) != 0)
                ioError_ = true;
        }
        if (!writeHeaderLocked(true))
            ok = false;
    }
    if (io_->close(fd_) != 0)
        ok = false;
    fd_ = -1;
    return ok && !ioError_;
}

} // namespace binlog

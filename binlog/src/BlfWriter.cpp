#include "binlog/src/BlfWriter.h"

#include "binlog/src/BlfBytes.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace binlog {

namespace {
constexpr size_t kMaxWorkers = 4;
// A flush deflates a rest of fewer bytes than this at the fastest level,
// within a budget of the caller's time; past it, such rests are stored.
constexpr size_t kSmallRestBelow = 32 * 1024;
constexpr std::chrono::milliseconds kRestDeflateBudgetPerSecond{30};

// The time a thread spent deflating small rests in the current second (of
// every file it flushes), and when that second began.
struct RestBudget {
    std::chrono::steady_clock::duration spent{};
    std::chrono::steady_clock::time_point secondStart{};
};
thread_local RestBudget restBudget;
} // namespace

BlfWriter::BlfWriter() : containerSize_(kDefaultContainerSize) {}

BlfWriter::~BlfWriter()
{
    // A destructor must not throw: a close that runs out of memory or
    // threads still releases the file and the workers.
    try {
        if (file_)
            close();
    } catch (...) {
    }
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
    }
    try {
        stopWorkers();
    } catch (...) {
    }
    if (callerZsReady_)
        deflateEnd(&callerZs_);
    if (fastZsReady_)
        deflateEnd(&fastZs_);
}

bool BlfWriter::open(const char *path)
{
    file_ = std::fopen(path, "wb");
    if (!file_)
        return false;
    // Room for the header; it is written for real on every flush and at close.
    // A failure to write it shows at the first flush.
    fileSize_ = kFileHeaderSize;
    uncompressedSize_ = kFileHeaderSize;
    const uint8_t zeros[kFileHeaderSize] = {};
    put(zeros, sizeof zeros);
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
        containerSize_ = std::max<uint32_t>(containerSize, 64);
    return true;
}

void BlfWriter::setStartTime(const uint16_t systemTime[8])
{
    std::memcpy(startTime_, systemTime, sizeof startTime_);
}

bool BlfWriter::put(const void *data, size_t len)
{
    if (len && std::fwrite(data, 1, len, file_) != len) {
        ioError_ = true;
        return false;
    }
    return true;
}

bool BlfWriter::writeObject(const uint8_t *object)
{
    if (!file_ || !object || !isObjSignature(object))
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
        size_t done = 0;
        bool ok = true;
        while (ok && pending_.size() - done >= containerSize_) {
            ok = submit(pending_.data() + done, containerSize_);
            done += containerSize_;
        }
        pending_.erase(pending_.begin(), pending_.begin() + done);
        if (!ok)
            return false;
    }
    return !ioError_;
}

bool BlfWriter::buildContainer(const uint8_t *data, size_t len, z_stream *zs, std::vector<uint8_t> &out)
{
    uint16_t method = kCompressionNone;
    size_t payloadLen = len;
    if (zs) {
        deflateReset(zs);
        out.resize(kContainerHeaderSize + deflateBound(zs, uLong(len)) + 4);
        zs->next_in = const_cast<Bytef *>(data);
        zs->avail_in = uInt(len);
        zs->next_out = out.data() + kContainerHeaderSize;
        zs->avail_out = uInt(out.size() - kContainerHeaderSize);
        if (deflate(zs, Z_FINISH) != Z_STREAM_END)
            return false;
        method = kCompressionZlib;
        payloadLen = zs->total_out;
    } else {
        out.resize(kContainerHeaderSize + len + 4);
        std::memcpy(out.data() + kContainerHeaderSize, data, len);
    }
    const uint32_t objSize = uint32_t(kContainerHeaderSize + payloadLen);
    uint8_t *head = out.data();
    std::memset(head, 0, kContainerHeaderSize);
    std::memcpy(head, "LOBJ", 4);
    wr16(head + 4, kBaseHeaderSize);
    wr16(head + 6, 1);
    wr32(head + 8, objSize);
    wr32(head + 12, kTypeLogContainer);
    wr16(head + 16, method);
    wr32(head + 24, uint32_t(len));
    // Containers are followed by (size % 4) bytes of padding.
    std::memset(out.data() + objSize, 0, objSize % 4);
    out.resize(objSize + objSize % 4);
    return true;
}

bool BlfWriter::writeContainer(const std::vector<uint8_t> &container, size_t rawLen)
{
    if (!put(container.data(), container.size()))
        return false;
    fileSize_ += container.size();
    uncompressedSize_ += kContainerHeaderSize + rawLen;
    return true;
}

bool BlfWriter::submit(const uint8_t *data, size_t len)
{
    if (level_ == 0) {
        if (!buildContainer(data, len, nullptr, stored_))
            return false;
        return writeContainer(stored_, len);
    }
    if (workers_.empty())
        startWorkers();
    std::unique_ptr<Job> job(new Job);
    job->in.assign(data, data + len);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        jobs_.push_back(std::move(job));
    }
    workCv_.notify_one();
    // Write what is ready; hold the queue short so memory stays bounded.
    return writeReady(false);
}

bool BlfWriter::writeReady(bool waitAll)
{
    const size_t maxQueued = 2 * workers_.size() + 2;
    for (;;) {
        std::unique_ptr<Job> job;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            if (jobs_.empty())
                return !ioError_;
            const bool mustWait = waitAll || jobs_.size() > maxQueued;
            if (!jobs_.front()->done) {
                if (!mustWait)
                    return !ioError_;
                doneCv_.wait(lock, [this] { return jobs_.front()->done; });
            }
            job = std::move(jobs_.front());
            jobs_.pop_front();
            --nextJob_;
        }
        if (!job->ok) {
            ioError_ = true;
            continue;
        }
        writeContainer(job->out, job->in.size());
    }
}

void BlfWriter::startWorkers()
{
    const unsigned hw = std::thread::hardware_concurrency();
    const size_t n = std::max<size_t>(1, std::min<size_t>(kMaxWorkers, hw > 1 ? hw - 1 : 1));
    stopping_ = false;
    for (size_t i = 0; i < n; ++i)
        workers_.emplace_back(&BlfWriter::workerLoop, this);
}

void BlfWriter::stopWorkers()
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

void BlfWriter::workerLoop()
{
    z_stream zs{};
    const bool zOk = deflateInit(&zs, level_) == Z_OK;
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        workCv_.wait(lock, [this] { return stopping_ || nextJob_ < jobs_.size(); });
        if (nextJob_ >= jobs_.size()) {
            if (stopping_)
                break;
            continue;
        }
        Job *job = jobs_[nextJob_++].get();
        lock.unlock();
        job->ok = zOk && buildContainer(job->in.data(), job->in.size(), &zs, job->out);
        lock.lock();
        job->done = true;
        doneCv_.notify_all();
    }
    if (zOk)
        deflateEnd(&zs);
}

bool BlfWriter::writeHeader()
{
    uint8_t h[kFileHeaderSize] = {};
    std::memcpy(h, "LOGG", 4);
    wr32(h + 4, kFileHeaderSize);
    std::memcpy(h + 8, app_, 4);
    h[12] = 4; // version of this library's format writer
    h[13] = 7;
    h[14] = 1;
    h[15] = 0;
    wr64(h + 16, fileSize_);
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

    if (std::fseek(file_, 0, SEEK_SET) != 0) {
        ioError_ = true;
        return false;
    }
    if (!put(h, sizeof h))
        return false;
    if (std::fseek(file_, 0, SEEK_END) != 0) {
        ioError_ = true;
        return false;
    }
    return true;
}

bool BlfWriter::flush()
{
    if (!file_)
        return false;
    // Every object taken so far goes into the file as complete containers
    // before the flush returns, so that a program that ends right after it
    // (a crash, a kill) leaves a file that ends with whole containers.
    // The containers already handed to the workers go first, in order; the
    // pending rest is packed here, which spares a hand-over to a worker and
    // back for what is usually a small container.
    // A program that flushes often (a recorder flushes every hundred frames,
    // on its user interface thread) leaves small rests. Deflating them at
    // the asked level cost that thread a quarter of its time at a full bus
    // load, so they are deflated at the fastest level, and only for up to
    // 3 % of the calling thread's time (over all the files it flushes): past
    // that, its rests of the current second are stored as they are. Files
    // stay compact unless the traffic is more than the caller can afford to
    // deflate. Rests as large as a container are deflated as asked.
    writeReady(true);
    if (!pending_.empty()) {
        bool ok;
        if (level_ == 0) {
            ok = submit(pending_.data(), pending_.size());
        } else {
            using Clock = std::chrono::steady_clock;
            const Clock::time_point now = Clock::now();
            const bool small = pending_.size() < kSmallRestBelow;
            z_stream *zs = nullptr; // stored
            bool zsReady;
            if (small) {
                if (now - restBudget.secondStart >= std::chrono::seconds(1)) {
                    restBudget.secondStart = now;
                    restBudget.spent = Clock::duration::zero();
                }
                if (!fastZsReady_)
                    fastZsReady_ = deflateInit(&fastZs_, 1) == Z_OK;
                zsReady = true; // a small rest may always be stored
                if (fastZsReady_ && restBudget.spent < kRestDeflateBudgetPerSecond)
                    zs = &fastZs_;
            } else {
                if (!callerZsReady_)
                    callerZsReady_ = deflateInit(&callerZs_, level_) == Z_OK;
                zsReady = callerZsReady_;
                zs = &callerZs_;
            }
            ok = zsReady && buildContainer(pending_.data(), pending_.size(), zs, stored_);
            if (small && zs)
                restBudget.spent += Clock::now() - now;
            ok = ok && writeContainer(stored_, pending_.size());
            if (!ok)
                ioError_ = true;
        }
        pending_.clear();
        if (!ok)
            return false;
    }
    writeHeader();
    // Into the operating system's hands; that survives the end of the
    // program. What a power loss keeps is the file system's business.
    if (std::fflush(file_) != 0 || std::ferror(file_))
        ioError_ = true;
    return !ioError_;
}

bool BlfWriter::close()
{
    if (!file_)
        return false;
    bool ok = flush();
    if (!writeReady(true))
        ok = false;
    stopWorkers();
    if (!writeHeader() || std::fflush(file_) != 0)
        ok = false;
    if (std::fclose(file_) != 0)
        ok = false;
    file_ = nullptr;
    return ok && !ioError_;
}

} // namespace binlog

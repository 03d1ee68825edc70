#include "traffic/windows/QUserCanWatchWork.h"

#include "traffic/windows/QUserCacheSweep.h"

#include "core/QFClassUserCanMsg.h"
#include "core/QUserFliterCfg.h"
#include "traffic/QUserTraceFile.h"
#include "widgets/QUserProgressDlg.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace {

// Frames per read of the trace file: the stop flag is looked at between
// batches.
constexpr int kReadBatch = 16;
// Records gathered before one write to a cache file.
constexpr int kWriteBlock = 4096;
// Filter and save report progress once per this many records.
constexpr int64_t kProgressEvery = 10000;

std::atomic<int> g_activeJobs{0};

void logLine(const QString &text) { qDebug().noquote() << "QUserCanWatchWork" << ">" << text; }

// The load's progress creeps with time, since the number of frames is known
// only at the end of the file: one percent a second up to 60, then one every
// two seconds, never past 100 (and 100 again every two seconds from there).
class LoadPacer
{
public:
    // True when a progress value is due; percent() is then the value.
    bool due()
    {
        const int64_t threshold = percent_ <= 59 ? 1000 : 2000;
        const int64_t elapsed = getCurrentMs() - mark_; // a clock that went back is not due
        if (elapsed <= threshold)
            return false;
        mark_ = getCurrentMs();
        if (percent_ < 100)
            ++percent_;
        return true;
    }
    int percent() const { return percent_; }

private:
    int percent_ = 0;
    int64_t mark_ = getCurrentMs();
};

// Records gathered for one write to a cache.
class RecordBlock
{
public:
    RecordBlock() : buf_(size_t(kWriteBlock) * QFClassUserCanMsg::RecordSize) {}
    char *next() { return buf_.data() + size_t(fill_) * QFClassUserCanMsg::RecordSize; }
    void commit() { ++fill_; }
    bool full() const { return fill_ >= kWriteBlock; }
    // Writes what was gathered; false when the cache refused it.
    bool flush(QFClassUserCanMsg &cache)
    {
        const int n = fill_;
        fill_ = 0;
        return n == 0 || cache.appendRecords(buf_.data(), uint64_t(n));
    }

private:
    std::vector<char> buf_;
    int fill_ = 0;
};

// Walks a cache's records in order a block at a time (one read of the file
// per block rather than one copy per record).
class RecordWalk
{
public:
    explicit RecordWalk(QFClassUserCanMsg &cache) : cache_(cache), buf_(size_t(kWriteBlock) * QFClassUserCanMsg::RecordSize) {}

    // Record i (read or not: false when it is not in the file).
    bool record(int64_t i, const char **out)
    {
        if (i < first_ || i >= first_ + have_) {
            first_ = i;
            have_ = qMax<int64_t>(0, cache_.readRecords(uint64_t(i), kWriteBlock, buf_.data()));
            if (have_ == 0)
                return false;
        }
        *out = buf_.data() + size_t(i - first_) * QFClassUserCanMsg::RecordSize;
        return true;
    }

private:
    QFClassUserCanMsg &cache_;
    std::vector<char> buf_;
    int64_t first_ = 0;
    int64_t have_ = 0;
};

// Formats binary frames into cache records on threads of its own, and
// writes the blocks of records to the cache on one more thread, in order.
// The reading thread fills blocks and hands them over; memory stays at a
// few dozen blocks whatever the length of the trace. The load is bound by
// the cache's bytes going to disk, so the writes are what must never wait:
// one writer appending in order is what the file system serves fastest
// (several threads writing into one file queue on its lock), and enough
// blocks stand ready that reading and formatting, which run beside it, do
// not hold it up.
class RecordPipeline
{
public:
    enum { BlockFrames = 4096 };

    struct Block {
        QUserCanMsgRaw frames[BlockFrames];
        int n = 0;
        uint64_t first = 0;
        uint64_t seq = 0;
        std::vector<char> records = std::vector<char>(size_t(BlockFrames) * QFClassUserCanMsg::RecordSize);
    };

    RecordPipeline(QFClassUserCanMsg &cache, int threads) : cache_(cache)
    {
        // About 80 MB in all: enough to carry the reading on through the
        // pauses the system puts a writer into when dirty pages pile up.
        for (int i = 0; i < 2 * threads + 40; ++i)
            free_.push_back(new Block);
        for (int i = 0; i < threads; ++i)
            threads_.emplace_back([this] { formatRun(); });
        writer_ = std::thread([this] { writeRun(); });
    }

    ~RecordPipeline()
    {
        finish();
        for (Block *b : free_)
            delete b;
    }

    // An empty block (waits while all of them are in the pipeline).
    Block *acquire()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return !free_.empty(); });
        Block *b = free_.front();
        free_.pop_front();
        b->n = 0;
        return b;
    }

    void submit(Block *b)
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            b->seq = submitted_++;
            work_.push_back(b);
        }
        changed_.notify_all();
    }

    // Waits until every block handed over is written; false when a write
    // failed.
    bool finish()
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            done_ = true;
        }
        changed_.notify_all();
        for (std::thread &t : threads_)
            t.join();
        threads_.clear();
        if (writer_.joinable())
            writer_.join();
        return !failed_;
    }

private:
    void formatRun()
    {
        for (;;) {
            Block *b = nullptr;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                changed_.wait(lock, [this] { return done_ || !work_.empty(); });
                if (work_.empty())
                    return;
                b = work_.front();
                work_.pop_front();
            }
            char *out = b->records.data();
            for (int i = 0; i < b->n; ++i)
                QFClassUserCanMsg::formatRaw(b->frames[i], out + size_t(i) * QFClassUserCanMsg::RecordSize);
            {
                std::lock_guard<std::mutex> lock(mutex_);
                formatted_.push_back(b);
            }
            changed_.notify_all();
        }
    }

    void writeRun()
    {
        uint64_t next = 0;
        for (;;) {
            Block *b = nullptr;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                auto ready = [this, next] {
                    for (Block *f : formatted_)
                        if (f->seq == next)
                            return true;
                    return false;
                };
                changed_.wait(lock, [&] { return ready() || (done_ && next == submitted_); });
                if (!ready())
                    return;
                for (auto it = formatted_.begin(); it != formatted_.end(); ++it) {
                    if ((*it)->seq == next) {
                        b = *it;
                        formatted_.erase(it);
                        break;
                    }
                }
            }
            ++next;
            if (b->n > 0 && !failed_ && !cache_.writeRecordsAt(b->first, b->records.data(), uint64_t(b->n)))
                failed_ = true;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                free_.push_back(b);
            }
            changed_.notify_all();
        }
    }

    QFClassUserCanMsg &cache_;
    std::vector<std::thread> threads_;
    std::thread writer_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Block *> free_;
    std::deque<Block *> work_;
    std::deque<Block *> formatted_;
    uint64_t submitted_ = 0;
    bool done_ = false;
    std::atomic<bool> failed_{false};
};

// Drops file references on a thread of its own (see retire()).
class FileReaper
{
public:
    static FileReaper &instance()
    {
        static FileReaper reaper;
        return reaper;
    }

    void drop(std::vector<int> &fds)
    {
        if (fds.empty())
            return;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!thread_.joinable())
                thread_ = std::thread([this] { run(); });
            queue_.insert(queue_.end(), fds.begin(), fds.end());
        }
        fds.clear();
        wake_.notify_all();
    }

    ~FileReaper()
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        if (thread_.joinable())
            thread_.join();
    }

private:
    void run()
    {
        for (;;) {
            std::vector<int> now;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
                if (queue_.empty())
                    return;
                now.swap(queue_);
            }
            for (int fd : now)
                ::close(fd);
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<int> queue_;
    bool stopping_ = false;
    std::thread thread_;
};

int formatThreads()
{
    const unsigned cores = std::thread::hardware_concurrency();
    return int(std::min(4u, std::max(1u, cores / 2)));
}

// The filtered cache after a load is the source cache itself. A hard link
// gives it without a copy: writers of a cache always make a new file under
// the name (QFClassUserCanMsg::open), so neither name's later rewrite
// touches the other. Where links are not to be had, it is copied.
bool linkOrCopy(const QString &from, const QString &to)
{
    QFile::remove(to);
    if (!QFileInfo(from).isFile())
        return false;
    if (::link(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0)
        return true;
    return QFile::copy(from, to);
}

} // namespace

QUserCanWatchReq::~QUserCanWatchReq() { delete progressDlg; }

QUserCanWatchWork::QUserCanWatchWork(QObject *parent) : QUserWork(parent) {}

QUserCanWatchWork::~QUserCanWatchWork() { retiredRelease(); }

void QUserCanWatchWork::retire(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return;
    std::lock_guard<std::mutex> lock(retiredLock);
    retired.push_back(fd);
}

void QUserCanWatchWork::retiredRelease()
{
    std::vector<int> fds;
    {
        std::lock_guard<std::mutex> lock(retiredLock);
        fds.swap(retired);
    }
    FileReaper::instance().drop(fds);
}

int QUserCanWatchWork::activeJobs() { return g_activeJobs.load(); }

void QUserCanWatchWork::newCachePaths(QString *srcCache, QString *cache)
{
    // Every viewer window keeps caches of its own. Under one shared name two
    // windows (of one program, or of two programs started in the same
    // folder) would overwrite each other's frames, and the first to close
    // would delete the other's table. The process id keeps programs apart
    // and the counter the windows of one program. The paths are made
    // absolute now, so that the files are found again wherever the working
    // folder is later.
    static std::atomic<unsigned> counter{0};
    const unsigned n = ++counter;
    // The lock that tells a later start-up this program still runs.
    QUserCacheSweep::ownerHold(QDir::current().absoluteFilePath(QStringLiteral("cache")));
    const qint64 pid = QCoreApplication::applicationPid();
    if (srcCache)
        *srcCache = QDir::current().absoluteFilePath(QStringLiteral("cache/watchSrcTraceItem-%1-%2.dat").arg(pid).arg(n));
    if (cache)
        *cache = QDir::current().absoluteFilePath(QStringLiteral("cache/watchTraceItem-%1-%2.dat").arg(pid).arg(n));
}

int QUserCanWatchWork::percentOf(int64_t done, int64_t total)
{
    if (total <= 0 || done <= 0)
        return 0;
    if (done >= total)
        return 100;
    // done < total: done * 100 fits 64 bits for any cache a disk can hold.
    return int(done * 100 / total);
}

uint32_t QUserCanWatchWork::idValueOf(const QString &idText)
{
    // The same reading as the receive filter's identifiers.
    return QUserFliterCfg::parseId(idText);
}

bool QUserCanWatchWork::fliterPass(const QUserCanWatchReq &req, const QUserCanMsg &msg)
{
    if (!req.showTx && msg.direction == 1)
        return false;
    if (!req.showRemote && msg.remote == 1)
        return false;
    if (req.idRangeEnable) {
        const uint32_t id = idValueOf(msg.idText);
        if (id < req.startId || id > req.stopId)
            return false;
    }
    return true;
}

void QUserCanWatchWork::slotRun(int reqType, void *param)
{
    auto *req = static_cast<QUserCanWatchReq *>(param);
    ++g_activeJobs;
    emit notice(param, 0, 0);
    int r = 0;
    if (req) {
        switch (reqType) {
        case QUserCanWatchReq::ReqLoad:
            r = traceLoad(req);
            break;
        case QUserCanWatchReq::ReqFliter:
            r = cacheFliter(req);
            break;
        case QUserCanWatchReq::ReqSave:
            r = cacheSave(req);
            break;
        default:
            break;
        }
    }
    emit notice(param, 1, r);
    --g_activeJobs;
    // Last: the window takes stop() as the end of the request.
    emit stop();
}

int QUserCanWatchWork::traceLoad(QUserCanWatchReq *req)
{
    req->result = QUserCanWatchReq::ResultDone;
    req->recordCount = 0;
    req->skippedCount = 0;
    req->stopped = false;
    req->endedEarly = false;
    req->damagedCount = 0;
    req->notTrace = false;
    QDir().mkpath(QFileInfo(req->srcCachePath).absolutePath());
    // The caches of the last load go, but not on this job's time.
    retiredRelease();
    retire(req->srcCachePath);
    retire(req->cachePath);

    QUserTraceFile trace;
    QFClassUserCanMsg source;
    bool written = false;
    if (source.open(false, req->srcCachePath)) {
        written = QUserTraceFile::rawReadable(req->path) ? loadRaw(req, trace, source) : loadText(req, trace, source);
        if (!written)
            logLine(QStringLiteral("Cache<%1> Write Fail...").arg(req->srcCachePath));
        source.close();
    }
    if (!written)
        req->result = QUserCanWatchReq::ResultCacheFail;
    req->endedEarly = !req->stopped && trace.endedEarly();
    req->damagedCount = trace.damagedCount();
    req->notTrace = written && !req->stopped && trace.notTraceFile();
    trace.close();
    req->recordCount = int64_t(source.getMsgCount());
    if (!linkOrCopy(req->srcCachePath, req->cachePath)) {
        logLine(QStringLiteral("Cache<%1> Copy Fail...").arg(req->cachePath));
        req->result = QUserCanWatchReq::ResultCacheFail;
    }
    logLine(QStringLiteral("File<%1> ItemSize:%2").arg(req->path).arg(req->recordCount));
    finished.store(1);
    return req->result;
}

bool QUserCanWatchWork::loadText(QUserCanWatchReq *req, QUserTraceFile &trace, QFClassUserCanMsg &cache)
{
    QList<QUserCanMsg> frames;
    frames.reserve(kReadBatch);
    RecordBlock block;
    LoadPacer pacer;
    for (;;) {
        if (isStopRequested()) {
            req->stopped = true;
            break;
        }
        frames.clear();
        const int n = trace.fileReadPart(req->path, frames, kReadBatch);
        if (n <= 0)
            break;
        for (const QUserCanMsg &m : qAsConst(frames)) {
            QFClassUserCanMsg::formatRecord(m, block.next());
            block.commit();
            if (block.full() && !block.flush(cache))
                return false;
        }
        if (n < kReadBatch)
            break;
        if (pacer.due())
            emit progressValue(pacer.percent());
    }
    return block.flush(cache);
}

bool QUserCanWatchWork::loadRaw(QUserCanWatchReq *req, QUserTraceFile &trace, QFClassUserCanMsg &cache)
{
    RecordPipeline pipeline(cache, formatThreads());
    RecordPipeline::Block *block = pipeline.acquire();
    uint64_t next = 0;
    LoadPacer pacer;
    for (;;) {
        if (isStopRequested()) {
            req->stopped = true;
            break;
        }
        const int n = trace.fileReadPartRaw(req->path, block->frames + block->n, kReadBatch);
        if (n <= 0)
            break;
        block->n += n;
        if (block->n + kReadBatch > RecordPipeline::BlockFrames) {
            block->first = next;
            next += uint64_t(block->n);
            pipeline.submit(block);
            block = pipeline.acquire();
        }
        if (n < kReadBatch)
            break;
        if (pacer.due())
            emit progressValue(pacer.percent());
    }
    block->first = next;
    pipeline.submit(block);
    return pipeline.finish();
}

int QUserCanWatchWork::cacheFliter(QUserCanWatchReq *req)
{
    req->result = QUserCanWatchReq::ResultDone;
    req->recordCount = 0;
    req->skippedCount = 0;
    req->stopped = false;
    QDir().mkpath(QFileInfo(req->cachePath).absolutePath());

    retiredRelease();
    retire(req->cachePath);
    QFClassUserCanMsg source;
    QFClassUserCanMsg filtered;
    source.open(true, req->srcCachePath); // a missing source reads as no record
    if (!filtered.open(false, req->cachePath)) {
        req->result = QUserCanWatchReq::ResultCacheFail;
        source.close();
        finished.store(1);
        return req->result;
    }
    const int64_t n = int64_t(source.getMsgCount());
    if (n > 0 && !isStopRequested()) {
        RecordBlock block;
        RecordWalk walk(source);
        QUserCanMsg msg;
        const char *record = nullptr;
        int64_t i = 0;
        while (i < n) {
            int64_t next = i + 1;
            // Every read is checked: a record that cannot be read is left
            // out and counted, never replaced by the frame read before it.
            if (!walk.record(i, &record)
                || !QFClassUserCanMsg::parseRecord(record, QFClassUserCanMsg::RecordSize, &msg)) {
                ++req->skippedCount;
                // A hole in the file: none of its records can be read.
                const int64_t data = int64_t(qMin(source.dataRecordFrom(uint64_t(next)), uint64_t(n)));
                if (data > next) {
                    req->skippedCount += data - next;
                    next = data;
                }
            } else if (fliterPass(*req, msg)) {
                std::memcpy(block.next(), record, QFClassUserCanMsg::RecordSize);
                block.commit();
                if (block.full() && !block.flush(filtered)) {
                    req->result = QUserCanWatchReq::ResultCacheFail;
                    break;
                }
            }
            if (isStopRequested()) {
                req->stopped = true;
                break;
            }
            // Progress at every multiple of 10000 records processed.
            for (int64_t m = (i / kProgressEvery + 1) * kProgressEvery; m <= next; m += kProgressEvery)
                emit progressValue(percentOf(m, n));
            i = next;
        }
        if (!block.flush(filtered))
            req->result = QUserCanWatchReq::ResultCacheFail;
    }
    if (req->result == QUserCanWatchReq::ResultCacheFail)
        logLine(QStringLiteral("Cache<%1> Write Fail...").arg(req->cachePath));
    if (req->skippedCount > 0)
        logLine(QStringLiteral("Cache<%1> Bad Items:%2").arg(req->srcCachePath).arg(req->skippedCount));
    req->recordCount = int64_t(filtered.getMsgCount());
    source.close();
    filtered.close();
    finished.store(1);
    return req->result;
}

int QUserCanWatchWork::cacheSave(QUserCanWatchReq *req)
{
    req->result = QUserCanWatchReq::ResultDone;
    req->recordCount = 0;
    req->skippedCount = 0;
    req->stopped = false;

    QFClassUserCanMsg cache;
    cache.open(true, req->cachePath); // a missing cache reads as no record
    QUserTraceFile trace;
    if (!trace.fileCreate(req->path)) {
        req->result = QUserCanWatchReq::ResultCreateFail;
        cache.close();
        return req->result;
    }
    const int64_t n = int64_t(cache.getMsgCount());
    if (n >= 1 && !isStopRequested()) {
        QUserCanMsg msg;
        for (int64_t i = 0; i < n; ++i) {
            if (i % kProgressEvery == 0)
                emit progressValue(percentOf(i, n));
            // Every read is checked: a record that cannot be read is left
            // out and counted, never written as the frame read before it.
            if (!cache.readMsg(uint64_t(i), &msg)) {
                ++req->skippedCount;
            } else if (trace.write(msg)) {
                ++req->recordCount;
            } else {
                req->result = QUserCanWatchReq::ResultWriteFail;
                logLine(QStringLiteral("File<%1> Write Fail...").arg(req->path));
                break;
            }
            if (isStopRequested()) {
                req->stopped = true;
                break;
            }
        }
    }
    if (req->skippedCount > 0)
        logLine(QStringLiteral("Cache<%1> Bad Items:%2").arg(req->cachePath).arg(req->skippedCount));
    if (!trace.close() && req->result == QUserCanWatchReq::ResultDone)
        req->result = QUserCanWatchReq::ResultWriteFail;
    cache.close();
    finished.store(1);
    return req->result;
}

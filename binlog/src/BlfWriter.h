#pragma once
// Writes a BLF file: the "LOGG" header, then the objects it is given packed
// into LOG_CONTAINER objects of a fixed data size (zlib-compressed or stored);
// an object that does not fit the rest of a container continues in the next.
// Containers are compressed on helper threads and written in order by the
// caller's thread: a flush and a close wait until everything taken is
// written.

#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <zlib.h>

namespace binlog {

class BlfWriter
{
public:
    BlfWriter();
    ~BlfWriter();
    BlfWriter(const BlfWriter &) = delete;
    BlfWriter &operator=(const BlfWriter &) = delete;

    bool open(const char *path);
    void setApplication(uint8_t appId, uint8_t major, uint8_t minor, uint8_t build);
    // level 0 stores, 1..9 (higher values count as 9) compress; containerSize
    // 0 keeps the default.
    bool setOptions(uint32_t level, uint32_t containerSize);
    void setStartTime(const uint16_t systemTime[8]);
    // One complete object; false for a malformed object or a failed write.
    bool writeObject(const uint8_t *object);
    // Writes every object taken so far as complete containers (the pending
    // data becomes a container of its own), rewrites the header and hands
    // the file to the operating system before it returns.
    bool flush();
    // Flush and close; false when anything since the last success failed.
    bool close();

    uint32_t objectCount() const { return objectCount_; }

private:
    struct Job {
        std::vector<uint8_t> in;
        std::vector<uint8_t> out; // the whole container object with padding
        bool done = false;
        bool ok = false;
    };

    bool submit(const uint8_t *data, size_t len);
    bool writeReady(bool waitAll);
    bool writeContainer(const std::vector<uint8_t> &container, size_t rawLen);
    void startWorkers();
    void stopWorkers();
    void workerLoop();
    static bool buildContainer(const uint8_t *data, size_t len, z_stream *zs, std::vector<uint8_t> &out);
    bool writeHeader();
    bool put(const void *data, size_t len);

    FILE *file_ = nullptr;
    bool ioError_ = false;
    uint8_t app_[4] = {0, 0, 0, 0};
    uint16_t startTime_[8] = {};
    int level_ = 6;
    size_t containerSize_;
    std::vector<uint8_t> pending_;
    std::vector<uint8_t> stored_;
    z_stream fastZs_{};        // packs a flush's small rest, at the fastest level
    bool fastZsReady_ = false;
    z_stream callerZs_{};      // packs a flush's last container on the caller's thread
    bool callerZsReady_ = false;

    std::vector<std::thread> workers_;
    std::mutex mutex_;
    std::condition_variable workCv_;
    std::condition_variable doneCv_;
    std::deque<std::unique_ptr<Job>> jobs_; // in file order
    size_t nextJob_ = 0;                    // index in jobs_ of the first job no worker took
    bool stopping_ = false;
    uint64_t fileSize_ = 0;
    uint64_t uncompressedSize_ = 0;
    uint32_t objectCount_ = 0;
    uint64_t lastTimeNs_ = 0;
};

} // namespace binlog

#pragma once
// Writes a BLF file: the "LOGG" header, then the objects it is given packed
// into LOG_CONTAINER objects.
//
// Layout while the file is written, and why a kill at any moment leaves a
// file that reads to the last completed flush:
//
//   header | C C C ... | R | T T ... T | K
//
// - C: zlib containers, final.
// - R: the reservation, a zlib container holding an empty stream followed by
//   slack (readers inflate the empty stream and ignore the slack). Its body
//   is dead space where the next compressed container is staged.
// - T: stored (uncompressed) containers. The last one is the live tail that
//   every flush grows in place; the ones before it are sealed and wait for a
//   worker thread to deflate them.
// - K: the end mark, an object of no known type whose size reaches past the
//   end of the file: readers stop there, and everything behind it is dead
//   space too.
//
// Every change first writes into dead space only, then makes it visible with
// one small write that cannot be torn by a kill (a field of at most 4 bytes,
// 4-aligned, so it never crosses a page):
// - the first data: an end mark where the reservation will begin, one where
//   it will end, then the reservation's head over the first mark;
// - a flush writes its objects behind the tail, with a new end mark after
//   them, then overwrites the old end mark (the two parts of a page-crossing
//   base header in the order writeSplitFirstPage gives), and last sets the
//   tail's sizes (uncompressed size, then object size). Until that last
//   write a reader sees the new objects outside any container (python-can
//   passes over them) or not at all;
// - a deflated container is staged in the reservation's slack, followed by a
//   new reservation that covers the stored container it replaces; one write
//   shrinks the old reservation to its empty stream, which makes both
//   visible at once (the 40 bytes of an empty container stay in the file);
// - when the reservation has grown (each replacement frees the difference
//   between a stored container and its deflated form), the stored
//   containers behind it are copied back into its slack with an end mark
//   after them, and one write shrinks the reservation to end at the copies;
//   the file is then cut after the new end mark. When replacements have worn
//   it down instead (data that does not deflate), they are copied past the
//   end mark and the reservation grows over where they stood.
// Compression runs on worker threads; the writes above run on the caller's
// thread in a flush and on a worker when the next container in file order
// is ready, under one lock. A caller that fills containers faster than the
// workers deflate them waits when two are queued. A close deflates the tail
// too, cuts the file after the last container and writes the header last.
//
// The header: rewritten (one write within the first page) at create, at
// every flush and at close. Until the close its file size claims where the
// end mark says the data ends, past the end of the file; only the close
// gives the file's size. A file holding less than its header claims was not
// closed: killed, or left after a failed write.
//
// A failed write (a full disk, an I/O error) ends all writing: the file
// stays as that write left it, which is one of the states above and reads
// to the last completed flush; nothing is moved, replaced or cut, and every
// later call (objects, flushes, the close) fails.
//
// What a killed recording holds beyond its deflated containers: at most
// three stored containers (the tail and two sealed ones waiting for the
// workers), each a container's worth plus at most one flush; the
// reservation, 2 x the container size + 1 KiB, grown by at most two stored
// containers before it is moved back; the objects of a flush under way and
// the 16-byte end mark. With the default 1 MiB containers and the
// recorder's flushes (100 frames) at most about 7.2 MiB (5 MiB measured);
// a closed file holds none of it.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <zlib.h>

namespace binlog {

class BlfFileIo;

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
    // Puts every object taken so far into the file (grows the stored tail
    // container in place), rewrites the header, all before it returns, so a
    // program that ends right after it leaves a readable file with them.
    bool flush();
    // Deflates what is still stored, flushes and closes; false when anything
    // since the last success failed.
    bool close();

    uint32_t objectCount() const { return objectCount_; }

    // Threads that deflate sealed containers, for writers opened from now on
    // (at most 4, the default). 0 is for tests that need one order of writes
    // whatever the machine does: the caller deflates the first sealed
    // container itself when as many wait as a caller would wait for, and at
    // close.
    static void setWorkerLimit(size_t workers);

private:
    // A stored container behind the reservation: its place, its whole object
    // (header and data; the tail's header sizes follow its data).
    struct Stored {
        uint64_t pos = 0;
        std::vector<uint8_t> bytes;
        bool sealed = false;
    };
    struct Job {
        std::vector<uint8_t> data; // the sealed container's data
        std::vector<uint8_t> out;  // its deflated container object
        bool done = false;
        bool ok = false;
    };

    bool appendLocked(const uint8_t *data, size_t len);
    void sealTailLocked();
    bool applyDeflatedLocked(const std::vector<uint8_t> &container);
    bool relocateLocked(uint64_t to);
    bool writeHeaderLocked(bool closed);
    bool pwriteAll(uint64_t pos, const void *data, size_t len);
    bool writeSplitFirstPage(uint64_t pos, const uint8_t *data, size_t len, bool sizeLast);
    static void endMark(uint8_t out[16]);
    static void reservationHead(uint8_t out[40], uint32_t size);
    uint64_t storedBytesLocked() const;
    static void deflateJob(z_stream &zs, Job &job);
    void waitRoomLocked(std::unique_lock<std::mutex> &lock, size_t room);
    void workerLoop();
    void stopWorker();
    void applyDoneLocked();
    bool waitJobs();

    BlfFileIo *io_ = nullptr;
    int fd_ = -1;
    std::atomic<bool> ioError_{false}; // set by the workers too
    uint8_t app_[4] = {0, 0, 0, 0};
    uint16_t startTime_[8] = {};
    int level_ = 6;
    size_t containerSize_;
    uint64_t reservationTarget_ = 0;
    std::vector<uint8_t> pending_; // objects taken since the last flush

    std::mutex mutex_;            // the file and the layout below
    uint64_t resPos_ = 0;         // the reservation
    uint64_t resSize_ = 0;
    std::deque<Stored> stored_;   // behind the reservation, in file order
    uint64_t endPos_ = 0;         // the end mark
    uint64_t uncompressedSize_ = 0;
    uint32_t objectCount_ = 0;
    uint64_t lastTimeNs_ = 0;

    size_t workerLimit_ = 0;
    std::vector<std::thread> workers_;
    std::condition_variable workCv_;
    std::condition_variable idleCv_;    // a job was put in place
    std::deque<std::unique_ptr<Job>> jobs_; // in file order
    size_t nextJob_ = 0;                // index in jobs_ of the first job no worker took
    bool stopping_ = false;
};

} // namespace binlog

#pragma once
// Proving the BLF writer against every state its file can be left in: a file
// system that logs every write and cut of the writer and fails the ones a
// test names, recordings driven the way the recorder drives the writer, the
// file rebuilt as it stood after each logged write (and at each page
// boundary inside one, where a kill can cut a write), and python-can reading
// such files one after another in one process.
//
// Frame n of a recording carries the identifier n & 0x7FF and n in its first
// four data bytes, so a reader's frames show whether they are the recording's
// first frames in order.

#include "binlog/include/binlog.h"
#include "binlog/src/BlfFileIo.h"
#include "binlog/src/BlfWriter.h"
#include "tests/binlog/BlfCraft.h"
#include "tests/support/PeerCheck.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <mutex>
#include <spawn.h>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace blfstate {

using craft::Bytes;

constexpr uint64_t kPage = 4096;

// ---- the file system under the writer ----

class TestIo : public binlog::BlfFileIo
{
public:
    enum class Fault {
        None,
        NoSpace,          // the write and every later one fail with ENOSPC (a full disk)
        IoError,          // this write fails with EIO, later ones succeed
        ShortThenNoSpace, // the write stops at its first page boundary, every later one fails with ENOSPC
        Short,            // the write stops at its first page boundary; the rest is written when asked again
    };

    struct Op {
        bool truncate = false;
        uint64_t pos = 0; // a write: where; a cut: the new size
        Bytes bytes;
        bool byCaller = false; // made on the thread that drives the recording
        int64_t taken = 0;     // frames handed to the writer by then
    };

    explicit TestIo(bool keepLog = true) : keepLog_(keepLog), caller_(std::this_thread::get_id()) {}

    // The write call of this index (0-based, counting every call) meets the
    // fault.
    void failWrite(size_t index, Fault f)
    {
        std::lock_guard<std::mutex> lock(m_);
        failAt_ = index;
        fault_ = f;
    }

    std::atomic<int64_t> taken{0};

    size_t writeCalls() const
    {
        std::lock_guard<std::mutex> lock(m_);
        return writeCalls_;
    }
    bool faulted() const
    {
        std::lock_guard<std::mutex> lock(m_);
        return faulted_;
    }
    std::vector<Op> log() const
    {
        std::lock_guard<std::mutex> lock(m_);
        return log_;
    }
    // The log entries up to and including the last one the caller made: a
    // flush that returned by then is made of them.
    size_t callerMark() const
    {
        std::lock_guard<std::mutex> lock(m_);
        return callerMark_;
    }

    long write(int fd, const void *data, size_t len, uint64_t pos) override
    {
        std::lock_guard<std::mutex> lock(m_);
        const size_t call = writeCalls_++;
        size_t n = len;
        bool fail = false;
        int err = 0;
        if (sticky_) {
            fail = true;
            err = ENOSPC;
        } else if (call == failAt_) {
            switch (fault_) {
            case Fault::None:
                break;
            case Fault::NoSpace:
                fail = true;
                err = ENOSPC;
                sticky_ = true;
                break;
            case Fault::IoError:
                fail = true;
                err = EIO;
                break;
            case Fault::ShortThenNoSpace:
            case Fault::Short: {
                const uint64_t toPage = kPage - pos % kPage;
                if (toPage < len) {
                    n = size_t(toPage);
                } else if (fault_ == Fault::ShortThenNoSpace) {
                    fail = true; // nothing of a write within one page is written
                    err = ENOSPC;
                }
                sticky_ = fault_ == Fault::ShortThenNoSpace;
                break;
            }
            }
            faulted_ = fail || n < len;
        }
        if (fail) {
            errno = err;
            return -1;
        }
        const long done = binlog::BlfFileIo::write(fd, data, n, pos);
        if (done > 0)
            record(false, pos, static_cast<const uint8_t *>(data), size_t(done));
        return done;
    }

    int truncate(int fd, uint64_t size) override
    {
        std::lock_guard<std::mutex> lock(m_);
        const int rc = binlog::BlfFileIo::truncate(fd, size);
        if (rc == 0)
            record(true, size, nullptr, 0);
        return rc;
    }

private:
    void record(bool cut, uint64_t pos, const uint8_t *data, size_t len)
    {
        const bool byCaller = std::this_thread::get_id() == caller_;
        if (keepLog_) {
            Op op;
            op.truncate = cut;
            op.pos = pos;
            if (data)
                op.bytes.assign(data, data + len);
            op.byCaller = byCaller;
            op.taken = taken;
            log_.push_back(std::move(op));
        }
        ++ops_;
        if (byCaller)
            callerMark_ = ops_;
    }

    mutable std::mutex m_;
    bool keepLog_;
    std::thread::id caller_;
    std::vector<Op> log_;
    size_t ops_ = 0;
    size_t callerMark_ = 0;
    size_t writeCalls_ = 0;
    size_t failAt_ = ~size_t(0);
    Fault fault_ = Fault::None;
    bool sticky_ = false;
    bool faulted_ = false;
};

// Puts a file system (and a number of deflating threads) in place for the
// writers opened while it lives.
class Installed
{
public:
    Installed(binlog::BlfFileIo *io, size_t workers)
    {
        binlog::BlfFileIo::install(io);
        binlog::BlfWriter::setWorkerLimit(workers);
    }
    ~Installed()
    {
        binlog::BlfFileIo::install(nullptr);
        binlog::BlfWriter::setWorkerLimit(4);
    }
    Installed(const Installed &) = delete;
    Installed &operator=(const Installed &) = delete;
};

// ---- the recordings ----

inline void put32(uint8_t *p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(v >> (8 * i));
}

// Frame n as a CAN message (type 1) or a CAN FD message (type 100).
inline Bytes frameObject(int64_t n, bool fd)
{
    Bytes body(fd ? 88 : 16, 0);
    body[0] = 1; // channel 1
    body[3] = fd ? 9 : 8;
    put32(body.data() + 4, uint32_t(n & 0x7FF));
    uint8_t *data = body.data() + (fd ? 20 : 8);
    if (fd) {
        body[13] = 1;  // bit-rate switch
        body[14] = 12; // valid data bytes
    }
    put32(data, uint32_t(n));
    for (int i = 4; i < (fd ? 12 : 8); ++i)
        data[i] = uint8_t((n * 131) >> (i % 3 * 5));
    return craft::object(fd ? 100 : 1, uint64_t(n) * 100000u, body);
}

// The frame number an object read back carries, or -1 for an object that is
// no frame.
inline int64_t frameNumberOf(const uint8_t *object, size_t size)
{
    const uint32_t type = craft::get32(object + 12);
    if (type == 1 && size >= 48)
        return craft::get32(object + 40);
    if (type == 100 && size >= 64)
        return craft::get32(object + 52);
    return -1;
}

struct Recording {
    const char *name;
    uint32_t level;         // compression
    uint32_t containerSize; // 0: the default
    int64_t frames;
    int flushEvery; // frames between flushes
    bool triggers;  // an application trigger before every frame, as the recorder writes
    bool odd;       // CAN FD frames and objects of sizes off 4-byte multiples among the frames
    bool close;     // closed at the end, as the recorder closes (a flush, then the close)
    size_t filler = 0; // bytes of an object of a type readers pass over after every frame
    size_t lead = 0;   // bytes of such an object before the first frame
    bool stopOnFailure = false; // the recorder stops (and closes) at the first refused call
    bool noise = false;         // filler objects of random bytes, which do not deflate
};

// An object readers pass over, of `size` bytes, its body about half as large
// deflated, or not smaller at all (noise).
inline Bytes fillerObject(int64_t n, size_t size, bool noise = false)
{
    Bytes body(size - 32);
    uint32_t x = uint32_t(n) * 2654435761u + 1;
    for (size_t i = 0; i < body.size(); ++i) {
        x = x * 1103515245u + 12345u;
        body[i] = noise || i % 2 ? uint8_t(x >> 24) : uint8_t(i / 64);
    }
    return craft::object(0x7F01, uint64_t(n) * 100000u, body);
}

// What a recording's driver saw.
struct Driven {
    std::vector<std::pair<size_t, int64_t>> marks; // log entries by a completed flush, frames it held
    int64_t flushed = 0;                           // frames of the last flush that succeeded
    int64_t taken = 0;                             // frames handed to the writer
    bool writeFailed = false;                      // a write of an object was refused
    bool flushFailed = false;
    bool closeOk = false;
    bool closed = false;
};

// Runs a recording into `path` the way the recorder does: every frame (with
// its trigger) handed over, a flush after every `flushEvery` frames, the flush
// and the close at the end. Frames keep coming after a failure, as they do on
// a bus, unless the recording stops at it.
inline Driven drive(const Recording &r, const std::string &path, TestIo &io)
{
    Driven d;
    binlog::BlfWriter w;
    if (!w.open(path.c_str()))
        return d;
    w.setApplication(6, 1, 0, 1);
    const uint16_t st[8] = {2024, 5, 3, 17, 8, 30, 15, 250};
    w.setStartTime(st);
    w.setOptions(r.level, r.containerSize);
    const Bytes trigger = craft::object(5, 0, Bytes(24, 0));
    if (r.lead)
        w.writeObject(fillerObject(-1, r.lead).data());
    for (int64_t n = 0; n < r.frames; ++n) {
        io.taken = n + 1;
        if (r.triggers)
            w.writeObject(trigger.data());
        const bool fd = r.odd && n % 5 == 2;
        if (!w.writeObject(frameObject(n, fd).data()))
            d.writeFailed = true;
        if (d.writeFailed && r.stopOnFailure)
            break;
        if (r.filler)
            w.writeObject(fillerObject(n, r.filler, r.noise).data());
        if (r.odd && n % 7 == 3) {
            const Bytes odd = craft::object(0x7F00, uint64_t(n) * 100000u, Bytes(size_t(17 + n % 3), 0x5A));
            w.writeObject(odd.data());
        }
        if ((n + 1) % r.flushEvery == 0) {
            if (w.flush()) {
                d.flushed = n + 1;
                d.marks.push_back({io.callerMark(), n + 1});
            } else {
                d.flushFailed = true;
                if (r.stopOnFailure)
                    break;
            }
        }
    }
    d.taken = io.taken;
    if (r.close) {
        const bool flushed = w.flush();
        if (flushed) {
            d.flushed = d.taken;
            d.marks.push_back({io.callerMark(), d.taken});
        } else {
            d.flushFailed = true;
        }
        d.closeOk = w.close() && flushed;
        d.closed = true;
    }
    return d;
}

// ---- every state of the file ----

struct State {
    size_t ops = 0;       // log entries applied whole
    uint64_t cut = 0;     // bytes of the next write applied (at a page boundary), 0 for none
    int64_t mustHave = 0; // frames of the flushes completed by then
    int64_t taken = 0;    // frames handed to the writer by then
    bool last = false;    // every entry applied
};

// Calls `visit` with the file as it stood before the first logged entry,
// after each entry, and after each page of a write that crosses pages (the
// kernel copies a write page by page, in order, and a kill lands between
// two); the file at `path` is brought to each state before its visit.
// `cutsUpTo` limits the cuts inside a write to writes of at most that many
// bytes (with the first and last cuts of longer ones always taken).
inline size_t forEachState(const std::vector<TestIo::Op> &log, const Driven &d, const std::string &path,
                           const std::function<void(const Bytes &, const State &)> &visit,
                           size_t cutsUpTo = ~size_t(0))
{
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return 0;
    Bytes image;
    // Both the image and the file take bytes [from, to) of a write.
    auto put = [&](const TestIo::Op &op, size_t from, size_t to) {
        if (image.size() < op.pos + to)
            image.resize(size_t(op.pos + to), 0);
        std::memcpy(image.data() + op.pos + from, op.bytes.data() + from, to - from);
        return ::pwrite(fd, op.bytes.data() + from, to - from, off_t(op.pos + from)) == ssize_t(to - from);
    };
    size_t states = 0;
    size_t mark = 0;
    int64_t mustHave = 0;
    bool ok = true;
    for (size_t i = 0; i <= log.size() && ok; ++i) {
        while (mark < d.marks.size() && d.marks[mark].first <= i)
            mustHave = d.marks[mark++].second;
        State s;
        s.ops = i;
        s.mustHave = mustHave;
        s.taken = i < log.size() ? log[i].taken : d.taken;
        s.last = i == log.size();
        visit(image, s);
        ++states;
        if (i == log.size())
            break;
        const TestIo::Op &op = log[i];
        if (op.truncate) {
            image.resize(size_t(op.pos));
            ok = ::ftruncate(fd, off_t(op.pos)) == 0;
            continue;
        }
        std::vector<size_t> cuts;
        for (uint64_t j = kPage - op.pos % kPage; j < op.bytes.size(); j += kPage)
            cuts.push_back(size_t(j));
        if (op.bytes.size() > cutsUpTo && cuts.size() > 2)
            cuts = {cuts.front(), cuts.back()};
        size_t done = 0;
        for (size_t j : cuts) {
            ok = ok && put(op, done, j);
            done = j;
            State c = s;
            c.cut = j;
            visit(image, c);
            ++states;
        }
        ok = ok && put(op, done, op.bytes.size());
    }
    ::close(fd);
    return ok ? states : 0;
}

// The header's claim on the file's size (offset 16), or 0 without a header.
inline uint64_t declaredSize(const Bytes &image)
{
    if (image.size() < 24 || std::memcmp(image.data(), "LOGG", 4) != 0)
        return 0;
    return uint64_t(craft::get32(image.data() + 16)) | (uint64_t(craft::get32(image.data() + 20)) << 32);
}

// ---- python-can, one process for many files ----

// Runs tests/peers/binlog_states.py and asks it about one file after the
// other: "<frames> <first frame out of order, or -1>", or "error <what>".
class PythonCan
{
public:
    bool start()
    {
        int toChild[2], fromChild[2];
        if (pipe2(toChild, O_CLOEXEC) != 0)
            return false;
        if (pipe2(fromChild, O_CLOEXEC) != 0) {
            ::close(toChild[0]);
            ::close(toChild[1]);
            return false;
        }
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_adddup2(&fa, toChild[0], 0);
        posix_spawn_file_actions_adddup2(&fa, fromChild[1], 1);
        const std::string script = peer::script("binlog_states.py");
        char *argv[] = {const_cast<char *>(peer::python()), const_cast<char *>(script.c_str()), nullptr};
        const int rc = posix_spawn(&pid_, peer::python(), &fa, nullptr, argv, environ);
        posix_spawn_file_actions_destroy(&fa);
        ::close(toChild[0]);
        ::close(fromChild[1]);
        if (rc != 0) {
            ::close(toChild[1]);
            ::close(fromChild[0]);
            pid_ = -1;
            return false;
        }
        to_ = fdopen(toChild[1], "w");
        from_ = fdopen(fromChild[0], "r");
        return to_ && from_;
    }

    ~PythonCan()
    {
        if (to_)
            std::fclose(to_);
        if (from_)
            std::fclose(from_);
        if (pid_ > 0) {
            int status = 0;
            waitpid(pid_, &status, 0);
        }
    }

    struct Answer {
        bool error = true;
        int64_t frames = 0;
        int64_t firstBad = -1;
        std::string text;
    };

    // Asks about a file; the answer comes with answer(), so the caller can
    // read the file itself meanwhile.
    void ask(const std::string &path)
    {
        if (!to_)
            return;
        std::fprintf(to_, "%s\n", path.c_str());
        std::fflush(to_);
    }

    Answer answer()
    {
        Answer a;
        if (!from_)
            return a;
        char line[4096];
        if (!std::fgets(line, sizeof line, from_)) {
            a.text = "python ended";
            return a;
        }
        a.text = line;
        long long frames = 0, bad = 0;
        if (std::sscanf(line, "%lld %lld", &frames, &bad) == 2) {
            a.error = false;
            a.frames = frames;
            a.firstBad = bad;
        }
        return a;
    }

private:
    pid_t pid_ = -1;
    FILE *to_ = nullptr;
    FILE *from_ = nullptr;
};

struct OurRead {
    bool opened = false;
    int64_t frames = 0;
    int64_t firstBad = -1;
    uint32_t damaged = 0; // places the reader took for damage
};

// Every frame of the file through the library's reader, in order.
inline OurRead readOurs(const std::string &path)
{
    OurRead r;
    void *h = BLCreateFile(path.c_str(), BL_ACCESS_READ);
    r.opened = h != BL_INVALID_HANDLE;
    if (!r.opened)
        return r;
    uint8_t base[16];
    Bytes buf;
    while (BLPeekObject(h, base)) {
        buf.assign(std::max<uint32_t>(craft::get32(base + 8), 32), 0);
        std::memcpy(buf.data(), base, 16);
        if (!BLReadObjectSecure(h, buf.data(), buf.size()))
            break;
        const int64_t n = blfstate::frameNumberOf(buf.data(), buf.size());
        if (n < 0)
            continue;
        if (r.firstBad < 0 && n != r.frames)
            r.firstBad = r.frames;
        ++r.frames;
    }
    uint64_t bytes = 0;
    BLGetReadDamage(h, &r.damaged, &bytes);
    BLCloseHandle(h);
    return r;
}

} // namespace blfstate

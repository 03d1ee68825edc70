// Trace viewer figures on a BLF file of 10,000,000 frames (every other one a
// classic frame with 8 bytes, the others CAN FD frames with 64 bytes and
// bit-rate switch, two channels, both directions), written once per run
// through the binlog library as frame objects only (CAN message and CAN FD
// message objects, as python-can and measurement tools write them):
//  - load: the worker's job 0, file to source cache (and filtered cache),
//    five times, each paired with its bound, the disk write: the time this
//    machine takes to write as many bytes as the load's cache holds (320 a
//    frame) to a new file in the same folder, in 1 MiB writes, closed
//    without a sync as the cache is. The two alternate (write then load,
//    then load then write, ...) and before each of them the system's dirty
//    pages are written out and its page cache dropped (sync, then
//    /proc/sys/vm/drop_caches; without the right to, the files are synced
//    and advised out with posix_fadvise, and the run says so), so each one
//    starts from the same clean state: the load reads the trace file from
//    the disk, as a user's first open of a file does, and neither pays for
//    the other's dirty pages. Figures: the medians of the five
//    ("load_s_median", "disk_write_s_median") and the median of the five
//    paired ratios ("load_over_disk_write_median", the figure to hold at
//    1.5), and the process's CPU time of each (wall times move with the
//    machine's other work, CPU times much less);
//  - filter: job 1 with transmitted frames hidden and an identifier range;
//  - save: job 2, the filtered cache to a new BLF file;
//  - disk: bytes the two caches take per frame after the load and after the
//    filter (blocks on disk, a file linked under both names counted once);
//  - scroll: one step of the viewer's table to a random row of the loaded
//    cache (window rebuild from the file and a repaint);
//  - python-can: BLFReader over the same file in the same run (iterating,
//    counting frames, the page cache dropped first as for our loads), and
//    our load's speed against it.
// The caches are removed at the end. Frame count: CANWATCH_BENCH_FRAMES
// (default 10,000,000); CANWATCH_BENCH_TRACE keeps the trace file at that
// path for later runs. Needs several GB of disk in the temp folder.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLibrary>
#include <QProcess>
#include <QScrollBar>
#include <QTemporaryDir>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include <cstdio>
#include <ctime>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "bench/support/BenchColdRuns.h"
#include "core/QFClassUserCanMsg.h"
#include "traffic/QUserBlfFile.h"
#include "traffic/windows/QUserCanWatchWork.h"
#include "traffic/windows/QUserMainWindowCANWatch.h"
#include "traffic/QUserTraceFile.h"
#include "traffic/windows/QUserTableModelCANWatch.h"
#include "widgets/QUserTableView.h"

namespace {

using benchcold::median;
using benchcold::spread;

// What the page-cache drop advises out when it cannot drop the whole cache.
constexpr const char *kCacheFiles = "the trace and cache files are";

int64_t frameCount()
{
    static const int64_t n = [] {
        const QByteArray env = qgetenv("CANWATCH_BENCH_FRAMES");
        bool ok = false;
        const qlonglong v = env.toLongLong(&ok);
        return ok && v > 0 ? int64_t(v) : int64_t(10000000);
    }();
    return n;
}

QTemporaryDir &workDir()
{
    static QTemporaryDir dir(QDir::temp().filePath(QStringLiteral("bench-canwatch-XXXXXX")));
    return dir;
}

QString pathOf(const QString &name) { return QDir(workDir().path()).filePath(name); }

// What one run measured, for the figures that compare.
struct Figures {
    double loadSeconds = 0; // median of the runs
    double loadBest = 0;
    int64_t loaded = 0;
    QString traceFile;
};

Figures &figures()
{
    static Figures f;
    return f;
}

QUserCanWatchReq &request()
{
    static QUserCanWatchReq r;
    return r;
}

// The trace file, written once per run through the binlog library.
bool ensureTrace(QString *path)
{
    // CANWATCH_BENCH_TRACE names a file to write once and keep for later
    // runs (of the same frame count).
    const QString kept = QString::fromLocal8Bit(qgetenv("CANWATCH_BENCH_TRACE"));
    *path = kept.isEmpty() ? pathOf(QStringLiteral("bench-%1.blf").arg(frameCount())) : kept;
    if (QFileInfo::exists(*path))
        return true;
    QLibrary lib(QUserBlfFile::libraryPath());
    if (!lib.load())
        return false;
    using FnCreate = void *(*)(const char *, uint32_t);
    using FnOptions = int32_t (*)(void *, uint32_t, uint32_t);
    using FnWrite = int32_t (*)(void *, const void *);
    using FnClose = int32_t (*)(void *);
    auto create = reinterpret_cast<FnCreate>(lib.resolve("BLCreateFile"));
    auto options = reinterpret_cast<FnOptions>(lib.resolve("BLSetWriteOptions"));
    auto write = reinterpret_cast<FnWrite>(lib.resolve("BLWriteObject"));
    auto closeHandle = reinterpret_cast<FnClose>(lib.resolve("BLCloseHandle"));
    if (!create || !options || !write || !closeHandle)
        return false;
    void *h = create(QFile::encodeName(*path).constData(), 0x40000000u);
    if (h == reinterpret_cast<void *>(~uintptr_t(0)))
        return false;
    options(h, 6, 0);
    BlfCanMessage can;
    BlfCanFdMessage fd;
    std::memset(&can, 0, sizeof can);
    std::memset(&fd, 0, sizeof fd);
    auto header = [](BlfObjectHeader &hd, uint32_t size, uint32_t type) {
        std::memcpy(hd.signature, "LOBJ", 4);
        hd.headerSize = sizeof(BlfObjectHeader);
        hd.headerVersion = 1;
        hd.objectSize = size;
        hd.objectType = type;
        hd.objectFlags = 2; // time in ns
    };
    header(can.header, sizeof can, 1);
    header(fd.header, sizeof fd, 100);
    // Data bytes from a small generator: payloads compress about as real
    // traffic does, not like a repeated pattern.
    uint64_t seed = 0x9E3779B97F4A7C15ull;
    auto nextByte = [&seed]() {
        seed ^= seed << 13;
        seed ^= seed >> 7;
        seed ^= seed << 17;
        return uint8_t(seed >> 56);
    };
    bool ok = true;
    for (int64_t i = 0; i < frameCount() && ok; ++i) {
        const uint64_t ns = uint64_t(i) * 100000u; // ten frames a millisecond
        const uint8_t dir = i % 3 == 0 ? 1 : 0;
        if (i % 2 == 0) {
            can.header.timeStamp = ns;
            can.channel = uint16_t(1 + (i / 2) % 2);
            can.flags = dir;
            can.dlc = 8;
            can.id = uint32_t(0x100 + i % 1000);
            for (int k = 0; k < 8; ++k)
                can.data[k] = nextByte();
            ok = write(h, &can) == 1;
        } else {
            fd.header.timeStamp = ns;
            fd.channel = uint16_t(1 + (i / 2) % 2);
            fd.flags = dir;
            fd.dlc = 15;
            fd.id = uint32_t(0x18DA0000 + i % 1000) | 0x80000000u;
            fd.canFdFlags = 0x03; // EDL, BRS
            fd.validDataBytes = 64;
            for (int k = 0; k < 64; ++k)
                fd.data[k] = k < 8 ? nextByte() : uint8_t(k % 4 == 0 ? nextByte() : fd.data[k - 8]);
            ok = write(h, &fd) == 1;
        }
    }
    if (closeHandle(h) != 1)
        ok = false;
    return ok;
}

// Blocks on disk of the files, each inode once, per frame.
double diskPerFrame(const QStringList &files, int64_t frames)
{
    QVector<ino_t> seen;
    int64_t bytes = 0;
    for (const QString &f : files) {
        struct stat st;
        if (::stat(QFile::encodeName(f).constData(), &st) != 0 || seen.contains(st.st_ino))
            continue;
        seen.append(st.st_ino);
        bytes += int64_t(st.st_blocks) * 512;
    }
    return frames > 0 ? double(bytes) / double(frames) : 0;
}

// Seconds to write bytes to a new file at path in 1 MiB writes, and close it
// (no sync, as a cache is closed); the file is removed afterwards. -1 when
// the writes fail.
double diskWriteSeconds(const QString &path, int64_t bytes)
{
    std::vector<char> chunk(size_t(1) << 20, '0');
    QFile::remove(path);
    QElapsedTimer t;
    t.start();
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0)
        return -1;
    int64_t left = bytes;
    bool ok = true;
    while (left > 0 && ok) {
        const size_t n = size_t(std::min<int64_t>(left, int64_t(chunk.size())));
        ok = ::write(fd, chunk.data(), n) == ssize_t(n);
        left -= int64_t(n);
    }
    ok = ::close(fd) == 0 && ok;
    const double seconds = double(t.nsecsElapsed()) / 1e9;
    QFile::remove(path);
    return ok ? seconds : -1;
}

// The process's CPU time, seconds (every thread: the load's worker runs on
// the calling thread, the kernel's copying into the page cache counted as
// system time).
double processCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// The trace read alone (binary frames, no cache written): the part of the
// load that reading the file costs.
void BM_CanWatchTraceRead(benchmark::State &state)
{
    QString trace;
    if (!ensureTrace(&trace)) {
        state.SkipWithError("trace file not written (binlog library missing?)");
        return;
    }
    int64_t total = 0;
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        QUserTraceFile file;
        QUserCanMsgRaw frames[16];
        int n;
        int64_t got = 0;
        do {
            n = file.fileReadPartRaw(trace, frames, 16);
            got += n > 0 ? n : 0;
        } while (n >= 16);
        file.close();
        state.SetIterationTime(double(t.nsecsElapsed()) / 1e9);
        total += got;
    }
    state.counters["frames_per_s"] = benchmark::Counter(double(total), benchmark::Counter::kIsRate);
}

void BM_CanWatchLoad(benchmark::State &state)
{
    QString trace;
    QElapsedTimer gen;
    gen.start();
    if (!ensureTrace(&trace)) {
        state.SkipWithError("trace file not written (binlog library missing?)");
        return;
    }
    state.counters["write_trace_s"] = double(gen.elapsed()) / 1000.0;
    QUserCanWatchReq &req = request();
    QUserCanWatchWork::newCachePaths(&req.srcCachePath, &req.cachePath);
    req.srcCachePath = pathOf(QFileInfo(req.srcCachePath).fileName());
    req.cachePath = pathOf(QFileInfo(req.cachePath).fileName());
    req.path = trace;
    const QString writePath = pathOf(QStringLiteral("disk-write.dat"));
    const int64_t cacheBytes = int64_t(QFClassUserCanMsg::RecordSize) * (frameCount() + 1);
    std::vector<double> loads, writes, ratios, loadCpu, writeCpu;
    bool dropped = true;
    // The page cache dropped; the last load's caches removed first, so that
    // the load neither keeps them open nor frees their blocks on its time.
    auto clean = [&] {
        QFile::remove(req.srcCachePath);
        QFile::remove(req.cachePath);
        dropped = benchcold::pageCacheDrop(QStringList{trace}, kCacheFiles) && dropped;
    };
    int round = 0;
    for (auto _ : state) {
        double loadSeconds = 0, writeSeconds = 0, loadCpuSeconds = 0, writeCpuSeconds = 0;
        bool loaded = false;
        // Even rounds write first, odd ones load first.
        for (int step = 0; step < 2; ++step) {
            const bool load = (step == 0) == (round % 2 == 1);
            clean();
            const double cpu0 = processCpuSeconds();
            if (load) {
                QUserCanWatchWork work;
                QElapsedTimer t;
                t.start();
                work.traceLoad(&req);
                loadSeconds = double(t.nsecsElapsed()) / 1e9;
                loadCpuSeconds = processCpuSeconds() - cpu0;
                loaded = req.recordCount == frameCount();
            } else {
                writeSeconds = diskWriteSeconds(writePath, cacheBytes);
                writeCpuSeconds = processCpuSeconds() - cpu0;
            }
        }
        ++round;
        if (!loaded) {
            state.SkipWithError("record count differs");
            return;
        }
        if (writeSeconds < 0) {
            state.SkipWithError("disk write failed");
            return;
        }
        state.SetIterationTime(loadSeconds);
        loads.push_back(loadSeconds);
        writes.push_back(writeSeconds);
        ratios.push_back(loadSeconds / writeSeconds);
        loadCpu.push_back(loadCpuSeconds);
        writeCpu.push_back(writeCpuSeconds);
    }
    // Leaves the caches of the last load for the figures below, and a clean
    // state for them.
    benchcold::pageCacheDrop(QStringList{trace, req.srcCachePath, req.cachePath}, kCacheFiles);
    figures().loadSeconds = median(loads);
    figures().loadBest = *std::min_element(loads.begin(), loads.end());
    figures().loaded = req.recordCount;
    figures().traceFile = trace;
    state.counters["rounds"] = double(loads.size());
    state.counters["page_cache_dropped"] = dropped ? 1 : 0;
    state.counters["load_s_median"] = median(loads);
    state.counters["load_s_spread"] = spread(loads);
    state.counters["disk_write_s_median"] = median(writes);
    state.counters["disk_write_s_spread"] = spread(writes);
    state.counters["load_over_disk_write_median"] = median(ratios);
    state.counters["load_over_disk_write_min"] = *std::min_element(ratios.begin(), ratios.end());
    state.counters["load_over_disk_write_max"] = *std::max_element(ratios.begin(), ratios.end());
    state.counters["load_cpu_s_median"] = median(loadCpu);
    state.counters["disk_write_cpu_s_median"] = median(writeCpu);
    state.counters["frames"] = double(req.recordCount);
    state.counters["frames_per_s"] = double(req.recordCount) / median(loads);
    state.counters["trace_bytes_per_frame"] = double(QFileInfo(trace).size()) / double(req.recordCount);
    state.counters["cache_disk_bytes_per_frame"] =
        diskPerFrame({req.srcCachePath, req.cachePath}, req.recordCount);
}

// The viewer window's own table (its view settings, its model) over the
// loaded cache. A step moves the table to a random row anywhere in the
// file and rebuilds the window of rows from the file at once (the model's
// 100 ms throttle is taken out: every step rebuilds). Argument 1 also
// paints the table after each step.
void BM_CanWatchScroll(benchmark::State &state)
{
    QUserCanWatchReq &req = request();
    if (figures().loaded == 0) {
        state.SkipWithError("nothing loaded");
        return;
    }
    const bool paint = state.range(0) != 0;
    QUserMainWindowCANWatch window;
    window.resize(1200, 800);
    window.show();
    QApplication::processEvents();
    QUserTableModelCANWatch *model = window.uiCfg().tableModel;
    QUserTableView *view = window.uiCfg().tableView;
    model->cacheFileOpen(req.cachePath);
    model->windowRebuild();
    QApplication::processEvents();
    std::mt19937_64 rng(42);
    std::uniform_int_distribution<int> pick(0, model->cacheCount() - 1);
    for (auto _ : state) {
        view->rowScroll(pick(rng));
        model->windowRebuild();
        if (paint)
            view->viewport()->repaint();
    }
    state.counters["window_rows"] = model->rowCount();
    state.counters["rows"] = model->cacheCount();
    model->cacheFileClose();
}

void BM_CanWatchFilter(benchmark::State &state)
{
    QUserCanWatchReq &req = request();
    if (figures().loaded == 0) {
        state.SkipWithError("nothing loaded");
        return;
    }
    req.showTx = false;
    req.showRemote = true;
    req.idRangeEnable = true;
    req.startId = 0x100;
    req.stopId = 0x18DA01F3;
    QUserCanWatchWork work;
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        work.cacheFliter(&req);
        state.SetIterationTime(double(t.nsecsElapsed()) / 1e9);
    }
    state.counters["frames_in"] = double(figures().loaded);
    state.counters["frames_kept"] = double(req.recordCount);
    state.counters["frames_in_per_s"] = benchmark::Counter(double(figures().loaded), benchmark::Counter::kIsRate);
    state.counters["cache_disk_bytes_per_frame"] =
        diskPerFrame({req.srcCachePath, req.cachePath}, figures().loaded);
}

void BM_CanWatchSave(benchmark::State &state)
{
    QUserCanWatchReq &req = request();
    if (figures().loaded == 0) {
        state.SkipWithError("nothing loaded");
        return;
    }
    req.path = pathOf(QStringLiteral("saved.blf"));
    QUserCanWatchWork work;
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        work.cacheSave(&req);
        state.SetIterationTime(double(t.nsecsElapsed()) / 1e9);
    }
    state.counters["frames"] = double(req.recordCount);
    state.counters["frames_per_s"] = benchmark::Counter(double(req.recordCount), benchmark::Counter::kIsRate);
    QFile::remove(req.path);
}

// python-can's BLFReader over the same file; then the caches go.
void BM_CanWatchPythonCanRead(benchmark::State &state)
{
    const QString trace = figures().traceFile;
    if (trace.isEmpty()) {
        state.SkipWithError("no trace file");
        return;
    }
    QJsonObject result;
    for (auto _ : state) {
        state.PauseTiming();
        benchcold::pageCacheDrop(QStringList{trace}, kCacheFiles);
        state.ResumeTiming();
        QProcess p;
        p.start(QStringLiteral("/usr/bin/python3"),
                {QStringLiteral(ORVANE_BENCH_TRAFFIC_DIR "/canwatch_pycan_bench.py"), trace});
        if (!p.waitForFinished(60 * 60 * 1000) || p.exitCode() != 0) {
            state.SkipWithError("python-can run failed (python3-can installed?)");
            return;
        }
        const QList<QByteArray> lines = p.readAllStandardOutput().trimmed().split('\n');
        result = QJsonDocument::fromJson(lines.last()).object();
        state.SetIterationTime(result.value("seconds").toDouble());
    }
    const double pySeconds = result.value("seconds").toDouble();
    state.counters["pycan_frames"] = result.value("frames").toDouble();
    state.counters["pycan_frames_per_s"] = result.value("frames_per_s").toDouble();
    state.counters["our_load_s_median"] = figures().loadSeconds;
    state.counters["our_load_s_best"] = figures().loadBest;
    state.counters["pycan_read_s"] = pySeconds;
    state.counters["speedup_median"] = figures().loadSeconds > 0 ? pySeconds / figures().loadSeconds : 0;
    state.counters["speedup_best"] = figures().loadBest > 0 ? pySeconds / figures().loadBest : 0;
    if (result.value("frames").toDouble() != double(figures().loaded))
        state.SkipWithError("python-can read a different number of frames");
    QUserCanWatchReq &req = request();
    QFile::remove(req.srcCachePath);
    QFile::remove(req.cachePath);
}

} // namespace

BENCHMARK(BM_CanWatchTraceRead)->Iterations(1)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_CanWatchLoad)->Iterations(5)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_CanWatchScroll)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CanWatchFilter)->Iterations(1)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_CanWatchSave)->Iterations(1)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_CanWatchPythonCanRead)->Iterations(1)->Unit(benchmark::kMillisecond)->UseManualTime();

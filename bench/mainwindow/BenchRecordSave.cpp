// Trace-file figures of the main window:
//  - real-time recording at the bus limit: 8 simulated CAN FD channels
//    (16-byte frames, about 170,000 frames a second in all) recording into
//    8 files, ASC or BLF, or not recording, with the batches arriving from
//    the driver thread through the queued connections as in the program;
//    "gui_share_pct_at_170k" is the GUI thread's own CPU time (user and
//    system) over the run as a share of the run's wall time: the receive
//    slot, event delivery, the event loop's waits and wake-ups, the
//    throttled repaints, everything the GUI thread spends;
//  - the receive slot alone, called directly in a loop: the recorders'
//    time per frame (the registry's recordWrite, as the receive road calls
//    it) and the whole slot with and without recording; "slot_only_pct_at_170k"
//    is that time for 170,000 frames as a share of one second, without
//    event delivery and the loop's own work (a lower bound of the figure
//    above, kept to compare);
//  - saving a data tab of 1,000,000 frames (the list view, classic 8-byte
//    frames), ASC and BLF: the frames taken from the tab, the file written
//    and closed.
//
//   cmake --build build -j4 --target bench_mainwindow
//   QT_QPA_PLATFORM=offscreen ./build/bin/bench_mainwindow --benchmark_filter='Record|Save'

#include <benchmark/benchmark.h>

#include "bench/mainwindow/BenchBusLimit.h"
#include "core/QUserSysCfg.h"
#include "devices/QUserDevice.h"
#include "devices/QUserDeviceAdapter.h"
#include "mainwindow/MainWindow.h"
#include "mainwindow/QUserTableModelCan.h"
#include "mainwindow/QUserTraceSave.h"
#include "mainwindow/QUserWindowSrv.h"
#include "traffic/QUserRecord.h"
#include "traffic/QUserRecordWriter.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <time.h>
#include <vector>

#ifdef ORVANE_HAVE_SIMKEMUSB
#include "tests/devices/SimHarness.h"
#endif

namespace {

constexpr double kBusFramesPerSecond = 170000.0;
constexpr int kChannels = 8;

double cpuNow()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

struct SaveHome
{
    QTemporaryDir dir;
    SaveHome()
    {
        QDir::setCurrent(dir.path());
        QDir().mkpath("setting");
        QUserSysCfg::instance()->reload();
        QUserSysCfg::instance()->setInt("msgCacheSize", 1000000);
        QUserSysCfg::instance()->setString("idMergEnable", "OFF");
        QUserSysCfg::instance()->setString("language", "ZH");
    }
};

// Eight channels without an adapter.
class EightChannelDevice : public QUserDevice
{
public:
    int open(QStringList &devIds) override
    {
        for (int i = 0; i < kChannels; ++i)
            devIds << QStringLiteral("USBCANFD2-0-%1").arg(i);
        return 0;
    }
    int close(const QString &) override { return 0; }
    int sendMsg(const QString &, QUserCanMsg &) override { return 1; }
    int sendMsgList(const QString &, QVector<QUserCanMsg> msgs) override { return msgs.size(); }
    int devInfoGet(const QString &, QUserDevChState *) override { return 0; }
};

// Batches of 32 CAN FD frames with 16 data bytes, as a driver thread hands
// them over near the bus limit; data that changes from frame to frame.
std::vector<QVector<QUserCanMsg>> fdBatches(int count, int len)
{
    std::vector<QVector<QUserCanMsg>> out;
    uint32_t seq = 0;
    for (int b = 0; b < count; ++b) {
        QVector<QUserCanMsg> batch;
        for (int i = 0; i < 32; ++i, ++seq) {
            QUserCanMsg m;
            m.idText = idToText(0x100 + seq % 64);
            uint8_t data[64];
            for (int k = 0; k < len; ++k)
                data[k] = uint8_t(seq * 31 + uint32_t(k));
            m.dataText = bytesToHex(data, len);
            m.lenText = QString::number(len);
            m.protocol = len > 8 ? 2 : 0;
            m.fdFlags = len > 8 ? 0x18 : 0;
            m.channel = uint8_t(seq % kChannels);
            m.devTime = uint64_t(seq) * 100;
            m.hostTime = getCurrentMs();
            batch.append(m);
        }
        out.push_back(batch);
    }
    return out;
}

const char *suffixOf(int format)
{
    return format == 0 ? ".asc" : ".blf";
}

// mode 0: the recorders alone (recordWrite for every frame, as the receive
// road calls it); mode 1: the whole receive road with recording on;
// mode 2: the receive road with recording off, for comparison.
void BM_Recording8Channels(benchmark::State &state)
{
    const int format = int(state.range(0));
    const int mode = int(state.range(1));
    SaveHome home;
    MainWindow w;
    QUserDeviceAdapter *reg = w.devAdapterGet();
    reg->deviceReplace("USBCANFD2", new EightChannelDevice);
    if (!w.devOpen("USBCANFD2")) {
        state.SkipWithError("open failed");
        return;
    }
    QStringList ids;
    for (int i = 0; i < kChannels; ++i)
        ids << QStringLiteral("USBCANFD2-0-%1").arg(i);
    if (mode != 2) {
        for (const QString &id : ids) {
            if (!reg->recordStart(id, QDir::current().absoluteFilePath(id + QLatin1String(suffixOf(format))))) {
                state.SkipWithError("record start failed");
                return;
            }
        }
    }
    const std::vector<QVector<QUserCanMsg>> batches = fdBatches(256, 16);
    size_t k = 0;
    int64_t frames = 0;
    int n = 0;
    const double cpu0 = cpuNow();
    for (auto _ : state) {
        const QVector<QUserCanMsg> &b = batches[k % batches.size()];
        const QString &id = ids.at(int(k % kChannels));
        ++k;
        if (mode == 0) {
            for (const QUserCanMsg &m : b)
                reg->recordWrite(id, m);
        } else {
            w.soltDevRec(id, b);
            if (++n % 20 == 0)
                QApplication::processEvents();
        }
        frames += b.size();
        // Faster than any bus: the writers are given time to keep below the
        // recorders' bound, past which a recording stops (sleeping costs the
        // GUI thread no time of its own).
        if (mode != 2 && k % 64 == 0 && QUserRecordWriter::pendingAll() > QUserRecord::kMaxPending / 2)
            while (QUserRecordWriter::pendingAll() > QUserRecord::kMaxPending / 4)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const double cpuNs = frames ? (cpuNow() - cpu0) * 1e9 / double(frames) : 0;
    for (const QString &id : ids) {
        if (mode != 2 && !reg->recordIsStart(id))
            state.SkipWithError("a recording stopped");
        reg->recordStop(id);
    }
    QUserRecordWriter::waitAllEnded(std::chrono::minutes(10));
    state.SetItemsProcessed(frames);
    state.counters["cpu_ns_per_frame"] = cpuNs;
    state.counters["slot_only_pct_at_170k"] = cpuNs * kBusFramesPerSecond / 1e9 * 100.0;
}
BENCHMARK(BM_Recording8Channels)
    ->ArgNames({"blf", "mode"})
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({0, 1})
    ->Args({1, 1})
    ->Args({0, 2})
    ->Unit(benchmark::kMicrosecond)
    ->MinTime(2.0);

#ifdef ORVANE_HAVE_SIMKEMUSB
// Recording at the bus limit as the program meets it: 8 simulated CAN FD
// channels, each about 21,000 16-byte frames a second (170,000 in all),
// delivered by the driver thread in batches through the queued connections
// into the main window's 8 data tabs, for three seconds of the GUI thread's
// own event loop. rec: 0 no recording, 1 ASC, 2 BLF; merge: the merged view
// (the program's default) or the list; full: every tab at its bound of
// 1,000,000 frames before the run (each frame evicts the oldest, as after
// the first minute of a long recording), else the tabs start empty.
// "gui_share_pct_at_170k" is the GUI thread's CPU time (user + system)
// over the run against the run's wall time; "frames_per_s" tells the rate
// the simulated buses really reached, "behind_frames" what was sent but not
// yet shown when the run ended (the GUI thread falling behind).
void BM_RecordingBusLimit8Ch(benchmark::State &state)
{
    const int rec = int(state.range(0));
    SaveHome home;
    QUserSysCfg::instance()->setString("idMergEnable", state.range(1) != 0 ? "ON" : "OFF");
    sim::environment(sim::kTopology);
    sim::Controls ctl;
    if (!ctl.ok()) {
        state.SkipWithError("simulated adapters not available (configure the tests)");
        return;
    }
    std::unique_ptr<MainWindow> w(new MainWindow);
    QUserDeviceAdapter *reg = w->devAdapterGet();
    reg->deviceReplace("TRNB702", new bench::BenchFdDevice("TRNB702"));
    if (!w->devOpen("TRNB702") || w->tabSrvGet().count() != 9) {
        state.SkipWithError("open failed");
        return;
    }
    QStringList ids;
    for (int c = 0; c < kChannels; ++c)
        ids << QStringLiteral("TRNB702-0-%1").arg(c);
    if (state.range(2) != 0) {
        std::vector<QVector<QUserCanMsg>> fill = fdBatches(1, 16);
        for (const QString &id : ids) {
            QUserWindowTabData *d = w->tabSrvGet().find(id);
            while (d->model->listCount() < 1000000)
                w->soltDevRec(id, fill.front());
            d->cntClr();
        }
        QApplication::processEvents();
    }
    if (rec != 0) {
        for (const QString &id : ids) {
            if (!reg->recordStart(id, QDir::current().absoluteFilePath(id + QLatin1String(suffixOf(rec - 1))))) {
                state.SkipWithError("record start failed");
                return;
            }
        }
    }
    // Batches as the registry relays them to the window (counted where the
    // registry emits, on the GUI thread: a few nanoseconds a batch).
    QObject counter;
    uint64_t batches = 0;
    auto count = [&batches](QString, QVector<QUserCanMsg>) { ++batches; };
    QObject::connect(reg, &QUserDeviceAdapter::receiveMsg, &counter, count, Qt::DirectConnection);
    auto shownNow = [&]() -> uint64_t {
        uint64_t n = 0;
        for (const QString &id : ids)
            if (QUserWindowTabData *d = w->tabSrvGet().find(id))
                n += d->rxCntGet();
        return n;
    };
    for (int c = 0; c < kChannels; ++c)
        ctl.peer("FAR", c, "DUT", c);
    // The window settles first (shown, faded in, first paints).
    {
        QElapsedTimer settle;
        settle.start();
        while (settle.elapsed() < 1500)
            QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    const int ms =
        qEnvironmentVariableIsSet("ORVANE_BENCH_RUN_MS") ? qEnvironmentVariableIntValue("ORVANE_BENCH_RUN_MS") : 3000;
    for (auto _ : state) {
        std::atomic<bool> done{false};
        std::atomic<uint64_t> sent{0};
        const uint64_t shown0 = shownNow();
        const uint64_t batches0 = batches;
        const uint64_t events0 = bench::guiEventsDelivered();
        const bench::ThreadUsage use0 = bench::ThreadUsage::now();
        const auto start = std::chrono::steady_clock::now();
        std::thread injector([&] { bench::busLimitInject(ctl.send, 21, ms, start, sent, done); });
        QEventLoop loop;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            if (done)
                loop.quit();
        });
        poll.start(10);
        loop.exec();
        const bench::ThreadUsage use = bench::ThreadUsage::now().since(use0);
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const uint64_t shown = shownNow() - shown0;
        const uint64_t nBatches = batches - batches0;
        const uint64_t events = bench::guiEventsDelivered() - events0;
        injector.join();
        state.SetIterationTime(wall);
        state.counters["gui_share_pct_at_170k"] = 100.0 * use.cpuSeconds() / wall;
        state.counters["gui_user_pct"] = 100.0 * use.userSeconds / wall;
        state.counters["gui_sys_pct"] = 100.0 * use.sysSeconds / wall;
        state.counters["gui_ctx_switches_per_s"] = double(use.voluntarySwitches + use.involuntarySwitches) / wall;
        state.counters["gui_involuntary_per_s"] = double(use.involuntarySwitches) / wall;
        state.counters["frames_per_s"] = double(sent) / wall;
        state.counters["batches_per_s"] = double(nBatches) / wall;
        state.counters["gui_events_per_s"] = double(events) / wall;
        state.counters["gui_cpu_us_per_batch"] = nBatches ? use.cpuSeconds() * 1e6 / double(nBatches) : 0;
        state.counters["behind_frames"] = double(sent - std::min<uint64_t>(sent, shown));
    }
    // The frames still on their way, before the recorders close.
    QElapsedTimer tail;
    tail.start();
    while (tail.elapsed() < 1000)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    for (const QString &id : ids)
        reg->recordStop(id);
    // The stop hands each file to its writer to finish: the next run starts
    // on an idle disk.
    QUserRecordWriter::waitAllEnded(std::chrono::minutes(10));
    w.reset();
}
BENCHMARK(BM_RecordingBusLimit8Ch)
    ->ArgNames({"rec", "merge", "full"})
    ->Args({1, 0, 0})
    ->Args({2, 0, 0})
    ->Args({0, 0, 0})
    ->Args({1, 0, 1})
    ->Args({2, 0, 1})
    ->Args({0, 0, 1})
    ->Args({2, 1, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);
#endif

// The save of a 1,000,000-frame tab as the save action runs it: the tab's
// frames taken (msgListGet), the file created, written on the worker thread
// while the GUI thread waits in its loop, and closed.
void BM_SaveTab1M(benchmark::State &state)
{
    const int format = int(state.range(0));
    const int len = int(state.range(1));
    SaveHome home;
    QUserTableModelCan model;
    const std::vector<QVector<QUserCanMsg>> batches = fdBatches(512, len);
    size_t k = 0;
    while (model.listCount() < 1000000) {
        model.appendBegin();
        for (const QUserCanMsg &m : batches[k++ % batches.size()])
            model.msgAppend(m);
        model.appendEnd();
    }
    const QString name = QDir::current().absoluteFilePath(QStringLiteral("tab") + QLatin1String(suffixOf(format)));
    double takeMs = 0;
    int runs = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        QVector<QUserCanMsg> frames;
        model.msgListGet(frames);
        takeMs += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
        QUserTraceSave saver;
        if (saver.save(name, frames) != QUserTraceSave::Saved || saver.writtenCount() != 1000000) {
            state.SkipWithError("save failed");
            return;
        }
        ++runs;
    }
    state.SetItemsProcessed(int64_t(runs) * 1000000);
    state.counters["take_ms"] = runs ? takeMs / runs : 0;
    state.counters["file_MB"] = double(QFile(name).size()) / 1e6;
}
BENCHMARK(BM_SaveTab1M)
    ->ArgNames({"blf", "len"})
    ->Args({0, 8})
    ->Args({1, 8})
    ->Args({0, 16})
    ->Args({1, 16})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

} // namespace

// Trace-file figures of the main window:
//  - real-time recording: the GUI thread's time per frame that the
//    recorders take (the registry's recordWrite, as the receive road calls
//    it) with 8 channels recording into 8 files, ASC and BLF, and the whole
//    receive road with and without recording; the counter
//    "gui_share_pct_at_170k" is that time for 170,000 frames a second (8
//    CAN FD channels with 16-byte frames near the bus limit) as a share of
//    one second;
//  - saving a data tab of 1,000,000 frames (the list view, classic 8-byte
//    frames), ASC and BLF: the frames taken from the tab, the file written
//    and closed.
//
//   cmake --build build -j3 --target bench_mainwindow
//   QT_QPA_PLATFORM=offscreen ./build/bin/bench_mainwindow --benchmark_filter='Record|Save'

#include <benchmark/benchmark.h>

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
#include <QFile>
#include <QTemporaryDir>

#include <chrono>
#include <thread>
#include <time.h>
#include <vector>

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
    state.counters["gui_share_pct_at_170k"] = cpuNs * kBusFramesPerSecond / 1e9 * 100.0;
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

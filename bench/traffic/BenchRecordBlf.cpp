// BLF recordings made through the recorder's own write and flush path
// (QUserRecord, a flush every 100 frames and at most once a second), beside
// python-can's BLF of the same frames, in one run:
//  - size: our files against python-can's BLFWriter (its defaults) given the
//    frames python-can read from ours (which also checks that python-can
//    reads every frame);
//  - reads: our reader (the batched binary read of playback and the
//    viewer) and python-can's BLFReader, each on our files and on
//    python-can's.
// Loads: "full", 8 channels at the bus limit (170,000 frames a second in
// all, CAN FD with 16 bytes and bit-rate switch, the receive road's
// benchmark load), 5 s of traffic; "light", one channel at 1,000 frames a
// second, 120 s of traffic. Data "road": the receive road's benchmark
// frames (data bytes seq * 31 + k, 64 identifiers in turn); "periodic": 64
// identifiers in turn, each with its own fixed bytes, a counter and a
// slowly changing 16-bit value, as bus traffic of periodic messages looks.
//
//   cmake --build build -j3 --target bench_traffic
//   ./build/bin/bench_traffic --benchmark_filter=RecordBlf

#include "traffic/QUserRecord.h"
#include "traffic/QUserRecordWriter.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

namespace {

struct Load {
    int channels;
    double framesPerSecond;
    double seconds;
    bool periodic;
};

// Frames as the driver threads hand them over: batches of 32 of one channel.
std::vector<QUserCanMsg> framesOf(const Load &load)
{
    std::vector<QUserCanMsg> out;
    const int total = int(load.framesPerSecond * load.seconds);
    out.reserve(size_t(total));
    const qint64 t0 = 1700000000000;
    for (int seq = 0; seq < total; ++seq) {
        QUserCanMsg m;
        const int batch = seq / 32;
        m.idText = idToText(uint32_t(0x100 + seq % 64));
        uint8_t data[16];
        if (load.periodic) {
            const int id = seq % 64;
            const int sent = seq / 64;
            for (int k = 0; k < 16; ++k)
                data[k] = uint8_t((id * 2654435761u + uint32_t(k) * 40503u) >> 13);
            const double t = double(seq) / load.framesPerSecond;
            const int v = 1000 + int(500.0 * std::sin(t / 5.0 + id));
            data[0] = uint8_t(sent);
            data[1] = uint8_t(v);
            data[2] = uint8_t(v >> 8);
        } else {
            for (int k = 0; k < 16; ++k)
                data[k] = uint8_t(uint32_t(seq) * 31 + uint32_t(k));
        }
        m.dataText = bytesToHex(data, 16);
        m.lenText = QStringLiteral("16");
        m.protocol = 2;
        m.fdFlags = 0x18;
        m.channel = uint8_t(batch % load.channels);
        m.hostTime = t0 + qint64(double(seq) * 1000.0 / load.framesPerSecond);
        out.push_back(m);
    }
    return out;
}

int64_t readAll(const QString &path, double &seconds)
{
    const auto t0 = std::chrono::steady_clock::now();
    QUserTraceFile file;
    QUserCanMsgRaw raw[16];
    int64_t got = 0;
    int n;
    do {
        n = file.fileReadPartRaw(path, raw, 16);
        got += n > 0 ? n : 0;
    } while (n >= 16);
    file.close();
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    return got;
}

void BM_RecordBlf(benchmark::State &state)
{
    const bool full = state.range(0) == 0;
    const bool periodic = state.range(1) != 0;
    const Load load = full ? Load{8, 170000.0, 5.0, periodic} : Load{1, 1000.0, 120.0, periodic};
    const std::vector<QUserCanMsg> frames = framesOf(load);
    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("pycan"));
    QStringList paths;
    for (int c = 0; c < load.channels; ++c)
        paths << QDir(dir.path()).filePath(QStringLiteral("rec-%1.blf").arg(c));
    QJsonObject py;
    double oursOnOurs = 0, oursOnPycan = 0;
    int64_t readOurs = 0, readPycan = 0;
    for (auto _ : state) {
        {
            std::vector<std::unique_ptr<QUserRecord>> recs;
            for (int c = 0; c < load.channels; ++c) {
                recs.emplace_back(new QUserRecord(QStringLiteral("USBCANFD2-0-%1").arg(c)));
                if (!recs.back()->recordStart(paths.at(c))) {
                    state.SkipWithError("record start failed");
                    return;
                }
            }
            size_t k = 0;
            for (const QUserCanMsg &m : frames) {
                // Faster than any bus: the writers are given time to keep
                // below the recorders' bound, past which a recording stops.
                if (++k % 1024 == 0 && QUserRecordWriter::pendingAll() > QUserRecord::kMaxPending / 2)
                    while (QUserRecordWriter::pendingAll() > QUserRecord::kMaxPending / 4)
                        std::this_thread::sleep_for(std::chrono::milliseconds(1));
                recs[m.channel]->recordWrite(QString(), m);
            }
            for (auto &r : recs) {
                if (!r->isRecording()) {
                    state.SkipWithError("a recording stopped");
                    return;
                }
                r->recordStop();
            }
        }
        // The writers close the files after the stop.
        QUserRecordWriter::waitAllEnded(std::chrono::minutes(10));
        QProcess p;
        p.start(QStringLiteral("/usr/bin/python3"),
                QStringList{QStringLiteral(ORVANE_BENCH_TRAFFIC_DIR "/record_pycan_bench.py"),
                            QDir(dir.path()).filePath(QStringLiteral("pycan"))}
                    + paths);
        if (!p.waitForFinished(30 * 60 * 1000) || p.exitCode() != 0) {
            state.SkipWithError("python-can run failed (python3-can installed?)");
            return;
        }
        py = QJsonDocument::fromJson(p.readAllStandardOutput().trimmed().split('\n').last()).object();
        for (const QString &path : paths) {
            readOurs += readAll(path, oursOnOurs);
            readPycan += readAll(QDir(dir.path()).filePath(QStringLiteral("pycan/") + QFileInfo(path).fileName()),
                                 oursOnPycan);
        }
    }
    const double n = double(frames.size());
    if (py.value("frames").toDouble() != n || py.value("own_frames").toDouble() != n || readOurs != int64_t(n)
        || readPycan != int64_t(n)) {
        state.SkipWithError("a reader read a different number of frames");
        return;
    }
    const double ours = py.value("ours_bytes").toDouble(), theirs = py.value("pycan_bytes").toDouble();
    state.counters["frames"] = n;
    state.counters["ours_MB"] = ours / 1e6;
    state.counters["pycan_MB"] = theirs / 1e6;
    state.counters["size_x_pycan"] = ours / theirs;
    const double ourFps = n / oursOnOurs, ourFpsTheirs = n / oursOnPycan;
    const double pyFps = n / py.value("read_ours_s").toDouble(), pyFpsOwn = n / py.value("read_own_s").toDouble();
    state.counters["read_ours_fps"] = ourFps;
    state.counters["pycan_read_ours_fps"] = pyFps;
    state.counters["read_ours_x_pycan"] = ourFps / pyFps;
    state.counters["read_pycans_fps"] = ourFpsTheirs;
    state.counters["pycan_read_own_fps"] = pyFpsOwn;
    state.counters["read_pycans_x_pycan"] = ourFpsTheirs / pyFpsOwn;
}
BENCHMARK(BM_RecordBlf)
    ->ArgNames({"light", "periodic"})
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({0, 1})
    ->Args({1, 1})
    ->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

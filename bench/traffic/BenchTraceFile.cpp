// Trace files: write and read 1,000,000 frames (half classic with 8 bytes,
// half CAN FD with 64 bytes and bit-rate switch) as ASC and as BLF at the
// default compression, the way recording and playback use them. A last
// benchmark runs python-can on the same files in the same run and reports
// its frames per second beside ours.

#include "traffic/QUserTraceFile.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

namespace {

constexpr int kFrames = 1000000;

QTemporaryDir &workDir()
{
    static QTemporaryDir dir;
    return dir;
}

QString pathOf(const char *name) { return QDir(workDir().path()).filePath(QString::fromLatin1(name)); }

std::vector<QUserCanMsg> &templates()
{
    static std::vector<QUserCanMsg> t = [] {
        std::vector<QUserCanMsg> v;
        for (int i = 0; i < 1000; ++i) {
            QUserCanMsg m;
            const bool fd = i % 2;
            m.idText = QString::asprintf("%08X ", fd ? 0x18DA0000 + i : 0x100 + i);
            m.extended = fd ? 1 : 0;
            m.protocol = fd ? 2 : 0;
            m.lenText = fd ? QStringLiteral("64") : QStringLiteral("8");
            QString data;
            for (int k = 0; k < (fd ? 64 : 8); ++k)
                data += QString::asprintf("%02X", (i * 7 + k) & 0xFF);
            m.dataText = data;
            m.direction = uint8_t(i % 3 == 0);
            m.channel = uint8_t(i % 2);
            v.push_back(m);
        }
        return v;
    }();
    return t;
}

void writeFrames(benchmark::State &state, const char *name)
{
    auto &t = templates();
    for (auto _ : state) {
        QUserTraceFile file;
        if (!file.fileCreate(pathOf(name))) {
            state.SkipWithError("create failed");
            return;
        }
        const qint64 t0 = 1700000000000;
        for (int i = 0; i < kFrames; ++i) {
            QUserCanMsg &m = t[size_t(i % 1000)];
            m.hostTime = t0 + i / 10; // ten frames a millisecond
            if (!file.write(m)) {
                state.SkipWithError("write failed");
                return;
            }
        }
        file.close();
    }
    state.SetItemsProcessed(state.iterations() * kFrames);
    state.counters["frames_per_s"] = benchmark::Counter(double(state.iterations()) * kFrames, benchmark::Counter::kIsRate);
}

void readFrames(benchmark::State &state, const char *name)
{
    int64_t total = 0;
    for (auto _ : state) {
        QUserTraceFile file;
        QList<QUserCanMsg> batch;
        int n;
        int64_t got = 0;
        do {
            batch.clear();
            n = file.fileReadPart(pathOf(name), batch, 16);
            got += n > 0 ? n : 0;
        } while (n >= 16);
        file.close();
        if (got != kFrames) {
            state.SkipWithError("frame count differs");
            return;
        }
        total += got;
    }
    state.SetItemsProcessed(total);
    state.counters["frames_per_s"] = benchmark::Counter(double(total), benchmark::Counter::kIsRate);
}

void BM_AscWrite(benchmark::State &state) { writeFrames(state, "bench.asc"); }
void BM_AscRead(benchmark::State &state) { readFrames(state, "bench.asc"); }
void BM_BlfWrite(benchmark::State &state) { writeFrames(state, "bench.blf"); }
void BM_BlfRead(benchmark::State &state) { readFrames(state, "bench.blf"); }

// python-can on the files written above: reads them, writes the same frames.
void BM_PythonCan(benchmark::State &state)
{
    QJsonObject result;
    for (auto _ : state) {
        QProcess p;
        p.start(QStringLiteral("/usr/bin/python3"),
                {QStringLiteral(ORVANE_BENCH_TRAFFIC_DIR "/traffic_pycan_bench.py"), pathOf("bench.asc"), pathOf("bench.blf")});
        if (!p.waitForFinished(30 * 60 * 1000) || p.exitCode() != 0) {
            state.SkipWithError("python-can run failed (python3-can installed?)");
            return;
        }
        const QList<QByteArray> lines = p.readAllStandardOutput().trimmed().split('\n');
        result = QJsonDocument::fromJson(lines.last()).object();
    }
    for (const char *k : {"asc_write", "asc_read", "blf_write", "blf_read"})
        state.counters[std::string("pycan_") + k + "_frames_per_s"] = result.value(QLatin1String(k)).toDouble();
    if (result.value("asc_frames").toInt() != kFrames || result.value("blf_frames").toInt() != kFrames)
        state.SkipWithError("python-can read a different number of frames");
}

} // namespace

BENCHMARK(BM_AscWrite)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_AscRead)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BlfWrite)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BlfRead)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PythonCan)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char **argv)
{
    // The BLF library is found next to the program; the playback figures
    // open an adapter through its (offscreen) settings dialog.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

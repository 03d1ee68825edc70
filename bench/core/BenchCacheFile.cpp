// Cache files: records written per second, and random reads per second on a
// file of 1,000,000 records.

#include "core/QFClassUserCanMsg.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>

#include <random>
#include <vector>

#include <unistd.h>

namespace {

const uint32_t kRecords = 1000000;

std::vector<QUserCanMsg> sampleFrames()
{
    std::vector<QUserCanMsg> v(16);
    for (size_t i = 0; i < v.size(); ++i) {
        QUserCanMsg &m = v[i];
        m.idText = QString::asprintf("%08X ", unsigned(0x100 + i));
        const bool fd = i % 4 == 3;
        m.protocol = fd ? 2 : 0;
        const int len = fd ? 64 : 8;
        m.lenText = QString::number(len);
        QString data;
        for (int b = 0; b < len; ++b)
            data += QString::asprintf("%02X", (b * 7 + int(i)) & 0xFF);
        m.dataText = data;
        m.channel = uint8_t(i % 2);
        m.devTime = 1000000 + i * 137;
        m.hostTime = 1700000000000 + int64_t(i);
    }
    return v;
}

QString benchPath(const char *name)
{
    return QDir::temp().filePath(QStringLiteral("orvane-bench-%1-%2.cache").arg(name).arg(getpid()));
}

void writeFile(const QString &path, uint32_t count, const std::vector<QUserCanMsg> &frames)
{
    QFClassUserCanMsg f;
    f.open(false, path);
    for (uint32_t i = 0; i < count; ++i)
        f.appendMsg(frames[i & 15]);
    f.close();
}

} // namespace

// One iteration writes a whole file of 1,000,000 records.
static void BM_CacheWrite(benchmark::State &state)
{
    const auto frames = sampleFrames();
    const QString path = benchPath("write");
    for (auto _ : state)
        writeFile(path, kRecords, frames);
    state.SetItemsProcessed(int64_t(state.iterations()) * kRecords);
    QFile::remove(path);
}
BENCHMARK(BM_CacheWrite)->Unit(benchmark::kMillisecond)->Iterations(3);

static void BM_CacheRandomRead(benchmark::State &state)
{
    const QString path = benchPath("read");
    writeFile(path, kRecords, sampleFrames());
    QFClassUserCanMsg f;
    f.open(true, path);
    if (f.getMsgCount() != kRecords) {
        state.SkipWithError("cache file not written");
        return;
    }
    QUserCanMsg m;
    // Arg 1: every record read once before timing, so each page of the file
    // has been touched (steady state of a viewer stepping through a cache).
    // Arg 0: cold, the first touch of most pages falls inside the timing.
    if (state.range(0) == 1)
        for (uint32_t i = 0; i < kRecords; ++i)
            f.readMsg(i, &m);
    std::mt19937 rng(42);
    std::uniform_int_distribution<uint32_t> pick(0, kRecords - 1);
    for (auto _ : state) {
        if (!f.readMsg(pick(rng), &m))
            state.SkipWithError("read failed");
        benchmark::DoNotOptimize(m);
    }
    state.SetItemsProcessed(state.iterations());
    f.close();
    QFile::remove(path);
}
BENCHMARK(BM_CacheRandomRead)->Arg(0)->Arg(1);

static void BM_CacheSequentialRead(benchmark::State &state)
{
    const QString path = benchPath("seq");
    writeFile(path, kRecords, sampleFrames());
    QFClassUserCanMsg f;
    f.open(true, path);
    f.getMsgCount();
    QUserCanMsg m;
    uint32_t i = 0;
    for (auto _ : state) {
        f.readMsg(i, &m);
        benchmark::DoNotOptimize(m);
        if (++i == kRecords)
            i = 0;
    }
    state.SetItemsProcessed(state.iterations());
    f.close();
    QFile::remove(path);
}
BENCHMARK(BM_CacheSequentialRead);

// The bit-timing searches run synchronously on the GUI thread when the user
// presses "计算": how long one press takes, worst cases included.

#include "devtools/QUserBtrBaudSearch.h"
#include "devtools/QUserFd2Settings.h"
#include "devtools/QUserFdBaudSearch.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QTemporaryDir>

// args: phase, clock MHz, target kbit/s, maxErr, minSample
static void BM_FdSearch(benchmark::State &state)
{
    const int phase = int(state.range(0)), clock = int(state.range(1)), kbps = int(state.range(2));
    const int err = int(state.range(3)), sp = int(state.range(4));
    QVector<FdBaudParam> v;
    for (auto _ : state) {
        v.clear();
        benchmark::DoNotOptimize(calcFdBaudParam(phase, clock * 1000, kbps * 1000, 0, err, sp, v));
    }
    state.counters["hits"] = double(v.size());
}
BENCHMARK(BM_FdSearch)
    ->Args({0, 60, 1000, 1, 70})     // the dialog's defaults, arbitration
    ->Args({1, 60, 5000, 1, 70})     // the dialog's defaults, data
    ->Args({1, 200, 1000, 10, 50})   // widest data search: most prescalers, loose bounds
    ->Args({1, 80, 10, 10, 50})
    ->Unit(benchmark::kMicrosecond);

static void BM_BtrSearch(benchmark::State &state)
{
    QVector<BtrBaudParam> v;
    for (auto _ : state) {
        v.clear();
        benchmark::DoNotOptimize(calcBtrBaudParam(16000000, int(state.range(0)) * 1000, 10, 50, v));
    }
    state.counters["hits"] = double(v.size());
}
BENCHMARK(BM_BtrSearch)->Arg(1000)->Arg(250)->Arg(5)->Unit(benchmark::kMicrosecond);

// Settings file with n rule lines: load as the dialog does on every open.
static void BM_FdSettingsLoad(benchmark::State &state)
{
    qSetMessagePattern("%{if-critical}%{message}%{endif}"); // keep the log lines off the output
    QTemporaryDir dir;
    const QString old = QDir::currentPath();
    QDir::setCurrent(dir.path());
    QUserFd2Settings s;
    s.modelDefaultsSet("TRNB702");
    for (int i = 0; i < state.range(0); ++i) {
        QUserFliterRule r;
        r.extended = i & 1;
        r.startId = uint32_t(i);
        r.endId = uint32_t(i + 10);
        s.rules.append(r);
    }
    s.cfgFileSave();
    for (auto _ : state) {
        QUserFd2Settings t;
        t.modelDefaultsSet("TRNB702");
        benchmark::DoNotOptimize(t.cfgFileLoad());
    }
    QDir::setCurrent(old);
}
BENCHMARK(BM_FdSettingsLoad)->Arg(0)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();

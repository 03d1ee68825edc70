// Receive-filter test per frame: the GUI thread runs it for every received
// frame. Frames here match no rule, so every rule of their type is tried.

#include "core/QUserFliterCfg.h"

#include <benchmark/benchmark.h>

#include <vector>

static void BM_FilterIsPass(benchmark::State &state)
{
    const int ruleCount = int(state.range(0));
    QUserFliterCfg f;
    for (int i = 0; i < ruleCount; ++i) {
        QUserFliterRule r;
        r.extended = i % 2;
        r.startId = uint32_t(0x10 * i);
        r.endId = uint32_t(0x10 * i + 4);
        f.rules.append(r);
    }
    f.setEnable(true);
    std::vector<QUserCanMsg> frames(64);
    for (size_t i = 0; i < frames.size(); ++i) {
        frames[i].idText = QString::asprintf("%08X ", unsigned(0x10 * (i % 8) + 8) + 0x1000);
        frames[i].extended = uint8_t(i % 2);
    }
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(f.isPass(&frames[i]));
        i = (i + 1) & 63;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FilterIsPass)->Arg(1)->Arg(16)->Arg(128);

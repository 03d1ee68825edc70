// The frame record on the receive path: adapter records become QUserCanMsg
// (hexadecimal texts), travel in a QVector batch the way a driver thread emits
// them, and are converted back to adapter records (as the DBC decoder and the
// transmit path do). Reported as frames per second on one core.
#include "core/QUserCanMsg.h"

#include <QVector>
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

namespace {

std::vector<KCAN_CANFD_OBJ> makeRecords(int count, int len, bool brs)
{
    std::vector<KCAN_CANFD_OBJ> recs(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        KCAN_CANFD_OBJ &r = recs[size_t(i)];
        std::memset(&r, 0, sizeof r);
        r.ID = 0x100u + uint32_t(i);
        r.ExternFlag = i & 1;
        r.TimeStamp = uint32_t(i * 37);
        r.FdFlag = brs ? KCAN_FD_FLAG_BRS : 0;
        r.DataLen = uint8_t(len);
        for (int b = 0; b < 64; ++b)
            r.Data[b] = uint8_t(i + b);
    }
    return recs;
}

void roundTrip(benchmark::State &state)
{
    const int len = int(state.range(0));
    const int batch = 32; // records per poll of a CAN FD channel
    const auto recs = makeRecords(batch, len, true);
    QVector<QUserCanMsg> frames;
    frames.reserve(batch);
    KCAN_CANFD_OBJ out;
    uint64_t sink = 0;
    for (auto _ : state) {
        frames.clear();
        const int64_t now = getCurrentMs();
        for (const auto &r : recs) {
            QUserCanMsg m;
            canFdObjToMsg(r, m);
            m.direction = 0;
            m.channel = 3;
            m.hostTime = now;
            frames.append(m);
        }
        // The batch is handed on by value (a queued signal copies it).
        const QVector<QUserCanMsg> handed = frames;
        for (const QUserCanMsg &m : handed) {
            msgToCanFdObj(m, out);
            sink += out.ID + out.Data[len ? len - 1 : 0];
        }
    }
    benchmark::DoNotOptimize(sink);
    state.SetItemsProcessed(int64_t(state.iterations()) * batch);
}

void classicRoundTrip(benchmark::State &state)
{
    const int batch = 256; // records per poll of a classic channel
    std::vector<KCAN_CAN_OBJ> recs(batch);
    for (int i = 0; i < batch; ++i) {
        std::memset(&recs[size_t(i)], 0, sizeof(KCAN_CAN_OBJ));
        recs[size_t(i)].ID = uint32_t(i);
        recs[size_t(i)].DataLen = 8;
    }
    QVector<QUserCanMsg> frames;
    frames.reserve(batch);
    KCAN_CAN_OBJ out;
    uint64_t sink = 0;
    for (auto _ : state) {
        frames.clear();
        const int64_t now = getCurrentMs();
        for (const auto &r : recs) {
            QUserCanMsg m;
            canObjToMsg(r, m);
            m.hostTime = now;
            frames.append(m);
        }
        const QVector<QUserCanMsg> handed = frames;
        for (const QUserCanMsg &m : handed) {
            msgToCanObj(m, out);
            sink += out.ID;
        }
    }
    benchmark::DoNotOptimize(sink);
    state.SetItemsProcessed(int64_t(state.iterations()) * batch);
}

} // namespace

BENCHMARK(roundTrip)->Arg(8)->Arg(64)->Unit(benchmark::kMicrosecond);
BENCHMARK(classicRoundTrip)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();

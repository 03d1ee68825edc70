// The classic adapter's receive path: the frame-stream parser alone, and the
// whole road from a simulated classic adapter to KCAN_Receive on both of its
// channels, counting frames lost or out of order.
#include "bench/kemusb/BenchSimSession.h"
#include "kemusb/include/kcan_api.h"
#include "kemusb/src/devices/KcanHandleRegistry.h"
#include "kemusb/src/protocol/KemClassicProtocol.h"
#include "kemusb/src/sim/KemSimClassic.h"
#include "platform/PlatSim.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

namespace {

struct CountSink final : kemusb::classic::StreamParser::Sink {
    size_t n = 0;
    uint32_t last = 0;
    void frame(const kemusb::classic::StreamFrame &f) override
    {
        ++n;
        last = f.record.ID;
    }
};

void BM_ClassicStreamParser(benchmark::State &state)
{
    const size_t frames = 20000;
    std::vector<uint8_t> s;
    for (size_t i = 0; i < frames; ++i) {
        const uint8_t d[8] = {1, 2, 3, 4, 5, 6, 7, uint8_t(i)};
        const auto r = kemusb::classic::streamRecord(int(i & 1), uint32_t(i & 0x7FF), false, false, 8, d, uint32_t(i));
        s.insert(s.end(), r.begin(), r.end());
    }
    const size_t read = size_t(state.range(0));
    kemusb::classic::StreamParser parser;
    CountSink sink;
    for (auto _ : state) {
        for (size_t at = 0; at < s.size(); at += read)
            parser.feed(s.data() + at, std::min(read, s.size() - at), sink);
        benchmark::DoNotOptimize(sink.last);
    }
    state.SetItemsProcessed(int64_t(state.iterations() * frames));
    state.SetBytesProcessed(int64_t(state.iterations() * s.size()));
}
BENCHMARK(BM_ClassicStreamParser)->Arg(256)->Arg(2048);

struct SimClassic {
    BenchSimSession session; // made first, gone last
    plat::sim::Adapter *adapter = nullptr;
    kemusb::sim::SimClassicModel *model = nullptr;
    static constexpr uint32_t kType = 3;

    SimClassic()
    {
        model = BenchSimSession::model<kemusb::sim::SimClassicModel>(0x0471, 0x1200, &adapter);
        KCAN_OpenDevice(kType, 0);
        KCAN_INIT_CONFIG c;
        std::memset(&c, 0, sizeof c);
        c.AccMask = 0xFFFFFFFF;
        c.Timing0 = 0x00;
        c.Timing1 = 0x1C;
        KCAN_InitCAN(kType, 0, 0, &c);
        KCAN_InitCAN(kType, 0, 1, &c);
    }
    ~SimClassic() { KCAN_CloseDevice(kType, 0); }
};

// Simulator to KCAN_Receive on both channels: one producer keeps the
// adapter's stream endpoint fed, one reader per channel takes frames in
// batches and checks that identifiers come in the order they were sent.
void BM_EndToEndReceiveClassic2(benchmark::State &state)
{
    SimClassic sim;
    const size_t total = 1000000;
    std::vector<plat::sim::CanFrame> batch(200);
    uint64_t lost = 0, disorder = 0;
    for (auto _ : state) {
        std::atomic<uint64_t> received{0};
        std::atomic<uint64_t> outOfOrder{0};
        std::atomic<bool> done{false};
        std::vector<std::thread> readers;
        const auto t0 = std::chrono::steady_clock::now();
        for (uint32_t ch = 0; ch < 2; ++ch) {
            readers.emplace_back([&, ch] {
                std::vector<KCAN_CAN_OBJ> buf(1024);
                uint32_t expect = 0;
                while (!done || KCAN_GetReceiveNum(SimClassic::kType, 0, ch, 0)) {
                    const uint32_t n =
                        KCAN_Receive(SimClassic::kType, 0, ch, buf.data(), uint32_t(buf.size()), 5);
                    for (uint32_t i = 0; i < n; ++i) {
                        if (buf[i].ID != (expect & 0x7FF))
                            ++outOfOrder;
                        expect = buf[i].ID + 1;
                    }
                    received += n;
                }
            });
        }
        size_t sent = 0;
        uint32_t next[2] = {0, 0};
        while (sent < total) {
            if (sim.adapter->pendingBytes(0x82) > 256 * 1024) {
                std::this_thread::sleep_for(std::chrono::microseconds(100));
                continue;
            }
            for (auto &f : batch) {
                f.channel = int(sent & 1);
                f.id = next[f.channel]++ & 0x7FF;
                f.len = 8;
                ++sent;
            }
            std::lock_guard<std::recursive_mutex> g(plat::sim::World::instance().lock());
            sim.model->streamFrames(batch.data(), batch.size());
        }
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (received < sent && std::chrono::steady_clock::now() < limit)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        const auto t1 = std::chrono::steady_clock::now();
        done = true;
        for (auto &r : readers)
            r.join();
        lost += sent - received;
        disorder += outOfOrder;
        state.SetIterationTime(std::chrono::duration<double>(t1 - t0).count());
    }
    state.SetItemsProcessed(int64_t(state.iterations() * total));
    state.counters["lost"] = double(lost);
    state.counters["disorder"] = double(disorder);
}
BENCHMARK(BM_EndToEndReceiveClassic2)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

// KCAN_Transmit into the simulator in calls of 30 frames (ten groups of
// three, each answered).
void BM_ClassicTransmit(benchmark::State &state)
{
    SimClassic sim;
    std::vector<KCAN_CAN_OBJ> frames(30);
    for (size_t i = 0; i < frames.size(); ++i) {
        std::memset(&frames[i], 0, sizeof frames[i]);
        frames[i].ID = uint32_t(i);
        frames[i].DataLen = 8;
    }
    uint64_t sent = 0;
    for (auto _ : state) {
        sent += KCAN_Transmit(SimClassic::kType, 0, 0, frames.data(), uint32_t(frames.size()));
        KCAN_ClearBuffer(SimClassic::kType, 0, 1);
    }
    state.SetItemsProcessed(int64_t(sent));
    state.counters["short"] = double(state.iterations() * frames.size() - sent);
}
BENCHMARK(BM_ClassicTransmit);

} // namespace

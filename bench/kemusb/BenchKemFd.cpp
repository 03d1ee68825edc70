// The CAN FD adapter's receive path: the stream parser alone, the whole road
// from a simulated TRNA702 to KCAN_ReceiveFD on its eight channels, and
// KCAN_TransmitFD into the simulator.
#include "bench/kemusb/BenchSimSession.h"
#include "kemusb/include/kcan_api.h"
#include "kemusb/src/devices/KcanHandleRegistry.h"
#include "kemusb/src/devices/OcanDeviceRegistry.h"
#include "kemusb/src/protocol/KemFdProtocol.h"
#include "kemusb/src/sim/KemSimAdapters.h"
#include "platform/PlatSim.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

namespace {

// Keeps frames the way the device does, in a reused array.
struct ArraySink final : kemusb::fd::StreamSink {
    std::vector<OCAN_CAN_RX> classic = std::vector<OCAN_CAN_RX>(4096);
    std::vector<OCAN_CANFD_RX> fd = std::vector<OCAN_CANFD_RX>(4096);
    size_t nc = 0, nf = 0;
    void classicFrame(int, const OCAN_CAN_RX &f) override { classic[nc++ & 4095] = f; }
    void fdFrame(int, const OCAN_CANFD_RX &f) override { fd[nf++ & 4095] = f; }
};

// A stream of whole packets of `perPacket` records each, `fdEvery`-th record
// CAN FD (0: none), spread over eight channels.
std::vector<uint8_t> makeStream(size_t frames, int perPacket, int fdEvery)
{
    std::vector<uint8_t> s;
    std::vector<kemusb::fd::StreamFrame> batch;
    for (size_t i = 0; i < frames; ++i) {
        kemusb::fd::StreamFrame f{};
        f.channel = int(i % 8);
        f.fd = fdEvery && i % size_t(fdEvery) == 0;
        f.id = uint32_t(i & 0x7FF);
        f.Len = 8;
        f.TimeStamp = uint32_t(i);
        batch.push_back(f);
        if (int(batch.size()) == perPacket || i + 1 == frames) {
            const auto p = kemusb::fd::streamPacket(batch.data(), int(batch.size()));
            s.insert(s.end(), p.begin(), p.end());
            batch.clear();
        }
    }
    return s;
}

void BM_StreamParser(benchmark::State &state)
{
    const int perPacket = int(state.range(0));
    const int fdEvery = int(state.range(1));
    const size_t frames = 20000;
    const std::vector<uint8_t> s = makeStream(frames, perPacket, fdEvery);
    kemusb::fd::StreamParser parser;
    ArraySink sink;
    for (auto _ : state) {
        // In reads of 4096 bytes, as the device thread gets them.
        for (size_t at = 0; at < s.size(); at += 4096)
            parser.feed(s.data() + at, std::min<size_t>(4096, s.size() - at), sink);
        benchmark::DoNotOptimize(sink.nc + sink.nf);
    }
    state.SetItemsProcessed(int64_t(state.iterations() * frames));
    state.SetBytesProcessed(int64_t(state.iterations() * s.size()));
}
BENCHMARK(BM_StreamParser)->Args({10, 0})->Args({50, 0})->Args({10, 1})->Args({40, 4});

struct SimFd {
    BenchSimSession session; // made first, gone last
    plat::sim::Adapter *adapter = nullptr;
    kemusb::sim::SimCanFdModel *model = nullptr;
    static constexpr uint32_t kType = 66; // TRNA702, eight channels

    explicit SimFd(int channels, uint16_t firmware = 0x0210)
    {
        model = BenchSimSession::model<kemusb::sim::SimCanFdModel>(0x0471, 0x7A43, &adapter);
        model->setFirmware(firmware);
        KCAN_OpenDevice(kType, 0);
        KCAN_INITFD_CONFIG c;
        std::memset(&c, 0, sizeof c);
        c.ArbBaud = 500000;
        c.DataBaud = 2000000;
        c.FdEnable = 1;
        for (int ch = 0; ch < channels; ++ch)
            KCAN_InitCANFD(kType, 0, uint32_t(ch), &c);
    }
    ~SimFd() { KCAN_CloseDevice(kType, 0); }
};

// Simulator to KCAN_ReceiveFD over the eight channels: one producer keeps
// the adapter's stream endpoint fed, eight readers take frames in batches.
void BM_EndToEndReceiveFD8(benchmark::State &state)
{
    SimFd sim(8);
    const size_t total = 2000000;
    std::vector<plat::sim::CanFrame> batch(400);
    for (size_t i = 0; i < batch.size(); ++i) {
        batch[i].channel = int(i % 8);
        batch[i].fd = true;
        batch[i].brs = true;
        batch[i].id = uint32_t(i);
        batch[i].len = 8;
    }
    uint64_t lost = 0;
    double seconds = 0;
    for (auto _ : state) {
        std::atomic<uint64_t> received{0};
        std::atomic<bool> done{false};
        std::vector<std::thread> readers;
        const auto t0 = std::chrono::steady_clock::now();
        for (uint32_t ch = 0; ch < 8; ++ch) {
            readers.emplace_back([&, ch] {
                std::vector<KCAN_CANFD_OBJ> buf(2048);
                while (!done || KCAN_GetReceiveNum(SimFd::kType, 0, ch, 2))
                    received += KCAN_ReceiveFD(SimFd::kType, 0, ch, buf.data(), uint32_t(buf.size()), 5);
            });
        }
        size_t sent = 0;
        while (sent < total) {
            if (sim.adapter->pendingBytes(0x83) > 256 * 1024) {
                std::this_thread::sleep_for(std::chrono::microseconds(100));
                continue;
            }
            std::lock_guard<std::recursive_mutex> g(plat::sim::World::instance().lock());
            sim.model->streamFrames(batch.data(), batch.size());
            sent += batch.size();
        }
        // Wait until the stream endpoint and the FIFOs have drained.
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (received < sent && std::chrono::steady_clock::now() < limit)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        const auto t1 = std::chrono::steady_clock::now();
        done = true;
        for (auto &r : readers)
            r.join();
        seconds = std::chrono::duration<double>(t1 - t0).count();
        lost += sent - received;
        state.SetIterationTime(seconds);
    }
    state.SetItemsProcessed(int64_t(state.iterations() * total));
    state.counters["lost"] = double(lost);
}
BENCHMARK(BM_EndToEndReceiveFD8)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

// KCAN_TransmitFD into the simulator, in calls of 100 frames, with and
// without the per-packet acknowledgement of older firmware.
void BM_TransmitFD(benchmark::State &state)
{
    SimFd sim(1, uint16_t(state.range(0)));
    std::vector<KCAN_CANFD_OBJ> frames(100);
    for (size_t i = 0; i < frames.size(); ++i) {
        std::memset(&frames[i], 0, sizeof frames[i]);
        frames[i].ID = uint32_t(i);
        frames[i].DataLen = 64;
        frames[i].FdFlag = KCAN_FD_FLAG_BRS;
    }
    uint64_t sent = 0;
    for (auto _ : state)
        sent += KCAN_TransmitFD(SimFd::kType, 0, 0, frames.data(), uint32_t(frames.size()));
    state.SetItemsProcessed(int64_t(sent));
    state.counters["short"] = double(state.iterations() * frames.size() - sent);
}
BENCHMARK(BM_TransmitFD)->Arg(0x0210)->Arg(0x0117);

} // namespace

// Reads of the simulated stream endpoint in 4096-byte pieces, as a device
// thread makes them: the stand-in must never be what limits an adapter path.
#include "kemusb/src/devices/QUserWinUsb.h"
#include "platform/PlatSim.h"

#include <benchmark/benchmark.h>

namespace {

struct Stream
{
    plat::sim::World &world = plat::sim::World::instance();
    plat::sim::Adapter *adapter = nullptr;
    std::vector<uint8_t> chunk;
    size_t pending = 0;

    explicit Stream(size_t transfer) : chunk(transfer)
    {
        for (size_t i = 0; i < chunk.size(); ++i)
            chunk[i] = uint8_t(i * 7);
        world.reset();
        adapter = world.addAdapter("ECHO");
    }
    ~Stream() { world.reset(); }

    // Keeps at least one read's worth queued, one device transfer at a time.
    void refill()
    {
        if (pending < 4096) {
            adapter->push(0x83, chunk);
            pending += chunk.size();
        }
    }
};

void BM_SimStreamRead4096(benchmark::State &state)
{
    Stream s(size_t(state.range(0)));
    auto backend = plat::sim::makeSimBackend();
    auto dev = backend->open(s.adapter->path());
    dev->setPipeTimeout(0x83, 100);
    uint8_t buf[4096];
    uint64_t bytes = 0;
    for (auto _ : state) {
        s.refill();
        uint32_t got = 0;
        dev->readPipe(0x83, buf, sizeof buf, &got);
        s.pending -= got;
        bytes += got;
        benchmark::DoNotOptimize(buf[0]);
    }
    state.SetBytesProcessed(int64_t(bytes));
}
BENCHMARK(BM_SimStreamRead4096)->Arg(4096)->Arg(65536)->Arg(1 << 20);

// The same through the library's transport object.
void BM_WinUsbStreamRead4096(benchmark::State &state)
{
    Stream s(size_t(state.range(0)));
    auto prev = plat::setUsbBackend(plat::sim::makeSimBackend());
    {
        kemusb::QUserWinUsb usb;
        if (!usb.open(plat::sim::kEchoVid, plat::sim::kEchoPid, 0)) {
            state.SkipWithError("open failed");
            plat::setUsbBackend(prev);
            return;
        }
        uint8_t buf[4096];
        uint64_t bytes = 0;
        for (auto _ : state) {
            s.refill();
            uint32_t got = usb.read(buf, sizeof buf, 0x83);
            s.pending -= got;
            bytes += got;
            benchmark::DoNotOptimize(buf[0]);
        }
        state.SetBytesProcessed(int64_t(bytes));
    }
    plat::setUsbBackend(prev);
}
BENCHMARK(BM_WinUsbStreamRead4096)->Arg(4096)->Arg(1 << 20);

} // namespace

BENCHMARK_MAIN();

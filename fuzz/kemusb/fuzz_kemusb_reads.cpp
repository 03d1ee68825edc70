// WinUSB read semantics of both back ends under any mix of transfer sizes,
// read sizes and stream splits: every byte arrives once and in order, and
// the libusb back end never makes libusb overflow.
#include "platform/PlatSim.h"
#include "platform/PlatTicks.h"
#include "tests/platform/FakeLibusb.h"

#include <cstdint>
#include <vector>

namespace {

struct Input
{
    const uint8_t *p;
    size_t n;
    uint8_t byte() { return n ? (--n, *p++) : 0; }
    uint16_t u16() { return uint16_t(byte() | byte() << 8); }
};

// The next device transfer of the stream (up to 3000 bytes counting on from
// next), also appended to what was sent.
std::vector<uint8_t> nextTransfer(Input &in, uint8_t &next, std::vector<uint8_t> &sent)
{
    std::vector<uint8_t> b(in.u16() % 3000);
    for (auto &x : b)
        x = next++;
    sent.insert(sent.end(), b.begin(), b.end());
    return b;
}

void simCase(Input &in)
{
    auto &world = plat::sim::World::instance();
    world.reset();
    plat::sim::Adapter *a = world.addAdapter("ECHO");
    auto be = plat::sim::makeSimBackend();
    auto dev = be->open(a->path());
    dev->setPipeTimeout(0x83, 100);
    uint8_t splits = in.byte() % 4;
    for (int i = 0; i < splits; ++i)
        a->inFaults(0x83).split.push_back(size_t(in.byte()) * 4 + 1);
    std::vector<uint8_t> sent, got;
    uint8_t next = 0;
    while (in.n) {
        if (in.byte() & 1) {
            a->push(0x83, nextTransfer(in, next, sent)); // terminated: a read never waits for more
        } else if (got.size() < sent.size()) { // nothing is lost: what waits is the difference
            uint32_t len = in.u16() % 5000 + 1;
            std::vector<uint8_t> buf(len);
            uint32_t n = 0;
            if (dev->readPipe(0x83, buf.data(), len, &n) == plat::UsbStatus::Error || n > len)
                __builtin_trap();
            got.insert(got.end(), buf.begin(), buf.begin() + n);
        }
    }
    while (got.size() < sent.size()) {
        uint8_t buf[4096];
        uint32_t n = 0;
        if (dev->readPipe(0x83, buf, sizeof buf, &n) != plat::UsbStatus::Ok)
            __builtin_trap(); // bytes went missing
        got.insert(got.end(), buf, buf + n);
    }
    if (got != sent || a->pendingBytes(0x83))
        __builtin_trap();
}

void libusbCase(Input &in)
{
    auto api = std::make_shared<FakeLibusb>();
    api->add(0x0471, 0x7A41, 1, {1});
    auto be = plat::makeLibusbBackend(api);
    auto dev = be->open(be->devicePaths()[0]);
    std::vector<uint8_t> sent, got;
    uint8_t next = 0;
    while (in.n) {
        if (in.byte() & 1) {
            const std::vector<uint8_t> b = nextTransfer(in, next, sent);
            api->send(0, 0x83, b, b.size() % 512 == 0);
        } else {
            uint32_t len = in.u16() % 5000;
            std::vector<uint8_t> buf(len + 1);
            uint32_t n = 0;
            plat::UsbStatus st = dev->readPipe(0x83, buf.data(), len, &n);
            if (st == plat::UsbStatus::Error || n > len)
                __builtin_trap();
            got.insert(got.end(), buf.begin(), buf.begin() + n);
        }
    }
    for (int guard = 0; guard < 100000 && got.size() < sent.size(); ++guard) {
        uint8_t buf[4096];
        uint32_t n = 0;
        dev->readPipe(0x83, buf, sizeof buf, &n);
        got.insert(got.end(), buf, buf + n);
    }
    if (got != sent || api->overflows)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static auto clock = std::make_shared<plat::ManualTicks>(1000);
    static plat::ScopedTickSource use(clock);
    Input in{data, size};
    if (in.byte() & 1)
        simCase(in);
    else
        libusbCase(in);
    return 0;
}

// Test controls over the simulated adapters inside a build of kemusb made for
// the device-layer tests: unplug an adapter mid-stream (and plug it back), and
// put frames onto a simulated bus from a channel of another adapter (the far
// end of a cable).

#include <chrono>
#include <cstdint>
#include <cstring>
#include <mutex>

#include "kemusb/src/sim/KemSimModels.h"
#include "platform/PlatSim.h"

#define SIMCTL_API extern "C" __attribute__((visibility("default")))

using plat::sim::World;

SIMCTL_API int devices_sim_unplug(const char *alias)
{
    World &w = World::instance();
    std::lock_guard<std::recursive_mutex> l(w.lock());
    plat::sim::Adapter *a = w.adapterByAlias(alias);
    if (!a)
        return 0;
    a->unplug();
    return 1;
}

SIMCTL_API int devices_sim_replug(const char *alias)
{
    World &w = World::instance();
    std::lock_guard<std::recursive_mutex> l(w.lock());
    plat::sim::Adapter *a = w.adapterByAlias(alias);
    if (!a)
        return 0;
    a->replug();
    return 1;
}

// Starts the far-end channel at the rates of the channel it faces.
SIMCTL_API int devices_sim_peer(const char *alias, int channel, const char *dutAlias, int dutChannel)
{
    World &w = World::instance();
    std::lock_guard<std::recursive_mutex> l(w.lock());
    plat::sim::Adapter *a = w.adapterByAlias(alias);
    plat::sim::Adapter *d = w.adapterByAlias(dutAlias);
    if (!a || !d || channel >= a->channelCount() || dutChannel >= d->channelCount())
        return 0;
    plat::sim::Channel &dut = d->channel(dutChannel);
    if (!dut.started())
        return 0;
    plat::sim::Channel &ch = a->channel(channel);
    ch.setBitRate(dut.nominalRate(), dut.dataRate());
    ch.start();
    return 1;
}

// Sends count frames from the far-end channel: identifier id + i, CAN FD with
// 'len' bytes when fd, the first eight data bytes the steady-clock time in
// nanoseconds (for latency), the next four the frame's sequence number.
SIMCTL_API int devices_sim_send(const char *alias, int channel, int count, int fd, int len, uint32_t id,
                                uint32_t seq0)
{
    World &w = World::instance();
    std::lock_guard<std::recursive_mutex> l(w.lock());
    plat::sim::Adapter *a = w.adapterByAlias(alias);
    if (!a || channel >= a->channelCount())
        return 0;
    plat::sim::Channel &ch = a->channel(channel);
    int sent = 0;
    for (int i = 0; i < count; ++i) {
        plat::sim::CanFrame f;
        f.id = (id + uint32_t(i)) & 0x7FF;
        f.fd = fd != 0;
        f.brs = fd != 0;
        f.len = uint8_t(len);
        const uint64_t ns = uint64_t(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                         std::chrono::steady_clock::now().time_since_epoch())
                                         .count());
        std::memcpy(f.data, &ns, 8);
        const uint32_t seq = seq0 + uint32_t(i);
        std::memcpy(f.data + 8, &seq, 4);
        if (ch.transmit(f))
            ++sent;
    }
    return sent;
}

// Replaces the simulated topology (every adapter closed first by the caller).
SIMCTL_API int devices_sim_configure(const char *text)
{
    kemusb::registerSimModels();
    World &w = World::instance();
    std::lock_guard<std::recursive_mutex> l(w.lock());
    w.reset();
    return w.loadConfig(text) ? 1 : 0;
}

// Starts a channel at a fixed nominal rate (a far end that does not follow
// the channel it faces).
SIMCTL_API int devices_sim_start(const char *alias, int channel, uint32_t nominal)
{
    World &w = World::instance();
    std::lock_guard<std::recursive_mutex> l(w.lock());
    plat::sim::Adapter *a = w.adapterByAlias(alias);
    if (!a || channel >= a->channelCount())
        return 0;
    a->channel(channel).setBitRate(nominal, 0);
    a->channel(channel).start();
    return 1;
}

// Test controls over the simulated adapters inside a build of kemusb made for
// the device-tools tests and benchmarks: the topology, a far end that talks
// on a classic bus, the bytes an adapter was sent, the classic adapter's
// relay flags, and the firmware-update target of the CAN FD adapters (its
// faults, versions, packet size and the image it took).

#include <cstdint>
#include <cstring>
#include <mutex>

#include "kemusb/src/sim/KemSimAdapters.h"
#include "kemusb/src/sim/KemSimClassic.h"
#include "kemusb/src/sim/KemSimModels.h"
#include "platform/PlatSim.h"

#define SIMCTL_API extern "C" __attribute__((visibility("default")))

using plat::sim::World;

namespace {

using Guard = std::lock_guard<std::recursive_mutex>;

kemusb::sim::SimFirmTarget *target(const char *alias)
{
    plat::sim::Adapter *a = World::instance().adapterByAlias(alias ? alias : "");
    auto *m = a ? a->modelAs<kemusb::sim::SimCanFdModel>() : nullptr;
    return m ? &m->firmTarget() : nullptr;
}

} // namespace

// Replaces the simulated topology (every adapter closed first by the caller).
SIMCTL_API int devtools_sim_configure(const char *text)
{
    kemusb::registerSimModels();
    World &w = World::instance();
    Guard l(w.lock());
    w.reset();
    return w.loadConfig(text ? text : "") ? 1 : 0;
}

// Starts a channel at a fixed nominal rate (a far end).
SIMCTL_API int devtools_sim_start(const char *alias, int channel, uint32_t nominal)
{
    World &w = World::instance();
    Guard l(w.lock());
    plat::sim::Adapter *a = w.adapterByAlias(alias ? alias : "");
    if (!a || channel < 0 || channel >= a->channelCount())
        return 0;
    a->channel(channel).setBitRate(nominal, 0);
    a->channel(channel).start();
    return 1;
}

// One classic frame from a channel onto its bus; 1 when the bus took it.
SIMCTL_API int devtools_sim_send(const char *alias, int channel, uint32_t id, int ext)
{
    World &w = World::instance();
    Guard l(w.lock());
    plat::sim::Adapter *a = w.adapterByAlias(alias ? alias : "");
    if (!a || channel < 0 || channel >= a->channelCount())
        return 0;
    plat::sim::CanFrame f;
    f.id = id;
    f.ext = ext != 0;
    f.len = 8;
    return a->channel(channel).transmit(f) ? 1 : 0;
}

// The OUT writes of an adapter on one endpoint: how many there are, and the
// bytes of the i-th (its length; at most cap bytes copied).
SIMCTL_API int devtools_sim_out_count(const char *alias, int ep)
{
    World &w = World::instance();
    Guard l(w.lock());
    plat::sim::Adapter *a = w.adapterByAlias(alias ? alias : "");
    if (!a)
        return -1;
    int n = 0;
    for (const plat::sim::OutRecord &r : a->outLog())
        n += r.ep == ep;
    return n;
}

SIMCTL_API int devtools_sim_out_get(const char *alias, int ep, int i, uint8_t *buf, int cap)
{
    World &w = World::instance();
    Guard l(w.lock());
    plat::sim::Adapter *a = w.adapterByAlias(alias ? alias : "");
    if (!a)
        return -1;
    int k = 0;
    for (const plat::sim::OutRecord &r : a->outLog()) {
        if (r.ep != ep)
            continue;
        if (k++ != i)
            continue;
        const int n = int(r.data.size());
        std::memcpy(buf, r.data.data(), size_t(n < cap ? n : cap));
        return n;
    }
    return -1;
}

SIMCTL_API int devtools_sim_out_clear(const char *alias)
{
    World &w = World::instance();
    Guard l(w.lock());
    plat::sim::Adapter *a = w.adapterByAlias(alias ? alias : "");
    if (!a)
        return 0;
    a->clearOutLog();
    return 1;
}

// The relay flags the simulated classic adapter holds.
SIMCTL_API int devtools_sim_relay(const char *alias, int *a, int *b)
{
    World &w = World::instance();
    Guard l(w.lock());
    plat::sim::Adapter *ad = w.adapterByAlias(alias ? alias : "");
    auto *m = ad ? ad->modelAs<kemusb::sim::SimClassicModel>() : nullptr;
    if (!m)
        return 0;
    *a = m->relayA();
    *b = m->relayB();
    return 1;
}

// The firmware target: faults for the replies after the next `after` ones,
// and for the next data packets.
SIMCTL_API int devtools_sim_firm_faults(const char *alias, int after, int silent, int late, uint32_t lateMs,
                                        int badSum, int refuse, int resetAfter)
{
    Guard l(World::instance().lock());
    kemusb::sim::SimFirmTarget *t = target(alias);
    if (!t)
        return 0;
    kemusb::sim::SimFirmTarget::Faults &f = t->faults();
    f.after = after;
    f.silent = silent;
    f.late = late;
    f.lateMs = lateMs;
    f.badSum = badSum;
    f.refuse = refuse;
    f.resetAfter = resetAfter;
    return 1;
}

SIMCTL_API int devtools_sim_firm_setup(const char *alias, uint16_t hw, uint16_t fw, uint32_t packetSize)
{
    Guard l(World::instance().lock());
    kemusb::sim::SimFirmTarget *t = target(alias);
    if (!t)
        return 0;
    t->setVersions(hw, fw);
    t->setPacketSize(packetSize);
    return 1;
}

// The image the target took (its length; at most cap bytes copied) and the
// size the start command announced.
SIMCTL_API int64_t devtools_sim_firm_image(const char *alias, uint8_t *buf, int64_t cap, uint32_t *announced)
{
    Guard l(World::instance().lock());
    kemusb::sim::SimFirmTarget *t = target(alias);
    if (!t)
        return -1;
    const std::vector<uint8_t> &img = t->image();
    if (buf && cap > 0)
        std::memcpy(buf, img.data(), size_t(int64_t(img.size()) < cap ? int64_t(img.size()) : cap));
    if (announced)
        *announced = t->announcedSize();
    return int64_t(img.size());
}

// out: update mode, frames, bad sums, starts, packets, repeats, refused,
// resets, and the 16 configuration bytes of the last start in cfg.
SIMCTL_API int devtools_sim_firm_state(const char *alias, uint64_t *out, uint8_t *cfg)
{
    Guard l(World::instance().lock());
    kemusb::sim::SimFirmTarget *t = target(alias);
    if (!t)
        return 0;
    const kemusb::sim::SimFirmTarget::Stats &s = t->stats();
    const uint64_t v[8] = {t->inUpdateMode() ? 1u : 0u, s.frames, s.badSums, s.starts,
                           s.packets, s.repeats, s.refused, s.resets};
    std::memcpy(out, v, sizeof v);
    if (cfg)
        std::memcpy(cfg, t->configBytes(), 16);
    return 1;
}

// Puts n bytes on the link as if the target had sent them.
SIMCTL_API int devtools_sim_firm_inject(const char *alias, const uint8_t *bytes, int n)
{
    World &w = World::instance();
    Guard l(w.lock());
    plat::sim::Adapter *a = w.adapterByAlias(alias ? alias : "");
    auto *m = a ? a->modelAs<kemusb::sim::SimCanFdModel>() : nullptr;
    if (!m || n < 0)
        return 0;
    m->pushLinkFrame(std::vector<uint8_t>(bytes, bytes + n));
    return 1;
}

// Everything an adapter sends on IN endpoint ep from now on arrives ms later
// (0: on time again).
SIMCTL_API int devtools_sim_in_delay(const char *alias, int ep, uint32_t ms)
{
    World &w = World::instance();
    Guard l(w.lock());
    plat::sim::Adapter *a = w.adapterByAlias(alias ? alias : "");
    if (!a)
        return 0;
    a->inFaults(uint8_t(ep)).delayMs = ms;
    return 1;
}

// Drops what is still queued on an IN endpoint of the adapter for the host,
// transfers held back by a delay among it (late replies a test is done
// with).
SIMCTL_API int devtools_sim_in_clear(const char *alias, int ep)
{
    World &w = World::instance();
    Guard l(w.lock());
    plat::sim::Adapter *a = w.adapterByAlias(alias ? alias : "");
    if (!a)
        return 0;
    a->clearIn(uint8_t(ep));
    return 1;
}

// 1 while the adapter is open on the host side.
SIMCTL_API int devtools_sim_is_open(const char *alias)
{
    World &w = World::instance();
    Guard l(w.lock());
    plat::sim::Adapter *a = w.adapterByAlias(alias ? alias : "");
    return a && a->isOpen() ? 1 : 0;
}

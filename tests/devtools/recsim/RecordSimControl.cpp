// Test controls over the simulated recording adapters inside a build of
// kemusb made for the recording adapter dialog's tests: the topology, the
// faults and disk runs of their direct-transfer commands, their card and
// clock, and what they received and stored.

#include "kemusb/src/sim/KemSimAdapters.h"
#include "kemusb/src/sim/KemSimModels.h"
#include "platform/PlatSim.h"
#include "platform/PlatTicks.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>

#define RECSIM_API extern "C" __attribute__((visibility("default")))

using kemusb::sim::SimDirectFault;
using kemusb::sim::SimRecordModel;
using plat::sim::World;

namespace {

using Guard = std::lock_guard<std::recursive_mutex>;

SimRecordModel *model(const char *alias)
{
    plat::sim::Adapter *a = World::instance().adapterByAlias(alias ? alias : "");
    return a ? a->modelAs<SimRecordModel>() : nullptr;
}

} // namespace

// Replaces the simulated topology.
RECSIM_API int recsim_configure(const char *text)
{
    kemusb::registerSimModels();
    World &w = World::instance();
    Guard l(w.lock());
    w.reset();
    return w.loadConfig(text ? text : "") ? 1 : 0;
}

// Time-outs of the library pass at once (on) or in real time (off).
RECSIM_API void recsim_manual_ticks(int on)
{
    if (on)
        plat::setTickSource(std::make_shared<plat::ManualTicks>(plat::ticks().nowMs(), true));
    else
        plat::setTickSource(nullptr);
}

// fault: 0 none, 1 no answer, 2 short answer, 3 bad check byte; command
// and sub -1 match any; count -1: every matching request from now on.
RECSIM_API int recsim_fault(const char *alias, int fault, int count, int command, int sub)
{
    Guard l(World::instance().lock());
    SimRecordModel *m = model(alias);
    if (!m || fault < 0 || fault > 3)
        return 0;
    m->direct().injectFault(SimDirectFault(fault), count, command, sub);
    return 1;
}

RECSIM_API int recsim_disk(const char *alias, int runningPolls, int finalStatus, int readMBs, int writeMBs)
{
    Guard l(World::instance().lock());
    SimRecordModel *m = model(alias);
    if (!m)
        return 0;
    m->direct().setDiskRun(runningPolls, uint8_t(finalStatus), uint16_t(readMBs), uint16_t(writeMBs));
    return 1;
}

RECSIM_API int recsim_card(const char *alias, int status, uint32_t totalMb, uint32_t freeMb)
{
    Guard l(World::instance().lock());
    SimRecordModel *m = model(alias);
    if (!m)
        return 0;
    m->direct().setCard(uint8_t(status), totalMb, freeMb);
    return 1;
}

RECSIM_API int recsim_clock(const char *alias, int year, int month, int day, int hour, int minute, int second)
{
    Guard l(World::instance().lock());
    SimRecordModel *m = model(alias);
    return m && m->direct().setClock(year, month, day, hour, minute, second) ? 1 : 0;
}

// Formats and speed tests started, and polls answered.
RECSIM_API int recsim_counts(const char *alias, int *formats, int *tests, int *polls)
{
    Guard l(World::instance().lock());
    SimRecordModel *m = model(alias);
    if (!m)
        return 0;
    *formats = m->direct().formats();
    *tests = m->direct().speedTests();
    *polls = m->direct().polls();
    return 1;
}

// The writes the adapter received on its command pipe since the last clear.
RECSIM_API int recsim_out_count(const char *alias)
{
    Guard l(World::instance().lock());
    plat::sim::Adapter *a = World::instance().adapterByAlias(alias ? alias : "");
    if (!a)
        return -1;
    int n = 0;
    for (const plat::sim::OutRecord &r : a->outLog())
        n += r.ep == 0x01;
    return n;
}

// Copies write i (counted as above); returns its length, -1 when absent.
RECSIM_API int recsim_out_get(const char *alias, int i, uint8_t *buf, int cap)
{
    Guard l(World::instance().lock());
    plat::sim::Adapter *a = World::instance().adapterByAlias(alias ? alias : "");
    if (!a)
        return -1;
    int k = 0;
    for (const plat::sim::OutRecord &r : a->outLog()) {
        if (r.ep != 0x01)
            continue;
        if (k++ != i)
            continue;
        const int n = int(r.data.size()) < cap ? int(r.data.size()) : cap;
        std::memcpy(buf, r.data.data(), size_t(n));
        return int(r.data.size());
    }
    return -1;
}

RECSIM_API int recsim_out_clear(const char *alias)
{
    Guard l(World::instance().lock());
    plat::sim::Adapter *a = World::instance().adapterByAlias(alias ? alias : "");
    if (!a)
        return 0;
    a->clearOutLog();
    return 1;
}

RECSIM_API int recsim_is_open(const char *alias)
{
    Guard l(World::instance().lock());
    plat::sim::Adapter *a = World::instance().adapterByAlias(alias ? alias : "");
    return a && a->isOpen() ? 1 : 0;
}

// The adapter's filter list of a channel: its length (-1 without the
// adapter), entry i copied out when it exists; *on the filter switch.
RECSIM_API int recsim_filter(const char *alias, int ch, int i, int *kind, uint32_t *start, uint32_t *end, int *on)
{
    Guard l(World::instance().lock());
    SimRecordModel *m = model(alias);
    if (!m || ch < 0 || ch > 1)
        return -1;
    const auto &f = m->filters(ch);
    *on = m->filterEnabled(ch) ? 1 : 0;
    if (i >= 0 && i < int(f.size())) {
        *kind = f[size_t(i)].kind;
        *start = f[size_t(i)].start;
        *end = f[size_t(i)].end;
    }
    return int(f.size());
}

// The next n writes to the adapter fail at once (the exchange fails).
RECSIM_API int recsim_fail_writes(const char *alias, int n)
{
    Guard l(World::instance().lock());
    plat::sim::Adapter *a = World::instance().adapterByAlias(alias ? alias : "");
    if (!a)
        return 0;
    a->failWrites(n);
    return 1;
}

// Test controls over the simulated CANopen nodes inside a build of kemusb
// made for the CANopen window tests: configure the topology, look at a
// node's NMT and drive state and its dictionary, make it send an EMCY, and
// record every frame a bus carries (the master's and the nodes' alike).

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/PlatSim.h"
#include "platform/PlatTicks.h"
#include "platform/sim/SimCanopenNode.h"

namespace kemusb {
void registerSimModels(); // kemusb/QUserWinUsb.h
}

#define COSIM_API extern "C" __attribute__((visibility("default")))

using plat::sim::CanFrame;
using plat::sim::CanopenNode;
using plat::sim::World;

namespace {

struct Recorded
{
    uint32_t id;
    uint8_t ext;
    uint8_t rtr;
    uint8_t len;
    uint8_t pad;
    uint8_t data[8];
    uint64_t ms;
};
static_assert(sizeof(Recorded) == 24, "record layout shared with the tests");

class Recorder final : public plat::sim::BusNode
{
public:
    void onFrame(plat::sim::Bus &, const CanFrame &f) override
    {
        Recorded r{};
        r.id = f.id;
        r.ext = f.ext;
        r.rtr = f.rtr;
        r.len = f.len > 8 ? 8 : f.len;
        std::memcpy(r.data, f.data, r.len);
        r.ms = plat::GetTickCount64();
        frames.push_back(r);
    }
    std::vector<Recorded> frames;
};

CanopenNode *node(const char *bus, int id)
{
    return plat::sim::findCanopenNode(World::instance(), bus, uint8_t(id));
}

Recorder *recorder(const char *busName)
{
    plat::sim::Bus &bus = World::instance().bus(busName);
    for (size_t i = 0; i < bus.nodeCount(); ++i)
        if (auto *r = dynamic_cast<Recorder *>(bus.node(i)))
            return r;
    return nullptr;
}

} // namespace

// Replaces the simulated topology (every adapter closed first by the caller)
// and puts a frame recorder on every named bus.
COSIM_API int cosim_configure(const char *text, const char *recordBuses)
{
    kemusb::registerSimModels();
    World &w = World::instance();
    std::lock_guard<std::recursive_mutex> l(w.lock());
    w.reset();
    if (!w.loadConfig(text))
        return 0;
    const char *p = recordBuses ? recordBuses : "";
    while (*p) {
        const char *end = std::strchr(p, ',');
        const std::string name = end ? std::string(p, end) : std::string(p);
        if (!name.empty())
            w.bus(name).addNode(std::make_unique<Recorder>());
        if (!end)
            break;
        p = end + 1;
    }
    return 1;
}

// NMT state byte (0, 4, 5, 0x7F) of a node; -1 when there is none.
COSIM_API int cosim_node_nmt(const char *bus, int id)
{
    std::lock_guard<std::recursive_mutex> l(World::instance().lock());
    CanopenNode *n = node(bus, id);
    return n ? int(n->nmtState()) : -1;
}

// CiA 402 state (CanopenNode::Drive) of a node; -1 when there is none.
COSIM_API int cosim_node_drive(const char *bus, int id)
{
    std::lock_guard<std::recursive_mutex> l(World::instance().lock());
    CanopenNode *n = node(bus, id);
    return n ? int(n->driveState()) : -1;
}

COSIM_API int cosim_node_read(const char *bus, int id, int index, int sub, uint64_t *value)
{
    std::lock_guard<std::recursive_mutex> l(World::instance().lock());
    CanopenNode *n = node(bus, id);
    return n && n->read(uint16_t(index), uint8_t(sub), *value) ? 1 : 0;
}

COSIM_API int cosim_node_write(const char *bus, int id, int index, int sub, uint64_t value)
{
    std::lock_guard<std::recursive_mutex> l(World::instance().lock());
    CanopenNode *n = node(bus, id);
    return n && n->write(uint16_t(index), uint8_t(sub), value) ? 1 : 0;
}

// sdoRequests, sdoAborts, tpdosSent, rpdosApplied, heartbeats, emcys,
// lastAbortCode, powerStageOffs, clientAborts, lastClientAbortCode,
// segmentedUploads, segmented upload open (0/1): 12 values.
COSIM_API int cosim_node_counters(const char *bus, int id, uint64_t *out)
{
    std::lock_guard<std::recursive_mutex> l(World::instance().lock());
    CanopenNode *n = node(bus, id);
    if (!n)
        return 0;
    const CanopenNode::Counters &c = n->counters();
    out[0] = c.sdoRequests;
    out[1] = c.sdoAborts;
    out[2] = c.tpdosSent;
    out[3] = c.rpdosApplied;
    out[4] = c.heartbeats;
    out[5] = c.emcys;
    out[6] = c.lastAbortCode;
    out[7] = c.powerStageOffs;
    out[8] = c.clientAborts;
    out[9] = c.lastClientAbortCode;
    out[10] = c.segmentedUploads;
    out[11] = n->segmentedUploadOpen() ? 1 : 0;
    return 1;
}

COSIM_API int cosim_node_emcy(const char *bus, int id, int code, int reg, const uint8_t *manufacturer)
{
    std::lock_guard<std::recursive_mutex> l(World::instance().lock());
    CanopenNode *n = node(bus, id);
    if (!n)
        return 0;
    n->emcyRequest(uint16_t(code), uint8_t(reg), manufacturer);
    return 1;
}

// Expedited upload answers with (on, the default) or without (off: 0x42)
// size indication; 0 when there is no such node.
COSIM_API int cosim_node_sdo_sized(const char *bus, int id, int on)
{
    std::lock_guard<std::recursive_mutex> l(World::instance().lock());
    CanopenNode *n = node(bus, id);
    if (!n)
        return 0;
    n->setUploadSizeIndicated(on != 0);
    return 1;
}

// Copies up to max recorded frames of a bus (oldest first) and forgets
// them; the number copied.
COSIM_API int cosim_record_take(const char *bus, void *out, int max)
{
    std::lock_guard<std::recursive_mutex> l(World::instance().lock());
    Recorder *r = recorder(bus);
    if (!r)
        return 0;
    const int n = int(std::min<size_t>(size_t(max), r->frames.size()));
    if (n <= 0)
        return 0;
    std::memcpy(out, r->frames.data(), size_t(n) * sizeof(Recorded));
    r->frames.erase(r->frames.begin(), r->frames.begin() + n);
    return n;
}

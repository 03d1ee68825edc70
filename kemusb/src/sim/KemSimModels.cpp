// The adapter models of the simulated back end (see platform/PlatSim.h for
// how a model plugs in): one entry per model, registered with the endpoints
// and the firmware of its kind.
#include "kemusb/src/sim/KemSimModels.h"

#include "kemusb/src/sim/KemSimAdapters.h"
#include "kemusb/src/sim/KemSimClassic.h"
#include "kemusb/src/sim/KemSimKvaser.h"
#include "platform/PlatSim.h"

#include <cstring>
#include <iterator>
#include <memory>
#include <mutex>

namespace kemusb::sim {

namespace {

const SimModelSpec kModels[] = {
    {"USBCAN2", SimFirmware::Classic, 0x0471, 0x1200, 2, 16, false, 0, {3, 4}},
    {"USBCANFD", SimFirmware::CanFd, 0x5E2D, 0x0009, 2, 60, true, 0x0117, {41, 42, 43}},
    {"TRNB701", SimFirmware::CanFd, 0x0471, 0x7A42, 4, 60, true, 0x0117, {64}},
    {"TRNA701", SimFirmware::CanFd, 0x0471, 0x7A41, 4, 60, false, 0x0210, {65}},
    {"TRNA702", SimFirmware::CanFd, 0x0471, 0x7A43, 8, 80, false, 0x0210, {66}},
    {"TRNB702", SimFirmware::CanFd, 0x0471, 0x7A44, 8, 80, true, 0x0117, {67}},
    {"TRND701", SimFirmware::Recording, 0x0471, 0x7B51, 2, 0, true, 0, {61}},
    {"TRND702", SimFirmware::Recording, 0x0471, 0x7B52, 2, 0, true, 0, {62}},
    {"KVLEAF", SimFirmware::Kvaser20, 0x0BFD, 0x0120, 2, 0, false, 0, {68}},
    {"KVLEAFPRO", SimFirmware::Kvaser20, 0x0BFD, 0x0122, 2, 0, false, 0, {69, 70, 72}},
    {"KVPROFD", SimFirmware::Kvaser32, 0x0BFD, 0x0102, 2, 0, true, 0, {63, 71, 73}},
};

using plat::UsbdPipeTypeBulk;
using plat::sim::EndpointSpec;

const EndpointSpec kFdEndpoints[] = {
    {0x01, UsbdPipeTypeBulk, 64}, {0x81, UsbdPipeTypeBulk, 64},  {0x02, UsbdPipeTypeBulk, 512},
    {0x82, UsbdPipeTypeBulk, 64}, {0x83, UsbdPipeTypeBulk, 512},
};
const EndpointSpec kRecordEndpoints[] = {
    {0x01, UsbdPipeTypeBulk, 64},
    {0x81, UsbdPipeTypeBulk, 64},
};
const EndpointSpec kClassicEndpoints[] = {
    {0x01, UsbdPipeTypeBulk, 64},
    {0x81, UsbdPipeTypeBulk, 64},
    {0x02, UsbdPipeTypeBulk, 64},
    {0x82, UsbdPipeTypeBulk, 64},
};
const EndpointSpec kKvaser20Endpoints[] = {
    {0x02, UsbdPipeTypeBulk, 512},
    {0x82, UsbdPipeTypeBulk, 512},
};
const EndpointSpec kKvaser32Endpoints[] = {
    {0x02, UsbdPipeTypeBulk, 256},
    {0x82, UsbdPipeTypeBulk, 512},
};

template<size_t N>
std::vector<EndpointSpec> endpoints(const EndpointSpec (&e)[N])
{
    return std::vector<EndpointSpec>(std::begin(e), std::end(e));
}

plat::sim::ModelInfo modelInfo(const SimModelSpec &s)
{
    plat::sim::ModelInfo m;
    m.name = s.name;
    m.vid = s.vid;
    m.pid = s.pid;
    m.channels = s.channels;
    switch (s.firmware) {
    case SimFirmware::CanFd: {
        m.endpoints = endpoints(kFdEndpoints);
        const int ch = s.channels;
        const uint8_t clock = s.clockMHz;
        const uint16_t version = s.version;
        m.create = [ch, clock, version] { return std::make_unique<SimCanFdModel>(ch, clock, version); };
        break;
    }
    case SimFirmware::Recording:
        m.endpoints = endpoints(kRecordEndpoints);
        m.create = [] { return std::make_unique<SimRecordModel>(); };
        break;
    case SimFirmware::Classic:
        m.endpoints = endpoints(kClassicEndpoints);
        m.create = [] { return std::make_unique<SimClassicModel>(); };
        break;
    case SimFirmware::Kvaser20:
        m.endpoints = endpoints(kKvaser20Endpoints);
        m.create = [] { return std::make_unique<SimKvaserModel>(false); };
        break;
    case SimFirmware::Kvaser32:
        m.endpoints = endpoints(kKvaser32Endpoints);
        m.create = [] { return std::make_unique<SimKvaserModel>(true); };
        break;
    }
    return m;
}

} // namespace

SimModelRange modelTable() { return {std::begin(kModels), std::end(kModels)}; }

const SimModelSpec *modelNamed(const char *name)
{
    for (const SimModelSpec &s : modelTable())
        if (name && std::strcmp(s.name, name) == 0)
            return &s;
    return nullptr;
}

} // namespace kemusb::sim

namespace kemusb {

void registerSimModels()
{
    static std::once_flag once;
    std::call_once(once, [] {
        plat::sim::registerEchoModel();
        for (const sim::SimModelSpec &s : sim::modelTable())
            plat::sim::registerModel(sim::modelInfo(s));
    });
}

} // namespace kemusb

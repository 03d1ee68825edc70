#pragma once
// The simulator's own list of the adapters it stands in for. It is kept
// apart from the library's model table (src/protocol/AdapterModels.h) on
// purpose: the simulator is the library's independent counterpart, so a
// model fact entered wrongly on one side shows as a disagreement between
// the two (tests/kemusb/ModelTableTest.cpp) instead of passing unseen.

#include <cstddef>
#include <cstdint>

namespace kemusb {

// Declares every simulated model, and the framework's echo device, to the
// simulated world; safe to call more than once. The transport calls it
// before its first enumeration when the back end carries models.
void registerSimModels();

} // namespace kemusb

namespace kemusb::sim {

// Which firmware answers on the wire.
enum class SimFirmware : uint8_t {
    CanFd,     // SimCanFdModel
    Recording, // SimRecordModel
    Classic,   // SimClassicModel
    Kvaser20,  // SimKvaserModel, 20-byte commands
    Kvaser32,  // SimKvaserModel, 32-byte commands
};

struct SimModelSpec
{
    const char *name;
    SimFirmware firmware;
    uint16_t vid;
    uint16_t pid;
    uint8_t channels;   // the adapter's CAN controllers
    uint8_t clockMHz;   // controller clock its bit timings are read at; 0: none
    bool canFd;         // offered CAN FD (the simulated controllers carry FD
                        // frames on every model all the same)
    uint16_t version;   // firmware version a CAN FD adapter reports
    uint32_t types[4];  // device type numbers the library reaches it under (0 ends)
};

struct SimModelRange
{
    const SimModelSpec *first;
    const SimModelSpec *last;
    const SimModelSpec *begin() const { return first; }
    const SimModelSpec *end() const { return last; }
    size_t size() const { return size_t(last - first); }
};

SimModelRange modelTable();
// The entry of a model name, or null.
const SimModelSpec *modelNamed(const char *name);

} // namespace kemusb::sim

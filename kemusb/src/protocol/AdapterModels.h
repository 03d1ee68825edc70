#pragma once
// Every adapter model kemusb drives, one row per device type number: the
// one place that says which types exist, how the library reaches them (the
// family: device class and export path), how many channels it drives on
// them, the controller clock their bit timings are worked out for, whether
// they are offered CAN FD, and their USB ids. Everything in kemusb that
// depends on a model reads it from here; kemusb/README.md ("Adding an
// adapter model") lists the other places a new model must be entered.

#include <cstddef>
#include <cstdint>

namespace kemusb {

enum class AdapterFamily : uint8_t {
    Classic,   // two-channel classic adapter (UsbCanClassicDevice; VCI_ path)
    CanFd,     // CAN FD adapters (QDeviceUsbCanFd2; handle path)
    Recording, // recording adapters (QDeviceCanRecord; handle path, no frames)
    Kvaser,    // Kvaser interfaces, 20-byte commands (QDeviceKvaser; VCI_/KVCI_ path)
    KvaserFd,  // Kvaser CAN FD interface, 32-byte commands (QDeviceKvaserProFD)
};

struct AdapterModel
{
    const char *name;
    uint32_t type;        // device type number of the exported functions
    AdapterFamily family;
    uint8_t channels;     // channels the library drives (for the Kvaser
                          // interfaces: the channels their commands address)
    uint8_t clockMHz;     // controller clock of its bit timings; 0: the
                          // library works out no timing for it
    bool canFd;           // offered CAN FD (the A models run classic CAN only)
    uint16_t vid;
    uint16_t pid;
};

inline constexpr AdapterModel kAdapterModels[] = {
    {"USBCAN2", 3, AdapterFamily::Classic, 2, 16, false, 0x0471, 0x1200},
    {"USBCAN2", 4, AdapterFamily::Classic, 2, 16, false, 0x0471, 0x1200},
    {"USBCANFD", 41, AdapterFamily::CanFd, 2, 60, true, 0x5E2D, 0x0009},
    {"USBCANFD", 42, AdapterFamily::CanFd, 2, 60, true, 0x5E2D, 0x0009},
    {"USBCANFD", 43, AdapterFamily::CanFd, 2, 60, true, 0x5E2D, 0x0009},
    {"TRND701", 61, AdapterFamily::Recording, 2, 0, true, 0x0471, 0x7B51},
    {"TRND702", 62, AdapterFamily::Recording, 2, 0, true, 0x0471, 0x7B52},
    {"KVPROFD", 63, AdapterFamily::KvaserFd, 16, 0, true, 0x0BFD, 0x0102},
    {"TRNB701", 64, AdapterFamily::CanFd, 4, 60, true, 0x0471, 0x7A42},
    {"TRNA701", 65, AdapterFamily::CanFd, 4, 60, false, 0x0471, 0x7A41},
    {"TRNA702", 66, AdapterFamily::CanFd, 8, 80, false, 0x0471, 0x7A43},
    {"TRNB702", 67, AdapterFamily::CanFd, 8, 80, true, 0x0471, 0x7A44},
    {"KVLEAF", 68, AdapterFamily::Kvaser, 8, 0, false, 0x0BFD, 0x0120},
    {"KVLEAFPRO", 69, AdapterFamily::Kvaser, 8, 0, false, 0x0BFD, 0x0122},
    {"KVLEAFPRO", 70, AdapterFamily::Kvaser, 8, 0, false, 0x0BFD, 0x0122},
    {"KVPROFD", 71, AdapterFamily::KvaserFd, 16, 0, true, 0x0BFD, 0x0102},
    {"KVLEAFPRO", 72, AdapterFamily::Kvaser, 8, 0, false, 0x0BFD, 0x0122},
    {"KVPROFD", 73, AdapterFamily::KvaserFd, 16, 0, true, 0x0BFD, 0x0102},
};

// The rows, for range-for.
struct AdapterModelRange
{
    const AdapterModel *first;
    const AdapterModel *last;
    constexpr const AdapterModel *begin() const { return first; }
    constexpr const AdapterModel *end() const { return last; }
    constexpr size_t size() const { return size_t(last - first); }
};

constexpr AdapterModelRange modelTable()
{
    return {kAdapterModels, kAdapterModels + sizeof kAdapterModels / sizeof kAdapterModels[0]};
}

// The row of a device type, or null for a type kemusb does not drive.
constexpr const AdapterModel *modelForType(uint32_t type)
{
    for (const AdapterModel &m : modelTable())
        if (m.type == type)
            return &m;
    return nullptr;
}

constexpr bool isFamily(uint32_t type, AdapterFamily family)
{
    const AdapterModel *m = modelForType(type);
    return m && m->family == family;
}

// The most channels any model of a family has: the channel slots of its
// device class.
constexpr int familyChannels(AdapterFamily family)
{
    int n = 0;
    for (const AdapterModel &m : modelTable())
        if (m.family == family && m.channels > n)
            n = m.channels;
    return n;
}

} // namespace kemusb

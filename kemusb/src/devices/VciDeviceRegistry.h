#pragma once
// The classic path's registry: one adapter object per open (type, index) of
// the classic adapter, and one per device index for each Kvaser family (the
// 20-byte interfaces share one set of indexes, the CAN FD interfaces
// another); and the two sections that serialise the receive side (receive,
// clear, count, KVCI_Receive) and the transmit side (transmit, direct
// transfer, KVCI_Transmit) of every such adapter.
//
// The maps themselves are guarded by a lock of their own, and look-ups hand
// out shared pointers, so an object a caller still uses outlives its close.

#include "kemusb/src/devices/QDevice.h"
#include "kemusb/src/devices/UsbCanClassicDevice.h"
#include "kemusb/src/protocol/AdapterModels.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <utility>

namespace kemusb {

class VciDeviceRegistry
{
public:
    static constexpr uint32_t kOpenFailed = 0xFFFFFFFFu;

    static VciDeviceRegistry &instance();

    static bool isClassicType(uint32_t type) { return isFamily(type, AdapterFamily::Classic); }
    static bool isKvaserType(uint32_t type)
    {
        return isFamily(type, AdapterFamily::Kvaser) || isFamily(type, AdapterFamily::KvaserFd);
    }

    // 0 opened or already open; kOpenFailed when it could not be opened.
    uint32_t open(uint32_t type, uint32_t index);
    // 1 when an adapter was closed, 0 when none was open.
    uint32_t close(uint32_t type, uint32_t index);
    void closeAll();

    std::shared_ptr<UsbCanClassicDevice> classic(uint32_t type, uint32_t index) const;
    std::shared_ptr<QDevice> kvaser(uint32_t type, uint32_t index) const;

    std::mutex &receiveSection() { return rxSection_; }
    std::mutex &transmitSection() { return txSection_; }

private:
    VciDeviceRegistry() = default;
    std::map<uint32_t, std::shared_ptr<QDevice>> *kvaserMap(uint32_t type);

    mutable std::mutex m_;
    std::map<std::pair<uint32_t, uint32_t>, std::shared_ptr<UsbCanClassicDevice>> classic_; // (type, index)
    std::map<uint32_t, std::shared_ptr<QDevice>> kvaser_, kvaserFd_;                      // by index
    std::mutex rxSection_;
    std::mutex txSection_;
};

} // namespace kemusb

#pragma once
// The handle path's registry: one device object per open (type, index) of
// the classic forwarding class (types 3, 4; index below 16), the CAN FD
// adapters (41-43, 64-67; index 0-15) and the recording adapters (61, 62;
// index 0 or 1). A device handle is the object itself; a channel handle is
// the record its InitCAN gave out. Both are checked against the registry
// before use, so a handle of a closed device is refused instead of followed.
//
// Opens, inits and closes run on driver threads while other threads look
// handles up: look-ups take the lock shared, changes take it exclusive.

#include "kemusb/src/devices/QDevice.h"

#include <functional>
#include <map>
#include <memory>
#include <shared_mutex>
#include <utility>

namespace kemusb {

class OcanDeviceRegistry
{
public:
    using Factory = std::function<QDevice *()>;

    static OcanDeviceRegistry &instance();

    // The classic forwarding class for types 3 and 4 (none: those opens fail).
    static void setClassicFactory(Factory f);

    // Opens (type, index); an object already open for it is given again.
    // nullptr when the type or index has no slot or the open fails.
    QDevice *open(uint32_t type, uint32_t index);
    // 1 closed and deleted; 0 when dev is not a registered device.
    uint32_t close(const void *dev);
    void closeAll();

    std::shared_ptr<QDevice> find(const void *dev) const;
    std::shared_ptr<QDevice> at(uint32_t type, uint32_t index) const;
    // The first open CAN FD adapter with this index.
    std::shared_ptr<QDevice> canFdAt(uint32_t index) const;

    // Channel handles given out by InitCAN through the registry.
    OcanChannelHandle *initCan(const void *dev, uint32_t channel, const OCAN_INIT_CONFIG *init);
    std::shared_ptr<QDevice> fromChannel(const void *handle, uint32_t *channel) const;

    static bool hasSlot(uint32_t type, uint32_t index);

private:
    OcanDeviceRegistry() = default;
    QDevice *create(uint32_t type) const;

    mutable std::shared_mutex m_;
    std::map<std::pair<uint32_t, uint32_t>, std::shared_ptr<QDevice>> slots_;
    std::map<const OcanChannelHandle *, std::weak_ptr<QDevice>> channels_;
};

} // namespace kemusb

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

#include <map>
#include <memory>
#include <shared_mutex>
#include <utility>

namespace kemusb {

class OcanDeviceRegistry
{
public:
    static OcanDeviceRegistry &instance();

    // Opens (type, index); an object already open for it is given again.
    // nullptr when the type or index has no slot or the open fails.
    QDevice *open(uint32_t type, uint32_t index);
    // 1 closed and deleted; 0 when dev is not a registered device.
    uint32_t close(const void *dev);
    void closeAll();

    std::shared_ptr<QDevice> find(const void *dev) const;
    std::shared_ptr<QDevice> at(uint32_t type, uint32_t index) const;

    // Channel handles given out by InitCAN through the registry.
    OcanChannelHandle *initCan(const void *dev, uint32_t channel, const OCAN_INIT_CONFIG *init);
    std::shared_ptr<QDevice> fromChannel(const void *handle, uint32_t *channel) const;

    // f(device) for a registered device handle; 0 for any other pointer.
    template<class F>
    uint32_t onDevice(const void *dev, F f) const
    {
        auto d = find(dev);
        return d ? f(*d) : 0;
    }
    // f(device, channel) for a channel handle given out here; else 0.
    template<class F>
    uint32_t onChannel(const void *handle, F f) const
    {
        uint32_t ch = 0;
        auto d = fromChannel(handle, &ch);
        return d ? f(*d, ch) : 0;
    }

    static bool hasSlot(uint32_t type, uint32_t index);

private:
    OcanDeviceRegistry() = default;
    static QDevice *create(uint32_t type);

    mutable std::shared_mutex m_;
    std::map<std::pair<uint32_t, uint32_t>, std::shared_ptr<QDevice>> slots_;
    std::map<const OcanChannelHandle *, std::weak_ptr<QDevice>> channels_;
};

// The property record GetDevProperty makes: SetValue and GetValue bound to
// the slot of one CAN FD adapter, its device type and index (whichever
// device holds that slot when they are called; 0 or none while it is
// empty), and the fixed description tree.
struct OcanDevProperty
{
    uint32_t (*SetValue)(const char *path, const char *value);
    const void *(*GetValue)(const char *path);
    const void *(*GetPropertys)();
};

// A new record for a CAN FD adapter's device handle; null for any other.
OcanDevProperty *makeDevProperty(const void *dev);

} // namespace kemusb

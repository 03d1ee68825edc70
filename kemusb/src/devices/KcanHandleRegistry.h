#pragma once
// What the KCAN_ functions keep of the handle path: per (type, index) the
// device that OCAN_OpenDevice gave and, per channel, the channel handle its
// initialisation gave. Look-ups take the lock shared; open, init and close
// take it exclusive.

#include "kemusb/src/devices/QDevice.h"

#include <map>
#include <mutex>
#include <memory>
#include <shared_mutex>
#include <utility>

namespace kemusb {

class KcanHandleRegistry
{
public:
    static KcanHandleRegistry &instance();

    void putDevice(uint32_t type, uint32_t index, std::shared_ptr<QDevice> dev);
    // Removes the entry with its channel handles; the device it held.
    std::shared_ptr<QDevice> takeDevice(uint32_t type, uint32_t index);
    void putChannel(uint32_t type, uint32_t index, uint32_t channel, OcanChannelHandle *h);

    std::shared_ptr<QDevice> device(uint32_t type, uint32_t index) const;
    // The device when a channel handle exists for (type, index, channel).
    std::shared_ptr<QDevice> channel(uint32_t type, uint32_t index, uint32_t channel) const;

    void clear();

private:
    struct Entry {
        std::shared_ptr<QDevice> dev;
        std::map<uint32_t, OcanChannelHandle *> channels;
    };
    mutable std::shared_mutex m_;
    std::map<std::pair<uint32_t, uint32_t>, Entry> entries_;
};

} // namespace kemusb

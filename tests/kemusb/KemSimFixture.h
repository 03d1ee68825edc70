#pragma once
// A fixture over the simulated adapters: one adapter of each model, every
// registry emptied and the world reset after each test, and the few steps
// the tests of replies and time-outs share (silencing an adapter's command
// channel, putting a reply of the test's own on it, delaying its replies).

#include "kemusb/include/kcan_records.h"
#include "kemusb/include/ocan_records.h"
#include "kemusb/src/devices/KcanHandleRegistry.h"
#include "kemusb/src/devices/OcanDeviceRegistry.h"
#include "kemusb/src/devices/VciDeviceRegistry.h"
#include "kemusb/src/sim/KemSimAdapters.h"
#include "kemusb/src/sim/KemSimModels.h"
#include "platform/PlatSim.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <mutex>

namespace kemtest {

// Device types of the models the tests use, and their USB ids.
constexpr uint32_t kTrnb701 = 64; // CAN FD, 4 channels, firmware 1.17 (transmits acknowledged)
constexpr uint32_t kTrna701 = 65; // CAN FD, 4 channels, firmware 2.10
constexpr uint32_t kTrna702 = 66; // CAN FD, 8 channels
constexpr uint32_t kTrnd701 = 61; // recording adapter
constexpr uint32_t kUsbCan2 = 3;  // classic adapter

struct UsbId {
    uint16_t vid, pid;
};
inline UsbId usbIdOf(uint32_t type)
{
    switch (type) {
    case 3:
    case 4:
        return {0x0471, 0x1200};
    case 61:
        return {0x0471, 0x7B51};
    case 62:
        return {0x0471, 0x7B52};
    case 64:
        return {0x0471, 0x7A42};
    case 65:
        return {0x0471, 0x7A41};
    case 66:
        return {0x0471, 0x7A43};
    case 67:
        return {0x0471, 0x7A44};
    case 68:
        return {0x0BFD, 0x0120};
    case 69:
    case 70:
    case 72:
        return {0x0BFD, 0x0122};
    case 63:
    case 71:
    case 73:
        return {0x0BFD, 0x0102};
    default:
        return {0x5E2D, 0x0009};
    }
}

// A CAN FD channel record at the given rates (FD on, standard 1).
inline KCAN_INITFD_CONFIG fdConfig(uint32_t arb, uint32_t data)
{
    KCAN_INITFD_CONFIG c;
    std::memset(&c, 0, sizeof c);
    c.ArbBaud = arb;
    c.DataBaud = data;
    c.FdEnable = 1;
    c.Standard = 1;
    return c;
}

class KemSimTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        kemusb::registerSimModels();
        prev_ = plat::setUsbBackend(makeBackend());
        plat::sim::World::instance().loadDefault();
    }
    void TearDown() override
    {
        kemusb::VciDeviceRegistry::instance().closeAll();
        kemusb::KcanHandleRegistry::instance().clear();
        kemusb::OcanDeviceRegistry::instance().closeAll();
        plat::sim::World::instance().reset();
        plat::setUsbBackend(prev_);
    }
    // The transport back end the test runs on.
    virtual std::shared_ptr<plat::UsbBackend> makeBackend() { return plat::sim::makeSimBackend(); }

    static std::recursive_mutex &worldLock() { return plat::sim::World::instance().lock(); }

    plat::sim::Adapter *adapter(uint32_t type, int index = 0)
    {
        const UsbId u = usbIdOf(type);
        return plat::sim::World::instance().adapter(u.vid, u.pid, index);
    }

    // Commands to a CAN FD or recording adapter get no reply of its own.
    void silence(uint32_t type, bool on = true)
    {
        std::lock_guard<std::recursive_mutex> g(worldLock());
        plat::sim::Adapter *a = adapter(type);
        if (auto *fd = a->modelAs<kemusb::sim::SimCanFdModel>())
            fd->setSilent(on);
        else if (auto *rec = a->modelAs<kemusb::sim::SimRecordModel>())
            rec->setSilent(on);
        else
            ADD_FAILURE() << "no command channel to silence on type " << type;
    }

    // Puts bytes on an IN endpoint of the adapter as a reply of its own,
    // arriving delayMs after now.
    void pushIn(uint32_t type, uint8_t ep, const std::vector<uint8_t> &bytes, uint32_t delayMs = 0)
    {
        std::lock_guard<std::recursive_mutex> g(worldLock());
        plat::sim::Adapter *a = adapter(type);
        a->inFaults(ep).delayMs = delayMs;
        a->push(ep, bytes);
        a->inFaults(ep).delayMs = 0;
    }

    // Whatever the adapter puts on ep from now on arrives delayMs later.
    void delayIn(uint32_t type, uint8_t ep, uint32_t delayMs)
    {
        std::lock_guard<std::recursive_mutex> g(worldLock());
        adapter(type)->inFaults(ep).delayMs = delayMs;
    }

    void clearIn(uint32_t type, uint8_t ep)
    {
        std::lock_guard<std::recursive_mutex> g(worldLock());
        adapter(type)->clearIn(ep);
    }

    std::shared_ptr<plat::UsbBackend> prev_;
};

} // namespace kemtest

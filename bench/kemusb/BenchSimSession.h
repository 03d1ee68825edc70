#pragma once
// The simulated back end for one benchmark: every simulated model
// registered, one adapter of each, and the previous back end put back and
// the simulated world emptied afterwards.

#include "kemusb/src/sim/KemSimModels.h"
#include "platform/PlatSim.h"

#include <memory>

struct BenchSimSession
{
    std::shared_ptr<plat::UsbBackend> prev;

    BenchSimSession()
    {
        kemusb::registerSimModels();
        prev = plat::setUsbBackend(plat::sim::makeSimBackend());
        plat::sim::World::instance().loadDefault();
    }
    ~BenchSimSession()
    {
        plat::sim::World::instance().reset();
        plat::setUsbBackend(prev);
    }
    BenchSimSession(const BenchSimSession &) = delete;
    BenchSimSession &operator=(const BenchSimSession &) = delete;

    // The first simulated adapter of a USB id, with its model.
    template<class Model>
    static Model *model(uint16_t vid, uint16_t pid, plat::sim::Adapter **adapter)
    {
        *adapter = plat::sim::World::instance().adapter(vid, pid, 0);
        return (*adapter)->modelAs<Model>();
    }
};

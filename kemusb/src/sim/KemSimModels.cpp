// The adapter models of the simulated back end. Each adapter family adds its
// model's registration here (see platform/PlatSim.h for how a model plugs in).
#include "kemusb/src/devices/QUserWinUsb.h"

#include "kemusb/src/sim/KemSimAdapters.h"
#include "kemusb/src/sim/KemSimClassic.h"
#include "platform/PlatSim.h"

#include <mutex>

namespace kemusb {

void registerSimModels()
{
    static std::once_flag once;
    std::call_once(once, [] {
        plat::sim::registerEchoModel();
        kemusb::sim::registerAdapterModels(); // CAN FD and recording adapters
        kemusb::sim::registerClassicModels(); // classic adapter and Kvaser interfaces
        // Adapter families register their models here.
    });
}

} // namespace kemusb

// The adapter models of the simulated back end. Each adapter family adds its
// model's registration here (see platform/PlatSim.h for how a model plugs in).
#include "QUserWinUsb.h"

#include "KemSimAdapters.h"
#include "KemSimClassic.h"
#include "PlatSim.h"

#include <mutex>

namespace kemusb {

void registerSimModels()
{
    static std::once_flag once;
    std::call_once(once, [] {
        plat::sim::registerEchoModel();
        kemsim::registerAdapterModels(); // CAN FD and recording adapters
        kemsim::registerClassicModels(); // classic adapter and Kvaser interfaces
        // Adapter families register their models here.
    });
}

} // namespace kemusb

// Entry and exit of the shared library; the exported function families are
// the other files of this folder. Not part of kemusb_core: the tests link
// the core without this unload hook.
#include "kemusb/include/kemusb_export.h"
#include "kemusb/src/devices/KemLibrary.h"
#include "platform/PlatGlobals.h"

namespace {

// dlclose() or process exit: no device thread may outlive the code it runs.
__attribute__((destructor)) void kemusbUnload()
{
    kemusb::shutdownLibrary();
    kemusb::releaseLibraryState();
    plat::releaseGlobals();
}

} // namespace

// Entry and exit of the shared library. The exported function families are
// defined with KEMUSB_API (include/kemusb_export.h) in the files of this
// folder and of kemusb/.
#include "KemLibrary.h"
#include "PlatGlobals.h"
#include "kemusb_export.h"

namespace {

// dlclose() or process exit: no device thread may outlive the code it runs.
__attribute__((destructor)) void kemusbUnload()
{
    kemusb::shutdownLibrary();
    kemusb::releaseLibraryState();
    plat::releaseGlobals();
}

} // namespace

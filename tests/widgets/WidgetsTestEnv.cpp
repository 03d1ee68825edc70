// The whole widget test binary runs in a temporary working directory of its
// own: the widgets read "setting/sys.ini" relative to it.
#include "tests/support/TempWorkDir.h"

namespace {
TempWorkDir g_binaryWorkDir;
}

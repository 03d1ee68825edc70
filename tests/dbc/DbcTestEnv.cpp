// The DBC test binary keeps the system configuration ("setting/sys.ini") in
// a working directory of its own that lives as long as the binary, so that
// what the windows write stays readable from the file; every test still
// runs in a fresh directory of its own.
#include "tests/support/TempWorkDir.h"
#include "core/QUserSysCfg.h"

namespace {
TempWorkDir g_binaryWorkDir;
QUserSysCfg *g_sysCfg = QUserSysCfg::instance();
} // namespace

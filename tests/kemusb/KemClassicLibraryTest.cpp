// The shared library from Python on the simulated classic adapter: records
// declared there from their byte layout, two channels on one bus through
// KCAN_InitCAN, KCAN_Transmit and KCAN_Receive, the relay and bus-timing
// queries, and the VCI_/KVCI_ names among the exports.

#include "tests/support/PeerCheck.h"

#include <gtest/gtest.h>

#include <link.h>

#include <string>

namespace {

#if defined(__SANITIZE_ADDRESS__)
// A sanitizer build's library needs the sanitizer runtimes loaded before it.
int sanitizerRuntime(dl_phdr_info *info, size_t, void *out)
{
    const std::string name = info->dlpi_name ? info->dlpi_name : "";
    if (name.find("libasan") != std::string::npos || name.find("libubsan") != std::string::npos) {
        auto &list = *static_cast<std::string *>(out);
        list += (list.empty() ? "" : ":") + name;
    }
    return 0;
}
#endif

struct PreloadSanitizers {
#if defined(__SANITIZE_ADDRESS__)
    PreloadSanitizers()
    {
        std::string preload;
        dl_iterate_phdr(&sanitizerRuntime, &preload);
        ::setenv("LD_PRELOAD", preload.c_str(), 1);
        ::setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
    }
    ~PreloadSanitizers()
    {
        ::unsetenv("LD_PRELOAD");
        ::unsetenv("ASAN_OPTIONS");
    }
#endif
};

} // namespace

TEST(KemClassicLibrary, CtypesDrivesASimulatedClassicAdapter)
{
    PreloadSanitizers env;
    const auto r = peer::run(peer::script("kemusb_classic_ctypes.py"), {peer::binDir() + "/libkemusb.so"});
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_NE(r.output.find("ok"), std::string::npos) << r.output;
}

#include "kemusb/src/devices/KemLibrary.h"
#include "tests/kemusb/TestDevices.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

using namespace kemusb;

TEST(Library, TeardownClosesEveryDeviceAndJoinsEveryThread)
{
    auto prev = plat::setUsbBackend(plat::sim::makeSimBackend());
    auto &world = plat::sim::World::instance();
    world.reset();
    world.addAdapter("ECHO");
    world.addAdapter("ECHO");
    {
        EchoDevice a, b;
        ASSERT_EQ(a.Open(99, 0), 1u);
        ASSERT_EQ(b.Open(99, 1), 1u);
        int hookRuns = 0;
        addShutdownHook([&] { ++hookRuns; });
        EXPECT_GE(runningThreadCount(), 2);
        shutdownLibrary();
        EXPECT_EQ(hookRuns, 1);
        EXPECT_EQ(runningThreadCount(), 0);
        EXPECT_FALSE(a.thread.hasThread());
        EXPECT_FALSE(b.thread.hasThread());
        EXPECT_GE(a.closes.load(), 1);
        EXPECT_FALSE(world.adapter(plat::sim::kEchoVid, plat::sim::kEchoPid, 0)->isOpen());
        shutdownLibrary(); // again: nothing left to do
        EXPECT_EQ(hookRuns, 1);
    }
    world.reset();
    plat::setUsbBackend(prev);
}

namespace {

// The library lands next to the test program.
std::string libraryPath()
{
    char exe[4096];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    std::string dir = ".";
    if (n > 0) {
        exe[n] = 0;
        dir = exe;
        dir = dir.substr(0, dir.rfind('/'));
    }
    return dir + "/libkemusb.so";
}

std::string run(const std::string &cmd)
{
    std::string out;
    if (FILE *p = popen(cmd.c_str(), "r")) {
        char buf[512];
        while (fgets(buf, sizeof buf, p))
            out += buf;
        pclose(p);
    }
    return out;
}

} // namespace

TEST(Library, SharedLibraryLoadsWithoutQtAndExportsOnlyPlainCNames)
{
    const std::string lib = libraryPath();
    void *h = dlopen(lib.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(h, nullptr) << dlerror();
    EXPECT_EQ(dlsym(h, "_ZN6kemusb15shutdownLibraryEv"), nullptr); // internals stay hidden
    EXPECT_NE(dlsym(h, "KCAN_DevIsGone"), nullptr);                  // the device layer asks it by name
    EXPECT_EQ(dlclose(h), 0);

    const std::string needed = run("readelf -d '" + lib + "' 2>/dev/null");
    if (needed.empty())
        GTEST_SKIP() << "readelf not available";
    EXPECT_EQ(needed.find("Qt5"), std::string::npos) << needed;
    const std::string syms = run("nm -D --defined-only '" + lib + "' 2>/dev/null");
    EXPECT_EQ(syms.find(" _Z"), std::string::npos) << syms; // no C++ names
}

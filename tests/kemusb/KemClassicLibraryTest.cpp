// The shared library from Python on the simulated classic adapter: records
// declared there from their byte layout, two channels on one bus through
// KCAN_InitCAN, KCAN_Transmit and KCAN_Receive, the relay and bus-timing
// queries, and the VCI_/KVCI_ names among the exports.

#include "tests/kemusb/KemTestUtil.h"

#include <gtest/gtest.h>

#include <string>

TEST(KemClassicLibrary, CtypesDrivesASimulatedClassicAdapter)
{
    const auto r = kemtest::runLibraryPeer("kemusb_classic_ctypes.py");
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_NE(r.output.find("ok"), std::string::npos) << r.output;
}

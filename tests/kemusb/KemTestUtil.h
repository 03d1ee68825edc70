#pragma once
// Small helpers of the kemusb tests: frames and byte runs to send, the OUT
// writes a simulated adapter logged on one endpoint, a receive loop that
// collects frames for a while, and the peer run of a Python script against
// the shared library.

#include "kemusb/include/kcan_records.h"
#include "platform/PlatSim.h"
#include "tests/support/PeerCheck.h"

#include <link.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace kemtest {

// from, from + 1, ... (n bytes).
inline std::vector<uint8_t> seq(int from, int n)
{
    std::vector<uint8_t> v;
    for (int i = 0; i < n; ++i)
        v.push_back(uint8_t(from + i));
    return v;
}

inline KCAN_CAN_OBJ kcanFrame(uint32_t id, bool ext, bool rtr, uint8_t len, const std::vector<uint8_t> &data,
                              uint8_t sendType = 0)
{
    KCAN_CAN_OBJ f;
    std::memset(&f, 0, sizeof f);
    f.ID = id;
    f.ExternFlag = ext;
    f.RemoteFlag = rtr;
    f.DataLen = len;
    f.SendType = sendType;
    if (!data.empty())
        std::memcpy(f.Data, data.data(), data.size() < 8 ? data.size() : 8);
    return f;
}

// The OUT writes the adapter logged on endpoint ep, in order.
inline std::vector<plat::sim::OutRecord> outOn(plat::sim::Adapter *a, uint8_t ep)
{
    std::vector<plat::sim::OutRecord> r;
    for (auto &o : a->outLog())
        if (o.ep == ep)
            r.push_back(o);
    return r;
}

// Calls take(buffer, room) (which returns how many records it stored) until
// want records came or waitMs of real time passed.
template<class Rec, class Take>
std::vector<Rec> collect(size_t want, int32_t waitMs, Take take)
{
    std::vector<Rec> got;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    while (got.size() < want && std::chrono::steady_clock::now() < until) {
        Rec buf[64];
        const uint32_t n = take(buf, uint32_t(64));
        got.insert(got.end(), buf, buf + n);
    }
    return got;
}

#if defined(__SANITIZE_ADDRESS__)
inline int collectSanitizerRuntime(dl_phdr_info *info, size_t, void *out)
{
    const std::string name = info->dlpi_name ? info->dlpi_name : "";
    if (name.find("libasan") != std::string::npos || name.find("libubsan") != std::string::npos) {
        auto &list = *static_cast<std::string *>(out);
        list += (list.empty() ? "" : ":") + name;
    }
    return 0;
}
#endif

// Runs a peer script with the build's libkemusb.so as its argument. A
// sanitizer build's library needs the sanitizer runtimes loaded before it:
// the script gets the ones this test runs with.
inline peer::Result runLibraryPeer(const std::string &script)
{
#if defined(__SANITIZE_ADDRESS__)
    std::string preload;
    dl_iterate_phdr(&collectSanitizerRuntime, &preload);
    ::setenv("LD_PRELOAD", preload.c_str(), 1);
    ::setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
#endif
    peer::Result r = peer::run(peer::script(script), {peer::binDir() + "/libkemusb.so"});
#if defined(__SANITIZE_ADDRESS__)
    ::unsetenv("LD_PRELOAD");
    ::unsetenv("ASAN_OPTIONS");
#endif
    return r;
}

} // namespace kemtest

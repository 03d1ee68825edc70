#pragma once
// Golden packets worked out by a peer script from the adapters' byte tables
// (tests/peers/kemusb_*golden.py), one "name hex" line each, and the hex
// text our bytes are compared in.

#include "tests/support/PeerCheck.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace golden {

inline std::string hex(const std::vector<uint8_t> &b)
{
    static const char *d = "0123456789abcdef";
    std::string s;
    for (uint8_t c : b) {
        s += d[c >> 4];
        s += d[c & 15];
    }
    return s;
}

inline std::vector<uint8_t> bytes(const std::string &hexText)
{
    std::vector<uint8_t> b;
    for (size_t i = 0; i + 1 < hexText.size(); i += 2)
        b.push_back(uint8_t(std::stoul(hexText.substr(i, 2), nullptr, 16)));
    return b;
}

// The packets a peer script prints, by name (args: the script's arguments).
inline std::map<std::string, std::string> vectors(const std::string &script,
                                                  const std::vector<std::string> &args = {})
{
    std::map<std::string, std::string> m;
    const auto r = peer::run(peer::script(script), args);
    EXPECT_EQ(r.exitCode, 0) << r.output;
    std::istringstream in(r.output);
    std::string name, value;
    while (in >> name >> value)
        m[name] = value;
    return m;
}

} // namespace golden

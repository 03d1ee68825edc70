#pragma once
// Peer checks: small scripts run by Debian's /usr/bin/python3 with
// python3-can, python3-canmatrix and python3-cryptography, held against what
// our code writes or reads. The deps script installs the modules, so under CI
// (CI set in the environment) a missing module fails the test; on a
// developer's machine it skips with a message.

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>
#include <sys/wait.h>

namespace peer {

inline const char *python() { return "/usr/bin/python3"; }

// The source and build trees: from the environment ctest sets, else the
// paths the test binary was configured with (so a binary run by hand works).
inline std::string sourceDir()
{
    const char *d = std::getenv("ORVANE_SOURCE_DIR");
#ifdef ORVANE_SOURCE_DIR_DEFAULT
    return d ? d : ORVANE_SOURCE_DIR_DEFAULT;
#else
    return d ? d : ".";
#endif
}

inline std::string binaryDir()
{
    const char *d = std::getenv("ORVANE_BINARY_DIR");
#ifdef ORVANE_BINARY_DIR_DEFAULT
    return d ? d : ORVANE_BINARY_DIR_DEFAULT;
#else
    return d ? d : ".";
#endif
}

// Directory of the programs and shared libraries of the build.
inline std::string binDir() { return binaryDir() + "/bin"; }

// Path of a script under tests/peers/.
inline std::string script(const std::string &name) { return sourceDir() + "/tests/peers/" + name; }

inline std::string shellQuote(const std::string &s)
{
    std::string out = "'";
    for (char c : s) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

struct Result {
    int exitCode = -1;
    std::string output; // stdout and stderr together
};

inline Result run(const std::string &scriptPath, const std::vector<std::string> &args = {})
{
    std::string cmd = std::string(python()) + " " + shellQuote(scriptPath);
    for (const auto &a : args)
        cmd += " " + shellQuote(a);
    cmd += " 2>&1";
    Result r;
    FILE *p = popen(cmd.c_str(), "r");
    if (!p)
        return r;
    std::array<char, 4096> buf;
    size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), p)) > 0)
        r.output.append(buf.data(), n);
    int status = pclose(p);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

// True when /usr/bin/python3 can import every module named.
inline bool haveModules(const std::vector<std::string> &modules, std::string *missing = nullptr)
{
    for (const auto &m : modules) {
        std::string cmd = std::string(python()) + " -c " + shellQuote("import " + m) + " >/dev/null 2>&1";
        if (std::system(cmd.c_str()) != 0) {
            if (missing)
                *missing = m;
            return false;
        }
    }
    return true;
}

inline bool underCi() { return std::getenv("CI") != nullptr; }

} // namespace peer

// Skip (locally) or fail (under CI) when a peer module is missing.
#define REQUIRE_PEER_MODULES(...)                                                          \
    do {                                                                                   \
        std::string missing_;                                                              \
        if (!peer::haveModules({__VA_ARGS__}, &missing_)) {                                \
            if (peer::underCi())                                                           \
                FAIL() << "python module " << missing_ << " missing under /usr/bin/python3"; \
            GTEST_SKIP() << "python module " << missing_                                   \
                         << " missing under /usr/bin/python3; run scripts/deps.sh";        \
        }                                                                                  \
    } while (0)

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
#include <link.h>
#include <string>
#include <vector>
#include <sys/wait.h>

#if defined(__SANITIZE_ADDRESS__)
#define ORVANE_PEER_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ORVANE_PEER_SANITIZED 1
#endif
#endif

namespace peer {

inline const char *python() { return "/usr/bin/python3"; }

#ifndef ORVANE_SOURCE_DIR_DEFAULT
#define ORVANE_SOURCE_DIR_DEFAULT "."
#endif
#ifndef ORVANE_BINARY_DIR_DEFAULT
#define ORVANE_BINARY_DIR_DEFAULT "."
#endif

// The source and build trees: from the environment, else the paths the test
// binary was configured with (so a binary run by hand works).
inline std::string sourceDir()
{
    const char *d = std::getenv("ORVANE_SOURCE_DIR");
    return d ? d : ORVANE_SOURCE_DIR_DEFAULT;
}

inline std::string binaryDir()
{
    const char *d = std::getenv("ORVANE_BINARY_DIR");
    return d ? d : ORVANE_BINARY_DIR_DEFAULT;
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

// Runs the script with the environment settings envPrefix (VAR=value ...,
// already quoted) for the interpreter only.
inline Result runWithEnv(const std::string &envPrefix, const std::string &scriptPath,
                         const std::vector<std::string> &args)
{
    std::string cmd = envPrefix + std::string(python()) + " " + shellQuote(scriptPath);
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

inline Result run(const std::string &scriptPath, const std::vector<std::string> &args = {})
{
    return runWithEnv(std::string(), scriptPath, args);
}

// True when this test program is built with AddressSanitizer.
inline constexpr bool sanitizedBuild()
{
#if defined(ORVANE_PEER_SANITIZED)
    return true;
#else
    return false;
#endif
}

// The sanitizer runtime libraries this program runs with (libasan,
// libubsan), joined by ":"; empty when they are not shared libraries.
inline std::string sanitizerRuntimes()
{
    std::string list;
    dl_iterate_phdr(
        [](dl_phdr_info *info, size_t, void *out) {
            const std::string name = info->dlpi_name ? info->dlpi_name : "";
            if (name.find("libasan") != std::string::npos || name.find("libubsan") != std::string::npos) {
                auto &l = *static_cast<std::string *>(out);
                l += (l.empty() ? "" : ":") + name;
            }
            return 0;
        },
        &list);
    return list;
}

// False when a shared library of this build cannot be loaded into Python:
// a sanitizer build's libraries need the sanitizer runtimes loaded before
// them, and this compiler links them into the program instead of sharing
// them.
inline bool sharedLibrariesLoadable()
{
    return !sanitizedBuild() || !sanitizerRuntimes().empty();
}

// Runs a script that loads a shared library of this build (ctypes). In a
// sanitizer build the interpreter starts with the sanitizer runtimes this
// program runs with preloaded (the library expects them first) and with leak
// reports off (the interpreter's leaks are not ours); otherwise as run().
inline Result runLoadingLibrary(const std::string &scriptPath, const std::vector<std::string> &args = {})
{
    std::string env;
    if (sanitizedBuild()) {
        const std::string preload = sanitizerRuntimes();
        if (!preload.empty())
            env = "LD_PRELOAD=" + shellQuote(preload) + " ASAN_OPTIONS=detect_leaks=0 ";
    }
    return runWithEnv(env, scriptPath, args);
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

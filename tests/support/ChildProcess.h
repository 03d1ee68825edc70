#pragma once
// Runs a piece of a test in a forked child, for what must not happen in the
// test process itself: an abort that would end the whole binary, a kill at a
// chosen moment, or a process whose address space is cut short so that the
// next large allocation fails.

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define ORVANE_CHILD_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define ORVANE_CHILD_SANITIZED 1
#endif
#endif

namespace child {

// An address-space limit makes the next large allocation fail, except under
// the sanitizers: their allocators reserve their own ranges and report an
// exhausted limit as an error of their own instead of failing the call.
#if defined(ORVANE_CHILD_SANITIZED)
constexpr bool kAddressLimitWorks = false;
#else
constexpr bool kAddressLimitWorks = true;
#endif

// How a child ended: its exit code, or the signal that ended it.
struct Outcome {
    bool exited = false;
    int code = -1;   // exit code when exited
    int signal = 0;  // terminating signal otherwise

    bool exitedWith(int c) const { return exited && code == c; }
    std::string describe() const
    {
        return exited ? "exit code " + std::to_string(code) : "signal " + std::to_string(signal);
    }
};

inline Outcome wait(pid_t pid)
{
    Outcome o;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid)
        return o;
    if (WIFEXITED(status)) {
        o.exited = true;
        o.code = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        o.signal = WTERMSIG(status);
    }
    return o;
}

// Forks, runs body in the child and ends the child with its result as exit
// code (without running the parent's exit handlers or test teardown). The
// body runs as a C caller would see it: an exception that leaves it ends the
// child with an abort, as it would end a program calling a C interface.
inline Outcome run(const std::function<int()> &body)
{
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid < 0)
        return Outcome();
    if (pid == 0) {
        const auto asFromC = [&]() noexcept { return body(); };
        _exit(asFromC());
    }
    return wait(pid);
}

// The process's present virtual size in bytes (0 when it cannot be read).
inline size_t virtualSize()
{
    FILE *f = std::fopen("/proc/self/statm", "r");
    if (!f)
        return 0;
    unsigned long pages = 0;
    const int n = std::fscanf(f, "%lu", &pages);
    std::fclose(f);
    return n == 1 ? size_t(pages) * size_t(sysconf(_SC_PAGESIZE)) : 0;
}

// Leaves the calling process `headroom` bytes of address space beyond what
// it maps now; false when the limit cannot be set.
inline bool limitAddressSpace(size_t headroom)
{
    const size_t now = virtualSize();
    if (now == 0)
        return false;
    struct rlimit r;
    r.rlim_cur = r.rlim_max = rlim_t(now + headroom);
    return setrlimit(RLIMIT_AS, &r) == 0;
}

} // namespace child

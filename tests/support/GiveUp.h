#pragma once
// How long a test waits for something that is bound to happen before it
// takes it for never, and a wait of plain threads (no event loop) for it.
//
// The time is a bound to give up at, never what a test asserts: a loaded
// machine (16 busy processes beside the sanitizer builds' tests) may take
// seconds for what takes a millisecond alone.

#include <chrono>
#include <thread>

namespace testsupport {

constexpr int kGiveUpMs = 60000;

// Polls pred on this thread until it holds or ms pass; whether it held.
template<class Pred>
bool waitUntilReal(Pred pred, int ms = kGiveUpMs)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!pred()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return true;
}

} // namespace testsupport

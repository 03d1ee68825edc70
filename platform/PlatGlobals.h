#pragma once
// Process-wide state of the platform layer (tick source, transport back end,
// simulated world) lives on the heap and is never destroyed by static
// destructors: device threads may still run while those execute at process
// exit. A library that can be unloaded calls releaseGlobals() from its unload
// hook, once every device thread has been joined, so nothing is left behind.

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

namespace plat {

// Registers a function that frees one module's state (called once each,
// latest first, by releaseGlobals).
void atRelease(void (*fn)());
void releaseGlobals();

// A process-wide service that tests may replace (the tick source, the
// transport back end). The one in use is read without a lock; every one that
// was in use once stays alive until release(), since a thread may still be
// inside one of its calls when it is replaced.
//
// Declared at namespace scope with its own release hook, so that it is
// constant-initialised and never destroyed at exit:
//   SwappableService<TickSource> g_ticks{[] { g_ticks.release(); }};
template<class T>
class SwappableService
{
public:
    constexpr explicit SwappableService(void (*releaseHook)()) : releaseHook_(releaseHook) {}

    // The one installed, or null.
    T *current() const { return current_.load(std::memory_order_acquire); }

    // Installs s (null: none) and returns the one it replaces.
    std::shared_ptr<T> install(std::shared_ptr<T> s)
    {
        std::lock_guard<std::mutex> g(m_);
        State &st = state();
        std::shared_ptr<T> prev = st.current;
        if (prev)
            st.retired.push_back(prev);
        st.current = std::move(s);
        current_.store(st.current.get(), std::memory_order_release);
        return prev;
    }

    // The one installed; when there is none, the one make() gives, installed.
    template<class Make>
    T &currentOr(Make make)
    {
        if (T *t = current())
            return *t;
        std::lock_guard<std::mutex> g(m_);
        State &st = state();
        if (!st.current) {
            st.current = make();
            current_.store(st.current.get(), std::memory_order_release);
        }
        return *st.current;
    }

    // Frees every instance; for the release hook.
    void release()
    {
        current_.store(nullptr);
        std::lock_guard<std::mutex> g(m_);
        delete state_;
        state_ = nullptr;
    }

private:
    struct State
    {
        std::shared_ptr<T> current;
        std::vector<std::shared_ptr<T>> retired;
    };

    State &state() // m_ held
    {
        if (!state_) {
            state_ = new State;
            atRelease(releaseHook_);
        }
        return *state_;
    }

    void (*releaseHook_)();
    std::mutex m_;
    State *state_ = nullptr;
    std::atomic<T *> current_{nullptr};
};

} // namespace plat

#include "platform/PlatGlobals.h"

#include <mutex>

namespace plat {

namespace {
// Plain static storage: nothing here is constructed or destroyed at run time.
std::mutex g_mutex;
void (*g_fns[32])();
int g_count = 0;
} // namespace

void atRelease(void (*fn)())
{
    std::lock_guard<std::mutex> g(g_mutex);
    for (int i = 0; i < g_count; ++i)
        if (g_fns[i] == fn)
            return;
    if (g_count < 32)
        g_fns[g_count++] = fn;
}

void releaseGlobals()
{
    for (;;) {
        void (*fn)() = nullptr;
        {
            std::lock_guard<std::mutex> g(g_mutex);
            if (g_count == 0)
                return;
            fn = g_fns[--g_count];
        }
        fn();
    }
}

} // namespace plat

#include "kemusb/src/devices/KemLibrary.h"

#include "kemusb/src/devices/DeviceThread.h"
#include "kemusb/src/devices/QDevice.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace kemusb {

namespace {

struct State
{
    std::recursive_mutex m;
    std::vector<QDevice *> devices;
    std::vector<DeviceThread *> threads;
    std::vector<std::function<void()>> hooks;
};

std::mutex g_stateMutex;
State *g_state = nullptr; // not a static object: device threads may outlive those

State &state()
{
    std::lock_guard<std::mutex> g(g_stateMutex);
    if (!g_state)
        g_state = new State;
    return *g_state;
}

template<class T>
void erase(std::vector<T *> &v, T *p)
{
    v.erase(std::remove(v.begin(), v.end(), p), v.end());
}

} // namespace

void trackDevice(QDevice *dev)
{
    std::lock_guard<std::recursive_mutex> g(state().m);
    state().devices.push_back(dev);
}

void untrackDevice(QDevice *dev)
{
    std::lock_guard<std::recursive_mutex> g(state().m);
    erase(state().devices, dev);
}

void trackThread(DeviceThread *t)
{
    std::lock_guard<std::recursive_mutex> g(state().m);
    state().threads.push_back(t);
}

void untrackThread(DeviceThread *t)
{
    std::lock_guard<std::recursive_mutex> g(state().m);
    erase(state().threads, t);
}

void addShutdownHook(std::function<void()> hook)
{
    std::lock_guard<std::recursive_mutex> g(state().m);
    state().hooks.push_back(std::move(hook));
}

void shutdownLibrary()
{
    State &s = state();
    std::vector<std::function<void()>> hooks;
    {
        std::lock_guard<std::recursive_mutex> g(s.m);
        hooks.swap(s.hooks);
    }
    for (auto it = hooks.rbegin(); it != hooks.rend(); ++it)
        (*it)();

    // Close one device at a time; Close() may delete others or stop threads.
    std::vector<QDevice *> closed;
    for (;;) {
        QDevice *next = nullptr;
        {
            std::lock_guard<std::recursive_mutex> g(s.m);
            for (QDevice *d : s.devices)
                if (std::find(closed.begin(), closed.end(), d) == closed.end()) {
                    next = d;
                    break;
                }
        }
        if (!next)
            break;
        closed.push_back(next);
        next->Close();
    }
    for (;;) {
        DeviceThread *t = nullptr;
        {
            std::lock_guard<std::recursive_mutex> g(s.m);
            if (!s.threads.empty())
                t = s.threads.back();
        }
        if (!t)
            break;
        t->stop(); // untracks it
    }
}

void releaseLibraryState()
{
    std::lock_guard<std::mutex> g(g_stateMutex);
    delete g_state;
    g_state = nullptr;
}

int liveDeviceCount()
{
    std::lock_guard<std::recursive_mutex> g(state().m);
    return int(state().devices.size());
}

int runningThreadCount()
{
    std::lock_guard<std::recursive_mutex> g(state().m);
    return int(state().threads.size());
}

} // namespace kemusb

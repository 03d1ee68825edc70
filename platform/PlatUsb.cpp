#include "PlatUsb.h"

#include "PlatGlobals.h"
#include "PlatLibusb.h"
#include "PlatSim.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace plat {

const char *const kUsbInterfaceGuid = "{a5dcbf10-6530-11d2-901f-00c04fb951ed}";

std::string usbInterfacePath(uint16_t vid, uint16_t pid, const std::string &instance)
{
    char head[64];
    std::snprintf(head, sizeof head, "\\\\?\\usb#vid_%04x&pid_%04x#", vid, pid);
    return std::string(head) + instance + "#" + kUsbInterfaceGuid;
}

std::string usbPathInstance(const std::string &path)
{
    // \\?\usb#vid_xxxx&pid_xxxx#INSTANCE#{guid}
    size_t a = path.find('#');
    if (a == std::string::npos)
        return {};
    size_t b = path.find('#', a + 1);
    if (b == std::string::npos)
        return {};
    size_t c = path.find('#', b + 1);
    if (c == std::string::npos)
        return {};
    return path.substr(b + 1, c - b - 1);
}

namespace {

struct UsbState
{
    std::shared_ptr<UsbBackend> backend;
    // Back ends that were current once: open devices may still use them.
    std::vector<std::shared_ptr<UsbBackend>> retired;
};
std::mutex g_mutex;
UsbState *g_state = nullptr; // guarded by g_mutex
std::atomic<UsbBackend *> g_current{nullptr};

void releaseUsbState()
{
    g_current.store(nullptr);
    std::lock_guard<std::mutex> g(g_mutex);
    delete g_state;
    g_state = nullptr;
}

UsbState &usbState() // g_mutex held
{
    if (!g_state) {
        g_state = new UsbState;
        atRelease(&releaseUsbState);
    }
    return *g_state;
}

std::shared_ptr<UsbBackend> fromEnvironment()
{
    const char *v = std::getenv("KEMUSB_BACKEND");
    if (v && std::strcmp(v, "sim") == 0)
        return sim::makeSimBackend();
    return makeLibusbBackend(makeRealLibusbApi());
}

} // namespace

UsbBackend &usbBackend()
{
    UsbBackend *b = g_current.load(std::memory_order_acquire);
    if (b)
        return *b;
    std::lock_guard<std::mutex> g(g_mutex);
    UsbState &st = usbState();
    if (!st.backend) {
        st.backend = fromEnvironment();
        g_current.store(st.backend.get(), std::memory_order_release);
    }
    return *st.backend;
}

std::shared_ptr<UsbBackend> setUsbBackend(std::shared_ptr<UsbBackend> backend)
{
    std::lock_guard<std::mutex> g(g_mutex);
    UsbState &st = usbState();
    std::shared_ptr<UsbBackend> prev = st.backend;
    if (prev)
        st.retired.push_back(prev);
    st.backend = std::move(backend);
    g_current.store(st.backend.get(), std::memory_order_release);
    return prev;
}

} // namespace plat

#include "platform/PlatUsb.h"

#include "platform/PlatGlobals.h"
#include "platform/PlatLibusb.h"
#include "platform/sim/Backend.h"

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

// Back ends that were current once stay alive: open devices may still use them.
SwappableService<UsbBackend> g_backend{[] { g_backend.release(); }};

std::shared_ptr<UsbBackend> fromEnvironment()
{
    const char *v = std::getenv("KEMUSB_BACKEND");
    if (v && std::strcmp(v, "sim") == 0)
        return sim::makeSimBackend();
    return makeLibusbBackend(makeRealLibusbApi());
}

} // namespace

UsbBackend &usbBackend() { return g_backend.currentOr(&fromEnvironment); }

std::shared_ptr<UsbBackend> setUsbBackend(std::shared_ptr<UsbBackend> backend)
{
    return g_backend.install(std::move(backend));
}

} // namespace plat

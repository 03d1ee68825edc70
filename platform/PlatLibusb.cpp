#include "platform/PlatLibusb.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <map>
#include <mutex>

namespace plat {

std::string libusbInstance(uint8_t bus, const std::vector<uint8_t> &ports)
{
    std::string s = std::to_string(bus) + "-";
    for (size_t i = 0; i < ports.size(); ++i) {
        if (i)
            s += '.';
        s += std::to_string(ports[i]);
    }
    return s;
}

namespace {

// ---------------------------------------------------------------------------
// The real calls.

class RealLibusb final : public LibusbApi
{
public:
    ~RealLibusb() override
    {
        if (ctx_)
            libusb_exit(ctx_);
    }

    bool init() override
    {
        std::lock_guard<std::mutex> g(m_);
        if (ctx_)
            return true;
        if (tried_)
            return false;
        tried_ = true;
        return libusb_init(&ctx_) == 0;
    }

    std::vector<LibusbDeviceId> list() override
    {
        std::vector<LibusbDeviceId> out;
        if (!init())
            return out;
        libusb_device **devs = nullptr;
        ssize_t n = libusb_get_device_list(ctx_, &devs);
        for (ssize_t i = 0; i < n; ++i)
            out.push_back(idOf(devs[i]));
        if (devs)
            libusb_free_device_list(devs, 1);
        return out;
    }

    void *open(const LibusbDeviceId &id) override
    {
        if (!init())
            return nullptr;
        libusb_device **devs = nullptr;
        ssize_t n = libusb_get_device_list(ctx_, &devs);
        libusb_device_handle *h = nullptr;
        for (ssize_t i = 0; i < n && !h; ++i) {
            LibusbDeviceId d = idOf(devs[i]);
            if (d.bus == id.bus && d.ports == id.ports && d.vid == id.vid && d.pid == id.pid) {
                if (libusb_open(devs[i], &h) != 0)
                    h = nullptr;
                break;
            }
        }
        if (devs)
            libusb_free_device_list(devs, 1);
        return h;
    }

    int setAutoDetachKernelDriver(void *h, int enable) override
    {
        return libusb_set_auto_detach_kernel_driver(static_cast<libusb_device_handle *>(h), enable);
    }
    int claimInterface(void *h, int iface) override
    {
        return libusb_claim_interface(static_cast<libusb_device_handle *>(h), iface);
    }
    int releaseInterface(void *h, int iface) override
    {
        return libusb_release_interface(static_cast<libusb_device_handle *>(h), iface);
    }

    std::vector<UsbPipeInfo> endpoints(void *h, int iface, int alt) override
    {
        std::vector<UsbPipeInfo> out;
        libusb_device *dev = libusb_get_device(static_cast<libusb_device_handle *>(h));
        libusb_config_descriptor *cfg = nullptr;
        if (libusb_get_active_config_descriptor(dev, &cfg) != 0 || !cfg)
            return out;
        if (iface < cfg->bNumInterfaces && alt < cfg->interface[iface].num_altsetting) {
            const libusb_interface_descriptor &d = cfg->interface[iface].altsetting[alt];
            for (int e = 0; e < d.bNumEndpoints; ++e) {
                UsbPipeInfo p;
                p.pipeType = uint8_t(d.endpoint[e].bmAttributes & 0x03);
                p.pipeId = d.endpoint[e].bEndpointAddress;
                p.maximumPacketSize = uint16_t(d.endpoint[e].wMaxPacketSize & 0x7FF);
                p.interval = d.endpoint[e].bInterval;
                out.push_back(p);
            }
        }
        libusb_free_config_descriptor(cfg);
        return out;
    }

    int transfer(void *h, uint8_t ep, bool interrupt, uint8_t *data, int len, int *actual,
                 unsigned timeoutMs) override
    {
        auto *dh = static_cast<libusb_device_handle *>(h);
        return interrupt ? libusb_interrupt_transfer(dh, ep, data, len, actual, timeoutMs)
                         : libusb_bulk_transfer(dh, ep, data, len, actual, timeoutMs);
    }

    void close(void *h) override { libusb_close(static_cast<libusb_device_handle *>(h)); }

private:
    static LibusbDeviceId idOf(libusb_device *d)
    {
        LibusbDeviceId id;
        libusb_device_descriptor desc{};
        if (libusb_get_device_descriptor(d, &desc) == 0) {
            id.vid = desc.idVendor;
            id.pid = desc.idProduct;
        }
        id.bus = libusb_get_bus_number(d);
        uint8_t ports[8];
        int n = libusb_get_port_numbers(d, ports, 8);
        if (n > 0)
            id.ports.assign(ports, ports + n);
        return id;
    }

    std::mutex m_;
    libusb_context *ctx_ = nullptr;
    bool tried_ = false;
};

// ---------------------------------------------------------------------------
// The back end over LibusbApi.

class LibusbDevice final : public UsbDevice
{
public:
    LibusbDevice(std::shared_ptr<LibusbApi> api, void *h) : api_(std::move(api)), h_(h)
    {
        for (const UsbPipeInfo &p : api_->endpoints(h_, 0, 0))
            pipes_[p.pipeId].info = p;
    }

    ~LibusbDevice() override
    {
        api_->releaseInterface(h_, 0);
        api_->close(h_);
    }

    std::vector<UsbPipeInfo> queryPipes() override
    {
        std::vector<UsbPipeInfo> out;
        for (auto &kv : pipes_)
            out.push_back(kv.second.info);
        return out;
    }

    bool setPipeTimeout(uint8_t pipeId, uint32_t ms) override
    {
        auto it = pipes_.find(pipeId);
        if (it == pipes_.end())
            return false;
        it->second.timeoutMs = ms;
        return true;
    }

    UsbStatus writePipe(uint8_t pipeId, const uint8_t *buf, uint32_t len, uint32_t *written) override
    {
        *written = 0;
        auto it = pipes_.find(pipeId);
        if (it == pipes_.end() || (pipeId & 0x80))
            return UsbStatus::Error;
        Pipe &p = it->second;
        int actual = 0;
        int rc = api_->transfer(h_, pipeId, p.info.pipeType == UsbdPipeTypeInterrupt,
                                const_cast<uint8_t *>(buf), int(len), &actual, p.timeoutMs);
        note(rc);
        *written = uint32_t(actual < 0 ? 0 : actual);
        if (rc == 0)
            return UsbStatus::Ok;
        return rc == LIBUSB_ERROR_TIMEOUT ? UsbStatus::Timeout : UsbStatus::Error;
    }

    UsbStatus readPipe(uint8_t pipeId, uint8_t *buf, uint32_t len, uint32_t *read) override
    {
        *read = 0;
        auto it = pipes_.find(pipeId);
        if (it == pipes_.end() || !(pipeId & 0x80))
            return UsbStatus::Error;
        Pipe &p = it->second;
        std::lock_guard<std::mutex> g(p.m);
        uint32_t got = 0;
        // The surplus of an earlier packet comes first.
        if (p.carryOff < p.carry.size()) {
            uint32_t n = std::min<uint32_t>(len, uint32_t(p.carry.size() - p.carryOff));
            std::memcpy(buf, p.carry.data() + p.carryOff, n);
            p.carryOff += n;
            got = n;
            if (p.carryOff < p.carry.size()) {
                *read = got; // buffer full
                return UsbStatus::Ok;
            }
            p.carry.clear();
            p.carryOff = 0;
            if (p.carryEndsTransfer || got == len) {
                *read = got;
                return UsbStatus::Ok;
            }
        }
        if (len == 0)
            return UsbStatus::Ok;
        // Ask for whole packets so that libusb never overflows; what lies
        // beyond the caller's buffer stays for the next read.
        const uint32_t mps = p.info.maximumPacketSize ? p.info.maximumPacketSize : 64;
        const uint32_t want = len - got;
        const uint32_t ask = (want + mps - 1) / mps * mps;
        uint8_t *dst = buf + got;
        std::vector<uint8_t> &tmp = p.scratch;
        const bool direct = ask == want;
        if (!direct)
            tmp.resize(ask);
        int actual = 0;
        int rc = api_->transfer(h_, pipeId, p.info.pipeType == UsbdPipeTypeInterrupt, direct ? dst : tmp.data(),
                                int(ask), &actual, p.timeoutMs);
        note(rc);
        if (actual < 0)
            actual = 0;
        if (!direct) {
            uint32_t n = std::min<uint32_t>(want, uint32_t(actual));
            std::memcpy(dst, tmp.data(), n);
            if (uint32_t(actual) > want) {
                p.carry.assign(tmp.begin() + want, tmp.begin() + actual);
                p.carryOff = 0;
                // A transfer that stopped short of what was asked ended with
                // a short packet; one that filled the request may go on.
                p.carryEndsTransfer = uint32_t(actual) < ask || rc != 0;
            }
            got += n;
        } else {
            got += uint32_t(actual);
        }
        *read = got;
        if (rc == 0)
            return UsbStatus::Ok;
        if (rc == LIBUSB_ERROR_TIMEOUT)
            return UsbStatus::Timeout;
        return UsbStatus::Error;
    }

    bool gone() const override { return gone_.load(std::memory_order_acquire); }

private:
    // What a transfer's result says of the device (see PlatLibusb.h).
    void note(int rc)
    {
        switch (rc) {
        case LIBUSB_ERROR_NO_DEVICE:
            gone_.store(true, std::memory_order_release);
            break;
        case LIBUSB_ERROR_IO:
        case LIBUSB_ERROR_PIPE:
            if (failRun_.fetch_add(1, std::memory_order_relaxed) + 1 >= kLibusbGoneAfterFailures)
                gone_.store(true, std::memory_order_release);
            break;
        case LIBUSB_SUCCESS:
        case LIBUSB_ERROR_TIMEOUT:
        case LIBUSB_ERROR_OVERFLOW:
            failRun_.store(0, std::memory_order_relaxed);
            break;
        default:
            break; // says nothing of the device (a bad argument, no memory)
        }
    }

    struct Pipe
    {
        UsbPipeInfo info;
        uint32_t timeoutMs = 0;
        std::mutex m;
        std::vector<uint8_t> carry;
        size_t carryOff = 0;
        bool carryEndsTransfer = false;
        std::vector<uint8_t> scratch;
    };

    std::shared_ptr<LibusbApi> api_;
    void *h_;
    std::map<uint8_t, Pipe> pipes_;
    std::atomic<bool> gone_{false};
    std::atomic<int> failRun_{0}; // IO and pipe errors in a row, over every pipe
};

class LibusbBackend final : public UsbBackend
{
public:
    explicit LibusbBackend(std::shared_ptr<LibusbApi> api) : api_(std::move(api)) {}

    const char *name() const override { return "libusb"; }

    std::vector<std::string> devicePaths() override
    {
        std::vector<LibusbDeviceId> devs = api_->list();
        std::stable_sort(devs.begin(), devs.end(), [](const LibusbDeviceId &a, const LibusbDeviceId &b) {
            if (a.bus != b.bus)
                return a.bus < b.bus;
            return a.ports < b.ports;
        });
        std::vector<std::string> out;
        for (const LibusbDeviceId &d : devs)
            out.push_back(usbInterfacePath(d.vid, d.pid, libusbInstance(d.bus, d.ports)));
        return out;
    }

    std::unique_ptr<UsbDevice> open(const std::string &path) override
    {
        const std::string inst = usbPathInstance(path);
        for (const LibusbDeviceId &d : api_->list()) {
            if (libusbInstance(d.bus, d.ports) != inst || usbInterfacePath(d.vid, d.pid, inst) != path)
                continue;
            void *h = api_->open(d);
            if (!h)
                return nullptr;
            api_->setAutoDetachKernelDriver(h, 1); // not every platform has it; fine
            if (api_->claimInterface(h, 0) != 0) {
                api_->close(h); // held by another program
                return nullptr;
            }
            return std::unique_ptr<UsbDevice>(new LibusbDevice(api_, h));
        }
        return nullptr;
    }

private:
    std::shared_ptr<LibusbApi> api_;
};

} // namespace

std::shared_ptr<LibusbApi> makeRealLibusbApi() { return std::make_shared<RealLibusb>(); }

std::shared_ptr<UsbBackend> makeLibusbBackend(std::shared_ptr<LibusbApi> api)
{
    return std::make_shared<LibusbBackend>(std::move(api));
}

} // namespace plat

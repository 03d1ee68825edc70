#pragma once
// A stand-in for the few libusb calls of the libusb back end: devices with
// bus and port paths, a busy flag, endpoints, and IN packets that behave as
// libusb's synchronous transfers do (a short packet or a full buffer ends a
// transfer; a packet larger than the room left is an overflow that loses it).

#include "platform/PlatLibusb.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <vector>

class FakeLibusb : public plat::LibusbApi
{
public:
    struct Dev
    {
        plat::LibusbDeviceId id;
        bool busy = false;       // claim fails with LIBUSB_ERROR_BUSY
        bool openFails = false;  // libusb_open fails (access)
        bool gone = false;       // every transfer: LIBUSB_ERROR_NO_DEVICE
        bool claimed = false;    // interface 0 held by an open handle
        std::deque<int> results; // what the next transfers answer (0: as usual)
        std::vector<plat::UsbPipeInfo> eps;
        std::map<uint8_t, std::deque<std::vector<uint8_t>>> packets; // per IN endpoint
        std::map<uint8_t, std::vector<uint8_t>> written;             // per OUT endpoint
    };

    std::vector<Dev> devs;
    int opens = 0, closes = 0, releases = 0, transfers = 0, overflows = 0;
    int autoDetach = -1, claimedIface = -1;
    std::vector<unsigned> timeouts;

    static std::vector<plat::UsbPipeInfo> defaultEps()
    {
        return {{2, 0x01, 64, 0}, {2, 0x81, 64, 0}, {2, 0x02, 512, 0}, {2, 0x82, 64, 0}, {2, 0x83, 512, 0}};
    }

    Dev &add(uint16_t vid, uint16_t pid, uint8_t bus, std::vector<uint8_t> ports)
    {
        Dev d;
        d.id.vid = vid;
        d.id.pid = pid;
        d.id.bus = bus;
        d.id.ports = std::move(ports);
        d.eps = defaultEps();
        devs.push_back(d);
        return devs.back();
    }

    // Queues IN data as packets of the endpoint's size (the last one short).
    void send(size_t dev, uint8_t ep, const std::vector<uint8_t> &data, bool zlp = false)
    {
        std::lock_guard<std::mutex> g(m);
        size_t mps = 64;
        for (auto &e : devs[dev].eps)
            if (e.pipeId == ep)
                mps = e.maximumPacketSize;
        for (size_t off = 0; off < data.size(); off += mps)
            devs[dev].packets[ep].emplace_back(data.begin() + off, data.begin() + std::min(data.size(), off + mps));
        if (zlp || data.empty())
            devs[dev].packets[ep].emplace_back();
    }

    bool init() override { return true; }
    std::vector<plat::LibusbDeviceId> list() override
    {
        std::vector<plat::LibusbDeviceId> out;
        for (auto &d : devs)
            if (!d.gone)
                out.push_back(d.id);
        return out;
    }
    void *open(const plat::LibusbDeviceId &id) override
    {
        for (auto &d : devs)
            if (d.id.bus == id.bus && d.id.ports == id.ports) {
                if (d.openFails)
                    return nullptr;
                ++opens;
                return &d;
            }
        return nullptr;
    }
    int setAutoDetachKernelDriver(void *, int enable) override
    {
        autoDetach = enable;
        return 0;
    }
    int claimInterface(void *h, int iface) override
    {
        claimedIface = iface;
        Dev &d = *static_cast<Dev *>(h);
        if (d.busy || d.claimed)
            return LIBUSB_ERROR_BUSY;
        d.claimed = true;
        return 0;
    }
    int releaseInterface(void *h, int) override
    {
        static_cast<Dev *>(h)->claimed = false;
        ++releases;
        return 0;
    }
    std::vector<plat::UsbPipeInfo> endpoints(void *h, int, int) override { return static_cast<Dev *>(h)->eps; }
    int transfer(void *h, uint8_t ep, bool, uint8_t *data, int len, int *actual, unsigned timeoutMs) override
    {
        std::lock_guard<std::mutex> g(m);
        Dev &d = *static_cast<Dev *>(h);
        ++transfers;
        timeouts.push_back(timeoutMs);
        *actual = 0;
        if (d.gone)
            return LIBUSB_ERROR_NO_DEVICE;
        if (!d.results.empty()) {
            const int r = d.results.front();
            d.results.pop_front();
            if (r != 0)
                return r;
        }
        if (!(ep & 0x80)) {
            d.written[ep].insert(d.written[ep].end(), data, data + len);
            *actual = len;
            return 0;
        }
        size_t mps = 64;
        for (auto &e : d.eps)
            if (e.pipeId == ep)
                mps = e.maximumPacketSize;
        auto &q = d.packets[ep];
        while (!q.empty()) {
            std::vector<uint8_t> p = q.front();
            q.pop_front();
            if (int(p.size()) > len - *actual) {
                ++overflows; // libusb: the packet does not fit, its bytes are lost
                return LIBUSB_ERROR_OVERFLOW;
            }
            if (!p.empty()) // a zero-length packet has no bytes (and no buffer) to copy
                std::memcpy(data + *actual, p.data(), p.size());
            *actual += int(p.size());
            if (p.size() < mps || *actual == len)
                return 0;
        }
        return LIBUSB_ERROR_TIMEOUT; // nothing more came within the time-out
    }
    void close(void *) override { ++closes; }

    std::mutex m;
};

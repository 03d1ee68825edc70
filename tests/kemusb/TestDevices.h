#pragma once
// A small adapter object over the simulated echo adapter: the shape every
// device class of the library has (transport, device thread, stream parser).

#include "kemusb/src/devices/DeviceThread.h"
#include "kemusb/src/devices/QDevice.h"
#include "kemusb/src/devices/QUserWinUsb.h"
#include "platform/PlatSim.h"

#include <atomic>
#include <mutex>
#include <vector>

class EchoDevice : public kemusb::QDevice, public kemusb::DeviceThreadClient
{
public:
    ~EchoDevice() override { Close(); }

    uint32_t Open(uint32_t type, uint32_t index) override
    {
        if (open_)
            return 1;
        if (!usb.open(plat::sim::kEchoVid, plat::sim::kEchoPid, index))
            return 0;
        devType = type;
        devIndex = index;
        thread.start(plat::THREAD_PRIORITY_HIGHEST);
        open_ = true;
        return 1;
    }

    uint32_t Close() override
    {
        ++closes;
        if (!open_)
            return 1;
        thread.stop();
        usb.close();
        open_ = false;
        return 1;
    }

    kemusb::ReadTurn deviceThreadRead(int) override
    {
        uint8_t buf[4096];
        plat::UsbStatus st;
        uint32_t n = usb.read(buf, sizeof buf, 0x83, &st);
        ++reads;
        if (n) {
            std::lock_guard<std::mutex> g(m);
            stream.insert(stream.end(), buf, buf + n);
            return kemusb::ReadTurn::Data;
        }
        return st == plat::UsbStatus::Error ? kemusb::ReadTurn::Failed : kemusb::ReadTurn::Nothing;
    }

    kemusb::QUserWinUsb *deviceThreadTransport(int) override { return &usb; }

    size_t streamBytes()
    {
        std::lock_guard<std::mutex> g(m);
        return stream.size();
    }

    kemusb::QUserWinUsb usb;
    kemusb::DeviceThread thread{this};
    std::atomic<uint64_t> reads{0};
    std::atomic<int> closes{0};
    std::mutex m;
    std::vector<uint8_t> stream;

private:
    bool open_ = false;
};

#pragma once
// The libusb-1.0 back end of the adapter transport. The few libusb calls it
// makes sit behind LibusbApi, so that its enumeration, open and read logic
// can be exercised against a stand-in without hardware.
//
// Paths carry the bus number and port path as instance ("3-1.4"); the
// adapters enumerate sorted by bus, then port path. Open claims interface 0
// with kernel-driver auto-detach; a device that cannot be opened or claimed
// counts as busy. Reads ask libusb for whole packets (never an overflow) and
// keep the surplus for the next read.
//
// A device is gone (UsbDevice::gone) from the first transfer that libusb
// answers with LIBUSB_ERROR_NO_DEVICE, or once kLibusbGoneAfterFailures
// transfers in a row fail with LIBUSB_ERROR_IO or LIBUSB_ERROR_PIPE (an
// adapter that fails every transfer this way answers no more; unplugging
// may show so before the device node goes). A transfer that succeeds, times
// out or overflows (the device answered) ends such a run.
//
// Non-root access needs a udev rule; see kemusb/README.md.

#include "platform/PlatUsb.h"

#include <libusb.h>

#include <memory>
#include <vector>

namespace plat {

constexpr int kLibusbGoneAfterFailures = 16;

struct LibusbDeviceId
{
    uint16_t vid = 0;
    uint16_t pid = 0;
    uint8_t bus = 0;
    std::vector<uint8_t> ports; // port path from the root hub
};

class LibusbApi
{
public:
    virtual ~LibusbApi() = default;
    // libusb_init; false when no USB is to be had (then nothing enumerates).
    virtual bool init() = 0;
    // libusb_get_device_list with each device's descriptor, bus and ports.
    virtual std::vector<LibusbDeviceId> list() = 0;
    // libusb_open of the device at that bus and port path; null on failure.
    virtual void *open(const LibusbDeviceId &id) = 0;
    virtual int setAutoDetachKernelDriver(void *h, int enable) = 0;
    virtual int claimInterface(void *h, int iface) = 0;
    virtual int releaseInterface(void *h, int iface) = 0;
    // Endpoints of the interface's alternate setting from the active configuration.
    virtual std::vector<UsbPipeInfo> endpoints(void *h, int iface, int alt) = 0;
    // libusb_bulk_transfer or libusb_interrupt_transfer; libusb's codes.
    virtual int transfer(void *h, uint8_t ep, bool interrupt, uint8_t *data, int len, int *actual,
                         unsigned timeoutMs) = 0;
    virtual void close(void *h) = 0;
};

std::shared_ptr<LibusbApi> makeRealLibusbApi();
std::shared_ptr<UsbBackend> makeLibusbBackend(std::shared_ptr<LibusbApi> api);

// "bus-p1.p2.p3", the instance text of a path.
std::string libusbInstance(uint8_t bus, const std::vector<uint8_t> &ports);

} // namespace plat

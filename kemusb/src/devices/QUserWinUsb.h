#pragma once
// The transport of one adapter over the platform's WinUSB stand-in.
//
// open(vid, pid, index) walks the present adapter interfaces in enumeration
// order and counts those whose path holds "#vid_%04x&pid_%04x#"; the match
// whose count equals the index is opened. When that open fails (the adapter
// is held by another program), the next match is tried under the same count.
// Bulk and interrupt pipes are recorded by direction in two tables of 16
// entries indexed by the low four bits of the endpoint address, and each
// gets the 100 ms transfer time-out.
//
// The transport takes no lock: reads and writes of different pipes may run
// at the same time from different threads.
//
// gone() tells that the adapter behind an open transport has left the host
// (the back end says so after a transfer failed: libusb's no-device error,
// a simulated unplug): nothing will pass through it again until it is
// closed and the adapter opened afresh.

#include "platform/PlatUsb.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

namespace kemusb {

class QUserWinUsb
{
public:
    static constexpr uint32_t kPipeTimeoutMs = 100;
    static constexpr uint8_t kNoPipe = 0xFF;

    QUserWinUsb();
    ~QUserWinUsb();
    QUserWinUsb(const QUserWinUsb &) = delete;
    QUserWinUsb &operator=(const QUserWinUsb &) = delete;

    uint32_t open(uint16_t vid, uint16_t pid, uint32_t index); // 1 ok, 0 failed
    uint32_t close();                                         // 1
    bool isOpen() const;
    bool gone() const { return gone_.load(std::memory_order_acquire); }

    // Bytes written; 0 on failure or when closed.
    uint32_t write(const uint8_t *buf, uint32_t len, uint8_t pipe);
    // Bytes read; 0 on failure, time-out or when closed. status, when given,
    // tells a time-out (Timeout) from a failure (Error).
    uint32_t read(uint8_t *buf, uint32_t len, uint8_t pipe, plat::UsbStatus *status = nullptr);
    // Copies the recorded entry of an endpoint; 0 when it has none.
    uint32_t pipeInformation(uint8_t endpoint, plat::UsbPipeInfo *info) const;

    const std::string &path() const { return path_; }

private:
    std::shared_ptr<plat::UsbDevice> device() const;
    // After a failed transfer: asks the back end whether the device went.
    void noteFailure(const plat::UsbDevice &d);

    std::shared_ptr<plat::UsbDevice> dev_;
    plat::UsbPipeInfo in_[16];
    plat::UsbPipeInfo out_[16];
    std::string path_;
    std::atomic<bool> gone_{false};
};

} // namespace kemusb

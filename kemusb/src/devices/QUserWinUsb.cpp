#include "kemusb/src/devices/QUserWinUsb.h"

#include "kemusb/src/sim/KemSimModels.h"

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

namespace kemusb {

namespace {

void clearTable(plat::UsbPipeInfo *t)
{
    for (int i = 0; i < 16; ++i) {
        t[i] = plat::UsbPipeInfo();
        t[i].pipeId = QUserWinUsb::kNoPipe;
    }
}

std::string lower(std::string s)
{
    for (char &c : s)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

} // namespace

QUserWinUsb::QUserWinUsb()
{
    clearTable(in_);
    clearTable(out_);
}

QUserWinUsb::~QUserWinUsb() { close(); }

std::shared_ptr<plat::UsbDevice> QUserWinUsb::device() const { return std::atomic_load(&dev_); }

bool QUserWinUsb::isOpen() const { return device() != nullptr; }

uint32_t QUserWinUsb::open(uint16_t vid, uint16_t pid, uint32_t index)
{
    close();
    plat::UsbBackend &backend = plat::usbBackend();
    // A back end of simulated adapters offers what is registered with it:
    // this library's models join before its first enumeration.
    if (backend.carriesModels())
        registerSimModels();

    char pattern[32];
    std::snprintf(pattern, sizeof pattern, "#vid_%04x&pid_%04x#", vid, pid);

    std::unique_ptr<plat::UsbDevice> dev;
    std::string opened;
    uint32_t count = 0;
    for (const std::string &p : backend.devicePaths()) {
        if (lower(p).find(pattern) == std::string::npos)
            continue;
        if (count != index) {
            ++count;
            continue;
        }
        dev = backend.open(p);
        if (dev) {
            opened = p;
            break;
        }
        // Held elsewhere: the next match is tried under the same count.
    }
    if (!dev)
        return 0;

    plat::UsbPipeInfo in[16], out[16];
    clearTable(in);
    clearTable(out);
    for (const plat::UsbPipeInfo &p : dev->queryPipes()) {
        if (p.pipeType != plat::UsbdPipeTypeBulk && p.pipeType != plat::UsbdPipeTypeInterrupt)
            continue;
        if (!dev->setPipeTimeout(p.pipeId, kPipeTimeoutMs))
            return 0; // dev goes with the failed open
        (p.pipeId & 0x80 ? in : out)[p.pipeId & 0x0F] = p;
    }
    std::memcpy(in_, in, sizeof in_);
    std::memcpy(out_, out, sizeof out_);
    path_ = opened;
    gone_.store(false, std::memory_order_release);
    std::atomic_store(&dev_, std::shared_ptr<plat::UsbDevice>(std::move(dev)));
    return 1;
}

uint32_t QUserWinUsb::close()
{
    std::shared_ptr<plat::UsbDevice> old = std::atomic_exchange(&dev_, std::shared_ptr<plat::UsbDevice>());
    // A read or write of another thread may still hold the device (for at
    // most one pipe time-out). Wait for it: released only then, the adapter
    // would stay held after close returned, and an open made at once would
    // find it busy.
    while (old && old.use_count() > 1)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    old.reset();
    path_.clear();
    gone_.store(false, std::memory_order_release);
    return 1;
}

void QUserWinUsb::noteFailure(const plat::UsbDevice &d)
{
    if (!gone_.load(std::memory_order_relaxed) && d.gone())
        gone_.store(true, std::memory_order_release);
}

uint32_t QUserWinUsb::write(const uint8_t *buf, uint32_t len, uint8_t pipe)
{
    std::shared_ptr<plat::UsbDevice> d = device();
    if (!d || !buf)
        return 0;
    uint32_t written = 0;
    plat::UsbStatus st = d->writePipe(pipe, buf, len, &written);
    if (st == plat::UsbStatus::Error)
        noteFailure(*d);
    return st == plat::UsbStatus::Ok ? written : 0;
}

uint32_t QUserWinUsb::read(uint8_t *buf, uint32_t len, uint8_t pipe, plat::UsbStatus *status)
{
    std::shared_ptr<plat::UsbDevice> d = device();
    if (!d || !buf) {
        if (status)
            *status = plat::UsbStatus::Error;
        return 0;
    }
    uint32_t got = 0;
    plat::UsbStatus st = d->readPipe(pipe, buf, len, &got);
    if (status)
        *status = st;
    if (st == plat::UsbStatus::Error) {
        noteFailure(*d);
        return 0;
    }
    return got; // a time-out hands over what arrived
}

uint32_t QUserWinUsb::pipeInformation(uint8_t endpoint, plat::UsbPipeInfo *info) const
{
    const plat::UsbPipeInfo &e = (endpoint & 0x80 ? in_ : out_)[endpoint & 0x0F];
    if (e.pipeId == kNoPipe || e.pipeId != endpoint || !info)
        return 0;
    *info = e;
    return 1;
}

} // namespace kemusb

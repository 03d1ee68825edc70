#include "kemusb/src/devices/QDeviceUsbCanFd2.h"

#include "kemusb/src/devices/BestEffort.h"
#include "kemusb/src/devices/CommandExchange.h"

#include "platform/PlatSpin.h"
#include "platform/PlatThread.h"
#include "platform/PlatTicks.h"

#include <chrono>
#include <cstring>

namespace kemusb {

using fd::Bytes;

namespace {

bool channelOk(uint32_t channel) { return channel < uint32_t(QDeviceUsbCanFd2::kMaxChannels); }

// Has waitMs (0xFFFFFFFF: never) passed since start?
bool waited(uint32_t start, int32_t waitMs)
{
    if (waitMs == -1)
        return false;
    return plat::GetTickCount() - start >= uint32_t(waitMs);
}

} // namespace

QDeviceUsbCanFd2::QDeviceUsbCanFd2() : thread_(this, 0)
{
    for (int i = 0; i < kMaxChannels; ++i)
        ch_[i].handle = OcanChannelHandle{uint32_t(i), this};
}

QDeviceUsbCanFd2::~QDeviceUsbCanFd2()
{
    Close();
    thread_.stop();
}

uint32_t QDeviceUsbCanFd2::Open(uint32_t devType, uint32_t devIndex)
{
    if (open_)
        return 1;
    const AdapterModel *m = modelForType(devType);
    if (!m || m->family != AdapterFamily::CanFd)
        return 0;
    this->devType = devType;
    this->devIndex = devIndex;
    channels_ = m->channels;
    clock_ = m->clockMHz;
    if (!usb_.open(m->vid, m->pid, devIndex))
        return 0;
    // The firmware version decides whether transmits wait for their
    // acknowledgements: only a reply that answers its query is taken.
    if (!queryVersion(fd::cmdHardwareVersion(), &hw_) || !queryVersion(fd::cmdFirmwareVersion(), &fw_)) {
        usb_.close();
        return 0;
    }
    {
        std::lock_guard<std::mutex> g(bufMutex_);
        parser_.clear();
        for (Channel &c : ch_) {
            c.custom = false;
            c.initialised = false;
            c.filterState = 0;
            c.rx.clear();
            c.rxFd.clear();
        }
    }
    thread_.start(plat::THREAD_PRIORITY_HIGHEST);
    open_ = true;
    return 1;
}

uint32_t QDeviceUsbCanFd2::Close()
{
    if (!open_)
        return 1;
    for (int i = 0; i < kMaxChannels; ++i) {
        if (!ch_[i].initialised)
            continue;
        bestEffort([&] {
            uint8_t r[kCommandReplyRead];
            size_t n = 0;
            exchange(fd::cmdResetChannel(i), fd::kReplyMs, r, &n);
        });
        std::lock_guard<std::mutex> g(bufMutex_);
        ch_[i].rx.clear();
        ch_[i].rxFd.clear();
        ch_[i].initialised = false;
    }
    thread_.stop();
    usb_.close();
    {
        std::lock_guard<std::mutex> g(bufMutex_);
        open_ = false;
    }
    bufCv_.notify_all(); // a waiting receive gives up
    return 1;
}

bool QDeviceUsbCanFd2::exchange(const Bytes &req, uint32_t timeoutMs, uint8_t *reply, size_t *n)
{
    std::lock_guard<std::mutex> g(cmdMutex_);
    return commandExchange(usb_, req, fd::kEpCmdOut, fd::kEpCmdIn, timeoutMs, reply, n);
}

bool QDeviceUsbCanFd2::queryVersion(const Bytes &req, uint16_t *version)
{
    uint8_t r[kCommandReplyRead];
    size_t n = 0;
    return exchange(req, fd::kReplyMs, r, &n) && fd::parseVersionReply(req, r, n, version);
}

uint32_t QDeviceUsbCanFd2::ReadBoardInfo(uint32_t, OCAN_DEVICE_INFO *info)
{
    if (!open_ || !info)
        return 0;
    uint8_t r[kCommandReplyRead];
    size_t n = 0;
    uint16_t hw = 0, fw = 0;
    uint8_t count = 0;
    if (!queryVersion(fd::cmdHardwareVersion(), &hw) || !queryVersion(fd::cmdFirmwareVersion(), &fw))
        return 0;
    const Bytes countReq = fd::cmdChannelCount();
    if (!exchange(countReq, fd::kReplyMs, r, &n) || !fd::parseChannelCountReply(countReq, r, n, &count))
        return 0;
    info->HwVersion = hw;
    info->FwVersion = fw;
    info->InVersion = 0x0100;
    info->CanNum = count;
    return 1;
}

uint32_t QDeviceUsbCanFd2::GetDeviceInf(OCAN_DEVICE_INFO *info) { return fixedDeviceInfo(info); }

OcanChannelHandle *QDeviceUsbCanFd2::InitCAN(uint32_t channel, const OCAN_INIT_CONFIG *init)
{
    if (!open_ || !channelOk(channel) || !init || init->CanType == 0)
        return nullptr;
    Channel &c = ch_[channel];
    const uint32_t arb = c.custom ? c.arbWord : init->fd.ArbTiming;
    const uint32_t data = c.custom ? c.dataWord : init->fd.DataTiming;
    c.mode = init->fd.Mode;
    uint8_t r[kCommandReplyRead];
    size_t n = 0;
    if (!exchange(fd::cmdInitChannel(int(channel), c.standard, c.mode, clock_, arb, data), fd::kInitReplyMs, r,
                  &n) ||
        !fd::initReplyOk(r, n))
        return nullptr;
    c.initialised = true;
    return &c.handle;
}

uint32_t QDeviceUsbCanFd2::StartCAN(uint32_t channel)
{
    if (!open_ || !channelOk(channel))
        return 0;
    uint8_t r[kCommandReplyRead];
    size_t n = 0;
    return exchange(fd::cmdStartChannel(int(channel)), fd::kReplyMs, r, &n) && fd::startReplyOk(r, n) ? 1 : 0;
}

uint32_t QDeviceUsbCanFd2::ResetCAN(uint32_t channel)
{
    if (!channelOk(channel))
        return 0;
    if (open_ && ch_[channel].initialised) {
        uint8_t r[kCommandReplyRead];
        size_t n = 0;
        exchange(fd::cmdResetChannel(int(channel)), fd::kReplyMs, r, &n);
        ch_[channel].initialised = false;
    }
    return ClearBuffer(channel);
}

uint32_t QDeviceUsbCanFd2::ClearBuffer(uint32_t channel)
{
    if (!channelOk(channel))
        return 0;
    std::unique_lock<std::mutex> g = lockBuffers();
    ch_[channel].rx.clear();
    ch_[channel].rxFd.clear();
    parser_.clear();
    return 1;
}

uint32_t QDeviceUsbCanFd2::GetReceiveNum(uint32_t channel, uint8_t kind)
{
    if (!channelOk(channel))
        return 0;
    std::unique_lock<std::mutex> g = lockBuffers();
    return countByKind(ch_[channel].rx.size(), ch_[channel].rxFd.size(), kind);
}

std::unique_lock<std::mutex> QDeviceUsbCanFd2::lockBuffers() { return plat::lockSpinningFirst(bufMutex_, 200); }

template<class Rec>
uint32_t QDeviceUsbCanFd2::takeFrames(uint32_t channel, Rec *out, uint32_t count, int32_t waitMs,
                                      FrameFifo<Rec> Channel::*queue)
{
    if (!channelOk(channel) || !out || count == 0)
        return 0;
    FrameFifo<Rec> &q = ch_[channel].*queue;
    // A poll that would not wait on an empty buffer needs no lock: the count
    // is published after every change, and a frame that lands just after
    // this look is taken by the next poll, as it would be after the lock.
    if (waitMs == 0 && q.waiting() == 0)
        return 0;
    const uint32_t start = plat::GetTickCount();
    std::unique_lock<std::mutex> g = lockBuffers();
    for (;;) {
        const uint32_t n = uint32_t(q.take(out, count));
        if (n > 0 || waitMs == 0 || !open_ || waited(start, waitMs))
            return n;
        // The device thread wakes us when frames come; the slice keeps the
        // time-out on the tick source (which tests may drive).
        ++waiters_;
        bufCv_.wait_for(g, std::chrono::milliseconds(1));
        --waiters_;
    }
}

uint32_t QDeviceUsbCanFd2::Receive(uint32_t channel, OCAN_CAN_RX *frames, uint32_t count, int32_t waitMs)
{
    return takeFrames(channel, frames, count, waitMs, &Channel::rx);
}

uint32_t QDeviceUsbCanFd2::ReceiveFD(uint32_t channel, OCAN_CANFD_RX *frames, uint32_t count, int32_t waitMs)
{
    return takeFrames(channel, frames, count, waitMs, &Channel::rxFd);
}

ReadTurn QDeviceUsbCanFd2::deviceThreadRead(int)
{
    plat::UsbStatus st = plat::UsbStatus::Ok;
    const uint32_t got = usb_.read(readBuf_, sizeof readBuf_, fd::kEpStreamIn, &st);
    if (got == 0)
        return st == plat::UsbStatus::Error ? ReadTurn::Failed : ReadTurn::Nothing;
    {
        std::unique_lock<std::mutex> g = lockBuffers();
        Sink sink(*this);
        parser_.feed(readBuf_, got, sink);
        // Waiting receives are woken at once after a quiet spell, and at
        // most once a millisecond while frames stream in (they also look
        // again every millisecond on their own): a wake per read would cost
        // more than the frames it hands over.
        if (waiters_ == 0)
            return ReadTurn::Data;
        const auto now = std::chrono::steady_clock::now();
        if (now - lastWake_ < std::chrono::milliseconds(1))
            return ReadTurn::Data;
        lastWake_ = now;
    }
    bufCv_.notify_all();
    return ReadTurn::Data;
}

uint64_t QDeviceUsbCanFd2::skippedStreamBytes()
{
    std::lock_guard<std::mutex> g(bufMutex_);
    return parser_.skippedBytes();
}

bool QDeviceUsbCanFd2::ownsHandle(const OcanChannelHandle *h) const
{
    for (const Channel &c : ch_)
        if (h == &c.handle)
            return true;
    return false;
}

template<class Rec>
uint32_t QDeviceUsbCanFd2::sendBatches(uint32_t channel, const Rec *frames, uint32_t count,
                                       Bytes (*build)(int, const Rec *, int))
{
    if (!open_ || !channelOk(channel) || !frames)
        return 0;
    std::lock_guard<std::mutex> g(txMutex_);
    uint32_t sent = 0;
    while (sent < count) {
        const int n = int(count - sent < uint32_t(fd::kTxBatch) ? count - sent : fd::kTxBatch);
        const Bytes pkt = build(int(channel), frames + sent, n);
        if (usb_.write(pkt.data(), uint32_t(pkt.size()), fd::kEpTxOut) != pkt.size())
            break;
        if (fw_ < fd::kFirmwareNoTxAck) {
            const uint32_t start = plat::GetTickCount();
            uint8_t r[kCommandReplyRead];
            bool acked = false;
            do {
                const uint32_t got = readReply(usb_, r, sizeof r, fd::kEpTxIn);
                acked = fd::txAckOk(r, got);
            } while (!acked && plat::GetTickCount() - start < fd::kReplyMs);
            if (!acked)
                break;
        }
        sent += uint32_t(n);
    }
    return sent;
}

uint32_t QDeviceUsbCanFd2::Transmit(uint32_t channel, const OCAN_CAN_TX *frames, uint32_t count)
{
    return sendBatches(channel, frames, count, &fd::txPacket);
}

uint32_t QDeviceUsbCanFd2::TransmitFD(uint32_t channel, const OCAN_CANFD_TX *frames, uint32_t count)
{
    return sendBatches(channel, frames, count, &fd::txPacketFd);
}

bool QDeviceUsbCanFd2::sendFilterCommand(const Bytes &req)
{
    uint8_t r[kCommandReplyRead];
    size_t n = 0;
    return exchange(req, fd::kReplyMs, r, &n) && fd::filterReplyOk(r, n);
}

uint32_t QDeviceUsbCanFd2::SetValue(const char *path, const char *value)
{
    const fd::SettingPath p = fd::parseSettingPath(path, channels_);
    if (p.key == fd::SettingKey::None || !open_)
        return 0;
    Channel &c = ch_[p.channel];
    switch (p.key) {
    case fd::SettingKey::Standard:
        c.standard = fd::parseDecimal(value) != 0 ? 1 : 0;
        return 1;
    case fd::SettingKey::ArbRate: {
        uint32_t w = 0;
        if (!fd::arbTimingFor(fd::parseDecimal(value), clock_, &w))
            return 0;
        c.arbWord = w;
        c.custom = true;
        return 1;
    }
    case fd::SettingKey::DataRate: {
        uint32_t w = 0;
        if (!fd::dataTimingFor(fd::parseDecimal(value), clock_, &w))
            return 0;
        c.dataWord = w;
        c.custom = true;
        return 1;
    }
    case fd::SettingKey::CustomTiming: {
        uint32_t a = 0, d = 0;
        if (!fd::parseCustomTiming(value, &a, &d))
            return 0;
        c.arbWord = a;
        c.dataWord = d;
        c.custom = true;
        return 1;
    }
    case fd::SettingKey::FilterClear:
        c.filterState = 0;
        return sendFilterCommand(fd::cmdFilterClear(p.channel)) ? 1 : 0;
    case fd::SettingKey::FilterAck:
        c.filterState = 0;
        return sendFilterCommand(fd::cmdFilterAck(p.channel)) ? 1 : 0;
    case fd::SettingKey::FilterMode: {
        const uint32_t m = fd::parseDecimal(value);
        c.filterState = 1;
        if (m == 0 || m == 1) {
            c.filterMode = int(m);
            return 1;
        }
        c.filterMode = 2;
        // A reply of three bytes or more with status 0 is enough here.
        uint8_t r[kCommandReplyRead];
        size_t n = 0;
        return exchange(fd::cmdFilterMode2(p.channel), fd::kReplyMs, r, &n) && n >= 4 && r[3] == 0 ? 1 : 0;
    }
    case fd::SettingKey::FilterStart:
        if (c.filterState != 1)
            return 0;
        c.filterStart = fd::parseHex0x(value);
        c.filterState = 2;
        return 1;
    case fd::SettingKey::FilterEnd:
        if (c.filterState != 2)
            return 0;
        c.filterState = 1; // the next range may follow with its own start
        return sendFilterCommand(
                   fd::cmdFilterRange(p.channel, c.filterMode, c.filterStart, fd::parseHex0x(value)))
                   ? 1
                   : 0;
    case fd::SettingKey::None:
        break;
    }
    return 0;
}

bool QDeviceUsbCanFd2::customTiming(int channel, uint32_t *arb, uint32_t *data) const
{
    if (channel < 0 || channel >= kMaxChannels || !ch_[channel].custom)
        return false;
    *arb = ch_[channel].arbWord;
    *data = ch_[channel].dataWord;
    return true;
}

uint32_t QDeviceUsbCanFd2::statusWord(uint32_t channel, bool *ok)
{
    *ok = false;
    if (!open_ || !channelOk(channel))
        return 0;
    uint8_t r[kCommandReplyRead];
    size_t n = 0;
    uint32_t st = 0;
    if (!exchange(fd::cmdChannelStatus(int(channel)), fd::kReplyMs, r, &n) || !fd::parseStatusReply(r, n, &st))
        return 0;
    *ok = true;
    return st;
}

uint32_t QDeviceUsbCanFd2::ReadChannelErrInfo(uint32_t channel, OCAN_ERR_INFO *info)
{
    if (!info)
        return 0;
    bool ok = false;
    const uint32_t st = statusWord(channel, &ok);
    if (!ok)
        return 0;
    std::memset(info, 0, sizeof *info);
    uint8_t *b = reinterpret_cast<uint8_t *>(info);
    if (st & 0x01)
        info->ErrCode |= 0x02;
    if (st & 0x02) {
        info->ErrCode |= 0x04;
        b[4] = 1;
    }
    if (st & 0x04)
        info->ErrCode |= 0x20;
    if (st & 0x70) {
        info->ErrCode |= 0x08;
        b[7] = 1;
    }
    return 1;
}

uint32_t QDeviceUsbCanFd2::ReadChannelStatus(uint32_t channel, OCAN_CAN_STATUS *status)
{
    if (!status)
        return 0;
    bool ok = false;
    const uint32_t st = statusWord(channel, &ok);
    if (!ok)
        return 0;
    uint8_t *b = reinterpret_cast<uint8_t *>(status);
    std::memset(b, 0, 12);
    b[4] = uint8_t(st & 0x70);
    b[5] = 0x60;
    b[6] = uint8_t(st >> 24);
    b[7] = uint8_t(st >> 16);
    return 1;
}

uint32_t QDeviceUsbCanFd2::DevDataTransfer(uint8_t *buf, int32_t len)
{
    if (!open_ || !buf || len <= 0)
        return 0;
    const Bytes req = fd::cmdDirectTransfer(buf, len);
    uint8_t r[kCommandReplyRead];
    size_t n = 0;
    if (!exchange(req, fd::kDirectReplyMs, r, &n) || !fd::replyMatches(req, r, n))
        return 0;
    // replyMatches made sure of more than two bytes: n - 2 cannot wrap.
    std::memcpy(buf, r + 2, n - 2);
    return uint32_t(n - 2);
}

} // namespace kemusb

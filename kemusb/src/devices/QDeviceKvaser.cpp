#include "kemusb/src/devices/QDeviceKvaser.h"

#include "kemusb/src/devices/BestEffort.h"

#include "platform/PlatThread.h"
#include "platform/PlatTicks.h"

#include <chrono>
#include <cstring>

namespace kemusb {

class KvaserDeviceBase::Sink final : public kvaser::Sink
{
public:
    explicit Sink(KvaserDeviceBase &d) : d_(d) {}
    void classicFrame(int ch, const KCAN_CAN_OBJ &f) override
    {
        d_.ch_[size_t(ch)].rx.push_back(f);
        got = true;
    }
    void fdFrame(int ch, const KCAN_CANFD_OBJ &f) override
    {
        Channel &c = d_.ch_[size_t(ch)];
        if (c.rxFd.size() >= kFdFramesKept) {
            c.rxFd.pop_front();
            ++c.fdDropped;
        }
        c.rxFd.push_back(f);
    }
    void txAck(int ch) override { d_.ch_[size_t(ch)].ack->Unlock(); }
    bool got = false;

private:
    KvaserDeviceBase &d_;
};

KvaserDeviceBase::KvaserDeviceBase(AdapterFamily family, int channels, size_t cmdSize, long ackMax)
    : family_(family), channels_(channels), cmdSize_(cmdSize), thread_(this, 0), ch_(size_t(channels)),
      readBuf_(kvaser::kStreamRead)
{
    for (Channel &c : ch_)
        c.ack = std::make_unique<plat::CSemaphore>(0, ackMax);
}

// The derived classes close in their destructors (Close calls into them).
KvaserDeviceBase::~KvaserDeviceBase() { thread_.stop(); }

uint32_t KvaserDeviceBase::Open(uint32_t type, uint32_t index)
{
    const AdapterModel *m = modelForType(type);
    if (!m || m->family != family_)
        return 0;
    if (open_)
        return 1;
    if (!usb_.open(m->vid, m->pid, index))
        return 0;
    plat::UsbPipeInfo info{};
    uint32_t per = 1;
    if (usb_.pipeInformation(kvaser::kEpOut, &info) && info.maximumPacketSize / cmdSize_ > 1)
        per = uint32_t(info.maximumPacketSize / cmdSize_);
    perWrite_ = per;
    {
        std::lock_guard<std::mutex> g(bufMutex_);
        stream().clear();
        for (Channel &c : ch_) {
            c.started = false;
            c.rx.clear();
            c.rxFd.clear();
            c.fdDropped = 0;
        }
    }
    devType = type;
    devIndex = index;
    thread_.start(plat::THREAD_PRIORITY_HIGHEST);
    open_ = true;
    return 1;
}

uint32_t KvaserDeviceBase::Close()
{
    if (!open_)
        return 1;
    for (uint32_t c = 0; c < uint32_t(channels_); ++c)
        bestEffort([&] { ResetCAN(c); });
    {
        std::lock_guard<std::mutex> g(bufMutex_);
        stream().clear();
    }
    thread_.stop();
    usb_.close();
    {
        std::lock_guard<std::mutex> g(bufMutex_);
        open_ = false;
    }
    bufCv_.notify_all();
    return 1;
}

bool KvaserDeviceBase::write(const kvaser::Bytes &b)
{
    return usb_.write(b.data(), uint32_t(b.size()), kvaser::kEpOut) == b.size();
}

uint32_t KvaserDeviceBase::setChip(uint32_t channel, bool start)
{
    if (!open_ || channel >= uint32_t(channels_))
        return 0;
    std::lock_guard<std::mutex> g(stateMutex_);
    Channel &c = ch_[channel];
    if (c.started == start)
        return 1;
    if (!write(start ? startChip(int(channel)) : stopChip(int(channel))))
        return 0;
    c.started = start;
    return 1;
}

uint32_t KvaserDeviceBase::StartCAN(uint32_t channel) { return setChip(channel, true); }
uint32_t KvaserDeviceBase::ResetCAN(uint32_t channel) { return setChip(channel, false); }

uint32_t KvaserDeviceBase::KvciInitCAN(uint32_t channel, const KCAN_INITFD_CONFIG *cfg)
{
    if (!open_ || !cfg || channel >= uint32_t(channels_))
        return 0;
    {
        std::lock_guard<std::mutex> g(stateMutex_);
        for (const kvaser::Bytes &b : busParams(int(channel), *cfg))
            if (!write(b))
                return 0;
    }
    return StartCAN(channel);
}

uint32_t KvaserDeviceBase::KvciTransmit(uint32_t channel, const KCAN_CAN_OBJ *frames, uint32_t count)
{
    if (!open_ || !frames || channel >= uint32_t(channels_))
        return 0;
    plat::CSemaphore &ack = *ch_[channel].ack;
    for (int i = 0; i < staleAcks(); ++i)
        if (!ack.Lock(0))
            break;
    uint32_t per = perWrite_;
    const uint32_t byBytes = uint32_t(kvaser::kMaxGroupBytes / cmdSize_);
    if (per > byBytes)
        per = byBytes;
    uint32_t sent = 0;
    kvaser::Bytes pkt;
    while (sent < count) {
        const uint32_t n = count - sent < per ? count - sent : per;
        pkt.clear();
        for (uint32_t i = 0; i < n; ++i)
            appendTransmit(pkt, int(channel), frames[sent + i]);
        if (!write(pkt))
            break;
        uint32_t acked = 0;
        while (acked < n && ack.Lock(kvaser::kAckWaitMs))
            ++acked;
        if (acked < n)
            break;
        sent += n;
    }
    return sent;
}

uint32_t KvaserDeviceBase::KvciReceive(uint32_t channel, KCAN_CAN_OBJ *frames, uint32_t count, int32_t waitMs)
{
    if (channel >= uint32_t(channels_) || !frames || count == 0)
        return 0;
    const uint32_t start = plat::GetTickCount();
    std::unique_lock<std::mutex> g(bufMutex_);
    auto &q = ch_[channel].rx;
    for (;;) {
        uint32_t n = 0;
        while (n < count && !q.empty()) {
            frames[n++] = q.front();
            q.pop_front();
        }
        if (n > 0 || waitMs == 0 || !open_)
            return n;
        if (waitMs != -1 && plat::GetTickCount() - start >= uint32_t(waitMs))
            return 0;
        bufCv_.wait_for(g, std::chrono::milliseconds(1));
    }
}

uint32_t KvaserDeviceBase::ClearBuffer(uint32_t channel)
{
    if (channel >= uint32_t(channels_))
        return 0;
    std::lock_guard<std::mutex> g(bufMutex_);
    ch_[channel].rx.clear();
    ch_[channel].rxFd.clear();
    return 1;
}

uint64_t KvaserDeviceBase::droppedFdFrames(uint32_t channel)
{
    if (channel >= uint32_t(channels_))
        return 0;
    std::lock_guard<std::mutex> g(bufMutex_);
    return ch_[channel].fdDropped;
}

uint32_t KvaserDeviceBase::GetReceiveNum(uint32_t channel, uint8_t kind)
{
    if (channel >= uint32_t(channels_))
        return 0;
    std::lock_guard<std::mutex> g(bufMutex_);
    return countByKind(ch_[channel].rx.size(), ch_[channel].rxFd.size(), kind);
}

ReadTurn KvaserDeviceBase::deviceThreadRead(int)
{
    plat::UsbStatus st = plat::UsbStatus::Ok;
    const uint32_t got = usb_.read(readBuf_.data(), uint32_t(readBuf_.size()), kvaser::kEpIn, &st);
    if (got == 0)
        return st == plat::UsbStatus::Error ? ReadTurn::Failed : ReadTurn::Nothing;
    Sink sink(*this);
    {
        std::lock_guard<std::mutex> g(bufMutex_);
        stream().feed(readBuf_.data(), got, sink);
    }
    if (sink.got)
        bufCv_.notify_all();
    return ReadTurn::Data;
}

// ---- the two families ------------------------------------------------------------

QDeviceKvaser::QDeviceKvaser() : KvaserDeviceBase(AdapterFamily::Kvaser, kvaser::kChannels20, 20, 32), stream_(kvaser::kChannels20) {}

std::vector<kvaser::Bytes> QDeviceKvaser::busParams(int channel, const KCAN_INITFD_CONFIG &cfg) const
{
    return {kvaser::cmd20BusParams(channel, cfg)};
}

QDeviceKvaserProFD::QDeviceKvaserProFD()
    : KvaserDeviceBase(AdapterFamily::KvaserFd, kvaser::kChannels32, kvaser::kCmd32, 8), stream_(kvaser::kChannels32)
{
}

} // namespace kemusb

#include "kemusb/src/devices/UsbCanClassicDevice.h"

#include "kemusb/src/devices/BestEffort.h"

#include "platform/PlatThread.h"
#include "platform/PlatTicks.h"

#include <chrono>
#include <cstring>

namespace kemusb {

using classic::Bytes;

namespace {

bool channelOk(uint32_t channel) { return channel < uint32_t(classic::kChannels); }

} // namespace

class UsbCanClassicDevice::Sink final : public classic::StreamParser::Sink
{
public:
    explicit Sink(UsbCanClassicDevice &d) : d_(d) {}
    void frame(const classic::StreamFrame &f) override
    {
        d_.rx_[f.channel].push_back(f.record);
        got = true;
    }
    bool got = false;

private:
    UsbCanClassicDevice &d_;
};

UsbCanClassicDevice::UsbCanClassicDevice() : frameThread_(this, 0), replyThread_(this, 1)
{
    for (auto &s : started_)
        s = false;
}

UsbCanClassicDevice::~UsbCanClassicDevice()
{
    close();
    frameThread_.stop();
    replyThread_.stop();
}

uint32_t UsbCanClassicDevice::open(uint16_t vid, uint16_t pid, uint32_t index)
{
    if (open_)
        return 0;
    if (!usb_.open(vid, pid, index))
        return 0;
    {
        std::lock_guard<std::mutex> g(rxMutex_);
        parser_.clear();
        for (auto &q : rx_)
            q.clear();
    }
    {
        std::lock_guard<std::mutex> g(replyMutex_);
        replies_.clear();
    }
    {
        std::lock_guard<std::mutex> g(exchangeMutex_);
        owedCmd_.clear();
    }
    for (auto &s : started_)
        s = false;
    frameThread_.start(plat::THREAD_PRIORITY_NORMAL);
    replyThread_.start(plat::THREAD_PRIORITY_NORMAL);
    open_ = true;
    return 1;
}

void UsbCanClassicDevice::close()
{
    if (!open_)
        return;
    for (uint32_t ch = 0; ch < uint32_t(classic::kChannels); ++ch) {
        if (started_[ch]) {
            bestEffort([&] { resetChannel(ch); });
            clearBuffer(ch);
        }
    }
    frameThread_.stop();
    replyThread_.stop();
    usb_.close();
    open_ = false;
    rxCv_.notify_all();
    replyCv_.notify_all();
}

// ---- device threads -----------------------------------------------------------

ReadTurn UsbCanClassicDevice::deviceThreadRead(int threadNo)
{
    plat::UsbStatus st = plat::UsbStatus::Ok;
    if (threadNo == 0) {
        const uint32_t got = usb_.read(streamBuf_, sizeof streamBuf_, classic::kEpStreamIn, &st);
        if (got == 0)
            return st == plat::UsbStatus::Error ? ReadTurn::Failed : ReadTurn::Nothing;
        Sink sink(*this);
        {
            std::lock_guard<std::mutex> g(rxMutex_);
            parser_.feed(streamBuf_, got, sink);
        }
        if (sink.got)
            rxCv_.notify_all();
        return ReadTurn::Data;
    }
    const uint32_t got = usb_.read(replyBuf_, sizeof replyBuf_, classic::kEpReplyIn, &st);
    if (got == 0)
        return st == plat::UsbStatus::Error ? ReadTurn::Failed : ReadTurn::Nothing;
    Reply r;
    std::memcpy(r.data, replyBuf_, got);
    r.len = got;
    {
        std::lock_guard<std::mutex> g(replyMutex_);
        replies_.push_back(r);
    }
    replyCv_.notify_all();
    return ReadTurn::Data;
}

// ---- exchanges ------------------------------------------------------------------

void UsbCanClassicDevice::dropReplies()
{
    std::lock_guard<std::mutex> g(replyMutex_);
    replies_.clear();
}

bool UsbCanClassicDevice::takeReply(Reply *out, uint32_t ms)
{
    const uint32_t start = plat::GetTickCount();
    std::unique_lock<std::mutex> g(replyMutex_);
    for (;;) {
        while (!replies_.empty()) {
            Reply r = replies_.front();
            replies_.pop_front();
            if (r.len > 0) {
                *out = r;
                return true;
            }
        }
        if (!open_ || plat::GetTickCount() - start >= ms)
            return false;
        // Short slices keep the time-out on the tick source.
        replyCv_.wait_for(g, std::chrono::milliseconds(1));
    }
}

bool UsbCanClassicDevice::exchange(const Bytes &req, uint32_t ms, Reply *reply)
{
    reply->len = 0;
    if (!open_)
        return false;
    settleLateReply();
    dropReplies();
    if (usb_.write(req.data(), uint32_t(req.size()), classic::kEpCmdOut) != req.size())
        return false;
    const uint32_t start = plat::GetTickCount();
    for (;;) {
        const uint32_t spent = plat::GetTickCount() - start;
        if (spent >= ms)
            break;
        Reply r;
        if (!takeReply(&r, ms - spent))
            break;
        *reply = r;
        if (classic::replyMatches(req, r.data, r.len))
            return true;
    }
    // Our reply did not come in time, yet the adapter may still send it.
    // Replies carry no sequence number: the next query of this command would
    // take it for its own answer (a state from before a re-initialisation,
    // say). The next exchange lets it land first and drops it.
    if (req.size() >= 2) {
        owedCmd_ = {req[0], req[1]};
        owedUntil_ = plat::GetTickCount() + ms;
    }
    // A reply that did not match may still have come: the caller's check
    // decides; nothing at all is a failed exchange.
    return reply->len > 0;
}

void UsbCanClassicDevice::settleLateReply()
{
    if (owedCmd_.empty())
        return;
    const classic::Bytes owed = owedCmd_;
    owedCmd_.clear();
    // Nothing of ours is out now: whatever comes is older traffic. The wait
    // ends with the owed reply, or when it is later than twice its reply
    // time and taken for lost.
    for (;;) {
        const int32_t left = int32_t(owedUntil_ - plat::GetTickCount());
        if (left <= 0)
            return;
        Reply r;
        if (!takeReply(&r, uint32_t(left)) || classic::replyMatches(owed, r.data, r.len))
            return;
    }
}

bool UsbCanClassicDevice::hardwareVersion(uint16_t *v)
{
    std::lock_guard<std::mutex> g(exchangeMutex_);
    Reply r;
    return exchange(classic::cmdHardwareVersion(), classic::kShortMs, &r) && classic::parseVersion(r.data, r.len, 0x01, v);
}

bool UsbCanClassicDevice::firmwareVersion(uint16_t *v)
{
    std::lock_guard<std::mutex> g(exchangeMutex_);
    Reply r;
    return exchange(classic::cmdFirmwareVersion(), classic::kShortMs, &r) && classic::parseVersion(r.data, r.len, 0x12, v);
}

bool UsbCanClassicDevice::channelCount(uint8_t *n)
{
    std::lock_guard<std::mutex> g(exchangeMutex_);
    Reply r;
    return exchange(classic::cmdChannelCount(), classic::kShortMs, &r) && classic::parseChannelCount(r.data, r.len, n);
}

uint32_t UsbCanClassicDevice::initChannel(uint32_t channel, uint8_t mode, uint8_t timing0, uint8_t timing1,
                                          uint8_t filter, uint32_t accCode, uint32_t accMask)
{
    if (!channelOk(channel))
        return 0;
    std::lock_guard<std::mutex> g(exchangeMutex_);
    Reply r;
    if (!exchange(classic::cmdModeTiming(int(channel), mode, timing0, timing1), classic::kLongMs, &r) ||
        !classic::modeTimingOk(r.data, r.len))
        return 0;
    if (!exchange(classic::cmdAcceptance(int(channel), filter, accCode, accMask), classic::kLongMs, &r) ||
        !classic::acceptanceOk(r.data, r.len))
        return 0;
    return 1;
}

uint32_t UsbCanClassicDevice::startChannel(uint32_t channel)
{
    if (!channelOk(channel))
        return 0;
    std::lock_guard<std::mutex> g(exchangeMutex_);
    if (started_[channel])
        return 1;
    Reply r;
    if (!exchange(classic::cmdStart(int(channel)), classic::kLongMs, &r) || !classic::startOk(r.data, r.len))
        return 0;
    started_[channel] = true;
    return 1;
}

uint32_t UsbCanClassicDevice::resetChannel(uint32_t channel)
{
    if (!channelOk(channel))
        return 0;
    std::lock_guard<std::mutex> g(exchangeMutex_);
    if (!started_[channel])
        return 1;
    Reply r;
    if (!exchange(classic::cmdReset(int(channel)), classic::kShortMs, &r) || !classic::resetOk(r.data, r.len))
        return 0;
    started_[channel] = false;
    return 1;
}

bool UsbCanClassicDevice::started(uint32_t channel) const { return channelOk(channel) && started_[channel]; }

uint32_t UsbCanClassicDevice::relaySet(uint8_t a, uint8_t b)
{
    std::lock_guard<std::mutex> g(exchangeMutex_);
    Reply r;
    return exchange(classic::cmdRelaySet(a, b), classic::kShortMs, &r) && classic::relaySetOk(r.data, r.len) ? 1 : 0;
}

uint32_t UsbCanClassicDevice::relayGet(uint8_t *a, uint8_t *b)
{
    std::lock_guard<std::mutex> g(exchangeMutex_);
    Reply r;
    return exchange(classic::cmdRelayGet(), classic::kShortMs, &r) && classic::parseRelay(r.data, r.len, a, b) ? 1 : 0;
}

uint32_t UsbCanClassicDevice::busTimingGet(uint32_t channel, uint8_t *timing0, uint8_t *timing1)
{
    std::lock_guard<std::mutex> g(exchangeMutex_);
    Reply r;
    return exchange(classic::cmdBusTimingGet(int(channel)), classic::kShortMs, &r) &&
                   classic::parseBusTiming(r.data, r.len, timing0, timing1)
               ? 1
               : 0;
}

uint32_t UsbCanClassicDevice::channelStateGet(uint32_t channel, uint8_t *a, uint8_t *b, uint8_t *c)
{
    std::lock_guard<std::mutex> g(exchangeMutex_);
    Reply r;
    return exchange(classic::cmdChannelStateGet(int(channel)), classic::kShortMs, &r) &&
                   classic::parseChannelState(r.data, r.len, a, b, c)
               ? 1
               : 0;
}

uint32_t UsbCanClassicDevice::directTransfer(uint8_t *buf, int32_t len)
{
    if (!buf || len <= 0)
        return 0;
    std::lock_guard<std::mutex> g(exchangeMutex_);
    const Bytes req = classic::cmdDirectTransfer(buf, len);
    Reply r;
    if (!exchange(req, classic::kShortMs, &r) || !classic::replyMatches(req, r.data, r.len))
        return 0;
    // replyMatches made sure of more than two bytes: the length cannot wrap.
    std::memcpy(buf, r.data + 2, r.len - 2);
    return uint32_t(r.len - 2);
}

uint32_t UsbCanClassicDevice::transmit(uint32_t channel, const VCI_CAN_OBJ *frames, uint32_t count)
{
    if (!open_ || !channelOk(channel) || !frames)
        return 0;
    uint32_t sent = 0;
    for (int n : classic::txGroupSizes(count)) {
        const VCI_CAN_OBJ *grp = frames + sent;
        const Bytes pkt = classic::txGroup(int(channel), grp, n);
        // The group's answer comes on the command replies' pipe: one
        // exchange at a time, as for a command.
        std::lock_guard<std::mutex> g(exchangeMutex_);
        dropReplies();
        if (usb_.write(pkt.data(), uint32_t(pkt.size()), classic::kEpTxOut) != pkt.size())
            break;
        Reply r;
        if (!takeReply(&r, classic::txAckWaitMs(grp, n)) || !classic::txGroupAccepted(r.data, r.len, n))
            break;
        sent += uint32_t(n);
    }
    return sent;
}

// ---- frame buffers ---------------------------------------------------------------

uint32_t UsbCanClassicDevice::receive(uint32_t channel, VCI_CAN_OBJ *frames, uint32_t count)
{
    if (!channelOk(channel) || !frames)
        return 0;
    std::lock_guard<std::mutex> g(rxMutex_);
    auto &q = rx_[channel];
    uint32_t n = 0;
    while (n < count && !q.empty()) {
        frames[n++] = q.front();
        q.pop_front();
    }
    return n;
}

uint32_t UsbCanClassicDevice::receiveNum(uint32_t channel)
{
    if (!channelOk(channel))
        return 0;
    std::lock_guard<std::mutex> g(rxMutex_);
    return uint32_t(rx_[channel].size());
}

uint32_t UsbCanClassicDevice::clearBuffer(uint32_t channel)
{
    if (!channelOk(channel))
        return 0;
    std::lock_guard<std::mutex> g(rxMutex_);
    rx_[channel].clear();
    return 1;
}

bool UsbCanClassicDevice::waitFrames(uint32_t channel, uint32_t ms)
{
    if (!channelOk(channel))
        return false;
    std::unique_lock<std::mutex> g(rxMutex_);
    if (!rx_[channel].empty())
        return true;
    if (ms == 0 || !open_)
        return false;
    rxCv_.wait_for(g, std::chrono::milliseconds(ms));
    return !rx_[channel].empty();
}

uint64_t UsbCanClassicDevice::skippedStreamBytes()
{
    std::lock_guard<std::mutex> g(rxMutex_);
    return parser_.skippedBytes();
}

} // namespace kemusb

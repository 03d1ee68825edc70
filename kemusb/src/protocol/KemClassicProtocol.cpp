#include "kemusb/src/protocol/KemClassicProtocol.h"

#include "platform/PlatBytes.h"

#include <cstring>

namespace kemusb::classic {

namespace {

bool answered(const uint8_t *r, size_t n, size_t least, uint8_t cmd)
{
    return r && n >= least && r[1] == cmd;
}

} // namespace

Bytes cmdHardwareVersion() { return {0x12, 0x01, 0x01, 0x01}; }
Bytes cmdFirmwareVersion() { return {0x12, 0x12, 0x01, 0x01}; }
Bytes cmdChannelCount() { return {0x12, 0x13, 0x01, 0x00}; }

Bytes cmdModeTiming(int channel, uint8_t mode, uint8_t timing0, uint8_t timing1)
{
    const uint8_t m = uint8_t(channelByte(channel) | (mode == 1 ? 0x80 : 0x00));
    return {0x12, 0x03, 0x04, 0x00, m, timing0, timing1};
}

Bytes cmdAcceptance(int channel, uint8_t filter, uint32_t accCode, uint32_t accMask)
{
    Bytes b{0x12, 0x04, 0x0A, 0x00, uint8_t(channelByte(channel) | (filter ? 0x40 : 0x00))};
    plat::appendBe32(b, accCode);
    plat::appendBe32(b, accMask);
    return b;
}

Bytes cmdStart(int channel) { return {0x12, 0x0E, 0x02, 0x00, channelByte(channel)}; }
Bytes cmdReset(int channel) { return {0x12, 0x0F, 0x02, 0x00, channelByte(channel)}; }
Bytes cmdRelaySet(uint8_t a, uint8_t b) { return {0x12, 0xB1, 0x02, a, b}; }
Bytes cmdRelayGet() { return {0x12, 0xB2, 0x02, 0x00, 0x00}; }
Bytes cmdBusTimingGet(int channel) { return {0x12, 0xA4, 0x01, uint8_t(channel)}; }
Bytes cmdChannelStateGet(int channel) { return {0x12, 0x80, 0x01, uint8_t(channel), 0x00, 0x00}; }

bool parseVersion(const uint8_t *r, size_t n, uint8_t cmd, uint16_t *version)
{
    if (!answered(r, n, 6, cmd))
        return false;
    *version = plat::le16(r + 4);
    return true;
}

bool parseChannelCount(const uint8_t *r, size_t n, uint8_t *count)
{
    // The count sits at r[4]: a reply must reach it.
    if (!answered(r, n, 5, 0x13))
        return false;
    *count = r[4];
    return true;
}

bool modeTimingOk(const uint8_t *r, size_t n) { return answered(r, n, 4, 0x03); }
bool acceptanceOk(const uint8_t *r, size_t n) { return answered(r, n, 4, 0x04); }
bool startOk(const uint8_t *r, size_t n) { return answered(r, n, 3, 0x0E); }
bool resetOk(const uint8_t *r, size_t n) { return answered(r, n, 3, 0x0F); }
bool relaySetOk(const uint8_t *r, size_t n) { return answered(r, n, 5, 0xB1); }

bool parseRelay(const uint8_t *r, size_t n, uint8_t *a, uint8_t *b)
{
    if (!answered(r, n, 5, 0xB2))
        return false;
    if (a)
        *a = r[3];
    if (b)
        *b = r[4];
    return true;
}

bool parseBusTiming(const uint8_t *r, size_t n, uint8_t *timing0, uint8_t *timing1)
{
    if (!answered(r, n, 9, 0xA4))
        return false;
    if (timing0)
        *timing0 = r[6];
    if (timing1)
        *timing1 = r[8];
    return true;
}

bool parseChannelState(const uint8_t *r, size_t n, uint8_t *a, uint8_t *b, uint8_t *c)
{
    if (!answered(r, n, 12, 0x80))
        return false;
    if (a)
        *a = r[5];
    if (b)
        *b = r[10];
    if (c)
        *c = r[9];
    return true;
}

bool txGroupAccepted(const uint8_t *r, size_t n, int framesInGroup)
{
    return r && n >= 3 && int(r[2]) == framesInGroup;
}

Bytes txGroup(int channel, const VCI_CAN_OBJ *frames, int count)
{
    Bytes b;
    b.reserve(kRecordSize * size_t(count));
    for (int i = 0; i < count; ++i) {
        const VCI_CAN_OBJ &f = frames[i];
        const uint8_t len = uint8_t(f.DataLen & 0x0F);
        const uint32_t w = idWord(f.ID, f.ExternFlag != 0);
        const size_t at = b.size();
        b.resize(at + kRecordSize, 0);
        uint8_t *p = b.data() + at;
        p[4] = 0xC6;
        p[5] = f.SendType;
        p[6] = uint8_t((f.ExternFlag ? 0x80 : 0) | (f.RemoteFlag ? 0x40 : 0) | channelByte(channel) | len);
        plat::putLe32(p + 7, w);
        std::memcpy(p + 11, f.Data, len < 8 ? len : 8);
    }
    return b;
}

std::vector<int> txGroupSizes(uint32_t count)
{
    std::vector<int> out;
    while (count > 0) {
        const int n = count < uint32_t(kTxGroup) ? int(count) : kTxGroup;
        out.push_back(n);
        count -= uint32_t(n);
    }
    return out;
}

uint32_t txAckWaitMs(const VCI_CAN_OBJ *frames, int count)
{
    return count > 0 && frames[count - 1].SendType == 1 ? kTxAckQuickMs : kTxAckMs;
}

StreamFrame StreamParser::decode(const uint8_t *p)
{
    StreamFrame f{};
    const uint8_t flags = p[6];
    const bool ext = flags & 0x80;
    uint8_t len = flags & 0x0F;
    if (len > 8)
        len = 8; // the record carries 8 data bytes: a reader would copy past them
    f.channel = (flags & 0x10) ? 1 : 0;
    VCI_CAN_OBJ &r = f.record;
    r.TimeStamp = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
    r.TimeFlag = 1;
    r.SendType = 0;
    r.RemoteFlag = (flags & 0x40) ? 1 : 0;
    r.ExternFlag = ext ? 1 : 0;
    r.DataLen = len;
    const uint32_t w = plat::le32(p + 7);
    r.ID = idFromWord(w, ext);
    std::memcpy(r.Data, p + 11, 8);
    return f;
}

void StreamParser::feed(const uint8_t *data, size_t len, Sink &sink)
{
    if (len > 0 && data) {
        // The assembly buffer has a fixed size: what does not fit is dropped
        // and counted, never written past its end.
        const size_t room = kAssemblyCapacity - fill_;
        const size_t take = len < room ? len : room;
        std::memcpy(buf_ + fill_, data, take);
        fill_ += take;
        dropped_ += len - take;
    }
    size_t at = 0;
    while (fill_ - at >= kRecordSize) {
        const uint8_t *p = buf_ + at;
        if (!isRecordStart(p)) {
            ++at;
            ++skipped_;
            continue;
        }
        sink.frame(decode(p));
        at += kRecordSize;
    }
    if (at > 0) {
        std::memmove(buf_, buf_ + at, fill_ - at);
        fill_ -= at;
    }
}

Bytes streamRecord(int channel, uint32_t id, bool ext, bool rtr, uint8_t len, const uint8_t *data, uint32_t stamp)
{
    Bytes b(kRecordSize, 0);
    b[0] = uint8_t(stamp);
    b[1] = uint8_t(stamp >> 8);
    b[2] = uint8_t(stamp >> 16);
    b[3] = 0x01;
    b[6] = uint8_t((ext ? 0x80 : 0) | (rtr ? 0x40 : 0) | channelByte(channel) | (len & 0x0F));
    const uint32_t w = idWord(id, ext);
    plat::putLe32(b.data() + 7, w);
    if (data)
        std::memcpy(b.data() + 11, data, len < 8 ? len : 8);
    return b;
}

} // namespace kemusb::classic

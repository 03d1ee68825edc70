#include "kemusb/src/protocol/KemKvaserProtocol.h"

#include "platform/PlatBytes.h"

#include <cstring>

namespace kemusb::kvaser {

namespace {

int clampChannel(int ch, int channels) { return ch >= channels ? channels - 1 : ch; }

constexpr uint8_t kLengths[16] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 12, 16, 20, 24, 32, 48, 64};

} // namespace

uint8_t dlcToLength(uint8_t code) { return kLengths[code & 0x0F]; }

// ---- 20-byte family ---------------------------------------------------------

Bytes cmd20BusParams(int channel, const KCAN_INITFD_CONFIG &cfg)
{
    Bytes b(12, 0);
    b[0] = 12;
    b[1] = 16;
    b[3] = uint8_t(channel);
    plat::putLe32(&b[4], cfg.KvArbBaud);
    b[8] = cfg.KvArbTseg1;
    b[9] = cfg.KvArbTseg2;
    b[10] = cfg.KvArbSjw;
    b[11] = cfg.KvSamplePoints;
    return b;
}

Bytes cmd20StartChip(int channel) { return {4, 26, 0, uint8_t(channel)}; }
Bytes cmd20StopChip(int channel) { return {4, 28, 0, uint8_t(channel)}; }

void cmd20Transmit(Bytes &out, int channel, const KCAN_CAN_OBJ &f)
{
    const size_t at = out.size();
    out.resize(at + 20, 0);
    uint8_t *p = out.data() + at;
    const uint32_t id = f.ID;
    p[0] = 20;
    p[2] = uint8_t(channel);
    if (f.ExternFlag) {
        p[1] = 15;
        p[4] = uint8_t((id >> 24) & 0x1F);
        p[5] = uint8_t((id >> 18) & 0x3F);
        p[6] = uint8_t((id >> 14) & 0x0F);
        p[7] = uint8_t((id >> 6) & 0xFF);
        p[8] = uint8_t(id & 0x3F);
    } else {
        p[1] = 13;
        p[4] = uint8_t((id >> 6) & 0x1F);
        p[5] = uint8_t(id & 0x3F);
    }
    const uint8_t len = uint8_t(f.DataLen & 0x0F);
    p[9] = len;
    std::memcpy(p + 10, f.Data, 8);
    p[19] = f.RemoteFlag ? 0x10 : 0x00;
}

void Stream20::command(const uint8_t *c, size_t len, Sink &sink) const
{
    if (len < 3)
        return;
    switch (c[1]) {
    case 12:
    case 14: {
        if (len < 16)
            return;
        KCAN_CAN_OBJ f;
        std::memset(&f, 0, sizeof f);
        const uint32_t top = uint32_t(c[10] & 0x1F) << 6 | uint32_t(c[11] & 0x3F);
        if (c[1] == 14) {
            f.ID = top << 18 | uint32_t(c[12] & 0x0F) << 14 | uint32_t(c[13]) << 6 | uint32_t(c[14] & 0x3F);
            f.ExternFlag = 1;
        } else {
            f.ID = top;
        }
        f.RemoteFlag = (c[3] & 0x10) ? 1 : 0;
        uint8_t n = c[15] & 0x0F;
        if (n > 8)
            n = 8; // a record holds 8 data bytes
        f.DataLen = n;
        const size_t avail = len - 16 < 8 ? len - 16 : 8;
        std::memcpy(f.Data, c + 16, avail);
        sink.classicFrame(clampChannel(c[2], channels_), f);
        return;
    }
    case 50:
        sink.txAck(clampChannel(c[2], channels_));
        return;
    default:
        return;
    }
}

size_t Stream20::parse(const uint8_t *p, size_t len, Sink &sink)
{
    size_t at = 0;
    while (at < len) {
        const size_t n = p[at];
        if (n == 0) {
            ++at; // stepped over by its length, the parse would stay on it for ever
            ++skipped_;
            continue;
        }
        if (len - at < n)
            break;
        command(p + at, n, sink);
        at += n;
    }
    return at;
}

// ---- 32-byte family ---------------------------------------------------------

std::vector<Bytes> cmd32BusParams(int channel, const KCAN_INITFD_CONFIG &cfg)
{
    std::vector<Bytes> out;
    Bytes a(kCmd32, 0);
    a[0] = cfg.FdEnable ? 69 : 16;
    a[1] = uint8_t(channel & 0x3F);
    plat::putLe32(&a[4], cfg.KvArbBaud);
    a[8] = cfg.KvArbTseg1;
    a[9] = cfg.KvArbTseg2;
    a[10] = cfg.KvArbSjw;
    a[11] = cfg.KvSamplePoints;
    a[24] = 0;
    out.push_back(a);
    if (cfg.FdEnable) {
        Bytes d(kCmd32, 0);
        d[0] = 69;
        d[1] = uint8_t(channel & 0x3F);
        plat::putLe32(&d[16], cfg.KvDataBaud);
        d[20] = cfg.KvDataTseg1;
        d[21] = cfg.KvDataTseg2;
        d[22] = cfg.KvDataSjw;
        d[23] = cfg.KvDataPhase4;
        d[24] = cfg.Standard == 0 ? 2 : 1;
        out.push_back(d);
    }
    return out;
}

Bytes cmd32StartChip(int channel)
{
    Bytes b(kCmd32, 0);
    b[0] = 26;
    b[1] = uint8_t(channel & 0x3F);
    return b;
}

Bytes cmd32StopChip(int channel)
{
    Bytes b(kCmd32, 0);
    b[0] = 28;
    b[1] = uint8_t(channel & 0x3F);
    return b;
}

void cmd32Transmit(Bytes &out, int channel, const KCAN_CAN_OBJ &f)
{
    const size_t at = out.size();
    out.resize(at + kCmd32, 0);
    uint8_t *p = out.data() + at;
    p[0] = 33;
    p[1] = uint8_t(channel & 0x3F);
    const uint32_t id = f.ExternFlag ? ((f.ID & 0x1FFFFFFFu) | 0x80000000u) : (f.ID & 0x7FFu);
    plat::putLe32(p + 4, id);
    std::memcpy(p + 8, f.Data, 8);
    p[16] = f.DataLen;
    p[17] = uint8_t((f.ExternFlag ? 0x20 : 0) | (f.RemoteFlag ? 0x10 : 0));
}

int cmd32SourceChannel(const uint8_t *c)
{
    const int ch = (c[1] >> 6) * 16 + (plat::le16(c + 2) >> 12);
    return ch > 15 ? 15 : ch;
}

void put32Source(uint8_t *c, int channel)
{
    c[1] = uint8_t((c[1] & 0x3F) | ((channel / 16) & 3) << 6);
    plat::putLe16(c + 2, uint16_t((plat::le16(c + 2) & 0x0FFF) | (channel % 16) << 12));
}

void Stream32::command(const uint8_t *c, size_t len, Sink &sink) const
{
    if (len < 4)
        return;
    const int ch = clampChannel(cmd32SourceChannel(c), channels_);
    switch (c[0]) {
    case 50:
        sink.txAck(ch);
        return;
    case 106: {
        if (len < 28)
            return;
        KCAN_CAN_OBJ f;
        std::memset(&f, 0, sizeof f);
        const uint32_t w = plat::le32(c + 16);
        f.ExternFlag = (w & 0x80000000u) ? 1 : 0;
        f.ID = w & (f.ExternFlag ? 0x1FFFFFFFu : 0x7FFu);
        f.RemoteFlag = (c[7] & 0x10) ? 1 : 0;
        f.DataLen = c[14] > 8 ? 8 : c[14]; // a record holds 8 data bytes
        std::memcpy(f.Data, c + 20, 8);
        sink.classicFrame(ch, f);
        return;
    }
    case 0xFF: {
        if (len < 28 || c[6] != 0xE2)
            return;
        const uint32_t flags = plat::le32(c + 8);
        const uint32_t w = plat::le32(c + 12);
        const uint8_t n = dlcToLength(uint8_t((plat::le32(c + 20) >> 8) & 0xFF));
        KCAN_CAN_OBJ cf;
        std::memset(&cf, 0, sizeof cf);
        KCAN_CANFD_OBJ f;
        std::memset(&f, 0, sizeof f);
        f.ExternFlag = (flags & 0x20) || (w & 0x80000000u) ? 1 : 0;
        f.ID = w & (f.ExternFlag ? 0x1FFFFFFFu : 0x7FFu);
        f.RemoteFlag = (flags & 0x10) ? 1 : 0;
        f.FdFlag = uint8_t(((flags & 0x20000) ? KCAN_FD_FLAG_BRS : 0) | ((flags & 0x40000) ? KCAN_FD_FLAG_ESI : 0));
        f.TimeStamp = plat::le32(c + 24);
        f.DataLen = n;
        const size_t avail = len - 28 < n ? len - 28 : n;
        std::memcpy(f.Data, c + 28, avail);
        sink.fdFrame(ch, f);
        return;
    }
    default:
        return;
    }
}

size_t Stream32::parse(const uint8_t *p, size_t len, Sink &sink)
{
    size_t at = 0;
    while (at < len) {
        size_t n = kCmd32;
        if (p[at] == 0xFF) {
            if (len - at < 6)
                break;
            n = size_t(p[at + 4] | p[at + 5] << 8);
            if (n < 6) {
                ++at; // a length that does not even cover itself: step over the byte
                ++skipped_;
                continue;
            }
        }
        if (len - at < n)
            break;
        command(p + at, n, sink);
        at += n;
    }
    return at;
}

void CommandStream::feed(const uint8_t *data, size_t len, Sink &sink)
{
    if (!data)
        len = 0;
    if (tail_.empty()) {
        const size_t used = parse(data, len, sink);
        const size_t rest = len - used;
        if (rest > 0 && rest <= assembly_)
            tail_.assign(data + used, data + len);
        return;
    }
    tail_.insert(tail_.end(), data, data + len);
    const size_t used = parse(tail_.data(), tail_.size(), sink);
    tail_.erase(tail_.begin(), tail_.begin() + long(used));
    if (tail_.size() > assembly_)
        tail_.clear();
}

// ---- received commands --------------------------------------------------------

Bytes rx20Frame(int channel, uint32_t id, bool ext, bool rtr, uint8_t len, const uint8_t *data)
{
    Bytes b(24, 0);
    b[0] = 24;
    b[1] = ext ? 14 : 12;
    b[2] = uint8_t(channel);
    b[3] = rtr ? 0x10 : 0x00;
    const uint32_t top = ext ? id >> 18 : id;
    b[10] = uint8_t((top >> 6) & 0x1F);
    b[11] = uint8_t(top & 0x3F);
    if (ext) {
        b[12] = uint8_t((id >> 14) & 0x0F);
        b[13] = uint8_t((id >> 6) & 0xFF);
        b[14] = uint8_t(id & 0x3F);
    }
    b[15] = uint8_t(len & 0x0F);
    if (data)
        std::memcpy(&b[16], data, len < 8 ? len : 8);
    return b;
}

Bytes rx20Ack(int channel) { return {4, 50, uint8_t(channel), 0}; }

Bytes rx32Frame(int channel, uint32_t id, bool ext, bool rtr, uint8_t len, const uint8_t *data)
{
    Bytes b(kCmd32, 0);
    b[0] = 106;
    put32Source(b.data(), channel);
    b[7] = rtr ? 0x10 : 0;
    b[14] = len;
    plat::putLe32(&b[16], ext ? (id | 0x80000000u) : id);
    if (data)
        std::memcpy(&b[20], data, len < 8 ? len : 8);
    return b;
}

Bytes rx32FdFrame(int channel, uint32_t id, bool ext, bool brs, bool esi, uint8_t dlc, const uint8_t *data,
                  uint32_t stamp)
{
    const uint8_t n = dlcToLength(dlc);
    Bytes b(28 + n, 0);
    b[0] = 0xFF;
    put32Source(b.data(), channel);
    b[4] = uint8_t(b.size());
    b[5] = uint8_t(b.size() >> 8);
    b[6] = 0xE2;
    plat::putLe32(&b[8], (ext ? 0x20u : 0) | (brs ? 0x20000u : 0) | (esi ? 0x40000u : 0));
    plat::putLe32(&b[12], ext ? (id | 0x80000000u) : id);
    plat::putLe32(&b[20], uint32_t(dlc & 0x0F) << 8);
    plat::putLe32(&b[24], stamp);
    if (data && n)
        std::memcpy(&b[28], data, n);
    return b;
}

Bytes rx32Ack(int channel)
{
    Bytes b(kCmd32, 0);
    b[0] = 50;
    put32Source(b.data(), channel);
    return b;
}

} // namespace kemusb::kvaser

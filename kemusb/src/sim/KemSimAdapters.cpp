#include "kemusb/src/sim/KemSimAdapters.h"

#include "kemusb/src/sim/KemSimFrames.h"
#include "platform/PlatBytes.h"

#include <cstring>
#include <memory>

using plat::sim::Bytes;
using plat::sim::CanFrame;

namespace kemusb::sim {

namespace {

// Bit rate of one timing phase of the initialise request: prescaler-1 (u16),
// SJW-1 (u8), TSEG1-1 (u16), TSEG2-1 (u16), at the adapter's clock.
uint32_t phaseRate(const uint8_t *p, uint32_t clockHz)
{
    const uint32_t pre = plat::le16(p) + 1u;
    const uint32_t tq = 1 + (plat::le16(p + 3) + 1u) + (plat::le16(p + 5) + 1u);
    return clockHz / (pre * tq);
}

// One received frame as a stream record: [0] channel << 4, [1] flags
// (01 FD, 02 remote, 04 extended, 08 ESI, 10 BRS), [2..5] time stamp,
// [6..9] identifier, [10] length, then 8 or 64 data bytes.
void appendRecord(Bytes &out, int ch, const CanFrame &f, uint32_t stamp)
{
    const size_t dataLen = f.fd ? 64 : 8;
    out.push_back(uint8_t(ch << 4));
    out.push_back(uint8_t((f.fd ? 0x01 : 0) | (f.rtr ? 0x02 : 0) | (f.ext ? 0x04 : 0) | (f.esi ? 0x08 : 0) |
                          (f.brs ? 0x10 : 0)));
    plat::appendLe32(out, stamp);
    plat::appendLe32(out, f.id);
    out.push_back(f.len);
    const size_t at = out.size();
    out.resize(at + dataLen, 0);
    std::memcpy(out.data() + at, f.data, f.len < dataLen ? f.len : dataLen);
}

void finishPacket(Bytes &out, size_t start, int count)
{
    const size_t payload = out.size() - start - 7;
    plat::putLe16(&out[start + 4], uint16_t(payload));
    out[start + 6] = uint8_t(count);
}

void startPacket(Bytes &out) { out.insert(out.end(), {0x55, 0xF2, 0x00, 0x00, 0x00, 0x00, 0x00}); }

// The largest stream packet, header included: the host reads the stream
// 4096 bytes at a time into an assembly buffer of that size, so a longer
// packet could never be taken whole.
constexpr size_t kStreamPacketMax = 4096;

// Adds one record to a transfer that holds exactly one stream packet, when
// the packet has room for it; false leaves the transfer as it was.
bool addToPacket(Bytes &pkt, int ch, const CanFrame &f, uint32_t stamp)
{
    if (pkt.size() < 7 || pkt[0] != 0x55 || pkt[1] != 0xF2)
        return false;
    const size_t payload = plat::le16(&pkt[4]);
    const size_t record = f.fd ? 75 : 19;
    if (payload + 7 != pkt.size() || pkt[6] == 0xFF || pkt.size() + record > kStreamPacketMax)
        return false;
    if (pkt.capacity() < kStreamPacketMax)
        pkt.reserve(kStreamPacketMax);
    const int count = pkt[6] + 1;
    appendRecord(pkt, ch, f, stamp);
    finishPacket(pkt, 0, count);
    return true;
}

} // namespace

// ---- CAN FD adapter ---------------------------------------------------------

SimCanFdModel::SimCanFdModel(int channels, uint8_t clockMHz, uint16_t firmware)
    : channels_(channels), clock_(clockMHz), firmware_(firmware)
{
    handleOut(0x01, [this](const Bytes &b) { command(b); });
    handleOut(0x02, [this](const Bytes &b) { transmit(b); });
}

void SimCanFdModel::command(const Bytes &q)
{
    if (silent_ || q.size() < 2)
        return;
    plat::sim::Adapter &a = adapter();
    if (q[0] == 0x12 && q[1] == 0xA7) {
        DirectFrame req;
        if (unpackDirectFrame(q.data() + 2, q.size() - 2, &req) && req.command == 0x04 && !req.payload.empty())
            firm_.requestMode(req.payload[0] != 0);
        a.push(0x81, directTransferReply(q.data(), q.size()));
        return;
    }
    if (q[0] != 0x55 || q.size() < 4)
        return;
    switch (q[1]) {
    case 0x01: // hardware version, big-endian at [4]
        a.push(0x81, Bytes{0x55, 0x01, 0x01, 0x01, 0x01, 0x00});
        return;
    case 0x12:
        a.push(0x81, Bytes{0x55, 0x12, 0x01, 0x01, uint8_t(firmware_ >> 8), uint8_t(firmware_)});
        return;
    case 0x13:
        a.push(0x81, Bytes{0x55, 0x13, 0x01, 0x01, uint8_t(channels_)});
        return;
    case 0x0E:
    case 0x0F: {
        if (q.size() < 5)
            return;
        const int ch = q[4] >> 4;
        if (ch < channels_) {
            if (q[1] == 0x0E)
                a.channel(ch).start();
            else
                a.channel(ch).stop();
        }
        a.push(0x81, Bytes{0x55, q[1], 0x02, uint8_t(ch < channels_ ? 0 : 1)});
        return;
    }
    case 0x03: { // initialise channel
        const int ch = q[2];
        if (q.size() < 24 || ch >= channels_) {
            a.push(0x81, Bytes{0x55, 0x03, q[2], 0x01, 0x00});
            return;
        }
        const uint32_t hz = clock_ * 1000000u;
        plat::sim::Channel &c = a.channel(ch);
        c.stop();
        c.setBitRate(phaseRate(q.data() + 8, hz), phaseRate(q.data() + 17, hz));
        c.setListenOnly(q[5] == 1);
        c.clearError();
        a.push(0x81, Bytes{0x55, 0x03, q[2], 0x00, 0x00});
        return;
    }
    case 0x04: { // filter
        if (q.size() < 13)
            return;
        const int ch = q[4] >> 4;
        if (ch < channels_) {
            Chan &c = chan_[ch];
            switch (q[3]) {
            case 0x01:
                c.pending.clear();
                break;
            case 0x02:
            case 0x03:
            case 0x05:
                if (plat::le32(q.data() + 5) || plat::le32(q.data() + 9) || q[3] != 0x05)
                    c.pending.push_back({q[3], plat::le32(q.data() + 5), plat::le32(q.data() + 9)});
                break;
            case 0x04:
                c.active = c.pending;
                c.filterOn = !c.active.empty();
                break;
            }
        }
        a.push(0x81, Bytes{0x55, 0x04, 0x0A, uint8_t(ch < channels_ ? 0 : 1)});
        return;
    }
    case 0x16: { // channel status
        const int ch = q[2] >> 4;
        uint32_t st = 0;
        if (ch < channels_ && a.channel(ch).errorState())
            st |= 0x01;
        Bytes r{0x55, 0x16, q[2]};
        plat::appendLe32(r, st);
        plat::appendLe32(r, 0);
        a.push(0x81, r);
        return;
    }
    default:
        a.push(0x81, Bytes{0x55, q[1], 0x00, 0x01});
        return;
    }
}

void SimCanFdModel::transmit(const Bytes &p)
{
    plat::sim::Adapter &a = adapter();
    const bool ack = firmware_ < 0x0200;
    if (p.size() < 7 || p[0] != 0x55 || p[1] != 0xF2) {
        if (ack)
            a.push(0x82, Bytes{0x55, 0xF2, 0x00, 0x01});
        return;
    }
    ++packets_;
    const size_t len = plat::le16(p.data() + 4);
    const int count = p[6];
    size_t off = 7;
    int sent = 0;
    for (int i = 0; i < count; ++i) {
        if (off + 2 > p.size())
            break;
        const bool fd = p[off + 1] & 0x01;
        const size_t size = fd ? 75 : 19;
        if (off + size > p.size() || off + size > 7 + len)
            break;
        const uint8_t *r = p.data() + off;
        CanFrame f;
        const int ch = r[0] >> 4;
        f.fd = fd;
        f.rtr = r[1] & 0x02;
        f.ext = r[1] & 0x04;
        f.esi = fd && (r[1] & 0x08);
        f.brs = fd && (r[1] & 0x10);
        f.id = plat::le32(r + 6) & (f.ext ? 0x1FFFFFFFu : 0x7FFu);
        f.len = r[10] > (fd ? 64 : 8) ? (fd ? 64 : 8) : r[10];
        std::memcpy(f.data, r + 11, f.len);
        f.channel = ch;
        if (toFirmTarget(ch, f) || (ch < channels_ && a.channel(ch).transmit(f)))
            ++sent;
        off += size;
    }
    if (ack)
        a.push(0x82, Bytes{0x55, 0xF2, 0x00, 0x00, uint8_t(sent)});
}

// In update mode the link frames on channel 0 go to the firmware target, not
// to the bus.
bool SimCanFdModel::toFirmTarget(int ch, const CanFrame &f)
{
    if (ch != 0 || f.fd || f.rtr || !f.ext || f.id != SimFirmTarget::kLinkId || !firm_.inUpdateMode())
        return false;
    std::vector<SimFirmTarget::Reply> replies;
    firm_.receive(f.data, f.len, replies);
    for (const SimFirmTarget::Reply &r : replies)
        pushLinkFrame(r.frame, r.delayMs);
    return true;
}

// A frame of the target comes back on the receive stream as classic frames
// of the link identifier on channel 0, eight bytes each (the last padded).
void SimCanFdModel::pushLinkFrame(const std::vector<uint8_t> &frame, uint32_t delayMs)
{
    plat::sim::Adapter &a = adapter();
    Bytes out;
    startPacket(out);
    int count = 0;
    for (size_t off = 0; off < frame.size(); off += 8, ++count) {
        CanFrame piece;
        piece.id = SimFirmTarget::kLinkId;
        piece.ext = true;
        piece.len = 8;
        const size_t k = frame.size() - off < 8 ? frame.size() - off : 8;
        std::memcpy(piece.data, frame.data() + off, k);
        appendRecord(out, 0, piece, a.stampUs(32));
    }
    finishPacket(out, 0, count);
    plat::sim::InFaults &faults = a.inFaults(0x83);
    const uint32_t keep = faults.delayMs;
    faults.delayMs = delayMs;
    a.push(0x83, out);
    faults.delayMs = keep;
}

bool SimCanFdModel::accepts(int ch, const CanFrame &f) const
{
    const Chan &c = chan_[ch];
    if (!c.filterOn)
        return true;
    for (const SimRange &r : c.active) {
        if (r.kind == 0x02 && !f.ext && f.id >= r.start && f.id <= r.end)
            return true;
        if (r.kind == 0x03 && f.ext && f.id >= r.start && f.id <= r.end)
            return true;
    }
    return false;
}

void SimCanFdModel::onBusFrame(int channel, const CanFrame &frame)
{
    if (channel >= channels_ || !accepts(channel, frame))
        return;
    plat::sim::Adapter &a = adapter();
    const uint32_t stamp = a.stampUs(32);
    // Like the firmware, the frame joins the packet that still waits for the
    // host to fetch it, as long as that packet has room; USB could not carry
    // a transfer per frame on a busy bus.
    if (a.editLastUnread(0x83, kStreamPacketMax,
                         [&](Bytes &pkt) { return addToPacket(pkt, channel, frame, stamp); }))
        return;
    Bytes out;
    startPacket(out);
    appendRecord(out, channel, frame, stamp);
    finishPacket(out, 0, 1);
    a.push(0x83, out);
}

void SimCanFdModel::streamFrames(const CanFrame *frames, size_t n, size_t perPacket)
{
    Bytes out;
    out.reserve(4096);
    size_t i = 0;
    while (i < n) {
        const size_t start = out.size();
        startPacket(out);
        int count = 0;
        while (i < n && size_t(count) < perPacket && out.size() - start + 75 <= 4096) {
            appendRecord(out, frames[i].channel, frames[i], adapter().stampUs(32));
            ++i;
            ++count;
        }
        finishPacket(out, start, count);
        if (out.size() >= 3500 || i == n) {
            adapter().push(0x83, out, false);
            out.clear();
        }
    }
}

// ---- recording adapter ------------------------------------------------------

SimRecordModel::SimRecordModel()
{
    handleOut(0x01, [this](const Bytes &b) { command(b); });
}

void SimRecordModel::command(const Bytes &q)
{
    plat::sim::Adapter &a = adapter();
    if (silent_ || q.size() < 2)
        return;
    if (q[0] == 0x12 && q[1] == 0xA7) {
        const Bytes r = direct_.answer(q.data(), q.size());
        if (!r.empty())
            a.push(0x81, r);
        return;
    }
    if (q[0] != 0x55 || q.size() < 3)
        return;
    switch (q[1]) {
    case 0x01: // versions little-endian at [4]
        a.push(0x81, Bytes{0x55, 0x01, 0x01, 0x01, 0x02, 0x01});
        return;
    case 0x12:
        a.push(0x81, Bytes{0x55, 0x12, 0x01, 0x01, 0x05, 0x03});
        return;
    case 0x13:
        a.push(0x81, Bytes{0x55, 0x13, 0x01, 0x01, 0x02});
        return;
    case 0x03: { // setting set
        const int ch = q[2];
        if (q.size() < 28 || ch > 1) {
            a.push(0x81, Bytes{0x55, 0x03, q[2], 0x01, 0x00});
            return;
        }
        std::memcpy(set_[ch].bytes, q.data() + 3, 25);
        set_[ch].written = true;
        a.push(0x81, Bytes{0x55, 0x03, q[2], 0x00, 0x00});
        return;
    }
    case 0xA4: { // setting get
        const int ch = q[2];
        if (ch > 1) {
            a.push(0x81, Bytes{0x55, 0xA4, q[2], 0x01});
            return;
        }
        Bytes r(28, 0);
        r[0] = 0x55;
        r[1] = 0xA4;
        r[2] = q[2];
        std::memcpy(r.data() + 3, set_[ch].bytes, 25);
        a.push(0x81, r);
        return;
    }
    case 0x04: { // filter list
        if (q.size() < 13)
            return;
        const int ch = q[3] ? 1 : 0;
        switch (q[2]) {
        case 0:
            filt_[ch].clear();
            break;
        case 1:
            filt_[ch].push_back({q[4], plat::le32(q.data() + 5), plat::le32(q.data() + 9)});
            break;
        case 2:
            filtOn_[ch] = true;
            break;
        case 3:
            filtOn_[ch] = false;
            break;
        default:
            a.push(0x81, Bytes{0x55, 0x04, q[2], 0x01});
            return;
        }
        a.push(0x81, Bytes{0x55, 0x04, q[2], 0x00});
        return;
    }
    case 0x05: {
        if (q.size() < 6)
            return;
        const int ch = q[3] ? 1 : 0;
        if (q[2] == 0) {
            const uint16_t n = uint16_t(filt_[ch].size());
            a.push(0x81, Bytes{0x55, 0x05, 0x00, 0x00, uint8_t(n), uint8_t(n >> 8), uint8_t(filtOn_[ch])});
            return;
        }
        const uint16_t idx = plat::le16(q.data() + 4);
        if (q[2] != 1 || idx >= filt_[ch].size()) {
            a.push(0x81, Bytes{0x55, 0x05, q[2], 0x01});
            return;
        }
        const SimRange &r = filt_[ch][idx];
        Bytes out{0x55, 0x05, 0x01, 0x00, uint8_t(r.kind)};
        plat::appendLe32(out, r.start);
        plat::appendLe32(out, r.end);
        a.push(0x81, out);
        return;
    }
    default:
        a.push(0x81, Bytes{0x55, q[1], 0x00, 0x01});
        return;
    }
}

} // namespace kemusb::sim

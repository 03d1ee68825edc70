#include "kemusb/src/sim/KemSimClassic.h"

#include "kemusb/src/sim/KemSimFrames.h"
#include "platform/PlatBytes.h"

#include <cstring>

using plat::sim::Bytes;
using plat::sim::CanFrame;

namespace kemusb::sim {

namespace {

constexpr size_t kRecord = 19;     // one frame, in a transmit group and on the stream
constexpr uint8_t kTxMarker = 0xC6; // byte 4 of a transmit record
constexpr uint8_t kFlagExt = 0x80;
constexpr uint8_t kFlagRemote = 0x40;
constexpr uint8_t kFlagChannel1 = 0x10;

// The identifier word of a record: the identifier shifted left by 3
// (extended) or by 5 (standard).
uint32_t idWord(uint32_t id, bool ext) { return ext ? id << 3 : id << 5; }

} // namespace

SimClassicModel::SimClassicModel()
{
    handleOut(0x01, [this](const Bytes &b) { command(b); });
    handleOut(0x02, [this](const Bytes &b) { transmit(b); });
}

uint32_t SimClassicModel::rateOf(uint8_t timing0, uint8_t timing1)
{
    const uint32_t pre = 2u * ((timing0 & 0x3Fu) + 1u);
    const uint32_t tq = 1u + ((timing1 & 0x0Fu) + 1u) + (((timing1 >> 4) & 0x07u) + 1u);
    return 16000000u / (pre * tq);
}

void SimClassicModel::appendStreamRecord(Bytes &out, int channel, const CanFrame &f, uint32_t stamp24)
{
    const uint8_t len = f.len > 8 ? 8 : f.len;
    const size_t at = out.size();
    out.resize(at + kRecord, 0);
    uint8_t *r = out.data() + at;
    r[0] = uint8_t(stamp24);
    r[1] = uint8_t(stamp24 >> 8);
    r[2] = uint8_t(stamp24 >> 16);
    r[3] = 0x01; // [3..5] 01 00 00 mark a record
    r[6] = uint8_t((f.ext ? kFlagExt : 0) | (f.rtr ? kFlagRemote : 0) | (channel == 1 ? kFlagChannel1 : 0) | len);
    plat::putLe32(r + 7, idWord(f.id, f.ext));
    std::memcpy(r + 11, f.data, len);
}

bool SimClassicModel::decodeTransmitRecord(const uint8_t *r, int *channel, CanFrame *f)
{
    if (r[0] || r[1] || r[2] || r[3] || r[4] != kTxMarker)
        return false;
    f->ext = r[6] & kFlagExt;
    f->rtr = r[6] & kFlagRemote;
    *channel = (r[6] & kFlagChannel1) ? 1 : 0;
    f->len = r[6] & 0x0F;
    if (f->len > 8)
        f->len = 8;
    const uint32_t w = plat::le32(r + 7);
    f->id = f->ext ? (w >> 3) & 0x1FFFFFFFu : (w >> 5) & 0x7FFu;
    std::memcpy(f->data, r + 11, 8);
    f->channel = *channel;
    return true;
}

bool SimClassicModel::rateMismatch(int ch)
{
    plat::sim::Channel &c = adapter().channel(ch);
    if (c.errorState())
        return true;
    const uint32_t bus = plat::sim::World::instance().bus(c.busName()).nominalRate();
    return bus != 0 && c.nominalRate() != bus;
}

void SimClassicModel::command(const Bytes &q)
{
    if (silent_ || q.size() < 2 || q[0] != 0x12)
        return;
    plat::sim::Adapter &a = adapter();
    auto reply = [&](Bytes r) { a.push(0x81, r); };
    switch (q[1]) {
    case 0x01:
        reply({0x12, 0x01, 0x01, 0x01, 0x10, 0x02}); // 0x0210, little-endian at [4]
        return;
    case 0x12:
        reply({0x12, 0x12, 0x01, 0x01, 0x35, 0x01}); // 0x0135
        return;
    case 0x13:
        reply({0x12, 0x13, 0x01, 0x00, 0x02});
        return;
    case 0x03: { // mode and timing: 12 03 04 00 m t0 t1
        if (q.size() < 7)
            return;
        const int ch = (q[4] & 0x10) ? 1 : 0;
        plat::sim::Channel &c = a.channel(ch);
        ch_[ch].t0 = q[5];
        ch_[ch].t1 = q[6];
        // A running channel keeps running at its new timing: the driver
        // re-initialises a started channel (baud detection) without a reset.
        c.setBitRate(rateOf(q[5], q[6]));
        c.setListenOnly(q[4] & 0x80);
        c.clearError();
        reply({0x12, 0x03, 0x01, 0x00});
        return;
    }
    case 0x04: { // acceptance filter: 12 04 0A 00 f, code and mask big-endian
        if (q.size() < 13)
            return;
        const int ch = (q[4] & 0x10) ? 1 : 0;
        ch_[ch].filterByte = q[4];
        ch_[ch].code = plat::be32(q.data() + 5);
        ch_[ch].mask = plat::be32(q.data() + 9);
        reply({0x12, 0x04, 0x01, 0x00});
        return;
    }
    case 0x0E:
    case 0x0F: {
        if (q.size() < 5)
            return;
        const int ch = (q[4] & 0x10) ? 1 : 0;
        if (q[1] == 0x0E)
            a.channel(ch).start();
        else
            a.channel(ch).stop();
        reply({0x12, q[1], 0x00});
        return;
    }
    case 0xB1:
        if (q.size() < 5)
            return;
        relayA_ = q[3];
        relayB_ = q[4];
        reply({0x12, 0xB1, 0x02, relayA_, relayB_});
        return;
    case 0xB2:
        reply({0x12, 0xB2, 0x02, relayA_, relayB_});
        return;
    case 0xA4: { // bus timing: timing0 at [6], timing1 at [8]
        if (q.size() < 4)
            return;
        const int ch = q[3] & 1;
        reply({0x12, 0xA4, 0x01, q[3], 0x00, 0x00, ch_[ch].t0, 0x00, ch_[ch].t1});
        return;
    }
    case 0x80: { // channel state: a at [5], c at [9], b at [10]
        if (q.size() < 4)
            return;
        const int ch = q[3] & 1;
        const bool bad = rateMismatch(ch);
        Bytes r(12, 0);
        r[0] = 0x12;
        r[1] = 0x80;
        r[2] = 0x01;
        r[3] = q[3];
        r[5] = a.channel(ch).started() ? 0x01 : 0x00; // controller running
        r[9] = bad ? 0x01 : 0x00;                      // error: timing does not fit the bus
        r[10] = bad ? 0x80 : 0x00;                     // error counter
        reply(r);
        return;
    }
    case 0xA7: // direct-transfer frames, answered as the other adapters do
        reply(directTransferReply(q.data(), q.size()));
        return;
    default:
        reply({0x12, q[1], 0xFF});
        return;
    }
}

void SimClassicModel::transmit(const Bytes &p)
{
    plat::sim::Adapter &a = adapter();
    uint8_t taken = 0;
    for (size_t off = 0; off + kRecord <= p.size(); off += kRecord) {
        CanFrame f;
        int ch = 0;
        if (decodeTransmitRecord(p.data() + off, &ch, &f) && a.channel(ch).transmit(f))
            ++taken;
    }
    if (!txSilent_)
        a.push(0x81, Bytes{0x12, 0xC6, taken});
}

void SimClassicModel::onBusFrame(int channel, const CanFrame &f)
{
    if (channel > 1)
        return;
    Bytes r;
    appendStreamRecord(r, channel, f, adapter().stampUs(24));
    adapter().push(0x82, r);
}

void SimClassicModel::streamFrames(const CanFrame *frames, size_t n, size_t perTransfer)
{
    Bytes out;
    out.reserve(perTransfer * kRecord);
    for (size_t i = 0; i < n; ++i) {
        appendStreamRecord(out, frames[i].channel & 1, frames[i], adapter().stampUs(24));
        if (out.size() >= perTransfer * kRecord || i + 1 == n) {
            adapter().push(0x82, out, false);
            out.clear();
        }
    }
}

} // namespace kemusb::sim

#include "kemusb/src/sim/KemSimClassic.h"

#include "kemusb/src/protocol/KemClassicProtocol.h"
#include "kemusb/src/protocol/KemKvaserProtocol.h"
#include "kemusb/src/sim/KemSimAdapters.h"

#include <cstring>
#include <memory>
#include <mutex>

using plat::sim::Bytes;
using plat::sim::CanFrame;

namespace kemusb::sim {

namespace {

uint32_t le32(const uint8_t *p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint32_t be32(const uint8_t *p)
{
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

} // namespace

// ---- classic adapter ------------------------------------------------------------

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
        reply({0x12, 0x01, 0x01, 0x01, 0x10, 0x02}); // 0x0210
        return;
    case 0x12:
        reply({0x12, 0x12, 0x01, 0x01, 0x35, 0x01}); // 0x0135
        return;
    case 0x13:
        reply({0x12, 0x13, 0x01, 0x00, 0x02});
        return;
    case 0x03: { // mode and timing
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
    case 0x04: { // acceptance filter
        if (q.size() < 13)
            return;
        const int ch = (q[4] & 0x10) ? 1 : 0;
        ch_[ch].filterByte = q[4];
        ch_[ch].code = be32(q.data() + 5);
        ch_[ch].mask = be32(q.data() + 9);
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
    case 0xA4: {
        if (q.size() < 4)
            return;
        const int ch = q[3] & 1;
        reply({0x12, 0xA4, 0x01, q[3], 0x00, 0x00, ch_[ch].t0, 0x00, ch_[ch].t1});
        return;
    }
    case 0x80: {
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
    case 0xA7: { // direct-transfer frames, answered as the other adapters do
        Bytes r{0x12, 0xA7};
        const Bytes f = answerDirectFrame(q.data() + 2, q.size() - 2);
        r.insert(r.end(), f.begin(), f.end());
        if (f.empty())
            r.push_back(0x00);
        reply(r);
        return;
    }
    default:
        reply({0x12, q[1], 0xFF});
        return;
    }
}

void SimClassicModel::transmit(const Bytes &p)
{
    plat::sim::Adapter &a = adapter();
    uint8_t taken = 0;
    for (size_t off = 0; off + kemusb::classic::kRecordSize <= p.size(); off += kemusb::classic::kRecordSize) {
        const uint8_t *r = p.data() + off;
        if (r[4] != 0xC6)
            continue;
        CanFrame f;
        f.ext = r[6] & 0x80;
        f.rtr = r[6] & 0x40;
        const int ch = (r[6] & 0x10) ? 1 : 0;
        f.len = r[6] & 0x0F;
        if (f.len > 8)
            f.len = 8;
        f.id = kemusb::classic::idFromWord(le32(r + 7), f.ext) & (f.ext ? 0x1FFFFFFFu : 0x7FFu);
        std::memcpy(f.data, r + 11, 8);
        f.channel = ch;
        if (a.channel(ch).transmit(f))
            ++taken;
    }
    if (!txSilent_)
        a.push(0x81, Bytes{0x12, 0xC6, taken});
}

void SimClassicModel::onBusFrame(int channel, const CanFrame &f)
{
    if (channel > 1)
        return;
    adapter().push(0x82, kemusb::classic::streamRecord(channel, f.id, f.ext, f.rtr, f.len > 8 ? 8 : f.len, f.data,
                                              adapter().stampUs(24)));
}

void SimClassicModel::streamFrames(const CanFrame *frames, size_t n, size_t perTransfer)
{
    Bytes out;
    out.reserve(perTransfer * kemusb::classic::kRecordSize);
    for (size_t i = 0; i < n; ++i) {
        const CanFrame &f = frames[i];
        const Bytes r = kemusb::classic::streamRecord(f.channel & 1, f.id, f.ext, f.rtr, f.len > 8 ? 8 : f.len, f.data,
                                             adapter().stampUs(24));
        out.insert(out.end(), r.begin(), r.end());
        if (out.size() >= perTransfer * kemusb::classic::kRecordSize || i + 1 == n) {
            adapter().push(0x82, out, false);
            out.clear();
        }
    }
}

// ---- Kvaser interfaces ----------------------------------------------------------

SimKvaserModel::SimKvaserModel(bool proFd) : proFd_(proFd)
{
    handleOut(0x02, [this](const Bytes &b) {
        if (proFd_)
            out32(b);
        else
            out20(b);
    });
}

void SimKvaserModel::transmitted(int ch, const CanFrame &f)
{
    plat::sim::Adapter &a = adapter();
    if (ch >= a.channelCount() || !a.channel(ch).transmit(f) || ackSilent_)
        return;
    a.push(0x82, proFd_ ? kemusb::kvaser::rx32Ack(ch) : kemusb::kvaser::rx20Ack(ch));
}

void SimKvaserModel::out20(const Bytes &b)
{
    plat::sim::Adapter &a = adapter();
    size_t at = 0;
    while (at < b.size()) {
        const size_t n = b[at];
        if (n < 2 || at + n > b.size())
            return;
        const uint8_t *c = b.data() + at;
        ++commands_;
        switch (c[1]) {
        case 16:
            if (n >= 8 && c[3] < a.channelCount()) {
                a.channel(c[3]).stop();
                a.channel(c[3]).setBitRate(le32(c + 4));
                a.channel(c[3]).clearError();
            }
            break;
        case 26:
        case 28:
            if (n >= 4 && c[3] < a.channelCount()) {
                if (c[1] == 26)
                    a.channel(c[3]).start();
                else
                    a.channel(c[3]).stop();
            }
            break;
        case 13:
        case 15:
            if (n >= 20) {
                CanFrame f;
                f.ext = c[1] == 15;
                if (f.ext)
                    f.id = uint32_t(c[4] & 0x1F) << 24 | uint32_t(c[5] & 0x3F) << 18 | uint32_t(c[6] & 0x0F) << 14 |
                           uint32_t(c[7]) << 6 | uint32_t(c[8] & 0x3F);
                else
                    f.id = uint32_t(c[4] & 0x1F) << 6 | uint32_t(c[5] & 0x3F);
                f.len = c[9] & 0x0F;
                if (f.len > 8)
                    f.len = 8;
                f.rtr = c[19] & 0x10;
                std::memcpy(f.data, c + 10, 8);
                transmitted(c[2], f);
            }
            break;
        default:
            break;
        }
        at += n;
    }
}

void SimKvaserModel::out32(const Bytes &b)
{
    plat::sim::Adapter &a = adapter();
    for (size_t at = 0; at + kemusb::kvaser::kCmd32 <= b.size(); at += kemusb::kvaser::kCmd32) {
        const uint8_t *c = b.data() + at;
        const int ch = c[1] & 0x3F;
        ++commands_;
        if (ch >= a.channelCount())
            continue;
        plat::sim::Channel &chan = a.channel(ch);
        switch (c[0]) {
        case 16:
        case 69:
            if (c[0] == 69 && c[24] != 0) {
                chan.setBitRate(chan.nominalRate(), le32(c + 16));
            } else {
                chan.stop();
                chan.setBitRate(le32(c + 4));
                chan.clearError();
            }
            break;
        case 26:
            chan.start();
            break;
        case 28:
            chan.stop();
            break;
        case 33: {
            CanFrame f;
            const uint32_t w = le32(c + 4);
            f.ext = w & 0x80000000u;
            f.id = w & (f.ext ? 0x1FFFFFFFu : 0x7FFu);
            f.len = c[16] > 8 ? 8 : c[16];
            f.rtr = c[17] & 0x10;
            std::memcpy(f.data, c + 8, 8);
            transmitted(ch, f);
            break;
        }
        default:
            break;
        }
    }
}

void SimKvaserModel::onBusFrame(int channel, const CanFrame &f)
{
    Bytes out;
    if (!proFd_) {
        out = kemusb::kvaser::rx20Frame(channel, f.id, f.ext, f.rtr, f.len > 8 ? 8 : f.len, f.data);
    } else if (f.fd) {
        uint8_t dlc = 0;
        static const uint8_t lens[16] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 12, 16, 20, 24, 32, 48, 64};
        while (dlc < 15 && lens[dlc] < f.len)
            ++dlc;
        out = kemusb::kvaser::rx32FdFrame(channel, f.id, f.ext, f.brs, f.esi, dlc, f.data, adapter().stampUs(32));
    } else {
        out = kemusb::kvaser::rx32Frame(channel, f.id, f.ext, f.rtr, f.len > 8 ? 8 : f.len, f.data);
    }
    adapter().push(0x82, out);
}

} // namespace kemusb::sim

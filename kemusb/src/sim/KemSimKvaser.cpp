#include "kemusb/src/sim/KemSimKvaser.h"

#include "platform/PlatBytes.h"

#include <cstring>

using plat::sim::Bytes;
using plat::sim::CanFrame;

namespace kemusb::sim {

namespace {

// 20-byte family command numbers.
constexpr uint8_t k20BusParams = 16;
constexpr uint8_t k20Start = 26;
constexpr uint8_t k20Stop = 28;
constexpr uint8_t k20TxStandard = 13;
constexpr uint8_t k20TxExtended = 15;
constexpr uint8_t k20RxStandard = 12;
constexpr uint8_t k20RxExtended = 14;
constexpr uint8_t k20Ack = 50;
constexpr size_t k20TxLength = 20;
constexpr size_t k20RxLength = 24;

// 32-byte family command numbers.
constexpr size_t k32Length = 32;
constexpr uint8_t k32BusParams = 16;
constexpr uint8_t k32BusParamsFd = 69;
constexpr uint8_t k32Start = 26;
constexpr uint8_t k32Stop = 28;
constexpr uint8_t k32Transmit = 33;
constexpr uint8_t k32RxClassic = 106;
constexpr uint8_t k32RxLong = 0xFF;
constexpr uint8_t k32RxFdKind = 0xE2;
constexpr uint8_t k32Ack = 50;
constexpr uint32_t k32IdExtended = 0x80000000u;
constexpr uint8_t k32TxExtended = 0x20;
constexpr uint8_t k32TxRemote = 0x10;
constexpr uint32_t k32FdRemote = 0x10;
constexpr uint32_t k32FdExtended = 0x20;
constexpr uint32_t k32FdBrs = 0x20000;
constexpr uint32_t k32FdEsi = 0x40000;

// CAN FD length codes 0-15 in bytes.
constexpr uint8_t kCodeLength[16] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 12, 16, 20, 24, 32, 48, 64};

uint8_t codeFor(uint8_t len)
{
    uint8_t code = 0;
    while (code < 15 && kCodeLength[code] < len)
        ++code;
    return code;
}

// A received command's source channel: channel / 16 in bits 6-7 of [1],
// channel % 16 in bits 12-15 of the u16 at [2].
void putSource(uint8_t *c, int channel)
{
    c[1] = uint8_t((channel / 16) << 6);
    plat::putLe16(c + 2, uint16_t((channel % 16) << 12));
}

} // namespace

SimKvaserModel::SimKvaserModel(bool wideCommands) : wide_(wideCommands)
{
    handleOut(0x02, [this](const Bytes &b) {
        if (wide_)
            out32(b);
        else
            out20(b);
    });
}

Bytes SimKvaserModel::frame20(int channel, const CanFrame &f)
{
    Bytes b(k20RxLength, 0);
    b[0] = uint8_t(k20RxLength);
    b[1] = f.ext ? k20RxExtended : k20RxStandard;
    b[2] = uint8_t(channel);
    b[3] = f.rtr ? 0x10 : 0x00;
    // The top 11 bits of the identifier (all of a standard one) in [10] (bits
    // 6-10 of them) and [11] (bits 0-5); an extended one's low 18 bits in
    // [12] (bits 14-17), [13] (bits 6-13) and [14] (bits 0-5).
    const uint32_t top = f.ext ? f.id >> 18 : f.id;
    b[10] = uint8_t((top >> 6) & 0x1F);
    b[11] = uint8_t(top & 0x3F);
    if (f.ext) {
        b[12] = uint8_t((f.id >> 14) & 0x0F);
        b[13] = uint8_t((f.id >> 6) & 0xFF);
        b[14] = uint8_t(f.id & 0x3F);
    }
    const uint8_t len = f.len > 8 ? 8 : f.len;
    b[15] = len;
    std::memcpy(&b[16], f.data, len);
    return b;
}

Bytes SimKvaserModel::ack20(int channel) { return {4, k20Ack, uint8_t(channel), 0}; }

Bytes SimKvaserModel::frame32(int channel, const CanFrame &f, uint32_t stamp)
{
    if (!f.fd) {
        Bytes b(k32Length, 0);
        b[0] = k32RxClassic;
        putSource(b.data(), channel);
        b[7] = f.rtr ? 0x10 : 0x00;
        const uint8_t len = f.len > 8 ? 8 : f.len;
        b[14] = len;
        plat::putLe32(&b[16], f.ext ? (f.id | k32IdExtended) : f.id);
        std::memcpy(&b[20], f.data, len);
        return b;
    }
    const uint8_t code = codeFor(f.len);
    const uint8_t len = kCodeLength[code];
    Bytes b(28 + size_t(len), 0);
    b[0] = k32RxLong;
    putSource(b.data(), channel);
    plat::putLe16(&b[4], uint16_t(b.size()));
    b[6] = k32RxFdKind;
    plat::putLe32(&b[8], (f.rtr ? k32FdRemote : 0) | (f.ext ? k32FdExtended : 0) | (f.brs ? k32FdBrs : 0) |
                             (f.esi ? k32FdEsi : 0));
    plat::putLe32(&b[12], f.id);
    plat::putLe32(&b[20], uint32_t(code) << 8);
    plat::putLe32(&b[24], stamp);
    std::memcpy(&b[28], f.data, f.len < len ? f.len : len);
    return b;
}

Bytes SimKvaserModel::ack32(int channel)
{
    Bytes b(k32Length, 0);
    b[0] = k32Ack;
    putSource(b.data(), channel);
    return b;
}

bool SimKvaserModel::decodeTransmit20(const uint8_t *c, size_t n, int *channel, CanFrame *f)
{
    if (n < k20TxLength || (c[1] != k20TxStandard && c[1] != k20TxExtended))
        return false;
    f->ext = c[1] == k20TxExtended;
    if (f->ext)
        f->id = uint32_t(c[4] & 0x1F) << 24 | uint32_t(c[5] & 0x3F) << 18 | uint32_t(c[6] & 0x0F) << 14 |
                uint32_t(c[7]) << 6 | uint32_t(c[8] & 0x3F);
    else
        f->id = uint32_t(c[4] & 0x1F) << 6 | uint32_t(c[5] & 0x3F);
    f->len = c[9] & 0x0F;
    if (f->len > 8)
        f->len = 8;
    f->rtr = c[19] & 0x10;
    std::memcpy(f->data, c + 10, 8);
    *channel = c[2];
    f->channel = c[2];
    return true;
}

bool SimKvaserModel::decodeTransmit32(const uint8_t *c, int *channel, CanFrame *f)
{
    if (c[0] != k32Transmit)
        return false;
    // The extended flag travels twice, in bit 31 of the identifier and in
    // [17]; a command whose two disagree is not a frame.
    const uint32_t w = plat::le32(c + 4);
    const bool ext = w & k32IdExtended;
    if (ext != bool(c[17] & k32TxExtended))
        return false;
    f->ext = ext;
    f->id = w & (ext ? 0x1FFFFFFFu : 0x7FFu);
    f->len = c[16] > 8 ? 8 : c[16];
    f->rtr = c[17] & k32TxRemote;
    std::memcpy(f->data, c + 8, 8);
    *channel = c[1] & 0x3F;
    f->channel = *channel;
    return true;
}

void SimKvaserModel::transmitted(int ch, const CanFrame &f)
{
    plat::sim::Adapter &a = adapter();
    if (ch >= a.channelCount() || !a.channel(ch).transmit(f) || ackSilent_)
        return;
    a.push(0x82, wide_ ? ack32(ch) : ack20(ch));
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
        case k20BusParams: // [3] channel, [4..7] bit rate, [8..11] TSEG1, TSEG2, SJW, sampling points
            if (n >= 12 && c[3] < a.channelCount()) {
                a.channel(c[3]).stop();
                a.channel(c[3]).setBitRate(plat::le32(c + 4));
                a.channel(c[3]).clearError();
            }
            break;
        case k20Start:
        case k20Stop:
            if (n >= 4 && c[3] < a.channelCount()) {
                if (c[1] == k20Start)
                    a.channel(c[3]).start();
                else
                    a.channel(c[3]).stop();
            }
            break;
        case k20TxStandard:
        case k20TxExtended: {
            CanFrame f;
            int ch = 0;
            if (decodeTransmit20(c, n, &ch, &f))
                transmitted(ch, f);
            break;
        }
        default:
            break;
        }
        at += n;
    }
}

void SimKvaserModel::out32(const Bytes &b)
{
    plat::sim::Adapter &a = adapter();
    for (size_t at = 0; at + k32Length <= b.size(); at += k32Length) {
        const uint8_t *c = b.data() + at;
        const int ch = c[1] & 0x3F;
        ++commands_;
        if (ch >= a.channelCount())
            continue;
        plat::sim::Channel &chan = a.channel(ch);
        switch (c[0]) {
        case k32BusParams:
        case k32BusParamsFd:
            // [24] tells the data-phase command (sent second, after the
            // arbitration one) from the bus parameters, where it is 0.
            if (c[0] == k32BusParamsFd && c[24] != 0) {
                chan.setBitRate(chan.nominalRate(), plat::le32(c + 16));
            } else {
                chan.stop();
                chan.setBitRate(plat::le32(c + 4));
                chan.clearError();
            }
            break;
        case k32Start:
            chan.start();
            break;
        case k32Stop:
            chan.stop();
            break;
        case k32Transmit: {
            CanFrame f;
            int txChannel = 0;
            if (decodeTransmit32(c, &txChannel, &f))
                transmitted(txChannel, f);
            break;
        }
        default:
            break;
        }
    }
}

void SimKvaserModel::onBusFrame(int channel, const CanFrame &f)
{
    adapter().push(0x82, wide_ ? frame32(channel, f, adapter().stampUs(32)) : frame20(channel, f));
}

} // namespace kemusb::sim

#include "kemusb/src/sim/KemSimFrames.h"

#include "kemusb/src/sim/KemSimAes.h"
#include "platform/PlatBytes.h"

namespace kemusb::sim {

std::vector<uint8_t> packDirectFrame(const DirectFrame &f, size_t maxLen)
{
    const size_t l = f.payload.size();
    const size_t n = (l + 5 + 15) / 16 * 16;
    if (n + 4 > maxLen || n + 4 > 0x0FFF)
        return {};
    std::vector<uint8_t> b(n + 4, 0);
    const uint16_t word = uint16_t((n + 4) | (f.enciphered ? 0x1000 : 0));
    b[0] = 0xFE;
    b[1] = 0xEF;
    plat::putLe16(&b[2], word);
    b[4] = f.sequence;
    b[5] = 0x01;
    b[6] = 0x01;
    b[7] = f.command;
    for (size_t i = 0; i < l; ++i)
        b[8 + i] = f.payload[i];
    unsigned sum = 0;
    for (size_t i = 0; i + 1 < b.size(); ++i)
        sum += b[i];
    b[n + 3] = uint8_t(sum ^ f.command);
    if (f.enciphered)
        SimAes(SimAes::adapterKey()).encrypt(b.data() + 4, n);
    return b;
}

bool unpackDirectFrame(const uint8_t *data, size_t len, DirectFrame *out)
{
    if (len < 8 || data[0] != 0xFE || data[1] != 0xEF)
        return false;
    const uint16_t word = plat::le16(data + 2);
    const size_t total = word & 0x0FFF;
    if (total < 8 || total > len || (total - 4) % 16 != 0)
        return false;
    std::vector<uint8_t> b(data, data + total);
    const bool enc = word & 0x1000;
    if (enc)
        SimAes(SimAes::adapterKey()).decrypt(b.data() + 4, total - 4);
    unsigned sum = 0;
    for (size_t i = 0; i + 1 < total; ++i)
        sum += b[i];
    if (uint8_t(sum ^ b[7]) != b[total - 1])
        return false;
    out->sequence = b[4];
    out->command = b[7];
    out->enciphered = enc;
    out->payload.assign(b.begin() + 8, b.begin() + long(total) - 1);
    return true;
}

std::vector<uint8_t> answerDirectFrame(const uint8_t *req, size_t len)
{
    DirectFrame in;
    if (!unpackDirectFrame(req, len, &in))
        return {};
    DirectFrame out;
    out.sequence = in.sequence;
    out.command = in.command;
    out.enciphered = in.enciphered;
    out.payload.push_back(0x01);
    out.payload.insert(out.payload.end(), in.payload.begin(), in.payload.end());
    // The reply travels behind 12 A7 in one 64-byte read: at most 62 bytes.
    while (!out.payload.empty()) {
        std::vector<uint8_t> b = packDirectFrame(out, 62);
        if (!b.empty())
            return b;
        out.payload.pop_back();
    }
    return {};
}

std::vector<uint8_t> directTransferReply(const uint8_t *req, size_t len)
{
    std::vector<uint8_t> r{0x12, 0xA7};
    const std::vector<uint8_t> f = len >= 2 ? answerDirectFrame(req + 2, len - 2) : std::vector<uint8_t>();
    r.insert(r.end(), f.begin(), f.end());
    if (f.empty())
        r.push_back(0x00);
    return r;
}

} // namespace kemusb::sim

#include "kemusb/src/sim/KemSimAes.h"

namespace kemusb::sim {

namespace {

uint8_t xtime(uint8_t a) { return uint8_t((a << 1) ^ ((a & 0x80) ? 0x1B : 0)); }

uint8_t mul(uint8_t a, uint8_t b)
{
    uint8_t r = 0;
    for (; b; b >>= 1, a = xtime(a))
        if (b & 1)
            r ^= a;
    return r;
}

struct Boxes {
    uint8_t s[256];
    uint8_t inv[256];
    Boxes()
    {
        // Walk the multiplicative group with generator 3 to get inverses,
        // then apply the affine map.
        uint8_t p = 1, q = 1;
        uint8_t invOf[256] = {};
        do {
            p = uint8_t(p ^ xtime(p));          // p * 3
            q ^= uint8_t(q << 1);               // q / 3
            q ^= uint8_t(q << 2);
            q ^= uint8_t(q << 4);
            if (q & 0x80)
                q ^= 0x09;
            invOf[p] = q;
        } while (p != 1);
        for (int x = 0; x < 256; ++x) {
            const uint8_t b = x ? invOf[x] : 0;
            auto rotl = [](uint8_t v, int k) { return uint8_t((v << k) | (v >> (8 - k))); };
            const uint8_t y = uint8_t(b ^ rotl(b, 1) ^ rotl(b, 2) ^ rotl(b, 3) ^ rotl(b, 4) ^ 0x63);
            s[x] = y;
            inv[y] = uint8_t(x);
        }
    }
};

const Boxes &boxes()
{
    static const Boxes b;
    return b;
}

const uint8_t kKey[16] = {0x5e, 0x1a, 0x9c, 0x3f, 0x07, 0xb2, 0xd4, 0x8e,
                          0x6a, 0x0c, 0x91, 0xf3, 0xb7, 0x45, 0x2d, 0x86};

void addKey(uint8_t *b, const uint8_t *k)
{
    for (int i = 0; i < 16; ++i)
        b[i] ^= k[i];
}

} // namespace

const uint8_t *SimAes::adapterKey() { return kKey; }

SimAes::SimAes(const uint8_t key[16])
{
    const Boxes &bx = boxes();
    for (int i = 0; i < 16; ++i)
        rk_[i] = key[i];
    uint8_t rcon = 1;
    for (int i = 16; i < 176; i += 4) {
        uint8_t t[4] = {rk_[i - 4], rk_[i - 3], rk_[i - 2], rk_[i - 1]};
        if (i % 16 == 0) {
            const uint8_t t0 = t[0];
            t[0] = uint8_t(bx.s[t[1]] ^ rcon);
            t[1] = bx.s[t[2]];
            t[2] = bx.s[t[3]];
            t[3] = bx.s[t0];
            rcon = xtime(rcon);
        }
        for (int k = 0; k < 4; ++k)
            rk_[i + k] = uint8_t(rk_[i - 16 + k] ^ t[k]);
    }
}

void SimAes::encryptBlock(uint8_t b[16]) const
{
    const Boxes &bx = boxes();
    addKey(b, rk_);
    for (int round = 1; round <= 10; ++round) {
        uint8_t t[16];
        // SubBytes and ShiftRows: byte i is row i % 4, column i / 4.
        for (int c = 0; c < 4; ++c)
            for (int r = 0; r < 4; ++r)
                t[4 * c + r] = bx.s[b[4 * ((c + r) % 4) + r]];
        if (round < 10) {
            for (int c = 0; c < 4; ++c) {
                uint8_t *col = t + 4 * c;
                const uint8_t a0 = col[0], a1 = col[1], a2 = col[2], a3 = col[3];
                col[0] = uint8_t(xtime(a0) ^ xtime(a1) ^ a1 ^ a2 ^ a3);
                col[1] = uint8_t(a0 ^ xtime(a1) ^ xtime(a2) ^ a2 ^ a3);
                col[2] = uint8_t(a0 ^ a1 ^ xtime(a2) ^ xtime(a3) ^ a3);
                col[3] = uint8_t(xtime(a0) ^ a0 ^ a1 ^ a2 ^ xtime(a3));
            }
        }
        for (int i = 0; i < 16; ++i)
            b[i] = t[i];
        addKey(b, rk_ + 16 * round);
    }
}

void SimAes::decryptBlock(uint8_t b[16]) const
{
    const Boxes &bx = boxes();
    addKey(b, rk_ + 160);
    for (int round = 9; round >= 0; --round) {
        uint8_t t[16];
        // Inverse ShiftRows and SubBytes.
        for (int c = 0; c < 4; ++c)
            for (int r = 0; r < 4; ++r)
                t[4 * ((c + r) % 4) + r] = bx.inv[b[4 * c + r]];
        addKey(t, rk_ + 16 * round);
        if (round > 0) {
            for (int c = 0; c < 4; ++c) {
                uint8_t *col = t + 4 * c;
                const uint8_t a0 = col[0], a1 = col[1], a2 = col[2], a3 = col[3];
                col[0] = uint8_t(mul(a0, 14) ^ mul(a1, 11) ^ mul(a2, 13) ^ mul(a3, 9));
                col[1] = uint8_t(mul(a0, 9) ^ mul(a1, 14) ^ mul(a2, 11) ^ mul(a3, 13));
                col[2] = uint8_t(mul(a0, 13) ^ mul(a1, 9) ^ mul(a2, 14) ^ mul(a3, 11));
                col[3] = uint8_t(mul(a0, 11) ^ mul(a1, 13) ^ mul(a2, 9) ^ mul(a3, 14));
            }
        }
        for (int i = 0; i < 16; ++i)
            b[i] = t[i];
    }
}

void SimAes::encrypt(uint8_t *buf, size_t len) const
{
    for (size_t at = 0; at + 16 <= len; at += 16)
        encryptBlock(buf + at);
}

void SimAes::decrypt(uint8_t *buf, size_t len) const
{
    for (size_t at = 0; at + 16 <= len; at += 16)
        decryptBlock(buf + at);
}

} // namespace kemusb::sim

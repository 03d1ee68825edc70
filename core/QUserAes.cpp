#include "core/QUserAes.h"

#include <cstring>
#include <mutex>

namespace {

const uint8_t kBuiltInKey[16] = {0x5e, 0x1a, 0x9c, 0x3f, 0x07, 0xb2, 0xd4, 0x8e,
                                 0x6a, 0x0c, 0x91, 0xf3, 0xb7, 0x45, 0x2d, 0x86};

uint8_t gf_mul(uint8_t a, uint8_t b)
{
    uint8_t p = 0;
    while (b) {
        if (b & 1)
            p ^= a;
        a = uint8_t((a << 1) ^ ((a & 0x80) ? 0x1b : 0));
        b >>= 1;
    }
    return p;
}

struct Tables {
    uint8_t sbox[256];
    uint8_t inv[256];
    Tables()
    {
        // The S-box from its definition: multiplicative inverse in GF(2^8)
        // followed by the affine map.
        for (int x = 0; x < 256; ++x) {
            uint8_t invx = 0;
            if (x) {
                for (int y = 1; y < 256; ++y) {
                    if (gf_mul(uint8_t(x), uint8_t(y)) == 1) {
                        invx = uint8_t(y);
                        break;
                    }
                }
            }
            uint8_t s = invx;
            uint8_t r = invx;
            for (int i = 0; i < 4; ++i) {
                r = uint8_t((r << 1) | (r >> 7));
                s ^= r;
            }
            s ^= 0x63;
            sbox[x] = s;
            inv[s] = uint8_t(x);
        }
    }
};

const Tables &tables()
{
    static const Tables t;
    return t;
}

// The shared schedule: 11 round keys.
uint8_t gRoundKeys[176];
std::once_flag gBuiltInOnce;

void expandKey(const uint8_t key[16], uint8_t out[176])
{
    const Tables &t = tables();
    std::memcpy(out, key, 16);
    uint8_t rcon = 0x01;
    for (int i = 4; i < 44; ++i) {
        uint8_t w[4];
        std::memcpy(w, out + (i - 1) * 4, 4);
        if (i % 4 == 0) {
            const uint8_t first = w[0];
            w[0] = uint8_t(t.sbox[w[1]] ^ rcon);
            w[1] = t.sbox[w[2]];
            w[2] = t.sbox[w[3]];
            w[3] = t.sbox[first];
            rcon = gf_mul(rcon, 2);
        }
        for (int j = 0; j < 4; ++j)
            out[i * 4 + j] = uint8_t(out[(i - 4) * 4 + j] ^ w[j]);
    }
}

void addRoundKey(uint8_t s[16], int round)
{
    const uint8_t *k = gRoundKeys + round * 16;
    for (int i = 0; i < 16; ++i)
        s[i] ^= k[i];
}

// State byte i is row i % 4, column i / 4.
void shiftRows(uint8_t s[16])
{
    uint8_t t[16];
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r)
            t[c * 4 + r] = s[((c + r) % 4) * 4 + r];
    std::memcpy(s, t, 16);
}

void invShiftRows(uint8_t s[16])
{
    uint8_t t[16];
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r)
            t[((c + r) % 4) * 4 + r] = s[c * 4 + r];
    std::memcpy(s, t, 16);
}

inline uint8_t xtime(uint8_t a) { return uint8_t((a << 1) ^ ((a & 0x80) ? 0x1b : 0)); }

void mixColumns(uint8_t s[16])
{
    for (int c = 0; c < 4; ++c) {
        uint8_t *col = s + c * 4;
        const uint8_t a0 = col[0], a1 = col[1], a2 = col[2], a3 = col[3];
        const uint8_t all = uint8_t(a0 ^ a1 ^ a2 ^ a3);
        col[0] = uint8_t(a0 ^ all ^ xtime(uint8_t(a0 ^ a1)));
        col[1] = uint8_t(a1 ^ all ^ xtime(uint8_t(a1 ^ a2)));
        col[2] = uint8_t(a2 ^ all ^ xtime(uint8_t(a2 ^ a3)));
        col[3] = uint8_t(a3 ^ all ^ xtime(uint8_t(a3 ^ a0)));
    }
}

void invMixColumns(uint8_t s[16])
{
    for (int c = 0; c < 4; ++c) {
        uint8_t *col = s + c * 4;
        const uint8_t a0 = col[0], a1 = col[1], a2 = col[2], a3 = col[3];
        col[0] = uint8_t(gf_mul(a0, 14) ^ gf_mul(a1, 11) ^ gf_mul(a2, 13) ^ gf_mul(a3, 9));
        col[1] = uint8_t(gf_mul(a0, 9) ^ gf_mul(a1, 14) ^ gf_mul(a2, 11) ^ gf_mul(a3, 13));
        col[2] = uint8_t(gf_mul(a0, 13) ^ gf_mul(a1, 9) ^ gf_mul(a2, 14) ^ gf_mul(a3, 11));
        col[3] = uint8_t(gf_mul(a0, 11) ^ gf_mul(a1, 13) ^ gf_mul(a2, 9) ^ gf_mul(a3, 14));
    }
}

} // namespace

QUserAes::QUserAes()
{
    // The built-in schedule is laid down once; a later setKey stays in force.
    std::call_once(gBuiltInOnce, [] { expandKey(kBuiltInKey, gRoundKeys); });
}

QUserAes::~QUserAes() = default;

void QUserAes::setKey(const uint8_t key[16])
{
    std::call_once(gBuiltInOnce, [] {});
    expandKey(key, gRoundKeys);
}

const uint8_t *QUserAes::builtInKey() { return kBuiltInKey; }

void QUserAes::encryptBlock(uint8_t s[16])
{
    std::call_once(gBuiltInOnce, [] { expandKey(kBuiltInKey, gRoundKeys); });
    const Tables &t = tables();
    addRoundKey(s, 0);
    for (int round = 1; round <= 10; ++round) {
        for (int i = 0; i < 16; ++i)
            s[i] = t.sbox[s[i]];
        shiftRows(s);
        if (round != 10)
            mixColumns(s);
        addRoundKey(s, round);
    }
}

void QUserAes::decryptBlock(uint8_t s[16])
{
    std::call_once(gBuiltInOnce, [] { expandKey(kBuiltInKey, gRoundKeys); });
    const Tables &t = tables();
    addRoundKey(s, 10);
    for (int round = 9; round >= 0; --round) {
        invShiftRows(s);
        for (int i = 0; i < 16; ++i)
            s[i] = t.inv[s[i]];
        addRoundKey(s, round);
        if (round != 0)
            invMixColumns(s);
    }
}

void QUserAes::encrypt(uint8_t *buf, size_t length) const
{
    if (!buf)
        return;
    for (size_t off = 0; off + 16 <= length; off += 16)
        encryptBlock(buf + off);
}

void QUserAes::decrypt(uint8_t *buf, size_t length) const
{
    if (!buf)
        return;
    for (size_t off = 0; off + 16 <= length; off += 16)
        decryptBlock(buf + off);
}

#pragma once
// AES-128 (FIPS-197) for the simulated adapters' direct-transfer channel.
// The simulator keeps its own copy so that it stays a plain, independent
// peer of the program's cipher.

#include <cstddef>
#include <cstdint>

namespace kemusb::sim {

class SimAes
{
public:
    explicit SimAes(const uint8_t key[16]);
    void encryptBlock(uint8_t b[16]) const;
    void decryptBlock(uint8_t b[16]) const;
    // ECB, whole blocks only; a tail shorter than 16 bytes is left alone.
    void encrypt(uint8_t *buf, size_t len) const;
    void decrypt(uint8_t *buf, size_t len) const;

    // The adapters' built-in key.
    static const uint8_t *adapterKey();

private:
    uint8_t rk_[176];
};

} // namespace kemusb::sim

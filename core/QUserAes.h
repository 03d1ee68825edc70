#pragma once
// AES-128 block cipher of the adapters' direct-transfer command channel:
// enciphers or deciphers a buffer in place, 16-byte block by block (ECB).
// All objects share one round-key table, filled with the schedule of the
// built-in key unless setKey replaced it.

#include <cstddef>
#include <cstdint>

class QUserAes
{
public:
    QUserAes();
    ~QUserAes();

    // Expands the given key into the shared table, for every object.
    static void setKey(const uint8_t key[16]);

    // In place, one block at each offset 0, 16, 32, ... Only whole blocks
    // are touched: a tail shorter than 16 bytes is left as it is (a block
    // started there would be read and written past the buffer).
    void encrypt(uint8_t *buf, size_t length) const;
    void decrypt(uint8_t *buf, size_t length) const;

    static void encryptBlock(uint8_t block[16]);
    static void decryptBlock(uint8_t block[16]);

    // The built-in key, 16 bytes.
    static const uint8_t *builtInKey();
};

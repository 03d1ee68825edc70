#pragma once
// Request and reply frames of the adapters' direct-transfer command channel:
//
//   FE EF | length word (LE: bits 0-11 frame length, bit 12 enciphered) |
//   body: sequence, 01, 01, command, payload, zero padding, check byte
//
// The body is a whole number of 16-byte blocks, enciphered with QUserAes
// (ECB) when bit 12 is set. The check byte is the sum of every plain byte
// before it, XOR the command code.

#include "core/QUserAes.h"

#include <cstddef>
#include <cstdint>

class QUserProtocolFrame
{
public:
    enum : int {
        HeaderSize = 4,
        MinFrameSize = 20,     // header + one block
        MaxFrameSize = 4095,   // 12 bits carry the length
        CipherFlag = 0x1000,
    };

    QUserProtocolFrame();

    // Builds a frame of `command` with the payload into buf (zeroed first).
    // Returns the frame length, or 0 when it does not fit the buffer (or the
    // 12-bit length field). Every call uses up one sequence number.
    int framePack(uint8_t *buf, int size, uint8_t command, bool encipher, const uint8_t *payload, int payloadLen);

    // Checks a reply of `length` bytes, deciphering its body in place when
    // it is flagged, and copies command code, payload and padding (not the
    // check byte) into out, at most outSize bytes. Returns the number of
    // bytes copied, or 0 when the reply is refused. Never touches a byte
    // outside frame[0, length) or out[0, outSize).
    int frameUnpack(uint8_t *frame, int length, uint8_t *out, int outSize);

    uint8_t nextSequence() const { return sequence; }

private:
    QUserAes cipher;
    uint8_t sequence = 0;
};

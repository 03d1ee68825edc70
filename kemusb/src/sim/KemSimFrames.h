#pragma once
// Direct-transfer command frames as the simulated adapters see them:
//   FE EF, u16 LE length word (bits 0-11 frame length, bit 12 enciphered),
//   then the body: sequence, 01, 01, command, payload, zero padding and a
//   check byte, padded to whole 16-byte blocks and enciphered as a whole
//   (AES-128 ECB) when bit 12 is set. Check byte = sum of every byte before
//   it (plain, length word included) XOR the command.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kemusb::sim {

struct DirectFrame {
    uint8_t sequence = 0;
    uint8_t command = 0;
    bool enciphered = false;
    std::vector<uint8_t> payload; // with the padding of a received frame
};

// The frame bytes; empty when it would not fit in maxLen bytes.
std::vector<uint8_t> packDirectFrame(const DirectFrame &f, size_t maxLen = 4095);
// Checks and opens a frame; false when it is not one.
bool unpackDirectFrame(const uint8_t *data, size_t len, DirectFrame *out);

// Answers one direct-transfer request (the bytes after 12 A7): a frame of
// the same command, sequence and cipher flag whose payload is the status
// byte 1 followed by the request's payload, cut to fit 62 bytes; empty when
// the request is not a frame.
std::vector<uint8_t> answerDirectFrame(const uint8_t *req, size_t len);
// The whole reply of an adapter to a direct-transfer request (12 A7 and the
// frame): 12 A7 and the answer, or 12 A7 00 when the request is not a frame.
std::vector<uint8_t> directTransferReply(const uint8_t *req, size_t len);

} // namespace kemusb::sim

#pragma once
// Frames of the firmware-update link and the tag lists they carry.
//
//   FA D6 5A | seq u16 | cmd u8 | L u16 | payload (L bytes) | sum u16
//
// All numbers little-endian. The sum is the low 16 bits of the plain byte
// sum of seq, cmd, L and payload (the three header bytes are not summed).
// Replies carry cmd 0xFF and the payload: answered command, status (0 =
// accepted), reply data.
//
// A tag list is a count byte N and N entries: tag u8, length V u16, V bytes.
//
// frameParse() is the receive state machine: it takes bytes in any pieces,
// keeps the partial frame between calls, hunts for the header byte by byte
// and drops frames whose sum is wrong without a word.

#include <cstdint>
#include <functional>

class usbFrame
{
public:
    static constexpr int kBufferSize = 4096;
    static constexpr int kOverhead = 10;       // header, seq, cmd, L, sum
    static constexpr uint8_t kReplyCmd = 0xFF;

    usbFrame();
    virtual ~usbFrame();

    // Advances the sequence number (the first frame carries 1; wraps at 16
    // bits) and writes the whole frame into out, which must hold L + 10
    // bytes. Returns L + 10.
    int frameBuild(uint8_t *out, uint8_t cmd, const uint8_t *payload, uint16_t len);
    // Completes a frame around a payload already at offset 8 of buf: header,
    // cmd, L and sum. The sequence bytes are left as they are and the
    // codec's number does not advance. Returns L + 10.
    int frameFinish(uint8_t *buf, uint8_t cmd, uint16_t len);
    // A reply frame (cmd 0xFF) answering cmd with status and n data bytes.
    // Returns n + 12.
    int replyBuild(uint8_t *buf, uint16_t seq, uint8_t cmd, uint8_t status, const uint8_t *data, uint16_t n);
    int replyShortBuild(uint8_t *buf, uint16_t seq, uint8_t cmd, uint8_t status);

    // Plain sum of n bytes (0 for n = 0).
    static uint32_t checkSum(const uint8_t *bytes, uint16_t n);

    // Feeds n bytes to the state machine. When a frame completes with a good
    // sum the call stops there: it returns the frame (inside this object,
    // valid until the next call), its length, and in *remain the number of
    // input bytes after the frame's last byte, which were not looked at.
    // Otherwise it returns null with *remain 0.
    const uint8_t *frameParse(const uint8_t *in, uint16_t n, uint16_t *frameLen, uint16_t *remain);

    // The frame in the receive buffer (meaningful after frameParse returned
    // one): its bytes and length L + 10, never more than the buffer holds.
    const uint8_t *frameGet(uint16_t *len) const;
    uint8_t cmdGet() const;
    const uint8_t *payloadGet(uint16_t *len) const;
    uint16_t seqGet() const;

    // The sequence number of the last built frame, and the parser's state
    // (0 hunting, else the bytes of the current frame stored so far).
    uint16_t sequence() const { return seq; }
    uint16_t parseState() const { return state; }

private:
    uint16_t payloadLenInBuffer() const;

    uint16_t seq = 0;
    uint16_t state = 0;
    uint8_t rx[kBufferSize];
};

// Reading and writing tag lists.
namespace usbTagList {

struct Entry
{
    uint8_t tag = 0;
    uint16_t len = 0;
    const uint8_t *value = nullptr;
};

// Walks the list in data[0, n): calls fn for each entry in order. An entry
// whose header or value would reach past n ends the walk there; it and the
// entries after it are not read. Returns the number of entries handed to fn.
int walk(const uint8_t *data, int n, const std::function<void(const Entry &)> &fn);

// Writes one entry at out and returns its size (3 + len).
int put(uint8_t *out, uint8_t tag, const uint8_t *value, uint16_t len);

} // namespace usbTagList

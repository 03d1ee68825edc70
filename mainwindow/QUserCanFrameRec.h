#pragma once
// The compact forms in which a data tab keeps its frames. A QUserCanMsg
// carries identifier, length and data as texts (several hundred bytes per
// frame with its strings); the tab's frame model keeps a million of them, so
// it stores numbers and bytes instead and makes the texts again only for the
// rows on screen and for whoever asks for the frames back.
//
// What is kept of a frame: host time, device time, identifier (as a number,
// 29 bits), length (as its text gives it), up to 64 data bytes, direction,
// remote, extended, protocol, CAN FD flag byte, channel and the send-failed
// flag. The identifier text comes back as "%08X " and the data as digit
// pairs without separators, the forms the device layer writes.

#include "core/QUserCanMsg.h"

#include <cstdint>

// Bits of the flag byte.
enum QUserCanFrameFlag : uint8_t {
    FrameFlagSent = 0x01,     // direction 1: sent by this program
    FrameFlagRemote = 0x02,
    FrameFlagExtended = 0x04,
    FrameFlagFailed = 0x08,   // send failed
};
// Bits 4-5: protocol 0 CAN, 1 CAN FD, 2 CAN FD with bit-rate switch.
constexpr int kFrameProtoShift = 4;

// A whole frame with all its data bytes: the merge entries hold one each,
// and every frame passes through this form on its way in and out.
struct QUserCanFrameFull
{
    int64_t hostTime = 0;   // ms since the epoch
    uint64_t devTime = 0;   // adapter time stamp, µs
    uint32_t id = 0;
    uint8_t dataLen = 0;    // data bytes held (0..64)
    uint8_t len = 0;        // the length the frame's text gives (0..255)
    uint8_t flags = 0;
    uint8_t fdFlags = 0;
    uint8_t channel = 0;
    uint8_t data[64];

    bool sent() const { return flags & FrameFlagSent; }
    bool remote() const { return flags & FrameFlagRemote; }
    bool extended() const { return flags & FrameFlagExtended; }
    bool failed() const { return flags & FrameFlagFailed; }
    int protocol() const { return (flags >> kFrameProtoShift) & 0x3; }
};

// One entry of the frame list: the first eight data bytes inline; a longer
// payload's remaining bytes sit in a second ring in the same order, found
// by the sequence number extSeq.
struct QUserCanFrameRec
{
    int64_t hostTime;
    uint64_t devTime;
    uint32_t id;
    uint32_t extSeq;
    uint8_t data[8];
    uint8_t dataLen;
    uint8_t len;
    uint8_t flags;
    uint8_t fdFlags;
    uint8_t channel;
};

// Bytes 8..63 of a CAN FD payload.
struct QUserCanFrameExt
{
    uint8_t bytes[56];
};

// The identifier text read as an unsigned hexadecimal number: blanks around
// it and a "0x" prefix allowed; anything else, an empty text or more than
// eight digits read as 0. Kept to 29 bits.
uint32_t canFrameIdParse(const QString &idText);
// Fills the compact frame from a frame record.
void canFrameFromMsg(const QUserCanMsg &msg, QUserCanFrameFull &frame);
// The frame record again (texts in the device layer's forms).
QUserCanMsg canFrameToMsg(const QUserCanFrameFull &frame);

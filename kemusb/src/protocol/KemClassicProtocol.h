#pragma once
// The bulk protocol of the two-channel classic adapter (types 3 and 4,
// USB id 0471:1200): commands on 0x01 beginning with 0x12, answered on 0x81;
// transmit groups of up to three 19-byte frame records on 0x02, answered on
// 0x81 with the number of frames taken at reply[2]; the received-frame stream
// on 0x82 as 19-byte records.
//
// Everything here is pure: builders return the bytes to write, parsers look
// only at the bytes they were given and never past the length they checked.

#include "kemusb/include/vci_api.h"
#include "kemusb/src/protocol/AdapterModels.h"
#include "kemusb/src/protocol/CommandChannel.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kemusb::classic {

using Bytes = std::vector<uint8_t>;

constexpr uint8_t kEpCmdOut = 0x01;
constexpr uint8_t kEpReplyIn = 0x81;
constexpr uint8_t kEpTxOut = 0x02;
constexpr uint8_t kEpStreamIn = 0x82;
constexpr int kChannels = familyChannels(AdapterFamily::Classic);
constexpr size_t kRecordSize = 19;
constexpr int kTxGroup = 3;
constexpr size_t kReplyRead = 64;
constexpr size_t kStreamRead = 256;
constexpr size_t kAssemblyCapacity = 2048;

constexpr uint32_t kShortMs = 200;   // versions, count, reset, relay, timing, state, direct
constexpr uint32_t kLongMs = 1000;   // mode and timing, filter, start
constexpr uint32_t kTxAckMs = 2000;  // a group's answer
constexpr uint32_t kTxAckQuickMs = 100; // when the group's last frame is a single shot


// Channel byte c: 0x00 for channel 0, 0x10 for channel 1.
inline uint8_t channelByte(int channel) { return channel == 1 ? 0x10 : 0x00; }

Bytes cmdHardwareVersion();
Bytes cmdFirmwareVersion();
Bytes cmdChannelCount();
// Mode byte m: channel 0 0x80/0x00, channel 1 0x90/0x10 (mode 1 / other).
Bytes cmdModeTiming(int channel, uint8_t mode, uint8_t timing0, uint8_t timing1);
// Acceptance code and mask travel big-endian; byte f = c | 0x40 when filtering.
Bytes cmdAcceptance(int channel, uint8_t filter, uint32_t accCode, uint32_t accMask);
Bytes cmdStart(int channel);
Bytes cmdReset(int channel);
Bytes cmdRelaySet(uint8_t a, uint8_t b);
Bytes cmdRelayGet();
Bytes cmdBusTimingGet(int channel);
Bytes cmdChannelStateGet(int channel);
// 0x12 0xA7 and at most 62 bytes of buf.
using kemusb::cmdDirectTransfer;

// A reply longer than two bytes whose first two bytes are the request's.
using kemusb::replyMatches;

// Reply checks; each looks only at bytes below n.
bool parseVersion(const uint8_t *r, size_t n, uint8_t cmd, uint16_t *version); // 6+ bytes, r[1] = cmd
bool parseChannelCount(const uint8_t *r, size_t n, uint8_t *count);            // 3+ bytes... count at r[4]
bool modeTimingOk(const uint8_t *r, size_t n);
bool acceptanceOk(const uint8_t *r, size_t n);
bool startOk(const uint8_t *r, size_t n);
bool resetOk(const uint8_t *r, size_t n);
bool relaySetOk(const uint8_t *r, size_t n);
bool parseRelay(const uint8_t *r, size_t n, uint8_t *a, uint8_t *b);
bool parseBusTiming(const uint8_t *r, size_t n, uint8_t *timing0, uint8_t *timing1);
bool parseChannelState(const uint8_t *r, size_t n, uint8_t *a, uint8_t *b, uint8_t *c);
// A group's answer: accepted when reply[2] equals the frames of the group.
bool txGroupAccepted(const uint8_t *r, size_t n, int framesInGroup);

// Identifier word of a frame record: shifted left by 3 (extended) or 5.
inline uint32_t idWord(uint32_t id, bool ext) { return ext ? id << 3 : id << 5; }
inline uint32_t idFromWord(uint32_t word, bool ext) { return ext ? word >> 3 : word >> 5; }

// One transmit group (1 to 3 frames) as written on 0x02.
Bytes txGroup(int channel, const VCI_CAN_OBJ *frames, int count);
// The number of frames in each group of a transmit of count frames.
std::vector<int> txGroupSizes(uint32_t count);
// How long a group waits for its answer.
uint32_t txAckWaitMs(const VCI_CAN_OBJ *frames, int count);

// A received frame as the stream parser hands it out.
struct StreamFrame {
    int channel;          // 0 or 1
    VCI_CAN_OBJ record; // time flag 1, send type 0
};

// Assembles the 0x82 stream: a record starts where bytes 3, 4, 5 of a
// 19-byte window are 01 00 00, anything else is skipped a byte at a time.
// The incomplete tail stays for the next feed. A length nibble above 8 is
// taken as 8 (the record carries 8 data bytes).
class StreamParser
{
public:
    class Sink
    {
    public:
        virtual ~Sink() = default;
        virtual void frame(const StreamFrame &f) = 0;
    };

    // Appends what fits of data (the rest is dropped) and hands out every
    // whole record.
    void feed(const uint8_t *data, size_t len, Sink &sink);
    void clear() { fill_ = 0; }
    size_t pending() const { return fill_; }
    uint64_t skippedBytes() const { return skipped_; }
    uint64_t droppedBytes() const { return dropped_; }

    // Decodes one record at p (19 bytes, marker already checked).
    static StreamFrame decode(const uint8_t *p);
    static bool isRecordStart(const uint8_t *p) { return p[3] == 0x01 && p[4] == 0x00 && p[5] == 0x00; }

private:
    uint8_t buf_[kAssemblyCapacity];
    size_t fill_ = 0;
    uint64_t skipped_ = 0;
    uint64_t dropped_ = 0;
};

// A received frame as a stream record (what the adapter sends); the
// simulator and the tests build streams with it.
Bytes streamRecord(int channel, uint32_t id, bool ext, bool rtr, uint8_t len, const uint8_t *data, uint32_t stamp);

} // namespace kemusb::classic

#pragma once
// Byte-level protocol of the USB CAN FD adapters (types 41-43, 64-67): the
// command requests and their reply checks, the channel initialisation
// request, transmit packets, the settings keys of SetValue, the bit-rate
// tables and the receive-stream parser. Nothing here touches a transport,
// so every builder and parser can be held against fixed bytes.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "kemusb/include/ocan_records.h"
#include "kemusb/src/protocol/CommandChannel.h"

namespace kemusb::fd {

// ---- endpoints and reply times ---------------------------------------------

constexpr uint8_t kEpCmdOut = 0x01;
constexpr uint8_t kEpCmdIn = 0x81;
constexpr uint8_t kEpTxOut = 0x02;
constexpr uint8_t kEpTxIn = 0x82;
constexpr uint8_t kEpStreamIn = 0x83;
constexpr uint32_t kReplyMs = 1500;
constexpr uint32_t kInitReplyMs = 2000;
constexpr uint32_t kDirectReplyMs = 1000;
constexpr uint16_t kFirmwareNoTxAck = 0x0200;

// ---- timing words ----------------------------------------------------------

struct Timing {
    uint32_t prescaler; // 1-1024
    uint32_t sjw;       // 1-128
    uint32_t tseg1;     // 1-256
    uint32_t tseg2;     // 1-128
};
Timing decodeTiming(uint32_t word);
uint32_t encodeTiming(const Timing &t);
// Bit rate of a timing word at the given controller clock (Hz); 0 for none.
uint32_t bitRateOf(uint32_t word, uint32_t clockHz);

// Timing word for an arbitration or data rate at the adapter's clock.
// The tables hold the 60 MHz words; for another clock the word is worked
// out to give the same rate with about the same sample point. Returns false
// when the rate is not offered or has no exact timing at that clock.
bool arbTimingFor(uint32_t rate, uint32_t clockMHz, uint32_t *word);
bool dataTimingFor(uint32_t rate, uint32_t clockMHz, uint32_t *word);

// ---- commands --------------------------------------------------------------

using Bytes = std::vector<uint8_t>;

using kemusb::cmdChannelCount;
using kemusb::cmdDirectTransfer;
using kemusb::cmdFirmwareVersion;
using kemusb::cmdHardwareVersion;
using kemusb::parseChannelCountReply;
using kemusb::replyMatches;

Bytes cmdStartChannel(int channel);
Bytes cmdResetChannel(int channel);
Bytes cmdFilterClear(int channel);
// mode 0 standard, 1 extended, other: mode 2
Bytes cmdFilterRange(int channel, int mode, uint32_t start, uint32_t end);
Bytes cmdFilterMode2(int channel);
Bytes cmdFilterAck(int channel);
Bytes cmdChannelStatus(int channel);
Bytes cmdInitChannel(int channel, uint8_t standard, uint8_t mode, uint8_t clockMHz, uint32_t arbWord,
                     uint32_t dataWord);
// Reply checks. Each reads no byte it has not checked to be there.
// A version reply must answer its request (hardware or firmware query);
// the version is big-endian at reply[4].
bool parseVersionReply(const Bytes &request, const uint8_t *reply, size_t n, uint16_t *version);
bool startReplyOk(const uint8_t *reply, size_t n);
bool filterReplyOk(const uint8_t *reply, size_t n);
bool initReplyOk(const uint8_t *reply, size_t n);
bool parseStatusReply(const uint8_t *reply, size_t n, uint32_t *status);

// ---- transmit packets ------------------------------------------------------

constexpr int kTxBatch = 10;
constexpr size_t kClassicRecordSize = 19;
constexpr size_t kFdRecordSize = 75;
constexpr size_t kPacketHeader = 7;

// One packet of 1-10 records (count is clamped to kTxBatch by the caller).
Bytes txPacket(int channel, const OCAN_CAN_TX *frames, int count);
Bytes txPacketFd(int channel, const OCAN_CANFD_TX *frames, int count);
bool txAckOk(const uint8_t *reply, size_t n);

// ---- settings keys of SetValue ---------------------------------------------

enum class SettingKey {
    None,
    Standard,
    ArbRate,
    DataRate,
    CustomTiming,
    FilterClear,
    FilterAck,
    FilterMode,
    FilterStart,
    FilterEnd,
};
struct SettingPath {
    int channel = -1;
    SettingKey key = SettingKey::None;
};
// "<channel>/<key>": the decimal channel before the first '/', accepted from
// 0 to channels - 1. Anything else gives key None.
SettingPath parseSettingPath(const char *path, int channels);
// Values: decimal, hexadecimal after "0x", and the custom timing text
// ",(a,b,c)". Lenient as numbers held as text are: white space removed,
// a text that does not parse reads as 0.
uint32_t parseDecimal(const char *text);
uint32_t parseHex0x(const char *text);
bool parseCustomTiming(const char *text, uint32_t *arbWord, uint32_t *dataWord);

// ---- receive stream --------------------------------------------------------

// Gets the frames the parser takes out of the stream.
class StreamSink
{
public:
    virtual ~StreamSink() = default;
    virtual void classicFrame(int channel, const OCAN_CAN_RX &frame) = 0;
    virtual void fdFrame(int channel, const OCAN_CANFD_RX &frame) = 0;
};

// The stream assembly buffer and its parser. feed() may take any amount:
// it is moved into the 4096-byte buffer a part at a time. A packet is only
// taken when its length fits the buffer and its records, sized by their
// flag bytes, fit within that length; bytes after the last record (firmware
// may pad its packets) are passed over with the packet. Anything else costs
// one byte and the parser looks for the next header.
class StreamParser
{
public:
    static constexpr size_t kCapacity = 4096;

    void feed(const uint8_t *data, size_t len, StreamSink &sink);
    void clear() { m_fill = 0; }
    size_t pending() const { return m_fill; }
    uint64_t skippedBytes() const { return m_skipped; }

private:
    void parse(StreamSink &sink);

    uint8_t m_buf[kCapacity];
    size_t m_fill = 0;
    uint64_t m_skipped = 0;
};

// Builds one stream packet as the adapter sends it (used by the simulated
// adapter and by tests): frames of mixed kinds for their channels.
struct StreamFrame {
    int channel;
    bool fd;
    bool brs;
    bool esi;
    bool remote;
    bool extended;
    uint32_t id;
    uint32_t TimeStamp;
    uint8_t Len;
    uint8_t Data[64];
};
Bytes streamPacket(const StreamFrame *frames, int count);

} // namespace kemusb::fd

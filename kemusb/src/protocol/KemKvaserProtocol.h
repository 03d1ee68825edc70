#pragma once
// Command protocols of the Kvaser USB interfaces (vendor 0BFD): the 20-byte
// family (length in byte 0, command number in byte 1; product ids 0120 and
// 0122) and the 32-byte family of the CAN FD interface (command number in
// byte 0; product id 0102). Commands go out on 0x02, the command stream
// comes in on 0x82. Builders and stream parsers only; no I/O here.

#include "kemusb/include/kcan_records.h"
#include "kemusb/src/protocol/AdapterModels.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kemusb::kvaser {

using Bytes = std::vector<uint8_t>;

constexpr uint8_t kEpOut = 0x02;
constexpr uint8_t kEpIn = 0x82;
constexpr size_t kStreamRead = 4096;
constexpr uint32_t kAckWaitMs = 200;

constexpr int kChannels20 = familyChannels(AdapterFamily::Kvaser);
constexpr int kChannels32 = familyChannels(AdapterFamily::KvaserFd);
constexpr size_t kCmd32 = 32;
constexpr size_t kAssembly20 = 4096;
constexpr size_t kAssembly32 = 128;
constexpr size_t kMaxGroupBytes = 512;

// ---- 20-byte family -------------------------------------------------------
Bytes cmd20BusParams(int channel, const KCAN_INITFD_CONFIG &cfg);
Bytes cmd20StartChip(int channel);
Bytes cmd20StopChip(int channel);
// One transmit command (20 bytes) appended to out.
void cmd20Transmit(Bytes &out, int channel, const KCAN_CAN_OBJ &frame);

// ---- 32-byte family -------------------------------------------------------
// The bus parameter command and, for an FD channel, the data-phase command.
std::vector<Bytes> cmd32BusParams(int channel, const KCAN_INITFD_CONFIG &cfg);
Bytes cmd32StartChip(int channel);
Bytes cmd32StopChip(int channel);
void cmd32Transmit(Bytes &out, int channel, const KCAN_CAN_OBJ &frame);
// Source channel of a received 32-byte command (above 15 counts as 15).
int cmd32SourceChannel(const uint8_t *cmd);

// Length codes 0-15 to bytes.
uint8_t dlcToLength(uint8_t code);

// What a stream parser hands out.
class Sink
{
public:
    virtual ~Sink() = default;
    virtual void classicFrame(int channel, const KCAN_CAN_OBJ &f) = 0;
    virtual void fdFrame(int channel, const KCAN_CANFD_OBJ &f) { (void)channel, (void)f; }
    virtual void txAck(int channel) = 0;
};

// Splits a command stream into whole commands, keeping a split command for
// the next feed. A split command longer than the assembly buffer is
// dropped: kept, it would make the buffer grow for as long as the stream
// fails to complete it. The two families differ in how a command's length
// is told (parse) and what a command means (command).
class CommandStream
{
public:
    virtual ~CommandStream() = default;
    void feed(const uint8_t *data, size_t len, Sink &sink);
    void clear() { tail_.clear(); }
    size_t pending() const { return tail_.size(); }
    uint64_t skippedBytes() const { return skipped_; }
    // Handles one whole command.
    virtual void command(const uint8_t *c, size_t len, Sink &sink) const = 0;

protected:
    CommandStream(int channels, size_t assembly) : channels_(channels), assembly_(assembly) {}
    // Hands every whole command at the front of p to command(); the bytes used.
    virtual size_t parse(const uint8_t *p, size_t len, Sink &sink) = 0;

    const int channels_;
    uint64_t skipped_ = 0;

private:
    const size_t assembly_;
    Bytes tail_;
};

// The 20-byte family: byte 0 is the command's length. A command that
// declares a length of 0 cannot be stepped over by it: one byte is skipped
// and parsing goes on.
class Stream20 final : public CommandStream
{
public:
    explicit Stream20(int channels = kChannels20) : CommandStream(channels, kAssembly20) {}
    void command(const uint8_t *c, size_t len, Sink &sink) const override;

private:
    size_t parse(const uint8_t *p, size_t len, Sink &sink) override;
};

// The 32-byte family: 32 bytes, or the u16 at [4..5] after a command
// number of 0xFF.
class Stream32 final : public CommandStream
{
public:
    explicit Stream32(int channels = kChannels32) : CommandStream(channels, kAssembly32) {}
    void command(const uint8_t *c, size_t len, Sink &sink) const override;

private:
    size_t parse(const uint8_t *p, size_t len, Sink &sink) override;
};

// Received commands as the interfaces send them (simulator and tests).
Bytes rx20Frame(int channel, uint32_t id, bool ext, bool rtr, uint8_t len, const uint8_t *data);
Bytes rx20Ack(int channel);
Bytes rx32Frame(int channel, uint32_t id, bool ext, bool rtr, uint8_t len, const uint8_t *data);
Bytes rx32FdFrame(int channel, uint32_t id, bool ext, bool brs, bool esi, uint8_t dlc, const uint8_t *data,
                  uint32_t stamp);
Bytes rx32Ack(int channel);
// The channel fields of a 32-byte command: bits 6-7 of [1] carry channel / 16
// and bits 12-15 of the u16 at [2] carry channel % 16.
void put32Source(uint8_t *cmd, int channel);

} // namespace kemusb::kvaser

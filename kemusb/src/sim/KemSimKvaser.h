#pragma once
// The simulated Kvaser USB CAN interfaces for the "sim" back end, written
// from the interfaces' byte tables. Commands go out on OUT 0x02; received
// frames and one transmit acknowledgement per frame the bus took come back
// as a command stream on IN 0x82.
//   20-byte family (0BFD:0120, 0BFD:0122): [0] command length, [1] command
//     number; bus parameters 16, start 26, stop 28 ([3] channel), transmit
//     13 (standard) / 15 (extended) of 20 bytes; in: received frames 12 / 14
//     of 24 bytes, acknowledgement 50.
//   32-byte family (0BFD:0102): [0] command number, [1] low 6 bits the
//     destination channel; bus parameters 16 / 69, start 26, stop 28,
//     transmit 33; in: received classic frame 106, received CAN FD frame
//     0xFF (length at [4..5], 0xE2 at [6]), acknowledgement 50, each with
//     its source channel split over [1] bits 6-7 and [2..3] bits 12-15.

#include "platform/PlatSim.h"

#include <cstdint>

namespace kemusb::sim {

constexpr uint16_t kKvaserVid = 0x0BFD;

class SimKvaserModel : public plat::sim::DeviceModel
{
public:
    explicit SimKvaserModel(bool wideCommands);
    void setAckSilent(bool on) { ackSilent_ = on; } // no transmit acknowledgements
    uint64_t commands() const { return commands_; }
    void onBusFrame(int channel, const plat::sim::CanFrame &frame) override;

    // What the interfaces send, as the simulator builds it.
    static plat::sim::Bytes frame20(int channel, const plat::sim::CanFrame &f);
    static plat::sim::Bytes ack20(int channel);
    static plat::sim::Bytes frame32(int channel, const plat::sim::CanFrame &f, uint32_t stamp);
    static plat::sim::Bytes ack32(int channel);
    // A transmit command as the interfaces read it; false when it is not one.
    static bool decodeTransmit20(const uint8_t *c, size_t n, int *channel, plat::sim::CanFrame *f);
    static bool decodeTransmit32(const uint8_t *c, int *channel, plat::sim::CanFrame *f);

private:
    void out20(const plat::sim::Bytes &b);
    void out32(const plat::sim::Bytes &b);
    void transmitted(int ch, const plat::sim::CanFrame &f);

    bool wide_;
    bool ackSilent_ = false;
    uint64_t commands_ = 0;
};

} // namespace kemusb::sim

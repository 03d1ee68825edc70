#pragma once
// Simulated classic adapters (USBCAN2, 0471:1200) and Kvaser interfaces
// (0BFD:0120, 0BFD:0122 with the 20-byte commands, 0BFD:0102 with the 32-byte
// commands) for the "sim" back end, answering on the wire as the adapters do:
//   classic: commands on 0x01 answered on 0x81; the mode and timing command
//     sets the channel's rate from the two bus timing bytes at the
//     controller's 16 MHz (a running channel keeps running); transmit groups on 0x02 answered on 0x81 with the
//     number of frames the bus took at [2]; received frames stream on 0x82.
//     The channel-state reply carries a non-zero error byte (reply[9]) while
//     the channel's rate does not match its bus, or the channel saw an error.
//   Kvaser: commands on 0x02; received frames and one transmit
//     acknowledgement per frame the bus took stream on 0x82.

#include "platform/PlatSim.h"

#include <cstdint>

namespace kemusb::sim {

constexpr uint16_t kKvaserVid = 0x0BFD;

class SimClassicModel : public plat::sim::DeviceModel
{
public:
    SimClassicModel();

    uint8_t relayA() const { return relayA_; }
    uint8_t relayB() const { return relayB_; }
    // Test knobs (under the world lock while threads run).
    void setSilent(bool on) { silent_ = on; }    // commands get no reply
    void setTxSilent(bool on) { txSilent_ = on; } // transmit groups get no reply
    uint32_t filterCode(int ch) const { return ch_[ch & 1].code; }
    uint32_t filterMask(int ch) const { return ch_[ch & 1].mask; }

    // Puts frames on the 0x82 stream as if they came from the bus, in
    // transfers of up to perTransfer records.
    void streamFrames(const plat::sim::CanFrame *frames, size_t n, size_t perTransfer = 200);

    void onBusFrame(int channel, const plat::sim::CanFrame &frame) override;

    // Bit rate of a bus timing byte pair at the controller's 16 MHz.
    static uint32_t rateOf(uint8_t timing0, uint8_t timing1);

private:
    struct Chan {
        uint8_t t0 = 0, t1 = 0;
        uint8_t filterByte = 0;
        uint32_t code = 0, mask = 0;
    };
    void command(const plat::sim::Bytes &q);
    void transmit(const plat::sim::Bytes &p);
    bool rateMismatch(int ch);

    Chan ch_[2];
    uint8_t relayA_ = 0, relayB_ = 0;
    bool silent_ = false;
    bool txSilent_ = false;
};

class SimKvaserModel : public plat::sim::DeviceModel
{
public:
    explicit SimKvaserModel(bool proFd);
    void setAckSilent(bool on) { ackSilent_ = on; } // no transmit acknowledgements
    uint64_t commands() const { return commands_; }
    void onBusFrame(int channel, const plat::sim::CanFrame &frame) override;

private:
    void out20(const plat::sim::Bytes &b);
    void out32(const plat::sim::Bytes &b);
    void transmitted(int ch, const plat::sim::CanFrame &f);

    bool proFd_;
    bool ackSilent_ = false;
    uint64_t commands_ = 0;
};

} // namespace kemusb::sim

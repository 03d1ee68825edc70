#pragma once
// The simulated classic adapter (USBCAN2, 0471:1200) for the "sim" back end,
// answering on the wire as the adapter does, written from its byte tables:
//   commands on OUT 0x01 (0x12, command, ...) answered on IN 0x81; the mode
//     and timing command sets the channel's rate from the two bus timing
//     bytes at the controller's 16 MHz (a running channel keeps running);
//   transmit groups on OUT 0x02, 19 bytes a frame: [4] C6, [5] send type,
//     [6] extended 0x80 | remote 0x40 | channel 1 0x10 | length nibble,
//     [7..10] identifier LE shifted left by 3 (extended) or 5, [11..18]
//     data; answered on 0x81 by 12 C6 n, n the frames the bus took;
//   received frames stream on IN 0x82 as 19-byte records: [0..2] time stamp
//     (24 bits LE), [3..5] 01 00 00, [6] flags as above, [7..10] the
//     identifier word, [11..18] data.
// The channel-state reply carries a non-zero error byte (reply[9]) while the
// channel's rate does not match its bus, or the channel saw an error.

#include "platform/PlatSim.h"

#include <cstdint>

namespace kemusb::sim {

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
    // One received-frame record as the adapter streams it on 0x82.
    static void appendStreamRecord(plat::sim::Bytes &out, int channel, const plat::sim::CanFrame &f,
                                   uint32_t stamp24);
    // One frame of a transmit group; false when the record is not one.
    static bool decodeTransmitRecord(const uint8_t *r, int *channel, plat::sim::CanFrame *f);

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

} // namespace kemusb::sim

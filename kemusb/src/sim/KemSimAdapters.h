#pragma once
// Simulated CAN FD adapters (types 41-43, TRNA701, TRNB701, TRNA702,
// TRNB702) and recording adapters (TRND701, TRND702) for the "sim" back end.
// They answer on the wire as the adapters do:
//   CAN FD: commands and replies on 0x01/0x81, transmit packets on 0x02 with
//     an acknowledgement on 0x82 for firmware below 2.00, the receive stream
//     on 0x83 fed by the virtual bus; channel initialisation sets the bus
//     rate from the timing fields at the adapter's own controller clock, so
//     a word worked out for the wrong clock lands on the wrong rate. The
//     acceptance filter ranges are applied to received frames.
//   Recording: versions, channel settings and the filter list on 0x01/0x81.
//   Both: direct-transfer frames (12 A7 + frame) are deciphered, checked and
//     answered with a frame of the same command, sequence and cipher flag
//     whose payload is the status byte 1 followed by the request's payload.
//   CAN FD: a firmware-update target (KemSimFirmware.h), switched into update
//     mode by direct-transfer command 4, takes the link frames of channel 0.

#include "kemusb/src/sim/KemSimRecordDirect.h"
#include "kemusb/src/sim/KemSimFirmware.h"
#include "platform/PlatSim.h"

#include <cstdint>
#include <vector>

namespace kemusb::sim {

struct SimRange {
    int kind; // 2 standard, 3 extended, 5 other
    uint32_t start;
    uint32_t end;
};

class SimCanFdModel : public plat::sim::DeviceModel
{
public:
    SimCanFdModel(int channels, uint8_t clockMHz, uint16_t firmware);

    // Test knobs and views (call under the world lock while threads run).
    void setFirmware(uint16_t fw) { firmware_ = fw; }
    uint16_t firmware() const { return firmware_; }
    void setSilent(bool on) { silent_ = on; } // commands get no reply
    const std::vector<SimRange> &activeFilter(int ch) const { return chan_[ch].active; }
    bool filterOn(int ch) const { return chan_[ch].filterOn; }
    uint64_t packetsReceived() const { return packets_; }
    SimFirmTarget &firmTarget() { return firm_; }
    // Puts the bytes of one target frame on the receive stream (as its
    // replies travel), delayMs later.
    void pushLinkFrame(const std::vector<uint8_t> &frame, uint32_t delayMs = 0);

    // Puts frames on the receive stream as if they came from the bus
    // (packets of up to `perPacket` records), without a bus.
    void streamFrames(const plat::sim::CanFrame *frames, size_t n, size_t perPacket = 40);

    void onBusFrame(int channel, const plat::sim::CanFrame &frame) override;

private:
    struct Chan {
        std::vector<SimRange> pending;
        std::vector<SimRange> active;
        bool filterOn = false;
    };
    void command(const plat::sim::Bytes &req);
    void transmit(const plat::sim::Bytes &pkt);
    bool accepts(int ch, const plat::sim::CanFrame &f) const;
    bool toFirmTarget(int ch, const plat::sim::CanFrame &f);

    int channels_;
    uint8_t clock_;
    uint16_t firmware_;
    bool silent_ = false;
    uint64_t packets_ = 0;
    Chan chan_[8];
    SimFirmTarget firm_;
};

class SimRecordModel : public plat::sim::DeviceModel
{
public:
    SimRecordModel();

    struct Setting {
        uint8_t bytes[25] = {}; // request bytes 3-27 as last written
        bool written = false;
    };
    void setSilent(bool on) { silent_ = on; } // commands get no reply
    const Setting &setting(int ch) const { return set_[ch]; }
    const std::vector<SimRange> &filters(int ch) const { return filt_[ch]; }
    bool filterEnabled(int ch) const { return filtOn_[ch]; }
    // The adapter's own commands 5 and 0xFF on the direct-transfer channel,
    // answered as KemSimRecordDirect.h tells instead of echoed.
    SimRecordDirect &direct() { return direct_; }

private:
    void command(const plat::sim::Bytes &req);

    Setting set_[2];
    std::vector<SimRange> filt_[2];
    bool filtOn_[2] = {false, false};
    SimRecordDirect direct_;
    bool silent_ = false;
};


} // namespace kemusb::sim

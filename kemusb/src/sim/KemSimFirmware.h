#pragma once
// The firmware-update target of the simulated CAN FD adapters.
//
// The direct-transfer command 4 with argument 1 puts the adapter into update
// mode (0 takes it out). In update mode the classic frames the host sends on
// channel 0 with extended identifier 0x10202103 do not reach the bus: their
// data bytes are the target's input, in which it finds whole frames
//
//   FA D6 5A | seq u16 LE | cmd | L u16 LE | payload | sum u16 LE
//
// (sum = low 16 bits of the byte sum of seq, cmd, L and payload) and answers
// each one with a reply frame of the same sequence, command 0xFF and the
// payload: answered command, status (0 accepted), reply data. Payloads and
// reply data are tag lists: a count byte, then per entry tag, length u16 LE,
// value. The replies travel back as 8-byte classic frames on the same
// identifier, the last one padded with zeros.
//
//   1  version query:  reply data tag 0 = hardware u16, firmware u16
//   10 update start:   tag 0 = image size u32, tag 1 = 16 configuration
//                      bytes; reply data tag 0 = packet size u32
//   11 data packet:    tag 0 = packet index u32 (from 0), tag 1 = bytes;
//                      a repeat of the packet last taken is answered again
//                      without being stored twice
//
// Faults a test sets make the next replies vanish, come late or carry a bad
// sum, refuse data packets, or reset the target in the middle of an update
// (update mode left, image dropped, the packet that caused it unanswered).

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kemusb::sim {

class SimFirmTarget
{
public:
    static constexpr uint32_t kLinkId = 0x10202103;

    struct Faults {
        int after = 0;        // the reply faults below start after this many more replies
        int silent = 0;       // the next N replies are not sent
        int late = 0;         // the next N replies are sent lateMs later
        uint32_t lateMs = 0;
        int badSum = 0;       // the next N replies carry a sum that is off by one
        int refuse = 0;       // the next N data packets are refused (status 1)
        int resetAfter = -1;  // the target resets on the N-th data packet it takes from now (-1 never)
    };
    struct Reply {
        std::vector<uint8_t> frame;
        uint32_t delayMs = 0;
    };
    struct Stats {
        uint64_t frames = 0;     // whole frames with a good sum
        uint64_t badSums = 0;    // whole frames dropped for their sum
        uint64_t starts = 0;     // accepted start commands
        uint64_t packets = 0;    // data packets stored
        uint64_t repeats = 0;    // data packets answered again without storing
        uint64_t refused = 0;    // data packets refused
        uint64_t resets = 0;
    };

    // The update-mode request (direct-transfer command 4).
    void requestMode(bool on);
    bool inUpdateMode() const { return updateMode_; }

    // The data bytes of one link frame from the host; the replies it causes
    // are appended to out.
    void receive(const uint8_t *data, size_t len, std::vector<Reply> &out);

    Faults &faults() { return faults_; }
    void setVersions(uint16_t hw, uint16_t fw)
    {
        hw_ = hw;
        fw_ = fw;
    }
    // The packet size the target asks for in its start reply (any value, so
    // that a test can hand out one the host must refuse).
    void setPacketSize(uint32_t n) { packetSize_ = n; }
    // The image taken so far in the current (or last) update, and the size
    // its start command announced.
    const std::vector<uint8_t> &image() const { return image_; }
    uint32_t announcedSize() const { return imageSize_; }
    const uint8_t *configBytes() const { return config_; }
    const Stats &stats() const { return stats_; }

private:
    void handle(const uint8_t *f, size_t total, std::vector<Reply> &out);
    void answer(uint16_t seq, uint8_t cmd, uint8_t status, const std::vector<uint8_t> &data,
                std::vector<Reply> &out);
    void reset();

    bool updateMode_ = false;
    bool started_ = false;
    uint16_t hw_ = 0x0102;
    uint16_t fw_ = 0x0210;
    uint32_t packetSize_ = 1024;
    uint32_t imageSize_ = 0;
    uint32_t next_ = 0;          // index of the packet expected next
    uint8_t config_[16] = {};
    std::vector<uint8_t> image_;
    std::vector<uint8_t> acc_;   // bytes not yet part of a whole frame
    Faults faults_;
    Stats stats_;
};

} // namespace kemusb::sim

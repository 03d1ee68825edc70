#pragma once
// The recording adapters' own commands on the direct-transfer channel, as
// the simulated TRND701 and TRND702 answer them. Requests and replies are
// the frames of KemSimFrames.h; a reply keeps the request's command,
// sequence and cipher flag. Reply payloads (the bytes after the command):
//
//   command 5 (set), payload: sub-command, then its data
//     0 start formatting the card         1
//     1 capacity                          card status (1 present, 3 none),
//                                         total MB u32 LE, free MB u32 LE
//     2 start the read/write speed test   1
//     3 set the clock: year u16 LE, month, day, hour, minute, second
//                                         1, or 0 when a field is out of range
//     4 read the clock                    1, year u16 LE, month, day, hour,
//                                         minute, second
//     other                               0
//   command 0xFF (query), payload: the sub-command of a disk operation
//                                         that sub-command, status (2 running,
//                                         1 done, 3 no card, 0 never started,
//                                         other failed), read and write speed
//                                         in MB/s u16 LE each (a test that
//                                         ended with 1 only, else zeros)
//   any other command                     1 and the request's payload (echo)
//
// A disk operation answers its first polls with status 2 and then its final
// status; the adapter's clock runs on the library's tick source.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kemusb::sim {

enum class SimDirectFault : uint8_t {
    None,
    NoAnswer,    // nothing comes back
    ShortAnswer, // the reply frame is cut to half its length
    BadCheck,    // the reply's check byte is wrong
};

class SimRecordDirect
{
public:
    SimRecordDirect();

    // The whole answer to one direct-transfer request (12 A7 and the
    // frame); empty when the adapter stays silent.
    std::vector<uint8_t> answer(const uint8_t *req, size_t len);

    // Test knobs (call under the world lock while threads run).
    // The next `count` requests of that command and sub-command (-1: any;
    // count -1: every one from now on) meet the fault; None clears it.
    void injectFault(SimDirectFault fault, int count = 1, int command = -1, int sub = -1);
    // Polls answered with status 2 before a disk operation reports
    // finalStatus; a test that ends with 1 reports the two speeds.
    void setDiskRun(int runningPolls, uint8_t finalStatus, uint16_t readMBs = 0, uint16_t writeMBs = 0);
    // The card: status 1 present, 3 none (a disk operation then ends with 3).
    void setCard(uint8_t status, uint32_t totalMb, uint32_t freeMb);
    // Sets the adapter's clock as the time-sync command does.
    bool setClock(int year, int month, int day, int hour, int minute, int second);

    // What the adapter went through.
    int formats() const { return ops_[0].started; }
    int speedTests() const { return ops_[1].started; }
    int polls() const { return polls_; }

private:
    struct Op {
        int started = 0;  // how often it was started
        int pollsLeft = 0;
        bool ran = false;
    };
    std::vector<uint8_t> reply(uint8_t command, const std::vector<uint8_t> &payload);
    std::vector<uint8_t> setCommand(const std::vector<uint8_t> &payload);
    std::vector<uint8_t> queryCommand(const std::vector<uint8_t> &payload);
    Op *op(uint8_t sub);
    SimDirectFault takeFault(uint8_t command, const std::vector<uint8_t> &payload);

    SimDirectFault fault_ = SimDirectFault::None;
    int faultLeft_ = 0;
    int faultCommand_ = -1;
    int faultSub_ = -1;

    int runningPolls_ = 2;
    uint8_t finalStatus_ = 1;
    uint16_t readMBs_ = 0;
    uint16_t writeMBs_ = 0;
    uint8_t cardStatus_ = 1;
    uint32_t totalMb_ = 0;
    uint32_t freeMb_ = 0;
    Op ops_[2]; // format, read/write test
    int polls_ = 0;

    int64_t clockBase_ = 0;     // seconds since 1970-01-01 when it was set
    uint64_t clockSetMs_ = 0;   // tick at that moment
};

} // namespace kemusb::sim

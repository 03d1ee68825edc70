#pragma once
// The recording adapter's own command set on its direct-transfer channel:
// storage-card format, capacity, read/write speed test, time sync, device
// time and the status poll of a running disk operation.
//
// A command is a command byte and a payload, packed into an enciphered frame
// (QUserProtocolFrame) in a 64-byte buffer, exchanged through
// KCAN_DataDirectTransfer and opened again. Reply byte 0 is the command byte
// of the answer; the reply count is the number of bytes the framer copied,
// never more than the capacity the caller gave. Every reader below checks
// that count before it touches a byte.

#include "kemusb/include/kcan_api.h"

#include <QDateTime>
#include <QString>

#include <cstdint>

class QUserRecordCmd
{
public:
    using TransferFn = decltype(&KCAN_DataDirectTransfer);

    enum : uint8_t {
        CmdSet = 5,      // sub-command and data
        CmdQuery = 0xFF, // the sub-command of the disk operation asked about
    };
    enum : uint8_t {
        SubFormat = 0,
        SubCapacity = 1,
        SubWRTest = 2,
        SubTimeSync = 3,
        SubTimeGet = 4,
    };
    // Status of a disk operation (poll byte and result code of the whole run).
    enum : int {
        StatusStartFailed = 0, // no task was started
        StatusDone = 1,
        StatusRunning = 2,
        StatusNoStorage = 3,
        StatusTimeOut = 4,
    };
    enum : int {
        FrameBufSize = 64,
        LongReplyCap = 64,  // start and poll replies
        ShortReplyCap = 32, // capacity, clock and time-sync replies
        MinStartReply = 2,
        MinCapacityReply = 10, // status [1], total [2..5], free [6..9]
        MinTimeSyncReply = 2,
        MinClockReply = 9,     // year [2..3], month .. second [4..8]
        MinPollReply = 3,      // status [2]
        MinSpeedReply = 7,     // read speed [3..4], write speed [5..6]
    };

    // Packs, transfers and opens one command. Returns the reply count (0
    // when the framer refused the answer), or -1 when the transfer brought
    // nothing ("ERROR:FD Record Cmd Fail,Usb Err..." in the debug log) or
    // there is no transfer function.
    static int exchange(TransferFn transfer, uint32_t devType, uint32_t devIndex, uint8_t command,
                        const uint8_t *payload, int payloadLen, uint8_t *reply, int capacity);

    // The eight payload bytes of the time sync: 3, year (LE), month, day,
    // hour, minute, second of the given local time.
    static void timeSyncPayload(const QDateTime &t, uint8_t out[8]);

    struct Capacity {
        int status = 0;
        uint32_t totalMb = 0;
        uint32_t freeMb = 0;
    };
    // False when the reply is too short to hold every field.
    static bool parseCapacity(const uint8_t *reply, int count, Capacity *out);
    // "2024-05-07 09:03:01"; false when the reply is too short.
    static bool parseClock(const uint8_t *reply, int count, QString *text);

    enum class Poll {
        Incomplete, // too short to read what it claims: ask again
        Running,
        Final,
    };
    // Reads one poll reply of the given kind (the polled sub-command): the
    // status, and for a read/write test that ended with status 1 the two
    // speeds, which need seven bytes.
    static Poll parsePoll(int kind, const uint8_t *reply, int count, int *status, uint32_t *readMBs,
                          uint32_t *writeMBs);
};

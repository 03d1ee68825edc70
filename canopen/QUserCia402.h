#pragma once
// The CiA 402 drive-profile steps of the drive panel: each operation appends
// to the caller's frame list the NMT command or the expedited SDO downloads
// (controlword 0x6040, modes of operation 0x6060, targets and profile
// values, all sub-index 0) that one step needs. Nothing is sent here.

#include "canopen/QUserCANopenFrame.h"

#include <QVector>

#include <cstdint>

// A profile position move as the drive panel's "开始" asks for it.
struct QUserCia402Move
{
    bool relative = false;
    int32_t target = 0;            // 0x607A
    uint32_t profileVelocity = 0;  // 0x6081
    uint32_t acceleration = 0;     // 0x6083
    uint32_t deceleration = 0;     // 0x6084
};

class QUserCia402
{
public:
    // The NMT state the drive panel shows (copied from the decoder).
    int nodeState = 4;

    // Controlword patterns.
    static constexpr uint16_t kShutdown = 0x0006;
    static constexpr uint16_t kSwitchOn = 0x0007;
    static constexpr uint16_t kEnableOperation = 0x000F;
    static constexpr uint16_t kHalt = 0x010F;
    static constexpr uint16_t kNewSetPoint = 0x001F;
    static constexpr uint16_t kNewSetPointRelative = 0x005F;
    static constexpr uint16_t kRelativeNoSetPoint = 0x004F;
    static constexpr uint16_t kHaltRelative = 0x014F;
    static constexpr uint16_t kFaultReset = 0x018F;
    // Enable operation with new set-point (bit 4) and change set immediately
    // (bit 5), absolute and relative (bit 6).
    static constexpr uint16_t kNewSetPointNow = 0x003F;
    static constexpr uint16_t kNewSetPointNowRelative = 0x007F;

    // The statusword shows "Operation enabled" (bits 0-3, 5, 6 read
    // x01x 0111, CiA 402).
    static bool operationEnabled(uint16_t statusword) { return (statusword & 0x006F) == 0x0027; }

    // One expedited download of `size` bytes (1, 2 or 4) of value.
    bool sdoWriteAppend(int node, uint16_t index, uint8_t subIndex, int size, uint32_t value,
                        QVector<QUserCanMsg> &list) const;

    bool nmtStart(int node, QVector<QUserCanMsg> &list) const;
    bool nmtStop(int node, QVector<QUserCanMsg> &list) const;
    bool nmtRestart(int node, QVector<QUserCanMsg> &list) const;
    // mode 0 profile velocity (3), 1 profile torque (4), 2 profile position (1).
    bool modeOfOperationSet(int node, int mode, QVector<QUserCanMsg> &list) const;
    bool servoEnable(int node, int mode, QVector<QUserCanMsg> &list) const;
    bool targetVelocitySet(int node, int32_t value, QVector<QUserCanMsg> &list) const;
    bool profileAccSet(int node, int32_t value, QVector<QUserCanMsg> &list) const;
    bool profileDecSet(int node, int32_t value, QVector<QUserCanMsg> &list) const;
    bool profileVelocitySet(int node, int32_t value, QVector<QUserCanMsg> &list) const;
    bool targetTorqueSet(int node, int32_t value, QVector<QUserCanMsg> &list) const;
    bool torqueSlopeSet(int node, int32_t value, QVector<QUserCanMsg> &list) const;
    bool targetPositionSet(int node, int32_t value, QVector<QUserCanMsg> &list) const;
    bool velStart(int node, QVector<QUserCanMsg> &list) const;
    bool velStop(int node, QVector<QUserCanMsg> &list) const;
    bool torStart(int node, QVector<QUserCanMsg> &list) const;
    bool torStop(int node, QVector<QUserCanMsg> &list) const;
    bool posAbsMoveStart(int node, int32_t position, QVector<QUserCanMsg> &list) const;
    // A whole profile position move. statusword and modeDisplay (0x6061)
    // are the drive's as just read, -1 when unknown. A drive that does not
    // show "Operation enabled" is enabled first (servoEnable, profile
    // position mode), then gets the profile values, the target and a new
    // set-point (0x001F / 0x005F). One that does is moving or ready under
    // power: Shutdown would switch its power stage off, so it goes straight
    // to the new set-point: profile position mode unless 0x6061 shows it,
    // the profile values and the target, then the new-set-point handshake
    // of CiA 402: bit 4 low (the drive drops the acknowledge of the set-point
    // it runs), then rising with change set immediately (0x003F / 0x007F),
    // so the drive takes the new target at once and runs on to it.
    bool posMoveStart(int node, const QUserCia402Move &move, int statusword, int modeDisplay,
                      QVector<QUserCanMsg> &list) const;
    bool posRelMoveStart(int node, int32_t position, QVector<QUserCanMsg> &list) const;
    // A position move under way only ends at its target unless the halt bit
    // is set: both stops set it (the drive decelerates with 0x6084 and
    // stands), clear the new-set-point bit and, for a relative move, keep
    // the relative bit.
    bool posAbsMoveStop(int node, QVector<QUserCanMsg> &list) const;
    bool posRelMoveStop(int node, QVector<QUserCanMsg> &list) const;

private:
    bool controlword(int node, uint16_t value, QVector<QUserCanMsg> &list) const;
    QUserCANopenFrame frame;
};

#pragma once
// The CiA 402 drive-profile steps of the drive panel: each operation appends
// to the caller's frame list the NMT command or the expedited SDO downloads
// (controlword 0x6040, modes of operation 0x6060, targets and profile
// values, all sub-index 0) that one step needs. Nothing is sent here.

#include "canopen/QUserCANopenFrame.h"

#include <QVector>

#include <cstdint>

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

#include "canopen/QUserCia402.h"

bool QUserCia402::sdoWriteAppend(int node, uint16_t index, uint8_t subIndex, int size, uint32_t value,
                                 QVector<QUserCanMsg> &list) const
{
    QString text = QString::asprintf("%02x%02x%02x%02x", value & 0xFFu, (value >> 8) & 0xFFu, (value >> 16) & 0xFFu,
                                     (value >> 24) & 0xFFu);
    QUserCanMsg msg;
    if (!frame.sdoFastWriteMsgCreat(msg, node, index, subIndex, size, text))
        return false;
    list.append(msg);
    return true;
}

bool QUserCia402::controlword(int node, uint16_t value, QVector<QUserCanMsg> &list) const
{
    return sdoWriteAppend(node, 0x6040, 0, 2, value, list);
}

bool QUserCia402::nmtStart(int node, QVector<QUserCanMsg> &list) const
{
    QUserCanMsg msg;
    if (!frame.nmtMsgCreat(msg, node, 0))
        return false;
    list.append(msg);
    return true;
}

bool QUserCia402::nmtStop(int node, QVector<QUserCanMsg> &list) const
{
    QUserCanMsg msg;
    if (!frame.nmtMsgCreat(msg, node, 1))
        return false;
    list.append(msg);
    return true;
}

bool QUserCia402::nmtRestart(int node, QVector<QUserCanMsg> &list) const
{
    return nmtStart(node, list) && controlword(node, kFaultReset, list);
}

bool QUserCia402::modeOfOperationSet(int node, int mode, QVector<QUserCanMsg> &list) const
{
    static const uint32_t modes[] = {3, 4, 1};
    if (mode < 0 || mode > 2)
        return false;
    return sdoWriteAppend(node, 0x6060, 0, 1, modes[mode], list);
}

bool QUserCia402::servoEnable(int node, int mode, QVector<QUserCanMsg> &list) const
{
    if (mode < 0 || mode > 2 || !QUserCANopenFrame::nodeIdValid(node))
        return false;
    return controlword(node, kShutdown, list) && controlword(node, kSwitchOn, list)
        && controlword(node, kHalt, list) && modeOfOperationSet(node, mode, list);
}

bool QUserCia402::targetVelocitySet(int node, int32_t value, QVector<QUserCanMsg> &list) const
{
    return sdoWriteAppend(node, 0x60FF, 0, 4, uint32_t(value), list);
}

bool QUserCia402::profileAccSet(int node, int32_t value, QVector<QUserCanMsg> &list) const
{
    return sdoWriteAppend(node, 0x6083, 0, 4, uint32_t(value), list);
}

bool QUserCia402::profileDecSet(int node, int32_t value, QVector<QUserCanMsg> &list) const
{
    return sdoWriteAppend(node, 0x6084, 0, 4, uint32_t(value), list);
}

bool QUserCia402::profileVelocitySet(int node, int32_t value, QVector<QUserCanMsg> &list) const
{
    return sdoWriteAppend(node, 0x6081, 0, 4, uint32_t(value), list);
}

bool QUserCia402::targetTorqueSet(int node, int32_t value, QVector<QUserCanMsg> &list) const
{
    return sdoWriteAppend(node, 0x6071, 0, 2, uint32_t(value), list);
}

bool QUserCia402::torqueSlopeSet(int node, int32_t value, QVector<QUserCanMsg> &list) const
{
    return sdoWriteAppend(node, 0x6087, 0, 4, uint32_t(value), list);
}

bool QUserCia402::targetPositionSet(int node, int32_t value, QVector<QUserCanMsg> &list) const
{
    return sdoWriteAppend(node, 0x607A, 0, 4, uint32_t(value), list);
}

bool QUserCia402::velStart(int node, QVector<QUserCanMsg> &list) const
{
    return controlword(node, kEnableOperation, list);
}

bool QUserCia402::velStop(int node, QVector<QUserCanMsg> &list) const
{
    return controlword(node, kHalt, list);
}

bool QUserCia402::torStart(int node, QVector<QUserCanMsg> &list) const
{
    return controlword(node, kEnableOperation, list);
}

bool QUserCia402::torStop(int node, QVector<QUserCanMsg> &list) const
{
    return controlword(node, kHalt, list);
}

bool QUserCia402::posAbsMoveStart(int node, int32_t position, QVector<QUserCanMsg> &list) const
{
    return targetPositionSet(node, position, list) && controlword(node, kNewSetPoint, list);
}

bool QUserCia402::posRelMoveStart(int node, int32_t position, QVector<QUserCanMsg> &list) const
{
    return targetPositionSet(node, position, list) && controlword(node, kNewSetPointRelative, list);
}

bool QUserCia402::posMoveStart(int node, const QUserCia402Move &move, int statusword, int modeDisplay,
                               QVector<QUserCanMsg> &list) const
{
    if (!QUserCANopenFrame::nodeIdValid(node))
        return false;
    const bool enabled = statusword >= 0 && operationEnabled(uint16_t(statusword));
    if (!enabled) {
        return servoEnable(node, 2, list) && profileVelocitySet(node, int32_t(move.profileVelocity), list)
            && profileAccSet(node, int32_t(move.acceleration), list)
            && profileDecSet(node, int32_t(move.deceleration), list)
            && (move.relative ? posRelMoveStart(node, move.target, list) : posAbsMoveStart(node, move.target, list));
    }
    if (modeDisplay != 1 && !modeOfOperationSet(node, 2, list))
        return false;
    return profileVelocitySet(node, int32_t(move.profileVelocity), list)
        && profileAccSet(node, int32_t(move.acceleration), list)
        && profileDecSet(node, int32_t(move.deceleration), list) && targetPositionSet(node, move.target, list)
        && controlword(node, move.relative ? kRelativeNoSetPoint : kEnableOperation, list)
        && controlword(node, move.relative ? kNewSetPointNowRelative : kNewSetPointNow, list);
}

bool QUserCia402::posAbsMoveStop(int node, QVector<QUserCanMsg> &list) const
{
    return controlword(node, kHalt, list);
}

bool QUserCia402::posRelMoveStop(int node, QVector<QUserCanMsg> &list) const
{
    return controlword(node, kHaltRelative, list);
}

#include "dbc/DbcSignalPage.h"

#include "dbc/DbcRecord.h"

#include <algorithm>

namespace DbcSignalPage {

bool fieldFits(qint64 startBit, qint64 length, bool motorola, quint32 dataLen)
{
    if (startBit < 0 || length < 0 || length > 64)
        return false;
    const qint64 bits = qint64(dataLen) * 8;
    if (!motorola)
        return startBit + length <= bits;
    if (startBit + 1 > bits)
        return false;
    // From the start bit down to bit 0 of its byte, then whole bytes.
    const qint64 inFirst = startBit % 8 + 1;
    qint64 bytes = 1;
    if (length > inFirst)
        bytes += (length - inFirst + 7) / 8;
    return startBit / 8 + bytes <= qint64(dataLen);
}

bool fieldFits(const DbcSignal &sig, quint32 dataLen)
{
    return fieldFits(sig.nStartBit, sig.nLen, sig.isMotorola != 0, dataLen);
}

int switchSlot(const DbcMessage &msg)
{
    const quint32 n = std::min<quint32>(msg.nSignalCount, KDBC_MAX_SIGNALS);
    for (quint32 i = 0; i < n; ++i)
        if (msg.sSignals[i].multiplexerType == KDBC_MUX_SWITCH)
            return int(i);
    return -1;
}

int switchIndex(const QUserDbcMsg &msg)
{
    for (int i = 0; i < msg.vSignals.size(); ++i)
        if (msg.vSignals.at(i).multiplexerType == KDBC_MUX_SWITCH)
            return i;
    return -1;
}

quint64 switchValue(const QUserDbcSignal &sw)
{
    return DbcSignalRecord::rawToLib(sw.isSigned != 0, sw.nLen, sw.nRawValue);
}

bool onPage(quint8 multiplexerType, quint32 multiplexerValue, quint64 value)
{
    return multiplexerType != KDBC_MUX_MULTIPLEXED || quint64(multiplexerValue) == value;
}

QVector<int> carried(const QUserDbcMsg &msg)
{
    QVector<int> out;
    out.reserve(msg.vSignals.size());
    const int sw = switchIndex(msg);
    const quint64 value = sw >= 0 ? switchValue(msg.vSignals.at(sw)) : 0;
    for (int i = 0; i < msg.vSignals.size(); ++i) {
        const QUserDbcSignal &s = msg.vSignals.at(i);
        if (sw < 0 || onPage(s.multiplexerType, s.multiplexerValue, value))
            out.append(i);
    }
    return out;
}

} // namespace DbcSignalPage

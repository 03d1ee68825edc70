#include "dbc/DbcRecord.h"

#include "core/QUserCanMsg.h"
#include "dbc/DbcLibText.h"

#include <algorithm>

namespace DbcSignalRecord {

namespace {
bool isSignField(bool isSigned, quint32 nLen)
{
    return isSigned && nLen >= 1 && nLen < 64;
}
} // namespace

qint64 rawFromLib(bool isSigned, quint32 nLen, quint64 bits)
{
    if (!isSignField(isSigned, nLen))
        return qint64(bits);
    const quint64 mask = (quint64(1) << nLen) - 1;
    quint64 v = bits & mask;
    if ((v >> (nLen - 1)) & 1)
        v |= ~mask;
    return qint64(v);
}

quint64 rawToLib(bool isSigned, quint32 nLen, qint64 raw)
{
    if (!isSignField(isSigned, nLen))
        return quint64(raw);
    return quint64(raw) & ((quint64(1) << nLen) - 1);
}

QUserDbcSignal fromLib(const DbcSignal &s)
{
    QUserDbcSignal r;
    r.nStartBit = s.nStartBit;
    r.nLen = quint32(s.nLen);
    r.nFactor = s.nFactor;
    r.nOffset = s.nOffset;
    r.nMin = s.nMin;
    r.nMax = s.nMax;
    r.isSigned = s.isSigned;
    r.isMotorola = s.isMotorola;
    r.multiplexerType = s.multiplexerType;
    r.valType = s.valType;
    r.multiplexerValue = quint32(s.multiplexerValue);
    r.nRawValue = rawFromLib(s.isSigned != 0, r.nLen, s.nRawValue);
    r.unit = DbcLibText::fromField(s.unit);
    r.strName = DbcLibText::fromField(s.strName);
    r.strComment = DbcLibText::fromField(s.strComment);
    r.chartEnable = 0;
    r.nPhysicalValue = 0.0;
    r.nChartTime = getCurrentMs();
    return r;
}

bool toLib(const QUserDbcSignal &sig, DbcSignal *out)
{
    if (!out)
        return false;
    out->nStartBit = sig.nStartBit;
    out->nLen = qint32(sig.nLen);
    out->nFactor = sig.nFactor;
    out->nOffset = sig.nOffset;
    out->nMin = sig.nMin;
    out->nMax = sig.nMax;
    out->nRawValue = rawToLib(sig.isSigned != 0, sig.nLen, sig.nRawValue);
    out->isSigned = sig.isSigned;
    out->isMotorola = sig.isMotorola;
    out->multiplexerType = sig.multiplexerType;
    out->valType = sig.valType;
    out->multiplexerValue = qint32(sig.multiplexerValue);
    DbcLibText::toField(sig.unit, out->unit);
    DbcLibText::toField(sig.strName, out->strName);
    DbcLibText::toField(sig.strComment, out->strComment);
    return true;
}

} // namespace DbcSignalRecord

namespace DbcMessageRecord {

QUserDbcMsg fromLib(const DbcMessage &m)
{
    QUserDbcMsg r;
    r.nID = m.nID;
    r.nSize = m.nSize;
    r.nCycleTime = m.nCycleTime;
    r.nExtend = m.nExtend;
    r.strName = DbcLibText::fromField(m.strName);
    r.strComment = DbcLibText::fromField(m.strComment);
    r.nFrameTime = 0;
    r.strFrameId = QStringLiteral("");
    r.strData.clear();
    const quint32 n = std::min<quint32>(m.nSignalCount, KDBC_MAX_SIGNALS);
    r.vSignals.reserve(int(n));
    for (quint32 i = 0; i < n; ++i) {
        QUserDbcSignal s = DbcSignalRecord::fromLib(m.sSignals[i]);
        s.msgName = r.strName;
        s.msgId = r.nID;
        r.vSignals.append(s);
    }
    return r;
}

bool toLib(const QUserDbcMsg &msg, DbcMessage *out)
{
    if (!out)
        return false;
    out->nID = msg.nID;
    out->nSize = msg.nSize;
    out->nCycleTime = msg.nCycleTime;
    out->nExtend = msg.nExtend;
    DbcLibText::toField(msg.strName, out->strName);
    DbcLibText::toField(msg.strComment, out->strComment);
    out->nSignalCount = 0;
    for (const QUserDbcSignal &s : msg.vSignals) {
        if (out->nSignalCount >= KDBC_MAX_SIGNALS)
            break;
        DbcSignalRecord::toLib(s, &out->sSignals[out->nSignalCount]);
        ++out->nSignalCount;
    }
    return true;
}

} // namespace DbcMessageRecord

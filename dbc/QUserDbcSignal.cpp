#include "dbc/QUserDbcSignal.h"

bool QUserDbcSignal::isRawInRange() const
{
    if (nLen >= 64)
        return true;
    if (nLen == 0)
        return nRawValue == 0;
    if (isSigned) {
        const qint64 half = qint64(1) << (nLen - 1);
        return nRawValue >= -half && nRawValue < half;
    }
    return nRawValue >= 0 && quint64(nRawValue) < (quint64(1) << nLen);
}

bool QUserDbcSignal::isPhysicalInRange() const
{
    if (!hasRange())
        return true;
    // Written as an inclusive range test so that a NaN value is out of range.
    return nMin <= nPhysicalValue && nPhysicalValue <= nMax;
}

QString QUserDbcSignal::rawHexText() const
{
    quint64 v = quint64(nRawValue);
    if (nLen >= 1 && nLen < 64 && isRawInRange())
        v &= (quint64(1) << nLen) - 1;
    return QString::number(v, 16).toUpper();
}

bool QUserDbcSignal::isValid() const
{
    return isPhysicalInRange() && isRawInRange();
}

#pragma once
// One DBC signal as the program keeps it: the signal's definition from the
// DBC file, its last raw and physical value, and what the windows add to it
// (owning message, chart colour and switch, time of the last chart point,
// value descriptions). A plain value type; texts and the description map are
// shared copy-on-write, so copies are cheap and independent.

#include <QList>
#include <QMap>
#include <QMetaType>
#include <QString>
#include <QStringList>

#include <cstdint>

class QUserDbcSignal
{
public:
    QUserDbcSignal() = default;

    quint32 msgId = 0;         // nID of the owning message, bit 31 included
    QString msgName;           // name of the owning message
    QString color;             // "r,g,b", three decimals 0..255
    quint8 chartEnable = 0;    // 1: drawn in the chart
    qint64 nChartTime = 0;     // host ms of the last chart point
    qint32 nStartBit = 0;      // start bit as written in the DBC file
    quint32 nLen = 0;          // length in bits, 1..64
    double nFactor = 1.0;      // physical = raw * factor + offset
    double nOffset = 0.0;
    double nMin = 0.0;         // physical limits, both inclusive
    double nMax = 0.0;
    qint64 nRawValue = 0;      // last raw value; a signed signal's as a signed number
    double nPhysicalValue = 0.0;
    quint8 isSigned = 0;       // 1: two's complement field
    quint8 isMotorola = 0;     // 1: Motorola byte order, 0: Intel
    quint8 multiplexerType = 0; // 0 plain, 1 multiplexed, 2 multiplexer switch
    quint8 valType = 0;
    quint32 multiplexerValue = 0; // switch value of a multiplexed signal
    QString unit;
    QString strName;
    QString strComment;
    QMap<double, QString> valDesPair; // value descriptions, ascending value

    // True when the physical value is in range (isPhysicalInRange) and the
    // raw value fits the signal's bits: unsigned, 0 <= raw < 2^nLen (any
    // value for 64 bits); signed, -2^(nLen-1) <= raw < 2^(nLen-1).
    bool isValid() const;
    // False for the range [0|0], the way DBC files say a signal has none.
    bool hasRange() const { return !(nMin == 0.0 && nMax == 0.0); }
    // True when nMin <= nPhysicalValue <= nMax, or when there is no range.
    bool isPhysicalInRange() const;
    // True when the raw value fits the signal's bits (the second half of
    // isValid).
    bool isRawInRange() const;
    // The raw value as both DBC windows show it, upper-case hexadecimal: a
    // value that fits the signal as its bit field, the signal's own width
    // (a signed -5 of 8 bits is FB, what a user types back), anything else
    // as its 64 bits, so that nothing out of range looks as if it fitted.
    QString rawHexText() const;

    // Appends the property rows of the signal (label, value) to rows; never
    // clears them. Returns 1.
    int infoRows(QList<QStringList> &rows) const;
};

Q_DECLARE_METATYPE(QUserDbcSignal)

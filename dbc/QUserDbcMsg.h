#pragma once
// One DBC message as the program keeps it: the message's definition from the
// DBC file with its signals, and the last frame seen (or built) for it. A
// plain value type; texts and the signal vector are shared copy-on-write.

#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QVector>

#include "dbc/QUserDbcSignal.h"

class QUserDbcMsg
{
public:
    QUserDbcMsg() = default;

    QString strData;           // data of the last frame, hex, two digits a byte, no blanks
    QString strFrameId = QStringLiteral(""); // identifier text of the last frame (hex); empty, not null
    qint64 nFrameTime = 0;     // host ms of the last frame
    quint32 nID = 0;           // identifier as in the DBC file, bit 31: extended
    quint32 nSize = 0;         // data length in bytes, 0..64
    double nCycleTime = 0.0;   // ms
    quint8 nExtend = 0;        // 1 extended, 0 standard
    QVector<QUserDbcSignal> vSignals; // in DBC order
    QString strName;
    QString strComment;

    // Records the last frame of this message: its host time, identifier
    // text, extended flag and data text. Returns 1.
    int setFrame(qint64 timeMs, const QString &idText, bool extended, const QString &dataText);

    // False for an empty identifier text; otherwise whether the text (blanks
    // removed) is a hexadecimal identifier that fits 29 bits (extended) or
    // 11 bits (standard).
    bool isIdValid() const;

    // Append the property rows (label, value) of the message, or of its
    // last frame, to rows; never clear them. Return 1.
    int infoRows(QList<QStringList> &rows) const;
    int frameInfoRows(QList<QStringList> &rows) const;
};

Q_DECLARE_METATYPE(QUserDbcMsg)

#pragma once
// Conversions between the program's DBC records and kemsig's fixed-layout
// records. Texts cross as UTF-8 (kemsig's own encoding), cut at a character
// boundary within the record's byte limits: name 127 bytes, comment 200,
// unit 10.
//
// Raw values: kemsig holds a signal's raw value as the bit field, zero-
// extended to 64 bits. The program holds a signed signal's raw value as a
// signed number (what KDBC_CalcRawValue gives), so a signed field of 1 to 63
// bits is sign-extended on the way in and cut back to its bits on the way
// out; an unsigned or 64-bit field keeps its 64 bits as they are.

#include "dbc/QUserDbcMsg.h"
#include "dbc/QUserDbcSignal.h"
#include "kemsig/include/kemsig.h"

namespace DbcMessageRecord {

// A new record from a kemsig message: identifier, size, cycle time, extended
// flag, name and comment; each of the first nSignalCount signals (at most
// 256) converted, with msgName and msgId set to the message's. No frame yet.
QUserDbcMsg fromLib(const DbcMessage &msg);

// Overwrites the fields of *out that a message record carries (identifier,
// size, cycle time, extended flag, name, comment, signal count and the used
// signal slots); other bytes keep what they held. A message with more than
// 256 signals hands over its first 256. False only for a null out.
bool toLib(const QUserDbcMsg &msg, DbcMessage *out);

} // namespace DbcMessageRecord

namespace DbcSignalRecord {

// A new record from a kemsig signal: definition, raw value, unit, name and
// comment; chartEnable 0, nPhysicalValue 0, nChartTime now; colour, message
// name and value descriptions empty, msgId 0.
QUserDbcSignal fromLib(const DbcSignal &sig);

// Overwrites the definition, raw value, flags, unit, name and comment of
// *out; the reserved bytes keep what they held. msgId, msgName, color,
// chartEnable, nChartTime, nPhysicalValue and valDesPair are not carried.
// False only for a null out.
bool toLib(const QUserDbcSignal &sig, DbcSignal *out);

// The raw value of a signal from kemsig's bit field (sign-extended for a
// signed field of 1..63 bits), and back.
qint64 rawFromLib(bool isSigned, quint32 nLen, quint64 bits);
quint64 rawToLib(bool isSigned, quint32 nLen, qint64 raw);

} // namespace DbcSignalRecord

#pragma once
// Which signals of a DBC message a frame carries.
//
// A multiplexed message has one switch signal (marked M in the file) and
// pages of multiplexed signals (marked m and the switch value); the pages
// usually share their bits. A frame carries the plain signals, the switch
// and the signals of the page its switch value selects, nothing else: the
// analysis window updates only those, and the send window writes only
// those into the frame. A message without a switch has no pages: every
// signal counts as carried.
//
// A signal whose bit field runs past the frame's data is not carried
// either (kemsig then leaves its raw value untouched).

#include <QVector>

#include "dbc/QUserDbcMsg.h"
#include "kemsig/include/kemsig.h"

namespace DbcSignalPage {

// True when the signal's bit field lies inside `dataLen` data bytes, in the
// signal's byte order (Intel: start .. start + length - 1 rising; Motorola:
// from the start bit down, on at bit 7 of each next byte).
bool fieldFits(qint64 startBit, qint64 length, bool motorola, quint32 dataLen);
bool fieldFits(const DbcSignal &sig, quint32 dataLen);

// Slot of the message's switch signal (the first one marked M), or -1.
int switchSlot(const DbcMessage &msg);
int switchIndex(const QUserDbcMsg &msg);

// The switch value a signal's raw value stands for: its bit field, so that
// a signed switch compares as the file writes page numbers.
quint64 switchValue(const QUserDbcSignal &sw);

// True when a signal belongs to the page `value` of its message's switch
// (plain signals and the switch itself belong to every page).
bool onPage(quint8 multiplexerType, quint32 multiplexerValue, quint64 value);

// The signals a frame of the message carries, with the switch at its
// current raw value: indices into vSignals, in file order.
QVector<int> carried(const QUserDbcMsg &msg);

} // namespace DbcSignalPage

#pragma once
// Stateless helpers: the CAN FD bit-timing word, the classic BTR0/BTR1 pair,
// the custom bit-rate text handed to the adapter library, the valid frame
// lengths and the length code of CAN FD, colours to and from text.
//
// CAN FD bit-timing word: bits 0-7 TSEG1-1, 8-14 TSEG2-1, 15-21 SJW-1,
// 22-31 prescaler-1.

#include <QColor>
#include <QString>
#include <QStringList>

#include <cstdint>

int unpackFdBaudTiming(uint32_t word, int &brp, int &sjw, int &tseg1, int &tseg2);
int unpackFdBaudTiming(uint32_t word, int *brp, int *sjw, int *tseg1, int *tseg2);
// Values are neither masked nor checked: keep them in range
// (prescaler 1-1024, SJW 1-128, TSEG1 1-256, TSEG2 1-128).
int packFdBaudTiming(int brp, int sjw, int tseg1, int tseg2, uint32_t &word);
int packFdBaudTiming(int brp, int sjw, int tseg1, int tseg2, uint32_t *word);

// Classic bus-timing registers: prescaler in controller-clock periods
// ((BTR0 & 0x3F) * 2 + 2), SJW as the two bits BTR0 & 0xC0 left in place,
// TSEG1 = (BTR1 & 0x0F) + 1, TSEG2 = ((BTR1 >> 4) & 7) + 1.
int unpackBtr(uint8_t btr0, uint8_t btr1, int &brp, int &sjw, int &tseg1, int &tseg2);
int unpackBtr(uint8_t btr0, uint8_t btr1, int *brp, int *sjw, int *tseg1, int *tseg2);

// "500.000Kbps(80.0%),500.000Kbps(80.0%),(60,0141830E,0141830E)"
int calcBaudText(int clockMHz, uint32_t arbWord, uint32_t dataWord, QString &text);

// Appends "0".."8", and for CAN FD also "12".."64", to the list.
bool getLenList(bool fd, QStringList &list);
// Position of the length in the CAN FD list; 0 when it is not a valid length.
int lenToDlc(int len);
// Largest valid length not above len; 0 when len is negative or beyond the
// list's last entry.
int getValidLen(bool fd, int len);

QString colorToText(const QColor &color);
QColor textToColor(const QString &text);

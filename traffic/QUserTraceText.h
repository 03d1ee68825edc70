#pragma once
// Small text and length helpers shared by the two trace-file formats. They
// work on the frame record's texts without building temporary strings, since
// they run once per frame on the recording path.

#include <QString>

#include <cstdint>
#include <string>

namespace tracetext {

// Position of a length in 0..8, 12, 16, 20, 24, 32, 48, 64; -1 when the
// length is not in the list.
int dlcOfLength(int len);
// Largest valid length not above `len` (classic: 0..8; CAN FD: the list
// above); negative lengths give 0.
int validLength(bool fd, int len);
// Frame length of a DLC code (0..15) on CAN FD.
int lengthOfDlc(int dlc);

// The text with every white-space character removed, as Latin-1 bytes.
void compactLatin1(const QString &text, std::string &out);
// Hex digits fitted to `bytes` bytes, giving the bytes the transmit path
// sends for the same text: non-digits dropped, a leading "0" for an odd
// count, then cut, or padded with "0" at the end.
void fitHex(std::string &hex, int bytes);
// Decimal value of a text (surrounding white space allowed); `fallback`
// when it does not read as a 32-bit signed number.
int decimalOf(const QString &text, int fallback = 0);
// Hexadecimal value of a text (surrounding white space and a "0x" prefix
// allowed) when it reads as a non-negative 32-bit signed number; else 0.
uint32_t hexIdOf(const QString &text);

} // namespace tracetext

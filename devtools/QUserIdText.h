#pragma once
// Identifier and register texts typed by the user or read from settings
// files: strict hexadecimal reads that tell a bad text from a 0.

#include <QString>

#include <cstdint>

namespace devtext {

// Removes every white-space character and reads the rest as a hexadecimal
// number of 1 to 8 digits, a leading "0x"/"0X" allowed. True and *value set
// only when it reads so and lies in 0..0x1FFFFFFF (extended) or 0..0x7FF.
bool canIdParse(bool extended, const QString &text, uint32_t *value);

// The text, trimmed at both ends, as minDigits..maxDigits hexadecimal digits
// (no prefix, no inner blanks). True and *value set only then.
bool hexFieldParse(const QString &text, int minDigits, int maxDigits, uint32_t *value);

} // namespace devtext

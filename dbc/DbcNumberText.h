#pragma once
// Number texts of the DBC project file and the property rows, always in the
// C notation (point as decimal separator, no grouping) whatever the process
// locale is.

#include <QString>

namespace DbcNumberText {

// General form with 16 significant digits, trailing zeros removed, exponent
// form for very small and very large values (0.1, 100, 1e-05).
QString g16(double v);
// Fixed form with exactly 16 digits after the point (3.0000000000000000).
QString f16(double v);

// Readers of the texts above. Each returns 0 for a text that is not such a
// number (ok, when given, tells which). Blanks around the number are allowed.
double toDouble(const QString &text, bool *ok = nullptr);
quint32 toUInt32(const QString &text, bool *ok = nullptr);
// Signed decimal; an unsigned decimal beyond the signed range (up to 2^64-1)
// is read as the same 64 bits.
qint64 toInt64(const QString &text, bool *ok = nullptr);
// Signed 32-bit decimal; an unsigned one up to 2^32-1 gives the same 32 bits.
qint32 toInt32(const QString &text, bool *ok = nullptr);

} // namespace DbcNumberText

#pragma once
// Small text helpers of the CANopen frame code.

#include <QByteArray>
#include <QChar>
#include <QString>

namespace canopen {

// Value of one hexadecimal digit, -1 for anything else.
int hexDigit(QChar c);
// The text without any white space.
QString removeBlanks(const QString &text);
// Pairs of hexadecimal digits from the start (either case); reading stops at
// the first pair that is not two digits, so a short or broken text gives
// fewer bytes, never invented ones.
QByteArray dataBytes(const QString &textWithoutBlanks);
// The Chinese word through the translation catalogue (context QObject).
QString word(const char *text);

} // namespace canopen

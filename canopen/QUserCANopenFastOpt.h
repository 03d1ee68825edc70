#pragma once
// One quick-operation row of the CANopen window: a frame in the short text
// form "S,D,123,00 01 02 03 04 05 06 07" (format S/E, type D/R, hexadecimal
// identifier, data bytes) and a free description.

#include "core/QUserCanMsg.h"

#include <QString>

class QLineEdit;
class QPushButton;

struct QUserCANopenFastOpt
{
    QString msgText;
    QString descText;
    QLineEdit *msgEdit = nullptr;      // set while the quick-operation page exists
    QLineEdit *descEdit = nullptr;
    QPushButton *sendButton = nullptr;

    static QString defaultMsgText() { return QStringLiteral("S,D,123,00 01 02 03 04 05 06 07"); }
    static QString defaultDescText() { return QStringLiteral("空"); }

    // True for a valid frame text: exactly four fields; "S" or "E"; "D" or
    // "R"; 1-8 hexadecimal identifier digits; data empty or hexadecimal
    // (white space removed).
    static bool msgCheck(const QString &text);
    // Fills a fresh frame from a valid text (classic CAN, tag 104, length =
    // whole data bytes, at most 8); false, frame untouched, otherwise.
    static bool msgParse(const QString &text, QUserCanMsg &msg);
};

#pragma once
// Texts crossing into and out of kemsig's records. kemsig keeps every name,
// unit and comment as UTF-8 in fixed fields with a NUL, and its limits count
// bytes; a text written here is cut at a character boundary so that it never
// ends in half a character.

#include <QByteArray>
#include <QString>

#include <cstddef>

namespace DbcLibText {

// The bytes of a field up to its first NUL (never past the field), decoded
// as UTF-8.
QString fromField(const char *field, size_t fieldSize);

// The UTF-8 form of text, cut to at most maxBytes at a character boundary.
QByteArray toUtf8Cut(const QString &text, int maxBytes);

// Zeroes the field and writes text into it: UTF-8, at most fieldSize - 1
// bytes, cut at a character boundary, NUL-terminated.
void toField(const QString &text, char *field, size_t fieldSize);

template <size_t N>
QString fromField(const char (&field)[N])
{
    return fromField(field, N);
}

template <size_t N>
void toField(const QString &text, char (&field)[N])
{
    toField(text, field, N);
}

// A signal name as kemsig looks it up (value descriptions): UTF-8, cut like
// the name field of its signal record (127 bytes). NUL-terminated through
// QByteArray::constData().
QByteArray signalNameKey(const QString &name);

} // namespace DbcLibText

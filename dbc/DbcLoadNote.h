#pragma once
// What a DBC load tells beside its messages: the encoding kemsig read the
// file in, the lines it could not read and the extended multiplexing it
// does not read. The load steps of both DBC windows log it, and the windows
// show it after the load; a file of which no line could be read while some
// were damaged is a failed load ("解析失败").

#include <QString>

#include "kemsig/include/kemsig.h"

class QKemsigLib;

namespace DbcLoadNote {

// The report of the handle's last load; all zero when the library offers
// none.
DbcLoadReport read(const QKemsigLib &lib, DbcDatabase *db);

// True when no line of the file could be read and some were damaged.
bool nothingRead(const DbcLoadReport &r);

// Writes the log lines of the load of `path`.
void log(const QString &path, const DbcLoadReport &r);

// The note a window shows after a load (translated); empty when the load
// has nothing to tell.
QString windowText(const DbcLoadReport &r);

// "UTF-8", "UTF-8 BOM", "GBK", "CP1252", "ASCII".
QString encodingName(quint32 encoding);

} // namespace DbcLoadNote

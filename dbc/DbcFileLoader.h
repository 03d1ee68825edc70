#pragma once
// Reading a DBC file through kemsig into the program's records: the step a
// DBC load job runs in its worker thread, with a library object and a handle
// of its own (never a window's). Both DBC windows' load jobs can use it.
//
// load() binds kemsig, parses the file into a fresh handle, sets the
// protocol the caller asks for (it only decides kemsig's key order, in which
// the messages come back), reads every message by index and every signal's
// value descriptions (at most 16 each), and releases the handle and the
// library object whatever the outcome.

#include "dbc/QUserDbcMsg.h"
#include "kemsig/include/kemsig.h"

#include <QByteArray>
#include <QString>
#include <QVector>

#include <atomic>

namespace DbcFileLoader {

enum Result {
    Loaded = 0,        // messages read
    EmptyPath = 1,     // no path given
    LibLoadFailed = 2, // kemsig could not be loaded (or lacks a function the load needs)
    InitFailed = 3,    // KDBC_Init gave no handle
    ParseFailed = 4,   // KDBC_LoadFile refused the file (it could not be opened), or no line
                       // of it could be read while some were damaged
    Stopped = 5        // the stop flag was raised; messages hold what was read
};

// The bytes handed to KDBC_LoadFile: the path in the platform's file-name
// encoding (UTF-8 here, the ANSI code page on Windows), never cut.
QByteArray pathBytes(const QString &path);

// Empties `messages` and fills it in kemsig's key order. `stop`, when given,
// is polled between messages. `libName` is the name the program knows the
// library by. `report`, when given, receives what kemsig made of the file
// (all zero when it was not read); the load logs it (DbcLoadNote).
int load(const QString &path, int protocol, QVector<QUserDbcMsg> &messages,
         const std::atomic<bool> *stop = nullptr, const QString &libName = QStringLiteral("kemsig.dll"),
         DbcLoadReport *report = nullptr);

} // namespace DbcFileLoader

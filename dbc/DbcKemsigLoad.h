#pragma once
// The load step both DBC windows run in their worker threads: a DBC file
// parsed by an instance of kemsig of the caller's own (its own library
// object and its own handle, released before returning) and read back as the
// program's records, with every signal's value descriptions (at most 16).
// Nothing here touches a window; the caller hands the messages over.

#include <QByteArray>
#include <QString>
#include <QVector>

#include <atomic>

#include "dbc/QUserDbcMsg.h"
#include "kemsig/include/kemsig.h"

namespace DbcKemsigLoad {

// Outcomes of a load, as the windows report them.
enum Result {
    Done = 0,          // "操作完成!"
    EmptyPath = 1,     // "DBC文件加载失败,路径空!!!"
    LibLoadFailed = 2, // "DBC库加载失败!!!"
    InitFailed = 3,    // "DBC库初始化设备失败!!!"
    ParseFailed = 4,   // the file could not be opened by kemsig, or no line of it could be
                       // read while some were damaged
    Cancelled = 5      // a stop was requested before the load was through
};

// Parses the DBC file at path and fills out with its messages in kemsig's
// key order (out is emptied first; on any result but Done it stays empty).
// libFileName is the library as the program names it ("kemsig.dll"). stop,
// when given, is polled after the parse and between messages.
// `report`, when given, receives what kemsig made of the file (all zero
// when it was not read); the load logs it (DbcLoadNote).
int loadFile(const QString &path, QVector<QUserDbcMsg> &out, const std::atomic<bool> *stop = nullptr,
             const QString &libFileName = QStringLiteral("kemsig.dll"), DbcLoadReport *report = nullptr);

// Tests only: a function every load calls first, in the thread the load runs
// in (nullptr: none). It lets a test hold a load up for a while.
using LoadHook = void (*)(const QString &path);
void setLoadHookForTest(LoadHook hook);

// The path as kemsig's file open wants it: the file-system encoding of this
// platform (UTF-8 here, the ANSI code page on Windows), NUL-terminated
// through QByteArray::constData().
QByteArray pathBytes(const QString &path);

} // namespace DbcKemsigLoad

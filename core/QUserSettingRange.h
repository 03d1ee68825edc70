#pragma once
// Numbers read back from the settings files ("sys.ini", the per-window files
// in "setting/", project files) are checked where they are read. A number
// that sizes memory, sets a count, a period or a time-out is taken only
// inside the range the program can live with; anything else (out of range,
// not a whole number, empty) gives the reader's default and one log line
// naming the file, the key and the value found.
//
// The stores also report every key they are asked for to a watcher, when one
// is set (a test lists the keys the program reads this way).

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>

namespace settingrange {

// The text (blanks around it ignored) as a decimal whole number when it lies
// in [lo, hi]; otherwise def, with the log line. `source` names the file.
int64_t bounded(const QString &source, const QString &key, const QString &text, int64_t lo, int64_t hi,
                int64_t def);
int boundedInt(const QString &source, const QString &key, const QString &text, int lo, int hi, int def);

// A stored splitter state, or an empty one (with the log line) when its list
// of section sizes claims more entries than the state holds: the framework
// reserves room for the claimed count before it reads a single entry, so a
// state of a dozen bytes could ask for gigabytes.
QByteArray splitterState(const QString &source, const QString &key, const QByteArray &state);

// The log line of a refused value (also for readers that check a value of
// their own form).
void refusedLog(const QString &source, const QString &key, const QString &text, const QString &range,
                const QString &taken);

// Called with the source and key of every read of the stores while set; an
// empty function ends the watch. Reads may come from any thread.
using ReadWatch = std::function<void(const QString &source, const QString &key)>;
void readWatchSet(const ReadWatch &watch);
void readNote(const QString &source, const QString &key);

} // namespace settingrange

#pragma once
// Routes every message of the Qt message channel, from any thread, into
// "log/kem.log" (one "yyyy-MM-dd hh:mm:ss [LEVEL] text" line each) and echoes
// it to standard output. The file rolls to "kem<yyyy-MM-dd>.log" at the first
// ten-minute check after the date changed; at start, files of the log
// directory older than 30 days are removed (never the active kem.log).
// A timer writes the stream out every second; a fatal message and the end of
// the process (return from main, exit) write it out at once, so the last
// lines before a shutdown are never lost.

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QString>
#include <QtGlobal>

#include <functional>

class QFile;
class QTextStream;
class QTimer;

// The log file, its stream and its date. Not locked: the handler calls it
// under its mutex; tests drive it directly.
class QUserLogState
{
public:
    using DateSource = std::function<QDate()>;
    using FileTimeSource = std::function<QDateTime(const QFileInfo &)>;

    explicit QUserLogState(const QString &dir = QStringLiteral("log"), DateSource today = {},
                           FileTimeSource fileTime = {});
    ~QUserLogState();
    QUserLogState(const QUserLogState &) = delete;
    QUserLogState &operator=(const QUserLogState &) = delete;

    // First call: opens kem.log for appending and purges old files. Later
    // calls: rolls the file when the date has changed.
    void openLogFile();
    void writeLine(QtMsgType type, const QString &text);
    void flush();

    // Creation time of a file, or its last-modified time where the file
    // system keeps no creation time.
    static QDateTime fileTime(const QFileInfo &info);
    static QString levelWord(QtMsgType type);
    static QString formatLine(const QDateTime &when, QtMsgType type, const QString &text);

    QString logPath() const { return path; }
    QDate logDate() const { return date; }
    bool hasStream() const { return stream != nullptr; }

    // The timers (made by startTimers, in the calling thread).
    void startTimers(const std::function<void()> &roll, const std::function<void()> &flush);

private:
    QDate today() const { return todaySource ? todaySource() : QDate::currentDate(); }
    void purgeOld();
    void closeFile();
    void openFile(bool append);

    QDir logDir;
    QString path;
    QDate date;
    QFile *file = nullptr;
    QTextStream *stream = nullptr;
    QTimer *rollTimer = nullptr;
    QTimer *flushTimer = nullptr;
    DateSource todaySource;
    FileTimeSource fileTimeSource;
};

class QUserLogHandler
{
public:
    static QUserLogHandler &instance();
    void installMessageHandler();
    static void messageHandler(QtMsgType type, const QMessageLogContext &context, const QString &text);

    // The installed state (null before installMessageHandler).
    QUserLogState *state() const { return logState; }
    // Runs the roll check or the flush now, as the timers do (under the mutex).
    void rollCheck();
    void flushNow();

private:
    QUserLogHandler();
    QUserLogState *logState = nullptr;
};

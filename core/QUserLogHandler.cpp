#include "core/QUserLogHandler.h"

#include <QFile>
#include <QMutex>
#include <QMutexLocker>
#include <QTextStream>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace {

QMutex &logMutex()
{
    static QMutex m;
    return m;
}

QUserLogHandler *gHandler = nullptr;

// Set once the process has begun to end: from then on every line goes to
// the file at once, since no flush timer will run again.
bool gExiting = false;

// Registered when the handler is installed, so it runs on every normal end
// of the process (return from main, exit) before the log mutex itself goes.
void flushAtExit()
{
    QMutexLocker lock(&logMutex());
    gExiting = true;
    if (gHandler && gHandler->state())
        gHandler->state()->flush();
}

} // namespace

// ---------------------------------------------------------------- state

QUserLogState::QUserLogState(const QString &dir, DateSource todayFn, FileTimeSource fileTimeFn)
    : logDir(dir), todaySource(std::move(todayFn)), fileTimeSource(std::move(fileTimeFn))
{
    // A file "dd.log" that the handler never writes gives the start date;
    // when it is absent the first open takes today.
    const QFileInfo dd(logDir.filePath(QStringLiteral("dd.log")));
    if (dd.exists())
        date = (fileTimeSource ? fileTimeSource(dd) : fileTime(dd)).date();
}

QUserLogState::~QUserLogState()
{
    delete rollTimer;
    delete flushTimer;
    closeFile();
}

QDateTime QUserLogState::fileTime(const QFileInfo &info)
{
    const QDateTime born = info.birthTime();
    return born.isValid() ? born : info.lastModified();
}

QString QUserLogState::levelWord(QtMsgType type)
{
    switch (type) {
    case QtDebugMsg:
        return QStringLiteral("DEBUG");
    case QtWarningMsg:
        return QStringLiteral("WARN ");
    case QtCriticalMsg:
        return QStringLiteral("ERROR");
    case QtFatalMsg:
        return QStringLiteral("FATAL");
    case QtInfoMsg:
        return QStringLiteral("INFO ");
    }
    return QString();
}

QString QUserLogState::formatLine(const QDateTime &when, QtMsgType type, const QString &text)
{
    return QStringLiteral("%1 [%2] %3\n")
        .arg(when.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")), levelWord(type), text);
}

void QUserLogState::closeFile()
{
    if (stream)
        stream->flush();
    delete stream;
    stream = nullptr;
    if (file) {
        file->flush();
        file->close();
    }
    delete file;
    file = nullptr;
}

void QUserLogState::openFile(bool append)
{
    file = new QFile(path);
    const QIODevice::OpenMode mode =
        QIODevice::WriteOnly | QIODevice::Text | (append ? QIODevice::Append : QIODevice::Truncate);
    if (file->open(mode)) {
        stream = new QTextStream(file);
        stream->setCodec("UTF-8");
    }
}

void QUserLogState::purgeOld()
{
    const QDate now = today();
    const QFileInfoList entries =
        logDir.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    const QString active = QFileInfo(path).absoluteFilePath();
    for (const QFileInfo &e : entries) {
        // The file being written stays, whatever its age: removed, it would
        // take every later line with it (the stream writes on into the
        // deleted file).
        if (e.absoluteFilePath() == active || !e.isFile())
            continue;
        const QDateTime t = fileTimeSource ? fileTimeSource(e) : fileTime(e);
        if (t.isValid() && t.date().daysTo(now) > 30)
            QFile::remove(e.absoluteFilePath());
    }
}

void QUserLogState::openLogFile()
{
    if (!logDir.exists())
        QDir().mkpath(logDir.absolutePath());
    path = logDir.absoluteFilePath(QStringLiteral("kem.log"));

    if (!file) {
        openFile(true);
        if (!date.isValid())
            date = today();
        purgeOld();
    }
    const QDate now = today();
    if (now == date)
        return;

    // Roll to the dated name. When that name is taken, try numbered ones;
    // when no rename works, go on appending to kem.log so nothing is lost.
    closeFile();
    const QString base = QStringLiteral("kem") + date.toString(QStringLiteral("yyyy-MM-dd"));
    bool renamed = false;
    if (QFile::exists(path)) {
        for (int i = 0; i < 100 && !renamed; ++i) {
            const QString name = i == 0 ? base + QStringLiteral(".log") : QStringLiteral("%1-%2.log").arg(base).arg(i);
            const QString target = logDir.absoluteFilePath(name);
            if (QFile::exists(target))
                continue;
            renamed = QFile::rename(path, target);
        }
    } else {
        renamed = true;
    }
    openFile(!renamed);
    date = now;
}

void QUserLogState::writeLine(QtMsgType type, const QString &text)
{
    if (stream)
        *stream << formatLine(QDateTime::currentDateTime(), type, text);
}

void QUserLogState::flush()
{
    if (stream)
        stream->flush();
}

void QUserLogState::startTimers(const std::function<void()> &roll, const std::function<void()> &flushFn)
{
    rollTimer = new QTimer;
    rollTimer->setInterval(600000);
    QObject::connect(rollTimer, &QTimer::timeout, roll);
    rollTimer->start();
    flushTimer = new QTimer;
    flushTimer->setInterval(1000);
    QObject::connect(flushTimer, &QTimer::timeout, flushFn);
    flushTimer->start();
}

// ---------------------------------------------------------------- handler

QUserLogHandler::QUserLogHandler()
{
    QMutexLocker lock(&logMutex());
    qInstallMessageHandler(nullptr);
}

QUserLogHandler &QUserLogHandler::instance()
{
    static std::once_flag once;
    std::call_once(once, [] { gHandler = new QUserLogHandler; });
    return *gHandler;
}

void QUserLogHandler::installMessageHandler()
{
    QMutexLocker lock(&logMutex());
    if (logState)
        return;
    logState = new QUserLogState;
    logState->openLogFile();
    logState->startTimers([this] { rollCheck(); }, [this] { flushNow(); });
    std::atexit(&flushAtExit);
    qInstallMessageHandler(&QUserLogHandler::messageHandler);
}

void QUserLogHandler::rollCheck()
{
    QMutexLocker lock(&logMutex());
    if (logState)
        logState->openLogFile();
}

void QUserLogHandler::flushNow()
{
    QMutexLocker lock(&logMutex());
    if (logState)
        logState->flush();
}

void QUserLogHandler::messageHandler(QtMsgType type, const QMessageLogContext &, const QString &text)
{
    QMutexLocker lock(&logMutex());
    const QByteArray local = text.toLocal8Bit();
    std::fwrite(local.constData(), 1, size_t(local.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
    if (gHandler && gHandler->logState) {
        gHandler->logState->writeLine(type, text);
        // A fatal message ends the process with an abort right after this
        // handler returns: the line that says why must be on disk first.
        if (type == QtFatalMsg || gExiting)
            gHandler->logState->flush();
    }
}

#pragma once
// Helpers of the trace-file tests: frames, files and log capture.

#include "core/QUserCanMsg.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>

#include <mutex>
#include <ostream>

// Readable test failures for texts.
inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }
inline void PrintTo(const QByteArray &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }

namespace tracetest {

inline QUserCanMsg frame(const QString &id, bool ext, bool remote, int protocol, const QString &len,
                         const QString &data, int dir, int channel, qint64 hostTime)
{
    QUserCanMsg m;
    m.idText = id;
    m.extended = ext ? 1 : 0;
    m.remote = remote ? 1 : 0;
    m.protocol = uint8_t(protocol);
    m.lenText = len;
    m.dataText = data;
    m.direction = uint8_t(dir);
    m.channel = uint8_t(channel);
    m.hostTime = hostTime;
    return m;
}

inline QByteArray readAll(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

inline bool writeAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return f.write(bytes) == bytes.size();
}

// Collects the program's log lines while alive.
class LogCapture
{
public:
    LogCapture()
    {
        {
            // Threads of an earlier test may still log.
            std::lock_guard<std::mutex> lock(mutex());
            lines().clear();
        }
        previous_ = qInstallMessageHandler(&LogCapture::handler);
    }
    ~LogCapture() { qInstallMessageHandler(previous_); }
    bool contains(const QString &text) const
    {
        std::lock_guard<std::mutex> lock(mutex());
        for (const QString &l : lines())
            if (l.contains(text))
                return true;
        return false;
    }
    QStringList all() const
    {
        std::lock_guard<std::mutex> lock(mutex());
        return lines();
    }

private:
    static QStringList &lines()
    {
        static QStringList l;
        return l;
    }
    static std::mutex &mutex()
    {
        static std::mutex m;
        return m;
    }
    static void handler(QtMsgType, const QMessageLogContext &, const QString &msg)
    {
        std::lock_guard<std::mutex> lock(mutex());
        lines().append(msg);
    }
    QtMessageHandler previous_;
};

} // namespace tracetest

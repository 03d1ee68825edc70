#include "traffic/QUserTraceFile.h"

#include <QDebug>

namespace {
constexpr qint64 kFlushIntervalMs = 1000;
}

QUserTraceFile::QUserTraceFile() : m_lastFlushMs(getCurrentMs()) {}

// Members go in reverse order: the BLF object (closing its file and
// unloading the library), then the ASC object (closing with its end line).
QUserTraceFile::~QUserTraceFile() = default;

int QUserTraceFile::modeOf(const QString &name) const
{
    const QString suffix = name.right(4);
    if (suffix == QLatin1String(".blf"))
        return 0;
    if (suffix == QLatin1String(".asc"))
        return 1;
    return -1;
}

bool QUserTraceFile::modeFromName(const QString &name)
{
    if (name.isEmpty())
        return false;
    m_mode = modeOf(name);
    return m_mode != -1;
}

bool QUserTraceFile::fileCreate(const QString &name)
{
    if (!modeFromName(name)) {
        qDebug().noquote() << QStringLiteral("Trace File(%1) Creat Fail,Format Not Support...").arg(name);
        return false;
    }
    if (m_mode == 1)
        return m_asc.fileCreate(name);
    return m_blf.fileCreate(name);
}

bool QUserTraceFile::write(const QUserCanMsg &msg)
{
    bool ok = false;
    if (m_mode == 1)
        ok = m_asc.write(msg);
    else if (m_mode == 0)
        ok = m_blf.write(msg);
    if (getElapsedMs(m_lastFlushMs) >= kFlushIntervalMs) {
        bool flushed = true;
        if (m_mode == 0)
            flushed = m_blf.flush();
        else if (m_mode == 1)
            flushed = m_asc.flush();
        m_lastFlushMs = getCurrentMs();
        if (!flushed)
            ok = false;
    }
    return ok;
}

bool QUserTraceFile::close()
{
    if (m_mode == 0)
        return m_blf.close();
    if (m_mode == 1)
        return m_asc.close();
    return false;
}

bool QUserTraceFile::readerOpen() const { return m_mode == 0 ? m_blf.isOpen() : m_asc.isOpen(); }

int QUserTraceFile::readResult(int n)
{
    if (n < 0)
        m_readFailed = true;
    return n;
}

qint64 QUserTraceFile::damagedCount() const
{
    if (m_mode == 0)
        return qint64(m_blf.damagedPlaces());
    if (m_mode == 1)
        return m_asc.damagedLines();
    return 0;
}

bool QUserTraceFile::notTraceFile() const { return m_readFailed || (m_mode == 1 && m_asc.notTraceFile()); }

int QUserTraceFile::fileReadPart(const QString &name, QList<QUserCanMsg> &frames, int maxCount)
{
    if (!modeFromName(name)) {
        qDebug().noquote() << QStringLiteral("Trace File(%1) Read Fail,Format Not Support...").arg(name);
        m_readFailed = true;
        return -2;
    }
    if (!readerOpen())
        m_readFailed = false; // a new file
    if (m_mode == 1)
        return readResult(m_asc.fileReadPart(name, frames, maxCount));
    return readResult(m_blf.fileReadPart(name, frames, maxCount));
}

int QUserTraceFile::fileReadPartRaw(const QString &name, QUserCanMsgRaw *frames, int maxCount)
{
    if (!modeFromName(name)) {
        qDebug().noquote() << QStringLiteral("Trace File(%1) Read Fail,Format Not Support...").arg(name);
        m_readFailed = true;
        return -2;
    }
    if (m_mode != 0)
        return -3;
    if (!readerOpen())
        m_readFailed = false;
    return readResult(m_blf.fileReadPartRaw(name, frames, maxCount));
}

bool QUserTraceFile::rawReadable(const QString &name) { return name.right(4) == QLatin1String(".blf"); }

int QUserTraceFile::fileRead(const QString &name, QList<QUserCanMsg> &frames)
{
    if (!modeFromName(name)) {
        qDebug().noquote() << QStringLiteral("Trace File(%1) Read Fail,Format Not Support...").arg(name);
        m_readFailed = true;
        return -2;
    }
    m_readFailed = false;
    if (m_mode == 1)
        return readResult(m_asc.fileRead(name, frames));
    return readResult(m_blf.fileRead(name, frames));
}

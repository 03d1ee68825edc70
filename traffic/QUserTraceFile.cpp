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

int QUserTraceFile::fileReadPart(const QString &name, QList<QUserCanMsg> &frames, int maxCount)
{
    if (!modeFromName(name)) {
        qDebug().noquote() << QStringLiteral("Trace File(%1) Read Fail,Format Not Support...").arg(name);
        return -2;
    }
    if (m_mode == 1)
        return m_asc.fileReadPart(name, frames, maxCount);
    return m_blf.fileReadPart(name, frames, maxCount);
}

int QUserTraceFile::fileReadPartRaw(const QString &name, QUserCanMsgRaw *frames, int maxCount)
{
    if (!modeFromName(name)) {
        qDebug().noquote() << QStringLiteral("Trace File(%1) Read Fail,Format Not Support...").arg(name);
        return -2;
    }
    if (m_mode != 0)
        return -3;
    return m_blf.fileReadPartRaw(name, frames, maxCount);
}

bool QUserTraceFile::rawReadable(const QString &name) { return name.right(4) == QLatin1String(".blf"); }

int QUserTraceFile::fileRead(const QString &name, QList<QUserCanMsg> &frames)
{
    if (!modeFromName(name)) {
        qDebug().noquote() << QStringLiteral("Trace File(%1) Read Fail,Format Not Support...").arg(name);
        return -2;
    }
    if (m_mode == 1)
        return m_asc.fileRead(name, frames);
    return m_blf.fileRead(name, frames);
}

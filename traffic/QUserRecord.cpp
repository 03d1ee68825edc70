#include "traffic/QUserRecord.h"

#include <QDebug>

QUserRecord::QUserRecord(const QString &devName) : m_devName(devName) {}

QUserRecord::~QUserRecord()
{
    recordStop();
}

bool QUserRecord::recordStart(const QString &path)
{
    if (m_recording)
        return true;
    qDebug().noquote() << QStringLiteral("%1 Record<%2> Start...").arg(m_devName, path);
    m_recording = m_trace.fileCreate(path);
    return m_recording;
}

bool QUserRecord::recordStop()
{
    qDebug().noquote() << QStringLiteral("%1 Record Stop...").arg(m_devName);
    if (!m_recording)
        return true;
    m_recording = false;
    return m_trace.close();
}

bool QUserRecord::recordWrite(const QString &devId, const QUserCanMsg &msg)
{
    Q_UNUSED(devId)
    if (!m_recording)
        return false;
    if (m_trace.write(msg))
        return true;
    // Stop and tell: recording on would leave a hole in the trace that
    // nobody learns of.
    qDebug().noquote() << QStringLiteral("%1 Record Write Fail, Record Stop...").arg(m_devName);
    m_recording = false;
    m_trace.close();
    emit recordFailed(m_devName);
    return false;
}

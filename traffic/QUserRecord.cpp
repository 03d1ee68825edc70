#include "traffic/QUserRecord.h"

#include "traffic/QUserRecordWriter.h"
#include "traffic/QUserTraceFile.h"

#include <QDebug>
#include <QMetaObject>

#include <chrono>

namespace {
// The longest the GUI thread waits for the disk: the creation of the file.
constexpr std::chrono::milliseconds kDiskWait{100};
} // namespace

QUserRecord::QUserRecord(const QString &devName) : m_devName(devName), m_nextTrace(new QUserTraceFile) {}

QUserRecord::~QUserRecord()
{
    recordStop();
}

bool QUserRecord::recordStart(const QString &path)
{
    if (m_recording)
        return true;
    qDebug().noquote() << QStringLiteral("%1 Record<%2> Start...").arg(m_devName, path);
    QUserRecordWriter::destroyHandedBack();
    // A recording stopped a moment ago may still be finishing this very
    // file (on a slow disk): a new one would cut it under its writer.
    if (QUserRecordWriter::busyWith(path)) {
        qDebug().noquote() << QStringLiteral("%1 Record<%2> Start Fail, File Still Being Written...").arg(m_devName, path);
        return false;
    }
    const quint64 generation = ++m_generation;
    m_writer = QUserRecordWriter::launch(m_devName, path, std::move(m_nextTrace), [this, generation] {
        // On the writer thread; the recorder is alive: its end lets go of
        // the writer first, and events posted to it go with it.
        QMetaObject::invokeMethod(this, [this, generation] { writerFailed(generation); }, Qt::QueuedConnection);
    });
    m_nextTrace.reset(new QUserTraceFile);
    if (!m_writer)
        return false;
    switch (m_writer->waitCreated(kDiskWait)) {
    case QUserRecordWriter::Created::No:
        letWriterGo();
        return false;
    case QUserRecordWriter::Created::NotYet:
        qDebug().noquote() << QStringLiteral("%1 Record<%2> File Not Created Yet, Frames Queued...").arg(m_devName, path);
        break;
    case QUserRecordWriter::Created::Yes:
        break;
    }
    m_recording = true;
    return true;
}

void QUserRecord::letWriterGo()
{
    if (m_writer)
        m_writer->finish();
    m_writer.reset();
}

bool QUserRecord::recordStop()
{
    qDebug().noquote() << QStringLiteral("%1 Record Stop...").arg(m_devName);
    QUserRecordWriter::destroyHandedBack();
    if (!m_recording)
        return true;
    if (m_writer->failed()) {
        // The failure's own report may still be on its way; this is it.
        failed(Failure::WriteFailed);
        return false;
    }
    m_recording = false;
    letWriterGo();
    return true;
}

bool QUserRecord::recordWrite(const QString &devId, const QUserCanMsg &msg)
{
    Q_UNUSED(devId)
    if (!m_recording)
        return false;
    if (m_writer->failed()) {
        failed(Failure::WriteFailed);
        return false;
    }
    if (m_writer->pending() >= kMaxPending) {
        failed(Failure::Stalled);
        return false;
    }
    m_writer->push(msg);
    return true;
}

void QUserRecord::writerFailed(quint64 generation)
{
    if (generation == m_generation)
        failed(Failure::WriteFailed);
}

// On the GUI thread: the file takes no more frames, or not in time. Stop
// and tell: recording on would leave a hole in the trace that nobody learns
// of. What is queued stays with the writer: after a failure it is dropped,
// after a stall it is written should the disk come back.
void QUserRecord::failed(Failure why)
{
    if (!m_recording)
        return;
    const qint64 notWritten = m_writer->pending();
    if (why == Failure::Stalled)
        qDebug().noquote()
            << QStringLiteral("%1 Record Write Stalled, %2 Frames Not Written Yet, Record Stop...").arg(m_devName).arg(notWritten);
    else
        qDebug().noquote()
            << QStringLiteral("%1 Record Write Fail, %2 Frames Not Written, Record Stop...").arg(m_devName).arg(notWritten);
    m_recording = false;
    letWriterGo();
    emit recordFailed(m_devName);
}

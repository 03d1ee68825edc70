#include "traffic/QUserRecord.h"

#include <QDebug>
#include <QMetaObject>

#include <chrono>

namespace {
// The writer is woken when this many frames wait, and looks on its own
// every few milliseconds: one wake-up per batch, not per frame.
constexpr size_t kWakeBatch = 256;
constexpr std::chrono::milliseconds kWriterPoll{5};
// A writer that falls this far behind (a disk that stalls) holds the GUI
// thread back instead of growing the queue without bound.
constexpr size_t kMaxQueued = 100000;
} // namespace

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
    if (m_recording) {
        m_stop = false;
        m_writeFailed = false;
        m_queue.reserve(kWakeBatch * 4);
        m_writer = std::thread(&QUserRecord::writerLoop, this);
    }
    return m_recording;
}

void QUserRecord::stopWriter()
{
    if (!m_writer.joinable())
        return;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_one();
    m_writer.join();
}

bool QUserRecord::recordStop()
{
    qDebug().noquote() << QStringLiteral("%1 Record Stop...").arg(m_devName);
    if (!m_recording)
        return true;
    m_recording = false;
    stopWriter();
    const bool closed = m_trace.close();
    return closed && !m_writeFailed;
}

bool QUserRecord::recordWrite(const QString &devId, const QUserCanMsg &msg)
{
    Q_UNUSED(devId)
    if (!m_recording)
        return false;
    if (m_writeFailed) {
        failed();
        return false;
    }
    size_t queued;
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        if (m_queue.size() >= kMaxQueued)
            m_room.wait(lock, [this] { return m_queue.size() < kMaxQueued || m_writeFailed; });
        m_queue.push_back(msg);
        queued = m_queue.size();
    }
    if (queued == kWakeBatch)
        m_wake.notify_one();
    return true;
}

// On the GUI thread: the writer could not write a frame. Stop and tell:
// recording on would leave a hole in the trace that nobody learns of.
void QUserRecord::failed()
{
    if (!m_recording)
        return;
    qDebug().noquote() << QStringLiteral("%1 Record Write Fail, Record Stop...").arg(m_devName);
    m_recording = false;
    stopWriter();
    m_trace.close();
    emit recordFailed(m_devName);
}

void QUserRecord::writerLoop()
{
    std::vector<QUserCanMsg> batch;
    batch.reserve(kWakeBatch * 4);
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_wake.wait_for(lock, kWriterPoll, [this] { return m_stop || m_queue.size() >= kWakeBatch; });
        const bool stop = m_stop;
        batch.swap(m_queue);
        lock.unlock();
        m_room.notify_one();
        if (!m_writeFailed) {
            for (const QUserCanMsg &m : batch) {
                if (!m_trace.write(m)) {
                    m_writeFailed = true;
                    QMetaObject::invokeMethod(this, [this] { failed(); }, Qt::QueuedConnection);
                    break;
                }
            }
        }
        batch.clear();
        lock.lock();
        if (stop && m_queue.empty())
            break;
    }
}

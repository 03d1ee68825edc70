#include "traffic/QUserRecordWriter.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <thread>

namespace {

// The writer is woken when this many frames wait, and looks on its own
// every few milliseconds: one wake-up per batch, not per frame.
constexpr size_t kWakeBatch = 256;
constexpr std::chrono::milliseconds kWriterPoll{5};
// How long waitCreated waits for the thread to begin the creation at all:
// only a machine swamped by other work takes that long, and then the
// recording starts and the outcome comes later.
constexpr std::chrono::milliseconds kLaunchWait{1000};

struct Writers {
    std::mutex mutex;
    std::condition_variable ended;
    std::vector<std::shared_ptr<QUserRecordWriter>> running;
    // Kept for good: their threads may still be blocked in the disk.
    std::vector<std::shared_ptr<QUserRecordWriter>> givenUp;
    std::function<void()> gate;
    // Front ends of ended writers, for the GUI thread to destroy.
    std::vector<std::unique_ptr<QUserTraceFile>> toDestroy;
};

// Never destroyed: a writer given up at exit may still be blocked in the
// disk while the program's statics go.
Writers &writers()
{
    static Writers *w = new Writers;
    return *w;
}

} // namespace

QUserRecordWriter::QUserRecordWriter(const QString &devName, const QString &path,
                                     std::unique_ptr<QUserTraceFile> trace, FailureNote note)
    : m_devName(devName),
      m_path(path),
      m_absPath(QDir::cleanPath(QFileInfo(path).absoluteFilePath())),
      m_trace(std::move(trace)),
      m_note(std::move(note))
{
    m_queue.reserve(kWakeBatch * 4);
}

QUserRecordWriter::~QUserRecordWriter() = default;

std::shared_ptr<QUserRecordWriter> QUserRecordWriter::launch(const QString &devName, const QString &path,
                                                             std::unique_ptr<QUserTraceFile> trace, FailureNote note)
{
    std::shared_ptr<QUserRecordWriter> w(new QUserRecordWriter(devName, path, std::move(trace), std::move(note)));
    if (!w->m_trace->modeFromName(path)) {
        // The front end's own refusal and log line; no file is touched.
        w->m_trace->fileCreate(path);
        return nullptr;
    }
    {
        Writers &all = writers();
        std::lock_guard<std::mutex> lock(all.mutex);
        w->m_gate = all.gate;
        all.running.push_back(w);
    }
    std::thread(&QUserRecordWriter::run, w).detach();
    return w;
}

QUserRecordWriter::Created QUserRecordWriter::waitCreated(std::chrono::milliseconds diskWait)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_created.wait_for(lock, kLaunchWait, [this] { return m_state != State::Launching; });
    if (m_state == State::Creating)
        m_created.wait_for(lock, diskWait, [this] { return m_state != State::Creating; });
    switch (m_state) {
    case State::Open:
        return Created::Yes;
    case State::CreateFailed:
        return Created::No;
    default:
        return Created::NotYet;
    }
}

void QUserRecordWriter::push(const QUserCanMsg &msg)
{
    size_t queued;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_queue.push_back(msg);
        queued = m_queue.size();
        ++m_pushed;
    }
    if (queued == kWakeBatch)
        m_wake.notify_one();
}

void QUserRecordWriter::finish()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_finish = true;
        m_note = nullptr;
    }
    m_wake.notify_one();
}

// Under the job's lock, so that finish (and with it the recorder's end)
// cannot pass a note half sent.
void QUserRecordWriter::fail()
{
    m_failed = true;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_note) {
        FailureNote note = std::move(m_note);
        m_note = nullptr;
        note();
    }
}

void QUserRecordWriter::run(std::shared_ptr<QUserRecordWriter> self)
{
    QUserRecordWriter &w = *self;
    {
        std::lock_guard<std::mutex> lock(w.m_mutex);
        w.m_state = State::Creating;
    }
    w.m_created.notify_all();
    const bool created = w.m_trace->fileCreate(w.m_path);
    {
        std::lock_guard<std::mutex> lock(w.m_mutex);
        w.m_state = created ? State::Open : State::CreateFailed;
    }
    w.m_created.notify_all();
    if (w.m_givenUp)
        return;
    if (!created) {
        w.fail();
        w.ended(false);
        return;
    }
    w.writeLoop();
    if (w.m_givenUp)
        return;
    w.ended(w.m_trace->close());
}

void QUserRecordWriter::writeLoop()
{
    std::vector<QUserCanMsg> batch;
    batch.reserve(kWakeBatch * 4);
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_wake.wait_for(lock, kWriterPoll, [this] { return m_finish || m_queue.size() >= kWakeBatch; });
        const bool finish = m_finish;
        batch.swap(m_queue);
        lock.unlock();
        if (!batch.empty() && !m_failed) {
            if (m_gate)
                m_gate();
            for (const QUserCanMsg &m : batch) {
                if (m_givenUp)
                    return;
                if (!m_trace->write(m)) {
                    fail();
                    break;
                }
                ++m_written;
            }
        }
        batch.clear();
        if (m_givenUp)
            return;
        lock.lock();
        if (finish && m_queue.empty())
            break;
    }
}

// The file is closed (or was never made): what the job did, then out of
// the list of running writers, after which the program's exit may go on.
void QUserRecordWriter::ended(bool closed)
{
    const qint64 written = m_written;
    const qint64 lost = m_pushed - written;
    bool wasCreated;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        wasCreated = m_state == State::Open;
    }
    QString line;
    if (!wasCreated)
        line = QStringLiteral("%1 Record<%2> Not Created, %3 Frames Not Written...").arg(m_devName, m_path).arg(lost);
    else if (!closed)
        line = QStringLiteral("%1 Record<%2> Close Fail, %3 Frames Written...").arg(m_devName, m_path).arg(written);
    else if (lost > 0)
        line = QStringLiteral("%1 Record<%2> Closed, %3 Frames Written, %4 Frames Not Written...")
                   .arg(m_devName, m_path)
                   .arg(written)
                   .arg(lost);
    else
        line = QStringLiteral("%1 Record<%2> Closed, %3 Frames Written...").arg(m_devName, m_path).arg(written);
    qDebug().noquote() << line;
    // The front end goes back to the GUI thread to be destroyed there at
    // its next call (destroyHandedBack): the unload of its library
    // (QLibrary's count of users) must not cross a load of the same library
    // on that thread.
    Writers &all = writers();
    {
        std::lock_guard<std::mutex> lock(all.mutex);
        all.toDestroy.push_back(std::move(m_trace));
        auto it = std::find_if(all.running.begin(), all.running.end(),
                               [this](const std::shared_ptr<QUserRecordWriter> &p) { return p.get() == this; });
        if (it != all.running.end())
            all.running.erase(it);
    }
    all.ended.notify_all();
}

void QUserRecordWriter::destroyHandedBack()
{
    std::vector<std::unique_ptr<QUserTraceFile>> gone;
    {
        Writers &all = writers();
        std::lock_guard<std::mutex> lock(all.mutex);
        gone.swap(all.toDestroy);
    }
}

bool QUserRecordWriter::waitAllEnded(std::chrono::milliseconds bound)
{
    bool none;
    {
        Writers &all = writers();
        std::unique_lock<std::mutex> lock(all.mutex);
        none = all.ended.wait_for(lock, bound, [&all] { return all.running.empty(); });
    }
    destroyHandedBack();
    return none;
}

bool QUserRecordWriter::finishAll(std::chrono::milliseconds bound)
{
    if (waitAllEnded(bound))
        return true;
    Writers &all = writers();
    std::lock_guard<std::mutex> lock(all.mutex);
    for (const std::shared_ptr<QUserRecordWriter> &w : all.running) {
        w->m_givenUp = true;
        qDebug().noquote() << QStringLiteral("%1 Record<%2> Stalled, %3 Frames Not Written, Given Up...")
                                  .arg(w->m_devName, w->m_path)
                                  .arg(w->pending());
        all.givenUp.push_back(w);
    }
    all.running.clear();
    return false;
}

qint64 QUserRecordWriter::pendingAll()
{
    Writers &all = writers();
    std::lock_guard<std::mutex> lock(all.mutex);
    qint64 n = 0;
    for (const std::shared_ptr<QUserRecordWriter> &w : all.running)
        n += w->pending();
    return n;
}

bool QUserRecordWriter::busyWith(const QString &path)
{
    const QString abs = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    Writers &all = writers();
    std::lock_guard<std::mutex> lock(all.mutex);
    return std::any_of(all.running.begin(), all.running.end(),
                       [&abs](const std::shared_ptr<QUserRecordWriter> &w) { return w->m_absPath == abs; });
}

void QUserRecordWriter::setGateForTest(std::function<void()> gate)
{
    Writers &all = writers();
    std::lock_guard<std::mutex> lock(all.mutex);
    all.gate = std::move(gate);
}

#pragma once
// The writer of one live recording: a thread of its own creates the trace
// file, writes the frames the recorder queues (with the trace file's
// flushes) and closes the file. The GUI thread that queues the frames never
// waits for the disk: a disk that stalls (a hung USB stick, a network share
// that went away, a pipe nobody reads) holds up only this thread.
//
// The job belongs to itself: the recorder lets go of it when the recording
// stops (finish returns at once), and the thread goes on until the queued
// frames are in the file and the file is closed, however long the disk
// takes, then ends and frees the job. A job is never destroyed while its
// thread runs, and never left without an end: at program exit finishAll
// waits a bounded time for the jobs still running and gives up on the rest,
// naming in the log the frames each one did not write.

#include "traffic/QUserTraceFile.h"

#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class QUserRecordWriter
{
public:
    enum class Created { Yes, No, NotYet };

    // Called on the writer thread, at most once, when the file cannot be
    // created or a frame cannot be written, while the job is not finished.
    using FailureNote = std::function<void()>;

    // Starts a writer for path through trace (a front end made on the GUI
    // thread, and given back to it to be destroyed); devName names the
    // channel in log lines. Null (with the front end's log line) for a name
    // of no known format, which is refused before any thread or file is
    // made.
    static std::shared_ptr<QUserRecordWriter> launch(const QString &devName, const QString &path,
                                                     std::unique_ptr<QUserTraceFile> trace, FailureNote note);
    ~QUserRecordWriter();
    QUserRecordWriter(const QUserRecordWriter &) = delete;
    QUserRecordWriter &operator=(const QUserRecordWriter &) = delete;

    // Waits for the file to be created, for at most diskWait once the
    // thread has begun the creation: NotYet when the disk takes longer (the
    // frames queue meanwhile; a creation that fails later is a failure
    // note).
    Created waitCreated(std::chrono::milliseconds diskWait);

    // GUI thread: queues one frame; never waits for the disk.
    void push(const QUserCanMsg &msg);
    // Frames queued and not yet taken by the file.
    qint64 pending() const { return m_pushed.load() - m_written.load(); }
    qint64 written() const { return m_written.load(); }
    // The file could not be created, or a frame or the time flush failed:
    // nothing more is written.
    bool failed() const { return m_failed.load(); }

    // Ends the job without waiting: no further failure note; the thread
    // writes what is queued (nothing after a failure), closes the file and
    // ends.
    void finish();

    // GUI thread: destroys the front ends of the writers that ended (they
    // are handed back to the thread that made them). The recorders call it
    // as they start and stop, waitAllEnded and finishAll on their own.
    static void destroyHandedBack();
    // Waits until no writer runs, at most bound; true when none does.
    // Writers given up by finishAll do not count. GUI thread.
    static bool waitAllEnded(std::chrono::milliseconds bound);
    // Program exit: waits like waitAllEnded, then gives up on every writer
    // still running (a disk stalled for good): a log line names its file and
    // the frames it did not write, and its thread, should the disk ever
    // answer, ends without touching the file again.
    static bool finishAll(std::chrono::milliseconds bound);
    // Frames waiting for the disk in all running writers (benchmarks that
    // feed faster than a bus keep below the recorders' bound with it).
    static qint64 pendingAll();
    // True when a writer still runs on the file at path: a new recording
    // must not cut a file that an earlier one is still writing.
    static bool busyWith(const QString &path);

    // Test only: a gate the writer thread passes before it writes each batch
    // of frames (a test holds it shut to stand for a stalled disk). Taken by
    // the writers launched after the call; empty for none.
    static void setGateForTest(std::function<void()> gate);

private:
    enum class State { Launching, Creating, Open, CreateFailed };

    QUserRecordWriter(const QString &devName, const QString &path, std::unique_ptr<QUserTraceFile> trace,
                      FailureNote note);
    static void run(std::shared_ptr<QUserRecordWriter> self);
    void writeLoop();
    void fail();
    void ended(bool closed);

    const QString m_devName;
    const QString m_path;
    const QString m_absPath;
    // Made on the GUI thread, used by the writer thread from launch to the
    // thread's end, and handed back to the GUI thread to be destroyed
    // (destroyHandedBack).
    std::unique_ptr<QUserTraceFile> m_trace;
    std::function<void()> m_gate;

    std::mutex m_mutex;
    std::condition_variable m_wake;    // the writer: frames, or the finish
    std::condition_variable m_created; // the GUI thread: the creation's outcome
    State m_state = State::Launching;
    std::vector<QUserCanMsg> m_queue;
    bool m_finish = false;
    FailureNote m_note;                // cleared by finish

    std::atomic<qint64> m_pushed{0};
    std::atomic<qint64> m_written{0};
    std::atomic<bool> m_failed{false};
    std::atomic<bool> m_givenUp{false};
};

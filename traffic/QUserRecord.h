#pragma once
// The live recorder of one device channel: the device registry starts and
// stops it and hands it every frame of the channel while it records.
//
// The frames are handed over on the GUI thread, which must not wait on a
// file: recordWrite only queues the frame, and a writer thread of the
// recorder's own formats and writes it (with the trace file's flushes: every
// 100 frames and at most once a second), so the frames the writer has
// flushed survive a crash of the program. recordStop writes what is queued
// and closes the file.

#include "traffic/QUserTraceFile.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

class QUserRecord : public QObject
{
    Q_OBJECT
public:
    explicit QUserRecord(const QString &devName);
    ~QUserRecord() override;

    // Opens a new ASC or BLF file chosen by the suffix; true without change
    // when already recording.
    bool recordStart(const QString &path);
    // Writes what is queued and closes an open file. True when idle or
    // closed cleanly; false when the last data could not be written.
    bool recordStop();
    bool isRecording() const { return m_recording; }
    // Queues one frame while recording. A frame that cannot be written stops
    // the recording (the file is closed) and is reported through
    // recordFailed, as soon as the GUI thread's loop runs or at the next
    // frame: recording never stays on while nothing is written.
    bool recordWrite(const QString &devId, const QUserCanMsg &msg);

signals:
    void recordFailed(const QString &devName);

private:
    void writerLoop();
    void failed();
    void stopWriter();

    bool m_recording = false;
    QString m_devName;
    QUserTraceFile m_trace;

    std::thread m_writer;
    std::mutex m_mutex;
    std::condition_variable m_wake;   // the writer: frames or the stop
    std::condition_variable m_room;   // the GUI thread: room in a full queue
    std::vector<QUserCanMsg> m_queue;
    bool m_stop = false;
    std::atomic<bool> m_writeFailed{false};
};

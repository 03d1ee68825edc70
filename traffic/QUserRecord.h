#pragma once
// The live recorder of one device channel: the device registry starts and
// stops it and hands it every frame of the channel while it records.
//
// The frames are handed over on the GUI thread, which never waits for the
// disk: recordWrite only queues the frame, and a writer of the recording's
// own (QUserRecordWriter, a thread) creates the file, formats and writes the
// frames (with the trace file's flushes: every 100 frames and at most once a
// second), so the frames the writer has flushed survive a crash of the
// program, and closes the file. recordStart waits at most 100 ms for the
// file to be made; recordStop returns at once and the writer finishes the
// file on its own thread, however long the disk takes
// (QUserRecordWriter::waitAllEnded waits for that).

#include "core/QUserCanMsg.h"

#include <QObject>
#include <QString>

#include <memory>

class QUserRecordWriter;
class QUserTraceFile;

class QUserRecord : public QObject
{
    Q_OBJECT
public:
    // At most this many frames wait for the disk: a writer that falls this
    // far behind (a disk that stalls) stops the recording.
    static constexpr qint64 kMaxPending = 100000;

    explicit QUserRecord(const QString &devName);
    ~QUserRecord() override;

    // Starts a new ASC or BLF recording chosen by the suffix; true without
    // change when already recording. False when the creation of the file
    // fails within 100 ms of trying, or an earlier recording still finishes
    // the same file; a creation that takes longer is waited for by the
    // writer, the frames queue meanwhile, and should it fail then, the
    // recording stops like one whose write fails.
    bool recordStart(const QString &path);
    // Stops recording and returns at once: the writer writes what is
    // queued and closes the file on its own thread. True when idle or
    // stopped; false when the recording had already failed (which is then
    // reported through recordFailed as well).
    bool recordStop();
    bool isRecording() const { return m_recording; }
    // Queues one frame while recording. A frame that cannot be written, or
    // one that finds kMaxPending frames waiting for the disk, stops the
    // recording (the file keeps what was written) with a log line naming
    // the frames not written, and is reported through recordFailed, as
    // soon as the GUI thread's loop runs or at the next frame: recording
    // never stays on while nothing is written.
    bool recordWrite(const QString &devId, const QUserCanMsg &msg);

signals:
    void recordFailed(const QString &devName);

private:
    enum class Failure { WriteFailed, Stalled };
    void writerFailed(quint64 generation);
    void failed(Failure why);
    void letWriterGo();

    bool m_recording = false;
    QString m_devName;
    // The front end of the next recording, made ahead: made, it loads the
    // BLF library, which so stays loaded while the channel is open.
    std::unique_ptr<QUserTraceFile> m_nextTrace;
    std::shared_ptr<QUserRecordWriter> m_writer;
    quint64 m_generation = 0; // of m_writer: a late note of an earlier writer is not this one's
};

#pragma once
// The live recorder of one device channel: the device registry starts and
// stops it and hands it every frame of the channel while it records.

#include "traffic/QUserTraceFile.h"

#include <QObject>
#include <QString>

class QUserRecord : public QObject
{
    Q_OBJECT
public:
    explicit QUserRecord(const QString &devName);
    ~QUserRecord() override;

    // Opens a new ASC or BLF file chosen by the suffix; true without change
    // when already recording.
    bool recordStart(const QString &path);
    // Closes an open file. True when idle or closed cleanly; false when the
    // last data could not be written.
    bool recordStop();
    bool isRecording() const { return m_recording; }
    // Writes one frame while recording. A frame that cannot be written stops
    // the recording (the file is closed) and is reported through
    // recordFailed: recording never shows as on while nothing is written.
    bool recordWrite(const QString &devId, const QUserCanMsg &msg);

signals:
    void recordFailed(const QString &devName);

private:
    bool m_recording = false;
    QString m_devName;
    QUserTraceFile m_trace;
};

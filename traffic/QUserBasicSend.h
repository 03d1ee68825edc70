#pragma once
// The periodic sender of one channel: sends perSendCnt copies of one frame
// (a batch) every period milliseconds, reqSendCnt batches in all, on a thread
// of its own, through the device's send-list operation. It reports only the
// run's start (status 0) and end (status 1); the device reports the frames.
// The task is kept in "setting/<device id>_BasicSend.ini".
//
// The task is shared by the GUI thread (hand-over, copy out) and the sender
// thread (tick counter, identifier increment), so every access goes through
// taskMutex.

#include <QMutex>
#include <QString>
#include <QThread>

#include <atomic>
#include <cstdint>

#include "core/QUserCanMsg.h"
#include "core/QUserSendTask.h"

class QUserDevice;

class QUserBasicSend : public QThread
{
    Q_OBJECT
public:
    QUserBasicSend(const QString &devId, QUserDevice *device);
    ~QUserBasicSend() override;

    bool sendTaskSet(const QUserSendTask &task);
    // A copy of the task, taken under the task lock.
    QUserSendTask sendTaskGet() const;
    // The task in place (the caller edits it while no run is under way).
    QUserSendTask *sendTaskRef() { return &task; }
    // The frame's protocol code (0 CAN, 1 CAN FD, 2 with bit-rate switch),
    // written under the task lock: the send panel changes it while a run
    // may be under way.
    bool protocolSet(uint8_t protocol);
    bool sendStart();
    bool sendStop();
    bool isSending() const { return running.load() || isRunning(); }

    bool configureLoad(const QString &devId);
    bool configureSave();
    QString settingsPath() const;

signals:
    void sendResultNotify(QString devId, QUserCanMsg msg);

protected:
    void run() override;

private:
    bool msgSendNext();

    // Without it a copy taken while the sender thread steps the identifier
    // mixes two tasks' fields (and races on the texts' storage).
    mutable QMutex taskMutex;
    QUserSendTask task;
    QUserDevice *device = nullptr;
    QString devId;
    QString savedId;
    int64_t startTime = 0;
    uint32_t framesSent = 0;
    uint32_t framesDue = 0;
    // Atomic: set by the GUI thread, read by the sender thread between
    // batches; a plain flag may be read once and never again.
    std::atomic<bool> stopRequest{false};
    std::atomic<bool> running{false};
};

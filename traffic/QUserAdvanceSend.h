#pragma once
// The scheduled list sender of one channel: passes over the task's list once
// per cycle, sending every enabled entry through the device's send-one
// operation, entries frameInterval ms apart, a cycle every period ms,
// reqSendCnt cycles. Reports the run's start (status 2) and end (status 3);
// the device reports the frames, tagged 101. The list is kept in
// "setting/<device id>_AdvSend.ini"; the same format serves the user's list
// files.
//
// The task is shared by the GUI thread and the sender thread (which writes
// into the entries it sends), so every access goes through taskMutex.

#include <QList>
#include <QMutex>
#include <QString>
#include <QThread>

#include <atomic>
#include <cstdint>

#include "core/QUserCanMsg.h"
#include "core/QUserSendTask.h"

class QUserDevice;

class QUserAdvanceSend : public QThread
{
    Q_OBJECT
public:
    QUserAdvanceSend(const QString &devId, QUserDevice *device);
    ~QUserAdvanceSend() override;

    bool sendTaskSet(const QUserSendTask &task);
    // The failure mode of the task (0: a failed transmit ends the run).
    uint32_t errorModeGet() const;
    QUserSendTask sendTaskGet() const;
    QUserSendTask *sendTaskRef() { return &task; }
    bool sendStart();
    bool sendStop();
    bool isSending() const { return running.load(); }

    bool configureLoad(const QString &path);
    bool configureSave(const QString &path);
    QString settingsPath() const;

    // One "msg" line of the list file and back; false for a line that does
    // not hold exactly eight fields. Commas in a comment are stored as "，"
    // (full-width), since the format has no quoting.
    static QString entryToLine(const QUserCanMsg &m);
    static bool lineToEntry(const QString &line, QUserCanMsg &m);

    // Whether an entry is one the message editor could have made: an
    // identifier of 1 to 8 hexadecimal digits within 11 bits (standard) or
    // 29 bits (extended), protocol 0 to 2, flags 0 or 1, a remote frame only
    // on CAN and with length 0 and no data, a length of the protocol's list,
    // and data of exactly that many bytes in hexadecimal digits (blanks
    // allowed). Otherwise false with the reason in why.
    static bool entryCheck(const QUserCanMsg &m, QString *why = nullptr);

    // An entry of a list file that configureLoad refused: its line in the
    // file (from 1) and why.
    struct Refused {
        int line = 0;
        QString reason;
    };
    // The entries the last configureLoad refused (the others were loaded).
    QList<Refused> loadRefusedGet() const;

signals:
    void sendResultNotify(QString devId, QUserCanMsg msg);

protected:
    void run() override;

private:
    bool listSendNext();

    // Without it a copy taken while the sender thread writes into an entry
    // mixes two lists (and races on the texts' storage).
    mutable QMutex taskMutex;
    QUserSendTask task;
    QUserDevice *device = nullptr;
    QString devId;
    int64_t runStart = 0;
    int64_t cycleStart = 0;
    int32_t entryIndex = 0;
    std::atomic<bool> stopRequest{false};
    uint32_t cyclesDone = 0;
    uint32_t cycleDue = 0;
    uint32_t sentInCycle = 0;
    uint32_t dueInCycle = 0;
    std::atomic<bool> running{false};
    QList<Refused> loadRefused;
};

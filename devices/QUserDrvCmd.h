#pragma once
// Commands that another thread posts to a driver thread. The poster keeps the
// command and its argument record on its own stack, pushes the command's
// address and blocks on a semaphore that it made; the driver thread executes
// the command between two receive polls and releases the semaphore.
//
// QUserDrvCmdPort is the queue between them. Besides the queue it knows
// whether a driver thread is there to serve it: a port that is not open
// answers a post at once with result -1, and closing a port answers every
// command still queued with -1 and wakes its poster, so no poster can be left
// waiting on a driver that has stopped (or never ran).

#include <QMutex>
#include <QSemaphore>
#include <QVector>

#include <atomic>
#include <deque>

#include "core/QUserCanMsg.h"

struct QUserDrvCmdArg
{
    int channel = 0;
    QUserCanMsg *msg = nullptr;              // type 0: the frame
    QVector<QUserCanMsg> *msgList = nullptr; // type 1: the frames
    void *cfg = nullptr;                     // type 2: the driver's channel settings record
    int done = 0;                            // set by the executor: frames transmitted
};

struct QUserDrvCmd
{
    enum Type { SendOne = 0, SendList = 1, ChStart = 2, ChClose = 3, Stop = 4 };

    QSemaphore *sem = nullptr; // released once when done; null: nobody waits
    int type = 0;
    void *arg = nullptr;       // QUserDrvCmdArg, or none
    int result = 0;            // set by the executor

    QUserDrvCmdArg *cmdArg() const { return static_cast<QUserDrvCmdArg *>(arg); }
};

class QUserDrvCmdPort
{
public:
    QUserDrvCmdPort() = default;
    ~QUserDrvCmdPort();
    QUserDrvCmdPort(const QUserDrvCmdPort &) = delete;
    QUserDrvCmdPort &operator=(const QUserDrvCmdPort &) = delete;

    // The driver thread is about to serve the port / has stopped serving it.
    // close() answers every queued command with -1 (done untouched) and wakes
    // its poster.
    void open();
    void close();
    bool isOpen() const { return accepting.load(); }

    // Pushes cmd and, when it has a semaphore, waits for it. A closed port
    // sets result -1 and returns false at once without queuing.
    bool post(QUserDrvCmd *cmd);
    // Pushes a command without waiting (the caller waits on cmd->sem itself).
    bool push(QUserDrvCmd *cmd);
    // The oldest command, or null; never waits. Driver thread.
    QUserDrvCmd *pop();
    int size() const;

    // Releases cmd's semaphore when it has one.
    static void finish(QUserDrvCmd *cmd);

    // Fills the records, posts and waits; returns the command's result and
    // `done` through the pointer. A closed port gives -1 at once.
    int postWait(int type, int channel, QUserCanMsg *msg, QVector<QUserCanMsg> *list, void *cfg,
                 int *done = nullptr);

private:
    mutable QMutex mutex;
    std::deque<QUserDrvCmd *> queue;
    std::atomic<bool> accepting{false};
};

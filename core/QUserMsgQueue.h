#pragma once
// Thread-safe first-in first-out queue of untyped pointers, with an optional
// blocking wait: the command and request queue between the GUI thread and
// the driver and worker threads. The queue never looks into, frees or
// destroys an item: items often live on their posters' stacks, and the
// poster and the consumer decide what becomes of them.

#include <QMutex>
#include <QQueue>
#include <QWaitCondition>

class QUserMsgQueue
{
public:
    QUserMsgQueue();
    // Releases only the queue's own storage; items still queued are left to
    // their owners.
    ~QUserMsgQueue();
    QUserMsgQueue(const QUserMsgQueue &) = delete;
    QUserMsgQueue &operator=(const QUserMsgQueue &) = delete;

    void push(void *item);
    // timeoutMs 0: the oldest item or null, never waits. Otherwise waits up
    // to timeoutMs for an item (again for a full timeoutMs after a wake-up
    // that found the queue empty); null when a wait times out.
    void *pop(unsigned long timeoutMs);
    int size() const;

private:
    QQueue<void *> items;
    mutable QMutex mutex;
    QWaitCondition notEmpty;
};

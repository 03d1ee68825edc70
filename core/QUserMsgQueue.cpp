#include "core/QUserMsgQueue.h"

#include <QMutexLocker>

QUserMsgQueue::QUserMsgQueue() = default;

QUserMsgQueue::~QUserMsgQueue()
{
    // Only the pointers go: deleting the items would free commands that live
    // on their posters' stacks (a crash), or that their posters still read.
    QMutexLocker lock(&mutex);
    items.clear();
}

void QUserMsgQueue::push(void *item)
{
    QMutexLocker lock(&mutex);
    items.enqueue(item);
    notEmpty.wakeOne();
}

void *QUserMsgQueue::pop(unsigned long timeoutMs)
{
    QMutexLocker lock(&mutex);
    if (timeoutMs == 0)
        return items.isEmpty() ? nullptr : items.dequeue();
    while (items.isEmpty()) {
        if (!notEmpty.wait(&mutex, timeoutMs))
            return items.isEmpty() ? nullptr : items.dequeue();
    }
    return items.dequeue();
}

int QUserMsgQueue::size() const
{
    QMutexLocker lock(&mutex);
    return items.size();
}

#include "devices/QUserDrvCmd.h"

#include <QMutexLocker>

QUserDrvCmdPort::~QUserDrvCmdPort()
{
    close();
}

void QUserDrvCmdPort::open()
{
    QMutexLocker lock(&mutex);
    accepting = true;
}

void QUserDrvCmdPort::close()
{
    std::deque<QUserDrvCmd *> left;
    {
        QMutexLocker lock(&mutex);
        accepting = false;
        left.swap(queue);
    }
    // Nobody pops these any more: unanswered, their posters would wait on
    // their semaphores for ever.
    for (QUserDrvCmd *cmd : left) {
        if (!cmd)
            continue;
        cmd->result = -1;
        finish(cmd);
    }
}

bool QUserDrvCmdPort::push(QUserDrvCmd *cmd)
{
    QMutexLocker lock(&mutex);
    // Queued on a port without a driver thread, the command would never be
    // popped and its poster never woken.
    if (!accepting) {
        cmd->result = -1;
        return false;
    }
    queue.push_back(cmd);
    return true;
}

bool QUserDrvCmdPort::post(QUserDrvCmd *cmd)
{
    if (!push(cmd))
        return false;
    if (cmd->sem)
        cmd->sem->acquire();
    return true;
}

QUserDrvCmd *QUserDrvCmdPort::pop()
{
    QMutexLocker lock(&mutex);
    if (queue.empty())
        return nullptr;
    QUserDrvCmd *cmd = queue.front();
    queue.pop_front();
    return cmd;
}

int QUserDrvCmdPort::size() const
{
    QMutexLocker lock(&mutex);
    return int(queue.size());
}

void QUserDrvCmdPort::finish(QUserDrvCmd *cmd)
{
    if (cmd && cmd->sem)
        cmd->sem->release();
}

int QUserDrvCmdPort::postWait(int type, int channel, QUserCanMsg *msg, QVector<QUserCanMsg> *list, void *cfg,
                              int *done)
{
    QUserDrvCmdArg arg;
    arg.channel = channel;
    arg.msg = msg;
    arg.msgList = list;
    arg.cfg = cfg;
    arg.done = 0;
    QUserDrvCmd cmd;
    cmd.type = type;
    cmd.arg = &arg;
    cmd.result = 0;
    QSemaphore *sem = new QSemaphore(0);
    cmd.sem = sem;
    post(&cmd);
    delete sem;
    if (done)
        *done = arg.done;
    return cmd.result;
}

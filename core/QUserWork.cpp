#include "core/QUserWork.h"

QUserWork::QUserWork(QObject *parent) : QObject(parent)
{
    connect(this, SIGNAL(signalRun(int, void *)), this, SLOT(slotRun(int, void *)), Qt::AutoConnection);
}

void QUserWork::reqRun(int reqType, void *obj)
{
    stopRequested.store(false, std::memory_order_relaxed);
    emit signalRun(reqType, obj);
}

void QUserWork::reqStop() { stopRequested.store(true, std::memory_order_relaxed); }

QUserWorkThread::QUserWorkThread() : thread(new QThread) {}

QUserWorkThread::~QUserWorkThread() = default;

void QUserWorkThread::setWork(QUserWork *w)
{
    work = w;
    if (work && thread)
        work->moveToThread(thread);
}

void QUserWorkThread::start()
{
    if (thread && work)
        thread->start(QThread::InheritPriority);
}

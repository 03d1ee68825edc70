#include "core/QUserTimer.h"

#include <QTimer>

QUserTimer::QUserTimer(void *o) : QObject(nullptr), timer(new QTimer), obj(o)
{
    connect(timer, &QTimer::timeout, this, &QUserTimer::slotTimeout);
}

QUserTimer::~QUserTimer()
{
    timer->stop();
    delete timer;
}

bool QUserTimer::isActive() const { return timer->isActive(); }

int QUserTimer::interval() const { return timer->interval(); }

void QUserTimer::slotTimeout() { emit timeout(obj); }

void QUserTimer::start(int msec)
{
    timer->setSingleShot(false);
    timer->start(msec);
}

void QUserTimer::stop()
{
    if (timer->isActive())
        timer->stop();
}

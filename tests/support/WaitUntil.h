#pragma once
// Waiting in a test for something the event loop or another thread brings
// about: the condition is checked between short turns of the event loop
// until it holds or the time is up (a bound to give up at: GiveUp.h).

#include "tests/support/GiveUp.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <functional>

namespace testsupport {

inline bool waitUntil(const std::function<bool()> &pred, int ms = kGiveUpMs)
{
    QElapsedTimer t;
    t.start();
    while (!pred()) {
        if (t.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::usleep(300);
    }
    return true;
}

} // namespace testsupport

#pragma once
// Collects (device id, frame) pairs from a sendResultNotify-style signal,
// whatever thread emits it.

#include <QElapsedTimer>
#include <QMutex>
#include <QMutexLocker>
#include <QObject>
#include <QThread>
#include <QVector>
#include <QCoreApplication>

#include <functional>

#include "core/QUserCanMsg.h"
#include "tests/support/WaitUntil.h"

class SignalLog
{
public:
    struct Entry {
        QString devId;
        QUserCanMsg msg;
        int64_t atMs = 0;
    };

    template <typename Sender, typename Signal>
    void attach(Sender *s, Signal sig)
    {
        QObject::connect(s, sig, s, [this](QString id, QUserCanMsg m) { add(id, m); }, Qt::DirectConnection);
    }

    void add(const QString &id, const QUserCanMsg &m)
    {
        QMutexLocker lock(&mutex);
        entries.append({id, m, getCurrentMs()});
    }
    QVector<Entry> copy()
    {
        QMutexLocker lock(&mutex);
        return entries;
    }
    int countStatus(int status)
    {
        QMutexLocker lock(&mutex);
        int n = 0;
        for (const Entry &e : entries)
            n += e.msg.status == status;
        return n;
    }
    QMutex mutex;
    QVector<Entry> entries;
};

// Waits (processing events) until pred holds or ms pass: a bound to give up
// at, generous enough for a loaded machine.
inline bool waitFor(const std::function<bool()> &pred, int ms = testsupport::kGiveUpMs)
{
    QElapsedTimer t;
    t.start();
    while (!pred()) {
        if (t.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return true;
}

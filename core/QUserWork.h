#pragma once
// A worker object that runs jobs by number in its own thread, and the holder
// that gives it that thread. The window calls reqRun from the GUI thread; the
// job runs queued in the worker's thread, one after another.

#include <QObject>
#include <QThread>

#include <atomic>
#include <cstdint>

class QUserWork : public QObject
{
    Q_OBJECT
public:
    explicit QUserWork(QObject *parent = nullptr);

    void reqRun(int reqType, void *obj);
    void reqStop();
    bool isStopRequested() const { return stopRequested.load(std::memory_order_relaxed); }

    // Polled by jobs; written from the GUI thread.
    std::atomic<bool> stopRequested{false};
    // Set by the jobs of subclasses when they end; the base never clears it.
    std::atomic<uint8_t> finished{0};

signals:
    void start(void *obj);
    void start();
    void stop(void *obj);
    void result(void *obj, int errCode);
    void notice(void *obj, int type, int param);
    void progressValue(int percent);
    void stop();
    void signalRun(int reqType, void *obj);

public slots:
    virtual void slotRun(int reqType, void *obj) = 0;
};

class QUserWorkThread
{
public:
    QUserWorkThread();
    ~QUserWorkThread(); // frees nothing: ending thread and worker is the owner's business
    QUserWorkThread(const QUserWorkThread &) = delete;
    QUserWorkThread &operator=(const QUserWorkThread &) = delete;

    void setWork(QUserWork *w);
    void start();

    QThread *thread = nullptr;
    QUserWork *work = nullptr;
};

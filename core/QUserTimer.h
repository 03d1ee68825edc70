#pragma once
// A repeating timer that hands a stored pointer back with every timeout.

#include <QObject>

class QTimer;

class QUserTimer : public QObject
{
    Q_OBJECT
public:
    explicit QUserTimer(void *obj = nullptr);
    ~QUserTimer() override;

    void setObj(void *o) { obj = o; }
    void *getObj() const { return obj; }
    bool isActive() const;
    int interval() const;

signals:
    void timeout(void *obj);

public slots:
    void slotTimeout();
    void start(int msec);
    void stop();

private:
    QTimer *timer = nullptr;
    void *obj = nullptr;
};

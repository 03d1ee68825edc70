#pragma once
// The DBC window's worker: lives on a thread of its own and runs the window's
// DBC load job there (request type 0). Every request is framed by the
// signals start(), notice(job, 0, 0), then notice(job, 1, 0) and stop().

#include "core/QUserWork.h"

class QUserDbcWork : public QUserWork
{
    Q_OBJECT

public:
    enum Request { ReqDbcLoad = 0 };

    explicit QUserDbcWork(QObject *parent = nullptr);
    ~QUserDbcWork() override;

public slots:
    void slotRun(int reqType, void *job) override;
};

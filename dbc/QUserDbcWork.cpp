#include "dbc/QUserDbcWork.h"

#include "dbc/QUserMainWindowDBC.h"

QUserDbcWork::QUserDbcWork(QObject *parent) : QUserWork(parent) {}

QUserDbcWork::~QUserDbcWork() = default;

void QUserDbcWork::slotRun(int reqType, void *job)
{
    emit start();
    emit notice(job, 0, 0);
    if (reqType == ReqDbcLoad && job)
        QUserMainWindowDBC::dbcFileLoadJob(static_cast<QUserMainWindowDBC::DbcLoadJob *>(job));
    emit notice(job, 1, 0);
    emit stop();
}

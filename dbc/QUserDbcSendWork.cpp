#include "dbc/QUserDbcSendWork.h"

#include "core/QUserTimer.h"
#include "dbc/DbcKemsigLoad.h"
#include "widgets/QUserProgressDlg.h"

namespace {
std::atomic<int> g_activeJobs{0};
} // namespace

DbcLoadJob::~DbcLoadJob()
{
    delete progressTimer;
    delete progressDlg;
}

QUserDbcSendWork::QUserDbcSendWork(QObject *parent) : QUserWork(parent) {}

QUserDbcSendWork::~QUserDbcSendWork() = default;

int QUserDbcSendWork::activeJobs() { return g_activeJobs.load(); }

void QUserDbcSendWork::slotRun(int reqType, void *param)
{
    auto *job = static_cast<DbcLoadJob *>(param);
    ++g_activeJobs;
    emit start();
    emit notice(param, 0, 0);
    if (job && reqType == DbcLoadJob::ReqLoad)
        dbcFileLoadJob(job);
    finished.store(1);
    --g_activeJobs;
    // The record is the window's again from here on.
    if (job)
        job->running.store(false);
    emit notice(param, 1, 0);
    emit stop();
}

int QUserDbcSendWork::dbcFileLoadJob(DbcLoadJob *job)
{
    if (!job)
        return -1;
    job->result =
        DbcKemsigLoad::loadFile(job->dbcFilePath, job->messages, &stopRequested, job->libFileName, &job->report);
    return job->result == DbcKemsigLoad::Done ? 0 : -1;
}

#pragma once
// The load worker of the DBC send window and its job record. On its own
// thread the worker parses a DBC file with an instance of kemsig of its own
// and turns it into the program's message records; the window waits behind
// an application-modal progress dialog and takes the messages afterwards.

#include "core/QUserWork.h"

#include <QString>
#include <QVector>

#include <atomic>

#include "dbc/QUserDbcMsg.h"
#include "kemsig/include/kemsig.h"

class QUserProgressDlg;
class QUserTimer;

// The job record of one send window, handed to the worker as the request's
// parameter. While a job runs (running set) only the worker touches the
// path, the messages and the result; the window reads them after the job
// has stopped.
struct DbcLoadJob
{
    enum Request : int { ReqLoad = 0 };
    // Results: those of DbcKemsigLoad (0 done, 1 empty path, 2 kemsig not
    // loadable, 3 no handle, 4 not parsed, 5 cancelled).

    DbcLoadJob() = default;
    ~DbcLoadJob(); // deletes the progress dialog and the timer
    DbcLoadJob(const DbcLoadJob &) = delete;
    DbcLoadJob &operator=(const DbcLoadJob &) = delete;

    int reqType = ReqLoad;
    QUserProgressDlg *progressDlg = nullptr; // owned; made by the first run
    QUserTimer *progressTimer = nullptr;     // owned; made by the first load
    int progressCounter = 0;                 // never reset
    QString dbcFilePath;
    QVector<QUserDbcMsg> messages;           // the job's output
    int result = 0;
    DbcLoadReport report{};                  // what kemsig made of the file

    // The library as the program names it; tests name one that is missing.
    QString libFileName = QStringLiteral("kemsig.dll");
    // Set by the window before it issues a request, cleared by the worker as
    // the last thing it does with the record.
    std::atomic<bool> running{false};
};

class QUserDbcSendWork : public QUserWork
{
    Q_OBJECT
public:
    explicit QUserDbcSendWork(QObject *parent = nullptr);
    ~QUserDbcSendWork() override;

    // The load job: the record's path into its messages and result; 0 when
    // the result is 0, else -1. Polls the worker's stop flag.
    int dbcFileLoadJob(DbcLoadJob *job);

    // Jobs running now in any send-window worker (tests check that none
    // outlives the load that started it).
    static int activeJobs();

public slots:
    void slotRun(int reqType, void *param) override;
};

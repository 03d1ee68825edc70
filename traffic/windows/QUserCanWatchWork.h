#pragma once
// The trace viewer's worker: on a thread of its own it loads an ASC or BLF
// file into the viewer's source cache (request 0), rebuilds the filtered
// cache from it with the window's filter (request 1), and writes the filtered
// cache to a new ASC or BLF file (request 2). Every frame goes through the
// two cache files on disk, so a trace of any length takes the same memory.
// The request record, QUserCanWatchReq, belongs to the viewer window and
// travels with every request.

#include "core/QUserWork.h"

#include <QString>

#include <cstdint>
#include <mutex>
#include <vector>

class QFClassUserCanMsg;
class QUserCanMsg;
class QUserProgressDlg;
class QUserTraceFile;

struct QUserCanWatchReq
{
    enum Request : int { ReqLoad = 0, ReqFliter = 1, ReqSave = 2 };
    // How a job ended.
    enum Result : int {
        ResultDone = 0,
        ResultCreateFail = -1, // save: the trace file could not be created
        ResultCacheFail = -2,  // a cache file could not be opened or written
        ResultWriteFail = -3,  // save: the trace file refused a frame
    };

    QUserCanWatchReq() = default;
    ~QUserCanWatchReq(); // deletes the progress dialog
    QUserCanWatchReq(const QUserCanWatchReq &) = delete;
    QUserCanWatchReq &operator=(const QUserCanWatchReq &) = delete;

    // Inputs, written by the window before it issues a request.
    int reqType = ReqLoad;
    QUserProgressDlg *progressDlg = nullptr; // owned; made by the window's first request
    int step = 0;                            // advanced by the window's timeout slot; no job uses it
    QString path;                            // trace file to load (0) or to create (2)
    bool showTx = false;                     // filter: keep transmitted frames
    bool showRemote = false;                 // filter: keep remote frames
    bool idRangeEnable = false;              // filter: keep only identifiers in the range
    uint32_t startId = 0;                    // filter: lowest identifier kept
    uint32_t stopId = 0;                     // filter: highest identifier kept

    // The window's own two caches (QUserCanWatchWork::newCachePaths): the
    // source cache holds every frame of the last load, the filtered cache
    // what the table shows.
    QString srcCachePath;
    QString cachePath;

    // Outputs of the last job, for the window to read once the job's stop()
    // has arrived. Counts are 64-bit: a cache passes 2^31 bytes at about
    // 6.7 million records.
    int result = ResultDone;
    int64_t recordCount = 0;  // records written: source cache (0), filtered cache (1), trace file (2)
    int64_t skippedCount = 0; // cache records that could not be read and were left out (1, 2)
    bool stopped = false;     // the job ended on the stop flag
    bool endedEarly = false;  // load: the trace file was cut short, recordCount frames read
    int64_t damagedCount = 0; // load: damaged places of the trace file passed over
    bool notTrace = false;    // load: the file is no trace file (or did not open)
};

class QUserCanWatchWork : public QUserWork
{
    Q_OBJECT
public:
    explicit QUserCanWatchWork(QObject *parent = nullptr);
    ~QUserCanWatchWork() override;

    // The three jobs; each returns the result it also stores in the record.
    int traceLoad(QUserCanWatchReq *req);
    int cacheFliter(QUserCanWatchReq *req);
    int cacheSave(QUserCanWatchReq *req);

    // done * 100 / total in integers, 64-bit throughout; 0 for an empty total.
    static int percentOf(int64_t done, int64_t total);
    // Whether the filter keeps a frame.
    static bool fliterPass(const QUserCanWatchReq &req, const QUserCanMsg &msg);
    // An identifier text read as unsigned 32-bit hexadecimal (blanks around
    // it and a "0x" prefix allowed); 0 when it is no such number.
    static uint32_t idValueOf(const QString &idText);
    // A pair of cache file names (absolute) that no other viewer window uses.
    static void newCachePaths(QString *srcCache, QString *cache);
    // Jobs running now in any viewer worker (tests check that none outlives
    // its window).
    static int activeJobs();

    // Old caches are let go off the caller's thread. Dropping the last
    // reference to a cache of millions of records frees its pages, and
    // the system takes up to seconds for that (it waits for the writes
    // under way): on the GUI thread, as the table lets go of the cache it
    // showed, or inside the next load, that would be a stall of its own.
    // retire() takes a reference to the file at path before its name is
    // removed or replaced; retiredRelease() hands the references taken so
    // far to a thread of the program that drops them. The window releases
    // once its table shows the new cache; each load and filter releases
    // what earlier jobs retired. Thread-safe.
    void retire(const QString &path);
    void retiredRelease();

public slots:
    void slotRun(int reqType, void *param) override;

private:
    std::mutex retiredLock;
    std::vector<int> retired;

    // The two ways of reading a trace into the source cache: through frame
    // records (any format) and through binary frames (BLF). False when the
    // cache could not be written.
    bool loadText(QUserCanWatchReq *req, QUserTraceFile &trace, QFClassUserCanMsg &cache);
    bool loadRaw(QUserCanWatchReq *req, QUserTraceFile &trace, QFClassUserCanMsg &cache);
};

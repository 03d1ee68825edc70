#pragma once
// Playback worker: on its own thread it converts a trace file (ASC or BLF)
// into a playback cache file (request 0) and replays the cached frames onto
// one device channel (request 1), a step of frames per interval, through the
// device registry's send-list operation. Replayed frames carry the sender tag
// 102. The job record, QUserPlayBackParam, belongs to the playback dialog and
// travels with every request.

#include "core/QUserWork.h"

#include <QString>

#include <atomic>
#include <cstdint>

class QFClassUserCanMsg;
class QUserDeviceAdapter;
class QUserProgressDlg;

// The job record of one playback dialog. The worker reads and writes it in
// place while a job runs; the dialog writes the two flags at any time and the
// other inputs only before it issues a request.
struct QUserPlayBackParam
{
    enum Request : int { ReqLoad = 0, ReqSend = 1 };
    // How a send ended.
    enum Result : int {
        ResultDone = 0,       // reached the end of the cache
        ResultStopped = 1,    // stopped on request
        ResultNothingSent = -1, // auto stop: a step the device accepted nothing of
        ResultNoCache = -2,   // the cache file could not be opened
    };

    QUserPlayBackParam() = default;
    ~QUserPlayBackParam(); // deletes the progress dialog
    QUserPlayBackParam(const QUserPlayBackParam &) = delete;
    QUserPlayBackParam &operator=(const QUserPlayBackParam &) = delete;

    int reqType = ReqLoad;
    QUserProgressDlg *progressDlg = nullptr; // owned; made by the dialog's first request
    int lastPercent = 0;                     // send progress last emitted
    QString filePath;                        // the trace file
    // Records in the cache after the last load. Counts, indices and step
    // tallies are 64-bit: a cache passes 2^31 bytes at 6.7 million records.
    int64_t recordCount = 0;
    QString devId;
    QUserDeviceAdapter *devAdapter = nullptr; // not owned
    int interval = 1;                        // milliseconds per step
    int64_t nextIndex = 0;                   // next cache record to send
    int step = 1;                            // records per step
    std::atomic<bool> autoStop{false};       // end when a step sends nothing
    std::atomic<bool> cycle{false};          // start over after the last record
    bool running = false;                    // the dialog's own: a send is under way
    int64_t startTime = 0;                   // host ms when the send began
    int64_t stepsSent = 0;
    int64_t stepsDue = 0;
    int progressCounter = 0;                 // step calls since progress was last computed
    int result = ResultDone;

    QString cachePath;        // this dialog's cache file (see QPlayBackWork::newCachePath)
    int64_t skippedCount = 0; // records of the last send that could not be read
    bool passHadFrame = false; // a record was read in this pass over the cache
    bool endedEarly = false;   // the last load's trace file was cut short
    int64_t damagedCount = 0;  // the last load passed over this many damaged places of the file
    bool notTrace = false;     // the last load's file is no trace file (or did not open)
};

class QPlayBackWork : public QUserWork
{
    Q_OBJECT
public:
    explicit QPlayBackWork(QObject *parent = nullptr);
    ~QPlayBackWork() override;

    // Request 0: the trace file into the cache, in batches of 16 frames.
    void fileToCache(QUserPlayBackParam *p);
    // Request 1: replays the cache; returns the record's result.
    int cacheSend(QUserPlayBackParam *p);
    // One step of a send; false when the send is over.
    bool cacheSendStep(QFClassUserCanMsg *cache, QUserPlayBackParam *p);

    // Percent of the cache sent once `index` records are through (0 for an
    // empty cache).
    static int sendPercent(int64_t index, int64_t count);
    // A cache file name no other playback dialog uses.
    static QString newCachePath();
    // Jobs running now in any playback worker (tests check that none
    // outlives its dialog).
    static int activeJobs();

public slots:
    void slotRun(int reqType, void *param) override;
};

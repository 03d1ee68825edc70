#pragma once
// The CANopen window's request thread. The window posts request records into
// a blocking queue; the thread loads EDS files and projects, saves projects,
// sends paced frame lists and runs the SDO client (expedited transfers, one
// object at a time, three tries of 200 ms each) against the received frames
// the window hands it. It answers with two queued signals: progressNotice
// when a request is taken (phase 0) and when it is finished (phase 1), and
// dictObjValueChangeNotice for every SDO answer it parses.
//
// Ownership: a posted asynchronous request record belongs to the thread,
// which deletes it after its finish notice; its parameter record goes back
// to the window with that notice and the window frees it. The stop request
// carries a semaphore and lives on its poster's stack.

#include "canopen/QUserCANopenFrame.h"
#include "canopen/QUserCia402.h"
#include "canopen/QUserDictObj.h"
#include "core/QUserCanMsg.h"
#include "core/QUserMsgQueue.h"

#include <QList>
#include <QString>
#include <QThread>
#include <QVector>

#include <atomic>
#include <cstdint>

class QSemaphore;
class QUserCANopenPrj;
class QUserCANopenThread;
class QUserDeviceAdapter;
class QUserEdsParser;
class QUserLoadingDialog;

// The parameter record of every request but stop.
struct QUserCANopenReqPara
{
    // What the window does with the notices: the request type for 0-3, 5
    // (listen-list transfer) and 6; 7 PDO settings download, 8 PDO settings
    // upload and 9 the drive state read before a CiA 402 position move (all
    // SDO transfers, request type 5).
    int kind = 0;
    uint8_t nodeId = 0;
    QString devId;
    QUserDeviceAdapter *adapter = nullptr;   // not owned
    QVector<QUserCanMsg> frames;
    int paceMs = 0;
    QUserEdsParser *parser = nullptr;        // the window's own parser, not owned
    QString filePath;
    QString edsPath;
    QUserCANopenPrj *project = nullptr;      // owned
    QVector<QUserDictObj> *listenList = nullptr; // owned
    QVector<QUserDictObj> *rxPdoList = nullptr;  // owned
    QVector<QUserDictObj> *txPdoList = nullptr;  // owned
    QVector<QUserDictObj> *sdoList = nullptr;    // owned; uploads write their values here
    int sdoPos = 0;
    QUserCanMsg rxFrame;
    int result = 0;
    uint32_t abortCode = 0;                  // result SdoAborted: the code the node sent
    QUserCia402Move cia402Move;              // kind 9: the move to start once the state is read
    QUserCANopenThread *thread = nullptr;
    QUserLoadingDialog *waitDialog = nullptr; // owned by the window while the request runs

    QUserCANopenReqPara() = default;
    // Frees what the record owns: project, the four lists and the waiting
    // dialog. The parser is never the record's.
    ~QUserCANopenReqPara();
    QUserCANopenReqPara(const QUserCANopenReqPara &) = delete;
    QUserCANopenReqPara &operator=(const QUserCANopenReqPara &) = delete;
};

struct QUserCANopenReq
{
    QSemaphore *semaphore = nullptr; // null: asynchronous, deleted by the thread
    int type = 0;
    QUserCANopenReqPara *param = nullptr;
    int result = 0;
    bool done = false;
};

class QUserCANopenThread : public QThread
{
    Q_OBJECT
public:
    enum ReqType {
        ReqMsgListSend = 0,
        ReqEdsFileLoad = 1,
        ReqPrjLoad = 2,
        ReqPrjSave = 3,
        ReqStop = 4,
        ReqSdoTransfer = 5,
        ReqCanMsgRec = 6,
    };
    // Kinds beyond the request types (see QUserCANopenReqPara::kind).
    enum ReqKind { KindPdoDownload = 7, KindPdoUpload = 8, KindCia402PosStart = 9 };
    enum Result {
        ResultOk = 0,
        ResultLoadFail = 2,
        ResultSaveFail = 5,
        ResultSdoTimeout = 6,
        ResultSdoAborted = 7,   // the node aborted the transfer (abortCode)
        ResultSdoRefused = 8,   // the object cannot be sent by expedited SDO
    };
    enum SdoState { SdoIdle = 0, SdoSend = 1, SdoWait = 2 };

    static constexpr int kSdoTries = 3;
    static constexpr int kSdoTimeoutMs = 200;
    // The abort a segmented upload answer gets: CiA 301 "unsupported access
    // to an object". The answer itself is valid (so not "command specifier
    // not valid or unknown"), and nothing mismatches a data type's length
    // (the 0x0607001x codes): this client carries out expedited transfers
    // only, and segments are the only access the object offers.
    static constexpr uint32_t kSegmentedAbortCode = QUserCANopenFrame::kAbortUnsupportedAccess;

    explicit QUserCANopenThread(QObject *parent = nullptr);
    // Stops the loop (as stop() does) and waits until run() has returned;
    // then frees the request records still queued or in progress (their
    // parameter records stay with whoever posted them).
    ~QUserCANopenThread() override;

    // Queues a request; one with a semaphore is waited for.
    bool reqPost(QUserCANopenReq *req);
    // Posts a stop request and waits for its acknowledgement, then for the
    // loop to end. Nothing when the thread does not run.
    void stop();

    // One take-and-dispatch pass of the loop (tests drive the thread without
    // starting it this way).
    bool reqProcessOne();
    void reqFinishNotice();

    void msgListSend(QUserCANopenReqPara *p);
    void edsFileLoad(QUserCANopenReqPara *p);
    void prjLoad(QUserCANopenReqPara *p);
    void prjSave(QUserCANopenReqPara *p);
    void canMsgRecHandle(QUserCANopenReqPara *p);

    void sdoTransferStart(QUserCANopenReq *req, QUserCANopenReqPara *p);
    QUserCANopenReq *sdoTransferFinish(int result);
    // value: the answer's; an unsized upload answer leaves it cut to the
    // size of the object in flight.
    bool sdoResponseMatch(uint8_t node, bool isWrite, uint16_t index, uint16_t subIndex, uint32_t &value,
                          bool sized = true);
    bool sdoAbortMatch(uint8_t node, uint16_t index, uint16_t subIndex, uint32_t abortCode);
    // A segmented upload answer to the read in flight: the node's transfer
    // is aborted (kSegmentedAbortCode) and the list ends refused (the
    // object cannot be read with an expedited transfer).
    bool sdoSegmentedMatch(uint8_t node, uint16_t index, uint16_t subIndex);
    int sdoStateUpdate();
    void sdoStateSet(int state) { sdoState = state; }
    int sdoTransferStep();

    int queuedCount() const { return queue.size(); }
    bool sdoBusy() const { return curPara != nullptr; }

signals:
    void progressNotice(void *param, int phase, int value);
    // sizeIndicated: the bytes an upload answer said it carries (1-4); 0 when
    // it left the size to the object (0x42) and was not the answer to the
    // transfer in flight (which comes cut to its object's size).
    void dictObjValueChangeNotice(quint32 index, quint32 subIndex, bool isWrite, quint32 value, quint32 sizeIndicated);

protected:
    void run() override;

private:
    void dispatch(QUserCANopenReq *req);

    std::atomic<bool> stopFlag{false};
    std::atomic<bool> stopPending{false}; // stop() was called: frame lists end early
    QUserMsgQueue queue;
    QList<QUserCANopenReq *> inProgress;
    QList<QUserCANopenReq *> sdoPending; // SDO lists waiting for the running one (also in inProgress)
    QUserCANopenReq *curReq = nullptr;
    QUserCANopenReqPara *curPara = nullptr;
    bool responseFlag = false;
    int seenState = SdoIdle;
    int sdoState = SdoIdle;
    int triesLeft = 0;
    int64_t sentAtMs = 0;
    QUserCANopenFrame codec;
};

#include "canopen/windows/QUserCANopenThread.h"

#include "canopen/QUserCANopenPrj.h"
#include "canopen/QUserEdsParser.h"
#include "devices/QUserDeviceAdapter.h"
#include "widgets/QUserLoadingDialog.h"

#include <QDebug>
#include <QSemaphore>

QUserCANopenReqPara::~QUserCANopenReqPara()
{
    delete project;
    delete listenList;
    delete rxPdoList;
    delete txPdoList;
    delete sdoList;
    delete waitDialog;
}

QUserCANopenThread::QUserCANopenThread(QObject *parent) : QThread(parent) {}

QUserCANopenThread::~QUserCANopenThread()
{
    stop();
    wait();
    // Nothing runs the loop any more: what it still held is freed here
    // (records only; the parameter records belong to their posters now).
    while (void *item = queue.pop(0)) {
        auto *req = static_cast<QUserCANopenReq *>(item);
        if (!req->semaphore)
            delete req;
        else
            req->semaphore->release();
    }
    for (QUserCANopenReq *req : qAsConst(inProgress)) {
        if (!req->semaphore)
            delete req;
        else
            req->semaphore->release();
    }
    // Waiting SDO lists are in the in-progress list too.
    inProgress.clear();
    sdoPending.clear();
}

bool QUserCANopenThread::reqPost(QUserCANopenReq *req)
{
    if (!req)
        return false;
    // Once pushed, an asynchronous record belongs to the thread, which may
    // already have finished and deleted it: it is not looked at again.
    QSemaphore *sem = req->semaphore;
    queue.push(req);
    if (sem)
        sem->acquire();
    return true;
}

void QUserCANopenThread::stop()
{
    if (!isRunning())
        return;
    // A long paced frame list in hand stops at its next frame.
    stopPending.store(true);
    QSemaphore sem(0);
    QUserCANopenReq req;
    req.semaphore = &sem;
    req.type = ReqStop;
    reqPost(&req);
    // The acknowledgement comes from inside the loop's turn; the loop
    // returns right after it.
    wait();
}

void QUserCANopenThread::run()
{
    for (;;) {
        reqFinishNotice();
        if (stopFlag.load())
            return;
        sdoTransferStep();
        if (!reqProcessOne())
            QThread::usleep(100);
    }
}

bool QUserCANopenThread::reqProcessOne()
{
    auto *req = static_cast<QUserCANopenReq *>(queue.pop(0));
    if (!req)
        return false;
    inProgress.append(req);
    emit progressNotice(req->param, 0, 0);
    dispatch(req);
    return true;
}

void QUserCANopenThread::dispatch(QUserCANopenReq *req)
{
    QUserCANopenReqPara *p = req->param;
    switch (req->type) {
    case ReqMsgListSend:
        if (p)
            msgListSend(p);
        break;
    case ReqEdsFileLoad:
        if (p)
            edsFileLoad(p);
        break;
    case ReqPrjLoad:
        if (p)
            prjLoad(p);
        break;
    case ReqPrjSave:
        if (p)
            prjSave(p);
        break;
    case ReqStop:
        stopFlag.store(true);
        break;
    case ReqSdoTransfer:
        if (!p) {
            break;
        }
        if (curPara) {
            // One transfer at a time: a later list waits for its turn.
            sdoPending.append(req);
        } else {
            sdoTransferStart(req, p);
        }
        return;
    case ReqCanMsgRec:
        if (p)
            canMsgRecHandle(p);
        break;
    default:
        break;
    }
    req->result = 0;
    req->done = true;
}

void QUserCANopenThread::reqFinishNotice()
{
    for (int i = 0; i < inProgress.size(); ++i) {
        QUserCANopenReq *req = inProgress.at(i);
        if (!req->done)
            continue;
        req->done = false;
        inProgress.removeAt(i);
        emit progressNotice(req->param, 1, 0);
        if (req->semaphore)
            req->semaphore->release(); // the poster owns the record again
        else
            delete req;
        return;
    }
}

void QUserCANopenThread::msgListSend(QUserCANopenReqPara *p)
{
    for (QUserCanMsg frame : qAsConst(p->frames)) {
        if (stopPending.load())
            break;
        if (p->adapter)
            p->adapter->devSendMsg(p->devId, frame);
        if (p->paceMs > 0)
            QThread::msleep(unsigned(p->paceMs));
    }
    p->result = ResultOk;
}

void QUserCANopenThread::edsFileLoad(QUserCANopenReqPara *p)
{
    if (!p->parser) {
        p->result = ResultLoadFail;
        return;
    }
    p->result = p->parser->loadFile(p->filePath) ? ResultOk : ResultLoadFail;
}

void QUserCANopenThread::prjLoad(QUserCANopenReqPara *p)
{
    if (!p->project) {
        p->result = ResultLoadFail;
        return;
    }
    p->result = p->project->prjLoad(p->filePath) == 0 ? ResultOk : ResultLoadFail;
}

void QUserCANopenThread::prjSave(QUserCANopenReqPara *p)
{
    if (!p->project || !p->listenList || !p->rxPdoList || !p->txPdoList) {
        p->result = ResultSaveFail;
        return;
    }
    p->project->prjFilePathSet(p->filePath);
    p->project->edsFilePathSet(p->edsPath);
    p->project->listenDictObjListSet(*p->listenList);
    p->project->rxPdoDictObjListSet(*p->rxPdoList);
    p->project->txPdoDictObjListSet(*p->txPdoList);
    p->result = p->project->prjSave() == 0 ? ResultOk : ResultSaveFail;
}

void QUserCANopenThread::canMsgRecHandle(QUserCANopenReqPara *p)
{
    uint8_t node = 0;
    bool isWrite = false;
    uint16_t index = 0;
    uint16_t subIndex = 0;
    uint32_t len = 0;
    uint32_t value = 0;
    bool sized = true;
    if (codec.sdoResponseParse(p->rxFrame, node, isWrite, index, subIndex, len, value, &sized)) {
        // A matched unsized answer comes back cut to its object's size, and
        // says so.
        if (sdoResponseMatch(node, isWrite, index, subIndex, value, sized) && !isWrite)
            sized = true;
        emit dictObjValueChangeNotice(index, subIndex, isWrite, value, sized ? len : 0);
        return;
    }
    uint32_t abortCode = 0;
    if (codec.sdoAbortParse(p->rxFrame, node, index, subIndex, abortCode)) {
        sdoAbortMatch(node, index, subIndex, abortCode);
        return;
    }
    if (codec.sdoSegmentedUploadParse(p->rxFrame, node, index, subIndex))
        sdoSegmentedMatch(node, index, subIndex);
}

// ---- SDO client -----------------------------------------------------------------------

void QUserCANopenThread::sdoTransferStart(QUserCANopenReq *req, QUserCANopenReqPara *p)
{
    curReq = req;
    curPara = p;
    p->sdoPos = 0;
    responseFlag = false;
    seenState = SdoIdle;
    sdoState = SdoIdle;
}

QUserCANopenReq *QUserCANopenThread::sdoTransferFinish(int result)
{
    QUserCANopenReq *req = curReq;
    if (curPara)
        curPara->result = result;
    if (req)
        req->done = true;
    curReq = nullptr;
    curPara = nullptr;
    sdoState = SdoIdle;
    seenState = SdoIdle;
    if (!sdoPending.isEmpty()) {
        QUserCANopenReq *next = sdoPending.takeFirst();
        sdoTransferStart(next, next->param);
    }
    return req;
}

// The object in flight, or null.
static const QUserDictObj *sdoObjAt(const QUserCANopenReqPara *p)
{
    if (!p || !p->sdoList || p->sdoPos < 0 || p->sdoPos >= p->sdoList->size())
        return nullptr;
    return &p->sdoList->at(p->sdoPos);
}

bool QUserCANopenThread::sdoResponseMatch(uint8_t node, bool isWrite, uint16_t index, uint16_t subIndex,
                                          uint32_t &value, bool sized)
{
    if (!curPara || seenState != SdoWait || node != curPara->nodeId)
        return false;
    const QUserDictObj *obj = sdoObjAt(curPara);
    if (!obj || obj->index != index || obj->subIndex != subIndex)
        return false;
    responseFlag = true;
    if (!isWrite) {
        // An answer without size indication carries four bytes; the
        // object's own size says how many of them are the value.
        const int size = obj->dataTypeSize();
        if (!sized && size >= 1 && size < 4)
            value &= (1u << (8 * size)) - 1u;
        (*curPara->sdoList)[curPara->sdoPos].curValue = value;
    }
    return true;
}

bool QUserCANopenThread::sdoAbortMatch(uint8_t node, uint16_t index, uint16_t subIndex, uint32_t abortCode)
{
    if (!curPara || seenState != SdoWait || node != curPara->nodeId)
        return false;
    const QUserDictObj *obj = sdoObjAt(curPara);
    if (!obj || obj->index != index || obj->subIndex != subIndex)
        return false;
    // The node refused this object: no retry can change that.
    qDebug() << ">" << QStringLiteral("SDO Abort [%1,%2] code 0x%3...")
                           .arg(index, 4, 16, QLatin1Char('0'))
                           .arg(subIndex, 2, 16, QLatin1Char('0'))
                           .arg(abortCode, 8, 16, QLatin1Char('0'));
    curPara->abortCode = abortCode;
    sdoTransferFinish(ResultSdoAborted);
    return true;
}

bool QUserCANopenThread::sdoSegmentedMatch(uint8_t node, uint16_t index, uint16_t subIndex)
{
    if (!curPara || seenState != SdoWait || node != curPara->nodeId)
        return false;
    const QUserDictObj *obj = sdoObjAt(curPara);
    if (!obj || !obj->isRead || obj->index != index || obj->subIndex != subIndex)
        return false;
    // The node opened a segmented upload: it answered, and asking again
    // gets the same answer. Its transfer is closed with an abort, so that it
    // does not wait for segment requests; the code says that this access
    // (the only one the object has, a segmented transfer) is not supported
    // here.
    QUserCanMsg abort;
    if (codec.sdoAbortMsgCreat(abort, int(node), index, subIndex, kSegmentedAbortCode) && curPara->adapter
        && curPara->adapter->devSendMsg(curPara->devId, abort) == 0)
        qDebug() << ">" << "SDO Abort Send Fail...";
    qDebug() << ">" << QStringLiteral("SDO Read [%1,%2] answered segmented, aborted with 0x%3...")
                           .arg(index, 4, 16, QLatin1Char('0'))
                           .arg(subIndex, 2, 16, QLatin1Char('0'))
                           .arg(kSegmentedAbortCode, 8, 16, QLatin1Char('0'));
    sdoTransferFinish(ResultSdoRefused);
    return true;
}

int QUserCANopenThread::sdoStateUpdate()
{
    if (sdoState != seenState) {
        if (sdoState == SdoSend && seenState == SdoIdle) {
            sentAtMs = getCurrentMs();
            triesLeft = kSdoTries;
        }
        seenState = sdoState;
    }
    return sdoState;
}

int QUserCANopenThread::sdoTransferStep()
{
    if (!curPara)
        return -1;
    sdoStateUpdate();
    const int count = curPara->sdoList ? curPara->sdoList->size() : 0;
    switch (sdoState) {
    case SdoIdle:
        if (curPara->sdoPos < count)
            sdoState = SdoSend;
        else
            sdoTransferFinish(ResultOk);
        break;
    case SdoSend: {
        if (triesLeft <= 0) {
            qDebug() << ">" << "SDO Send Fail,timeout...";
            sdoTransferFinish(ResultSdoTimeout);
            return 0;
        }
        --triesLeft;
        QUserCanMsg frame;
        const QUserDictObj *obj = sdoObjAt(curPara);
        if (!obj || !codec.sdoDictObjMsgCreat(frame, int(curPara->nodeId), *obj)) {
            // Not a request an expedited transfer can carry (node id out of
            // range, or a value that is not 1-4 bytes): no try can help.
            sdoTransferFinish(ResultSdoRefused);
            return 0;
        }
        if (!curPara->adapter || curPara->adapter->devSendMsg(curPara->devId, frame) == 0)
            qDebug() << ">" << "SDO Send Fail...";
        responseFlag = false;
        sentAtMs = getCurrentMs();
        // The wait begins as the request goes out: the node may answer
        // before the next step, and that answer is taken from the queue in
        // this very turn of the loop.
        sdoState = SdoWait;
        seenState = SdoWait;
        break;
    }
    case SdoWait:
        if (getElapsedMs(sentAtMs) > kSdoTimeoutMs) {
            sdoState = SdoSend;
        } else if (responseFlag) {
            curPara->sdoPos += 1;
            if (curPara->sdoPos >= count)
                sdoTransferFinish(ResultOk);
            else
                sdoState = SdoIdle;
        }
        break;
    default:
        sdoState = SdoIdle;
        break;
    }
    return 0;
}

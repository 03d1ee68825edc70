// The CANopen window's side of its request thread: every posting operation
// fills a parameter record and hands a request to the thread without
// waiting. The records come back with the finish notice (progress slot).
#include "canopen/windows/QUserMainWindowCANopen.h"

#include "canopen/QUserCANopenPrj.h"
#include "canopen/windows/QUserCANopenThread.h"
#include "canopen/QUserCANopenUiSetting.h"
#include "canopen/QUserEdsParser.h"
#include "canopen/windows/QUserTableModelEDS.h"
#include "devices/QUserDeviceAdapter.h"
#include "widgets/QUserMessageBox.h"

QUserCANopenReqPara *QUserMainWindowCANopen::paraNew(int kind)
{
    auto *p = new QUserCANopenReqPara;
    p->kind = kind;
    p->thread = reqThread;
    p->devId = devId;
    p->adapter = devAdapter.data();
    return p;
}

bool QUserMainWindowCANopen::reqPost(int type, QUserCANopenReqPara *p)
{
    if (!reqThread || closing) {
        delete p;
        return false;
    }
    auto *req = new QUserCANopenReq;
    req->type = type;
    req->param = p;
    liveParams.insert(p);
    return reqThread->reqPost(req);
}

bool QUserMainWindowCANopen::reqCanMsgRecPost(const QUserCanMsg &frame)
{
    QUserCANopenReqPara *p = paraNew(QUserCANopenThread::ReqCanMsgRec);
    p->rxFrame = frame;
    return reqPost(QUserCANopenThread::ReqCanMsgRec, p);
}

bool QUserMainWindowCANopen::reqEdsFileLoadPost(const QString &path)
{
    QUserCANopenReqPara *p = paraNew(QUserCANopenThread::ReqEdsFileLoad);
    p->parser = edsParser();
    p->filePath = path;
    edsLogAppend(0, tr("加载EDS文件:") + path);
    return reqPost(QUserCANopenThread::ReqEdsFileLoad, p);
}

bool QUserMainWindowCANopen::reqPrjLoadPost(const QString &path)
{
    QUserCANopenReqPara *p = paraNew(QUserCANopenThread::ReqPrjLoad);
    p->project = new QUserCANopenPrj;
    p->filePath = path;
    edsLogAppend(0, tr("加载工程文件:") + path);
    return reqPost(QUserCANopenThread::ReqPrjLoad, p);
}

bool QUserMainWindowCANopen::reqPrjSavePost(const QString &path)
{
    QUserCANopenReqPara *p = paraNew(QUserCANopenThread::ReqPrjSave);
    p->project = new QUserCANopenPrj;
    p->filePath = path;
    p->edsPath = edsPath;
    // The file keeps numbers: node-id formulas go in as the node the window
    // addresses sees them.
    const int node = edsNodeId();
    p->listenList = new QVector<QUserDictObj>;
    if (listenObjModel) {
        for (int i = 0; i < listenObjModel->cacheCount(); ++i)
            p->listenList->append(listenObjModel->dictObjAt(i)->resolvedFor(node));
    }
    p->rxPdoList = new QVector<QUserDictObj>;
    for (const QUserDictObj &pdo : qAsConst(edsParser()->rxPdoList))
        p->rxPdoList->append(pdo.resolvedFor(node));
    p->txPdoList = new QVector<QUserDictObj>;
    for (const QUserDictObj &pdo : qAsConst(edsParser()->txPdoList))
        p->txPdoList->append(pdo.resolvedFor(node));
    edsLogAppend(0, tr("保存工程文件:") + path);
    return reqPost(QUserCANopenThread::ReqPrjSave, p);
}

bool QUserMainWindowCANopen::sdoListPost(const QVector<QUserDictObj> &list, int kind)
{
    // An empty Node-ID field names no node: nothing goes out.
    if (!cia301NodeIdGet())
        return false;
    QUserCANopenReqPara *p = paraNew(kind);
    p->sdoList = new QVector<QUserDictObj>(list);
    p->nodeId = uiSetting->cia301.nodeId;
    return reqPost(QUserCANopenThread::ReqSdoTransfer, p);
}

bool QUserMainWindowCANopen::reqSdoWriteListPost(const QVector<QUserDictObj> &list)
{
    return sdoListPost(list, QUserCANopenThread::KindPdoDownload);
}

bool QUserMainWindowCANopen::reqSdoReadListPost(const QVector<QUserDictObj> &list)
{
    return sdoListPost(list, QUserCANopenThread::KindPdoUpload);
}

bool QUserMainWindowCANopen::reqSdoTransferPost(const QVector<QUserDictObj> &list)
{
    // No lines for a transfer that will not run.
    if (!cia301NodeIdGet())
        return false;
    for (const QUserDictObj &obj : list) {
        if (obj.isRead)
            edsLogAppend(0, QStringLiteral("SDO Read [%1,%2][%3]")
                                .arg(QString::asprintf("%04X", obj.index))
                                .arg(QString::asprintf("%02X", obj.subIndex))
                                .arg(obj.ParameterName));
        else
            edsLogAppend(0, QStringLiteral("SDO Write [%1,%2][%3]->")
                                    .arg(QString::asprintf("%04X", obj.index))
                                    .arg(QString::asprintf("%02X", obj.subIndex))
                                    .arg(obj.ParameterName)
                                + QString::asprintf("0x%04X", obj.curValue));
    }
    return sdoListPost(list, QUserCANopenThread::ReqSdoTransfer);
}

bool QUserMainWindowCANopen::reqMsgListSendPost(const QVector<QUserCanMsg> &frames)
{
    QUserCANopenReqPara *p = paraNew(QUserCANopenThread::ReqMsgListSend);
    p->frames = frames;
    p->paceMs = 10;
    return reqPost(QUserCANopenThread::ReqMsgListSend, p);
}

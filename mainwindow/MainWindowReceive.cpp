// The receive road, send results and the status-bar statistics: what the
// main window does with the registry's received batches and transmitted
// frames (both queued to the GUI thread), and the 100 ms status-bar refresh.

#include "mainwindow/MainWindow.h"

#include "core/QUserSysCfg.h"
#include "devices/QUserDevChState.h"
#include "devices/QUserDeviceAdapter.h"
#include "devices/QUserDeviceSendMachine.h"
#include "traffic/QUserAdvanceSend.h"
#include "mainwindow/QUserTableModelCan.h"
#include "widgets/QUserMessageBox.h"
#include "widgets/uiStatusBar.h"

#include <QDebug>
#include <QTimer>

void MainWindow::soltDevRec(QString devId, QVector<QUserCanMsg> msgs)
{
    QUserWindowTabData *data = tabSrv.find(devId);
    if (!data || msgs.isEmpty())
        return;
    // Asked once per batch: neither the filter nor the recorder changes
    // while this slot runs. A channel without a filter (closed underneath
    // its tab, its last frames still on their way) filters nothing.
    const bool filtering = devAdapter && devAdapter->fliterEnableGet(devId);
    const bool recording = devAdapter && devAdapter->recordIsStart(devId);
    QUserTableModelCan *model = data->model;
    if (model)
        model->appendBegin();
    for (const QUserCanMsg &msg : qAsConst(msgs)) {
        if (filtering && !devAdapter->fliterCheck(devId, &msg))
            continue;
        data->rxCntAdd(1);
        tabMsgShow(data, devId, msg, recording);
    }
    if (model)
        model->appendEnd();
}

bool MainWindow::tabMsgShow(QUserWindowTabData *data, const QString &devId, const QUserCanMsg &msg, bool recording)
{
    if (msg.direction == 1 &&
        QUserSysCfg::instance()->getString(QStringLiteral("sendAllowDis")) == QLatin1String("OFF"))
        return false;
    if (data->model)
        data->model->msgAppend(msg);
    if (recording && devAdapter)
        devAdapter->recordWrite(devId, msg);
    return true;
}

bool MainWindow::tabMsgAppend(const QString &devId, const QUserCanMsg &msg)
{
    QUserWindowTabData *data = tabSrv.find(devId);
    if (!data) {
        qDebug().noquote() << "MainWindow >" << QStringLiteral("ERROR: TAB <%1> Not Exist...").arg(devId);
        return false;
    }
    return tabMsgShow(data, devId, msg, devAdapter && devAdapter->recordIsStart(devId));
}

void MainWindow::soltDevSendResult(QString devId, QUserCanMsg msg)
{
    switch (msg.status) {
    case MsgStatusBasicStart:
    case MsgStatusBasicEnd:
        uiTabBasicSendUpdate();
        break;
    case MsgStatusAdvStart:
    case MsgStatusAdvEnd:
        if (curTabDevGet() == devId)
            uiTabAdvSendUpdate();
        break;
    case MsgTagBasicSend:
    case MsgTagPlayBack:
    case MsgTagDbcSend:
    case MsgTagCanOpen:
        if (QUserWindowTabData *data = tabSrv.find(devId))
            data->txCntAdd(1);
        tabMsgAppend(devId, msg);
        if (msg.status == MsgTagBasicSend && msg.sendFailed)
            sendFailWarn(devId);
        break;
    case MsgTagAdvanceSend:
        if (QUserWindowTabData *data = tabSrv.find(devId))
            data->txCntAdd(1);
        advSendResultHandle(devId, msg);
        break;
    default:
        break;
    }
}

void MainWindow::advSendResultHandle(const QString &devId, const QUserCanMsg &msg)
{
    tabMsgAppend(devId, msg);
    if (!msg.sendFailed)
        return;
    // The channel whose frame failed decides, by the failure mode of its own
    // task (the panel shows only the current tab's): a task that stops at a
    // failure warns, one that goes on does not.
    QUserDeviceSendMachine *machine = devAdapter ? devAdapter->sendMachine(devId) : nullptr;
    const QUserAdvanceSend *sender = machine ? machine->advanceSender() : nullptr;
    if (sender && sender->errorModeGet() == 0)
        sendFailWarn(devId);
}

void MainWindow::sendFailWarn(const QString &devId)
{
    // One box per channel at a time: failed frames that arrive while it is
    // open (its modal run goes on handling queued results) are shown and
    // counted, but do not stack further boxes on top of it.
    if (sendFailBoxOpen.contains(devId))
        return;
    // A frame refused because the adapter has gone: the box that says so
    // comes once for the adapter, not once per refused frame and channel.
    if (devAdapter && devAdapter->devLostGet(devId))
        return;
    sendFailBoxOpen.insert(devId);
    QUserMessageBox::msgWarning(this, tr("错误"), devId + QStringLiteral(":") + tr("发送失败!"));
    sendFailBoxOpen.remove(devId);
}

void MainWindow::slotStatusBarTimeTask()
{
    if (!statusBarTimer)
        return;
    QUserWindowTabData *data = curTabDataGet();
    if (!data || !statusBarWidget)
        return;
    uiStatusBarInfo info;
    info.txRate = data->txRateGet();
    info.rxRate = data->rxRateGet();
    info.txCount = data->txCntGet();
    info.rxCount = data->rxCntGet();
    QUserDevChState state;
    if (devAdapter && devAdapter->devInfoGet(curTabDevGet(), &state)) {
        state.languageSet(languageCode);
        info.devInfo = state.devStateText();
        info.devAlarm = state.chLostGet() != 0;
    }
    statusBarWidget->statusUpdate(info);
}

void MainWindow::slotStatusBarBtnClrClick()
{
    qDebug().noquote() << "MainWindow >" << "统计数据清零...";
    if (QUserWindowTabData *data = curTabDataGet())
        data->cntClr();
    if (statusBarWidget)
        statusBarWidget->statusUpdate(uiStatusBarInfo());
}

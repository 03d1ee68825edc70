// Device open and close from the main window, and the launchers of the
// device tools in the ribbon.

#include "mainwindow/MainWindow.h"

#include "core/QUserDevId.h"
#include "devices/QUserDevChState.h"
#include "devices/QUserDeviceAdapter.h"
#include "devtools/QUserDlgBaudCalculator.h"
#include "devtools/QUserDlgBaudChk.h"
#include "devtools/QUserDlgDeviceSel.h"
#include "devtools/QUserDlgFdRecordSet.h"
#include "devtools/QUserDlgFirmUpdate.h"
#include "devtools/QUserDlgRepeatCfg.h"
#include "mainwindow/QUserMainWindowLayout.h"
#include "widgets/QUserMessageBox.h"

#include <QDebug>
#include <QTabWidget>

namespace {

void logLine(const QString &text)
{
    qDebug().noquote() << "MainWindow >" << text;
}

// Device classes of the selection dialog.
enum SelClass : uint8_t { SelCanFd = 0, SelRecorder = 1, SelLin = 2 };

} // namespace

void MainWindow::tipOk(const QString &text, int holdMs)
{
    logLine(QStringLiteral("tip: ") + text);
    msgBox.tipSuccess(this, text, holdMs);
}

void MainWindow::tipBad(const QString &text, int holdMs)
{
    logLine(QStringLiteral("tip: ") + text);
    msgBox.tipFail(this, text, holdMs);
}

// ---- the device menu -------------------------------------------------------

void MainWindow::soltDevCanSelect()
{
    QUserDlgDeviceSel dlg;
    dlg.devTypeSet(SelCanFd);
    if (dlg.dialogExec() != 1)
        return;
    const QString model = dlg.devModelGet();
    if (!deviceModelMap.contains(model))
        return;
    if (devOpen(deviceModelMap.value(model))) {
        uiTabBasicSendUpdate();
        uiTabAdvSendUpdate();
    }
}

void MainWindow::soltDevLinSelect()
{
    QUserDlgDeviceSel dlg;
    dlg.devTypeSet(SelLin);
    if (dlg.dialogExec() != 1)
        return;
    const QString model = dlg.devModelGet();
    if (model != QLatin1String("TRNC701"))
        return;
    // The registry has no LIN device class: the open ends with its
    // parameter error and the box that says so.
    if (devOpen(model)) {
        uiTabBasicSendUpdate();
        uiTabAdvSendUpdate();
    }
}

void MainWindow::soltDevRecordSelect()
{
    QUserDlgDeviceSel dlg;
    dlg.devTypeSet(SelRecorder);
    if (dlg.dialogExec() != 1)
        return;
    if (dlg.devModelGet() != QLatin1String("TRND702"))
        return;
    // The recording adapter is set up in a dialog of its own; it is not
    // opened as a data device and gets no data tab.
    if (devToolExec(DevToolRecordSet) != 0) {
        uiTabBasicSendUpdate();
        uiTabAdvSendUpdate();
    }
}

// ---- open and close --------------------------------------------------------

bool MainWindow::devOpen(const QString &typeKey)
{
    if (!devAdapter)
        return false;
    QStringList devIds;
    const int result = devAdapter->devOpen(typeKey, devIds);
    if (result < 0) {
        logLine(QStringLiteral("Dev %1 Open Fail, result %2...").arg(typeKey).arg(result));
        QString text;
        switch (result) {
        case -1:
            text = tr("设备打开失败!");
            break;
        case -3:
            text = tr("设备初始化失败!");
            break;
        case -4:
            text = tr("设备参数错误!");
            break;
        default:
            break; // cancelled and the like: nothing to tell
        }
        if (!text.isEmpty())
            QUserMessageBox::msgError(this, tr("错误"), text);
        return false;
    }
    tipOk(tr("设备打开成功!"), 1000);
    for (const QString &devId : qAsConst(devIds)) {
        if (tabSrv.find(devId)) {
            // The tab kept when the channel's adapter was lost goes on with
            // the channel opened again.
            QTabWidget *tabs = layout ? layout->tabDataShow : nullptr;
            const QString label = getDevIdTextEx(languageCode, devId);
            for (int i = 0; tabs && i < tabs->count(); ++i)
                if (tabs->tabText(i) == label)
                    tabs->setCurrentIndex(i);
        } else {
            tabCreat(devId);
        }
        QUserDevChState state;
        if (!devAdapter->devInfoGet(devId, &state))
            continue;
        if (state.relayShowGet() && state.relayStateGet())
            QUserMessageBox::msgWarning(this, tr("提示"),
                                        tr("设备已处于中继模式,无法正常收发数据,如果要正常接收和发送数据，\r\n"
                                           "                请先关闭中继功能([工具]->[中继配置])，再打开设备!!"));
        if (state.isListenMode())
            QUserMessageBox::msgWarning(
                this, tr("提示"),
                tr("设备处于只听模式,无法正常发送数据,如果要正常发送数据，\r\n"
                   "                请修改设备工作模式为[正常模式]([选择设备]->[设备]->[工作模式])，再打开设备!!"));
    }
    return true;
}

bool MainWindow::devClose(const QString &devId)
{
    if (!devAdapter)
        return false;
    // Nothing may write to or send on the channel while it closes.
    devAdapter->recordStop(devId);
    devAdapter->basicSendStop(devId);
    devAdapter->advanceSendStop(devId);
    QString typeName;
    int result = -1;
    if (parseDevId(devId, typeName))
        result = devAdapter->devClose(typeName, devId);
    if (result != 0) {
        // Said as it is: the channel may still be open on the adapter.
        logLine(QStringLiteral("Dev %1 Close Fail, result %2...").arg(devId).arg(result));
        tipBad(tr("设备关闭失败!"), 1000);
        return false;
    }
    tipOk(tr("设备已关闭!"), 1000);
    return true;
}

void MainWindow::soltDevLost(QString typeName, int devIndex, QStringList devIds, QStringList recordStopped)
{
    logLine(QStringLiteral("Dev %1 index:%2 Lost, Channel %3 Closed, Record %4 Stopped...")
                .arg(typeName)
                .arg(devIndex)
                .arg(devIds.join(QLatin1Char(',')), recordStopped.join(QLatin1Char(','))));
    // The tabs stay with what they hold; the actions, the panels and the
    // status bar show the current channel as it is now.
    uiTabBasicSendUpdate();
    uiTabAdvSendUpdate();
    slotStatusBarTimeTask();
    QString text = tr("适配器 %1 已断开连接(已拔出或不再应答)!").arg(getAdapterTextEx(languageCode, typeName, devIndex));
    text += QStringLiteral("\r\n") + tr("它的通道已关闭。");
    if (!recordStopped.isEmpty())
        text += QStringLiteral("\r\n") + tr("实时保存已停止,文件已关闭。");
    text += QStringLiteral("\r\n") + tr("重新连接后,请再次打开设备。");
    QUserMessageBox::msgError(this, tr("错误"), text);
}

// ---- device tools ----------------------------------------------------------

int MainWindow::devToolExec(DevTool tool)
{
    switch (tool) {
    case DevToolBaudCalc: {
        QUserDlgBaudCalculator dlg;
        return dlg.dialogExec();
    }
    case DevToolFirmUpdate: {
        QUserDlgFirmUpdate dlg;
        return dlg.dialogExec();
    }
    case DevToolRepeatCfg: {
        QUserDlgRepeatCfg dlg;
        return dlg.dialogExec();
    }
    case DevToolBaudChk: {
        QUserDlgBaudChk dlg;
        return dlg.dialogExec();
    }
    case DevToolRecordSet: {
        // The recorder at device index 0, opened by the dialog itself.
        QUserDlgFdRecordSet dlg;
        dlg.dlgInit(QStringLiteral("TRND702"), tr("配置"), {QByteArray()});
        return dlg.dialogExec();
    }
    }
    return -1;
}

void MainWindow::devToolLaunch(DevTool tool, bool takesAdapter)
{
    // The tools that talk to the adapter themselves need it free; what the
    // channels hold goes only when the user says so.
    if (takesAdapter) {
        if (!devToolCloseConfirm(tool))
            return;
        tabAllClose();
    }
    devToolExec(tool);
}

void MainWindow::slotDevFirmUpdate()
{
    logLine(QStringLiteral("设备升级..."));
    devToolLaunch(DevToolFirmUpdate, true);
}

void MainWindow::slotRepeatCfg()
{
    logLine(QStringLiteral("中继配置"));
    devToolLaunch(DevToolRepeatCfg, true);
}

void MainWindow::slotBaudChk()
{
    logLine(QStringLiteral("波特率侦测"));
    devToolLaunch(DevToolBaudChk, true);
}

void MainWindow::slotBaudAssistor()
{
    logLine(QStringLiteral("波特率计算器"));
    devToolLaunch(DevToolBaudCalc, false);
}

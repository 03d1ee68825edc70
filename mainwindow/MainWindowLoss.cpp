// What closing every channel, and at a language switch every tool window,
// would throw away: the frames the data tabs hold, recordings that stop,
// DBC windows with edits no project file has. The device tools that take
// the adapter and the language switch say it in one question first; with
// nothing to lose they go on as before.

#include "mainwindow/MainWindow.h"

#include "core/QUserDevId.h"
#include "dbc/QUserMainWindowDBC.h"
#include "dbc/QUserMainWindowDBCSend.h"
#include "devices/QUserDeviceAdapter.h"
#include "mainwindow/QUserMainWindowLayout.h"
#include "mainwindow/QUserTableModelCan.h"
#include "widgets/QUserMessageBox.h"

#include <QDebug>
#include <QFileInfo>
#include <QTabWidget>

namespace {

void logLine(const QString &text)
{
    qDebug().noquote() << "MainWindow >" << text;
}

// " (name.dbc)" for a window with a DBC file, else nothing.
QString dbcFileSuffix(const QString &path)
{
    const QString name = QFileInfo(path).fileName();
    return name.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(name);
}

} // namespace

QStringList MainWindow::channelLossLines() const
{
    QStringList lines;
    if (!layout || !layout->tabDataShow)
        return lines;
    const QTabWidget *tabs = layout->tabDataShow;
    for (int i = 0; i < tabs->count(); ++i) {
        const QString devId = parseDevIdText(tabs->tabText(i));
        const QUserWindowTabData *data = tabSrv.find(devId);
        if (!data)
            continue; // the welcome tab
        const int frames = data->model ? data->model->listCount() : 0;
        const bool recording = devAdapter && devAdapter->recordIsStart(devId);
        const QString channel = getDevIdTextEx(languageCode, devId).trimmed();
        if (frames > 0 && recording)
            lines << tr("%1: %2帧数据将丢失,实时保存将停止").arg(channel).arg(frames);
        else if (frames > 0)
            lines << tr("%1: %2帧数据将丢失").arg(channel).arg(frames);
        else if (recording)
            lines << tr("%1: 实时保存将停止").arg(channel);
    }
    return lines;
}

QStringList MainWindow::toolWindowLossLines() const
{
    QStringList lines;
    for (const QPointer<QWidget> &w : toolWindows) {
        if (auto *dbc = qobject_cast<QUserMainWindowDBC *>(w.data())) {
            if (dbc->editsUnsaved())
                lines << tr("DBC解析窗口%1: 监听列表有未保存的修改").arg(dbcFileSuffix(dbc->dbcFilePath()));
        } else if (auto *send = qobject_cast<QUserMainWindowDBCSend *>(w.data())) {
            if (send->editsUnsaved())
                lines << tr("DBC发送窗口%1: 发送列表有未保存的修改").arg(dbcFileSuffix(send->dbcFilePath()));
        }
    }
    return lines;
}

bool MainWindow::devToolCloseConfirm(DevTool tool)
{
    const QStringList lines = channelLossLines();
    if (lines.isEmpty())
        return true;
    QString name;
    switch (tool) {
    case DevToolFirmUpdate:
        name = tr("设备升级");
        break;
    case DevToolRepeatCfg:
        name = tr("中继配置");
        break;
    case DevToolBaudChk:
        name = tr("波特率侦测");
        break;
    default:
        return true; // the others leave the channels open
    }
    const QString text = tr("%1需要独占设备,开始前将关闭所有通道:").arg(name) + QLatin1Char('\n')
                         + lines.join(QLatin1Char('\n')) + QLatin1Char('\n') + tr("确定继续?");
    if (QUserMessageBox::msgQuestionEx(this, tr("警告"), text, 0) == 1)
        return true;
    logLine(QStringLiteral("%1 Cancelled, Channels Kept Open...").arg(name));
    return false;
}

QString MainWindow::languageQuestionText() const
{
    const QStringList lines = channelLossLines() + toolWindowLossLines();
    if (lines.isEmpty())
        return tr("重启生效,确定切换语言?");
    return tr("切换语言将关闭所有设备和工具窗口:") + QLatin1Char('\n') + lines.join(QLatin1Char('\n'))
           + QLatin1Char('\n') + tr("重启生效,确定切换语言?");
}

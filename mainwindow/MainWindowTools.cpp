// The tool windows the main window opens: playback from the tool bar, and
// from the tools launcher the DBC analysis, DBC send and CANopen windows and
// the trace-file viewer. Every window is a top-level window of its own
// (several of a kind may be open), placed a quarter of the main window's
// frame from its corner and put on the main window's list of tool windows,
// which closes them before the device registry goes.

#include "mainwindow/MainWindow.h"

#include "canopen/windows/QUserMainWindowCANopen.h"
#include "dbc/QUserMainWindowDBC.h"
#include "dbc/QUserMainWindowDBCSend.h"
#include "mainwindow/QUserDlgTools.h"
#include "traffic/windows/QUserDlgPlayBack.h"
#include "traffic/windows/QUserMainWindowCANWatch.h"
#include "widgets/QRibbon.h"

#include <QDebug>
#include <QGuiApplication>
#include <QScreen>

namespace {

void logLine(const QString &text) { qDebug().noquote() << "MainWindow" << ">" << text; }

// A quarter of the main window's frame width and height from its corner.
void placeBeside(const QWidget *main, QWidget *tool)
{
    const QRect f = main->frameGeometry();
    tool->move(f.left() + f.width() / 4, f.top() + f.height() / 4);
}

// The ribbon of a tool window: its title and icon, both display flags off.
void installRibbon(QMainWindow *window, const QString &title, const QString &icon)
{
    QRibbonOptions ribbon;
    ribbon.title = title;
    ribbon.iconPath = icon;
    ribbon.showStyleButton = false;
    ribbon.startExpanded = false;
    QRibbon::install(window, ribbon);
}

void resizeToHalfScreen(QWidget *tool)
{
    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect s = screen->geometry();
        tool->resize(s.width() / 2, s.height() / 2);
    }
}

} // namespace

void MainWindow::soltTabDataPlay()
{
    logLine(tr("数据回放"));
    const QString devId = curTabDevGet();
    if (devId.isEmpty()) {
        QUserMessageBox::msgError(this, tr("错误"), tr("请先[选择设备]!!!"));
        return;
    }
    auto *dlg = new QUserDlgPlayBack;
    dlg->devSet(devId, devAdapter);
    dlg->dialogShow();
    // The frame is the window: closing it takes the dialog along.
    toolWindowAdd(dlg->frameDlg());
}

void MainWindow::soltDbcAnalysis()
{
    logLine(tr("DBC解析"));
    const QString devId = curTabDevGet();
    if (devId.isEmpty()) {
        QUserMessageBox::msgError(this, tr("错误"), tr("请先[选择设备]!!!"));
        return;
    }
    if (!devAdapter)
        return;
    auto *window = new QUserMainWindowDBC;
    // The ribbon shows the window's own title, which names the file later.
    installRibbon(window, window->windowTitle(), QStringLiteral(":/res/chart.png"));
    // Connects the registry's received batches and transmitted frames to
    // the window: it sees the traffic of every open channel.
    window->setDevAdapter(devAdapter, devId);
    placeBeside(this, window);
    window->show();
    toolWindowAdd(window);
}

void MainWindow::soltDbcSend()
{
    logLine(tr("DBC发送"));
    const QString devId = curTabDevGet();
    if (devId.isEmpty()) {
        QUserMessageBox::msgError(this, tr("错误"), tr("请先[选择设备]!!!"));
        return;
    }
    if (!devAdapter)
        return;
    auto *window = new QUserMainWindowDBCSend;
    window->setDevAdapter(devId, devAdapter);
    // The window's title names the channel it sends on (and later the file).
    installRibbon(window, window->windowTitle(), QStringLiteral(":/res/chart.png"));
    placeBeside(this, window);
    window->show();
    toolWindowAdd(window);
}

void MainWindow::soltCANopenAnalysis()
{
    logLine(tr("CANopen操作"));
    const QString devId = curTabDevGet();
    if (devId.isEmpty()) {
        QUserMessageBox::msgError(this, tr("错误"), tr("请先[选择设备]!!!"));
        return;
    }
    if (!devAdapter)
        return;
    auto *window = new QUserMainWindowCANopen;
    // Binds the window to the channel and connects the registry's received
    // batches and transmitted frames to it.
    window->setDevAdapter(devId, devAdapter);
    installRibbon(window, tr("CANopen操作"), QStringLiteral(":/res/canopen.png"));
    placeBeside(this, window);
    resizeToHalfScreen(window);
    window->show();
    toolWindowAdd(window);
}

void MainWindow::soltCANwatch()
{
    logLine(tr("CAN记录文件查看器启动"));
    auto *viewer = new QUserMainWindowCANWatch;
    installRibbon(viewer, tr("文件查看器"), QStringLiteral(":/res/can.png"));
    placeBeside(this, viewer);
    resizeToHalfScreen(viewer);
    viewer->show();
    toolWindowAdd(viewer);
}

void MainWindow::soltTools()
{
    QString chosen;
    {
        QUserDlgTools tools;
        tools.dlgExec();
        chosen = tools.toolSelGet();
    }
    // A click ends the list with 0 and still opens the tool: the choice, not
    // the frame's result, decides.
    if (chosen == QUserDlgTools::tr("DBC解析"))
        soltDbcAnalysis();
    else if (chosen == QUserDlgTools::tr("DBC发送"))
        soltDbcSend();
    else if (chosen == QUserDlgTools::tr("CANopen"))
        soltCANopenAnalysis();
    else if (chosen == QUserDlgTools::tr("文件查看器"))
        soltCANwatch();
}

// Slots and operations of the main window whose work is not built yet.
// Each one says so in the log (once per window), is counted for the tests,
// and otherwise leaves everything as it was: no box, no tip, no check mark
// that nothing stands behind. The work that fills one moves its slots out of
// this file into a file of its own.

#include "mainwindow/MainWindow.h"

#include "mainwindow/MainWindowForm.h"

#include <QAction>
#include <QDebug>

void MainWindow::notBuilt(const char *what)
{
    const QString name = QString::fromLatin1(what);
    const int seen = notBuiltCalls.value(name, 0);
    notBuiltCalls.insert(name, seen + 1);
    if (seen == 0)
        qDebug().noquote() << "MainWindow >" << name << "not built yet";
}

void MainWindow::notBuiltUncheck(QAction *action, const char *what)
{
    if (action && action->isChecked())
        action->setChecked(false);
    notBuilt(what);
}

// ---- basic send panel ------------------------------------------------------

bool MainWindow::uiTabBasicSendInit()
{
    notBuilt("uiTabBasicSendInit");
    return false;
}

void MainWindow::uiTabBasicSendUpdate()
{
    notBuilt("uiTabBasicSendUpdate");
}

void MainWindow::soltTabBasicSendStart()
{
    notBuilt("soltTabBasicSendStart");
}

void MainWindow::soltTabBasicSendStop()
{
    notBuilt("soltTabBasicSendStop");
}

void MainWindow::soltTabBasicProcotolChange(int)
{
    notBuilt("soltTabBasicProcotolChange");
}

void MainWindow::soltTabBasicDataLenChange(int)
{
    notBuilt("soltTabBasicDataLenChange");
}

// ---- advanced send panel ---------------------------------------------------

bool MainWindow::uiTabAdvanceSendInit()
{
    notBuilt("uiTabAdvanceSendInit");
    return false;
}

void MainWindow::uiTabAdvSendUpdate()
{
    notBuilt("uiTabAdvSendUpdate");
}

bool MainWindow::tabAdvFailStopGet() const
{
    // Until the panel exists its failure mode is its first entry.
    return true;
}

bool MainWindow::tabAdvRowMsgGet(int, QUserCanMsg &)
{
    notBuilt("tabAdvRowMsgGet");
    return false;
}

void MainWindow::soltTabAdvanceSendPopMenue(QPoint)
{
    notBuilt("soltTabAdvanceSendPopMenue");
}

void MainWindow::soltTabAdvanceSendPopMenueActAdd()
{
    notBuilt("soltTabAdvanceSendPopMenueActAdd");
}

void MainWindow::soltTabAdvanceSendPopMenueActCopy()
{
    notBuilt("soltTabAdvanceSendPopMenueActCopy");
}

void MainWindow::soltTabAdvanceSendPopMenueActDel()
{
    notBuilt("soltTabAdvanceSendPopMenueActDel");
}

void MainWindow::soltTabAdvanceSendPopMenueActEdit()
{
    notBuilt("soltTabAdvanceSendPopMenueActEdit");
}

void MainWindow::soltTabAdvanceSendPopMenueActUp()
{
    notBuilt("soltTabAdvanceSendPopMenueActUp");
}

void MainWindow::soltTabAdvanceSendPopMenueActDown()
{
    notBuilt("soltTabAdvanceSendPopMenueActDown");
}

void MainWindow::soltTabAdvanceSendPopMenueActClr()
{
    notBuilt("soltTabAdvanceSendPopMenueActClr");
}

void MainWindow::soltTabAdvanceSendCellDoubleClick(int, int)
{
    notBuilt("soltTabAdvanceSendCellDoubleClick");
}

void MainWindow::soltTabAdvSendStart()
{
    notBuilt("soltTabAdvSendStart");
}

void MainWindow::soltTabAdvSendStop()
{
    notBuilt("soltTabAdvSendStop");
}

void MainWindow::soltTabAdvFileLoad()
{
    notBuilt("soltTabAdvFileLoad");
}

void MainWindow::soltTabAdvFileSave()
{
    notBuilt("soltTabAdvFileSave");
}

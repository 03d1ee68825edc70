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

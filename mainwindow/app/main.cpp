// Orvane's program entry: no command-line argument is read.

#include "core/QUserLogHandler.h"
#include "mainwindow/MainLoop.h"
#include "mainwindow/MainWindow.h"
#include "traffic/QUserRecordWriter.h"

#include <QApplication>
#include <QTimer>

#include <chrono>

namespace {

// The longest the program stays after its window closed for recordings
// still being written (their writers go on after the stop): enough for a
// working disk to take the queued frames, and a stalled one gives no more
// by waiting longer. What is then still unwritten is named in the log.
constexpr std::chrono::seconds kRecordWritersExitWait{5};

// Test-only: ORVANE_SMOKE_CLOSE_MS=<ms> closes each main window that long
// after it was built, as the user's close would (the smoke script of the
// run command uses it). Never set in normal use.
int smokeCloseMs()
{
    bool ok = false;
    const int ms = qEnvironmentVariableIntValue("ORVANE_SMOKE_CLOSE_MS", &ok);
    return ok && ms > 0 ? ms : 0;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
    QApplication *app = new QApplication(argc, argv);
    QUserLogHandler::instance().installMessageHandler();

    const int closeMs = smokeCloseMs();
    mainWindowLoop(
        [closeMs]() -> QWidget * {
            MainWindow *w = new MainWindow(nullptr);
            if (closeMs)
                QTimer::singleShot(closeMs, w, &QWidget::close);
            return w;
        },
        [](QWidget *) { return QApplication::exec(); });

    QUserRecordWriter::finishAll(kRecordWritersExitWait);
    delete app;
    return 0;
}

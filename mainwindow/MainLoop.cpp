#include "mainwindow/MainLoop.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

void mainWindowPlace(QWidget *window, const QRect &available)
{
    const int w = available.width();
    const int h = available.height();
    window->resize(w / 2, h / 2);
    window->move(w / 4, h / 4);
}

int mainWindowLoop(const MainWindowFactory &make, const EventLoopRun &run)
{
    int built = 0;
    int code = 0;
    do {
        QWidget *window = make();
        ++built;
        QScreen *screen = QGuiApplication::primaryScreen();
        if (screen)
            mainWindowPlace(window, screen->availableGeometry());
        window->show();
        code = run(window);
        delete window;
    } while (code != 0);
    return built;
}

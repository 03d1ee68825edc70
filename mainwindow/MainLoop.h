#pragma once
// The program's restart loop: build the main window, place it on the
// primary screen, show it, run the event loop, destroy the window; again
// while the loop ended with a code other than 0 (a confirmed language
// switch ends it with 1, closing the window with 0).
//
// The window factory and the event-loop run are parameters so that tests
// can drive the loop without the program's main.

#include <QRect>

#include <functional>

class QWidget;

using MainWindowFactory = std::function<QWidget *()>;
using EventLoopRun = std::function<int(QWidget *)>;

// Half the available width and height, the top-left corner at a quarter of
// each (the area's own origin is not added).
void mainWindowPlace(QWidget *window, const QRect &available);

// Runs the loop and returns how many windows it built.
int mainWindowLoop(const MainWindowFactory &make, const EventLoopRun &run);

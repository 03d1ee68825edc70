#pragma once
// The receiver of a test rig's queued notices from a worker thread. A class
// of the test program's own rather than a plain QObject, so that its event
// handling is the one the thread sanitizer's build watches (a plain
// QObject takes its events inside Qt, where the hand-over is not seen).

#include <QObject>

class RigContext : public QObject
{
};

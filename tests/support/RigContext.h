#pragma once
// The receiver of a test rig's queued notices from a worker thread: a
// context object living in the test's thread, so that the notices are
// queued to it and delivered there.

#include <QObject>

class RigContext : public QObject
{
};

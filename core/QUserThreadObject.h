#pragma once
// An empty object moved into a thread as that thread's context object.

#include <QObject>

class QUserThreadObject : public QObject
{
    Q_OBJECT
public:
    QUserThreadObject() : QObject(nullptr) {}
};

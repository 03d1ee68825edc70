#pragma once
// A device object for registry tests: scripted open results and ids, the two
// signals the registry relays, and a record of closes.

#include <QStringList>

#include "tests/devices/FakeDevice.h"

class StubDevice : public FakeDevice
{
    Q_OBJECT
public:
    int open(QStringList &devIds) override
    {
        devIds += openIds;
        return openResult;
    }
    int close(const QString &devId) override
    {
        closed.append(devId);
        return closeResult;
    }
    ~StubDevice() override
    {
        if (deletedFlag)
            *deletedFlag = true;
    }

    QStringList openIds;
    int openResult = 0;
    int closeResult = 0;
    QStringList closed;
    bool *deletedFlag = nullptr;

signals:
    void receiveMsg(QString devId, QVector<QUserCanMsg> msgList);
    void sendResultNotify(QString devId, QUserCanMsg msg);
};

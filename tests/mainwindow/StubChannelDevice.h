#pragma once
// A device object that stands in for an adapter family in the main window's
// registry (QUserDeviceAdapter::deviceReplace): scripted open results and
// channel ids, scripted channel states, a scripted close result with a probe
// that runs at the moment of the close, and transmits that come straight
// back as send results.

#include "devices/QUserDevice.h"

#include <QHash>
#include <QStringList>
#include <QVector>

#include <functional>

class StubChannelDevice : public QUserDevice
{
    Q_OBJECT

public:
    int open(QStringList &devIds) override
    {
        ++opens;
        devIds += openIds;
        return openResult;
    }
    int close(const QString &devId) override
    {
        if (onClose)
            onClose(devId);
        closed.append(devId);
        return closeResult;
    }
    int sendMsg(const QString &devId, QUserCanMsg &msg) override
    {
        msg.direction = 1;
        msg.hostTime = getCurrentMs();
        emit sendResultNotify(devId, msg);
        return 1;
    }
    int sendMsgList(const QString &devId, QVector<QUserCanMsg> msgs) override
    {
        const int n = msgs.size() < 32 ? msgs.size() : 32;
        for (int i = 0; i < n; ++i) {
            QUserCanMsg m = msgs.at(i);
            m.direction = 1;
            m.hostTime = getCurrentMs();
            emit sendResultNotify(devId, m);
        }
        return n;
    }
    int devInfoGet(const QString &devId, QUserDevChState *state) override
    {
        if (!states.contains(devId))
            return 0;
        if (state)
            *state = states.value(devId);
        return 1;
    }

    QStringList openIds;
    int openResult = 0;
    int opens = 0;
    int closeResult = 0;
    QStringList closed;
    QHash<QString, QUserDevChState> states;
    std::function<void(const QString &)> onClose;

signals:
    void receiveMsg(QString devId, QVector<QUserCanMsg> msgList);
    void sendResultNotify(QString devId, QUserCanMsg msg);
};

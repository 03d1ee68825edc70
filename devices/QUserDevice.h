#pragma once
// One device object per device type name: it serves every adapter and every
// channel of its type, addressed by device id ("<type>-<index>-<channel>").
// The registry and the senders hold devices through this interface. Each
// concrete device also declares the signals
//   receiveMsg(QString,QVector<QUserCanMsg>)   a batch received on a channel
//   sendResultNotify(QString,QUserCanMsg)      a frame transmitted on a channel
// and the slot slotSendMsg(QString,QUserCanMsg); the registry connects to the
// signals by signature. A device that notices adapters leaving the host also
// declares
//   adapterLost(QString,int,QStringList)       type name, device index and the
//                                              ids of the channels it had open
//                                              (now closed and marked lost)

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>

#include "core/QUserCanMsg.h"
#include "devices/QUserDevChState.h"

class QUserDevice : public QObject
{
public:
    QUserDevice() : QObject(nullptr) {}
    ~QUserDevice() override {}

    // Runs the settings dialog and opens the chosen channels; appends their
    // device ids. 0, or -1 (adapter or channel failed), -3, -5 (cancelled).
    virtual int open(QStringList &devIds) = 0;
    virtual int close(const QString &devId) = 0;
    // One frame through the driver thread; non-zero when transmitted.
    virtual int sendMsg(const QString &devId, QUserCanMsg &msg) = 0;
    // Frames in the caller's thread; the number the adapter took.
    virtual int sendMsgList(const QString &devId, QVector<QUserCanMsg> msgs) = 0;
    // 1 and the channel's record copied, else 0.
    virtual int devInfoGet(const QString &devId, QUserDevChState *state) = 0;
    // Whether the channel's adapter has left the host: marked lost, or its
    // library says so right now (a transfer that failed because of it has
    // already told it). GUI thread.
    virtual bool adapterGone(const QString &devId) { return false; }
};

#pragma once
// The device registry: the one object through which the windows reach the
// adapters. It owns one device object per supported type name and, for every
// open channel, a send machine, a recorder and a receive filter keyed by the
// channel's device id. Every operation forwards to one of them. Two of its
// signals relay what the devices and send machines report: received batches
// and transmitted frames (or sender state reports); a third tells of a
// recording that a failed write stopped, a fourth of an adapter that left
// the host (its channels' recordings and senders are stopped first).
//
// devSendMsg and devSendMsgList may be called from other threads (CANopen,
// playback); everything else belongs to the GUI thread, which alone changes
// the tables.

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>

#include "core/QUserCanMsg.h"
#include "core/QUserFliterCfg.h"
#include "core/QUserSendTask.h"
#include "devices/QUserDevChState.h"

class QUserDevice;
class QUserDeviceSendMachine;
class QUserRecord;

class QUserDeviceAdapter : public QObject
{
    Q_OBJECT
public:
    // owner: the main window (not owned, not the parent); opens are refused
    // while it is null.
    explicit QUserDeviceAdapter(QObject *owner);
    ~QUserDeviceAdapter() override;

    int devOpen(const QString &typeName, QStringList &devIds);
    // 0 when the channel closed, the device's negative result when not.
    int devClose(const QString &typeName, const QString &devId);
    int devInfoGet(const QString &devId, QUserDevChState *state);
    int devSendMsg(const QString &devId, QUserCanMsg &msg);
    int devSendMsgList(const QString &devId, QVector<QUserCanMsg> msgs);
    // Whether the channel's adapter has left the host (see devLost).
    bool devLostGet(const QString &devId);

    bool basicSendStart(const QString &devId, const QUserSendTask &task);
    bool basicSendStop(const QString &devId);
    bool basicSendParaSet(const QString &devId, const QUserSendTask &task);
    int basicSendParaGet(const QString &devId, QUserSendTask &task);
    QUserSendTask *basicSendParaRef(const QString &devId);
    bool advanceSendStart(const QString &devId, const QUserSendTask &task);
    bool advanceSendStop(const QString &devId);
    bool advanceSendParaSet(const QString &devId, const QUserSendTask &task);
    int advanceSendParaGet(const QString &devId, QUserSendTask &task);
    QUserSendTask *advanceSendParaRef(const QString &devId);
    bool advanceSendCfgLoad(const QString &devId, const QString &path);
    bool advanceSendCfgSave(const QString &devId, const QString &path);

    bool recordStart(const QString &devId, const QString &path);
    bool recordStop(const QString &devId);
    bool recordIsStart(const QString &devId);
    int recordWrite(const QString &devId, QUserCanMsg msg);

    bool fliterEnableSet(const QString &devId, bool on);
    bool fliterEnableGet(const QString &devId);
    // Replaces the channel's rules and writes its rule file. False when the
    // file could not be written: the channel keeps the rules it had.
    bool fliterSave(const QString &devId, const QVector<QUserFliterRule> &rules);
    bool fliterRulesGet(const QString &devId, QVector<QUserFliterRule> &rules);
    int fliterCheck(const QString &devId, const QUserCanMsg *msg);

    // Tests and tools: the device object of a type name, and the per-channel
    // objects of a device id (null when absent).
    QUserDevice *device(const QString &typeName) const { return devMap.value(typeName, nullptr); }
    QUserDeviceSendMachine *sendMachine(const QString &devId) const { return sendMachineMap.value(devId, nullptr); }
    bool hasChannel(const QString &devId) const;
    int channelCount() const { return sendMachineMap.size(); }
    // Replaces the device object of a type name (owned from now on); for
    // tests that stand a device of their own in for an adapter family.
    void deviceReplace(const QString &typeName, QUserDevice *device);

signals:
    void receiveMsg(QString devId, QVector<QUserCanMsg> msgList);
    void sendResultNotify(QString devId, QUserCanMsg msg);
    // A channel's recording stopped because a frame could not be written
    // (disk full, folder gone): the file is closed and recordIsStart is
    // false from now on. text says what happened, for the window to show.
    void recordFailed(QString devId, QString text);
    // An adapter left the host (unplugged, or it stopped answering): the
    // device closed the channels it had open there (devIds; their states
    // say lost, closing them succeeds), and after every frame they received
    // before was relayed, their recordings were stopped with their files
    // closed (those of recordStopped) and their senders stopped. Emitted
    // once per loss; the adapter can be opened again once it is back.
    void devLost(QString typeName, int devIndex, QStringList devIds, QStringList recordStopped);

private slots:
    void soltAdapterLost(QString typeName, int devIndex, QStringList devIds);

private:
    void adapterLostHandle(const QString &typeName, int devIndex, const QStringList &devIds);
    QUserDevice *deviceOf(const QString &devId) const;
    void deviceConnect(QUserDevice *device);
    void channelRemove(const QString &devId);

    QObject *owner = nullptr;
    QHash<QString, QUserDevice *> devMap;
    QHash<QString, QUserDeviceSendMachine *> sendMachineMap;
    QHash<QString, QUserRecord *> recordMap;
    QHash<QString, QUserFliterCfg *> fliterMap;
};

#pragma once
// The two senders of one open channel: the periodic QUserBasicSend and the
// scheduled list sender QUserAdvanceSend. Made by the registry when the
// channel opens and deleted when it closes; relays both senders' results.

#include <QObject>
#include <QString>

#include "core/QUserCanMsg.h"
#include "core/QUserSendTask.h"

class QUserDevice;
class QUserBasicSend;
class QUserAdvanceSend;

class QUserDeviceSendMachine : public QObject
{
    Q_OBJECT
public:
    QUserDeviceSendMachine(const QString &devId, QUserDevice *device);
    ~QUserDeviceSendMachine() override;

    bool basicSendStart(const QUserSendTask &task);
    bool basicSendStop();
    bool basicSendParaSet(const QUserSendTask &task);
    QUserSendTask basicSendParaGet() const;
    QUserSendTask *basicSendParaRef();

    bool advanceSendStart(const QUserSendTask &task);
    bool advanceSendStop();
    bool advanceSendParaSet(const QUserSendTask &task);
    QUserSendTask advanceSendParaGet() const;
    QUserSendTask *advanceSendParaRef();
    bool advanceSendCfgLoad(const QString &path);
    bool advanceSendCfgSave(const QString &path);

    QUserBasicSend *basicSender() const { return basicSend; }
    QUserAdvanceSend *advanceSender() const { return advanceSend; }

signals:
    void sendResultNotify(QString devId, QUserCanMsg msg);

private:
    QString devId;
    QUserDevice *device = nullptr;
    QUserBasicSend *basicSend = nullptr;
    QUserAdvanceSend *advanceSend = nullptr;
};

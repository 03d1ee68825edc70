#include "devices/QUserDeviceSendMachine.h"

#include "traffic/QUserAdvanceSend.h"
#include "traffic/QUserBasicSend.h"

QUserDeviceSendMachine::QUserDeviceSendMachine(const QString &id, QUserDevice *dev)
    : QObject(nullptr), devId(id), device(dev)
{
    basicSend = new QUserBasicSend(devId, device);
    advanceSend = new QUserAdvanceSend(devId, device);
    connect(basicSend, SIGNAL(sendResultNotify(QString,QUserCanMsg)), this,
            SIGNAL(sendResultNotify(QString,QUserCanMsg)));
    connect(advanceSend, SIGNAL(sendResultNotify(QString,QUserCanMsg)), this,
            SIGNAL(sendResultNotify(QString,QUserCanMsg)));
}

QUserDeviceSendMachine::~QUserDeviceSendMachine()
{
    if (basicSend) {
        basicSend->sendStop();
        delete basicSend;
        basicSend = nullptr;
    }
    if (advanceSend) {
        advanceSend->sendStop();
        delete advanceSend;
        advanceSend = nullptr;
    }
}

bool QUserDeviceSendMachine::basicSendStart(const QUserSendTask &task)
{
    if (!basicSend)
        return false;
    basicSend->sendTaskSet(task);
    basicSend->sendStart();
    return true;
}

bool QUserDeviceSendMachine::basicSendStop()
{
    return basicSend ? basicSend->sendStop() : false;
}

bool QUserDeviceSendMachine::basicSendParaSet(const QUserSendTask &task)
{
    if (!basicSend)
        return false;
    basicSend->sendStop();
    basicSend->sendTaskSet(task);
    return true;
}

QUserSendTask QUserDeviceSendMachine::basicSendParaGet() const
{
    return basicSend ? basicSend->sendTaskGet() : QUserSendTask();
}

QUserSendTask *QUserDeviceSendMachine::basicSendParaRef()
{
    return basicSend ? basicSend->sendTaskRef() : nullptr;
}

bool QUserDeviceSendMachine::advanceSendStart(const QUserSendTask &task)
{
    if (!advanceSend)
        return false;
    advanceSend->sendTaskSet(task);
    advanceSend->sendStart();
    return true;
}

bool QUserDeviceSendMachine::advanceSendStop()
{
    return advanceSend ? advanceSend->sendStop() : false;
}

bool QUserDeviceSendMachine::advanceSendParaSet(const QUserSendTask &task)
{
    if (!advanceSend)
        return false;
    advanceSend->sendStop();
    advanceSend->sendTaskSet(task);
    return true;
}

QUserSendTask QUserDeviceSendMachine::advanceSendParaGet() const
{
    return advanceSend ? advanceSend->sendTaskGet() : QUserSendTask();
}

QUserSendTask *QUserDeviceSendMachine::advanceSendParaRef()
{
    return advanceSend ? advanceSend->sendTaskRef() : nullptr;
}

bool QUserDeviceSendMachine::advanceSendCfgLoad(const QString &path)
{
    return advanceSend ? advanceSend->configureLoad(path) : false;
}

bool QUserDeviceSendMachine::advanceSendCfgSave(const QString &path)
{
    return advanceSend ? advanceSend->configureSave(path) : false;
}

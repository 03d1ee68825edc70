#pragma once
// The thread that owns one opened adapter: the only place where the adapter
// library is polled for received frames. Other threads reach it through
// commands (QUserDrvCmd.h).

#include <QString>
#include <QThread>
#include <QVector>

#include <cstdint>

#include "core/QUserCanMsg.h"

class QUserDriver : public QThread
{
public:
    QUserDriver() : QThread(nullptr) {}
    ~QUserDriver() override {}

    virtual int devSet(const QString &typeName, int devType, int devIndex) = 0;
    // 0 started, -1 failed.
    virtual int canStart(int channel, void *cfg) = 0;
    virtual bool canClose(int channel) = 0;
    virtual int transmitList(int channel, QVector<QUserCanMsg> msgs) = 0;
    virtual int receiveNumGet(int channel) = 0;
    virtual int receive(int channel, QVector<QUserCanMsg> &msgs) = 0;
    virtual int dataDirectTransfer(uint8_t *buffer, int length) = 0;
    virtual int firmUpdateReq(uint8_t arg) = 0;
};

#pragma once
// The driver of one opened CAN FD adapter (one object per type name and
// device index). In its own thread it polls every open channel for classic
// and CAN FD frames and emits them in batches, and executes the commands
// other threads post (send one frame, start a channel, close a channel,
// stop). Frame lists are transmitted in the caller's thread under the
// transmit lock. In direct mode (after devSet) it has no thread and its
// operations run in the caller's thread; that mode serves the firmware update.
//
// An adapter that leaves the host (unplugged, or it stopped answering for
// good) is noticed by the thread on its idle turns, at most every
// kGoneLookMs: once every frame that came before is emitted, adapterLost is
// emitted once, and the channels are polled no more. Commands are still
// served, so the device class closes the channels and the adapter as usual.

#include <QHash>
#include <QMutex>
#include <QString>
#include <QVector>

#include <atomic>
#include <cstdint>

#include "core/QUserCanMsg.h"
#include "devices/QKemLib.h"
#include "devices/QUserBaudChk.h"
#include "devices/QUserDriver.h"
#include "devices/QUserDrvCmd.h"

struct QUserFd2Cfg;

class QKemFdDev : public QUserDriver
{
    Q_OBJECT
public:
    QKemFdDev(const QString &typeName, int devType, int devIndex);
    ~QKemFdDev() override;

    // The device type number of a CAN FD model name (core/QUserAdapterModels.h).
    static int typeNumber(const QString &typeName);

    int devSet(const QString &typeName, int devType, int devIndex) override;
    int canStart(int channel, void *cfg) override;
    bool canClose(int channel) override;
    int transmitList(int channel, QVector<QUserCanMsg> msgs) override;
    int receiveNumGet(int channel) override;
    int receive(int channel, QVector<QUserCanMsg> &msgs) override;
    int dataDirectTransfer(uint8_t *buffer, int length) override;
    int firmUpdateReq(uint8_t arg) override;

    int devOpen();
    int devOpenByIndex(int index);
    int devClose();
    bool chStart(int channel);
    bool chReset(int channel);
    bool chBufferClear(int channel);
    bool anyChannelOpen() const;
    bool transmitPost(int channel, QUserCanMsg &msg);
    int cmdPost(QUserDrvCmd *cmd);
    void stopRequest();
    int relayStatusSet(uint8_t a, uint8_t b);
    int relayStatusGet(int &a, int &b);
    // Counterparts of the classic driver's timing operations: no adapter is
    // asked, nothing is written through the pointers, the answer is 1.
    int canInitByTiming(int channel, uint8_t timing0, uint8_t timing1);
    int devBaudParaGet(int channel, int *timing0, int *timing1);
    int receiveNumGetDirect(int channel);
    int dataDirectTransferAny(uint8_t *buffer, int length);

    // Starts the driver thread; posts are accepted from now on.
    void threadStart();
    bool isQueuedMode() const { return queuedMode; }
    bool isOpened() const { return opened; }
    QString deviceId(int channel) const;
    QMutex *stopLock() { return &stopMutex; }
    bool libraryLoaded() const { return lib && lib->isLoaded(); }

    static constexpr int kGoneLookMs = 20;
    // Whether the open adapter has left the host, asked of the library now
    // (any thread); false when it is not open.
    bool adapterGone() const;
    // Set once the thread has reported the adapter lost.
    bool isLost() const { return lost; }

signals:
    void receiveMsg(QString devId, QVector<QUserCanMsg> msgList);
    void sendResultNotify(QString devId, QUserCanMsg msg);
    void baudChkResult(QString devId, QUserBaudChkMsg msg);
    // The adapter left the host; emitted once, from the driver thread, after
    // the last batch received before it.
    void adapterLost(QString typeName, int devIndex);

protected:
    void run() override;

private:
    int chPoll(int channel, const QString &id);
    int cmdExecute();
    bool transmitOne(int channel, QUserCanMsg &msg);
    int transmitBatch(int channel, QVector<QUserCanMsg> &msgs);
    bool chStartExec(int channel, QUserFd2Cfg *cfg);
    bool chCloseExec(int channel);
    int canInit(int channel, QUserFd2Cfg *cfg);
    void pollListRebuild();
    const QString &idTextOf(uint32_t id);
    QVector<QUserCanMsg> &batchFor(int count);
    template<class Obj>
    void rxFill(const Obj &obj, int maxData, QUserCanMsg &msg);

    QString typeName;
    bool queuedMode = true;
    std::atomic<bool> opened{false};
    std::atomic<bool> stopFlag{false};
    std::atomic<bool> lost{false};
    QKemLib *lib = nullptr;
    uint16_t devType = 0;
    uint16_t devIndex = 0;
    QMutex stopMutex;
    QMutex txMutex;
    mutable QMutex chMutex;
    QHash<int, bool> chTable;
    QVector<int> pollList;    // open channels, rebuilt whenever chTable changes
    QVector<QString> pollIds; // their device ids, in the same order
    QUserDrvCmdPort cmdQueue;

    // Identifier texts of received frames, by identifier (driver thread only).
    struct IdText {
        uint32_t id = 0xFFFFFFFFu; // no 29-bit identifier
        QString text;
    };
    static constexpr int kIdCacheSize = 512;
    IdText idCache[kIdCacheSize];

    // Batch lists emitted by the driver thread, refilled once their
    // receivers are done with them (driver thread only).
    static constexpr int kBatchPool = 256;
    static constexpr int kBatchLook = 8;
    QVector<QUserCanMsg> batchPool[kBatchPool];
    int batchNext = 0;
};

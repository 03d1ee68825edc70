#pragma once
// The driver thread of one opened classic adapter ("USBCAN1", "USBCAN2"):
// polls the open channels for received frames, emits each batch, and
// executes the commands other threads post. Single sends, channel start and
// close run in this thread between two polls; lists run in the sender's
// thread. A second mode of the same thread detects the bit rate of a bus by
// trying candidate timings until frames arrive (baud detection dialog).
//
// An adapter that leaves the host (unplugged, or it stopped answering for
// good) is noticed by the poll loop on its idle turns, at most every
// kGoneLookMs: once every frame that came before is emitted, adapterLost is
// emitted once and the channels are polled no more; commands are still
// served, so the device class closes the channels and the adapter as usual.

#include <QHash>
#include <QMutex>
#include <QString>
#include <QThread>
#include <QVector>

#include <atomic>
#include <cstdint>

#include "core/QUserCanMsg.h"
#include "devices/QKemLib.h"
#include "devices/QUserBaudChk.h"
#include "devices/QUserDrvCmd.h"

class QKemDev : public QThread
{
    Q_OBJECT
public:
    QKemDev(const QString &name, int devType, int devIndex);
    ~QKemDev() override;

    // Adapter operations (caller's thread unless a command runs them).
    int devOpen();
    int devOpenByIndex(int index);
    bool chStart(int channel);
    int chInit(int channel, const KCAN_INIT_CONFIG *cfg);
    bool canInitByTiming(int channel, uint8_t timing0, uint8_t timing1);
    bool chReset(int channel);
    bool chBufferClear(int channel);
    int devClose();
    bool relayStatusSet(uint8_t a, uint8_t b);
    bool relayStatusGet(int *a, int *b);
    bool relayMaskGet(int mask, int *out);
    bool devBaudParaGet(int channel, int *timing0, int *timing1);

    // Frame operations.
    bool transmitOne(int channel, QUserCanMsg &msg);
    int transmitList(int channel, QVector<QUserCanMsg> msgs);
    int receive(int channel);

    // Command posting (waits without a time-out; a driver whose thread does
    // not run answers at once with a failure).
    int canStart(int channel, KCAN_INIT_CONFIG *cfg);
    bool transmitPost(int channel, QUserCanMsg &msg);
    int cmdPost(QUserDrvCmd *cmd);
    // Stops the thread: sets the stop flag and waits for the thread, whatever
    // mode it runs in. Returns when the thread has ended.
    void threadStop();
    // Starts the poll loop; posts are accepted from now on.
    void threadStart();

    int anyChannelOpen() const;
    bool isOpened() const { return opened; }
    QString deviceId(int channel) const;

    static constexpr int kGoneLookMs = 20;
    // Whether the open adapter has left the host, asked of the library now
    // (any thread); false when it is not open.
    bool adapterGone() const;
    // Set once the poll loop has reported the adapter lost.
    bool isLost() const { return lost; }

    // Baud-rate detection. A start while a detection runs is ignored (1); a
    // start right after a stop waits for the stopped run to end and starts a
    // new one (1); a start on a thread that serves open channels is refused
    // (0).
    int baudChkStart(int channel, int rateA, int rateB, int standardOnly, int64_t waitMs);
    int baudChkStop();
    bool isDetecting() const { return detecting; }
    int baudMatchCount() const { return matchCount; }
    const QVector<QUserBaudEntry> &baudTable() const { return baudList; }

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
    int cmdExecute();
    bool chStartExec(QUserDrvCmdArg *arg);
    bool chCloseExec(QUserDrvCmdArg *arg);
    void pollLoop();

    bool baudListPrepare();
    bool baudListLoad();
    bool baudListSave();
    void baudChkRun();
    bool baudTry(int channel, int timing0, int timing1);
    void baudEmit(int code, const QUserBaudEntry *e = nullptr, int failed = 0, int progress = 0);

    QString name;
    std::atomic<bool> opened{false};
    std::atomic<bool> stopFlag{false};
    std::atomic<bool> lost{false};
    QKemLib *lib = nullptr;
    uint16_t devType = 0;
    uint16_t devIndex = 0;
    mutable QMutex chMutex;
    QHash<int, uint8_t> chTable;
    // detection
    int detChannel = 0;
    int rateLow = 0;
    int rateHigh = 0;
    int standardOnly = 0;
    int64_t waitMs = 300;
    std::atomic<int> matchCount{0};
    std::atomic<bool> detecting{false};
    std::atomic<bool> detectionRun{false}; // the thread was started for a detection
    QVector<QUserBaudEntry> baudList;
    QUserDrvCmdPort cmdQueue;
};

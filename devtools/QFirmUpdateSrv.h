#pragma once
// Firmware update worker. It owns a CAN FD driver of its own in direct mode
// (operations run in the calling thread) and a usbFrame codec. The target
// is reached two ways: the update-mode request over the adapter's
// enciphered command channel, and usbFrame frames cut into 8-byte pieces on
// extended identifier 0x10202103 on channel 0 (the link).
//
// The dialog, in the GUI thread: linkOpen, versionGet(1), then any number
// of runs (updateBegin, updateStop); on leaving linkOpen if needed,
// updateReqOff, linkClose, destruction. A run reads the package, sends the
// start command (10) and the image in data packets (11) whose size the
// target chooses, each tried up to five times, and reports through
// updateResult(msgType, value, tip):
//   (0, 0)   the run begins           (1, p)   progress 10..100 per cent
//   (2, 1)   the image was accepted   (2, -1)  a data packet failed five times
//   (2, -4)  the package did not open (2, -5)  it was not read whole, or too short
//   (2, -6)  the start command failed (2, -7)  stopped by the user
// Every run ends with exactly one (2, x).

#include <QByteArray>
#include <QString>
#include <QThread>

#include <atomic>
#include <cstdint>

#include "devtools/QUserFd2Cfg.h"
#include "devtools/usbFrame.h"

class QKemFdDev;

class QFirmUpdateSrv : public QThread
{
    Q_OBJECT
public:
    enum Command : uint8_t { CmdVersion = 1, CmdStart = 10, CmdPacket = 11 };
    static constexpr uint32_t kLinkId = 0x10202103;
    static constexpr int kLinkChannel = 0;
    static constexpr int kAttempts = 5;
    static constexpr uint32_t kMaxPacket = 4096;

    QFirmUpdateSrv(const QString &typeName, int devType, int devIndex);
    ~QFirmUpdateSrv() override;

    // 0 when the link is open (or already was), -1 when the channel start failed.
    int linkOpen();
    void linkClose();
    bool isLinkOpen() const { return linkOpened; }

    // Update-mode request with arg, then the version query. 0 / -1.
    int versionGet(uint8_t arg);
    // Update-mode request with 0 (leave update mode); a refusal is logged.
    void updateReqOff();

    // The start command with the image size and the first 16 segment bytes;
    // 0 when the target accepted it and gave a packet size of 1..4096.
    int updateStart(uint32_t imageSize, const uint8_t *segment16);
    // One data packet; 0 when the target accepted it.
    int packetSend(uint32_t index, const uint8_t *data, uint32_t n);

    // Sends one frame over the link (n when the link is open, else 0).
    int frameSend(const uint8_t *bytes, int n);
    // Waits up to timeoutMs for a frame from the link; the frame (inside the
    // codec) or null when the link is not open or the time passed.
    const uint8_t *replyWait(int timeoutMs, uint16_t *frameLen = nullptr);

    // The whole run (worker thread). 0 success, -1 any failure.
    int updateProc();

    // Starts a run on the package (its size taken from the file now); an
    // empty path starts nothing. A run still ending is waited for first.
    void updateBegin(const QString &path);
    // When a run is busy and no stop is pending: asks it to stop and waits
    // (10 ms steps) until the run has acknowledged or ended.
    void updateStop();

    bool isBusy() const { return busy.load(); }
    bool stopPending() const { return stopReq.load(); }
    uint16_t hwVersion() const { return uint16_t(hwVer); }
    uint16_t fwVersion() const { return uint16_t(fwVer); }
    uint32_t packetSizeGet() const { return packetSize; }

    // Reply time-outs in ms (version query, start, data packet); 2000,
    // 10000 and 1000 unless a test or benchmark shortens them.
    void setWaits(int versionMs, int startMs, int packetMs);
    // Reply polls made since construction (how busy the waits were).
    uint64_t replyPolls() const { return polls.load(); }
    QKemFdDev *driver() const { return drv; }

signals:
    void updateResult(int msgType, int value, QString tipStr);

protected:
    void run() override;

private:
    int readPackage(uint8_t *segment);
    void fileRelease();

    std::atomic<bool> busy{false};
    std::atomic<bool> stopReq{false};
    std::atomic<bool> quitting{false}; // destruction: waits give up at once
    usbFrame codec;
    uint32_t hwVer = 0;
    uint32_t fwVer = 0;
    QString pkgPath;
    qint64 pkgSize = 0;
    uint32_t packetSize = 0;
    QByteArray image;
    QKemFdDev *drv = nullptr;
    QUserFd2Cfg linkCfg;
    bool linkOpened = false;
    int waitVersionMs = 2000;
    int waitStartMs = 10000;
    int waitPacketMs = 1000;
    std::atomic<uint64_t> polls{0};
    // Frame under construction: the largest is a data packet of 4096 image
    // bytes (4117 bytes).
    uint8_t txBuf[kMaxPacket + 64];
};

#pragma once
// Kvaser USB CAN interfaces behind the KVCI_/VCI_ calls:
//   QDeviceKvaser       20-byte command family, 8 channels (types 68: pid
//                       0120; 69, 70, 72: pid 0122)
//   QDeviceKvaserProFD  32-byte command family, 16 channels (types 63, 71,
//                       73: pid 0102); keeps received CAN FD frames apart
//                       (counted, never handed out): only the newest
//                       kFdFramesKept of a channel stay, older ones are
//                       dropped and counted.
// One device thread reads the command stream on 0x82 into the channels'
// buffers and counts transmit acknowledgements; commands and transmits are
// written on 0x02 from the caller's thread.

#include "kemusb/src/devices/DeviceThread.h"
#include "kemusb/src/devices/QDevice.h"
#include "kemusb/src/devices/QUserWinUsb.h"
#include "kemusb/src/protocol/KemKvaserProtocol.h"
#include "platform/PlatSync.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

namespace kemusb {

class KvaserDeviceBase : public QDevice, private DeviceThreadClient
{
public:
    ~KvaserDeviceBase() override;

    uint32_t Open(uint32_t devType, uint32_t devIndex) override;
    uint32_t Close() override;
    uint32_t KvciInitCAN(uint32_t channel, const KCAN_INITFD_CONFIG *config) override;
    uint32_t KvciTransmit(uint32_t channel, const KCAN_CAN_OBJ *frames, uint32_t count) override;
    uint32_t KvciReceive(uint32_t channel, KCAN_CAN_OBJ *frames, uint32_t count, int32_t waitMs) override;
    uint32_t StartCAN(uint32_t channel) override;
    uint32_t ResetCAN(uint32_t channel) override;
    uint32_t ClearBuffer(uint32_t channel) override;
    uint32_t GetReceiveNum(uint32_t channel, uint8_t kind) override;
    bool adapterGone() const override { return open_ && usb_.gone(); }

    bool isOpen() const { return open_; }
    int channelCount() const { return channels_; }
    uint32_t framesPerWrite() const { return perWrite_; }
    bool started(uint32_t channel) const { return channel < uint32_t(channels_) && ch_[channel].started; }

    // Received CAN FD frames a channel keeps. No operation hands them out,
    // so they are only counted: without a bound a busy bus would grow the
    // buffer for as long as the interface stays open.
    static constexpr size_t kFdFramesKept = 1024;
    // CAN FD frames of a channel dropped for that bound since the open.
    uint64_t droppedFdFrames(uint32_t channel);

protected:
    KvaserDeviceBase(AdapterFamily family, int channels, size_t cmdSize, long ackMax);

    virtual std::vector<kvaser::Bytes> busParams(int channel, const KCAN_INITFD_CONFIG &cfg) const = 0;
    virtual kvaser::Bytes startChip(int channel) const = 0;
    virtual kvaser::Bytes stopChip(int channel) const = 0;
    virtual void appendTransmit(kvaser::Bytes &out, int channel, const KCAN_CAN_OBJ &f) const = 0;
    // The command stream parser of the family (guarded by the buffer lock).
    virtual kvaser::CommandStream &stream() = 0;
    // Stale acknowledgements taken without waiting before a transmit.
    virtual int staleAcks() const { return 0; }

    struct Channel {
        bool started = false;
        std::unique_ptr<plat::CSemaphore> ack;
        std::deque<KCAN_CAN_OBJ> rx;
        std::deque<KCAN_CANFD_OBJ> rxFd; // at most kFdFramesKept
        uint64_t fdDropped = 0;
    };

private:
    class Sink;
    ReadTurn deviceThreadRead(int threadNo) override;
    QUserWinUsb *deviceThreadTransport(int) override { return &usb_; }
    bool write(const kvaser::Bytes &b);
    uint32_t setChip(uint32_t channel, bool start);

    const AdapterFamily family_; // the types this class opens
    const int channels_;
    const size_t cmdSize_;
    QUserWinUsb usb_;
    DeviceThread thread_;
    std::atomic<bool> open_{false};
    uint32_t perWrite_ = 1;
    std::mutex stateMutex_; // started flags and chip commands
    std::mutex bufMutex_;
    std::condition_variable bufCv_;
    std::vector<Channel> ch_;
    std::vector<uint8_t> readBuf_;
};

class QDeviceKvaser final : public KvaserDeviceBase
{
public:
    QDeviceKvaser();
    ~QDeviceKvaser() override { Close(); }
    uint64_t skippedStreamBytes() const { return stream_.skippedBytes(); }

private:
    std::vector<kvaser::Bytes> busParams(int channel, const KCAN_INITFD_CONFIG &cfg) const override;
    kvaser::Bytes startChip(int channel) const override { return kvaser::cmd20StartChip(channel); }
    kvaser::Bytes stopChip(int channel) const override { return kvaser::cmd20StopChip(channel); }
    void appendTransmit(kvaser::Bytes &out, int channel, const KCAN_CAN_OBJ &f) const override
    {
        kvaser::cmd20Transmit(out, channel, f);
    }
    kvaser::CommandStream &stream() override { return stream_; }

    kvaser::Stream20 stream_;
};

class QDeviceKvaserProFD final : public KvaserDeviceBase
{
public:
    QDeviceKvaserProFD();
    ~QDeviceKvaserProFD() override { Close(); }

private:
    std::vector<kvaser::Bytes> busParams(int channel, const KCAN_INITFD_CONFIG &cfg) const override
    {
        return kvaser::cmd32BusParams(channel, cfg);
    }
    kvaser::Bytes startChip(int channel) const override { return kvaser::cmd32StartChip(channel); }
    kvaser::Bytes stopChip(int channel) const override { return kvaser::cmd32StopChip(channel); }
    void appendTransmit(kvaser::Bytes &out, int channel, const KCAN_CAN_OBJ &f) const override
    {
        kvaser::cmd32Transmit(out, channel, f);
    }
    kvaser::CommandStream &stream() override { return stream_; }
    int staleAcks() const override { return 8; }

    kvaser::Stream32 stream_;
};

} // namespace kemusb

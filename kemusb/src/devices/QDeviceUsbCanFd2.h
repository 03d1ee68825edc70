#pragma once
// The USB CAN FD adapters: types 41, 42, 43 (two channels) and 64 to 67
// (TRNB701, TRNA701: four channels at 60 MHz; TRNA702, TRNB702: eight
// channels at 80 MHz). One object stands for one open adapter.
//
// Commands go out on 0x01 and are answered on 0x81, transmit packets on 0x02
// (answered on 0x82 by firmware below 2.00), and the device thread reads the
// receive stream on 0x83 into per-channel FIFOs. Commands and transmit
// packets are written from the caller's thread; each pipe pair is used by
// one caller at a time so that no caller takes another's reply.

#include "kemusb/src/devices/DeviceThread.h"
#include "kemusb/src/devices/QDevice.h"
#include "kemusb/src/devices/QUserWinUsb.h"
#include "kemusb/src/protocol/AdapterModels.h"
#include "kemusb/src/protocol/KemFdProtocol.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

namespace kemusb {

// One channel's received frames of one kind, oldest first: a ring that grows
// as frames pile up and gives its memory back once drained. Changed only
// under the device's buffer lock; the count is also published on its own so
// that a receive that would not wait can see an empty buffer without the lock.
template<class Rec>
class FrameFifo
{
public:
    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    // Frames waiting, as last published; readable without the lock.
    size_t waiting() const { return count_.load(std::memory_order_acquire); }
    void push(const Rec &r)
    {
        if (size_ == ring_.size())
            grow();
        ring_[(head_ + size_) & (ring_.size() - 1)] = r;
        ++size_;
        count_.store(size_, std::memory_order_release);
    }
    // Moves up to n frames from the front into out; returns how many.
    size_t take(Rec *out, size_t n)
    {
        if (n > size_)
            n = size_;
        const size_t cap = ring_.size();
        for (size_t i = 0; i < n; ++i)
            out[i] = ring_[(head_ + i) & (cap - 1)];
        head_ = (head_ + n) & (cap ? cap - 1 : 0);
        size_ -= n;
        count_.store(size_, std::memory_order_release);
        if (size_ == 0) {
            head_ = 0;
            if (cap > kKeep)
                std::vector<Rec>().swap(ring_);
        }
        return n;
    }
    void clear()
    {
        head_ = 0;
        size_ = 0;
        count_.store(0, std::memory_order_release);
        if (ring_.size() > kKeep)
            std::vector<Rec>().swap(ring_);
    }

private:
    // A drained ring keeps at most this many slots: without the bound, one
    // burst would keep its memory for as long as the device stays open.
    static constexpr size_t kKeep = 4096;
    void grow()
    {
        const size_t cap = ring_.size();
        std::vector<Rec> bigger(cap ? cap * 2 : 64);
        for (size_t i = 0; i < size_; ++i)
            bigger[i] = ring_[(head_ + i) & (cap - 1)];
        ring_.swap(bigger);
        head_ = 0;
    }
    std::vector<Rec> ring_; // capacity a power of two
    size_t head_ = 0;
    size_t size_ = 0;
    std::atomic<size_t> count_{0};
};

class QDeviceUsbCanFd2 final : public QDevice, private DeviceThreadClient
{
public:
    static constexpr int kMaxChannels = familyChannels(AdapterFamily::CanFd);

    QDeviceUsbCanFd2();
    ~QDeviceUsbCanFd2() override;

    uint32_t Open(uint32_t devType, uint32_t devIndex) override;
    uint32_t Close() override;
    uint32_t ReadBoardInfo(uint32_t channel, OCAN_DEVICE_INFO *info) override;
    uint32_t GetDeviceInf(OCAN_DEVICE_INFO *info) override;
    uint32_t IsDeviceOnLine() override { return 2; }
    OcanChannelHandle *InitCAN(uint32_t channel, const OCAN_INIT_CONFIG *init) override;
    uint32_t Transmit(uint32_t channel, const OCAN_CAN_TX *frames, uint32_t count) override;
    uint32_t TransmitFD(uint32_t channel, const OCAN_CANFD_TX *frames, uint32_t count) override;
    uint32_t ReceiveFD(uint32_t channel, OCAN_CANFD_RX *frames, uint32_t count, int32_t waitMs) override;
    uint32_t Receive(uint32_t channel, OCAN_CAN_RX *frames, uint32_t count, int32_t waitMs) override;
    uint32_t StartCAN(uint32_t channel) override;
    uint32_t ResetCAN(uint32_t channel) override;
    uint32_t ClearBuffer(uint32_t channel) override;
    uint32_t GetReceiveNum(uint32_t channel, uint8_t kind) override;
    uint32_t SetValue(const char *path, const char *value) override;
    uint32_t ReadChannelErrInfo(uint32_t channel, OCAN_ERR_INFO *info) override;
    uint32_t ReadChannelStatus(uint32_t channel, OCAN_CAN_STATUS *status) override;
    uint32_t DevDataTransfer(uint8_t *buf, int32_t len) override;
    bool adapterGone() const override { return open_ && usb_.gone(); }

    bool isOpen() const { return open_; }
    int channelCount() const { return channels_; }
    uint8_t clockMHz() const { return clock_; }
    uint16_t hardwareVersion() const { return hw_; }
    uint16_t firmwareVersion() const { return fw_; }
    // Whether h is one of this device's channel handles.
    bool ownsHandle(const OcanChannelHandle *h) const;
    // Frames the stream parser skipped as not belonging to a packet.
    uint64_t skippedStreamBytes();

    // Exposed for tests: the timing words a channel would be initialised with.
    bool customTiming(int channel, uint32_t *arb, uint32_t *data) const;

private:
    struct Channel {
        OcanChannelHandle handle{};
        bool initialised = false;
        uint8_t mode = 0;
        uint8_t standard = 0;
        bool custom = false;
        uint32_t arbWord = 0;
        uint32_t dataWord = 0;
        int filterState = 0; // 0 none, 1 mode given, 2 start given
        int filterMode = 0;  // 0 standard, 1 extended, 2 other
        uint32_t filterStart = 0;
        FrameFifo<OCAN_CAN_RX> rx;
        FrameFifo<OCAN_CANFD_RX> rxFd;
    };

    class Sink final : public fd::StreamSink
    {
    public:
        explicit Sink(QDeviceUsbCanFd2 &d) : d_(d) {}
        void classicFrame(int channel, const OCAN_CAN_RX &f) override { d_.ch_[channel].rx.push(f); }
        void fdFrame(int channel, const OCAN_CANFD_RX &f) override { d_.ch_[channel].rxFd.push(f); }

    private:
        QDeviceUsbCanFd2 &d_;
    };

    ReadTurn deviceThreadRead(int threadNo) override;
    QUserWinUsb *deviceThreadTransport(int threadNo) override { return &usb_; }

    // Writes req on 0x01 and reads 0x81 for the matching reply; false when
    // the write failed or nothing came. *n is the length of the reply kept.
    bool exchange(const fd::Bytes &req, uint32_t timeoutMs, uint8_t *reply, size_t *n);
    // A version query (hardware or firmware) and its answer.
    bool queryVersion(const fd::Bytes &req, uint16_t *version);
    bool sendFilterCommand(const fd::Bytes &req);
    uint32_t statusWord(uint32_t channel, bool *ok);
    template<class Rec>
    uint32_t takeFrames(uint32_t channel, Rec *out, uint32_t count, int32_t waitMs, FrameFifo<Rec> Channel::*queue);
    // Takes bufMutex_, first spinning briefly: the device thread and the
    // receivers hold it only for a few frames, and sleeping on it costs far
    // more than that.
    std::unique_lock<std::mutex> lockBuffers();
    template<class Rec>
    uint32_t sendBatches(uint32_t channel, const Rec *frames, uint32_t count,
                         fd::Bytes (*build)(int, const Rec *, int));

    QUserWinUsb usb_;
    DeviceThread thread_;
    std::atomic<bool> open_{false};
    int channels_ = 0;
    uint8_t clock_ = 60;
    uint16_t hw_ = 0;
    uint16_t fw_ = 0;

    // Each pipe pair serves one caller at a time: two callers waiting on one
    // reply pipe at once could each take the other's reply.
    std::mutex cmdMutex_; // the command pipe pair
    std::mutex txMutex_;  // the transmit pipe pair and its acknowledgements

    // Frame buffers and the stream assembly buffer.
    std::mutex bufMutex_;
    std::condition_variable bufCv_;
    int waiters_ = 0; // receives waiting on bufCv_
    std::chrono::steady_clock::time_point lastWake_{};
    fd::StreamParser parser_;
    Channel ch_[kMaxChannels];
    uint8_t readBuf_[fd::StreamParser::kCapacity];
};

} // namespace kemusb

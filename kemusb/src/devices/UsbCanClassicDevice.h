#pragma once
// The two-channel classic adapter (types 3 and 4, USB id 0471:1200).
//
// Two device threads: the frame thread reads the received-frame stream on
// 0x82 into the channels' buffers, the reply thread reads 0x81 into the
// reply queue. Commands (0x01) and transmit groups (0x02) are written from
// the caller's thread, and both are answered on 0x81: every write-then-wait
// exchange of one adapter runs under one lock, so that a transmit and a
// command made at the same time from two threads cannot empty or take each
// other's reply.

#include "kemusb/src/devices/DeviceThread.h"
#include "kemusb/src/devices/QUserWinUsb.h"
#include "kemusb/src/protocol/KemClassicProtocol.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

namespace kemusb {

class UsbCanClassicDevice final : private DeviceThreadClient
{
public:
    UsbCanClassicDevice();
    ~UsbCanClassicDevice() override;
    UsbCanClassicDevice(const UsbCanClassicDevice &) = delete;
    UsbCanClassicDevice &operator=(const UsbCanClassicDevice &) = delete;

    // 1 opened; 0 when already open or the transport did not open.
    uint32_t open(uint16_t vid, uint16_t pid, uint32_t index);
    void close();
    bool isOpen() const { return open_; }
    // The adapter left the host while open (see QUserWinUsb::gone).
    bool adapterGone() const { return open_ && usb_.gone(); }

    bool hardwareVersion(uint16_t *v);
    bool firmwareVersion(uint16_t *v);
    bool channelCount(uint8_t *n);

    // Mode and timing, then the acceptance filter; 1 when both succeed.
    uint32_t initChannel(uint32_t channel, uint8_t mode, uint8_t timing0, uint8_t timing1, uint8_t filter,
                         uint32_t accCode, uint32_t accMask);
    uint32_t startChannel(uint32_t channel);
    uint32_t resetChannel(uint32_t channel);
    bool started(uint32_t channel) const;

    uint32_t relaySet(uint8_t a, uint8_t b);
    uint32_t relayGet(uint8_t *a, uint8_t *b);
    uint32_t busTimingGet(uint32_t channel, uint8_t *timing0, uint8_t *timing1);
    uint32_t channelStateGet(uint32_t channel, uint8_t *a, uint8_t *b, uint8_t *c);
    // Reply less its first two bytes copied back into buf; its length.
    uint32_t directTransfer(uint8_t *buf, int32_t len);

    // Frames accepted by the adapter (whole groups).
    uint32_t transmit(uint32_t channel, const VCI_CAN_OBJ *frames, uint32_t count);
    // Moves up to count frames out of the channel's buffer; no waiting.
    uint32_t receive(uint32_t channel, VCI_CAN_OBJ *frames, uint32_t count);
    uint32_t receiveNum(uint32_t channel);
    uint32_t clearBuffer(uint32_t channel);
    // Waits until the channel holds a frame or ms passed; true when it does.
    bool waitFrames(uint32_t channel, uint32_t ms);

    uint64_t skippedStreamBytes();

private:
    struct Reply {
        uint8_t data[classic::kReplyRead];
        size_t len;
    };

    class Sink;

    ReadTurn deviceThreadRead(int threadNo) override;
    QUserWinUsb *deviceThreadTransport(int threadNo) override { return &usb_; }

    // Caller holds exchangeMutex_.
    void dropReplies();
    // The next non-empty reply within ms; false when none came.
    bool takeReply(Reply *out, uint32_t ms);
    // Command exchange: write on 0x01, wait for the matching reply.
    bool exchange(const classic::Bytes &req, uint32_t ms, Reply *reply);
    // Before a new command goes out: when the last one went unanswered, its
    // reply may still come. Waits for it until its own reply time has passed
    // once more and drops it, with whatever else came meanwhile.
    void settleLateReply();

    QUserWinUsb usb_;
    DeviceThread frameThread_;
    DeviceThread replyThread_;
    std::atomic<bool> open_{false};

    // One write-then-wait exchange at a time: commands and transmit groups
    // are both answered on 0x81, and an exchange empties the reply queue
    // before it writes, so two at once would throw away or take each
    // other's reply.
    std::mutex exchangeMutex_;

    std::mutex replyMutex_;
    std::condition_variable replyCv_;
    std::deque<Reply> replies_;

    // The command whose reply did not come in time (empty: none owed) and
    // the tick until which it is still waited for. Under exchangeMutex_.
    classic::Bytes owedCmd_;
    uint32_t owedUntil_ = 0;

    std::mutex rxMutex_;
    std::condition_variable rxCv_;
    classic::StreamParser parser_;
    std::deque<VCI_CAN_OBJ> rx_[classic::kChannels];
    std::atomic<bool> started_[classic::kChannels];
    uint8_t streamBuf_[classic::kStreamRead];
    uint8_t replyBuf_[classic::kReplyRead];
};

} // namespace kemusb

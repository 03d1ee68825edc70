#pragma once
// The recording adapters TRND701 (type 61) and TRND702 (type 62), used for
// configuration only: board information, channel settings, the adapter's
// own filter list and the direct-transfer channel. No frame traffic and no
// device thread: every operation is one command exchange on 0x01/0x81 from
// the caller's thread, one caller at a time.

#include "kemusb/src/devices/QDevice.h"
#include "kemusb/src/devices/QUserWinUsb.h"
#include "kemusb/src/protocol/KemRecordProtocol.h"

#include <atomic>
#include <mutex>

namespace kemusb {

class QDeviceCanRecord final : public QDevice
{
public:
    QDeviceCanRecord() = default;
    ~QDeviceCanRecord() override { Close(); }

    uint32_t Open(uint32_t devType, uint32_t devIndex) override;
    uint32_t Close() override;
    uint32_t BoardInfoGet(void *boardInfo) override;
    uint32_t RecordSettingSet(uint32_t channel, void *setting) override;
    uint32_t RecordSettingGet(uint32_t channel, void *setting) override;
    // Commands 0-5. Command 4 writes the filter information to `filter`
    // (the 32-bit argument cannot carry a pointer here).
    uint32_t RecordCmdExecute(uint32_t channel, uint32_t command, uint32_t argument, void *filter) override;
    uint32_t DevDataTransfer(uint8_t *buf, int32_t len) override;
    bool adapterGone() const override { return open_ && usb_.gone(); }

    bool isOpen() const { return open_; }

private:
    // One command exchange; one at a time, since two callers on the command
    // pipe at once could each take the other's reply.
    bool exchange(const Bytes &req, uint32_t timeoutMs, uint8_t *reply, size_t *n);

    QUserWinUsb usb_;
    std::atomic<bool> open_{false};
    std::mutex cmdMutex_;
};

} // namespace kemusb

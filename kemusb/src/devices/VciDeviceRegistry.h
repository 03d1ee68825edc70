#pragma once
// The classic path's registry: one adapter object per open (type, index)
// in four maps (type 3; type 4; the 20-byte Kvaser types 68, 69, 70, 72; the
// Kvaser CAN FD types 63, 71, 73), and the two sections that serialise the
// receive side (receive, clear, count, KVCI_Receive) and the transmit side
// (transmit, direct transfer, KVCI_Transmit) of every such adapter.
//
// The maps themselves are guarded by a lock of their own, and look-ups hand
// out shared pointers, so an object a caller still uses outlives its close.

#include "kemusb/src/devices/QDevice.h"
#include "kemusb/src/devices/UsbCanClassicDevice.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

namespace kemusb {

class VciDeviceRegistry
{
public:
    static constexpr uint32_t kOpenFailed = 0xFFFFFFFFu;

    static VciDeviceRegistry &instance();

    static bool isClassicType(uint32_t type) { return type == 3 || type == 4; }
    static bool isKvaserType(uint32_t type);

    // 0 opened or already open; kOpenFailed when it could not be opened.
    uint32_t open(uint32_t type, uint32_t index);
    // 1 when an adapter was closed, 0 when none was open.
    uint32_t close(uint32_t type, uint32_t index);
    void closeAll();

    std::shared_ptr<UsbCanClassicDevice> classic(uint32_t type, uint32_t index) const;
    std::shared_ptr<QDevice> kvaser(uint32_t type, uint32_t index) const;

    std::mutex &receiveSection() { return rxSection_; }
    std::mutex &transmitSection() { return txSection_; }

private:
    VciDeviceRegistry() = default;
    std::map<uint32_t, std::shared_ptr<UsbCanClassicDevice>> *classicMap(uint32_t type);
    std::map<uint32_t, std::shared_ptr<QDevice>> *kvaserMap(uint32_t type);

    mutable std::mutex m_;
    std::map<uint32_t, std::shared_ptr<UsbCanClassicDevice>> type3_, type4_;
    std::map<uint32_t, std::shared_ptr<QDevice>> kvaser_, kvaserFd_;
    std::mutex rxSection_;
    std::mutex txSection_;
};

// The handle path's object for types 3 and 4: forwards to the VCI_ functions.
class QDeviceUsbCan final : public QDevice
{
public:
    ~QDeviceUsbCan() override { Close(); }
    uint32_t Open(uint32_t devType, uint32_t devIndex) override;
    uint32_t Close() override;
    uint32_t ReadBoardInfo(uint32_t channel, OCAN_DEVICE_INFO *info) override;
    uint32_t GetDeviceInf(OCAN_DEVICE_INFO *info) override;
    uint32_t IsDeviceOnLine() override { return 2; }
    OcanChannelHandle *InitCAN(uint32_t channel, const OCAN_INIT_CONFIG *init) override;
    uint32_t Transmit(uint32_t channel, const OCAN_CAN_TX *frames, uint32_t count) override;
    uint32_t Receive(uint32_t channel, OCAN_CAN_RX *frames, uint32_t count, int32_t waitMs) override;
    uint32_t StartCAN(uint32_t channel) override;
    uint32_t ResetCAN(uint32_t channel) override;
    uint32_t ClearBuffer(uint32_t channel) override;
    uint32_t GetReceiveNum(uint32_t channel, uint8_t kind) override;
    uint32_t SetValue(const char *, const char *) override { return 1; }
    uint32_t ReadChannelErrInfo(uint32_t, OCAN_ERR_INFO *) override { return 1; }
    uint32_t ReadChannelStatus(uint32_t, OCAN_CAN_STATUS *) override { return 1; }
    uint32_t DevDataTransfer(uint8_t *buf, int32_t len) override;

private:
    bool open_ = false;
    uint32_t type_ = 0;
    uint32_t index_ = 0;
    OcanChannelHandle handles_[2] = {{0, this}, {1, this}};
};

// Installs QDeviceUsbCan as the handle path's class for types 3 and 4.
void installClassicForwarding();

} // namespace kemusb

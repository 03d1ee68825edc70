#pragma once
// The handle path's object for the classic adapter (types 3 and 4): it
// keeps type, index and an open flag and forwards every operation to the
// classic path (VciPath), converting the handle path's records.

#include "kemusb/src/devices/QDevice.h"

#include <cstdint>

namespace kemusb {

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
    bool adapterGone() const override;

private:
    bool open_ = false;
    uint32_t type_ = 0;
    uint32_t index_ = 0;
    OcanChannelHandle handles_[2] = {{0, this}, {1, this}};
};

} // namespace kemusb

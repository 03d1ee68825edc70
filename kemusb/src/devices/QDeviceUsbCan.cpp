#include "kemusb/src/devices/QDeviceUsbCan.h"

#include "kemusb/src/devices/VciPath.h"
#include "kemusb/src/protocol/AdapterModels.h"
#include "kemusb/src/protocol/ApiRecords.h"

#include <cstring>
#include <vector>

namespace kemusb {

uint32_t QDeviceUsbCan::Open(uint32_t type, uint32_t index)
{
    if (open_)
        return 1;
    if (!isFamily(type, AdapterFamily::Classic))
        return 0;
    if (vci::openDevice(type, index) != 1)
        return 0;
    type_ = type;
    index_ = index;
    open_ = true;
    return 1;
}

uint32_t QDeviceUsbCan::Close()
{
    if (open_) {
        vci::closeDevice(type_, index_);
        open_ = false;
    }
    return 1;
}

uint32_t QDeviceUsbCan::ReadBoardInfo(uint32_t, OCAN_DEVICE_INFO *info)
{
    return open_ ? vci::readBoardInfo(type_, index_, info) : 0;
}

uint32_t QDeviceUsbCan::GetDeviceInf(OCAN_DEVICE_INFO *info) { return fixedDeviceInfo(info); }

OcanChannelHandle *QDeviceUsbCan::InitCAN(uint32_t channel, const OCAN_INIT_CONFIG *init)
{
    if (!open_ || channel > 1 || !init || init->CanType != 0)
        return nullptr;
    KCAN_INIT_CONFIG c;
    std::memset(&c, 0, sizeof c);
    c.AccCode = init->AccCode;
    c.AccMask = init->AccMask;
    c.Filter = init->can.Filter;
    c.Timing0 = init->can.Timing0;
    c.Timing1 = init->can.Timing1;
    c.Mode = init->can.Mode;
    return vci::initCan(type_, index_, channel, &c) == 1 ? &handles_[channel] : nullptr;
}

uint32_t QDeviceUsbCan::Transmit(uint32_t channel, const OCAN_CAN_TX *frames, uint32_t count)
{
    if (!open_ || !frames || count == 0)
        return 0;
    std::vector<VCI_CAN_OBJ> tmp(count);
    for (uint32_t i = 0; i < count; ++i)
        tmp[i] = vciFromOcanTx(frames[i]);
    return vci::transmit(type_, index_, channel, tmp.data(), count);
}

uint32_t QDeviceUsbCan::Receive(uint32_t channel, OCAN_CAN_RX *frames, uint32_t count, int32_t waitMs)
{
    if (!open_ || !frames || count == 0)
        return 0;
    std::vector<VCI_CAN_OBJ> tmp(count);
    const uint32_t n = vci::receive(type_, index_, channel, tmp.data(), count, waitMs);
    for (uint32_t i = 0; i < n; ++i)
        vciToOcanRx(tmp[i], frames[i]);
    return n;
}

uint32_t QDeviceUsbCan::StartCAN(uint32_t channel) { return open_ ? vci::startCan(type_, index_, channel) : 0; }
uint32_t QDeviceUsbCan::ResetCAN(uint32_t channel) { return open_ ? vci::resetCan(type_, index_, channel) : 0; }
uint32_t QDeviceUsbCan::ClearBuffer(uint32_t channel) { return open_ ? vci::clearBuffer(type_, index_, channel) : 0; }

uint32_t QDeviceUsbCan::GetReceiveNum(uint32_t channel, uint8_t)
{
    return open_ ? vci::receiveNum(type_, index_, channel) : 0;
}

uint32_t QDeviceUsbCan::DevDataTransfer(uint8_t *buf, int32_t len)
{
    return open_ ? vci::dataTransfer(type_, index_, buf, len) : 0;
}

bool QDeviceUsbCan::adapterGone() const { return open_ && vci::adapterGone(type_, index_) == 1; }

} // namespace kemusb

#include "kemusb/src/devices/QDevice.h"

#include "kemusb/src/devices/KemLibrary.h"

#include <cstring>

namespace kemusb {

QDevice::QDevice() { trackDevice(this); }
QDevice::~QDevice() { untrackDevice(this); }

uint32_t QDevice::fixedDeviceInfo(OCAN_DEVICE_INFO *info)
{
    if (!info)
        return 0;
    std::memset(info, 0, sizeof *info);
    info->HwVersion = 0x0100;
    info->FwVersion = 0x0117;
    info->DrVersion = 0x0100;
    info->InVersion = 0x0100;
    info->IrqNum = 0;
    info->CanNum = 2;
    std::memcpy(info->SerialNum, "KEMFD000000000000001", 20);
    std::strcpy(info->HwType, "USBCANFD");
    return 1;
}

uint32_t QDevice::countByKind(size_t classic, size_t fd, uint8_t kind)
{
    switch (kind) {
    case 0:
        return uint32_t(classic);
    case 1:
        return uint32_t(fd);
    case 2:
        return uint32_t(classic + fd);
    default:
        return 0;
    }
}

uint32_t QDevice::ReadBoardInfo(uint32_t, OCAN_DEVICE_INFO *) { return 0; }
uint32_t QDevice::GetDeviceInf(OCAN_DEVICE_INFO *) { return 0; }
uint32_t QDevice::BoardInfoGet(void *) { return 0; }
uint32_t QDevice::IsDeviceOnLine() { return 0; }
OcanChannelHandle *QDevice::InitCAN(uint32_t, const OCAN_INIT_CONFIG *) { return nullptr; }
uint32_t QDevice::KvciTransmit(uint32_t, const KCAN_CAN_OBJ *, uint32_t) { return 0; }
uint32_t QDevice::Transmit(uint32_t, const OCAN_CAN_TX *, uint32_t) { return 0; }
uint32_t QDevice::TransmitFD(uint32_t, const OCAN_CANFD_TX *, uint32_t) { return 0; }
uint32_t QDevice::ReceiveFD(uint32_t, OCAN_CANFD_RX *, uint32_t, int32_t) { return 0; }
uint32_t QDevice::KvciReceive(uint32_t, KCAN_CAN_OBJ *, uint32_t, int32_t) { return 0; }
uint32_t QDevice::Receive(uint32_t, OCAN_CAN_RX *, uint32_t, int32_t) { return 0; }
uint32_t QDevice::KvciInitCAN(uint32_t, const KCAN_INITFD_CONFIG *) { return 0; }
uint32_t QDevice::StartCAN(uint32_t) { return 0; }
uint32_t QDevice::ResetCAN(uint32_t) { return 0; }
uint32_t QDevice::ClearBuffer(uint32_t) { return 0; }
uint32_t QDevice::GetReceiveNum(uint32_t, uint8_t) { return 0; }
uint32_t QDevice::SetValue(const char *, const char *) { return 0; }
const void *QDevice::GetValue(const char *) { return nullptr; }
uint32_t QDevice::ReadChannelErrInfo(uint32_t, OCAN_ERR_INFO *) { return 0; }
uint32_t QDevice::ReadChannelStatus(uint32_t, OCAN_CAN_STATUS *) { return 0; }
uint32_t QDevice::DevDataTransfer(uint8_t *, int32_t) { return 0; }
uint32_t QDevice::RecordSettingSet(uint32_t, void *) { return 0; }
uint32_t QDevice::RecordSettingGet(uint32_t, void *) { return 0; }
uint32_t QDevice::RecordCmdExecute(uint32_t, uint32_t, uint32_t, void *) { return 0; }

} // namespace kemusb

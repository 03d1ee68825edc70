// The exported VCI_ and KVCI_ functions: the classic adapter and the Kvaser
// interfaces through the classic path (devices/VciPath.h), and the stubs of
// the family that this library answers without an adapter. Each function
// that reaches an adapter returns its failure value when anything below it
// throws (ApiGuard.h).
#include "kemusb/include/vci_api.h"

#include "kemusb/src/api/ApiGuard.h"
#include "kemusb/src/devices/VciPath.h"

#include <cstring>

namespace vci = kemusb::vci;
using kemusb::api::guarded;
using kemusb::api::guarded0;

extern "C" {

KEMUSB_API uint32_t VCI_OpenDevice(uint32_t type, uint32_t index, uint32_t)
{
    return guarded(vci::openFailure(type), [&] { return vci::openDevice(type, index); });
}

KEMUSB_API uint32_t VCI_CloseDevice(uint32_t type, uint32_t index)
{
    return guarded0([&] { return vci::closeDevice(type, index); });
}

KEMUSB_API uint32_t VCI_InitCAN(uint32_t type, uint32_t index, uint32_t channel, const KCAN_INIT_CONFIG *init)
{
    return guarded0([&] { return vci::initCan(type, index, channel, init); });
}

KEMUSB_API uint32_t VCI_StartCAN(uint32_t type, uint32_t index, uint32_t channel)
{
    return guarded0([&] { return vci::startCan(type, index, channel); });
}

KEMUSB_API uint32_t VCI_ClearBuffer(uint32_t type, uint32_t index, uint32_t channel)
{
    return guarded0([&] { return vci::clearBuffer(type, index, channel); });
}

KEMUSB_API uint32_t VCI_ResetCAN(uint32_t type, uint32_t index, uint32_t channel)
{
    return guarded0([&] { return vci::resetCan(type, index, channel); });
}

KEMUSB_API uint32_t VCI_GetReceiveNum(uint32_t type, uint32_t index, uint32_t channel)
{
    return guarded0([&] { return vci::receiveNum(type, index, channel); });
}

KEMUSB_API uint32_t VCI_Transmit(uint32_t type, uint32_t index, uint32_t channel, const VCI_CAN_OBJ *frames,
                                 uint32_t count)
{
    return guarded0([&] { return vci::transmit(type, index, channel, frames, count); });
}

KEMUSB_API uint32_t VCI_Receive(uint32_t type, uint32_t index, uint32_t channel, VCI_CAN_OBJ *frames, uint32_t count,
                                int32_t waitMs)
{
    return guarded0([&] { return vci::receive(type, index, channel, frames, count, waitMs); });
}

KEMUSB_API uint32_t VCI_ReadBoardInfo(uint32_t type, uint32_t index, OCAN_DEVICE_INFO *info)
{
    return guarded0([&] { return vci::readBoardInfo(type, index, info); });
}

KEMUSB_API uint32_t VCI_DevRelayStatusSet(uint32_t type, uint32_t index, uint8_t a, uint8_t b)
{
    return guarded0([&] { return vci::relaySet(type, index, a, b); });
}

KEMUSB_API uint32_t VCI_DevRelayStatusGet(uint32_t type, uint32_t index, uint8_t *a, uint8_t *b)
{
    return guarded0([&] { return vci::relayGet(type, index, a, b); });
}

KEMUSB_API uint32_t VCI_DevBaudParaGet(uint32_t type, uint32_t index, uint32_t channel, uint8_t *timing0,
                                       uint8_t *timing1)
{
    return guarded0([&] { return vci::busTimingGet(type, index, channel, timing0, timing1); });
}

KEMUSB_API uint32_t VCI_DevChStateGet(uint32_t type, uint32_t index, uint32_t channel, uint8_t *a, uint8_t *b,
                                      uint8_t *c)
{
    return guarded0([&] { return vci::channelStateGet(type, index, channel, a, b, c); });
}

KEMUSB_API uint32_t VCI_DevDataTransfer(uint32_t type, uint32_t index, uint8_t *buf, int32_t len)
{
    return guarded0([&] { return vci::dataTransfer(type, index, buf, len); });
}

KEMUSB_API uint32_t VCI_ReadErrInfo(uint32_t, uint32_t, uint32_t, OCAN_ERR_INFO *info)
{
    if (info)
        std::memset(info, 0, sizeof *info);
    return 1;
}

KEMUSB_API uint32_t VCI_ReadCANStatus(uint32_t, uint32_t, uint32_t, OCAN_CAN_STATUS *status)
{
    if (status)
        std::memset(status, 0, sizeof *status);
    return 1;
}

KEMUSB_API uint32_t VCI_GetReference(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t *out)
{
    if (out)
        *out = 1000;
    return 100;
}

KEMUSB_API uint32_t VCI_SetReference(uint32_t, uint32_t, uint32_t, uint32_t refType, void *)
{
    return refType != 0 ? 1 : 0;
}

// Kept for callers that bind them: nothing to do, success.
KEMUSB_API uint32_t SetRate(uint32_t, uint32_t, uint32_t, uint32_t) { return 1; }
KEMUSB_API uint32_t GetCANParam(uint32_t, uint32_t, uint32_t, void *) { return 1; }
KEMUSB_API uint32_t SetFilter(uint32_t, uint32_t, uint32_t, void *) { return 1; }
KEMUSB_API uint32_t VCI_FindUsbDevice(void *) { return 1; }
KEMUSB_API uint32_t VCI_FindUsbDevice2(void *) { return 1; }
KEMUSB_API uint32_t VCI_UsbDeviceReset(uint32_t, uint32_t, uint32_t) { return 1; }
KEMUSB_API uint32_t VCI_GetReference2(uint32_t, uint32_t, uint32_t, uint32_t, void *) { return 1; }
KEMUSB_API uint32_t VCI_SetReference2(uint32_t, uint32_t, uint32_t, uint32_t, void *) { return 1; }
KEMUSB_API uint32_t VCI_ConnectDevice(uint32_t, uint32_t) { return 1; }
KEMUSB_API uint32_t VCI_DevErrStatusGet(uint32_t, uint32_t, uint32_t, void *) { return 1; }
KEMUSB_API uint32_t VCI_DisableRxAcptFilter(uint32_t, uint32_t, uint32_t) { return 1; }
KEMUSB_API uint32_t VCI_RxAcptFilterInit(uint32_t, uint32_t, uint32_t, void *) { return 1; }
KEMUSB_API uint32_t VCI_RxAcptMaskInit(uint32_t, uint32_t, uint32_t, void *) { return 1; }
KEMUSB_API uint32_t VCI_SetOperationMode(uint32_t, uint32_t, uint32_t, uint32_t) { return 1; }

KEMUSB_API uint32_t KVCI_InitCAN(uint32_t type, uint32_t index, uint32_t channel, const KCAN_INITFD_CONFIG *config)
{
    return guarded0([&] { return vci::kvciInitCan(type, index, channel, config); });
}

KEMUSB_API uint32_t KVCI_Transmit(uint32_t type, uint32_t index, uint32_t channel, const KCAN_CAN_OBJ *frames,
                                  uint32_t count)
{
    return guarded0([&] { return vci::kvciTransmit(type, index, channel, frames, count); });
}

KEMUSB_API uint32_t KVCI_Receive(uint32_t type, uint32_t index, uint32_t channel, KCAN_CAN_OBJ *frames,
                                 uint32_t count, int32_t waitMs)
{
    return guarded0([&] { return vci::kvciReceive(type, index, channel, frames, count, waitMs); });
}

} // extern "C"

// The exported KCAN_ functions: one flat family through which a caller
// drives every adapter by device type, device index and channel
// (devices/KcanPath.h routes them). Each returns its failure value when
// anything below it throws (ApiGuard.h).
#include "kemusb/include/kcan_api.h"

#include "kemusb/src/api/ApiGuard.h"
#include "kemusb/src/devices/KcanPath.h"

namespace kcan = kemusb::kcan;
using kemusb::api::guarded;
using kemusb::api::guarded0;

extern "C" {

KEMUSB_API uint32_t KCAN_OpenDevice(uint32_t type, uint32_t index)
{
    return guarded(kcan::openFailure(type), [&] { return kcan::openDevice(type, index); });
}

KEMUSB_API uint32_t KCAN_CloseDevice(uint32_t type, uint32_t index)
{
    return guarded0([&] { return kcan::closeDevice(type, index); });
}

KEMUSB_API uint32_t KCAN_InitCAN(uint32_t type, uint32_t index, uint32_t channel, const KCAN_INIT_CONFIG *config)
{
    return guarded0([&] { return kcan::initCan(type, index, channel, config); });
}

KEMUSB_API uint32_t KCAN_InitCANFD(uint32_t type, uint32_t index, uint32_t channel, const KCAN_INITFD_CONFIG *cfg)
{
    return guarded0([&] { return kcan::initCanFd(type, index, channel, cfg); });
}

KEMUSB_API uint32_t KCAN_SetFliter(uint32_t type, uint32_t index, uint32_t channel, const KCAN_FLITER_CONFIG *cfg)
{
    return guarded0([&] { return kcan::setFilter(type, index, channel, cfg); });
}

KEMUSB_API uint32_t KCAN_Start(uint32_t type, uint32_t index, uint32_t channel)
{
    return guarded0([&] { return kcan::start(type, index, channel); });
}

KEMUSB_API uint32_t KCAN_Stop(uint32_t type, uint32_t index, uint32_t channel)
{
    return guarded0([&] { return kcan::stop(type, index, channel); });
}

KEMUSB_API uint32_t KCAN_ClearBuffer(uint32_t type, uint32_t index, uint32_t channel)
{
    return guarded0([&] { return kcan::clearBuffer(type, index, channel); });
}

KEMUSB_API uint32_t KCAN_GetReceiveNum(uint32_t type, uint32_t index, uint32_t channel, uint8_t kind)
{
    return guarded0([&] { return kcan::receiveNum(type, index, channel, kind); });
}

KEMUSB_API uint32_t KCAN_Receive(uint32_t type, uint32_t index, uint32_t channel, KCAN_CAN_OBJ *buf, uint32_t count,
                                 int32_t waitMs)
{
    return guarded0([&] { return kcan::receive(type, index, channel, buf, count, waitMs); });
}

KEMUSB_API uint32_t KCAN_ReceiveFD(uint32_t type, uint32_t index, uint32_t channel, KCAN_CANFD_OBJ *buf,
                                   uint32_t count, int32_t waitMs)
{
    return guarded0([&] { return kcan::receiveFd(type, index, channel, buf, count, waitMs); });
}

KEMUSB_API uint32_t KCAN_Transmit(uint32_t type, uint32_t index, uint32_t channel, const KCAN_CAN_OBJ *frames,
                                  uint32_t count)
{
    return guarded0([&] { return kcan::transmit(type, index, channel, frames, count); });
}

KEMUSB_API uint32_t KCAN_TransmitFD(uint32_t type, uint32_t index, uint32_t channel, const KCAN_CANFD_OBJ *frames,
                                    uint32_t count)
{
    return guarded0([&] { return kcan::transmitFd(type, index, channel, frames, count); });
}

KEMUSB_API uint32_t KCAN_DataDirectTransfer(uint32_t type, uint32_t index, uint8_t *buf, int32_t len)
{
    return guarded0([&] { return kcan::dataTransfer(type, index, buf, len); });
}

KEMUSB_API uint32_t KCAN_BoardInfoGet(uint32_t type, uint32_t index, void *boardInfo)
{
    return guarded0([&] { return kcan::boardInfoGet(type, index, boardInfo); });
}

KEMUSB_API uint32_t KCAN_DevChStateGet(uint32_t type, uint32_t index, uint32_t channel, uint8_t *a, uint8_t *b,
                                       uint8_t *c)
{
    return guarded0([&] { return kcan::channelStateGet(type, index, channel, a, b, c); });
}

KEMUSB_API uint32_t KCAN_DevRelayStatusSet(uint32_t type, uint32_t index, uint8_t a, uint8_t b)
{
    return guarded0([&] { return kcan::relaySet(type, index, a, b); });
}

KEMUSB_API uint32_t KCAN_DevRelayStatusGet(uint32_t type, uint32_t index, uint8_t *a, uint8_t *b)
{
    return guarded0([&] { return kcan::relayGet(type, index, a, b); });
}

KEMUSB_API uint32_t KCAN_DevBaudParaGet(uint32_t type, uint32_t index, uint32_t channel, uint8_t *timing0,
                                        uint8_t *timing1)
{
    return guarded0([&] { return kcan::busTimingGet(type, index, channel, timing0, timing1); });
}

KEMUSB_API uint32_t KCAN_DevIsGone(uint32_t type, uint32_t index)
{
    return guarded0([&] { return kcan::adapterGone(type, index); });
}

KEMUSB_API uint32_t KCAN_RecordSettingSet(uint32_t type, uint32_t index, uint32_t channel, void *setting)
{
    return guarded0([&] { return kcan::recordSettingSet(type, index, channel, setting); });
}

KEMUSB_API uint32_t KCAN_RecordSettingGet(uint32_t type, uint32_t index, uint32_t channel, void *setting)
{
    return guarded0([&] { return kcan::recordSettingGet(type, index, channel, setting); });
}

KEMUSB_API uint32_t KCAN_RecordCmdExecute(uint32_t type, uint32_t index, uint32_t channel, uint32_t command,
                                          uint32_t argument, void *filter)
{
    return guarded0([&] { return kcan::recordCommand(type, index, channel, command, argument, filter); });
}

KEMUSB_API uint32_t KCAN_RecordFliterClr(uint32_t type, uint32_t index, uint32_t channel)
{
    return guarded0([&] { return kcan::recordCommand(type, index, channel, 0, 0, nullptr); });
}

KEMUSB_API uint32_t KCAN_RecordFliterAdd(uint32_t type, uint32_t index, uint32_t channel, void *filter)
{
    return guarded0([&] { return kcan::recordCommand(type, index, channel, 1, 0, filter); });
}

KEMUSB_API uint32_t KCAN_RecordFliterEnable(uint32_t type, uint32_t index, uint32_t channel)
{
    return guarded0([&] { return kcan::recordCommand(type, index, channel, 2, 0, nullptr); });
}

KEMUSB_API uint32_t KCAN_RecordFliterDisable(uint32_t type, uint32_t index, uint32_t channel)
{
    return guarded0([&] { return kcan::recordCommand(type, index, channel, 3, 0, nullptr); });
}

KEMUSB_API uint32_t KCAN_RecordFliterInfoGet(uint32_t type, uint32_t index, uint32_t channel, void *info)
{
    return guarded0([&] { return kcan::recordCommand(type, index, channel, 4, 0, info); });
}

KEMUSB_API uint32_t KCAN_RecordFliterSettingGet(uint32_t type, uint32_t index, uint32_t channel, uint16_t filterIndex,
                                                void *filter)
{
    return guarded0([&] { return kcan::recordFilterEntry(type, index, channel, filterIndex, filter); });
}

} // extern "C"

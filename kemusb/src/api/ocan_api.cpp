// The exported OCAN_ and OCLOUD_ functions and GetDevProperty: the handle
// path over OcanDeviceRegistry. A device handle is the device object; a
// channel handle is the record its initialisation gave out. Each function
// that reaches a device returns its failure value when anything below it
// throws (ApiGuard.h).
#include "kemusb/include/kemusb_export.h"
#include "kemusb/include/ocan_records.h"
#include "kemusb/src/api/ApiGuard.h"
#include "kemusb/src/devices/OcanDeviceRegistry.h"

using kemusb::OcanDeviceRegistry;
using kemusb::QDevice;
using kemusb::api::guarded;
using kemusb::api::guarded0;

namespace {

OcanDeviceRegistry &reg() { return OcanDeviceRegistry::instance(); }

// f(device) for a registered device handle; 0 for any other pointer, and
// when f throws.
template<class F>
uint32_t onDevice(void *dev, F f) noexcept
{
    return guarded0([&] { return reg().onDevice(dev, f); });
}

// f(device, channel) for a channel handle given out here; else 0, and 0
// when f throws.
template<class F>
uint32_t onChannel(void *ch, F f) noexcept
{
    return guarded0([&] { return reg().onChannel(ch, f); });
}

struct UserRecord {
    char name[32];
    uint32_t reserved[8];
};
UserRecord g_user = {"kemusb", {}};

} // namespace

extern "C" {

KEMUSB_API void *KEMUSB_CALL OCAN_OpenDevice(uint32_t type, uint32_t index, uint32_t)
{
    return guarded<void *>(nullptr, [&]() -> void * { return reg().open(type, index); });
}

KEMUSB_API uint32_t KEMUSB_CALL OCAN_CloseDevice(void *dev)
{
    return guarded0([&] { return reg().close(dev); });
}

KEMUSB_API uint32_t KEMUSB_CALL OCAN_GetDeviceInf(void *dev, OCAN_DEVICE_INFO *info)
{
    return onDevice(dev, [&](QDevice &d) { return d.GetDeviceInf(info); });
}

KEMUSB_API uint32_t KEMUSB_CALL OCAN_IsDeviceOnLine(void *dev)
{
    return onDevice(dev, [&](QDevice &d) { return d.IsDeviceOnLine(); });
}

KEMUSB_API void *KEMUSB_CALL OCAN_InitCAN(void *dev, uint32_t channel, const OCAN_INIT_CONFIG *init)
{
    return guarded<void *>(nullptr, [&]() -> void * { return reg().initCan(dev, channel, init); });
}

KEMUSB_API uint32_t KEMUSB_CALL OCAN_StartCAN(void *ch)
{
    return onChannel(ch, [](QDevice &d, uint32_t c) { return d.StartCAN(c); });
}

KEMUSB_API uint32_t KEMUSB_CALL OCAN_ResetCAN(void *ch)
{
    return onChannel(ch, [](QDevice &d, uint32_t c) { return d.ResetCAN(c); });
}

KEMUSB_API uint32_t KEMUSB_CALL OCAN_ClearBuffer(void *ch)
{
    return onChannel(ch, [](QDevice &d, uint32_t c) { return d.ClearBuffer(c); });
}

KEMUSB_API uint32_t KEMUSB_CALL OCAN_GetReceiveNum(void *ch, uint8_t kind)
{
    return onChannel(ch, [&](QDevice &d, uint32_t c) { return d.GetReceiveNum(c, kind); });
}

KEMUSB_API uint32_t KEMUSB_CALL OCAN_Transmit(void *ch, const OCAN_CAN_TX *frames, uint32_t count)
{
    return onChannel(ch, [&](QDevice &d, uint32_t c) { return d.Transmit(c, frames, count); });
}

KEMUSB_API uint32_t KEMUSB_CALL OCAN_TransmitFD(void *ch, const OCAN_CANFD_TX *frames, uint32_t count)
{
    return onChannel(ch, [&](QDevice &d, uint32_t c) { return d.TransmitFD(c, frames, count); });
}

KEMUSB_API uint32_t KEMUSB_CALL OCAN_Receive(void *ch, OCAN_CAN_RX *frames, uint32_t count, int32_t waitMs)
{
    return onChannel(ch, [&](QDevice &d, uint32_t c) { return d.Receive(c, frames, count, waitMs); });
}

KEMUSB_API uint32_t KEMUSB_CALL OCAN_ReceiveFD(void *ch, OCAN_CANFD_RX *frames, uint32_t count, int32_t waitMs)
{
    return onChannel(ch, [&](QDevice &d, uint32_t c) { return d.ReceiveFD(c, frames, count, waitMs); });
}

KEMUSB_API uint32_t KEMUSB_CALL OCAN_ReadChannelErrInfo(void *ch, OCAN_ERR_INFO *info)
{
    return onChannel(ch, [&](QDevice &d, uint32_t c) { return d.ReadChannelErrInfo(c, info); });
}

KEMUSB_API uint32_t KEMUSB_CALL OCAN_ReadChannelStatus(void *ch, OCAN_CAN_STATUS *status)
{
    return onChannel(ch, [&](QDevice &d, uint32_t c) { return d.ReadChannelStatus(c, status); });
}

KEMUSB_API uint32_t KEMUSB_CALL OCAN_SetValue(void *dev, const char *path, const char *value)
{
    return onDevice(dev, [&](QDevice &d) { return d.SetValue(path, value); });
}

KEMUSB_API const void *KEMUSB_CALL OCAN_GetValue(void *dev, const char *path)
{
    return guarded<const void *>(nullptr, [&]() -> const void * {
        auto d = reg().find(dev);
        return d ? d->GetValue(path) : nullptr;
    });
}

KEMUSB_API uint32_t KEMUSB_CALL OCAN_DevDataTransfer(void *dev, uint8_t *buf, int32_t len)
{
    return onDevice(dev, [&](QDevice &d) { return d.DevDataTransfer(buf, len); });
}

// The LIN functions belong to an adapter this library does not drive.
KEMUSB_API uint32_t KEMUSB_CALL OCAN_InitLIN() { return 0; }
KEMUSB_API uint32_t KEMUSB_CALL OCAN_StartLIN() { return 0; }
KEMUSB_API uint32_t KEMUSB_CALL OCAN_ResetLIN() { return 0; }
KEMUSB_API uint32_t KEMUSB_CALL OCAN_TransmitLIN() { return 0; }
KEMUSB_API uint32_t KEMUSB_CALL OCAN_GetLINReceiveNum() { return 0; }
KEMUSB_API uint32_t KEMUSB_CALL OCAN_ReceiveLIN() { return 0; }
KEMUSB_API uint32_t KEMUSB_CALL OCAN_SetLINSlaveMsg() { return 0; }
KEMUSB_API uint32_t KEMUSB_CALL OCAN_ClearLINSlaveMsg() { return 0; }

KEMUSB_API void KEMUSB_CALL OCLOUD_SetServerInfo() {}
KEMUSB_API uint32_t KEMUSB_CALL OCLOUD_ConnectServer() { return 0; }
KEMUSB_API uint32_t KEMUSB_CALL OCLOUD_DisconnectServer() { return 0; }
KEMUSB_API uint32_t KEMUSB_CALL OCLOUD_ReceiveGPS() { return 0; }
KEMUSB_API uint32_t KEMUSB_CALL OCLOUD_IsConnected() { return 1; }
KEMUSB_API void *KEMUSB_CALL OCLOUD_GetUserData() { return &g_user; }

KEMUSB_API kemusb::OcanDevProperty *KEMUSB_CALL GetDevProperty(void *dev)
{
    return guarded<kemusb::OcanDevProperty *>(nullptr, [&] { return kemusb::makeDevProperty(dev); });
}

KEMUSB_API uint32_t KEMUSB_CALL ReleaseDevProperty(kemusb::OcanDevProperty *p)
{
    delete p; // cannot throw
    return 1;
}

} // extern "C"

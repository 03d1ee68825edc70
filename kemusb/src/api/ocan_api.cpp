// The exported OCAN_ and OCLOUD_ functions and GetDevProperty: the handle
// path over OcanDeviceRegistry. A device handle is the device object; a
// channel handle is the record its initialisation gave out.
#include "kemusb/include/kemusb_export.h"
#include "kemusb/include/ocan_records.h"
#include "kemusb/src/devices/OcanDeviceRegistry.h"

using kemusb::OcanDeviceRegistry;
using kemusb::QDevice;

namespace {

OcanDeviceRegistry &reg() { return OcanDeviceRegistry::instance(); }

struct UserRecord {
    char name[32];
    uint32_t reserved[8];
};
UserRecord g_user = {"kemusb", {}};

} // namespace

extern "C" {

KEMUSB_API void *KEMUSB_CALL OCAN_OpenDevice(uint32_t type, uint32_t index, uint32_t)
{
    return reg().open(type, index);
}

KEMUSB_API uint32_t KEMUSB_CALL OCAN_CloseDevice(void *dev) { return reg().close(dev); }

KEMUSB_API uint32_t KEMUSB_CALL OCAN_GetDeviceInf(void *dev, OCAN_DEVICE_INFO *info)
{
    return reg().onDevice(dev, [&](QDevice &d) { return d.GetDeviceInf(info); });
}

KEMUSB_API uint32_t KEMUSB_CALL OCAN_IsDeviceOnLine(void *dev)
{
    return reg().onDevice(dev, [&](QDevice &d) { return d.IsDeviceOnLine(); });
}

KEMUSB_API void *KEMUSB_CALL OCAN_InitCAN(void *dev, uint32_t channel, const OCAN_INIT_CONFIG *init)
{
    return reg().initCan(dev, channel, init);
}

KEMUSB_API uint32_t KEMUSB_CALL OCAN_StartCAN(void *ch)
{
    return reg().onChannel(ch, [](QDevice &d, uint32_t c) { return d.StartCAN(c); });
}

KEMUSB_API uint32_t KEMUSB_CALL OCAN_ResetCAN(void *ch)
{
    return reg().onChannel(ch, [](QDevice &d, uint32_t c) { return d.ResetCAN(c); });
}

KEMUSB_API uint32_t KEMUSB_CALL OCAN_ClearBuffer(void *ch)
{
    return reg().onChannel(ch, [](QDevice &d, uint32_t c) { return d.ClearBuffer(c); });
}

KEMUSB_API uint32_t KEMUSB_CALL OCAN_GetReceiveNum(void *ch, uint8_t kind)
{
    return reg().onChannel(ch, [&](QDevice &d, uint32_t c) { return d.GetReceiveNum(c, kind); });
}

KEMUSB_API uint32_t KEMUSB_CALL OCAN_Transmit(void *ch, const OCAN_CAN_TX *frames, uint32_t count)
{
    return reg().onChannel(ch, [&](QDevice &d, uint32_t c) { return d.Transmit(c, frames, count); });
}

KEMUSB_API uint32_t KEMUSB_CALL OCAN_TransmitFD(void *ch, const OCAN_CANFD_TX *frames, uint32_t count)
{
    return reg().onChannel(ch, [&](QDevice &d, uint32_t c) { return d.TransmitFD(c, frames, count); });
}

KEMUSB_API uint32_t KEMUSB_CALL OCAN_Receive(void *ch, OCAN_CAN_RX *frames, uint32_t count, int32_t waitMs)
{
    return reg().onChannel(ch, [&](QDevice &d, uint32_t c) { return d.Receive(c, frames, count, waitMs); });
}

KEMUSB_API uint32_t KEMUSB_CALL OCAN_ReceiveFD(void *ch, OCAN_CANFD_RX *frames, uint32_t count, int32_t waitMs)
{
    return reg().onChannel(ch, [&](QDevice &d, uint32_t c) { return d.ReceiveFD(c, frames, count, waitMs); });
}

KEMUSB_API uint32_t KEMUSB_CALL OCAN_ReadChannelErrInfo(void *ch, OCAN_ERR_INFO *info)
{
    return reg().onChannel(ch, [&](QDevice &d, uint32_t c) { return d.ReadChannelErrInfo(c, info); });
}

KEMUSB_API uint32_t KEMUSB_CALL OCAN_ReadChannelStatus(void *ch, OCAN_CAN_STATUS *status)
{
    return reg().onChannel(ch, [&](QDevice &d, uint32_t c) { return d.ReadChannelStatus(c, status); });
}

KEMUSB_API uint32_t KEMUSB_CALL OCAN_SetValue(void *dev, const char *path, const char *value)
{
    return reg().onDevice(dev, [&](QDevice &d) { return d.SetValue(path, value); });
}

KEMUSB_API const void *KEMUSB_CALL OCAN_GetValue(void *dev, const char *path)
{
    auto d = reg().find(dev);
    return d ? d->GetValue(path) : nullptr;
}

KEMUSB_API uint32_t KEMUSB_CALL OCAN_DevDataTransfer(void *dev, uint8_t *buf, int32_t len)
{
    return reg().onDevice(dev, [&](QDevice &d) { return d.DevDataTransfer(buf, len); });
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

KEMUSB_API kemusb::OcanDevProperty *KEMUSB_CALL GetDevProperty(void *dev) { return kemusb::makeDevProperty(dev); }

KEMUSB_API uint32_t KEMUSB_CALL ReleaseDevProperty(kemusb::OcanDevProperty *p)
{
    delete p;
    return 1;
}

} // extern "C"

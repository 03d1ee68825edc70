#pragma once
// The base of every adapter object of kemusb. The first three operations
// belong to each device class; every other one answers 0 (or no handle) here,
// so a class provides only what its adapter can do.

#include "kemusb/include/kcan_records.h"
#include "kemusb/include/ocan_records.h"

#include <cstddef>
#include <cstdint>

namespace kemusb {

class QDevice;

// A channel handle as the handle functions give it out: the channel index
// and its device. The device that made it owns it.
struct OcanChannelHandle
{
    uint32_t channel;
    QDevice *device;
};

class QDevice
{
public:
    QDevice();
    virtual ~QDevice();
    QDevice(const QDevice &) = delete;
    QDevice &operator=(const QDevice &) = delete;

    virtual uint32_t Open(uint32_t devType, uint32_t devIndex) = 0;
    virtual uint32_t Close() = 0;

    virtual uint32_t ReadBoardInfo(uint32_t channel, OCAN_DEVICE_INFO *info);
    virtual uint32_t GetDeviceInf(OCAN_DEVICE_INFO *info);
    virtual uint32_t BoardInfoGet(void *boardInfo);
    virtual uint32_t IsDeviceOnLine();
    virtual OcanChannelHandle *InitCAN(uint32_t channel, const OCAN_INIT_CONFIG *init);
    virtual uint32_t KvciTransmit(uint32_t channel, const KCAN_CAN_OBJ *frames, uint32_t count);
    virtual uint32_t Transmit(uint32_t channel, const OCAN_CAN_TX *frames, uint32_t count);
    virtual uint32_t TransmitFD(uint32_t channel, const OCAN_CANFD_TX *frames, uint32_t count);
    virtual uint32_t ReceiveFD(uint32_t channel, OCAN_CANFD_RX *frames, uint32_t count, int32_t waitMs);
    virtual uint32_t KvciReceive(uint32_t channel, KCAN_CAN_OBJ *frames, uint32_t count, int32_t waitMs);
    virtual uint32_t Receive(uint32_t channel, OCAN_CAN_RX *frames, uint32_t count, int32_t waitMs);
    virtual uint32_t KvciInitCAN(uint32_t channel, const KCAN_INITFD_CONFIG *config);
    virtual uint32_t StartCAN(uint32_t channel);
    virtual uint32_t ResetCAN(uint32_t channel);
    virtual uint32_t ClearBuffer(uint32_t channel);
    virtual uint32_t GetReceiveNum(uint32_t channel, uint8_t kind);
    virtual uint32_t SetValue(const char *path, const char *value);
    virtual const void *GetValue(const char *path);
    virtual uint32_t ReadChannelErrInfo(uint32_t channel, OCAN_ERR_INFO *info);
    virtual uint32_t ReadChannelStatus(uint32_t channel, OCAN_CAN_STATUS *status);
    virtual uint32_t DevDataTransfer(uint8_t *buf, int32_t len);
    virtual uint32_t RecordSettingSet(uint32_t channel, void *setting);
    virtual uint32_t RecordSettingGet(uint32_t channel, void *setting);
    virtual uint32_t RecordCmdExecute(uint32_t channel, uint32_t command, uint32_t argument, void *filter);
    // Whether the open adapter has left the host (unplugged, or it stopped
    // answering for good): it has to be closed and opened afresh. False for
    // an adapter that is not open.
    virtual bool adapterGone() const { return false; }

    // The fixed device information of the CAN FD adapters (also the classic
    // adapter's on the handle path); 1, or 0 without a record.
    static uint32_t fixedDeviceInfo(OCAN_DEVICE_INFO *info);
    // A GetReceiveNum answer: kind 0 classic frames, 1 CAN FD frames, 2 both,
    // any other kind 0.
    static uint32_t countByKind(size_t classic, size_t fd, uint8_t kind);

    // Type and index the registries record in the object.
    uint32_t devType = 0;
    uint32_t devIndex = 0;
};

} // namespace kemusb

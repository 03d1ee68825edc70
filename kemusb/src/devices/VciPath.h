#pragma once
// What the VCI_ and KVCI_ functions do: the classic adapter (types 3 and 4)
// and the Kvaser interfaces over VciDeviceRegistry, receive-side calls under
// its receive section and transmit-side calls under its transmit section.
// The exported functions (src/api/vci_api.cpp) call these, and so do the
// KCAN_ family's classic and Kvaser paths and the handle path's forwarding
// object.

#include "kemusb/include/kcan_records.h"
#include "kemusb/include/ocan_records.h"
#include "kemusb/include/vci_api.h"

#include <cstdint>

namespace kemusb::vci {

// 1 opened or already open; 0xFFFFFFFF when it cannot be opened; 0 for a
// type the classic path does not know.
uint32_t openDevice(uint32_t type, uint32_t index);
// What openDevice answers for an adapter of this type that cannot be opened.
uint32_t openFailure(uint32_t type);
// 1 when an adapter was closed, 0 when none was open.
uint32_t closeDevice(uint32_t type, uint32_t index);
uint32_t initCan(uint32_t type, uint32_t index, uint32_t channel, const KCAN_INIT_CONFIG *init);
uint32_t startCan(uint32_t type, uint32_t index, uint32_t channel);
uint32_t resetCan(uint32_t type, uint32_t index, uint32_t channel);
uint32_t clearBuffer(uint32_t type, uint32_t index, uint32_t channel);
uint32_t receiveNum(uint32_t type, uint32_t index, uint32_t channel);
uint32_t transmit(uint32_t type, uint32_t index, uint32_t channel, const VCI_CAN_OBJ *frames, uint32_t count);
uint32_t receive(uint32_t type, uint32_t index, uint32_t channel, VCI_CAN_OBJ *frames, uint32_t count,
                 int32_t waitMs);
uint32_t readBoardInfo(uint32_t type, uint32_t index, OCAN_DEVICE_INFO *info);
uint32_t relaySet(uint32_t type, uint32_t index, uint8_t a, uint8_t b);
uint32_t relayGet(uint32_t type, uint32_t index, uint8_t *a, uint8_t *b);
uint32_t busTimingGet(uint32_t type, uint32_t index, uint32_t channel, uint8_t *timing0, uint8_t *timing1);
uint32_t channelStateGet(uint32_t type, uint32_t index, uint32_t channel, uint8_t *a, uint8_t *b, uint8_t *c);
uint32_t dataTransfer(uint32_t type, uint32_t index, uint8_t *buf, int32_t len);
// 1 when the adapter open under (type, index) has left the host, else 0.
uint32_t adapterGone(uint32_t type, uint32_t index);

uint32_t kvciInitCan(uint32_t type, uint32_t index, uint32_t channel, const KCAN_INITFD_CONFIG *config);
uint32_t kvciTransmit(uint32_t type, uint32_t index, uint32_t channel, const KCAN_CAN_OBJ *frames, uint32_t count);
uint32_t kvciReceive(uint32_t type, uint32_t index, uint32_t channel, KCAN_CAN_OBJ *frames, uint32_t count,
                     int32_t waitMs);

} // namespace kemusb::vci

#pragma once
// What the KCAN_ functions do: each routes by the device type's family to
// the classic path (VciPath: the classic adapter and the Kvaser interfaces)
// or to the handle path (the CAN FD and recording adapters' device objects,
// kept by (type, index, channel) in KcanHandleRegistry), converting the
// records on the way. The exported functions (src/api/kcan_api.cpp) call
// these one to one; the results are theirs.

#include "kemusb/include/kcan_records.h"

#include <cstdint>

namespace kemusb::kcan {

uint32_t openDevice(uint32_t type, uint32_t index);
// What openDevice answers for an adapter of this type that cannot be opened.
uint32_t openFailure(uint32_t type);
uint32_t closeDevice(uint32_t type, uint32_t index);
uint32_t initCan(uint32_t type, uint32_t index, uint32_t channel, const KCAN_INIT_CONFIG *config);
uint32_t initCanFd(uint32_t type, uint32_t index, uint32_t channel, const KCAN_INITFD_CONFIG *config);
uint32_t setFilter(uint32_t type, uint32_t index, uint32_t channel, const KCAN_FLITER_CONFIG *config);
uint32_t start(uint32_t type, uint32_t index, uint32_t channel);
uint32_t stop(uint32_t type, uint32_t index, uint32_t channel);
uint32_t clearBuffer(uint32_t type, uint32_t index, uint32_t channel);
uint32_t receiveNum(uint32_t type, uint32_t index, uint32_t channel, uint8_t kind);
uint32_t receive(uint32_t type, uint32_t index, uint32_t channel, KCAN_CAN_OBJ *buf, uint32_t count, int32_t waitMs);
uint32_t receiveFd(uint32_t type, uint32_t index, uint32_t channel, KCAN_CANFD_OBJ *buf, uint32_t count,
                   int32_t waitMs);
uint32_t transmit(uint32_t type, uint32_t index, uint32_t channel, const KCAN_CAN_OBJ *frames, uint32_t count);
uint32_t transmitFd(uint32_t type, uint32_t index, uint32_t channel, const KCAN_CANFD_OBJ *frames, uint32_t count);
uint32_t dataTransfer(uint32_t type, uint32_t index, uint8_t *buf, int32_t len);
uint32_t boardInfoGet(uint32_t type, uint32_t index, void *boardInfo);
uint32_t channelStateGet(uint32_t type, uint32_t index, uint32_t channel, uint8_t *a, uint8_t *b, uint8_t *c);
uint32_t relaySet(uint32_t type, uint32_t index, uint8_t a, uint8_t b);
uint32_t relayGet(uint32_t type, uint32_t index, uint8_t *a, uint8_t *b);
uint32_t busTimingGet(uint32_t type, uint32_t index, uint32_t channel, uint8_t *timing0, uint8_t *timing1);
uint32_t recordSettingSet(uint32_t type, uint32_t index, uint32_t channel, void *setting);
uint32_t recordSettingGet(uint32_t type, uint32_t index, uint32_t channel, void *setting);
// Command 0-5 of a recording adapter (see QDeviceCanRecord).
uint32_t recordCommand(uint32_t type, uint32_t index, uint32_t channel, uint32_t command, uint32_t argument,
                       void *filter);
// Stores the filter index at offset 12 of the record, then command 5.
uint32_t recordFilterEntry(uint32_t type, uint32_t index, uint32_t channel, uint16_t filterIndex, void *filter);
// 1 when the adapter open under (type, index) has left the host (unplugged,
// or it stopped answering for good); 0 while it answers, when none is open
// and for a type of no group.
uint32_t adapterGone(uint32_t type, uint32_t index);

} // namespace kemusb::kcan

#pragma once
// Conversions between the frame records of the exported families, element
// by element: the KCAN_ records and the classic path's VCI_CAN_OBJ (the
// same fields, the data at offset 16 against offset 13), and the KCAN_
// records and the handle path's OCAN_ records (flags in the identifier word).

#include "kemusb/include/kcan_records.h"
#include "kemusb/include/ocan_records.h"
#include "kemusb/include/vci_api.h"

#include <cstdint>

namespace kemusb {

// The reserved bytes of the classic record are cleared.
void toVci(const KCAN_CAN_OBJ &in, VCI_CAN_OBJ &out);
// Every field but the reserved bytes of out.
void fromVci(const VCI_CAN_OBJ &in, KCAN_CAN_OBJ &out);

// Identifier word of the handle path: bit 30 remote, bit 31 extended.
uint32_t idWordOf(uint32_t id, uint8_t remote, uint8_t ext);
void toOcanTx(const KCAN_CAN_OBJ &in, OCAN_CAN_TX &out);
void toOcanTxFd(const KCAN_CANFD_OBJ &in, OCAN_CANFD_TX &out);
// Received records: the time flag and the reserved bytes are not written.
void fromOcanRx(const OCAN_CAN_RX &in, KCAN_CAN_OBJ &out);
void fromOcanRxFd(const OCAN_CANFD_RX &in, KCAN_CANFD_OBJ &out);

// The handle path's classic adapter object, which forwards to the classic
// path: its transmit record to the classic record, and back for receive.
VCI_CAN_OBJ vciFromOcanTx(const OCAN_CAN_TX &in);
void vciToOcanRx(const VCI_CAN_OBJ &in, OCAN_CAN_RX &out);

} // namespace kemusb

#pragma once
// Frame record <-> adapter record conversions of the transmit side, and the
// receive-side stamping shared by both drivers.

#include "core/QUserCanMsg.h"
#include "kemusb/include/kcan_records.h"

namespace kemframes {

// Removes every white-space character from the frame's data text (the frame
// is changed, as the drivers promise their callers).
void squeezeData(QUserCanMsg &msg);
// Classic record. maskId: keep the low 29 bits of the identifier.
void toCanObj(QUserCanMsg &msg, KCAN_CAN_OBJ &obj, bool maskId);
// CAN FD record; the frame's request bits (bit 0 BRS, bit 1 ESI) become the
// record's 0x08 / 0x10.
void toCanFdObj(QUserCanMsg &msg, KCAN_CANFD_OBJ &obj);
// A frame to send travels as CAN FD when its protocol is 1 or 2.
inline bool isFdProtocol(uint8_t protocol) { return protocol == 1 || protocol == 2; }

} // namespace kemframes

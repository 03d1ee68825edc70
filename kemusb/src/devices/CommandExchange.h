#pragma once
// The command exchange of the CAN FD and recording adapters: write the
// request on the command OUT pipe, then read the reply pipe, 64 bytes a
// read, until a reply answers the request or the time has passed.

#include "kemusb/src/devices/QUserWinUsb.h"
#include "kemusb/src/protocol/CommandChannel.h"

#include <cstddef>
#include <cstdint>

namespace kemusb {

// The most a reply read takes (one full-speed packet).
constexpr size_t kCommandReplyRead = 64;
// The pause after a reply read that failed at once (not one that waited out
// the pipe time-out): without it a refusing pipe would spin a core for the
// whole reply time. On the tick source, so injected clocks follow it.
constexpr uint32_t kFailedReplyReadPauseMs = 1;

// Reads the pipe once for a reply; after a read that brought nothing
// without waiting for it, pauses kFailedReplyReadPauseMs before returning.
uint32_t readReply(QUserWinUsb &usb, uint8_t *reply, uint32_t room, uint8_t inPipe);

// false when the write failed or the last read before the time ran out
// brought nothing. Otherwise *n is the length of the last reply read into
// reply (kCommandReplyRead bytes of room): a reply that did not match still
// counts as answered, and the caller's checks of its bytes decide. The
// caller makes one exchange at a time per adapter.
bool commandExchange(QUserWinUsb &usb, const Bytes &req, uint8_t outPipe, uint8_t inPipe, uint32_t timeoutMs,
                     uint8_t *reply, size_t *n);

} // namespace kemusb

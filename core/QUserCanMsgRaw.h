#pragma once
// A frame in binary form, for the bulk paths that move millions of frames
// from a trace file into a cache file (the trace viewer's load). It carries
// exactly what a QUserCanMsg read from a trace file carries, without the
// texts: rawToMsg gives the QUserCanMsg the trace readers would give, and
// QFClassUserCanMsg::formatRaw writes the same cache record as formatting
// that QUserCanMsg.

#include "core/QUserCanMsg.h"

#include <cstdint>

struct QUserCanMsgRaw
{
    uint32_t id = 0;          // identifier, 29 bits at most
    uint8_t protocol = 0;     // 0 CAN, 1 CAN FD, 2 CAN FD with bit-rate switch
    uint8_t remote = 0;
    uint8_t extended = 0;
    uint8_t fdFlags = 0;
    uint8_t direction = 0;    // 1 sent, 0 received
    uint8_t channel = 0;
    uint8_t len = 0;          // the length shown (0..64)
    uint8_t dataLen = 0;      // bytes in data (0 for a remote frame)
    uint64_t devTime = 0;
    int64_t hostTime = 0;
    uint8_t data[64] = {};
};

// The frame record: identifier "%08X ", length in decimal, data as hex digit
// pairs without separators (empty for a remote frame).
void rawToMsg(const QUserCanMsgRaw &raw, QUserCanMsg &msg);

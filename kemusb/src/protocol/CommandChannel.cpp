#include "kemusb/src/protocol/CommandChannel.h"

#include <cstring>

namespace kemusb {

bool replyMatches(const Bytes &request, const uint8_t *reply, size_t n)
{
    return reply && request.size() >= 2 && n > 2 && reply[0] == request[0] && reply[1] == request[1];
}

Bytes cmdDirectTransfer(const uint8_t *buf, int32_t len)
{
    const size_t n = buf && len > 0 ? size_t(len < kDirectTransferMax ? len : kDirectTransferMax) : 0;
    Bytes b(2 + n);
    b[0] = 0x12;
    b[1] = 0xA7;
    if (n)
        std::memcpy(b.data() + 2, buf, n);
    return b;
}

Bytes cmdHardwareVersion() { return {0x55, 0x01, 0x01, 0x01}; }
Bytes cmdFirmwareVersion() { return {0x55, 0x12, 0x01, 0x01}; }
Bytes cmdChannelCount() { return {0x55, 0x13, 0x01, 0x01}; }

bool parseChannelCountReply(const Bytes &request, const uint8_t *reply, size_t n, uint8_t *count)
{
    if (n < 5 || !replyMatches(request, reply, n))
        return false;
    *count = reply[4];
    return true;
}

} // namespace kemusb

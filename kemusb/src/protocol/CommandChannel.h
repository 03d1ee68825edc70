#pragma once
// What the command channels of the system's own adapters have in common:
// a reply answers a request when it is longer than two bytes and begins
// with the request's first two bytes; the direct-transfer request is 12 A7
// and at most 62 bytes; and the CAN FD and recording adapters share their
// board queries (55 01 / 55 12 / 55 13, 01 01) and the channel-count reply.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kemusb {

using Bytes = std::vector<uint8_t>;

// The most data bytes a direct-transfer request carries after 12 A7: the
// request and its reply each travel in one 64-byte transfer.
constexpr int kDirectTransferMax = 62;

bool replyMatches(const Bytes &request, const uint8_t *reply, size_t n);
Bytes cmdDirectTransfer(const uint8_t *buf, int32_t len);

// Board queries of the CAN FD and recording adapters.
Bytes cmdHardwareVersion();
Bytes cmdFirmwareVersion();
Bytes cmdChannelCount();
// A board reply counts only when it answers its request (55 and the query
// byte echoed). The count sits at reply[4]: a reply must reach it.
bool parseChannelCountReply(const Bytes &request, const uint8_t *reply, size_t n, uint8_t *count);

} // namespace kemusb

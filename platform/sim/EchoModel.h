#pragma once
// The framework's own test device.

#include <cstdint>

namespace plat::sim {

// The echo adapter: the framework's own test device (VID:PID FFFF:0E40,
// two channels).
//   OUT 0x01 (64): every write comes back unchanged on IN 0x81; a write
//     that starts with 0xEC is also a command: EC 01 ch rate(u32 LE) sets
//     the channel's rate, EC 02 ch starts it, EC 03 ch stops it, EC 04 ch on
//     sets listen-only.
//   OUT 0x02 (512): 16-byte frame records [0] ch [1] flags (1 ext, 2 rtr)
//     [2] len [3] 0 [4..7] id LE [8..15] data; each is transmitted; IN 0x82
//     answers AC n with the number the bus took.
//   IN 0x83 (512): received frames as 20-byte records [0] ch [1] flags
//     [2] len [3] 0 [4..7] id LE [8..11] time stamp (us, 32 bits) [12..19] data.
constexpr uint16_t kEchoVid = 0xFFFF;
constexpr uint16_t kEchoPid = 0x0E40;
void registerEchoModel();

} // namespace plat::sim

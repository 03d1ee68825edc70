#pragma once
// Little-endian field access and the fixed sizes of the BLF layout.

#include <cstdint>
#include <cstring>

namespace binlog {

inline uint16_t rd16(const uint8_t *p) { return uint16_t(p[0] | (p[1] << 8)); }
inline uint32_t rd32(const uint8_t *p)
{
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline uint64_t rd64(const uint8_t *p) { return uint64_t(rd32(p)) | (uint64_t(rd32(p + 4)) << 32); }

inline void wr16(uint8_t *p, uint16_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
inline void wr32(uint8_t *p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(v >> (8 * i));
}
inline void wr64(uint8_t *p, uint64_t v)
{
    wr32(p, uint32_t(v));
    wr32(p + 4, uint32_t(v >> 32));
}

inline bool isObjSignature(const uint8_t *p) { return std::memcmp(p, "LOBJ", 4) == 0; }

constexpr uint32_t kFileHeaderSize = 144;   // "LOGG" header as written
constexpr uint32_t kBaseHeaderSize = 16;    // signature, sizes, type
constexpr uint32_t kObjHeaderV1Size = 32;   // base + flags, client, version, time
constexpr uint32_t kObjHeaderV2Size = 40;   // base + flags, time status, version, time, original time
constexpr uint32_t kContainerHeaderSize = 32; // base + method, sizes
constexpr uint32_t kTypeLogContainer = 10;
constexpr uint16_t kCompressionNone = 0;
constexpr uint16_t kCompressionZlib = 2;
constexpr uint32_t kDefaultContainerSize = 1024 * 1024;

// Limits of what a reader believes: an object or container larger than this
// is taken as damaged data instead of growing memory without bound.
constexpr uint32_t kMaxObjectSize = 16u * 1024 * 1024;
constexpr uint32_t kMaxContainerData = 64u * 1024 * 1024;
// How far past the end of an object the reader looks for the next signature
// (writers differ in the padding they put between objects).
constexpr uint32_t kMaxPadding = 8;

// SYSTEMTIME (8 x u16) <-> milliseconds since 1970-01-01 UTC.
int64_t systemTimeToMs(const uint16_t st[8]);
void msToSystemTime(int64_t ms, uint16_t st[8]);

} // namespace binlog

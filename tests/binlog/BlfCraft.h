#pragma once
// Builds BLF bytes by hand, independently of the writer under test, so the
// reader can be fed layouts that other tools produce (header version 2,
// short objects, stored and compressed containers, odd container cuts) and
// damaged files.

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <zlib.h>

namespace craft {

using Bytes = std::vector<uint8_t>;

inline void put16(Bytes &b, size_t at, uint16_t v)
{
    b[at] = uint8_t(v);
    b[at + 1] = uint8_t(v >> 8);
}
inline void put32(Bytes &b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = uint8_t(v >> (8 * i));
}
inline void put64(Bytes &b, size_t at, uint64_t v)
{
    put32(b, at, uint32_t(v));
    put32(b, at + 4, uint32_t(v >> 32));
}
inline uint32_t get32(const uint8_t *p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24); }

// An object with a version-1 (32-byte) or version-2 (40-byte) header and the
// given body.
inline Bytes object(uint32_t type, uint64_t ts, const Bytes &body, int headerVersion = 1, uint32_t flags = 2)
{
    const size_t hs = headerVersion == 2 ? 40 : 32;
    Bytes o(hs + body.size(), 0);
    std::memcpy(o.data(), "LOBJ", 4);
    put16(o, 4, uint16_t(hs));
    put16(o, 6, uint16_t(headerVersion));
    put32(o, 8, uint32_t(o.size()));
    put32(o, 12, type);
    put32(o, 16, flags);
    put64(o, 24, ts);
    std::memcpy(o.data() + hs, body.data(), body.size());
    return o;
}

inline Bytes container(const uint8_t *data, size_t len, bool compress)
{
    Bytes payload(data, data + len);
    uint16_t method = 0;
    if (compress) {
        uLongf outLen = compressBound(uLong(len));
        payload.assign(outLen, 0);
        compress2(payload.data(), &outLen, data, uLong(len), 6);
        payload.resize(outLen);
        method = 2;
    }
    Bytes c(32 + payload.size(), 0);
    std::memcpy(c.data(), "LOBJ", 4);
    put16(c, 4, 16);
    put16(c, 6, 1);
    put32(c, 8, uint32_t(c.size()));
    put32(c, 12, 10);
    put16(c, 16, method);
    put32(c, 24, uint32_t(len));
    std::memcpy(c.data() + 32, payload.data(), payload.size());
    c.resize(c.size() + c.size() % 4, 0);
    return c;
}

// A whole file: header, then the objects joined and cut into containers of
// `chunk` bytes of object data.
inline Bytes file(const std::vector<Bytes> &objects, bool compress, size_t chunk = 128 * 1024)
{
    Bytes stream;
    for (const Bytes &o : objects) {
        stream.insert(stream.end(), o.begin(), o.end());
        stream.resize(stream.size() + o.size() % 4, 0);
    }
    Bytes f(144, 0);
    std::memcpy(f.data(), "LOGG", 4);
    put32(f, 4, 144);
    put32(f, 32, uint32_t(objects.size()));
    for (size_t at = 0; at < stream.size(); at += chunk) {
        Bytes c = container(stream.data() + at, std::min(chunk, stream.size() - at), compress);
        f.insert(f.end(), c.begin(), c.end());
    }
    put64(f, 16, f.size());
    return f;
}

inline bool writeFile(const std::string &path, const Bytes &b)
{
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    if (!b.empty())
        std::fwrite(b.data(), 1, b.size(), f);
    return std::fclose(f) == 0;
}

inline Bytes readFile(const std::string &path)
{
    Bytes b;
    FILE *f = std::fopen(path.c_str(), "rb");
    if (!f)
        return b;
    uint8_t tmp[65536];
    size_t n;
    while ((n = std::fread(tmp, 1, sizeof tmp, f)) > 0)
        b.insert(b.end(), tmp, tmp + n);
    std::fclose(f);
    return b;
}

} // namespace craft

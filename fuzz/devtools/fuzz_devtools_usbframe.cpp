// The firmware-update link's receive state machine on arbitrary bytes in
// arbitrary pieces: held step by step against a plain model of the same
// rules (frames found, their bytes, the bytes left unconsumed), and every
// frame found read back through the codec's getters and its data walked as
// a tag list, all inside the receive buffer.
//
// Input: byte 0 seeds the piece sizes (1..64), the rest is the stream.
#include "devtools/usbFrame.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// The rules, written plainly over a growing vector.
struct Model {
    std::vector<uint8_t> buf;
    bool hunting = true;

    // Like frameParse: the frame (or empty) and the bytes left after it.
    std::vector<uint8_t> feed(const uint8_t *in, size_t n, size_t *remain)
    {
        *remain = 0;
        for (size_t i = 0; i < n; ++i) {
            const uint8_t b = in[i];
            const size_t have = hunting ? 0 : buf.size();
            if (have == 0) {
                if (b == 0xFA) {
                    buf.assign(1, b);
                    hunting = false;
                }
                continue;
            }
            if (have == 1 || have == 2) {
                if (b == (have == 1 ? 0xD6 : 0x5A)) {
                    buf.push_back(b);
                } else {
                    hunting = true;
                    buf.clear();
                }
                continue;
            }
            buf.push_back(b);
            if (buf.size() < 9)
                continue;
            const size_t len = size_t(buf[6]) | size_t(buf[7]) << 8;
            if (buf.size() >= len + 10) {
                hunting = true;
                unsigned sum = 0;
                for (size_t k = 3; k < 8 + len; ++k)
                    sum += buf[k];
                const unsigned stored = unsigned(buf[8 + len]) | unsigned(buf[9 + len]) << 8;
                std::vector<uint8_t> frame;
                frame.swap(buf);
                if ((sum & 0xFFFF) == stored) {
                    *remain = n - i - 1;
                    return frame;
                }
                continue;
            }
            if (buf.size() > 4095) {
                hunting = true;
                buf.clear();
            }
        }
        return {};
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    uint32_t seed = data[0] * 2654435761u + 1;
    const uint8_t *in = data + 1;
    const size_t n = size - 1;
    usbFrame codec;
    Model model;
    size_t at = 0;
    while (at < n) {
        seed = seed * 1103515245u + 12345u;
        const size_t piece = std::min<size_t>(n - at, 1 + (seed >> 16) % 64);
        size_t off = 0;
        while (off < piece) {
            const size_t left = piece - off;
            uint16_t len = 0, remain = 0;
            const uint8_t *f = codec.frameParse(in + at + off, uint16_t(left), &len, &remain);
            size_t mRemain = 0;
            const std::vector<uint8_t> mf = model.feed(in + at + off, left, &mRemain);
            if ((f != nullptr) != !mf.empty() || remain != mRemain)
                abort();
            if (!f)
                break;
            if (len != mf.size() || std::memcmp(f, mf.data(), len) != 0 || len > usbFrame::kBufferSize)
                abort();
            uint16_t glen = 0, plen = 0;
            if (codec.frameGet(&glen) != f || glen != len)
                abort();
            const uint8_t *p = codec.payloadGet(&plen);
            if (p != f + 8 || plen + 10 != len || codec.cmdGet() != f[5])
                abort();
            // The reply data after command and status, as the worker reads it.
            const int dataLen = len > 12 ? int(len) - 12 : 0;
            usbTagList::walk(f + 10, dataLen, [&](const usbTagList::Entry &e) {
                if (e.value < f + 10 || e.value + e.len > f + 10 + dataLen)
                    abort();
            });
            off += left - remain;
        }
        at += piece;
    }
    return 0;
}

// A Kvaser command stream on arbitrary bytes, the 20-byte set or, built with
// KV_WIDE_STREAM, the 32-byte set (the first byte picks the piece size): parsing always ends, frames
// carry a channel of the family and a length within their record, and a
// split command never grows past the assembly buffer.
#include "kemusb/src/protocol/KemKvaserProtocol.h"

#include <cstdlib>

namespace {

struct CheckSink final : kemusb::kvaser::Sink {
    int channels;
    explicit CheckSink(int ch) : channels(ch) {}
    void classicFrame(int ch, const KCAN_CAN_OBJ &f) override
    {
        if (ch < 0 || ch >= channels || f.DataLen > 8)
            std::abort();
    }
    void fdFrame(int ch, const KCAN_CANFD_OBJ &f) override
    {
        if (ch < 0 || ch >= channels || f.DataLen > 64)
            std::abort();
    }
    void txAck(int ch) override
    {
        if (ch < 0 || ch >= channels)
            std::abort();
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    static kemusb::kvaser::Stream20 s20;
    static kemusb::kvaser::Stream32 s32;
#ifdef KV_WIDE_STREAM
    const bool wide = true;
#else
    const bool wide = false;
#endif
    const size_t piece = 1 + size_t(data[0]) * 17;
    if (data[0] == 0xFF) {
        s20.clear();
        s32.clear();
    }
    ++data;
    --size;
    CheckSink sink(wide ? kemusb::kvaser::kChannels32 : kemusb::kvaser::kChannels20);
    for (size_t at = 0; at < size; at += piece) {
        const size_t n = size - at < piece ? size - at : piece;
        if (wide) {
            s32.feed(data + at, n, sink);
            if (s32.pending() > kemusb::kvaser::kAssembly32)
                std::abort();
        } else {
            s20.feed(data + at, n, sink);
            if (s20.pending() > kemusb::kvaser::kAssembly20)
                std::abort();
        }
    }
    return 0;
}

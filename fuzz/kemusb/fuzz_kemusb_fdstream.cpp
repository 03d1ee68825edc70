// The CAN FD adapter's receive-stream parser on arbitrary bytes, fed in
// pieces whose sizes come from the input: every frame it gives must carry a
// channel of 0-7 and a length within its record.
#include "kemusb/src/protocol/KemFdProtocol.h"

#include <cstdlib>

namespace {

struct CheckSink final : kemusb::fd::StreamSink {
    void classicFrame(int ch, const OCAN_CAN_RX &f) override
    {
        if (ch < 0 || ch > 7 || f.Len > 8)
            std::abort();
    }
    void fdFrame(int ch, const OCAN_CANFD_RX &f) override
    {
        if (ch < 0 || ch > 7 || f.Len > 64)
            std::abort();
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    static kemusb::fd::StreamParser parser; // carries state between inputs too
    CheckSink sink;
    const size_t piece = 1 + data[0] * 37;
    const bool clearAfter = data[0] & 1;
    ++data;
    --size;
    for (size_t at = 0; at < size; at += piece) {
        const size_t n = size - at < piece ? size - at : piece;
        parser.feed(data + at, n, sink);
        if (parser.pending() > kemusb::fd::StreamParser::kCapacity)
            std::abort();
    }
    if (clearAfter)
        parser.clear();
    return 0;
}

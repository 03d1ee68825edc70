// The classic adapter's frame stream on arbitrary bytes, fed in pieces whose
// sizes come from the input, and the reply checks on the same bytes: every
// frame must carry channel 0 or 1 and at most 8 data bytes, the assembly
// buffer never holds more than it can.
#include "kemusb/src/protocol/KemClassicProtocol.h"

#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

struct CheckSink final : kemusb::classic::StreamParser::Sink {
    void frame(const kemusb::classic::StreamFrame &f) override
    {
        if (f.channel < 0 || f.channel > 1 || f.record.DataLen > 8 || f.record.TimeFlag != 1 ||
            f.record.TimeStamp > 0xFFFFFF)
            std::abort();
        if (f.record.ExternFlag ? f.record.ID > 0x1FFFFFFF : f.record.ID > 0x7FFFFFF)
            std::abort();
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    static kemusb::classic::StreamParser parser; // carries state between inputs too
    CheckSink sink;
    const size_t piece = 1 + size_t(data[0]) * 11;
    if (data[0] & 1)
        parser.clear();
    ++data;
    --size;
    for (size_t at = 0; at < size; at += piece) {
        const size_t n = size - at < piece ? size - at : piece;
        parser.feed(data + at, n, sink);
        if (parser.pending() >= kemusb::classic::kRecordSize) // every whole record is handed out or skipped
            std::abort();
    }
    // The reply checks, on a block of exactly the reply's length.
    const size_t n = size < 64 ? size : 64;
    std::unique_ptr<uint8_t[]> r(new uint8_t[n ? n : 1]);
    if (n)
        std::memcpy(r.get(), data, n);
    uint16_t v;
    uint8_t a, b, c;
    kemusb::classic::parseVersion(r.get(), n, 0x01, &v);
    kemusb::classic::parseChannelCount(r.get(), n, &a);
    kemusb::classic::parseRelay(r.get(), n, &a, &b);
    kemusb::classic::parseBusTiming(r.get(), n, &a, &b);
    kemusb::classic::parseChannelState(r.get(), n, &a, &b, &c);
    kemusb::classic::txGroupAccepted(r.get(), n, 3);
    kemusb::classic::replyMatches(kemusb::classic::cmdRelayGet(), r.get(), n);
    return 0;
}

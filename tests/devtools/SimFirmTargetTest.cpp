// The simulated adapter's firmware-update target on its own, fed frames
// written out byte by byte from the frame layout (not made by the host's
// codec): its replies, the image it keeps, and each fault it can inject.

#include "kemusb/src/sim/KemSimFirmware.h"

#include <gtest/gtest.h>

#include <vector>

using kemusb::sim::SimFirmTarget;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes frameOf(uint16_t seq, uint8_t cmd, const Bytes &payload, int sumDelta = 0)
{
    Bytes f{0xFA, 0xD6, 0x5A, uint8_t(seq), uint8_t(seq >> 8), cmd, uint8_t(payload.size()),
            uint8_t(payload.size() >> 8)};
    f.insert(f.end(), payload.begin(), payload.end());
    unsigned sum = 0;
    for (size_t i = 3; i < f.size(); ++i)
        sum += f[i];
    sum += unsigned(sumDelta);
    f.push_back(uint8_t(sum));
    f.push_back(uint8_t(sum >> 8));
    return f;
}

Bytes startPayload(uint32_t size)
{
    Bytes p{0x02, 0x00, 0x04, 0x00, uint8_t(size), uint8_t(size >> 8), uint8_t(size >> 16), uint8_t(size >> 24),
            0x01, 0x10, 0x00};
    for (int i = 0; i < 16; ++i)
        p.push_back(uint8_t(0xC0 + i));
    return p;
}

Bytes packetPayload(uint32_t index, const Bytes &data)
{
    Bytes p{0x02, 0x00, 0x04, 0x00, uint8_t(index), uint8_t(index >> 8), uint8_t(index >> 16), uint8_t(index >> 24),
            0x01, uint8_t(data.size()), uint8_t(data.size() >> 8)};
    p.insert(p.end(), data.begin(), data.end());
    return p;
}

// The frame as the host carries it: 8-byte pieces, the last padded with zeros.
std::vector<SimFirmTarget::Reply> send(SimFirmTarget &t, const Bytes &frame)
{
    std::vector<SimFirmTarget::Reply> out;
    for (size_t off = 0; off < frame.size(); off += 8) {
        uint8_t piece[8] = {};
        for (size_t k = 0; k < 8 && off + k < frame.size(); ++k)
            piece[k] = frame[off + k];
        t.receive(piece, 8, out);
    }
    return out;
}

} // namespace

TEST(SimFirmTarget, AnswersTheThreeCommandsWithTheirTagLists)
{
    SimFirmTarget t;
    t.setVersions(0x0102, 0x0210);
    t.setPacketSize(0x0400);
    t.requestMode(true);
    struct Case {
        const char *what;
        Bytes request;
        Bytes reply;
    };
    const Case cases[] = {
        {"version query (the first frame of a fresh host)", {0xFA, 0xD6, 0x5A, 0x01, 0x00, 0x01, 0x00, 0x00, 0x02, 0x00},
         frameOf(1, 0xFF, {0x01, 0x00, 0x01, 0x00, 0x04, 0x00, 0x02, 0x01, 0x10, 0x02})},
        {"start for 0x1234 bytes", frameOf(2, 10, startPayload(0x1234)),
         frameOf(2, 0xFF, {0x0A, 0x00, 0x01, 0x00, 0x04, 0x00, 0x00, 0x04, 0x00, 0x00})},
        {"packet 0", frameOf(3, 11, packetPayload(0, Bytes(0x400, 0x11))), frameOf(3, 0xFF, {0x0B, 0x00})},
        {"packet 0 again (its answer was lost)", frameOf(4, 11, packetPayload(0, Bytes(0x400, 0x11))),
         frameOf(4, 0xFF, {0x0B, 0x00})},
        {"packet 2 before 1", frameOf(5, 11, packetPayload(2, Bytes(4, 0x22))), frameOf(5, 0xFF, {0x0B, 0x04})},
        {"packet longer than asked for", frameOf(6, 11, packetPayload(1, Bytes(0x401, 0x22))),
         frameOf(6, 0xFF, {0x0B, 0x03})},
        {"packet 1", frameOf(7, 11, packetPayload(1, Bytes(0x400, 0x22))), frameOf(7, 0xFF, {0x0B, 0x00})},
        {"an unknown command", frameOf(8, 0x33, {}), frameOf(8, 0xFF, {0x33, 0x01})},
        {"a start without its size", frameOf(9, 10, {0x01, 0x01, 0x00, 0x00}), frameOf(9, 0xFF, {0x0A, 0x01})},
    };
    for (const Case &k : cases) {
        const auto r = send(t, k.request);
        ASSERT_EQ(r.size(), 1u) << k.what;
        EXPECT_EQ(r[0].frame, k.reply) << k.what;
        EXPECT_EQ(r[0].delayMs, 0u);
    }
    EXPECT_EQ(t.announcedSize(), 0x1234u);
    Bytes expected(0x400, 0x11);
    expected.insert(expected.end(), 0x400, 0x22);
    EXPECT_EQ(t.image(), expected);
    EXPECT_EQ(t.configBytes()[0], 0xC0);
    EXPECT_EQ(t.configBytes()[15], 0xCF);
    EXPECT_EQ(t.stats().repeats, 1u);
}

TEST(SimFirmTarget, FindsFramesInNoiseAndDropsBadSums)
{
    SimFirmTarget t;
    t.requestMode(true);
    std::vector<SimFirmTarget::Reply> out;
    Bytes stream{0x00, 0xFA, 0x13, 0xFA, 0xD6, 0x00};
    const Bytes bad = frameOf(1, 1, {}, 1);
    const Bytes good = frameOf(2, 1, {});
    stream.insert(stream.end(), bad.begin(), bad.end());
    stream.insert(stream.end(), good.begin(), good.end());
    for (uint8_t b : stream)
        t.receive(&b, 1, out); // one byte at a time
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].frame[3], 2) << "the answer to the good frame";
    EXPECT_EQ(t.stats().badSums, 1u);
    EXPECT_EQ(t.stats().frames, 1u);
    // Data packets before a start are refused as such.
    const auto r = send(t, frameOf(3, 11, packetPayload(0, {1})));
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].frame[9], 0x02);
}

TEST(SimFirmTarget, InjectedFaults)
{
    auto started = [] {
        SimFirmTarget t;
        t.setPacketSize(16);
        t.requestMode(true);
        send(t, frameOf(1, 10, startPayload(64)));
        return t;
    };
    {
        SimFirmTarget t = started();
        t.faults().silent = 1;
        EXPECT_TRUE(send(t, frameOf(2, 11, packetPayload(0, Bytes(16, 1)))).empty());
        EXPECT_EQ(t.image().size(), 16u) << "taken, only the answer is lost";
        EXPECT_EQ(send(t, frameOf(3, 11, packetPayload(0, Bytes(16, 1)))).size(), 1u);
    }
    {
        SimFirmTarget t = started();
        t.faults().after = 1;
        t.faults().badSum = 1;
        auto r = send(t, frameOf(2, 11, packetPayload(0, Bytes(16, 1))));
        EXPECT_EQ(r[0].frame, frameOf(2, 0xFF, {0x0B, 0x00})) << "the fault waits one reply";
        r = send(t, frameOf(3, 11, packetPayload(1, Bytes(16, 1))));
        EXPECT_EQ(r[0].frame, frameOf(3, 0xFF, {0x0B, 0x00}, 1));
    }
    {
        SimFirmTarget t = started();
        t.faults().late = 2;
        t.faults().lateMs = 1500;
        EXPECT_EQ(send(t, frameOf(2, 11, packetPayload(0, Bytes(16, 1))))[0].delayMs, 1500u);
        EXPECT_EQ(send(t, frameOf(3, 11, packetPayload(1, Bytes(16, 1))))[0].delayMs, 1500u);
        EXPECT_EQ(send(t, frameOf(4, 11, packetPayload(2, Bytes(16, 1))))[0].delayMs, 0u);
    }
    {
        SimFirmTarget t = started();
        t.faults().refuse = 1;
        EXPECT_EQ(send(t, frameOf(2, 11, packetPayload(0, Bytes(16, 1))))[0].frame[9], 0x01);
        EXPECT_TRUE(t.image().empty());
        EXPECT_EQ(send(t, frameOf(3, 11, packetPayload(0, Bytes(16, 1))))[0].frame[9], 0x00);
    }
    {
        SimFirmTarget t = started();
        t.faults().resetAfter = 2;
        EXPECT_EQ(send(t, frameOf(2, 11, packetPayload(0, Bytes(16, 1)))).size(), 1u);
        EXPECT_TRUE(send(t, frameOf(3, 11, packetPayload(1, Bytes(16, 1)))).empty()) << "reset instead of answering";
        EXPECT_FALSE(t.inUpdateMode());
        EXPECT_TRUE(t.image().empty());
        EXPECT_EQ(t.stats().resets, 1u);
    }
}

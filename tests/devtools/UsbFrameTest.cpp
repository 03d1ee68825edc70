// The firmware-update frame codec: the frames it builds (held against bytes
// written out by hand), its receive state machine over tables of inputs cut
// into pieces, and the tag-list reader's bounds.

#include "devtools/usbFrame.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

// A frame written out from the layout, independent of the codec.
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

Bytes cat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes &p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

struct Found {
    Bytes frame;
    size_t endsAt; // input offset just past the frame's last byte
};

// Feeds input in pieces of `piece` bytes (0: all at once), continuing after
// each found frame with the bytes it left unconsumed.
std::vector<Found> parseAll(usbFrame &c, const Bytes &input, size_t piece)
{
    std::vector<Found> out;
    size_t at = 0;
    const size_t step = piece ? piece : (input.empty() ? 1 : input.size());
    while (at < input.size()) {
        const size_t n = std::min(step, input.size() - at);
        size_t off = at;
        size_t left = n;
        for (;;) {
            uint16_t len = 0, remain = 0;
            const uint8_t *f = c.frameParse(input.data() + off, uint16_t(left), &len, &remain);
            if (!f) {
                EXPECT_EQ(remain, 0);
                break;
            }
            const size_t used = left - remain;
            out.push_back({Bytes(f, f + len), off + used});
            off += used;
            left = remain;
            if (!left)
                break;
        }
        at += n;
    }
    return out;
}

} // namespace

TEST(UsbFrame, BuildsTheVersionQueryAsFirstFrameAndNumbersFramesWithWrap)
{
    usbFrame c;
    uint8_t buf[64] = {};
    ASSERT_EQ(c.frameBuild(buf, 1, nullptr, 0), 10);
    EXPECT_EQ(Bytes(buf, buf + 10), (Bytes{0xFA, 0xD6, 0x5A, 0x01, 0x00, 0x01, 0x00, 0x00, 0x02, 0x00}));
    EXPECT_EQ(c.sequence(), 1);
    for (int i = 2; i <= 65535; ++i)
        c.frameBuild(buf, 11, nullptr, 0);
    EXPECT_EQ(c.sequence(), 65535);
    c.frameBuild(buf, 11, nullptr, 0); // the 65536th frame
    EXPECT_EQ(c.sequence(), 0);
    EXPECT_EQ(buf[3], 0);
    EXPECT_EQ(buf[4], 0);
}

TEST(UsbFrame, BuildsFramesAndRepliesByteForByte)
{
    const Bytes payload{0x02, 0x00, 0x04, 0x00, 0x34, 0x12, 0x00, 0x00};
    struct Case {
        const char *what;
        std::function<int(usbFrame &, uint8_t *)> build;
        Bytes expected;
    };
    const Case cases[] = {
        {"frame with payload", [&](usbFrame &c, uint8_t *b) { return c.frameBuild(b, 10, payload.data(), 8); },
         frameOf(1, 10, payload)},
        {"frame around a payload in place",
         [&](usbFrame &c, uint8_t *b) {
             b[3] = 0x34;
             b[4] = 0x12;
             std::copy(payload.begin(), payload.end(), b + 8);
             return c.frameFinish(b, 11, 8);
         },
         frameOf(0x1234, 11, payload)},
        {"reply with data",
         [&](usbFrame &c, uint8_t *b) {
             const uint8_t d[3] = {1, 2, 3};
             return c.replyBuild(b, 0xBEEF, 10, 0, d, 3);
         },
         frameOf(0xBEEF, 0xFF, {10, 0, 1, 2, 3})},
        {"short reply", [&](usbFrame &c, uint8_t *b) { return c.replyShortBuild(b, 7, 11, 5); },
         frameOf(7, 0xFF, {11, 5})},
    };
    for (const Case &k : cases) {
        usbFrame c;
        uint8_t buf[64] = {};
        const int n = k.build(c, buf);
        EXPECT_EQ(Bytes(buf, buf + n), k.expected) << k.what;
    }
    usbFrame c;
    uint8_t buf[16] = {};
    c.frameFinish(buf, 1, 0);
    EXPECT_EQ(c.sequence(), 0) << "finishing a frame does not use a number";
    EXPECT_EQ(usbFrame::checkSum(buf, 0), 0u);
    const uint8_t ff[3] = {0xFF, 0xFF, 0xFF};
    EXPECT_EQ(usbFrame::checkSum(ff, 3), 765u);
}

TEST(UsbFrame, ReceiveStateMachineTable)
{
    const Bytes a = frameOf(1, 0xFF, {1, 0, 1, 0, 4, 0, 0x02, 0x01, 0x10, 0x02});
    const Bytes b = frameOf(2, 0xFF, {11, 0});
    const Bytes empty = frameOf(9, 3, {});
    const Bytes big = frameOf(3, 11, Bytes(4086, 0xA5));   // 4096 bytes: the largest that completes
    const Bytes tooBig = frameOf(4, 11, Bytes(4087, 0xA5)); // 4097 bytes: never completes
    const Bytes zeros(6, 0);
    struct Case {
        const char *what;
        Bytes input;
        std::vector<Bytes> frames; // expected, in order
    };
    const Case cases[] = {
        {"one frame", a, {a}},
        {"an empty payload is a 10-byte frame", empty, {empty}},
        {"two frames in one input", cat({a, b}), {a, b}},
        {"noise and padding around frames", cat({Bytes{0x00, 0x13, 0xFA, 0x00}, a, zeros, b, zeros}), {a, b}},
        {"a second FA in the header loses the frame", cat({Bytes{0xFA}, a, b}), {b}},
        {"FA D6 then a wrong byte restarts the hunt", cat({Bytes{0xFA, 0xD6, 0x00}, a}), {a}},
        {"a frame off by one in its sum is dropped, the next is found", cat({frameOf(5, 1, {1, 2}, 1), b}), {b}},
        {"4096-byte frame completes", big, {big}},
        {"4097-byte frame never completes, the hunt resumes after it", cat({tooBig, b}), {b}},
        {"a frame cut short is continued by the next input", cat({Bytes(a.begin(), a.begin() + 5)}), {}},
    };
    for (const Case &k : cases) {
        for (size_t piece : {size_t(0), size_t(1), size_t(3), size_t(8)}) {
            usbFrame c;
            const std::vector<Found> got = parseAll(c, k.input, piece);
            ASSERT_EQ(got.size(), k.frames.size()) << k.what << " piece " << piece;
            for (size_t i = 0; i < got.size(); ++i)
                EXPECT_EQ(got[i].frame, k.frames[i]) << k.what << " piece " << piece << " frame " << i;
        }
    }
}

TEST(UsbFrame, ParseStopsAtTheFrameAndLeavesTheRestUnconsumed)
{
    const Bytes a = frameOf(1, 0xFF, {1, 0});
    const Bytes b = frameOf(2, 0xFF, {11, 0});
    const Bytes in = cat({a, b});
    usbFrame c;
    uint16_t len = 0, remain = 99;
    const uint8_t *f = c.frameParse(in.data(), uint16_t(in.size()), &len, &remain);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(len, a.size());
    EXPECT_EQ(remain, b.size());
    EXPECT_EQ(c.cmdGet(), 0xFF);
    EXPECT_EQ(c.seqGet(), 1);
    uint16_t plen = 0;
    const uint8_t *p = c.payloadGet(&plen);
    EXPECT_EQ(plen, 2);
    EXPECT_EQ(p[0], 1);
    uint16_t flen = 0;
    EXPECT_EQ(c.frameGet(&flen), f);
    EXPECT_EQ(flen, a.size());
    f = c.frameParse(in.data() + (in.size() - remain), remain, &len, &remain);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(c.seqGet(), 2);
    EXPECT_EQ(remain, 0);

    // An empty input changes nothing, also in the middle of a frame.
    usbFrame d;
    d.frameParse(a.data(), 4, &len, &remain);
    EXPECT_EQ(d.parseState(), 4);
    EXPECT_EQ(d.frameParse(nullptr, 0, &len, &remain), nullptr);
    EXPECT_EQ(d.parseState(), 4);
    EXPECT_NE(d.frameParse(a.data() + 4, uint16_t(a.size() - 4), &len, &remain), nullptr);
}

TEST(UsbFrame, FrameGetNeverReachesPastTheBuffer)
{
    // A partial frame whose length field claims more than the buffer holds.
    usbFrame c;
    const Bytes head{0xFA, 0xD6, 0x5A, 0, 0, 11, 0xFF, 0xFF};
    uint16_t len = 0, remain = 0;
    c.frameParse(head.data(), uint16_t(head.size()), &len, &remain);
    uint16_t n = 0;
    c.frameGet(&n);
    EXPECT_LE(n, usbFrame::kBufferSize);
    c.payloadGet(&n);
    EXPECT_LE(n + 8, usbFrame::kBufferSize);
}

TEST(UsbTagList, WalksEntriesAndStopsAtOneThatRunsPastTheData)
{
    struct Case {
        const char *what;
        Bytes data;
        std::vector<std::pair<int, Bytes>> entries;
    };
    const Case cases[] = {
        {"two entries", {2, 0, 2, 0, 0xAA, 0xBB, 7, 1, 0, 0xCC}, {{0, {0xAA, 0xBB}}, {7, {0xCC}}}},
        {"an entry of length 0", {1, 5, 0, 0}, {{5, {}}}},
        {"count 0", {0, 1, 2, 3}, {}},
        {"count above the entries present", {3, 0, 1, 0, 0x11}, {{0, {0x11}}}},
        {"value runs past the end", {2, 0, 1, 0, 0x11, 0, 4, 0, 0x01, 0x02, 0x03}, {{0, {0x11}}}},
        {"header cut", {2, 0, 1, 0, 0x11, 0, 4}, {{0, {0x11}}}},
        {"nothing", {}, {}},
    };
    for (const Case &k : cases) {
        std::vector<std::pair<int, Bytes>> got;
        const int n = usbTagList::walk(k.data.data(), int(k.data.size()), [&](const usbTagList::Entry &e) {
            got.push_back({e.tag, Bytes(e.value, e.value + e.len)});
        });
        EXPECT_EQ(n, int(k.entries.size())) << k.what;
        EXPECT_EQ(got, k.entries) << k.what;
    }
    uint8_t out[8] = {};
    const uint8_t v[2] = {0x34, 0x12};
    EXPECT_EQ(usbTagList::put(out, 1, v, 2), 5);
    EXPECT_EQ(Bytes(out, out + 5), (Bytes{1, 2, 0, 0x34, 0x12}));
}

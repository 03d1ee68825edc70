// The CAN FD adapter's per-channel receive buffer: oldest first through
// growth and wrap-around, the published count, and memory given back once a
// large backlog is drained.

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "kemusb/src/devices/QDeviceUsbCanFd2.h"

using kemusb::FrameFifo;

namespace {
OCAN_CANFD_RX rec(uint32_t n)
{
    OCAN_CANFD_RX r{};
    r.IdWord = n;
    r.Len = uint8_t(n % 65);
    r.Data[0] = uint8_t(n);
    r.Data[63] = uint8_t(n >> 8);
    r.TimeStamp = n * 3;
    return r;
}
} // namespace

TEST(KemFdFifo, FramesLeaveInArrivalOrderThroughGrowthAndWrap)
{
    FrameFifo<OCAN_CANFD_RX> q;
    uint32_t pushed = 0;
    uint32_t taken = 0;
    OCAN_CANFD_RX out[40];
    EXPECT_EQ(q.take(out, 40), 0u);
    // Uneven pushes and takes so that the front wraps round the ring while
    // it grows and the backlog both rises and falls.
    const int pattern[][2] = {{5, 3}, {70, 10}, {3, 40}, {200, 33}, {1, 40}, {500, 7}, {0, 40}, {64, 17}};
    for (int round = 0; round < 30; ++round) {
        for (const auto &p : pattern) {
            for (int i = 0; i < p[0]; ++i)
                q.push(rec(pushed++));
            ASSERT_EQ(q.waiting(), size_t(pushed - taken));
            const size_t avail = size_t(pushed - taken);
            const size_t n = q.take(out, size_t(p[1]));
            ASSERT_EQ(n, std::min<size_t>(size_t(p[1]), avail));
            for (size_t i = 0; i < n; ++i) {
                const OCAN_CANFD_RX want = rec(taken++);
                ASSERT_EQ(out[i].IdWord, want.IdWord) << "round " << round;
                ASSERT_EQ(out[i].Len, want.Len);
                ASSERT_EQ(out[i].Data[0], want.Data[0]);
                ASSERT_EQ(out[i].Data[63], want.Data[63]);
                ASSERT_EQ(out[i].TimeStamp, want.TimeStamp);
            }
            ASSERT_EQ(q.size(), size_t(pushed - taken));
            ASSERT_EQ(q.waiting(), q.size());
        }
    }
    while (size_t n = q.take(out, 40))
        for (size_t i = 0; i < n; ++i)
            ASSERT_EQ(out[i].IdWord, taken++);
    EXPECT_EQ(taken, pushed);
    EXPECT_TRUE(q.empty());
    EXPECT_EQ(q.waiting(), 0u);
}

TEST(KemFdFifo, ClearEmptiesAndTheBufferIsUsableAgain)
{
    FrameFifo<OCAN_CAN_RX> q;
    for (uint32_t i = 0; i < 10000; ++i) {
        OCAN_CAN_RX r{};
        r.IdWord = i;
        q.push(r);
    }
    EXPECT_EQ(q.waiting(), 10000u);
    q.clear();
    EXPECT_TRUE(q.empty());
    EXPECT_EQ(q.waiting(), 0u);
    OCAN_CAN_RX out[4];
    EXPECT_EQ(q.take(out, 4), 0u);
    for (uint32_t i = 0; i < 3; ++i) {
        OCAN_CAN_RX r{};
        r.IdWord = 100 + i;
        q.push(r);
    }
    ASSERT_EQ(q.take(out, 4), 3u);
    EXPECT_EQ(out[0].IdWord, 100u);
    EXPECT_EQ(out[2].IdWord, 102u);
}

// The simulated IN endpoints under a stream of transfers: buffers of
// transfers already read are reused for later ones, and the clock is read only
// for delayed transfers; neither may show in what the reads return.

#include "tests/platform/SimFixture.h"

using namespace plat;
using plat::sim::Adapter;

TEST_F(SimTest, ReusedTransferBuffersCarryOnlyTheirOwnBytes)
{
    Adapter *a = world.addAdapter("ECHO");
    auto d = open(a);
    ASSERT_TRUE(d);
    // A long transfer first, so that later short ones land in a larger,
    // used buffer; then many of varying length, some queued while others
    // are still unread.
    a->push(0x83, seq(300, 0x40));
    EXPECT_EQ(read(*d, 0x83, 512), seq(300, 0x40));
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        std::vector<Bytes> sent;
        for (int i = 0; i < 90; ++i) {
            sent.push_back(seq(size_t(1 + (i * 7 + round) % 40), uint8_t(i + round * 50)));
            a->push(0x83, sent.back());
        }
        for (size_t i = 0; i < sent.size(); ++i)
            ASSERT_EQ(read(*d, 0x83, 512), sent[i]) << "transfer " << i;
        UsbStatus st;
        EXPECT_TRUE(read(*d, 0x83, 512, &st).empty());
        EXPECT_EQ(st, UsbStatus::Timeout);
    }
}

TEST_F(SimTest, DelayedAndPromptTransfersKeepTheirDueOrder)
{
    Adapter *a = world.addAdapter("ECHO");
    auto d = open(a, 100);
    ASSERT_TRUE(d);
    // A prompt transfer overtakes one that is still delayed...
    a->inFaults(0x83).delayMs = 250;
    a->push(0x83, {1});
    a->inFaults(0x83).delayMs = 0;
    a->push(0x83, {2});
    const uint32_t start = GetTickCount();
    EXPECT_EQ(read(*d, 0x83, 64), (Bytes{2}));
    EXPECT_EQ(TicksSince(start), 0u);
    EXPECT_TRUE(read(*d, 0x83, 64).empty());
    EXPECT_TRUE(read(*d, 0x83, 64).empty());
    EXPECT_EQ(read(*d, 0x83, 64), (Bytes{1}));
    EXPECT_EQ(TicksSince(start), 250u);

    // ...but not one whose time has already come.
    a->inFaults(0x83).delayMs = 50;
    a->push(0x83, {3});
    clock->advance(60);
    a->inFaults(0x83).delayMs = 0;
    a->push(0x83, {4});
    EXPECT_EQ(read(*d, 0x83, 64), (Bytes{3}));
    EXPECT_EQ(read(*d, 0x83, 64), (Bytes{4}));

    // Prompt transfers once no delayed one is left, and a delayed one queued
    // behind them, still come in order.
    a->push(0x83, {5});
    a->push(0x83, {6});
    a->inFaults(0x83).delayMs = 30;
    a->push(0x83, {7});
    a->inFaults(0x83).delayMs = 0;
    a->push(0x83, {8});
    EXPECT_EQ(read(*d, 0x83, 64), (Bytes{5}));
    EXPECT_EQ(read(*d, 0x83, 64), (Bytes{6}));
    EXPECT_EQ(read(*d, 0x83, 64), (Bytes{8}));
    EXPECT_EQ(read(*d, 0x83, 64), (Bytes{7}));
}

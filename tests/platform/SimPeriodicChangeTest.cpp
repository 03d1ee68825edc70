// Periodic frames of a simulated bus that change from one send to the next:
// a counting byte and a run of varying bytes.

#include "tests/platform/SimFixture.h"

#include <vector>

namespace {

// Hears every frame put on its bus.
class Listener final : public plat::sim::BusNode
{
public:
    void onFrame(plat::sim::Bus &, const plat::sim::CanFrame &f) override { frames.push_back(f); }
    std::vector<plat::sim::CanFrame> frames;
};

} // namespace

class PeriodicChangeTest : public SimTest
{
protected:
    // Loads one periodic statement on a bus "B", then runs `periods` periods of 10 ms.
    std::vector<plat::sim::CanFrame> run(const std::string &periodic, int periods)
    {
        std::string err;
        EXPECT_TRUE(world.loadConfig("bus B\n" + periodic + "\n", &err)) << err;
        auto *l = static_cast<Listener *>(world.bus("B").addNode(std::make_unique<Listener>()));
        for (int i = 0; i < periods; ++i) {
            clock->advance(10);
            world.poll();
        }
        return l->frames;
    }
};

TEST_F(PeriodicChangeTest, CounterByteCountsTheFrames)
{
    const auto frames = run("periodic B id=0x0C9 period=10 data=1122334455667788 counter=7", 300);
    ASSERT_EQ(frames.size(), 300u);
    for (size_t i = 0; i < frames.size(); ++i) {
        EXPECT_EQ(frames[i].data[7], uint8_t(i)) << i; // wraps after 255
        EXPECT_EQ(frames[i].data[0], 0x11);
        EXPECT_EQ(frames[i].data[6], 0x77);
        EXPECT_EQ(frames[i].len, 8);
    }
}

TEST_F(PeriodicChangeTest, VaryingBytesChangeAndTheOthersStay)
{
    const auto frames =
        run("periodic B id=0x300 fd=1 brs=1 period=10 "
            "data=00000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000 "
            "counter=0 vary=8-63",
            50);
    ASSERT_EQ(frames.size(), 50u);
    int changed = 0;
    for (size_t i = 0; i < frames.size(); ++i) {
        const auto &f = frames[i];
        EXPECT_TRUE(f.fd);
        EXPECT_TRUE(f.brs);
        EXPECT_EQ(f.len, 64);
        EXPECT_EQ(f.data[0], uint8_t(i));
        for (int b = 1; b < 8; ++b)
            EXPECT_EQ(f.data[b], 0) << "byte " << b;
        if (i > 0 && std::memcmp(f.data + 8, frames[i - 1].data + 8, 56) != 0)
            ++changed;
    }
    EXPECT_EQ(changed, 49);
}

TEST_F(PeriodicChangeTest, ChangesOutsideTheDataAreRefused)
{
    struct Case {
        const char *text;
        const char *error;
    } const cases[] = {
        {"periodic B id=1 period=5 data=0102 counter=2", "line 1: counter outside the data"},
        {"periodic B id=1 period=5 counter=0", "line 1: counter outside the data"},
        {"periodic B id=1 period=5 data=0102 counter=x", "line 1: counter outside the data"},
        {"periodic B id=1 period=5 data=010203 vary=1-3", "line 1: vary outside the data"},
        {"periodic B id=1 period=5 data=010203 vary=2-1", "line 1: vary outside the data"},
        {"periodic B id=1 period=5 data=010203 vary=2", "line 1: vary outside the data"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        std::string err;
        EXPECT_FALSE(world.loadConfig(c.text, &err));
        EXPECT_EQ(err, c.error);
    }
}

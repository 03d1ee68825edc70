#include "tests/platform/SimFixture.h"

#include <cstdlib>
#include <fstream>

using namespace plat;
using plat::sim::Adapter;

namespace {

// Echo adapter control and frame records (see PlatSim.h).
sim::Bytes rate(uint8_t ch, uint32_t bps, uint32_t data = 0)
{
    sim::Bytes b = {0xEC, 0x01, ch, uint8_t(bps), uint8_t(bps >> 8), uint8_t(bps >> 16), uint8_t(bps >> 24)};
    if (data)
        b.insert(b.end(), {uint8_t(data), uint8_t(data >> 8), uint8_t(data >> 16), uint8_t(data >> 24)});
    return b;
}
sim::Bytes cmd(uint8_t op, uint8_t ch, uint8_t arg = 0) { return {0xEC, op, ch, arg}; }

sim::Bytes frame(uint8_t ch, uint32_t id, std::initializer_list<uint8_t> data, bool ext = false)
{
    sim::Bytes r(16, 0);
    r[0] = ch;
    r[1] = ext ? 1 : 0;
    r[2] = uint8_t(data.size());
    std::memcpy(&r[4], &id, 4);
    size_t i = 8;
    for (uint8_t d : data)
        r[i++] = d;
    return r;
}

struct Rx
{
    int ch;
    uint32_t id;
    bool ext;
    sim::Bytes data;
    uint32_t stamp;
};

} // namespace

class BusTest : public SimTest
{
protected:
    std::unique_ptr<UsbDevice> up(Adapter *a, std::vector<std::pair<uint8_t, uint32_t>> chRates)
    {
        auto d = open(a);
        for (auto &cr : chRates) {
            write(*d, 0x01, rate(cr.first, cr.second));
            write(*d, 0x01, cmd(2, cr.first));
        }
        a->clearIn(0x81);
        return d;
    }

    // Every frame record waiting on the stream pipe.
    std::vector<Rx> received(UsbDevice &d)
    {
        std::vector<Rx> out;
        for (;;) {
            sim::Bytes b = read(d, 0x83, 512);
            if (b.empty())
                return out;
            for (size_t off = 0; off + 20 <= b.size(); off += 20) {
                Rx r;
                r.ch = b[off];
                r.ext = b[off + 1] & 1;
                std::memcpy(&r.id, &b[off + 4], 4);
                std::memcpy(&r.stamp, &b[off + 8], 4);
                r.data.assign(b.begin() + off + 12, b.begin() + off + 12 + b[off + 2]);
                out.push_back(r);
            }
        }
    }

    int sent(UsbDevice &d)
    {
        sim::Bytes b = read(d, 0x82, 64);
        return b.size() == 2 && b[0] == 0xAC ? b[1] : -1;
    }
};

TEST_F(BusTest, DefaultTopologyCarriesChannelZeroToChannelOne)
{
    world.loadDefault();
    Adapter *a = world.adapter(sim::kEchoVid, sim::kEchoPid, 0);
    ASSERT_TRUE(a);
    EXPECT_EQ(a->channel(0).busName(), a->channel(1).busName());
    auto d = up(a, {{0, 500000}, {1, 500000}});
    const uint32_t sentAt = uint32_t(clock->nowUs());
    write(*d, 0x02, frame(0, 0x123, {1, 2, 3}));
    EXPECT_EQ(sent(*d), 1);
    auto rx = received(*d);
    ASSERT_EQ(rx.size(), 1u); // channel 1 only: the sender does not hear itself
    EXPECT_EQ(rx[0].ch, 1);
    EXPECT_EQ(rx[0].id, 0x123u);
    EXPECT_EQ(rx[0].data, (sim::Bytes{1, 2, 3}));
    EXPECT_EQ(rx[0].stamp, sentAt);
}

// Who hears a frame from channel 0 of adapter A on bus "X".
TEST_F(BusTest, DeliveryDependsOnStartRateAndListenOnly)
{
    struct Case
    {
        const char *what;
        uint32_t busRate;       // 0: follows the sender
        uint32_t senderRate;
        uint32_t otherRate;     // adapter B channel 0
        bool otherStarted;
        bool senderListenOnly;
        bool taken;             // the bus took the frame
        bool heard;             // B heard it
        bool otherError;
        bool senderError;
    } cases[] = {
        {"same rate", 0, 500000, 500000, true, false, true, true, false, false},
        {"other rate gets nothing and an error", 0, 500000, 250000, true, false, true, false, true, false},
        {"stopped channel hears nothing", 0, 500000, 500000, false, false, true, false, false, false},
        {"listen-only sender cannot transmit", 0, 500000, 500000, true, true, false, false, false, false},
        {"fixed bus rate, matching", 1000000, 1000000, 1000000, true, false, true, true, false, false},
        {"fixed bus rate, sender off", 1000000, 500000, 1000000, true, false, false, false, false, true},
        {"fixed bus rate, receiver off", 1000000, 1000000, 500000, true, false, true, false, true, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        std::string cfg = "bus X nominal=" + std::to_string(c.busRate) +
                          "\nadapter ECHO name=A\nadapter ECHO name=B\nattach A 0 X\nattach B 0 X\n";
        std::string err;
        ASSERT_TRUE(world.loadConfig(cfg, &err)) << err;
        Adapter *a = world.adapterByAlias("A");
        Adapter *b = world.adapterByAlias("B");
        auto da = up(a, {{0, c.senderRate}});
        auto db = c.otherStarted ? up(b, {{0, c.otherRate}}) : open(b);
        if (c.senderListenOnly)
            write(*da, 0x01, cmd(4, 0, 1));
        write(*da, 0x02, frame(0, 0x1ABCDEF0, {9}, true));
        EXPECT_EQ(sent(*da), c.taken ? 1 : 0);
        auto rx = received(*db);
        EXPECT_EQ(rx.size(), c.heard ? 1u : 0u);
        if (c.heard) {
            EXPECT_EQ(rx[0].id, 0x1ABCDEF0u);
            EXPECT_TRUE(rx[0].ext);
        }
        EXPECT_EQ(b->channel(0).errorState(), c.otherError);
        EXPECT_EQ(a->channel(0).errorState(), c.senderError);
        EXPECT_TRUE(received(*da).empty()); // A's channel 1 sits on its own bus
    }
}

TEST_F(BusTest, ListenOnlyChannelStillReceives)
{
    world.loadDefault();
    Adapter *a = world.adapter(sim::kEchoVid, sim::kEchoPid, 0);
    auto d = up(a, {{0, 250000}, {1, 250000}});
    write(*d, 0x01, cmd(4, 1, 1));
    write(*d, 0x02, frame(0, 0x10, {}));
    EXPECT_EQ(sent(*d), 1);
    auto rx = received(*d);
    ASSERT_EQ(rx.size(), 1u);
    EXPECT_EQ(rx[0].ch, 1);
}

TEST_F(BusTest, ScriptedNodesSendPeriodicallyAndAnswerRequests)
{
    std::string err;
    ASSERT_TRUE(world.loadConfig("bus B nominal=500000\n"
                                 "adapter ECHO name=E\n"
                                 "attach E 0 B\n"
                                 "periodic B id=0x100 period=100 count=3 data=01,02\n"
                                 "answer B request=0x7DF id=0x7E8 data=0641\n",
                                 &err))
        << err;
    Adapter *a = world.adapterByAlias("E");
    auto d = up(a, {{0, 500000}});
    const uint64_t t0 = clock->nowUs();
    // Three periodic frames, 100 ms apart on the injected clock, then no more.
    std::vector<Rx> all;
    for (int i = 0; i < 6; ++i) {
        auto rx = received(*d);
        all.insert(all.end(), rx.begin(), rx.end());
    }
    ASSERT_EQ(all.size(), 3u);
    for (size_t i = 0; i < all.size(); ++i) {
        EXPECT_EQ(all[i].id, 0x100u);
        EXPECT_EQ(all[i].data, (sim::Bytes{1, 2}));
        EXPECT_EQ(all[i].stamp, uint32_t(t0 + (i + 1) * 100000));
    }
    write(*d, 0x02, frame(0, 0x7DF, {2, 1, 0}));
    auto rx = received(*d);
    ASSERT_EQ(rx.size(), 1u);
    EXPECT_EQ(rx[0].id, 0x7E8u);
    EXPECT_EQ(rx[0].data, (sim::Bytes{0x06, 0x41}));
}

TEST_F(BusTest, StampsAreCutToTheRecordWidth)
{
    Adapter *a = world.addAdapter("ECHO");
    clock->advanceTo(0x123456789ull / 1000 + 1);
    const uint64_t us = clock->nowUs();
    EXPECT_EQ(a->stampUs(32), uint32_t(us));
    EXPECT_EQ(a->stampUs(24), uint32_t(us & 0xFFFFFF));
    EXPECT_EQ(a->stampUs(16), uint32_t(us & 0xFFFF));
}

TEST_F(BusTest, BadConfigurationLinesAreRefusedWithTheirLineNumber)
{
    struct Case
    {
        const char *text;
        const char *error;
    } cases[] = {
        {"adapter NOPE", "line 1: unknown model NOPE"},
        {"# fine\nbus", "line 2: bus needs a name"},
        {"bus A nominal=fast", "line 1: bad rate"},
        {"periodic A id=0x1 period=0", "line 1: bad period"},
        {"periodic A id=zz period=5", "line 1: bad id"},
        {"periodic A id=1 period=5 data=010203040506070809", "line 1: classic frame longer than 8 bytes"},
        {"answer A id=1", "line 1: bad request"},
        {"adapter ECHO name=E\nattach E 2 A", "line 2: attach: no channel 2 on E"},
        {"frobnicate", "line 1: unknown statement frobnicate"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        std::string err;
        EXPECT_FALSE(world.loadConfig(c.text, &err));
        EXPECT_EQ(err, c.error);
        EXPECT_TRUE(world.adapters().empty());
    }
}

TEST_F(BusTest, EnvironmentPicksTheBackEndAndTheTopology)
{
    const char *oldBackend = std::getenv("KEMUSB_BACKEND");
    const char *oldCfg = std::getenv("KEMUSB_SIM_CONFIG");
    std::string file = ::testing::TempDir() + "/kemusb-sim-env.cfg";
    {
        std::ofstream f(file);
        f << "adapter ECHO\nadapter ECHO busy=1\nadapter ECHO\n";
    }
    setenv("KEMUSB_BACKEND", "sim", 1);
    setenv("KEMUSB_SIM_CONFIG", file.c_str(), 1);
    auto prev = setUsbBackend(nullptr);
    world.reconfigureFromEnvironment();
    UsbBackend &b = usbBackend();
    EXPECT_STREQ(b.name(), "sim");
    EXPECT_TRUE(b.carriesModels()) << "the library's models join the simulated world";
    auto paths = b.devicePaths();
    ASSERT_EQ(paths.size(), 3u);
    EXPECT_FALSE(b.open(paths[1]));
    EXPECT_TRUE(b.open(paths[2]));

    // Without a file: one adapter of each model.
    unsetenv("KEMUSB_SIM_CONFIG");
    world.reconfigureFromEnvironment();
    EXPECT_EQ(world.adapters().size(), sim::registeredModels().size());

    setenv("KEMUSB_BACKEND", "libusb", 1);
    setUsbBackend(nullptr);
    EXPECT_STREQ(usbBackend().name(), "libusb");
    EXPECT_FALSE(usbBackend().carriesModels()) << "real adapters are found, not registered";
    setUsbBackend(prev);
    if (oldBackend)
        setenv("KEMUSB_BACKEND", oldBackend, 1);
    else
        unsetenv("KEMUSB_BACKEND");
    if (oldCfg)
        setenv("KEMUSB_SIM_CONFIG", oldCfg, 1);
    else
        unsetenv("KEMUSB_SIM_CONFIG");
}

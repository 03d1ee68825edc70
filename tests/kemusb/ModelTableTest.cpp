// The library's adapter-model table held against the simulator's own list
// of the adapters it stands in for (kept apart on purpose), and every row
// of the table against its simulated adapter through the exported functions.

#include "kemusb/include/kcan_api.h"
#include "kemusb/src/devices/KcanHandleRegistry.h"
#include "kemusb/src/devices/OcanDeviceRegistry.h"
#include "kemusb/src/devices/VciDeviceRegistry.h"
#include "kemusb/src/protocol/AdapterModels.h"
#include "kemusb/src/sim/KemSimModels.h"
#include "platform/PlatSim.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>
#include <string>

using kemusb::AdapterFamily;
using kemusb::AdapterModel;
using kemusb::sim::SimFirmware;
using kemusb::sim::SimModelSpec;

namespace {

// The simulated firmware that answers for each family of the library.
SimFirmware firmwareOf(AdapterFamily f)
{
    switch (f) {
    case AdapterFamily::Classic:
        return SimFirmware::Classic;
    case AdapterFamily::CanFd:
        return SimFirmware::CanFd;
    case AdapterFamily::Recording:
        return SimFirmware::Recording;
    case AdapterFamily::Kvaser:
        return SimFirmware::Kvaser20;
    case AdapterFamily::KvaserFd:
        return SimFirmware::Kvaser32;
    }
    return SimFirmware::CanFd;
}

bool isKvaser(AdapterFamily f) { return f == AdapterFamily::Kvaser || f == AdapterFamily::KvaserFd; }

} // namespace

// Each row of the library's table names a model the simulator has, with the
// same type number, USB id, clock, CAN FD offer and firmware; the channels
// agree, except that a Kvaser class addresses more channels than the
// simulated interfaces have (never fewer).
TEST(ModelTable, LibraryRowsAgreeWithTheSimulatorsModels)
{
    std::set<uint32_t> types;
    for (const AdapterModel &m : kemusb::modelTable()) {
        SCOPED_TRACE(std::string(m.name) + " type " + std::to_string(m.type));
        EXPECT_TRUE(types.insert(m.type).second) << "type listed twice";
        const SimModelSpec *s = kemusb::sim::modelNamed(m.name);
        ASSERT_NE(s, nullptr) << "no simulated adapter of this name";
        bool listed = false;
        for (uint32_t t : s->types)
            listed = listed || t == m.type;
        EXPECT_TRUE(listed) << "the simulator does not know this type number";
        EXPECT_EQ(s->vid, m.vid);
        EXPECT_EQ(s->pid, m.pid);
        EXPECT_EQ(s->clockMHz, m.clockMHz);
        EXPECT_EQ(s->canFd, m.canFd);
        EXPECT_EQ(s->firmware, firmwareOf(m.family));
        if (isKvaser(m.family))
            EXPECT_LE(s->channels, m.channels);
        else
            EXPECT_EQ(s->channels, m.channels);
    }
}

// Every simulated model is one the library drives, under every type number
// the simulator names for it, and no two models share a USB id (the
// simulator keys its models by it).
TEST(ModelTable, EverySimulatedModelIsInTheLibrarysTable)
{
    std::set<uint32_t> usbIds;
    std::set<uint32_t> types;
    for (const SimModelSpec &s : kemusb::sim::modelTable()) {
        SCOPED_TRACE(s.name);
        EXPECT_TRUE(usbIds.insert(uint32_t(s.vid) << 16 | s.pid).second) << "USB id used twice";
        int n = 0;
        for (uint32_t t : s.types) {
            if (t == 0)
                break;
            ++n;
            EXPECT_TRUE(types.insert(t).second) << "type " << t << " named by two models";
            const AdapterModel *m = kemusb::modelForType(t);
            ASSERT_NE(m, nullptr) << "type " << t;
            EXPECT_STREQ(m->name, s.name) << "type " << t;
        }
        EXPECT_GT(n, 0) << "a model the library reaches under no type";
    }
    EXPECT_EQ(types.size(), kemusb::modelTable().size()) << "rows of the library without a simulated model";
}

// The constants the device classes are sized by come from the table.
TEST(ModelTable, FamilyChannelsAreTheMostOfTheirRows)
{
    std::map<AdapterFamily, int> most;
    for (const AdapterModel &m : kemusb::modelTable())
        most[m.family] = std::max(most[m.family], int(m.channels));
    for (const auto &kv : most)
        EXPECT_EQ(kemusb::familyChannels(kv.first), kv.second);
    EXPECT_EQ(kemusb::modelForType(5), nullptr);
    EXPECT_EQ(kemusb::modelForType(20), nullptr) << "named by the classic path, no adapter";
}

namespace {

class ModelTableOnSim : public ::testing::Test
{
protected:
    void SetUp() override
    {
        kemusb::registerSimModels();
        prev_ = plat::setUsbBackend(plat::sim::makeSimBackend());
        plat::sim::World::instance().loadDefault();
    }
    void TearDown() override
    {
        kemusb::KcanHandleRegistry::instance().clear();
        kemusb::OcanDeviceRegistry::instance().closeAll();
        kemusb::VciDeviceRegistry::instance().closeAll();
        plat::sim::World::instance().reset();
        plat::setUsbBackend(prev_);
    }
    std::shared_ptr<plat::UsbBackend> prev_;
};

} // namespace

// Each row opens its simulated adapter by type number; where the library
// initialises channels itself, the last channel of the row starts and the
// one after it is refused (on the adapter or in the library).
TEST_F(ModelTableOnSim, EveryRowOpensItsAdapterAndDrivesItsChannels)
{
    for (const AdapterModel &m : kemusb::modelTable()) {
        SCOPED_TRACE(std::string(m.name) + " type " + std::to_string(m.type));
        ASSERT_EQ(KCAN_OpenDevice(m.type, 0), 1u);
        plat::sim::Adapter *a = plat::sim::World::instance().adapter(m.vid, m.pid, 0);
        ASSERT_NE(a, nullptr);
        EXPECT_TRUE(a->isOpen());
        const uint32_t last = m.channels - 1u;
        switch (m.family) {
        case AdapterFamily::Classic: {
            KCAN_INIT_CONFIG c;
            std::memset(&c, 0, sizeof c);
            c.AccMask = 0xFFFFFFFF;
            c.Timing1 = 0x1C;
            EXPECT_EQ(KCAN_InitCAN(m.type, 0, last, &c), 1u);
            EXPECT_EQ(KCAN_InitCAN(m.type, 0, last + 1, &c), 0u);
            break;
        }
        case AdapterFamily::CanFd: {
            KCAN_INITFD_CONFIG c;
            std::memset(&c, 0, sizeof c);
            c.ArbBaud = 500000;
            c.DataBaud = 2000000;
            c.FdEnable = 1;
            EXPECT_EQ(KCAN_InitCANFD(m.type, 0, last, &c), 1u);
            EXPECT_EQ(KCAN_InitCANFD(m.type, 0, last + 1, &c), 0u);
            EXPECT_TRUE(a->channel(int(last)).started());
            break;
        }
        default:
            break;
        }
        EXPECT_EQ(KCAN_CloseDevice(m.type, 0), 1u);
        EXPECT_FALSE(a->isOpen());
    }
}

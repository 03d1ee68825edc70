// The program's model table (core), kemusb's own and the simulator's own are
// kept apart on purpose: the library ships separately and the simulator is
// the oracle the library is tested against. This holds the three together,
// so a model entered in one place and forgotten in another fails here
// instead of silently taking a fallback row somewhere.

#include <gtest/gtest.h>

#include <QString>

#include "core/QUserAdapterModels.h"
#include "kemusb/src/protocol/AdapterModels.h"
#include "kemusb/src/sim/KemSimModels.h"

namespace {

const kemusb::sim::SimModelSpec *simForType(uint32_t type)
{
    for (const kemusb::sim::SimModelSpec &m : kemusb::sim::modelTable())
        for (uint32_t t : m.types) {
            if (t == 0)
                break;
            if (t == type)
                return &m;
        }
    return nullptr;
}

bool drivenByTheProgram(const QUserAdapterModel &m)
{
    return m.typeNumber != 0 && m.channels != 0 && m.family != QUserAdapterFamily::Lin;
}

} // namespace

// Every model the program drives reaches a library row of the same family
// with room for its channels, the same CAN FD offer and (where the library
// works out timings) the same controller clock.
TEST(ModelTablesAgree, EveryProgramModelHasItsLibraryRow)
{
    for (const QUserAdapterModel &m : QUserAdapterModels::kModels) {
        if (!drivenByTheProgram(m))
            continue;
        SCOPED_TRACE(m.name);
        const kemusb::AdapterModel *lib = kemusb::modelForType(uint32_t(m.typeNumber));
        ASSERT_NE(lib, nullptr) << "type " << m.typeNumber << " unknown to kemusb";
        switch (m.family) {
        case QUserAdapterFamily::Classic:
            EXPECT_EQ(lib->family, kemusb::AdapterFamily::Classic);
            break;
        case QUserAdapterFamily::CanFd:
            EXPECT_EQ(lib->family, kemusb::AdapterFamily::CanFd);
            EXPECT_EQ(lib->canFd, m.fdCapable);
            break;
        case QUserAdapterFamily::Recorder:
            EXPECT_EQ(lib->family, kemusb::AdapterFamily::Recording);
            break;
        case QUserAdapterFamily::Lin:
            break;
        }
        EXPECT_LE(m.channels, int(lib->channels));
        if (lib->clockMHz != 0) {
            EXPECT_EQ(m.clockMHz, int(lib->clockMHz));
        }
    }
}

// Every simulated adapter behind a program model answers under its type
// number with at least the program's channels, the same CAN FD offer and
// the same clock where both know one.
TEST(ModelTablesAgree, EveryProgramModelHasASimulatedAdapter)
{
    for (const QUserAdapterModel &m : QUserAdapterModels::kModels) {
        if (!drivenByTheProgram(m))
            continue;
        SCOPED_TRACE(m.name);
        const kemusb::sim::SimModelSpec *sim = simForType(uint32_t(m.typeNumber));
        ASSERT_NE(sim, nullptr) << "no simulated adapter answers type " << m.typeNumber;
        EXPECT_LE(m.channels, int(sim->channels));
        if (m.family == QUserAdapterFamily::CanFd) {
            EXPECT_EQ(sim->canFd, m.fdCapable);
        }
        if (sim->clockMHz != 0 && m.family != QUserAdapterFamily::Recorder) {
            EXPECT_EQ(m.clockMHz, int(sim->clockMHz));
        }
    }
}

// The models the program offers by name (the CAN FD adapters with a name of
// their own) carry the same name in the library and in the simulator.
TEST(ModelTablesAgree, NamedModelsKeepTheirNamesEverywhere)
{
    for (const QUserAdapterModel &m : QUserAdapterModels::kModels) {
        if (!drivenByTheProgram(m) || QString::fromLatin1(m.name).left(3) != QLatin1String("TRN"))
            continue;
        SCOPED_TRACE(m.name);
        const kemusb::AdapterModel *lib = kemusb::modelForType(uint32_t(m.typeNumber));
        ASSERT_NE(lib, nullptr);
        EXPECT_STREQ(lib->name, m.name);
        const kemusb::sim::SimModelSpec *sim = kemusb::sim::modelNamed(m.name);
        ASSERT_NE(sim, nullptr);
        EXPECT_EQ(simForType(uint32_t(m.typeNumber)), sim);
    }
}

// Every library row of the families the program drives is offered by the
// program under some name, so no adapter the library supports is left out
// of the device selection.
TEST(ModelTablesAgree, EveryLibraryRowOfTheProgramsFamiliesIsOffered)
{
    for (const kemusb::AdapterModel &lib : kemusb::modelTable()) {
        if (lib.family == kemusb::AdapterFamily::Kvaser || lib.family == kemusb::AdapterFamily::KvaserFd)
            continue; // reached through the VCI_/KVCI_ exports, not offered by the program
        SCOPED_TRACE(lib.name);
        bool offered = false;
        for (const QUserAdapterModel &m : QUserAdapterModels::kModels)
            offered = offered || (drivenByTheProgram(m) && uint32_t(m.typeNumber) == lib.type);
        // Types 3, 42 and 43 are the library's alternative numbers of
        // models the program reaches under 4 and 41.
        if (lib.type == 3 || lib.type == 42 || lib.type == 43)
            continue;
        EXPECT_TRUE(offered) << "type " << lib.type;
    }
}

// The simulator's control file: a program running on simulated adapters has
// its adapters pulled out and plugged back in by lines appended to the file
// that KEMUSB_SIM_CONTROL names.

#include "tests/platform/SimFixture.h"
#include "tests/support/TempWorkDir.h"

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

using plat::sim::Adapter;

namespace {

void append(const std::string &path, const std::string &text)
{
    std::ofstream f(path, std::ios::binary | std::ios::app);
    f << text;
}

void rewrite(const std::string &path, const std::string &text)
{
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f << text;
}

} // namespace

class SimControlFile : public SimTest
{
protected:
    void SetUp() override
    {
        SimTest::SetUp();
        path = (std::filesystem::current_path() / "sim-control.txt").string();
        setenv("KEMUSB_SIM_CONTROL", path.c_str(), 1);
        a = world.addAdapter("ECHO", "A");
        b = world.addAdapter("ECHO", "B");
    }
    void TearDown() override
    {
        // Looked at once more without the variable: the next test starts afresh.
        unsetenv("KEMUSB_SIM_CONTROL");
        world.controlPoll(true);
        SimTest::TearDown();
    }

    // Looks at the file (as the transport does on every call) until cond
    // holds; false when it did not within a generous bound.
    bool lookUntil(const std::function<bool()> &cond)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        for (;;) {
            world.controlPoll();
            if (cond())
                return true;
            if (std::chrono::steady_clock::now() > end)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    // Waits for a marker line to be carried out: everything before it was.
    bool settle()
    {
        append(path, "unplug B\n");
        if (!lookUntil([this] { return !b->isPlugged(); }))
            return false;
        append(path, "replug B\n");
        return lookUntil([this] { return b->isPlugged(); });
    }

    TempWorkDir dir;
    std::string path;
    Adapter *a = nullptr;
    Adapter *b = nullptr;
};

TEST_F(SimControlFile, AppendedLinesUnplugAndReplugByAlias)
{
    // What the file holds when it is first looked at counts as done.
    rewrite(path, "unplug A\n");
    world.controlPoll(true);
    ASSERT_TRUE(settle());
    EXPECT_TRUE(a->isPlugged());

    auto d = open(a);
    ASSERT_TRUE(d);
    append(path, "unplug A   # pulled out\n");
    ASSERT_TRUE(lookUntil([this] { return !a->isPlugged(); }));
    EXPECT_TRUE(d->gone());
    EXPECT_TRUE(backend->devicePaths().size() == 1u) << "A left the enumeration";

    // Lines that are none are reported and skipped; those after them count.
    append(path, "wiggle A\nunplug NOSUCH\n\n# a comment\nreplug A\n");
    ASSERT_TRUE(lookUntil([this] { return a->isPlugged(); }));
    EXPECT_EQ(backend->devicePaths().size(), 2u);
    EXPECT_TRUE(d->gone()) << "a replug does not bring the old handle back";
    auto d2 = open(a);
    ASSERT_TRUE(d2);
    EXPECT_FALSE(d2->gone());
}

TEST_F(SimControlFile, LinesRunInOrderAndOnlyWhenWhole)
{
    world.controlPoll(true);
    // A line still being written waits for its end: the look that carries
    // out the first line sees the start of the second, which is carried out
    // whole once its end comes (neither dropped nor taken as a line of its
    // own, after which its end alone would be no line).
    append(path, "unplug A\nrepl");
    ASSERT_TRUE(lookUntil([this] { return !a->isPlugged(); }));
    append(path, "ug A\n");
    ASSERT_TRUE(lookUntil([this] { return a->isPlugged(); }));

    // One append of several lines: each in its turn.
    append(path, "unplug A\nreplug A\nunplug A\n");
    ASSERT_TRUE(settle());
    EXPECT_FALSE(a->isPlugged());

    // A file written afresh, shorter than what was carried out, is read from
    // its start.
    rewrite(path, "replug A\n");
    ASSERT_TRUE(lookUntil([this] { return a->isPlugged(); }));
}

TEST_F(SimControlFile, LineParsing)
{
    struct Case {
        const char *line;
        bool ok;
        bool plugged; // A afterwards
    } cases[] = {
        {"unplug A", true, false},   {"replug A", true, true},      {"  unplug   A  ", true, false},
        {"replug A # back", true, true}, {"", true, true},          {"# only a comment", true, true},
        {"unplug", false, true},     {"unplug A B", false, true},   {"pull A", false, true},
        {"unplug a", false, true},   {"replug NOSUCH", false, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.line);
        std::string err;
        EXPECT_EQ(world.controlLine(c.line, &err), c.ok) << err;
        EXPECT_EQ(err.empty(), c.ok);
        EXPECT_EQ(a->isPlugged(), c.plugged);
    }
}

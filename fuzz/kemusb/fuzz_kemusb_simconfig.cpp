// The simulator's topology file: any text either loads or is refused with
// a line number, and a loaded topology carries frames without fault.
#include "platform/PlatSim.h"
#include "platform/PlatTicks.h"

#include <cstdint>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static auto clock = std::make_shared<plat::ManualTicks>(1000);
    static plat::ScopedTickSource use(clock);
    auto &world = plat::sim::World::instance();
    std::string text(reinterpret_cast<const char *>(data), size);
    std::string err;
    if (!world.loadConfig(text, &err)) {
        if (err.compare(0, 5, "line ") != 0)
            __builtin_trap();
        if (!world.adapters().empty())
            __builtin_trap();
        return 0;
    }
    // Start every channel at one rate and send one frame from each.
    for (auto *a : world.adapters())
        for (int c = 0; c < a->channelCount(); ++c) {
            a->channel(c).setBitRate(500000);
            a->channel(c).start();
        }
    plat::sim::CanFrame f;
    f.id = 0x123;
    f.len = 8;
    for (auto *a : world.adapters())
        for (int c = 0; c < a->channelCount(); ++c)
            a->channel(c).transmit(f);
    clock->advance(1000);
    world.poll();
    world.reset();
    return 0;
}

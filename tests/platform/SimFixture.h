#pragma once
// Simulated adapters on an injected clock, fresh for every test.

#include "platform/PlatSim.h"
#include "platform/PlatTicks.h"

#include <gtest/gtest.h>

#include <cstring>

class SimTest : public ::testing::Test
{
protected:
    using Bytes = plat::sim::Bytes;

    std::shared_ptr<plat::ManualTicks> clock = std::make_shared<plat::ManualTicks>(10000);
    plat::ScopedTickSource useClock{clock};
    plat::sim::World &world = plat::sim::World::instance();
    std::shared_ptr<plat::UsbBackend> backend = plat::sim::makeSimBackend();

    void SetUp() override { world.reset(); }
    void TearDown() override { world.reset(); }

    std::unique_ptr<plat::UsbDevice> open(plat::sim::Adapter *a, uint32_t timeoutMs = 100)
    {
        auto d = backend->open(a->path());
        if (d)
            for (const auto &p : d->queryPipes())
                d->setPipeTimeout(p.pipeId, timeoutMs);
        return d;
    }

    static Bytes read(plat::UsbDevice &d, uint8_t ep, uint32_t len, plat::UsbStatus *st = nullptr)
    {
        Bytes buf(len);
        uint32_t got = 0;
        plat::UsbStatus s = d.readPipe(ep, buf.data(), len, &got);
        if (st)
            *st = s;
        buf.resize(got);
        return buf;
    }

    static plat::UsbStatus write(plat::UsbDevice &d, uint8_t ep, const Bytes &b)
    {
        uint32_t n = 0;
        return d.writePipe(ep, b.data(), uint32_t(b.size()), &n);
    }

    static Bytes seq(size_t n, uint8_t first = 0)
    {
        Bytes b(n);
        for (size_t i = 0; i < n; ++i)
            b[i] = uint8_t(first + i);
        return b;
    }
};

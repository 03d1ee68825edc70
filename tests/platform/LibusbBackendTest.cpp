#include "tests/platform/FakeLibusb.h"

#include <gtest/gtest.h>

using namespace plat;

namespace {

std::vector<uint8_t> readBytes(UsbDevice &d, uint8_t ep, uint32_t len, UsbStatus *st = nullptr)
{
    std::vector<uint8_t> b(len);
    uint32_t got = 0;
    UsbStatus s = d.readPipe(ep, b.data(), len, &got);
    if (st)
        *st = s;
    b.resize(got);
    return b;
}

std::vector<uint8_t> seq(size_t n, uint8_t first = 0)
{
    std::vector<uint8_t> b(n);
    for (size_t i = 0; i < n; ++i)
        b[i] = uint8_t(first + i);
    return b;
}

} // namespace

TEST(LibusbBackend, EnumeratesByBusThenPortPath)
{
    auto api = std::make_shared<FakeLibusb>();
    api->add(0x0471, 0x7A41, 3, {1, 4});
    api->add(0x0471, 0x7A41, 1, {2});
    api->add(0x1D6B, 0x0002, 3, {1});
    api->add(0x0471, 0x7A41, 3, {1, 2, 1});
    api->add(0x0471, 0x7A41, 1, {10});
    auto be = makeLibusbBackend(api);
    EXPECT_STREQ(be->name(), "libusb");
    std::vector<std::string> expect = {
        usbInterfacePath(0x0471, 0x7A41, "1-2"),   usbInterfacePath(0x0471, 0x7A41, "1-10"),
        usbInterfacePath(0x1D6B, 0x0002, "3-1"),   usbInterfacePath(0x0471, 0x7A41, "3-1.2.1"),
        usbInterfacePath(0x0471, 0x7A41, "3-1.4"),
    };
    EXPECT_EQ(be->devicePaths(), expect);
    EXPECT_EQ(expect[0], "\\\\?\\usb#vid_0471&pid_7a41#1-2#{a5dcbf10-6530-11d2-901f-00c04fb951ed}");
    EXPECT_EQ(usbPathInstance(expect[3]), "3-1.2.1");
}

TEST(LibusbBackend, OpenClaimsInterfaceZeroWithAutoDetachAndTreatsBusyAsFailure)
{
    auto api = std::make_shared<FakeLibusb>();
    api->add(0x0471, 0x7A41, 1, {1}).busy = true;
    api->add(0x0471, 0x7A41, 1, {2}).openFails = true;
    api->add(0x0471, 0x7A41, 1, {3});
    auto be = makeLibusbBackend(api);
    auto paths = be->devicePaths();
    ASSERT_EQ(paths.size(), 3u);
    EXPECT_FALSE(be->open(paths[0]));
    EXPECT_EQ(api->closes, 1); // the busy one was let go again
    EXPECT_FALSE(be->open(paths[1]));
    EXPECT_FALSE(be->open("\\\\?\\usb#vid_0471&pid_7a41#9-9#{x}"));
    {
        auto d = be->open(paths[2]);
        ASSERT_TRUE(d);
        EXPECT_EQ(api->autoDetach, 1);
        EXPECT_EQ(api->claimedIface, 0);
        EXPECT_EQ(d->queryPipes().size(), 5u);
    }
    EXPECT_EQ(api->releases, 1);
    EXPECT_EQ(api->closes, 2);
}

// Reads of any size never make libusb overflow, and every byte arrives once
// and in order, with the surplus of a packet kept for the next read.
TEST(LibusbBackend, ReadsKeepTheSurplusAndNeverOverflow)
{
    struct Case
    {
        const char *what;
        std::vector<size_t> transfers; // device transfers on 0x81 (64-byte packets)
        std::vector<uint32_t> reads;
        std::vector<size_t> expect;
    } cases[] = {
        {"small read of a full packet", {64}, {10, 64}, {10, 54}},
        {"odd sizes across packets", {200}, {13, 13, 100, 200}, {13, 13, 100, 74}},
        {"short transfer ends the read", {20, 30}, {64, 64}, {20, 30}},
        {"whole packets run on", {128}, {100, 100}, {100, 28}},
        {"a read as large as a packet", {64, 10}, {64, 64}, {64, 10}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        auto api = std::make_shared<FakeLibusb>();
        api->add(0x0471, 0x7A41, 1, {1});
        auto be = makeLibusbBackend(api);
        auto d = be->open(be->devicePaths()[0]);
        ASSERT_TRUE(d);
        std::vector<uint8_t> all;
        uint8_t next = 0;
        for (size_t n : c.transfers) {
            auto b = seq(n, next);
            next = uint8_t(next + n);
            all.insert(all.end(), b.begin(), b.end());
            api->send(0, 0x81, b, n % 64 == 0 && &n == &c.transfers.back());
        }
        std::vector<uint8_t> got;
        for (size_t i = 0; i < c.reads.size(); ++i) {
            auto r = readBytes(*d, 0x81, c.reads[i]);
            EXPECT_EQ(r.size(), c.expect[i]) << "read " << i;
            got.insert(got.end(), r.begin(), r.end());
        }
        EXPECT_EQ(got, all);
        EXPECT_EQ(api->overflows, 0);
    }
}

TEST(LibusbBackend, SurplusIsServedWithoutANewTransfer)
{
    auto api = std::make_shared<FakeLibusb>();
    api->add(0x0471, 0x7A41, 1, {1});
    auto be = makeLibusbBackend(api);
    auto d = be->open(be->devicePaths()[0]);
    api->send(0, 0x81, seq(40));
    EXPECT_EQ(readBytes(*d, 0x81, 16), seq(16));
    const int transfers = api->transfers;
    EXPECT_EQ(readBytes(*d, 0x81, 64), seq(24, 16));
    EXPECT_EQ(api->transfers, transfers);
}

TEST(LibusbBackend, TimeOutReturnsWhatArrivedAndErrorsAreFailures)
{
    auto api = std::make_shared<FakeLibusb>();
    api->add(0x0471, 0x7A41, 1, {1});
    auto be = makeLibusbBackend(api);
    auto d = be->open(be->devicePaths()[0]);
    ASSERT_TRUE(d->setPipeTimeout(0x83, 100));
    EXPECT_FALSE(d->setPipeTimeout(0x84, 100));
    api->send(0, 0x83, seq(512)); // one whole packet, then nothing
    UsbStatus st;
    EXPECT_EQ(readBytes(*d, 0x83, 4096, &st), seq(512));
    EXPECT_EQ(st, UsbStatus::Timeout);
    EXPECT_EQ(api->timeouts.back(), 100u);
    EXPECT_TRUE(readBytes(*d, 0x83, 4096, &st).empty());
    EXPECT_EQ(st, UsbStatus::Timeout);

    uint32_t n = 0;
    uint8_t out[3] = {1, 2, 3};
    EXPECT_EQ(d->writePipe(0x02, out, 3, &n), UsbStatus::Ok);
    EXPECT_EQ(n, 3u);
    EXPECT_EQ(api->devs[0].written[0x02], (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(d->writePipe(0x81, out, 3, &n), UsbStatus::Error); // an IN pipe

    api->devs[0].gone = true; // unplugged
    readBytes(*d, 0x83, 4096, &st);
    EXPECT_EQ(st, UsbStatus::Error);
    EXPECT_EQ(d->writePipe(0x02, out, 3, &n), UsbStatus::Error);
}

// What transfer results make a device gone: libusb's no-device error at
// once, a run of I/O or pipe errors, on any pipe, read or write; a transfer
// the device answered (done, timed out, overflowed) ends a run; other errors
// say nothing of the device.
TEST(LibusbBackend, NoDeviceOrARunOfIoAndPipeErrorsMakeTheDeviceGone)
{
    const int n = kLibusbGoneAfterFailures;
    struct Case {
        const char *what;
        std::vector<int> results; // in order, alternately a read on 0x83 and a write on 0x02
        bool gone;
    } cases[] = {
        {"no device", {LIBUSB_ERROR_NO_DEVICE}, true},
        {"no device after answers", {0, LIBUSB_ERROR_TIMEOUT, LIBUSB_ERROR_NO_DEVICE}, true},
        {"one I/O error", {LIBUSB_ERROR_IO}, false},
        {"a run of I/O errors one short", std::vector<int>(size_t(n - 1), LIBUSB_ERROR_IO), false},
        {"a run of I/O errors", std::vector<int>(size_t(n), LIBUSB_ERROR_IO), true},
        {"a run of pipe errors", std::vector<int>(size_t(n), LIBUSB_ERROR_PIPE), true},
        {"I/O and pipe errors mixed", {}, true},
        {"a run cut by a time-out", {}, false},
        {"a run cut by an overflow", {}, false},
        {"a run cut by a success", {}, false},
        {"other errors do not cut a run", {}, true},
        {"other errors alone", std::vector<int>(size_t(2 * n), LIBUSB_ERROR_INVALID_PARAM), false},
    };
    auto runOf = [n](int cutAt, int cut) {
        std::vector<int> r;
        for (int i = 0; i < n; ++i) {
            if (i == cutAt)
                r.push_back(cut);
            r.push_back(i % 2 ? LIBUSB_ERROR_PIPE : LIBUSB_ERROR_IO);
        }
        return r;
    };
    cases[6].results = runOf(-1, 0);
    cases[7].results = runOf(n / 2, LIBUSB_ERROR_TIMEOUT);
    cases[8].results = runOf(n / 2, LIBUSB_ERROR_OVERFLOW);
    cases[9].results = runOf(n / 2, 0);
    cases[10].results = runOf(n / 2, LIBUSB_ERROR_NO_MEM);
    for (Case &c : cases) {
        SCOPED_TRACE(c.what);
        auto api = std::make_shared<FakeLibusb>();
        api->add(0x0471, 0x7A41, 1, {1});
        auto be = makeLibusbBackend(api);
        auto d = be->open(be->devicePaths()[0]);
        ASSERT_TRUE(d);
        EXPECT_FALSE(d->gone());
        bool read = true;
        for (int r : c.results) {
            // 0 lets the transfer through: a read finds a packet waiting, a
            // write is taken.
            api->devs[0].results.push_back(r);
            if (r == 0 && read)
                api->send(0, 0x83, seq(10));
            UsbStatus st;
            uint32_t w = 0;
            uint8_t out[1] = {0};
            if (read)
                readBytes(*d, 0x83, 512, &st);
            else
                st = d->writePipe(0x02, out, 1, &w);
            EXPECT_EQ(st == UsbStatus::Ok || st == UsbStatus::Timeout, r == 0 || r == LIBUSB_ERROR_TIMEOUT);
            read = !read;
        }
        EXPECT_EQ(d->gone(), c.gone);
    }
}

TEST(LibusbBackend, RealLibraryBuildsAndEnumeratesWhateverIsThere)
{
    // No adapters here; the call must simply work (or find no USB at all).
    auto be = makeLibusbBackend(makeRealLibusbApi());
    for (const std::string &p : be->devicePaths())
        EXPECT_NE(p.find("#vid_"), std::string::npos);
}

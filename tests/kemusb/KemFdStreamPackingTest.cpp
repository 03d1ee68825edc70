// The simulated CAN FD adapter's receive stream: frames that come while the
// host has not fetched the last stream packet join that packet, as far as it
// has room; a transfer the host has begun to read stays as it was, and the
// host's parser still gets every frame once, in order.

#include "kemusb/src/protocol/KemFdProtocol.h"
#include "kemusb/src/sim/KemSimAdapters.h"
#include "kemusb/src/sim/KemSimModels.h"
#include "platform/PlatSim.h"
#include "platform/PlatTicks.h"

#include <gtest/gtest.h>

#include <cstring>
#include <mutex>

namespace {

using plat::sim::Bytes;
using plat::sim::CanFrame;
using plat::sim::World;

struct Got {
    int channel;
    bool fd;
    uint32_t idWord;
    uint8_t len;
    uint8_t first;
};

struct Collect : kemusb::fd::StreamSink {
    std::vector<Got> frames;
    void classicFrame(int ch, const OCAN_CAN_RX &f) override
    {
        frames.push_back({ch, false, f.IdWord, f.Len, f.Data[0]});
    }
    void fdFrame(int ch, const OCAN_CANFD_RX &f) override { frames.push_back({ch, true, f.IdWord, f.Len, f.Data[0]}); }
};

class KemFdStreamPacking : public ::testing::Test
{
protected:
    std::shared_ptr<plat::ManualTicks> clock = std::make_shared<plat::ManualTicks>(5000);
    plat::ScopedTickSource useClock{clock};
    std::shared_ptr<plat::UsbBackend> backend = plat::sim::makeSimBackend();
    plat::sim::Adapter *a = nullptr;
    kemusb::sim::SimCanFdModel *model = nullptr;
    std::unique_ptr<plat::UsbDevice> dev;
    std::vector<CanFrame> sent;

    void SetUp() override
    {
        kemusb::registerSimModels();
        World::instance().reset();
        a = World::instance().addAdapter("TRNA701");
        ASSERT_TRUE(a);
        model = a->modelAs<kemusb::sim::SimCanFdModel>();
        ASSERT_TRUE(model);
        dev = backend->open(a->path());
        ASSERT_TRUE(dev);
        dev->setPipeTimeout(kemusb::fd::kEpStreamIn, 20);
    }
    void TearDown() override
    {
        dev.reset();
        World::instance().reset();
    }

    // The i-th frame of the test: channels 0-3, every third one CAN FD.
    static CanFrame frame(int i)
    {
        CanFrame f;
        f.channel = i % 4;
        f.fd = i % 3 == 1;
        f.brs = f.fd;
        f.ext = i % 2 == 1;
        f.id = 0x100 + uint32_t(i);
        f.len = f.fd ? 12 : 8;
        for (int k = 0; k < f.len; ++k)
            f.data[k] = uint8_t(i + k);
        return f;
    }
    void arrive(const CanFrame &f)
    {
        std::lock_guard<std::recursive_mutex> g(World::instance().lock());
        model->onBusFrame(f.channel, f);
        sent.push_back(f);
    }
    void arrive(int from, int to)
    {
        for (int i = from; i < to; ++i)
            arrive(frame(i));
    }
    Bytes read(uint32_t len)
    {
        Bytes b(len);
        uint32_t got = 0;
        dev->readPipe(kemusb::fd::kEpStreamIn, b.data(), len, &got);
        b.resize(got);
        return b;
    }
    // One packet of the given frames as the host-side builder makes it.
    Bytes packetOf(int from, int to)
    {
        std::vector<kemusb::fd::StreamFrame> v;
        for (int i = from; i < to; ++i) {
            const CanFrame &f = sent[size_t(i)];
            kemusb::fd::StreamFrame s{};
            s.channel = f.channel;
            s.fd = f.fd;
            s.brs = f.brs;
            s.extended = f.ext;
            s.id = f.id;
            s.TimeStamp = a->stampUs(32); // the clock stands still
            s.Len = f.len;
            std::memcpy(s.Data, f.data, 64);
            v.push_back(s);
        }
        return kemusb::fd::streamPacket(v.data(), int(v.size()));
    }
    void expectParsedInOrder(const std::vector<Got> &got)
    {
        ASSERT_EQ(got.size(), sent.size());
        for (size_t i = 0; i < got.size(); ++i) {
            SCOPED_TRACE(i);
            const CanFrame &f = sent[i];
            EXPECT_EQ(got[i].channel, f.channel);
            EXPECT_EQ(got[i].fd, f.fd);
            EXPECT_EQ(got[i].idWord, f.id | (f.ext ? OCAN_ID_EXTENDED : 0));
            EXPECT_EQ(got[i].len, f.len);
            EXPECT_EQ(got[i].first, f.data[0]);
        }
    }
};

TEST_F(KemFdStreamPacking, UnreadPacketTakesNewFramesAndPartlyReadOneNeverChanges)
{
    kemusb::fd::StreamParser parser;
    Collect sink;

    // Five frames before the host reads: one transfer holding one packet.
    arrive(0, 5);
    EXPECT_EQ(a->pendingTransfers(kemusb::fd::kEpStreamIn), 1u);
    const Bytes first = packetOf(0, 5);
    EXPECT_EQ(a->pendingBytes(kemusb::fd::kEpStreamIn), first.size());

    // The host takes the first 20 bytes; frames coming now start a packet
    // of their own and leave the rest of the first one as it was.
    Bytes head = read(20);
    ASSERT_EQ(head.size(), 20u);
    parser.feed(head.data(), head.size(), sink);
    arrive(5, 8);
    EXPECT_EQ(a->pendingTransfers(kemusb::fd::kEpStreamIn), 2u);
    Bytes rest = read(kemusb::fd::StreamParser::kCapacity);
    head.insert(head.end(), rest.begin(), rest.end());
    EXPECT_EQ(head, first);
    parser.feed(rest.data(), rest.size(), sink);

    // The second packet, still unread, keeps growing.
    arrive(8, 10);
    EXPECT_EQ(a->pendingTransfers(kemusb::fd::kEpStreamIn), 1u);
    Bytes second = read(kemusb::fd::StreamParser::kCapacity);
    EXPECT_EQ(second, packetOf(5, 10));
    parser.feed(second.data(), second.size(), sink);

    // Nothing is waiting: the next frame opens a new transfer.
    arrive(10, 11);
    EXPECT_EQ(a->pendingTransfers(kemusb::fd::kEpStreamIn), 1u);
    Bytes third = read(kemusb::fd::StreamParser::kCapacity);
    EXPECT_EQ(third, packetOf(10, 11));
    parser.feed(third.data(), third.size(), sink);

    EXPECT_EQ(parser.pending(), 0u);
    EXPECT_EQ(parser.skippedBytes(), 0u);
    expectParsedInOrder(sink.frames);
}

TEST_F(KemFdStreamPacking, PacketsStopAtTheLargestTheHostTakes)
{
    // 600 frames while the host reads nothing: every transfer is one packet
    // of at most 4096 bytes, too full for the frame that opened the next.
    arrive(0, 600);
    kemusb::fd::StreamParser parser;
    Collect sink;
    size_t transfers = 0;
    size_t records = 0;
    for (Bytes b = read(kemusb::fd::StreamParser::kCapacity); !b.empty(); b = read(kemusb::fd::StreamParser::kCapacity)) {
        SCOPED_TRACE(transfers);
        ++transfers;
        ASSERT_GE(b.size(), kemusb::fd::kPacketHeader);
        ASSERT_LE(b.size(), kemusb::fd::StreamParser::kCapacity);
        EXPECT_EQ(size_t(b[4] | b[5] << 8) + kemusb::fd::kPacketHeader, b.size());
        const size_t next = records + b[6];
        if (next < sent.size()) {
            const size_t add = sent[next].fd ? kemusb::fd::kFdRecordSize : kemusb::fd::kClassicRecordSize;
            EXPECT_GT(b.size() + add, kemusb::fd::StreamParser::kCapacity);
        }
        records = next;
        parser.feed(b.data(), b.size(), sink);
    }
    EXPECT_EQ(records, sent.size());
    EXPECT_GT(transfers, 1u);
    EXPECT_LT(transfers, 30u);
    EXPECT_EQ(parser.skippedBytes(), 0u);
    expectParsedInOrder(sink.frames);
}

TEST_F(KemFdStreamPacking, FaultsOnTheStreamKeepATransferPerFrame)
{
    {
        std::lock_guard<std::recursive_mutex> g(World::instance().lock());
        a->inFaults(kemusb::fd::kEpStreamIn).garbage = {0x01, 0x02};
    }
    arrive(0, 6);
    EXPECT_EQ(a->pendingTransfers(kemusb::fd::kEpStreamIn), 6u);
    kemusb::fd::StreamParser parser;
    Collect sink;
    for (int i = 0; i < 6; ++i) {
        Bytes b = read(kemusb::fd::StreamParser::kCapacity);
        ASSERT_GE(b.size(), 2u);
        EXPECT_EQ(b[0], 0x01);
        parser.feed(b.data(), b.size(), sink);
    }
    EXPECT_EQ(parser.skippedBytes(), 12u);
    expectParsedInOrder(sink.frames);

    // Once the fault is gone, packing resumes.
    {
        std::lock_guard<std::recursive_mutex> g(World::instance().lock());
        a->inFaults(kemusb::fd::kEpStreamIn) = plat::sim::InFaults();
    }
    arrive(6, 9);
    EXPECT_EQ(a->pendingTransfers(kemusb::fd::kEpStreamIn), 1u);
}

} // namespace

// The simulated CANopen node on its own: frames put on its bus, answers read
// off the bus, checked against CiA 301 and CiA 402.
#include "platform/sim/SimCanopenNode.h"

#include "tests/support/PeerCheck.h"
#include "platform/PlatTicks.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <sstream>
#include <memory>

using namespace plat;
using plat::sim::Bus;
using plat::sim::CanFrame;
using plat::sim::CanopenNode;

namespace {

// Keeps every frame that goes over the bus.
class Recorder final : public sim::BusNode
{
public:
    void onFrame(Bus &, const CanFrame &f) override { frames.push_back(f); }
    std::vector<CanFrame> frames;
};

CanFrame frame(uint32_t id, std::vector<uint8_t> data, bool rtr = false, bool ext = false)
{
    CanFrame f;
    f.id = id;
    f.rtr = rtr;
    f.ext = ext;
    f.len = uint8_t(data.size());
    std::copy(data.begin(), data.end(), f.data);
    return f;
}

std::vector<uint8_t> bytes(const CanFrame &f)
{
    return std::vector<uint8_t>(f.data, f.data + f.len);
}

std::string edsPath()
{
    return peer::sourceDir() + "/tests/canopen/eds/drive.eds";
}

constexpr uint8_t kNode = 5;

} // namespace

class CanopenNodeTest : public ::testing::Test
{
protected:
    std::shared_ptr<ManualTicks> clock = std::make_shared<ManualTicks>(50000, false);
    ScopedTickSource useClock{clock};
    sim::World &world = sim::World::instance();
    Bus *bus = nullptr;
    CanopenNode *node = nullptr;
    Recorder *rec = nullptr;

    void SetUp() override
    {
        world.reset();
        bus = &world.bus("co");
        auto n = std::make_unique<CanopenNode>(kNode);
        std::string error;
        ASSERT_TRUE(n->loadEds(edsPath(), &error)) << error;
        node = static_cast<CanopenNode *>(bus->addNode(std::move(n)));
        rec = static_cast<Recorder *>(bus->addNode(std::make_unique<Recorder>()));
        world.poll(); // boot-up
    }
    void TearDown() override { world.reset(); }

    // Data frames on an identifier since the last clear (remote requests,
    // ours, are left out).
    std::vector<CanFrame> sent(uint32_t id) const
    {
        std::vector<CanFrame> out;
        for (const CanFrame &f : rec->frames)
            if (f.id == id && !f.rtr)
                out.push_back(f);
        return out;
    }

    void put(const CanFrame &f) { bus->inject(f); }

    // Moves the clock in 1 ms steps, letting the node run its timers.
    void advance(uint64_t ms)
    {
        for (uint64_t i = 0; i < ms; ++i) {
            clock->advance(1);
            world.poll();
        }
    }

    void nmt(uint8_t command, uint8_t target = kNode) { put(frame(0, {command, target})); }

    // One SDO request; the answer frame's bytes (empty when none came).
    std::vector<uint8_t> sdo(std::vector<uint8_t> request)
    {
        request.resize(8, 0);
        const size_t before = rec->frames.size();
        put(frame(0x600 + kNode, request));
        for (size_t i = before; i < rec->frames.size(); ++i)
            if (rec->frames[i].id == 0x580u + kNode)
                return bytes(rec->frames[i]);
        return {};
    }

    // Expedited download of size bytes; 0 when confirmed, else the abort code.
    uint32_t download(uint16_t index, uint8_t sub, uint32_t value, int size)
    {
        const uint8_t cmd = uint8_t(0x23 | ((4 - size) << 2));
        const auto r = sdo({cmd, uint8_t(index), uint8_t(index >> 8), sub, uint8_t(value), uint8_t(value >> 8),
                            uint8_t(value >> 16), uint8_t(value >> 24)});
        EXPECT_EQ(r.size(), 8u);
        if (r.size() != 8)
            return 0xFFFFFFFF;
        EXPECT_EQ(r[1] | (r[2] << 8), index);
        EXPECT_EQ(r[3], sub);
        if (r[0] == 0x60)
            return 0;
        EXPECT_EQ(r[0], 0x80);
        return uint32_t(r[4]) | (uint32_t(r[5]) << 8) | (uint32_t(r[6]) << 16) | (uint32_t(r[7]) << 24);
    }

    // Expedited upload; the value, or the abort code with *aborted set.
    uint32_t upload(uint16_t index, uint8_t sub, bool *aborted = nullptr, int *size = nullptr)
    {
        const auto r = sdo({0x40, uint8_t(index), uint8_t(index >> 8), sub});
        EXPECT_EQ(r.size(), 8u);
        if (r.size() != 8)
            return 0;
        const uint32_t v = uint32_t(r[4]) | (uint32_t(r[5]) << 8) | (uint32_t(r[6]) << 16) | (uint32_t(r[7]) << 24);
        if (aborted)
            *aborted = r[0] == 0x80;
        if (size)
            *size = (r[0] & 0x03) == 0x03 ? 4 - ((r[0] >> 2) & 3) : 0;
        return v;
    }

    uint16_t statusword() { return uint16_t(node->value(0x6041, 0)); }
    int32_t position() { return int32_t(node->value(0x6064, 0)); }
    int32_t velocity() { return int32_t(node->value(0x606C, 0)); }
};

TEST_F(CanopenNodeTest, DictionaryFromTheEds)
{
    EXPECT_TRUE(node->has(0x1018, 4));
    EXPECT_FALSE(node->has(0x1018, 5));
    EXPECT_EQ(node->value(0x1018, 1), 0x4D2u);
    EXPECT_EQ(node->value(0x1000, 0), 0x00020192u);
    // $NODEID formulas take this node's id.
    EXPECT_EQ(node->value(0x1800, 1), 0x185u);
    EXPECT_EQ(node->value(0x1401, 1), 0x305u);
    EXPECT_EQ(node->value(0x1802, 1), 0x80000385u);
    EXPECT_EQ(node->value(0x2001, 0), 0x1234u);

    CanopenNode other(1);
    std::string error;
    EXPECT_FALSE(other.loadEds("/no/such/file.eds", &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(other.loadEdsText("[FileInfo]\nFileName=x\n", &error));
    ASSERT_TRUE(other.loadEdsText("[2000]\r\nDataType=0x0003\r\nAccessType=rw\r\nDefaultValue=-2\r\n"
                                  "[2001sub3]\nDataType=0x0005\nDefaultValue=$NODEID+0x10\n",
                                  &error));
    EXPECT_EQ(other.value(0x2000, 0), 0xFFFEu);
    EXPECT_EQ(other.value(0x2001, 3), 0x11u);
}

TEST_F(CanopenNodeTest, BootUpAndNmtStates)
{
    auto boot = sent(0x700 + kNode);
    ASSERT_EQ(boot.size(), 1u);
    EXPECT_EQ(bytes(boot[0]), std::vector<uint8_t>({0x00}));
    EXPECT_EQ(node->nmtState(), CanopenNode::Nmt::PreOperational);

    struct Step {
        uint8_t command;
        uint8_t target;
        CanopenNode::Nmt state;
    } steps[] = {
        {0x01, kNode, CanopenNode::Nmt::Operational},
        {0x02, 0, CanopenNode::Nmt::Stopped},
        {0x01, 6, CanopenNode::Nmt::Stopped}, // another node
        {0x80, kNode, CanopenNode::Nmt::PreOperational},
        {0x01, 0, CanopenNode::Nmt::Operational},
        {0x77, kNode, CanopenNode::Nmt::Operational}, // no such command
    };
    for (const Step &s : steps) {
        nmt(s.command, s.target);
        EXPECT_EQ(node->nmtState(), s.state) << int(s.command) << " " << int(s.target);
    }

    // Reset communication: communication objects to defaults, a new boot-up.
    ASSERT_EQ(download(0x1017, 0, 500, 2), 0u);
    ASSERT_EQ(download(0x2000, 0, 7, 1), 0u);
    rec->frames.clear();
    nmt(0x82);
    EXPECT_EQ(sent(0x700 + kNode).size(), 1u);
    EXPECT_EQ(node->nmtState(), CanopenNode::Nmt::PreOperational);
    EXPECT_EQ(node->value(0x1017, 0), 0u);
    EXPECT_EQ(node->value(0x2000, 0), 7u);
    // Reset node: the application objects too.
    nmt(0x81);
    EXPECT_EQ(node->value(0x2000, 0), 0u);
    EXPECT_EQ(node->nmtState(), CanopenNode::Nmt::PreOperational);
}

TEST_F(CanopenNodeTest, HeartbeatFollows0x1017)
{
    ASSERT_EQ(download(0x1017, 0, 100, 2), 0u);
    rec->frames.clear();
    advance(350);
    auto hb = sent(0x700 + kNode);
    ASSERT_EQ(hb.size(), 3u);
    for (const CanFrame &f : hb)
        EXPECT_EQ(bytes(f), std::vector<uint8_t>({0x7F}));
    nmt(0x01);
    rec->frames.clear();
    advance(100);
    hb = sent(0x700 + kNode);
    ASSERT_EQ(hb.size(), 1u);
    EXPECT_EQ(hb[0].data[0], 0x05);
    nmt(0x02);
    rec->frames.clear();
    advance(100);
    hb = sent(0x700 + kNode);
    ASSERT_EQ(hb.size(), 1u);
    EXPECT_EQ(hb[0].data[0], 0x04);
    // SDO is not served while stopped; back in pre-operational a 0 ends it.
    EXPECT_TRUE(sdo({0x2B, 0x17, 0x10, 0, 0, 0}).empty());
    nmt(0x80);
    ASSERT_EQ(download(0x1017, 0, 0, 2), 0u);
    rec->frames.clear();
    advance(500);
    EXPECT_TRUE(sent(0x700 + kNode).empty());
}

TEST_F(CanopenNodeTest, NodeGuardingTogglesAndLifeGuarding)
{
    std::vector<uint8_t> answers;
    auto guard = [&] {
        rec->frames.clear();
        put(frame(0x700 + kNode, {}, true));
        const auto r = sent(0x700 + kNode);
        ASSERT_EQ(r.size(), 1u);
        EXPECT_EQ(r[0].len, 1);
        answers.push_back(r[0].data[0]);
    };
    guard();
    guard();
    guard();
    nmt(0x01);
    guard();
    EXPECT_EQ(answers, std::vector<uint8_t>({0x7F, 0xFF, 0x7F, 0x85}));

    // Guard time 100 ms x life time factor 3: silence over 300 ms is a life
    // guarding event, reported once.
    ASSERT_EQ(download(0x100C, 0, 100, 2), 0u);
    ASSERT_EQ(download(0x100D, 0, 3, 1), 0u);
    guard();
    rec->frames.clear();
    advance(250);
    EXPECT_TRUE(sent(0x80 + kNode).empty());
    advance(300);
    auto emcy = sent(0x80 + kNode);
    ASSERT_EQ(emcy.size(), 1u);
    EXPECT_EQ(bytes(emcy[0]), std::vector<uint8_t>({0x30, 0x81, 0x11, 0, 0, 0, 0, 0}));
    // A reset of communication starts the toggle again.
    nmt(0x82);
    answers.clear();
    guard();
    EXPECT_EQ(answers, std::vector<uint8_t>({0x7F}));
}

TEST_F(CanopenNodeTest, SdoUploadsAndDownloads)
{
    int size = 0;
    bool aborted = true;
    EXPECT_EQ(upload(0x1018, 1, &aborted, &size), 0x4D2u);
    EXPECT_FALSE(aborted);
    EXPECT_EQ(size, 4);
    EXPECT_EQ(upload(0x2001, 0, &aborted, &size), 0x1234u);
    EXPECT_EQ(size, 2);
    EXPECT_EQ(upload(0x1001, 0, &aborted, &size), 0u);
    EXPECT_EQ(size, 1);
    const auto r = sdo({0x40, 0x01, 0x20, 0x00});
    EXPECT_EQ(r, std::vector<uint8_t>({0x4B, 0x01, 0x20, 0x00, 0x34, 0x12, 0x00, 0x00}));

    EXPECT_EQ(download(0x2002, 0, 0xA1B2C3D4, 4), 0u);
    EXPECT_EQ(upload(0x2002, 0), 0xA1B2C3D4u);
    EXPECT_EQ(download(0x6071, 0, uint32_t(-1000) & 0xFFFF, 2), 0u);
    EXPECT_EQ(node->value(0x6071, 0), 0xFC18u);
    // Size not indicated: the object's own size is taken.
    EXPECT_EQ(sdo({0x22, 0x01, 0x20, 0x00, 0x78, 0x56, 0x34, 0x12})[0], 0x60);
    EXPECT_EQ(node->value(0x2001, 0), 0x5678u);
}

// Switched to answer uploads without size indication, the node sends 0x42
// and four bytes, the value's own bytes first and then stale ones that are
// not 0 (CiA 301 leaves them unspecified; a client must cut them by the
// object's size).
TEST_F(CanopenNodeTest, UploadAnswersWithoutSizeIndication)
{
    node->setUploadSizeIndicated(false);
    EXPECT_EQ(sdo({0x40, 0x01, 0x20, 0x00}), std::vector<uint8_t>({0x42, 0x01, 0x20, 0x00, 0x34, 0x12, 0xA5, 0xA5}));
    EXPECT_EQ(sdo({0x40, 0x01, 0x10, 0x00}), std::vector<uint8_t>({0x42, 0x01, 0x10, 0x00, 0x00, 0xA5, 0xA5, 0xA5}));
    EXPECT_EQ(sdo({0x40, 0x18, 0x10, 0x04}), std::vector<uint8_t>({0x42, 0x18, 0x10, 0x04, 0x78, 0x56, 0x34, 0x12}));
    // Downloads are confirmed as before, and the switch goes back.
    EXPECT_EQ(sdo({0x2B, 0x01, 0x20, 0x00, 0x78, 0x56, 0x00, 0x00})[0], 0x60);
    node->setUploadSizeIndicated(true);
    EXPECT_EQ(sdo({0x40, 0x01, 0x20, 0x00}), std::vector<uint8_t>({0x4B, 0x01, 0x20, 0x00, 0x78, 0x56, 0x00, 0x00}));
}

TEST_F(CanopenNodeTest, SdoAbortCodes)
{
    struct Case {
        const char *what;
        std::vector<uint8_t> request;
        uint32_t code;
    } cases[] = {
        {"no object", {0x40, 0x00, 0x50, 0x00}, 0x06020000},
        {"no sub-index", {0x40, 0x18, 0x10, 0x09}, 0x06090011},
        {"write read-only", {0x2F, 0x01, 0x10, 0x00, 0x01}, 0x06010002},
        {"write const", {0x23, 0x00, 0x10, 0x00, 1, 2, 3, 4}, 0x06010002},
        {"read write-only", {0x40, 0x04, 0x20, 0x00}, 0x06010001},
        {"too short", {0x2B, 0x02, 0x20, 0x00, 1, 2}, 0x06070013},
        {"too long", {0x23, 0x00, 0x20, 0x00, 1, 2, 3, 4}, 0x06070012},
        {"above HighLimit", {0x2B, 0x71, 0x60, 0x00, 0xE9, 0x03}, 0x06090031},
        {"below LowLimit", {0x2B, 0x71, 0x60, 0x00, 0x17, 0xFC}, 0x06090032},
        {"unsupported mode", {0x2F, 0x60, 0x60, 0x00, 0x02}, 0x06090030},
        {"segmented download", {0x21, 0x00, 0x20, 0x00, 0x04}, 0x05040001},
        {"segment upload request", {0x60, 0x00, 0x20, 0x00}, 0x05040001},
        {"block upload", {0xA0, 0x00, 0x20, 0x00}, 0x05040001},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const auto r = sdo(c.request);
        ASSERT_EQ(r.size(), 8u);
        EXPECT_EQ(r[0], 0x80);
        EXPECT_EQ(r[1], c.request[1]);
        EXPECT_EQ(r[2], c.request[2]);
        EXPECT_EQ(r[3], c.request[3]);
        EXPECT_EQ(uint32_t(r[4]) | (uint32_t(r[5]) << 8) | (uint32_t(r[6]) << 16) | (uint32_t(r[7]) << 24), c.code);
        EXPECT_EQ(node->counters().lastAbortCode, c.code);
    }
    // A client abort gets no answer.
    EXPECT_TRUE(sdo({0x80, 0x00, 0x20, 0x00, 0, 0, 0x04, 0x05}).empty());
    EXPECT_EQ(node->value(0x2000, 0), 0u) << "nothing refused was written";
}

// A value longer than four bytes goes segmented (CiA 301): the initiate
// answer 0x41 with the size, then segments of seven bytes with a toggle
// bit, the last with c=1 and n the bytes it does not carry. A client abort
// closes the transfer; a segment request out of turn is refused.
TEST_F(CanopenNodeTest, SegmentedUploadOfLongValues)
{
    // 0x1008 "Sim Drive", nine bytes.
    EXPECT_EQ(sdo({0x40, 0x08, 0x10, 0x00}), std::vector<uint8_t>({0x41, 0x08, 0x10, 0x00, 9, 0, 0, 0}));
    EXPECT_TRUE(node->segmentedUploadOpen());
    EXPECT_EQ(sdo({0x60}), std::vector<uint8_t>({0x00, 'S', 'i', 'm', ' ', 'D', 'r', 'i'}));
    EXPECT_EQ(sdo({0x70}), std::vector<uint8_t>({0x1B, 'v', 'e', 0, 0, 0, 0, 0})) << "t=1, n=5, c=1";
    EXPECT_FALSE(node->segmentedUploadOpen());
    EXPECT_EQ(node->counters().segmentedUploads, 1u);

    // A toggle out of turn ends the transfer with its abort code.
    ASSERT_EQ(sdo({0x40, 0x08, 0x10, 0x00})[0], 0x41);
    const auto r = sdo({0x70});
    ASSERT_EQ(r.size(), 8u);
    EXPECT_EQ(r, std::vector<uint8_t>({0x80, 0x08, 0x10, 0x00, 0x00, 0x00, 0x03, 0x05}));
    EXPECT_FALSE(node->segmentedUploadOpen());

    // The client aborts: no answer, the transfer is closed, the code kept.
    ASSERT_EQ(sdo({0x40, 0x08, 0x10, 0x00})[0], 0x41);
    EXPECT_TRUE(sdo({0x80, 0x08, 0x10, 0x00, 0x00, 0x00, 0x01, 0x06}).empty());
    EXPECT_FALSE(node->segmentedUploadOpen());
    EXPECT_EQ(node->counters().clientAborts, 1u);
    EXPECT_EQ(node->counters().lastClientAbortCode, 0x06010000u);
    EXPECT_EQ(sdo({0x60})[0], 0x80) << "no transfer open";
}

// Shutdown in Operation enabled switches the power stage off (Ready to
// switch on): with shutdown option code 0 at once, the set-point dropped;
// with 1 after braking with the profile deceleration. Neither runs on to the
// target.
TEST_F(CanopenNodeTest, ShutdownWhileMovingFollowsTheShutdownOptionCode)
{
    std::string eds;
    {
        std::ifstream f(edsPath());
        std::stringstream ss;
        ss << f.rdbuf();
        eds = ss.str();
    }
    eds += "\n[605B]\nParameterName=Shutdown option code\nObjectType=0x7\nDataType=0x0003\nAccessType=rw\n"
           "DefaultValue=0\nPDOMapping=0\n";
    for (int option : {-1, 0, 1}) {
        SCOPED_TRACE(option);
        if (option >= 0) {
            ASSERT_TRUE(node->loadEdsText(eds));
            world.poll();
            ASSERT_EQ(download(0x605B, 0, uint32_t(option), 2), 0u);
        } else {
            ASSERT_TRUE(node->loadEds(edsPath())); // no 0x605B: as option 0
            world.poll();
        }
        ASSERT_EQ(download(0x6060, 0, 1, 1), 0u);
        ASSERT_EQ(download(0x6081, 0, 1000, 4), 0u);
        ASSERT_EQ(download(0x6083, 0, 10000, 4), 0u);
        ASSERT_EQ(download(0x6084, 0, 2000, 4), 0u);
        for (uint16_t cw : {0x06, 0x07, 0x0F})
            ASSERT_EQ(download(0x6040, 0, cw, 2), 0u);
        ASSERT_EQ(download(0x607A, 0, 100000, 4), 0u);
        ASSERT_EQ(download(0x6040, 0, 0x1F, 2), 0u);
        advance(500);
        ASSERT_EQ(velocity(), 1000);
        const uint64_t offs = node->counters().powerStageOffs;
        ASSERT_EQ(download(0x6040, 0, 0x06, 2), 0u);
        EXPECT_EQ(node->driveState(), CanopenNode::Drive::ReadyToSwitchOn);
        EXPECT_EQ(statusword() & 0x6F, 0x21);
        EXPECT_EQ(node->counters().powerStageOffs, offs + 1);
        if (option == 1) {
            EXPECT_EQ(velocity(), 1000) << "braking starts from the speed it had";
            advance(250);
            EXPECT_NEAR(velocity(), 500, 15);
            advance(300);
        }
        EXPECT_EQ(velocity(), 0);
        const int32_t stopped = position();
        advance(1000);
        EXPECT_EQ(position(), stopped) << "the move does not go on";
        EXPECT_LT(stopped, 2000);
    }
}

// The PDO configuration is strict, as CiA 301 allows.
TEST_F(CanopenNodeTest, PdoConfigurationRules)
{
    // TPDO1 (0x185) is valid from the EDS defaults.
    EXPECT_EQ(download(0x1A00, 0, 0, 1), 0x08000022u) << "mapping of a valid PDO";
    EXPECT_EQ(download(0x1A00, 1, 0x60410010, 4), 0x08000022u);
    EXPECT_EQ(download(0x1800, 1, 0x186, 4), 0x06090030u) << "COB-ID of a valid PDO";
    EXPECT_EQ(download(0x1800, 3, 10, 2), 0x08000022u) << "inhibit time of a valid PDO";
    EXPECT_EQ(download(0x1800, 6, 1, 1), 0x08000022u) << "SYNC start of a valid PDO";
    EXPECT_EQ(download(0x1800, 5, 100, 2), 0u) << "event timer any time";
    EXPECT_EQ(download(0x1800, 2, 251, 1), 0x06090030u) << "reserved type";
    EXPECT_EQ(download(0x1800, 1, 0x185, 4), 0u) << "the same COB-ID again";

    // Stop it: now it may be configured.
    EXPECT_EQ(download(0x1800, 1, 0x80000185, 4), 0u);
    EXPECT_EQ(download(0x1800, 3, 10, 2), 0u);
    EXPECT_EQ(download(0x1A00, 1, 0x60410010, 4), 0u);
    EXPECT_EQ(download(0x1A00, 2, 0x60640020, 4), 0u);
    EXPECT_EQ(download(0x1A00, 3, 0x10000020, 4), 0x06040041u) << "not mappable";
    EXPECT_EQ(download(0x1A00, 3, 0x50000008, 4), 0x06020000u) << "no such object";
    EXPECT_EQ(download(0x1A00, 3, 0x10180508, 4), 0x06090011u) << "no such sub-index";
    EXPECT_EQ(download(0x1A00, 3, 0x20000010, 4), 0x06040043u) << "longer than the object";
    EXPECT_EQ(download(0x1A00, 3, 0x00050008, 4), 0x06040041u) << "dummy entry in a TPDO";
    EXPECT_EQ(download(0x1A00, 3, 0x60640020, 4), 0u);
    EXPECT_EQ(download(0x1A00, 0, 3, 1), 0x06040042u) << "80 bits";
    EXPECT_EQ(download(0x1A00, 0, 9, 1), 0x06090031u);
    EXPECT_EQ(download(0x1A00, 0, 2, 1), 0u);
    EXPECT_EQ(download(0x1A00, 1, 0x60410010, 4), 0x08000022u) << "entries only while the count is 0";
    EXPECT_EQ(download(0x1800, 1, 0x605, 4), 0x06090030u) << "an SDO identifier";
    EXPECT_EQ(download(0x1800, 1, 0x000, 4), 0x06090030u);
    EXPECT_EQ(download(0x1800, 1, 0x185, 4), 0u);

    // RPDOs: only writable objects; dummy entries allowed; no remote types.
    EXPECT_EQ(download(0x1400, 1, 0x80000205, 4), 0u);
    EXPECT_EQ(download(0x1600, 1, 0x60410010, 4), 0x06040041u) << "read-only object in an RPDO";
    EXPECT_EQ(download(0x1600, 1, 0x00050008, 4), 0u);
    EXPECT_EQ(download(0x1400, 2, 252, 1), 0x06090030u);
    EXPECT_EQ(download(0x1400, 2, 254, 1), 0u);
}

namespace {
// Stops a PDO, maps the entries and starts it, the way CiA 301 asks.
void configure(std::function<uint32_t(uint16_t, uint8_t, uint32_t, int)> dl, bool rx, int n, uint32_t cob, uint8_t type,
               std::vector<uint32_t> entries, uint16_t inhibit = 0, uint16_t event = 0, uint8_t syncStart = 0)
{
    const uint16_t comm = uint16_t((rx ? 0x1400 : 0x1800) + n);
    const uint16_t map = uint16_t((rx ? 0x1600 : 0x1A00) + n);
    ASSERT_EQ(dl(comm, 1, cob | 0x80000000u, 4), 0u);
    ASSERT_EQ(dl(comm, 2, type, 1), 0u);
    ASSERT_EQ(dl(comm, 3, inhibit, 2), 0u);
    ASSERT_EQ(dl(comm, 5, event, 2), 0u);
    if (!rx) {
        ASSERT_EQ(dl(comm, 6, syncStart, 1), 0u);
    }
    ASSERT_EQ(dl(map, 0, 0, 1), 0u);
    for (size_t k = 0; k < entries.size(); ++k)
        ASSERT_EQ(dl(map, uint8_t(k + 1), entries[k], 4), 0u);
    ASSERT_EQ(dl(map, 0, uint32_t(entries.size()), 1), 0u);
    ASSERT_EQ(dl(comm, 1, cob, 4), 0u);
}
} // namespace

TEST_F(CanopenNodeTest, SyncDrivenTpdos)
{
    auto dl = [this](uint16_t i, uint8_t s, uint32_t v, int n) { return download(i, s, v, n); };
    configure(dl, false, 0, 0x185, 1, {0x60410010, 0x20020020});
    configure(dl, false, 1, 0x285, 3, {0x20000008});
    configure(dl, false, 2, 0x385, 2, {0x20000008}, 0, 0, 3);
    node->write(0x2002, 0, 0x11223344);
    node->write(0x2000, 0, 0x7E);
    rec->frames.clear();
    put(frame(0x80, {}));
    EXPECT_TRUE(sent(0x185).empty()) << "no PDOs in pre-operational";
    nmt(0x01);
    rec->frames.clear();
    for (uint8_t counter = 1; counter <= 6; ++counter)
        put(frame(0x80, {counter}));
    auto t1 = sent(0x185);
    ASSERT_EQ(t1.size(), 6u);
    EXPECT_EQ(bytes(t1[0]), std::vector<uint8_t>({0x40, 0x02, 0x44, 0x33, 0x22, 0x11}));
    EXPECT_EQ(sent(0x285).size(), 2u) << "every third SYNC";
    // SYNC start value 3: counting starts at the SYNC with counter 3, so
    // with type 2 the PDO goes out at counters 4 and 6.
    EXPECT_EQ(sent(0x385).size(), 2u);
    // Acyclic synchronous (type 0): only after a change.
    configure(dl, false, 3, 0x485, 0, {0x20000008});
    rec->frames.clear();
    put(frame(0x80, {}));
    put(frame(0x80, {}));
    EXPECT_EQ(sent(0x485).size(), 1u);
    node->write(0x2000, 0, 0x01);
    put(frame(0x80, {}));
    auto t4 = sent(0x485);
    ASSERT_EQ(t4.size(), 2u);
    EXPECT_EQ(bytes(t4[1]), std::vector<uint8_t>({0x01}));
}

TEST_F(CanopenNodeTest, EventDrivenTpdosWithInhibitAndTimer)
{
    auto dl = [this](uint16_t i, uint8_t s, uint32_t v, int n) { return download(i, s, v, n); };
    // Inhibit 100 x 100 us = 10 ms.
    configure(dl, false, 0, 0x185, 255, {0x20000008, 0x20010010}, 100, 0);
    nmt(0x01);
    advance(1);
    auto t = sent(0x185);
    ASSERT_EQ(t.size(), 1u) << "sent once on entering operational";
    EXPECT_EQ(bytes(t[0]), std::vector<uint8_t>({0x00, 0x34, 0x12}));
    advance(20);
    rec->frames.clear();
    node->write(0x2000, 0, 5);
    advance(1);
    ASSERT_EQ(sent(0x185).size(), 1u);
    node->write(0x2000, 0, 6);
    advance(5);
    EXPECT_EQ(sent(0x185).size(), 1u) << "held back by the inhibit time";
    advance(6);
    t = sent(0x185);
    ASSERT_EQ(t.size(), 2u);
    EXPECT_EQ(t[1].data[0], 6);
    // The event timer sends without a change.
    nmt(0x80);
    configure(dl, false, 0, 0x185, 254, {0x20000008}, 0, 50);
    nmt(0x01);
    rec->frames.clear();
    advance(201);
    EXPECT_EQ(sent(0x185).size(), 5u); // at once, then every 50 ms
    // A remote request is answered for type 253.
    nmt(0x80);
    configure(dl, false, 1, 0x285, 253, {0x20010010});
    nmt(0x01);
    rec->frames.clear();
    put(frame(0x285, {}, true));
    t = sent(0x285);
    ASSERT_EQ(t.size(), 1u);
    EXPECT_EQ(bytes(t[0]), std::vector<uint8_t>({0x34, 0x12}));
}

TEST_F(CanopenNodeTest, RpdosFollowTheirMapping)
{
    auto dl = [this](uint16_t i, uint8_t s, uint32_t v, int n) { return download(i, s, v, n); };
    configure(dl, true, 0, 0x205, 255, {0x60400010, 0x00050008, 0x60FF0020});
    configure(dl, true, 1, 0x305, 1, {0x20000008});
    put(frame(0x205, {0x06, 0x00, 0xAA, 0xE8, 0x03, 0x00, 0x00}));
    EXPECT_EQ(node->value(0x6040, 0), 0u) << "no PDOs before operational";
    nmt(0x01);
    put(frame(0x205, {0x06, 0x00, 0xAA, 0xE8, 0x03, 0x00, 0x00}));
    EXPECT_EQ(node->value(0x6040, 0), 6u);
    EXPECT_EQ(node->value(0x60FF, 0), 1000u);
    EXPECT_EQ(node->driveState(), CanopenNode::Drive::ReadyToSwitchOn);
    // A synchronous RPDO takes effect at the next SYNC.
    put(frame(0x305, {0x42}));
    EXPECT_EQ(node->value(0x2000, 0), 0u);
    put(frame(0x80, {}));
    EXPECT_EQ(node->value(0x2000, 0), 0x42u);
    // Too short for its mapping: not processed, EMCY 0x8210.
    rec->frames.clear();
    put(frame(0x205, {0x07, 0x00}));
    EXPECT_EQ(node->value(0x6040, 0), 6u);
    auto e = sent(0x80 + kNode);
    ASSERT_EQ(e.size(), 1u);
    EXPECT_EQ(e[0].data[0], 0x10);
    EXPECT_EQ(e[0].data[1], 0x82);
}

TEST_F(CanopenNodeTest, EmcyOnDemand)
{
    const uint8_t msef[5] = {1, 2, 3, 4, 5};
    rec->frames.clear();
    EXPECT_TRUE(node->emcy(*bus, 0x2310, 0x03, msef));
    auto e = sent(0x85);
    ASSERT_EQ(e.size(), 1u);
    EXPECT_EQ(bytes(e[0]), std::vector<uint8_t>({0x10, 0x23, 0x03, 1, 2, 3, 4, 5}));
    EXPECT_EQ(node->value(0x1001, 0), 3u);
    node->emcyRequest(0x5000, 0x81, msef);
    advance(1);
    EXPECT_EQ(sent(0x85).size(), 2u);
    nmt(0x02);
    EXPECT_FALSE(node->emcy(*bus, 0x2310, 0x03, msef)) << "no EMCY while stopped";
}

TEST_F(CanopenNodeTest, Cia402StateMachine)
{
    EXPECT_EQ(node->driveState(), CanopenNode::Drive::SwitchOnDisabled);
    EXPECT_EQ(statusword(), 0x0240);
    struct Step {
        uint16_t cw;
        CanopenNode::Drive state;
        uint16_t sw;
    } steps[] = {
        {0x0007, CanopenNode::Drive::SwitchOnDisabled, 0x0240}, // switch on needs shutdown first
        {0x0006, CanopenNode::Drive::ReadyToSwitchOn, 0x0231},
        {0x0007, CanopenNode::Drive::SwitchedOn, 0x0233},
        {0x000F, CanopenNode::Drive::OperationEnabled, 0x0237},
        {0x0007, CanopenNode::Drive::SwitchedOn, 0x0233},
        {0x000F, CanopenNode::Drive::OperationEnabled, 0x0237},
        {0x0006, CanopenNode::Drive::ReadyToSwitchOn, 0x0231},
        {0x000F, CanopenNode::Drive::OperationEnabled, 0x0237}, // switch on + enable at once
        {0x0002, CanopenNode::Drive::QuickStopActive, 0x0217},
        {0x000F, CanopenNode::Drive::OperationEnabled, 0x0237},
        {0x0000, CanopenNode::Drive::SwitchOnDisabled, 0x0240},
        {0x018F, CanopenNode::Drive::SwitchOnDisabled, 0x0240}, // fault reset outside Fault
    };
    for (const Step &s : steps) {
        ASSERT_EQ(download(0x6040, 0, s.cw, 2), 0u);
        EXPECT_EQ(node->driveState(), s.state) << std::hex << s.cw;
        EXPECT_EQ(statusword(), s.sw) << std::hex << s.cw;
    }
    // Fault, EMCY, and the fault reset on a rising bit 7.
    node->driveFaultRequest(0x7300);
    rec->frames.clear();
    advance(1);
    EXPECT_EQ(statusword(), 0x0208);
    auto e = sent(0x85);
    ASSERT_EQ(e.size(), 1u);
    EXPECT_EQ(e[0].data[0], 0x00);
    EXPECT_EQ(e[0].data[1], 0x73);
    EXPECT_EQ(node->value(0x603F, 0), 0x7300u);
    ASSERT_EQ(download(0x6040, 0, 0x0006, 2), 0u);
    EXPECT_EQ(node->driveState(), CanopenNode::Drive::Fault);
    ASSERT_EQ(download(0x6040, 0, 0x0086, 2), 0u);
    EXPECT_EQ(node->driveState(), CanopenNode::Drive::SwitchOnDisabled);
    EXPECT_EQ(node->value(0x603F, 0), 0u);
}

TEST_F(CanopenNodeTest, ProfileVelocity)
{
    ASSERT_EQ(download(0x6060, 0, 3, 1), 0u);
    EXPECT_EQ(node->value(0x6061, 0), 3u);
    ASSERT_EQ(download(0x6083, 0, 1000, 4), 0u);
    ASSERT_EQ(download(0x6084, 0, 2000, 4), 0u);
    ASSERT_EQ(download(0x60FF, 0, 1000, 4), 0u);
    for (uint16_t cw : {0x06, 0x07, 0x10F})
        ASSERT_EQ(download(0x6040, 0, cw, 2), 0u);
    advance(200);
    EXPECT_EQ(velocity(), 0) << "halted";
    EXPECT_TRUE(statusword() & 0x0400);
    ASSERT_EQ(download(0x6040, 0, 0x0F, 2), 0u);
    EXPECT_FALSE(statusword() & 0x0400);
    advance(500);
    EXPECT_NEAR(velocity(), 500, 15);
    advance(600);
    EXPECT_EQ(velocity(), 1000);
    EXPECT_TRUE(statusword() & 0x0400) << "target velocity reached";
    // 1 s ramp up (500 units), then 0.1 s at 1000.
    EXPECT_NEAR(position(), 600, 20);
    // Halt: down at the deceleration, 0.5 s.
    ASSERT_EQ(download(0x6040, 0, 0x10F, 2), 0u);
    advance(250);
    EXPECT_NEAR(velocity(), 500, 15);
    advance(300);
    EXPECT_EQ(velocity(), 0);
    const int32_t stopped = position();
    advance(100);
    EXPECT_EQ(position(), stopped);
    // Reverse.
    ASSERT_EQ(download(0x60FF, 0, uint32_t(-500), 4), 0u);
    ASSERT_EQ(download(0x6040, 0, 0x0F, 2), 0u);
    advance(1000);
    EXPECT_EQ(velocity(), -500);
    EXPECT_LT(position(), stopped);
}

TEST_F(CanopenNodeTest, ProfilePosition)
{
    ASSERT_EQ(download(0x6060, 0, 1, 1), 0u);
    ASSERT_EQ(download(0x6081, 0, 1000, 4), 0u);
    ASSERT_EQ(download(0x6083, 0, 2000, 4), 0u);
    ASSERT_EQ(download(0x6084, 0, 2000, 4), 0u);
    for (uint16_t cw : {0x06, 0x07, 0x0F})
        ASSERT_EQ(download(0x6040, 0, cw, 2), 0u);
    ASSERT_EQ(download(0x607A, 0, 5000, 4), 0u);
    advance(100);
    EXPECT_EQ(position(), 0) << "no set-point yet";
    ASSERT_EQ(download(0x6040, 0, 0x1F, 2), 0u);
    EXPECT_TRUE(statusword() & 0x1000) << "set-point acknowledged";
    EXPECT_FALSE(statusword() & 0x0400);
    int32_t last = 0;
    for (int i = 0; i < 20; ++i) {
        advance(100);
        EXPECT_GE(position(), last) << "moves toward the target";
        last = position();
    }
    EXPECT_GT(last, 1000);
    advance(5000);
    EXPECT_EQ(position(), 5000);
    EXPECT_EQ(velocity(), 0);
    EXPECT_TRUE(statusword() & 0x0400) << "target reached";
    ASSERT_EQ(download(0x6040, 0, 0x0F, 2), 0u);
    EXPECT_FALSE(statusword() & 0x1000);
    // Relative move of -1500.
    ASSERT_EQ(download(0x607A, 0, uint32_t(-1500), 4), 0u);
    ASSERT_EQ(download(0x6040, 0, 0x5F, 2), 0u);
    advance(5000);
    EXPECT_EQ(position(), 3500);
    // Halt in the middle of a move holds the position.
    ASSERT_EQ(download(0x6040, 0, 0x4F, 2), 0u);
    ASSERT_EQ(download(0x607A, 0, 10000, 4), 0u);
    ASSERT_EQ(download(0x6040, 0, 0x1F, 2), 0u);
    advance(1000);
    ASSERT_EQ(download(0x6040, 0, 0x11F, 2), 0u);
    advance(1000);
    const int32_t held = position();
    EXPECT_GT(held, 3500);
    EXPECT_LT(held, 10000);
    advance(500);
    EXPECT_EQ(position(), held);
    ASSERT_EQ(download(0x6040, 0, 0x1F, 2), 0u);
    advance(10000);
    EXPECT_EQ(position(), 10000);
}

TEST_F(CanopenNodeTest, ProfileTorqueAndQuickStop)
{
    ASSERT_EQ(download(0x6060, 0, 4, 1), 0u);
    ASSERT_EQ(download(0x6087, 0, 100, 4), 0u);
    ASSERT_EQ(download(0x6071, 0, 300, 2), 0u);
    for (uint16_t cw : {0x06, 0x07, 0x0F})
        ASSERT_EQ(download(0x6040, 0, cw, 2), 0u);
    advance(1000);
    EXPECT_NEAR(int16_t(node->value(0x6077, 0)), 100, 2);
    advance(2100);
    EXPECT_EQ(int16_t(node->value(0x6077, 0)), 300);
    EXPECT_TRUE(statusword() & 0x0400);
    // Quick stop in velocity mode: ramps down, then switch on disabled.
    ASSERT_EQ(download(0x6060, 0, 3, 1), 0u);
    ASSERT_EQ(download(0x60FF, 0, 1000, 4), 0u);
    ASSERT_EQ(download(0x6083, 0, 10000, 4), 0u);
    ASSERT_EQ(download(0x6084, 0, 1000, 4), 0u);
    advance(200);
    ASSERT_EQ(velocity(), 1000);
    ASSERT_EQ(download(0x6040, 0, 0x02, 2), 0u);
    EXPECT_EQ(node->driveState(), CanopenNode::Drive::QuickStopActive);
    advance(500);
    EXPECT_EQ(node->driveState(), CanopenNode::Drive::QuickStopActive);
    advance(600);
    EXPECT_EQ(node->driveState(), CanopenNode::Drive::SwitchOnDisabled);
    EXPECT_EQ(velocity(), 0);
}

// The statusword mapped into an event-driven TPDO reports each drive state.
TEST_F(CanopenNodeTest, StatuswordTpdoFollowsTheDrive)
{
    auto dl = [this](uint16_t i, uint8_t s, uint32_t v, int n) { return download(i, s, v, n); };
    configure(dl, false, 0, 0x185, 255, {0x60410010});
    nmt(0x01);
    advance(1);
    rec->frames.clear();
    for (uint16_t cw : {0x06, 0x07, 0x0F})
        ASSERT_EQ(download(0x6040, 0, cw, 2), 0u);
    advance(1);
    std::vector<uint16_t> seen;
    for (const CanFrame &f : sent(0x185))
        seen.push_back(uint16_t(f.data[0] | (f.data[1] << 8)));
    EXPECT_EQ(seen, std::vector<uint16_t>({0x0231, 0x0233, 0x0237}));
}

// The "canopen" statement of the simulator configuration.
TEST(CanopenNodeConfigTest, ConfigStatement)
{
    auto clock = std::make_shared<ManualTicks>(1000, false);
    ScopedTickSource useClock(clock);
    sim::World &world = sim::World::instance();
    std::string error;
    ASSERT_TRUE(world.loadConfig("bus co nominal=500000\ncanopen co node=5 eds=" + edsPath() +
                                     "\ncanopen co node=7 eds=" + edsPath() + "\n",
                                 &error))
        << error;
    CanopenNode *five = sim::findCanopenNode(world, "co", 5);
    CanopenNode *seven = sim::findCanopenNode(world, "co", 7);
    ASSERT_NE(five, nullptr);
    ASSERT_NE(seven, nullptr);
    EXPECT_EQ(seven->value(0x1800, 1), 0x187u);
    EXPECT_EQ(sim::findCanopenNode(world, "co", 6), nullptr);
    EXPECT_EQ(sim::findCanopenNode(world, "other", 5), nullptr);
    world.poll();
    EXPECT_EQ(five->nmtState(), CanopenNode::Nmt::PreOperational);

    for (const std::string &bad : {std::string("canopen co node=0 eds=") + edsPath(),
                                   std::string("canopen co node=128 eds=") + edsPath(),
                                   std::string("canopen co eds=") + edsPath(),
                                   std::string("canopen co node=5"),
                                   std::string("canopen co node=5 eds=/no/such.eds")}) {
        error.clear();
        EXPECT_FALSE(world.loadConfig(bad, &error)) << bad;
        EXPECT_NE(error.find("canopen"), std::string::npos) << error;
    }
    world.reset();
}

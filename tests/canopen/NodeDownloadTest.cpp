// Our CANopen frames against the simulated node (an independent CiA 301 /
// CiA 402 implementation): the PDO download and upload lists run as the
// request thread runs them, one expedited SDO at a time, and the CiA 402
// sequences drive its state machine.
#include "canopen/QUserCANopenFrame.h"
#include "canopen/QUserCia402.h"
#include "canopen/QUserEdsParser.h"
#include "platform/PlatTicks.h"
#include "platform/sim/SimCanopenNode.h"

#include "tests/canopen/CanopenTestUtil.h"

#include <gtest/gtest.h>

using plat::sim::CanFrame;
using plat::sim::CanopenNode;

namespace {

class Recorder final : public plat::sim::BusNode
{
public:
    void onFrame(plat::sim::Bus &, const CanFrame &f) override { frames.push_back(f); }
    std::vector<CanFrame> frames;
};

constexpr int kNode = 5;

CanFrame toFrame(const QUserCanMsg &m)
{
    CanFrame f;
    f.id = uint32_t(m.getId());
    f.ext = m.extended;
    f.rtr = m.remote;
    f.len = uint8_t(m.getLen());
    const QByteArray data = QByteArray::fromHex(m.dataText.toLatin1());
    std::copy(data.begin(), data.begin() + std::min<int>(data.size(), f.len), f.data);
    return f;
}

QUserCanMsg fromFrame(const CanFrame &f)
{
    QString data;
    for (int i = 0; i < f.len; ++i)
        data += QString::asprintf("%02X", f.data[i]);
    QUserCanMsg m(QString::asprintf("%08X ", f.id), f.rtr, f.ext, QString::number(f.len), data);
    m.direction = 0;
    return m;
}

struct ListResult
{
    bool ok = true;
    int failedAt = -1;
    uint32_t abortCode = 0;
};

} // namespace

class NodeDownloadTest : public ::testing::Test
{
protected:
    std::shared_ptr<plat::ManualTicks> clock = std::make_shared<plat::ManualTicks>(1000, false);
    plat::ScopedTickSource useClock{clock};
    plat::sim::World &world = plat::sim::World::instance();
    plat::sim::Bus *bus = nullptr;
    CanopenNode *node = nullptr;
    Recorder *rec = nullptr;
    QUserEdsParser parser;
    QUserCANopenFrame codec;

    void SetUp() override
    {
        world.reset();
        bus = &world.bus("co");
        auto n = std::make_unique<CanopenNode>(kNode);
        ASSERT_TRUE(n->loadEds(cotest::edsPath("drive.eds").toStdString()));
        node = static_cast<CanopenNode *>(bus->addNode(std::move(n)));
        rec = static_cast<Recorder *>(bus->addNode(std::make_unique<Recorder>()));
        world.poll();
        ASSERT_TRUE(parser.loadFile(cotest::edsPath("drive.eds")));
    }
    void TearDown() override { world.reset(); }

    void put(const QUserCanMsg &m) { bus->inject(toFrame(m)); }

    void advance(uint64_t ms)
    {
        for (uint64_t i = 0; i < ms; ++i) {
            clock->advance(1);
            world.poll();
        }
    }

    // Runs an SDO transfer list: each item one request, its answer matched
    // by the response parser; an abort ends the list with its code.
    ListResult run(QVector<QUserDictObj> &list)
    {
        ListResult r;
        for (int i = 0; i < list.size(); ++i) {
            QUserCanMsg request;
            if (!codec.sdoDictObjMsgCreat(request, kNode, list[i])) {
                r.ok = false;
                r.failedAt = i;
                return r;
            }
            const size_t before = rec->frames.size();
            put(request);
            bool answered = false;
            for (size_t k = before; k < rec->frames.size() && !answered; ++k) {
                QUserCanMsg answer = fromFrame(rec->frames[k]);
                uint8_t node = 0;
                bool isWrite = false;
                uint16_t index = 0, sub = 0;
                uint32_t len = 0, value = 0, code = 0;
                if (codec.sdoAbortParse(answer, node, index, sub, code)) {
                    r.ok = false;
                    r.failedAt = i;
                    r.abortCode = code;
                    return r;
                }
                if (codec.sdoResponseParse(answer, node, isWrite, index, sub, len, value) && node == kNode
                    && index == list[i].index && sub == list[i].subIndex) {
                    answered = true;
                    if (!isWrite)
                        list[i].curValue = value;
                }
            }
            if (!answered) {
                r.ok = false;
                r.failedAt = i;
                return r;
            }
        }
        return r;
    }

    QUserDictObj mapped(uint32_t index, uint32_t sub = 0)
    {
        QUserDictObj o;
        EXPECT_TRUE(parser.objGet(index, sub, o));
        return o;
    }

    void configureSample()
    {
        QUserDictObj &t1 = parser.txPdoList[0];
        t1.cobID = 0x190;
        t1.pdoEnable = true;
        t1.transmissionType = 1;
        t1.childList << mapped(0x6041) << mapped(0x6064);
        QUserDictObj &t2 = parser.txPdoList[1];
        t2.cobID = 0x290;
        t2.pdoEnable = true;
        t2.transmissionType = 255;
        t2.inhibitTime = 0;
        t2.childList << mapped(0x2000) << mapped(0x2001);
        QUserDictObj &r1 = parser.rxPdoList[0];
        r1.cobID = 0x210;
        r1.pdoEnable = true;
        r1.transmissionType = 255;
        r1.childList << mapped(0x6040) << mapped(0x60FF);
    }

    std::vector<CanFrame> frames(uint32_t id) const
    {
        std::vector<CanFrame> out;
        for (const CanFrame &f : rec->frames)
            if (f.id == id && !f.rtr)
                out.push_back(f);
        return out;
    }
};

TEST_F(NodeDownloadTest, DownloadConfiguresTheNode)
{
    configureSample();
    QUserCanMsg preOp;
    ASSERT_TRUE(codec.nmtMsgCreat(preOp, kNode, 2));
    put(preOp);
    QVector<QUserDictObj> list;
    QStringList notes;
    ASSERT_TRUE(parser.pdoDownloadListGet(list, &notes));
    EXPECT_TRUE(notes.isEmpty());
    const ListResult r = run(list);
    ASSERT_TRUE(r.ok) << "item " << r.failedAt << " of " << list.size() << " aborted with " << std::hex
                      << r.abortCode;
    EXPECT_EQ(node->counters().sdoAborts, 0u);

    EXPECT_EQ(node->value(0x1800, 1), 0x190u);
    EXPECT_EQ(node->value(0x1800, 2), 1u);
    EXPECT_EQ(node->value(0x1A00, 0), 2u);
    EXPECT_EQ(node->value(0x1A00, 1), 0x60410010u);
    EXPECT_EQ(node->value(0x1A00, 2), 0x60640020u);
    EXPECT_EQ(node->value(0x1400, 1), 0x210u);
    EXPECT_EQ(node->value(0x1600, 0), 2u);
    for (uint16_t comm : {0x1401, 0x1402, 0x1403, 0x1802, 0x1803})
        EXPECT_TRUE(node->value(comm, 1) & 0x80000000u) << std::hex << comm << " stays invalid";
    // TPDO2 of the defaults (0x285) is switched off too: it was not enabled.
    EXPECT_TRUE(node->value(0x1801, 1) != 0x285u);

    // The configuration works: RPDO1 drives the controlword, SYNC brings
    // TPDO1 with the statusword and the position, TPDO2 follows 0x2000.
    QUserCanMsg start;
    ASSERT_TRUE(codec.nmtMsgCreat(start, kNode, 0));
    put(start);
    advance(1);
    QString data = "0600" "00000000";
    QUserCanMsg rpdo;
    ASSERT_TRUE(codec.pdoMsgCreat(rpdo, 0x10, 1, data));
    put(rpdo);
    EXPECT_EQ(node->driveState(), CanopenNode::Drive::ReadyToSwitchOn);
    rec->frames.clear();
    QUserCanMsg sync;
    ASSERT_TRUE(codec.syncMsgCreat(sync));
    put(sync);
    auto t1 = frames(0x190);
    ASSERT_EQ(t1.size(), 1u);
    EXPECT_EQ(t1[0].len, 6);
    EXPECT_EQ(t1[0].data[0] | (t1[0].data[1] << 8), 0x0231);
    QString text;
    ASSERT_TRUE(codec.msgAnalysis(fromFrame(t1[0]), text));
    EXPECT_EQ(text, QString::fromUtf8("TPDO1->节点ID:0x10 数据:[31 02 00 00 00 00]"));
    node->write(0x2000, 0, 0x5A);
    advance(1);
    auto t2 = frames(0x290);
    ASSERT_FALSE(t2.empty());
    EXPECT_EQ(t2.back().len, 3);
    EXPECT_EQ(t2.back().data[0], 0x5A);
}

TEST_F(NodeDownloadTest, UploadRebuildsWhatWasDownloaded)
{
    configureSample();
    QVector<QUserDictObj> down;
    parser.pdoDownloadListGet(down);
    ASSERT_TRUE(run(down).ok);

    QUserEdsParser fresh;
    ASSERT_TRUE(fresh.loadFile(cotest::edsPath("drive.eds")));
    QVector<QUserDictObj> up;
    fresh.pdoUploadListGet(up);
    const ListResult r = run(up);
    ASSERT_TRUE(r.ok) << r.failedAt << " " << std::hex << r.abortCode;
    ASSERT_TRUE(fresh.pdoListFromUpload(up));
    for (int n = 0; n < 4; ++n) {
        for (bool rx : {true, false}) {
            const QUserDictObj &want = rx ? parser.rxPdoList[n] : parser.txPdoList[n];
            const QUserDictObj &got = rx ? fresh.rxPdoList[n] : fresh.txPdoList[n];
            SCOPED_TRACE(got.ParameterName.toStdString());
            EXPECT_EQ(got.pdoEnable, want.pdoEnable);
            if (want.pdoEnable) {
                EXPECT_EQ(got.cobID, want.cobID);
            }
            EXPECT_EQ(got.transmissionType, want.transmissionType);
            ASSERT_EQ(got.childList.size(), want.childList.size());
            for (int k = 0; k < got.childList.size(); ++k) {
                EXPECT_EQ(got.childList[k].index, want.childList[k].index);
                EXPECT_EQ(got.childList[k].ParameterName, want.childList[k].ParameterName);
                EXPECT_EQ(got.childList[k].mapBits(), want.childList[k].mapBits());
            }
        }
    }
}

// The order of the first design (parameters of every PDO first, COB-ID
// written as it is to run, mapping entries while the PDO is valid) fails on
// a device that keeps CiA 301 strictly; the per-PDO order does not.
TEST_F(NodeDownloadTest, ValidPdosMustBeStoppedBeforeTheyChange)
{
    configureSample();
    QVector<QUserDictObj> naive;
    auto item = [this, &naive](uint32_t index, uint32_t sub, uint32_t value) {
        QUserDictObj o;
        ASSERT_TRUE(parser.dictObjGet(index, sub, o));
        o.isRead = false;
        o.curValue = value;
        naive.append(o);
    };
    // TPDO1 is valid in the device (0x185 by its defaults).
    item(0x1800, 1, 0x190);
    item(0x1800, 2, 1);
    item(0x1A00, 0, 0);
    item(0x1A00, 1, 0x60410010);
    item(0x1A00, 2, 0x60640020);
    item(0x1A00, 0, 2);
    ListResult r = run(naive);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.failedAt, 0);
    EXPECT_EQ(r.abortCode, 0x06090030u);
    EXPECT_EQ(QUserCANopenFrame::sdoAbortText(r.abortCode), QString::fromUtf8("参数值无效"));
    // Keeping the COB-ID, the mapping write is refused instead.
    naive.removeFirst();
    naive.first().curValue = 1;
    r = run(naive);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.failedAt, 1);
    EXPECT_EQ(r.abortCode, 0x08000022u);

    QVector<QUserDictObj> list;
    parser.pdoDownloadListGet(list);
    EXPECT_TRUE(run(list).ok);
}

TEST_F(NodeDownloadTest, UnusableCobIdIsLeftInvalidWithoutAborts)
{
    parser.txPdoList[0].cobID = 0x605;
    parser.txPdoList[0].pdoEnable = true;
    parser.txPdoList[0].transmissionType = 1;
    parser.txPdoList[0].childList << mapped(0x6041);
    // A string cannot be mapped: the mapping ends before it.
    parser.txPdoList[1].cobID = 0x291;
    parser.txPdoList[1].pdoEnable = true;
    parser.txPdoList[1].childList << mapped(0x2000) << mapped(0x1008) << mapped(0x2001);
    QVector<QUserDictObj> list;
    QStringList notes;
    parser.pdoDownloadListGet(list, &notes);
    EXPECT_EQ(notes.size(), 2);
    const ListResult r = run(list);
    ASSERT_TRUE(r.ok) << r.failedAt << " " << std::hex << r.abortCode;
    EXPECT_EQ(node->value(0x1800, 1), 0x80000605u);
    EXPECT_EQ(node->value(0x1A00, 0), 1u);
    EXPECT_EQ(node->value(0x1801, 1), 0x291u);
    EXPECT_EQ(node->value(0x1A01, 0), 1u);
}

// Aborts from the node parse with their code; a read of a write-only object
// and a write of a read-only one.
TEST_F(NodeDownloadTest, NodeAbortsParse)
{
    QVector<QUserDictObj> list;
    QUserDictObj o = mapped(0x2004);
    o.isRead = true;
    list << o;
    ListResult r = run(list);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.abortCode, 0x06010001u);
    list.clear();
    o = mapped(0x1018, 1);
    o.isRead = false;
    o.curValue = 1;
    list << mapped(0x1018, 2) << o;
    r = run(list);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.failedAt, 1);
    EXPECT_EQ(r.abortCode, 0x06010002u);
    EXPECT_EQ(list[0].curValue, 0x402u) << "the upload before the abort kept its value";
    // The decoder names the abort.
    const auto answers = frames(0x580 + kNode);
    ASSERT_FALSE(answers.empty());
    QString text;
    ASSERT_TRUE(codec.msgAnalysis(fromFrame(answers.back()), text));
    EXPECT_TRUE(text.endsWith(QString::fromUtf8("异常错误<0x06010002>试图写只读对象"))) << text.toStdString();
}

// The stop of a position move stops a drive that is moving: it decelerates
// with 0x6084 and stands short of the target, the statusword showing the
// halt reached; the next start moves it again.
TEST_F(NodeDownloadTest, PositionStopHaltsAMoveUnderWay)
{
    QUserCia402 steps;
    auto play = [this](const QVector<QUserCanMsg> &list) {
        for (const QUserCanMsg &m : list) {
            put(m);
            advance(10);
        }
    };
    struct Case {
        const char *name;
        bool relative;
    } cases[] = {{"absolute", false}, {"relative", true}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QVector<QUserCanMsg> list;
        steps.nmtStart(kNode, list);
        steps.servoEnable(kNode, 2, list);
        steps.profileVelocitySet(kNode, 2000, list);
        steps.profileAccSet(kNode, 4000, list);
        steps.profileDecSet(kNode, 4000, list);
        const int32_t from = int32_t(node->value(0x6064, 0));
        if (c.relative)
            steps.posRelMoveStart(kNode, 100000, list);
        else
            steps.posAbsMoveStart(kNode, from + 100000, list);
        play(list);
        advance(1000); // at full speed by now
        ASSERT_EQ(int32_t(node->value(0x606C, 0)), 2000);

        list.clear();
        if (c.relative)
            steps.posRelMoveStop(kNode, list);
        else
            steps.posAbsMoveStop(kNode, list);
        play(list);
        advance(600); // 2000 / 4000 s of deceleration, and some
        const int32_t stopped = int32_t(node->value(0x6064, 0));
        EXPECT_EQ(int32_t(node->value(0x606C, 0)), 0);
        advance(1000);
        EXPECT_EQ(int32_t(node->value(0x6064, 0)), stopped) << "the drive stands";
        EXPECT_LT(stopped - from, 10000) << "far short of the target";
        const uint64_t sw = node->value(0x6041, 0);
        EXPECT_EQ(sw & 0x006F, 0x0027u) << "operation enabled";
        EXPECT_TRUE(sw & 0x0400) << "halt reached";
        EXPECT_EQ(node->value(0x6040, 0) & 0x0150, c.relative ? 0x0140u : 0x0100u);
        EXPECT_EQ(node->driveState(), CanopenNode::Drive::OperationEnabled);
    }
    EXPECT_EQ(node->counters().sdoAborts, 0u);
}

// The CiA 402 steps of the drive panel move the simulated drive.
TEST_F(NodeDownloadTest, Cia402StepsDriveTheNode)
{
    QUserCia402 steps;
    auto play = [this](const QVector<QUserCanMsg> &list) {
        for (const QUserCanMsg &m : list) {
            put(m);
            advance(10);
        }
    };
    QVector<QUserCanMsg> list;
    ASSERT_TRUE(steps.nmtStart(kNode, list));
    ASSERT_TRUE(steps.servoEnable(kNode, 2, list));
    steps.profileVelocitySet(kNode, 2000, list);
    steps.profileAccSet(kNode, 4000, list);
    steps.profileDecSet(kNode, 4000, list);
    play(list);
    EXPECT_EQ(node->nmtState(), CanopenNode::Nmt::Operational);
    EXPECT_EQ(node->driveState(), CanopenNode::Drive::OperationEnabled);
    EXPECT_EQ(node->value(0x6061, 0), 1u);
    // servoEnable leaves the halt bit set; the start lifts it.
    list.clear();
    steps.posAbsMoveStart(kNode, 3000, list);
    play(list);
    advance(3000);
    EXPECT_EQ(int32_t(node->value(0x6064, 0)), 3000);
    EXPECT_TRUE(node->value(0x6041, 0) & 0x0400);
    list.clear();
    steps.posRelMoveStop(kNode, list);
    steps.posRelMoveStart(kNode, -1000, list);
    play(list);
    advance(3000);
    EXPECT_EQ(int32_t(node->value(0x6064, 0)), 2000);

    // Velocity mode.
    list.clear();
    steps.modeOfOperationSet(kNode, 0, list);
    steps.targetVelocitySet(kNode, -800, list);
    steps.velStart(kNode, list);
    play(list);
    advance(1000);
    EXPECT_EQ(int32_t(node->value(0x606C, 0)), -800);
    list.clear();
    steps.velStop(kNode, list);
    play(list);
    advance(1000);
    EXPECT_EQ(int32_t(node->value(0x606C, 0)), 0);

    // Torque mode.
    list.clear();
    steps.modeOfOperationSet(kNode, 1, list);
    steps.torqueSlopeSet(kNode, 1000, list);
    steps.targetTorqueSet(kNode, -300, list);
    steps.torStart(kNode, list);
    play(list);
    advance(1000);
    EXPECT_EQ(int16_t(node->value(0x6077, 0)), -300);

    // A fault, then the restart sequence (NMT start and fault reset).
    node->driveFaultRequest(0x2310);
    advance(1);
    EXPECT_EQ(node->driveState(), CanopenNode::Drive::Fault);
    list.clear();
    steps.nmtRestart(kNode, list);
    play(list);
    EXPECT_EQ(node->driveState(), CanopenNode::Drive::SwitchOnDisabled);
    // Every step was accepted.
    EXPECT_EQ(node->counters().sdoAborts, 0u);
}

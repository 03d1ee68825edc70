// The CANopen window against simulated CANopen nodes on a simulated bus,
// driven through its widgets; every prompt goes through the prompt seam.
#include "tests/canopen/WindowRig.h"
#include "tests/support/ManualHostClock.h"

#include "widgets/QUserTreeWidget.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDropEvent>
#include <QMimeData>
#include <QElapsedTimer>
#include <QTabWidget>

using namespace cowin;

namespace {

const char *kBus = "co";
constexpr int kNode = 5;

class Sim : public WindowTest
{
protected:
    std::shared_ptr<testsupport::HeldHostClock> hostClock = std::make_shared<testsupport::HeldHostClock>();
    QUserHostClockScope useHostClock{hostClock};

    void SetUp() override
    {
        WindowTest::SetUp();
        if (!CoSim::built())
            GTEST_SKIP() << "libcanopen_simkemusb.so not built";
    }
    bool start(const QString &topology = defaultTopology(), const QString &devId = WindowRig::ch0())
    {
        if (!rig.open(topology))
            return false;
        w = rig.window(devId);
        // The node has booted; what the bus carried so far is not ours.
        settle(50);
        rig.sim.take(kBus);
        rig.sim.take("other");
        return true;
    }
    template<class T>
    T *child(const char *name) const
    {
        T *c = w->findChild<T *>(QLatin1String(name));
        EXPECT_NE(c, nullptr) << name;
        return c;
    }
    void field(const char *name, const QString &text) { child<QLineEdit>(name)->setText(text); }
    void combo(const char *name, int index) { child<QComboBox>(name)->setCurrentIndex(index); }
    void click(const char *name) { child<QAbstractButton>(name)->click(); }
    bool idle(int ms = testsupport::kGiveUpMs)
    {
        const bool done = waitUntil([this] { return w->requestsOpen() == 0; }, ms);
        hostClock->release();
        return done;
    }
    // Holds the host clock still until the next idle(): the node's answers
    // are bound to come, and no request may time out (and be tried again)
    // because the machine was too busy to bring an answer within 200 ms.
    void answersCome() { hostClock->hold(); }
    QString opLog() const { return w->operationLog()->toPlainText(); }
    // Frames the master put on the bus (identifiers the node does not use).
    static QVector<BusFrame> fromMaster(const QVector<BusFrame> &frames)
    {
        QVector<BusFrame> out;
        for (const BusFrame &f : frames) {
            const uint32_t fn = f.id & ~0x7Fu;
            const bool node = (f.id & 0x7F) == kNode
                && (fn == 0x080 || fn == 0x180 || fn == 0x280 || fn == 0x380 || fn == 0x480 || fn == 0x580
                    || (fn == 0x700 && !f.rtr));
            if (!node || f.id == 0x080)
                out.append(f);
        }
        return out;
    }
    QVector<BusFrame> framesWithId(const QVector<BusFrame> &frames, uint32_t id)
    {
        QVector<BusFrame> out;
        for (const BusFrame &f : frames)
            if (f.id == id)
                out.append(f);
        return out;
    }
    // Log lines (message text) of transmitted frames so far.
    int txLines() const
    {
        int n = 0;
        for (int i = 0; i < w->logModel()->cacheCount(); ++i)
            n += w->logModel()->entryAt(i)->first.startsWith(QStringLiteral("[Tx,"));
        return n;
    }
    bool logHas(const QString &description) const
    {
        for (int i = 0; i < w->logModel()->cacheCount(); ++i)
            if (w->logModel()->entryAt(i)->second.contains(description))
                return true;
        return false;
    }
    bool loadEds()
    {
        prompts.answerFile(cotest::edsPath("drive.eds"));
        w->slotEdsFileLoad();
        return idle();
    }
    QTreeWidgetItem *treeItem(uint32_t index)
    {
        auto *tree = child<QUserTreeWidget>("treeWidgetDict");
        for (int i = 0; i < tree->topLevelItemCount(); ++i)
            if (tree->topLevelItem(i)->text(0).startsWith(QString::asprintf("%04X ", index)))
                return tree->topLevelItem(i);
        return nullptr;
    }
    void listenDrop(uint32_t index)
    {
        QTreeWidgetItem *item = treeItem(index);
        ASSERT_NE(item, nullptr);
        w->slotEdsListenObjListTabDropEvent(QString(), item->text(0));
    }
    int listenRow(uint32_t index) const { return w->listenModel()->rowOfKey(index << 16); }
    void listenClick(uint32_t index, int column, bool answered = false)
    {
        settle(120);
        if (answered)
            answersCome();
        w->slotEdsListenObjTabItemClick(w->listenModel()->index(listenRow(index), column));
    }
    uint64_t node(int index, int sub = 0, const char *bus = kBus) { return rig.sim.value(bus, kNode, index, sub); }

    WindowRig rig;
    QUserMainWindowCANopen *w = nullptr;
};

} // namespace

// Each CiA 301 button puts its frame on the bus (and it comes back to the
// log as a transmitted frame, tag 104), and the node reacts.
TEST_F(Sim, Cia301ButtonsDriveTheNode)
{
    ASSERT_TRUE(start());
    field("lineEditCia301NodeId", "5");
    struct Step {
        const char *name;
        std::function<void()> act;
        QVector<QPair<uint32_t, QByteArray>> master; // frames the master sends
        std::function<bool()> reaction;
    };
    const Step steps[] = {
        {"start", [&] { combo("comBoxNmtType", 0); click("pushButtonNmtSend"); }, {{0x000, QByteArray::fromHex("0105")}},
         [&] { return rig.sim.nmt(kBus, kNode) == 5; }},
        {"stop", [&] { combo("comBoxNmtType", 1); click("pushButtonNmtSend"); }, {{0x000, QByteArray::fromHex("0205")}},
         [&] { return rig.sim.nmt(kBus, kNode) == 4; }},
        {"pre-operational", [&] { combo("comBoxNmtType", 2); click("pushButtonNmtSend"); },
         {{0x000, QByteArray::fromHex("8005")}}, [&] { return rig.sim.nmt(kBus, kNode) == 0x7F; }},
        {"reset node", [&] { combo("comBoxNmtType", 3); click("pushButtonNmtSend"); },
         {{0x000, QByteArray::fromHex("8105")}},
         [&] {
             return rig.sim.nmt(kBus, kNode) == 0x7F && w->frameDecoder().nodeStateOf(kNode, WindowRig::ch0()) == 0;
         }},
        {"guarding request", [&] { click("pushButtonNmtGuardGet"); }, {{0x705, QByteArray()}},
         [&] { return w->frameDecoder().nodeStateOf(kNode, WindowRig::ch0()) == 3; }},
        {"three SYNC", [&] { field("lineEditSyncCnt", "3"); click("pushButtonSyncSend"); },
         {{0x080, QByteArray()}, {0x080, QByteArray()}, {0x080, QByteArray()}}, [] { return true; }},
        {"heartbeat on by SDO write",
         [&] {
             field("lineEditSdoFastWriteIndex", "1017");
             field("lineEditSdoFastWriteSubIndex", "0");
             combo("comBoxSdoFastWriteLen", 1);
             field("lineEditSdoFastWriteData", "64 00");
             click("pushButtonSdoFastWrite");
         },
         {{0x605, QByteArray::fromHex("2B17100064000000")}},
         [&] { return node(0x1017) == 100 && rig.sim.counter(kBus, kNode, Heartbeats) >= 2; }},
        {"SDO read",
         [&] {
             field("lineEditSdoFastReadIndex", "1017");
             field("lineEditSdoFastReadSubIndex", "00");
             click("pushButtonSdoFastRead");
         },
         {{0x605, QByteArray::fromHex("4017100000000000")}},
         [&] { return logHas(QStringLiteral("读响应2字节[64 00]")); }},
        {"TIME",
         [&] {
             child<QCheckBox>("chkBoxUseSysTime")->setChecked(true);
             click("pushButtonTimeSend");
         },
         {{0x100, QByteArray()}}, [] { return true; }},
    };
    for (const Step &s : steps) {
        SCOPED_TRACE(s.name);
        const int tx = txLines();
        s.act();
        EXPECT_TRUE(waitUntil(s.reaction, testsupport::kGiveUpMs));
        const QVector<BusFrame> sent = fromMaster(rig.sim.take(kBus));
        ASSERT_EQ(sent.size(), s.master.size());
        for (int i = 0; i < sent.size(); ++i) {
            EXPECT_EQ(sent[i].id, s.master[i].first) << i;
            if (sent[i].id == 0x100) {
                EXPECT_EQ(sent[i].len, 6);
            } else if (!sent[i].rtr) {
                EXPECT_EQ(sent[i].bytes(), s.master[i].second) << i;
            }
        }
        EXPECT_TRUE(waitUntil([&] { return txLines() == tx + s.master.size(); })) << txLines();
    }
    // The node's heartbeats now reach the log and tell the node's state.
    EXPECT_TRUE(logHas(QStringLiteral("心跳")) || logHas(QStringLiteral("预操作")));
    EXPECT_EQ(w->frameDecoder().nodeStateOf(kNode, WindowRig::ch0()), 3);
    combo("comBoxNmtType", 0);
    click("pushButtonNmtSend");
    EXPECT_TRUE(waitUntil([&] { return w->frameDecoder().nodeStateOf(kNode, WindowRig::ch0()) == 2; }));
}

TEST_F(Sim, NodeEmergencyIsDecodedInTheLog)
{
    ASSERT_TRUE(start());
    const uint8_t msef[5] = {1, 2, 3, 4, 5};
    ASSERT_TRUE(rig.sim.emcy(kBus, kNode, 0x8130, 0x11, msef));
    ASSERT_TRUE(waitUntil([&] { return logHas(QStringLiteral("紧急报文")); }));
    EXPECT_TRUE(logHas(QStringLiteral("0x8130")));
    EXPECT_EQ(rig.sim.counter(kBus, kNode, Emcys), 1u);
}

// Listen-list reads and writes change and read back the node's values.
TEST_F(Sim, ListenListReadsAndWritesTheNode)
{
    ASSERT_TRUE(start());
    ASSERT_TRUE(loadEds());
    field("lineEditCia301NodeId", "5");
    listenDrop(0x2001);
    listenDrop(0x2002);
    QUserTableModelEDS *m = w->listenModel();

    listenClick(0x2001, QUserTableModelEDS::ColRead);
    ASSERT_TRUE(idle());
    EXPECT_EQ(m->dictObjAt(listenRow(0x2001))->curValue, 0x1234u);
    EXPECT_TRUE(opLog().endsWith(QStringLiteral("SDO操作完成...")));

    settle(120);
    const int row = listenRow(0x2002) - m->windowStart();
    w->slotEdsListenObjTabItemDoubleClick(m->index(row, QUserTableModelEDS::ColValueHex));
    m->item(row, QUserTableModelEDS::ColValueHex)->setText("DEADBEEF");
    listenClick(0x2002, QUserTableModelEDS::ColWrite);
    ASSERT_TRUE(idle());
    EXPECT_EQ(node(0x2002), 0xDEADBEEFu);

    ASSERT_TRUE(rig.sim.write(kBus, kNode, 0x2002, 0, 0x01020304));
    listenClick(0x2002, QUserTableModelEDS::ColRead);
    ASSERT_TRUE(idle());
    EXPECT_EQ(m->dictObjAt(listenRow(0x2002))->curValue, 0x01020304u);
    EXPECT_FALSE(m->dictObjAt(listenRow(0x2002))->updateTime.isEmpty());
}

// A node that aborts the transfer ends it at once; the log shows the code
// and its meaning, and the object is not asked again.
TEST_F(Sim, SdoAbortShowsItsCode)
{
    ASSERT_TRUE(start());
    ASSERT_TRUE(loadEds());
    field("lineEditCia301NodeId", "5");
    listenDrop(0x6071); // target torque, -1000..1000
    QUserTableModelEDS *m = w->listenModel();
    m->dictObjAt(listenRow(0x6071))->curValue = 5000;
    const uint64_t requests = rig.sim.counter(kBus, kNode, SdoRequests);
    listenClick(0x6071, QUserTableModelEDS::ColWrite, true);
    ASSERT_TRUE(idle());
    // At once: one request, no try after the abort (a time-out would have
    // asked three times).
    EXPECT_EQ(rig.sim.counter(kBus, kNode, SdoRequests), requests + 1);
    const uint32_t code = uint32_t(rig.sim.counter(kBus, kNode, LastAbortCode));
    EXPECT_EQ(code & 0xFFFFFFF0u, 0x06090030u);
    EXPECT_TRUE(opLog().contains(QStringLiteral("SDO操作[6071,00]失败...中止代码:") + QString::asprintf("0x%08X", code)))
        << qPrintable(opLog());
    EXPECT_TRUE(opLog().endsWith(QUserCANopenFrame::sdoAbortText(code) + ")")) << qPrintable(opLog());
    EXPECT_EQ(node(0x6071), 0u);

    // An object the node does not have: its own code.
    QUserDictObj missing;
    missing.index = 0x2100;
    missing.ParameterName = "missing";
    ASSERT_TRUE(w->reqSdoTransferPost({missing}));
    ASSERT_TRUE(idle());
    EXPECT_TRUE(opLog().contains(QStringLiteral("SDO操作[2100,00]失败...中止代码:0x06020000"))) << qPrintable(opLog());
}

// No node answers: three requests 200 ms apart, then the transfer fails.
TEST_F(Sim, TransferToAnAbsentNodeTimesOut)
{
    ASSERT_TRUE(start());
    field("lineEditCia301NodeId", "9");
    QUserDictObj o;
    o.index = 0x2001;
    o.ParameterName = "Manufacturer word";
    QElapsedTimer t;
    t.start();
    ASSERT_TRUE(w->reqSdoTransferPost({o}));
    ASSERT_TRUE(idle());
    EXPECT_GE(t.elapsed(), 600);
    EXPECT_TRUE(opLog().contains(QStringLiteral("SDO操作[2001,00]失败...超时"))) << qPrintable(opLog());
    const QVector<BusFrame> requests = framesWithId(rig.sim.take(kBus), 0x609);
    ASSERT_EQ(requests.size(), 3);
    for (int i = 1; i < 3; ++i)
        EXPECT_GE(requests[i].ms - requests[i - 1].ms, 195u) << i;
}

// An answer that arrives on another channel (another bus, another node with
// the same id) must not complete this window's transfer.
TEST_F(Sim, AnswerFromAnotherChannelDoesNotCompleteTheTransfer)
{
    const QString eds = cotest::edsPath("drive.eds");
    ASSERT_TRUE(start(QStringLiteral("adapter TRNA702 name=A\nbus co\nbus other\nattach A 0 co\nattach A 2 other\n"
                                     "canopen other node=5 eds=%1\n")
                          .arg(eds)));
    ASSERT_TRUE(rig.sim.write("other", kNode, 0x2001, 0, 0x4321));
    ASSERT_TRUE(loadEds());
    field("lineEditCia301NodeId", "5");
    listenDrop(0x2001);
    listenClick(0x2001, QUserTableModelEDS::ColRead);
    // While this window waits on its own channel, someone reads the same
    // object from the node on channel 2.
    ASSERT_TRUE(waitUntil([&] { return framesWithId(rig.sim.take(kBus), 0x605).size() == 1; }));
    QUserCanMsg ask;
    ASSERT_TRUE(w->frameDecoder().sdoFastReadMsgCreat(ask, kNode, 0x2001, 0));
    ASSERT_EQ(rig.reg->devSendMsg(WindowRig::ch2(), ask), 1);
    ASSERT_TRUE(idle());
    EXPECT_TRUE(opLog().contains(QStringLiteral("SDO操作[2001,00]失败..."))) << qPrintable(opLog());
    EXPECT_NE(w->listenModel()->dictObjAt(0)->curValue, 0x4321u);
    EXPECT_TRUE(logHas(QStringLiteral("[21 43]"))); // the log shows every channel
}

// PDO configuration: upload from the node, edit, download; the node then
// sends and receives PDOs with that mapping.
TEST_F(Sim, PdoUploadEditDownloadAndRun)
{
    ASSERT_TRUE(start());
    ASSERT_TRUE(loadEds());
    field("lineEditCia301NodeId", "5");
    w->resize(1400, 900);
    w->show();
    child<QTabWidget>("tabWidgetTop")->setCurrentIndex(1);
    settle(50);

    click("pushButtonPdoUpload");
    ASSERT_TRUE(idle());
    ASSERT_TRUE(opLog().endsWith(QStringLiteral("SDO操作完成..."))) << qPrintable(opLog());
    QUserEdsParser *p = w->edsParser();
    EXPECT_EQ(p->txPdoList[0].cobID, 0x185u);
    EXPECT_EQ(p->txPdoList[0].transmissionType, 254);
    EXPECT_TRUE(p->txPdoList[0].pdoEnable);
    EXPECT_EQ(p->rxPdoList[0].cobID, 0x205u);

    // Edit: TPDO1 = [2001, 2002] on every SYNC; RPDO1 = [2002] at once.
    auto *tree = child<QUserTreeWidget>("treeWidgetPdo");
    auto drop = [&](uint32_t index, const char *pdo) {
        QTreeWidgetItem *target = tree->findItems(pdo, Qt::MatchExactly | Qt::MatchRecursive).value(0);
        ASSERT_NE(target, nullptr);
        QMimeData mime;
        mime.setText(QString());
        mime.setHtml(treeItem(index)->text(0));
        tree->scrollToItem(target);
        QDropEvent ev(tree->visualItemRect(target).center(), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        w->slotEdsPdoTreeDropEvent(&ev);
    };
    drop(0x2001, "TPDO1");
    drop(0x2002, "TPDO1");
    drop(0x2002, "RPDO1");
    child<QComboBox>("comboBoxPdoType")->setCurrentText("TPDO1");
    child<QComboBox>("comboBoxPdoTransType")->setCurrentIndex(1); // cyclic synchronous
    child<QComboBox>("comboBoxPdoType")->setCurrentText("RPDO1");
    child<QComboBox>("comboBoxPdoTransType")->setCurrentIndex(5); // 255
    EXPECT_EQ(p->txPdoList[0].transmissionType, 1);
    EXPECT_EQ(p->rxPdoList[0].transmissionType, 255);

    click("pushButtonPdoDownload");
    ASSERT_TRUE(idle(10000));
    ASSERT_TRUE(opLog().endsWith(QStringLiteral("SDO操作完成..."))) << qPrintable(opLog());
    EXPECT_EQ(node(0x1A00, 0), 2u);
    EXPECT_EQ(node(0x1A00, 1), 0x20010010u);
    EXPECT_EQ(node(0x1A00, 2), 0x20020020u);
    EXPECT_EQ(node(0x1800, 2), 1u);
    EXPECT_EQ(node(0x1800, 1), 0x185u);
    EXPECT_EQ(node(0x1600, 0), 1u);
    EXPECT_EQ(node(0x1600, 1), 0x20020020u);

    // Operational: a SYNC brings TPDO1 with both values.
    combo("comBoxNmtType", 0);
    click("pushButtonNmtSend");
    ASSERT_TRUE(waitUntil([&] { return rig.sim.nmt(kBus, kNode) == 5; }));
    ASSERT_TRUE(rig.sim.write(kBus, kNode, 0x2002, 0, 0xA1B2C3D4));
    rig.sim.take(kBus);
    field("lineEditSyncCnt", "1");
    click("pushButtonSyncSend");
    ASSERT_TRUE(waitUntil([&] { return logHas(QStringLiteral("TPDO1")) || logHas(QStringLiteral("PDO")); }));
    const QVector<BusFrame> tpdo = framesWithId(rig.sim.take(kBus), 0x185);
    ASSERT_EQ(tpdo.size(), 1);
    EXPECT_EQ(tpdo[0].bytes(), QByteArray::fromHex("3412D4C3B2A1"));

    // RPDO1 written from the CiA 301 page lands in 0x2002.
    combo("comBoxPdoType", 1);
    field("lineEditPdoData", "78 56 34 12");
    click("pushButtonPdoSend");
    EXPECT_TRUE(waitUntil([&] { return node(0x2002) == 0x12345678u; }));
    EXPECT_EQ(rig.sim.counter(kBus, kNode, RpdosApplied), 1u);

    // Reading back shows the device's mapping.
    p->pdoListInit();
    click("pushButtonPdoUpload");
    ASSERT_TRUE(idle());
    ASSERT_EQ(p->txPdoList[0].childList.size(), 2);
    EXPECT_EQ(p->txPdoList[0].childList[1].index, 0x2002u);
    EXPECT_EQ(p->txPdoList[0].transmissionType, 1);
    ASSERT_EQ(p->rxPdoList[0].childList.size(), 1);
}

// The CiA 402 buttons bring the drive to operation enabled and move it.
TEST_F(Sim, Cia402SequencesEnableAndMoveTheDrive)
{
    ASSERT_TRUE(start());
    field("lineEditCia402NodeId", "5");
    click("toolButtonCia402Start");
    ASSERT_TRUE(waitUntil([&] { return rig.sim.nmt(kBus, kNode) == 5; }));

    field("lineEditVelDstSpeed", "300");
    field("lineEditVelAccSpeed", "3000");
    field("lineEditVelDecSpeed", "3000");
    click("pushButtonVelStart");
    ASSERT_TRUE(waitUntil([&] { return rig.sim.drive(kBus, kNode) == 4; })); // operation enabled
    EXPECT_TRUE(waitUntil([&] { return int32_t(node(0x606C)) == 300; })) << int32_t(node(0x606C));
    EXPECT_EQ(node(0x6061), 3u);
    click("pushButtonVelStop");
    EXPECT_TRUE(waitUntil([&] { return int32_t(node(0x606C)) == 0; }));

    field("linEditPosAAccSpeed", "20000");
    field("linEditPosAccSpeed", "100000");
    field("linEditPosDecSpeed", "100000");
    field("lineEditPosAbsDst", "5000");
    const int32_t from = int32_t(node(0x6064));
    click("pushButtonPosAbsStart");
    EXPECT_TRUE(waitUntil([&] { return int32_t(node(0x6064)) == 5000; })) << int32_t(node(0x6064)) << " from "
                                                                                 << from;
    EXPECT_EQ(node(0x6081), 20000u);
    EXPECT_EQ(rig.sim.drive(kBus, kNode), 4);
    field("linEditPosRelDst", "-1500");
    click("pushButtonPosRelStart");
    EXPECT_TRUE(waitUntil([&] { return int32_t(node(0x6064)) == 3500; })) << int32_t(node(0x6064));

    // The indicator follows what the node reports: its heartbeat, once on.
    ASSERT_TRUE(rig.sim.write(kBus, kNode, 0x1017, 0, 50));
    EXPECT_TRUE(waitUntil([&] { return w->cia402ShownState() == 2; }));
    click("toolButtonCia402Stop");
    EXPECT_TRUE(waitUntil([&] { return w->cia402ShownState() == 1; }));
}

// A server that answers uploads without size indication (0x42, as CiA 301
// allows): the reads complete, the size taken from the dictionary.
TEST_F(Sim, UploadAnswerWithoutSizeIsAccepted)
{
    ASSERT_TRUE(start());
    ASSERT_TRUE(rig.sim.sdoSized(kBus, kNode, 0));
    ASSERT_TRUE(rig.sim.write(kBus, kNode, 0x2001, 0, 0xBEEF));
    ASSERT_TRUE(rig.sim.write(kBus, kNode, 0x2002, 0, 0x89ABCDEF));
    ASSERT_TRUE(loadEds());
    field("lineEditCia301NodeId", "5");
    listenDrop(0x2001);
    listenDrop(0x2002);
    QUserTableModelEDS *m = w->listenModel();
    listenClick(0x2001, QUserTableModelEDS::ColRead, true);
    ASSERT_TRUE(idle());
    listenClick(0x2002, QUserTableModelEDS::ColRead, true);
    ASSERT_TRUE(idle());
    EXPECT_EQ(m->dictObjAt(listenRow(0x2001))->curValue, 0xBEEFu);
    EXPECT_EQ(m->dictObjAt(listenRow(0x2002))->curValue, 0x89ABCDEFu);
    EXPECT_FALSE(opLog().contains(QStringLiteral("失败"))) << qPrintable(opLog());
    EXPECT_TRUE(opLog().endsWith(QStringLiteral("SDO操作完成...")));
    const QVector<BusFrame> answers = framesWithId(rig.sim.take(kBus), 0x580 + kNode);
    ASSERT_EQ(answers.size(), 2) << "one answer each, no retries";
    for (const BusFrame &a : answers)
        EXPECT_EQ(a.data[0], 0x42);
    EXPECT_EQ(rig.sim.counter(kBus, kNode, SdoRequests), 2u);
}

// The CiA 402 indicator shows the node of its panel on the window's own
// channel: a node 5 on another channel, operational, does not drive it.
TEST_F(Sim, Cia402IndicatorKeepsToItsChannel)
{
    ASSERT_TRUE(start());
    field("lineEditCia402NodeId", "5");
    // Node 5 of channel 2 ("other") goes operational and beats every 20 ms;
    // our node 5 stays pre-operational and beats as well.
    QUserCanMsg go;
    ASSERT_TRUE(w->frameDecoder().nmtMsgCreat(go, kNode, 0));
    ASSERT_EQ(rig.reg->devSendMsg(WindowRig::ch2(), go), 1);
    ASSERT_TRUE(waitUntil([&] { return rig.sim.nmt("other", kNode) == 5; }));
    ASSERT_TRUE(rig.sim.write("other", kNode, 0x1017, 0, 20));
    ASSERT_TRUE(rig.sim.write(kBus, kNode, 0x1017, 0, 50));
    ASSERT_TRUE(waitUntil([&] { return w->frameDecoder().nodeStateOf(kNode, WindowRig::ch2()) == 2; }));
    ASSERT_TRUE(waitUntil([&] { return w->frameDecoder().nodeStateOf(kNode, WindowRig::ch0()) == 3; }));
    // Both beat on; the indicator keeps to channel 0's node the whole time.
    QElapsedTimer t;
    t.start();
    int operational = 0;
    while (t.elapsed() < 600) {
        settle(10);
        operational += w->cia402ShownState() == 2;
    }
    EXPECT_EQ(operational, 0);
    EXPECT_EQ(w->cia402ShownState(), 3);
    EXPECT_EQ(w->frameDecoder().nodeStateOf(kNode, WindowRig::ch2()), 2);
    // Our node goes operational: now it shows.
    combo("comBoxNmtType", 0);
    field("lineEditCia301NodeId", "5");
    click("pushButtonNmtSend");
    EXPECT_TRUE(waitUntil([&] { return w->cia402ShownState() == 2; }));
    // And stopping the other channel's node changes nothing here.
    QUserCanMsg stop;
    ASSERT_TRUE(w->frameDecoder().nmtMsgCreat(stop, kNode, 1));
    ASSERT_EQ(rig.reg->devSendMsg(WindowRig::ch2(), stop), 1);
    ASSERT_TRUE(waitUntil([&] { return w->frameDecoder().nodeStateOf(kNode, WindowRig::ch2()) == 1; }));
    settle(200);
    EXPECT_EQ(w->cia402ShownState(), 2);
}

// "结束" of a position move stops a drive that is moving: within the
// deceleration time the position stops changing short of the target, and
// the statusword shows the halt reached.
TEST_F(Sim, PositionStopButtonsStopAMoveUnderWay)
{
    ASSERT_TRUE(start());
    field("lineEditCia402NodeId", "5");
    click("toolButtonCia402Start");
    ASSERT_TRUE(waitUntil([&] { return rig.sim.nmt(kBus, kNode) == 5; }));
    field("linEditPosAAccSpeed", "2000");
    field("linEditPosAccSpeed", "8000");
    field("linEditPosDecSpeed", "8000");
    struct Case {
        const char *start;
        const char *stop;
        const char *field;
        bool relative;
    } cases[] = {{"pushButtonPosAbsStart", "pushButtonPosAbsStop", "lineEditPosAbsDst", false},
                 {"pushButtonPosRelStart", "pushButtonPosRelStop", "linEditPosRelDst", true}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.start);
        const int32_t from = int32_t(node(0x6064));
        field(c.field, QString::number(c.relative ? 100000 : from + 100000));
        click(c.start);
        ASSERT_TRUE(waitUntil([&] { return int32_t(node(0x606C)) == 2000; })) << int32_t(node(0x606C));
        click(c.stop);
        // 2000 / 8000 s of deceleration, and the request thread's pace.
        ASSERT_TRUE(waitUntil([&] { return int32_t(node(0x606C)) == 0; })) << int32_t(node(0x606C));
        const int32_t stopped = int32_t(node(0x6064));
        settle(500);
        EXPECT_EQ(int32_t(node(0x6064)), stopped) << "the drive stands";
        EXPECT_LT(stopped - from, 20000) << "far short of the target";
        EXPECT_TRUE(node(0x6041) & 0x0400) << "halt reached";
        EXPECT_TRUE(node(0x6040) & 0x0100) << "halt bit set";
        EXPECT_EQ(rig.sim.drive(kBus, kNode), 4) << "operation enabled";
    }
}

// A node that answers a read with a segmented upload (0x1008, the nine
// bytes "Sim Drive") has answered: one request, no tries after it, its open
// transfer aborted (CiA 301 abort 0x06010000, "unsupported access to an
// object": segments are the only access the object offers, and this client
// carries out expedited transfers), and the log says the object cannot be
// read with an expedited transfer, as a write of it does, instead of "超时".
TEST_F(Sim, SegmentedAnswerIsAbortedAndSaidSo)
{
    ASSERT_TRUE(start());
    ASSERT_TRUE(loadEds());
    field("lineEditCia301NodeId", "5");
    listenDrop(0x1008);
    const uint64_t requests = rig.sim.counter(kBus, kNode, SdoRequests);
    listenClick(0x1008, QUserTableModelEDS::ColRead, true);
    ASSERT_TRUE(idle());
    EXPECT_TRUE(opLog().endsWith(QStringLiteral("SDO操作[1008,00]失败...对象无法用快速SDO传输"))) << qPrintable(opLog());
    EXPECT_FALSE(opLog().contains(QStringLiteral("超时")));
    EXPECT_EQ(rig.sim.counter(kBus, kNode, SegmentedUploads), 1u);
    EXPECT_EQ(rig.sim.counter(kBus, kNode, ClientAborts), 1u);
    EXPECT_EQ(rig.sim.counter(kBus, kNode, LastClientAbortCode), 0x06010000u);
    EXPECT_EQ(rig.sim.counter(kBus, kNode, SegmentedUploadOpen), 0u);
    // The node saw the request and the abort, nothing else.
    EXPECT_EQ(rig.sim.counter(kBus, kNode, SdoRequests), requests + 2);
    const QVector<BusFrame> toNode = framesWithId(rig.sim.take(kBus), 0x600 + kNode);
    ASSERT_EQ(toNode.size(), 2);
    EXPECT_EQ(toNode[0].bytes(), QByteArray::fromHex("4008100000000000"));
    EXPECT_EQ(toNode[1].bytes(), QByteArray::fromHex("8008100000000106"));
    // The node serves the next read as ever.
    listenDrop(0x2001);
    listenClick(0x2001, QUserTableModelEDS::ColRead);
    ASSERT_TRUE(idle());
    EXPECT_TRUE(opLog().endsWith(QStringLiteral("SDO操作完成...")));
    EXPECT_EQ(w->listenModel()->dictObjAt(listenRow(0x2001))->curValue, 0x1234u);
}

// A node that answers without size indication puts stale bytes (not 0)
// after the value. Where the object is known, its size cuts them: for the
// read the listen list runs, and as well for an answer the list did not ask
// for (a read from the CiA 301 page).
TEST_F(Sim, UnsizedAnswersAreCutWhereverTheObjectIsKnown)
{
    ASSERT_TRUE(start());
    ASSERT_TRUE(rig.sim.sdoSized(kBus, kNode, 0));
    ASSERT_TRUE(loadEds());
    field("lineEditCia301NodeId", "5");
    listenDrop(0x2000); // UNSIGNED8
    listenDrop(0x2001); // UNSIGNED16
    ASSERT_TRUE(rig.sim.write(kBus, kNode, 0x2000, 0, 0x7E));
    QUserTableModelEDS *m = w->listenModel();
    settle(120);
    answersCome();
    for (const char *sub : {"2000", "2001"}) {
        SCOPED_TRACE(sub);
        field("lineEditSdoFastReadIndex", sub);
        field("lineEditSdoFastReadSubIndex", "00");
        click("pushButtonSdoFastRead");
    }
    ASSERT_TRUE(waitUntil([&] { return !m->dictObjAt(listenRow(0x2001))->updateTime.isEmpty()
                                     && m->dictObjAt(listenRow(0x2001))->curValue != 0; }, testsupport::kGiveUpMs));
    ASSERT_TRUE(waitUntil([&] { return m->dictObjAt(listenRow(0x2000))->curValue != 0; }));
    ASSERT_TRUE(idle());
    EXPECT_EQ(m->dictObjAt(listenRow(0x2000))->curValue, 0x7Eu);
    EXPECT_EQ(m->dictObjAt(listenRow(0x2001))->curValue, 0x1234u);
    const QVector<BusFrame> answers = framesWithId(rig.sim.take(kBus), 0x580 + kNode);
    ASSERT_EQ(answers.size(), 2);
    EXPECT_EQ(answers[0].bytes(), QByteArray::fromHex("420020007EA5A5A5")) << "the node pads with stale bytes";
    EXPECT_EQ(answers[1].bytes(), QByteArray::fromHex("420120003412A5A5"));
    // The row shows it once the throttled refresh has run.
    EXPECT_TRUE(waitUntil(
        [&] { return m->item(listenRow(0x2001) - m->windowStart(), QUserTableModelEDS::ColValueHex)->text() == "00001234"; },
        testsupport::kGiveUpMs))
        << qPrintable(m->item(listenRow(0x2001) - m->windowStart(), QUserTableModelEDS::ColValueHex)->text());
}

// "开始" during a move goes straight to the new target: the drive stays in
// Operation enabled (no Shutdown switches its power stage off), keeps
// moving and runs on to the new target; the master sends no 0x0006.
TEST_F(Sim, PositionStartDuringAMoveKeepsThePowerStageOn)
{
    ASSERT_TRUE(start());
    field("lineEditCia402NodeId", "5");
    click("toolButtonCia402Start");
    ASSERT_TRUE(waitUntil([&] { return rig.sim.nmt(kBus, kNode) == 5; }));
    field("linEditPosAAccSpeed", "2000");
    field("linEditPosAccSpeed", "8000");
    field("linEditPosDecSpeed", "8000");
    const int32_t from = int32_t(node(0x6064));
    field("lineEditPosAbsDst", QString::number(from + 100000));
    click("pushButtonPosAbsStart");
    ASSERT_TRUE(waitUntil([&] { return int32_t(node(0x606C)) == 2000; })) << int32_t(node(0x606C));
    ASSERT_TRUE(idle());
    const uint64_t offs = rig.sim.counter(kBus, kNode, PowerStageOffs);
    rig.sim.take(kBus);

    // A new target ahead, while the drive runs at full speed.
    const int32_t at = int32_t(node(0x6064));
    const int32_t target = at + 3000;
    field("lineEditPosAbsDst", QString::number(target));
    click("pushButtonPosAbsStart");
    // Until it stands at the new target, the drive never stops on the way.
    int32_t slowest = INT32_MAX;
    ASSERT_TRUE(waitUntil(
        [&] {
            const int32_t v = int32_t(node(0x606C));
            if (int32_t(node(0x6064)) != target)
                slowest = std::min(slowest, v);
            return int32_t(node(0x6064)) == target && v == 0;
        },
        testsupport::kGiveUpMs))
        << int32_t(node(0x6064));
    ASSERT_TRUE(idle());
    EXPECT_EQ(rig.sim.counter(kBus, kNode, PowerStageOffs), offs) << "Operation enabled the whole time";
    EXPECT_EQ(rig.sim.drive(kBus, kNode), 4);
    EXPECT_GT(slowest, 0) << "the move went on without a stop";
    settle(300);
    EXPECT_EQ(int32_t(node(0x6064)), target) << "and it stands there";
    // What the master sent: the state read, then no Shutdown.
    QVector<QByteArray> controlwords;
    for (const BusFrame &f : framesWithId(rig.sim.take(kBus), 0x600 + kNode))
        if (f.data[0] != 0x40 && f.data[1] == 0x40 && f.data[2] == 0x60)
            controlwords << f.bytes().mid(4, 2);
    EXPECT_EQ(controlwords, (QVector<QByteArray>{QByteArray::fromHex("0f00"), QByteArray::fromHex("3f00")}));
}

// The device registry and the send machine: tables, forwarders, relayed
// signals and the order of destruction.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QThread>
#include <QElapsedTimer>
#include <QCoreApplication>

#include "tests/devices/PrintQt.h"
#include "tests/devices/SignalLog.h"
#include "tests/devices/StubDevice.h"
#include "tests/support/TempWorkDir.h"
#include "devices/QUserDeviceAdapter.h"
#include "devices/QUserDeviceSendMachine.h"
#include "traffic/QUserAdvanceSend.h"
#include "traffic/QUserBasicSend.h"

namespace {
QUserSendTask longBasic()
{
    QUserSendTask t;
    t.msg.idText = "1";
    t.msg.lenText = "0";
    t.reqSendCnt = 0xFFFFFFFFu;
    t.perSendCnt = 1;
    t.period = 100000;
    return t;
}

QUserSendTask longAdvance()
{
    QUserSendTask t;
    QUserCanMsg m;
    m.idText = "2";
    m.rowEnable = 1;
    t.msgList = {m};
    t.reqSendCnt = 0xFFFFFFFFu;
    t.period = 100000;
    t.frameInterval = 0;
    return t;
}
} // namespace

class RegistryTest : public WorkDirTest
{
protected:
    void SetUp() override { QDir().mkpath("setting"); }
};

TEST_F(RegistryTest, OpenRefusalsAndFailedOpensMakeNothing)
{
    QUserDeviceAdapter noOwner(nullptr);
    QStringList ids;
    EXPECT_EQ(noOwner.devOpen("TRNB702", ids), -4);
    QObject owner;
    QUserDeviceAdapter reg(&owner);
    EXPECT_EQ(reg.devOpen("NOPE", ids), -4);
    EXPECT_EQ(reg.devOpen("trnb702", ids), -4); // exact names only
    for (const char *n : {"USBCAN1", "USBCAN2", "VARIRORODadi", "VURIVUVU1", "USBCANFD2", "TRNA701", "TRNB701",
                          "TRNA702", "TRNB702"})
        EXPECT_NE(reg.device(n), nullptr) << n;

    auto *stub = new StubDevice;
    reg.deviceReplace("TRNB702", stub);
    stub->openIds = QStringList({"TRNB702-0-0", "TRNB702-0-1"});
    stub->openResult = -1; // partly filled list, negative result
    EXPECT_EQ(reg.devOpen("TRNB702", ids), -1);
    EXPECT_EQ(reg.channelCount(), 0);
}

TEST_F(RegistryTest, OpenMakesPerChannelObjectsAndCloseRemovesExactlyOne)
{
    QObject owner;
    QUserDeviceAdapter reg(&owner);
    auto *stub = new StubDevice;
    reg.deviceReplace("USBCANFD2", stub);
    stub->openIds = QStringList({"USBCANFD2-0-0", "USBCANFD2-0-1"});
    QStringList ids;
    ASSERT_EQ(reg.devOpen("USBCANFD2", ids), 0);
    EXPECT_TRUE(reg.hasChannel("USBCANFD2-0-0"));
    EXPECT_TRUE(reg.hasChannel("USBCANFD2-0-1"));
    EXPECT_EQ(reg.devClose("USBCANFD2", "USBCANFD2-0-0"), 0);
    EXPECT_EQ(stub->closed, QStringList({"USBCANFD2-0-0"}));
    EXPECT_FALSE(reg.hasChannel("USBCANFD2-0-0"));
    EXPECT_TRUE(reg.hasChannel("USBCANFD2-0-1"));
    // An unknown type name still drops the id's objects.
    EXPECT_EQ(reg.devClose("NOPE", "USBCANFD2-0-1"), 0);
    EXPECT_FALSE(reg.hasChannel("USBCANFD2-0-1"));
    EXPECT_EQ(reg.channelCount(), 0);
}

// The caller learns when a channel did not close; its objects go anyway.
TEST_F(RegistryTest, CloseGivesTheDeviceResult)
{
    QObject owner;
    QUserDeviceAdapter reg(&owner);
    auto *stub = new StubDevice;
    reg.deviceReplace("USBCANFD2", stub);
    stub->openIds = QStringList({"USBCANFD2-0-0"});
    QStringList ids;
    ASSERT_EQ(reg.devOpen("USBCANFD2", ids), 0);
    stub->closeResult = -1;
    EXPECT_EQ(reg.devClose("USBCANFD2", "USBCANFD2-0-0"), -1);
    EXPECT_FALSE(reg.hasChannel("USBCANFD2-0-0"));
}

TEST_F(RegistryTest, ForwardersAnswerUnknownIdsWithZero)
{
    QObject owner;
    QUserDeviceAdapter reg(&owner);
    QUserDevChState st;
    QUserCanMsg m;
    QUserSendTask t;
    QVector<QUserFliterRule> rules;
    for (const char *id : {"TRNB702-0", "TRNB702-0-0-0", "", "NOPE-0-0"}) {
        EXPECT_EQ(reg.devInfoGet(id, &st), 0) << id;
        EXPECT_EQ(reg.devSendMsg(id, m), 0) << id;
        EXPECT_EQ(reg.devSendMsgList(id, {m}), 0) << id;
    }
    const QString never = "TRNB702-0-0";
    EXPECT_EQ(reg.fliterCheck(never, &m), 0);
    EXPECT_FALSE(reg.fliterEnableGet(never));
    EXPECT_FALSE(reg.fliterEnableSet(never, true));
    EXPECT_FALSE(reg.fliterRulesGet(never, rules));
    EXPECT_FALSE(reg.fliterSave(never, rules));
    EXPECT_FALSE(reg.recordStart(never, "x.asc"));
    EXPECT_FALSE(reg.recordIsStart(never));
    EXPECT_EQ(reg.recordWrite(never, m), 0);
    EXPECT_FALSE(reg.basicSendStart(never, t));
    EXPECT_FALSE(reg.basicSendStop(never));
    EXPECT_EQ(reg.basicSendParaGet(never, t), 0);
    EXPECT_EQ(reg.basicSendParaRef(never), nullptr);
    EXPECT_FALSE(reg.advanceSendCfgLoad(never, "x.txt"));
    EXPECT_EQ(reg.advanceSendParaRef(never), nullptr);
}

TEST_F(RegistryTest, ChannelForwardersReachTheirObjects)
{
    QObject owner;
    QUserDeviceAdapter reg(&owner);
    auto *stub = new StubDevice;
    reg.deviceReplace("TRNB701", stub);
    stub->openIds = QStringList({"TRNB701-0-2"});
    QStringList ids;
    ASSERT_EQ(reg.devOpen("TRNB701", ids), 0);
    const QString id = "TRNB701-0-2";

    // Filter: passes everything while off, rules once on.
    QUserCanMsg m;
    m.idText = "00000300 ";
    EXPECT_EQ(reg.fliterCheck(id, &m), 1);
    QUserFliterRule r;
    r.startId = 0x100;
    r.endId = 0x1FF;
    EXPECT_TRUE(reg.fliterSave(id, {r}));
    EXPECT_TRUE(QFile::exists(id + "-Fliter.ini"));
    reg.fliterEnableSet(id, true);
    EXPECT_TRUE(reg.fliterEnableGet(id));
    EXPECT_EQ(reg.fliterCheck(id, &m), 0);
    QVector<QUserFliterRule> back;
    EXPECT_TRUE(reg.fliterRulesGet(id, back));
    EXPECT_EQ(back.size(), 1);

    // Recorder: nothing written while not recording.
    EXPECT_EQ(reg.recordWrite(id, m), 0);
    EXPECT_TRUE(reg.recordStart(id, "trace.asc"));
    EXPECT_TRUE(reg.recordIsStart(id));
    EXPECT_EQ(reg.recordWrite(id, m), 1);
    EXPECT_TRUE(reg.recordStop(id));
    EXPECT_FALSE(reg.recordIsStart(id));

    // Devices by the id's type name.
    EXPECT_EQ(reg.devSendMsgList(id, {m, m}), 2);
    EXPECT_EQ(reg.devSendMsg(id, m), 1);
    QUserDevChState st;
    EXPECT_EQ(reg.devInfoGet(id, &st), 1);
    EXPECT_EQ(st.devId, id);

    // Send parameters by copy and in place; list files.
    QUserSendTask t = longAdvance();
    EXPECT_TRUE(reg.advanceSendParaSet(id, t));
    QUserSendTask got;
    EXPECT_EQ(reg.advanceSendParaGet(id, got), 1);
    EXPECT_EQ(got.msgList.size(), 1);
    EXPECT_TRUE(reg.advanceSendCfgSave(id, "list.txt"));
    reg.advanceSendParaRef(id)->msgList.clear();
    EXPECT_TRUE(reg.advanceSendCfgLoad(id, "list.txt"));
    EXPECT_EQ(reg.advanceSendParaRef(id)->msgList.size(), 1);
    reg.basicSendParaRef(id)->perSendCnt = 7;
    EXPECT_EQ(reg.basicSendParaGet(id, got), 1);
    EXPECT_EQ(got.perSendCnt, 7u);
}

// A recording that a failed write stops is reported by the registry with the
// channel's device id, so the main window can tell the user; the channel
// shows as not recording from then on.
TEST_F(RegistryTest, ReportsARecordingStoppedByAFailedWrite)
{
    if (!QFile::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    ASSERT_TRUE(QFile::link("/dev/full", "full.asc"));
    QObject owner;
    QUserDeviceAdapter reg(&owner);
    auto *stub = new StubDevice;
    reg.deviceReplace("TRNB701", stub);
    stub->openIds = QStringList({"TRNB701-0-1", "TRNB701-0-2"});
    QStringList ids;
    ASSERT_EQ(reg.devOpen("TRNB701", ids), 0);
    QSignalSpy failed(&reg, &QUserDeviceAdapter::recordFailed);

    ASSERT_TRUE(reg.recordStart("TRNB701-0-2", "full.asc"));
    ASSERT_TRUE(reg.recordStart("TRNB701-0-1", "fine.asc"));
    QUserCanMsg m;
    m.idText = "00000123 ";
    m.hostTime = 1000;
    int refused = 0;
    // The recorder's writer thread hands its lines to the file every 100
    // frames at the latest; the GUI thread learns of the failure in its loop
    // or at the next frame.
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; refused == 0 && clock.elapsed() < testsupport::kGiveUpMs; ++i) {
        refused += reg.recordWrite("TRNB701-0-2", m) == 0 ? 1 : 0;
        reg.recordWrite("TRNB701-0-1", m);
        if (i % 50 == 49) {
            QCoreApplication::processEvents();
            QThread::msleep(1);
        }
    }
    EXPECT_GE(refused, 1);
    ASSERT_EQ(failed.count(), 1) << "reported once, when the recording stopped";
    EXPECT_EQ(failed[0][0].toString(), "TRNB701-0-2");
    EXPECT_FALSE(failed[0][1].toString().isEmpty());
    EXPECT_FALSE(reg.recordIsStart("TRNB701-0-2"));
    EXPECT_TRUE(reg.recordIsStart("TRNB701-0-1")) << "the other channel records on";
}

TEST_F(RegistryTest, RelaysDeviceAndSenderSignalsUnchanged)
{
    QObject owner;
    QUserDeviceAdapter reg(&owner);
    auto *stub = new StubDevice;
    reg.deviceReplace("TRNA701", stub);
    stub->openIds = QStringList({"TRNA701-1-3"});
    QStringList ids;
    ASSERT_EQ(reg.devOpen("TRNA701", ids), 0);
    SignalLog results;
    results.attach(&reg, &QUserDeviceAdapter::sendResultNotify);
    QVector<QPair<QString, int>> batches;
    QObject::connect(&reg, &QUserDeviceAdapter::receiveMsg, &reg,
                     [&](QString id, QVector<QUserCanMsg> l) { batches.append({id, l.size()}); });
    QUserCanMsg m;
    m.status = 104;
    emit stub->sendResultNotify("TRNA701-1-3", m);
    emit stub->receiveMsg("TRNA701-1-3", {m, m, m});
    ASSERT_EQ(batches.size(), 1);
    EXPECT_EQ(batches[0], qMakePair(QString("TRNA701-1-3"), 3));

    // A sender's report crosses from its thread to the registry.
    QUserSendTask t;
    t.msg.idText = "5";
    t.msg.lenText = "0";
    t.reqSendCnt = 1;
    t.period = 0;
    EXPECT_TRUE(reg.basicSendStart("TRNA701-1-3", t));
    ASSERT_TRUE(waitFor([&] { return results.countStatus(MsgStatusBasicEnd) == 1; }));
    const auto r = results.copy();
    EXPECT_EQ(r[0].devId, "TRNA701-1-3");
    EXPECT_EQ(r[0].msg.status, 104);
    EXPECT_EQ(results.countStatus(MsgStatusBasicStart), 1);
    for (const auto &e : r)
        EXPECT_EQ(e.devId, "TRNA701-1-3");
}

TEST_F(RegistryTest, SendMachineRestartsStopsAndDeletesCleanly)
{
    StubDevice dev;
    auto *m = new QUserDeviceSendMachine("TRNB702-0-0", &dev);
    // Advanced start while running: stop, new task, start again.
    m->advanceSendStart(longAdvance());
    ASSERT_TRUE(waitFor([&] { return m->advanceSender()->isSending() && dev.sentCount() >= 1; }));
    QUserSendTask t2 = longAdvance();
    t2.msgList[0].idText = "3";
    m->advanceSendStart(t2);
    EXPECT_TRUE(m->advanceSender()->isSending());
    EXPECT_EQ(m->advanceSendParaGet().msgList[0].idText, "3");
    // Basic parameter set while sending: stopped, task stored, not restarted.
    m->basicSendStart(longBasic());
    EXPECT_TRUE(m->basicSender()->isSending());
    QUserSendTask b2 = longBasic();
    b2.perSendCnt = 5;
    m->basicSendParaSet(b2);
    EXPECT_FALSE(m->basicSender()->isSending());
    EXPECT_EQ(m->basicSendParaGet().perSendCnt, 5u);
    m->basicSendStart(b2);
    EXPECT_TRUE(m->basicSender()->isSending());
    // Deleting the machine ends both threads first.
    QUserBasicSend *bs = m->basicSender();
    QUserAdvanceSend *as = m->advanceSender();
    EXPECT_TRUE(bs->isRunning() || bs->isSending());
    EXPECT_TRUE(as->isRunning() || as->isSending());
    delete m; // returns only after both threads have ended (a running thread would abort here)
}

// The registry goes: senders first, then recorders, then devices (with their
// driver threads), then filters, so no sender thread outlives its device.
TEST_F(RegistryTest, DestructionStopsSendersBeforeDevicesGo)
{
    QObject owner;
    auto *reg = new QUserDeviceAdapter(&owner);
    auto *stub = new StubDevice;
    bool deleted = false;
    stub->deletedFlag = &deleted;
    reg->deviceReplace("TRNB702", stub);
    stub->openIds = QStringList({"TRNB702-0-0", "TRNB702-0-1"});
    QStringList ids;
    ASSERT_EQ(reg->devOpen("TRNB702", ids), 0);
    QUserSendTask fast = longBasic();
    fast.period = 0;
    reg->basicSendStart("TRNB702-0-0", fast);
    reg->advanceSendStart("TRNB702-0-1", longAdvance());
    ASSERT_TRUE(waitFor([&] { return stub->sentCount() > 100; }));
    delete reg; // a sender still sending into a deleted device would crash here
    EXPECT_TRUE(deleted);
}

// End to end over kemusb's simulated adapters: the registry opens adapters
// through their settings dialogs (answered through the prompt seam), frames
// sent on one channel arrive on another channel's receiveMsg, senders tag
// their frames, channels close and reopen, and an adapter unplugged
// mid-stream is reported without a crash or a hang.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>

#include <atomic>
#include <thread>

#include "tests/devices/DialogAnswers.h"
#include "tests/devices/PrintQt.h"
#include "tests/support/QUserPromptScript.h"
#include "tests/devices/SignalLog.h"
#include "tests/devices/SimHarness.h"
#include "tests/support/TempWorkDir.h"
#include "devices/QKemDev.h"
#include "devices/QUserBaudChk.h"
#include "devices/QUserDeviceAdapter.h"

namespace {
QUserCanMsg frame(uint32_t id, int status, const QString &data = "01 02 03 04")
{
    QUserCanMsg m;
    m.idText = QString::asprintf("%08X", id);
    m.lenText = QString::number(data.split(' ', Qt::SkipEmptyParts).size());
    m.dataText = data;
    m.status = status;
    return m;
}

bool kemusbBuilt()
{
    return QFileInfo::exists(QString::fromStdString(peer::binDir()) + "/libkemusb.so");
}
} // namespace

class SimEndToEnd : public WorkDirTest
{
protected:
    void TearDown() override { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }
};

// The shipped library, found by its file name next to the program.
TEST_F(SimEndToEnd, RegistryOpensSendsReceivesClosesAndReopens)
{
    if (!kemusbBuilt())
        GTEST_SKIP() << "libkemusb.so not built";
    sim::environment(nullptr); // one adapter of each model, each on a bus of its own
    QKemLib::setPathOverride(QString());
    QObject owner;
    QUserDeviceAdapter reg(&owner);
    sim::Collector col;
    col.attach(&reg);
    QUserPromptScript prompts;

    QStringList ids;
    prompts.answerExec(pickChannel({0, 0, true}));
    ASSERT_EQ(reg.devOpen("TRNA702", ids), 0);
    ASSERT_EQ(ids.size(), 8);
    for (const QString &id : ids)
        EXPECT_TRUE(reg.hasChannel(id)) << id.toStdString();
    QUserDevChState st;
    ASSERT_EQ(reg.devInfoGet("TRNA702-0-3", &st), 1);
    EXPECT_EQ(st.chOpenGet(), 1);

    // A list from the caller's thread, tagged as playback.
    QVector<QUserCanMsg> list;
    for (int i = 0; i < 20; ++i)
        list.append(frame(0x100 + i, MsgTagPlayBack, QString::asprintf("%02X 11 22", i)));
    EXPECT_EQ(reg.devSendMsgList("TRNA702-0-0", list), 20);
    ASSERT_TRUE(waitFor(
        [&] {
            for (int c = 1; c < 8; ++c)
                if (col.received.value(QString("TRNA702-0-%1").arg(c)) < 20)
                    return false;
            return true;
        },
        testsupport::kGiveUpMs));
    ASSERT_TRUE(waitFor([&] { return col.resultsWith("TRNA702-0-0", MsgTagPlayBack) == 20; }));
    for (int c = 1; c < 8; ++c)
        EXPECT_EQ(col.received.value(QString("TRNA702-0-%1").arg(c)), 20) << c;
    EXPECT_EQ(col.received.value("TRNA702-0-0"), 0); // a sender does not hear itself
    QVector<QUserCanMsg> on5;
    for (const auto &b : col.batches) {
        EXPECT_LE(b.msgs.size(), 32);
        EXPECT_FALSE(b.msgs.isEmpty());
        if (b.devId == "TRNA702-0-5")
            on5 += b.msgs;
    }
    ASSERT_EQ(on5.size(), 20);
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(on5[i].idText, QString::asprintf("%08X ", 0x100 + i));
        EXPECT_EQ(on5[i].dataText, QString::asprintf("%02X1122", i));
        EXPECT_EQ(on5[i].lenText, "3");
        EXPECT_EQ(on5[i].channel, 5);
        EXPECT_EQ(on5[i].direction, 0);
    }

    // One frame through the driver thread, from the other side.
    QUserCanMsg one = frame(0x7AB, MsgTagDbcSend);
    EXPECT_EQ(reg.devSendMsg("TRNA702-0-1", one), 1);
    EXPECT_EQ(one.sendFailed, 0);
    ASSERT_TRUE(waitFor([&] { return col.received.value("TRNA702-0-0") == 1; }));

    // The basic sender: its frames carry tag 100, its state reports 0 and 1.
    QUserSendTask task;
    task.msg = frame(0x55, 0);
    task.perSendCnt = 4;
    task.reqSendCnt = 5;
    task.period = 0;
    EXPECT_TRUE(reg.basicSendStart("TRNA702-0-2", task));
    ASSERT_TRUE(waitFor([&] { return col.resultsWith("TRNA702-0-2", MsgStatusBasicEnd) == 1; }));
    ASSERT_TRUE(waitFor([&] { return col.resultsWith("TRNA702-0-2", MsgTagBasicSend) == 20; }));
    EXPECT_EQ(col.resultsWith("TRNA702-0-2", MsgStatusBasicStart), 1);
    EXPECT_EQ(col.resultsWith("TRNA702-0-2", MsgTagBasicSend, 1), 0);
    ASSERT_TRUE(waitFor([&] { return col.received.value("TRNA702-0-3") == 20 + 1 + 20; }));

    // The advanced sender: tag 101 through the driver thread.
    QUserSendTask adv;
    adv.msgList = {frame(0x60, 0), frame(0x61, 0)};
    adv.msgList[0].rowEnable = 1;
    adv.msgList[1].rowEnable = 1;
    adv.reqSendCnt = 3;
    adv.period = 0;
    adv.frameInterval = 0;
    adv.errorMode = 0;
    EXPECT_TRUE(reg.advanceSendStart("TRNA702-0-4", adv));
    ASSERT_TRUE(waitFor([&] { return col.resultsWith("TRNA702-0-4", MsgStatusAdvEnd) == 1; }));
    ASSERT_TRUE(waitFor([&] { return col.resultsWith("TRNA702-0-4", MsgTagAdvanceSend) == 6; }));

    // Everything heard before the close (1 + 20 + 6 frames on channel 0);
    // frames still in the adapter's stream would otherwise surface after the
    // reopen.
    ASSERT_TRUE(waitFor([&] { return col.received.value("TRNA702-0-0") == 27; }));

    // Close everything, then reopen two channels and talk again.
    for (const QString &id : ids)
        EXPECT_EQ(reg.devClose("TRNA702", id), 0);
    EXPECT_EQ(reg.channelCount(), 0);
    EXPECT_EQ(reg.devSendMsg("TRNA702-0-0", one), 0);
    QStringList again;
    prompts.answerExec(pickChannel({0, 0, false}));
    ASSERT_EQ(reg.devOpen("TRNA702", again), 0);
    prompts.answerExec(pickChannel({0, 6, false}));
    ASSERT_EQ(reg.devOpen("TRNA702", again), 0);
    EXPECT_EQ(again, QStringList({"TRNA702-0-0", "TRNA702-0-6"}));
    col.received.clear();
    EXPECT_EQ(reg.devSendMsgList("TRNA702-0-6", {frame(0x10, 0), frame(0x11, 0)}), 2);
    ASSERT_TRUE(waitFor([&] { return col.received.value("TRNA702-0-0") == 2; }));
    EXPECT_EQ(prompts.unanswered(), 0);
}

TEST_F(SimEndToEnd, ClassicAdapterThroughTheRegistry)
{
    if (!kemusbBuilt())
        GTEST_SKIP() << "libkemusb.so not built";
    sim::environment(nullptr);
    QKemLib::setPathOverride(QString());
    {
        QKemDev probe("USBCAN2", 4, 0);
        if (probe.devOpen() != 0)
            GTEST_SKIP() << "kemusb's simulator has no classic adapter model (USBCAN2, type 4) in this build; "
                            "the classic end-to-end path is checked against the stand-in library instead";
        probe.devClose();
    }
    QObject owner;
    QUserDeviceAdapter reg(&owner);
    sim::Collector col;
    col.attach(&reg);
    QUserPromptScript prompts;
    QStringList ids;
    prompts.answerExec(pickChannel({0, 0, true, "00", "1C"}));
    ASSERT_EQ(reg.devOpen("USBCAN2", ids), 0);
    ASSERT_EQ(ids, QStringList({"USBCAN2-0-0", "USBCAN2-0-1"}));
    EXPECT_EQ(reg.devSendMsgList("USBCAN2-0-0", {frame(0x321, MsgTagPlayBack)}), 1);
    ASSERT_TRUE(waitFor([&] { return col.received.value("USBCAN2-0-1") == 1; }));
    for (const QString &id : ids)
        reg.devClose("USBCAN2", id);
    prompts.answerExec(pickChannel({0, 1, false, "00", "1C"}));
    QStringList again;
    ASSERT_EQ(reg.devOpen("USBCAN2", again), 0);
}

// CAN FD frames both ways between two adapters, then the adapter under test
// is unplugged while its sender and the far end are streaming.
TEST_F(SimEndToEnd, UnplugMidStreamIsReportedWithoutCrashOrHang)
{
    sim::environment(sim::kTopology);
    sim::Controls ctl;
    ASSERT_TRUE(ctl.ok()) << "test build of kemusb missing";
    ASSERT_EQ(ctl.configure(sim::kTopology), 1);
    QObject owner;
    auto *reg = new QUserDeviceAdapter(&owner);
    sim::Collector col;
    col.attach(reg);
    QUserPromptScript prompts;
    QStringList ids;
    prompts.answerExec(pickChannel({0, 0, true, {}, {}, 1}));
    ASSERT_EQ(reg->devOpen("TRNB702", ids), 0);
    ASSERT_EQ(ids.size(), 8);
    QUserDevChState st;
    reg->devInfoGet("TRNB702-0-0", &st);
    EXPECT_EQ(st.fdEnableGet(), 1);
    for (int c = 0; c < 8; ++c)
        ASSERT_EQ(ctl.peer("FAR", c, "DUT", c), 1) << c;

    // The far end talks CAN FD to every channel; nothing is lost, in order.
    for (int c = 0; c < 8; ++c)
        ASSERT_EQ(ctl.send("FAR", c, 100, 1, 16, 0x100 + c, 0), 100);
    ASSERT_TRUE(waitFor(
        [&] {
            for (int c = 0; c < 8; ++c)
                if (col.received.value(QString("TRNB702-0-%1").arg(c)) < 100)
                    return false;
            return true;
        },
        testsupport::kGiveUpMs));
    for (const auto &b : col.batches) {
        EXPECT_LE(b.msgs.size(), 32);
        for (const QUserCanMsg &m : b.msgs) {
            EXPECT_EQ(m.protocol, 2);
            EXPECT_EQ(m.lenText, "16");
        }
    }

    // Stream from the adapter under test, then pull its plug.
    QUserSendTask task;
    task.msg = frame(0x222, 0, "01 02 03 04 05 06 07 08 09 0A 0B 0C");
    task.msg.protocol = 2;
    task.msg.lenText = "12";
    task.perSendCnt = 8;
    task.reqSendCnt = 1000000;
    task.period = 1;
    ASSERT_TRUE(reg->basicSendStart("TRNB702-0-3", task));
    ASSERT_TRUE(waitFor([&] { return col.resultsWith("TRNB702-0-3", MsgTagBasicSend, 0) >= 64; }));
    ASSERT_EQ(ctl.unplug("DUT"), 1);
    // The sender's batch comes back short: the failed frame is reported and
    // the run ends by itself.
    EXPECT_TRUE(waitFor([&] { return col.resultsWith("TRNB702-0-3", MsgStatusBasicEnd) == 1; }));
    EXPECT_GE(col.resultsWith("TRNB702-0-3", MsgTagBasicSend, 1), 1);
    // Once the loss is taken in, the adapter's channels are closed: a single
    // send after it does not leave and is marked failed.
    EXPECT_TRUE(waitFor(
        [&] {
            QUserDevChState lost;
            reg->devInfoGet("TRNB702-0-1", &lost);
            return lost.chLostGet() == 1;
        },
        30000));
    QUserCanMsg after = frame(0x1, 0);
    EXPECT_EQ(reg->devSendMsg("TRNB702-0-1", after), 0);
    EXPECT_EQ(after.sendFailed, 1);

    // Closing and destroying still finish (each exchange with the gone
    // adapter fails at once instead of waiting out its reply time).
    QElapsedTimer t;
    t.start();
    for (const QString &id : ids)
        EXPECT_EQ(reg->devClose("TRNB702", id), 0);
    delete reg;
    EXPECT_LT(t.elapsed(), 30000);
}

// Baud detection on a simulated 500 kbit/s bus finds 500000 and reports the
// codes in their order: table generation (205, 206), begin (200), trials
// (201/202), end (203). The detection re-initialises the same channel for
// every candidate without a reset, as it does on a real adapter.
TEST_F(SimEndToEnd, BaudDetectionOnA500kBus)
{
    sim::environment(sim::kClassicBus);
    sim::Controls ctl;
    ASSERT_TRUE(ctl.ok()) << "test build of kemusb missing";
    if (ctl.configure(sim::kClassicBus) != 1)
        GTEST_SKIP() << "kemusb's simulator has no classic adapter model (USBCAN2) in this build";
    QKemDev drv("USBCAN2", 4, 0);
    QVector<QUserBaudChkMsg> msgs;
    QMutex mutex;
    QObject::connect(&drv, &QKemDev::baudChkResult, &drv,
                     [&](QString, QUserBaudChkMsg m) {
                         QMutexLocker l(&mutex);
                         msgs.append(m);
                     },
                     Qt::DirectConnection);
    ASSERT_EQ(drv.devOpen(), 0);
    ASSERT_EQ(ctl.startAt("F", 0, 500000), 1);
    std::atomic<bool> talking{true};
    std::thread farEnd([&] {
        for (uint32_t k = 0; talking; ++k) {
            ctl.send("F", 0, 1, 0, 8, 0x123, k);
            QThread::msleep(1);
        }
    });
    EXPECT_EQ(drv.baudChkStart(0, 5000, 1000000, 1, 300), 1);
    const bool ended = drv.wait(60000);
    talking = false;
    farEnd.join();
    ASSERT_TRUE(ended);
    drv.devClose();
    QMutexLocker l(&mutex);
    QVector<int> codes;
    for (const QUserBaudChkMsg &m : msgs)
        if (codes.isEmpty() || codes.last() != m.code)
            codes.append(m.code);
    // 205 ... 206 200 (201 202)* 203, without repeats collapsed for 201/202.
    ASSERT_GE(codes.size(), 5);
    EXPECT_EQ(codes.first(), QUserBaudChkMsg::Progress);
    EXPECT_EQ(codes[1], QUserBaudChkMsg::TableReady);
    EXPECT_EQ(codes[2], QUserBaudChkMsg::Begin);
    EXPECT_EQ(codes.last(), QUserBaudChkMsg::End);
    QVector<int> found;
    for (const QUserBaudChkMsg &m : msgs)
        if (m.code == QUserBaudChkMsg::TryEnd && !m.failed)
            found.append(m.rate);
    ASSERT_FALSE(found.isEmpty());
    for (int r : found)
        EXPECT_EQ(r, 500000);
    EXPECT_EQ(msgs.last().code, QUserBaudChkMsg::End);
    // The trials stop at the first miss after the matches (800 kbit/s).
    const QUserBaudChkMsg &lastTrial = msgs[msgs.size() - 2];
    EXPECT_EQ(lastTrial.code, QUserBaudChkMsg::TryEnd);
    EXPECT_EQ(lastTrial.failed, 1);
    EXPECT_EQ(lastTrial.rate, 800000);
}

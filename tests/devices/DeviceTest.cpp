// The two device classes against the stand-in adapter library, with their
// settings dialogs answered through the prompt seam.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QPointer>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>
#include <type_traits>

#include "tests/devices/DialogAnswers.h"
#include "tests/devices/FakeKcan.h"
#include "tests/devices/PrintQt.h"
#include "tests/devices/SignalLog.h"
#include "tests/support/TempWorkDir.h"
#include "devices/QKemDev.h"
#include "devices/QKemFdDev.h"
#include "devices/QUserDeviceUSBCAN2.h"
#include "devices/QUserDeviceUSBCANFD2.h"
#include "tests/support/QUserPromptScript.h"

class DeviceTest : public WorkDirTest
{
protected:
    void SetUp() override { ASSERT_TRUE(fake.ok()); }
    void TearDown() override { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }
    FakeKcan fake;
};

TEST_F(DeviceTest, FdAllChannelsStartsOnlyTheFreeOnesInOrder)
{
    QUserDeviceUSBCANFD2 dev("TRNB702");
    QUserPromptScript prompts;
    QStringList ids;
    prompts.answerExec(pickChannel({0, 0, false}));
    ASSERT_EQ(dev.open(ids), 0);
    prompts.answerExec(pickChannel({0, 3, false}));
    ASSERT_EQ(dev.open(ids), 0);
    EXPECT_EQ(ids, QStringList({"TRNB702-0-0", "TRNB702-0-3"}));
    QKemFdDev *drv = dev.driver(0);
    ASSERT_NE(drv, nullptr);

    QStringList offered;
    QStringList more;
    prompts.answerExec(pickChannel({0, 1, true}, &offered));
    ASSERT_EQ(dev.open(more), 0);
    EXPECT_EQ(more, QStringList({"TRNB702-0-1", "TRNB702-0-2", "TRNB702-0-4", "TRNB702-0-5", "TRNB702-0-6",
                                 "TRNB702-0-7"}));
    EXPECT_EQ(offered, QStringList({"1", "2", "4", "5", "6", "7"})); // the dialog saw the open table
    EXPECT_EQ(dev.driver(0), drv); // reused
    EXPECT_EQ(dev.driverCount(), 1);
    for (int c = 0; c < 8; ++c)
        EXPECT_TRUE(fake.isStarted(67, 0, c)) << c;

    QUserDevChState st;
    ASSERT_EQ(dev.devInfoGet("TRNB702-0-5", &st), 1);
    EXPECT_EQ(st.chOpenGet(), 1);
    EXPECT_EQ(st.devKind, 1);
    EXPECT_EQ(st.devId, "TRNB702-0-5");
    EXPECT_EQ(prompts.unanswered(), 0);
}

TEST_F(DeviceTest, FdModelsTypeNumbersCancelAndRanges)
{
    struct Case { const char *name; int channels; int type; bool fd; };
    const Case cases[] = {{"VURIVUVU1", 1, 41, true},  {"USBCANFD2", 2, 41, true}, {"TRNA701", 4, 65, false},
                          {"TRNB701", 4, 64, true},    {"TRNA702", 8, 66, false},  {"TRNB702", 8, 67, true},
                          {"VARIRORODadi", 1, 41, true}};
    for (const Case &c : cases) {
        EXPECT_EQ(QUserDeviceUSBCANFD2::channelCount(c.name), c.channels) << c.name;
        EXPECT_EQ(QUserDeviceUSBCANFD2::typeNumber(c.name), c.type) << c.name;
        EXPECT_EQ(QUserDeviceUSBCANFD2::fdCapable(c.name), c.fd) << c.name;
    }
    QUserDeviceUSBCANFD2 a701("TRNA701");
    QUserPromptScript prompts;
    prompts.answerExec(0);
    QStringList ids;
    EXPECT_EQ(a701.open(ids), -5);
    EXPECT_EQ(a701.driverCount(), 0);
    EXPECT_EQ(fake.calls("KCAN_OpenDevice"), 0);
    prompts.answerExec(pickChannel({0, 2, false}));
    ASSERT_EQ(a701.open(ids), 0);
    EXPECT_TRUE(fake.isStarted(65, 0, 2)); // driver made with type number 65
    KCAN_INITFD_CONFIG init;
    fake.lastInitFd(65, 0, 2, &init);
    EXPECT_EQ(init.FdEnable, 0); // an A model is offered classic CAN only

    QUserDeviceUSBCANFD2 two; // "USBCANFD2"
    QUserDevChState st;
    EXPECT_EQ(two.devInfoGet("USBCANFD2-0-2", &st), 0);
    EXPECT_EQ(two.devInfoGet("USBCANFD2-32-0", &st), 0);
    EXPECT_EQ(two.devInfoGet("USBCANFD2-0", &st), 0);
    QUserCanMsg m;
    EXPECT_EQ(two.sendMsg("USBCANFD2-5-0", m), 0);
    EXPECT_EQ(two.sendMsg("", m), 0);
    EXPECT_EQ(two.sendMsgList("USBCANFD2-5-0", {m}), 0);
    EXPECT_EQ(two.sendMsgList("bad", {m}), -1);
    EXPECT_EQ(two.close("USBCANFD2-5-0"), -1);
    EXPECT_EQ(two.close(""), -1);
}

TEST_F(DeviceTest, FdCloseKeepsDriverUntilLastChannelAndSendsReachIt)
{
    QUserDeviceUSBCANFD2 dev;
    SignalLog sent;
    sent.attach(&dev, &QUserDeviceUSBCANFD2::sendResultNotify);
    QUserPromptScript prompts;
    prompts.answerExec(pickChannel({0, 0, true}));
    QStringList ids;
    ASSERT_EQ(dev.open(ids), 0);
    ASSERT_EQ(ids.size(), 2);

    QUserCanMsg m;
    m.idText = "123";
    m.lenText = "2";
    m.dataText = "01 02";
    EXPECT_EQ(dev.sendMsg("USBCANFD2-0-1", m), 1);
    EXPECT_EQ(m.dataText, "0102");
    EXPECT_EQ(dev.sendMsgList("USBCANFD2-0-1", {m, m, m}), 3);
    EXPECT_EQ(fake.txCount(41, 0, 1), 4);
    ASSERT_TRUE(waitFor([&] { return sent.copy().size() == 4; })); // queued into this thread

    EXPECT_EQ(dev.close("USBCANFD2-0-0"), 0);
    EXPECT_EQ(dev.driverCount(), 1);
    EXPECT_TRUE(fake.isOpen(41, 0));
    QUserDevChState st;
    dev.devInfoGet("USBCANFD2-0-0", &st);
    EXPECT_EQ(st.chOpenGet(), 0);
    QKemFdDev *drv = dev.driver(0);
    QPointer<QKemFdDev> watch(drv);
    EXPECT_EQ(dev.close("USBCANFD2-0-1"), 0);
    EXPECT_EQ(dev.driverCount(), 0);
    EXPECT_FALSE(drv->isRunning());
    EXPECT_FALSE(fake.isOpen(41, 0));
    EXPECT_TRUE(waitFor(
        [&] {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            return watch.isNull();
        },
        testsupport::kGiveUpMs)); // it deleted itself
    EXPECT_EQ(dev.sendMsg("USBCANFD2-0-1", m), 0);

    // A later open makes a new driver.
    prompts.answerExec(pickChannel({0, 1, false}));
    ASSERT_EQ(dev.open(ids), 0);
    EXPECT_EQ(dev.driverCount(), 1);
}

TEST_F(DeviceTest, FdFailedStartsLeaveNothingOpen)
{
    QUserDeviceUSBCANFD2 dev("TRNB701");
    QUserPromptScript prompts;
    QStringList ids;
    fake.setOpenResult(64, 0, 0);
    prompts.answerExec(pickChannel({0, 0, false}));
    EXPECT_EQ(dev.open(ids), -1);
    EXPECT_EQ(dev.driverCount(), 0);

    // On a driver that was there before, a later failure closes what this
    // call started and shows it closed again.
    fake.setOpenResult(64, 0, 1);
    prompts.answerExec(pickChannel({0, 0, false}));
    ASSERT_EQ(dev.open(ids), 0);
    fake.setStartResult(64, 0, 0);
    prompts.answerExec(pickChannel({0, 1, true}));
    QStringList more;
    EXPECT_EQ(dev.open(more), -1);
    EXPECT_EQ(dev.driverCount(), 1);
    QUserDevChState st;
    for (int c = 1; c < 4; ++c) {
        dev.devInfoGet(QString("TRNB701-0-%1").arg(c), &st);
        EXPECT_EQ(st.chOpenGet(), 0) << c;
    }
    dev.devInfoGet("TRNB701-0-0", &st);
    EXPECT_EQ(st.chOpenGet(), 1);
}

TEST_F(DeviceTest, ClassicAllChannelsRelayAndStateText)
{
    QUserDeviceUSBCAN2 dev("USBCAN2");
    fake.setRelay(4, 0, 0, 1, 1); // relay byte b set: channel 1's bit
    QUserPromptScript prompts;
    QStringList ids;
    prompts.answerExec(pickChannel({0, 0, false, "00", "1C"}));
    ASSERT_EQ(dev.open(ids), 0);
    QKemDev *drv = dev.driver(0);
    QStringList offered;
    prompts.answerExec(pickChannel({0, 1, true, "00", "1C"}, &offered));
    QStringList more;
    ASSERT_EQ(dev.open(more), 0);
    EXPECT_EQ(offered, QStringList({"1"}));
    EXPECT_EQ(more, QStringList({"USBCAN2-0-1"}));
    EXPECT_EQ(dev.driver(0), drv);
    KCAN_INIT_CONFIG init;
    fake.lastInit(4, 0, 1, &init);
    EXPECT_EQ(init.Timing1, 0x1C);

    QUserDevChState st;
    ASSERT_EQ(dev.devInfoGet("USBCAN2-0-1", &st), 1);
    st.languageSet(1);
    EXPECT_EQ(st.devStateText(), "[CAN]RelayState->[OPEN][NORMAL][500Kbps]");
    dev.devInfoGet("USBCAN2-0-0", &st);
    st.languageSet(1);
    EXPECT_EQ(st.devStateText(), "[CAN]RelayState->[CLOSE][NORMAL][500Kbps]");

    EXPECT_EQ(dev.close("USBCAN2-0-0"), 0);
    EXPECT_EQ(dev.driverCount(), 1);
    EXPECT_TRUE(fake.isOpen(4, 0));
    EXPECT_EQ(dev.close("USBCAN2-0-1"), 0);
    EXPECT_EQ(dev.driverCount(), 0);
    EXPECT_FALSE(fake.isOpen(4, 0));
    EXPECT_EQ(dev.close("USBCAN2-0-1"), -1);
}

TEST_F(DeviceTest, ClassicSingleChannelModelMakesNoRelayQuery)
{
    QUserDeviceUSBCAN2 dev("USBCAN1");
    QUserPromptScript prompts;
    QStringList ids;
    prompts.answerExec(pickChannel({0, 0, true, "00", "1C"}));
    ASSERT_EQ(dev.open(ids), 0);
    EXPECT_EQ(ids, QStringList({"USBCAN1-0-0"}));
    EXPECT_EQ(fake.calls("KCAN_DevRelayStatusGet"), 0);
    QUserDevChState st;
    EXPECT_EQ(dev.devInfoGet("USBCAN1-0-1", &st), 0);
    dev.devInfoGet("USBCAN1-0-0", &st);
    EXPECT_EQ(st.relayShowGet(), 0);
    QUserCanMsg m;
    m.idText = "1";
    m.lenText = "0";
    EXPECT_EQ(dev.sendMsg("USBCAN1-0-0", m), 1);
    EXPECT_EQ(dev.sendMsgList("USBCAN1-0-0", {m, m}), 2);
    EXPECT_EQ(dev.sendMsg("USBCAN1-3-0", m), 0);
}

// A relay query that fails after the channel started: the open fails and the
// channel does not stay running unmarked.
TEST_F(DeviceTest, ClassicRelayQueryFailureFailsTheOpenAndClosesTheChannel)
{
    QUserDeviceUSBCAN2 dev("USBCAN2");
    QUserPromptScript prompts;
    QStringList ids;
    prompts.answerExec(pickChannel({0, 0, false, "00", "1C"}));
    ASSERT_EQ(dev.open(ids), 0); // channel 0 open, relay readable
    fake.setRelay(4, 0, 0, 0, 0); // from now on the relay query fails
    prompts.answerExec(pickChannel({0, 1, false, "00", "1C"}));
    QStringList more;
    EXPECT_EQ(dev.open(more), -1);
    EXPECT_TRUE(more.isEmpty());
    EXPECT_FALSE(fake.isStarted(4, 0, 1)); // stopped again
    EXPECT_TRUE(fake.isStarted(4, 0, 0));
    QUserDevChState st;
    dev.devInfoGet("USBCAN2-0-1", &st);
    EXPECT_EQ(st.chOpenGet(), 0);
    EXPECT_EQ(dev.driverCount(), 1);
    EXPECT_EQ(dev.driver(0)->anyChannelOpen(), 1);

    // The same failure on the adapter's first channel removes its driver.
    QUserDeviceUSBCAN2 other("USBCAN2");
    prompts.answerExec(pickChannel({1, 0, false, "00", "1C"}));
    fake.setRelay(4, 1, 0, 0, 0);
    QStringList none;
    EXPECT_EQ(other.open(none), -1);
    EXPECT_EQ(other.driverCount(), 0);
    EXPECT_FALSE(fake.isOpen(4, 1));
}

// A channel start that fails on an adapter that already has an open channel
// leaves no trace in the driver: closing the open channel then stops the
// driver thread and closes the adapter, as if the failed start never was.
TEST_F(DeviceTest, AFailedStartBesideAnOpenChannelLeavesNothingOpenAfterTheClose)
{
    struct Case {
        const char *what;
        uint32_t type;
        bool failInit; // else the start call fails
    } cases[] = {{"classic, start", 4, false},
                 {"classic, init", 4, true},
                 {"CAN FD, start", 64, false},
                 {"CAN FD, init", 64, true}};
    auto pick = [](int channel, bool classic) {
        ChannelPick p;
        p.channel = channel;
        if (classic) {
            p.btr0 = "00";
            p.btr1 = "1C";
        }
        return pickChannel(p);
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        fake.reset();
        QUserPromptScript prompts;
        QStringList ids;
        std::unique_ptr<QUserDevice> dev;
        QThread *drv = nullptr;
        auto driverRunning = [&] { return dev && drv && drv->isRunning(); };
        if (c.type == 4) {
            auto *d = new QUserDeviceUSBCAN2("USBCAN2");
            dev.reset(d);
            fake.setRelay(4, 0, 0, 0, 1);
            prompts.answerExec(pick(0, true));
            ASSERT_EQ(d->open(ids), 0);
            drv = d->driver(0);
        } else {
            auto *d = new QUserDeviceUSBCANFD2("TRNB701");
            dev.reset(d);
            prompts.answerExec(pick(0, false));
            ASSERT_EQ(d->open(ids), 0);
            drv = d->driver(0);
        }
        ASSERT_NE(drv, nullptr);
        QPointer<QThread> watch(drv);
        if (c.failInit)
            fake.setInitResult(c.type, 0, 0);
        else
            fake.setStartResult(c.type, 0, 0);
        prompts.answerExec(pick(1, c.type == 4));
        QStringList more;
        EXPECT_NE(dev->open(more), 0);
        EXPECT_TRUE(more.isEmpty());
        fake.setInitResult(c.type, 0, 1);
        fake.setStartResult(c.type, 0, 1);

        ASSERT_EQ(dev->close(ids[0]), 0);
        EXPECT_FALSE(fake.isOpen(c.type, 0)) << "the adapter is closed with its last open channel";
        EXPECT_TRUE(watch.isNull() || !driverRunning()) << "the driver thread has ended";
        QUserCanMsg m;
        EXPECT_EQ(dev->sendMsg(ids[0], m), 0);
        dev.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

// Sender and playback threads send through a device class while the GUI
// thread opens and closes another adapter of the same model, and closes the
// very adapter they send to: the driver table is never read while it
// changes, and no driver goes while a sender is inside it. (Under
// ThreadSanitizer this shows every unguarded access.)
TEST_F(DeviceTest, SendsRaceOpensAndClosesOfAdaptersOfTheSameModel)
{
    struct Case {
        const char *model;
        uint32_t type;
        bool classic;
    } cases[] = {{"USBCAN2", 4, true}, {"USBCANFD2", 41, false}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.model);
        fake.reset();
        std::unique_ptr<QUserDevice> dev;
        std::function<int()> drivers;
        if (c.classic) {
            auto *d = new QUserDeviceUSBCAN2(c.model);
            drivers = [d] { return d->driverCount(); };
            dev.reset(d);
        } else {
            auto *d = new QUserDeviceUSBCANFD2(c.model);
            drivers = [d] { return d->driverCount(); };
            dev.reset(d);
        }
        auto pick = [&c](int devIndex) {
            ChannelPick p;
            p.devIndex = devIndex;
            if (c.classic) {
                p.btr0 = "00";
                p.btr1 = "1C";
            }
            return pickChannel(p);
        };
        QUserPromptScript prompts;
        QStringList ids;
        prompts.answerExec(pick(0));
        ASSERT_EQ(dev->open(ids), 0);
        const QString steady = ids[0];
        const QString coming = QString("%1-1-0").arg(c.model);

        std::atomic<bool> stop{false};
        std::atomic<int> steadyFailed{0}, steadySent{0}, comingSent{0};
        auto sender = [&](bool lists) {
            QUserCanMsg m;
            m.idText = "123";
            m.lenText = "1";
            m.dataText = "01";
            while (!stop) {
                if (lists) {
                    steadyFailed += dev->sendMsgList(steady, {m, m}) == 2 ? 0 : 1;
                    comingSent += dev->sendMsgList(coming, {m}) > 0 ? 1 : 0;
                } else {
                    steadyFailed += dev->sendMsg(steady, m) == 1 ? 0 : 1;
                    comingSent += dev->sendMsg(coming, m);
                }
                ++steadySent;
            }
        };
        std::thread single(sender, false), lists(sender, true);
        // The senders are under way, reaching the open adapter, before
        // the other one comes and goes.
        EXPECT_TRUE(testsupport::waitUntilReal([&] { return steadySent.load() > steadyFailed.load(); }));
        for (int round = 0; round < 30; ++round) {
            QStringList made;
            prompts.answerExec(pick(1));
            ASSERT_EQ(dev->open(made), 0);
            ASSERT_EQ(made, QStringList({coming}));
            QThread::usleep(500);
            ASSERT_EQ(dev->close(coming), 0);
            // The closed driver really goes before the next round.
            QCoreApplication::sendPostedEvents();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
        // The adapter the senders use closes under them too.
        ASSERT_EQ(dev->close(steady), 0);
        QCoreApplication::sendPostedEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QThread::msleep(5);
        stop = true;
        single.join();
        lists.join();
        EXPECT_GT(steadySent.load(), 0);
        EXPECT_LT(steadyFailed.load(), steadySent.load()) << "sends reached the open adapter";
        EXPECT_EQ(drivers(), 0);
        EXPECT_FALSE(fake.isOpen(c.type, 0));
        EXPECT_FALSE(fake.isOpen(c.type, 1));
        QUserCanMsg m;
        EXPECT_EQ(dev->sendMsg(steady, m), 0);
        dev.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

// The classic device class hands its dialog the classic channel settings
// record by its own name; a device that fills it itself opens the channel
// it names.
TEST_F(DeviceTest, ClassicSettingsRecordByItsClassicName)
{
    static_assert(std::is_same<QUserUsbcan2Cfg, QUserFd2Cfg>::value, "one record, two names");
    struct Scripted : QUserDeviceUSBCAN2 {
        Scripted() : QUserDeviceUSBCAN2("USBCAN2") {}
        int settingsDialogRun(QUserUsbcan2Cfg *cfg) override
        {
            cfg->devIndex = 2;
            cfg->channel = 1;
            cfg->timing0 = 0x01;
            cfg->timing1 = 0x1C;
            cfg->accMask = 0xFFFFFFFFu;
            cfg->clock = 16;
            return 1;
        }
    } dev;
    QStringList ids;
    ASSERT_EQ(dev.open(ids), 0);
    EXPECT_EQ(ids, QStringList({"USBCAN2-2-1"}));
    KCAN_INIT_CONFIG init;
    fake.lastInit(4, 2, 1, &init);
    EXPECT_EQ(init.Timing0, 0x01);
    EXPECT_EQ(init.Timing1, 0x1C);
    EXPECT_EQ(dev.close("USBCAN2-2-1"), 0);
}

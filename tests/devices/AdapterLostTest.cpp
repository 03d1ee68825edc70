// An adapter that leaves the host while its channels are open: the driver
// threads tell it once, after the last frame received before it; the device
// classes close its channels (releasing the adapter) and mark them lost; the
// registry stops their recordings (files closed, every frame received before
// in them) and senders and tells the window once; and the adapter opens
// again once it is back.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFileInfo>

#include <algorithm>

#include "tests/devices/DialogAnswers.h"
#include "tests/devices/FakeKcan.h"
#include "tests/devices/PrintQt.h"
#include "tests/devices/SignalLog.h"
#include "tests/devices/SimHarness.h"
#include "tests/support/QUserPromptScript.h"
#include "tests/support/TempWorkDir.h"
#include "devices/QKemDev.h"
#include "devices/QKemFdDev.h"
#include "devices/QUserDeviceAdapter.h"
#include "devices/QUserDeviceUSBCAN2.h"
#include "devices/QUserDeviceUSBCANFD2.h"
#include "devtools/QUserFd2Cfg.h"
#include "traffic/QUserRecordWriter.h"
#include "traffic/QUserTraceFile.h"

namespace {

// What a driver emitted, in order: batch sizes, and -1 for the loss (with
// the library calls counted when it came).
struct DriverLog {
    QMutex mutex;
    QVector<int> events;
    int receivesAtLoss = -1;
    int looksAtLoss = -1;
    QString lostName;
    int lostIndex = -1;

    int frames()
    {
        QMutexLocker l(&mutex);
        int n = 0;
        for (int e : events)
            n += e > 0 ? e : 0;
        return n;
    }
    int losses()
    {
        QMutexLocker l(&mutex);
        return int(std::count(events.begin(), events.end(), -1));
    }
    template<class Drv>
    void attach(Drv *d, FakeKcan &fake, const char *receiveFn)
    {
        QObject::connect(d, &Drv::receiveMsg, d,
                         [this](QString, QVector<QUserCanMsg> l) {
                             QMutexLocker lock(&mutex);
                             events.append(l.size());
                         },
                         Qt::DirectConnection);
        QObject::connect(d, &Drv::adapterLost, d,
                         [this, &fake, receiveFn](QString name, int index) {
                             QMutexLocker lock(&mutex);
                             events.append(-1);
                             receivesAtLoss = fake.calls(receiveFn);
                             looksAtLoss = fake.calls("KCAN_DevIsGone");
                             lostName = name;
                             lostIndex = index;
                         },
                         Qt::DirectConnection);
    }
};

QVector<KCAN_CAN_OBJ> classicFrames(int n)
{
    QVector<KCAN_CAN_OBJ> v;
    for (int i = 0; i < n; ++i)
        v.append(canObj(uint32_t(0x100 + i % 0x600), {uint8_t(i), uint8_t(i >> 8)}));
    return v;
}

} // namespace

class AdapterLostDriver : public WorkDirTest
{
protected:
    void SetUp() override { ASSERT_TRUE(fake.ok()) << "stand-in library missing"; }
    FakeKcan fake;
};

// The classic driver: 600 frames waiting (more than two polls take) when the
// adapter goes; all of them come first, then the loss, once; the channels
// are polled no more, and commands are still served.
TEST_F(AdapterLostDriver, ClassicDriverTellsTheLossOnceAfterTheLastFrame)
{
    QKemDev drv("USBCAN2", 4, 1);
    DriverLog log;
    log.attach(&drv, fake, "KCAN_Receive");
    drv.threadStart();
    ASSERT_EQ(drv.devOpen(), 0);
    KCAN_INIT_CONFIG cfg{};
    cfg.AccMask = 0xFFFFFFFF;
    cfg.Timing1 = 0x1C;
    ASSERT_EQ(drv.canStart(0, &cfg), 0);
    ASSERT_EQ(drv.canStart(1, &cfg), 0);
    EXPECT_FALSE(drv.adapterGone());

    const QVector<KCAN_CAN_OBJ> rx = classicFrames(600);
    fake.pushRx(4, 1, 0, rx.constData(), rx.size());
    fake.setGone(4, 1, 1);
    ASSERT_TRUE(waitFor([&] { return log.losses() == 1; }));
    EXPECT_TRUE(drv.isLost());
    EXPECT_TRUE(drv.adapterGone());
    {
        QMutexLocker l(&log.mutex);
        EXPECT_EQ(log.events.last(), -1) << "the loss after the last batch";
        EXPECT_EQ(log.lostName, "USBCAN2");
        EXPECT_EQ(log.lostIndex, 1);
    }
    EXPECT_EQ(log.frames(), 600);

    // Commands are still served; the turns after the loss poll nothing and
    // ask nothing more.
    QUserCanMsg m;
    m.idText = "123";
    m.lenText = "1";
    m.dataText = "01";
    EXPECT_TRUE(drv.transmitPost(0, m));
    EXPECT_TRUE(drv.transmitPost(1, m));
    EXPECT_EQ(fake.calls("KCAN_Receive"), log.receivesAtLoss);
    EXPECT_EQ(fake.calls("KCAN_DevIsGone"), log.looksAtLoss + 1) << "the test's own look only";
    EXPECT_EQ(log.losses(), 1);
    drv.threadStop();
}

TEST_F(AdapterLostDriver, FdDriverTellsTheLossOnceAfterTheLastFrame)
{
    QKemFdDev drv("TRNB702", 67, 0);
    DriverLog log;
    log.attach(&drv, fake, "KCAN_ReceiveFD");
    drv.threadStart();
    QUserFd2Cfg cfg;
    cfg.fdEnable = 1;
    cfg.isoStandard = 1;
    cfg.arbTimingWord = 0x01400106;
    cfg.dataTimingWord = 0x00800001;
    ASSERT_EQ(drv.canStart(0, &cfg), 0);
    ASSERT_EQ(drv.canStart(3, &cfg), 0);

    const QVector<KCAN_CAN_OBJ> rx = classicFrames(100);
    QVector<KCAN_CANFD_OBJ> rxFd;
    for (int i = 0; i < 150; ++i)
        rxFd.append(canFdObj(uint32_t(0x200 + i), 64, 0x08));
    fake.pushRx(67, 0, 0, rx.constData(), rx.size());
    fake.pushRxFd(67, 0, 3, rxFd.constData(), rxFd.size());
    fake.setGone(67, 0, 1);
    ASSERT_TRUE(waitFor([&] { return log.losses() == 1; }));
    {
        QMutexLocker l(&log.mutex);
        EXPECT_EQ(log.events.last(), -1);
        EXPECT_EQ(log.lostName, "TRNB702");
        EXPECT_EQ(log.lostIndex, 0);
    }
    EXPECT_EQ(log.frames(), 250);

    // The channels still close through the driver, which closes the adapter.
    EXPECT_TRUE(drv.canClose(0));
    EXPECT_TRUE(drv.canClose(3));
    EXPECT_FALSE(fake.isOpen(67, 0));
    EXPECT_FALSE(drv.adapterGone()) << "closed";
    EXPECT_EQ(fake.calls("KCAN_ReceiveFD"), log.receivesAtLoss);
    EXPECT_EQ(log.losses(), 1);
    drv.stopRequest();
    drv.wait();
}

// A present adapter is never taken as lost, however long its driver idles.
TEST_F(AdapterLostDriver, PresentAdapterIsAskedButNeverLost)
{
    QKemFdDev drv("TRNB702", 67, 0);
    DriverLog log;
    log.attach(&drv, fake, "KCAN_ReceiveFD");
    drv.threadStart();
    QUserFd2Cfg cfg;
    cfg.fdEnable = 1;
    ASSERT_EQ(drv.canStart(0, &cfg), 0);
    ASSERT_TRUE(waitFor([&] { return fake.calls("KCAN_DevIsGone") >= 3; }));
    EXPECT_EQ(log.losses(), 0);
    EXPECT_FALSE(drv.isLost());
    drv.stopRequest();
    drv.wait();
}

// ---- the device classes and the registry on kemusb's simulated adapters ----

namespace {

QUserCanMsg txFrame(uint32_t id)
{
    QUserCanMsg m;
    m.idText = QString::asprintf("%08X", id);
    m.lenText = "2";
    m.dataText = "AB CD";
    m.status = MsgTagDbcSend;
    return m;
}

} // namespace

class AdapterLostSim : public WorkDirTest
{
protected:
    void TearDown() override { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }
};

// Classic and CAN FD: the adapter under test ("C" or "DUT") is pulled out
// after a counted number of frames while channel 0 records; the far end
// ("F" or "FAR") sent them.
TEST_F(AdapterLostSim, RegistryStopsTheRecordingAndTellsOnceThenTheAdapterOpensAgain)
{
    struct Case {
        const char *typeName;
        const char *topology;
        const char *dut;
        const char *farEnd;
        int channels;
        bool fd;
        const char *file;
        ChannelPick pick;
    } cases[] = {
        {"USBCAN2", sim::kClassicBus, "C", "F", 2, false, "lost.asc", ChannelPick(0, 0, true)},
        {"TRNB702", sim::kTopology, "DUT", "FAR", 8, true, "lost.blf", ChannelPick(0, 0, true, {}, {}, 1)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.typeName);
        sim::environment(c.topology);
        sim::Controls ctl;
        ASSERT_TRUE(ctl.ok()) << "test build of kemusb missing";
        ASSERT_EQ(ctl.configure(c.topology), 1);
        QObject owner;
        QUserDeviceAdapter reg(&owner);
        QUserPromptScript prompts;
        const QString id0 = QString("%1-0-0").arg(c.typeName);

        // As the window does: every frame received or sent queued to the GUI
        // thread, then written while the channel records.
        int shown = 0;
        QObject::connect(
            &reg, &QUserDeviceAdapter::receiveMsg, &owner,
            [&](QString id, QVector<QUserCanMsg> l) {
                if (id != id0)
                    return;
                for (const QUserCanMsg &m : l) {
                    ++shown;
                    reg.recordWrite(id, m);
                }
            },
            Qt::QueuedConnection);
        QObject::connect(
            &reg, &QUserDeviceAdapter::sendResultNotify, &owner,
            [&](QString id, QUserCanMsg m) {
                if (id != id0 || m.status != MsgTagDbcSend)
                    return;
                ++shown;
                reg.recordWrite(id, m);
            },
            Qt::QueuedConnection);
        struct Lost {
            QString typeName;
            int devIndex;
            QStringList ids, stopped;
        };
        QVector<Lost> lost;
        int shownAtLoss = -1;
        bool recordingAtLoss = true;
        QObject::connect(
            &reg, &QUserDeviceAdapter::devLost, &owner,
            [&](QString t, int i, QStringList ids, QStringList stopped) {
                lost.append({t, i, ids, stopped});
                shownAtLoss = shown;
                recordingAtLoss = reg.recordIsStart(id0);
            },
            Qt::QueuedConnection);

        QStringList ids;
        prompts.answerExec(pickChannel(c.pick));
        ASSERT_EQ(reg.devOpen(c.typeName, ids), 0);
        ASSERT_EQ(ids.size(), c.channels);
        const QString file = QFileInfo(c.file).absoluteFilePath();
        ASSERT_TRUE(reg.recordStart(id0, file));
        ASSERT_EQ(ctl.peer(c.farEnd, 0, c.dut, 0), 1);

        // 40 frames, then the plug; and a frame of our own among them.
        const int kBefore = 40;
        ASSERT_EQ(ctl.send(c.farEnd, 0, kBefore / 2, c.fd ? 1 : 0, 8, 0x300, 0), kBefore / 2);
        QUserCanMsg own = txFrame(0x1AB);
        ASSERT_EQ(reg.devSendMsg(id0, own), 1);
        ASSERT_EQ(ctl.send(c.farEnd, 0, kBefore / 2, c.fd ? 1 : 0, 8, 0x300 + kBefore / 2, kBefore / 2),
                  kBefore / 2);
        ASSERT_TRUE(waitFor([&] { return shown == kBefore + 1; }));
        EXPECT_FALSE(reg.devLostGet(id0));
        ASSERT_EQ(ctl.unplug(c.dut), 1);

        ASSERT_TRUE(waitFor([&] { return lost.size() == 1; }));
        EXPECT_EQ(lost[0].typeName, c.typeName);
        EXPECT_EQ(lost[0].devIndex, 0);
        EXPECT_EQ(lost[0].ids, ids);
        EXPECT_EQ(lost[0].stopped, QStringList({id0}));
        EXPECT_EQ(shownAtLoss, kBefore + 1) << "the loss came after the frames before it";
        EXPECT_FALSE(recordingAtLoss);
        EXPECT_FALSE(reg.recordIsStart(id0));
        EXPECT_TRUE(reg.devLostGet(id0));
        for (const QString &id : ids) {
            QUserDevChState st;
            ASSERT_EQ(reg.devInfoGet(id, &st), 1);
            EXPECT_EQ(st.chOpenGet(), 0) << id.toStdString();
            EXPECT_EQ(st.chLostGet(), 1) << id.toStdString();
            EXPECT_TRUE(st.devStateText().startsWith("[已断开]")) << st.stateText.toStdString();
        }

        // The file is closed (by its writer, on its own thread) and holds
        // every frame from before, ours too.
        ASSERT_TRUE(QUserRecordWriter::waitAllEnded(std::chrono::seconds(60)));
        QUserTraceFile reader;
        QList<QUserCanMsg> frames;
        reader.fileRead(file, frames);
        ASSERT_EQ(frames.size(), kBefore + 1);
        int sent = 0;
        for (const QUserCanMsg &m : frames)
            sent += m.direction;
        EXPECT_EQ(sent, 1);

        // Nothing more comes; the registry's channel objects stay until the
        // tabs close, and closing the lost channels succeeds.
        EXPECT_EQ(reg.devSendMsg(id0, own), 0);
        const int drivers = c.fd ? static_cast<QUserDeviceUSBCANFD2 *>(reg.device(c.typeName))->driverCount()
                                 : static_cast<QUserDeviceUSBCAN2 *>(reg.device(c.typeName))->driverCount();
        EXPECT_EQ(drivers, 0) << "the adapter was released";

        // Back again: the adapter opens and frames flow.
        ASSERT_EQ(ctl.replug(c.dut), 1);
        QStringList again;
        prompts.answerExec(pickChannel(ChannelPick(0, 0, false, {}, {}, c.fd ? 1 : -1)));
        ASSERT_EQ(reg.devOpen(c.typeName, again), 0);
        EXPECT_EQ(again, QStringList({id0}));
        QUserDevChState st;
        ASSERT_EQ(reg.devInfoGet(id0, &st), 1);
        EXPECT_EQ(st.chOpenGet(), 1);
        EXPECT_EQ(st.chLostGet(), 0);
        EXPECT_FALSE(reg.devLostGet(id0));
        ASSERT_EQ(ctl.peer(c.farEnd, 0, c.dut, 0), 1);
        shown = 0;
        ASSERT_EQ(ctl.send(c.farEnd, 0, 7, c.fd ? 1 : 0, 8, 0x400, 100), 7);
        ASSERT_TRUE(waitFor([&] { return shown == 7; }));
        for (const QString &id : ids)
            EXPECT_EQ(reg.devClose(c.typeName, id), 0) << id.toStdString();
        EXPECT_EQ(lost.size(), 1);
        EXPECT_EQ(prompts.unanswered(), 0);
    }
}

// The CAN FD driver thread against the stand-in adapter library.

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QThread>

#include <future>
#include <thread>
#include <vector>

#include "tests/devices/FakeKcan.h"
#include "tests/devices/PrintQt.h"
#include "tests/devices/SignalLog.h"
#include "devices/QKemFdDev.h"
#include "devtools/QUserFd2Cfg.h"

namespace {
const uint32_t kType = 67; // TRNB702

struct RxLog {
    QMutex mutex;
    QVector<QPair<QString, QVector<QUserCanMsg>>> batches;
    void attach(QKemFdDev *d)
    {
        QObject::connect(d, &QKemFdDev::receiveMsg, d,
                         [this](QString id, QVector<QUserCanMsg> l) {
                             QMutexLocker lock(&mutex);
                             batches.append({id, l});
                         },
                         Qt::DirectConnection);
    }
    int size()
    {
        QMutexLocker lock(&mutex);
        return batches.size();
    }
};

QUserFd2Cfg fdCfg()
{
    QUserFd2Cfg c;
    c.fdEnable = 1;
    c.isoStandard = 1;
    c.arbTimingWord = 0x01400106;
    c.dataTimingWord = 0x00800001;
    c.clock = 60;
    return c;
}
} // namespace

class FdDriverTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(fake.ok()) << "stand-in library missing: " << FakeKcan::path().toStdString(); }
    FakeKcan fake;
};

TEST_F(FdDriverTest, PollEmitsClassicThenFdBatchesWithConvertedFrames)
{
    QKemFdDev drv("TRNB702", int(kType), 0);
    RxLog rx;
    rx.attach(&drv);
    drv.threadStart();
    QUserFd2Cfg cfg = fdCfg();
    ASSERT_EQ(drv.canStart(1, &cfg), 0);
    EXPECT_TRUE(fake.isOpen(kType, 0));
    EXPECT_TRUE(fake.isStarted(kType, 0, 1));

    const KCAN_CAN_OBJ c[3] = {canObj(0x123, {0x01, 0xA2}), canObj(0x1ABCDEF0, {}, true, true),
                               canObj(0x7FF, {1, 2, 3, 4, 5, 6, 7, 8})};
    const KCAN_CANFD_OBJ f[2] = {canFdObj(0x55, 12, 0x18), canFdObj(0x56, 64, 0x10)};
    fake.pushRxFd(kType, 0, 1, f, 2);
    fake.pushRx(kType, 0, 1, c, 3);
    ASSERT_TRUE(waitFor([&] { return rx.size() >= 2; }));
    QMutexLocker lock(&rx.mutex);
    ASSERT_EQ(rx.batches.size(), 2);
    EXPECT_EQ(rx.batches[0].first, "TRNB702-0-1");
    EXPECT_EQ(rx.batches[1].first, "TRNB702-0-1");
    // The two pushes are apart, so a turn of the poll may see the FD frames
    // before the classic ones have come: each kind is its own batch.
    const bool classicFirst = !rx.batches[0].second.isEmpty() && rx.batches[0].second[0].protocol == 0;
    const auto &a = rx.batches[classicFirst ? 0 : 1].second;
    const auto &b = rx.batches[classicFirst ? 1 : 0].second;
    ASSERT_EQ(a.size(), 3);
    ASSERT_EQ(b.size(), 2);
    EXPECT_EQ(a[0].idText, "00000123 ");
    EXPECT_EQ(a[0].lenText, "2");
    EXPECT_EQ(a[0].dataText, "01A2");
    EXPECT_EQ(a[0].protocol, 0);
    EXPECT_EQ(a[0].channel, 1);
    EXPECT_EQ(a[0].direction, 0);
    EXPECT_GT(a[0].hostTime, 0);
    EXPECT_EQ(a[1].remote, 1);
    EXPECT_EQ(a[1].extended, 1);
    EXPECT_EQ(a[1].lenText, "0");
    EXPECT_EQ(a[1].dataText, "");
    EXPECT_EQ(b[0].protocol, 2);
    EXPECT_EQ(b[0].fdFlags, 0x18);
    EXPECT_EQ(b[0].lenText, "12");
    EXPECT_EQ(b[0].dataText, "000102030405060708090A0B");
    EXPECT_EQ(b[1].protocol, 1);
    EXPECT_EQ(b[1].dataText.size(), 128);
}

TEST_F(FdDriverTest, SingleSendConversionsAndUnknownProtocol)
{
    QKemFdDev drv("TRNB702", int(kType), 0);
    SignalLog log;
    log.attach(&drv, &QKemFdDev::sendResultNotify);
    drv.threadStart();
    QUserFd2Cfg cfg = fdCfg();
    ASSERT_EQ(drv.canStart(0, &cfg), 0);

    struct Case {
        uint8_t protocol, fdFlags;
        int expectFd; // 1 FD record, 0 classic, -1 no call
        uint8_t recordFlag;
    };
    const Case cases[] = {{2, 1, 1, 0x08}, {2, 3, 1, 0x18}, {1, 2, 1, 0x10}, {0, 3, 0, 0}, {3, 0, -1, 0}};
    int records = 0;
    for (const Case &c : cases) {
        QUserCanMsg m;
        m.idText = "3FFFFFFF "; // masked to 29 bits
        m.protocol = c.protocol;
        m.fdFlags = c.fdFlags;
        m.lenText = " 3 ";
        m.dataText = "11 22\t33";
        const bool ok = drv.transmitPost(0, m);
        EXPECT_EQ(ok, c.expectFd >= 0);
        EXPECT_EQ(m.sendFailed, c.expectFd >= 0 ? 0 : 1);
        // The caller's frame loses its blanks when it was converted.
        EXPECT_EQ(m.dataText, c.expectFd >= 0 ? QString("112233") : QString("11 22\t33"));
        EXPECT_EQ(m.direction, 1);
        if (c.expectFd < 0)
            continue;
        KCAN_CANFD_OBJ rec;
        ASSERT_EQ(fake.txGet(kType, 0, 0, records++, &rec), c.expectFd);
        EXPECT_EQ(rec.ID, 0x1FFFFFFFu);
        EXPECT_EQ(rec.DataLen, 3);
        EXPECT_EQ(rec.Data[0], 0x11);
        EXPECT_EQ(rec.Data[2], 0x33);
        if (c.expectFd == 1) {
            EXPECT_EQ(rec.FdFlag, c.recordFlag);
        }
    }
    EXPECT_EQ(fake.txCount(kType, 0, 0), 4);
    EXPECT_EQ(log.copy().size(), 5); // every frame reported, the refused one with its flag
    EXPECT_EQ(log.copy().last().msg.sendFailed, 1);
}

TEST_F(FdDriverTest, ListOfFortyTakesThirtyTwoAndReportsUpToTheFirstRefused)
{
    QKemFdDev drv("TRNB702", int(kType), 0);
    SignalLog log;
    log.attach(&drv, &QKemFdDev::sendResultNotify);
    fake.setTxLimit(kType, 0, 2, 30);
    QVector<QUserCanMsg> list(40);
    for (int i = 0; i < 40; ++i) {
        list[i].idText = QString::number(i, 16);
        list[i].protocol = 1;
        list[i].lenText = "1";
        list[i].dataText = "01";
    }
    EXPECT_EQ(drv.transmitList(2, list), 30);
    const auto r = log.copy();
    ASSERT_EQ(r.size(), 31);
    for (int i = 0; i < 30; ++i)
        EXPECT_EQ(r[i].msg.sendFailed, 0);
    EXPECT_EQ(r[30].msg.sendFailed, 1);
    EXPECT_EQ(r[30].msg.idText, "1e");
    EXPECT_EQ(r[30].devId, "TRNB702-0-2");
    int sizes[8];
    ASSERT_EQ(fake.txCalls(kType, 0, 2, sizes, 8), 1);
    EXPECT_EQ(sizes[0], -32);
}

// Playback hands lists that mix classic and CAN FD frames: each run of one
// kind goes out as its own call with records of its own kind.
TEST_F(FdDriverTest, MixedListsGoOutRunByRun)
{
    QKemFdDev drv("TRNB702", int(kType), 0);
    SignalLog log;
    log.attach(&drv, &QKemFdDev::sendResultNotify);
    auto frame = [](int protocol, int len) {
        QUserCanMsg m;
        m.idText = "10";
        m.protocol = uint8_t(protocol);
        m.lenText = QString::number(len);
        QString d;
        for (int i = 0; i < len; ++i)
            d += QString::asprintf("%02X ", i + 1);
        m.dataText = d;
        return m;
    };
    QVector<QUserCanMsg> list = {frame(0, 8), frame(2, 12), frame(1, 64), frame(0, 2)};
    EXPECT_EQ(drv.transmitList(0, list), 4);
    int sizes[8];
    ASSERT_EQ(fake.txCalls(kType, 0, 0, sizes, 8), 3);
    EXPECT_EQ(sizes[0], 1);
    EXPECT_EQ(sizes[1], -2);
    EXPECT_EQ(sizes[2], 1);
    KCAN_CANFD_OBJ rec;
    ASSERT_EQ(fake.txGet(kType, 0, 0, 1, &rec), 1);
    EXPECT_EQ(rec.DataLen, 12);
    EXPECT_EQ(rec.Data[11], 12); // not cut to 8
    ASSERT_EQ(fake.txGet(kType, 0, 0, 2, &rec), 1);
    EXPECT_EQ(rec.Data[63], 64);
    ASSERT_EQ(fake.txGet(kType, 0, 0, 3, &rec), 0);
    EXPECT_EQ(rec.DataLen, 2);

    // A short run ends the list there and is reported as before.
    fake.reset();
    fake.setTxLimit(kType, 0, 0, 1);
    const int before = log.copy().size();
    EXPECT_EQ(drv.transmitList(0, {frame(0, 1), frame(1, 1), frame(1, 1), frame(0, 1)}), 2);
    ASSERT_EQ(fake.txCalls(kType, 0, 0, sizes, 8), 2);
    const auto r = log.copy().mid(before);
    ASSERT_EQ(r.size(), 3);
    EXPECT_EQ(r[2].msg.sendFailed, 1);
    EXPECT_EQ(r[2].msg.protocol, 1);
}

TEST_F(FdDriverTest, ChannelInitRecordsAndFilterSteps)
{
    QKemFdDev drv("TRNB702", int(kType), 0);
    drv.threadStart();
    QUserFd2Cfg cfg = fdCfg();
    cfg.mode = 1;
    cfg.filterEnable = 1;
    QUserFliterRule r1;
    r1.extended = 0;
    r1.startId = 0x100;
    r1.endId = 0x1FF;
    QUserFliterRule r2;
    r2.extended = 1;
    r2.startId = 0x10000;
    r2.endId = 0x20000;
    cfg.rules = {r1, r2};
    ASSERT_EQ(drv.canStart(3, &cfg), 0);
    KCAN_INITFD_CONFIG init;
    fake.lastInitFd(kType, 0, 3, &init);
    EXPECT_EQ(init.ArbBaud, 0u);
    EXPECT_EQ(init.DataBaud, 0u);
    EXPECT_EQ(init.ArbTiming, 0x01400106u);
    EXPECT_EQ(init.DataTiming, 0x00800001u);
    EXPECT_EQ(init.Mode, 1);
    EXPECT_EQ(init.FdEnable, 1);
    EXPECT_EQ(init.Standard, 1);
    KCAN_FLITER_CONFIG f[8];
    ASSERT_EQ(fake.filters(kType, 0, 3, f, 8), 4);
    EXPECT_EQ(f[0].Kind, KCAN_FLITER_CLEAR);
    EXPECT_EQ(f[1].Kind, KCAN_FLITER_ADD);
    EXPECT_EQ(f[1].Mode, 0);
    EXPECT_EQ(f[1].Start, 0x100u);
    EXPECT_EQ(f[2].Mode, 1);
    EXPECT_EQ(f[2].End, 0x20000u);
    EXPECT_EQ(f[3].Kind, KCAN_FLITER_ACK);

    // Classic protocol: no standard, and no filter steps without the switch.
    QUserFd2Cfg classic = fdCfg();
    classic.fdEnable = 0;
    classic.rules = {r1};
    ASSERT_EQ(drv.canStart(4, &classic), 0);
    fake.lastInitFd(kType, 0, 4, &init);
    EXPECT_EQ(init.FdEnable, 0);
    EXPECT_EQ(init.Standard, 0);
    EXPECT_EQ(fake.filters(kType, 0, 4, f, 8), 0);
}

TEST_F(FdDriverTest, StartFailuresAndCloseRules)
{
    QKemFdDev drv("TRNB702", int(kType), 0);
    drv.threadStart();
    QUserFd2Cfg cfg = fdCfg();
    fake.setOpenResult(kType, 0, 0);
    EXPECT_EQ(drv.canStart(0, &cfg), -1); // adapter does not open
    fake.setOpenResult(kType, 0, 1);
    fake.setInitResult(kType, 0, 0);
    EXPECT_EQ(drv.canStart(0, &cfg), -1); // initialisation refused
    fake.setInitResult(kType, 0, 1);
    fake.setStartResult(kType, 0, 0);
    EXPECT_EQ(drv.canStart(0, &cfg), -1); // start refused
    fake.setStartResult(kType, 0, 1);
    ASSERT_EQ(drv.canStart(0, &cfg), 0);
    ASSERT_EQ(drv.canStart(1, &cfg), 0);
    EXPECT_FALSE(drv.canClose(5)); // never started
    EXPECT_TRUE(fake.isOpen(kType, 0));
    EXPECT_TRUE(drv.canClose(0));
    EXPECT_TRUE(fake.isOpen(kType, 0));
    EXPECT_TRUE(drv.anyChannelOpen());
    EXPECT_TRUE(drv.canClose(1));
    EXPECT_FALSE(drv.anyChannelOpen());
    EXPECT_FALSE(fake.isOpen(kType, 0));
}

TEST_F(FdDriverTest, QueuedModeRefusesDirectOperations)
{
    QKemFdDev drv("TRNB702", int(kType), 0);
    uint8_t buf[64] = {};
    EXPECT_EQ(drv.receiveNumGet(0), 0);
    EXPECT_EQ(drv.dataDirectTransfer(buf, 10), 0);
    EXPECT_EQ(drv.firmUpdateReq(1), 0);
    EXPECT_EQ(fake.calls("KCAN_DataDirectTransfer"), 0);
    // Direct mode: the same operations reach the adapter in the caller's thread.
    drv.devSet("TRNA701", 0, 2);
    EXPECT_FALSE(drv.isQueuedMode());
    QUserFd2Cfg cfg = fdCfg();
    EXPECT_EQ(drv.canStart(0, &cfg), 0);
    EXPECT_TRUE(fake.isStarted(65, 2, 0));
    QUserCanMsg m;
    m.idText = "1";
    m.lenText = "0";
    EXPECT_TRUE(drv.transmitPost(0, m));
    EXPECT_EQ(fake.txCount(65, 2, 0), 1);
    drv.dataDirectTransfer(buf, 10);
    EXPECT_EQ(fake.calls("KCAN_DataDirectTransfer"), 1);
    EXPECT_TRUE(drv.canClose(0));
    EXPECT_FALSE(fake.isOpen(65, 2));
    // A firmware-update request without an answer fails and leaves the adapter closed.
    EXPECT_EQ(drv.firmUpdateReq(1), 0);
    EXPECT_EQ(fake.calls("KCAN_DataDirectTransfer"), 2);
    EXPECT_FALSE(fake.isOpen(65, 2));
}

// The relay and classic timing operations of a CAN FD driver answer without
// asking the adapter, and the two timing ones leave their outputs alone.
TEST_F(FdDriverTest, RelayAndClassicTimingOperationsAnswerWithoutTheAdapter)
{
    QKemFdDev drv("TRNB701", int(kType), 0);
    EXPECT_EQ(drv.relayStatusSet(1, 1), 1);
    int a = 7, b = 7;
    EXPECT_EQ(drv.relayStatusGet(a, b), 1);
    EXPECT_EQ(a, 0);
    EXPECT_EQ(b, 0);
    EXPECT_EQ(drv.canInitByTiming(0, 0x00, 0x1C), 1);
    int t0 = 0x55, t1 = 0x66;
    EXPECT_EQ(drv.devBaudParaGet(1, &t0, &t1), 1);
    EXPECT_EQ(t0, 0x55);
    EXPECT_EQ(t1, 0x66);
    EXPECT_EQ(drv.devBaudParaGet(1, nullptr, nullptr), 1);
    for (const char *fn : {"KCAN_OpenDevice", "KCAN_InitCAN", "KCAN_InitCANFD", "KCAN_DevBaudParaGet",
                           "KCAN_DevRelayStatusSet", "KCAN_DevRelayStatusGet"})
        EXPECT_EQ(fake.calls(fn), 0) << fn;
    EXPECT_FALSE(drv.isOpened());
}

// A send to a driver whose thread does not run fails at once, and posters
// still queued when a driver stops are answered instead of waiting for ever.
TEST_F(FdDriverTest, StoppedOrNeverStartedDriverReleasesPosters)
{
    {
        QKemFdDev idle("TRNB702", int(kType), 0);
        QUserCanMsg m;
        m.idText = "1";
        m.lenText = "0";
        QUserFd2Cfg cfg = fdCfg();
        EXPECT_FALSE(idle.transmitPost(0, m));
        EXPECT_EQ(idle.canStart(0, &cfg), -1);
        EXPECT_FALSE(idle.canClose(0));
        EXPECT_EQ(fake.calls("KCAN_OpenDevice"), 0);
    }
    QKemFdDev drv("TRNB702", int(kType), 0);
    drv.threadStart();
    QUserFd2Cfg cfg = fdCfg();
    ASSERT_EQ(drv.canStart(0, &cfg), 0);
    // Every poll turn takes a second now: the stop comes within the turn in
    // which the posts arrive, however slow the machine.
    fake.setReceiveDelayUs(1000000);
    std::vector<std::future<bool>> posters;
    for (int i = 0; i < 6; ++i)
        posters.push_back(std::async(std::launch::async, [&drv] {
            QUserCanMsg m;
            m.idText = "2";
            m.lenText = "0";
            return drv.transmitPost(0, m);
        }));
    QThread::msleep(20);
    drv.stopRequest();
    ASSERT_TRUE(drv.wait(testsupport::kGiveUpMs));
    int answered = 0;
    for (auto &p : posters) {
        ASSERT_EQ(p.wait_for(std::chrono::milliseconds(testsupport::kGiveUpMs)), std::future_status::ready);
        answered += p.get() ? 0 : 1;
    }
    EXPECT_GE(answered, 4); // at most one turn executed a command meanwhile
    QUserCanMsg late;
    EXPECT_FALSE(drv.transmitPost(0, late)); // after the stop: at once
}

TEST_F(FdDriverTest, MissingLibraryFailsWithoutCalls)
{
    QKemLib::setPathOverride("/nonexistent/libkemusb.so");
    QKemFdDev drv("TRNB702", int(kType), 0);
    EXPECT_FALSE(drv.libraryLoaded());
    drv.threadStart();
    QUserFd2Cfg cfg = fdCfg();
    EXPECT_EQ(drv.canStart(0, &cfg), -1);
    QVector<QUserCanMsg> list(3);
    EXPECT_EQ(drv.transmitList(0, list), 0);
    EXPECT_EQ(drv.devOpen(), -1);
    QKemLib::setPathOverride(FakeKcan::path());
}

// The send panels on simulated adapters (the demonstration topology): the
// classic adapter opened through the device menu, frames sent from channel
// 0 through the panels' buttons and heard on channel 1. The schedules are
// checked against the moment the run was started: no frame may leave before
// its time. How late a frame leaves is the machine's business (the senders'
// schedules to the millisecond are proven on a test clock in
// tests/devices/SenderTest.cpp); waits only give up after a long time.

#include "tests/mainwindow/MainWindowTestEnv.h"

#include "tests/devices/SimHarness.h"
#include "tests/support/ManualHostClock.h"
#include "tests/support/PeerCheck.h"
#include "tests/support/WaitUntil.h"
#include "core/QUserDevId.h"
#include "core/QUserHostClock.h"
#include "devices/QKemLib.h"
#include "devices/QUserDeviceAdapter.h"
#include "mainwindow/MainWindow.h"
#include "mainwindow/MainWindowForm.h"
#include "mainwindow/QUserMainWindowLayout.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextEdit>

namespace {


std::function<int(QDialog *)> pickModel(const QString &model)
{
    return [model](QDialog *d) {
        auto *combo = d->findChild<QComboBox *>("comboBox_model");
        auto *ok = d->findChild<QPushButton *>("pushButton_ok");
        if (!combo || !ok || combo->findText(model) < 0)
            return 0;
        combo->setCurrentIndex(combo->findText(model));
        ok->click();
        return d->result();
    };
}

// Every channel; baud: a rate of the list, empty for the one offered.
std::function<int(QDialog *)> allChannels(const QString &baud)
{
    return [baud](QDialog *d) {
        if (auto *all = d->findChild<QCheckBox *>("checkBox_allChannel"))
            all->setChecked(true);
        if (!baud.isEmpty()) {
            // The classic adapter's rate list, or the CAN FD adapter's
            // arbitration rate list.
            auto *rate = d->findChild<QComboBox *>("comboBox_baud");
            if (!rate)
                rate = d->findChild<QComboBox *>("comboBox_aBaud");
            if (!rate || rate->findText(baud) < 0)
                return 0;
            rate->setCurrentIndex(rate->findText(baud));
        }
        auto *ok = d->findChild<QPushButton *>("pushButton_ok");
        if (!ok)
            return 0;
        ok->click();
        return d->result();
    };
}

uint32_t idOf(const QUserCanMsg &m)
{
    return m.idText.trimmed().toUInt(nullptr, 16);
}

} // namespace

class SendLiveTest : public MainWindowEnv
{
protected:
    void SetUp() override
    {
        MainWindowEnv::SetUp();
        const QString topology = QStringLiteral(ORVANE_SOURCE_DIR_DEFAULT) + "/resources/sim/demo.topology";
        ASSERT_TRUE(QFileInfo::exists(topology));
        if (!QFileInfo::exists(QString::fromStdString(peer::binDir()) + "/libkemusb.so"))
            GTEST_SKIP() << "libkemusb.so not built";
        qputenv("KEMUSB_BACKEND", "sim");
        qputenv("KEMUSB_SIM_CONFIG", QFile::encodeName(topology));
        QKemLib::setPathOverride(QString());
    }
    void TearDown() override
    {
        w.reset();
        qunsetenv("KEMUSB_BACKEND");
        qunsetenv("KEMUSB_SIM_CONFIG");
    }

    // Opens the two channels of an adapter (the classic one by default; at
    // a rate other than the bus's when baud is given: every frame sent is
    // then refused) and makes channel 0 current. Frames heard on channel 1 with an identifier in
    // [lo, hi], every send result of channel 0 and the state reports are
    // collected.
    void open(uint32_t lo, uint32_t hi, const QString &baud = QString(), const QString &model = "USBCAN2-A",
              const QString &idPrefix = "USBCAN2-0-")
    {
        kTx = idPrefix + "0";
        kRx = idPrefix + "1";
        w.reset(new MainWindow);
        QUserDeviceAdapter *reg = w->devAdapterGet();
        QObject::connect(
            reg, &QUserDeviceAdapter::receiveMsg, w.get(),
            [this, lo, hi](QString id, QVector<QUserCanMsg> l) {
                if (id != kRx)
                    return;
                for (const QUserCanMsg &m : l)
                    if (idOf(m) >= lo && idOf(m) <= hi)
                        heard << m;
            },
            Qt::QueuedConnection);
        QObject::connect(
            reg, &QUserDeviceAdapter::sendResultNotify, w.get(),
            [this](QString id, QUserCanMsg m) {
                if (id != kTx)
                    return;
                if (m.status >= 0 && m.status <= 3)
                    states << m.status;
                else
                    sent << m;
            },
            Qt::QueuedConnection);
        prompts.answerExec(pickModel(model));
        prompts.answerExec(allChannels(baud));
        w->formGet()->actDevCAN->trigger();
        ASSERT_EQ(prompts.unanswered(), 0);
        QTabWidget *tabs = w->layoutGet()->tabDataShow;
        for (int i = 0; i < tabs->count(); ++i)
            if (tabs->tabText(i) == getDevIdTextEx(w->languageCodeGet(), kTx))
                tabs->setCurrentIndex(i);
        ASSERT_EQ(w->curTabDevGet(), kTx);
    }
    void advList(int count, uint32_t firstId, int loops, int period, int interval, int failMode)
    {
        QUserSendTask t;
        ASSERT_TRUE(w->devAdapterGet()->advanceSendParaGet(kTx, t));
        t.msgList.clear();
        for (int i = 0; i < count; ++i) {
            QUserCanMsg m(QString::asprintf("%08X ", firstId + i), false, false, "4",
                          QString::asprintf("%02X000000", 0xC0 + i));
            m.rowEnable = 1;
            t.msgList << m;
        }
        ASSERT_TRUE(w->devAdapterGet()->advanceSendParaSet(kTx, t));
        w->uiTabAdvSendUpdate();
        adv().failMode->setCurrentIndex(failMode);
        adv().loopCnt->setText(QString::number(loops));
        adv().period->setText(QString::number(period));
        adv().frameInterval->setText(QString::number(interval));
    }
    QUserMainWindowLayout::BasicSend &basic() { return w->layoutGet()->basic; }
    QUserMainWindowLayout::AdvSend &adv() { return w->layoutGet()->adv; }
    bool waitState(int state, int ms = testsupport::kGiveUpMs)
    {
        return QTest::qWaitFor([&] { return states.contains(state); }, ms);
    }
    // Waits until at least the frames expected were heard and reported sent
    // (they may be under way after the run's end), then until no frame of
    // interest came for quietMs: one more would be one too many.
    void settle(int quietMs, int heardWanted = 0, int sentWanted = 0)
    {
        EXPECT_TRUE(QTest::qWaitFor([&] { return heard.size() >= heardWanted && sent.size() >= sentWanted; },
                                    testsupport::kGiveUpMs))
            << "heard " << heard.size() << " of " << heardWanted << ", sent " << sent.size() << " of "
            << sentWanted;
        int seen = -1;
        QElapsedTimer quiet;
        quiet.start();
        const bool settled = QTest::qWaitFor(
            [&] {
                if (heard.size() + sent.size() != seen) {
                    seen = heard.size() + sent.size();
                    quiet.restart();
                }
                return quiet.elapsed() >= quietMs;
            },
            testsupport::kGiveUpMs);
        EXPECT_TRUE(settled) << "frames kept coming";
    }

    // The senders' schedules run on the host clock. Held, no time passes for
    // them: a run stays under way however slow the machine is, and the
    // panel can be seen showing it.
    std::shared_ptr<testsupport::HeldHostClock> hostClock = std::make_shared<testsupport::HeldHostClock>();
    QUserHostClockScope useHostClock{hostClock};
    std::unique_ptr<MainWindow> w;
    QString kTx, kRx;
    QList<QUserCanMsg> heard;
    QList<QUserCanMsg> sent;
    QList<int> states;
};

TEST_F(SendLiveTest, BasicPeriodicSendArrivesOnTheOtherChannel)
{
    open(0x5A1, 0x5FF);
    EXPECT_TRUE(basic().start->isEnabled());
    EXPECT_FALSE(basic().stop->isEnabled());
    basic().sendType->setCurrentIndex(0);
    basic().frameType->setCurrentIndex(0);
    basic().frameFormat->setCurrentIndex(0);
    basic().id->setText("000005A1");
    basic().len->setCurrentText("8");
    basic().data->setPlainText("A1 B2 C3 D4 E5 F6 07 18");
    basic().idInc->setChecked(true);
    basic().perSendCnt->setText("4");
    basic().sendCnt->setText("3");
    basic().period->setText("100");
    // The first batch is due a period after the start: while the clock is
    // held the run has begun and cannot have ended.
    hostClock->hold();
    const int64_t started = getCurrentMs();
    basic().start->click();

    // The buttons follow the sender: running, then idle again.
    ASSERT_TRUE(waitState(0));
    ASSERT_TRUE(QTest::qWaitFor([&] { return basic().stop->isEnabled(); }, testsupport::kGiveUpMs));
    EXPECT_FALSE(basic().start->isEnabled());
    EXPECT_TRUE(heard.isEmpty()) << "sent before its time";
    hostClock->release();
    ASSERT_TRUE(waitState(1));
    // Three batches a period apart, the first a period after the start: the
    // run cannot have ended before 300 ms.
    EXPECT_GE(getCurrentMs() - started, 300);
    ASSERT_TRUE(QTest::qWaitFor([&] { return basic().start->isEnabled(); }, testsupport::kGiveUpMs));
    EXPECT_FALSE(basic().stop->isEnabled());
    settle(300, 12, 12);

    // Twelve frames, identifiers counting up, the data as entered.
    ASSERT_EQ(heard.size(), 12);
    const QByteArray data = QByteArray::fromHex("A1B2C3D4E5F60718");
    for (int i = 0; i < heard.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(idOf(heard.at(i)), 0x5A1u + uint32_t(i));
        EXPECT_EQ(heard.at(i).lenText.trimmed(), "8");
        EXPECT_EQ(QByteArray::fromHex(heard.at(i).dataText.toLatin1()), data);
    }
    // The sending channel counted and shows what it sent.
    ASSERT_EQ(sent.size(), 12);
    for (const QUserCanMsg &m : sent) {
        EXPECT_EQ(m.status, MsgTagBasicSend);
        EXPECT_EQ(m.sendFailed, 0);
    }
    EXPECT_EQ(w->tabSrvGet().find(kTx)->txCntGet(), 12u);
    // Batch b is due (b + 1) periods after the start, and no frame of it
    // may be stamped (as the adapter took it) before then.
    for (int i = 0; i < 12; ++i)
        EXPECT_GE(sent.at(i).hostTime - started, 100 * (i / 4 + 1)) << i;
    EXPECT_EQ(prompts.unanswered(), 0);
}

TEST_F(SendLiveTest, AdvancedListArrivesInOrderWithItsIntervals)
{
    open(0x6A1, 0x6A3);
    advList(3, 0x6A1, 2, 400, 40, 0);
    EXPECT_TRUE(adv().start->isEnabled());
    // The first entry leaves at the start, the next 40 ms later: while the
    // clock is held the run stays between the two.
    hostClock->hold();
    const int64_t started = getCurrentMs();
    adv().start->click();
    ASSERT_TRUE(waitState(2));
    ASSERT_TRUE(QTest::qWaitFor([&] { return adv().stop->isEnabled(); }, testsupport::kGiveUpMs));
    EXPECT_FALSE(adv().start->isEnabled());
    hostClock->release();
    ASSERT_TRUE(waitState(3));
    ASSERT_TRUE(QTest::qWaitFor([&] { return adv().start->isEnabled(); }, testsupport::kGiveUpMs));
    EXPECT_FALSE(adv().stop->isEnabled());
    settle(300, 6, 6);

    // Two cycles of the three entries, in list order, on the other channel.
    QList<uint32_t> order;
    for (const QUserCanMsg &m : heard)
        order << idOf(m);
    EXPECT_EQ(order, (QList<uint32_t>{0x6A1, 0x6A2, 0x6A3, 0x6A1, 0x6A2, 0x6A3}));
    ASSERT_EQ(heard.size(), 6);
    EXPECT_EQ(QByteArray::fromHex(heard.at(2).dataText.toLatin1()), QByteArray::fromHex("C2000000"));
    // Entries 40 ms apart inside a cycle, cycles 400 ms apart, counted from
    // the start of the run (a late frame does not move the ones after it).
    // Each frame is stamped when the adapter has taken it, never before its
    // time.
    ASSERT_EQ(sent.size(), 6);
    const int64_t due[] = {0, 40, 80, 400, 440, 480};
    for (int i = 0; i < 6; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(sent.at(i).status, MsgTagAdvanceSend);
        EXPECT_GE(sent.at(i).hostTime - started, due[i]);
    }
    EXPECT_EQ(w->tabSrvGet().find(kTx)->txCntGet(), 6u);
}

TEST_F(SendLiveTest, StopEndsBothSendersAtOnce)
{
    open(0x5A1, 0x6FF);
    basic().id->setText("000005A1");
    basic().idInc->setChecked(false);
    basic().perSendCnt->setText("2");
    basic().sendCnt->setText("100000");
    basic().period->setText("20");
    basic().start->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return heard.size() >= 6; }, testsupport::kGiveUpMs));
    // At once: well inside the run of 100000 batches 20 ms apart, which is
    // what a stop that let the run go on would wait for.
    QElapsedTimer stop;
    stop.start();
    basic().stop->click();
    EXPECT_LT(stop.elapsed(), 30000);
    ASSERT_TRUE(waitState(1));
    settle(250);
    const int basicHeard = heard.size();
    QTest::qWait(300);
    EXPECT_EQ(heard.size(), basicHeard);
    ASSERT_TRUE(QTest::qWaitFor([&] { return basic().start->isEnabled(); }, testsupport::kGiveUpMs));

    heard.clear();
    advList(2, 0x6A1, 100000, 30, 5, 0);
    adv().start->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return heard.size() >= 6; }, testsupport::kGiveUpMs));
    stop.restart();
    adv().stop->click();
    EXPECT_LT(stop.elapsed(), 30000);
    ASSERT_TRUE(waitState(3));
    settle(250);
    const int advHeard = heard.size();
    QTest::qWait(300);
    EXPECT_EQ(heard.size(), advHeard);
    ASSERT_TRUE(QTest::qWaitFor([&] { return adv().start->isEnabled(); }, testsupport::kGiveUpMs));
    EXPECT_FALSE(adv().stop->isEnabled());
    EXPECT_EQ(prompts.unanswered(), 0);
}

TEST_F(SendLiveTest, RefusedFramesByFailureMode)
{
    // The test build of kemusb: its adapter's channels sit on a bus of
    // another rate than the one they open at, so the adapter takes none of
    // the frames sent (an adapter pulled off the host would be reported as
    // gone instead, its channels closed).
    sim::Controls ctl;
    if (!ctl.ok())
        GTEST_SKIP() << "test build of kemusb missing";
    ASSERT_EQ(ctl.configure("adapter USBCAN2 name=DUT\n"
                            "bus slow nominal=250000\n"
                            "attach DUT 0 slow\nattach DUT 1 slow\n"),
              1);
    open(0x6A1, 0x6A3);
    const int opened = prompts.records().size();

    // "失败停止": the run ends at the first entry, with one warning.
    advList(3, 0x6A1, 2, 200, 10, 0);
    prompts.answerExec(1);
    adv().start->click();
    ASSERT_TRUE(waitState(3));
    settle(300, 0, 1);
    ASSERT_EQ(sent.size(), 1);
    EXPECT_EQ(sent.at(0).status, MsgTagAdvanceSend);
    EXPECT_EQ(sent.at(0).sendFailed, 1);
    ASSERT_EQ(prompts.records().size(), opened + 1);
    EXPECT_EQ(prompts.last().title, "错误");
    EXPECT_TRUE(prompts.last().text.contains(kTx + ":发送失败!")) << prompts.last().text.toStdString();

    // "失败继续": every entry of every cycle is tried and shown failed, and
    // no box interrupts the run.
    sent.clear();
    states.clear();
    advList(3, 0x6A1, 2, 200, 10, 1);
    adv().start->click();
    ASSERT_TRUE(waitState(3));
    settle(300, 0, 6);
    ASSERT_EQ(sent.size(), 6);
    for (const QUserCanMsg &m : sent)
        EXPECT_EQ(m.sendFailed, 1);
    EXPECT_EQ(prompts.records().size(), opened + 1);

    // The basic sender's refused frames are always reported.
    sent.clear();
    basic().id->setText("000005A1");
    basic().perSendCnt->setText("1");
    basic().sendCnt->setText("1");
    prompts.answerExec(1);
    basic().start->click();
    ASSERT_TRUE(waitState(1));
    ASSERT_TRUE(QTest::qWaitFor([&] { return prompts.records().size() == opened + 2; }, testsupport::kGiveUpMs));
    EXPECT_TRUE(prompts.last().text.contains(kTx + ":发送失败!"));
    EXPECT_TRUE(heard.isEmpty());
    EXPECT_EQ(prompts.unanswered(), 0);
}

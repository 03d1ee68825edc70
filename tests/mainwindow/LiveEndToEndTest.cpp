// Live data end to end on simulated adapters (the demonstration topology):
// a CAN FD and a classic adapter opened from the device menu through the
// real selection and channel dialogs, the scripted nodes' frames in the
// right tabs with their counts, identifiers, data and directions, frames
// sent on one channel seen as sent there and as received on the other, and
// closing that stops the traffic.

#include "tests/mainwindow/MainWindowTestEnv.h"

#include "tests/support/PeerCheck.h"
#include "core/QUserDevId.h"
#include "devices/QKemLib.h"
#include "devices/QUserDeviceAdapter.h"
#include "mainwindow/MainWindow.h"
#include "mainwindow/MainWindowForm.h"
#include "mainwindow/QUserMainWindowLayout.h"
#include "mainwindow/QUserTableModelCan.h"
#include "traffic/QUserTraceFile.h"
#include "widgets/QUserTableView.h"
#include "widgets/uiStatusBar.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPushButton>
#include <QSet>
#include <QStandardItem>
#include <QTabWidget>

namespace {

const QStringList kFdIds = {"USBCANFD2-0-0", "USBCANFD2-0-1"};
const QStringList kClassicIds = {"USBCAN2-0-0", "USBCAN2-0-1"};

// The scripted nodes of resources/sim/demo.topology: identifier and the
// data byte that counts the frames (-1: none).
struct Node {
    uint32_t id;
    int counter;
};
const Node kFdNodes[] = {{0x0C9, 7},      {0x1A0, 6},   {0x0CF00400, 3}, {0x18FEF100, 0},
                         {0x300, 0},      {0x18DAF100, 0}, {0x2F0, 11}};
const Node kClassicNodes[] = {{0x215, 7}, {0x3C0, 1}, {0x470, -1}, {0x12345678, 2}, {0x1CFF0010, 0}};

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

// The channel dialog as a user leaves it: every channel, offered settings.
int allChannelsOk(QDialog *d)
{
    if (auto *all = d->findChild<QCheckBox *>("checkBox_allChannel"))
        all->setChecked(true);
    auto *ok = d->findChild<QPushButton *>("pushButton_ok");
    if (!ok)
        return 0;
    ok->click();
    return d->result();
}

void runFor(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QTest::qWait(10);
}

QByteArray bytesOf(const QString &hex)
{
    return QByteArray::fromHex(hex.toLatin1());
}

} // namespace

class LiveEndToEndTest : public MainWindowEnv
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
        qunsetenv("KEMUSB_BACKEND");
        qunsetenv("KEMUSB_SIM_CONFIG");
    }
};

TEST_F(LiveEndToEndTest, TwoAdaptersLiveInTheirTabs)
{
    MainWindow w;
    // Tall enough for the eight rows read at the end above the send panels.
    w.resize(w.width(), 900);
    QUserDeviceAdapter *reg = w.devAdapterGet();
    QTabWidget *tabs = w.layoutGet()->tabDataShow;
    // What the registry hands the window, counted on the same road.
    QHash<QString, int> delivered;
    QObject::connect(reg, &QUserDeviceAdapter::receiveMsg, &w,
                     [&](QString id, QVector<QUserCanMsg> l) { delivered[id] += l.size(); }, Qt::QueuedConnection);

    prompts.answerExec(pickModel("USBCANFD2"));
    prompts.answerExec(allChannelsOk);
    w.formGet()->actDevCAN->trigger();
    prompts.answerExec(pickModel("USBCAN2-A"));
    prompts.answerExec(allChannelsOk);
    w.formGet()->actDevCAN->trigger();
    ASSERT_EQ(prompts.unanswered(), 0);
    ASSERT_EQ(prompts.records().size(), 4); // two selections, two channel dialogs, no box
    EXPECT_EQ(prompts.records().at(0).title, "选择设备");
    EXPECT_EQ(log.lines.filter("tip: 设备打开成功!").size(), 2);
    ASSERT_EQ(tabs->count(), 5);
    for (const QString &id : kFdIds + kClassicIds)
        ASSERT_NE(w.tabSrvGet().find(id), nullptr) << id.toStdString();
    EXPECT_EQ(w.curTabDevGet(), "USBCAN2-0-1");

    runFor(1200);

    // Frames sent on the first channel of each adapter.
    QUserCanMsg fd;
    fd.idText = "000005A5 ";
    fd.protocol = 2;
    fd.fdFlags = 1;
    fd.lenText = "64";
    fd.dataText.clear();
    for (int i = 0; i < 64; ++i)
        fd.dataText += QString::asprintf("%02X", 0xC0 ^ i);
    fd.status = MsgTagCanOpen;
    QUserCanMsg classic("000006B6 ", false, false, "4", "DEADBEEF");
    classic.status = MsgTagDbcSend;
    ASSERT_TRUE(reg->devSendMsg("USBCANFD2-0-0", fd));
    ASSERT_TRUE(reg->devSendMsg("USBCAN2-0-0", classic));
    runFor(300);

    // The classic adapter closed from its tabs: its traffic stops.
    for (const QString &id : kClassicIds) {
        const QString label = getDevIdTextEx(w.languageCodeGet(), id);
        for (int i = 0; i < tabs->count(); ++i)
            if (tabs->tabText(i) == label)
                emit tabs->tabCloseRequested(i);
    }
    EXPECT_EQ(log.lines.filter("tip: 设备已关闭!").size(), 2);
    EXPECT_EQ(w.tabSrvGet().find("USBCAN2-0-0"), nullptr);
    EXPECT_FALSE(reg->hasChannel("USBCAN2-0-0"));
    // Batches already on their way still come in; then nothing more (the
    // bus sends some 380 frames a second to these two channels).
    int classicSeen = -1;
    QElapsedTimer quiet;
    quiet.start();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            const int now = delivered.value("USBCAN2-0-0") + delivered.value("USBCAN2-0-1");
            if (now != classicSeen) {
                classicSeen = now;
                quiet.restart();
            }
            return quiet.elapsed() >= 400;
        },
        testsupport::kGiveUpMs));

    // The CAN FD adapter's channels closed underneath their tabs (as the
    // registry does when the window goes): the traffic stops, the tabs stay
    // and can still be read. Counts are compared once nothing is in flight.
    for (const QString &id : kFdIds)
        EXPECT_EQ(reg->devClose("USBCANFD2", id), 0);
    int fdSeen = -1;
    quiet.restart();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            const int now = delivered.value(kFdIds.at(0)) + delivered.value(kFdIds.at(1));
            if (now != fdSeen) {
                fdSeen = now;
                quiet.restart();
            }
            return quiet.elapsed() >= 400;
        },
        testsupport::kGiveUpMs));

    QHash<uint32_t, int> counterOf;
    for (const Node &n : kFdNodes)
        counterOf.insert(n.id, n.counter);
    const QByteArray fdData = bytesOf(fd.dataText);
    for (int ch = 0; ch < 2; ++ch) {
        const QString id = kFdIds.at(ch);
        SCOPED_TRACE(id.toStdString());
        QUserWindowTabData *tab = w.tabSrvGet().find(id);
        ASSERT_NE(tab, nullptr);
        QUserTableModelCan *model = tab->model;
        // Every frame the registry delivered was counted and kept.
        EXPECT_GT(tab->rxCntGet(), 100u);
        EXPECT_EQ(tab->rxCntGet(), quint32(delivered.value(id)));
        EXPECT_EQ(tab->txCntGet(), ch == 0 ? 1u : 0u);
        EXPECT_EQ(model->listCount(), int(tab->rxCntGet() + tab->txCntGet()));
        int merged = 0;
        QSet<uint32_t> ids;
        QUserCanMsgMerge e;
        for (int k = 0; model->mergeAt(k, e); ++k) {
            merged += e.count;
            ids.insert(e.frame.id);
        }
        EXPECT_EQ(merged, model->listCount());
        QSet<uint32_t> expected{0x5A5};
        for (const Node &n : kFdNodes)
            expected.insert(n.id);
        EXPECT_EQ(ids, expected);

        // Frame by frame: the counting bytes go up by one from frame to
        // frame of an identifier (none lost, none twice, none out of
        // order); the 64-byte frames keep their constant tail.
        QHash<uint32_t, int> lastCount;
        int sentSeen = 0, receivedOwn = 0;
        for (int i = 0; i < model->listCount(); ++i) {
            const QUserCanMsg m = model->listAt(i);
            const uint32_t fid = uint32_t(m.idText.trimmed().toUInt(nullptr, 16));
            const QByteArray data = bytesOf(m.dataText);
            if (fid == 0x5A5) {
                EXPECT_EQ(data, fdData);
                EXPECT_EQ(m.protocol, 2);
                EXPECT_EQ(m.lenText, "64");
                (m.direction == 1 ? sentSeen : receivedOwn) += 1;
                continue;
            }
            EXPECT_EQ(m.direction, 0);
            if (fid == 0x300) {
                ASSERT_EQ(data.size(), 64);
                EXPECT_EQ(m.protocol, 2);
                for (int b = 16; b < 64; ++b)
                    ASSERT_EQ(uint8_t(data.at(b)), uint8_t(b * 3)) << b;
            }
            const int c = counterOf.value(fid, -1);
            if (c < 0 || c >= data.size())
                continue;
            const int now = uint8_t(data.at(c));
            if (lastCount.contains(fid)) {
                ASSERT_EQ(now, (lastCount.value(fid) + 1) & 0xFF) << std::hex << fid << " at " << std::dec << i;
            }
            lastCount.insert(fid, now);
        }
        // Sent on channel 0: shown there as sent; channel 1 heard it.
        EXPECT_EQ(sentSeen, ch == 0 ? 1 : 0);
        EXPECT_EQ(receivedOwn, ch == 0 ? 0 : 1);
    }

    // The tabs stay readable: their rows show the merged traffic, and the
    // list is there at once when the setting changes.
    tabs->setCurrentIndex(tabs->count() - 1);
    ASSERT_EQ(w.curTabDevGet(), "USBCANFD2-0-1");
    QUserWindowTabData *tab = w.curTabDataGet();
    ASSERT_TRUE(QTest::qWaitFor([&] { return tab->model->rowCount() == 8; }, testsupport::kGiveUpMs));
    QStringList shownIds;
    for (int r = 0; r < tab->model->rowCount(); ++r)
        shownIds << tab->model->item(r, 6)->text();
    EXPECT_EQ(shownIds, (QStringList{"0x000000C9 ", "0x000001A0 ", "0x000002F0 ", "0x00000300 ", "0x000005A5 ",
                                     "0x0CF00400 ", "0x18DAF100 ", "0x18FEF100 "}));
    cfg()->setString("idMergEnable", "OFF");
    w.curTabModelReload();
    EXPECT_EQ(tab->model->cacheCount(), tab->model->listCount());
    ASSERT_TRUE(QTest::qWaitFor([&] { return tab->model->rowCount() > 0 && tab->model->item(0, 0)->text() == "0"; },
                                testsupport::kGiveUpMs));
}

TEST_F(LiveEndToEndTest, ClassicAdapterTrafficInListMode)
{
    cfg()->setString("idMergEnable", "OFF");
    MainWindow w;
    prompts.answerExec(pickModel("USBCAN2-B"));
    prompts.answerExec(allChannelsOk);
    w.formGet()->actDevCAN->trigger();
    ASSERT_EQ(prompts.unanswered(), 0);
    ASSERT_NE(w.tabSrvGet().find("USBCAN2-0-0"), nullptr);
    QUserWindowTabData *tab = w.curTabDataGet();
    ASSERT_NE(tab, nullptr);
    EXPECT_EQ(w.curTabDevGet(), "USBCAN2-0-1");
    // Some traffic of every node of the bus (each sends every 10-100 ms).
    QSet<uint32_t> expected;
    for (const Node &n : kClassicNodes)
        expected.insert(n.id);
    auto idsHeard = [&] {
        QSet<uint32_t> heard;
        for (int i = 0; i < tab->model->listCount(); ++i)
            heard.insert(uint32_t(tab->model->listAt(i).idText.trimmed().toUInt(nullptr, 16)));
        return heard;
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return tab->rxCntGet() > 30u && idsHeard().contains(expected); },
                                testsupport::kGiveUpMs));
    QSet<uint32_t> ids;
    for (int i = 0; i < tab->model->listCount(); ++i) {
        const QUserCanMsg m = tab->model->listAt(i);
        const uint32_t fid = uint32_t(m.idText.trimmed().toUInt(nullptr, 16));
        ids.insert(fid);
        EXPECT_EQ(m.protocol, 0);
        EXPECT_EQ(m.extended != 0, fid > 0x7FF);
    }
    EXPECT_EQ(ids, expected);
    // The rows on screen follow the newest frames, at most a rebuild
    // (100 ms, some 20 frames of this bus) behind.
    auto lastShown = [&] {
        const int rows = tab->model->rowCount();
        return rows > 0 ? tab->model->item(rows - 1, 0)->text().toInt() : -1;
    };
    EXPECT_TRUE(QTest::qWaitFor([&] { return lastShown() >= tab->model->listCount() - 60; }, testsupport::kGiveUpMs))
        << lastShown() << " of " << tab->model->listCount();
    // The status bar shows the current channel's state and counts.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return w.statusBarWidgetGet()->form()->label_devInfo->text().startsWith("[CAN]"); },
        testsupport::kGiveUpMs));
    w.tabAllClose();
    EXPECT_EQ(log.lines.filter("tip: 设备已关闭!").size(), 2);
    EXPECT_EQ(w.devAdapterGet()->channelCount(), 0);
}

// The merged view of live traffic saved while it runs, to ASC and to BLF,
// and read back with python-can: every identifier carries the time its row
// showed (counted from the file's first frame, which is the oldest row), in
// time order. A frame sent once some seconds before the save is the oldest
// row: written in identifier order it was stamped with a later row's time.
TEST_F(LiveEndToEndTest, MergedSaveOfLiveTrafficKeepsEachRowsTime)
{
    REQUIRE_PEER_MODULES("can");
    MainWindow w;
    prompts.answerExec(pickModel("USBCANFD2"));
    prompts.answerExec(allChannelsOk);
    w.formGet()->actDevCAN->trigger();
    ASSERT_EQ(prompts.unanswered(), 0);
    ASSERT_EQ(w.curTabDevGet(), kFdIds.at(1));
    QUserDeviceAdapter *reg = w.devAdapterGet();
    QUserTableModelCan *shown = w.curTabDataGet()->model;
    auto rowsOf = [&](uint32_t id) {
        QUserCanMsgMerge e;
        for (int k = 0; shown->mergeAt(k, e); ++k)
            if (e.frame.id == id)
                return true;
        return false;
    };
    // Heard on channel 1 from channel 0: once early, once 2.5 s after it
    // was heard, just before the save; every node of the bus meanwhile.
    runFor(300);
    QUserCanMsg early("000005A5 ", false, false, "8", "0102030405060708");
    early.status = MsgTagDbcSend;
    ASSERT_TRUE(reg->devSendMsg(kFdIds.at(0), early));
    ASSERT_TRUE(QTest::qWaitFor([&] { return rowsOf(0x5A5); }, testsupport::kGiveUpMs));
    runFor(2500);
    QUserCanMsg late("000006B6 ", false, false, "4", "DEADBEEF");
    late.status = MsgTagDbcSend;
    ASSERT_TRUE(reg->devSendMsg(kFdIds.at(0), late));
    ASSERT_TRUE(QTest::qWaitFor([&] { return rowsOf(0x6B6) && shown->mergeCount() == 9; }, testsupport::kGiveUpMs));

    for (const char *name : {"live-merged.asc", "live-merged.blf"}) {
        SCOPED_TRACE(name);
        // The rows as the table holds them when the save takes them (no
        // event runs in between).
        QUserTableModelCan *model = w.curTabDataGet()->model;
        ASSERT_TRUE(model->mergeMode());
        struct Row {
            uint32_t id;
            int64_t time;
        };
        QList<Row> rows;
        QUserCanMsgMerge e;
        for (int k = 0; model->mergeAt(k, e); ++k)
            rows.append({e.frame.id, e.frame.hostTime});
        ASSERT_EQ(rows.size(), 9);
        int64_t start = rows.first().time;
        for (const Row &r : rows)
            start = std::min(start, r.time);
        const QString file = QDir::current().absoluteFilePath(QString::fromLatin1(name));
        prompts.answerFile(file);
        w.formGet()->actSave->trigger();
        ASSERT_TRUE(log.contains("成功保存9条..."));

        const peer::Result r = peer::run(peer::script("traffic_peer.py"), {"read", file.toStdString()});
        ASSERT_EQ(r.exitCode, 0) << r.output;
        const QJsonArray frames = QJsonDocument::fromJson(QByteArray::fromStdString(r.output)).array();
        ASSERT_EQ(frames.size(), rows.size()) << r.output;
        QHash<uint32_t, double> fileTime;
        double previous = -1;
        for (const QJsonValue &v : frames) {
            const QJsonObject f = v.toObject();
            const double t = f.value("t").toDouble();
            EXPECT_GE(t, previous) << "in time order";
            previous = t;
            fileTime.insert(uint32_t(f.value("id").toDouble()), t);
        }
        std::printf("%s read back by python-can, times in ms from the file's first frame:\n", name);
        std::printf("  %-10s  %-12s  %9s  %9s\n", "id", "table", "table-ms", "file-ms");
        for (const Row &row : rows) {
            ASSERT_TRUE(fileTime.contains(row.id)) << std::hex << row.id;
            std::printf("  0x%08X  %-12s  %9lld  %9.3f\n", row.id,
                        QUserTableModelCan::timeCellText(row.time).toLatin1().constData(),
                        static_cast<long long>(row.time - start), fileTime.value(row.id));
            EXPECT_NEAR(fileTime.value(row.id), double(row.time - start), 0.01) << std::hex << row.id;
        }
        EXPECT_NEAR(fileTime.value(0x5A5), 0.0, 0.01) << "the oldest row starts the file";
        EXPECT_GE(fileTime.value(0x6B6), 2000.0);
        log.lines.clear();
    }
}

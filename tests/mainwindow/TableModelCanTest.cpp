// The frame model of a data tab: the list and the merged view with their
// bound, merge keys and the period between the last two frames, the cell
// texts in both formats, the 100 ms rebuild throttle, following the newest
// rows, pause and stop, and the storage underneath (block ring,
// identifier-ordered map).

#include "tests/mainwindow/MainWindowTestEnv.h"
#include "tests/support/ManualHostClock.h"

#include "mainwindow/QUserBlockStock.h"
#include "mainwindow/QUserCanMergeMap.h"
#include "mainwindow/QUserChunkRing.h"
#include "mainwindow/QUserTableModelCan.h"

#include <QColor>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QStandardItem>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <deque>
#include <map>
#include <random>
#include <thread>
#include <vector>

namespace {

// A received frame as the device layer writes it.
QUserCanMsg rx(uint32_t id, const QString &data, int64_t hostMs = 0)
{
    QUserCanMsg m;
    m.idText = idToText(id);
    m.dataText = data;
    m.lenText = QString::number(data.size() / 2);
    m.hostTime = hostMs;
    m.direction = 0;
    return m;
}

QString cell(QUserTableModelCan &m, int row, int column)
{
    QStandardItem *it = m.item(row, column);
    return it ? it->text() : QStringLiteral("<none>");
}

// Lets an armed rebuild run, waits until the throttle allows the next one
// and makes it: no rebuild is pending afterwards.
void rebuildNow(QUserTableModelCan &m)
{
    EXPECT_TRUE(QTest::qWaitFor([&] { return !m.refreshTimerGet()->isActive(); }, testsupport::kGiveUpMs));
    QTest::qWait(QUserTableModelCan::kRefreshMs + 10);
    m.windowUpdate();
    EXPECT_FALSE(m.refreshTimerGet()->isActive());
}

} // namespace

class TableModelCanTest : public MainWindowEnv
{
protected:
    void settings(int cacheSize, bool merge)
    {
        cfg()->setInt("msgCacheSize", cacheSize);
        cfg()->setString("idMergEnable", merge ? "ON" : "OFF");
    }
};

// ---- bound -----------------------------------------------------------------

TEST_F(TableModelCanTest, ListKeepsTheNewestFramesAtTheBound)
{
    settings(3, false);
    QUserTableModelCan m;
    for (uint32_t id : {0xA, 0xB, 0xC, 0xD})
        m.msgAppend(rx(id, "00"));
    ASSERT_EQ(m.listCount(), 3);
    EXPECT_EQ(m.listAt(0).idText, "0000000B ");
    EXPECT_EQ(m.listAt(2).idText, "0000000D ");
    rebuildNow(m);
    ASSERT_EQ(m.rowCount(), 3);
    for (int r = 0; r < 3; ++r)
        EXPECT_EQ(cell(m, r, 0), QString::number(r));
    EXPECT_EQ(cell(m, 0, 5), "0x0000000B ");
}

TEST_F(TableModelCanTest, MergedViewDropsTheSmallestIdentifierAtTheBound)
{
    settings(2, true);
    QUserTableModelCan m;
    for (uint32_t id : {0x300, 0x100, 0x200})
        m.msgAppend(rx(id, "00"));
    ASSERT_EQ(m.mergeCount(), 2);
    QUserCanMsgMerge e;
    ASSERT_TRUE(m.mergeAt(0, e));
    EXPECT_EQ(e.frame.id, 0x200u);
    ASSERT_TRUE(m.mergeAt(1, e));
    EXPECT_EQ(e.frame.id, 0x300u);
    EXPECT_FALSE(m.mergeAt(2, e));
}

TEST_F(TableModelCanTest, BoundBelowOneKeepsOneFrameAndOneEntry)
{
    for (int bound : {0, -5}) {
        SCOPED_TRACE(bound);
        settings(bound, true);
        QUserTableModelCan m;
        for (uint32_t id = 1; id <= 4; ++id)
            m.msgAppend(rx(id, "00"));
        EXPECT_EQ(m.listCount(), 1);
        EXPECT_EQ(m.mergeCount(), 1);
        EXPECT_EQ(m.listAt(0).idText, "00000004 ");
    }
}

TEST_F(TableModelCanTest, AbsentBoundIsAMillionAndWrittenBack)
{
    QUserTableModelCan m;
    EXPECT_EQ(m.cacheLimit(), 1000000);
    EXPECT_EQ(mwtest::fileValue("msgCacheSize").toInt(), 1000000);
}

// An unbounded setting must neither take its memory up front nor hold more
// than the documented maximum.
TEST_F(TableModelCanTest, HugeBoundIsClampedAndMemoryFollowsTheFrames)
{
    cfg()->setInt("msgCacheSize", 2147483647);
    QUserTableModelCan m;
    EXPECT_EQ(m.cacheLimit(), QUserTableModelCan::kCacheSizeMax);
    EXPECT_EQ(m.cacheLimit(), 10000000);
    EXPECT_TRUE(log.contains("msgCacheSize 2147483647 above the maximum, 10000000 used"));
    // The setting itself is the user's: left as it is.
    EXPECT_EQ(cfg()->getInt("msgCacheSize"), 2147483647);
    EXPECT_LT(m.bytesHeld(), 64 * 1024);
    for (int i = 0; i < 10; ++i)
        m.msgAppend(rx(0x100 + uint32_t(i), "0011223344556677"));
    EXPECT_LT(m.bytesHeld(), 2 * 1024 * 1024);
    EXPECT_EQ(QUserTableModelCan::cacheSizeClamp(500), 500);
}

// A stored bound that is no whole number (text, a float form, beyond 32
// bits, blank) takes the default with a log line, not 0 (one frame); the
// setting stays as the user left it.
TEST_F(TableModelCanTest, BoundThatIsNoWholeNumberTakesTheDefault)
{
    for (const char *text : {"abc", "1e12", "99999999999", "  "}) {
        SCOPED_TRACE(text);
        {
            QSettings raw(QStringLiteral("setting/sys.ini"), QSettings::IniFormat);
            raw.setValue(QStringLiteral("msgCacheSize"), QString::fromLatin1(text));
        }
        cfg()->reload();
        log.lines.clear();
        QUserTableModelCan m;
        EXPECT_EQ(m.cacheLimit(), 1000000);
        EXPECT_EQ(log.lines.filter("msgCacheSize").filter(QStringLiteral("值<%1>").arg(QString::fromLatin1(text).trimmed())).size(), 1)
            << log.lines.join('\n').toStdString();
        EXPECT_EQ(mwtest::fileValue("msgCacheSize").toString(), QString::fromLatin1(text));
    }
}

TEST_F(TableModelCanTest, LoweredBoundDropsTheOldestAtReload)
{
    settings(100, false);
    QUserTableModelCan m;
    for (uint32_t id = 1; id <= 50; ++id)
        m.msgAppend(rx(id, "00"));
    cfg()->setInt("msgCacheSize", 10);
    m.loadSettings();
    ASSERT_EQ(m.listCount(), 10);
    EXPECT_EQ(m.mergeCount(), 10);
    EXPECT_EQ(m.listAt(0).idText, "00000029 ");
    QUserCanMsgMerge e;
    ASSERT_TRUE(m.mergeAt(0, e));
    EXPECT_EQ(e.frame.id, 41u);
}

// ---- merge keys and period -------------------------------------------------

TEST_F(TableModelCanTest, OneEntryPerIdentifierValueInIdentifierOrder)
{
    settings(1000, true);
    QUserTableModelCan m;
    struct Row {
        const char *idText;
        int direction;
        int remote;
        int extended;
    } const rows[] = {
        {"0000007F ", 0, 0, 0}, // received data frame
        {"0000007F ", 1, 0, 0}, // sent
        {"0000007F ", 0, 1, 0}, // remote
        {"0000007F ", 0, 0, 1}, // extended with the same text
        {"7F", 1, 0, 0},        // a sender's own spelling of the same value
        {"0x7f", 1, 0, 0},
        {"18FEF100 ", 0, 0, 1},
        {"00000100 ", 0, 0, 0},
        {"00000010 ", 0, 0, 0},
    };
    for (const Row &r : rows) {
        QUserCanMsg msg;
        msg.idText = r.idText;
        msg.direction = uint8_t(r.direction);
        msg.remote = uint8_t(r.remote);
        msg.extended = uint8_t(r.extended);
        m.msgAppend(msg);
    }
    ASSERT_EQ(m.mergeCount(), 4);
    const uint32_t order[] = {0x10, 0x7F, 0x100, 0x18FEF100};
    for (int k = 0; k < 4; ++k) {
        QUserCanMsgMerge e;
        ASSERT_TRUE(m.mergeAt(k, e));
        EXPECT_EQ(e.frame.id, order[k]) << k;
    }
    QUserCanMsgMerge e;
    ASSERT_TRUE(m.mergeAt(1, e));
    EXPECT_EQ(e.count, 6);
    EXPECT_TRUE(e.frame.sent()); // the latest frame's fields
    EXPECT_EQ(m.listCount(), 9);
}

// The period column is the time between an identifier's last two frames in
// µs (the unit its header says), taken from frames of known stamps.
TEST_F(TableModelCanTest, PeriodIsTheTimeBetweenTheLastTwoFrames)
{
    struct Frame {
        int64_t hostMs;
        uint64_t devUs;
        bool sent;
    };
    struct Case {
        const char *what;
        bool hwTime;
        std::vector<Frame> frames;
        int64_t period;
    };
    const int64_t t0 = 1700000000000; // host ms since the epoch
    auto every = [&](int n, int64_t hostStep, uint64_t devStep, int batch = 1) {
        std::vector<Frame> f;
        for (int i = 0; i < n; ++i)
            f.push_back({t0 + (i / batch) * batch * hostStep, 5000000 + uint64_t(i) * devStep, false});
        return f;
    };
    std::vector<Frame> gapThen20 = every(10, 20, 20000);
    gapThen20.push_back({gapThen20.back().hostMs + 3000, gapThen20.back().devUs + 3000000, false});
    gapThen20.push_back({gapThen20.back().hostMs + 20, gapThen20.back().devUs + 20000, false});
    std::vector<Frame> sentThenReceived = {{t0, 7, true}, {t0 + 4, 900000, false}};
    const Case cases[] = {
        {"one frame", false, every(1, 20, 20000), 0},
        {"20 ms by host time", false, every(50, 20, 20000), 20000},
        {"20 ms by adapter stamps", true, every(50, 20, 20000), 20000},
        // The receive road stamps a batch with one host ms: only the
        // adapter's stamps tell 1 ms apart.
        {"1 ms by adapter stamps, host time in batches of 32", true, every(200, 1, 1000, 32), 1000},
        {"1 ms by host time", false, every(200, 1, 0), 1000},
        // One long pause does not linger in the frames after it.
        {"20 ms after a 3 s pause", false, gapThen20, 20000},
        {"20 ms after a 3 s pause, adapter stamps", true, gapThen20, 20000},
        // A frame this program sent has no adapter stamp: host time.
        {"sent, then received, hardware time on", true, sentThenReceived, 4000},
        {"32-bit stamp wrap", true, {{t0, 0xFFFFFC18u, false}, {t0, 0x3E8u, false}}, 2000},
        {"24-bit stamp wrap", true, {{t0, 0xFFFC18u, false}, {t0, 0x3E8u, false}}, 2000},
        {"host clock stepped back", false, {{t0 + 10, 0, false}, {t0, 0, false}}, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        settings(100, true);
        cfg()->setString("msgHardWareTimeEn", c.hwTime ? "TRUE" : "FALSE");
        QUserTableModelCan m;
        ASSERT_EQ(m.hardwareTime(), c.hwTime);
        for (const Frame &f : c.frames) {
            QUserCanMsg msg = rx(0x123, "00", f.hostMs);
            msg.devTime = f.devUs;
            msg.direction = f.sent ? 1 : 0;
            m.msgAppend(msg);
        }
        QUserCanMsgMerge e;
        ASSERT_TRUE(m.mergeAt(0, e));
        EXPECT_EQ(e.count, int(c.frames.size()));
        EXPECT_EQ(m.periodUs(e), c.period);
        rebuildNow(m);
        EXPECT_EQ(cell(m, 0, 4), QString::number(c.period));
    }
}

// The display settings dialog may switch the time base between two frames
// (on OK it stores "msgHardWareTimeEn" and the tab reloads): the period is
// still the time between the last two frames, never a difference of a host
// time and an adapter stamp.
TEST_F(TableModelCanTest, PeriodStaysRightAcrossASwitchOfTheTimeBase)
{
    settings(100, true);
    const int64_t t0 = 1700000000000;
    for (bool first : {false, true}) {
        SCOPED_TRACE(first ? "hardware time on, then off" : "off, then on");
        cfg()->setString("msgHardWareTimeEn", first ? "TRUE" : "FALSE");
        QUserTableModelCan m;
        int i = 0;
        auto feed = [&](int n) {
            for (int k = 0; k < n; ++k, ++i) {
                QUserCanMsg msg = rx(0x18FEF100, "00", t0 + i * 20);
                msg.extended = 1;
                msg.devTime = 123456 + uint64_t(i) * 20000;
                m.msgAppend(msg);
            }
        };
        feed(10);
        QUserCanMsgMerge e;
        ASSERT_TRUE(m.mergeAt(0, e));
        EXPECT_EQ(m.periodUs(e), 20000);
        cfg()->setString("msgHardWareTimeEn", first ? "FALSE" : "TRUE");
        m.loadSettings();
        ASSERT_EQ(m.hardwareTime(), !first);
        ASSERT_TRUE(m.mergeAt(0, e));
        EXPECT_EQ(m.periodUs(e), 20000) << "the shown entry, in the new base";
        for (int k = 0; k < 3; ++k) {
            feed(1);
            ASSERT_TRUE(m.mergeAt(0, e));
            EXPECT_EQ(m.periodUs(e), 20000) << "frame " << k << " after the switch";
        }
    }
}

TEST_F(TableModelCanTest, StampSpanAcrossTheCounterWraps)
{
    struct Case {
        uint64_t before, now;
        int64_t span;
    } const cases[] = {
        {100, 2100, 2000},
        {0xFFFFFFFFu, 0, 1},
        {0xFFFFFC18u, 0x3E8u, 2000},
        {0xFFFFFFu, 0, 1},
        {0xFFFC18u, 0x3E8u, 2000},
        {5, 5, 0},
    };
    for (const Case &c : cases)
        EXPECT_EQ(QUserTableModelCan::stampSpan(c.before, c.now), c.span) << c.before << " " << c.now;
}

// ---- cells -----------------------------------------------------------------

TEST_F(TableModelCanTest, CellTextsOfBothFormats)
{
    struct Case {
        int fmt;
        const char *data;
        uint32_t id;
        const char *dataCell;
        const char *idCell;
    } const cases[] = {
        // -1: the keys absent (first, while the store is fresh).
        {-1, "0001FF", 0x18FEF100, "00 01 FF", "0x18FEF100 "},
        {0, "0001FF", 0x7F, "00 01 FF", "0x0000007F "},
        {1, "0001FF", 0x7F, "0 1 255 ", "127"},
        {1, "", 0x7FF, "", "2047"},
        {0, "", 0, "", "0x00000000 "},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.fmt);
        SCOPED_TRACE(c.data);
        if (c.fmt >= 0) {
            cfg()->setInt("msgIdFormat", c.fmt);
            cfg()->setInt("msgDataFormat", c.fmt);
        }
        cfg()->setString("idMergEnable", "OFF");
        QUserTableModelCan m;
        m.msgAppend(rx(c.id, c.data));
        rebuildNow(m);
        ASSERT_EQ(m.rowCount(), 1);
        EXPECT_EQ(cell(m, 0, 5), c.idCell);
        EXPECT_EQ(cell(m, 0, 9), c.dataCell);
    }
}

TEST_F(TableModelCanTest, RowsOfTheListAndOfTheMergedView)
{
    cfg()->setString("language", "EN");
    settings(100, false);
    QUserTableModelCan m;
    const int64_t t0 = QDateTime(QDate(2024, 3, 1), QTime(13, 5, 7, 42)).toMSecsSinceEpoch();
    QUserCanMsg a = rx(0x18DAF100, QString(128, QLatin1Char('A')), t0);
    a.extended = 1;
    a.protocol = 2;
    a.devTime = 123456789012ull;
    QUserCanMsg b = rx(0x123, "", t0 + 20);
    b.remote = 1;
    b.lenText = "0";
    b.direction = 1;
    b.sendFailed = 1;
    b.protocol = 1;
    m.msgAppend(a);
    m.msgAppend(b);
    rebuildNow(m);
    ASSERT_EQ(m.rowCount(), 2);
    const QStringList rowA = {"0", "Receive", "正常", "13:05:07:042", "123456789012", "0x18DAF100 ", "Data",
                              "Extend", "64", QStringList(QVector<QString>(64, "AA").toList()).join(' ')};
    const QStringList rowB = {"1", "Send", "发送失败", "13:05:07:062", "0", "0x00000123 ", "Remote",
                              "Standard", "0", ""};
    for (int c = 0; c < 10; ++c) {
        EXPECT_EQ(cell(m, 0, c), rowA.at(c)) << c;
        EXPECT_EQ(cell(m, 1, c), rowB.at(c)) << c;
    }
    EXPECT_EQ(m.item(0, 2)->foreground().color(), QColor(0, 0, 0));
    EXPECT_EQ(m.item(1, 2)->foreground().color(), QColor(255, 0, 0));
    EXPECT_FALSE(m.item(0, 1)->icon().isNull()); // bit-rate switch
    EXPECT_FALSE(m.item(1, 1)->icon().isNull()); // CAN FD

    cfg()->setString("idMergEnable", "ON");
    m.msgAppend(rx(0x123, "01", t0 + 30));
    m.loadSettings();
    rebuildNow(m);
    ASSERT_EQ(m.rowCount(), 2);
    // In identifier order: 0x123 first, now with its latest (received) frame
    // and the 10 ms since the one before.
    const QStringList merged0 = {"0", "Receive", "正常", "13:05:07:072", "10000", "2", "0x00000123 ",
                                 "Data", "Standard", "1", "01"};
    for (int c = 0; c < 11; ++c)
        EXPECT_EQ(cell(m, 0, c), merged0.at(c)) << c;
    EXPECT_TRUE(m.item(0, 1)->icon().isNull()); // classic frame: no icon
    EXPECT_EQ(m.item(0, 2)->foreground().color(), QColor(0, 0, 0));
    EXPECT_EQ(cell(m, 1, 5), "1");
}

TEST_F(TableModelCanTest, ChineseTextsWhenTheLanguageIsZh)
{
    cfg()->setString("language", "ZH");
    settings(10, false);
    QUserTableModelCan m;
    EXPECT_EQ(m.language(), 0);
    QUserCanMsg f = rx(0x1, "00");
    f.extended = 1;
    m.msgAppend(f);
    rebuildNow(m);
    EXPECT_EQ(cell(m, 0, 1), "接收");
    EXPECT_EQ(cell(m, 0, 6), "数据帧");
    EXPECT_EQ(cell(m, 0, 7), "扩展帧");
}

TEST_F(TableModelCanTest, FramesComeBackWithWhatTheyCarried)
{
    settings(100, false);
    QUserTableModelCan m;
    QUserCanMsg fd = rx(0x18DAF100, QString(), 1700000000123);
    for (int i = 0; i < 64; ++i)
        fd.dataText += QString::asprintf("%02X", i * 3 & 0xFF);
    fd.lenText = "64";
    fd.extended = 1;
    fd.protocol = 2;
    fd.fdFlags = 0x18;
    fd.channel = 1;
    fd.devTime = 99;
    QUserCanMsg sent = rx(0x7E8, "0241", 1700000000124);
    sent.direction = 1;
    sent.sendFailed = 1;
    sent.lenText = "8"; // the length as written, not the bytes held
    m.msgAppend(fd);
    m.msgAppend(sent);
    m.msgAppend(rx(0x7E8, "0641", 1700000000125));

    QVector<QUserCanMsg> list;
    m.msgListGet(list);
    ASSERT_EQ(list.size(), 3);
    const QUserCanMsg &a = list.at(0);
    EXPECT_EQ(a.idText, "18DAF100 ");
    EXPECT_EQ(a.dataText, fd.dataText);
    EXPECT_EQ(a.lenText, "64");
    EXPECT_EQ(a.extended, 1);
    EXPECT_EQ(a.protocol, 2);
    EXPECT_EQ(a.fdFlags, 0x18);
    EXPECT_EQ(a.channel, 1);
    EXPECT_EQ(a.devTime, 99u);
    EXPECT_EQ(a.hostTime, 1700000000123);
    EXPECT_EQ(a.direction, 0);
    EXPECT_EQ(list.at(1).direction, 1);
    EXPECT_EQ(list.at(1).sendFailed, 1);
    EXPECT_EQ(list.at(1).lenText, "8");
    EXPECT_EQ(list.at(1).dataText, "0241");

    // The merged view gives the latest frame of each identifier, in order.
    cfg()->setString("idMergEnable", "ON");
    m.loadSettings();
    list.clear();
    m.msgListGet(list);
    ASSERT_EQ(list.size(), 2);
    EXPECT_EQ(list.at(0).idText, "000007E8 ");
    EXPECT_EQ(list.at(0).dataText, "0641");
    EXPECT_EQ(list.at(1).idText, "18DAF100 ");
}

TEST_F(TableModelCanTest, LongPayloadsSurviveEvictionInTheRightOrder)
{
    // Classic and CAN FD frames mixed: the long payloads sit in a ring of
    // their own that must drop in step with the list.
    settings(5, false);
    QUserTableModelCan m;
    std::deque<QUserCanMsg> expect;
    for (int i = 0; i < 40; ++i) {
        QString data;
        const int n = (i % 3 == 0) ? 64 : (i % 3 == 1 ? 8 : 12);
        for (int k = 0; k < n; ++k)
            data += QString::asprintf("%02X", (i * 7 + k) & 0xFF);
        QUserCanMsg f = rx(uint32_t(i), data);
        m.msgAppend(f);
        expect.push_back(f);
        if (expect.size() > 5)
            expect.pop_front();
        ASSERT_EQ(m.listCount(), int(expect.size()));
        for (int k = 0; k < m.listCount(); ++k)
            ASSERT_EQ(m.listAt(k).dataText, expect[size_t(k)].dataText) << i << " " << k;
    }
}

// A save takes the tab's frames as a snapshot of the compact records and
// makes the frame records from it later: the snapshot gives back exactly
// what the frame list gives, in both views, with long payloads whose ring
// has wrapped and dropped its oldest tails (the tails' numbering starts
// far from 0) and with the list's blocks wrapped.
TEST_F(TableModelCanTest, SnapshotGivesTheSameFramesAsTheFrameList)
{
    const int bound = 20000; // past two blocks of the list and of the tails
    settings(bound, false);
    QUserTableModelCan m;
    std::mt19937 rnd(11);
    for (int i = 0; i < 3 * bound + 123; ++i) {
        const int pick = int(rnd() % 4);
        const int n = pick == 0 ? 64 : pick == 1 ? 12 : pick == 2 ? 8 : 0;
        QString data;
        for (int k = 0; k < n; ++k)
            data += QString::asprintf("%02X", int(rnd() & 0xFF));
        QUserCanMsg f = rx(uint32_t(rnd() % 3000) * (pick == 0 ? 0x10001u : 1u), data, 1700000000000 + i);
        f.protocol = uint8_t(n > 8 ? 1 + i % 2 : 0);
        f.extended = f.getId() > 0x7FF ? 1 : 0;
        f.remote = uint8_t(n == 0 && i % 2);
        f.direction = uint8_t(i % 5 == 0);
        f.sendFailed = uint8_t(i % 7 == 0);
        f.channel = uint8_t(i % 2);
        f.devTime = uint64_t(i) * 17;
        m.msgAppend(f);
    }
    for (const bool merged : {false, true}) {
        SCOPED_TRACE(merged ? "merged" : "list");
        cfg()->setString("idMergEnable", merged ? "ON" : "OFF");
        m.loadSettings();
        QVector<QUserCanMsg> list;
        m.msgListGet(list);
        ASSERT_EQ(list.size(), merged ? m.mergeCount() : bound);
        QUserCanFrameSnapshot snap;
        m.frameSnapshot(snap);
        // The tab goes on after the snapshot: its oldest frames and tails
        // make room for new ones in the blocks the snapshot holds.
        for (int i = 0; i < bound / 2; ++i) {
            QString data;
            for (int k = 0; k < (i % 2 ? 64 : 8); ++k)
                data += merged ? QStringLiteral("EE") : QStringLiteral("DD");
            m.msgAppend(rx(uint32_t(5000 + i), data, merged ? 2 : 1));
        }
        ASSERT_EQ(snap.size(), int64_t(list.size()));
        for (int i = 0; i < list.size(); ++i) {
            const QUserCanMsg a = snap.msgAt(i);
            const QUserCanMsg &b = list.at(i);
            ASSERT_EQ(a.idText, b.idText) << i;
            ASSERT_EQ(a.dataText, b.dataText) << i;
            ASSERT_EQ(a.lenText, b.lenText) << i;
            ASSERT_EQ(a.hostTime, b.hostTime) << i;
            ASSERT_EQ(a.devTime, b.devTime) << i;
            ASSERT_EQ(a.protocol, b.protocol) << i;
            ASSERT_EQ(a.extended, b.extended) << i;
            ASSERT_EQ(a.remote, b.remote) << i;
            ASSERT_EQ(a.direction, b.direction) << i;
            ASSERT_EQ(a.sendFailed, b.sendFailed) << i;
            ASSERT_EQ(a.channel, b.channel) << i;
        }
        snap.clear();
        EXPECT_TRUE(snap.isEmpty());
    }
    QUserCanFrameSnapshot none;
    m.msgClear();
    m.frameSnapshot(none);
    EXPECT_EQ(none.size(), 0);
}

// ---- rebuilds, following, pause and stop -----------------------------------
//
// The throttle reads the host clock; the tests of its periods use the
// test's own (it stands still unless moved), so that a burst falls within
// one period however slow the machine. The held rebuild comes with the
// model's timer shot once the period has passed on that clock.

TEST_F(TableModelCanTest, ManyAppendsWithinTheThrottleGiveOneRebuild)
{
    settings(1000, false);
    testsupport::ManualHostClockScope clock;
    QUserTableModelCan m;
    clock->advance(QUserTableModelCan::kRefreshMs);
    const qint64 before = m.rebuildCount();
    for (int i = 0; i < 50; ++i)
        m.msgAppend(rx(uint32_t(i), "00"));
    // The first append rebuilt at once, the rest armed the one timer shot.
    EXPECT_EQ(m.rebuildCount(), before + 1);
    EXPECT_TRUE(m.refreshTimerGet()->isActive());
    EXPECT_EQ(m.rowCount(), 1);
    // Not before the period is over...
    QTest::qWait(2 * QUserTableModelCan::kRefreshMs);
    EXPECT_EQ(m.rebuildCount(), before + 1);
    clock->advance(QUserTableModelCan::kRefreshMs - 1);
    QTest::qWait(2 * QUserTableModelCan::kRefreshMs);
    EXPECT_EQ(m.rebuildCount(), before + 1);
    // ...then the shot shows the rest of the burst.
    clock->advance(1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !m.refreshTimerGet()->isActive(); }, testsupport::kGiveUpMs));
    EXPECT_EQ(m.rebuildCount(), before + 2);
    EXPECT_EQ(m.rowCount(), 20);
    EXPECT_EQ(cell(m, 19, 0), "49");
}

// The row count (the view's scroll bar) goes out with the rebuilds, at most
// every 100 ms, not with every frame or batch: reported per batch it made
// the whole window repaint hundreds of times a second at a busy bus.
TEST_F(TableModelCanTest, RowCountIsReportedWithTheRebuilds)
{
    for (bool merge : {false, true}) {
        SCOPED_TRACE(merge);
        settings(1000, merge);
        testsupport::ManualHostClockScope clock;
        QUserTableModelCan m;
        clock->advance(QUserTableModelCan::kRefreshMs);
        QSignalSpy rows(&m, &QUserTableModel::userRowChangeEvent);
        m.appendBegin();
        for (int i = 0; i < 30; ++i)
            m.msgAppend(rx(uint32_t(i % 7), "00"));
        EXPECT_EQ(rows.count(), 0);
        m.appendEnd(); // rebuilt at once: the throttle allowed it
        ASSERT_EQ(rows.count(), 1);
        EXPECT_EQ(rows.at(0).at(0).toInt(), merge ? 7 : 30);
        EXPECT_EQ(m.windowStart(), merge ? 0 : 10);
        // Many batches within the throttle: nothing now, one report with
        // the rebuild of the timer's shot.
        for (int b = 0; b < 40; ++b) {
            m.appendBegin();
            m.msgAppend(rx(uint32_t(100 + b), "00"));
            m.appendEnd();
        }
        EXPECT_EQ(rows.count(), 1);
        clock->advance(QUserTableModelCan::kRefreshMs);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !m.refreshTimerGet()->isActive(); }, testsupport::kGiveUpMs));
        ASSERT_EQ(rows.count(), 2);
        EXPECT_EQ(rows.at(1).at(0).toInt(), merge ? 47 : 70);
        // Frames of known identifiers only: the merged view has nothing new
        // to report.
        clock->advance(QUserTableModelCan::kRefreshMs);
        m.msgAppend(rx(1, "00"));
        EXPECT_EQ(rows.count(), merge ? 2 : 3);
    }
}

TEST_F(TableModelCanTest, WindowFollowsTheNewestUnlessPausedOrStopped)
{
    settings(100000, false);
    QUserTableModelCan m;
    for (int i = 0; i < 1000; ++i)
        m.msgAppend(rx(uint32_t(i), "00"));
    EXPECT_EQ(m.windowStart(), 980);

    m.setPause(true); // the user holds the scroll bar
    for (int i = 0; i < 10; ++i)
        m.msgAppend(rx(1, "00"));
    EXPECT_EQ(m.windowStart(), 980);
    m.setPause(false);
    m.msgAppend(rx(1, "00"));
    EXPECT_EQ(m.windowStart(), 991);

    // Stopped: the frames are kept; neither rows nor the scroll bar move.
    rebuildNow(m);
    const qint64 rebuilt = m.rebuildCount();
    const QString top = cell(m, 0, 0);
    m.setScrollState(false);
    QSignalSpy rows(&m, &QUserTableModel::userRowChangeEvent);
    QTest::qWait(QUserTableModelCan::kRefreshMs + 10);
    for (int i = 0; i < 10000; ++i)
        m.msgAppend(rx(2, "00"));
    QTest::qWait(QUserTableModelCan::kRefreshMs + 10);
    EXPECT_EQ(rows.count(), 0);
    EXPECT_EQ(m.rebuildCount(), rebuilt);
    EXPECT_EQ(cell(m, 0, 0), top);
    EXPECT_EQ(m.windowStart(), 991);
    EXPECT_EQ(m.listCount(), 11011);
    // Running again: the next frame shows the newest window.
    m.setScrollState(true);
    m.msgAppend(rx(3, "00"));
    EXPECT_EQ(m.windowStart(), 11012 - 20);
    EXPECT_EQ(m.rebuildCount(), rebuilt + 1);
    EXPECT_EQ(cell(m, 19, 0), "11011");
}

TEST_F(TableModelCanTest, ClearEmptiesBothViewsAndReadsTheSettingsAgain)
{
    settings(100, false);
    QUserTableModelCan m;
    for (int i = 0; i < 60; ++i)
        m.msgAppend(rx(uint32_t(i), "0011223344556677"));
    rebuildNow(m);
    const qint64 held = m.bytesHeld();
    cfg()->setString("idMergEnable", "ON");
    QSignalSpy rows(&m, &QUserTableModel::userRowChangeEvent);
    EXPECT_TRUE(m.msgClear());
    EXPECT_EQ(m.listCount(), 0);
    EXPECT_EQ(m.mergeCount(), 0);
    EXPECT_EQ(m.windowStart(), 0);
    EXPECT_LT(m.bytesHeld(), held);
    EXPECT_TRUE(m.mergeMode());
    ASSERT_GE(rows.count(), 1);
    EXPECT_EQ(rows.at(0).at(0).toInt(), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return m.rowCount() == 0; }, testsupport::kGiveUpMs));
}

// ---- storage ---------------------------------------------------------------

TEST(ChunkRing, OrderKeptAcrossBlocksWrapAndGrowthWhileWrapped)
{
    // Blocks of four records, so every path is taken with few of them.
    QUserChunkRing<int, 2> ring;
    std::deque<int> ref;
    std::mt19937 rnd(7);
    int next = 0;
    for (int step = 0; step < 5000; ++step) {
        const int op = int(rnd() % 10);
        if (op < 6 || ref.empty()) {
            ring.pushBack() = next;
            ref.push_back(next++);
        } else {
            ring.popFront();
            ref.pop_front();
        }
        ASSERT_EQ(ring.size(), int64_t(ref.size()));
        ASSERT_GE(ring.capacity(), ring.size());
        ASSERT_EQ(ring.capacity() % 4, 0);
        for (size_t k = 0; k < ref.size(); k += 1 + ref.size() / 8) {
            ASSERT_EQ(ring.at(int64_t(k)), ref[k]) << step;
        }
        if (!ref.empty()) {
            ASSERT_EQ(ring.back(), ref.back());
        }
    }
    ring.clear();
    EXPECT_EQ(ring.size(), 0);
    EXPECT_EQ(ring.capacity(), 0);
}

// Frozen copies keep the records as they stood while the ring goes on
// (appends into shared blocks, drops, the wrap, growth while wrapped, a
// clear), and the ring's own records stay right; blocks no copy holds any
// more are not copied again.
TEST(ChunkRing, FrozenCopiesKeepTheirRecordsWhileTheRingGoesOn)
{
    QUserChunkRing<int, 2> ring;
    std::deque<int> ref;
    std::vector<std::pair<QUserChunkRing<int, 2>::Frozen, std::deque<int>>> copies;
    std::mt19937 rnd(5);
    int next = 0;
    for (int step = 0; step < 4000; ++step) {
        const int op = int(rnd() % 20);
        if (op < 11 || ref.empty()) {
            ring.pushBack() = next;
            ref.push_back(next++);
        } else if (op < 18) {
            ring.popFront();
            ref.pop_front();
        } else if (op == 18) {
            copies.emplace_back(ring.freeze(), ref);
            if (copies.size() > 6)
                copies.erase(copies.begin());
        } else if (step % 500 == 0) {
            ring.clear();
            ref.clear();
        }
        ASSERT_EQ(ring.size(), int64_t(ref.size()));
        for (size_t k = 0; k < ref.size(); k += 1 + ref.size() / 8)
            ASSERT_EQ(qAsConst(ring).at(int64_t(k)), ref[k]) << step;
        for (const auto &c : copies) {
            ASSERT_EQ(c.first.size(), int64_t(c.second.size()));
            for (size_t k = 0; k < c.second.size(); ++k)
                ASSERT_EQ(c.first.at(int64_t(k)), c.second[k]) << step << " " << k;
        }
    }
    // Written through the writing accessors too.
    QUserChunkRing<int, 2> small;
    for (int i = 0; i < 6; ++i)
        small.pushBack() = i;
    auto frozen = small.freeze();
    small.at(1) = 50;
    small.front() = 40;
    small.back() = 60;
    EXPECT_EQ(qAsConst(small).at(0), 40);
    EXPECT_EQ(qAsConst(small).at(1), 50);
    EXPECT_EQ(qAsConst(small).at(5), 60);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(frozen.at(i), i);
    frozen.clear();
    EXPECT_EQ(frozen.size(), 0);
}

// A frozen copy read and dropped on another thread, as a save's worker does:
// the ring writes in place into a block only once the copy has let go of
// it, and after the copy's last read of it. The thread sanitizer's build
// checks the order: the worker's end is seen here only through a flag that
// orders nothing, so the release of the block must.
TEST(ChunkRing, BlockLetGoOnAnotherThreadIsWrittenAfterItsLastRead)
{
    QUserChunkRing<int, 2> ring;
    for (int i = 0; i < 8; ++i)
        ring.pushBack() = i;
    auto frozen = ring.freeze();
    std::atomic<bool> dropped{false};
    int sum = 0;
    std::thread reader([&] {
        for (int64_t i = 0; i < frozen.size(); ++i)
            sum += frozen.at(i);
        frozen.clear();
        dropped.store(true, std::memory_order_relaxed);
    });
    while (!dropped.load(std::memory_order_relaxed))
        std::this_thread::yield();
    ring.at(0) = 100;
    ring.back() = 700;
    reader.join();
    EXPECT_EQ(sum, 28);
    EXPECT_EQ(qAsConst(ring).at(0), 100);
    EXPECT_EQ(qAsConst(ring).at(7), 700);
}

TEST(ChunkRing, TakesOneBlockAtATime)
{
    QUserChunkRing<int64_t, 10> ring;
    EXPECT_EQ(ring.bytesHeld(), 0);
    ring.pushBack() = 1;
    EXPECT_EQ(ring.capacity(), 1024);
    for (int i = 0; i < 1024; ++i)
        ring.pushBack() = i;
    EXPECT_EQ(ring.capacity(), 2048);
}

// The same for the merged view's entry blocks.
TEST(CanMergeMap, BlockLetGoOnAnotherThreadIsWrittenAfterItsLastRead)
{
    QUserCanMergeMap map;
    for (uint32_t id = 1; id <= 8; ++id)
        map.insert(id).count = int32_t(id);
    auto frozen = map.freeze();
    std::atomic<bool> dropped{false};
    int sum = 0;
    std::thread reader([&] {
        for (int64_t k = 0; k < frozen.size(); ++k)
            sum += frozen.at(k).count;
        frozen.clear();
        dropped.store(true, std::memory_order_relaxed);
    });
    while (!dropped.load(std::memory_order_relaxed))
        std::this_thread::yield();
    map.find(1)->count = 100;
    reader.join();
    EXPECT_EQ(sum, 36);
    EXPECT_EQ(map.find(1)->count, 100);
}

TEST(CanMergeMap, AgreesWithAnOrderedMap)
{
    QUserCanMergeMap map;
    std::map<uint32_t, int> ref;
    std::mt19937 rnd(11);
    for (int step = 0; step < 20000; ++step) {
        const int op = int(rnd() % 10);
        // Identifiers crowding a few buckets, spread over pages, and at both ends.
        uint32_t id;
        switch (rnd() % 4) {
        case 0: id = rnd() % 64; break;
        case 1: id = 0x1FFFFFFFu - rnd() % 64; break;
        case 2: id = (rnd() % 4) << 21 | (rnd() % 16); break;
        default: id = rnd() & 0x1FFFFFFFu; break;
        }
        if (op < 6) {
            QUserCanMsgMerge *e = map.find(id);
            ASSERT_EQ(e != nullptr, ref.count(id) == 1);
            if (e) {
                ++e->count;
                ++ref[id];
            } else {
                QUserCanMsgMerge &n = map.insert(id);
                EXPECT_EQ(n.count, 0);
                n.frame.id = id;
                n.count = 1;
                ref[id] = 1;
            }
        } else if (op < 9) {
            ASSERT_EQ(map.removeFirst(), !ref.empty());
            if (!ref.empty())
                ref.erase(ref.begin());
        } else {
            ASSERT_EQ(map.size(), int(ref.size()));
            if (ref.empty())
                continue;
            const int k = int(rnd() % ref.size());
            QUserCanMergeMap::Cursor c;
            ASSERT_TRUE(map.seek(k, c));
            auto it = std::next(ref.begin(), k);
            for (int walked = 0; walked < 50 && it != ref.end(); ++walked, ++it) {
                ASSERT_EQ(map.entryAt(c).frame.id, it->first);
                ASSERT_EQ(map.entryAt(c).count, it->second);
                const bool more = map.next(c);
                ASSERT_EQ(more, std::next(it) != ref.end());
                if (!more)
                    break;
            }
        }
    }
    QUserCanMergeMap::Cursor c;
    EXPECT_FALSE(map.seek(map.size(), c));
    EXPECT_FALSE(map.seek(-1, c));
    map.clear();
    EXPECT_EQ(map.size(), 0);
    EXPECT_FALSE(map.removeFirst());
    EXPECT_EQ(map.find(5), nullptr);
}

TEST(CanFrameRec, IdentifierTexts)
{
    struct Case {
        const char *text;
        uint32_t id;
    } const cases[] = {
        {"0000007F ", 0x7F}, {"7f", 0x7F},         {" 0x1ABCDEF0 ", 0x1ABCDEF0}, {"FFFFFFFF", 0x1FFFFFFF},
        {"", 0},             {"12G4", 0},          {"123456789", 0},             {"0x", 0},
        {"1 2", 0},          {"18FEF100 ", 0x18FEF100},
    };
    for (const Case &c : cases)
        EXPECT_EQ(canFrameIdParse(QString::fromLatin1(c.text)), c.id) << c.text;
}

TEST(BlockStock, ZeroFilledBlocksAndAStockKeptForSizesAskedFor)
{
    QUserBlockStock &stock = QUserBlockStock::instance();
    // A size nothing else asks for (another one at every repetition: the
    // stock is the process's).
    static size_t round = 0;
    const size_t bytes = 3 * 4096 + 100 + 8 * round++;
    EXPECT_EQ(stock.ready(bytes), 0);
    std::vector<void *> taken;
    for (int i = 0; i < QUserBlockStock::kSpares + 3; ++i) {
        void *p = stock.take(bytes);
        ASSERT_NE(p, nullptr);
        const unsigned char *c = static_cast<const unsigned char *>(p);
        for (size_t k = 0; k < bytes; k += 97)
            ASSERT_EQ(c[k], 0) << k;
        std::memset(p, 0xA5, bytes);
        taken.push_back(p);
    }
    // Once asked for, the size is kept in stock by the stock's own thread.
    EXPECT_TRUE(QTest::qWaitFor([&] { return stock.ready(bytes) == QUserBlockStock::kSpares; }, testsupport::kGiveUpMs));
    for (void *p : taken)
        stock.give(p, bytes);
}

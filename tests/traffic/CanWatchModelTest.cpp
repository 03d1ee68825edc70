// The trace viewer's table model over cache files: rows read on demand, the
// eight columns in both languages and formats, the 100 ms throttle, opening
// and closing, and rows located far into a large (sparse) cache.

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QHBoxLayout>
#include <QIcon>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStandardItem>
#include <QThread>
#include <QTest>
#include <QTimer>

#include "tests/traffic/CanWatchSupport.h"
#include "tests/support/ManualHostClock.h"
#include "tests/support/TempWorkDir.h"
#include "tests/traffic/TraceSupport.h"
#include "core/QUserSysCfg.h"
#include "traffic/windows/QUserTableModelCANWatch.h"
#include "widgets/QUserTableView.h"

using namespace watchtest;

namespace {

class CanWatchModel : public WorkDirTest
{
protected:
    void SetUp() override
    {
        // The model reads these when built and when its file is closed.
        QUserSysCfg::instance()->setString("language", "ZH");
        QUserSysCfg::instance()->setInt("cw_msgIdFormat", 0);
        QUserSysCfg::instance()->setInt("cw_msgDataFormat", 0);
    }
};

QString cell(QUserTableModelCANWatch &m, int row, int column)
{
    QStandardItem *it = m.item(row, column);
    return it ? it->text() : QStringLiteral("<none>");
}

// Waits out the throttle of a rebuild asked for within 100 ms of the last.
bool settled(QUserTableModelCANWatch &m, int rows)
{
    return waitUntil([&] { return m.rowCount() == rows && !m.refreshTimer()->isActive(); });
}

QVector<QUserCanMsg> sampleFrames()
{
    QVector<QUserCanMsg> v;
    v << tracetest::frame("0000012A", false, false, 0, "3", "0001FF", 0, 0, 1000)
      << tracetest::frame("1ABCDEF0", true, false, 1, "12", "000102030405060708090A0B", 1, 1, 61001)
      << tracetest::frame("0000007F", false, true, 0, "4", "", 1, 2, 3600000)
      << tracetest::frame("18DA00F1", true, false, 2, "64", QString(128, 'F'), 0, 3, 3599999)
      << tracetest::frame("00000000", false, false, 0, "0", "", 0, 0, 0);
    return v;
}

} // namespace

// A file of 0 records: no row, and the count 0 is reported on opening.
TEST_F(CanWatchModel, EmptyCacheShowsNoRow)
{
    QDir().mkpath("cache");
    ASSERT_TRUE(writeCache("cache/e.dat", {}));
    QUserTableModelCANWatch m;
    QSignalSpy counts(&m, &QUserTableModel::userRowChangeEvent);
    EXPECT_TRUE(m.cacheFileOpen("cache/e.dat"));
    ASSERT_EQ(counts.size(), 1);
    EXPECT_EQ(counts[0][0].toInt(), 0);
    EXPECT_TRUE(settled(m, 0));
    EXPECT_EQ(m.cacheCount(), 0);
}

// Five records with a window of 20: five rows numbered 0 to 4, each column
// as the table shows it, in Chinese and in English.
TEST_F(CanWatchModel, RowsAndTheirEightColumns)
{
    QDir().mkpath("cache");
    ASSERT_TRUE(writeCache("cache/five.dat", sampleFrames()));
    QUserTableModelCANWatch m;
    EXPECT_EQ(m.language(), 0);
    QSignalSpy counts(&m, &QUserTableModel::userRowChangeEvent);
    m.cacheFileOpen("cache/five.dat");
    ASSERT_EQ(counts.size(), 1);
    EXPECT_EQ(counts[0][0].toInt(), 5);
    ASSERT_TRUE(settled(m, 5));
    EXPECT_EQ(m.cacheCount(), 5);
    EXPECT_EQ(m.columnCount(), 8);
    auto timeOf = [](qint64 ms) { return QDateTime::fromMSecsSinceEpoch(ms).toString("hh:mm:ss:zzz"); };
    const QStringList want[5] = {
        {"0", "接收", timeOf(1000), "0x0000012A", "数据帧", "标准帧", "3", "00 01 FF"},
        {"1", "发送", timeOf(61001), "0x1ABCDEF0", "数据帧", "扩展帧", "12", "00 01 02 03 04 05 06 07 08 09 0A 0B"},
        {"2", "发送", timeOf(3600000), "0x0000007F", "远程帧", "标准帧", "4", ""},
        {"3", "接收", timeOf(3599999), "0x18DA00F1", "数据帧", "扩展帧", "64", QString("FF ").repeated(63) + "FF"},
        {"4", "接收", timeOf(0), "0x00000000", "数据帧", "标准帧", "0", ""},
    };
    for (int r = 0; r < 5; ++r)
        for (int c = 0; c < 8; ++c)
            EXPECT_EQ(cell(m, r, c), want[r][c]) << r << "," << c;
    // The protocol icon: none, CAN FD, none, CAN FD with bit-rate switch.
    EXPECT_TRUE(m.item(0, 1)->icon().isNull());
    EXPECT_FALSE(m.item(1, 1)->icon().isNull());
    EXPECT_FALSE(m.item(3, 1)->icon().isNull());
    EXPECT_NE(m.item(1, 1)->icon().cacheKey(), m.item(3, 1)->icon().cacheKey());

    QUserSysCfg::instance()->setString("language", "EN");
    m.cacheFileClose();
    m.cacheFileOpen("cache/five.dat");
    ASSERT_TRUE(settled(m, 5));
    EXPECT_EQ(m.language(), 1);
    EXPECT_EQ(cell(m, 1, 1), "Send");
    EXPECT_EQ(cell(m, 2, 4), "Remote");
    EXPECT_EQ(cell(m, 1, 5), "Extend");
    EXPECT_EQ(cell(m, 0, 5), "Standard");
    EXPECT_EQ(cell(m, 0, 1), "Receive");
}

// A format change shows only after the file has been closed and opened.
TEST_F(CanWatchModel, FormatsApplyFromTheNextClose)
{
    QDir().mkpath("cache");
    ASSERT_TRUE(writeCache("cache/five.dat", sampleFrames()));
    QUserTableModelCANWatch m;
    m.cacheFileOpen("cache/five.dat");
    ASSERT_TRUE(settled(m, 5));
    QUserSysCfg::instance()->setInt("cw_msgIdFormat", 1);
    QUserSysCfg::instance()->setInt("cw_msgDataFormat", 1);
    m.windowRebuild();
    EXPECT_EQ(cell(m, 0, 3), "0x0000012A");
    EXPECT_EQ(cell(m, 0, 7), "00 01 FF");
    m.cacheFileClose();
    m.cacheFileOpen("cache/five.dat");
    ASSERT_TRUE(settled(m, 5));
    EXPECT_EQ(cell(m, 0, 3), "298");
    EXPECT_EQ(cell(m, 0, 7), "0 1 255 ");
    EXPECT_EQ(cell(m, 2, 3), "127");
    EXPECT_EQ(cell(m, 2, 7), "");
    EXPECT_EQ(cell(m, 1, 3), QString::number(0x1ABCDEF0));
}

// Closing with no file open still resets the window start, rebuilds to no
// row and reports 0; closing an open file does the same.
TEST_F(CanWatchModel, ClosingEmptiesTheTable)
{
    QDir().mkpath("cache");
    QVector<QUserCanMsg> frames;
    for (int i = 0; i < 100; ++i)
        frames << toMsg(watchFrame(i), i);
    ASSERT_TRUE(writeCache("cache/h.dat", frames));
    QUserTableModelCANWatch m;
    QSignalSpy counts(&m, &QUserTableModel::userRowChangeEvent);
    m.cacheFileClose();
    ASSERT_EQ(counts.size(), 1);
    EXPECT_EQ(counts.last()[0].toInt(), 0);
    EXPECT_EQ(m.windowStart(), 0);

    m.cacheFileOpen("cache/h.dat");
    m.scrollTo(true, 50);
    ASSERT_TRUE(settled(m, 20));
    EXPECT_EQ(cell(m, 0, 0), "50");
    m.cacheFileClose();
    EXPECT_EQ(m.windowStart(), 0);
    EXPECT_EQ(counts.last()[0].toInt(), 0);
    EXPECT_TRUE(settled(m, 0));
    EXPECT_FALSE(m.isCacheOpen());
    QUserCanMsg msg;
    EXPECT_FALSE(m.msgRead(0, &msg));
    EXPECT_EQ(m.msgListGet(&msg), 0);
}

// Rebuilds within 100 ms of the last one wait for the timer; one timer run
// serves any number of requests. On the test's clock (it stands still
// unless moved), so that the requests fall within the 100 ms however slow
// the machine.
TEST_F(CanWatchModel, RebuildsAreThrottled)
{
    QDir().mkpath("cache");
    QVector<QUserCanMsg> frames;
    for (int i = 0; i < 100; ++i)
        frames << toMsg(watchFrame(i), i);
    ASSERT_TRUE(writeCache("cache/t.dat", frames));
    testsupport::ManualHostClockScope clock;
    QUserTableModelCANWatch m;
    m.cacheFileOpen("cache/t.dat");
    clock->advance(QUserTableModelCANWatch::RefreshMs);
    ASSERT_TRUE(settled(m, 20));
    m.windowRebuild(); // the last rebuild is now
    m.scrollTo(true, 10);
    m.scrollTo(true, 30);
    EXPECT_TRUE(m.refreshTimer()->isActive());
    EXPECT_EQ(cell(m, 0, 0), "0");
    // The timer's shot within the 100 ms rebuilds nothing...
    QTest::qWait(2 * QUserTableModelCANWatch::RefreshMs);
    EXPECT_EQ(cell(m, 0, 0), "0");
    // ...the first after them shows the last request.
    clock->advance(QUserTableModelCANWatch::RefreshMs);
    ASSERT_TRUE(waitUntil([&] { return cell(m, 0, 0) == "30"; }));
    EXPECT_FALSE(m.refreshTimer()->isActive());
    clock->advance(QUserTableModelCANWatch::RefreshMs);
    m.scrollTo(true, 40); // 100 ms later: at once
    EXPECT_EQ(cell(m, 0, 0), "40");
}

// Reading records directly, one and all.
TEST_F(CanWatchModel, RecordReads)
{
    QDir().mkpath("cache");
    ASSERT_TRUE(writeCache("cache/five.dat", sampleFrames()));
    QUserTableModelCANWatch m;
    m.cacheFileOpen("cache/five.dat");
    QUserCanMsg one;
    ASSERT_TRUE(m.msgRead(3, &one));
    EXPECT_EQ(one.idText, "18DA00F1");
    EXPECT_FALSE(m.msgRead(5, &one));
    EXPECT_FALSE(m.msgRead(-1, &one));
    QVector<QUserCanMsg> all(5);
    EXPECT_EQ(m.msgListGet(all.data()), 5);
    EXPECT_EQ(all[4].lenText, "0");
    EXPECT_EQ(all[1].channel, 1);
}

// A view over a cache of 6.8 million records (a sparse file): a row past
// 2^31 bytes into it is located and shown where it is; rows that cannot be
// read end the rebuild.
TEST_F(CanWatchModel, LocatesRowsPastTwoGigabytes)
{
    QDir().mkpath("cache");
    const uint64_t count = 6800000;
    const uint64_t first = 6750000;
    {
        QFile f("cache/sparse.dat");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        QByteArray header = QByteArray::number(qulonglong(count)) + ",";
        header += QByteArray(QFClassUserCanMsg::RecordTextWidth - header.size(), '0') + "\r\n";
        ASSERT_EQ(f.write(header), QFClassUserCanMsg::RecordSize);
        ASSERT_TRUE(f.seek(qint64(QFClassUserCanMsg::recordOffset(first))));
        for (uint64_t i = first; i < first + 10; ++i)
            ASSERT_EQ(f.write(QFClassUserCanMsg::msgToLine(toMsg(watchFrame(int(i % 1000)), int64_t(i))).toLatin1()),
                      QFClassUserCanMsg::RecordSize);
        ASSERT_TRUE(f.resize(qint64(QFClassUserCanMsg::recordOffset(count))));
    }
    QUserTableModelCANWatch m;
    QWidget host;
    QHBoxLayout *layout = new QHBoxLayout(&host);
    QUserTableView *view = new QUserTableView(&host);
    layout->addWidget(view);
    layout->addWidget(view->vScrollBar);
    host.resize(800, 600);
    view->setUserModel(&m);
    m.setColumnCount(8);
    m.cacheFileOpen("cache/sparse.dat");
    m.windowRebuild();
    EXPECT_EQ(m.cacheCount(), int(count));
    view->rowLocate(int(first + 2));
    m.windowRebuild();
    EXPECT_EQ(m.windowStart(), int(first + 2));
    EXPECT_EQ(view->currentCacheRow(), int(first + 2));
    EXPECT_EQ(cell(m, 0, 0), QString::number(first + 2));
    EXPECT_EQ(cell(m, 0, 3), "0x" + QString("%1").arg(watchFrame(int((first + 2) % 1000)).id, 8, 16, QChar('0')).toUpper());
    EXPECT_EQ(cell(m, 7, 0), QString::number(first + 9));
    // Record first + 10 is in a hole: the rows from there keep their texts.
    EXPECT_EQ(m.rowCount(), m.windowSize());
    if (m.rowCount() > 8) {
        EXPECT_EQ(m.item(8, 0), nullptr);
    }
}

// A rebuild tells the views of the whole window once: a view that sizes its
// rows to their contents would otherwise lay out every row again for every
// cell changed (a scroll step took over 100 ms on the viewer's table).
TEST_F(CanWatchModel, ARebuildIsOneChangeForTheViews)
{
    QDir().mkpath("cache");
    QVector<QUserCanMsg> frames;
    for (int i = 0; i < 100; ++i)
        frames << toMsg(watchFrame(i), i);
    ASSERT_TRUE(writeCache("cache/c.dat", frames));
    QUserTableModelCANWatch m;
    m.cacheFileOpen("cache/c.dat");
    m.windowRebuild();
    ASSERT_EQ(m.rowCount(), 20);
    QSignalSpy changes(&m, &QAbstractItemModel::dataChanged);
    m.scrollTo(true, 40);
    m.windowRebuild();
    ASSERT_EQ(changes.size(), 1);
    EXPECT_EQ(changes[0][0].toModelIndex(), m.index(0, 0));
    EXPECT_EQ(changes[0][1].toModelIndex(), m.index(19, 7));
    EXPECT_EQ(cell(m, 0, 0), "40");
}

// The listen table model: the ten cells of a row, the colour of values out
// of range, the row operations and their bounds, the window of rows and the
// refresh throttle.
#include <gtest/gtest.h>

#include <QBrush>
#include <QDateTime>
#include <QSignalSpy>

#include "tests/dbc/DbcWindowSupport.h"
#include "dbc/QUserTableModelDBC.h"

using dbcwin::settle;
using dbcwin::waitUntil;

namespace {

QUserDbcSignal sig(const char *name, double phys = 0, const char *unit = "", double lo = -100, double hi = 100)
{
    QUserDbcSignal s;
    s.strName = QString::fromUtf8(name);
    s.msgName = "Msg";
    s.nLen = 16;
    s.nPhysicalValue = phys;
    s.unit = QString::fromUtf8(unit);
    s.nMin = lo;
    s.nMax = hi;
    s.color = "10,20,30";
    return s;
}

QString text(QUserTableModelDBC &m, int row, int col)
{
    QStandardItem *it = m.item(row, col);
    return it ? it->text() : QString("<none>");
}

QColor ink(QUserTableModelDBC &m, int row, int col)
{
    QStandardItem *it = m.item(row, col);
    return it ? it->foreground().color() : QColor();
}

// Lets the throttle pass: the next refresh request refreshes at once.
void pastThrottle(QUserTableModelDBC &m)
{
    settle(120);
    m.windowUpdate();
}

} // namespace

TEST(TableModelDbc, CellsOfARow)
{
    QUserTableModelDBC m;
    m.setHorizontalHeaderLabels(QStringList() << "0" << "1" << "2" << "3" << "4" << "5" << "6" << "7" << "8" << "9");
    QUserDbcSignal a = sig("转速", 12.5, "V", -1.5, 1e20);
    a.chartEnable = 1;
    a.nRawValue = 50;
    a.nChartTime = QDateTime(QDate(2024, 3, 1), QTime(13, 4, 5, 67)).toMSecsSinceEpoch();
    QUserDbcSignal b = sig("NoUnit", 12.5);
    b.color = "oops"; // not a colour text: the cell is left as it was
    b.isSigned = 1;
    b.nRawValue = -1;
    b.nPhysicalValue = -1;
    m.signalAppend(a);
    m.signalAppend(b);
    pastThrottle(m);
    ASSERT_EQ(m.rowCount(), 2);

    EXPECT_EQ(text(m, 0, 0), "0");
    EXPECT_EQ(text(m, 1, 0), "1");
    EXPECT_EQ(text(m, 0, 1), QString::fromUtf8("转速"));
    EXPECT_EQ(text(m, 0, 2), "10,20,30");
    EXPECT_EQ(m.item(0, 2)->textAlignment(), Qt::AlignCenter);
    EXPECT_NE(text(m, 1, 2), "oops");
    EXPECT_EQ(m.item(0, 3)->checkState(), Qt::Checked);
    EXPECT_TRUE(m.item(0, 3)->isCheckable());
    EXPECT_EQ(m.item(1, 3)->checkState(), Qt::Unchecked);
    EXPECT_FALSE(m.item(0, 4)->isCheckable());
    EXPECT_EQ(text(m, 0, 4), "32");
    EXPECT_EQ(text(m, 1, 4), "FFFF") << "a signed -1 of 16 bits shows its 16 bits";
    EXPECT_EQ(text(m, 0, 5), "12.5 V");
    EXPECT_EQ(text(m, 1, 5), "-1");
    EXPECT_EQ(text(m, 0, 6), "-1.5");
    EXPECT_EQ(text(m, 0, 7), "1e+20");
    EXPECT_EQ(text(m, 0, 8), "13:04:05:067");
    EXPECT_EQ(text(m, 0, 9), QString::fromUtf8("双击查看报文"));
}

// Values outside the signal's limits, or raw values that do not fit its
// bits, turn the raw and physical cells red; back in range they are black.
TEST(TableModelDbc, OutOfRangeValuesAreRed)
{
    struct Case {
        const char *what;
        qint64 raw;
        double phys;
        bool red;
    };
    const Case cases[] = {
        {"inside", 10, 5.0, false},
        {"at the maximum", 10, 100.0, false},
        {"above the maximum", 10, 100.5, true},
        {"below the minimum", 10, -100.5, true},
        {"raw beyond 16 bits", 65536, 5.0, true},
        {"back inside", 10, 0.0, false},
    };
    QUserTableModelDBC m;
    m.signalAppend(sig("S"));
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        m.valuesSet(0, 0, c.raw, c.phys);
        ASSERT_TRUE(waitUntil([&] { return !m.refreshPending(); }));
        const QColor want = c.red ? QColor(Qt::red) : QColor(Qt::black);
        EXPECT_EQ(ink(m, 0, 4), want);
        EXPECT_EQ(ink(m, 0, 5), want);
        EXPECT_FALSE(m.item(0, 6)->data(Qt::ForegroundRole).isValid()) << "limits keep the default ink";
    }
}

TEST(TableModelDbc, RowOperationsAndTheirBounds)
{
    QUserTableModelDBC m;
    for (const char *n : {"A", "B", "C"})
        m.signalAppend(sig(n));
    auto names = [&] {
        QStringList out;
        for (int i = 0; i < m.count(); ++i)
            out << m.signalAt(i)->strName;
        return out.join(",");
    };
    // Every row operation refuses rows outside 0..count-1 and changes nothing.
    const int bad[] = {-1, 3, 100};
    for (int r : bad) {
        SCOPED_TRACE(r);
        EXPECT_EQ(m.signalSet(r, sig("X")), -1);
        EXPECT_EQ(m.signalRemove(r), -1);
        EXPECT_EQ(m.signalSwap(r, 0), -1);
        EXPECT_EQ(m.signalSwap(0, r), -1);
        EXPECT_EQ(m.chartEnableSet(r, true), -1);
        EXPECT_EQ(m.timeSet(r, 1), -1);
        EXPECT_EQ(m.rawValueSet(r, 1), -1);
        EXPECT_EQ(m.physicalValueSet(r, 1), -1);
        EXPECT_EQ(m.valuesSet(r, 1, 1, 1), -1);
        EXPECT_EQ(names(), "A,B,C");
    }
    EXPECT_EQ(m.signalSwap(0, 1), 0);
    EXPECT_EQ(names(), "B,A,C");
    EXPECT_EQ(m.signalSet(2, sig("Z", 3.0)), 0);
    EXPECT_EQ(names(), "B,A,Z");
    EXPECT_EQ(m.chartEnableSet(1, true), 0);
    EXPECT_EQ(m.signalAt(1)->chartEnable, 1);
    EXPECT_EQ(m.timeSet(0, 42), 0);
    EXPECT_EQ(m.rawValueSet(0, -7), 0);
    EXPECT_EQ(m.physicalValueSet(0, 2.5), 0);
    EXPECT_EQ(m.signalAt(0)->nChartTime, 42);
    EXPECT_EQ(m.signalAt(0)->nRawValue, -7);
    EXPECT_EQ(m.signalAt(0)->nPhysicalValue, 2.5);

    QSignalSpy rows(&m, &QUserTableModel::userRowChangeEvent);
    EXPECT_EQ(m.signalRemove(0), 0);
    EXPECT_EQ(names(), "A,Z");
    ASSERT_EQ(rows.count(), 1);
    EXPECT_EQ(rows.at(0).at(0).toInt(), 2);
    pastThrottle(m);
    EXPECT_EQ(m.rowCount(), 2);
    EXPECT_EQ(text(m, 1, 1), "Z");
    EXPECT_EQ(text(m, 1, 0), "1");

    EXPECT_EQ(m.clearAll(), 2);
    EXPECT_EQ(m.count(), 0);
    m.signalAppend(sig("Q"));
    rows.clear();
    EXPECT_EQ(m.clear(), 1);
    EXPECT_EQ(m.cacheCount(), 0);
    ASSERT_GE(rows.count(), 1);
    EXPECT_EQ(rows.last().at(0).toInt(), 0);
    pastThrottle(m);
    EXPECT_EQ(m.rowCount(), 0);
}

// Only the window of rows is filled; with auto-scroll the window follows
// the end of the list.
TEST(TableModelDbc, WindowFollowsTheEnd)
{
    QUserTableModelDBC m;
    m.setWindowSize(5);
    for (int i = 0; i < 12; ++i)
        m.signalAppend(sig(qPrintable(QString("S%1").arg(i))));
    pastThrottle(m);
    EXPECT_EQ(m.windowStart(), 7);
    ASSERT_EQ(m.rowCount(), 5);
    EXPECT_EQ(text(m, 0, 0), "7");
    EXPECT_EQ(text(m, 4, 1), "S11");
    m.scrollTo(true, 0);
    pastThrottle(m);
    EXPECT_EQ(text(m, 0, 1), "S0");
}

// Value updates within 100 ms of a refresh only arm the timer: three of
// them cause at most one refresh at once and one more when it fires.
TEST(TableModelDbc, RefreshIsThrottled)
{
    QUserTableModelDBC m;
    m.signalAppend(sig("S"));
    pastThrottle(m);
    settle(120);
    const int before = m.refreshCount();
    m.timeSet(0, 1);
    m.rawValueSet(0, 2);
    m.physicalValueSet(0, 3);
    EXPECT_LE(m.refreshCount() - before, 1);
    EXPECT_TRUE(m.refreshPending());
    const int now = m.refreshCount();
    ASSERT_TRUE(waitUntil([&] { return !m.refreshPending(); }));
    EXPECT_EQ(m.refreshCount(), now + 1);
    EXPECT_EQ(text(m, 0, 4), "2");
    EXPECT_EQ(text(m, 0, 5), "3");

    // The receive path's combined setter: a burst of values, one refresh
    // when the timer fires, showing the last value.
    settle(120);
    const int start = m.refreshCount();
    for (int i = 0; i < 1000; ++i)
        m.valuesSet(0, i, i, i);
    EXPECT_LE(m.refreshCount() - start, 1);
    ASSERT_TRUE(waitUntil([&] { return !m.refreshPending(); }));
    EXPECT_LE(m.refreshCount() - start, 2);
    EXPECT_EQ(text(m, 0, 5), "999");
}

// [0|0] is how DBC files say a signal has no range (a fifth of the signals
// of real files): none of its values is red for its physical value; a raw
// value that does not fit its bits still is.
TEST(TableModelDbc, RangeZeroZeroIsNoRange)
{
    struct Case {
        double lo, hi;
        qint64 raw;
        double phys;
        bool red;
    };
    const Case cases[] = {
        {0, 0, 10, 5.0, false},       {0, 0, 3, -1e9, false}, {0, 0, 0, 0.0, false},
        {0, 0, 65536, 5.0, true},     {0, 1, 1, 5.0, true},    {-1, 0, 1, -2.0, true},
        {0, 1, 1, 1.0, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "[" << c.lo << "|" << c.hi << "] raw " << c.raw << " phys " << c.phys);
        QUserTableModelDBC m;
        m.signalAppend(sig("S", 0, "", c.lo, c.hi));
        m.valuesSet(0, 0, c.raw, c.phys);
        ASSERT_TRUE(waitUntil([&] { return !m.refreshPending(); }));
        EXPECT_EQ(ink(m, 0, 5), c.red ? QColor(Qt::red) : QColor(Qt::black));
        QUserDbcSignal s = sig("S", c.phys, "", c.lo, c.hi);
        s.nRawValue = c.raw;
        EXPECT_EQ(s.isValid(), !c.red);
    }
}

// The raw cell shows the signal's own width: a value that fits as its bit
// field, anything that does not fit as its 64 bits.
TEST(TableModelDbc, RawCellShowsTheSignalsWidth)
{
    struct Case {
        quint32 len;
        bool isSigned;
        qint64 raw;
        const char *text;
    } cases[] = {
        {8, true, -5, "FB"},   {12, true, -5, "FFB"}, {1, true, -1, "1"},  {63, true, -1, "7FFFFFFFFFFFFFFF"},
        {64, true, -5, "FFFFFFFFFFFFFFFB"}, {8, false, 255, "FF"}, {8, true, 127, "7F"},
        {8, true, -129, "FFFFFFFFFFFFFF7F"}, // does not fit: all 64 bits, shown in red
        {8, false, 300, "12C"},
    };
    QUserTableModelDBC m;
    m.setHorizontalHeaderLabels(QStringList() << "0" << "1" << "2" << "3" << "4" << "5" << "6" << "7" << "8" << "9");
    for (const Case &c : cases) {
        QUserDbcSignal s = sig("S");
        s.nLen = c.len;
        s.isSigned = c.isSigned ? 1 : 0;
        s.nRawValue = c.raw;
        m.signalAppend(s);
        EXPECT_EQ(s.rawHexText(), c.text) << c.len << " bits, raw " << c.raw;
    }
    pastThrottle(m);
    for (int r = 0; r < int(sizeof cases / sizeof cases[0]); ++r)
        EXPECT_EQ(text(m, r, 4), cases[r].text) << "row " << r;
}

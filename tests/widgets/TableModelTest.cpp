#include "tests/widgets/TestTableModel.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

TEST(TableModel, StartsFollowingWithAWindowOfTwenty)
{
    TestTableModel m(0);
    EXPECT_TRUE(m.scrollState());
    EXPECT_FALSE(m.pause());
    EXPECT_EQ(m.windowStart(), 0);
    EXPECT_EQ(m.windowSize(), 20);
    EXPECT_TRUE(m.setScrollState(false));
    EXPECT_FALSE(m.scrollState());
}

TEST(TableModel, ScrollToPositionsTheWindow)
{
    const struct {
        int cache;
        int size;
        bool top;
        int row;
        int start;
        int rows;
    } cases[] = {
        {0, 20, true, 0, 0, 0},       // empty cache
        {0, 20, true, 57, 0, 0},
        {0, 20, true, -5, 0, 0},
        {100, 20, true, 5000, 99, 1}, // clamped to the last entry
        {100, 20, true, 50, 50, 20},
        {100, 20, true, 90, 90, 10},
        {100, 20, true, -3, 0, 20},
        {100, 20, false, 30, 11, 20}, // the row becomes the last one
        {100, 20, false, 10, 0, 20},
        {100, 20, false, 19, 0, 20},
        {100, 20, false, 20, 1, 20},
        {100, 20, false, 150, 131, 0}, // not clamped; the fill stops at the end
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.cache << (c.top ? " top " : " bottom ") << c.row);
        TestTableModel m(c.cache);
        m.setWindowSize(c.size);
        m.scrollTo(c.top, c.row);
        EXPECT_EQ(m.windowStart(), c.start);
        EXPECT_EQ(m.rowCount(), c.rows);
        if (c.rows > 0) {
            EXPECT_EQ(m.item(0, 0)->text(), QString::number(c.start));
        }
    }
}

TEST(TableModel, FollowMovesToTheNewestOnlyWhenFollowingAndNotPaused)
{
    TestTableModel m(15);
    m.windowFollow(15);
    EXPECT_EQ(m.windowStart(), 0);
    m.count = 1000;
    m.windowFollow(985);
    EXPECT_EQ(m.windowStart(), 980);
    EXPECT_EQ(m.fills, 0) << "following does not refresh";

    m.scrollTo(true, 10);
    m.setPause(true);
    m.count = 2000;
    m.windowFollow(1000);
    EXPECT_EQ(m.windowStart(), 10);
    m.setPause(false);
    m.setScrollState(false);
    m.windowFollow(0);
    EXPECT_EQ(m.windowStart(), 10);
    m.setScrollState(true);
    m.windowFollow(0);
    EXPECT_EQ(m.windowStart(), 1980);
}

TEST(TableModel, WindowNeverHoldsMoreThanTheCacheHasLeft)
{
    TestTableModel m(1000);
    m.windowFollow(1000);
    m.windowUpdate();
    EXPECT_EQ(m.windowStart(), 980);
    m.setWindowSize(35);
    EXPECT_EQ(m.rowCount(), 20);
    EXPECT_EQ(m.item(19, 0)->text(), QStringLiteral("999"));
    m.setWindowSize(0);
    EXPECT_EQ(m.rowCount(), 0);
}

TEST(TableModel, RowCountNotifyEmitsTheCacheCountThenRefreshes)
{
    TestTableModel m(42);
    QSignalSpy spy(&m, &QUserTableModel::userRowChangeEvent);
    int fillsAtSignal = -1;
    QObject::connect(&m, &QUserTableModel::userRowChangeEvent, [&] { fillsAtSignal = m.fills; });
    m.rowCountNotify();
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toInt(), 42);
    EXPECT_EQ(fillsAtSignal, 0);
    EXPECT_EQ(m.fills, 1);
    EXPECT_EQ(m.rowCount(), 20);
}

#include "widgets/QUserTableView.h"
#include "tests/widgets/TestTableModel.h"
#include "tests/widgets/WidgetsTestUtil.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QScrollBar>
#include <QSignalSpy>
#include <QWheelEvent>
#include <gtest/gtest.h>
#include <functional>
#include <memory>

namespace {

const int kMillion = 1000000;

// Hands a drop straight to the view's handler (a synthetic drop event does
// not pass the application's drag-and-drop routing without a real drag).
class DropProbe : public QUserTableView
{
public:
    using QUserTableView::dropEvent;
};

void deliverDrop(QUserTableView *view, QDropEvent *e)
{
    void (QUserTableView::*handler)(QDropEvent *) = &DropProbe::dropEvent;
    (view->*handler)(e);
}

// A host as the device tab builds it: the view and its bar side by side.
class ViewHost : public ::testing::Test
{
protected:
    void SetUp() override
    {
        host = std::make_unique<QWidget>();
        QHBoxLayout *layout = new QHBoxLayout(host.get());
        layout->setContentsMargins(0, 0, 0, 0);
        view = new QUserTableView(host.get());
        view->setSelectionBehavior(QAbstractItemView::SelectRows);
        view->setSelectionMode(QAbstractItemView::SingleSelection);
        layout->addWidget(view);
        layout->addWidget(view->vScrollBar);
        host->resize(500, 400);
        host->show();
        QApplication::processEvents();
        model = std::make_unique<TestTableModel>(0);
        view->setUserModel(model.get());
        QApplication::processEvents();
    }

    void TearDown() override
    {
        host.reset();
        model.reset();
    }

    void fill(int rows)
    {
        model->count = rows;
        model->rowCountNotify();
    }

    int start() const { return model->windowStart(); }
    int selectedWindowRow() const
    {
        const QModelIndexList rows = view->selectionModel()->selectedRows();
        return rows.size() == 1 ? rows.first().row() : -1;
    }
    void key(int k) { QTest::keyClick(view, Qt::Key(k)); }
    void wheel(int delta)
    {
        QWheelEvent e(QPointF(10, 10), QPointF(view->mapToGlobal(QPoint(10, 10))), QPoint(), QPoint(0, delta),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(view->viewport(), &e);
    }
    void click(int windowRow)
    {
        view->slotTableClicked(model->index(windowRow, 0));
        view->setCurrentIndex(model->index(windowRow, 0));
    }

    std::unique_ptr<QWidget> host;
    QUserTableView *view = nullptr;
    std::unique_ptr<TestTableModel> model;
};

} // namespace

TEST_F(ViewHost, WindowSizeFollowsTheViewportHeight)
{
    EXPECT_GT(view->rowHeightPixels(), 1);
    const int expected = view->viewport()->height() / view->rowHeightPixels();
    EXPECT_EQ(view->windowRowCount(), expected);
    EXPECT_EQ(model->windowSize(), expected);
    EXPECT_EQ(view->vScrollBar->pageStep(), expected);
    EXPECT_EQ(view->vScrollBar->singleStep(), 1);
    EXPECT_EQ(view->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_EQ(view->vScrollBar->focusPolicy(), Qt::WheelFocus);

    fill(kMillion);
    EXPECT_EQ(model->rowCount(), expected) << "never more item rows than fit the viewport";
    host->resize(500, 600);
    QApplication::processEvents();
    const int taller = view->viewport()->height() / view->rowHeightPixels();
    EXPECT_GT(taller, expected);
    EXPECT_EQ(model->windowSize(), taller);
    EXPECT_EQ(model->rowCount(), taller);

    // A viewport lower than one row gives an empty window.
    view->resize(view->width(), view->rowHeightPixels() / 2);
    QResizeEvent tiny(QSize(view->viewport()->width(), view->rowHeightPixels() / 2), view->viewport()->size());
    QApplication::sendEvent(view->viewport(), &tiny);
    EXPECT_EQ(model->windowSize(), 0);
}

TEST_F(ViewHost, BarRangeFollowsTheCacheAndHidesWhenEmpty)
{
    EXPECT_TRUE(view->vScrollBar->isHidden() || !view->hasRows());
    fill(0);
    EXPECT_TRUE(view->vScrollBar->isHidden());
    fill(1);
    EXPECT_FALSE(view->vScrollBar->isHidden());
    EXPECT_EQ(view->vScrollBar->minimum(), 0);
    EXPECT_EQ(view->vScrollBar->maximum(), 1);
    fill(kMillion);
    EXPECT_EQ(view->vScrollBar->maximum(), kMillion);
    fill(0);
    EXPECT_TRUE(view->vScrollBar->isHidden());
}

TEST_F(ViewHost, DraggingTheBarMovesTheWindowOverAMillionRows)
{
    fill(kMillion);
    QScrollBar *bar = view->vScrollBar;
    bar->setSliderDown(true);
    EXPECT_TRUE(view->barIsHeld());
    EXPECT_TRUE(model->pause());
    bar->setSliderPosition(500000);
    EXPECT_EQ(start(), 500000);
    EXPECT_EQ(model->item(0, 0)->text(), QStringLiteral("500000"));
    bar->setSliderPosition(kMillion); // the maximum is the count itself
    EXPECT_EQ(start(), kMillion - 1);
    EXPECT_EQ(model->rowCount(), 1);
    EXPECT_EQ(model->item(0, 0)->text(), QStringLiteral("999999"));
    bar->setSliderDown(false);
    EXPECT_FALSE(view->barIsHeld());
    EXPECT_FALSE(model->pause());
    EXPECT_EQ(view->currentCacheRow(), 0) << "scrolling does not move the current row";
}

TEST_F(ViewHost, HoldingTheBarStopsFollowingUntilRelease)
{
    fill(1000);
    model->append(0);
    const int followed = start();
    EXPECT_EQ(followed, 1000 - model->windowSize());
    model->append(500);
    EXPECT_EQ(start(), 1500 - model->windowSize()) << "auto-scroll moves the window";
    EXPECT_EQ(view->vScrollBar->value(), start()) << "and the bar's handle with it";
    EXPECT_EQ(view->vScrollBar->maximum(), 1500);

    view->vScrollBar->setSliderDown(true);
    view->vScrollBar->setSliderPosition(100);
    EXPECT_EQ(start(), 100);
    model->append(500);
    EXPECT_EQ(start(), 100) << "no following while the bar is held";
    EXPECT_EQ(view->vScrollBar->maximum(), 2000);
    // Let go away from the end: the window stays where the user put it.
    view->vScrollBar->setSliderDown(false);
    model->append(1);
    EXPECT_EQ(start(), 100);
    // Held again and let go at the end: following resumes.
    view->vScrollBar->setSliderDown(true);
    view->vScrollBar->setSliderPosition(view->vScrollBar->maximum());
    view->vScrollBar->setSliderDown(false);
    model->append(1);
    EXPECT_EQ(start(), 2002 - model->windowSize());
}

// As in a terminal: new rows keep the end in view only while the user looks
// at the end. Any move away (wheel, keys, bar) stops the following; coming
// back to the last row starts it again. The handle always shows the window.
TEST_F(ViewHost, ScrollingAwayFromTheEndStopsFollowingUntilBackAtTheEnd)
{
    fill(30);
    model->append(10); // more rows than the window holds
    const int size = model->windowSize();
    ASSERT_GT(size, 3);
    ASSERT_EQ(start(), 40 - size);
    EXPECT_EQ(view->vScrollBar->value(), start());

    const struct {
        const char *how;
        std::function<void()> away;
    } moves[] = {
        {"wheel up", [this] { wheel(120); }},
        {"page up", [this] { key(Qt::Key_PageUp); }},
        {"bar dragged to the top", [this] { view->vScrollBar->setSliderDown(true); view->vScrollBar->setSliderPosition(0); view->vScrollBar->setSliderDown(false); }},
    };
    for (const auto &m : moves) {
        SCOPED_TRACE(m.how);
        // back to the end first
        view->rowScroll(model->cacheCount() - size);
        model->append(1);
        ASSERT_EQ(start(), model->cacheCount() - size);
        m.away();
        const int away = start();
        EXPECT_LT(away, model->cacheCount() - size);
        for (int i = 0; i < 5; ++i)
            model->append(3);
        EXPECT_EQ(start(), away) << "new rows leave the window where the user put it";
        EXPECT_EQ(view->vScrollBar->value(), away) << "the handle shows the window";
        EXPECT_EQ(model->item(0, 0)->text(), QString::number(away));
    }

    // Wheel back down until the last row is in view: following again.
    for (int i = 0; i < 1000 && start() + size < model->cacheCount(); ++i)
        wheel(-120);
    ASSERT_EQ(start() + size, model->cacheCount());
    model->append(7);
    EXPECT_EQ(start(), model->cacheCount() - size);
    EXPECT_EQ(view->vScrollBar->value(), start());
}

// Emptied (a clear), the table follows the newest rows again.
TEST_F(ViewHost, AnEmptiedTableFollowsAgain)
{
    fill(500);
    model->append(1);
    view->rowScroll(0);
    model->append(1);
    EXPECT_EQ(start(), 0);
    model->count = 0;
    model->append(0);
    model->append(300);
    EXPECT_EQ(start(), 300 - model->windowSize());
}

TEST_F(ViewHost, WheelMovesOneRowPerEventWhateverTheDelta)
{
    fill(kMillion);
    view->vScrollBar->setValue(1000);
    view->rowScroll(1000);
    EXPECT_EQ(start(), 1000);
    const struct {
        int delta;
        int expected;
    } steps[] = {{-120, 1001}, {-960, 1002}, {-1, 1003}, {0, 1004}, {120, 1003}, {720, 1002}};
    for (const auto &s : steps) {
        SCOPED_TRACE(s.delta);
        wheel(s.delta);
        EXPECT_EQ(view->vScrollBar->value(), s.expected);
        EXPECT_EQ(start(), s.expected);
    }
    view->vScrollBar->setValue(0);
    wheel(120);
    EXPECT_EQ(view->vScrollBar->value(), 0);
    EXPECT_EQ(start(), 0);
}

TEST_F(ViewHost, ClickThenRowKeysWalkAndShiftTheWindow)
{
    fill(kMillion);
    view->rowScroll(5000);
    const int size = model->rowCount();
    ASSERT_GT(size, 4);
    click(2);
    EXPECT_EQ(view->currentCacheRow(), 5002);
    EXPECT_TRUE(view->rowIsMarked());

    key(Qt::Key_Down);
    EXPECT_EQ(view->currentCacheRow(), 5003);
    EXPECT_EQ(start(), 5000);
    EXPECT_EQ(selectedWindowRow(), 3);

    // Walk to the last window row, then one more shifts the window by one.
    for (int i = 3; i < size - 1; ++i)
        key(Qt::Key_Down);
    EXPECT_EQ(view->currentCacheRow(), 5000 + size - 1);
    EXPECT_EQ(selectedWindowRow(), size - 1);
    key(Qt::Key_Down);
    EXPECT_EQ(view->currentCacheRow(), 5000 + size);
    EXPECT_EQ(start(), 5001) << "the current row sits at the bottom of the window";
    EXPECT_EQ(selectedWindowRow(), size - 1);
    EXPECT_EQ(view->vScrollBar->value(), 5000 + size);

    // Up from window row 0 shifts the window up.
    view->rowLocate(7000);
    EXPECT_EQ(start(), 7000);
    EXPECT_EQ(selectedWindowRow(), 0);
    key(Qt::Key_Up);
    EXPECT_EQ(view->currentCacheRow(), 6999);
    EXPECT_EQ(start(), 6999);
    EXPECT_EQ(selectedWindowRow(), 0);
    EXPECT_EQ(view->vScrollBar->value(), 6999);
}

TEST_F(ViewHost, RowKeysNeedACurrentIndexPageKeysDoNot)
{
    fill(kMillion);
    key(Qt::Key_Down);
    EXPECT_EQ(view->currentCacheRow(), 0) << "no current index yet";
    key(Qt::Key_PageDown);
    const int page = view->vScrollBar->pageStep();
    EXPECT_EQ(view->currentCacheRow(), page);
    EXPECT_EQ(start(), page);
    key(Qt::Key_Right);
    EXPECT_EQ(view->currentCacheRow(), 2 * page);
    key(Qt::Key_Left);
    EXPECT_EQ(view->currentCacheRow(), page);
    key(Qt::Key_PageUp);
    key(Qt::Key_PageUp);
    EXPECT_EQ(view->currentCacheRow(), 0);
    EXPECT_EQ(start(), 0);
    EXPECT_EQ(view->vScrollBar->value(), 0);
}

TEST_F(ViewHost, PageDownNearTheEndStopsOnTheLastRowAtTheTop)
{
    fill(kMillion);
    view->rowLocate(kMillion - 3);
    key(Qt::Key_PageDown);
    EXPECT_EQ(view->currentCacheRow(), kMillion - 1);
    EXPECT_EQ(start(), kMillion - 1);
    EXPECT_EQ(model->rowCount(), 1);
    EXPECT_EQ(selectedWindowRow(), 0);
    key(Qt::Key_Down);
    EXPECT_EQ(view->currentCacheRow(), kMillion - 1) << "no row past the last";
}

TEST_F(ViewHost, OtherKeysAreSwallowed)
{
    fill(kMillion);
    view->rowLocate(300);
    for (int k : {Qt::Key_Home, Qt::Key_End, Qt::Key_A, Qt::Key_Space, Qt::Key_Return, Qt::Key_Escape}) {
        SCOPED_TRACE(k);
        QKeyEvent e(QEvent::KeyPress, k, Qt::NoModifier);
        e.ignore();
        QApplication::sendEvent(view, &e);
        EXPECT_TRUE(e.isAccepted());
        EXPECT_EQ(view->currentCacheRow(), 300);
        EXPECT_EQ(start(), 300);
        EXPECT_EQ(selectedWindowRow(), 0);
    }
}

TEST_F(ViewHost, HighlightFollowsTheCurrentRowInAndOutOfTheWindow)
{
    fill(kMillion);
    view->rowScroll(100);
    click(4);
    EXPECT_EQ(view->currentCacheRow(), 104);
    view->rowScroll(102);
    EXPECT_EQ(selectedWindowRow(), 2) << "the highlight moves with the row";
    view->rowScroll(200);
    EXPECT_EQ(selectedWindowRow(), -1) << "out of view: highlight dropped";
    EXPECT_FALSE(view->rowIsMarked());
    EXPECT_FALSE(view->currentIndex().isValid());
    view->rowScroll(101);
    EXPECT_EQ(selectedWindowRow(), 3) << "back in view on another window row";
    EXPECT_TRUE(view->rowIsMarked());
}

TEST_F(ViewHost, LocateClampsAndIgnoresNegativeRows)
{
    view->rowLocate(5);
    EXPECT_EQ(view->currentCacheRow(), 0) << "no rows: nothing happens";
    fill(kMillion);
    view->rowLocate(-4);
    EXPECT_EQ(view->currentCacheRow(), 0);
    EXPECT_EQ(start(), 0);
    view->rowLocate(3 * kMillion);
    EXPECT_EQ(view->currentCacheRow(), kMillion - 1);
    EXPECT_EQ(start(), kMillion - 1);
    EXPECT_EQ(selectedWindowRow(), 0);
    view->rowLocate(123456);
    EXPECT_EQ(start(), 123456);
    EXPECT_EQ(view->currentCacheRow(), 123456);
    EXPECT_EQ(view->vScrollBar->value(), 0) << "locating does not move the bar";
    view->scrollBarSync();
    EXPECT_EQ(view->vScrollBar->value(), 123456);
}

TEST_F(ViewHost, EmptyingTheCacheResetsTheCurrentRow)
{
    fill(50);
    view->rowLocate(30);
    EXPECT_EQ(view->currentCacheRow(), 30);
    model->count = 0;
    model->scrollTo(true, 0);
    model->rowCountNotify();
    EXPECT_EQ(view->currentCacheRow(), 0);
    EXPECT_FALSE(view->hasRows());
    key(Qt::Key_PageDown);
    EXPECT_EQ(view->currentCacheRow(), 0);
}

TEST_F(ViewHost, DropHandsOverTextAndHtml)
{
    QSignalSpy spy(view, &QUserTableView::userDropEvent);
    QMimeData mime;
    mime.setText(QStringLiteral("EngineData"));
    mime.setHtml(QStringLiteral("EngSpeed"));
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    deliverDrop(view, &drop);
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toString(), QStringLiteral("EngineData"));
    EXPECT_EQ(spy.at(0).at(1).toString(), QStringLiteral("EngSpeed"));
    EXPECT_EQ(model->rowCount(), 0) << "a drop inserts nothing by itself";
}

TEST(TableViewBare, EverythingIsANoOpWithoutAModel)
{
    QUserTableView view;
    view.rowLocate(3);
    view.rowUp();
    view.rowDown();
    view.pageUp();
    view.pageDown();
    view.rowScroll(9);
    view.slotRowCountChange(10);
    view.currentRowSync();
    EXPECT_FALSE(view.hasRows());
    EXPECT_EQ(view.currentCacheRow(), 0);
    // A bar the host never placed is not shown as a window of its own.
    EXPECT_FALSE(view.vScrollBar->isVisible());
}

TEST(TableViewBare, HostDeletingTheBarFirstLeavesNoDanglingBar)
{
    auto host = std::make_unique<QWidget>();
    QUserTableView *view = new QUserTableView;
    QWidget *barHolder = new QWidget(host.get());
    view->vScrollBar->setParent(barHolder);
    TestTableModel model(100);
    view->setUserModel(&model);
    delete barHolder; // takes the bar with it
    EXPECT_EQ(view->vScrollBar, nullptr);
    EXPECT_FALSE(view->hasRows());
    view->pageDown();
    model.rowCountNotify();
    delete view;
}

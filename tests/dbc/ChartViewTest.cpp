// The chart view: wheel zoom, drag pan, the read-out and the stored ranges,
// driven by mouse and wheel events as a user's would arrive.
#include <gtest/gtest.h>

#include <QApplication>
#include <QGraphicsSimpleTextItem>
#include <QTest>
#include <QWheelEvent>
#include <QtCharts/QChart>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>

#include "dbc/QUserChartView.h"

using namespace QtCharts;

namespace {

// A view of 700 x 400 pixels whose plot area is fixed at (50, 50) with a
// size of 600 x 300, so that pixel positions map to round values.
class ChartFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        chart = new QChart;
        axisX = new QValueAxis;
        axisY = new QValueAxis;
        chart->addAxis(axisX, Qt::AlignBottom);
        chart->addAxis(axisY, Qt::AlignLeft);
        view = std::make_unique<QUserChartView>(chart);
        view->setFrameShape(QFrame::NoFrame);
        view->resize(700, 400);
        view->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
        chart->setPlotArea(QRectF(50, 50, 600, 300));
        view->setAxisXRange(0, 60000);
        view->setAxisYRange(-50, 50); // the axis shows -70 .. 70
    }

    void addSeries()
    {
        auto *s = new QLineSeries;
        s->append(0, 0);
        s->append(60000, 10);
        chart->addSeries(s);
        s->attachAxis(axisX);
        s->attachAxis(axisY);
        chart->setPlotArea(QRectF(50, 50, 600, 300));
    }

    // Viewport pixel of a value.
    QPoint pixelOf(double x, double y) const
    {
        const double px = 50 + (x - axisX->min()) / (axisX->max() - axisX->min()) * 600;
        const double py = 350 - (y - axisY->min()) / (axisY->max() - axisY->min()) * 300;
        return QPoint(qRound(px), qRound(py));
    }

    void wheel(QPoint pos, int delta)
    {
        QWheelEvent e(QPointF(pos), QPointF(view->viewport()->mapToGlobal(pos)), QPoint(), QPoint(0, delta),
                      Qt::NoButton, QGuiApplication::keyboardModifiers(), Qt::NoScrollPhase, false);
        QApplication::sendEvent(view->viewport(), &e);
    }

    // Mouse input through the view's window, as the window system delivers
    // it (positions are viewport pixels).
    QPoint inWindow(QPoint p) const { return view->viewport()->mapTo(view->window(), p); }
    void press(Qt::MouseButton b, QPoint p) { QTest::mousePress(view->windowHandle(), b, Qt::NoModifier, inWindow(p)); }
    void release(Qt::MouseButton b, QPoint p)
    {
        QTest::mouseRelease(view->windowHandle(), b, Qt::NoModifier, inWindow(p));
    }
    void move(QPoint p) { QTest::mouseMove(view->windowHandle(), inWindow(p)); }

    QChart *chart = nullptr;
    QValueAxis *axisX = nullptr;
    QValueAxis *axisY = nullptr;
    std::unique_ptr<QUserChartView> view;
};

} // namespace

TEST_F(ChartFixture, StoredRanges)
{
    EXPECT_DOUBLE_EQ(axisX->min(), 0);
    EXPECT_DOUBLE_EQ(axisX->max(), 60000);
    EXPECT_DOUBLE_EQ(axisY->min(), -70);
    EXPECT_DOUBLE_EQ(axisY->max(), 70);
    EXPECT_EQ(view->axisXMax(), 60000);

    axisX->setRange(5, 6);
    axisY->setRange(1, 2);
    view->axisFit();
    EXPECT_DOUBLE_EQ(axisX->min(), 0);
    EXPECT_DOUBLE_EQ(axisX->max(), 60000);
    EXPECT_DOUBLE_EQ(axisY->min(), -70);
    EXPECT_DOUBLE_EQ(axisY->max(), 70);

    // The upper X limit alone: the axis stays, a fit uses the new limit.
    EXPECT_TRUE(view->setAxisXMax(30000));
    EXPECT_EQ(view->axisXMax(), 30000);
    EXPECT_DOUBLE_EQ(axisX->max(), 60000);
    view->axisFit();
    EXPECT_DOUBLE_EQ(axisX->max(), 30000);
}

TEST(ChartViewNoAxes, RangesNeedValueAxes)
{
    QUserChartView view;
    EXPECT_EQ(view.axisXMin(), 0);
    EXPECT_EQ(view.axisXMax(), 50000);
    EXPECT_EQ(view.axisYLower(), 0);
    EXPECT_EQ(view.axisYUpper(), 100);
    EXPECT_FALSE(view.setAxisXRange(0, 10));
    EXPECT_FALSE(view.setAxisYRange(-1, 1));
    EXPECT_EQ(view.axisXMax(), 10); // stored anyway
    view.axisFit();                 // nothing to fit, nothing breaks
}

TEST_F(ChartFixture, WheelZoomsTheXAxisAroundTheMouse)
{
    addSeries();
    const QPoint at30000 = pixelOf(30000, 0);
    ASSERT_EQ(at30000, QPoint(350, 200));
    wheel(at30000, 120);
    EXPECT_NEAR(axisX->min(), 10000, 1e-6);
    EXPECT_NEAR(axisX->max(), 50000, 1e-6);
    wheel(pixelOf(30000, 0), -120);
    EXPECT_NEAR(axisX->min(), 0, 1e-6);
    EXPECT_NEAR(axisX->max(), 60000, 1e-6);
    // The Y axis is not touched without Control.
    EXPECT_DOUBLE_EQ(axisY->min(), -70);
    EXPECT_DOUBLE_EQ(axisY->max(), 70);

    // Zooming out off-centre stops at the stored limits on each side.
    axisX->setRange(10000, 50000);
    wheel(pixelOf(20000, 0), -120);
    EXPECT_NEAR(axisX->min(), 5000, 1e-6);
    EXPECT_NEAR(axisX->max(), 60000, 1e-6);
}

TEST_F(ChartFixture, ZoomKeepsAtLeastTwoUnits)
{
    axisX->setRange(100, 102);
    wheel(pixelOf(101, 0), 120);
    EXPECT_NEAR(axisX->min(), 101 - 2.0 / 3.0, 1e-9);
    EXPECT_NEAR(axisX->max() - axisX->min(), 2.0, 1e-9);
    for (int i = 0; i < 5; ++i)
        wheel(pixelOf(101, 0), 120);
    EXPECT_NEAR(axisX->max() - axisX->min(), 2.0, 1e-9);
}

TEST_F(ChartFixture, ControlWheelZoomsTheYAxisWithoutLimits)
{
    QTest::keyPress(view->windowHandle(), Qt::Key_Control, Qt::ControlModifier);
    ASSERT_TRUE(QGuiApplication::keyboardModifiers() & Qt::ControlModifier);
    wheel(pixelOf(30000, 0), 120);
    EXPECT_NEAR(axisY->min(), -70 * 2.0 / 3.0, 1e-9);
    EXPECT_NEAR(axisY->max(), 70 * 2.0 / 3.0, 1e-9);
    for (int i = 0; i < 3; ++i)
        wheel(pixelOf(30000, 0), -120);
    // Past the stored range: no limit applies to Y.
    EXPECT_NEAR(axisY->min(), -70 * 2.0 / 3.0 * 3.375, 1e-9);
    EXPECT_NEAR(axisY->max(), 70 * 2.0 / 3.0 * 3.375, 1e-9);
    QTest::keyRelease(view->windowHandle(), Qt::Key_Control, Qt::NoModifier);
    EXPECT_DOUBLE_EQ(axisX->min(), 0);
    EXPECT_DOUBLE_EQ(axisX->max(), 60000);
    // The stored range is still the one set: a fit goes back to it.
    view->axisFit();
    EXPECT_DOUBLE_EQ(axisY->min(), -70);
    EXPECT_DOUBLE_EQ(axisY->max(), 70);
}

TEST_F(ChartFixture, WheelWithoutAVerticalStepZoomsNothing)
{
    wheel(pixelOf(30000, 0), 0);
    EXPECT_DOUBLE_EQ(axisX->min(), 0);
    EXPECT_DOUBLE_EQ(axisX->max(), 60000);
}

TEST_F(ChartFixture, DraggingPansTheChart)
{
    addSeries();
    press(Qt::LeftButton, QPoint(300, 200));
    EXPECT_TRUE(view->isDragging());
    move(QPoint(310, 200));
    // 10 pixels to the right: the chart scrolls by -10 pixels in x, 100 each.
    EXPECT_NEAR(axisX->min(), -1000, 1e-6);
    EXPECT_NEAR(axisX->max(), 59000, 1e-6);
    EXPECT_NEAR(axisY->min(), -70, 1e-9);
    // 15 pixels down: the plot follows, the Y range moves up.
    move(QPoint(310, 215));
    EXPECT_NEAR(axisY->min(), -70 + 140.0 / 300 * 15, 1e-9);
    EXPECT_NEAR(axisY->max(), 70 + 140.0 / 300 * 15, 1e-9);
    release(Qt::LeftButton, QPoint(310, 215));
    EXPECT_FALSE(view->isDragging());

    // Moves after the release, and drags with another button, scroll nothing.
    const double min = axisX->min();
    move(QPoint(400, 100));
    press(Qt::RightButton, QPoint(400, 100));
    EXPECT_FALSE(view->isDragging());
    move(QPoint(450, 100));
    release(Qt::RightButton, QPoint(450, 100));
    EXPECT_DOUBLE_EQ(axisX->min(), min);
}

TEST_F(ChartFixture, ReadOutShowsTheValueUnderTheMouse)
{
    // No series: a move creates no read-out (and a drag pans nothing).
    move(QPoint(350, 200));
    EXPECT_EQ(view->readOutItem(), nullptr);
    press(Qt::LeftButton, QPoint(350, 200));
    move(QPoint(360, 200));
    release(Qt::LeftButton, QPoint(360, 200));
    EXPECT_EQ(view->readOutItem(), nullptr);
    EXPECT_DOUBLE_EQ(axisX->min(), 0);

    addSeries();
    move(QPoint(350, 200));
    QGraphicsSimpleTextItem *item = view->readOutItem();
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->parentItem(), chart);
    EXPECT_EQ(item->zValue(), 20);
    EXPECT_EQ(item->pos(), QPointF(50, 20));
    EXPECT_TRUE(item->isVisible());
    EXPECT_EQ(item->text(), "X = 30000, Y = 0");
    move(QPoint(50, 50));
    EXPECT_EQ(item->text(), "X = 0, Y = 70");
    move(QPoint(51, 349));
    EXPECT_EQ(item->text(), "X = 100, Y = -69.5333");
    EXPECT_EQ(view->readOutItem(), item); // one item, reused
}

TEST_F(ChartFixture, ControlKeysAreSwallowed)
{
    QKeyEvent ctrlA(QEvent::KeyPress, Qt::Key_A, Qt::ControlModifier);
    QApplication::sendEvent(view.get(), &ctrlA);
    EXPECT_TRUE(ctrlA.isAccepted());
    QKeyEvent left(QEvent::KeyPress, Qt::Key_Left, Qt::NoModifier);
    QApplication::sendEvent(view.get(), &left);
    EXPECT_FALSE(left.isAccepted());
    QKeyEvent ctrlShift(QEvent::KeyPress, Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier);
    QApplication::sendEvent(view.get(), &ctrlShift);
    EXPECT_FALSE(ctrlShift.isAccepted());
    EXPECT_DOUBLE_EQ(axisX->min(), 0);
}

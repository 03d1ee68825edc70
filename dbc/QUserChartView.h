#pragma once
// The chart view of the DBC window: wheel zoom around the mouse position
// (the X axis within stored limits, the Y axis with Control held), panning
// by dragging with the left button, a read-out of the value under the mouse,
// and axis ranges that the window sets and can restore. The chart, its axes
// and its series belong to the window; the view uses the first value axis of
// each orientation.

#include <QtCharts/QChartView>

class QGraphicsSimpleTextItem;

namespace QtCharts {
class QValueAxis;
}

class QUserChartView : public QtCharts::QChartView
{
    Q_OBJECT

public:
    explicit QUserChartView(QWidget *parent = nullptr);
    explicit QUserChartView(QtCharts::QChart *chart, QWidget *parent = nullptr);

    // Stores both X limits and sets the X axis to exactly that range; false
    // when the chart has no value X axis (the limits are stored anyway).
    bool setAxisXRange(double lower, double upper);
    // Stores the Y range and sets the Y axis to it with a margin of 20 % of
    // its span on each side; false when the chart has no value Y axis.
    bool setAxisYRange(double lower, double upper);
    // Sets the axes back to the stored X limits and Y range (with margins).
    void axisFit();
    // Stores the X upper limit only. Returns true.
    bool setAxisXMax(double upper);
    double axisXMax() const { return xUpperLimit; }
    double axisXMin() const { return xLowerLimit; }
    double axisYLower() const { return yLower; }
    double axisYUpper() const { return yUpper; }

    // The chart values under a viewport position (pixels), from the plot
    // area and the value axes' current ranges; (0, 0) without a chart.
    QPointF valueAt(const QPoint &viewportPos) const;

    // The read-out item; null until the mouse first moved over a chart with
    // series.
    QGraphicsSimpleTextItem *readOutItem() const { return readOut; }
    // How long the last paint of the view took (ms; 0 before the first).
    double lastPaintMs() const { return paintMs; }
    bool isDragging() const { return dragging; }

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    QtCharts::QValueAxis *valueAxis(Qt::Orientation orientation) const;

    int lastX = 0;
    int lastY = 0;
    bool dragging = false;
    QGraphicsSimpleTextItem *readOut = nullptr;
    double xLowerLimit = 0.0;
    double xUpperLimit = 50000.0;
    double yLower = 0.0;
    double yUpper = 100.0;
    double paintMs = 0.0;
};

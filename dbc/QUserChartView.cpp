#include "dbc/QUserChartView.h"

#include <QElapsedTimer>
#include <QGraphicsSimpleTextItem>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <algorithm>
#include <QtCharts/QChart>
#include <QtCharts/QValueAxis>

using namespace QtCharts;

QUserChartView::QUserChartView(QWidget *parent) : QChartView(parent) {}

QUserChartView::QUserChartView(QChart *chart, QWidget *parent) : QChartView(chart, parent) {}

QValueAxis *QUserChartView::valueAxis(Qt::Orientation orientation) const
{
    QChart *c = chart();
    if (!c)
        return nullptr;
    const QList<QAbstractAxis *> axes = c->axes(orientation);
    for (QAbstractAxis *a : axes)
        if (auto *v = qobject_cast<QValueAxis *>(a))
            return v;
    return nullptr;
}

bool QUserChartView::setAxisXRange(double lower, double upper)
{
    xLowerLimit = lower;
    xUpperLimit = upper;
    QValueAxis *x = valueAxis(Qt::Horizontal);
    if (!x)
        return false;
    x->setRange(lower, upper);
    return true;
}

bool QUserChartView::setAxisYRange(double lower, double upper)
{
    yLower = lower;
    yUpper = upper;
    QValueAxis *y = valueAxis(Qt::Vertical);
    if (!y)
        return false;
    const double margin = 0.2 * (upper - lower);
    y->setRange(lower - margin, upper + margin);
    return true;
}

void QUserChartView::axisFit()
{
    if (QValueAxis *x = valueAxis(Qt::Horizontal))
        x->setRange(xLowerLimit, xUpperLimit);
    if (QValueAxis *y = valueAxis(Qt::Vertical)) {
        const double margin = 0.2 * (yUpper - yLower);
        y->setRange(yLower - margin, yUpper + margin);
    }
}

bool QUserChartView::setAxisXMax(double upper)
{
    xUpperLimit = upper;
    return true;
}

QPointF QUserChartView::valueAt(const QPoint &viewportPos) const
{
    QChart *c = chart();
    if (!c)
        return QPointF();
    const QPointF inChart = c->mapFromScene(mapToScene(viewportPos));
    const QRectF area = c->plotArea();
    double vx = 0.0;
    double vy = 0.0;
    if (QValueAxis *x = valueAxis(Qt::Horizontal); x && area.width() > 0) {
        const double t = (inChart.x() - area.left()) / area.width();
        vx = x->min() + t * (x->max() - x->min());
        if (x->isReverse())
            vx = x->max() - t * (x->max() - x->min());
    }
    if (QValueAxis *y = valueAxis(Qt::Vertical); y && area.height() > 0) {
        const double t = (area.bottom() - inChart.y()) / area.height();
        vy = y->min() + t * (y->max() - y->min());
        if (y->isReverse())
            vy = y->max() - t * (y->max() - y->min());
    }
    return QPointF(vx, vy);
}

void QUserChartView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        lastX = event->pos().x();
        lastY = event->pos().y();
        dragging = true;
    }
    event->accept();
}

void QUserChartView::mouseReleaseEvent(QMouseEvent *event)
{
    dragging = false;
    event->accept();
}

void QUserChartView::mouseMoveEvent(QMouseEvent *event)
{
    event->accept();
    QChart *c = chart();
    if (!c || c->series().isEmpty())
        return;
    if (!readOut) {
        readOut = new QGraphicsSimpleTextItem(c);
        readOut->setZValue(20);
        readOut->setPos(50, 20);
        readOut->setVisible(true);
    }
    const QPoint pos = event->pos();
    const QPointF value = valueAt(pos);
    readOut->setText(QStringLiteral("X = %1, Y = %2")
                         .arg(QString::number(value.x(), 'g', 6), QString::number(value.y(), 'g', 6)));
    const int prevX = lastX;
    const int prevY = lastY;
    lastX = pos.x();
    lastY = pos.y();
    if (dragging)
        c->scroll(prevX - lastX, lastY - prevY);
}

void QUserChartView::wheelEvent(QWheelEvent *event)
{
    event->accept();
    QChart *c = chart();
    if (!c)
        return;
    const int delta = event->angleDelta().y();
    // A wheel event without a vertical step (a touchpad's begin or end of a
    // gesture, a sideways scroll) zooms nothing.
    if (delta == 0)
        return;
    const QPointF value = valueAt(event->position().toPoint());
    const double k = delta > 0 ? 2.0 / 3.0 : 1.5;

    if (QGuiApplication::keyboardModifiers() & Qt::ControlModifier) {
        QValueAxis *y = valueAxis(Qt::Vertical);
        if (!y)
            return;
        const double lower = value.y() - k * (value.y() - y->min());
        const double upper = value.y() + k * (y->max() - value.y());
        y->setRange(lower, upper);
        return;
    }

    QValueAxis *x = valueAxis(Qt::Horizontal);
    if (!x)
        return;
    double lower = value.x() - k * (value.x() - x->min());
    double upper = value.x() + k * (x->max() - value.x());
    lower = std::max(lower, xLowerLimit);
    upper = std::min(upper, xUpperLimit);
    if (upper - lower < 2)
        upper = lower + 2;
    x->setRange(lower, upper);
}

void QUserChartView::keyPressEvent(QKeyEvent *event)
{
    if (event->modifiers() == Qt::ControlModifier) {
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void QUserChartView::keyReleaseEvent(QKeyEvent *event)
{
    QWidget::keyReleaseEvent(event);
}

void QUserChartView::paintEvent(QPaintEvent *event)
{
    QElapsedTimer t;
    t.start();
    QChartView::paintEvent(event);
    paintMs = double(t.nsecsElapsed()) / 1e6;
}

// The DBC analysis window: the chart of the chart-enabled listen signals,
// its series bookkeeping and the chart slots.
#include "dbc/QUserMainWindowDBC.h"

#include "core/QUserBaudFunc.h"
#include "dbc/DbcChartDecimate.h"
#include "dbc/QUserChartView.h"

#include <QAction>
#include <QDebug>
#include <QElapsedTimer>
#include <QTimer>
#include <QFont>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QtCharts/QChart>
#include <QtCharts/QLineSeries>
#include <QtCharts/QSplineSeries>
#include <QtCharts/QValueAxis>

#include "dbc/QUserMainWindowDBCForm.h"

#include <algorithm>
#include <cmath>

using namespace QtCharts;

namespace {

void logLine(const QString &text) { qDebug().noquote() << text; }

constexpr qint64 kSeriesRefreshMs = 100;
// The chart's share of the GUI thread: a refresh pass and its paint may
// cost a fifth of the time until the next pass.
constexpr double kRefreshCostFactor = 5.0;

// Qt Charts gives every label of an axis an equal share of the plot area
// (its width over the tick count along X, its height along Y) and cuts a
// label that does not fit its share to "...". The tick count is therefore
// what the plot area has room for, at most kMaxTicks, at least two (both
// ends of the range).
constexpr int kMaxTicks = 11;
constexpr int kLabelGap = 12; // padding around a label and a little air

int ticksFitting(qreal room, qreal labelSize)
{
    if (labelSize <= 0)
        return kMaxTicks;
    const int n = int(room / (labelSize + kLabelGap));
    return qBound(2, n, kMaxTicks);
}

void axisTicksFit(const QWidget *view, QChart *c, QValueAxis *x, QValueAxis *y)
{
    // Until the chart is shown its plot area is that of a view never laid
    // out: the counts stay as they are built.
    const QRectF plot = c->plotArea();
    if (!view->isVisible() || plot.width() < 1 || plot.height() < 1)
        return;
    const QFontMetricsF xm(x->labelsFont());
    // The X labels are whole milliseconds ("%d"): the ends are the widest.
    const qreal xLabel = qMax(xm.horizontalAdvance(QString::number(qRound64(x->min()))),
                              xm.horizontalAdvance(QString::number(qRound64(x->max()))));
    const int xTicks = ticksFitting(plot.width(), xLabel);
    if (x->tickCount() != xTicks)
        x->setTickCount(xTicks);
    const int yTicks = ticksFitting(plot.height(), QFontMetricsF(y->labelsFont()).height());
    if (y->tickCount() != yTicks)
        y->setTickCount(yTicks);
}

} // namespace

void QUserMainWindowDBC::chartInit()
{
    if (chart.chart || !chartViewWidget)
        return;
    QChart *c = new QChart;
    c->setTitle(tr("当前监听信号图"));
    const QFont axisFont(QStringLiteral("Microsoft YaHei"), 8, QFont::Normal);

    QValueAxis *x = new QValueAxis;
    x->setTitleText(tr("时间:ms"));
    x->setTitleFont(axisFont);
    x->setLabelsAngle(0);
    x->setTickCount(11);
    x->setRange(0, chart.axisXMaxValue);
    x->setLabelFormat(QStringLiteral("%d"));
    x->setGridLineVisible(true);
    c->addAxis(x, Qt::AlignBottom);

    QValueAxis *y = new QValueAxis;
    y->setTickCount(11);
    y->setRange(-50, 50);
    y->setTitleText(tr("信号值"));
    y->setTitleFont(axisFont);
    y->setGridLineVisible(true);
    c->addAxis(y, Qt::AlignLeft);

    c->setContentsMargins(0, 0, 0, 0);
    c->setMargins(QMargins(0, 0, 0, 0));
    c->setBackgroundRoundness(0);
    c->setAnimationOptions(QChart::NoAnimation);

    // Every label whole at any size of the chart: fewer ticks when the
    // plot area is small or the range's labels are long.
    QUserChartView *view = chartViewWidget;
    auto fit = [view, c, x, y]() { axisTicksFit(view, c, x, y); };
    connect(c, &QChart::plotAreaChanged, c, fit);
    connect(x, &QValueAxis::rangeChanged, c, fit);
    // Never so low that the Y axis title or three of its labels are cut:
    // the plot's height for them, and the chart's title, the X labels and
    // the X title with the margins around them.
    const QFontMetrics titleMetrics(c->titleFont());
    const QFontMetrics axisMetrics(axisFont);
    const QFontMetrics labelMetrics(y->labelsFont());
    const int plotMin = qMax(axisMetrics.horizontalAdvance(y->titleText()) + kLabelGap,
                             3 * (labelMetrics.height() + kLabelGap));
    chartViewWidget->setMinimumHeight(plotMin + titleMetrics.height() + axisMetrics.height() + labelMetrics.height() +
                                      48);

    chart.chart = c;
    chart.axisX = x;
    chart.axisY = y;
    chartViewWidget->setBackgroundBrush(QBrush(Qt::white, Qt::SolidPattern));
    chartViewWidget->setChart(c);
    chartViewWidget->setAxisXRange(0, chart.axisXMaxValue);
    chartViewWidget->setAxisYRange(-50, 50);
    chartViewWidget->setViewportUpdateMode(QGraphicsView::FullViewportUpdate);
    chartViewWidget->setRenderHint(QPainter::Antialiasing, false);
    chart.startTime = getCurrentMs();
}

void QUserMainWindowDBC::seriesSetup(QXYSeries *series, const QString &color)
{
    if (!series || !chart.chart)
        return;
    seriesColorSet(series, color);
    series->setPointsVisible(chart.pointsVisible);
    series->setPointLabelsVisible(chart.pointsLabelVisible);
    series->setPointLabelsFont(QFont(QStringLiteral("Arial"), 8));
    series->setPointLabelsFormat(QStringLiteral("(@xPoint, @yPoint)"));
    series->setUseOpenGL(true);
    chart.chart->addSeries(series);
    series->attachAxis(chart.axisX);
    series->attachAxis(chart.axisY);
}

void QUserMainWindowDBC::seriesColorSet(QXYSeries *series, const QString &color)
{
    if (!series)
        return;
    // A text of fewer than three parts names no colour: the series keeps its.
    QColor c = textToColor(color);
    if (!c.isValid())
        return;
    c.setAlpha(255);
    series->setColor(c);
    series->setPointLabelsColor(c);
}

DbcChartSeries *QUserMainWindowDBC::chartEntryFind(const QString &msgName, const QString &sigName) const
{
    for (DbcChartSeries *e : chart.entries) {
        if (e->signal && e->signal->msgName == msgName && e->signal->strName == sigName)
            return e;
    }
    return nullptr;
}

bool QUserMainWindowDBC::chartSignalAdd(const QUserDbcSignal *sig)
{
    if (!sig) {
        logLine(QStringLiteral("Chart Signal Add Fail,Param Is NULL..."));
        return false;
    }
    logLine(QStringLiteral("Chart Signal<%1> Add...").arg(sig->strName));
    if (chartEntryFind(sig->msgName, sig->strName))
        return true;
    DbcChartSeries *e = new DbcChartSeries;
    e->seriesType = chart.seriesType;
    if (chart.seriesType != 0)
        e->series = new QLineSeries;
    else
        e->series = new QSplineSeries;
    e->series->setName(sig->strName);
    e->signal = new QUserDbcSignal(*sig);
    e->lastRefresh = getCurrentMs();
    if (chart.entries.isEmpty())
        chart.startTime = getCurrentMs();
    chart.lastRefresh = e->lastRefresh;
    chart.entries.append(e);
    seriesSetup(e->series, sig->color);
    chartAxisYFit();
    decodeBindingsReset();
    return true;
}

bool QUserMainWindowDBC::chartEntryUpdate(DbcChartSeries *e, qint64 timeMs, double value)
{
    double &stored = e->signal->nPhysicalValue;
    if (stored != value || std::isnan(stored) || std::isnan(value))
        stored = value;
    if (!chart.updateEnable)
        return false;
    qint64 elapsed = timeMs - chart.startTime;
    if (chartViewWidget && double(elapsed) > chartViewWidget->axisXMax()) {
        chartDataClear();
        elapsed = 0;
    }
    // The buffer grows with the points, in steps of at most 64 K points,
    // never past the X range: reserving the whole range up front costs
    // 16 bytes per millisecond of it for every curve at once.
    if (e->points.size() >= e->points.capacity()) {
        const int bound = int(std::min(std::max(chart.axisXMaxValue, 1.0) + 1.0, double(DbcChartState::kAxisXMax) + 1.0));
        const int have = e->points.size();
        const int step = std::min(std::max(have, 1024), 65536);
        const int want = std::min(have + step, std::max(bound, have + 1));
        e->points.reserve(want);
        logLine(QStringLiteral("容量调整..."));
    }
    // One point per millisecond: a later value of the same millisecond
    // replaces the earlier one, so the buffer stays within the X axis.
    const QPointF p(double(elapsed), value);
    if (!e->points.isEmpty() && e->points.last().x() == p.x())
        e->points.last().setY(value);
    else
        e->points.append(p);
    e->dirty = true;
    // Points wait in the buffer until the next refresh pass, at least 100 ms
    // after the last one (a clock that went back waits too).
    const qint64 since = timeMs - chart.lastRefresh;
    const qint64 interval = std::max(kSeriesRefreshMs, chart.refreshInterval);
    if (since < interval) {
        // Should no further value come, the waiting points are drawn when
        // the refresh is due.
        if (chartFlushTimer && !chartFlushTimer->isActive())
            chartFlushTimer->start(int(std::min<qint64>(interval - std::max<qint64>(since, 0), interval)) + 1);
        return false;
    }
    chartRefresh(timeMs);
    return true;
}

void QUserMainWindowDBC::chartFlush()
{
    if (!chart.updateEnable)
        return;
    for (const DbcChartSeries *e : chart.entries) {
        if (e->dirty) {
            chartRefresh(getCurrentMs());
            return;
        }
    }
}

bool QUserMainWindowDBC::chartFlushPending() const
{
    return chartFlushTimer && chartFlushTimer->isActive();
}

void QUserMainWindowDBC::chartRefresh(qint64 nowMs)
{
    QElapsedTimer t;
    t.start();
    // Curves get at most one point per two pixels of the plot (splines, whose
    // geometry is costly) or two per pixel (straight lines); the buffers
    // keep every point.
    int plotWidth = chart.chart ? int(chart.chart->plotArea().width()) : 0;
    if (plotWidth < 200)
        plotWidth = 1000;
    for (DbcChartSeries *e : chart.entries) {
        if (!e->dirty || !e->series)
            continue;
        const int cap = e->seriesType != 0 ? 2 * plotWidth : plotWidth / 2;
        if (e->points.size() > cap)
            e->series->replace(DbcChartDecimate::lttb(e->points, cap));
        else
            e->series->replace(e->points);
        e->dirty = false;
        e->lastRefresh = nowMs;
    }
    chart.lastRefresh = nowMs;
    if (chartFlushTimer)
        chartFlushTimer->stop();
    chart.lastRefreshCostMs = double(t.nsecsElapsed()) / 1e6 + (chartViewWidget ? chartViewWidget->lastPaintMs() : 0.0);
    chart.refreshInterval = std::max(kSeriesRefreshMs, qint64(kRefreshCostFactor * chart.lastRefreshCostMs));
}

bool QUserMainWindowDBC::chartSeriesUpdate(const QString &msgName, const QString &sigName, qint64 timeMs,
                                           double value)
{
    DbcChartSeries *e = chartEntryFind(msgName, sigName);
    if (!e)
        return false;
    return chartEntryUpdate(e, timeMs, value);
}

void QUserMainWindowDBC::chartDataClear()
{
    logLine(QStringLiteral("Chart Signal Data Clr..."));
    for (DbcChartSeries *e : chart.entries) {
        if (e->series)
            e->series->clear();
        e->points.resize(0); // the capacity stays
        e->dirty = false;
    }
    chart.startTime = getCurrentMs();
}

void QUserMainWindowDBC::chartAxisYFit()
{
    if (chart.entries.isEmpty()) {
        chartAxisYRangeSet(-50, 50);
        return;
    }
    double lo = chart.entries.first()->signal->nMin;
    double hi = chart.entries.first()->signal->nMax;
    for (const DbcChartSeries *e : chart.entries) {
        lo = std::min(lo, e->signal->nMin);
        hi = std::max(hi, e->signal->nMax);
    }
    chartAxisYRangeSet(lo, hi);
}

void QUserMainWindowDBC::chartSeriesClearAll()
{
    chartSeriesRemoveAllFromChart();
    qDeleteAll(chart.entries);
    chart.entries.clear();
    decodeBindingsReset();
    chartAxisYFit();
}

bool QUserMainWindowDBC::chartSignalDel(const QString &msgName, const QString &sigName)
{
    logLine(QStringLiteral("Chart Signal<%1> Del...").arg(sigName));
    for (int i = 0; i < chart.entries.size(); ++i) {
        DbcChartSeries *e = chart.entries.at(i);
        if (!e->signal || e->signal->msgName != msgName || e->signal->strName != sigName)
            continue;
        chartSeriesRemove(e->series);
        e->series = nullptr;
        chart.entries.remove(i);
        delete e;
        decodeBindingsReset();
        chartAxisYFit();
        return true;
    }
    logLine(QStringLiteral("Chart Signal<%1> Del Fail, Not Find...").arg(sigName));
    return false;
}

bool QUserMainWindowDBC::chartSignalColorSet(const QString &msgName, const QString &sigName, const QString &color)
{
    DbcChartSeries *e = chartEntryFind(msgName, sigName);
    if (!e)
        return false;
    if (e->signal->color != color) {
        e->signal->color = color;
        seriesColorSet(e->series, color);
    }
    return true;
}

void QUserMainWindowDBC::chartSeriesRemove(QXYSeries *series)
{
    if (!series || !chart.chart)
        return;
    if (chart.axisX)
        series->detachAxis(chart.axisX);
    if (chart.axisY)
        series->detachAxis(chart.axisY);
    chart.chart->removeSeries(series);
    delete series;
}

int QUserMainWindowDBC::chartSeriesRemoveAllFromChart()
{
    if (chart.chart)
        chart.chart->removeAllSeries(); // deletes them
    for (DbcChartSeries *e : chart.entries)
        e->series = nullptr;
    return 1;
}

int QUserMainWindowDBC::chartPointAppend(QXYSeries *series, const QPointF &point)
{
    if (series)
        series->append(point);
    return 1;
}

int QUserMainWindowDBC::chartSeriesClear(QXYSeries *series)
{
    if (series)
        series->clear();
    return 1;
}

int QUserMainWindowDBC::chartAxisXRangeSet(double lower, double upper)
{
    if (chartViewWidget)
        chartViewWidget->setAxisXRange(lower, upper);
    return 1;
}

int QUserMainWindowDBC::chartAxisYRangeSet(double lower, double upper)
{
    if (chartViewWidget)
        chartViewWidget->setAxisYRange(lower, upper);
    return 1;
}

int QUserMainWindowDBC::chartAxisFit()
{
    if (chartViewWidget)
        chartViewWidget->axisFit();
    return 1;
}

int QUserMainWindowDBC::chartAxisXReset()
{
    return chartAxisXRangeSet(0, chart.axisXMaxValue);
}

void QUserMainWindowDBC::slotDbcSigChartDataClr()
{
    logLine(QStringLiteral("Signal Chart Data Clear..."));
    chartDataClear();
}

void QUserMainWindowDBC::slotDbcSigChartDataStop()
{
    logLine(QStringLiteral("Signal Chart Data Stop Update..."));
    if (ui->actDataStop->isChecked()) {
        chart.updateEnable = false;
        logLine(QStringLiteral("数据已停止更新!"));
        msgBox.tipSuccess(this, tr("数据更新已关闭!"), 500);
    } else {
        chart.updateEnable = true;
        logLine(QStringLiteral("数据更新已开启!"));
        msgBox.tipSuccess(this, tr("数据更新已开启!"), 500);
    }
}

void QUserMainWindowDBC::slotDbcSigChartAutoFit()
{
    logLine(QStringLiteral("Signal Chart Data Auto Fit..."));
    chartAxisFit();
}

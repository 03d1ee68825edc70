#pragma once
// The chart bookkeeping of the DBC window: one entry per charted signal with
// its series, its own copy of the signal, the point buffer and the time of
// the last series refresh; and the chart's state with the chart settings.

#include "dbc/QUserDbcSignal.h"

#include <QDateTime>
#include <QPointF>
#include <QVector>

namespace QtCharts {
class QChart;
class QValueAxis;
class QXYSeries;
} // namespace QtCharts

struct DbcChartSeries {
    DbcChartSeries() = default;
    ~DbcChartSeries() { delete signal; }
    DbcChartSeries(const DbcChartSeries &) = delete;
    DbcChartSeries &operator=(const DbcChartSeries &) = delete;

    // A spline series (type 0) or a line series (type 1); the chart owns it
    // once it has been added.
    QtCharts::QXYSeries *series = nullptr;
    QUserDbcSignal *signal = nullptr; // owned copy of the listened signal
    int seriesType = 0;
    // x: ms since the chart start, y: physical value. At most one point per
    // millisecond, so that the buffer never holds more than the X axis'
    // milliseconds (a later value of the same millisecond replaces the y).
    QVector<QPointF> points;
    qint64 lastRefresh = 0; // host ms of the last series refresh
    bool dirty = false;     // points added since then
};

struct DbcChartState {
    DbcChartState() = default;
    ~DbcChartState()
    {
        qDeleteAll(entries);
        entries.clear();
    }
    DbcChartState(const DbcChartState &) = delete;
    DbcChartState &operator=(const DbcChartState &) = delete;

    QtCharts::QChart *chart = nullptr; // built once; owned by the chart view
    QtCharts::QValueAxis *axisX = nullptr;
    QtCharts::QValueAxis *axisY = nullptr;
    qint64 startTime = 0;              // host ms at x = 0
    QDateTime createTime = QDateTime::currentDateTime();
    QVector<DbcChartSeries *> entries; // owned
    bool updateEnable = true;          // off while "停止显示" is checked
    // The curves are refreshed together, at most every 100 ms, and less
    // often when a refresh (handing the points over and painting) costs
    // much: the chart keeps to about a fifth of the GUI thread.
    qint64 lastRefresh = 0;            // host ms of the last refresh pass
    qint64 refreshInterval = 100;      // ms
    double lastRefreshCostMs = 0.0;

    // Settings (read from the system configuration before use).
    bool sendDataAnalysisEnable = false;
    int seriesType = 0; // 0 spline, 1 straight lines
    bool pointsVisible = false;
    bool pointsLabelVisible = false;
    double axisXMaxValue = 60000.0; // ms shown on the X axis

    // The X range the chart accepts, in ms. Each curve keeps at most one
    // point per millisecond of it (16 bytes a point): an hour is at most
    // 58 MB a curve. Anything below 100 ms would clear the chart with
    // nearly every point.
    static constexpr int kAxisXMin = 100;
    static constexpr int kAxisXMax = 3600000;
    static constexpr int kAxisXDefault = 60000;
    static bool axisXInRange(double ms) { return ms >= kAxisXMin && ms <= kAxisXMax; }
};

// Thinning a curve for drawing: count, end points, order, and the peaks
// that must survive.
#include <gtest/gtest.h>

#include <cmath>

#include "dbc/DbcChartDecimate.h"

namespace {

QVector<QPointF> curve(int n, double (*f)(int))
{
    QVector<QPointF> out;
    for (int i = 0; i < n; ++i)
        out.append(QPointF(i, f(i)));
    return out;
}

} // namespace

TEST(ChartDecimate, KeepsShortCurvesAndRefusesSillyThresholds)
{
    const QVector<QPointF> c = curve(10, [](int i) { return double(i * i); });
    const int thresholds[] = {10, 11, 1000, 2, 1, 0, -5};
    for (int t : thresholds) {
        SCOPED_TRACE(t);
        EXPECT_EQ(DbcChartDecimate::lttb(c, t), c);
    }
    EXPECT_TRUE(DbcChartDecimate::lttb(QVector<QPointF>(), 5).isEmpty());
}

TEST(ChartDecimate, ThinsToTheThresholdInOrder)
{
    const QVector<QPointF> c = curve(60000, [](int i) { return 100 * std::sin(i * 0.001) + (i % 13); });
    for (int t : {3, 4, 500, 2000, 59999}) {
        SCOPED_TRACE(t);
        const QVector<QPointF> out = DbcChartDecimate::lttb(c, t);
        ASSERT_EQ(out.size(), t);
        EXPECT_EQ(out.first(), c.first());
        EXPECT_EQ(out.last(), c.last());
        for (int k = 1; k < out.size(); ++k) {
            ASSERT_LT(out[k - 1].x(), out[k].x());
            // Every point kept is a point of the curve.
            const int i = int(out[k].x());
            ASSERT_EQ(out[k], c[i]);
        }
    }
}

// A lone spike and a lone dip in a flat curve are kept, whatever their
// place in their bucket.
TEST(ChartDecimate, PeaksSurvive)
{
    for (int at : {1, 4999, 5000, 5001, 9998}) {
        SCOPED_TRACE(at);
        QVector<QPointF> c = curve(10000, [](int) { return 0.0; });
        c[at].setY(1000);
        c[(at + 3000) % 9999 + 0].setY(-500);
        const QVector<QPointF> out = DbcChartDecimate::lttb(c, 100);
        double hi = 0, lo = 0;
        for (const QPointF &p : out) {
            hi = std::max(hi, p.y());
            lo = std::min(lo, p.y());
        }
        EXPECT_EQ(hi, 1000);
        EXPECT_EQ(lo, -500);
    }
}

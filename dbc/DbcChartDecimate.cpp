#include "dbc/DbcChartDecimate.h"

#include <algorithm>
#include <cmath>

namespace DbcChartDecimate {

QVector<QPointF> lttb(const QVector<QPointF> &points, int threshold)
{
    const int n = points.size();
    if (threshold < 3 || threshold >= n)
        return points;
    QVector<QPointF> out;
    out.reserve(threshold);
    out.append(points.first());
    const double every = double(n - 2) / double(threshold - 2);
    int a = 0;
    for (int i = 0; i < threshold - 2; ++i) {
        // The mean of the next bucket (the last point for the last bucket).
        int avgStart = int(std::floor((i + 1) * every)) + 1;
        int avgEnd = std::min(int(std::floor((i + 2) * every)) + 1, n);
        if (avgStart >= avgEnd) {
            avgStart = n - 1;
            avgEnd = n;
        }
        double avgX = 0, avgY = 0;
        for (int k = avgStart; k < avgEnd; ++k) {
            avgX += points[k].x();
            avgY += points[k].y();
        }
        avgX /= (avgEnd - avgStart);
        avgY /= (avgEnd - avgStart);

        const int from = int(std::floor(i * every)) + 1;
        const int to = std::min(int(std::floor((i + 1) * every)) + 1, n - 1);
        const double ax = points[a].x(), ay = points[a].y();
        double best = -1;
        int pick = from;
        for (int k = from; k < to; ++k) {
            const double area =
                std::fabs((ax - avgX) * (points[k].y() - ay) - (ax - points[k].x()) * (avgY - ay));
            if (area > best) {
                best = area;
                pick = k;
            }
        }
        out.append(points[pick]);
        a = pick;
    }
    out.append(points.last());
    return out;
}

} // namespace DbcChartDecimate

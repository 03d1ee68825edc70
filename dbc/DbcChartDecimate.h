#pragma once
// Thinning a curve's points for drawing: largest-triangle-three-buckets.
// The first and last point are kept; the points between are cut into
// buckets of equal count, and from each bucket the point is kept that spans
// the largest triangle with the point kept before and the mean of the next
// bucket, so peaks and troughs survive. O(n).

#include <QPointF>
#include <QVector>

namespace DbcChartDecimate {

// At most `threshold` points of `points` (x ascending), in order. With
// `threshold` of 3 or more below the count, exactly `threshold`; otherwise
// the points unchanged.
QVector<QPointF> lttb(const QVector<QPointF> &points, int threshold);

} // namespace DbcChartDecimate

#include "devtools/QUserBtrBaudSearch.h"

#include <cmath>

int32_t calcBtrBaudParam(int32_t clock, int32_t target, int32_t maxErr, int32_t minSample,
                         QVector<BtrBaudParam> &results)
{
    const int before = results.size();
    if (target <= 0 || clock <= 0)
        return 0;
    for (int brp = 1; brp <= 64; ++brp) {
        const int32_t tq = (clock / brp) / 2;
        if (int64_t(tq) * brp * 2 != clock)
            continue;
        for (int tseg1 = 1; tseg1 <= 16; ++tseg1) {
            for (int tseg2 = 1; tseg2 <= 8; ++tseg2) {
                const int nTq = 1 + tseg1 + tseg2;
                const int32_t baud = tq / nTq;
                const double err = std::fabs(double(baud) - double(target)) * 100.0 / double(target);
                if (err > double(maxErr))
                    continue;
                const int sp = 100 * (tseg1 + 1) / nTq;
                if (sp < minSample)
                    continue;
                BtrBaudParam p;
                p.btr0 = brp - 1;
                p.btr1 = ((tseg2 - 1) << 4) | (tseg1 - 1);
                p.err = float(err);
                p.samplePoint = float(sp);
                p.baud = float(baud);
                results.append(p);
            }
        }
    }
    return results.size() - before;
}

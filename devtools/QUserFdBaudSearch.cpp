#include "devtools/QUserFdBaudSearch.h"

#include <cmath>

int32_t calcFdBaudParam(int32_t phase, int32_t clock, int32_t target, int32_t sjwField,
                        int32_t maxErr, int32_t minSample, QVector<FdBaudParam> &results)
{
    // A rate of 0 (what a non-numeric entry gives) or below can never be
    // met; without this a zero-rate candidate would give 0/0 and slip
    // through the error bound as NaN.
    if (target <= 0 || clock <= 0)
        return results.size();

    const int64_t clockHz = int64_t(clock) * 1000;
    const int tseg1Max = phase == 0 ? 15 : 127;
    const int tseg2Max = phase == 0 ? 7 : 31;

    for (int64_t brp = 1; brp <= 1023; ++brp) {
        if ((clockHz / brp) * brp != clockHz)
            continue;
        const int64_t tq = clockHz / brp;
        for (int tseg1 = 1; tseg1 <= tseg1Max; ++tseg1) {
            for (int tseg2 = 1; tseg2 <= tseg2Max; ++tseg2) {
                const int nTq = 1 + tseg1 + tseg2;
                const int64_t baud = tq / nTq;
                const float err = float(std::fabs(double(baud - target)) * 100.0 / double(target));
                if (err > float(maxErr))
                    continue;
                const float sp = float(100.0 * double(tseg1 + 1) / double(nTq));
                if (sp < float(minSample))
                    continue;
                FdBaudParam p;
                p.brp = int32_t(brp - 1);
                p.sjw = sjwField;
                p.tseg1 = tseg1 - 1;
                p.tseg2 = tseg2 - 1;
                p.err = err;
                p.samplePoint = sp;
                p.baud = float(baud);
                p.word = (uint32_t(brp - 1) << 22) | (uint32_t(sjwField) << 15)
                         | (uint32_t(tseg2 - 1) << 8) | uint32_t(tseg1 - 1);
                results.append(p);
            }
        }
    }
    return results.size();
}

#pragma once
// Classic CAN bus-timing search for controllers with the two registers BTR0
// and BTR1 (SJW 1, single sampling; one time quantum lasts 2 x BRP clock
// periods). The sample point is kept as a whole percent.

#include <QVector>

#include <cstdint>

struct BtrBaudParam
{
    int32_t btr0 = 0;         // BRP - 1
    int32_t btr1 = 0;         // (TSEG2 - 1) << 4 | (TSEG1 - 1)
    float err = 0.0f;         // bit-rate error in percent
    float samplePoint = 0.0f; // whole percent (truncated)
    float baud = 0.0f;        // achieved bit rate in bit/s
};

// clock in Hz, target in bit/s, maxErr and minSample in percent (inclusive).
// BRP 1..64, TSEG1 1..16, TSEG2 1..8, in that loop order. Appends the hits
// and returns how many were found by this call.
int32_t calcBtrBaudParam(int32_t clock, int32_t target, int32_t maxErr, int32_t minSample,
                         QVector<BtrBaudParam> &results);

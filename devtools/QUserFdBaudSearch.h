#pragma once
// Exhaustive CAN FD bit-timing search: every prescaler and segment split of
// a controller clock that reaches a wanted bit rate within an error bound
// and with at least a given sample point, one record per hit with its packed
// timing word (bits 31-22 BRP-1, 21-15 SJW field, 14-8 TSEG2-1, 7-0 TSEG1-1).

#include <QVector>

#include <cstdint>

struct FdBaudParam
{
    int32_t brp = 0;          // BRP - 1
    int32_t sjw = 0;          // the SJW field as the caller passed it
    int32_t tseg1 = 0;        // TSEG1 - 1
    int32_t tseg2 = 0;        // TSEG2 - 1
    float err = 0.0f;         // bit-rate error in percent
    float samplePoint = 0.0f; // sample point in percent
    float baud = 0.0f;        // achieved bit rate in bit/s (whole number)
    uint32_t word = 0;        // packed timing word
};

// phase 0: arbitration (TSEG1 1..15, TSEG2 1..7); any other value: data
// phase (TSEG1 1..127, TSEG2 1..31). clock in kHz, target in bit/s, maxErr
// and minSample in percent (both bounds inclusive). Hits are appended to
// results in loop order (BRP, then TSEG1, then TSEG2 ascending); returns the
// list's size afterwards.
int32_t calcFdBaudParam(int32_t phase, int32_t clock, int32_t target, int32_t sjwField,
                        int32_t maxErr, int32_t minSample, QVector<FdBaudParam> &results);

#include "kemsig/src/SignalCodec.h"

#include <cfloat>
#include <cmath>
#include <cstring>

namespace kemsig {

namespace {

// Every codec call checks that the field lies inside the frame's data: the
// records come from files and callers, and a field past the data would read
// or write past the caller's buffer.
inline bool lengthOk(int32_t start, int32_t length)
{
    return start >= 0 && length >= 0 && length <= 64;
}

inline bool intelFits(uint32_t dataLen, int32_t start, int32_t length)
{
    return lengthOk(start, length) && uint64_t(dataLen) * 8 >= uint64_t(start) + uint64_t(length);
}

// A Motorola field fits when its start bit lies in the data and the bytes it
// takes from there on end inside the data.
inline bool motorolaFits(uint32_t dataLen, int32_t start, int32_t length)
{
    if (!lengthOk(start, length))
        return false;
    if (uint64_t(dataLen) * 8 < uint64_t(start) + 1)
        return false;
    const uint32_t first = uint32_t(start) / 8;
    const uint32_t inFirst = uint32_t(start) % 8 + 1;
    uint32_t bytes = 1;
    if (uint32_t(length) > inFirst)
        bytes += (uint32_t(length) - inFirst + 7) / 8;
    return uint64_t(first) + bytes <= dataLen;
}

inline uint64_t lowMask(uint32_t n) { return n >= 64 ? ~uint64_t(0) : ((uint64_t(1) << n) - 1); }

} // namespace

bool extractIntel(const uint8_t *data, uint32_t dataLen, int32_t start, int32_t length, uint64_t *raw)
{
    if (!intelFits(dataLen, start, length))
        return false;
    uint64_t out = 0;
    uint32_t d = uint32_t(start) % 8;
    const uint8_t *p = data + uint32_t(start) / 8;
    for (uint32_t t = 0; t < uint32_t(length); ++p) {
        uint32_t n = 8 - d;
        if (n > uint32_t(length) - t)
            n = uint32_t(length) - t;
        out |= uint64_t((*p >> d) & lowMask(n)) << t;
        d = 0;
        t += n;
    }
    *raw = out;
    return true;
}

bool extractMotorola(const uint8_t *data, uint32_t dataLen, int32_t start, int32_t length, uint64_t *raw)
{
    if (!motorolaFits(dataLen, start, length))
        return false;
    uint64_t out = 0;
    uint32_t d = uint32_t(start) % 8;
    const uint8_t *p = data + uint32_t(start) / 8;
    for (uint32_t t = 0; t < uint32_t(length); ++p) {
        uint32_t n = d + 1;
        if (n > uint32_t(length) - t)
            n = uint32_t(length) - t;
        out = (out << n) | ((*p >> (d + 1 - n)) & lowMask(n));
        d = 7;
        t += n;
    }
    *raw = out;
    return true;
}

bool insertIntel(uint8_t *data, uint32_t dataLen, int32_t start, int32_t length, uint64_t value)
{
    if (!intelFits(dataLen, start, length))
        return false;
    uint32_t d = uint32_t(start) % 8;
    uint8_t *p = data + uint32_t(start) / 8;
    for (uint32_t t = 0; t < uint32_t(length); ++p) {
        uint32_t n = 8 - d;
        if (n > uint32_t(length) - t)
            n = uint32_t(length) - t;
        const uint8_t mask = uint8_t(lowMask(n) << d);
        const uint8_t bits = uint8_t(((value >> t) & lowMask(n)) << d);
        *p = uint8_t((*p & ~mask) | bits);
        d = 0;
        t += n;
    }
    return true;
}

bool insertMotorola(uint8_t *data, uint32_t dataLen, int32_t start, int32_t length, uint64_t value)
{
    if (!motorolaFits(dataLen, start, length))
        return false;
    uint32_t d = uint32_t(start) % 8;
    uint8_t *p = data + uint32_t(start) / 8;
    for (uint32_t t = 0; t < uint32_t(length); ++p) {
        uint32_t n = d + 1;
        if (n > uint32_t(length) - t)
            n = uint32_t(length) - t;
        const uint32_t shift = d + 1 - n;
        const uint8_t mask = uint8_t(lowMask(n) << shift);
        const uint8_t bits = uint8_t(((value >> (uint32_t(length) - t - n)) & lowMask(n)) << shift);
        *p = uint8_t((*p & ~mask) | bits);
        d = 7;
        t += n;
    }
    return true;
}

bool extractSignal(const uint8_t *data, uint32_t dataLen, DbcSignal &sig)
{
    return sig.isMotorola ? extractMotorola(data, dataLen, sig.nStartBit, sig.nLen, &sig.nRawValue)
                          : extractIntel(data, dataLen, sig.nStartBit, sig.nLen, &sig.nRawValue);
}

bool insertSignal(uint8_t *data, uint32_t dataLen, const DbcSignal &sig)
{
    return sig.isMotorola ? insertMotorola(data, dataLen, sig.nStartBit, sig.nLen, sig.nRawValue)
                          : insertIntel(data, dataLen, sig.nStartBit, sig.nLen, sig.nRawValue);
}

double physicalValue(const DbcSignal &sig, uint64_t raw)
{
    // IEEE 754 signals carry the number's bits; factor and offset apply to
    // the number (a signed float's raw value may come sign-extended: only
    // the low 32 bits are the float).
    if (sig.valType == KDBC_VALTYPE_FLOAT) {
        const uint32_t bits = uint32_t(raw);
        float f;
        std::memcpy(&f, &bits, sizeof f);
        return double(f) * sig.nFactor + sig.nOffset;
    }
    if (sig.valType == KDBC_VALTYPE_DOUBLE) {
        double d;
        std::memcpy(&d, &raw, sizeof d);
        return d * sig.nFactor + sig.nOffset;
    }
    if (sig.isSigned && sig.nLen > 0 && sig.nLen <= 64) {
        const uint32_t len = uint32_t(sig.nLen);
        uint64_t v = raw & lowMask(len);
        // Sign-extended from the field's own top bit: read as a 64-bit value,
        // a negative 12-bit field would come out as a large positive one.
        if (len < 64 && (v >> (len - 1)) & 1)
            v |= ~lowMask(len);
        return double(int64_t(v)) * sig.nFactor + sig.nOffset;
    }
    return double(raw) * sig.nFactor + sig.nOffset;
}

int64_t rawValue(const DbcSignal &sig, double physical)
{
    if (sig.nFactor == 0)
        return -1;
    if (sig.valType == KDBC_VALTYPE_FLOAT) {
        const double d = (physical - sig.nOffset) / sig.nFactor;
        // Beyond the float's range the float is infinite (a plain
        // conversion of such a double is undefined).
        float f;
        if (std::isfinite(d) && std::fabs(d) > double(FLT_MAX))
            f = d > 0 ? HUGE_VALF : -HUGE_VALF;
        else
            f = float(d);
        uint32_t bits;
        std::memcpy(&bits, &f, sizeof bits);
        // As any signed signal's raw value: sign-extended from the field.
        return sig.isSigned ? int64_t(int32_t(bits)) : int64_t(bits);
    }
    if (sig.valType == KDBC_VALTYPE_DOUBLE) {
        const double d = (physical - sig.nOffset) / sig.nFactor;
        int64_t bits;
        std::memcpy(&bits, &d, sizeof bits);
        return bits;
    }
    // Rounded to the nearest raw value: truncated, 0.3 / 0.1 gives 2, not 3.
    const double q = std::round((physical - sig.nOffset) / sig.nFactor);
    if (std::isnan(q))
        return 0;
    constexpr double two63 = 9223372036854775808.0;
    constexpr double two64 = 18446744073709551616.0;
    if (q < -two63)
        return INT64_MIN;
    if (q < two63)
        return int64_t(q);
    // Beyond the signed range: the bit pattern of the unsigned value, so that
    // an unsigned 64-bit field still gets its raw bits; saturated above that.
    if (q < two64)
        return int64_t(uint64_t(q));
    return -1;
}

} // namespace kemsig

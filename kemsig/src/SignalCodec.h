// Bit-field extraction and insertion in Intel and Motorola order, and the
// raw/physical conversions of a signal.
//
// Bit k of the data is bit (k mod 8) of byte (k div 8). An Intel field starts
// at its least significant bit and rises; a Motorola field starts at its most
// significant bit, runs down to bit 0 of that byte and goes on at bit 7 of the
// next byte. Fields hold 0 to 64 bits; any other length, a negative start bit
// or a field that leaves the data fails and touches nothing.
#pragma once

#include <cstdint>

#include "kemsig/include/kemsig.h"

namespace kemsig {

bool extractIntel(const uint8_t *data, uint32_t dataLen, int32_t start, int32_t length, uint64_t *raw);
bool extractMotorola(const uint8_t *data, uint32_t dataLen, int32_t start, int32_t length, uint64_t *raw);
bool insertIntel(uint8_t *data, uint32_t dataLen, int32_t start, int32_t length, uint64_t value);
bool insertMotorola(uint8_t *data, uint32_t dataLen, int32_t start, int32_t length, uint64_t value);

// By the signal's byte order; extraction writes nRawValue only on success.
bool extractSignal(const uint8_t *data, uint32_t dataLen, DbcSignal &sig);
bool insertSignal(uint8_t *data, uint32_t dataLen, const DbcSignal &sig);

// The raw value as the signal's number: sign-extended from nLen when the
// signal is signed, else the raw value unchanged; for an IEEE single
// (valType 1) or double (valType 2) signal the float its bits hold. Then
// times the factor plus the offset.
double physicalValue(const DbcSignal &sig, uint64_t raw);
// (physical - offset) / factor rounded to the nearest integer; -1 for a
// factor of 0. For an IEEE signal the bits of that number as a float
// (sign-extended from 32 bits when the signal is signed) or a double.
int64_t rawValue(const DbcSignal &sig, double physical);

} // namespace kemsig

#pragma once
// The numbers of EDS files (CiA 306) as written for object values:
// "0x" hexadecimal, signed decimal, and the node-id formulas, a sum of such
// numbers and "$NODEID" joined by "+" ("$NODEID+0x180", "0x180+$NODEID",
// "$NodeId + 384", "0x80000000+$NODEID+0x400").

#include <QString>

#include <cstdint>

namespace edsnumber {

// The value of text for node id `node` ($NODEID stands for it) in 64 bits
// (wider hexadecimal numbers keep their low 64 bits; leading zeros do not
// count; a "-" before a term negates it). False, out untouched, when the
// text is no such number. *namesNodeId tells whether a $NODEID term was in
// it, *decimal whether it is one decimal number (a value with its sign, not
// a bit pattern).
bool parse(const QString &text, int node, int64_t &out, bool *namesNodeId = nullptr, bool *decimal = nullptr);

// True when the text holds a $NODEID term (any case).
bool namesNodeId(const QString &text);

} // namespace edsnumber

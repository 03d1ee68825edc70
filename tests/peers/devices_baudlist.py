#!/usr/bin/python3
"""Writes the baud-rate candidate table for an 8 MHz CAN clock, made
independently from the rule: every integer rate 5000..1000000, BRP 1..64
dividing 8 MHz, TSEG1 code 0..15, TSEG2 code 0..7, n = t1 + t2 + 3 quanta,
floor(f / n) == rate and a sample point of at least 65 %; at most two pairs
per rate in search order; lines "rate,BTR0,BTR1\\n"."""
import sys

CLOCK = 8000000


def pairs(rate):
    out = []
    for brp in range(1, 65):
        if CLOCK % brp:
            continue
        f = CLOCK // brp
        for t1 in range(16):
            for t2 in range(8):
                n = t1 + t2 + 3
                if f // n == rate and 100 * (t1 + 2) >= 65 * n:
                    out.append((brp - 1, t2 * 16 + t1))
                    if len(out) == 2:
                        return out
    return out


def main():
    # Only a rate that some prescaler and quanta count give exactly can have
    # a pair; visiting just those, in rising order, is the same table.
    reachable = set()
    for brp in range(1, 65):
        if CLOCK % brp == 0:
            for n in range(3, 26):
                reachable.add(CLOCK // brp // n)
    lines = []
    for rate in sorted(r for r in reachable if 5000 <= r <= 1000000):
        for b0, b1 in pairs(rate):
            lines.append("%d,%02X,%02X\n" % (rate, b0, b1))
    with open(sys.argv[1], "w", encoding="utf-8", newline="") as f:
        f.write("".join(lines))


if __name__ == "__main__":
    main()

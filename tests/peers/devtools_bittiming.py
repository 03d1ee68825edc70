#!/usr/bin/python3
"""Rate and sample point of bit timings, as python-can's BitTiming sees them.

Reads lines from the file named by the first argument:
  fd <clock_hz> <brp> <tseg1> <tseg2>      (segment values, not register values)
  btr <btr0> <btr1>                        (classic registers, 16 MHz controller)
and prints one line per input: "<bitrate> <sample point>" with six decimals.
"""
import sys

import can

for line in open(sys.argv[1], encoding="utf-8"):
    f = line.split()
    if not f:
        continue
    if f[0] == "fd":
        clock, brp, tseg1, tseg2 = (int(x) for x in f[1:5])
        t = can.BitTiming(f_clock=clock, brp=brp, tseg1=tseg1, tseg2=tseg2, sjw=1)
    elif f[0] == "btr":
        # One time quantum of these controllers is two clock periods of the
        # 16 MHz crystal: python-can counts the prescaler against 8 MHz.
        t = can.BitTiming(f_clock=8000000, btr0=int(f[1], 16), btr1=int(f[2], 16))
    else:
        print("bad line: " + line.strip())
        sys.exit(2)
    print("%.6f %.6f" % (t.bitrate, t.sample_point))

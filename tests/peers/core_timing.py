#!/usr/bin/python3
# Bit-timing and length figures from python-can, one line per input.
# Usage: core_timing.py btr B0 B1 ...        -> "brp sjw tseg1 tseg2" per pair (8 MHz SJA1000 clock)
#        core_timing.py fd CLOCK BRP SJW T1 T2 ... -> "bitrate sample_point" per group
#        core_timing.py dlc                  -> dlc2len of 0..15, then len2dlc of those lengths
import sys
import can

kind, args = sys.argv[1], [int(a, 0) for a in sys.argv[2:]]
if kind == "btr":
    for i in range(0, len(args), 2):
        t = can.BitTiming(f_clock=8000000, btr0=args[i], btr1=args[i + 1])
        print(t.brp, t.sjw, t.tseg1, t.tseg2)
elif kind == "fd":
    for i in range(0, len(args), 5):
        clock, brp, sjw, t1, t2 = args[i:i + 5]
        t = can.BitTiming(f_clock=clock * 1000000, brp=brp, sjw=sjw, tseg1=t1, tseg2=t2)
        print(int(t.bitrate), "%.1f" % t.sample_point)
elif kind == "dlc":
    lens = [can.util.dlc2len(d) for d in range(16)]
    print(" ".join(map(str, lens)))
    print(" ".join(str(can.util.len2dlc(n)) for n in lens))

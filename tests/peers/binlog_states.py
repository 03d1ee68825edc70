"""Reads BLF files with python-can, one after the other, for the binlog
writer's state tests: a file name a line on stdin, one answer a line on
stdout, "<frames> <first frame out of order, or -1>" or "error <what>".

Frame n of a recording under test has the identifier n & 0x7FF and n in its
first four data bytes (little-endian)."""

import sys

import can


def check(path):
    n = 0
    bad = -1
    for msg in can.BLFReader(path):
        if bad < 0 and (msg.arbitration_id != (n & 0x7FF) or bytes(msg.data[:4]) != n.to_bytes(4, "little")):
            bad = n
        n += 1
    return "%d %d" % (n, bad)


def main():
    for line in sys.stdin:
        path = line.rstrip("\n")
        try:
            out = check(path)
        except Exception as e:  # the answer is the test's to judge
            out = "error " + (type(e).__name__ + " " + str(e)).replace("\n", " ")
        sys.stdout.write(out + "\n")
        sys.stdout.flush()


if __name__ == "__main__":
    main()

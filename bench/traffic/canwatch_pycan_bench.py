"""python-can's side of the trace viewer benchmark: reads the BLF file that
bench_traffic wrote with BLFReader, counting the frames (none is kept, so
memory stays flat), and prints the time as JSON."""
import json
import sys
import time

import can


def main(path):
    start = time.perf_counter()
    frames = 0
    for msg in can.BLFReader(path):
        if not msg.is_error_frame:
            frames += 1
    seconds = time.perf_counter() - start
    print(json.dumps({"frames": frames, "seconds": seconds, "frames_per_s": frames / seconds}))


if __name__ == "__main__":
    main(sys.argv[1])

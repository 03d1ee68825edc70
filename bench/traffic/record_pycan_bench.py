"""python-can's side of the recording benchmark: reads the BLF files that
bench_traffic recorded (timed), writes the same frames with its own
BLFWriter at its defaults into OUT_DIR (same file names), reads those back
(timed), and prints frames, bytes and frames per second as JSON."""
import json
import os
import sys
import time

import can


def main(out_dir, paths):
    out = {"frames": 0, "ours_bytes": 0, "pycan_bytes": 0, "read_ours_s": 0.0, "read_own_s": 0.0,
           "own_frames": 0}
    for path in paths:
        start = time.perf_counter()
        msgs = list(can.BLFReader(path))
        out["read_ours_s"] += time.perf_counter() - start
        out["frames"] += len(msgs)
        out["ours_bytes"] += os.path.getsize(path)
        own = os.path.join(out_dir, os.path.basename(path))
        writer = can.BLFWriter(own)
        for m in msgs:
            writer.on_message_received(m)
        writer.stop()
        del msgs
        out["pycan_bytes"] += os.path.getsize(own)
        start = time.perf_counter()
        n = sum(1 for _ in can.BLFReader(own))
        out["read_own_s"] += time.perf_counter() - start
        out["own_frames"] += n
    print(json.dumps(out))


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2:])

"""python-can's side of the trace-file benchmark: reads the ASC and BLF files
that bench_traffic wrote, then writes the same frames back with its own
writers, and prints frames per second of each step as JSON."""
import json
import os
import sys
import tempfile
import time

import can


def timed_read(reader_cls, path):
    start = time.perf_counter()
    msgs = list(reader_cls(path))
    return msgs, time.perf_counter() - start


def timed_write(writer_factory, msgs):
    start = time.perf_counter()
    writer = writer_factory()
    for m in msgs:
        writer.on_message_received(m)
    writer.stop()
    return time.perf_counter() - start


def main(asc_path, blf_path):
    out = {}
    with tempfile.TemporaryDirectory() as tmp:
        msgs, secs = timed_read(can.ASCReader, asc_path)
        out["asc_read"] = len(msgs) / secs
        out["asc_frames"] = len(msgs)
        secs = timed_write(lambda: can.ASCWriter(os.path.join(tmp, "w.asc")), msgs)
        out["asc_write"] = len(msgs) / secs
        del msgs
        msgs, secs = timed_read(can.BLFReader, blf_path)
        out["blf_read"] = len(msgs) / secs
        out["blf_frames"] = len(msgs)
        secs = timed_write(lambda: can.BLFWriter(os.path.join(tmp, "w.blf")), msgs)
        out["blf_write"] = len(msgs) / secs
    print(json.dumps(out))


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])

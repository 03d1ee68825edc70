"""Trace files for the trace viewer checks, written and read by python-can.

  traffic_watch.py write FILE COUNT
      writes COUNT frames made by the rule in frame() with python-can's
      ASCWriter or BLFWriter (chosen by the suffix of FILE) and prints the
      number written. The tests hold what the viewer loads against the same
      rule (CanWatchSupport.h, watchFrame).
  traffic_watch.py read FILE
      reads an ASC or BLF file with python-can and prints its frames as JSON,
      one object per frame: id, ext, rtr, fd, brs, data (hex), ch, rx.
"""
import json
import sys

import can

FD_LENGTHS = [0, 1, 2, 3, 4, 5, 6, 7, 8, 12, 16, 20, 24, 32, 48, 64]


def frame(i):
    """Classic and CAN FD frames (every other CAN FD frame 64 bytes long),
    standard and extended, remote frames, both directions, channels 0-2."""
    fd = i % 5 == 4
    ext = i % 3 == 1
    remote = (not fd) and i % 7 == 3
    ident = (0x1000000 + i * 13) & 0x1FFFFFFF if ext else (i * 7) & 0x7FF
    if fd:
        n = 64 if (i // 5) % 2 == 0 else FD_LENGTHS[(i // 10) % 16]
    else:
        n = i % 9
    data = b"" if remote else bytes((i + k * 31) & 0xFF for k in range(n))
    return can.Message(timestamp=1000.0 + i * 0.001, arbitration_id=ident, is_extended_id=ext,
                       is_remote_frame=remote, dlc=0 if remote else None, data=data, is_fd=fd,
                       bitrate_switch=fd and i % 2 == 0, channel=i % 3, is_rx=i % 4 != 2)


def write(path, count):
    if path.endswith(".asc"):
        writer = can.ASCWriter(path)
    elif path.endswith(".blf"):
        writer = can.BLFWriter(path)
    else:
        print("unknown suffix", file=sys.stderr)
        return 2
    for i in range(count):
        writer.on_message_received(frame(i))
    writer.stop()
    print(count)
    return 0


def read(path):
    reader = can.ASCReader(path) if path.endswith(".asc") else can.BLFReader(path)
    out = []
    for m in reader:
        if m.is_error_frame:
            continue
        out.append({
            "id": m.arbitration_id,
            "ext": bool(m.is_extended_id),
            "rtr": bool(m.is_remote_frame),
            "fd": bool(m.is_fd),
            "brs": bool(m.bitrate_switch),
            "data": "" if m.is_remote_frame else bytes(m.data).hex().upper(),
            "ch": m.channel if m.channel is not None else -1,
            "rx": bool(m.is_rx),
        })
    print(json.dumps(out))
    return 0


if __name__ == "__main__":
    if sys.argv[1] == "write":
        sys.exit(write(sys.argv[2], int(sys.argv[3])))
    sys.exit(read(sys.argv[2]))

"""Trace files for the playback checks, written by python-can.

  traffic_playback.py FILE COUNT
      writes COUNT frames made by the rule in frame() with python-can's
      ASCWriter or BLFWriter (chosen by the suffix of FILE) and prints the
      number written. The test holds what arrives on the far channel against
      the same rule (PlaybackSupport.h, peerFrame).
"""
import sys

import can

FD_LENGTHS = [0, 1, 2, 3, 4, 5, 6, 7, 8, 12, 16, 20, 24, 32, 48, 64]


def frame(i):
    fd = i % 10 == 9
    ext = i % 3 == 1
    remote = (not fd) and i % 50 == 17
    ident = (0x1000000 + i * 13) & 0x1FFFFFFF if ext else (i * 7) & 0x7FF
    n = FD_LENGTHS[(i // 10) % 16] if fd else i % 9
    if remote:
        data = b""
    else:
        data = bytes((i + k * 31) & 0xFF for k in range(n))
    return can.Message(timestamp=1000.0 + i * 0.0001, arbitration_id=ident, is_extended_id=ext,
                       is_remote_frame=remote, dlc=0 if remote else None, data=data, is_fd=fd,
                       bitrate_switch=fd and (i // 10) % 2 == 1, channel=0, is_rx=True)


def main():
    path, count = sys.argv[1], int(sys.argv[2])
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


if __name__ == "__main__":
    sys.exit(main())

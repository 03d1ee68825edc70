"""Peer checks of the trace files against python-can.

  traffic_peer.py read FILE
      reads an ASC or BLF file with python-can and prints its frames as JSON.
  traffic_peer.py write FILE [compression] [container_size]
      writes the fixed frame set below with python-can's ASCWriter or
      BLFWriter (with error frames and events among the frames) and prints
      the frames written as JSON.
  traffic_peer.py write-seq FILE COUNT [compression] [container_size]
      writes COUNT frames with python-can's BLFWriter, each one told apart by
      its identifier, data and time (classic and CAN FD frames, standard and
      extended identifiers), and prints nothing.
"""
import json
import sys

import can

FD_LENGTHS = [0, 1, 2, 3, 4, 5, 6, 7, 8, 12, 16, 20, 24, 32, 48, 64]


def frame_set():
    msgs = []
    t = 100.0
    i = 0
    # Classic frames, standard and extended, both directions, channels 0..2.
    for dlc in range(9):
        for ext in (False, True):
            msgs.append(can.Message(timestamp=t + i * 0.007, arbitration_id=(0x100 + i) if not ext else (0x1ABC000 + i),
                                    is_extended_id=ext, data=bytes((i + k) & 0xFF for k in range(dlc)),
                                    channel=i % 3, is_rx=(i % 2 == 0)))
            i += 1
    # Remote frames.
    for ext in (False, True):
        msgs.append(can.Message(timestamp=t + i * 0.007, arbitration_id=0x55 + i, is_extended_id=ext,
                                is_remote_frame=True, dlc=0, channel=0, is_rx=True))
        i += 1
    # CAN FD frames of every length, with and without bit-rate switch.
    for n in FD_LENGTHS:
        for brs in (False, True):
            msgs.append(can.Message(timestamp=t + i * 0.007, arbitration_id=0x200 + i, is_extended_id=brs,
                                    data=bytes((3 * i + k) & 0xFF for k in range(n)), is_fd=True,
                                    bitrate_switch=brs, channel=1, is_rx=not brs))
            i += 1
    return msgs


def as_json(msg, t0):
    return {
        "t": round((msg.timestamp - t0) * 1000, 3),
        "id": msg.arbitration_id,
        "ext": bool(msg.is_extended_id),
        "rtr": bool(msg.is_remote_frame),
        "err": bool(msg.is_error_frame),
        "fd": bool(msg.is_fd),
        "brs": bool(msg.bitrate_switch),
        "esi": bool(msg.error_state_indicator),
        "len": len(msg.data) if not msg.is_remote_frame else 0,
        "dlc": msg.dlc,
        "data": bytes(msg.data).hex().upper(),
        "ch": msg.channel if msg.channel is not None else -1,
        "rx": bool(msg.is_rx),
    }


def read(path):
    reader = can.ASCReader(path) if path.endswith(".asc") else can.BLFReader(path)
    msgs = list(reader)
    frames = [m for m in msgs if not m.is_error_frame]
    t0 = frames[0].timestamp if frames else 0.0
    print(json.dumps([as_json(m, t0) for m in frames]))


def write(path, compression, container):
    msgs = frame_set()
    if path.endswith(".asc"):
        writer = can.ASCWriter(path)
    else:
        kwargs = {"compression_level": compression}
        if container:
            kwargs["max_container_size"] = container
        writer = can.BLFWriter(path, **kwargs)
    for k, m in enumerate(msgs):
        writer.on_message_received(m)
        if k % 7 == 3:
            writer.on_message_received(can.Message(timestamp=m.timestamp, is_error_frame=True, channel=0))
        if k % 11 == 5 and hasattr(writer, "log_event"):
            writer.log_event("marker %d" % k, m.timestamp)
    writer.stop()
    t0 = msgs[0].timestamp
    print(json.dumps([as_json(m, t0) for m in msgs]))


def write_seq(path, count, compression, container):
    kwargs = {"compression_level": compression}
    if container:
        kwargs["max_container_size"] = container
    writer = can.BLFWriter(path, **kwargs)
    for i in range(count):
        fd = i % 3 == 2
        ext = i % 5 == 0
        n = (12 if i % 2 else 64) if fd else 8
        data = bytes([i >> 8 & 0xFF, i & 0xFF] + [(i * 7 + k) & 0xFF for k in range(n - 2)])
        writer.on_message_received(can.Message(timestamp=1.0 + i * 0.0005, arbitration_id=(0x1000000 + i) if ext else (0x100 + i % 0x600),
                                               is_extended_id=ext, data=data, is_fd=fd, bitrate_switch=fd and i % 2 == 0,
                                               channel=i % 2, is_rx=True))
    writer.stop()


if __name__ == "__main__":
    if sys.argv[1] == "write-seq":
        write_seq(sys.argv[2], int(sys.argv[3]), int(sys.argv[4]) if len(sys.argv) > 4 else 6,
                  int(sys.argv[5]) if len(sys.argv) > 5 else 0)
    elif sys.argv[1] == "read":
        read(sys.argv[2])
    elif sys.argv[1] == "count":
        print(sum(1 for _ in can.BLFReader(sys.argv[2])))
    else:
        compression = int(sys.argv[3]) if len(sys.argv) > 3 else 6
        container = int(sys.argv[4]) if len(sys.argv) > 4 else 0
        write(sys.argv[2], compression, container)

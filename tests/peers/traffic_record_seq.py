"""Peer check of a recording's frames against python-can.

  traffic_record_seq.py FILE
      reads an ASC or BLF file with python-can and prints, as JSON, how many
      frames it holds and the first frame (from 0) whose four data bytes are
      not its own position, big-endian (-1 when every frame carries it).
"""
import json
import sys

import can


def main(path):
    reader = can.ASCReader(path) if path.endswith(".asc") else can.BLFReader(path)
    count = 0
    first_out_of_order = -1
    for msg in reader:
        if msg.is_error_frame:
            continue
        if first_out_of_order < 0 and bytes(msg.data) != count.to_bytes(4, "big"):
            first_out_of_order = count
        count += 1
    print(json.dumps({"count": count, "outOfOrder": first_out_of_order}))


if __name__ == "__main__":
    main(sys.argv[1])

#!/usr/bin/python3
"""Golden bytes of the classic adapter and the Kvaser interfaces, worked out
from the adapters' byte tables independently of the C++ builders. Prints one
"name hex" line per packet; the C++ test builds the same packets and compares.
"""
import struct


def out(name, data):
    print(name, bytes(data).hex())


def chan(c):
    return 0x10 if c == 1 else 0x00


# -- classic adapter commands
out('cls_hw', [0x12, 0x01, 0x01, 0x01])
out('cls_fw', [0x12, 0x12, 0x01, 0x01])
out('cls_count', [0x12, 0x13, 0x01, 0x00])
for c in (0, 1):
    for mode in (0, 1, 2):
        m = (0x80 if c == 0 else 0x90) if mode == 1 else (0x00 if c == 0 else 0x10)
        out('cls_mode_%d_%d' % (c, mode), [0x12, 0x03, 0x04, 0x00, m, 0x00, 0x1C])
    for flt in (0, 1):
        f = chan(c) | (0x40 if flt else 0)
        out('cls_acc_%d_%d' % (c, flt), bytes([0x12, 0x04, 0x0A, 0x00, f]) + struct.pack('>II', 0x12345678, 0x80FF00AA))
    out('cls_start_%d' % c, [0x12, 0x0E, 0x02, 0x00, chan(c)])
    out('cls_reset_%d' % c, [0x12, 0x0F, 0x02, 0x00, chan(c)])
    out('cls_timing_%d' % c, [0x12, 0xA4, 0x01, c])
    out('cls_state_%d' % c, [0x12, 0x80, 0x01, c, 0x00, 0x00])
out('cls_relay_set', [0x12, 0xB1, 0x02, 0x01, 0x00])
out('cls_relay_get', [0x12, 0xB2, 0x02, 0x00, 0x00])
out('cls_direct', bytes([0x12, 0xA7]) + bytes(range(100))[:62])


# -- classic transmit groups: 7 frames on channel 1 go out as 3, 3 and 1
def frame_record(c, ident, ext, rtr, length, data, send_type):
    word = (ident << 3) if ext else (ident << 5)
    flags = (0x80 if ext else 0) | (0x40 if rtr else 0) | chan(c) | (length & 0x0F)
    body = bytes(data[:min(length, 8)])
    return bytes([0, 0, 0, 0, 0xC6, send_type, flags]) + struct.pack('<I', word & 0xFFFFFFFF) + body.ljust(8, b'\0')


def tx_frames():
    frames = []
    for i in range(7):
        ext = i % 2 == 1
        ident = (0x18FF0000 + i) if ext else (0x100 + i)
        frames.append((ident, ext, i == 3, i + 2, [i * 16 + k for k in range(8)], 1 if i == 6 else 0))
    return frames


frames = tx_frames()
groups = [frames[0:3], frames[3:6], frames[6:7]]
for n, g in enumerate(groups):
    out('cls_tx_group_%d' % n, b''.join(frame_record(1, *f) for f in g))

# identifier words
for ident, ext in ((0x7FF, False), (0x123, False), (0x1FFFFFFF, True), (0x18DAF110, True)):
    word = (ident << 3) if ext else (ident << 5)
    out('cls_idword_%x_%d' % (ident, ext), struct.pack('<I', word & 0xFFFFFFFF))


# received stream records
def rx_record(c, ident, ext, rtr, length, data, stamp):
    word = (ident << 3) if ext else (ident << 5)
    flags = (0x80 if ext else 0) | (0x40 if rtr else 0) | chan(c) | (length & 0x0F)
    return (struct.pack('<I', stamp)[:3] + bytes([0x01, 0x00, 0x00, flags]) + struct.pack('<I', word & 0xFFFFFFFF)
            + bytes(data[:8]).ljust(8, b'\0'))


out('cls_rx_std', rx_record(0, 0x321, False, False, 8, list(range(1, 9)), 0x123456))
out('cls_rx_ext_rtr', rx_record(1, 0x1ABCDEF0, True, True, 0, [], 0xFFFFFF))

# -- Kvaser, 20-byte commands
out('kv20_bus', bytes([12, 16, 0, 2]) + struct.pack('<I', 500000) + bytes([13, 2, 1, 1]))
out('kv20_start', [4, 26, 0, 3])
out('kv20_stop', [4, 28, 0, 3])


def kv20_tx(c, ident, ext, rtr, length, data):
    b = bytearray(20)
    b[0] = 20
    b[2] = c
    if ext:
        b[1] = 15
        b[4] = (ident >> 24) & 0x1F
        b[5] = (ident >> 18) & 0x3F
        b[6] = (ident >> 14) & 0x0F
        b[7] = (ident >> 6) & 0xFF
        b[8] = ident & 0x3F
    else:
        b[1] = 13
        b[4] = (ident >> 6) & 0x1F
        b[5] = ident & 0x3F
    b[9] = length & 0x0F
    b[10:18] = bytes(data).ljust(8, b'\0')
    b[19] = 0x10 if rtr else 0
    return b


out('kv20_tx_std', kv20_tx(1, 0x5A5, False, False, 8, range(0xA0, 0xA8)))
out('kv20_tx_ext_rtr', kv20_tx(5, 0x1BCDEF12, True, True, 4, range(4)))


def kv20_rx(c, ident, ext, rtr, length, data):
    b = bytearray(24)
    b[0] = 24
    b[1] = 14 if ext else 12
    b[2] = c
    b[3] = 0x10 if rtr else 0
    top = (ident >> 18) if ext else ident
    b[10] = (top >> 6) & 0x1F
    b[11] = top & 0x3F
    if ext:
        b[12] = (ident >> 14) & 0x0F
        b[13] = (ident >> 6) & 0xFF
        b[14] = ident & 0x3F
    b[15] = length & 0x0F
    b[16:24] = bytes(data).ljust(8, b'\0')
    return b


out('kv20_rx_std', kv20_rx(2, 0x7E8, False, False, 8, range(8)))
out('kv20_rx_ext', kv20_rx(6, 0x18DAF110, True, False, 3, [1, 2, 3]))


# -- Kvaser, 32-byte commands
def kv32(cmd, c):
    b = bytearray(32)
    b[0] = cmd
    b[1] = c & 0x3F
    return b


b = kv32(16, 4)
b[4:8] = struct.pack('<I', 250000)
b[8:12] = bytes([13, 2, 1, 1])
out('kv32_bus_classic', b)
b = kv32(69, 4)
b[4:8] = struct.pack('<I', 500000)
b[8:12] = bytes([31, 8, 8, 1])
out('kv32_bus_fd_a', b)
b = kv32(69, 4)
b[16:20] = struct.pack('<I', 2000000)
b[20:24] = bytes([7, 2, 2, 0])
b[24] = 1
out('kv32_bus_fd_d', b)
b[24] = 2
out('kv32_bus_fd_d_std0', b)
out('kv32_start', kv32(26, 9))
out('kv32_stop', kv32(28, 9))
b = kv32(33, 3)
b[4:8] = struct.pack('<I', 0x123)
b[8:16] = bytes(range(8))
b[16] = 8
out('kv32_tx_std', b)
b = kv32(33, 3)
b[4:8] = struct.pack('<I', 0x1ABCDEF0 | 0x80000000)
b[16] = 0
b[17] = 0x30
out('kv32_tx_ext_rtr', b)


def source(b, c):
    b[1] |= ((c // 16) & 3) << 6
    w = struct.unpack('<H', bytes(b[2:4]))[0] & 0x0FFF | ((c % 16) << 12)
    b[2:4] = struct.pack('<H', w)


b = bytearray(32)
b[0] = 106
source(b, 13)
b[7] = 0x10
b[14] = 2
b[16:20] = struct.pack('<I', 0x18FF00AA | 0x80000000)
b[20:22] = bytes([0xDE, 0xAD])
out('kv32_rx_classic', b)
lens = [0, 1, 2, 3, 4, 5, 6, 7, 8, 12, 16, 20, 24, 32, 48, 64]
b = bytearray(28 + 12)
b[0] = 0xFF
source(b, 5)
b[4:6] = struct.pack('<H', len(b))
b[6] = 0xE2
b[8:12] = struct.pack('<I', 0x20000)
b[12:16] = struct.pack('<I', 0x2AB)
b[20:24] = struct.pack('<I', 9 << 8)
b[24:28] = struct.pack('<I', 0xCAFE)
b[28:40] = bytes(range(12))
out('kv32_rx_fd', b)
b = bytearray(32)
b[0] = 50
source(b, 7)
out('kv32_ack', b)

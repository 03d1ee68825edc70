#!/usr/bin/python3
"""Golden packets of the CAN FD and recording adapters, worked out from the
adapters' byte tables independently of the C++ builders. Prints one
"name hex" line per packet; the C++ test builds the same packets and compares.
"""
import struct


def timing(word):
    """(prescaler-1, sjw-1, tseg1-1, tseg2-1) of a timing word."""
    return (word >> 22) & 0x3FF, (word >> 15) & 0x7F, word & 0xFF, (word >> 8) & 0x7F


def phase(clock, word):
    pre, sjw, t1, t2 = timing(word)
    return struct.pack('<HHBHH', clock, pre, sjw, t1, t2)


def out(name, data):
    print(name, bytes(data).hex())


# -- commands of the CAN FD adapters
out('fd_hw', [0x55, 0x01, 0x01, 0x01])
out('fd_fw', [0x55, 0x12, 0x01, 0x01])
out('fd_count', [0x55, 0x13, 0x01, 0x01])
for ch in (0, 3, 7):
    out('fd_start_%d' % ch, [0x55, 0x0E, 0x02, 0x00, ch << 4])
    out('fd_reset_%d' % ch, [0x55, 0x0F, 0x02, 0x00, ch << 4])
    out('fd_fclear_%d' % ch, bytes([0x55, 0x04, 0x0A, 0x01, ch << 4]) + bytes(8))
    out('fd_fack_%d' % ch, bytes([0x55, 0x04, 0x0A, 0x04, ch << 4]) + bytes(8))
    out('fd_fmode2_%d' % ch, bytes([0x55, 0x04, 0x0A, 0x05, ch << 4]) + bytes(8))
    out('fd_status_%d' % ch, [0x55, 0x16, ch * 16 + 1, 0x00])
out('fd_frange_std', bytes([0x55, 0x04, 0x0A, 0x02, 0x10]) + struct.pack('<II', 0x123 & 0x7FF, 0xFFFF & 0x7FF))
out('fd_frange_ext', bytes([0x55, 0x04, 0x0A, 0x03, 0x20]) + struct.pack('<II', 0x18FF0000, 0xFFFFFFFF & 0x1FFFFFFF))

# -- channel initialisation: 500 kbit/s arbitration, 2 Mbit/s data at 60 MHz,
#    standard 1, mode 0 on channel 1; and 1M/5M at 80 MHz given as words
out('fd_init_60', bytes([0x55, 0x03, 1, 0x01, 1, 0]) + phase(60, 0x0001975E) + phase(60, 0x0041020A))
out('fd_init_80', bytes([0x55, 0x03, 5, 0x01, 0, 2]) + phase(80, 0x12345678) + phase(80, 0x00010207))

# -- transmit: 25 classic frames on channel 2, send type 0, id = 0x100 + i,
#    length i % 9, data bytes i, i+1, ...; every fifth frame extended, every
#    seventh remote. Packets of 10, 10 and 5.
def classic_record(ch, i):
    ext = i % 5 == 0
    rtr = i % 7 == 0
    ident = (0x100 + i) | (0x1ABC0000 if ext else 0)
    ln = 0 if rtr else i % 9
    data = bytes((i + k) & 0xFF for k in range(ln)) + bytes(8 - ln)
    flags = (0x02 if rtr else 0) | (0x04 if ext else 0)
    return bytes([(ch << 4) | (i % 3), flags, 0, 0, 0, 0]) + struct.pack('<I', ident) + bytes([ln]) + data


def packet(records):
    payload = b''.join(records)
    return bytes([0x55, 0xF2, 0, 0]) + struct.pack('<H', len(payload)) + bytes([len(records)]) + payload


recs = [classic_record(2, i) for i in range(25)]
for n, (a, b) in enumerate(((0, 10), (10, 20), (20, 25))):
    out('tx_classic_%d' % n, packet(recs[a:b]))


def fd_record(ch, i):
    ext = i % 2 == 1
    ln = [0, 1, 8, 12, 16, 20, 24, 32, 48, 64][i % 10]
    data = bytes((3 * i + k) & 0xFF for k in range(ln)) + bytes(64 - ln)
    flags = 0x01 | (0x04 if ext else 0) | (0x08 if i % 3 == 0 else 0) | (0x10 if i % 4 == 0 else 0)
    ident = (0x7FF - i) if not ext else (0x1FFFF000 + i)
    return bytes([(ch << 4) | 1, flags, 0, 0, 0, 0]) + struct.pack('<I', ident) + bytes([ln]) + data


recs = [fd_record(7, i) for i in range(12)]
out('tx_fd_0', packet(recs[0:10]))
out('tx_fd_1', packet(recs[10:12]))


# -- recording adapter
def rec_setting(ch, en, std, mode, aclk, dclk, aword, dword, a, b, c, d, e):
    return (bytes([0x55, 0x03, ch, 1 if en else 0, std, mode, aclk, 0]) + timing_bytes(aword) +
            bytes([dclk, 0]) + timing_bytes(dword) + bytes([(1 if a else 0) | (2 if d else 0), b, c, e]))


def timing_bytes(word):
    pre, sjw, t1, t2 = timing(word)
    return struct.pack('<HBHH', pre, sjw, t1, t2)


out('rec_set_0', rec_setting(0, 1, 1, 0, 60, 60, 0x0001975E, 0x0041020A, 1, 7, 9, 0, 200))
out('rec_set_1', rec_setting(1, 0, 0, 3, 80, 40, 0x00C1BBEE, 0x00010207, 0, 0, 0, 5, 0))
out('rec_fclear_1', bytes([0x55, 0x04, 0x00, 0x01]) + bytes(9))
out('rec_fadd_0', bytes([0x55, 0x04, 0x01, 0x00, 0x01]) + struct.pack('<II', 0x18DA00F1, 0x18DAFFF1))
out('rec_fenable_1', bytes([0x55, 0x04, 0x02, 0x01]) + bytes(9))
out('rec_fdisable_0', bytes([0x55, 0x04, 0x03, 0x00]) + bytes(9))
out('rec_finfo_1', [0x55, 0x05, 0x00, 0x01, 0x00, 0x00])
out('rec_fentry_300', bytes([0x55, 0x05, 0x01, 0x00]) + struct.pack('<H', 300))
out('rec_get_1', [0x55, 0xA4, 0x01])

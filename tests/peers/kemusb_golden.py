#!/usr/bin/python3
"""Golden packets of the CAN FD and recording adapters, worked out from the
adapters' byte tables independently of the C++ builders. Prints one
"name hex" line per packet; the C++ test builds the same packets and compares.

With the argument "replies" it prints adapter replies instead, each with the
record the library must fill from it: recording-adapter setting replies of
several lengths and CAN FD channel-status replies. Every field of a reply
holds a value of its own, so that a parser reading one field for another
shows.
"""
import struct
import sys


def timing(word):
    """(prescaler-1, sjw-1, tseg1-1, tseg2-1) of a timing word."""
    return (word >> 22) & 0x3FF, (word >> 15) & 0x7F, word & 0xFF, (word >> 8) & 0x7F


def phase(clock, word):
    pre, sjw, t1, t2 = timing(word)
    return struct.pack('<HHBHH', clock, pre, sjw, t1, t2)


def out(name, data):
    print(name, bytes(data).hex())


def packets():
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
    out('fd_frange_ext',
        bytes([0x55, 0x04, 0x0A, 0x03, 0x20]) + struct.pack('<II', 0x18FF0000, 0xFFFFFFFF & 0x1FFFFFFF))

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


# -- replies --------------------------------------------------------------------

def le16(b, at):
    return b[at] | b[at + 1] << 8


def word_from(r, at):
    """A timing word rebuilt from its 7 reply bytes: prescaler-1 (u16 LE),
    SJW-1 (u8), TSEG1-1 (u16 LE), TSEG2-1 (u16 LE)."""
    pre, sjw, t1, t2 = le16(r, at), r[at + 2], le16(r, at + 3), le16(r, at + 5)
    return (pre << 22 | sjw << 15 | t2 << 8 | t1) & 0xFFFFFFFF


SETTING_FILL = 0xA5  # what the caller's record holds before the call


def setting_reply(ch, en, std, mode, aclk, aphase, dclk, dphase, flags, b, c, e, length=28):
    """A setting reply as the recording adapter sends it: 55 A4 channel,
    then the layout of the setting command from byte 3 on. Bytes 7 and 16
    are not read; they carry 0x99 here."""
    r = bytes([0x55, 0xA4, ch, en, std, mode, aclk, 0x99]) + struct.pack('<HBHH', *aphase)
    r += bytes([dclk, 0x99]) + struct.pack('<HBHH', *dphase) + bytes([flags, b, c, e])
    assert len(r) == 28
    return r[:length]


def setting_record(r):
    """The 21-byte setting record filled from a reply; None when the reply
    is refused (shorter than 26 bytes). Fields whose bytes the reply does
    not carry keep the caller's value."""
    if len(r) < 26:
        return None
    rec = bytearray([SETTING_FILL] * 21)
    rec[1] = r[3] & 1   # channel enabled
    rec[2] = r[4] & 1   # CAN FD standard
    rec[3] = r[5] & 1   # mode
    rec[4] = r[6]       # arbitration clock
    rec[5] = r[15]      # data clock
    rec[8:12] = struct.pack('<I', word_from(r, 8))
    rec[12:16] = struct.pack('<I', word_from(r, 17))
    rec[16] = r[24] & 1          # option flag A
    rec[17] = r[25]              # option value B
    if len(r) > 26:
        rec[18] = r[26]          # option value C
    rec[19] = (r[24] >> 1) & 1   # option flag D
    if len(r) > 27:
        rec[20] = r[27]          # option value E
    return bytes(rec)


def status_reply(ch, word):
    """55 16, the request's channel byte, the status word (u32 LE), 4 bytes."""
    return bytes([0x55, 0x16, ch * 16 + 1]) + struct.pack('<I', word) + bytes(4)


def error_record(word):
    """The 8-byte error record: u32 error code, bytes 4 to 7."""
    code = 0
    rec = bytearray(8)
    if word & 0x01:
        code |= 0x02
    if word & 0x02:
        code |= 0x04
        rec[4] = 1
    if word & 0x04:
        code |= 0x20
    if word & 0x70:
        code |= 0x08
        rec[7] = 1
    rec[0:4] = struct.pack('<I', code)
    return bytes(rec)


def status_record(word):
    """The 12-byte status record: byte 5 0x60, byte 6 status bits 24-31,
    byte 7 status bits 16-23, the rest 0. Byte 4 carries status bits 4-6:
    the words of the cases below keep those bits clear."""
    assert word & 0x70 == 0
    rec = bytearray(12)
    rec[5] = 0x60
    rec[6] = (word >> 24) & 0xFF
    rec[7] = (word >> 16) & 0xFF
    return bytes(rec)


def replies():
    cases = [
        # enabled 1, standard 0, mode 1; flag A only
        setting_reply(0, 0x01, 0x00, 0x01, 60, (0x0003, 0x05, 0x002C, 0x0011), 80, (0x0001, 0x02, 0x000B, 0x0006),
                      0x01, 0x0B, 0x2D, 0xC8),
        # enabled 0 (other bits set), standard 1, mode 0; flag D only; a
        # prescaler above 255
        setting_reply(1, 0xFE, 0x03, 0x02, 40, (0x0102, 0x7F, 0x00FF, 0x007E), 20, (0x0021, 0x10, 0x0042, 0x0013),
                      0x02, 0x77, 0x01, 0x3C),
        # 27 bytes: option value E is not there
        setting_reply(0, 0x00, 0x01, 0x00, 24, (0x0007, 0x01, 0x0010, 0x0003), 48, (0x0000, 0x00, 0x0004, 0x0001),
                      0xFD, 0x44, 0x55, 0x66, length=27),
        # 26 bytes: option values C and E are not there
        setting_reply(1, 0x01, 0x01, 0x01, 16, (0x03FF, 0x01, 0x0002, 0x0002), 32, (0x0010, 0x03, 0x0030, 0x0050),
                      0x03, 0x88, 0x99, 0xAA, length=26),
        # 25 bytes: refused, the record stays as it was
        setting_reply(0, 0x01, 0x01, 0x01, 60, (0x0001, 0x01, 0x0001, 0x0001), 60, (0x0001, 0x01, 0x0001, 0x0001),
                      0x03, 0x01, 0x02, 0x03, length=25),
    ]
    for k, r in enumerate(cases):
        out('rec_get_reply_%d' % k, r)
        rec = setting_record(r)
        out('rec_get_ok_%d' % k, [1 if rec else 0])
        out('rec_get_record_%d' % k, rec if rec else bytes([SETTING_FILL] * 21))

    words = [0x00000001, 0x00000002, 0x00000004, 0x00000010, 0x00000020, 0x00000040, 0x00000088,
             0xC3A50007, 0x5A3C0000, 0x12FE0070, 0x00000000]
    for k, w in enumerate(words):
        out('fd_status_reply_%d' % k, status_reply(1, w))
        out('fd_errinfo_%d' % k, error_record(w))
        if w & 0x70 == 0:
            out('fd_chstatus_%d' % k, status_record(w))


if len(sys.argv) > 1 and sys.argv[1] == 'replies':
    replies()
else:
    packets()

#!/usr/bin/python3
"""The recording adapter's commands as the adapter receives them, opened with
python3-cryptography's AES-128 and held against the command table.

  devtools_record_cmds.py NAME=HEX ...

HEX is one write on the adapter's command pipe: 12 A7 and the frame. NAME
says which command it must be:

  format       command 5, payload 00
  capacity     command 5, payload 01
  wrtest       command 5, payload 02
  timesync:YYYY-MM-DDTHH:MM:SS
               command 5, payload 03, year (LE), month, day, hour, minute, second
  timeget      command 5, payload 04
  poll-format  command 0xFF, payload 00
  poll-wrtest  command 0xFF, payload 02

Every frame must be enciphered, carry sequence 0, be exactly one block long
and have zero padding and a right check byte. Prints "ok NAME" per write.
"""
import sys
from datetime import datetime

from cryptography.hazmat.primitives.ciphers import Cipher, algorithms, modes

KEY = bytes.fromhex('5e1a9c3f07b2d48e6a0c91f3b7452d86')

TABLE = {
    'format': (5, bytes([0x00])),
    'capacity': (5, bytes([0x01])),
    'wrtest': (5, bytes([0x02])),
    'timeget': (5, bytes([0x04])),
    'poll-format': (0xFF, bytes([0x00])),
    'poll-wrtest': (0xFF, bytes([0x02])),
}


def expected(name):
    if name.startswith('timesync:'):
        t = datetime.strptime(name[len('timesync:'):], '%Y-%m-%dT%H:%M:%S')
        return 5, bytes([0x03, t.year & 0xFF, t.year >> 8, t.month, t.day, t.hour, t.minute, t.second])
    return TABLE[name]


def check(name, wire):
    cmd, payload = expected(name)
    assert wire[:2] == b'\x12\xa7', 'transfer header %s' % wire[:2].hex()
    frame = wire[2:]
    assert frame[:2] == b'\xfe\xef', 'frame header %s' % frame[:2].hex()
    word = frame[2] | frame[3] << 8
    assert word & 0x1000, 'not enciphered'
    total = word & 0xFFF
    body_len = (len(payload) + 5 + 15) // 16 * 16
    assert total == body_len + 4, 'length word %d' % total
    assert len(frame) == total, 'sent %d bytes for a %d-byte frame' % (len(frame), total)
    dec = Cipher(algorithms.AES(KEY), modes.ECB()).decryptor()
    body = dec.update(bytes(frame[4:total])) + dec.finalize()
    plain = bytes(frame[:4]) + body
    assert plain[4] == 0, 'sequence %d' % plain[4]
    assert plain[5:7] == b'\x01\x01', 'bytes 5-6 %s' % plain[5:7].hex()
    assert plain[7] == cmd, 'command %d' % plain[7]
    got = plain[8:8 + len(payload)]
    assert got == payload, 'payload %s, want %s' % (got.hex(), payload.hex())
    assert not any(plain[8 + len(payload):total - 1]), 'padding %s' % plain[8 + len(payload):total - 1].hex()
    assert (sum(plain[:total - 1]) & 0xFF) ^ cmd == plain[total - 1], 'check byte'


def main():
    for arg in sys.argv[1:]:
        name, hexdata = arg.split('=', 1)
        try:
            check(name, bytes.fromhex(hexdata))
        except AssertionError as e:
            print('FAIL %s: %s' % (name, e))
            sys.exit(1)
        print('ok %s' % name)


main()

#!/usr/bin/python3
"""Direct-transfer frames of the adapters' command channel, held against
python3-cryptography's AES-128.

  kemusb_direct.py request SEQ CMD PAYLOADHEX   -> prints an enciphered frame
  kemusb_direct.py check REPLYHEX SEQ CMD PAYLOADHEX
      deciphers a reply frame, checks its header and check byte, and that it
      answers SEQ/CMD with status 1 followed by PAYLOADHEX; prints "ok"
  kemusb_direct.py encrypt HEX / decrypt HEX   -> AES-128-ECB with the key
"""
import sys

from cryptography.hazmat.primitives.ciphers import Cipher, algorithms, modes

KEY = bytes.fromhex('5e1a9c3f07b2d48e6a0c91f3b7452d86')


def ecb(data, enc):
    c = Cipher(algorithms.AES(KEY), modes.ECB())
    op = c.encryptor() if enc else c.decryptor()
    return op.update(data) + op.finalize()


def pack(seq, cmd, payload, encipher=True):
    n = (len(payload) + 5 + 15) // 16 * 16
    frame = bytearray(n + 4)
    word = (n + 4) | (0x1000 if encipher else 0)
    frame[0:4] = bytes([0xFE, 0xEF, word & 0xFF, word >> 8])
    frame[4:8] = bytes([seq, 1, 1, cmd])
    frame[8:8 + len(payload)] = payload
    frame[n + 3] = (sum(frame[:n + 3]) & 0xFF) ^ cmd
    if encipher:
        frame[4:] = ecb(bytes(frame[4:]), True)
    return bytes(frame)


def unpack(frame):
    assert frame[0] == 0xFE and frame[1] == 0xEF, 'header'
    word = frame[2] | frame[3] << 8
    total = word & 0xFFF
    assert total <= len(frame) and (total - 4) % 16 == 0, 'length %d' % total
    body = frame[4:total]
    if word & 0x1000:
        body = ecb(body, False)
    plain = frame[:4] + body
    assert (sum(plain[:-1]) & 0xFF) ^ plain[7] == plain[-1], 'check byte'
    return bool(word & 0x1000), plain[4], plain[7], plain[8:-1]


def main():
    mode = sys.argv[1]
    if mode == 'request':
        print(pack(int(sys.argv[2]), int(sys.argv[3]), bytes.fromhex(sys.argv[4])).hex())
    elif mode == 'check':
        enc, seq, cmd, payload = unpack(bytes.fromhex(sys.argv[2]))
        want = bytes.fromhex(sys.argv[5])
        assert enc, 'reply not enciphered'
        assert seq == int(sys.argv[3]), 'sequence %d' % seq
        assert cmd == int(sys.argv[4]), 'command %d' % cmd
        assert payload[0] == 1, 'status %d' % payload[0]
        assert payload[1:1 + len(want)] == want, 'payload %s' % payload.hex()
        assert not any(payload[1 + len(want):]), 'padding'
        print('ok')
    elif mode == 'encrypt':
        print(ecb(bytes.fromhex(sys.argv[2]), True).hex())
    elif mode == 'decrypt':
        print(ecb(bytes.fromhex(sys.argv[2]), False).hex())


main()

#!/usr/bin/python3
"""Loads libkemusb with the simulated back end and drives a simulated CAN FD
adapter through the KCAN_ functions, with the records declared from their
byte layout (kemusb_records.py). Prints "ok" when every check held.

  kemusb_ctypes.py /path/to/libkemusb.so
"""
import ctypes as C
import sys

from kemusb_records import CAN_OBJ, CANFD_OBJ, FLITER_CONFIG, INITFD_CONFIG, check

lib = C.CDLL(sys.argv[1])
u32 = C.c_uint32
for name, args in {
    'KCAN_OpenDevice': [u32, u32], 'KCAN_CloseDevice': [u32, u32],
    'KCAN_InitCANFD': [u32, u32, u32, C.POINTER(INITFD_CONFIG)],
    'KCAN_SetFliter': [u32, u32, u32, C.POINTER(FLITER_CONFIG)],
    'KCAN_TransmitFD': [u32, u32, u32, C.POINTER(CANFD_OBJ), u32],
    'KCAN_ReceiveFD': [u32, u32, u32, C.POINTER(CANFD_OBJ), u32, C.c_int32],
    'KCAN_Transmit': [u32, u32, u32, C.POINTER(CAN_OBJ), u32],
    'KCAN_Receive': [u32, u32, u32, C.POINTER(CAN_OBJ), u32, C.c_int32],
    'KCAN_GetReceiveNum': [u32, u32, u32, C.c_uint8], 'KCAN_Stop': [u32, u32, u32],
}.items():
    f = getattr(lib, name)
    f.argtypes = args
    f.restype = u32

TYPE = 65  # TRNA701
check(lib.KCAN_OpenDevice(TYPE, 0) == 1, 'open')
cfg = INITFD_CONFIG()
cfg.ArbBaud, cfg.DataBaud, cfg.FdEnable, cfg.Standard = 500000, 2000000, 1, 1
for ch in (0, 1):
    check(lib.KCAN_InitCANFD(TYPE, 0, ch, C.byref(cfg)) == 1, 'init channel %d' % ch)

# A filter on channel 1 that lets 0x100-0x2FF through.
flt = FLITER_CONFIG()
for kind, mode, start, end in ((0, 0, 0, 0), (1, 0, 0x100, 0x2FF), (2, 0, 0, 0)):
    flt.Kind, flt.Mode, flt.Start, flt.End = kind, mode, start, end
    check(lib.KCAN_SetFliter(TYPE, 0, 1, C.byref(flt)) == 1, 'filter step %d' % kind)

frames = (CANFD_OBJ * 4)()
for i, (ident, ln) in enumerate(((0x123, 64), (0x050, 8), (0x2AB, 12), (0x300, 1))):
    frames[i].ID = ident
    frames[i].DataLen = ln
    frames[i].FdFlag = 0x08
    for k in range(64):
        frames[i].Data[k] = (ident + k) & 0xFF
check(lib.KCAN_TransmitFD(TYPE, 0, 0, frames, 4) == 4, 'transmit')

got = (CANFD_OBJ * 8)()
received = []
for _ in range(20):
    n = lib.KCAN_ReceiveFD(TYPE, 0, 1, got, 8, 100)
    # Copies: the receive array is reused by the next call.
    received += [CANFD_OBJ.from_buffer_copy(got[i]) for i in range(n)]
    if len(received) >= 2:
        break
check([f.ID for f in received] == [0x123, 0x2AB], 'received ids %s' % [hex(f.ID) for f in received])
check(received[0].DataLen == 64 and bytes(received[0].Data) == bytes((0x123 + k) & 0xFF for k in range(64)),
      '64 data bytes')
check(received[1].DataLen == 12 and received[1].FdFlag == 0x08, 'length and bit-rate switch')
check(lib.KCAN_ReceiveFD(TYPE, 0, 1, got, 0, -1) == 0, 'count 0 returns at once')

classic = CAN_OBJ()
classic.ID, classic.ExternFlag, classic.DataLen = 0x1ABCDEF0 & 0x1FFFFFFF, 1, 3
classic.Data[0:3] = [1, 2, 3]
check(lib.KCAN_Transmit(TYPE, 0, 1, C.byref(classic), 1) == 1, 'classic transmit')
rx = CAN_OBJ()
check(lib.KCAN_Receive(TYPE, 0, 0, C.byref(rx), 1, 1000) == 1, 'classic receive')
check(rx.ID == 0x1ABCDEF0 and rx.ExternFlag == 1 and rx.DataLen == 3 and list(rx.Data[0:3]) == [1, 2, 3],
      'classic frame')

check(lib.KCAN_Stop(TYPE, 0, 0) == 1, 'stop')
check(lib.KCAN_CloseDevice(TYPE, 0) == 1, 'close')
check(lib.KCAN_CloseDevice(TYPE, 0) == 0, 'second close')
print('ok')

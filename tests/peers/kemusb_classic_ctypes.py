#!/usr/bin/python3
"""Loads libkemusb with the simulated back end and drives the simulated
classic adapter (type 3) through the KCAN_ functions: two channels on one
bus, frames both ways, the relay and bus-timing queries. The records are
declared from their byte layout (kemusb_records.py). Prints "ok" when
every check held.

  kemusb_classic_ctypes.py /path/to/libkemusb.so
"""
import ctypes as C
import sys

from kemusb_records import CAN_OBJ, INIT_CONFIG, check

lib = C.CDLL(sys.argv[1])
u32, u8 = C.c_uint32, C.c_uint8
pu8 = C.POINTER(u8)
for name, args in {
    'KCAN_OpenDevice': [u32, u32], 'KCAN_CloseDevice': [u32, u32],
    'KCAN_InitCAN': [u32, u32, u32, C.POINTER(INIT_CONFIG)],
    'KCAN_Transmit': [u32, u32, u32, C.POINTER(CAN_OBJ), u32],
    'KCAN_Receive': [u32, u32, u32, C.POINTER(CAN_OBJ), u32, C.c_int32],
    'KCAN_GetReceiveNum': [u32, u32, u32, u8], 'KCAN_Stop': [u32, u32, u32],
    'KCAN_DevRelayStatusSet': [u32, u32, u8, u8], 'KCAN_DevRelayStatusGet': [u32, u32, pu8, pu8],
    'KCAN_DevBaudParaGet': [u32, u32, u32, pu8, pu8],
    'KCAN_DevChStateGet': [u32, u32, u32, pu8, pu8, pu8],
}.items():
    f = getattr(lib, name)
    f.argtypes = args
    f.restype = u32
# The other families are exported too.
for name in ('VCI_OpenDevice', 'VCI_CloseDevice', 'VCI_InitCAN', 'VCI_Receive', 'VCI_Transmit', 'VCI_ReadBoardInfo',
             'VCI_ConnectDevice', 'VCI_FindUsbDevice2', 'KVCI_InitCAN', 'KVCI_Transmit', 'KVCI_Receive'):
    check(hasattr(lib, name), 'export ' + name)

TYPE = 3
check(lib.KCAN_OpenDevice(TYPE, 0) == 1, 'open')
check(lib.KCAN_OpenDevice(TYPE, 1) == 0xFFFFFFFF, 'no second adapter')
cfg = INIT_CONFIG(AccCode=0, AccMask=0xFFFFFFFF, Timing0=0x00, Timing1=0x1C)  # 500 kbit/s
for ch in (0, 1):
    check(lib.KCAN_InitCAN(TYPE, 0, ch, C.byref(cfg)) == 1, 'init channel %d' % ch)


def receive(ch, want):
    got = []
    buf = (CAN_OBJ * 64)()
    for _ in range(100):
        n = lib.KCAN_Receive(TYPE, 0, ch, buf, 64, 50)
        got.extend(CAN_OBJ.from_buffer_copy(buf[i]) for i in range(n))
        if len(got) >= want:
            break
    return got


for src, dst in ((0, 1), (1, 0)):
    frames = (CAN_OBJ * 5)()
    for i in range(5):
        f = frames[i]
        f.ID = 0x18FEF100 + i if i % 2 else 0x200 + i
        f.ExternFlag = i % 2
        f.RemoteFlag = 1 if i == 4 else 0
        f.DataLen = i + 3
        for k in range(8):
            f.Data[k] = (src * 0x40 + i * 8 + k) & 0xFF
    check(lib.KCAN_Transmit(TYPE, 0, src, frames, 5) == 5, 'transmit %d' % src)
    got = receive(dst, 5)
    check(len(got) == 5, 'received on %d: %d' % (dst, len(got)))
    for i, g in enumerate(got):
        f = frames[i]
        check(g.ID == f.ID and g.ExternFlag == f.ExternFlag and g.RemoteFlag == f.RemoteFlag, 'ids %d' % i)
        check(g.DataLen == f.DataLen and bytes(g.Data)[:g.DataLen] == bytes(f.Data)[:f.DataLen], 'data %d' % i)
        check(g.TimeFlag == 1, 'time flag')
    check(lib.KCAN_GetReceiveNum(TYPE, 0, src, 0) == 0, 'sender hears nothing')

a, b = u8(9), u8(9)
check(lib.KCAN_DevRelayStatusSet(TYPE, 0, 0, 1) == 1, 'relay set')
check(lib.KCAN_DevRelayStatusGet(TYPE, 0, C.byref(a), C.byref(b)) == 1 and (a.value, b.value) == (0, 1), 'relay get')
t0, t1 = u8(0xEE), u8(0xEE)
check(lib.KCAN_DevBaudParaGet(TYPE, 0, 1, C.byref(t0), C.byref(t1)) == 1 and (t0.value, t1.value) == (0x00, 0x1C),
      'bus timing')
s1, s2, s3 = u8(), u8(), u8(0xEE)
check(lib.KCAN_DevChStateGet(TYPE, 0, 0, C.byref(s1), C.byref(s2), C.byref(s3)) == 1 and s3.value == 0,
      'channel state')
check(lib.KCAN_DevRelayStatusGet(65, 0, C.byref(a), C.byref(b)) == 0, 'relay of a CAN FD type')
check(lib.KCAN_Stop(TYPE, 0, 0) == 1, 'stop')
check(lib.KCAN_CloseDevice(TYPE, 0) == 1, 'close')
check(lib.KCAN_CloseDevice(TYPE, 0) == 0, 'close again')
print('ok')

"""The records of libkemusb's KCAN_ functions, declared from their byte
layout (not from the library's headers), shared by the ctypes peers. Also
the simulated back end for the library the peer loads, and the check that
ends a peer with a message.
"""
import ctypes as C
import os
import sys

os.environ['KEMUSB_BACKEND'] = 'sim'
os.environ.pop('KEMUSB_SIM_CONFIG', None)


class CAN_OBJ(C.Structure):
    _pack_ = 1
    _fields_ = [('ID', C.c_uint32), ('TimeStamp', C.c_uint32), ('TimeFlag', C.c_uint8),
                ('SendType', C.c_uint8), ('RemoteFlag', C.c_uint8), ('ExternFlag', C.c_uint8),
                ('DataLen', C.c_uint8), ('Reserved', C.c_uint8 * 3), ('Data', C.c_uint8 * 8)]


class CANFD_OBJ(C.Structure):
    _pack_ = 1
    _fields_ = [('ID', C.c_uint32), ('TimeStamp', C.c_uint32), ('FdFlag', C.c_uint8),
                ('SendType', C.c_uint8), ('RemoteFlag', C.c_uint8), ('ExternFlag', C.c_uint8),
                ('DataLen', C.c_uint8), ('Reserved', C.c_uint8 * 3), ('Data', C.c_uint8 * 64)]


class INIT_CONFIG(C.Structure):
    _pack_ = 1
    _fields_ = [('AccCode', C.c_uint32), ('AccMask', C.c_uint32), ('Reserved', C.c_uint32),
                ('Filter', C.c_uint8), ('Timing0', C.c_uint8), ('Timing1', C.c_uint8), ('Mode', C.c_uint8)]


class INITFD_CONFIG(C.Structure):
    _pack_ = 1
    _fields_ = [('ArbBaud', C.c_uint32), ('DataBaud', C.c_uint32), ('ArbTiming', C.c_uint32),
                ('DataTiming', C.c_uint32), ('Mode', C.c_uint8), ('FdEnable', C.c_uint8),
                ('Standard', C.c_uint8), ('Reserved0', C.c_uint8 * 5), ('KvArbBaud', C.c_uint32),
                ('KvArbTseg1', C.c_uint8), ('KvArbTseg2', C.c_uint8), ('KvArbSjw', C.c_uint8),
                ('KvSamplePoints', C.c_uint8), ('Reserved1', C.c_uint8 * 8), ('KvDataBaud', C.c_uint32),
                ('KvDataTseg1', C.c_uint8), ('KvDataTseg2', C.c_uint8), ('KvDataSjw', C.c_uint8),
                ('KvDataPhase4', C.c_uint8), ('Reserved2', C.c_uint8 * 8)]


class FLITER_CONFIG(C.Structure):
    _pack_ = 1
    _fields_ = [('Kind', C.c_uint8), ('Reserved0', C.c_uint8), ('Mode', C.c_uint8), ('Reserved1', C.c_uint8),
                ('Start', C.c_uint32), ('End', C.c_uint32), ('Reserved2', C.c_uint32)]


def check(cond, what):
    if not cond:
        print('FAILED:', what)
        sys.exit(1)


check(C.sizeof(CAN_OBJ) == 24 and CAN_OBJ.Data.offset == 16, 'CAN_OBJ layout')
check(C.sizeof(CANFD_OBJ) == 80 and CANFD_OBJ.Data.offset == 16, 'CANFD_OBJ layout')
check(C.sizeof(INIT_CONFIG) == 16 and INIT_CONFIG.Timing0.offset == 13, 'INIT_CONFIG layout')
check(C.sizeof(INITFD_CONFIG) == 56 and INITFD_CONFIG.KvDataBaud.offset == 40, 'INITFD_CONFIG layout')
check(C.sizeof(FLITER_CONFIG) == 16 and FLITER_CONFIG.Start.offset == 4, 'FLITER_CONFIG layout')

#!/usr/bin/python3
"""Drives libkemsig through ctypes, with the records declared here from their
published layout: loads a DBC file, reads messages and value descriptions,
decodes and encodes frames, converts values.

  kemsig_ctypes.py LIBRARY DBCFILE     (DBCFILE: the hand-written ASCII fixture)
Prints "ctypes: ok" and exits 0 when every check holds.
"""
import ctypes as C
import sys


class DbcSignal(C.Structure):
    _fields_ = [
        ("nStartBit", C.c_int32), ("nLen", C.c_int32), ("nFactor", C.c_double), ("nOffset", C.c_double),
        ("nMin", C.c_double), ("nMax", C.c_double), ("nRawValue", C.c_uint64), ("isSigned", C.c_uint8),
        ("isMotorola", C.c_uint8), ("multiplexerType", C.c_uint8), ("valType", C.c_uint8),
        ("multiplexerValue", C.c_int32), ("unit", C.c_char * 11), ("strName", C.c_char * 128),
        ("strComment", C.c_char * 201), ("reserved", C.c_uint8 * 4),
    ]


class DbcMessage(C.Structure):
    _fields_ = [
        ("nSignalCount", C.c_uint32), ("nID", C.c_uint32), ("nSize", C.c_uint32), ("reserved", C.c_uint32),
        ("nCycleTime", C.c_double), ("nExtend", C.c_uint8), ("padding0", C.c_uint8 * 7),
        ("sSignals", DbcSignal * 256), ("strName", C.c_char * 128), ("strComment", C.c_char * 201),
        ("padding1", C.c_uint8 * 7),
    ]


class DbcValDescPair(C.Structure):
    _fields_ = [("value", C.c_double), ("text", C.c_char * 136)]


class CanObj(C.Structure):
    _fields_ = [("ID", C.c_uint32), ("TimeStamp", C.c_uint32), ("TimeFlag", C.c_uint8), ("SendType", C.c_uint8),
                ("RemoteFlag", C.c_uint8), ("ExternFlag", C.c_uint8), ("DataLen", C.c_uint8),
                ("Reserved", C.c_uint8 * 3), ("Data", C.c_uint8 * 8)]


class CanFdObj(C.Structure):
    _fields_ = CanObj._fields_[:-1] + [("Data", C.c_uint8 * 64)]


failures = []


def check(cond, what):
    if not cond:
        failures.append(what)


def layout():
    check(C.sizeof(DbcSignal) == 400, "DbcSignal size")
    check(C.sizeof(DbcMessage) == 102768, "DbcMessage size")
    check(C.sizeof(DbcValDescPair) == 144, "DbcValDescPair size")
    check(C.sizeof(CanObj) == 24 and C.sizeof(CanFdObj) == 80, "frame record sizes")
    for name, off in (("nRawValue", 40), ("isSigned", 48), ("multiplexerValue", 52), ("unit", 56),
                      ("strName", 67), ("strComment", 195)):
        check(getattr(DbcSignal, name).offset == off, "DbcSignal." + name)
    for name, off in (("nCycleTime", 16), ("nExtend", 24), ("sSignals", 32), ("strName", 102432),
                      ("strComment", 102560)):
        check(getattr(DbcMessage, name).offset == off, "DbcMessage." + name)


def bind(lib):
    P = C.c_void_p
    sigs = {
        "KDBC_Init": (P, []),
        "KDBC_LoadFile": (C.c_uint8, [P, C.c_char_p]),
        "KDBC_SetProtocol": (C.c_uint8, [P, C.c_int32]),
        "KDBC_GetProtocol": (C.c_uint8, [P]),
        "KDBC_GetMessageCount": (C.c_uint32, [P]),
        "KDBC_GetMessageByIndex": (C.c_uint8, [P, C.c_uint32, C.POINTER(DbcMessage)]),
        "KDBC_GetValDescPairCount": (C.c_uint32, [P, C.c_uint32, C.c_char_p]),
        "KDBC_GetValDescPair": (C.c_uint32, [P, C.c_uint32, C.c_char_p, C.POINTER(DbcValDescPair), C.c_uint32]),
        "KDBC_Decode": (C.c_int32, [P, P, C.c_int32, C.POINTER(DbcMessage)]),
        "KDBC_Encode": (C.c_uint32, [P, C.POINTER(C.c_uint8), C.c_uint32, C.POINTER(DbcMessage)]),
        "KDBC_ClrMessage": (C.c_uint8, [P]),
        "KDBC_InsertMessage": (C.c_uint8, [P, C.POINTER(DbcMessage)]),
        "KDBC_DeleteMessage": (C.c_uint8, [P, C.c_uint32]),
        "KDBC_CalcPhysicalValue": (C.c_double, [C.POINTER(DbcSignal), C.c_uint64]),
        "KDBC_CalcRawValue": (C.c_int64, [C.POINTER(DbcSignal), C.c_double]),
        "KDBC_Release": (None, [P]),
    }
    for name, (res, args) in sigs.items():
        f = getattr(lib, name)
        f.restype = res
        f.argtypes = args
    return lib


def main():
    layout()
    lib = bind(C.CDLL(sys.argv[1]))
    h = lib.KDBC_Init()
    check(bool(h), "init")
    check(lib.KDBC_GetProtocol(h) == 1, "protocol after init")
    check(lib.KDBC_LoadFile(h, sys.argv[2].encode()) == 1, "load")
    count = lib.KDBC_GetMessageCount(h)
    check(count == 7, "message count %d" % count)
    msg = DbcMessage()
    names = []
    for i in range(count):
        check(lib.KDBC_GetMessageByIndex(h, i, C.byref(msg)) == 1, "message %d" % i)
        names.append(msg.strName.decode())
    check(lib.KDBC_GetMessageByIndex(h, count, C.byref(msg)) == 0, "index past the end")
    check(names[0] == "Tiny" and "Engine" in names, "names in key order: %r" % names)

    pairs = (DbcValDescPair * 16)()
    check(lib.KDBC_GetValDescPairCount(h, 256, b"Flag") == 2, "value count")
    n = lib.KDBC_GetValDescPair(h, 256, b"Flag", pairs, 16)
    check(n == 2 and pairs[1].value == 1 and pairs[1].text == b"On", "value pairs")

    # Engine 0x100: Speed 0|16 Intel, Temp 23|12 Motorola signed, Torque 40|16 Intel signed.
    frame = CanObj(ID=0x100, DataLen=8)
    for i, b in enumerate([0x10, 0x27, 0xFF, 0x0F, 0, 0x80, 0xFF, 0]):
        frame.Data[i] = b
    out = DbcMessage()
    check(lib.KDBC_Decode(h, C.byref(frame), 0, C.byref(out)) == 0, "decode")
    check(out.strName == b"Engine" and out.nSignalCount == 5, "decoded message")
    sig = {out.sSignals[i].strName.decode(): out.sSignals[i] for i in range(out.nSignalCount)}
    check(sig["Speed"].nRawValue == 0x2710, "Speed raw")
    check(abs(lib.KDBC_CalcPhysicalValue(C.byref(sig["Speed"]), 0x2710) - 1000.0) < 1e-9, "Speed physical")
    check(sig["Temp"].nRawValue == 0xFF0, "Temp raw stays zero-extended")
    check(lib.KDBC_CalcPhysicalValue(C.byref(sig["Temp"]), 0xFF0) == -18.0, "Temp physical is signed")
    check(sig["Torque"].nRawValue == 0xFF80, "Torque raw")
    check(lib.KDBC_CalcPhysicalValue(C.byref(sig["Torque"]), 0xFF80) == -132.0, "Torque physical")
    check(lib.KDBC_CalcRawValue(C.byref(sig["Speed"]), 0.3) == 3, "raw rounds to nearest")
    check(lib.KDBC_Decode(h, C.byref(CanObj(ID=0x7FF, DataLen=8)), 0, C.byref(out)) == -1, "miss")

    # Encode the decoded values back into an empty buffer.
    buf = (C.c_uint8 * 8)()
    check(lib.KDBC_Encode(h, buf, 8, C.byref(out)) == 8, "encode result")
    check(bytes(buf)[:3] == bytes([0x10, 0x27, 0xFF]) and buf[5] == 0x80 and buf[6] == 0xFF, "encoded bytes")

    # CAN FD: FdMsg 0x401 of 64 bytes; C is bit 7 of byte 0, D the last 8 bytes (Motorola).
    fd = CanFdObj(ID=0x401, DataLen=64)
    for i in range(64):
        fd.Data[i] = i | 0x80
    check(lib.KDBC_Decode(h, C.byref(fd), 1, C.byref(out)) == 0, "decode FD")
    sig = {out.sSignals[i].strName.decode(): out.sSignals[i] for i in range(out.nSignalCount)}
    check(sig["D"].nRawValue == 0xB8B9BABBBCBDBEBF, "FD field in the last 8 bytes")
    check(sig["C"].nRawValue == 1, "FD bit")

    # Insert, delete and protocol.
    m = DbcMessage()
    m.nID = 0x80000100
    m.strName = b"Inserted"
    check(lib.KDBC_InsertMessage(h, C.byref(m)) == 1, "insert")
    check(lib.KDBC_GetMessageCount(h) == count, "insert replaced the message with key 0x100")
    check(lib.KDBC_DeleteMessage(h, 0x100) == 1 and lib.KDBC_GetMessageCount(h) == count - 1, "delete")
    check(lib.KDBC_SetProtocol(h, 0) == 1 and lib.KDBC_GetProtocol(h) == 0, "protocol")
    check(lib.KDBC_LoadFile(h, b"/nonexistent/x.dbc") == 0, "load of a missing file")
    check(lib.KDBC_GetValDescPairCount(h, 256, b"Flag") == 0, "a failed load drops the value descriptions")
    check(lib.KDBC_ClrMessage(h) == 1 and lib.KDBC_GetMessageCount(h) == 0, "clear")
    lib.KDBC_Release(h)
    lib.KDBC_Release(None)

    for f in failures:
        print("ctypes: FAILED", f)
    if failures:
        return 1
    print("ctypes: ok (%d messages, records declared in Python)" % count)
    return 0


if __name__ == "__main__":
    sys.exit(main())

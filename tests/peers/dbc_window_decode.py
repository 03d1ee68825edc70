#!/usr/bin/python3
"""Peer of the DBC window tests: DBC files written by python3-canmatrix, the
frames to send, and canmatrix's decode of every frame.

  export OUTDIR SEED   writes OUTDIR/plain.dbc and OUTDIR/j1939.dbc (code page
                       936, as the program reads DBC files) and OUTDIR/rounds.json

rounds.json holds, per DBC ("plain", "j1939"), a list of rounds; a round is
the frames to send (identifier, extended, CAN FD, data as hex) and, per
message name, canmatrix's decode of that message's frame in the round: every
signal canmatrix decodes (for a multiplexed message only the signals of the
active multiplexer value) with its raw value (decimal text; signed signals
negative) and physical value. A J1939 message longer than 8 bytes travels as a broadcast
(TP.CM BAM, then TP.DT packets) from source address 0x2A; the other J1939
messages are sent from a source address other than the one in the DBC.
"""
import json
import random
import sys
import warnings

warnings.filterwarnings("ignore")
import logging

logging.disable(logging.CRITICAL)

import canmatrix  # noqa: E402
import canmatrix.formats  # noqa: E402


def sig(name, start, size, little, signed=False, factor="1", offset="0", lo=0, hi=0, unit="", mux=None,
        values=None, comment=None):
    s = canmatrix.Signal(name, size=size, is_little_endian=little, is_signed=signed, factor=factor,
                         offset=offset, unit=unit, min=lo, max=hi, multiplex=mux)
    # Start bits as a DBC file writes them: the least significant bit for
    # Intel, the most significant bit for Motorola.
    s.set_startbit(start, bitNumbering=1, startLittle=little)
    for k, v in (values or {}).items():
        s.add_values(k, v)
    if comment:
        s.add_comment(comment)
    return s


def frame(name, fid, ext, size, signals, comment=None):
    f = canmatrix.Frame(name, arbitration_id=canmatrix.ArbitrationId(id=fid, extended=ext), size=size,
                        is_fd=size > 8)
    for s in signals:
        f.add_signal(s)
    if comment:
        f.add_comment(comment)
    return f


def plain_db(rng):
    cm = canmatrix.CanMatrix()
    cm.add_frame(frame("EngineStd", 0x123, False, 8, [
        sig("EngSpeed", 0, 16, True, factor="0.25", hi=16383.75, unit="rpm"),
        sig("EngTemp", 23, 12, False, signed=True, factor="0.1", offset="-40", lo=-244.8, hi=164.7, unit="degC"),
        sig("Torque", 32, 8, True, signed=True, factor="2", lo=-256, hi=254, unit="Nm"),
        sig("Gear", 40, 4, True, hi=15, values={0: "P", 1: "R", 2: "N", 3: "D"}),
        sig("Flag", 44, 1, True, hi=1),
        sig("Pedal", 55, 7, False, factor="1", hi=127, unit="%"),
    ], comment="engine"))
    cm.add_frame(frame("BodyExt", 0x18A0B0C0, True, 8, [
        sig("Odo", 7, 24, False, factor="0.1", hi=1677721.5, unit="km"),
        sig("Accel", 24, 32, True, signed=True, factor="0.001", lo=-2147483.648, hi=2147483.647),
        sig("Door", 56, 1, True, hi=1),
        sig("Window", 57, 7, True, hi=127),
    ]))
    cm.add_frame(frame("MuxMsg", 0x2A0, False, 8, [
        sig("Sel", 0, 8, True, hi=255, mux="Multiplexor"),
        sig("M0A", 8, 16, True, factor="0.5", hi=32767.5, mux=0),
        sig("M0B", 39, 16, False, signed=True, lo=-32768, hi=32767, mux=0),
        sig("M1C", 8, 24, True, hi=16777215, mux=1),
        sig("M1D", 32, 8, True, signed=True, lo=-128, hi=127, mux=1),
        sig("Always", 56, 8, True, hi=255),
    ]))
    cm.add_frame(frame("CnMsgBody", 0x310, False, 8, [
        sig("CnSigSpeed", 0, 16, True, factor="0.01", hi=655.35, unit="km/h"),
        sig("CnSigGear", 16, 4, True, hi=15, values={0: "停车", 1: "倒车", 2: "空挡", 3: "前进"}),
        sig("CnSigTemp", 31, 8, False, signed=True, offset="-10", lo=-138, hi=117, unit="\u2103"),
    ], comment="车身"))
    cm.add_frame(frame("Short", 0x7A, False, 2, [
        sig("Lo", 8, 4, True, hi=15),
        sig("Hi", 7, 12, False, signed=True, lo=-2048, hi=2047),
    ]))
    fd = []
    for i in range(40):
        length = rng.choice([1, 3, 8, 12, 16, 24, 32, 33])
        fd.append((i, length))
    signals = []
    bit = 0
    for i, length in fd:
        little = i % 2 == 0
        signed = i % 3 == 0
        if little:
            start = bit
        else:
            # The Motorola field's most significant bit in the bit-numbered
            # order of a DBC file.
            byte, pos = divmod(bit, 8)
            start = byte * 8 + (7 - pos)
        signals.append(sig("Fd%d" % i, start, length, little, signed=signed,
                           factor=rng.choice(["1", "0.5", "0.01", "3"]), offset=rng.choice(["0", "-100", "2.5"]),
                           lo=-1e12, hi=1e12))
        bit += length
        if bit > 64 * 8 - 64:
            break
    signals.append(sig("FdWide", 448, 64, True, signed=True, lo=-9.3e18, hi=9.3e18))
    cm.add_frame(frame("FdBig", 0x1ABCDE, True, 64, signals))
    return cm


def j1939_db():
    cm = canmatrix.CanMatrix()
    cm.add_frame(frame("EEC1", 0x18F00400, True, 8, [
        sig("EngSpeedJ", 24, 16, True, factor="0.125", hi=8031.875, unit="rpm"),
        sig("TorqueJ", 16, 8, True, offset="-125", lo=-125, hi=125, unit="%"),
    ]))
    cm.add_frame(frame("CCVS", 0x18FEF100, True, 8, [
        sig("WheelSpeed", 8, 16, True, factor="0.00390625", hi=250.996, unit="km/h"),
        sig("Brake", 28, 2, True, hi=3),
    ]))
    cm.add_frame(frame("Long", 0x18FECA00, True, 20, [
        sig("L0", 0, 32, True, hi=4294967295),
        sig("L1", 32, 16, True, signed=True, lo=-32768, hi=32767),
        sig("L2", 71, 24, False, factor="0.5", hi=8388607.5),
        sig("L3", 144, 16, True, hi=65535),
    ]))
    return cm


def decoded(f, data):
    out = {}
    for name, d in f.decode(bytearray(data)).items():
        # The raw value as text: 64-bit values do not survive a JSON number.
        out[CHINESE_SIG.get(name, name)] = {"raw": str(int(d.raw_value)), "phys": float(d.phys_value)}
    return out


def random_data(rng, size):
    return bytes(rng.randrange(256) for _ in range(size))


def plain_rounds(cm, rng, count):
    rounds = []
    for r in range(count):
        frames, expect = [], {}
        for f in cm.frames:
            data = bytearray(random_data(rng, f.size))
            if f.name == "MuxMsg":
                data[0] = r % 3  # 0, 1 and a value no signal uses
            frames.append({"id": f.arbitration_id.id, "ext": f.arbitration_id.extended, "fd": f.size > 8,
                           "data": data.hex().upper()})
            expect[f.name] = decoded(f, data)
        rounds.append({"frames": frames, "expect": expect})
    return rounds


def j1939_rounds(cm, rng, count):
    rounds = []
    for r in range(count):
        frames, expect = [], {}
        for f in cm.frames:
            data = random_data(rng, f.size)
            base = f.arbitration_id.id & ~0xFF
            if f.size <= 8:
                sa = 0x17 + r
                frames.append({"id": base | sa, "ext": True, "fd": False, "data": data.hex().upper()})
            else:
                pgn = (f.arbitration_id.id >> 8) & 0x3FFFF
                packets = (f.size + 6) // 7
                cmd = bytes([32, f.size & 0xFF, f.size >> 8, packets, 0xFF, pgn & 0xFF, (pgn >> 8) & 0xFF,
                             pgn >> 16])
                frames.append({"id": 0x1CECFF2A, "ext": True, "fd": False, "data": cmd.hex().upper()})
                for p in range(packets):
                    chunk = data[p * 7:(p + 1) * 7]
                    chunk = chunk + bytes([0xFF] * (7 - len(chunk)))
                    frames.append({"id": 0x1CEBFF2A, "ext": True, "fd": False,
                                   "data": (bytes([p + 1]) + chunk).hex().upper()})
            expect[f.name] = decoded(f, data)
        rounds.append({"frames": frames, "expect": expect})
    return rounds


# canmatrix's DBC export makes names plain identifiers, and its reader takes
# Chinese message names but only plain signal names. The file the program
# loads gets every name below in Chinese; canmatrix's reference is its own
# load of the same file with the signal names left as placeholders (the
# definitions are the same line for line), its results renamed.
CHINESE_MSG = {"CnMsgBody": "车身状态"}
CHINESE_SIG = {"CnSigSpeed": "车速", "CnSigGear": "档位", "CnSigTemp": "温度"}


def write(cm, path):
    canmatrix.formats.dumpp({"": cm}, path, dbcExportEncoding="gbk")
    with open(path, encoding="gbk") as fh:
        text = fh.read()
    for k, v in CHINESE_MSG.items():
        text = text.replace(k, v)
    with open(path[:-4] + "_canmatrix.dbc", "w", encoding="gbk") as fh:
        fh.write(text)
    for k, v in CHINESE_SIG.items():
        text = text.replace(k, v)
    with open(path, "w", encoding="gbk") as fh:
        fh.write(text)
    return canmatrix.formats.loadp_flat(path[:-4] + "_canmatrix.dbc", dbcImportEncoding="gbk", dbcCommentEncoding="gbk")


def export(outdir, seed):
    rng = random.Random(seed)
    plain = write(plain_db(rng), outdir + "/plain.dbc")
    j1939 = write(j1939_db(), outdir + "/j1939.dbc")
    if not plain.frame_by_name("车身状态") or len(plain.frame_by_name("车身状态").signals) != 3:
        print("canmatrix does not read the Chinese names back")
        return 1
    out = {"plain": plain_rounds(plain, rng, 6), "j1939": j1939_rounds(j1939, rng, 4)}
    with open(outdir + "/rounds.json", "w", encoding="utf-8") as fh:
        json.dump(out, fh, ensure_ascii=False)
    print("exported %d + %d rounds" % (len(out["plain"]), len(out["j1939"])))
    return 0


def main():
    if len(sys.argv) >= 4 and sys.argv[1] == "export":
        return export(sys.argv[2], int(sys.argv[3]))
    print(__doc__)
    return 2


if __name__ == "__main__":
    sys.exit(main())

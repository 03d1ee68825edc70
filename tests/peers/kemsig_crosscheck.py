#!/usr/bin/python3
"""Peer check of kemsig against python3-canmatrix.

  export OUTDIR SEED      write DBC files made and exported by canmatrix
                          (OUTDIR/cm_ascii.dbc and OUTDIR/cm_gbk.dbc, GBK)
  compare DBC ENC DUMP    load DBC with canmatrix (file encoding ENC) and
                          compare it with kemsig's view of the same file, a
                          JSON dump written by the C++ test
  pgn IDFILE              one line "id pgn" per identifier in IDFILE
  errors DBC ENC          load DBC with canmatrix and print the number of
                          lines it reported as errors ("canmatrix errors N")

The comparison covers what kemsig reads of a DBC file: message and signal
counts, ids, sizes, names, start bits, lengths, byte orders, signedness,
factors, offsets, minimum, maximum, units, multiplexer kinds and values,
comments and value tables (first 16 pairs), and, for the random data of each message in the dump, every raw
value (signed values modulo 2^length; for IEEE single and double signals
the float the bits hold) and every physical value. The fixtures leave out
what kemsig does not read: tab-indented lines, multi-line comments and value
tables of more than 16 pairs.
"""
import json
import math
import random
import struct
import sys
import warnings

warnings.filterwarnings("ignore")
import logging

logging.disable(logging.CRITICAL)

import canmatrix  # noqa: E402
import canmatrix.formats  # noqa: E402


def load(path, enc):
    return canmatrix.formats.loadp_flat(path, dbcImportEncoding=enc, dbcCommentEncoding=enc)


def rand_signal(rng, idx, size, gbk):
    bits = size * 8
    length = rng.choice([1, 2, 3, 4, 7, 8, 10, 12, 16, 20, 24, 31, 32, 33, 48, 63, 64])
    length = min(length, bits)
    little = rng.random() < 0.5
    if little:
        start = rng.randrange(0, bits - length + 1)
    else:
        # Count positions in big-endian order (bit 7 of byte 0 first); the
        # field takes msb .. msb + length - 1 and is named by its first bit.
        msb_seq = rng.randrange(0, bits - length + 1)
        byte, bit = divmod(msb_seq, 8)
        start = byte * 8 + (7 - bit)
    signed = rng.random() < 0.5
    factor = rng.choice(["1", "0.1", "0.5", "0.25", "2", "0.01", "0.001", "10"])
    offset = rng.choice(["0", "0", "-40", "100", "-0.5", "1.25"])
    unit = rng.choice(["", "km/h", "rpm", "V", "%"] + (["\u2103", "\u5343\u514b"] if gbk else []))
    s = canmatrix.Signal("Sig%d_%d" % (idx, rng.randrange(1000)), size=length, is_little_endian=little,
                         is_signed=signed, factor=factor, offset=offset, unit=unit, min=-5, max=5)
    s.set_startbit(start, bitNumbering=1, startLittle=False)
    if rng.random() < 0.3:
        for v in range(rng.randrange(1, 17)):
            s.add_values(v, ("\u503c%d" % v) if gbk else ("val %d" % v))
    if rng.random() < 0.3:
        s.add_comment(("\u4fe1\u53f7 %d" % idx) if gbk else ("signal %d" % idx))
    return s


def export(outdir, seed):
    for name, gbk in (("cm_ascii.dbc", False), ("cm_gbk.dbc", True)):
        rng = random.Random(seed + (1 if gbk else 0))
        cm = canmatrix.CanMatrix()
        used = set()
        for m in range(40):
            ext = rng.random() < 0.5
            while True:
                mid = rng.randrange(0, 0x20000000 if ext else 0x800)
                if (mid, ext) not in used and mid not in {u[0] for u in used}:
                    break
            used.add((mid, ext))
            size = rng.choice([1, 2, 4, 6, 8, 8, 8, 12, 16, 24, 32, 48, 64])
            f = canmatrix.Frame("Msg%d" % m, arbitration_id=canmatrix.ArbitrationId(id=mid, extended=ext),
                                size=size, is_fd=size > 8)
            for i in range(rng.randrange(0, 12)):
                f.add_signal(rand_signal(rng, i, size, gbk))
            if rng.random() < 0.5:
                f.add_comment(("\u62a5\u6587 %d" % m) if gbk else ("message %d" % m))
            cm.add_frame(f)
        canmatrix.formats.dumpp({"": cm}, outdir + "/" + name, dbcExportEncoding="gbk" if gbk else "ascii")
        print(outdir + "/" + name)


def close(a, b):
    a = float(a)
    b = float(b)
    if math.isinf(a) or math.isinf(b):
        return a == b
    return math.isclose(a, b, rel_tol=1e-9, abs_tol=1e-9)


def compare(path, enc, dump_path):
    with open(dump_path, encoding="utf-8") as fh:
        ours = json.load(fh)
    db = load(path, enc)
    theirs = {}
    for f in db.frames:
        key = f.arbitration_id.id | (0x80000000 if f.arbitration_id.extended else 0)
        theirs[key] = f
    diffs = []
    n_sig = n_raw = n_phys = n_val = 0

    def diff(where, what, a, b):
        diffs.append("%s: %s kemsig=%r canmatrix=%r" % (where, what, a, b))

    if len(ours["messages"]) != len(theirs):
        diff(path, "message count", len(ours["messages"]), len(theirs))
    for m in ours["messages"]:
        f = theirs.get(m["id"])
        where = "msg %s (0x%X)" % (m["name"], m["id"])
        if f is None:
            diff(where, "missing in canmatrix", m["id"], None)
            continue
        if m["name"] != f.name:
            diff(where, "name", m["name"], f.name)
        if m["size"] != f.size:
            diff(where, "size", m["size"], f.size)
        if m["comment"] != (f.comment or ""):
            diff(where, "comment", m["comment"], f.comment)
        if len(m["signals"]) != len(f.signals):
            diff(where, "signal count", len(m["signals"]), len(f.signals))
        by_name = {s.name: s for s in f.signals}
        for s in m["signals"]:
            c = by_name.get(s["name"])
            sw = where + " sig " + s["name"]
            if c is None:
                diff(sw, "missing in canmatrix", s["name"], None)
                continue
            n_sig += 1
            checks = [
                ("start bit", s["start"], c.get_startbit(bit_numbering=1, start_little=False)),
                ("length", s["len"], c.size),
                ("motorola", bool(s["motorola"]), not c.is_little_endian),
                ("signed", bool(s["signed"]), bool(c.is_signed)),
                ("unit", s["unit"], c.unit or ""),
                ("comment", s["comment"], c.comment or ""),
                ("value type", s["valtype"], (1 if c.size == 32 else 2) if c.is_float else 0),
            ]
            if c.multiplex == "Multiplexor":
                checks.append(("multiplexer", (s["mux"], 0), (2, 0)))
            elif c.multiplex is not None:
                checks.append(("multiplexer", (s["mux"], s["muxval"]), (1, int(c.multiplex))))
            else:
                checks.append(("multiplexer", (s["mux"], 0), (0, 0)))
            for what, a, b in checks:
                if a != b:
                    diff(sw, what, a, b)
            for what, a, b in (("factor", s["factor"], c.factor), ("offset", s["offset"], c.offset),
                               ("min", s["min"], c.min), ("max", s["max"], c.max)):
                if not close(a, b):
                    diff(sw, what, a, b)
            cvals = list((float(k), v) for k, v in c.values.items())[:16]
            ovals = [(float(v), t) for v, t in s["values"]]
            n_val += len(ovals)
            if sorted(ovals) != sorted(cvals):
                diff(sw, "value table", ovals, cvals)
        for sample in m.get("samples", []):
            data = bytearray.fromhex(sample["data"])
            decoded = f.decode(data)
            for s in m["signals"]:
                d = decoded.get(s["name"])
                if d is None:
                    continue
                length = s["len"]
                mod = 1 << length if length else 1
                ours_raw = int(sample["raw"][s["name"]])
                if s["valtype"]:
                    bits = ours_raw % mod
                    ours_float = (struct.unpack("<f", struct.pack("<I", bits))[0] if length == 32
                                  else struct.unpack("<d", struct.pack("<Q", bits))[0])
                    if not (close(ours_float, d.raw_value)
                            or (math.isnan(ours_float) and math.isnan(float(d.raw_value)))):
                        diff(where + " sig " + s["name"], "float for " + sample["data"], ours_float, d.raw_value)
                elif ours_raw % mod != int(d.raw_value) % mod:
                    diff(where + " sig " + s["name"], "raw for " + sample["data"], hex(ours_raw), d.raw_value)
                n_raw += 1
                ours_phys, their_phys = float(sample["phys"][s["name"]]), float(d.phys_value)
                if math.isnan(ours_phys) and math.isnan(their_phys):
                    pass
                elif not close(ours_phys, their_phys):
                    diff(where + " sig " + s["name"], "physical for " + sample["data"], sample["phys"][s["name"]],
                         d.phys_value)
                n_phys += 1
    print("crosscheck %s: messages %d, signals %d, value pairs %d, raw values %d, physical values %d, differences %d"
          % (path.rsplit("/", 1)[-1], len(ours["messages"]), n_sig, n_val, n_raw, n_phys, len(diffs)))
    for d in diffs[:50]:
        print("  " + d)
    return 1 if diffs else 0


def pgn(idfile):
    with open(idfile) as fh:
        for line in fh:
            line = line.strip()
            if not line:
                continue
            i = int(line, 0)
            a = canmatrix.ArbitrationId(id=i, extended=True)
            print("%d %d" % (i, a.pgn))


def errors(path, enc):
    import contextlib
    import io
    out = io.StringIO()
    with contextlib.redirect_stdout(out):
        load(path, enc)
    lines = [ln for ln in out.getvalue().splitlines() if ln.startswith("error with line no")]
    print("canmatrix errors %d" % len(lines))
    for ln in lines:
        print("  " + ln)
    return 0


def main():
    cmd = sys.argv[1]
    if cmd == "errors":
        return errors(sys.argv[2], sys.argv[3])
    if cmd == "export":
        export(sys.argv[2], int(sys.argv[3]))
        return 0
    if cmd == "compare":
        return compare(sys.argv[2], sys.argv[3], sys.argv[4])
    if cmd == "pgn":
        pgn(sys.argv[2])
        return 0
    print("unknown command", cmd)
    return 2


if __name__ == "__main__":
    sys.exit(main())

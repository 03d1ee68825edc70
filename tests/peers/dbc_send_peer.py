#!/usr/bin/python3
"""Peer check of the DBC send window against python3-canmatrix.

  write DBC CASES         write a DBC made with canmatrix and, as JSON, the
                          signal values to type into the window: per message
                          a list of cases, each a list of edits (signal,
                          "raw" or "phys", text) and the raw value every
                          signal must then hold
  check DBC RESULTS       for each result: the physical value of every raw
                          value (raw2phys) against the one the window shows,
                          back to raw with phys2raw, packed by canmatrix's
                          Frame.encode and compared with the bytes the
                          window encoded; and canmatrix's decode of the
                          window's bytes
  j1939 TABLE             check identifiers the window built for J1939 with
                          canmatrix's identifier helpers (ArbitrationId and
                          the Frame's pgn / source setters)
"""
import decimal
import json
import random
import sys
import warnings

warnings.filterwarnings("ignore")
import logging

logging.disable(logging.CRITICAL)

import canmatrix  # noqa: E402
import canmatrix.formats  # noqa: E402

# name, id, extended, size, signals: (name, length, little, signed, factor, offset, position)
# position: the least significant bit for Intel, the most significant bit
# in big-endian sequence (bit 7 of byte 0 first) for Motorola.
MESSAGES = [
    ("EngIntel", 0x123, False, 8, [
        ("U8", 8, True, False, "1", "0", 0),
        ("S12", 12, True, True, "0.5", "-10", 8),
        ("U20", 20, True, False, "0.25", "100", 20),
        ("S24", 24, True, True, "2", "0", 40),
    ]),
    ("BodyMoto", 0x1ABCDEF, True, 8, [
        ("Ma", 4, False, False, "1", "0", 0),
        ("Mb", 10, False, True, "1", "0", 4),
        ("Mc", 16, False, False, "0.1", "-40", 14),
        ("Md", 1, False, False, "1", "0", 30),
        ("Me", 33, False, True, "1", "0", 31),
    ]),
    ("FdWide", 0x456, False, 16, [
        ("W64", 64, True, False, "1", "0", 0),
        ("V64", 64, False, True, "1", "0", 64),
    ]),
    ("OddBits", 0x7FF, False, 8, [
        ("X1", 1, True, False, "1", "0", 0),
        ("X63", 63, True, True, "1", "0", 1),
    ]),
    ("Twelve", 0x321, False, 12, [
        ("T0", 32, True, False, "1", "0", 0),
        ("T1", 32, False, False, "0.001", "0", 32),
        ("T2", 32, True, True, "1", "5", 64),
    ]),
]


def make_signal(spec):
    name, length, little, signed, factor, offset, pos = spec
    if little:
        start = pos
    else:
        byte, bit = divmod(pos, 8)
        start = byte * 8 + (7 - bit)
    s = canmatrix.Signal(name, size=length, is_little_endian=little, is_signed=signed, factor=factor,
                         offset=offset)
    s.set_startbit(start, bitNumbering=1, startLittle=False)
    return s


def field_text(raw, length):
    """The hexadecimal a user types for a raw value: the field's bits."""
    return "%X" % (raw % (1 << length))


def phys_text(raw, factor, offset):
    v = decimal.Decimal(raw) * decimal.Decimal(factor) + decimal.Decimal(offset)
    return repr(float(v))


def write(dbc_path, cases_path):
    cm = canmatrix.CanMatrix()
    for name, mid, ext, size, sigs in MESSAGES:
        f = canmatrix.Frame(name, arbitration_id=canmatrix.ArbitrationId(id=mid, extended=ext), size=size,
                            is_fd=size > 8)
        for spec in sigs:
            f.add_signal(make_signal(spec))
        cm.add_frame(f)
    canmatrix.formats.dumpp({"": cm}, dbc_path, dbcExportEncoding="ascii")

    rng = random.Random(27)
    out = []
    for name, mid, ext, size, sigs in MESSAGES:
        cases = []
        for kind in ("zero", "max", "min", "one", "mixed", "mixed"):
            edits = []
            raws = {}
            for i, (sname, length, little, signed, factor, offset, pos) in enumerate(sigs):
                lo = -(1 << (length - 1)) if signed else 0
                hi = (1 << (length - 1)) - 1 if signed else (1 << length) - 1
                raw = {"zero": 0, "max": hi, "min": lo, "one": 1 if length > 1 or not signed else -1,
                       "mixed": rng.randint(lo, hi)}[kind]
                # Physical texts where a double carries the value exactly
                # enough to give the raw value back; raw texts otherwise.
                use_phys = length <= 40 and (i + len(cases)) % 2 == 1
                if use_phys:
                    edits.append([sname, "phys", phys_text(raw, factor, offset)])
                else:
                    edits.append([sname, "raw", field_text(raw, length)])
                raws[sname] = str(raw)
            cases.append({"kind": kind, "edits": edits, "raw": raws})
        out.append({"name": name, "id": mid, "extended": ext, "size": size, "cases": cases})
    with open(cases_path, "w") as fh:
        json.dump({"messages": out}, fh, indent=1)
    print("wrote %s and %s" % (dbc_path, cases_path))


def check(dbc_path, results_path):
    db = canmatrix.formats.loadp_flat(dbc_path)
    with open(results_path) as fh:
        results = json.load(fh)["results"]
    diffs = []
    n_sig = 0
    for r in results:
        f = db.frame_by_name(r["msg"])
        if f is None:
            diffs.append("%s: not in canmatrix's view of the file" % r["msg"])
            continue
        where = "%s case %s" % (r["msg"], r["case"])
        raws = {}
        for s in f.signals:
            raw = int(r["raw"][s.name])
            # The physical value of the window's raw value, and canmatrix's
            # way back to the raw value.
            phys = s.raw2phys(decimal.Decimal(raw))
            back = int(s.phys2raw(phys))
            if back != raw:
                diffs.append("%s sig %s: canmatrix's raw of %s is %d, window holds %d" % (where, s.name, phys, back, raw))
            shown = r["phys"][s.name]
            if abs(float(shown) - float(phys)) > 1e-9 * max(1.0, abs(float(phys))):
                diffs.append("%s sig %s: window shows %s, canmatrix %s" % (where, s.name, shown, phys))
            if abs(raw) < (1 << 50) and int(s.phys2raw(decimal.Decimal(shown))) != raw:
                diffs.append("%s sig %s: canmatrix's raw of the shown %s is %s, window holds %d"
                             % (where, s.name, shown, s.phys2raw(decimal.Decimal(shown)), raw))
            raws[s.name] = back
            n_sig += 1
        # This canmatrix's Frame.encode packs the values it is given as they
        # are (raw values; value-table texts aside).
        theirs = bytes(f.encode(raws)).hex().upper()
        ours = r["data"].upper()
        if ours != theirs:
            diffs.append("%s: window %s canmatrix %s" % (where, ours, theirs))
        decoded = f.unpack(bytearray.fromhex(ours))
        for s in f.signals:
            got = int(decoded[s.name].raw_value)
            want = int(r["raw"][s.name])
            if got != want:
                diffs.append("%s sig %s: canmatrix decodes %d from the window's bytes, window holds %d"
                             % (where, s.name, got, want))
    print("encode: messages %d, cases %d, signal values %d, differences %d"
          % (len({r["msg"] for r in results}), len(results), n_sig, len(diffs)))
    for d in diffs[:40]:
        print("  " + d)
    return 1 if diffs else 0


def address(text):
    """An address setting as the window reads it: hexadecimal, one byte;
    a text that is no number reads as 0."""
    try:
        return int(text.strip(), 16) & 0xFF
    except ValueError:
        return 0


def j1939(table_path):
    with open(table_path) as fh:
        rows = json.load(fh)["rows"]
    diffs = []
    pdu1 = pdu2 = 0
    for row in rows:
        nid = int(row["nID"], 16) & 0x1FFFFFFF
        sa = address(row["src"])
        da = address(row["dst"])
        ours = int(row["id"], 16)
        given = canmatrix.ArbitrationId(id=nid, extended=True)
        sent = canmatrix.ArbitrationId(id=ours, extended=True)
        f = canmatrix.Frame("x", arbitration_id=canmatrix.ArbitrationId(id=nid, extended=True))
        f.source = sa
        where = "nID %s SA %s DA %s -> %s" % (row["nID"], row["src"], row["dst"], row["id"])
        if given.j1939_pf < 240:
            pdu1 += 1
            f.pgn = (given.pgn & ~0xFF) | da
            if sent.j1939_destination != da:
                diffs.append("%s: destination %r" % (where, sent.j1939_destination))
        else:
            pdu2 += 1
            if sent.j1939_destination is not None or sent.j1939_ps != given.j1939_ps:
                diffs.append("%s: group extension changed" % where)
        want = f.arbitration_id.id
        if ours != want:
            diffs.append("%s: canmatrix builds %X" % (where, want))
        checks = (("source", sent.j1939_source, sa), ("pgn", sent.pgn, given.pgn),
                  ("priority", sent.j1939_priority, given.j1939_priority),
                  ("data page", sent.j1939_dp, given.j1939_dp), ("ext. data page", sent.j1939_edp, given.j1939_edp))
        for what, a, b in checks:
            if a != b:
                diffs.append("%s: %s %r, want %r" % (where, what, a, b))
    print("j1939: identifiers %d (PDU1 %d, PDU2 %d), differences %d" % (len(rows), pdu1, pdu2, len(diffs)))
    for d in diffs[:40]:
        print("  " + d)
    return 1 if diffs else 0


def main():
    cmd = sys.argv[1]
    if cmd == "write":
        write(sys.argv[2], sys.argv[3])
        return 0
    if cmd == "check":
        return check(sys.argv[2], sys.argv[3])
    if cmd == "j1939":
        return j1939(sys.argv[2])
    print("unknown command " + cmd)
    return 2


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/python3
"""Peer check of the DBC windows on multiplexed and IEEE float messages
against python3-canmatrix.

  check DBC RESULTS       RESULTS is JSON written by the C++ tests:
                          "encode": frames the send window built, each with
                          the raw values of the signals it says the frame
                          carries and the bytes; canmatrix's Frame.encode
                          of those raw values must give the same bytes, and
                          its decode of the bytes the same signals and raw
                          values, and the physical values the window shows.
                          "decode": frames fed to the analysis window, each
                          with the signals it updated (raw and physical);
                          canmatrix's Frame.decode of the bytes must give
                          the same signals with the same values.

Raw values are the window's: signed decimal numbers; an IEEE signal's raw
value is the bit pattern of its float.
"""
import json
import math
import struct
import sys
import warnings

warnings.filterwarnings("ignore")
import logging

logging.disable(logging.CRITICAL)

import canmatrix  # noqa: E402
import canmatrix.formats  # noqa: E402


def field(raw, size):
    return int(raw) % (1 << size)


def float_of(sig, raw):
    bits = field(raw, sig.size)
    if sig.size == 32:
        return struct.unpack("<f", struct.pack("<I", bits))[0]
    return struct.unpack("<d", struct.pack("<Q", bits))[0]


def same(a, b):
    a = float(a)
    b = float(b)
    if math.isnan(a) or math.isnan(b):
        return math.isnan(a) and math.isnan(b)
    if math.isinf(a) or math.isinf(b):
        return a == b
    return math.isclose(a, b, rel_tol=1e-9, abs_tol=1e-9)


def raw_matches(sig, ours, theirs):
    if sig.is_float:
        return same(float_of(sig, ours), theirs)
    return field(ours, sig.size) == field(int(theirs), sig.size)


def check(dbc_path, results_path):
    db = canmatrix.formats.loadp_flat(dbc_path)
    with open(results_path) as fh:
        results = json.load(fh)
    diffs = []
    n_enc = n_enc_val = n_dec = n_dec_val = 0
    for i, r in enumerate(results.get("encode", [])):
        f = db.frame_by_name(r["msg"])
        where = "encode %d %s" % (i, r["msg"])
        if f is None:
            diffs.append(where + ": not in canmatrix's view of the file")
            continue
        by_name = {s.name: s for s in f.signals}
        raws = {}
        for name, v in r["signals"].items():
            s = by_name[name]
            raws[name] = float_of(s, v["raw"]) if s.is_float else int(v["raw"])
            phys = s.raw2phys(raws[name])
            if not same(v["phys"], phys):
                diffs.append("%s sig %s: window shows %s, canmatrix %s" % (where, name, v["phys"], phys))
            n_enc_val += 1
        theirs = bytes(f.encode(raws)).hex().upper()
        theirs = theirs.ljust(2 * f.size, "0")
        if r["data"].upper() != theirs:
            diffs.append("%s: window %s canmatrix %s" % (where, r["data"], theirs))
        decoded = f.decode(bytearray.fromhex(r["data"]))
        if set(decoded) != set(r["signals"]):
            diffs.append("%s: canmatrix reads %s from the bytes, window wrote %s"
                         % (where, sorted(decoded), sorted(r["signals"])))
        for name, d in decoded.items():
            if name in r["signals"] and not raw_matches(by_name[name], r["signals"][name]["raw"], d.raw_value):
                diffs.append("%s sig %s: canmatrix decodes %s" % (where, name, d.raw_value))
        n_enc += 1
    for i, r in enumerate(results.get("decode", [])):
        f = db.frame_by_name(r["msg"])
        where = "decode %d %s %s" % (i, r["msg"], r["data"])
        if f is None:
            diffs.append(where + ": not in canmatrix's view of the file")
            continue
        by_name = {s.name: s for s in f.signals}
        decoded = f.decode(bytearray.fromhex(r["data"]))
        if set(decoded) != set(r["signals"]):
            diffs.append("%s: canmatrix decodes %s, window updated %s" % (where, sorted(decoded), sorted(r["signals"])))
        for name, v in r["signals"].items():
            d = decoded.get(name)
            if d is None:
                continue
            if not raw_matches(by_name[name], v["raw"], d.raw_value):
                diffs.append("%s sig %s: raw window %s canmatrix %s" % (where, name, v["raw"], d.raw_value))
            if not same(v["phys"], d.phys_value):
                diffs.append("%s sig %s: physical window %s canmatrix %s" % (where, name, v["phys"], d.phys_value))
            n_dec_val += 1
        n_dec += 1
    print("mux peer: frames encoded %d (values %d), frames decoded %d (values %d), differences %d"
          % (n_enc, n_enc_val, n_dec, n_dec_val, len(diffs)))
    for d in diffs[:40]:
        print("  " + d)
    return 1 if diffs else 0


def main():
    if sys.argv[1] == "check":
        return check(sys.argv[2], sys.argv[3])
    print("unknown command " + sys.argv[1])
    return 2


if __name__ == "__main__":
    sys.exit(main())

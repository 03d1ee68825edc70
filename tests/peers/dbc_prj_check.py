#!/usr/bin/python3
# Reads a DBC project file with the json module and checks its form: one
# object with "dbcFilePath", "msgList" and "sigList"; every number a JSON
# string in its written form (decimal, "%.16g", or "%.16f" for value
# descriptions), no JSON number, boolean or null anywhere. Prints a summary
# of what it read (ASCII JSON) for the caller to compare, or the first
# problem found and exits 1.
import json
import re
import sys

DEC_UNSIGNED = re.compile(r"^(0|[1-9][0-9]*)$")
DEC_SIGNED = re.compile(r"^(0|-?[1-9][0-9]*)$")

MSG_UNSIGNED = ["nID", "nSize", "nExtend"]
MSG_G16 = ["nCycleTime"]
MSG_TEXT = ["strName", "strComment"]
SIG_UNSIGNED = ["msgId", "chartEnable", "nLen", "isSigned", "isMotorola",
                "multiplexerType", "valType", "multiplexerValue"]
SIG_SIGNED = ["nStartBit", "nRawValue"]
SIG_G16 = ["nFactor", "nOffset", "nMin", "nMax", "nPhysicalValue"]
SIG_TEXT = ["msgName", "color", "unit", "strName", "strComment"]


class Bad(Exception):
    pass


def no_bare_numbers(v, where):
    if isinstance(v, bool) or v is None or isinstance(v, (int, float)):
        raise Bad(f"{where}: {v!r} is not a string, object or array")
    if isinstance(v, dict):
        for k, x in v.items():
            no_bare_numbers(x, f"{where}.{k}")
    elif isinstance(v, list):
        for i, x in enumerate(v):
            no_bare_numbers(x, f"{where}[{i}]")


def text(o, k, where):
    if k not in o or not isinstance(o[k], str):
        raise Bad(f"{where}.{k} missing or not a string")
    return o[k]


def dec(o, k, where, pattern, bits, signed):
    s = text(o, k, where)
    if not pattern.match(s):
        raise Bad(f"{where}.{k} = {s!r} is not a decimal")
    v = int(s)
    lo, hi = (-(1 << (bits - 1)), (1 << (bits - 1)) - 1) if signed else (0, (1 << bits) - 1)
    if not lo <= v <= hi:
        raise Bad(f"{where}.{k} = {s!r} out of range")
    return v


def g16(o, k, where):
    s = text(o, k, where)
    v = float(s)
    if "%.16g" % v != s:
        raise Bad(f"{where}.{k} = {s!r} is not the %.16g form ({'%.16g' % v!r})")
    return s


def signal(o, where):
    if not isinstance(o, dict):
        raise Bad(f"{where} is not an object")
    r = {}
    for k in SIG_UNSIGNED:
        r[k] = dec(o, k, where, DEC_UNSIGNED, 64 if k == "nRawValue" else 32, False)
    for k in SIG_SIGNED:
        r[k] = dec(o, k, where, DEC_SIGNED, 64 if k == "nRawValue" else 32, True)
    for k in SIG_G16:
        r[k] = g16(o, k, where)
    for k in SIG_TEXT:
        r[k] = text(o, k, where)
    pairs = o.get("valDesPair")
    if not isinstance(pairs, list):
        raise Bad(f"{where}.valDesPair is not an array")
    r["valDesPair"] = []
    for i, p in enumerate(pairs):
        pw = f"{where}.valDesPair[{i}]"
        if not isinstance(p, dict):
            raise Bad(f"{pw} is not an object")
        s = text(p, "value", pw)
        if "%.16f" % float(s) != s:
            raise Bad(f"{pw}.value = {s!r} is not the %.16f form")
        r["valDesPair"].append([s, text(p, "desc", pw)])
    return r


def main():
    with open(sys.argv[1], "rb") as f:
        raw = f.read()
    doc = json.loads(raw.decode("utf-8"))
    if not isinstance(doc, dict):
        raise Bad("top level is not an object")
    no_bare_numbers(doc, "$")
    out = {"dbcFilePath": text(doc, "dbcFilePath", "$"), "msgList": [], "sigList": []}
    for name in ("msgList", "sigList"):
        if not isinstance(doc.get(name), list):
            raise Bad(f"$.{name} is not an array")
    for i, m in enumerate(doc["msgList"]):
        w = f"$.msgList[{i}]"
        if not isinstance(m, dict):
            raise Bad(f"{w} is not an object")
        r = {}
        for k in MSG_UNSIGNED:
            r[k] = dec(m, k, w, DEC_UNSIGNED, 32, False)
        for k in MSG_G16:
            r[k] = g16(m, k, w)
        for k in MSG_TEXT:
            r[k] = text(m, k, w)
        if not isinstance(m.get("vSignals"), list):
            raise Bad(f"{w}.vSignals is not an array")
        r["vSignals"] = [signal(s, f"{w}.vSignals[{j}]") for j, s in enumerate(m["vSignals"])]
        out["msgList"].append(r)
    out["sigList"] = [signal(s, f"$.sigList[{j}]") for j, s in enumerate(doc["sigList"])]
    print(json.dumps(out, ensure_ascii=True, sort_keys=True))


try:
    main()
except Bad as e:
    print("BAD", e)
    sys.exit(1)

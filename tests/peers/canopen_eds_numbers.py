#!/usr/bin/python3
# Reads an EDS or DCF file with configparser and prints, as JSON, every
# object and sub-object section with the values of its keys read by Python's
# own int(): [[section, {key: value}], ...]. Numbers: "0x" hexadecimal of any
# length, its low 32 bits as a signed 32-bit value; decimal within the
# 32-bit range; anything else 0. Values (LowLimit, HighLimit, DefaultValue)
# by the section's data type (CiA 301 codes): hexadecimal digits are the
# bits of an integer type (signed types sign-extended from their width,
# unsigned ones as they are), decimal numbers stay as written; other types
# as the numbers above. Flags (PDOMapping): a number is true when not 0, any
# other text true. The texts of the other keys are passed as they are.
import configparser
import json
import re
import sys

NUMBERS = ("ObjectType", "DataType", "LowLimit", "HighLimit", "DefaultValue", "ParameterValue",
           "ObjFlags", "CompactSubObj")


def number(text):
    """None when the text is not a number."""
    if text[:2].lower() == "0x":
        try:
            v = int(text[2:], 16) & 0xFFFFFFFF
        except ValueError:
            return None
        if text[2:3] in ("+", "-") or not text[2:]:
            return None
        return v - (1 << 32) if v & 0x80000000 else v
    if re.fullmatch(r"[+-]?[0-9]+", text):
        v = int(text)
        if -(1 << 31) <= v <= 0xFFFFFFFF:
            return v - (1 << 32) if v > 0x7FFFFFFF else v
    return None


# CiA 301 integer types: code -> (bits, signed).
INTEGER_TYPES = {0x01: (8, False), 0x02: (8, True), 0x03: (16, True), 0x04: (32, True), 0x05: (8, False),
                 0x06: (16, False), 0x07: (32, False), 0x10: (24, True), 0x12: (40, True), 0x13: (48, True),
                 0x14: (56, True), 0x15: (64, True), 0x16: (24, False), 0x18: (40, False), 0x19: (48, False),
                 0x1A: (56, False), 0x1B: (64, False)}
VALUES = ("LowLimit", "HighLimit", "DefaultValue")


def value(text, data_type):
    if data_type not in INTEGER_TYPES:
        n = number(text)
        return 0 if n is None else n
    if re.fullmatch(r"[+-]?[0-9]+", text):
        return int(text)
    if text[:2].lower() != "0x" or not re.fullmatch(r"[0-9A-Fa-f]+", text[2:]):
        return 0
    bits, signed = INTEGER_TYPES[data_type]
    v = int(text[2:], 16) & ((1 << bits) - 1)
    return v - (1 << bits) if signed and v >> (bits - 1) else v


raw = open(sys.argv[1], "rb").read()
cp = configparser.ConfigParser(interpolation=None, strict=False, delimiters=("=",),
                               comment_prefixes=(";",), default_section="\x00none")
cp.optionxform = str
cp.read_string(raw.decode("utf-8"))
out = []
for name in cp.sections():
    if not re.fullmatch(r"[0-9A-Fa-f]{4}((sub|SUB|Sub)[0-9A-Fa-f]+)?", name):
        continue
    keys = {}
    data_type = number(cp.get(name, "DataType", raw=True, fallback="")) or 0
    for k, v in cp.items(name, raw=True):
        if k in VALUES:
            keys[k] = value(v, data_type)
        elif k in NUMBERS:
            n = number(v)
            keys[k] = 0 if n is None else n
        elif k == "PDOMapping":
            n = number(v)
            keys[k] = True if n is None else n != 0
        else:
            keys[k] = v
    out.append([name, keys])
print(json.dumps(out))

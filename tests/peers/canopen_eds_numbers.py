#!/usr/bin/python3
# Reads an EDS or DCF file with configparser and prints, as JSON, every
# object and sub-object section with the values of its keys read by Python's
# own int(): [[section, {key: value}], ...]. Numbers: "0x" hexadecimal of any
# length, its low 32 bits as a signed 32-bit value; decimal within the
# 32-bit range; anything else 0. Flags (PDOMapping): a number is true when
# not 0, any other text true. The texts of the other keys are passed as
# they are.
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
    for k, v in cp.items(name, raw=True):
        if k in NUMBERS:
            n = number(v)
            keys[k] = 0 if n is None else n
        elif k == "PDOMapping":
            n = number(v)
            keys[k] = True if n is None else n != 0
        else:
            keys[k] = v
    out.append([name, keys])
print(json.dumps(out))

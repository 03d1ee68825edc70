#!/usr/bin/python3
# Reads an EDS file with configparser and prints its sections and keys as
# JSON: [[section, [[key, value], ...]], ...], sections in order of first
# appearance, a repeated section merged into the first, a repeated key
# keeping its last value. Lines without "=" are left out. The file is UTF-8
# or, failing that, GB18030.
import configparser
import json
import sys

raw = open(sys.argv[1], "rb").read()
try:
    text = raw.decode("utf-8")
except UnicodeDecodeError:
    text = raw.decode("gb18030")

cp = configparser.ConfigParser(interpolation=None, strict=False, delimiters=("=",),
                               comment_prefixes=(";",), allow_no_value=True,
                               empty_lines_in_values=False, default_section="\x00none")
cp.optionxform = str
cp.read_string(text)
out = []
for name in cp.sections():
    keys = [[k, v] for k, v in cp.items(name, raw=True) if v is not None]
    out.append([name, keys])
print(json.dumps(out, ensure_ascii=False))

#!/usr/bin/python3
# Reads a settings file with configparser and prints "key=value" lines of its
# general section, sorted, for the caller to compare.
import configparser
import sys

cp = configparser.ConfigParser(interpolation=None)
cp.optionxform = str
with open(sys.argv[1], encoding="utf-8") as f:
    cp.read_file(f)
sec = cp["General"]
for k in sorted(sec):
    v = sec[k]
    if len(v) >= 2 and v[0] == '"' and v[-1] == '"':
        v = v[1:-1]
    print(f"{k}={v}")

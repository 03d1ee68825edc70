#!/usr/bin/python3
# Checks a CANopen project file with Python's json: the top level holds the
# four project members; every member of every dictionary object is a JSON
# string (numbers as their decimal text), except "childList", an array of
# dictionary objects. Prints one line per dictionary object:
#   path index subIndex curValue DefaultValue LowLimit pdoEnable ParameterName
# and exits 1 with a message at the first violation.
import json
import re
import sys

NUMBERS = {"isRoot", "index", "subIndex", "SubNumber", "ObjectType", "DataType", "DefaultValue",
           "LowLimit", "HighLimit", "curValue", "PDOMapping", "ObjFlags", "cobID",
           "transmissionType", "syncStartValue", "inhibitTime", "eventTime", "pdoEnable",
           "mapBitLength"}
TEXTS = {"ParameterName", "AccessType", "color"}
SIGNED = {"DefaultValue", "LowLimit", "HighLimit"}

def fail(msg):
    print("FAIL " + msg)
    sys.exit(1)

def check(obj, path, out):
    if not isinstance(obj, dict):
        fail(path + ": not an object")
    for k, v in obj.items():
        if k == "childList":
            if not isinstance(v, list):
                fail(path + ": childList not an array")
            for i, c in enumerate(v):
                check(c, f"{path}/{i}", out)
        elif k in NUMBERS:
            if not isinstance(v, str):
                fail(f"{path}.{k}: {v!r} is not a string")
            pattern = r"-?(0|[1-9][0-9]*)" if k in SIGNED else r"(0|[1-9][0-9]*)"
            if not re.fullmatch(pattern, v) or v == "-0":
                fail(f"{path}.{k}: {v!r} is not decimal text")
        elif k in TEXTS:
            if not isinstance(v, str):
                fail(f"{path}.{k}: not a string")
        else:
            fail(f"{path}: unexpected member {k}")
    for k in NUMBERS - {"mapBitLength"}:
        if k not in obj:
            fail(f"{path}: member {k} missing")
    out.append(f"{path} {obj['index']} {obj['subIndex']} {obj['curValue']} {obj['DefaultValue']} "
               f"{obj['LowLimit']} {obj['pdoEnable']} {obj['ParameterName']}")

doc = json.load(open(sys.argv[1], encoding="utf-8"))
if not isinstance(doc, dict):
    fail("top level is not an object")
if set(doc) != {"edsFilePath", "listenDictObjList", "RxPdoDictObjList", "TxPdoDictObjList"}:
    fail("top-level members: " + ",".join(sorted(doc)))
if not isinstance(doc["edsFilePath"], str):
    fail("edsFilePath not a string")
out = ["eds " + doc["edsFilePath"]]
for name in ("listenDictObjList", "RxPdoDictObjList", "TxPdoDictObjList"):
    if not isinstance(doc[name], list):
        fail(name + " not an array")
    for i, o in enumerate(doc[name]):
        check(o, f"{name}/{i}", out)
print("\n".join(out))

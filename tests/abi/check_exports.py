#!/usr/bin/env python3
"""Fails when the shared library exports anything outside its boundary.

Reduces every defined dynamic symbol (nm -DC --defined-only) to the class, function or data
object it belongs to, drops the standard library's template instances, and compares the set
with boundary.txt in both directions, so the list stays exact.
"""
import subprocess
import sys

PREFIXES = ("typeinfo name for ", "typeinfo for ", "vtable for ", "VTT for ",
            "non-virtual thunk to ", "virtual thunk to ", "guard variable for ")
NAMESPACES = ("MoxXML", "MoxMsg")


def strip_templates(name):
    out, depth = [], 0
    for c in name:
        if c == "<":
            depth += 1
        elif c == ">":
            depth -= 1
        elif depth == 0:
            out.append(c)
    return "".join(out)


def owner(symbol):
    for prefix in PREFIXES:
        if symbol.startswith(prefix):
            symbol = symbol[len(prefix):]
    name = strip_templates(symbol).split("(")[0].split()[-1]
    # The standard library's template instances, and AddressSanitizer's ODR markers.
    if name.startswith(("std::", "__gnu_cxx::", "operator", "__odr_asan")):
        return None
    parts = name.split("::")
    kept = []
    for part in parts:
        kept.append(part)
        if part not in NAMESPACES:
            break
    return "::".join(kept)


def main(library, boundary_file):
    output = subprocess.run(["nm", "-DC", "--defined-only", library], check=True,
                            capture_output=True, text=True).stdout
    exported = set()
    for line in output.splitlines():
        fields = line.split(" ", 2)
        if len(fields) == 3 and fields[1] not in ("A",):
            entity = owner(fields[2])
            if entity:
                exported.add(entity)
    with open(boundary_file) as f:
        boundary = {l.strip() for l in f if l.strip() and not l.startswith("#")}
    extra, missing = sorted(exported - boundary), sorted(boundary - exported)
    for name in extra:
        print(f"exported but outside the boundary: {name}")
    for name in missing:
        print(f"in the boundary but not exported: {name}")
    print(f"{len(exported)} exported entities checked against {len(boundary)} in the boundary")
    return 1 if extra or missing else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))

#!/usr/bin/env python3
"""Writes the Debian symbols file of a built libmoxxml to standard output.

usage: abi_symbols.py LIBRARY VERSION [OLD_SYMBOLS_FILE]

Symbols are listed by demangled name, (c++). A symbol already in OLD_SYMBOLS_FILE keeps the
version it first appeared in; a new one gets VERSION. The standard library's template
instances that the compiler chose to emit are (optional): they come and go with inlining and
no host links against them from us. size_t is "unsigned long" on 64-bit and "unsigned int" on
32-bit architectures, so a symbol that takes one is listed once per width.
"""
import re
import subprocess
import sys

# Mangled names of std::, its abbreviations (std::allocator, std::basic_string, ...) and
# __gnu_cxx::, also inside vtables, typeinfo, guard variables and function-local statics.
STANDARD_LIBRARY = re.compile(r"^_Z(?:T[VIST]|GV|Z)?N?K?(?:S[tabsiod]|9__gnu_cxx)")
ENTRY = re.compile(r'^ \(([^)]*)\)"(.*)@Base" (\S+)$')


def soname_of(library):
    dynamic = subprocess.run(["readelf", "-d", library], check=True, capture_output=True,
                             text=True).stdout
    return re.search(r"\(SONAME\)\s+Library soname: \[(.*)\]", dynamic).group(1)


def package_of(soname):
    # Debian's rule: libfoo.so.N is libfooN, and libfoo2.so.N is libfoo2-N.
    name, number = re.match(r"^(.*)\.so\.(\d+)$", soname).groups()
    return name + ("-" if name[-1].isdigit() else "") + number


def exported(library):
    mangled = subprocess.run(["nm", "-D", "--defined-only", library], check=True,
                             capture_output=True, text=True).stdout.split()[2::3]
    demangled = subprocess.run(["c++filt"], input="\n".join(mangled), check=True,
                               capture_output=True, text=True).stdout.splitlines()
    return zip(mangled, demangled)


def entries(library):
    """(tags, demangled name) for every exported symbol, once per architecture width."""
    found = set()
    for mangled, name in exported(library):
        tags = ["c++"]
        if STANDARD_LIBRARY.match(mangled):
            tags.append("optional")
        if re.search(r"(?<!unsigned )\blong\b", name):
            sys.exit(f"{name}: a 'long' whose width per architecture is unknown; list it by hand")
        if "unsigned long" in name:
            found.add(("arch-bits=64|" + "|".join(tags), name))
            found.add(("arch-bits=32|" + "|".join(tags), name.replace("unsigned long", "unsigned int")))
        else:
            found.add(("|".join(tags), name))
    return sorted(found, key=lambda entry: (entry[1], entry[0]))


def main(library, version, old_file=None):
    known = {}
    if old_file:
        with open(old_file) as f:
            for line in f:
                match = ENTRY.match(line.rstrip("\n"))
                if match:
                    known[match.group(1), match.group(2)] = match.group(3)
    soname = soname_of(library)
    print("# Written by scripts/abi.sh update from the Release build; confirmed on amd64.")
    print(f"{soname} {package_of(soname)} #MINVER#")
    print("* Build-Depends-Package: libmoxxml-dev")
    for tags, name in entries(library):
        print(f' ({tags})"{name}@Base" {known.get((tags, name), version)}')


if __name__ == "__main__":
    main(*sys.argv[1:])

#!/usr/bin/env bash
# The library's ABI against the committed description of it.
#   scripts/abi.sh check   builds the library and compares it with tests/abi/libmoxxml.abi
#                          (abidiff) and debian/libmoxxml0.symbols; fails on any difference and
#                          says whether it is incompatible
#   scripts/abi.sh update  builds the library and rewrites both files from that build
# The build is the one the Debian package ships: Release under Debian's build flags, which
# carry -g for abidw and map the source folder to ".", so that any clone gives the same text.
set -euo pipefail
shopt -s nullglob
cd "$(dirname "$0")/.."
mode=${1:-}
if [ "$mode" != check ] && [ "$mode" != update ]; then
  echo "usage: scripts/abi.sh check|update" >&2
  exit 2
fi
scripts/install-deps.sh abigail-tools

build=build/abi
baseline=tests/abi/libmoxxml.abi
export DEB_BUILD_MAINT_OPTIONS=hardening=+bindnow  # as debian/rules sets it
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DMOXXML_BUILD_TESTS=OFF \
  -DMOXXML_BUILD_MANPAGE=OFF \
  -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)" \
  -DCMAKE_SHARED_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" >/dev/null
cmake --build "$build" -j"$(nproc)" --target moxxml >/dev/null
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
library=$(readlink -f "$build/libmoxxml.so")
soname=$(readelf -d "$library" | sed -n 's/.*Library soname: \[\(.*\)\]/\1/p')
symbols=debian/libmoxxml${soname##*.so.}.symbols

# Only what the public headers declare counts; locations and build paths are left out, and
# type ids are hashes, so an unrelated edit does not renumber the whole file.
abidw --no-corpus-path --no-comp-dir-path --no-show-locs --type-id-style hash \
  --drop-private-types --headers-dir include --headers-dir "$build/include" \
  --out-file "$build/libmoxxml.abi" "$library"
# A symbol keeps the version it first appeared in, until the soname changes.
scripts/abi_symbols.py "$library" "$version" $([ -f "$symbols" ] && echo "$symbols") \
  >"$build/libmoxxml.symbols"

if [ "$mode" = update ]; then
  if [ -f "$baseline" ]; then
    abidiff "$baseline" "$build/libmoxxml.abi" || true
  fi
  cp "$build/libmoxxml.abi" "$baseline"
  for stale in debian/libmoxxml*.symbols; do
    [ "$stale" = "$symbols" ] || rm -v "$stale"
  done
  cp "$build/libmoxxml.symbols" "$symbols"
  echo "rewrote $baseline and $symbols from the Release build of $version ($soname)"
  exit 0
fi

status=0
abidiff "$baseline" "$build/libmoxxml.abi" >"$build/abidiff.txt" || status=$?
if [ $((status & 3)) -ne 0 ]; then
  cat "$build/abidiff.txt"
  echo "abidiff failed (exit status $status)" >&2
  exit 1
elif [ $((status & 8)) -ne 0 ]; then
  cat "$build/abidiff.txt"
  echo "INCOMPATIBLE ABI change against $baseline: if it is meant, raise MOXXML_SOVERSION in" \
    "CMakeLists.txt, rename the libmoxxml package in debian/ and run scripts/abi.sh update" >&2
  exit 1
elif [ $((status & 4)) -ne 0 ]; then
  cat "$build/abidiff.txt"
  echo "compatible ABI change against $baseline: if it is meant, run scripts/abi.sh update" \
    "and commit the new baseline with the change" >&2
  exit 1
fi
if ! diff -u "$symbols" "$build/libmoxxml.symbols"; then
  echo "exported symbols differ from $symbols: if that is meant, run scripts/abi.sh update" >&2
  exit 1
fi
echo "ABI unchanged: the library matches $baseline and $symbols"

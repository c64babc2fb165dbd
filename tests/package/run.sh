#!/usr/bin/env bash
# Installs the build tree into a temporary prefix, runs the installed moxmsg from there, then
# builds and runs a consumer against the prefix twice: through find_package(moxxml CONFIG) and
# through pkg-config.
#   run.sh BUILD SOURCE rpath|no-rpath   (no-rpath: built with CMAKE_SKIP_INSTALL_RPATH=ON)
set -euo pipefail
build=$1 source=$2 rpath=${3:-rpath}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/prefix" >/dev/null

# With its run path, moxmsg starts in an empty environment, from a prefix outside the loader's
# path; without one, it needs the library's directory named.
libpath=
if [ "$rpath" = no-rpath ]; then
  libpath=LD_LIBRARY_PATH=$(dirname "$(find "$work/prefix" -name 'libmoxxml.so.*' | head -n 1)")
fi
env -i $libpath "$work/prefix/bin/moxmsg" "$source/examples/as2-mdn-rfc3798-1.eml" >"$work/out.xml"
grep -q '<disposition v=' "$work/out.xml"

cmake -S "$source/tests/package/consumer" -B "$work/cmake" -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/cmake" >/dev/null
"$work/cmake/consumer"

libdir=$(dirname "$(find "$work/prefix" -name moxxml.pc)")
export PKG_CONFIG_PATH="$libdir"
# shellcheck disable=SC2046
c++ -std=c++17 "$source/tests/package/consumer/main.cpp" -o "$work/pc-consumer" \
    $(pkg-config --cflags --libs moxxml)
LD_LIBRARY_PATH="$(dirname "$libdir")" "$work/pc-consumer"

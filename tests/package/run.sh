#!/usr/bin/env bash
# Installs the build tree into a temporary prefix, then builds and runs a consumer against it
# twice: through find_package(moxxml CONFIG) and through pkg-config.
set -euo pipefail
build=$1 source=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/prefix" >/dev/null

cmake -S "$source/tests/package/consumer" -B "$work/cmake" -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/cmake" >/dev/null
"$work/cmake/consumer"

libdir=$(dirname "$(find "$work/prefix" -name moxxml.pc)")
export PKG_CONFIG_PATH="$libdir"
# shellcheck disable=SC2046
c++ -std=c++17 "$source/tests/package/consumer/main.cpp" -o "$work/pc-consumer" \
    $(pkg-config --cflags --libs moxxml)
LD_LIBRARY_PATH="$(dirname "$libdir")" "$work/pc-consumer"

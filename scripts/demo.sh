#!/usr/bin/env bash
# Installs what is missing, builds in Release and runs moxmsg: on a bundled sample MDN when
# given no arguments, else with the given arguments.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DMOXXML_BUILD_TESTS=OFF >/dev/null
cmake --build build/release -j"$(nproc)" --target moxmsg >/dev/null
if [ $# -eq 0 ]; then
  set -- --pretty examples/as2-mdn-libas2-1.eml
fi
exec build/release/tools/moxmsg/moxmsg "$@"

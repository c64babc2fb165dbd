#!/usr/bin/env bash
# Installs what is missing, builds in Release and runs moxmsg on a bundled sample message.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DMOXXML_BUILD_TESTS=OFF >/dev/null
cmake --build build/release -j"$(nproc)" --target moxmsg >/dev/null
build/release/tools/moxmsg/moxmsg "$@"

#!/usr/bin/env bash
# Installs what is missing, then builds and runs the whole suite twice: a plain build with
# warnings as errors, and a build under AddressSanitizer + UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
jobs=$(nproc)
status=0
for preset in asan dev; do
  echo "== $preset build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j"$jobs"
  ctest --preset "$preset" -j"$jobs" || status=1
done
exit $status

#!/usr/bin/env bash
# Installs what is missing, then builds and runs the whole suite twice: a plain build with
# warnings as errors, and a build under AddressSanitizer + UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
# The Python module and its tests: headers, pybind11, pytest, and mypy for its stub check.
scripts/install-deps.sh python3-dev pybind11-dev python3-pytest python3-mypy
jobs=$(nproc)
status=0
for preset in asan dev; do
  echo "== $preset build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j"$jobs"
  ctest --preset "$preset" -j"$jobs" || status=1
done
exit $status

#!/usr/bin/env bash
# Installs what is missing, then builds and runs the suite three times: under AddressSanitizer
# + UndefinedBehaviorSanitizer; the concurrency suite and the suites of the objects hosts use
# on many threads (MIME, codecs, capture, builder, XML and message nodes) under
# ThreadSanitizer; and the whole suite in a plain build with warnings as errors, last, so that
# the final line is its summary.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
jobs=$(nproc)
status=0
for preset in asan tsan dev; do
  echo "== $preset build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j"$jobs"
  ctest --preset "$preset" -j"$jobs" || status=1
done
exit $status

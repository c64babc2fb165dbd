#!/usr/bin/env bash
# Runs one fuzz target for a while (a manual check, never part of CI):
#   scripts/fuzz.sh <target> [seconds] [extra corpus dirs...]
# Builds the fuzz preset (clang, libFuzzer, ASan, UBSan) if needed. New inputs go to
# build/fuzz/work/<target>, crashes to build/fuzz/artifacts/<target>/; the committed seeds in
# fuzz/corpus/<target> are read, never written. Minimise a finding, add it to the seeds
# under a name that says what it breaks, and pin it with a regression test.
set -euo pipefail
cd "$(dirname "$0")/.."
target=$1
seconds=${2:-1800}
shift $(($# < 2 ? $# : 2))
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j2 --target "$target" >/dev/null
work=build/fuzz/work/$target
artifacts=build/fuzz/artifacts/$target/
mkdir -p "$work" "$artifacts"
case $target in
  fuzz_message_parser) max_len=16384 ;;
  *) max_len=4096 ;;
esac
exec nice -n 10 "build/fuzz/fuzz/$target" -max_total_time="$seconds" -rss_limit_mb=2048 \
  -timeout=10 -max_len="$max_len" -dict=fuzz/mime.dict -artifact_prefix="$artifacts" \
  -print_final_stats=1 "$work" "fuzz/corpus/$target" "$@"

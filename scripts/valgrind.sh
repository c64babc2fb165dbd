#!/usr/bin/env bash
# Runs every test executable of the dev build, and the fuzz corpus replays, under valgrind
# memcheck (a manual check, never part of CI: it takes several minutes). Fails on the first
# executable with a memory error or a leak.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset dev >/dev/null
cmake --build --preset dev -j2 >/dev/null
vg=(valgrind --error-exitcode=1 --leak-check=full --errors-for-leak-kinds=definite,indirect
    --show-leak-kinds=definite,indirect --quiet)
status=0
for test in $(find build/dev/tests -name '*_tests' -type f -perm -u+x | sort); do
  echo "== $test"
  # The CLI suite spawns the tool; it is run, but its children are not traced.
  "${vg[@]}" "$test" --gtest_brief=1 || status=1
done
for target in build/dev/fuzz/fuzz_*; do
  echo "== $target"
  "${vg[@]}" "$target" "fuzz/corpus/$(basename "$target")" || status=1
done
exit $status

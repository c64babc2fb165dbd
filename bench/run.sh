#!/usr/bin/env bash
# Builds the benchmarks in Release, runs each beside its peers in the same run and prints one
# summary line per goal, the ratio of medians: "NAME: RATIO (goal: ...) met|not met".
#   MOXXML_BENCH_BUILD        build directory (default build/bench)
#   MOXXML_BENCH_REPETITIONS  repetitions of every benchmark (default 5)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${MOXXML_BENCH_BUILD:-$root/build/bench}
repetitions=${MOXXML_BENCH_REPETITIONS:-5}

"$root/scripts/install-deps.sh" libbenchmark-dev libssl-dev libgmime-3.0-dev libpugixml-dev \
  python3-dev pybind11-dev
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DMOXXML_BUILD_BENCH=ON \
  -DMOXXML_BUILD_PYTHON=ON -DMOXXML_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j2 >/dev/null

results=$build/results
rm -rf "$results"
mkdir -p "$results"
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"

# Repetitions are interleaved at random, so a burst of load on the shared machine falls on
# both sides of a ratio; later options override earlier ones.
run() {
  local name=$1
  shift
  "$build/bench/$name" --benchmark_repetitions="$repetitions" \
    --benchmark_enable_random_interleaving=true --benchmark_format=json \
    --benchmark_out="$results/$name.json" --benchmark_out_format=json "$@" >/dev/null
}
# The document takes a millisecond or less: many short repetitions spread the load best.
run document_bench --benchmark_repetitions=$((repetitions * 4)) --benchmark_min_time=0.1
run codec_bench
run mime_bench
# The large payload: one process per measurement, so that each peak RSS is its own.
for i in $(seq "$repetitions"); do
  for side in moxxml xerces; do
    "$build/bench/payload_bench" --benchmark_filter="/$side\$" --benchmark_format=json \
      >"$results/payload_bench.$side.$i.json"
  done
done
# moxmsg end to end, by wall clock; its inputs are made under the build directory on first use.
python3 "$root/bench/cli_bench.py" "$build/tools/moxmsg/moxmsg" "$root" "$build" "$results" \
  $((repetitions * 2 + 1))

# The Python module beside email and beside the same loops in C++, in one interpreter
# (Debian's, which the module is built for).
/usr/bin/python3 "$root/bench/python_bench.py" "$build" "$results" "$repetitions"
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"

python3 "$root/bench/summary.py" "$results"

#!/bin/bash
# Builds the benchmark programs (native Release build, no sanitizers) and runs every
# one of them, printing their figures. tools/test.sh builds the same folder but never
# runs it: timings are not pass/fail.
#
#   TURNBELL_BUILD=dir     build folder (default: build/ in the checkout); the programs
#                          are built in dir/bench, as tools/test.sh does
#   further arguments      handed to every program (Google Benchmark flags, e.g.
#                          --benchmark_repetitions=5 or --benchmark_min_time=2)
set -uo pipefail
source "$(dirname "$0")/lib.sh"
dir=$build/bench

"$root/tools/install-deps.sh" || exit 1   # says in one line what failed

echo "== build bench"
build_preset "$dir" bench || exit 1

status=0
found=0
for program in "$dir"/bench/bench_*; do
  [ -f "$program" ] && [ -x "$program" ] || continue
  found=1
  echo
  echo "== $(basename "$program")"
  "$program" "$@" || { echo "$(basename "$program") failed"; status=1; }
done
[ "$found" -eq 1 ] || { echo "no benchmark programs in $dir/bench"; exit 1; }
exit $status

#!/bin/bash
# The whole test run: installs what is missing, checks the C++ style, builds the three
# targets (native, i686 and x86_64 Windows), checks that releases that could never work
# for a user are refused, runs every native test under ASan and UBSan, then the whole
# Windows suite twice under wine64 side by side (the 32-bit build, the one that ships,
# and the x86_64 build), each in a private X display and a throwaway Wine prefix; beside
# them, at the lowest priority, it builds the benchmarks and the HTTPS variant of the
# programs, checks that the 32-bit release comes out the same when built twice, and runs
# the parser fuzzer for a bounded time.
#
#   TURNBELL_BUILD=dir          build folder (default: build/ in the checkout)
#   TURNBELL_FUZZ_SECONDS=n     how long the fuzzer runs (default 60)
#   TURNBELL_CTEST_ARGS="..."   extra arguments for every ctest run (e.g. -R parser)
#   TURNBELL_SKIP_I686=1        build the 32-bit suite but do not run it (for a machine
#                               where the 32-bit runner cannot be set up); said at the end
set -uo pipefail
source "$(dirname "$0")/lib.sh"
fuzz_seconds=${TURNBELL_FUZZ_SECONDS:-60}
skip_i686=${TURNBELL_SKIP_I686:-0}
jobs=$(nproc)
run_started=$(date +%s)

# The 32-bit runner first: its apt-get update (the i386 architecture and the backports
# source added) leaves the lists fresh, so the build packages need no second one. Each
# script says in one line of its own which step failed and where apt's output is.
if [ "$skip_i686" = 1 ]; then
  echo "== the 32-bit suite will be built but not run (TURNBELL_SKIP_I686=1)"
else
  "$root/tools/setup-i686.sh" || exit 1
fi
"$root/tools/install-deps.sh" || exit 1

# Every C++ source keeps the project's style (.clang-format).
echo "== format"
unformatted=$(cd "$root" && git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run 2>&1 | grep "warning:")
if [ -n "$unformatted" ]; then
  head -n 20 <<<"$unformatted"
  echo "$(wc -l <<<"$unformatted") lines differ from .clang-format: run clang-format -i on the files above"
  exit 1
fi

# build FOLDER PRESET [CMAKE_ARGUMENTS...]: a preset built in $build/FOLDER. Warnings in
# the project's own code fail the build (TURNBELL_WERROR).
build() {
  local folder=$1 preset=$2; shift 2
  echo "== build $folder"
  build_preset "$build/$folder" "$preset" -DTURNBELL_WERROR=ON "$@" 2>&1 || exit 1
}
for t in native win32 win64; do build "$t" "$t"; done

# A release that names no real site, or names this machine, could never work for a user;
# --local with a site host contradicts itself. Each is refused at once, in one line,
# before anything is built: refused LINE_START ARGUMENTS... is one row, one pass or fail.
# The timeout and the folder of its own only stop a release wrongly let through.
echo "== releases that could never work for a user are refused"
refusal_failures=()
refusal_rows=0
refused() {
  local start=$1 output status
  shift
  refusal_rows=$((refusal_rows + 1))
  output=$(TURNBELL_BUILD="$build/refused-release" timeout 60 "$root/tools/release.sh" "$@" 2>&1)
  status=$?
  echo "tools/release.sh $*: exit $status: $output"
  if [ "$status" -ne 2 ] || [[ $output != "$start"* || $output == *$'\n'* ]]; then
    refusal_failures+=("tools/release.sh $* was not refused with the one line \"$start...\" (exit $status)")
  fi
}
refused "release: no site named: TURNBELL_SITE_HOST names no host"
refused "release: no site named: TURNBELL_SITE_HOST=LOCALHOST is a name for this machine" \
  -DTURNBELL_SITE_HOST=LOCALHOST -DTURNBELL_HOMEPAGE_HOST=www.example.org
refused "release: no site named: TURNBELL_HOMEPAGE_HOST=127.0.0.2 is a loopback address" \
  -DTURNBELL_SITE_HOST=games.example.org -D TURNBELL_HOMEPAGE_HOST=127.0.0.2
refused "release: no site named: TURNBELL_SITE_HOST=[::1] is a loopback address" \
  -D TURNBELL_SITE_HOST "[::1]" -DTURNBELL_HOMEPAGE_HOST=www.example.org
refused "release: --local and TURNBELL_SITE_HOST=games.example.org contradict each other" \
  --local -DTURNBELL_SITE_HOST=games.example.org

passed=0; failed=0
passed=$((passed + refusal_rows - ${#refusal_failures[@]})); failed=$((failed + ${#refusal_failures[@]}))
[ ${#refusal_failures[@]} -eq 0 ] || printf '%s\n' "${refusal_failures[@]}"
count_ctest() {   # reads ctest's closing line from a log
  local line total fails
  line=$(grep -E "tests passed, [0-9]+ tests? failed out of [0-9]+" "$1" | tail -n1)
  total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
  fails=$(sed -E 's/.* ([0-9]+) tests? failed.*/\1/' <<<"$line")
  if [ -z "$line" ]; then failed=$((failed + 1)); return; fi
  passed=$((passed + total - fails)); failed=$((failed + fails))
}

echo "== native tests"
(cd "$build/native" && ctest -j "$jobs" --timeout 300 --output-on-failure ${TURNBELL_CTEST_ARGS:-}) \
  2>&1 | tee "$build/native.test.log"
count_ctest "$build/native.test.log"

# What runs beside the Windows suites, at the lowest priority: the suites spend most of
# their time waiting on Wine and on the test sites, and this fills the idle cores without
# taking time from a test. The benchmarks' build; the programs as built for a site that
# speaks only HTTPS (their tests run in the builds above: the scheme is a field of the
# site asked); the 32-bit release, built twice in two folders, which must come out byte
# for byte the same; then the parser fuzzer for a bounded time. Each step leaves its
# output in $build/side-STEP.log and its status in $build/side-STEP.status.
side_steps=(bench https reproducible)
fuzzers=()
if [ "$fuzz_seconds" -gt 0 ]; then
  for f in "$build/native"/fuzz/fuzz_*; do [ -x "$f" ] && fuzzers+=("$f"); done
fi
for f in "${fuzzers[@]}"; do side_steps+=("$(basename "$f")"); done
side_step() {
  case $1 in
    bench) build_preset "$build/bench" bench -DTURNBELL_WERROR=ON ;;
    https) targets="Turnbell turnbell-check" build_preset "$build/win32-https" win32 -DTURNBELL_WERROR=ON \
             -DTURNBELL_TESTS=OFF -DTURNBELL_SITE_SCHEME=https -DTURNBELL_HOMEPAGE_SCHEME=https ;;
    reproducible) "$root/tools/release.sh" --check-reproducible ;;
    fuzz_*)
      local corpus="$build/fuzz-corpus/$1"
      mkdir -p "$corpus"
      "$build/native/fuzz/$1" -max_total_time="$fuzz_seconds" -max_len=131072 -print_final_stats=1 \
        -dict="$root/fuzz/$1.dict" "$corpus" "$root/tests/data" ;;
  esac
}
rm -f "$build"/side-*.status
# Job control gives each background job a process group of its own, so that an
# interrupted run stops all that a job started (kill -- -PID).
set -m
(
  renice -n 19 -p "$BASHPID" >/dev/null 2>&1
  for step in "${side_steps[@]}"; do
    side_step "$step" >"$build/side-$step.log" 2>&1
    echo $? >"$build/side-$step.status"
  done
) &
side_pid=$!

# One Windows suite, in the background: a fresh display and prefix of its own, every
# test of one build, its log in $build/NAME.test.log and its time in $build/NAME.time.
# The two suites run side by side: they share nothing but the machine (each test site
# takes a free port, the end-to-end test has a network of its own).
source "$root/tools/wine-session.sh"
windows_suite() {
  local t=$1 label=$2 started ctest_pid=""
  started=$(date +%s)
  trap '[ -z "$ctest_pid" ] || { kill "$ctest_pid" 2>/dev/null; wait "$ctest_pid"; }; wine_session_stop' EXIT
  trap 'exit 143' INT TERM
  # The end-to-end test's prefix of its own starts as a copy of this one as booted.
  export TURNBELL_WINE_TEMPLATE=1
  wine_session_start
  (cd "$build/$t" && exec ctest -j "$jobs" --timeout 600 --output-on-failure ${TURNBELL_CTEST_ARGS:-}) \
    >"$build/$t.test.log" 2>&1 &
  ctest_pid=$!
  wait "$ctest_pid"
  ctest_pid=""
  echo "$label $(( $(date +%s) - started )) s" >"$build/$t.time"
}
suites=()
[ "$skip_i686" = 1 ] || suites+=(win32:i686)
suites+=(win64:x86_64)
suite_pids=()
for suite in "${suites[@]}"; do
  rm -f "$build/${suite%%:*}.time"
  windows_suite "${suite%%:*}" "${suite##*:}" &
  suite_pids+=($!)
done
trap 'for pid in "${suite_pids[@]}" "$side_pid"; do kill -- "-$pid" 2>/dev/null; done; wait' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
echo "== Windows tests: ${suites[*]#*:} side by side under wine64; beside them at low priority: ${side_steps[*]}"
wait "${suite_pids[@]}"
suite_times=""
[ "$skip_i686" = 1 ] && echo "== Windows tests (i686): skipped, TURNBELL_SKIP_I686=1"
for suite in "${suites[@]}"; do
  t=${suite%%:*}
  echo "== Windows tests (${suite##*:}, wine64)"
  cat "$build/$t.test.log"
  count_ctest "$build/$t.test.log"
  suite_times+="${suite_times:+, }$(cat "$build/$t.time" 2>/dev/null || echo "${suite##*:} stopped")"
done

wait "$side_pid"
for step in "${side_steps[@]}"; do
  status=$(cat "$build/side-$step.status" 2>/dev/null || echo "not run")
  case $step in
    bench|https) echo "== build $step: exit $status"
      [ "$status" = 0 ] || tail -n 40 "$build/side-$step.log" ;;
    reproducible) echo "== reproducible release (win32, built twice)"; cat "$build/side-$step.log" ;;
    fuzz_*) echo "== fuzz $step for ${fuzz_seconds}s (beside the Windows suites)"
      if [ "$status" = 0 ]; then
        grep -E "^(stat::number_of_executed_units|Done )" "$build/side-$step.log"
      else
        tail -n 40 "$build/side-$step.log"
      fi ;;
  esac
  # The two builds are steps of the build, not tests: a failure fails the run.
  if [ "$status" = 0 ]; then
    case $step in bench|https) ;; *) passed=$((passed + 1)) ;; esac
  else
    failed=$((failed + 1))
  fi
done

# What a suite could not measure here is said once, not counted as a pass.
not_measured=$(cat "$build"/win32/Testing/Temporary/LastTest.log "$build"/win64/Testing/Temporary/LastTest.log \
  2>/dev/null | grep -o '\[ not measured \].*' | sort -u)
if [ -n "$not_measured" ]; then
  echo
  echo "Not measured on this machine:"
  sed 's/^\[ not measured \] */  /' <<<"$not_measured"
fi

echo
echo "Windows suites: $suite_times; whole run $(( $(date +%s) - run_started )) s"
if [ "$skip_i686" = 1 ]; then
  echo "$passed passed, $failed failed (native, x86_64, the fuzzer and the release checks; the 32-bit suite was NOT run: TURNBELL_SKIP_I686=1)"
else
  echo "$passed passed, $failed failed (native, i686, x86_64, the fuzzer and the release checks)"
fi
[ "$failed" -eq 0 ]

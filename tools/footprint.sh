#!/bin/bash
# Turnbell's idle footprint under wine64, against the floor of a tray program of its kind
# (bench/floor_tray_win.cpp: the same system libraries but the common dialogs, one POST,
# one tray icon). Both are x86_64 builds made as the release is (MinSizeRel, stripped),
# started in one Wine desktop on a private display and prefix, beside the test site on
# 127.0.0.1 port 80. A first run of each
# warms the prefix up and is not counted; then RUNS runs of each are measured:
#   floor                    a few seconds after its POST
#   Turnbell, idle           a few seconds after the two polls at start
#   Turnbell, after Browse   the same copy, once the settings dialog's Browse has opened
#                            the file dialog, both have been cancelled and the poll that
#                            the save wakes has come and gone
# The figures come from /proc of the program's process: resident memory (VmRSS), private
# memory (Private_Clean and Private_Dirty of smaps_rollup) and the Windows modules it has
# mapped (distinct .dll, .drv and .exe files). Every run is printed, then the median and the
# spread (lowest to highest) of each figure, and Turnbell's idle medians as multiples of
# the floor's.
#   tools/footprint.sh [RUNS]     (default 5)
#   TURNBELL_BUILD=dir            build folder, as for tools/test.sh
set -uo pipefail
source "$(dirname "$0")/lib.sh"
runs=${1:-5}

"$root/tools/install-deps.sh" || exit 1
targets="Turnbell floor-tray" build_preset "$build/footprint-win64" release-win64 || exit 1
turnbell=$build/footprint-win64/app/Turnbell.exe
floor=$build/footprint-win64/bench/floor-tray.exe
source "$root/tools/wine-session.sh"
source "$root/tests/e2e/harness.sh"
work=$(mktemp -d "${TMPDIR:-/tmp}/turnbell-footprint.XXXXXX")
floor_pid=""
cleanup() { tb_turnbell_stop; tb_stop floor_pid; tb_site_stop; wine_session_stop; rm -rf "$work"; }
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
die() { echo "footprint: $*" >&2; exit 1; }

unset KEEP_DISPLAY
wine_session_start 1024x768
tb_desktop Turnbell 1000x700
log=$work/requests.log
tb_site_start "$log" "$root/tests/testsite/scenarios/demo.json" || die "the test site did not start"
# Turnbell polls for the demo's player with the flash and the sound off: the icon stays
# red, where the menu finds it, and nothing plays.
mkdir -p "$work/turnbell"
printf '[Turnbell]\r\nUsername=Ottilie\r\nNotifyIcon=0\r\nNotifySound=0\r\n' >"$work/turnbell/Turnbell.ini"

# figures PID: "resident private modules", memory in KB.
figures() {
  local pid=$1
  echo "$(awk '/^VmRSS:/ {print $2}' "/proc/$pid/status")" \
    "$(awk '/^Private_(Clean|Dirty):/ {sum += $2} END {print sum}' "/proc/$pid/smaps_rollup")" \
    "$(awk 'tolower($6) ~ /\.(dll|drv|exe)$/ {print tolower($6)}' "/proc/$pid/maps" | sort -u | wc -l)"
}

searches_past() { [ "$(tb_search_count "$log")" -ge "$1" ]; }
# A program ends as when the session ends: its windows are asked to close.
close_program() { "$TURNBELL_TOOLS/wine-run.sh" taskkill /im "$1" >/dev/null 2>&1; }

# floor_run: prints the floor's figures.
floor_run() {
  local before
  before=$(tb_search_count "$log")
  (cd "$work" && exec "$TURNBELL_TOOLS/wine-run.sh" "$floor" 127.0.0.1 80) &
  floor_pid=$!
  tb_wait 30 searches_past $((before + 1)) || die "the floor program did not poll"
  sleep 5
  figures "$floor_pid"
  close_program floor-tray.exe
  tb_wait 20 eval '! kill -0 "$floor_pid" 2>/dev/null' || die "the floor program did not end"
  tb_stop floor_pid
}

# turnbell_run: prints Turnbell's figures idle, then after Browse.
turnbell_run() {
  local before icon cx cy dialog
  before=$(tb_search_count "$log")
  tb_turnbell_start "$turnbell" "$work/turnbell"
  tb_wait 30 searches_past $((before + 2)) || die "Turnbell did not poll"
  sleep 5
  figures "$tb_turnbell_pid"

  tb_shot "$work/tray.png"
  icon=$(tb_tray_icon "$work/tray.png") || die "no tray icon"
  read -r _ _ _ _ cx cy <<<"$icon"
  tb_open_menu "$cx" "$cy" "$work" || die "no menu"
  tb_click_menu_item settings
  tb_wait 10 tb_window_shown "Turnbell settings:" || die "no settings dialog"
  dialog=$(tb_window "Turnbell settings:")
  xdotool windowactivate --sync "$dialog" >/dev/null 2>&1 || xdotool windowfocus --sync "$dialog"
  # From the user name, the fourth Tab reaches "Browse...".
  xdotool key Tab Tab Tab Tab space
  tb_wait 20 tb_window_shown "Open" || die "Browse opened no file dialog"
  xdotool windowactivate --sync "$(tb_window "Open")" >/dev/null 2>&1
  xdotool key Escape
  tb_wait 10 tb_window_gone "Open" || die "the file dialog did not close"
  before=$(tb_search_count "$log")
  xdotool windowactivate --sync "$dialog" >/dev/null 2>&1
  xdotool key Escape
  tb_wait 10 tb_window_gone "Turnbell settings:" || die "the settings dialog did not close"
  tb_wait 30 searches_past $((before + 1)) || die "no poll after the settings closed"
  sleep 5
  figures "$tb_turnbell_pid"

  close_program Turnbell.exe
  tb_turnbell_wait 20 || die "Turnbell did not end"
}

echo "== warming up the prefix (not counted)"
floor_run >/dev/null
turnbell_run >/dev/null
declare -A resident private modules   # per series: floor, idle, browse
declare -A label=([floor]="floor" [idle]="Turnbell, idle" [browse]="Turnbell, after Browse")
add() { resident[$1]+=" $2"; private[$1]+=" $3"; modules[$1]+=" $4"; }
for run in $(seq 1 "$runs"); do
  read -r f_rss f_private f_modules <<<"$(floor_run)"
  { read -r i_rss i_private i_modules; read -r b_rss b_private b_modules; } <<<"$(turnbell_run)"
  add floor "$f_rss" "$f_private" "$f_modules"
  add idle "$i_rss" "$i_private" "$i_modules"
  add browse "$b_rss" "$b_private" "$b_modules"
  printf 'run %d: floor %d/%d KB %d modules; Turnbell idle %d/%d KB %d modules, after Browse %d/%d KB %d modules\n' \
    "$run" "$f_rss" "$f_private" "$f_modules" "$i_rss" "$i_private" "$i_modules" "$b_rss" "$b_private" "$b_modules"
done

# median LIST: the median of the numbers, and their lowest and highest.
median() {
  tr ' ' '\n' <<<"$1" | grep . | sort -n | awk '{v[NR] = $1} END {
    m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
    print m, v[1], v[NR] }'
}
echo
echo "medians of $runs runs (lowest-highest); resident and private memory in KB"
for series in floor idle browse; do
  read -r rm rl rh <<<"$(median "${resident[$series]}")"
  read -r pm pl ph <<<"$(median "${private[$series]}")"
  read -r mm ml mh <<<"$(median "${modules[$series]}")"
  printf '  %-22s resident %6d (%d-%d)  private %6d (%d-%d)  modules %3d (%d-%d)\n' \
    "${label[$series]}" "$rm" "$rl" "$rh" "$pm" "$pl" "$ph" "$mm" "$ml" "$mh"
done
read -r floor_rss _ <<<"$(median "${resident[floor]}")"
read -r idle_rss _ <<<"$(median "${resident[idle]}")"
read -r floor_private _ <<<"$(median "${private[floor]}")"
read -r idle_private _ <<<"$(median "${private[idle]}")"
awk -v a="$idle_rss" -v b="$floor_rss" -v c="$idle_private" -v d="$floor_private" \
  'BEGIN { printf "Turnbell idle / floor: %.3f resident, %.3f private\n", a / b, c / d }'

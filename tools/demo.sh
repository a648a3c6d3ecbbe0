#!/bin/bash
# The demo: the real 32-bit Turnbell.exe, the program a user gets, in a Wine virtual
# desktop, polling the
# test site, which plays the game site with a few games whose turn moves by itself.
#
#   tools/demo.sh                      runs until Ctrl-C
#   TURNBELL_DEMO_SECONDS=60 tools/demo.sh   stops by itself after that many seconds
#   TURNBELL_BUILD=dir                 build folder (default: build/ in the checkout)
#
# With a DISPLAY the Wine desktop opens on it; without one it runs in a private Xvfb
# display and a screenshot is saved every few seconds to a folder named below.
# Needs port 80 on 127.0.0.1 (the test build's site host is "localhost"), so run it as
# root or with sudo, as tools/install-deps.sh needs anyway.
set -uo pipefail
source "$(dirname "$0")/lib.sh"
seconds=${TURNBELL_DEMO_SECONDS:-0}
user_name=Ottilie          # the player of tests/testsite/scenarios/demo.json
shot_every=5

"$root/tools/install-deps.sh" || { echo "installing the packages failed"; exit 1; }
"$root/tools/setup-i686.sh" || exit 1   # the 32-bit runner; says what failed

source "$root/tools/wine-session.sh"
source "$root/tests/e2e/harness.sh"

echo "== building the 32-bit Turnbell.exe in $build/win32"
targets=Turnbell build_preset "$build/win32" win32 || { echo "building failed"; exit 1; }
exe=$build/win32/app/Turnbell.exe

demo=$(mktemp -d "${TMPDIR:-/tmp}/turnbell-demo.XXXXXX")
shots=""
stop_all() {
  trap - EXIT INT TERM
  echo
  echo "== stopping the demo"
  tb_turnbell_stop
  tb_site_stop
  wine_session_stop
  rm -rf "$demo"
  [ -n "$shots" ] && echo "screenshots are in $shots"
}
trap stop_all EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

if [ -n "${DISPLAY:-}" ]; then
  export KEEP_DISPLAY=1
  where="a window on your display $DISPLAY"
else
  shots="$build/demo-screenshots"
  mkdir -p "$shots"
  rm -f "$shots"/shot-*.png
  where="a private Xvfb display (no DISPLAY); screenshots every ${shot_every}s go to $shots"
fi
echo "== starting Wine (a throwaway prefix; the first start takes a while)"
wine_session_start 1024x768
tb_desktop Turnbell 1000x700

log="$demo/requests.log"
tb_site_start "$log" "$root/tests/testsite/scenarios/demo.json" \
  || { echo "the test site needs port 80 on 127.0.0.1: run as root, and stop whatever holds it"; exit 1; }

# The demo starts with its user name already set, in a settings file of its own, so
# the first poll goes out at once.
printf '[Turnbell]\r\nUsername=%s\r\nNotifyIcon=1\r\nNotifySound=1\r\nSoundFile=sheepbaa.wav\r\n' \
  "$user_name" >"$demo/Turnbell.ini"
tb_turnbell_start "$exe" "$demo"

cat <<INFO

Turnbell is running in $where.
  started: the test site (pid $tb_site_pid) on http://127.0.0.1:80 with tests/testsite/scenarios/demo.json,
           Turnbell.exe (pid $tb_turnbell_pid) in the Wine desktop "Turnbell", user name "$user_name",
           settings in $demo/Turnbell.ini
  watch:   the bell in the bottom-right corner of the Wine desktop turns green and back when
           one of $user_name's games starts waiting for her (every few tens of seconds);
           double-click it for the game list, right-click it for the menu.
  stop:    Ctrl-C here (or "Exit" in the bell's menu, then Ctrl-C); everything started is stopped.
INFO
[ "$seconds" -gt 0 ] && echo "  This run stops by itself after ${seconds}s (TURNBELL_DEMO_SECONDS)."
echo

start=$(date +%s)
next_shot=$start
n=0
while :; do
  now=$(date +%s)
  if tb_turnbell_ended; then
    wait "$tb_turnbell_pid"; status=$?; tb_turnbell_pid=""
    echo "Turnbell.exe has ended (exit code $status)."
    break
  fi
  if [ -n "$shots" ] && [ "$now" -ge "$next_shot" ]; then
    n=$((n + 1))
    tb_shot "$shots/$(printf 'shot-%03d.png' "$n")"
    next_shot=$((now + shot_every))
  fi
  if [ "$seconds" -gt 0 ] && [ $((now - start)) -ge "$seconds" ]; then
    echo "${seconds}s are up."
    break
  fi
  sleep 1
done
echo "The site answered $(tb_search_count "$log") searches for the games of $user_name."

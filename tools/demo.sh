#!/bin/bash
# The demo: the real 32-bit Turnbell.exe, the program a user gets, in a Wine virtual
# desktop, searching the test site, which plays the game site with a few games whose
# turns move on with each search (tests/testsite/scenarios/demo.json): the first search
# finds a game waiting for Ottilie, and each later one (a minute apart) brings a newly
# waiting game or the end of the last wait.
#
#   tools/demo.sh                      runs until Ctrl-C
#   TURNBELL_DEMO_SECONDS=60 tools/demo.sh   stops by itself after that many seconds
#   TURNBELL_BUILD=dir                 build folder (default: build/ in the checkout)
#
# With a DISPLAY the Wine desktop opens on it. Without one it runs in a private Xvfb
# display, saves a screenshot every 5 s to build/demo-screenshots, opens the game list
# when a timed run is up, and leaves build/demo.png: the tray corner of every screenshot,
# scaled up, with its time and the searches that came before it, and the game list.
# Its closing lines say what each search of the site brought.
# Needs port 80 on 127.0.0.1 (the test build's site host is "localhost"), so run it as
# root or with sudo, as tools/install-deps.sh needs anyway.
set -uo pipefail
source "$(dirname "$0")/lib.sh"
seconds=${TURNBELL_DEMO_SECONDS:-0}
[[ $seconds =~ ^[0-9]+$ ]] || { echo "TURNBELL_DEMO_SECONDS is a whole number of seconds, not \"$seconds\""; exit 2; }
seconds=$((10#$seconds))
user_name=Ottilie          # the player of tests/testsite/scenarios/demo.json
scenario=$root/tests/testsite/scenarios/demo.json
shot_every=5

# The 32-bit runner first: its apt-get update leaves the lists fresh for the build
# packages. Each script says in one line what failed.
"$root/tools/setup-i686.sh" || exit 1
"$root/tools/install-deps.sh" || exit 1

source "$root/tools/wine-session.sh"
source "$root/tests/e2e/harness.sh"

echo "== building the 32-bit Turnbell.exe in $build/win32"
targets=Turnbell build_preset "$build/win32" win32 || { echo "building failed"; exit 1; }
exe=$build/win32/app/Turnbell.exe

demo=$(mktemp -d "${TMPDIR:-/tmp}/turnbell-demo.XXXXXX")
log=$demo/requests.log
shots=""
picture=$build/demo.png
start_ms=""

# Prints what each search that carried the form brought, as the site's scenario
# decides it, and writes the searches' times (ms since Turnbell started) to $demo/searches.
report() {
  "$TURNBELL_TOOLS/python3" - "$TB_TESTSITE" "$scenario" "$log" "$start_ms" "$user_name" \
    "$demo/searches" <<'PY'
import json, sys, urllib.parse
sys.path.insert(0, sys.argv[1])
import testsite
scenario_file, log_file, start_ms, user, times_file = sys.argv[2:7]
with open(scenario_file, encoding="utf-8") as f:
    scenario = json.load(f)
games = [g for s in scenario.get("sections", []) for g in s.get("games", [])]
period = testsite.default_period(scenario)
searches = []
try:
    with open(log_file, encoding="utf-8") as f:
        for entry in map(json.loads, f):
            form = urllib.parse.parse_qs(entry["body"], keep_blank_values=True)
            if entry["method"] == "POST" and entry["path"].endswith(testsite.SEARCH_PATH) and "pLoginJ" in form:
                searches.append(entry["time"] * 1000 - int(start_ms))
except FileNotFoundError:
    pass

def names(ids):
    return "game " + ids[0] if len(ids) == 1 else "games " + ", ".join(ids[:-1]) + " and " + ids[-1]

print("The site answered %d searches for the games of %s%s" % (
    len(searches), user, " (times since Turnbell started):" if searches else "."))
before, newly_at = set(), []
for n, ms in enumerate(searches, 1):
    clock = testsite.cycle_clock(scenario, ms / 1000, n)
    now = {str(g.get("id")) for g in games if testsite.active_text(g, clock, period) == user}
    if now - before:
        what = "%s newly waiting for %s: the bell pulses, the sound plays" % (names(sorted(now - before)), user)
        newly_at.append(str(n))
    elif before and not now:
        what = "no game waits for %s any more: the pulse stops, the bell is red again" % user
    elif now == before:
        what = "no change"
    else:
        what = "%s still waiting" % names(sorted(now))
    print("  %d:%02d  search %d: %s" % (ms // 60000, ms // 1000 % 60, n, what))
    before = now
print("Searches that found a game newly waiting for %s: %s."
      % (user, ", ".join(newly_at) if newly_at else "none"))
with open(times_file, "w") as f:
    f.writelines("%d\n" % ms for ms in searches)
PY
}

# Headless, at the end of a timed run: double-clicks the bell and saves a screenshot
# with the game list open to $shots/game-list.png, and the list itself to $demo/list.png.
# The double-click also stops the pulse, so no tray screenshot is taken after it.
open_game_list() {
  local icon cx cy id x y w h
  found_icon() { tb_shot "$demo/find.png" && icon=$(tb_tray_icon "$demo/find.png"); }
  # A pulsing bell shows its red once in each 3.2 s cycle.
  tb_wait 8 found_icon || { echo "(the bell was not found: no game list in the picture)"; return 1; }
  read -r _ _ _ _ cx cy <<<"$icon"
  tb_click_icon "$cx" "$cy" --repeat 2 --delay 80 1
  tb_wait 10 tb_window_shown "Games" || { echo "(the game list did not open)"; return 1; }
  id=$(tb_window "Games")
  xdotool mousemove 500 100   # no tooltip over the list
  sleep 1
  list_ms=$(( $(date +%s%3N) - start_ms ))
  tb_shot "$shots/game-list.png"
  read -r x y w h <<<"$(tb_window_geometry "$id")"
  "$TB_IMAGEMAGICK/convert" "$shots/game-list.png" -crop "$((w + 16))x$((h + 16))+$((x - 8))+$((y - 8))" \
    +repage "$demo/list.png"
}

# m:ss of a time in ms.
clock_text() { printf '%d:%02d' $(($1 / 60000)) $(($1 / 1000 % 60)); }

# build/demo.png: the tray corner of each screenshot scaled 4x, twelve (a minute) to a
# row, each labelled with its time and the searches the site answered since the one
# before; the game list, when it was opened, beside them.
make_picture() {
  local file ms previous=-1 marks n i tile args=() searches=()
  [ -s "$demo/shot-times" ] || return 1
  [ -f "$demo/searches" ] && mapfile -t searches <"$demo/searches"
  mkdir -p "$demo/tiles"
  while read -r file ms; do
    marks=""
    for i in "${!searches[@]}"; do
      n=${searches[$i]}
      [ "$n" -gt "$previous" ] && [ "$n" -le "$ms" ] && marks+="${marks:+, }$((i + 1))"
    done
    previous=$ms
    tile=$demo/tiles/${file##*/}
    "$TB_IMAGEMAGICK/convert" "$file" -crop "24x22+$((TB_DESKTOP_W - 24))+$((TB_DESKTOP_H - 22))" +repage \
      -filter point -resize 400% "$tile" || return 1
    args+=(-label "$(clock_text "$ms")${marks:+\\nsearch $marks}" "$tile")
  done <"$demo/shot-times"
  "$TB_IMAGEMAGICK/montage" -font DejaVu-Sans -pointsize 11 "${args[@]}" -tile 12x -geometry +4+4 \
    "$demo/strip.png" || return 1
  if [ -f "$demo/list.png" ]; then
    "$TB_IMAGEMAGICK/montage" -font DejaVu-Sans -pointsize 11 -label "the game list at $(clock_text "$list_ms")" \
      "$demo/list.png" -geometry +12+4 "$demo/list-tile.png" || return 1
    "$TB_IMAGEMAGICK/convert" "$demo/strip.png" "$demo/list-tile.png" -background white -gravity north \
      +append "$picture" || return 1
  else
    cp "$demo/strip.png" "$picture" || return 1
  fi
  echo "the picture of the run is $picture ($("$TB_IMAGEMAGICK/identify" -format '%wx%h' "$picture")); every screenshot is in $shots"
}

stop_all() {
  trap - EXIT INT TERM
  echo
  [ -n "$start_ms" ] && report
  [ -n "$shots" ] && { make_picture || echo "no picture was made; the screenshots are in $shots"; }
  echo "== stopping the demo"
  tb_turnbell_stop
  tb_site_stop
  wine_session_stop
  rm -rf "$demo"
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
  rm -f "$shots"/shot-*.png "$shots/game-list.png" "$picture"
  where="a private Xvfb display (no DISPLAY); screenshots every ${shot_every}s go to $shots"
fi
echo "== starting Wine (a throwaway prefix; the first start takes a while)"
wine_session_start 1024x768
tb_desktop Turnbell 1000x700

tb_site_start "$log" "$scenario" \
  || { echo "the test site needs port 80 on 127.0.0.1: run as root, and stop whatever holds it"; exit 1; }

# The demo starts with its user name already set, in a settings file of its own, so
# the first search goes out at once.
printf '[Turnbell]\r\nUsername=%s\r\nNotifyIcon=1\r\nNotifySound=1\r\nSoundFile=sheepbaa.wav\r\n' \
  "$user_name" >"$demo/Turnbell.ini"
start_ms=$(date +%s%3N)
tb_turnbell_start "$exe" "$demo"

cat <<INFO

Turnbell is running in $where.
  started: the test site (pid $tb_site_pid) on http://127.0.0.1:80 with tests/testsite/scenarios/demo.json,
           Turnbell.exe (pid $tb_turnbell_pid) in the Wine desktop "Turnbell", user name "$user_name",
           settings in $demo/Turnbell.ini
  watch:   the bell in the bottom-right corner of the Wine desktop. Turnbell searches the site
           as it starts and then once a minute. The first search finds a game waiting for
           $user_name: the bell pulses green and a sound plays. Each later search brings a newly
           waiting game (pulse and sound) or the end of the last wait (the bell is red again).
           Double-click the bell for the game list (that also stops the pulse), right-click it
           for the menu.
  stop:    Ctrl-C here (or "Exit" in the bell's menu, then Ctrl-C); everything started is stopped.
INFO
[ "$seconds" -gt 0 ] && echo "  This run stops by itself after ${seconds}s (TURNBELL_DEMO_SECONDS)."
echo

# True when the last search came less than 2 s before $1 (ms since the epoch) or more than
# 50 s: Turnbell's next one is due a minute after it.
search_near() {
  local last
  last=$(grep -Fs '"path": "/index.php?p=recherche"' "$log" | tail -n1 | awk -F'[:,]' '{printf "%.0f", $2 * 1000}')
  [ -n "$last" ] && { [ $(($1 - last)) -lt 2000 ] || [ $(($1 - last)) -gt 50000 ]; }
}

next_shot=$start_ms
up=""
while :; do
  now=$(date +%s%3N)
  if tb_turnbell_ended; then
    wait "$tb_turnbell_pid"; status=$?; tb_turnbell_pid=""
    echo "Turnbell.exe has ended (exit code $status)."
    break
  fi
  if [ "$seconds" -gt 0 ] && [ $((now - start_ms)) -ge $((seconds * 1000)) ]; then
    [ -z "$up" ] && echo "${seconds}s are up." && up=1
    # Headless, the game list is opened now, unless a search is due within 10 s or came
    # less than 2 s ago: its answer would change the list while it is shot. Then it
    # waits for that search (20 s at most), the screenshots going on.
    if [ -z "$shots" ] || [ $((now - start_ms)) -ge $((seconds * 1000 + 20000)) ] || ! search_near "$now"; then
      [ -n "$shots" ] && open_game_list
      break
    fi
  fi
  if [ -n "$shots" ] && [ "$now" -ge "$next_shot" ]; then
    file=$shots/$(printf 'shot-%04ds.png' $(((now - start_ms) / 1000)))
    tb_shot "$file" && echo "$file $((now - start_ms))" >>"$demo/shot-times"
    while [ "$next_shot" -le "$now" ]; do next_shot=$((next_shot + shot_every * 1000)); done
  fi
  sleep 0.2
done

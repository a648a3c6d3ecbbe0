#!/bin/bash
# The whole program as a person meets it: Turnbell.exe under wine64 in a Wine virtual
# desktop with a taskbar, on its own Xvfb display and throwaway prefix, against the
# test site on 127.0.0.1 port 80, driven with xdotool and checked on screen pixels,
# on the site's request log and in the registry.
#   e2e_test.sh TURNBELL_EXE POST_TASKBAR_CREATED_EXE
set -uo pipefail
# The script runs again in a network namespace of its own, with a loopback of its own:
# the site's port is free there whatever listens on this machine's port 80, and nothing
# outside reaches the site. Making the namespace needs root, as port 80 does.
if [ -z "${TURNBELL_E2E_OWN_NETWORK:-}" ]; then
  TURNBELL_E2E_OWN_NETWORK=1 exec unshare --net -- bash -c 'ip link set lo up && exec bash "$0" "$@"' \
    "$0" "$@"
fi
exe=$(realpath "$1")
helper=$(realpath "$2")
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../tools/wine-session.sh"
source "$here/harness.sh"

work=$(mktemp -d "${TMPDIR:-/tmp}/turnbell-e2e.XXXXXX")
started=$(date +%s%N)
cleanup() {
  tb_turnbell_stop
  tb_site_stop
  wine_session_stop
  # TURNBELL_E2E_KEEP=dir keeps the screenshots of the run for a look afterwards.
  [ -n "${TURNBELL_E2E_KEEP:-}" ] && mkdir -p "$TURNBELL_E2E_KEEP" && cp "$work"/*.png "$TURNBELL_E2E_KEEP"/
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

failures=0
step() { printf '%6.1fs  %s\n' "$(( ($(date +%s%N) - started) / 1000000 ))e-3" "$*"; }
fail() { echo "FAIL: $*"; failures=$((failures + 1)); tb_shot "$work/failure-$failures.png"; }
must() { fail "$@"; exit 1; }

USER_NAME=Ann
# The site the program was built for (tools/release.sh names it for a release): the test
# site plays it, over HTTPS with a certificate from a test CA that this prefix trusts
# when the build speaks HTTPS.
site=${TURNBELL_E2E_SITE:-http://localhost}
scheme=${site%%://*}
host=${site#*://}
log="$work/requests.log"

unset KEEP_DISPLAY
wine_session_start 1024x768
tb_desktop Turnbell 1000x700
# The browser the shell starts for a URL: a script that notes the URL.
printf '#!/bin/sh\necho "$1" >>"%s/opened.txt"\n' "$work" >"$work/browser.sh"
chmod +x "$work/browser.sh"
"$TURNBELL_TOOLS/wine-run.sh" reg add 'HKCU\Software\Wine\WineBrowser' /v Browsers /d "$work/browser.sh" /f \
  >/dev/null 2>&1
step "display $DISPLAY, prefix $WINEPREFIX"
if [ "$scheme" = https ]; then
  "$TB_TESTSITE/test-ca.sh" make "$work/ca" "$host" >/dev/null || must "test certificates"
  "$TB_TESTSITE/test-ca.sh" trust "$work/ca" >/dev/null || must "trusting the test CA"
  tb_site_start "$log" "$here/scenario.json" 443 "$work/ca/localhost.pem" "$work/ca/localhost.key" \
    || must "test site"
else
  tb_site_start "$log" "$here/scenario.json" || must "test site"
fi
step "test site for $site"

# A first start: no Turnbell.ini in its folder and nothing in the registry.
tb_turnbell_start "$exe" "$work"
tb_wait 60 tb_window_shown "Turnbell settings:" || must "the settings dialog did not open by itself"
step "the settings dialog opened by itself"
tb_shot "$work/start.png"
icon=$(tb_tray_icon "$work/start.png") || must "no tray icon in the taskbar"
read -r ix iy iw ih cx cy <<<"$icon"
step "tray icon at $ix,$iy size ${iw}x$ih"
normal=$(tb_region_stats "$work/start.png" "$iw" "$ih" "$ix" "$iy")
[ "$(tb_search_count "$log")" -eq 0 ] || fail "a search went out with no user name"

# Type the name and press Enter: the dialog saves, and the poller asks at once.
dialog=$(tb_window "Turnbell settings:")
xdotool windowactivate --sync "$dialog" >/dev/null 2>&1 || xdotool windowfocus --sync "$dialog"
xdotool type --delay 50 "$USER_NAME"
typed=$(date +%s%N)
xdotool key Return
tb_wait 10 tb_window_gone "Turnbell settings:" || fail "Enter did not close the settings dialog"
searched_for_name() { grep -q "pLoginJ=$USER_NAME&" "$log" 2>/dev/null; }
tb_wait 10 searched_for_name || must "the site never received the user name"
step "search for $USER_NAME after $(( ($(date +%s%N) - typed) / 1000000 )) ms"

# Ann's game 7002 waits for her: the icon pulses to the alert green and back. (Every
# frame's pixels are checked in tray_win_test; here the pulse on screen is judged by its
# green.)
read -r _ normal_red <<<"$(tb_icon_colours "$work/start.png" "$ix" "$iy" "$iw" "$ih")"
most_green=0; frames=0
frame_green() {
  tb_shot "$work/flash.png"
  read -r green _ <<<"$(tb_icon_colours "$work/flash.png" "$ix" "$iy" "$iw" "$ih")"
  frames=$((frames + 1))
  [ "$green" -le "$most_green" ] || { most_green=$green; cp "$work/flash.png" "$work/flash-green.png"; }
}
icon_green() { frame_green; [ "$green" -ge $((normal_red * 3 / 4)) ]; }
icon_faded() { frame_green; [ "$green" -le $((normal_red / 4)) ]; }
tb_wait 15 icon_green || fail "the tray icon did not turn green ($most_green green pixels at most, red icon $normal_red)"
step "icon flashing: $most_green alert green pixels (the red icon has $normal_red red ones)"
tb_wait 8 icon_faded || fail "the flashing icon did not fade back from green"
tb_wait 8 icon_green || fail "the flashing icon did not turn green a second time"
step "the pulse faded and turned green again"

# The tray menu opens beside the pointer; its items are clicked where they are drawn.
open_menu() {
  tb_open_menu "$cx" "$cy" "$work" || must "a right click on the icon did not open the menu"
  read -r mx my mw mh <<<"$tb_menu"
  [ "$mh" -ge 100 ] && [ "$mw" -ge 100 ] || must "the menu is only ${mw}x$mh"
}
icon_is_normal() {
  tb_shot "$work/stopped.png"
  [ "$(tb_region_stats "$work/stopped.png" "$iw" "$ih" "$ix" "$iy")" = "$normal" ]
}
# A flash frame still in flight, or a timer left running, would show in the next frames.
pulse_stopped() {
  tb_wait 5 icon_is_normal || { fail "the flash went on after the $1"; return; }
  for _ in 1 2 3 4 5; do
    icon_is_normal || { fail "the icon changed again after the $1 had stopped the flash"; return; }
  done
}

# A right-click on the pulsing icon opens the menu and stops the pulse.
open_menu
pulse_stopped right-click
step "a right-click opened the menu and stopped the pulse"

# The menu's "Settings...", then Enter: the save makes Turnbell ask at once, and game
# 7004, new on the site and waiting for Ann, makes the icon pulse again.
tb_site_scenario "$here/scenario-later.json" || must "the test site took no new scenario"
tb_click_menu_item settings
tb_wait 10 tb_window_shown "Turnbell settings:" || must "Settings... did not open the settings dialog"
dialog=$(tb_window "Turnbell settings:")
xdotool windowactivate --sync "$dialog" >/dev/null 2>&1 || xdotool windowfocus --sync "$dialog"
xdotool key Return
tb_wait 10 tb_window_gone "Turnbell settings:" || fail "Enter did not close the settings dialog"
most_green=0
tb_wait 15 icon_green || fail "the icon did not pulse for game 7004 ($most_green green pixels at most)"
step "Settings... and Enter: a new waiting game made the icon pulse again"

# A double-click on the icon stops the flash and opens the game list.
tb_click_icon "$cx" "$cy" --repeat 2 --delay 80 1
tb_wait 10 tb_window_shown "Games" || must "a double-click on the icon did not open the game list"
step "the game list is open"
pulse_stopped double-click

# The waiting game stands first, on light red; the two others follow on white.
games=$(tb_window "Games")
tb_shot "$work/games.png"
read -r gx gy gw gh <<<"$(tb_window_geometry "$games")"
read -r red_runs red_height red_top <<<"$(tb_colour_bands "$work/games.png" \
  $((gw - 20)) $((gh - 40)) $((gx + 10)) "$gy" 255 127 127)"
[ "$red_runs" -eq 1 ] || fail "expected one light red row in the game list, saw $red_runs"
[ "$red_height" -ge 8 ] && [ "$red_height" -le 30 ] || fail "the light red row is $red_height pixels high"
# Above the red row there is only the caption and the column headers: no game row.
[ "$red_top" -gt 0 ] && [ "$red_top" -le 70 ] || fail "the light red row is not the first row (y $red_top)"
step "game list: the waiting game is the first row (light red, y $red_top, ${red_height}px)"
xdotool windowactivate --sync "$games" >/dev/null 2>&1
xdotool key Escape
tb_wait 10 tb_window_gone "Games" || fail "Escape did not close the game list"

# A shell that restarts loses the icon and broadcasts "TaskbarCreated": it comes back.
icon_shown() { tb_shot "$work/tray.png"; tb_tray_icon "$work/tray.png" >/dev/null; }
icon_hidden() { ! icon_shown; }
"$TURNBELL_TOOLS/wine-run.sh" "$helper" forget || fail "could not remove the tray icon"
tb_wait 10 icon_hidden || fail "the tray icon did not go away"
"$TURNBELL_TOOLS/wine-run.sh" "$helper" || fail "could not broadcast TaskbarCreated"
tb_wait 10 icon_shown || fail "the tray icon did not come back after TaskbarCreated"
icon=$(tb_tray_icon "$work/tray.png")
read -r ix iy iw ih cx cy <<<"$icon"
step "TaskbarCreated brought the icon back at $ix,$iy"

# "Play now" opens the game that waits for the user in the browser.
open_menu
step "menu at $mx,$my size ${mw}x$mh"
tb_click_menu_item playnow
browsed() { grep -q . "$work/opened.txt" 2>/dev/null; }
tb_wait 15 browsed || fail "Play now opened nothing"
opened=$(head -n1 "$work/opened.txt" 2>/dev/null)
[ "$opened" = "$site/partie.php?id=7004" ] || fail "Play now opened \"$opened\""
step "Play now opened $opened"

# The menu's "E&xit" ends the program with exit code 0 and the settings are kept.
open_menu
tb_click_menu_item exit
tb_turnbell_wait 20 || must "E&xit did not end the program"
[ "$tb_turnbell_status" -eq 0 ] || fail "exit code $tb_turnbell_status"
step "exit code $tb_turnbell_status"
stored=$("$TURNBELL_TOOLS/wine-run.sh" reg query 'HKCU\Software\_Fenwold\Turnbell' 2>/dev/null | tr -d '\r')
grep -Eiq "UserName +REG_SZ +$USER_NAME\$" <<<"$stored" || fail "user name not in the registry: $stored"
grep -Eiq "NotifyIcon +REG_DWORD +0x1\$" <<<"$stored" || fail "NotifyIcon not in the registry: $stored"
step "settings in the registry"

step "done, $failures failures"
[ "$failures" -eq 0 ]

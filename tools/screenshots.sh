#!/bin/bash
# Regenerates the README's pictures from the real program, driven as in the
# end-to-end test (a private Xvfb display, a throwaway Wine prefix, the test site with
# tests/testsite/scenarios/demo.json on 127.0.0.1 port 80):
#   docs/settings.png    the settings dialog of a first start, with the name typed in
#   docs/pulse.png       the tray icon's pulse, from red to green and back
#   docs/games.png       the game list with a game that waits for the user
#   docs/tray-menu.png   the tray icon with its menu open
# Builds the 32-bit Turnbell.exe first.  TURNBELL_BUILD=dir as for tools/test.sh.
set -uo pipefail
source "$(dirname "$0")/lib.sh"
docs="$root/docs"
user_name=Ottilie     # the player of tests/testsite/scenarios/demo.json; game 51002 waits for her at first

"$root/tools/setup-i686.sh" || exit 1     # first: its apt-get update leaves the lists fresh
"$root/tools/install-deps.sh" || exit 1
source "$root/tools/wine-session.sh"
source "$root/tests/e2e/harness.sh"
mkdir -p "$docs"
targets=Turnbell build_preset "$build/win32" win32 || exit 1
exe=$build/win32/app/Turnbell.exe
work=$(mktemp -d "${TMPDIR:-/tmp}/turnbell-shots.XXXXXX")
cleanup() { tb_turnbell_stop; tb_site_stop; wine_session_stop; rm -rf "$work"; }
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
die() { echo "screenshots: $*" >&2; exit 1; }

# Saves the part of the display shot FILE given by x y w h, widened by a margin.
save_crop() {
  local file=$1 x=$2 y=$3 w=$4 h=$5 out=$6 m=${7:-0}
  "$TB_IMAGEMAGICK/convert" "$file" -crop "$((w + 2 * m))x$((h + 2 * m))+$((x - m))+$((y - m))" +repage \
    -strip "$out" || die "cannot write $out"
  echo "wrote $out ($("$TB_IMAGEMAGICK/identify" -format '%wx%h' "$out"))"
}

unset KEEP_DISPLAY
wine_session_start 1024x768
tb_desktop Turnbell 1000x700
tb_site_start "$work/requests.log" "$root/tests/testsite/scenarios/demo.json" || die "the test site did not start"
tb_turnbell_start "$exe" "$work"

tb_wait 60 tb_window_shown "Turnbell settings:" || die "no settings dialog"
dialog=$(tb_window "Turnbell settings:")
xdotool type --delay 50 "$user_name"
tb_shot "$work/settings.png"
# The icon is found by its red now, before the first poll can make it flash.
icon=$(tb_tray_icon "$work/settings.png") || die "no tray icon"
read -r _ _ _ _ cx cy <<<"$icon"
read -r x y w h <<<"$(tb_window_geometry "$dialog")"
save_crop "$work/settings.png" "$x" "$y" "$w" "$h" "$docs/settings.png" 8
xdotool key Return
searched() { grep -q "pLoginJ=$user_name&" "$work/requests.log" 2>/dev/null; }
tb_wait 15 searched || die "no search for $user_name"

# The pulse: 20x18 pixels around the icon, shot until each of the flash's 17 steps has
# shown (each step is always the same image), then steps 0, 4, 8, 12, 16 and back down,
# side by side and scaled 6x. The steps are ranked by how green they are, so the strip
# comes out the same whatever moments the shots fell on.
xdotool mousemove 500 100   # no tooltip over the icon
mkdir -p "$work/pulse"
steps=0 shots=0 started=$(date +%s)
while [ "$steps" -lt 17 ]; do
  [ $(( $(date +%s) - started )) -lt 90 ] || die "the pulse showed only $steps different steps in 90 s"
  tb_shot "$work/pulse.png"
  shots=$((shots + 1))
  "$TB_IMAGEMAGICK/convert" "$work/pulse.png" -crop "20x18+$((cx - 10))+$((cy - 8))" +repage -strip \
    "$work/pulse/frame.png"
  sum=$("$TB_IMAGEMAGICK/identify" -format '%#' "$work/pulse/frame.png")
  [ -e "$work/pulse/$sum.png" ] || { mv "$work/pulse/frame.png" "$work/pulse/$sum.png"; steps=$((steps + 1)); }
done
[ "$(ls "$work/pulse" | grep -c '^[0-9a-f]*\.png$')" -eq 17 ] || die "the icon showed more than the 17 steps"
mapfile -t ranked < <(for frame in "$work"/pulse/[0-9a-f]*.png; do
  echo "$("$TB_IMAGEMAGICK/convert" "$frame" -format '%[fx:mean.g-mean.r]' info:) $frame"; done | sort -g | cut -d' ' -f2)
strip=()
for step in 0 4 8 12 16 12 8 4 0; do strip+=("${ranked[$step]}"); done
"$TB_IMAGEMAGICK/convert" "${strip[@]}" +append -filter point -resize 600% -strip "$docs/pulse.png" \
  || die "cannot write $docs/pulse.png"
echo "wrote $docs/pulse.png ($("$TB_IMAGEMAGICK/identify" -format '%wx%h' "$docs/pulse.png"), 17 steps in $shots shots)"

tb_click_icon "$cx" "$cy" --repeat 2 --delay 80 1
tb_wait 10 tb_window_shown "Games" || die "no game list"
games=$(tb_window "Games")
xdotool mousemove 500 100   # no tooltip over the list
list_filled() { tb_shot "$work/games.png"; read -r x y w h <<<"$(tb_window_geometry "$games")"
  read -r runs _ <<<"$(tb_colour_bands "$work/games.png" "$w" "$h" "$x" "$y" 255 127 127)"; [ "$runs" -ge 1 ]; }
tb_wait 10 list_filled || die "the game list shows no waiting game"
save_crop "$work/games.png" "$x" "$y" "$w" "$h" "$docs/games.png" 8
xdotool key Escape
tb_wait 10 tb_window_gone "Games" || die "the game list did not close"

tb_open_menu "$cx" "$cy" "$work" || die "no menu"
read -r mx my mw mh <<<"$tb_menu"
# The menu, and below it the taskbar's right end with the icon.
save_crop "$work/menu.png" $((mx - 40)) $((my - 20)) $((TB_DESKTOP_W - mx + 40)) $((TB_DESKTOP_H - my + 20)) \
  "$docs/tray-menu.png"
tb_click_menu_item exit
tb_turnbell_wait 20 || die "Turnbell did not exit"

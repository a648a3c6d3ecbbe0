# Sourced by the end-to-end test, tools/demo.sh and tools/screenshots.sh: drives the
# real Turnbell.exe in a Wine virtual desktop (with a taskbar and its tray) the way a
# person would, against the test site, and reads the screen back as pixels.
# Needs tools/wine-session.sh sourced and wine_session_start run first.
#
#   tb_site_start LOG [SCENARIO] [PORT] [CERT KEY]  the test site on 127.0.0.1 (and ::1),
#                                  port 80 by default, over HTTPS with CERT and KEY when
#                                  given; waits until it listens (and for the port)
#   tb_site_stop
#   tb_site_scenario FILE          the running site's scenario becomes FILE's
#   tb_stop VARIABLE               ends the process whose pid VARIABLE holds (by that pid)
#   tb_search_count LOG            search requests received so far
#   tb_desktop NAME WxH            make every program of this prefix open in one virtual
#                                  desktop NAME with the taskbar shown
#   tb_turnbell_start EXE DIR      Turnbell.exe with DIR as its current directory
#   tb_turnbell_wait SECONDS       waits for it to end; its exit code in tb_turnbell_status
#   tb_turnbell_stop               ends it (by pid) if it still runs
#   tb_wait SECONDS CMD...         polls CMD every 0.2 s until it succeeds or time runs out
#   tb_click_icon X Y CLICK...     xdotool's click arguments on the tray icon at X Y, never
#                                  within the double-click time of the previous icon click
#   tb_window NAME                 id of the visible window titled exactly NAME
#   tb_shot FILE                   screenshot of the whole display
#   tb_tray_icon FILE              x y w h of the tray icon found in a screenshot, and its
#                                  centre x y
#   tb_region_stats FILE W H X Y   mean red, green and blue of a region, 0-255
#   tb_open_menu X Y DIR           right-clicks the icon, waits for the menu: tb_menu="x y w h"
#   tb_click_menu_item ITEM        clicks "playnow", "settings" or "exit" in that menu

TB_IMAGEMAGICK=/usr/bin        # ImageMagick's convert and import
TB_TESTSITE=$(cd "$(dirname "${BASH_SOURCE[0]}")/../testsite" && pwd)
tb_site_pid=""
tb_site_url=""
tb_turnbell_pid=""
tb_turnbell_status=""
TB_DESKTOP_W=1000
TB_DESKTOP_H=700

tb_wait() {
  local seconds=$1; shift
  local deadline=$(( $(date +%s%N) + seconds * 1000000000 ))
  while ! "$@"; do
    [ "$(date +%s%N)" -lt "$deadline" ] || return 1
    sleep 0.2
  done
}

# Two separate clicks on the tray icon closer together than the double-click time
# (500 ms) reach the program as a double-click as well, which opens the game list: a
# test that means two clicks leaves more than that between them.
TB_ICON_CLICK_GAP_MS=700
tb_last_icon_click=0
tb_click_icon() {
  local x=$1 y=$2; shift 2
  local wait_ms=$(( tb_last_icon_click + TB_ICON_CLICK_GAP_MS - $(date +%s%3N) ))
  [ "$wait_ms" -gt 0 ] && sleep "$(printf '0.%03d' "$wait_ms")"
  xdotool mousemove "$x" "$y" click "$@"
  tb_last_icon_click=$(date +%s%3N)
}

tb_site_start() {
  local log=$1 scenario=${2:-} port=${3:-80} cert=${4:-} key=${5:-}
  local out args=(--host 127.0.0.1 --port "$port" --log "$log")
  [ -n "$scenario" ] && args+=(--scenario "$scenario")
  [ -n "$cert" ] && args+=(--tls "$cert" "$key")
  # "localhost" may resolve to ::1 first: listen there too where the host has it.
  grep -qs ' lo$' /proc/net/if_inet6 && args+=(--ipv6)
  out=$(mktemp)
  local attempt
  # The port may still be held for a moment by a site that another run just stopped.
  for attempt in $(seq 1 30); do
    "$TURNBELL_TOOLS/python3" "$TB_TESTSITE/testsite.py" "${args[@]}" >"$out" 2>&1 &
    tb_site_pid=$!
    tb_wait 10 tb_site_settled "$out"
    if grep -q '^listening ' "$out"; then
      rm -f "$out"
      tb_site_url="$([ -n "$cert" ] && echo https || echo http)://127.0.0.1:$port"
      return 0
    fi
    tb_site_stop
    sleep 1
  done
  echo "the test site did not start on port $port:" >&2
  cat "$out" >&2
  rm -f "$out"
  return 1
}

# Listening, or ended without listening.
tb_site_settled() { grep -q '^listening ' "$1" || ! kill -0 "$tb_site_pid" 2>/dev/null; }

# tb_stop VARIABLE: ends the process whose pid VARIABLE holds, if any, by that pid, and
# empties VARIABLE.
tb_stop() {
  local pid=${!1}
  if [ -n "$pid" ]; then
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  fi
  printf -v "$1" '%s' ""
}

tb_site_stop() { tb_stop tb_site_pid; }

# The control request goes to 127.0.0.1, which the site's certificate does not name.
tb_site_scenario() {
  "$TURNBELL_TOOLS/python3" - "$tb_site_url/_control/scenario" "$1" <<'PY'
import ssl, sys, urllib.request
with open(sys.argv[2], "rb") as scenario:
    request = urllib.request.Request(sys.argv[1], data=scenario.read(), method="POST")
urllib.request.urlopen(request, context=ssl._create_unverified_context(), timeout=10).read()
PY
}

tb_search_count() {
  [ -f "$1" ] || { echo 0; return; }
  grep -c '"path": "/index.php?p=recherche"' "$1"
}

tb_desktop() {
  local name=$1 size=$2
  local reg="$TURNBELL_TOOLS/wine-run.sh reg add"
  $reg 'HKCU\Software\Wine\Explorer' /v Desktop /d "$name" /f >/dev/null 2>&1
  $reg 'HKCU\Software\Wine\Explorer\Desktops' /v "$name" /d "$size" /f >/dev/null 2>&1
  # A named desktop shows no taskbar, and so no tray, unless told to.
  $reg "HKCU\\Software\\Wine\\Explorer\\Desktops\\$name" /v EnableShell /t REG_DWORD /d 1 /f \
    >/dev/null 2>&1
  TB_DESKTOP_W=${size%x*}
  TB_DESKTOP_H=${size#*x}
}

tb_turnbell_start() {
  local exe=$1 dir=$2
  (cd "$dir" && exec "$TURNBELL_TOOLS/wine-run.sh" "$exe") &
  tb_turnbell_pid=$!
  tb_turnbell_status=""
}

tb_turnbell_wait() {
  local seconds=$1
  tb_wait "$seconds" tb_turnbell_ended || return 1
  wait "$tb_turnbell_pid"
  tb_turnbell_status=$?
  tb_turnbell_pid=""
}

tb_turnbell_ended() { ! kill -0 "$tb_turnbell_pid" 2>/dev/null; }

tb_turnbell_stop() { tb_stop tb_turnbell_pid; }

tb_window() {
  xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n1
}

tb_window_shown() { [ -n "$(tb_window "$1")" ]; }
tb_window_gone() { [ -z "$(tb_window "$1")" ]; }

# x y w h of a window, screen coordinates.
tb_window_geometry() {
  local id=$1
  xwininfo -id "$id" | awk '
    /Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4}
    /Width:/ {w=$2} /Height:/ {h=$2} END {print x, y, w, h}'
}

tb_shot() {
  "$TB_IMAGEMAGICK/import" -silent -window root "$1"
}

# Pixels of a region as lines "x y r g b", region-relative coordinates.
tb_pixels() {
  local file=$1 w=$2 h=$3 x=$4 y=$5
  "$TB_IMAGEMAGICK/convert" "$file" -crop "${w}x${h}+${x}+${y}" +repage -depth 8 txt:- |
    sed -nE 's/^([0-9]+),([0-9]+): \(([0-9]+),([0-9]+),([0-9]+).*/\1 \2 \3 \4 \5/p'
}

tb_region_stats() {
  tb_pixels "$@" | awk '{r+=$3; g+=$4; b+=$5; n++}
    END {if (n) printf "%d %d %d\n", r/n, g/n, b/n; else print "0 0 0"}'
}

# The tray icon: the bounding box of the strongly red pixels (the normal icon is drawn
# in red) in the right half of the taskbar at the bottom of the desktop.
tb_tray_icon() {
  local file=$1
  local top=$(( TB_DESKTOP_H - 32 )) left=$(( TB_DESKTOP_W / 2 ))
  tb_pixels "$file" $(( TB_DESKTOP_W - left )) 32 "$left" "$top" | awk -v ox="$left" -v oy="$top" '
    $3 >= 200 && $4 <= 60 && $5 <= 60 {
      if (!n++) {x0=x1=$1; y0=y1=$2}
      if ($1<x0) x0=$1; if ($1>x1) x1=$1; if ($2<y0) y0=$2; if ($2>y1) y1=$2 }
    END { if (n < 8) exit 1
          w = x1-x0+1; h = y1-y0+1
          print x0+ox, y0+oy, w, h, x0+ox+int(w/2), y0+oy+int(h/2) }'
}

# Counts in the icon's box of a screenshot: pixels in the alert green (the alert
# icon is mainly RGB 0,128,0) and pixels in the normal icon's bright red.
tb_icon_colours() {
  tb_pixels "$1" "$4" "$5" "$2" "$3" |
    awk '{ if ($3 <= 60 && $4 >= 96 && $5 <= 60) green++
           if ($3 >= 200 && $4 <= 60 && $5 <= 60) red++ }
         END { print green + 0, red + 0 }'
}

# Rows of a window's screenshot region whose pixels are mostly the given colour:
# prints "runs height top" (how many separate bands, their total height, the first
# band's top, region-relative). Colour match within 20 per channel.
tb_colour_bands() {
  local file=$1 w=$2 h=$3 x=$4 y=$5 r=$6 g=$7 b=$8
  tb_pixels "$file" "$w" "$h" "$x" "$y" | awk -v r="$r" -v g="$g" -v b="$b" -v w="$w" '
    function near(a, c) { return a >= c - 20 && a <= c + 20 }
    near($3, r) && near($4, g) && near($5, b) { hits[$2]++ }
    END {
      for (row = 0; row <= 4096; row++) {
        band = (hits[row] * 3 >= w)   # a third of the width at least: the text does not split it
        if (band && !inband) { runs++; if (!top) top = row }
        if (band) height++
        inband = band
      }
      print runs + 0, height + 0, top + 0 }'
}

# The bounding box "x y w h" of what differs between two screenshots within a region.
tb_changed_box() {
  local before=$1 after=$2 w=$3 h=$4 x=$5 y=$6 box
  box=$("$TB_IMAGEMAGICK/convert" "$before" "$after" -compose difference -composite \
    -crop "${w}x${h}+${x}+${y}" +repage -colorspace gray -threshold 0 -format '%@' info: 2>/dev/null)
  [[ "$box" =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]] || return 1
  [ "${BASH_REMATCH[1]}" -gt 0 ] || return 1
  echo $(( BASH_REMATCH[3] + x )) $(( BASH_REMATCH[4] + y )) "${BASH_REMATCH[1]}" "${BASH_REMATCH[2]}"
}

# Clicks an item of the tray menu that tb_open_menu found: "playnow", "settings" or
# "exit". Wine gives a tray menu no keyboard focus in the virtual desktop, so items are
# clicked as a person would: the first item's middle lies 10 pixels below the menu's top,
# each further item 17 pixels lower and a separator 8; the last one, "E&xit", lies 12
# pixels above its bottom.
tb_click_menu_item() {
  local mx my mw mh y
  read -r mx my mw mh <<<"$tb_menu"
  case $1 in
    playnow) y=$((my + 10 + 17)) ;;
    settings) y=$((my + 10 + 3 * 17 + 8)) ;;
    exit) y=$((my + mh - 12)) ;;
    *) echo "tb_click_menu_item: no item $1" >&2; return 1 ;;
  esac
  xdotool mousemove $((mx + 30)) "$y" click 1
}

# Right-clicks the tray icon at ($1, $2) and waits for the popup menu, using $3 as a
# scratch folder. Sets tb_menu to "x y width height" of the menu; fails when no menu
# shows up within 10 s.
tb_open_menu() {
  local x=$1 y=$2 work=$3
  tb_shot "$work/before-menu.png"
  tb_click_icon "$x" "$y" 3
  tb_menu_shown() {
    tb_shot "$work/menu.png"
    tb_menu=$(tb_changed_box "$work/before-menu.png" "$work/menu.png" \
      $((TB_DESKTOP_W - 10)) $((y - 10)) 5 5)
  }
  tb_wait 10 tb_menu_shown
}

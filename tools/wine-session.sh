# Sourced by the test, demo and screenshot scripts: a private X display and a
# throwaway Wine prefix for one run, and the clean-up that removes both.
#   wine_session_start [WIDTHxHEIGHT]  starts Xvfb (unless KEEP_DISPLAY=1 and DISPLAY is
#                                       set), makes WINEPREFIX and boots it
#   wine_session_stop                   ends the wineserver, Xvfb and removes the prefix
# Both are idempotent; scripts call wine_session_stop from an EXIT trap.

TURNBELL_TOOLS=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
xvfb_pid=""
session_prefix=""

wine_session_start() {
  local size=${1:-1024x768}
  if [ "${KEEP_DISPLAY:-0}" != 1 ] || [ -z "${DISPLAY:-}" ]; then
    local fdfile
    fdfile=$(mktemp)
    Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp 3>"$fdfile" >/dev/null 2>&1 &
    xvfb_pid=$!
    local i
    for i in $(seq 1 100); do
      [ -s "$fdfile" ] && break
      sleep 0.1
    done
    export DISPLAY=":$(head -n1 "$fdfile")"
    rm -f "$fdfile"
  fi
  session_prefix=$(mktemp -d "${TMPDIR:-/tmp}/turnbell-wine.XXXXXX")
  export WINEPREFIX="$session_prefix"
  "$TURNBELL_TOOLS/wine-run.sh" wineboot -i >/dev/null 2>&1
  # Without a window manager Wine waits about 2 s for every managed window that closes;
  # unmanaged windows close at once (dialog tests go from ~30 s to ~2 s).
  "$TURNBELL_TOOLS/wine-run.sh" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  # Keep the wineserver up between the many short test processes.
  WINEPREFIX="$session_prefix" wineserver -p >/dev/null 2>&1 || true
}

wine_session_stop() {
  if [ -n "$session_prefix" ]; then
    WINEPREFIX="$session_prefix" wineserver -k >/dev/null 2>&1 || true
    WINEPREFIX="$session_prefix" wineserver -w >/dev/null 2>&1 || true
    rm -rf "$session_prefix"
    session_prefix=""
  fi
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
    xvfb_pid=""
  fi
}

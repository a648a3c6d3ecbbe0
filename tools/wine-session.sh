# Sourced by the test, demo and screenshot scripts: a private X display and a
# throwaway Wine prefix for one run, and the clean-up that removes both.
#   wine_session_start [WIDTHxHEIGHT]  starts Xvfb (unless KEEP_DISPLAY=1 and DISPLAY is
#                                       set), makes WINEPREFIX and boots it
#   wine_session_stop                   ends the wineserver, Xvfb and removes the prefix
# Both are idempotent; scripts call wine_session_stop from an EXIT trap.
#   TURNBELL_WINE_TEMPLATE=1            wine_session_start also keeps a copy of the prefix
#                                       as booted and exports TURNBELL_WINE_TEMPLATE as its
#                                       path; a wine_session_start that finds that path
#                                       (a test that needs a prefix of its own) starts
#                                       from a copy of it instead of booting one (about
#                                       1 s instead of 12-20 s). wine_session_stop removes it.

TURNBELL_TOOLS=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
xvfb_pid=""
session_prefix=""
session_template=""

# copy_prefix FROM TO: a prefix like FROM. The system's images, which Wine only ever
# reads, are hard links; every other file (the registry, the .ini files) is a copy of
# its own, since Wine writes a file with several links in place.
copy_prefix() {
  cp -al "$1/." "$2/" || return 1
  find "$2" -type f ! -regex '.*\.\(dll\|exe\|nls\|drv\|sys\|vxd\|ocx\|cpl\|acm\|tlb\|com\|ax\|ds\)' \
    -exec sh -c 'for f; do cp -p "$f" "$f.copy" && mv "$f.copy" "$f"; done' - {} +
}

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
  if [ -f "${TURNBELL_WINE_TEMPLATE:-}/system.reg" ]; then
    copy_prefix "$TURNBELL_WINE_TEMPLATE" "$session_prefix"
  else
    "$TURNBELL_TOOLS/wine-run.sh" wineboot -i >/dev/null 2>&1
    # Without a window manager Wine waits about 2 s for every managed window that closes;
    # unmanaged windows close at once (dialog tests go from ~30 s to ~2 s).
    "$TURNBELL_TOOLS/wine-run.sh" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    if [ "${TURNBELL_WINE_TEMPLATE:-}" = 1 ]; then
      # The wineserver writes the registry out as it ends.
      wineserver -k >/dev/null 2>&1; wineserver -w >/dev/null 2>&1
      session_template=$session_prefix.template
      mkdir "$session_template" && copy_prefix "$session_prefix" "$session_template" \
        && export TURNBELL_WINE_TEMPLATE="$session_template"
      # The first program of a new wineserver starts the prefix's services; here, so that
      # it happens before the tests rather than beside their first windows.
      "$TURNBELL_TOOLS/wine-run.sh" reg query 'HKCU\Software\Wine\X11 Driver' >/dev/null 2>&1
    fi
  fi
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
  if [ -n "$session_template" ]; then
    rm -rf "$session_template"
    session_template=""
  fi
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
    xvfb_pid=""
  fi
}

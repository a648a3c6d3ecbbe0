#!/bin/sh
# Runs a Windows program under wine64 with the environment the tests rely on:
# no proxy (WinINet's preconfigured proxy reads these variables), code page 1252
# (Wine derives its ANSI code page from the locale; TURNBELL_WINE_LOCALE=ja_JP.UTF-8,
# with LOCPATH naming where that locale was compiled, gives 932), no debug chatter,
# and no prompts to install Mono or Gecko. WINEPREFIX comes from the caller (tools/test.sh
# makes a throwaway one per run); without it a per-user scratch prefix is used.
unset http_proxy https_proxy ftp_proxy all_proxy no_proxy HTTP_PROXY HTTPS_PROXY FTP_PROXY ALL_PROXY NO_PROXY
export LC_ALL="${TURNBELL_WINE_LOCALE:-C.UTF-8}" LANG=C.UTF-8
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export WINEPREFIX="${WINEPREFIX:-${TMPDIR:-/tmp}/turnbell-wine-$(id -u)}"
exec /usr/lib/wine/wine64 "$@"

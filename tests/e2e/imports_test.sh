#!/bin/bash
# Turnbell.exe and turnbell-check.exe must run on a bare Windows: every DLL they import
# is one that Windows itself ships. A runtime DLL of the compiler (libwinpthread-1.dll,
# libgcc_s_*.dll, libstdc++-6.dll) slipping in would make them fail to start there.
#   imports_test.sh OBJDUMP EXE...
set -uo pipefail
objdump=$1; shift
system='^(kernel32|user32|gdi32|shell32|advapi32|comctl32|comdlg32|ole32|wininet|winmm|msvcrt)\.dll$'
status=0
for exe in "$@"; do
  dlls=$("$objdump" -p "$exe" | sed -nE 's/^[[:space:]]*DLL Name: (.*)$/\1/p' | tr 'A-Z' 'a-z')
  [ -n "$dlls" ] || { echo "no imports found in $exe"; status=1; continue; }
  echo "$exe imports:" $dlls
  bad=$(grep -Ev "$system" <<<"$dlls")
  if [ -n "$bad" ]; then
    echo "not Windows system DLLs:" $bad
    status=1
  fi
done
exit $status

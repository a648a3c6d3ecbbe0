#!/bin/bash
# Turnbell.exe must run on a bare Windows: every DLL it imports is one that Windows
# itself ships. A runtime DLL of the compiler (libwinpthread-1.dll, libgcc_s_*.dll,
# libstdc++-6.dll) slipping in would make it fail to start there.
#   imports_test.sh OBJDUMP EXE
set -uo pipefail
objdump=$1
exe=$2
system='^(kernel32|user32|gdi32|shell32|advapi32|comctl32|comdlg32|ole32|wininet|winmm|msvcrt)\.dll$'
dlls=$("$objdump" -p "$exe" | sed -nE 's/^[[:space:]]*DLL Name: (.*)$/\1/p' | tr 'A-Z' 'a-z')
[ -n "$dlls" ] || { echo "no imports found in $exe"; exit 1; }
echo "$exe imports:" $dlls
bad=$(grep -Ev "$system" <<<"$dlls")
if [ -n "$bad" ]; then
  echo "not Windows system DLLs:" $bad
  exit 1
fi

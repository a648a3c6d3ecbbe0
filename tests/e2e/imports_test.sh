#!/bin/bash
# Turnbell.exe and turnbell-check.exe must run on a bare Windows: every DLL they import
# is one that Windows itself ships. A runtime DLL of the compiler (libwinpthread-1.dll,
# libgcc_s_*.dll, libstdc++-6.dll) slipping in would make them fail to start there. And
# a DLL that only a rare action needs stays out of the imports, so that an idle Turnbell
# does not hold it.
#   imports_test.sh OBJDUMP EXE...
set -uo pipefail
objdump=$1; shift
system='^(kernel32|user32|gdi32|shell32|advapi32|comctl32|comdlg32|ole32|wininet|winmm|msvcrt)\.dll$'
# DLLs that a program loads only when an action of the user asks for them, never at
# start: "program dll" rows, in lower case.
loaded_on_demand=(
  "turnbell.exe comdlg32.dll"   # Browse's file dialog; under Wine it brings the printing libraries
)
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
  program=$(basename "$exe" | tr 'A-Z' 'a-z')
  for row in "${loaded_on_demand[@]}"; do
    if [ "${row% *}" = "$program" ] && grep -qx "${row#* }" <<<"$dlls"; then
      echo "$program imports ${row#* }, which it is to load only when asked"
      status=1
    fi
  done
done
exit $status

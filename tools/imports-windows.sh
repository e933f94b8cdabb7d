#!/usr/bin/env bash
# Checks that gsicom.exe needs nothing a bare Windows does not have: every DLL it
# imports must be one of the system's own. Exit 77 (skipped) when there is no exe.
set -euo pipefail
exe=${1:?usage: imports-windows.sh gsicom.exe}
[[ -f $exe ]] || { echo "SKIPPED: no $exe"; exit 77; }
permises='^(KERNEL32|msvcrt|USER32|ADVAPI32|WS2_32|SETUPAPI|CFGMGR32)\.dll$'
dlls=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p')
echo "$exe imports: $(echo $dlls)"
autres=$(grep -viE "$permises" <<<"$dlls" || true)
if [[ -n $autres ]]; then
    echo "FAILED: imports a DLL that a bare Windows lacks: $autres"
    exit 1
fi

#!/usr/bin/env bash
# Checks the DLLs the program imports statically. Windows resolves those before any of the program's code
# runs, from the program's own folder first, except for the DLLs on its KnownDLLs list; the program is run
# elevated, often from a Downloads folder, so each must be a KnownDLL on Windows 7 and on Windows 10/11, or
# comctl32 (which the manifest redirects to the system's side-by-side copy). Anything else is loaded at run
# time from System32 (platform/win32/system_library.h).
# Usage: check_imports.sh PROGRAM.exe     (uses mingw-w64's objdump)
set -uo pipefail
program=$1
allowed=" advapi32 comctl32 comdlg32 gdi32 imm32 kernel32 msvcrt ole32 oleaut32 rpcrt4 sechost setupapi shell32 shlwapi user32 ws2_32 "

objdump=$(command -v x86_64-w64-mingw32-objdump) || { echo "FAIL imports: x86_64-w64-mingw32-objdump is missing"; exit 1; }
imports=$("$objdump" -p "$program" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sed 's/\.dll$//')
if [[ -z $imports ]]; then
    echo "FAIL imports: no import table found in $program"
    exit 1
fi
status=0
for dll in $imports; do
    if [[ $allowed != *" $dll "* ]]; then
        echo "FAIL imports: $(basename "$program") imports $dll.dll statically, which Windows would look for beside the program first"
        status=1
    fi
done
((status == 0)) && echo "imports: $(echo $imports | tr ' ' ',') (all taken from the system folder)"
exit "$status"

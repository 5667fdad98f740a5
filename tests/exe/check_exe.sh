#!/usr/bin/env bash
# What the built .exe carries, read with mingw-w64's objdump and windres (which turns its resources back into
# .rc text): the DLLs it imports, the defences and the Windows version its headers ask for, its version
# record, its icon and its manifest.
#
# Imports: Windows resolves a program's static imports before any of its code runs, from the program's own
# folder first, except for the DLLs on its KnownDLLs list; the program runs elevated, often from a Downloads
# folder, so each import must be a KnownDLL on Windows 7 and on Windows 10/11, or comctl32, which the manifest
# redirects to the system's side-by-side copy. Anything else is loaded at run time from System32.
# Usage: check_exe.sh PROGRAM.exe
set -uo pipefail
program=$1
failures=0
fail() {
    echo "FAIL exe_file: $*"
    failures=$((failures + 1))
}
has() { # has TEXT WHAT STRING: the fixed STRING is in TEXT
    grep -qF -- "$3" <<<"$1" || fail "$2: \"$3\" not found"
}

headers=$(x86_64-w64-mingw32-objdump -p "$program") || {
    echo "FAIL exe_file: objdump cannot read $program"
    exit 1
}
allowed=" advapi32 comctl32 comdlg32 gdi32 imm32 kernel32 msvcrt ole32 oleaut32 rpcrt4 sechost setupapi shell32 shlwapi user32 ws2_32 "
imports=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers" | tr 'A-Z' 'a-z' | sed 's/\.dll$//')
[[ -n $imports ]] || fail "no import table"
for dll in $imports; do
    [[ $allowed == *" $dll "* ]] || fail "imports $dll.dll statically, which Windows would look for beside the program first"
done

# ASLR with high entropy (and the relocations it needs), DEP, a window program for Windows 7 and later.
for flag in HIGH_ENTROPY_VA DYNAMIC_BASE NX_COMPAT; do
    grep -qE "^[[:space:]]+$flag\$" <<<"$headers" || fail "DllCharacteristics lack $flag"
done
grep -q "Base Relocation Directory \[.reloc\]" <<<"$headers" || fail "no relocations: ASLR cannot move the image"
grep -q "relocations stripped" <<<"$headers" && fail "relocations stripped"
has "$headers" subsystem $'Subsystem\t\t00000002\t(Windows GUI)'
has "$headers" "subsystem version" $'MajorSubsystemVersion\t6'
has "$headers" "subsystem version" $'MinorSubsystemVersion\t1'

raw=$(x86_64-w64-mingw32-windres -i "$program" -O rc) || fail "windres cannot read the resources"
# windres writes UTF-16 text as \xNNNN: back to characters (only in the version record's lines).
resources=$(grep -F 'VALUE "' <<<"$raw" | sed 's/\\x\([0-9a-fA-F]\{4\}\)/\\u\1/g')
resources=$(printf '%b' "$resources")$'\n'$raw
has "$resources" "version record" "FILEVERSION 1, 0, 0, 8"
has "$resources" "version record" "PRODUCTVERSION 1, 0, 0, 8"
has "$resources" "version record" 'VALUE "Translation", 0x804, 1200'
has "$resources" "version record" 'BLOCK "080404b0"'
for entry in 'FileVersion", "1.00.0008' 'ProductVersion", "1.00.0008' 'FileDescription", L"用于远程桌面端口修改。' \
    'ProductName", L"Korvane远程端口修改工具"' 'InternalName", L"Korvane远程端口修改工具V1.0"' \
    'OriginalFilename", L"Korvane远程端口修改工具V1.0.exe"' 'CompanyName", L"KorvaneIT技术网"' \
    'Comments", "www.kv.example"'; do
    has "$resources" "version record" "VALUE \"$entry"
done
[[ $(basename "$program") == "Korvane远程端口修改工具V1.0.exe" ]] || fail "the file is not named as its record says"

# The icon: one group of four images, 32 and 48 pixels square, each in 256 colours and in 32-bit colour; each
# image's own header agrees (its height counts the mask too).
has "$resources" "icon group" "Has 4 elements"
for image in '"\040\040\000\000", 1, 8,' '"\040\040\000\000", 1, 32,' '"\060\060\000\000", 1, 8,' \
    '"\060\060\000\000", 1, 32,'; do
    has "$resources" "icon group" "$image"
done
images=$(grep -A2 'RT_ICON \*/' <<<"$resources" | grep -oE '0x28L *, *0x[0-9a-f]+L *, *0x[0-9a-f]+L *, *0x[0-9a-f]+L' |
    tr -d ' L' | sort | tr '\n' ' ')
expected="0x28,0x20,0x40,0x200001 0x28,0x20,0x40,0x80001 0x28,0x30,0x60,0x200001 0x28,0x30,0x60,0x80001 "
[[ $images == "$expected" ]] || fail "the icon images' own headers are [$images], expected [$expected]"

# The manifest: administrator rights, Common Controls 6, per-monitor DPI awareness, Windows 7 to 11.
for entry in 'level=""requireAdministrator""' 'name=""Microsoft.Windows.Common-Controls"" version=""6.0.0.0""' \
    'true/pm</dpiAware>' 'PerMonitorV2, PerMonitor</dpiAwareness>' '{35138b9a-5d96-4fbd-8e2d-a2440225f93a}' \
    '{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}' '{1f676c76-80e1-4239-95bb-83d0f6d0da78}' \
    '{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}'; do
    has "$resources" manifest "$entry"
done

((failures == 0)) && echo "exe_file: imports $(echo $imports | tr ' ' ','); headers, version record, icon and manifest as designed"
exit $((failures > 0))

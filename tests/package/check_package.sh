#!/usr/bin/env bash
# Builds the zip for users with CPack and checks what is in it: the program under its OriginalFilename,
# byte for byte the one built, and the Chinese read-me, readable in Notepad and saying what users need.
# Usage: check_package.sh BUILD_DIR PROGRAM.exe
set -uo pipefail
build_dir=$1
program=$2
failures=0
fail() {
    echo "FAIL package: $*"
    failures=$((failures + 1))
}

zip="$build_dir/Korvane远程端口修改工具V1.0.zip"
rm -f "$zip"
if ! (cd "$build_dir" && cpack -G ZIP >/dev/null); then
    echo "FAIL package: cpack failed"
    exit 1
fi
[[ -f $zip ]] || { echo "FAIL package: $zip was not made"; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$work" && cmake -E tar xf "$zip") || fail "the zip cannot be unpacked"
listing=$(cd "$work" && find . -type f | sort)
expected=$'./Korvane远程端口修改工具V1.0.exe\n./说明.txt'
[[ $listing == "$expected" ]] || fail "the zip holds [$listing], expected [$expected]"
cmp -s "$work/Korvane远程端口修改工具V1.0.exe" "$program" || fail "the .exe in the zip is not the one built"

readme="$work/说明.txt"
if [[ -f $readme ]]; then
    [[ $(head -c 3 "$readme" | od -An -tx1 | tr -d ' ') == efbbbf ]] || fail "the read-me has no UTF-8 byte order mark"
    lines=$(wc -l <"$readme")
    crlf=$(grep -c $'\r$' "$readme")
    ((lines > 0 && crlf == lines)) || fail "the read-me's lines do not all end in CR LF ($crlf of $lines)"
    for phrase in 管理员权限 防火墙 入站允许规则 3389 重启后 www.kv.example; do
        grep -q "$phrase" "$readme" || fail "the read-me does not mention $phrase"
    done
    grep -q '@' "$readme" && fail "the read-me still holds an unreplaced @VARIABLE@"
fi

if ((failures == 0)); then
    echo "package: $zip ($(stat -c %s "$zip") bytes) holds the program and 说明.txt"
    exit 0
fi
exit 1

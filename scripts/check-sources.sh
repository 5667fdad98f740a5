#!/usr/bin/env bash
# Checks of the program's sources beyond the main build, run by scripts/test.sh:
#  1. every include points down: platform/ includes nothing of port/ or ui/, port/ nothing of ui/;
#  2. a second compiler, Debian's clang targeting x86_64-w64-mingw32, builds the Windows program with
#     -Wall -Wextra -Werror (build/clang); that .exe too carries what check_exe.sh expects, and plays the
#     demo (an end-to-end test) under Wine.
# The second step needs the end-to-end tests of build/win (scripts/build.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

upward=$(grep -rnE '#include "(port|ui)/' platform || true)
upward+=$(grep -rnE '#include "ui/' port || true)
if [[ -n $upward ]]; then
    echo "Includes that point up (platform/ < port/ < ui/):" >&2
    echo "$upward" >&2
    exit 1
fi

jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build/clang -DCMAKE_TOOLCHAIN_FILE=cmake/clang-mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_COMPILE_WARNING_AS_ERROR=ON -DKORVANE_WINE_TESTS=OFF >/dev/null
cmake --build build/clang --target korvane -j "$jobs"
bash tests/exe/check_exe.sh build/clang/Korvane远程端口修改工具V1.0.exe
tests=build/win/tests/windows
trap 'bash tests/wine/bench.sh stop build/clang/bench' EXIT
bash tests/wine/bench.sh start build/clang/bench build/clang/Korvane远程端口修改工具V1.0.exe "$tests/e2e_tests.exe" \
    "$tests/firewall_stand_in.dll"
bash tests/wine/bench.sh run build/clang/bench 'C:\korvane\e2e_tests.exe' --gtest_filter=Demo.*

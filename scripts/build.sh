#!/usr/bin/env bash
# Builds the unit tests for this machine (build/host) and the Windows program with mingw-w64 (build/win).
# With "sanitize": only the unit tests and the fuzz targets, with clang under AddressSanitizer and
# UndefinedBehaviorSanitizer (build/sanitize).
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=$(nproc 2>/dev/null || echo 2)
if [[ ${1:-} == sanitize ]]; then
    cmake -S . -B build/sanitize -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ -DKORVANE_SANITIZE=ON >/dev/null
    cmake --build build/sanitize -j "$jobs"
    exit 0
fi
cmake -S . -B build/host -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake -S . -B build/win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
# Side by side: while one build links, the other compiles.
cmake --build build/host -j "$jobs" &
host=$!
cmake --build build/win -j "$jobs"
wait "$host"

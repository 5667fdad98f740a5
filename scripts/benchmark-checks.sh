#!/usr/bin/env bash
# What each check before a change costs under Wine: builds tests/benchmark/check_timer.cpp, runs it in a
# throwaway Wine prefix (tests/wine/bench.sh) with the firewall stand-in, and prints the medians.
# A benchmark, not a test. Usage: scripts/benchmark-checks.sh [BUILD_DIR]   (default build/win)
set -uo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/win}
cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)" --target check_timer firewall_stand_in >/dev/null || exit 2
trap 'bash tests/wine/bench.sh stop "$build/checks-bench" >/dev/null' EXIT
bash tests/wine/bench.sh start "$build/checks-bench" "$build/tests/benchmark/check_timer.exe" \
    "$build/tests/windows/firewall_stand_in.dll" || exit 2
echo "checks before a change: $(wine --version), $(nproc) CPUs, load average $(cut -d ' ' -f 1-3 /proc/loadavg)"
bash tests/wine/bench.sh run "$build/checks-bench" 'C:\korvane\check_timer.exe'

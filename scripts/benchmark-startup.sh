#!/usr/bin/env bash
# Start-up speed of the program under Wine: the time from process start to its main window being visible,
# against the smallest Win32 program showing a window of the same size (tests/benchmark/minimal_window.cpp).
# Builds what is missing, makes a throwaway Wine prefix on a private virtual display, seeds the registry so
# that the program finds Remote Desktop on port 3389, and runs tests/benchmark/startup_timer.cpp in it: one
# untimed warm-up of each program, then ten timed starts of each, taking turns. Prints every run, both
# medians, their ratio (target: at most 1.10), the .exe sizes and the peak working sets.
#
# With --baseline, an earlier build of the program is timed in the same turns, and the program compared with
# it as well (e.g. to see that a change made start-up no slower).
#
# Usage: scripts/benchmark-startup.sh [BUILD_DIR] [--baseline EARLIER.exe] [--runs N]
#        (BUILD_DIR: default build/win; a Release build is what counts. N: timed runs of each, default 10;
#        a difference of a few per cent needs 30 or more)
# Exit status: 0 when every run was measured (whatever the ratio), 1 when a run failed, 2 when the bench
# could not be set up.
set -uo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=wine-env.sh
source "$root/scripts/wine-env.sh"

runs=10
build_dir=$root/build/win
baseline=""
while (($#)); do
    case $1 in
    --baseline)
        baseline=${2:-}
        shift 2 || true
        ;;
    --runs)
        runs=${2:-}
        shift 2 || true
        ;;
    *)
        build_dir=$1
        shift
        ;;
    esac
done

log() {
    echo "benchmark: $*" >&2
}

wine_env_require || exit 2
if ! [[ $runs =~ ^[1-9][0-9]*$ ]]; then
    log "--runs takes a positive number, not '$runs'"
    exit 2
fi
if [[ -n $baseline && ! -f $baseline ]]; then
    log "the baseline $baseline does not exist"
    exit 2
fi

# Build (incrementally) the program, the timer and the minimal window.
if [[ ! -f $build_dir/CMakeCache.txt ]]; then
    log "configuring a Release build in $build_dir"
    cmake -S "$root" -B "$build_dir" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
        -DCMAKE_BUILD_TYPE=Release >/dev/null || exit 2
fi
build_type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build_dir/CMakeCache.txt")
[[ $build_type == Release ]] || log "warning: $build_dir is a '$build_type' build; the numbers that count are Release"
cmake --build "$build_dir" -j "$(nproc 2>/dev/null || echo 2)" --target korvane startup_timer minimal_window >/dev/null ||
    {
        log "the build failed"
        exit 2
    }
build_dir=$(cd "$build_dir" && pwd)
shopt -s nullglob
programs=("$build_dir"/Korvane*.exe)
shopt -u nullglob
if ((${#programs[@]} != 1)); then
    log "expected exactly one Korvane*.exe in $build_dir, found ${#programs[@]}"
    exit 2
fi
program=${programs[0]}
timer=$build_dir/tests/benchmark/startup_timer.exe
minimal=$build_dir/tests/benchmark/minimal_window.exe

started=$SECONDS
wine_env_trap_cleanup
wine_env_start_xvfb || exit 2
wine_env_create_prefix "$build_dir/benchmark-prefix" || exit 2

# Remote Desktop on its default port, in both values the program may read.
wine_env_import_reg "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Terminal Server\\WinStations\\RDP-Tcp]
\"PortNumber\"=dword:00000d3d

[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Terminal Server\\Wds\\rdpwd\\Tds\\tcp]
\"PortNumber\"=dword:00000d3d
" || exit 2

bench_dir="$WINEPREFIX/drive_c/benchmark"
mkdir -p "$bench_dir"
cp "$program" "$timer" "$minimal" "$bench_dir/" || exit 2
baseline_arguments=()
if [[ -n $baseline ]]; then
    # Its own folder: it may well have the program's name.
    mkdir -p "$bench_dir/baseline"
    cp "$baseline" "$bench_dir/baseline/" || exit 2
    baseline_arguments=("C:\\benchmark\\baseline\\$(basename "$baseline")" KorvaneForm1)
fi
log "prefix ready in $((SECONDS - started)) s (DISPLAY $DISPLAY)"

# Other work on the machine shows in the numbers: say how busy it was.
echo "start-up benchmark: $(wine --version), $(nproc 2>/dev/null || echo '?') CPUs," \
    "load average $(cut -d ' ' -f 1-3 /proc/loadavg 2>/dev/null), $runs runs each after one warm-up"
echo "program: $(basename "$program")"
output=$(mktemp) || exit 2
status=0
wine_env_run 1800 'C:\benchmark\startup_timer.exe' "$runs" \
    "C:\\benchmark\\$(basename "$program")" KorvaneForm1 \
    'C:\benchmark\minimal_window.exe' KorvaneBenchMinimal "${baseline_arguments[@]}" | tee "$output"
status=${PIPESTATUS[0]}
if ((status == 124 || status == 137)); then
    log "the timer did not finish within 1800 s and was stopped"
fi

# The start-up sequence must have run before the window appeared: Text1 shows the seeded port every time.
if ((status == 0)) && grep -E '^(warm-up|run [0-9]+) +(program|baseline) ' "$output" | grep -vq 'first edit box "3389"'; then
    log "the program's window appeared without the port 3389 in Text1; the timing does not cover start-up"
    status=1
fi
rm -f "$output"
log "finished in $((SECONDS - started)) s"
exit "$status"

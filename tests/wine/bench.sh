#!/usr/bin/env bash
# The Wine bench: one throwaway Wine prefix on a private virtual display, kept for a run of tests.
#
#   bench.sh start DIR PROGRAM.exe [FILE ...]   a new prefix in DIR/prefix, Xvfb, the files in C:\korvane,
#                                               the firewall stand-in registered when among them
#   bench.sh run DIR [--dpi N] PROGRAM [ARG ...] runs a Windows program there (a Unix path, or a Windows
#                                               path such as C:\korvane\e2e_tests.exe), the screen at N DPI
#                                               (default 96)
#   bench.sh stop DIR                           ends Wine and Xvfb; the demo's screenshots go to DIR/../screenshots
#
# CTest calls start and stop as the set-up and clean-up of the tests that run in the bench. What the prefix
# holds and why: scripts/wine-env.sh and tests/README.md.
#
# With KORVANE_WINE_TEMPLATE set (scripts/test.sh sets it for one run of every test), the first bench made
# also leaves a copy of its new prefix there, and every later one starts from a copy of that instead of
# creating a prefix anew: each bench still has a prefix of its own, and the run makes Wine's prefix once.
set -uo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=../../scripts/wine-env.sh
source "$here/../../scripts/wine-env.sh"

command=${1:-}
dir=${2:-}
if [[ -z $command || -z $dir ]]; then
    echo "usage: $0 start|run|stop DIR ..." >&2
    exit 2
fi
shift 2
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)
state="$dir/state.sh"

start() {
    (($# >= 1)) || {
        echo "bench: start needs the program" >&2
        return 2
    }
    [[ -f $state ]] && stop
    # Wine's own processes (its services, its desktop) live on after this script: none may hold the caller's
    # output open (CTest waits for it to close), so they write to a log of their own.
    exec >"$dir/start.log" 2>&1 </dev/null
    wine_env_require || return 2
    wine_env_start_xvfb || return 2
    local template=${KORVANE_WINE_TEMPLATE:-}
    if [[ -n $template && -f $template/system.reg ]]; then
        rm -rf "$dir/prefix" && cp -a "$template" "$dir/prefix" || return 2
        wine_env_use_prefix "$dir/prefix"
    elif ! wine_env_create_prefix "$dir/prefix"; then
        wine_env_cleanup
        return 2
    elif [[ -n $template ]]; then
        # Ending the server writes the prefix's registry out.
        wineserver -k
        rm -rf "$template" && cp -a "$dir/prefix" "$template"
    fi
    # Kept running between the tests, so that each starts at once.
    wineserver -p >/dev/null 2>&1 </dev/null
    local folder="$WINEPREFIX/drive_c/korvane" file
    mkdir -p "$folder"
    for file in "$@"; do
        cp "$file" "$folder/" || {
            wine_env_cleanup
            return 2
        }
    done
    if [[ -f $folder/firewall_stand_in.dll ]]; then
        wine_env_register_firewall_stand_in 'C:\korvane\firewall_stand_in.dll' || {
            wine_env_cleanup
            return 2
        }
    fi
    {
        printf 'export DISPLAY=%q WINEPREFIX=%q WINEARCH=%q WINEDEBUG=%q WINEDLLOVERRIDES=%q LC_ALL=%q\n' \
            "$DISPLAY" "$WINEPREFIX" "$WINEARCH" "$WINEDEBUG" "$WINEDLLOVERRIDES" "$LC_ALL"
        printf 'bench_xvfb_pid=%q\n' "$WINE_ENV_XVFB_PID"
    } >"$state"
    echo "bench: prefix ready in $dir/prefix (DISPLAY $DISPLAY)"
}

run() {
    [[ -f $state ]] || {
        echo "bench: not started in $dir" >&2
        return 2
    }
    # shellcheck source=/dev/null
    source "$state"
    local dpi=96
    if [[ ${1:-} == --dpi ]]; then
        dpi=$2
        shift 2
    fi
    wine_env_set_dpi "$dpi" || return 2
    wine_env_run 280 "$@"
}

stop() {
    [[ -f $state ]] || return 0
    # shellcheck source=/dev/null
    source "$state"
    WINE_ENV_PREFIX=$WINEPREFIX
    WINE_ENV_XVFB_PID=$bench_xvfb_pid
    wine_env_cleanup
    rm -f "$state"
    local shot name
    for shot in "$WINEPREFIX"/drive_c/korvane/screenshots/*.bmp; do
        [[ -f $shot ]] || continue
        mkdir -p "$dir/../screenshots"
        name=$(basename "$shot" .bmp)
        convert "$shot" "$dir/../screenshots/$name.png" 2>/dev/null || cp "$shot" "$dir/../screenshots/"
        echo "bench: screenshot $(cd "$dir/.." && pwd)/screenshots/$name.png"
    done
}

case $command in
start)
    # In a subshell of its own, which alone sends its output to the log; on failure the log is shown.
    if ! (start "$@"); then
        cat "$dir/start.log" >&2
        exit 2
    fi
    tail -n 1 "$dir/start.log"
    ;;
run) run "$@" ;;
stop) stop ;;
*)
    echo "bench: unknown command $command" >&2
    exit 2
    ;;
esac

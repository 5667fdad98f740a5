#!/usr/bin/env bash
# Runs the end-to-end scenarios: the program and the test driver in a fresh Wine prefix on a private
# Xvfb display. The prefix is made anew each run under the program's build folder (e2e-prefix) and
# shared by the scenarios, each of which seeds the registry it needs.
#
# Usage: tests/e2e/run.sh PROGRAM.exe e2e_driver.exe [scenario | prefix* | --list] ...
# e2e_probe.dll is expected beside the driver; every .exe and .dll there is copied into the prefix.
# Exit status: the driver's (0 when every scenario passed), 2 when the bench could not be set up.
set -uo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=../../scripts/wine-env.sh
source "$here/../../scripts/wine-env.sh"

if (($# < 2)); then
    echo "usage: $0 PROGRAM.exe e2e_driver.exe [scenario | prefix* | --list] ..." >&2
    exit 2
fi
program=$1
driver=$2
shift 2
helpers_dir=$(dirname "$driver")
for file in "$program" "$driver" "$helpers_dir/e2e_probe.dll"; do
    if [[ ! -f $file ]]; then
        echo "e2e: $file does not exist; build first (cmake --build build/win)" >&2
        exit 2
    fi
done
build_dir=$(cd "$(dirname "$program")" && pwd)

started=$SECONDS
wine_env_require || exit 2
wine_env_trap_cleanup
wine_env_start_xvfb || exit 2
wine_env_create_prefix "$build_dir/e2e-prefix" || exit 2

bench_dir="$WINEPREFIX/drive_c/korvane"
mkdir -p "$bench_dir"
# The driver, the probe and any helper program built beside them (stand-ins for system tools, say).
cp "$program" "$helpers_dir"/*.exe "$helpers_dir"/*.dll "$bench_dir/" || exit 2

# The firewall's automation classes (HNetCfg.FwPolicy2, HNetCfg.FWRule) served by the firewall recorder
# instead of Wine, whose objects keep no rules; scenarios read what was set from C:\firewall-rules.txt.
if [[ ! -f $bench_dir/firewall_recorder.dll ]]; then
    echo "e2e: firewall_recorder.dll is not beside the driver; build first (cmake --build build/win)" >&2
    exit 2
fi
wine_env_register_firewall_recorder 'C:\korvane\firewall_recorder.dll' || exit 2
echo "e2e: prefix ready in $((SECONDS - started)) s (DISPLAY $DISPLAY)" >&2

status=0
wine_env_run 300 "C:\\korvane\\$(basename "$driver")" "$@" || status=$?
if ((status == 124 || status == 137)); then
    echo "e2e: the driver did not finish within 300 s and was stopped" >&2
fi

# Screenshots the scenarios took, as PNG files in the build folder.
for screenshot in "$bench_dir"/screenshots/*.bmp; do
    [[ -f $screenshot ]] || continue
    mkdir -p "$build_dir/screenshots"
    name=$(basename "$screenshot" .bmp)
    if command -v convert >/dev/null 2>&1 &&
        timeout 30 convert "$screenshot" "$build_dir/screenshots/$name.png" 2>/dev/null; then
        echo "e2e: screenshot saved as $build_dir/screenshots/$name.png" >&2
    else
        cp "$screenshot" "$build_dir/screenshots/$name.bmp"
        echo "e2e: ImageMagick's convert unavailable; screenshot left as $build_dir/screenshots/$name.bmp" >&2
    fi
done
echo "e2e: finished in $((SECONDS - started)) s" >&2
exit "$status"

#!/usr/bin/env bash
# Fuzzing and fault injection: builds the fuzz targets with clang under AddressSanitizer and
# UndefinedBehaviorSanitizer (build/sanitize) and runs each for the given seconds (default 60), keeping its
# corpus in build/sanitize/fuzz/NAME. Prints the executions and findings of each; an input that caused a
# finding is saved as build/sanitize/fuzz/NAME-crash-* and reproduces with the target given that file.
# Exit status 1 when anything was found.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
bash scripts/setup-debian.sh
bash scripts/build.sh sanitize >/dev/null

out=build/sanitize/fuzz
found=0
for target in port_rule_fuzz port_change_faults firewall_rule_text_fuzz; do
    mkdir -p "$out/$target"
    rm -f "$out/$target"-crash-* "$out/$target"-leak-* "$out/$target"-timeout-*
    extra=()
    [[ $target == port_rule_fuzz ]] && extra=(-dict=tests/fuzz/port.dict)
    [[ $target == firewall_rule_text_fuzz ]] && extra=(-dict=tests/fuzz/firewall_rule_text.dict)
    log="$out/$target.log"
    "build/sanitize/tests/fuzz/$target" "$out/$target" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$out/$target-" "${extra[@]}" >"$log" 2>&1 || true
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    findings=$(find "$out" -maxdepth 1 -name "$target-*" -type f | wc -l)
    if [[ -z $runs ]]; then
        echo "$target: did not run (log: $log)"
        found=1
        continue
    fi
    echo "$target: $runs executions in $seconds s, $findings findings (log: $log)"
    ((findings == 0)) || found=1
done
exit "$found"

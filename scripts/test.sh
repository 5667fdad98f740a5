#!/usr/bin/env bash
# Every test: installs what is missing, builds, checks the sources (includes point down; clang builds the
# Windows program too, which passes the end-to-end tests as well), runs the unit tests, the same under
# sanitizers with the fuzz targets, then the checks of the .exe and the window, platform and end-to-end tests
# under Wine on a virtual display (tests/README.md).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup-debian.sh
# Wine's prefix is made once for this run; each bench of the run starts from a copy of it.
export KORVANE_WINE_TEMPLATE="$PWD/build/wine-template"
rm -rf "$KORVANE_WINE_TEMPLATE"
bash scripts/build.sh
bash scripts/check-sources.sh
ctest --test-dir build/host --output-on-failure
# The unit tests again under AddressSanitizer and UndefinedBehaviorSanitizer, and each fuzz target for a
# fixed number of executions.
bash scripts/build.sh sanitize
ctest --test-dir build/sanitize --output-on-failure
ctest --test-dir build/win --output-on-failure --verbose

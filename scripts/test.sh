#!/usr/bin/env bash
# Every test: installs what is missing, builds, checks the sources (includes point down; clang builds the
# Windows program too), runs the unit tests, then the end-to-end tests of the real program under Wine on a
# virtual display.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup-debian.sh
bash scripts/build.sh
bash scripts/check-sources.sh
ctest --test-dir build/host --output-on-failure
ctest --test-dir build/win --output-on-failure --verbose

#!/usr/bin/env bash
# Builds the zip for users: the program and a short read-me in Chinese, in build/win.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-debian.sh
bash scripts/build.sh >/dev/null
(cd build/win && cpack -G ZIP >/dev/null)
echo "build/win/Korvane远程端口修改工具V1.0.zip"

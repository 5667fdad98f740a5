#!/usr/bin/env bash
# Installs, from Debian's packages, everything needed to build the program, run it under Wine and run
# its tests. Installs only what is missing, so it is quick when everything is there already.
set -euo pipefail

packages=(
  cmake make g++ libgtest-dev             # host build and unit tests
  clang libclang-rt-14-dev                # the unit tests under sanitizers, the fuzz targets (libFuzzer)
  g++-mingw-w64-x86-64-win32              # the Windows program
  wine wine64 xvfb fonts-wqy-zenhei        # running it: Wine, a virtual display, Chinese glyphs
  imagemagick x11-utils                    # screenshots, checking for a display
)

missing=()
for package in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$package")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

if [[ $(id -u) -ne 0 ]]; then
  if command -v sudo >/dev/null 2>&1; then
    sudo=(sudo)
  else
    echo "需要安装：${missing[*]}，但当前用户不是 root 且没有 sudo。" >&2
    echo "Missing packages (${missing[*]}); run this script as root or install sudo." >&2
    exit 1
  fi
else
  sudo=()
fi

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq "${missing[@]}" >/dev/null

#!/usr/bin/env bash
# Installs, from Debian's packages, everything needed to build the program, run it under Wine and run
# its tests, and generates the Simplified Chinese locale that Wine runs in. Does only what is missing, so
# it is quick when everything is there already.
set -euo pipefail

packages=(
  cmake make g++ libgtest-dev googletest  # host build and unit tests; GoogleTest's sources for Windows
  clang libclang-rt-14-dev                # the unit tests under sanitizers, the fuzz targets (libFuzzer),
                                          # and a second compiler of the Windows program (check-sources.sh)
  g++-mingw-w64-x86-64-win32              # the Windows program
  wine wine64 xvfb fonts-wqy-zenhei        # running it: Wine, a virtual display, Chinese glyphs
  imagemagick x11-utils                    # screenshots, checking for a display
  locales                                  # zh_CN.UTF-8: Wine's own buttons and texts in Chinese
)
chinese_locale="zh_CN.UTF-8"

missing=()
for package in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$package")
done
have_chinese_locale() {
  locale -a 2>/dev/null | grep -qix 'zh_CN\.utf-\?8'
}
if [[ ${#missing[@]} -eq 0 ]] && have_chinese_locale; then
  exit 0
fi

if [[ $(id -u) -ne 0 ]]; then
  if command -v sudo >/dev/null 2>&1; then
    sudo=(sudo)
  else
    echo "需要安装：${missing[*]} 并生成 $chinese_locale，但当前用户不是 root 且没有 sudo。" >&2
    echo "Missing packages (${missing[*]}) or the $chinese_locale locale; run this script as root or install sudo." >&2
    exit 1
  fi
else
  sudo=()
fi

if [[ ${#missing[@]} -gt 0 ]]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  "${sudo[@]}" apt-get update -qq
  "${sudo[@]}" apt-get install -y -qq "${missing[@]}" >/dev/null
fi

if ! have_chinese_locale; then
  echo "Generating the $chinese_locale locale"
  if grep -q "^# *$chinese_locale UTF-8" /etc/locale.gen 2>/dev/null; then
    "${sudo[@]}" sed -i "s/^# *\($chinese_locale UTF-8\)/\1/" /etc/locale.gen
  else
    echo "$chinese_locale UTF-8" | "${sudo[@]}" tee -a /etc/locale.gen >/dev/null
  fi
  "${sudo[@]}" locale-gen >/dev/null
fi

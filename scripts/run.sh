#!/usr/bin/env bash
# Builds the program and opens it under Wine on a demo machine whose Remote Desktop listens on 3389.
#
# With a display, the program simply opens for you to use; closing it ends this script.
# Without one, a virtual display is started and a walk-through is played as a person would do it:
# 3389 changed to 3390, restart declined, the registry printed before and after, and screenshots of
# the main window, the restart question and the About window saved in build/win/screenshots.
#
# Wine runs in the Simplified Chinese locale (zh_CN.UTF-8), as on the users' Windows.
# Wine has no firewall of its own: the demo machine serves the firewall's automation classes with the
# test bench's stand-in, holding Windows' own Remote Desktop rules, so the rules the program adds can be shown.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

bash scripts/setup-debian.sh
bash scripts/build.sh >/dev/null
# Wine in Simplified Chinese, as the users' Windows: its own buttons and texts appear as there.
export WINE_ENV_LOCALE=zh_CN.UTF-8
program="$root/build/win/Korvane远程端口修改工具V1.0.exe"
tests="$root/build/win/tests/windows"

if [[ -z ${DISPLAY:-} ]] || ! timeout 5 xdpyinfo >/dev/null 2>&1; then
    echo "没有可用的显示器，使用虚拟显示器演示一次修改 / no display: playing a walk-through on a virtual one"
    trap 'bash tests/wine/bench.sh stop build/win/demo' EXIT
    bash tests/wine/bench.sh start build/win/demo "$program" "$tests/e2e_tests.exe" "$tests/firewall_stand_in.dll" \
        >/dev/null
    bash tests/wine/bench.sh run build/win/demo 'C:\korvane\e2e_tests.exe' --gtest_filter=Demo.* --gtest_brief=1
    bash tests/wine/bench.sh stop build/win/demo >/dev/null
    trap - EXIT
    echo
    echo "截图 / screenshots: $root/build/win/screenshots/{main-window,restart-question,about-window}.png"
    exit 0
fi

# shellcheck source=wine-env.sh
source scripts/wine-env.sh
wine_env_require || exit 2
wine_env_trap_cleanup
wine_env_create_prefix build/win/demo-prefix || exit 2
mkdir -p "$WINEPREFIX/drive_c/korvane"
cp "$program" "$tests/firewall_stand_in.dll" "$WINEPREFIX/drive_c/korvane/"
wine_env_register_firewall_stand_in 'C:\korvane\firewall_stand_in.dll'
# Remote Desktop allowed, as on a real machine: Windows' own Remote Desktop rules, enabled.
wine_env_run 60 rundll32 'C:\korvane\firewall_stand_in.dll,SeedOrdinaryMachine'
# A real display has a window manager: let it manage the program's windows.
wine_env_import_reg '[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="Y"

[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Control\Terminal Server\WinStations\RDP-Tcp]
"PortNumber"=dword:00000d3d

[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Control\Terminal Server\Wds\rdpwd\Tds\tcp]
"PortNumber"=dword:00000d3d
'
echo "程序已在 Wine 中打开（演示环境：远程桌面端口 3389）/ the program is open under Wine (demo machine on 3389)"
wine "C:\\korvane\\$(basename "$program")"

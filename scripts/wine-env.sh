# shellcheck shell=bash
# Running Windows programs of this project under Wine on a virtual X display.
#
# Source this file, then for example:
#   wine_env_require || exit 2
#   wine_env_trap_cleanup                 # stop our wineserver and Xvfb however the script ends
#   wine_env_start_xvfb || exit 2         # exports DISPLAY
#   wine_env_create_prefix build/win/demo-prefix || exit 2   # exports WINEPREFIX and friends
#   wine_env_set_dpi 144                  # optional, before the programs start
#   wine_env_run 60 'C:\some\program.exe' args...
#
# Every call that could wait on Wine or X is bounded by timeout(1), so a stuck Wine never hangs the caller.

WINE_ENV_XVFB_PID=""
WINE_ENV_PREFIX=""
WINE_ENV_FONT_FILE="/usr/share/fonts/truetype/wqy/wqy-zenhei.ttc"
WINE_ENV_FONT_NAME="WenQuanYi Zen Hei"
# The locale Wine runs in, which sets its language and the Windows code page. The bench keeps C.UTF-8
# (English Wine): under zh_CN.UTF-8 the program now and then died in a glibc malloc assertion inside Wine
# while the probe measured the About window's text. The demo (scripts/run.sh) sets zh_CN.UTF-8.
WINE_ENV_LOCALE="${WINE_ENV_LOCALE:-C.UTF-8}"

wine_env_log() {
    echo "wine-env: $*" >&2
}

# Checks that Wine, Xvfb, the Chinese font and the locale chosen for Wine are installed. Returns 1 with a message when not.
wine_env_require() {
    local missing=() tool
    for tool in wine wineserver Xvfb timeout; do
        command -v "$tool" >/dev/null 2>&1 || missing+=("$tool")
    done
    [[ -f $WINE_ENV_FONT_FILE ]] || missing+=("fonts-wqy-zenhei")
    local wanted=${WINE_ENV_LOCALE,,}
    locale -a 2>/dev/null | tr 'A-Z' 'a-z' | tr -d '-' | grep -qxF "${wanted//-/}" ||
        missing+=("the $WINE_ENV_LOCALE locale")
    if ((${#missing[@]})); then
        wine_env_log "missing: ${missing[*]}; run scripts/setup-debian.sh"
        return 1
    fi
}

# Starts Xvfb on a display number it picks itself (no clash with other displays on the machine),
# remembers its PID and exports DISPLAY. Wine must see DISPLAY from its first command on.
wine_env_start_xvfb() {
    local number_file log_file number="" waited=0
    number_file=$(mktemp) || return 1
    log_file="${TMPDIR:-/tmp}/wine-env-xvfb.$$.log"
    # -displayfd: Xvfb chooses a free display and writes its number once it accepts connections.
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$number_file" >"$log_file" 2>&1 </dev/null &
    WINE_ENV_XVFB_PID=$!
    while ((waited < 100)); do
        number=$(head -n 1 "$number_file" 2>/dev/null)
        [[ -n $number ]] && break
        if ! kill -0 "$WINE_ENV_XVFB_PID" 2>/dev/null; then
            break
        fi
        sleep 0.1
        waited=$((waited + 1))
    done
    rm -f "$number_file"
    if [[ -z $number ]]; then
        wine_env_log "Xvfb did not start within 10 s; its output:"
        cat "$log_file" >&2 2>/dev/null
        rm -f "$log_file"
        wine_env_stop_xvfb
        return 1
    fi
    rm -f "$log_file"
    export DISPLAY=":$number"
}

# Runs a Wine command line under the current prefix, ended after `seconds` if it has not finished.
wine_env_run() {
    local seconds=$1
    shift
    timeout -k 5 "$seconds" wine "$@"
}

# Imports a .reg file (UTF-8 text, converted here to the UTF-16 Wine's regedit reads) into the prefix.
wine_env_import_reg() {
    local reg_text=$1 name
    name="wine-env-$$-$RANDOM.reg"
    printf '\xff\xfe' >"$WINEPREFIX/drive_c/$name"
    printf 'Windows Registry Editor Version 5.00\n\n%s\n' "$reg_text" | sed 's/$/\r/' |
        iconv -f UTF-8 -t UTF-16LE >>"$WINEPREFIX/drive_c/$name" || return 1
    wine_env_run 60 regedit /S "C:\\$name"
    local status=$?
    rm -f "$WINEPREFIX/drive_c/$name"
    if ((status != 0)); then
        wine_env_log "regedit failed (status $status) importing the prefix settings"
        return 1
    fi
}

# Creates a fresh 64-bit prefix in `dir` (removed first if present) and exports WINEPREFIX, WINEARCH,
# WINEDEBUG and WINEDLLOVERRIDES for every later wine command of the caller.
wine_env_create_prefix() {
    local dir=$1
    if [[ -z $DISPLAY ]]; then
        wine_env_log "start Xvfb (wine_env_start_xvfb) before creating the prefix"
        return 1
    fi
    # A leftover server of an earlier run of this very prefix must not serve the new one.
    if [[ -d $dir ]]; then
        WINEPREFIX=$(cd "$dir" && pwd) timeout 15 wineserver -k >/dev/null 2>&1
        rm -rf "$dir" || return 1
    fi
    mkdir -p "$dir" || return 1
    WINEPREFIX=$(cd "$dir" && pwd)
    WINE_ENV_PREFIX=$WINEPREFIX
    export WINEPREFIX WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    # Wine takes its language and the Windows code page from the locale (in Simplified Chinese: 是(Y)/否(N)
    # in message boxes, Chinese system error texts, code page 936), and maps file names and console text
    # through its character set: always a UTF-8 one.
    export LC_ALL=$WINE_ENV_LOCALE

    if ! wine_env_run 120 wineboot --init >/dev/null 2>&1; then
        wine_env_log "wineboot could not create the prefix in $dir within 120 s"
        return 1
    fi
    # This Wine does not find its own fonts; the caption buttons need Marlett, or they show as the
    # letters "0 1 r". Only that one: with Wine's Tahoma the captions would lose their Chinese glyphs.
    if [[ -f /usr/share/wine/fonts/marlett.ttf ]]; then
        cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
    fi
    # Chinese glyphs for the fonts the programs ask for (menus and message boxes use SimSun); no window
    # manager, so unmanaged windows (hiding one otherwise stalls about a second); a crashing program ends
    # at once instead of waiting in winedbg; programs are told they run on Windows 10, as most users' do
    # (Wine's own default is Windows 7).
    wine_env_import_reg "[HKEY_CURRENT_USER\\Software\\Wine]
\"Version\"=\"win10\"

[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]
\"SimSun\"=\"$WINE_ENV_FONT_NAME\"
\"NSimSun\"=\"$WINE_ENV_FONT_NAME\"
\"宋体\"=\"$WINE_ENV_FONT_NAME\"

[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]
\"Managed\"=\"N\"

[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\AeDebug]
\"Debugger\"=\"\"
"
}

# Uses an existing prefix in `dir` (a copy of one wine_env_create_prefix made), with the same exports.
wine_env_use_prefix() {
    WINEPREFIX=$(cd "$1" && pwd)
    WINE_ENV_PREFIX=$WINEPREFIX
    export WINEPREFIX WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=$WINE_ENV_LOCALE
}

# Registers the test bench's stand-in for the firewall's automation classes (HNetCfg.FwPolicy2,
# HNetCfg.FWRule) in the prefix: Wine's own objects keep no rules. `dll` is its Windows path in the prefix.
wine_env_register_firewall_stand_in() {
    local dll=${1//\\/\\\\} classes="" clsid
    for clsid in '{E2B3C97F-6AE1-41AC-817A-F6F92166D7DD}' '{2C5BC43E-3369-4C33-AB0C-BE9469677AF4}'; do
        classes+="[HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\$clsid\\InprocServer32]
@=\"$dll\"
\"ThreadingModel\"=\"Both\"

"
    done
    wine_env_import_reg "$classes"
}

# Sets the screen's dots per inch (96 = 100 %, 144 = 150 %) for programs started afterwards.
wine_env_set_dpi() {
    local dpi=$1 hex
    if ! [[ $dpi =~ ^[0-9]+$ ]] || ((dpi < 48 || dpi > 480)); then
        wine_env_log "DPI must be a number between 48 and 480, not '$dpi'"
        return 1
    fi
    hex=$(printf '%08x' "$dpi")
    wine_env_import_reg "[HKEY_CURRENT_USER\\Control Panel\\Desktop]
\"LogPixels\"=dword:$hex

[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Hardware Profiles\\Current\\Software\\Fonts]
\"LogPixels\"=dword:$hex
"
}

wine_env_stop_xvfb() {
    local pid=$WINE_ENV_XVFB_PID waited=0
    [[ -n $pid ]] || return 0
    WINE_ENV_XVFB_PID=""
    kill "$pid" 2>/dev/null || return 0
    while kill -0 "$pid" 2>/dev/null && ((waited < 50)); do
        sleep 0.1
        waited=$((waited + 1))
    done
    kill -0 "$pid" 2>/dev/null && kill -9 "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    return 0
}

# Stops our own wineserver (with every Windows program of our prefix) and our own Xvfb. Safe to call twice.
wine_env_cleanup() {
    if [[ -n $WINE_ENV_PREFIX ]]; then
        WINEPREFIX=$WINE_ENV_PREFIX timeout 15 wineserver -k >/dev/null 2>&1
        WINEPREFIX=$WINE_ENV_PREFIX timeout 15 wineserver -w >/dev/null 2>&1
        WINE_ENV_PREFIX=""
    fi
    wine_env_stop_xvfb
}

# Runs wine_env_cleanup when the calling script exits, is interrupted or is terminated.
wine_env_trap_cleanup() {
    trap 'wine_env_cleanup' EXIT
    trap 'wine_env_cleanup; trap - EXIT; exit 130' INT
    trap 'wine_env_cleanup; trap - EXIT; exit 143' TERM HUP
}

#!/usr/bin/env bash
# The real program covering the picture, watched every millisecond by cover_sampler from a second
# process, with a stand-in for the player in front:
#   1. on the display the tests run on (one monitor): 20 cover starts, and not one may show the film
#      again once the cover was seen, before its range ends;
#   2. on a display of two monitors side by side (Xvnc; Xvfb cannot show Wine two), in a copy of
#      the Wine prefix: the player on the right monitor is covered there and only there, and with
#      cover_monitors "all" both monitors are.
# The sampler prints each start's lateness and a summary.
#
#   cover_test.sh DUNVELBLENK_EXE COVER_SAMPLER_EXE
set -uo pipefail
source "$(dirname "$0")/../../scripts/common.sh"
exe=$(realpath "$1")
sampler=$(realpath "$2")
work=$(mktemp -d /tmp/dvbk-cover.XXXXXX)

settings_dir="$WINEPREFIX/drive_c/ProgramData/DunvelBlenk"
settings="$settings_dir/settings.xml"
mkdir -p "$settings_dir"
saved=""
[ -f "$settings" ] && saved="$work/settings.saved" && cp "$settings" "$saved"

app_pid=""
vnc_pid=""
cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null
    if [ -n "$vnc_pid" ]; then
        WINEPREFIX="$work/wine" wineserver -k 2>/dev/null
        kill "$vnc_pid" 2>/dev/null
    fi
    wait 2>/dev/null
    if [ -n "$saved" ]; then cp "$saved" "$settings"; else rm -f "$settings"; fi
    rm -rf "$work"
}
trap cleanup EXIT

# Cover ranges, Blenk and DunvelBlenk in turn: COUNT of them LENGTH s long, PERIOD s apart from
# FIRST s on.
write_script() {
    local first=$1 period=$2 length=$3 count=$4
    awk -v first="$first" -v period="$period" -v length_="$length" -v count="$count" 'BEGIN {
        for (k = 0; k < count; k++)
            printf "%s,%.3f,%.3f\r\n", (k % 2 ? "DunvelBlenk" : "Blenk"), first + k * period, first + k * period + length_
        printf "End,%.3f\r\n", first + count * period + 1
    }' >"$work/cover.dvbk"
}

# settings.xml as the program reads it, with the cover on the player's monitor or on all.
write_settings() {
    mkdir -p "$1"
    printf '%s\r\n' '<?xml version="1.0" encoding="UTF-8"?>' '<settings>' '<click_maximize>0</click_maximize>' \
        '<click_choice>Windows Media Player</click_choice>' '<click_x>0.986</click_x>' '<click_y>0.949</click_y>' \
        '<time_adj>0</time_adj>' '</settings>' "<cover_monitors>$2</cover_monitors>" >"$1/settings.xml"
}

# Runs the program on the current display and prefix with the sampler's arguments $@.
sample() {
    (cd "$work" && exec wine "$exe" "$(winepath -w "$work/cover.dvbk")" >/dev/null 2>&1) &
    app_pid=$!
    local result=0
    wine "$sampler" "$@" 2>/dev/null | tr -d '\r' >"$work/sampler.log" || result=1
    grep -q '^samples ' "$work/sampler.log" || result=1
    # Each start's line only when something went wrong.
    if [ "$result" -eq 0 ]; then grep -v '^start ' "$work/sampler.log"; else cat "$work/sampler.log"; fi
    kill "$app_pid" 2>/dev/null
    wait "$app_pid" 2>/dev/null
    app_pid=""
    return $result
}

failed=0
echo "== one monitor: 20 cover starts"
write_settings "$settings_dir" player
write_script 2 1 0.6 20
sample 0 player 2 1 0.6 20 || failed=$((failed + 1))

echo "== two monitors"
cp -a "$WINEPREFIX" "$work/wine"
export WINEPREFIX="$work/wine"
display=$((100 + RANDOM % 800))
Xvnc ":$display" -geometry 2560x800 -depth 24 -SecurityTypes None -localhost -rfbport -1 \
    >"$work/xvnc.log" 2>&1 &
vnc_pid=$!
export DISPLAY=":$display"
for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
# Two monitors of one screen; Wine reads them through Xinerama, which the server builds from them.
xrandr --setmonitor L 1280/339x800/212+0+0 VNC-0 >/dev/null
xrandr --setmonitor R 1280/339x800/212+1280+0 none >/dev/null
wine reg add 'HKCU\Software\Wine\X11 Driver' /v UseXRandR /d N /f >/dev/null 2>&1
# The desktop reads the monitors once, when the prefix's server starts: that was for reg itself.
wineserver -k
wineserver -w
wineserver -p
settings_dir="$WINEPREFIX/drive_c/ProgramData/DunvelBlenk"
write_script 2 1.2 0.7 5
for cover in player all; do
    echo "-- the player on the right monitor, cover_monitors $cover"
    write_settings "$settings_dir" "$cover"
    sample 1 "$cover" 2 1.2 0.7 5 || failed=$((failed + 1))
done
echo "-- the player on the right monitor, the program maximised on the left"
write_settings "$settings_dir" player
sample 1 player 2 1.2 0.7 5 maximised || failed=$((failed + 1))
[ "$failed" -eq 0 ]

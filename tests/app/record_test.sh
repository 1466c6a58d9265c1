#!/usr/bin/env bash
# The real program recording ranges from its system-wide keys, pressed with xdotool while another
# program (Wine's Notepad, standing in for the player) has the focus, and the script's file checked
# on disk after each press. Wine sees keys only while one of its own windows has the focus, so the
# stand-in is a Wine program.
#
#   record_test.sh DUNVELBLENK_EXE [SCREENSHOT_FOLDER]
set -uo pipefail
here=$(dirname "$0")
source "$here/../../scripts/common.sh"
source "$here/../desktop.sh"
exe=$(realpath "$1")
shots=${2:-}
[ -n "$shots" ] && mkdir -p "$shots"
work=$(mktemp -d /tmp/dvbk-record.XXXXXX)
app_pid=""
player_pid=""
trap '[ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null; [ -n "$player_pid" ] && kill "$player_pid" 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT

script="$work/film.dvbk"
# Saved by an editor that puts a byte-order mark first, with one line added by another that ends it
# with LF alone.
printf '\xef\xbb\xbf# my film\r\nBlenk, 30:00, 30:01\n\r\nEnd, 1:00:00\r\n' >"$script"
(cd "$work" && exec wine "$exe" "$(winepath -w "$script")" >/dev/null 2>&1) &
app_pid=$!
main=$(wait_for_window '^DVBK T: ' 30) || { echo "FAILED: the window did not appear"; exit 1; }

# File > Record Ranges, then Start, through the menu and the button as a user would.
xdotool mousemove --window "$main" 20 32 click 1
sleep 0.5
xdotool mousemove --window "$main" 40 155 click 1
sleep 0.3
xdotool mousemove --window "$main" 114 227 click 1
# The focus goes to the player, where it is while the film plays: the keys must work all the same.
wine notepad >/dev/null 2>&1 &
player_pid=$!
player=$(wait_for_window 'Notepad' 30) || { echo "FAILED: the player stand-in did not appear"; exit 1; }
xdotool windowmove "$player" 600 100 mousemove --window "$player" 100 100 click 1
sleep 2

file_has() { tr -d '\r' <"$script" | grep -qxF "$1"; }
lines_of() { tr -d '\r' <"$script" | grep -c "^$1,"; }
press() { xdotool key "$1"; sleep "${2:-0.6}"; }

press ctrl+shift+F9 1.2   # a mute range opens (a second before the press)
press ctrl+shift+F9       # and is written
check "a mute range is written at once" test "$(lines_of Dunvel)" = 1
check "the comment, the cover line and the blank line stay" file_has $'\xef\xbb\xbf# my film'
check "the byte-order mark stays first, each line keeps its own end" grep -qx 'Blenk, 30:00, 30:01' "$script"
check "the end line stays last" sh -c "tr -d '\r' <'$script' | tail -n 1 | grep -q '^End, 1:00:00$'"
press ctrl+shift+F10 0.8   # a cover range opens
press ctrl+shift+F10
first_cover() { tr -d '\r' <"$script" | grep -m1 '^Blenk' | grep -q '^Blenk, 0:00:'; }
check "a cover range goes in before the later one" first_cover
press ctrl+shift+F12       # undo: the cover range is open again, and gone from the file
check "undo takes the written range back" test "$(lines_of Blenk)" = 1
press ctrl+shift+F10
check "ending it again writes it again" test "$(lines_of Blenk)" = 2
check "the file loads after every press" wine "$(dirname "$exe")/dvbk.exe" check "$(winepath -w "$script")"
if [ -n "$shots" ]; then
    press ctrl+shift+F9
    xdotool mousemove --window "$main" 250 70 click 1
    sleep 1.2
    import -window root -crop 520x340+0+0 "$shots/recording.png" 2>/dev/null
fi

kill "$app_pid" "$player_pid" 2>/dev/null
wait 2>/dev/null
app_pid=""
player_pid=""
echo "record: $passed passed, $failed failed"
[ "$failed" -eq 0 ]

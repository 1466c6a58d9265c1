#!/usr/bin/env bash
# The real DunvelBlenk.exe under Wine on $DISPLAY, driven with xdotool as a user would drive it.
# Usage: end_to_end.sh DunvelBlenk.exe position_reader.exe [SCREENSHOT_FOLDER]
# Checks the order of what happens with generous time limits; the times it saw are printed.
set -uo pipefail
source "$(dirname "$0")/../../scripts/common.sh"
source "$(dirname "$0")/../desktop.sh"
exe=$(realpath "$1")
reader=$(realpath "$2")
shots=${3:-}
[ -n "${DISPLAY:-}" ] || { echo "end_to_end: no DISPLAY"; exit 1; }
[ -n "$shots" ] && mkdir -p "$shots"
# UTF-8 on the Linux side, so that Wine passes non-ASCII names on unchanged, and a Western system
# on the Windows side: Wine's ANSI code page for this locale is 1252.
export LC_ALL=C.UTF-8
work=$(mktemp -d /tmp/dvbk-e2e.XXXXXX)
app_pid=""
trap 'stop_app; rm -rf "$work"' EXIT

start_app() {
    (cd "$work" && exec wine "$exe" "$@" >/dev/null 2>&1) &
    app_pid=$!
}
stop_app() {
    [ -n "$app_pid" ] || return 0
    kill "$app_pid" 2>/dev/null
    wait "$app_pid" 2>/dev/null
    app_pid=""
}

wait_for_file() {
    local deadline=$((SECONDS + $2))
    until [ -f "$1" ]; do [ $SECONDS -lt $deadline ] || return 1; sleep 0.1; done
}
wait_for_no_file() {
    local deadline=$((SECONDS + $2))
    while [ -f "$1" ]; do [ $SECONDS -lt $deadline ] || return 1; sleep 0.1; done
}
window_width() { xdotool getwindowgeometry "$1" 2>/dev/null | awk '/Geometry/ { split($2, size, "x"); print size[1] }'; }
shot() { [ -n "$shots" ] && import -window root ${2:+-crop "$2"} "$shots/$1.png" 2>/dev/null; return 0; }

# The program's film clock in milliseconds through position_reader, or "none" when the window does
# not answer within a second (as while its thread is blocked).
read_position() { echo | timeout 20 wine "$reader" 2>/dev/null | tr -d '\r'; }

# Main-window spots, relative to its top-left corner (Wine draws the frame, caption and menu).
click_at() { xdotool mousemove --window "$1" "$2" "$3" click 1; }
start_button=(114 227)
menu_file=(20 32)
menu_file_exit=(28 189)
menu_settings=(62 32)
menu_set_time=(75 53)
menu_settings_settings=(75 69)
menu_help=(110 32)
menu_help_about=(125 69)
delay_field=(149 182)
# Replaces the "0" in the delay field beside the button.
type_delay() {
    click_at "$1" "${delay_field[@]}"
    xdotool key End BackSpace
    xdotool type "$2"
}

script="$work/cover.dvbk"
printf 'Blenk, 2, 4\nEnd, 1:00\n' >"$script"
script_arg=$(winepath -w "$script")

# The usage box, and a missing file's error box; neither ends the program.
start_app --help
check '"--help" shows "Command Line Options"' window_appears '^Command Line Options$'
shot usage-box 700x400+290+312
stop_app
start_app 'C:\no\such\film.dvbk'
check 'a missing script shows "Error"' window_appears '^Error$'
stop_app

# A script in a folder named in Cyrillic, outside the Western code page: the manifest's UTF-8 code
# page carries its name through the command line to the file.
cyrillic="$work/Фильмы"
mkdir -p "$cyrillic"
printf 'Blenk, 2, 4\nEnd, 1:00\n' >"$cyrillic/фильм.dvbk"
start_app "$(winepath -w "$cyrillic/фильм.dvbk")"
main=$(wait_for_window '^DVBK T: ' 20)
check 'a script in a Cyrillic folder opens from the command line' test "$(window_name "$main")" = "DVBK T: 0:00:00 R: 0:01:00"
check 'and shows no "Error"' test -z "$(xdotool search --name '^Error$' 2>/dev/null)"
stop_app

# A start delay is waited for with the program answering: its clock stands at 0 while the button
# counts down, and runs once the delay has passed.
start_app "$script_arg"
main=$(wait_for_window '^DVBK T: ' 20)
type_delay "$main" 8
click_at "$main" "${start_button[@]}"
started=$SECONDS
sleep 1
shot countdown 500x350+0+0
waiting=$(read_position)
check "while the start waits the program answers, its clock at 0 (got \"$waiting\")" test "$waiting" = 0
position=$waiting
while [ $((SECONDS - started)) -lt 20 ] && { [ "$position" = 0 ] || [ "$position" = none ]; }; do
    sleep 0.5
    position=$(read_position)
done
check "the clock runs after the delay (${position:-?} ms after $((SECONDS - started)) s)" test "${position:-0}" -gt 0 2>/dev/null
stop_app

# A run: the title a second after start, the clock starting from the button, the cover range.
start_app "$script_arg"
main=$(wait_for_window '^DVBK T: ' 20)
check 'the title reads "DVBK T: 0:00:00 R: 0:01:00"' test "$(window_name "$main")" = "DVBK T: 0:00:00 R: 0:01:00"
shot main-window 500x350+0+0
click_at "$main" "${start_button[@]}"
started=$SECONDS
covered_at="" uncovered_at="" advanced=""
deadline=$((SECONDS + 30))
while [ $SECONDS -lt $deadline ] && [ -z "$uncovered_at" ]; do
    width=$(window_width "$main")
    name=$(window_name "$main")
    [ -z "$advanced" ] && [ "$name" != "DVBK T: 0:00:00 R: 0:01:00" ] && advanced=$name
    if [ -z "$covered_at" ] && [ "${width:-0}" -ge 1280 ]; then
        covered_at=$((SECONDS - started))
        sleep 0.3
        shot covered-screen
    elif [ -n "$covered_at" ] && [ "${width:-9999}" -lt 400 ]; then
        uncovered_at=$((SECONDS - started))
    fi
    sleep 0.05
done
check "the title advances once started (saw \"$advanced\")" test -n "$advanced"
check "the Blenk range covers the screen (after ${covered_at:-?} s)" test -n "$covered_at"
check "and uncovers it again (after ${uncovered_at:-?} s)" test -n "$uncovered_at"
stop_app

# Killed while muting, as from Task Manager: the note of the muted output is on disk before the mute
# (written ahead while the mute is near), and the next start switches it back on and removes it.
marker="$WINEPREFIX/drive_c/ProgramData/DunvelBlenk/mute_marker.xml"
rm -f "$marker"
printf 'Dunvel, 2, 50\nEnd, 1:00\n' >"$work/mute.dvbk"
start_app "$(winepath -w "$work/mute.dvbk")"
main=$(wait_for_window '^DVBK T: ' 20)
check 'a mute near the clock is noted ahead, before Start' wait_for_file "$marker" 10
click_at "$main" "${start_button[@]}"
sleep 3
kill -KILL "$app_pid" 2>/dev/null
wait "$app_pid" 2>/dev/null
app_pid=""
check 'the note outlives a kill during the mute' test -f "$marker"
start_app "$script_arg"
wait_for_window '^DVBK T: ' 20 >/dev/null
check 'the next start switches the output back on and removes the note' wait_for_no_file "$marker" 10
stop_app
# A clean exit with a mute near leaves no note behind.
start_app "$(winepath -w "$work/mute.dvbk")"
main=$(wait_for_window '^DVBK T: ' 20)
wait_for_file "$marker" 10
click_at "$main" "${menu_file[@]}"
sleep 0.5
click_at "$main" "${menu_file_exit[@]}"
check 'File > Exit with a mute near removes the note' wait_for_no_file "$marker" 10
stop_app

# The dialogs, for the pictures, and Exit from the menu.
# Opens a menu item of a fresh main window and checks that the dialog titled $5 appears.
open_from_menu() {
    start_app "$script_arg"
    main=$(wait_for_window '^DVBK T: ' 20)
    click_at "$main" "$1" "$2"
    sleep 0.5
    click_at "$main" "$3" "$4"
    check "the menu opens \"$5\"" window_appears "^$5\$" 10
    sleep 0.3
    shot "$6" 700x560+0+0
    stop_app
}
open_from_menu "${menu_help[@]}" "${menu_help_about[@]}" "About DunvelBlenk" about-dialog
open_from_menu "${menu_settings[@]}" "${menu_set_time[@]}" "Set Time" set-time-dialog
open_from_menu "${menu_settings[@]}" "${menu_settings_settings[@]}" "Settings" settings-dialog

# File > Exit while a long start delay waits.
start_app "$script_arg"
main=$(wait_for_window '^DVBK T: ' 20)
type_delay "$main" 600
click_at "$main" "${start_button[@]}"
sleep 0.5
click_at "$main" "${menu_file[@]}"
sleep 0.5
click_at "$main" "${menu_file_exit[@]}"
exit_code=timeout
for _ in $(seq 100); do
    if ! kill -0 "$app_pid" 2>/dev/null; then
        wait "$app_pid"
        exit_code=$?
        app_pid=""
        break
    fi
    sleep 0.1
done
check "File > Exit during a start delay ends the program with code 0 (got $exit_code)" test "$exit_code" = 0

echo "end to end: $passed passed, $failed failed"
[ "$failed" -eq 0 ]

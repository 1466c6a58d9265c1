#!/usr/bin/env bash
# The real program under Wine following a real VLC: VLC plays a generated two-minute clip with its
# web interface on the loopback, and the program, started without a script, is set to follow it
# with a scripts folder of its own. Of the folder's three scripts, the program must load the one
# that names the clip's file (not the one for another file, nor the one for the clip that does not
# load) and carry out its range. Then follow_vlc_probe checks that the link learns which file plays,
# and compares the two for 60 s while pausing and seeking VLC. Last, with a second script for the
# clip in the folder, the program started again must ask which of the two (a picture of the
# question goes to SCREENSHOT_FOLDER), load the one chosen, and, started once more, take that
# choice without asking.
#
#   follow_vlc.sh DUNVELBLENK_EXE PROBE_EXE POSITION_READER_EXE [SCREENSHOT_FOLDER]
set -euo pipefail
source "$(dirname "$0")/../desktop.sh"
exe=$1
probe=$2
reader=$3
shots=${4:-}
password=dvbk-follow
work=$(mktemp -d /tmp/dvbk-follow.XXXXXX)
chmod 755 "$work"

settings_dir="$WINEPREFIX/drive_c/ProgramData/DunvelBlenk"
settings="$settings_dir/settings.xml"
mkdir -p "$settings_dir"
saved=""
[ -f "$settings" ] && saved="$work/settings.saved" && cp "$settings" "$saved"

vlc_pid=""
app_pid=""
cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null
    [ -n "$vlc_pid" ] && kill "$vlc_pid" 2>/dev/null
    wait 2>/dev/null || true
    if [ -n "$saved" ]; then cp "$saved" "$settings"; else rm -f "$settings"; fi
    rm -rf "$work"
}
trap cleanup EXIT

# The window's line that tells of the script found: its place in main_layout.h's Line.
load_error_line=$(grep -o 'enum class Line {[^}]*}' "$(dirname "$0")/../../src/app/main_layout.h" |
                  sed 's/.*{//; s/}//' | tr -d ' ' | tr ',' '\n' | grep -n '^LoadError$' | cut -d: -f1)
load_error_line=$((load_error_line - 1))

starts_with() { [[ $1 == "$2"* ]]; }

# One question to the running program through position_reader.
ask() { printf '%s\n' "$1" | wine "$reader" 2>/dev/null | tr -d '\r'; }

# The load-error line once it matches $2 (an extended regular expression), waiting up to $1 seconds;
# else what it read last.
line_once() {
    local deadline=$((SECONDS + $1)) text
    while :; do
        text=$(ask "line $load_error_line")
        if [[ $text =~ $2 ]] || [ $SECONDS -ge $deadline ]; then break; fi
        sleep 0.3
    done
    echo "$text"
}

# The program started without a script; it is gone, window and all, when stopped.
start_program() {
    wine "$exe" >/dev/null 2>&1 &
    app_pid=$!
    wait_for_window '^(DunvelBlenk|DVBK T: .*)$' 20 >/dev/null || { echo "the program's window did not appear"; exit 1; }
}
stop_program() {
    kill "$app_pid" 2>/dev/null
    wait "$app_pid" 2>/dev/null || true
    app_pid=""
    for _ in $(seq 50); do
        [ "$(ask '?')" = none ] && return
        sleep 0.1
    done
}

# A free loopback port for VLC.
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')

sox -q -n -r 8000 -c 1 "$work/clip.wav" synth 120 sine 440 vol 0.1
chmod 644 "$work/clip.wav"
# VLC refuses to run as root; then it runs as nobody, with a home of its own.
vlc_command=(cvlc --quiet --intf dummy --extraintf http --http-host 127.0.0.1 --http-port "$port"
             --http-password "$password" --aout dummy --no-video "$work/clip.wav")
if [ "$(id -u)" -eq 0 ]; then
    mkdir -p "$work/home" && chown nobody "$work/home"
    HOME="$work/home" setpriv --reuid=nobody --regid=nogroup --clear-groups "${vlc_command[@]}" \
        >"$work/vlc.log" 2>&1 &
else
    HOME="$work" "${vlc_command[@]}" >"$work/vlc.log" 2>&1 &
fi
vlc_pid=$!
for _ in $(seq 100); do
    curl -sf -u ":$password" "http://127.0.0.1:$port/requests/status.json" >/dev/null 2>&1 && break
    sleep 0.1
done
curl -sf -u ":$password" "http://127.0.0.1:$port/requests/status.json" >/dev/null || {
    echo "VLC did not start:"; cat "$work/vlc.log"; exit 1
}

# The clip's script, muting nearly all of it; a script for another file; a script for the clip
# whose range ends before it starts.
scripts="$work/scripts"
mkdir -p "$scripts"
printf '%s\r\n' '# film: Sine Wave (2024)' '# duration: 2:00' '# match: file=clip.wav' \
    'Dunvel, 0:00:01, 0:01:50' 'End, 0:02:00' >"$scripts/sine-wave.dvbk"
printf '%s\r\n' '# film: Another Film (2001)' '# duration: 1:31:00' '# match: file=another-film.mkv' \
    'Dunvel, 0:00:01, 0:01:50' >"$scripts/another-film.dvbk"
printf '%s\r\n' '# film: Sine Wave, Broken (2024)' '# duration: 2:00' '# match: file=clip.wav' \
    'Dunvel, 0:00:20, 0:00:10' >"$scripts/broken.dvbk"

printf '%s\r\n' '<?xml version="1.0" encoding="UTF-8"?>' '<settings>' '<click_maximize>0</click_maximize>' \
    '<click_choice>Windows Media Player</click_choice>' '<click_x>0.986</click_x>' '<click_y>0.949</click_y>' \
    '<time_adj>0</time_adj>' '</settings>' '<clock_source>VLC</clock_source>' '<vlc_host>127.0.0.1</vlc_host>' \
    "<vlc_port>$port</vlc_port>" "<vlc_password>$password</vlc_password>" \
    "<scripts_folder>$(winepath -w "$scripts")</scripts_folder>" '<load_matching>1</load_matching>' >"$settings"

start_program
text=$(line_once 15 '^Script: ')
echo "the script found: $text"
check "the program loads the clip's script, found by its file name" \
    test "$text" = "Script: Sine Wave (2024), found by its file name"
action=""
for _ in $(seq 20); do
    action=$(ask action)
    [ "$action" = Dunvel ] && break
    sleep 0.2
done
check "its range is in force: $action" test "$action" = Dunvel
sleep 1

check "the program follows VLC" wine "$probe" "$port" "$password" 120 60 clip.wav

# A second script for the clip: the program asks which.
stop_program
printf '%s\r\n' '# film: Sine Wave, Family Cut (2024)' '# duration: 2:00' '# match: file=clip.wav' \
    'Dunvel, 0:00:01, 0:01:50' >"$scripts/sine-wave_family.dvbk"
start_program
dialog=$(wait_for_window '^Choose the Script$' 15 || true)
check "with two scripts for the clip, the program asks which" test -n "$dialog"
if [ -n "$dialog" ]; then
    sleep 0.5
    if [ -n "$shots" ]; then
        mkdir -p "$shots"
        import -window "$dialog" "$shots/choose-script.png"
    fi
    choices=$(ask choices)
    echo "the choices: $choices"
    offered="Sine Wave (2024)  -  sine-wave.dvbk (its file name) | "
    offered+="Sine Wave, Family Cut (2024)  -  sine-wave_family.dvbk (its file name) | "
    offered+="broken.dvbk does not load: Error processing file: "
    check "both are offered, the one that does not load with its error" starts_with "$choices" "$offered"
    check "the second is chosen" test "$(ask 'choose 1')" = ok
    text=$(line_once 10 'your choice')
    echo "the script chosen: $text"
    check "the program loads it" test "$text" = "Script: Sine Wave, Family Cut (2024), found by your choice"
fi

# Started again, the program takes the same choice without asking.
stop_program
start_program
text=$(line_once 15 '^Script: ')
echo "the script found again: $text"
check "the program takes the choice it was given" \
    test "$text" = "Script: Sine Wave, Family Cut (2024), found by your choice for it last time"
check "without asking" test -z "$(xdotool search --name '^Choose the Script$' 2>/dev/null || true)"
echo "follow_vlc: $passed passed, $failed failed"
[ "$failed" -eq 0 ]

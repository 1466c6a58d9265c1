#!/usr/bin/env bash
# The real program under Wine following a real VLC: VLC plays a generated two-minute clip with its
# web interface on the loopback, the program is set to follow it, and follow_vlc_probe checks that
# the link learns which file plays, then compares the two for 60 s while pausing and seeking VLC.
#
#   follow_vlc.sh DUNVELBLENK_EXE PROBE_EXE
set -euo pipefail
exe=$1
probe=$2
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

printf '%s\r\n' '<?xml version="1.0" encoding="UTF-8"?>' '<settings>' '<click_maximize>0</click_maximize>' \
    '<click_choice>Windows Media Player</click_choice>' '<click_x>0.986</click_x>' '<click_y>0.949</click_y>' \
    '<time_adj>0</time_adj>' '</settings>' '<clock_source>VLC</clock_source>' '<vlc_host>127.0.0.1</vlc_host>' \
    "<vlc_port>$port</vlc_port>" "<vlc_password>$password</vlc_password>" >"$settings"
printf 'Dunvel, 0:00:05, 0:00:06\r\nBlenk, 0:01:50, 0:01:51\r\nEnd, 0:02:00\r\n' >"$work/film.dvbk"

wine "$exe" "$(winepath -w "$work/film.dvbk")" >/dev/null 2>&1 &
app_pid=$!
window=""
for _ in $(seq 200); do
    window=$(xdotool search --name '^(DunvelBlenk|DVBK T: .*)$' 2>/dev/null | head -n 1 || true)
    [ -n "$window" ] && break
    sleep 0.1
done
[ -n "$window" ] || { echo "the program's window did not appear"; exit 1; }
sleep 2

wine "$probe" "$port" "$password" 120 60 clip.wav
echo "title at the end: $(xdotool getwindowname "$window")"

# Shared by the scripts in this folder: the project root and the Wine environment.
# shellcheck shell=bash
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX="$root/build/wine"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64

# Root can install directly; anyone else needs sudo.
as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# A private X display and sound server in folder $1 (both stopped by stop_services). Wine needs
# a display for anything with a window or a message loop, and a sound server with a null sink
# gives Core Audio a default output to mute.
xvfb_pid=""
start_display() {
    local folder=$1
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$folder/display" 2>"$folder/xvfb.log" &
    xvfb_pid=$!
    for _ in $(seq 100); do
        [ -s "$folder/display" ] && break
        sleep 0.1
    done
    [ -s "$folder/display" ] || { cat "$folder/xvfb.log"; return 1; }
    export DISPLAY=":$(head -n 1 "$folder/display")"
}
start_sound_server() {
    local folder=$1
    export PULSE_RUNTIME_PATH="$folder/pulse"
    export PULSE_STATE_PATH="$folder/pulse-state"
    mkdir -p "$PULSE_RUNTIME_PATH" "$PULSE_STATE_PATH"
    pulseaudio -n --daemonize=yes --exit-idle-time=-1 --load=module-null-sink --load=module-native-protocol-unix \
        2>"$folder/pulse.log" || { cat "$folder/pulse.log"; return 1; }
    export PULSE_SERVER="unix:$PULSE_RUNTIME_PATH/native"
}
stop_services() {
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null
        wait "$xvfb_pid" 2>/dev/null
    fi
    [ -S "${PULSE_RUNTIME_PATH:-/nonexistent}/native" ] && pulseaudio --kill 2>/dev/null
    wineserver -k 2>/dev/null
    return 0
}

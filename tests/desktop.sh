# Shared by the tests that drive the real program's windows under Wine on $DISPLAY: counted
# checks, and waiting for a window by its title.
# shellcheck shell=bash

passed=0
failed=0
check() {
    local what=$1
    shift
    if "$@"; then
        echo "ok: $what"
        passed=$((passed + 1))
    else
        echo "FAILED: $what"
        failed=$((failed + 1))
    fi
}

# Prints the id of the first window whose name matches, waiting up to $2 seconds.
wait_for_window() {
    local deadline=$((SECONDS + ${2:-20})) id
    while [ $SECONDS -lt $deadline ]; do
        id=$(xdotool search --name "$1" 2>/dev/null | head -n 1)
        [ -n "$id" ] && { echo "$id"; return 0; }
        sleep 0.1
    done
    return 1
}
window_appears() { wait_for_window "$@" >/dev/null; }
window_name() { xdotool getwindowname "$1" 2>/dev/null; }

#!/usr/bin/env bash
# The window tests' layout check at 100, 125, 150 and 200 % (96 to 192 DPI), one program for each,
# started after the display's DPI was set (Windows and Wine read it as a program starts); with a
# folder for them, pictures of the real program at 150 %.
#   dpi_test.sh app_tests.exe DUNVELBLENK_EXE [SCREENSHOT_FOLDER]
set -uo pipefail
source "$(dirname "$0")/../../scripts/common.sh"
source "$(dirname "$0")/../desktop.sh"
tests=$(realpath "$1")
exe=$(realpath "$2")
shots=${3:-}
key='HKCU\Control Panel\Desktop'
set_dpi() { wine reg add "$key" /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1; }
# The prefix is the other tests' too: its DPI goes back as it was, however this script ends.
before=$(wine reg query "$key" /v LogPixels 2>/dev/null | grep -o '0x[0-9a-f]*')
app_pid=""
work=$(mktemp -d /tmp/dvbk-dpi.XXXXXX)
trap '[ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null
      if [ -n "$before" ]; then set_dpi $((before)); else wine reg delete "$key" /v LogPixels /f >/dev/null 2>&1; fi
      rm -rf "$work"' EXIT
trap 'exit 130' INT TERM

for dpi in 96 120 144 192; do
    set_dpi "$dpi"
    check "the windows fit at $dpi DPI" env -u GTEST_OUTPUT DVBK_TEST_DPI="$dpi" wine "$tests" \
        --gtest_filter=AppWindowTest.FitsAtTheDisplaysDpi --gtest_brief=1
done

if [ -n "$shots" ]; then
    mkdir -p "$shots"
    set_dpi 144
    printf 'Blenk, 2, 4\nEnd, 1:00\n' >"$work/film.dvbk"
    (cd "$work" && exec wine "$exe" "$(winepath -w "$work/film.dvbk")" >/dev/null 2>&1) &
    app_pid=$!
    main=$(wait_for_window '^DVBK T: ' 20) && sleep 1 && import -window "$main" "$shots/main-window-144dpi.png"
    xdotool key alt+s s
    settings=$(wait_for_window '^Settings$' 10) && sleep 0.5 && import -window root -crop 760x800+0+0 \
        "$shots/settings-dialog-144dpi.png"
    check "the pictures at 144 DPI are taken" test -n "$main" -a -n "$settings"
fi
echo "dpi: $passed passed, $failed failed"
[ "$failed" -eq 0 ]

#!/usr/bin/env bash
# The release as a user gets it, under Wine on $DISPLAY in the project's prefix: what the zip holds
# and that its program starts; then the setup, for the current user and for all users: the files,
# the Start menu entry, the registry, a .dvbk opened by double-click, an update over the first
# install, and the uninstaller taking it all away while the settings stay (or go, when asked).
# Leaves the prefix as it found it.
# Usage: install_test.sh DIST_FOLDER   (the folder scripts/package writes)
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../scripts/common.sh"
source "$here/../desktop.sh"
[ -n "${DISPLAY:-}" ] || { echo "install_test: no DISPLAY"; exit 1; }
dist=$(realpath "$1")
zip=$(echo "$dist"/DunvelBlenk-*-win64.zip)
setup=$(echo "$dist"/DunvelBlenk-*-setup.exe)
[ -f "$zip" ] && [ -f "$setup" ] || { echo "install_test: no zip and setup in $dist"; exit 1; }
version=${zip##*/DunvelBlenk-}
version=${version%-win64.zip}
# Wine would hand the setup's shortcut and file type on to the Linux desktop's menus.
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winemenubuilder.exe=d"
export LC_ALL=C.UTF-8
work=$(mktemp -d /tmp/dvbk-install.XXXXXX)

# The prefix's folders as Windows names them, and where they are here.
mapfile -t folders < <(wine cmd /c 'echo %LOCALAPPDATA%&echo %APPDATA%&echo %ProgramData%&echo %ProgramW6432%&echo %TEMP%' |
    tr -d '\r')
unix() { winepath -u "$1" 2>/dev/null; }
temp_folder=$(unix "${folders[4]}")
settings_folder=$(unix "${folders[2]}\\DunvelBlenk")
start_menu_tail='Microsoft\Windows\Start Menu\Programs'
uninstall_key='Software\Microsoft\Windows\CurrentVersion\Uninstall\DunvelBlenk'
pending_key='HKLM\System\CurrentControlSet\Control\Session Manager'

# A registry value ("" for the default one), or nothing when it is not there.
reg_value() {
    local name=(/v "$2")
    [ -z "$2" ] && name=(/ve)
    wine reg query "$1" "${name[@]}" 2>/dev/null | tr -d '\r' |
        awk -v name="${2:-(Default)}" '$1 == name { sub(/^ *[^ ]+ +REG_[A-Z_]+ +/, ""); print; exit }'
}
reg_key_exists() { wine reg query "$1" >/dev/null 2>&1; }
reg_key_gone() { ! reg_key_exists "$1"; }

# Linux ids of this prefix's Windows processes whose command line matches $1.
prefix_processes() {
    local pid
    for pid in $(pgrep -f "$1"); do
        2>/dev/null tr '\0' '\n' <"/proc/$pid/environ" | grep -qxF "WINEPREFIX=$WINEPREFIX" && echo "$pid"
    done
}
# True once no such process is left, waiting up to $2 seconds.
processes_end() {
    local deadline=$((SECONDS + $2))
    while [ -n "$(prefix_processes "$1")" ]; do
        [ $SECONDS -lt $deadline ] || return 1
        sleep 0.2
    done
}
# The uninstaller's copy of itself, run from the temp folder.
uninstaller_copy='\\~nsu[^\\]*\.tmp\\'
wait_until() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        [ $SECONDS -lt $deadline ] || return 1
        sleep 0.2
    done
}
close_program() {
    local pid
    for pid in $(prefix_processes 'DunvelBlenk\.exe'); do kill "$pid" 2>/dev/null; done
    processes_end 'DunvelBlenk\.exe' 20
}

# What the test may change, as it was; put back at the end whatever happens.
settings_before="$work/settings.xml.before"
[ -f "$settings_folder/settings.xml" ] && cp "$settings_folder/settings.xml" "$settings_before"
settings_folder_existed=$([ -d "$settings_folder" ] && echo yes)
pending_before=$(reg_value "$pending_key" PendingFileRenameOperations)
temp_before=$(ls -d "$temp_folder"/~nsu*.tmp 2>/dev/null)
# Where the modes below install, and what a broken run may leave there.
install_folders=("${folders[0]}\\Programs\\DunvelBlenk" "${folders[3]}\\DunvelBlenk" "${folders[3]}\\Film Companion")
restore_prefix() {
    close_program
    processes_end "$uninstaller_copy" 30
    local root folder
    for root in HKCU HKLM; do
        wine reg delete "$root\\$uninstall_key" /f >/dev/null 2>&1
        wine reg delete "$root\\Software\\Classes\\DunvelBlenk.FilterScript" /f >/dev/null 2>&1
        [ "$(reg_value "$root\\Software\\Classes\\.dvbk" "")" = DunvelBlenk.FilterScript ] &&
            wine reg delete "$root\\Software\\Classes\\.dvbk" /f >/dev/null 2>&1
    done
    for folder in "${install_folders[@]}"; do rm -rf "$(unix "$folder")"; done
    rm -f "$(unix "${folders[1]}\\$start_menu_tail\\DunvelBlenk.lnk")" "$(unix "${folders[2]}\\$start_menu_tail\\DunvelBlenk.lnk")"
    # The uninstaller's copy of itself in the temp folder would go at the next restart.
    for folder in "$temp_folder"/~nsu*.tmp; do
        [ -e "$folder" ] && ! grep -qxF "$folder" <<<"$temp_before" && rm -rf "$folder"
    done
    [ -z "$pending_before" ] && wine reg delete "$pending_key" /v PendingFileRenameOperations /f >/dev/null 2>&1
    if [ -f "$settings_before" ]; then
        mkdir -p "$settings_folder" && cp "$settings_before" "$settings_folder/settings.xml"
    elif [ -z "$settings_folder_existed" ]; then
        rm -rf "$settings_folder"
    else
        mkdir -p "$settings_folder" && rm -f "$settings_folder/settings.xml"
    fi
}
trap 'restore_prefix; rm -rf "$work"' EXIT
# A run cut short leaves its install behind: start from none.
restore_prefix >/dev/null 2>&1

# A script in a folder with blanks, with an end that no other script has: the title shows it.
films="$work/My Films"
mkdir -p "$films"
printf 'Blenk, 2, 4\r\nEnd, 1:23:45\r\n' >"$films/the film.dvbk"
film=$(winepath -w "$films/the film.dvbk")
film_title='DVBK T: 0:00:00 R: 1:23:45'
title_is_film() { test "$(window_name "$(wait_for_window '^DVBK T: ' 30)")" = "$film_title"; }

every_line_ends_in_crlf() { [ -s "$1" ] && ! grep -q $'[^\r]$\|^$' "$1"; }
sorted_files() { (cd "$1" && find . -type f -printf '%P\n' | sort); }
# The DLLs an exe imports, when all are Windows' own: MinGW's runtime DLLs are not on a user's PC.
system_dlls='kernel32|user32|gdi32|shell32|ole32|oleaut32|comdlg32|comctl32|advapi32|winmm|ws2_32|msvcrt|ntdll|psapi|shlwapi|version|imm32|uxtheme|dwmapi|api-ms-win-[a-z0-9-]+'
imports_only_system_dlls() {
    local dlls
    dlls=$(x86_64-w64-mingw32-objdump -p "$1" | sed -n 's/^\s*DLL Name: //p')
    [ -n "$dlls" ] && ! grep -viqxE "($system_dlls)\.dll" <<<"$dlls"
}

echo "== the zip"
unzipped="$work/zip"
unzip -q "$zip" -d "$unzipped"
expected_files=$(printf '%s\n' DunvelBlenk-extension.zip DunvelBlenk.exe DunvelBlenkHelp.txt LICENSE README.txt dvbk.exe words.txt \
    $(cd "$here/../.." && ls examples/*.dvbk) | sort)
check "it holds the program, dvbk, the help, the word list, the examples, the extension, LICENSE and README.txt" \
    test "$(sorted_files "$unzipped")" = "$expected_files"
for text in README.txt LICENSE DunvelBlenkHelp.txt words.txt examples/sample.dvbk; do
    check "$text has CR LF line ends" every_line_ends_in_crlf "$unzipped/$text"
done
check "LICENSE is the MIT License of the DunvelBlenk authors" \
    grep -q "^Copyright (c) 2026 The DunvelBlenk authors" "$unzipped/LICENSE"
check "the help and README.txt state it" \
    test "$(grep -l "MIT License" "$unzipped/DunvelBlenkHelp.txt" "$unzipped/README.txt" | wc -l)" = 2
unzip -q "$unzipped/DunvelBlenk-extension.zip" -d "$work/extension"
check "the extension's zip holds the extension, manifest.json at its top" \
    test "$(sorted_files "$work/extension")" = "$(sorted_files "$here/../../extension")"
manifest_key() { python3 -c 'import json, sys; print(json.load(open(sys.argv[1]))["key"])' "$1/manifest.json" 2>/dev/null; }
check "the shipped extension keeps the manifest's key, and with it the id users are asked to allow" \
    test -n "$(manifest_key "$work/extension")" -a "$(manifest_key "$work/extension")" = "$(manifest_key "$here/../../extension")"
for exe in DunvelBlenk.exe dvbk.exe; do
    check "$exe needs no DLL beyond Windows' own" imports_only_system_dlls "$unzipped/$exe"
done

# The version, written once in CMakeLists.txt, everywhere a user or Windows reads one.
resources=$(x86_64-w64-mingw32-windres -i "$unzipped/DunvelBlenk.exe" -O rc 2>/dev/null)
setup_resources=$(x86_64-w64-mingw32-windres -i "$setup" -O rc 2>/dev/null)
cli_version=$(wine "$unzipped/dvbk.exe" --version 2>/dev/null | tr -d '\r')
extension_version=$(python3 -c 'import json, sys; print(json.load(open(sys.argv[1]))["version"])' \
    "$work/extension/manifest.json" 2>/dev/null)
IFS=. read -r major minor patch <<<"$version"
check "version $version: the exe's version resource" \
    grep -qF "FILEVERSION $major, $minor, $patch, 0" <<<"$resources"
check "version $version: the exe's version strings" \
    test "$(grep -cF "VALUE \"ProductVersion\", \"$version\"" <<<"$resources")" = 1
check "version $version: the About box" grep -qF "\"DunvelBlenk, Version $version\"" <<<"$resources"
check "the About box states the license" grep -qF '"Free software under the MIT License."' <<<"$resources"
check "version $version: the help's title" test "$(head -n 1 "$unzipped/DunvelBlenkHelp.txt")" = "DunvelBlenk $version - Help"$'\r'
check "version $version: dvbk --version (got \"$cli_version\")" test "$cli_version" = "dvbk $version"
check "version $version: the extension's manifest (got \"$extension_version\")" test "$extension_version" = "$version"
check "version $version: the setup's version strings" grep -qF "VALUE \"ProductVersion\", \"$version\"" <<<"$setup_resources"

(cd "$unzipped" && exec wine ./DunvelBlenk.exe "$film" >/dev/null 2>&1) &
check "the zip's program starts with the script named on its command line" title_is_film
close_program

# Each way of installing: its switches, registry root, program folder, Start menu, and whether
# a double-click reaches the program here. Wine runs every program with an administrator's full
# token, so it is the elevated case that a plain /S takes; and Wine's HKEY_CLASSES_ROOT does not
# take in HKCU\Software\Classes, so the per-user file type is read from the registry only.
# One goes to the default folder, the other to one named with /D=, where installing again without
# it must find it. The uninstall of each checks one of the two ways with the settings.
modes=(
    "the current user|/CURRENTUSER|HKCU|${folders[0]}\\Programs\\DunvelBlenk|default|${folders[1]}\\$start_menu_tail|no||kept"
    "all users||HKLM|${folders[3]}\\Film Companion|named|${folders[2]}\\$start_menu_tail|yes|/REMOVESETTINGS|removed"
)
installed_files=$(printf '%s\n' "$expected_files" Uninstall.exe $(cd "$here/../.." && find extension -type f) | sort)
for mode in "${modes[@]}"; do
    IFS='|' read -r who switch root folder choice menu opens uninstall_switch settings_after <<<"$mode"
    # As typed in a command prompt: /D= takes the rest of the line, blanks and all, unquoted.
    named=()
    [ "$choice" = named ] && read -ra named <<<"/D=$folder"
    other_root=HKLM
    [ "$root" = HKLM ] && other_root=HKCU
    classes="$root\\Software\\Classes"
    program="$folder\\DunvelBlenk.exe"
    echo "== installed for $who"

    wine "$setup" /S $switch "${named[@]}" >/dev/null 2>&1
    check "the setup ends with code 0 (got $?)" test $? = 0
    check "it puts the files into $folder" test "$(sorted_files "$(unix "$folder")")" = "$installed_files"
    check "and a Start menu entry for the program" grep -qaF 'DunvelBlenk.exe' "$(unix "$menu\\DunvelBlenk.lnk")"
    registry=(
        "$classes\\.dvbk||DunvelBlenk.FilterScript"
        "$classes\\DunvelBlenk.FilterScript||DunvelBlenk filter script"
        "$classes\\DunvelBlenk.FilterScript\\DefaultIcon||$program,-131"
        "$classes\\DunvelBlenk.FilterScript\\shell\\open\\command||\"$program\" \"%1\""
        "$root\\$uninstall_key|DisplayName|DunvelBlenk"
        "$root\\$uninstall_key|DisplayVersion|$version"
        "$root\\$uninstall_key|Publisher|The DunvelBlenk authors"
        "$root\\$uninstall_key|DisplayIcon|$program,0"
        "$root\\$uninstall_key|InstallLocation|$folder"
        "$root\\$uninstall_key|UninstallString|\"$folder\\Uninstall.exe\""
        "$root\\$uninstall_key|QuietUninstallString|\"$folder\\Uninstall.exe\" /S"
    )
    for entry in "${registry[@]}"; do
        IFS='|' read -r key name expected <<<"$entry"
        got=$(reg_value "$key" "$name")
        check "${key#"$root\\"} ${name:-(default)} is \"$expected\" (got \"$got\")" test "$got" = "$expected"
    done
    size=$(reg_value "$root\\$uninstall_key" EstimatedSize)
    check "Apps & Features gets the size, $((size)) KB" test $((size)) -gt 1000
    check "and nothing is registered under $other_root" reg_key_gone "$other_root\\$uninstall_key"

    if [ "$opens" = yes ]; then
        wine start "$film" >/dev/null 2>&1
        check "a double-click on a .dvbk opens it in the program" title_is_film
        wine "$setup" /S $switch >/dev/null 2>&1
        check "the setup will not replace a running program (code $?)" test $? != 0
        close_program
    fi

    # Over the first install: a file lost since comes back, in the same folder, under one entry;
    # the word list the user edited stays as it is.
    rm "$(unix "$folder\\DunvelBlenkHelp.txt")"
    printf 'my own word\r\n' >>"$(unix "$folder\\words.txt")"
    wine "$setup" /S $switch >/dev/null 2>&1
    check "installing again ends with code 0 (got $?)" test $? = 0
    check "and updates the first install in place" test "$(sorted_files "$(unix "$folder")")" = "$installed_files"
    check "keeping the edited word list" grep -q 'my own word' "$(unix "$folder\\words.txt")"
    check "under the one entry in Apps & Features" \
        test "$(reg_value "$root\\$uninstall_key" InstallLocation)" = "$folder" -a "$(reg_value "$other_root\\$uninstall_key" DisplayName)" = ""

    mkdir -p "$settings_folder"
    printf '<settings>install test</settings>\r\n' >"$settings_folder/settings.xml"
    # As Apps & Features runs it: the uninstaller copies itself to the temp folder and returns.
    quiet=$(reg_value "$root\\$uninstall_key" QuietUninstallString)
    uninstaller=${quiet#\"}
    uninstaller=${uninstaller%%\"*}
    wine "$uninstaller" ${quiet##*\" } $uninstall_switch >/dev/null 2>&1
    # The folder goes last but one (then the settings): once it is gone the copy has long been
    # running under its own name.
    wait_until 60 test ! -e "$(unix "$folder")"
    processes_end "$uninstaller_copy" 60
    check "the uninstaller ${uninstall_switch:-/S} takes away the program's folder" test ! -e "$(unix "$folder")"
    check "the Start menu entry" test ! -e "$(unix "$menu\\DunvelBlenk.lnk")"
    check "the file type" reg_key_gone "$classes\\.dvbk"
    check "the script type" reg_key_gone "$classes\\DunvelBlenk.FilterScript"
    check "and the Apps & Features entry" reg_key_gone "$root\\$uninstall_key"
    if [ "$settings_after" = kept ]; then
        check "settings.xml is kept" grep -q 'install test' "$settings_folder/settings.xml"
    else
        check "settings.xml is removed, as asked" test ! -e "$settings_folder/settings.xml"
    fi
done

echo "install: $passed passed, $failed failed"
[ "$failed" -eq 0 ]

#!/usr/bin/env bash
# A real peer: ffmpeg turns a SubRip file into WebVTT and a WebVTT file into SubRip, dropping
# numbers, identifiers and notes and rewriting tags and entities as it goes. `dvbk subtitles`, with
# the word list beside it, must find the same mute ranges in each file and its conversion.
# Usage: subtitles_ffmpeg.sh DVBK WORK_FOLDER
set -euo pipefail
dvbk=$1
rm -rf "$2" && mkdir -p "$2" && cd "$2"

srt_texts=($'<i>What the hell</i>\nare you doing here?' '{\an8}Damn it, son of a bitch!' "Horse-shit &amp; hell's bells"
    '<font color="#ffff00">Nothing to see.</font>' $'- Where\'s the money?\n- <b>Go to hell.</b>' 'Oh my God, Frank.')
vtt_texts=('<v Frank>You son of a <c.loud>bitch</c>!' 'Bull<00:00:01.500>shit&nbsp;and hell&lrm;'
    "<v.loud Ann>Don't <u>damn</u> me &amp; go." 'Hello, shell.')
# Cue i from i * 2.5 s for 3 s, so that each overlaps the next; the last ones past 100 hours.
cue_time() {
    local ms=$(($1 * 2500 + ($1 > 36 ? 360000000 : 0) + $2))
    printf '%02d:%02d:%02d%s%03d' $((ms / 3600000)) $((ms / 60000 % 60)) $((ms / 1000 % 60)) "$3" $((ms % 1000))
}
{
    printf '\xEF\xBB\xBF'
    for i in $(seq 0 39); do
        printf '%d\n%s --> %s\n%s\n\n' $((i + 1)) "$(cue_time "$i" 0 ,)" "$(cue_time "$i" 3000 ,)" "${srt_texts[i % 6]}"
    done
} | sed 's/$/\r/' >film.srt
{
    printf 'WEBVTT - a film\nKind: captions\n\nNOTE hell is not said here\n\n'
    for i in $(seq 0 39); do
        printf 'cue-%d\n%s --> %s align:start line:10%%\n%s\n\n' "$i" "$(cue_time "$i" 0 .)" "$(cue_time "$i" 3000 .)" \
            "${vtt_texts[i % 4]}"
    done
} >film.vtt
ffmpeg -nostdin -loglevel error -y -i film.srt from-srt.vtt
ffmpeg -nostdin -loglevel error -y -i film.vtt from-vtt.srt

failed=0
for pair in "film.srt from-srt.vtt" "film.vtt from-vtt.srt"; do
    read -r original converted <<<"$pair"
    "$dvbk" subtitles "$original" >"$original.dvbk"
    "$dvbk" subtitles "$converted" >"$converted.dvbk"
    ranges=$(grep -c '^Dunvel, ' "$original.dvbk")
    if [ "$ranges" -lt 10 ] || ! diff <(grep -v '^#' "$original.dvbk") <(grep -v '^#' "$converted.dvbk"); then
        echo "FAILED: $original and $converted (ffmpeg's) give other ranges ($ranges in $original)"
        failed=1
    else
        echo "ok: $original and $converted give the same $ranges ranges"
    fi
done
exit "$failed"

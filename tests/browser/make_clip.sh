#!/usr/bin/env bash
# A small WebM test clip: a moving test pattern with a 440 Hz tone, 320x180 at 25 fps, VP8 and
# Opus, encoded for speed rather than quality (a two-minute clip takes a few seconds).
#
#   make_clip.sh OUT.webm SECONDS
set -euo pipefail
if [ $# -ne 2 ]; then
    echo "usage: $0 OUT.webm SECONDS" >&2
    exit 2
fi
out=$1
seconds=$2
# A key frame every second keeps seeks cheap and exact enough for the checks.
ffmpeg -nostdin -hide_banner -loglevel error -y \
    -f lavfi -i "testsrc=size=320x180:rate=25:duration=$seconds" \
    -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=$seconds" \
    -c:v libvpx -deadline realtime -cpu-used 8 -b:v 300k -g 25 \
    -c:a libopus -b:a 48k \
    -shortest "$out"

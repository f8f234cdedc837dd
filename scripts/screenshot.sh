#!/usr/bin/env bash
# Takes docs/main-window.png: Quillora under Xvfb with a few sample recordings and documents,
# both lists opened. Needs a build (scripts/build.sh); installs the X tools it uses when missing.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${QUILLORA_BUILD_DIR:-$root/build}"
out="${1:-$root/docs/main-window.png}"

# xdpyinfo (x11-utils) tells when the X server is up; xdotool clicks; import (imagemagick) takes the picture.
"$root/scripts/deps.sh" x11-utils xdotool imagemagick

stage="$(mktemp -d)"
trap 'kill "${app:-0}" "${xvfb:-0}" 2>/dev/null || true; rm -rf "$stage"' EXIT
cp "$build/quillora" "$stage/"
mkdir -p "$stage/myWAVFiles" "$stage/myWordFiles" "$stage/myTmpWAVFiles"
for name in 241203_093015.wav 会议记录.wav interview.wav; do
  ffmpeg -nostdin -loglevel error -f lavfi -i "sine=frequency=440:duration=1" -ar 16000 -ac 1 "$stage/myWAVFiles/$name"
done
printf '今天的会议主要讨论了三个问题。\n' > "$stage/myWordFiles/会议记录.txt"
printf 'Hello and welcome to the interview.\n' > "$stage/myWordFiles/interview.txt"

display=":$((90 + RANDOM % 100))"
Xvfb "$display" -screen 0 1280x900x24 -nolisten tcp & xvfb=$!
export DISPLAY="$display"
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
QT_QPA_PLATFORM=xcb "$stage/quillora" & app=$!
for _ in $(seq 100); do xdotool search --name '^Quillora$' >/dev/null 2>&1 && break; sleep 0.1; done
sleep 1
# The window sits at the desktop's centre: (128, 86). Open both lists.
xdotool mousemove 228 141 click 1
sleep 0.3
xdotool mousemove 228 790 click 1
xdotool mousemove 700 600
sleep 1
mkdir -p "$(dirname "$out")"
import -window root -crop 1024x728+128+86 +repage "$out"
echo "wrote $out"

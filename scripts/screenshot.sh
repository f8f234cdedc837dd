#!/usr/bin/env bash
# Takes two pictures of Quillora under Xvfb: docs/main-window.png (a few sample recordings and
# documents, both lists opened) and docs/conversion.png (an English recording converted through the
# offline speech service the program starts by itself, its text in the view). Needs a build
# (scripts/build.sh); installs the X tools it uses when missing.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${QUILLORA_BUILD_DIR:-$root/build}"
docs="${1:-$root/docs}"

# xdpyinfo (x11-utils) tells when the X server is up; xdotool clicks; import (imagemagick) takes the picture.
"$root/scripts/deps.sh" x11-utils xdotool imagemagick

stage="$(mktemp -d)"
cleanup() {
  kill "${app:-0}" 2>/dev/null || true
  pkill -f "$stage/quillora-speechd" 2>/dev/null || true
  kill "${xvfb:-0}" 2>/dev/null || true
  rm -rf "$stage"
}
trap cleanup EXIT
cp "$build/quillora" "$build/quillora-speechd" "$stage/"
mkdir -p "$stage/myWAVFiles" "$stage/myWordFiles" "$stage/myTmpWAVFiles"
for name in 241203_093015.wav 会议记录.wav; do
  ffmpeg -nostdin -loglevel error -f lavfi -i "sine=frequency=440:duration=1" -ar 16000 -ac 1 "$stage/myWAVFiles/$name"
done
printf '今天的会议主要讨论了三个问题。\n' > "$stage/myWordFiles/会议记录.txt"
# About 30 seconds of English for the conversion.
head -c 420 "$root/tests/conversion/fixtures/english-passage.txt" | sed 's/[^.]*$//' > "$stage/passage.txt"
espeak-ng -v en-us+f2 -f "$stage/passage.txt" -w "$stage/passage.wav"
ffmpeg -nostdin -loglevel error -i "$stage/passage.wav" -ar 16000 -ac 1 "$stage/myWAVFiles/interview.wav"

# shellcheck source=lib/window.sh
. "$root/scripts/lib/window.sh"
start_xvfb

start_app() {
  QT_QPA_PLATFORM=xcb "$stage/quillora" & app=$!
  wait_window Quillora >/dev/null
  sleep 1
}
shoot() { import -window root -crop 1024x728+128+86 +repage "$docs/$1"; echo "wrote $docs/$1"; }
mkdir -p "$docs"

start_app
open_audio_list
open_document_list
xdotool mousemove 700 600
sleep 1
shoot main-window.png

# Convert interview.wav, the second entry of the audio list.
convert_audio_entry 198
xdotool mousemove 700 650
sleep 0.5
shoot conversion.png
close_window
wait "$app" 2>/dev/null || true
app=

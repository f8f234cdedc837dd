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

display=":$((90 + RANDOM % 100))"
Xvfb "$display" -screen 0 1280x900x24 -nolisten tcp & xvfb=$!
export DISPLAY="$display"
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

start_app() {
  QT_QPA_PLATFORM=xcb "$stage/quillora" & app=$!
  for _ in $(seq 100); do xdotool search --name '^Quillora$' >/dev/null 2>&1 && break; sleep 0.1; done
  sleep 1
}
# The window sits at the desktop's centre, (128, 86); points below are screen coordinates.
click() { xdotool mousemove "$1" "$2" click 1; sleep "${3:-0.4}"; }
shoot() { import -window root -crop 1024x728+128+86 +repage "$docs/$1"; echo "wrote $docs/$1"; }
mkdir -p "$docs"

start_app
click 228 141        # 音频文件
click 228 790        # 文本文档 (pushed down by the open audio list)
xdotool mousemove 700 600
sleep 1
shoot main-window.png

# Convert interview.wav: select it in the audio list, add it to the tasks, English, start.
click 200 198        # interview.wav, second entry of the audio list
click 300 141        # 添加到任务
click 740 186 0.6    # language box: open, then pick 英文
xdotool key Down Down Return
sleep 0.4
click 923 186        # 开始转换
for _ in $(seq 240); do
  xdotool search --name '^提示$' >/dev/null 2>&1 && break
  sleep 0.5
done
sleep 0.5
xdotool key Return    # "文件已经全部转换完成！"
sleep 0.3
xdotool search --name "^提示$" >/dev/null 2>&1 && xdotool key Escape
sleep 0.5
xdotool mousemove 700 650
sleep 0.5
shoot conversion.png
click 1135 101 1     # close: the program ends the speech service it started
wait "$app" 2>/dev/null || true
app=

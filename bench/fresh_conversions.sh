#!/usr/bin/env bash
# Repeats fresh command-line conversions of a long spoken MP3 through our own speech service and prints how
# each ended: its last progress text and its final message. Each run gets a new portable copy of the program,
# so its data folder holds no earlier progress (the first segment is cut from the transcode under way), and
# its own network and IPC namespace. Every ffmpeg the program starts writes a report beside the run
# (FFREPORT) and the service keeps its request log there, so a failed run can be read back afterwards.
#   bench/fresh_conversions.sh [RUNS] [SECONDS] [MINUTES]   runs (10), seconds each (240), audio minutes (120)
#   bench/fresh_conversions.sh --stopcont [RUNS]            the muxer alone, stopped and continued every few milliseconds
# Environment: QUILLORA_BUILD_DIR the build (build/); WORK the folder kept for the logs (a new one in /tmp);
# FFMPEG_DIR a folder whose "ffmpeg" the program takes instead of the one on PATH (another ffmpeg version);
# LOAD=1 keeps a core busy meanwhile. Needs root (unshare), espeak-ng and ffmpeg with libmp3lame.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${QUILLORA_BUILD_DIR:-$root/build}"
work="${WORK:-$(mktemp -d /tmp/fresh-conversions-XXXXXX)}"
mkdir -p "$work"
ffmpeg="${FFMPEG_DIR:+$FFMPEG_DIR/}ffmpeg"

# MINUTES of espeak-ng speech with pauses of 0.6-1.5 s between sentences, as a VBR and a CBR MP3 with tags.
make_mp3s() {
  local minutes=$1
  [ -f "$work/talk_vbr.mp3" ] && [ -f "$work/talk_cbr.mp3" ] && return
  python3 - "$root/tests/conversion/fixtures/english-passage.txt" "$work/passage.ssml" <<'PY'
import re, sys
text = open(sys.argv[1]).read()
sentences = [s.strip() for s in re.split(r"(?<=[.?!])\s+", text) if s.strip()]
breaks = "".join(f'{s} <break time="{600 + i * 137 % 900}ms"/>' for i, s in enumerate(sentences))
open(sys.argv[2], "w").write(f"<speak>{breaks}</speak>")
PY
  espeak-ng -m -f "$work/passage.ssml" -w "$work/passage.wav"
  local loops=$((minutes * 60 / 150 + 1))
  for kind in vbr cbr; do
    local rate=(-b:a 128k)
    [ "$kind" = vbr ] && rate=(-q:a 4)
    nice -n 10 ffmpeg -v error -nostdin -y -stream_loop "$loops" -i "$work/passage.wav" -t "$((minutes * 60))" \
      -ar 44100 -ac 2 -c:a libmp3lame "${rate[@]}" -metadata title="Long talk" -metadata artist="Quillora" \
      "$work/talk_$kind.mp3"
  done
}

conversions() {
  local runs=$1 seconds=$2
  cmake --build "$build" -j2 --target quillora quillora-speechd >/dev/null
  local load=""
  if [ "${LOAD:-0}" = 1 ]; then
    yes >/dev/null &
    load=$!
  fi
  echo "\$ $0 $runs $seconds   # $(ffmpeg_version), $(uptime | sed 's/.*load/load/')"
  for ((i = 0; i < runs; i++)); do
    local mp3="$work/talk_vbr.mp3"
    ((i % 2)) && mp3="$work/talk_cbr.mp3"
    local run="$work/run-$i"
    rm -rf "$run"
    mkdir -p "$run"
    cp "$build/quillora" "$build/quillora-speechd" "$run/"
    # Taken before the one on PATH; exec keeps the pid the program holds and continues.
    printf '#!/bin/sh\nFFREPORT="file=%s/ffmpeg-$$.log:level=32" exec %s "$@"\n' "$run" "$(command -v "$ffmpeg")" \
      >"$run/ffmpeg"
    chmod +x "$run/ffmpeg"
    local status=0
    # shellcheck disable=SC2016 # expanded by the inner shell, from its arguments
    timeout "$seconds" unshare --ipc --net sh -c \
      'ip link set lo up; exec nice -n 10 "$0"/quillora --convert --language en "$1"' "$run" "$mp3" \
      >"$run/stdout.log" 2>"$run/stderr.log" || status=$?
    local progress ending
    progress=$(tr '\r' '\n' <"$run/stderr.log" | grep -o '[0-9.]*%' | tail -1 || true)
    ending=$(tail -1 "$run/stderr.log")
    [ "$status" = 124 ] && ending="(still converting after ${seconds}s)"
    echo "run $i $(basename "$mp3") exit $status at ${progress:-0%}: $ending"
  done
  [ -n "$load" ] && kill "$load"
  echo "logs: $work/run-*/ (stderr.log, ffmpeg-*.log, .quillora/speechd.log)"
}

# A process that has neither ended nor been left a zombie.
running() {
  local state
  state=$(ps -o stat= -p "$1" 2>/dev/null) && [ "${state#Z}" = "$state" ]
}

ffmpeg_version() { "$ffmpeg" -version | head -1 | cut -d' ' -f1-3; }

# The muxer with the arguments a fresh run gives it (first segment cut already, cuts near every minute),
# stopped and continued every few milliseconds as the program holds it, and its exit status.
stopcont() {
  local runs=$1
  local wav="$work/talk_16k.wav"
  [ -f "$wav" ] || nice ffmpeg -v error -nostdin -y -i "$work/talk_vbr.mp3" -acodec pcm_s16le -ac 1 -ar 16000 "$wav"
  local times
  times=$(seq -s, 58 58 3000)
  echo "\$ $0 --stopcont $runs   # $(ffmpeg_version)"
  for ((i = 0; i < runs; i++)); do
    rm -rf "$work/cut" && mkdir -p "$work/cut"
    "$ffmpeg" -nostdin -y -i "$wav" -af atrim=start_sample=179200,asetpts=PTS-STARTPTS,asetnsamples=n=1600 \
      -acodec pcm_s16le -f segment -segment_times "$times" -segment_start_number 1 -segment_list pipe:1 \
      -segment_list_type flat -reset_timestamps 1 "$work/cut/%d.wav" >"$work/cut.list" 2>"$work/cut.log" &
    local pid=$! stops=0
    while running "$pid"; do
      kill -STOP "$pid" 2>/dev/null || break
      sleep 0.00$((RANDOM % 9 + 1))
      kill -CONT "$pid" 2>/dev/null || break
      stops=$((stops + 1))
      sleep 0.00$((RANDOM % 9 + 1))
    done
    local status=0
    wait "$pid" || status=$?
    echo "run $i: exit $status after $stops stops, $(wc -l <"$work/cut.list") segments listed"
    [ "$status" = 0 ] || tail -3 "$work/cut.log"
  done
}

if [ "${1:-}" = --stopcont ]; then
  make_mp3s 50
  stopcont "${2:-10}"
else
  make_mp3s "${3:-120}"
  conversions "${1:-10}" "${2:-240}"
fi

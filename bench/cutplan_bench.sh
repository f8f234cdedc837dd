#!/usr/bin/env bash
# Prints what choosing cuts in pauses costs for 60 minutes of 16 kHz mono PCM (envelope and plan), beside
# the time of a bare ffmpeg transcode of 60 minutes of MP3 and of the segment muxer cutting the result.
# BENCH_BUILD_DIR chooses the benchmark build (default build/bench).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
build_bench_targets bench_cutplan
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
ffmpeg -nostdin -y -loglevel error -f lavfi -i "sine=frequency=300:sample_rate=44100:duration=3600" -ac 2 \
  -b:a 128k "$tmp/hour.mp3"
start=$(date +%s.%N)
ffmpeg -nostdin -y -loglevel error -i "$tmp/hour.mp3" -acodec pcm_s16le -ac 1 -ar 16000 "$tmp/hour_16k.wav"
end=$(date +%s.%N)
echo "bare transcode of 60 minutes of MP3: $(echo "$end - $start" | bc) s"
"$bench_build/bench_cutplan" "${RUNS:-5}" "$tmp/hour_16k.wav"
cuts=$(seq -s, 60 60 3540)
mkdir "$tmp/seg"
start=$(date +%s.%N)
ffmpeg -nostdin -y -loglevel error -i "$tmp/hour_16k.wav" -af asetnsamples=n=1600 -acodec pcm_s16le -f segment \
  -segment_times "$cuts" -reset_timestamps 1 "$tmp/seg/%d.wav"
end=$(date +%s.%N)
echo "segment muxer, 60 segments in one process: $(echo "$end - $start" | bc) s"

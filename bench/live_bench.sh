#!/usr/bin/env bash
# Prints the live-text benchmark: about five minutes of espeak-ng English with pauses, fed in real time
# through a PulseAudio virtual microphone while the window records with live text on; latency from
# each utterance's end to its text in the view (median, p95), the window's longest stall, the recorder's
# file length with live text on and off, and the word error rate of the live document against a
# conversion of the same recording. Argument: copies of the ten-sentence passage (default 6, about five
# minutes). Run it under `unshare --ipc` when another copy of the program runs. Not part of CI.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${QUILLORA_BUILD_DIR:-$root/build}"
[ -f "$build/CMakeCache.txt" ] || cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target bench_live quillora-speechd >/dev/null
echo "\$ $build/tests/media/bench_live ${1:-6}"
LANGUAGE=zh_CN "$build/tests/media/bench_live" "${1:-6}"

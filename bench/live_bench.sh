#!/usr/bin/env bash
# Prints the live-text benchmark: about five minutes of espeak-ng English with pauses, fed in real time
# through a PulseAudio virtual microphone while the window records with live text on; latency from
# each utterance's end to its text in the view (median, p95), the window's longest stall, the recorder's
# file length with live text on and off, and the word error rate of the live document against a
# conversion of the same recording. Argument: copies of the ten-sentence passage (default 6, about five
# minutes). Run it under `unshare --ipc` when another copy of the program runs. Not part of CI.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
build_targets bench_live quillora-speechd
echo "\$ $build/tests/media/bench_live ${1:-6}"
LANGUAGE=zh_CN "$build/tests/media/bench_live" "${1:-6}"

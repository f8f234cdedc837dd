#!/usr/bin/env bash
# Who said what on synthesised dialogues (espeak-ng voices, pitches and speeds; 2, 3 and 4 speakers; turns of
# 1.5-15 s, pauses of 0.2-1.5 s, some with none): the diarization error rate (0.25 s collar, best label
# mapping) and the share of sentences with the right speaker, each dialogue with the count left to the
# analysis and told; `hour` instead prints the analysis's time and peak memory on a 60-minute file.
# Speech spans come from the audio's loudness here; the real path takes them from the recogniser's words.
# Usage: bench/speakers_bench.sh [dialogues|hour] [seeds=N] [name=value ...]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${QUILLORA_BUILD_DIR:-$root/build}"
[ -f "$build/CMakeCache.txt" ] || cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target bench_speakers >/dev/null
"$build/tests/conversion/bench_speakers" "${@:-dialogues}"

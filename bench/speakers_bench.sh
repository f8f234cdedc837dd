#!/usr/bin/env bash
# Who said what on synthesised dialogues (espeak-ng voices, pitches and speeds; 2, 3 and 4 speakers; turns of
# 1.5-15 s, pauses of 0.2-1.5 s, some with none): the diarization error rate (0.25 s collar, best label
# mapping) and the share of sentences with the right speaker, each dialogue with the count left to the
# analysis and told; `hour` instead prints the analysis's time and peak memory on a 60-minute file.
# Speech spans come from the audio's loudness here; the real path takes them from the recogniser's words.
# Usage: bench/speakers_bench.sh [dialogues|hour] [seeds=N] [name=value ...]
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
build_targets bench_speakers
"$build/tests/conversion/bench_speakers" "${@:-dialogues}"

#!/usr/bin/env bash
# Named voices found again: profiles enrolled from one recording of each of nine synthesised voices (six
# espeak-ng voices and three of them at another pitch or speed), matched against other recordings with
# other sentences; prints the miss and false-match rates for thresholds around the chosen one, and the
# naming of the voices found in two-voice dialogues.
# Usage: bench/voices_bench.sh [enrol=SECONDS] [thresholds=a,b,...]
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
build_targets bench_voices
"$build/tests/conversion/bench_voices" "$@"

#!/usr/bin/env bash
# Prints what a user's word list does on espeak-ng speech with made-up names (bench/words_bench.py):
# names recognised without and with the list, the other words' error rate, rebuild time, memory per decoder.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
"$root/scripts/deps.sh"
build_targets quillora-speechd
python3 "$root/bench/words_bench.py" "$build/quillora-speechd"

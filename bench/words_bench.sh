#!/usr/bin/env bash
# Prints what a user's word list does on espeak-ng speech with made-up names (bench/words_bench.py):
# names recognised without and with the list, the other words' error rate, rebuild time, memory per decoder.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${QUILLORA_BUILD_DIR:-$root/build}"
"$root/scripts/deps.sh"
[ -f "$build/CMakeCache.txt" ] || cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target quillora-speechd >/dev/null
python3 "$root/bench/words_bench.py" "$build/quillora-speechd"

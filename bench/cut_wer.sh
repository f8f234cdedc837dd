#!/usr/bin/env bash
# Prints the word error rate of a 10-minute file cut every 60 s and cut in pauses (MINUTES to change it).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${QUILLORA_BUILD_DIR:-$root/build}"
bench_build="${BENCH_BUILD_DIR:-$build/bench}"
[ -f "$build/CMakeCache.txt" ] || cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target quillora-speechd >/dev/null
cmake -S "$root/bench" -B "$bench_build" >/dev/null
cmake --build "$bench_build" -j2 --target bench_cutplan >/dev/null
python3 "$root/bench/cut_wer.py" "$build/quillora-speechd" "$bench_build/bench_cutplan" "${MINUTES:-10}"

#!/usr/bin/env bash
# Prints the offline speech service's real-time factor and peak memory on a 60-second English segment,
# and the client's time to build the request body for a full 60-second segment.
# QUILLORA_BUILD_DIR chooses the main build (default build/); BENCH_BUILD_DIR the benchmark build.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${QUILLORA_BUILD_DIR:-$root/build}"
bench_build="${BENCH_BUILD_DIR:-$build/bench}"
"$root/scripts/deps.sh"
[ -f "$build/CMakeCache.txt" ] || cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target quillora-speechd >/dev/null
cmake -S "$root/bench" -B "$bench_build" >/dev/null
cmake --build "$bench_build" -j2 >/dev/null
python3 "$root/bench/speech_bench.py" "$build/quillora-speechd" "${RUNS:-3}"
"$bench_build/bench_body" 30

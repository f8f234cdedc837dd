#!/usr/bin/env bash
# Prints the window's longest stall while stopping a recording (a tone from a PulseAudio virtual
# microphone). Arguments: rounds (default 5) and seconds recorded each (default 3). Not part of CI.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${QUILLORA_BUILD_DIR:-$root/build}"
[ -f "$build/CMakeCache.txt" ] || cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target bench_recordstop >/dev/null
echo "\$ $build/tests/media/bench_recordstop ${1:-5} ${2:-3}"
LANGUAGE=zh_CN "$build/tests/media/bench_recordstop" "${1:-5}" "${2:-3}"

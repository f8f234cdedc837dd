#!/usr/bin/env bash
# Prints the service's peak memory with 1 and 2 workers while decoding, and recognition requests per
# second through HAProxy with 1, 2 and 3 instances. QUILLORA_BUILD_DIR chooses the build (default build/);
# REQUESTS the requests per throughput run (default 120).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${QUILLORA_BUILD_DIR:-$root/build}"
"$root/scripts/deps.sh"
[ -f "$build/CMakeCache.txt" ] || cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target quillora-speechd >/dev/null
python3 "$root/bench/cluster_bench.py" "$build" "${REQUESTS:-120}"

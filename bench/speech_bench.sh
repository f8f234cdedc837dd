#!/usr/bin/env bash
# Prints the offline speech service's real-time factor and peak memory on a 60-second English segment,
# and the client's time to build the request body for a full 60-second segment.
# QUILLORA_BUILD_DIR chooses the main build (default build/); BENCH_BUILD_DIR the benchmark build.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
"$root/scripts/deps.sh"
build_targets quillora-speechd
build_bench_targets
python3 "$root/bench/speech_bench.py" "$build/quillora-speechd" "${RUNS:-3}"
"$bench_build/bench_body" 30

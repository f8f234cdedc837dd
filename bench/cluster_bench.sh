#!/usr/bin/env bash
# Prints the service's peak memory with 1 and 2 workers while decoding, and recognition requests per
# second through HAProxy with 1, 2 and 3 instances. QUILLORA_BUILD_DIR chooses the build (default build/);
# REQUESTS the requests per throughput run (default 120).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
"$root/scripts/deps.sh"
build_targets quillora-speechd
python3 "$root/bench/cluster_bench.py" "$build" "${REQUESTS:-120}"

#!/usr/bin/env bash
# Prints how soon the first words of a long English MP3 come back through our own speech service (first
# request, first text; median of a few runs), and the whole conversion's wall time of a shorter one against
# the former preparation (one ffmpeg process per 60 s cut, every cut made before the first request).
# Arguments: minutes for the first words (default 60; "55s" for seconds), minutes for the wall comparison (default 10), runs
# (default 3). QUILLORA_BUILD_DIR chooses the build (default build/).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
build_targets bench_firsttext quillora-speechd
echo "\$ $build/tests/conversion/bench_firsttext ${1:-60} ${2:-10} ${3:-3}   # $(uptime | sed 's/.*load/load/')"
"$build/tests/conversion/bench_firsttext" "${1:-60}" "${2:-10}" "${3:-3}"

#!/usr/bin/env bash
# Prints the conversion benchmark: preparation of a 60-minute MP3 against a bare ffmpeg transcode, and a
# ten-minute English conversion through our own speech service, once with one request at a time and once
# with as many as the service has workers (wall times and their ratio, longest event-loop stall, peak memory). Arguments: minutes of MP3 (default 60) and copies of the
# 153.5 s English passage (default 4, about 10 minutes). QUILLORA_BUILD_DIR chooses the build (default build/).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
build_targets bench_conversion quillora-speechd
echo "\$ $build/tests/conversion/bench_conversion ${1:-60} ${2:-4}"
"$build/tests/conversion/bench_conversion" "${1:-60}" "${2:-4}"

#!/usr/bin/env bash
# Prints the command line's figures beside the window's: a 10-minute English conversion through each
# (wall times side by side, the window's longest event-loop stall), then the peak memory of each for a
# 4- and a 20-minute file. Argument: "wall" or "memory" for one half only. QUILLORA_BUILD_DIR chooses the
# build (default build/).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
build_targets bench_commandline quillora quillora-speechd
echo "\$ $build/tests/conversion/bench_commandline ${1:-}"
"$build/tests/conversion/bench_commandline" ${1:+"$1"}

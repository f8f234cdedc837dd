#!/usr/bin/env bash
# Prints the window's longest stall while stopping a recording (a tone from a PulseAudio virtual
# microphone). Arguments: rounds (default 5) and seconds recorded each (default 3). Not part of CI.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
build_targets bench_recordstop
echo "\$ $build/tests/media/bench_recordstop ${1:-5} ${2:-3}"
LANGUAGE=zh_CN "$build/tests/media/bench_recordstop" "${1:-5}" "${2:-3}"

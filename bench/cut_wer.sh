#!/usr/bin/env bash
# Prints the word error rate of a 10-minute file cut every 60 s and cut in pauses (MINUTES to change it).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
build_targets quillora-speechd
build_bench_targets bench_cutplan
python3 "$root/bench/cut_wer.py" "$build/quillora-speechd" "$bench_build/bench_cutplan" "${MINUTES:-10}"

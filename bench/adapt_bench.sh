#!/usr/bin/env bash
# Word error on held-out speech of one espeak-ng voice before and after adapting to some minutes of it
# (5 and 15: about 40 minutes on a shared 2-core machine).
# Usage: bench/adapt_bench.sh [minutes,...] [voice] [batch|service] [mllr,map]
#   batch: held-out speech through pocketsphinx_batch; service: through quillora-speechd with the stored
#   transform in each request (MLLR only).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
"$here/../scripts/deps.sh" >/dev/null
cmake --build "$here/../build" --target quillora quillora-speechd >/dev/null
work="$(mktemp -d /tmp/qadapt-bench.XXXXXX)"
trap 'rm -rf "$work"' EXIT
python3 "$here/adapt_bench.py" --minutes "${1:-5,15}" --voice "${2:-en-us+f2}" --decoder "${3:-batch}" \
  --methods "${4:-mllr,map}" --work "$work"
echo "command: bench/adapt_bench.sh ${1:-5,15} ${2:-en-us+f2} ${3:-batch} ${4:-mllr,map}"

#!/usr/bin/env bash
# Word error on held-out speech of one espeak-ng voice before and after adapting to 5 and 15 minutes of
# it (about 25 minutes on a quiet 2-core machine). Usage: bench/adapt_bench.sh [minutes,...] [voice]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
"$here/../scripts/deps.sh" >/dev/null
cmake --build "$here/../build" --target quillora >/dev/null
work="$(mktemp -d /tmp/qadapt-bench.XXXXXX)"
trap 'rm -rf "$work"' EXIT
python3 "$here/adapt_bench.py" --minutes "${1:-5,15}" --voice "${2:-en-us+f2}" --work "$work"
echo "command: bench/adapt_bench.sh ${1:-5,15} ${2:-en-us+f2}"

#!/usr/bin/env bash
# Installs what the tests need, builds, and runs every test; the exit status is ctest's.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/deps.sh"
"$root/scripts/build.sh"
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
cd "${QUILLORA_BUILD_DIR:-$root/build}"
exec ctest --output-on-failure "$@"

#!/usr/bin/env bash
# Installs what Quillora needs, builds it and starts it.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/deps.sh"
"$root/scripts/build.sh"
exec "${QUILLORA_BUILD_DIR:-$root/build}/quillora" "$@"

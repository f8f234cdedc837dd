#!/usr/bin/env bash
# Checks the Debian package the build made (cmake --build build --target package) with lintian, which
# it installs when missing (it is large, so neither CI nor scripts/deps.sh installs it). Prints every
# tag; the exit status is lintian's: non-zero on an error.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${QUILLORA_BUILD_DIR:-$root/build}"
"$root/scripts/deps.sh" lintian
shopt -s nullglob
packages=("$build"/quillora_*_amd64.deb)
if [ ${#packages[@]} -ne 1 ]; then
  echo "expected one package in $build, found ${#packages[@]}: run cmake --build $build --target package" >&2
  exit 1
fi
exec lintian --info --display-info --pedantic --fail-on error "${packages[0]}"

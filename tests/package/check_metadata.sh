#!/usr/bin/env bash
# The desktop entry, the AppStream metadata and the speech service's unit pass Debian's validators;
# prints the unit's systemd-analyze security exposure and fails above 2.0.
#   tests/package/check_metadata.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
source="$1"
build="$2"
desktop-file-validate "$source/packaging/org.example.quillora.desktop"
appstreamcli validate --no-net --pedantic "$build/packaging/org.example.quillora.metainfo.xml"
# The unit names the installed service; verify it against the one just built.
unit="$(mktemp -d)/quillora-speechd.service"
trap 'rm -rf "$(dirname "$unit")"' EXIT
sed "s|/usr/libexec/quillora/quillora-speechd|$build/quillora-speechd|" "$source/deploy/quillora-speechd.service" >"$unit"
systemd-analyze verify "$unit"
# Exposure 0.0 (best) to 10.0; the threshold is in tenths.
systemd-analyze security --offline=yes --threshold=20 "$unit" | tail -n 1

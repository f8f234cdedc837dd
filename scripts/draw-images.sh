#!/usr/bin/env bash
# Renders the window's pictures from their SVG sources into the PNGs the resource bundle compiles in.
# The build uses the committed PNGs; run this only after editing a drawing in resources/images/src/.
# Each PNG takes its pixel size from the width and height written in its SVG; its "@2x" twin, twice
# that, is what Qt picks on a screen scaled by 1.5 or more.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
src="$root/resources/images/src"
out="$root/resources/images"

if ! command -v rsvg-convert >/dev/null 2>&1; then
  echo "Installing librsvg2-bin for rsvg-convert"
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    -o DPkg::Lock::Timeout=600 librsvg2-bin
fi

shopt -s nullglob
drawings=("$src"/*.svg)
if [ ${#drawings[@]} -eq 0 ]; then
  echo "no drawings in $src" >&2
  exit 1
fi

for svg in "${drawings[@]}"; do
  name="$(basename "$svg" .svg)"
  rsvg-convert --format=png --output="$out/$name.png" "$svg"
  rsvg-convert --format=png --zoom=2 --output="$out/$name@2x.png" "$svg"
  echo "$name.png $name@2x.png"
done

# A contact sheet for looking the set over, enlarged without smoothing so each pixel shows; each picture sits
# on the surface it is drawn for (the caption strip's blue, the panels' white, a checked page button's tint).
if [ "${1:-}" = "--sheet" ]; then
  sheet="${2:-/tmp/quillora-images-sheet.png}"
  tmp="$(mktemp -d)"
  trap 'rm -rf "$tmp"' EXIT
  i=0
  for svg in "${drawings[@]}"; do
    name="$(basename "$svg" .svg)"
    case "$name" in
      marlinLogo) continue ;;
      icon | homepage | minBtn_p | maxBtn_p | normal_p | closeBtn_p) surfaces=('#0c80e8') ;;
      check) surfaces=('#217cff') ;;
      audio | word | jia) surfaces=(white '#e4eef8') ;;
      *) surfaces=(white) ;;
    esac
    for bg in "${surfaces[@]}"; do
      i=$((i + 1))
      convert -size 40x40 "xc:$bg" "$out/$name.png" -gravity center -composite -scale 400% \
        "$tmp/$(printf %02d $i)_$name.png"
    done
  done
  montage "$tmp"/*.png -tile 6x -geometry +6+6 -background '#888888' "$sheet"
  echo "sheet: $sheet"
fi

#!/usr/bin/env bash
# Starts the built program under Xvfb at the scale factors 1, 1.5 and 2 (QT_SCALE_FACTOR, on a screen of
# 1280 x 900 device-independent pixels) and checks the frameless window's placement, maximise, restore and
# a drag of its caption, printing each geometry in the screen's own pixels. Needs a build
# (scripts/build.sh); the exit status is 1 when a geometry is not the expected one.
#   scripts/check-scaling.sh [FACTOR...]     (default 1 1.5 2)
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${QUILLORA_BUILD_DIR:-$root/build}"
"$root/scripts/deps.sh" x11-utils xdotool >/dev/null
[ $# -gt 0 ] || set -- 1 1.5 2

stage="$(mktemp -d)"
app=
xvfb=
cleanup() {
  [ -n "$app" ] && kill "$app" 2>/dev/null
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
  rm -rf "$stage"
}
trap cleanup EXIT
cp "$build/quillora" "$build/quillora-speechd" "$stage/"
px() { python3 -c "print(round($1 * $scale))"; } # device-independent pixels to the screen's
geometry() { xdotool getwindowgeometry "$window" | awk '/Position/{p=$2} /Geometry/{g=$2} END{print p " " g}'; }
status=0
expect() { # expect WHAT X,Y WxH
  local got
  got="$(geometry)"
  if [ "$got" = "$2 $3" ]; then echo "  $1: $got"; else echo "  $1: $got, expected $2 $3" >&2; status=1; fi
}

for scale in "$@"; do
  w=$(px 1280) h=$(px 900)
  for number in $(seq $((400 + RANDOM % 100)) 600); do
    [ -e "/tmp/.X11-unix/X$number" ] || [ -e "/tmp/.X$number-lock" ] || break
  done
  Xvfb ":$number" -screen 0 "${w}x${h}x24" -nolisten tcp >/dev/null 2>&1 & xvfb=$!
  export DISPLAY=":$number"
  for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
  # A private IPC namespace keeps the copy away from the single-instance guard of any other.
  QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR="$scale" unshare --ipc "$stage/quillora" >/dev/null 2>&1 & app=$!
  window=
  for _ in $(seq 100); do
    window="$(xdotool search --onlyvisible --name '^Quillora$' 2>/dev/null | head -n 1)" && [ -n "$window" ] && break
    sleep 0.1
  done
  sleep 1
  echo "scale $scale, screen ${w}x${h}:"
  expect "placed" "$(px 128),$(px 86)" "$(px 1024)x$(px 728)"
  xdotool mousemove $(($(px 128) + $(px 981))) $(($(px 86) + $(px 15))) click 1
  sleep 1
  expect "maximised" "0,0" "${w}x${h}"
  xdotool mousemove $((w - $(px 43))) "$(px 15)" click 1
  sleep 1
  expect "restored" "$(px 128),$(px 86)" "$(px 1024)x$(px 728)"
  x=$(($(px 128) + $(px 400))) y=$(($(px 86) + $(px 15)))
  xdotool mousemove "$x" "$y" mousedown 1 mousemove $((x + 50)) $((y + 50)) sleep 0.2 \
    mousemove $((x + $(px 100))) $((y + $(px 100))) sleep 0.3 mouseup 1
  sleep 1
  expect "dragged" "$(($(px 128) + $(px 100))),$(($(px 86) + $(px 100)))" "$(px 1024)x$(px 728)"
  kill "$app" 2>/dev/null
  wait "$app" 2>/dev/null
  kill "$xvfb" 2>/dev/null
  wait "$xvfb" 2>/dev/null
  app= xvfb=
done
exit "$status"

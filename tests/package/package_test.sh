#!/usr/bin/env bash
# Builds the Debian package, installs it for real, and runs the installed program as a new unprivileged
# user under Xvfb: the window shows, the user's folders appear under ~/.local/share/Quillora, nothing is
# written under /usr, a data folder blocked by a file stops the start with its path, and an English
# recording converts through the installed speech service into the user's myWordFiles. Removes the
# package and the user afterwards, on failure too. Needs root (apt-get, useradd); exit 77 skips.
#   tests/package/package_test.sh BUILD_DIR
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build="$(cd "${1:?build folder}" && pwd)"

skip() { echo "SKIP: $*"; exit 77; }
[ "$(id -u)" -eq 0 ] || skip "needs root to install the package and add a user"
if dpkg-query -W -f='${Status}' quillora 2>/dev/null | grep -q "install ok installed"; then
  skip "a quillora package is installed on this machine already; not replacing it"
fi
for tool in apt-get useradd setpriv Xvfb xdotool xdpyinfo xprop espeak-ng ffmpeg python3; do
  command -v "$tool" >/dev/null || skip "$tool is missing (scripts/deps.sh installs it)"
done

user="qpkg$$"
home="/home/$user"
data="$home/.local/share/Quillora"
work="$(mktemp -d)"
installed=
app=
xvfb=
cleanup() {
  status=$?
  [ -n "$app" ] && kill "$app" 2>/dev/null
  # Every process of the test's own user was started here (the program, its speech service).
  if id "$user" >/dev/null 2>&1; then
    for pid in $(pgrep -u "$user"); do kill -9 "$pid" 2>/dev/null || true; done
    sleep 0.2
    userdel -r "$user" 2>/dev/null || true
  fi
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
  if [ -n "$installed" ]; then
    DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq -o DPkg::Lock::Timeout=600 quillora >/dev/null || true
  fi
  rm -rf "$work"
  [ "$status" -eq 0 ] && echo "PASS in ${SECONDS}s" || echo "FAIL (status $status)"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
step() { echo "== ${SECONDS}s: $*"; }

step "building the package"
rm -f "$build"/quillora_*_amd64.deb
cmake --build "$build" --target package >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; fail "cpack"; }
debs=("$build"/quillora_*_amd64.deb)
[ -f "${debs[0]}" ] || fail "no package in $build"
# What https to a speech service needs: the TLS library Qt loads and the system's authorities.
depends="$(dpkg-deb -f "${debs[0]}" Depends)"
for needed in "libssl3 | libssl3t64" ca-certificates; do
  [[ $depends == *"$needed"* ]] || fail "the package does not depend on $needed: $depends"
done

step "installing ${debs[0]##*/}"
installed=1
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq -o DPkg::Lock::Timeout=600 "${debs[0]}" >"$work/apt.log" 2>&1 ||
  { cat "$work/apt.log"; fail "apt-get install"; }
[ -x /usr/bin/quillora ] && [ -x /usr/libexec/quillora/quillora-speechd ] || fail "programs not installed"
systemd-analyze verify /usr/lib/systemd/system/quillora-speechd.service || fail "systemd-analyze verify"

# The system deployment file is what an installed copy reads: point it at a port nobody else uses, so the
# conversion below can only have gone through the service this copy starts.
port="$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')"
sed -i "s/^\(token_host\|api_host\)=.*/\1=127.0.0.1:$port/" /etc/quillora/quillora.ini

touch "$work/installed"
useradd --create-home --user-group --shell /bin/sh "$user"
mkdir -p "$home/tmp" && chown "$user:$user" "$home/tmp"

# shellcheck source=../../scripts/lib/window.sh
. "$root/scripts/lib/window.sh"
start_xvfb

# The program as the user, in a clean environment. A TMPDIR of its own gives it a single-instance guard
# apart from any other copy running on this machine; LANGUAGE keeps the design's Chinese texts, whose window
# titles the steps below look for.
as_user() {
  setpriv --reuid="$user" --regid="$user" --init-groups -- env -i HOME="$home" USER="$user" LOGNAME="$user" \
    PATH=/usr/bin:/bin LANG=C.UTF-8 LANGUAGE=zh_CN TMPDIR="$home/tmp" DISPLAY="$DISPLAY" QT_QPA_PLATFORM=xcb "$@"
}
start_app() {
  (cd "$home" && as_user /usr/bin/quillora >>"$work/app.log" 2>&1) & app=$!
  window="$(wait_window Quillora 20)" || { cat "$work/app.log"; fail "no window"; }
  sleep 1
}
stop_app() {
  close_window
  for _ in $(seq 50); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$app" 2>/dev/null && fail "the window closed but the program still runs"
  wait "$app" 2>/dev/null || true
  app=
}

step "a file where the data folder goes"
as_user mkdir -p "$home/.local/share"
as_user touch "$data"
set +e
out="$(cd "$home" && as_user env QUILLORA_DISMISS_STARTUP_MESSAGE=1 /usr/bin/quillora 2>&1)"
code=$?
set -e
[ "$code" -eq 1 ] || fail "expected exit status 1 with a blocked data folder, got $code: $out"
grep -qF "$data" <<<"$out" || fail "the message does not name $data: $out"
rm "$data"

step "first start"
start_app
wm_class="$(xprop -id "$window" WM_CLASS)"
entry_class="$(sed -n 's/^StartupWMClass=//p' /usr/share/applications/org.example.quillora.desktop)"
grep -qF "\"$entry_class\"" <<<"$wm_class" || fail "window class $wm_class, desktop entry says $entry_class"
for folder in myWAVFiles myWordFiles myTmpWAVFiles; do
  [ -d "$data/$folder" ] || fail "$data/$folder missing"
  [ "$(stat -c %U "$data/$folder")" = "$user" ] || fail "$data/$folder not the user's"
done
stop_app

step "converting an English recording"
# Two sentences of the passage the recogniser takes best (about 7 seconds).
grep -oE "Our teacher[^.]*\.[^.]*\." "$root/tests/conversion/fixtures/english-passage.txt" >"$work/passage.txt"
espeak-ng -v en-us+f2 -f "$work/passage.txt" -w "$work/passage.wav"
ffmpeg -nostdin -loglevel error -i "$work/passage.wav" -ar 16000 -ac 1 "$data/myWAVFiles/spoken.wav"
chown "$user:$user" "$data/myWAVFiles/spoken.wav"
start_app
open_audio_list
convert_audio_entry 176 120 || { cat "$work/app.log"; fail "the conversion did not end"; }
# Listening where /etc/quillora/quillora.ini says: the installed copy read the system's deployment file.
service="$(pgrep -u "$user" -f "^/usr/libexec/quillora/quillora-speechd --listen 127.0.0.1:$port " || true)"
[ -n "$service" ] || fail "the installed service is not running as the user"
[ "$(readlink "/proc/$service/exe")" = /usr/libexec/quillora/quillora-speechd ] ||
  fail "the service running is not the installed one"
stop_app
pgrep -u "$user" >/dev/null && fail "processes of the user left after the window closed: $(pgrep -a -u "$user")"
document="$data/myWordFiles/spoken.txt"
[ -s "$document" ] || { cat "$work/app.log"; fail "no document at $document"; }
# A freshly started service recognises its first file worst (about two words in three wrong here): ask
# only that a third of the passage's distinct words came back, which no other text would give.
python3 - "$work/passage.txt" "$document" <<'PY' || fail "the document does not read as the passage"
import re, sys
words = lambda path: re.findall(r"[a-z']+", open(path, encoding="utf-8").read().lower())
reference, recognised = set(words(sys.argv[1])), words(sys.argv[2])
found = reference.intersection(recognised)
print(f"{len(found)} of the passage's {len(reference)} distinct words recognised: {' '.join(recognised)}")
sys.exit(3 * len(found) < len(reference))
PY

step "nothing under /usr"
# Where a copy that wrote beside itself would have put its folders: beside its two programs.
written="$(find /usr/bin /usr/libexec/quillora -mindepth 1 -maxdepth 1 \( -newer "$work/installed" -o -user "$user" \))"
[ -z "$written" ] || fail "written under /usr: $written"

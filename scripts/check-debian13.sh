#!/usr/bin/env bash
# Proves the README's test command on a fresh Debian 13: makes a minimal Debian 13 root file system in a
# folder (debootstrap), clones this checkout's committed HEAD into it and runs scripts/test.sh there as
# root, then the test that needs an unprivileged user as nobody, then lintian on the package built there.
# Needs root; takes ~15 minutes on two cores. Not part of CI.
#   scripts/check-debian13.sh [FOLDER]      (default /var/tmp/quillora-debian13; kept for a rerun)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
target="${1:-/var/tmp/quillora-debian13}"
[ "$(id -u)" -eq 0 ] || { echo "needs root (debootstrap, mount, chroot)" >&2; exit 1; }

"$root/scripts/deps.sh" debootstrap git
step() { echo "== ${SECONDS}s: $*"; }

mounted=()
cleanup() {
  local i
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do umount -l "${mounted[i]}" 2>/dev/null || true; done
}
trap cleanup EXIT
mountin() { # mountin WHERE ARGS...: mount inside the chroot, undone at exit
  local where="$target$1"
  shift
  mount "$@" "$where"
  mounted+=("$where")
}

if [ ! -x "$target/usr/bin/apt-get" ]; then
  mirror=$(awk '/^URIs:/{print $2; exit}' /etc/apt/sources.list.d/debian.sources 2>/dev/null || true)
  step "debootstrap trixie into $target (${mirror:-deb.debian.org})"
  debootstrap --variant=minbase --include=ca-certificates,git trixie "$target" "${mirror:-http://deb.debian.org/debian}"
fi
# The minimal system has no hosts file, and loopback names are what the tests talk to.
echo "127.0.0.1 localhost" >"$target/etc/hosts"
mountin /proc -t proc proc
mountin /sys -t sysfs sys
mountin /dev --bind /dev
mountin /dev/pts --bind /dev/pts
# A private /dev/shm keeps the chroot's copies away from the instance guard of copies outside it.
mountin /dev/shm -t tmpfs tmpfs

step "cloning $(git -C "$root" rev-parse --short HEAD) into $target/root/quillora"
rm -rf "$target/root/quillora"
git clone -q "$root" "$target/root/quillora"
git -C "$target/root/quillora" checkout -q "$(git -C "$root" rev-parse HEAD)"

inchroot() { # inchroot COMMAND...: a clean environment, as a fresh login would have it
  unshare --ipc chroot "$target" /usr/bin/env -i HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 "$@"
}

# Run as root, a test that makes its own mount namespace cannot find its executable in a chroot (the
# kernel names the path outside it); that one runs as nobody below.
asuser=tst_nothinglost
status=0
step "scripts/test.sh -E $asuser (as root)"
inchroot bash -c "cd /root/quillora && scripts/test.sh -E $asuser" || status=1

step "$asuser as nobody"
chmod 755 "$target/root"
inchroot bash -c "mkdir -p /tmp/nobody && chown nobody /tmp/nobody && cd /tmp/nobody &&
  setpriv --reuid nobody --regid nogroup --clear-groups env HOME=/tmp/nobody QT_QPA_PLATFORM=offscreen \
    /root/quillora/build/tests/conversion/$asuser" || status=1

step "lintian on the package built there"
inchroot bash -c "cd /root/quillora && { ls build/quillora_*_amd64.deb >/dev/null 2>&1 ||
  cmake --build build --target package >/dev/null; } && scripts/lint-package.sh" || status=1

[ "$status" -eq 0 ] && echo "Debian 13: PASS in ${SECONDS}s" || echo "Debian 13: FAIL in ${SECONDS}s"
exit "$status"

#!/usr/bin/env bash
# Installs the Debian packages Quillora builds, runs and tests with, plus any packages named as
# arguments (the helper scripts' extra tools); does nothing when all are there.
set -euo pipefail

packages=(
  cmake g++ make pkg-config ccache
  qtbase5-dev qtmultimedia5-dev libqt5multimedia5-plugins qttools5-dev qttools5-dev-tools
  libphonon4qt5-dev phonon4qt5-backend-gstreamer
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-pulseaudio gstreamer1.0-libav
  libjsoncpp-dev libcpp-httplib-dev libpocketsphinx-dev libsphinxbase-dev pocketsphinx-en-us flite1-dev
  sphinxtrain sphinxbase-utils pocketsphinx
  ffmpeg pulseaudio pulseaudio-utils libasound2-plugins
  espeak-ng sox xvfb xauth fonts-wqy-microhei
  python3 haproxy openssl ca-certificates
  dpkg-dev file desktop-file-utils appstream systemd xdotool x11-utils
  "$@"
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  # Unlike the install below, the update does not wait for the package lists' lock, which the
  # system's own daily update holds for a while after a fresh machine boots: try again meanwhile.
  for attempt in $(seq 60); do
    "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq && break
    if [ "$attempt" -eq 60 ]; then
      echo "apt-get update kept failing" >&2
      exit 1
    fi
    echo "apt-get update failed (another apt may hold the lock); trying again in 5 s" >&2
    sleep 5
  done
  "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    -o DPkg::Lock::Timeout=600 "${missing[@]}"
fi

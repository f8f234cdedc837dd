#!/usr/bin/env bash
# Installs the Debian packages Quillora builds, runs and tests with; does nothing when all are there.
set -euo pipefail

packages=(
  cmake g++ make pkg-config ccache
  qtbase5-dev qtmultimedia5-dev libqt5multimedia5-plugins
  libphonon4qt5-dev phonon4qt5-backend-gstreamer
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-pulseaudio
  libjsoncpp-dev libcpp-httplib-dev libpocketsphinx-dev pocketsphinx-en-us
  ffmpeg pulseaudio pulseaudio-utils libasound2-plugins
  espeak-ng sox xvfb xauth fonts-wqy-microhei
  python3
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
  "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    -o DPkg::Lock::Timeout=600 "${missing[@]}"
fi

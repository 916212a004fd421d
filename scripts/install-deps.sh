#!/usr/bin/env bash
# Installs the Debian packages that building and testing the SDK needs, only
# those that are missing. Works as root or through sudo.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libusb-1.0-0-dev
  umockdev libumockdev-dev libglib2.0-dev
  libjpeg-dev libpng-dev libtiff-dev zlib1g-dev
  ffmpeg  # ffprobe reads the recorded AVI files back in the tests
  libx11-dev libxext-dev  # the preview window module (Xlib, MIT-SHM)
  xvfb xauth  # an X server for the preview tests
  # The settings dialog module (Qt 6 Widgets, lrelease, Qt's own Japanese
  # texts, the platform plugins) and fonts for its offscreen tests.
  qt6-base-dev qt6-tools-dev qt6-l10n-tools qt6-translations-l10n qt6-qpa-plugins
  fonts-dejavu-core fonts-ipafont-gothic
  binutils
  file  # cpack's Debian generator tells binaries apart with it
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev  # the GStreamer source element
  gstreamer1.0-tools gstreamer1.0-plugins-base  # gst-launch-1.0 and videoconvert for its checks
  python3 python3-numpy python3-pytest python3-setuptools python3-pip  # the Python package and its tests
  clang libclang-rt-14-dev  # the fuzz build: clang and its libFuzzer runtime
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
  as_root=()
elif command -v sudo >/dev/null 2>&1; then
  as_root=(sudo)
else
  echo "install-deps: need root or sudo to install: ${missing[*]}" >&2
  exit 1
fi
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"

#!/usr/bin/env bash
# Installs every Debian package that building and testing need, skipping those already there.
set -euo pipefail

packages=(
  # build
  cmake ninja-build g++ pkg-config libgtest-dev libgmock-dev clang-format
  qt6-base-dev qt6-qpa-plugins
  libavformat-dev libavcodec-dev libavutil-dev libswscale-dev
  libjpeg62-turbo-dev libpng-dev libgif-dev zlib1g-dev
  libx11-dev libxext-dev libxfixes-dev libxtst-dev libxi-dev libxcb1-dev
  fonts-liberation2
  # hardening: libFuzzer and the sanitizer runtimes of clang, and the symbolizer for their reports
  clang libclang-rt-dev llvm
  # tests: a private X server, a tray host, and tools that act as a user would
  xvfb xauth xdotool xclip trayer fonts-dejavu-core ffmpeg x11-utils
  # a real window manager beside the test server, another program's window (xclock), and xrandr
  openbox x11-xserver-utils x11-apps
)

missing=()
for p in "${packages[@]}"; do
  if [ "$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null)" != "install ok installed" ]; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: every package is installed"
  exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi
echo "setup: installing ${missing[*]}"
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"

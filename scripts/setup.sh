#!/usr/bin/env bash
# Installs every Debian package the build, the tests, the demo and the
# benchmarks need. Idempotent: when everything is present it only checks and
# returns in about a second. Must run as root (or with sudo available).
set -euo pipefail

PACKAGES=(
  # native build
  build-essential cmake ninja-build pkg-config git
  libcurl4-openssl-dev zlib1g-dev libarchive-dev libpugixml-dev libssl-dev
  libfreetype-dev libfontconfig-dev libx11-dev libxext-dev libstb-dev
  libgtest-dev googletest
  fonts-wqy-microhei locales ca-certificates
  # skin archive
  7zip
  # servers and tools used by tests, the demo and the benchmarks
  nginx-light python3 curl aria2 xvfb xauth xdotool imagemagick bc time
  # Windows target
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-x86-64-dev
  binutils-mingw-w64-x86-64 libz-mingw-w64-dev wine wine64 dpkg-dev
)

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Chinese file names and fallback fonts need a generated zh_CN.UTF-8 locale.
if ! locale -a 2>/dev/null | grep -qi '^zh_CN.utf8$'; then
  $SUDO sed -i 's/^# *zh_CN.UTF-8 UTF-8/zh_CN.UTF-8 UTF-8/' /etc/locale.gen
  grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen || echo 'zh_CN.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
  $SUDO locale-gen >/dev/null
fi

#!/usr/bin/env bash
# Installs every Debian package needed to build, run and test Tessaroon.
# Safe to run again: apt-get skips what is already there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git clang-format
  clang libclang-rt-14-dev  # the fuzz preset: clang++ and its libFuzzer
  qt6-base-dev qt6-base-dev-tools qt6-webengine-dev qt6-webengine-dev-tools
  libqt6opengl6-dev libgl-dev
  qt6-svg-dev  # the build-time icon export writes the scalable icon
  desktop-file-utils appstream  # validate the launcher entry and description
  dpkg-dev  # the Debian package: dpkg-shlibdeps finds its dependencies
  libicu-dev libjpeg62-turbo-dev libcpp-httplib-dev
  libpcre2-dev  # tessaroon list: --keep-matching, --drop-matching
  libpsl-dev publicsuffix  # registrable domains: libpsl and the distribution's list
  libxlsxwriter-dev  # spreadsheets: the xlsx export
  python3-openpyxl  # tests read the xlsx export back with an independent reader
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-wqy-microhei
  xvfb xauth x11-utils xdotool imagemagick time python3
)

SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO=sudo; fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update
  $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi

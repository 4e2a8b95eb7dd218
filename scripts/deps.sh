#!/usr/bin/env bash
# Installs the Debian packages the build, the program and the tests need,
# only those that are missing. Sourced by scripts/run and scripts/test.
set -euo pipefail

VASHEL_PACKAGES=(
  build-essential cmake ninja-build pkg-config git
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  libexpat1-dev libpng-dev
  qt6-base-dev libgl-dev libglu1-mesa-dev libegl-dev libegl-mesa0 libgl1-mesa-dri
  libopenal-dev libopenal1 libsndfile1-dev libcurl4-openssl-dev
  libxcb1-dev
  xvfb xauth xdotool x11-utils imagemagick
  # The tray display test docks the icon in trayer's notification area.
  trayer
  # The start-up entry's test checks the written file with desktop-file-validate.
  desktop-file-utils
  # The sound tests write and decode WAVE files in many codecs with sox.
  sox
  # Menus are Simplified Chinese and messages Japanese: one font for both,
  # else Qt draws empty squares.
  fonts-noto-cjk
)

vashel_install_deps() {
  local missing=()
  local pkg
  for pkg in "${VASHEL_PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$pkg")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=()
  [ "$(id -u)" -ne 0 ] && sudo=(sudo)
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
}

# Configures and builds into $1 (default build/) with extra CMake arguments.
vashel_build() {
  local dir=${1:-build}
  shift || true
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir"
}

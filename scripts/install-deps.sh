#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what building, running and testing Tidyfox needs on Debian 12.
# Only packages that are missing are installed; run as root (or with sudo).
set -euo pipefail
packages=(
  build-essential cmake pkg-config git
  qt6-base-dev qt6-declarative-dev qt6-qpa-plugins libgl-dev
  qml6-module-qtquick qml6-module-qtquick-controls qml6-module-qtquick-layouts
  qml6-module-qtquick-window qml6-module-qtquick-templates qml6-module-qtqml-workerscript
  qml6-module-qttest
  libsqlite3-dev libtag1-dev libplist-dev libgtest-dev
  dbus dbus-bin xvfb xauth x11-utils xdotool fonts-dejavu-core
  python3 imagemagick libglib2.0-bin
  rhythmbox strawberry clementine ffmpeg extremetuxracer-data neverball-common espeak-ng
  libchromaprint-dev libavformat-dev libavcodec-dev libswresample-dev libchromaprint-tools
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

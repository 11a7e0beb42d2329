#!/usr/bin/env bash
# Installs the Debian packages needed to build, test, package and look right.
# Idempotent: installs only what is missing. Needs root (or sudo) the first time.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev libgl-dev
  qt6-base-private-dev libfontconfig-dev
  qt6-qpa-plugins libxkbcommon-x11-0
  clang libclang-rt-dev
  xvfb xauth x11-utils imagemagick
  netcat-openbsd
  fonts-liberation fonts-comic-neue fonts-dejavu-core fonts-dejavu-extra
  appstream desktop-file-utils lintian dpkg-dev file
  at-spi2-core dbus python3-gi gir1.2-atspi-2.0 openbox orca
  weston xwayland qt6-wayland python3-xlib libxcb1-dev
  kwin-x11 kwin-style-breeze mutter qt6ct qt6-gtk-platformtheme
  iproute2
  ibus ibus-hangul fcitx5 fcitx5-hangul fcitx5-frontend-qt6 ncat libglib2.0-bin
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "deps: installing ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"

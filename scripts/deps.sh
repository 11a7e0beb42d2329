#!/usr/bin/env bash
# Installs the Debian packages that ZAQ CHAT needs, on Debian 12 and 13.
#   scripts/deps.sh          to build and run the program (scripts/run.sh)
#   scripts/deps.sh --test   that, and everything the tests, the package check
#                            and the desktop and screen-reader checks use
#                            (scripts/test.sh)
# Idempotent: when everything is installed it installs nothing and needs
# neither root nor the network. Every name is a real package on both systems
# (no virtual names, which dpkg never reports as installed).
set -euo pipefail

build_and_run=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev libxcb1-dev libfontconfig-dev
  qt6-qpa-plugins libxkbcommon-x11-0 qt6-wayland
  fonts-liberation fonts-comic-neue fonts-dejavu-core fonts-dejavu-extra
)

tests=(
  clang libclang-rt-dev
  xvfb xauth x11-utils imagemagick
  netcat-openbsd iproute2 inetutils-telnet
  appstream desktop-file-utils lintian dpkg-dev file
  at-spi2-core dbus python3-gi gir1.2-atspi-2.0 openbox orca
  weston xwayland python3-xlib
  kwin-x11 kwin-style-breeze mutter qt6ct qt6-gtk-platformtheme
  ibus ibus-hangul fcitx5 fcitx5-hangul fcitx5-frontend-qt6 ncat libglib2.0-bin
  debootstrap
)

packages=("${build_and_run[@]}")
case "${1:-}" in
  --test) packages+=("${tests[@]}") ;;
  "") ;;
  *) echo "usage: scripts/deps.sh [--test]" >&2; exit 2 ;;
esac

# The listed names that dpkg does not report as installed, one a line.
missing() {
  local installed
  installed="$(dpkg-query -W -f='${db:Status-Abbrev} ${Package}\n' "${packages[@]}" 2>/dev/null |
    awk '$1 == "ii" { print $2 }' || true)"
  printf '%s\n' "${packages[@]}" | grep -vxF -f <(printf '%s\n' "$installed") || true
}

mapfile -t absent < <(missing)
[ ${#absent[@]} -eq 0 ] && exit 0

echo "deps: installing ${absent[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${absent[@]}"

# A name that apt installed something else for (a virtual package) would be
# installed again on every run: say so now.
mapfile -t absent < <(missing)
if [ ${#absent[@]} -ne 0 ]; then
  echo "deps: still not installed after apt-get: ${absent[*]} (not real packages here?)" >&2
  exit 1
fi

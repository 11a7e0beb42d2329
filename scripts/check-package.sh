#!/usr/bin/env bash
# Builds the Debian package from a configured and built tree and checks it:
# contents, desktop entry, AppStream metainfo, lintian, and that the packaged
# executable starts.
#
# Usage: scripts/check-package.sh [BUILD_DIR]     (default: build/release)
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build/release}"
app_id="org.zaqchat.ZAQCHAT"
pkg="zaqchat"

failures=0
fail() { echo "check-package: FAIL: $*" >&2; failures=$((failures + 1)); }
note() { echo "check-package: $*"; }
finish() {
  if [ "$failures" -eq 0 ]; then
    echo "check-package: PASS ($deb)"
    exit 0
  fi
  echo "check-package: FAIL ($failures problem(s))"
  exit 1
}

if [ ! -f "$build/CPackConfig.cmake" ]; then
  echo "check-package: FAIL: $build is not a configured build directory (no CPackConfig.cmake)" >&2
  exit 1
fi
build="$(cd "$build" && pwd)"
for tool in cpack dpkg-deb desktop-file-validate appstreamcli file; do
  if ! command -v "$tool" >/dev/null; then
    echo "check-package: FAIL: $tool is not installed (run scripts/deps.sh --test)" >&2
    exit 1
  fi
done

# --- build the package -------------------------------------------------------
out="$build/package"
rm -rf "$out"
mkdir -p "$out"
if ! (cd "$build" && cpack -G DEB -B "$out" --config CPackConfig.cmake); then
  echo "check-package: FAIL: cpack -G DEB failed" >&2
  exit 1
fi
shopt -s nullglob
debs=("$out"/"$pkg"_*.deb)
shopt -u nullglob
if [ ${#debs[@]} -ne 1 ]; then
  echo "check-package: FAIL: expected one ${pkg}_*.deb in $out, found ${#debs[@]}" >&2
  exit 1
fi
deb="${debs[0]}"

# --- control data ---------------------------------------------------------------
dpkg-deb --info "$deb"
field() { dpkg-deb --field "$deb" "$1"; }
[ "$(field Package)" = "$pkg" ] || fail "Package is '$(field Package)', want '$pkg'"
[ "$(field Section)" = "net" ] || fail "Section is '$(field Section)', want 'net'"
depends="$(field Depends)"
# dpkg-shlibdeps must have found the package of every Qt library the program
# links, under whatever name this system gives it (Debian 13 renamed them for
# 64-bit time: libqt6core6t64); the plugins and fonts are loaded at run time,
# so they have to be listed by hand.
qt_packages=()
while read -r lib; do
  owner="$(dpkg-query -S "*/$lib" 2>/dev/null | awk -F: 'NR == 1 { print $1 }')"
  [ -n "$owner" ] || { fail "no installed package has $lib"; continue; }
  qt_packages+=("$owner")
done < <(ldd "$build/src/ZAQCHAT" | awk '$1 ~ /^libQt6/ { print $1 }')
[ ${#qt_packages[@]} -ge 4 ] || fail "the program links ${#qt_packages[@]} Qt libraries, want Core, Gui, Widgets and Network at least"
note "Qt's packages for the libraries the program links: ${qt_packages[*]}"
for dep in "${qt_packages[@]}" qt6-qpa-plugins fonts-liberation fonts-comic-neue fonts-dejavu-core; do
  grep -Eq "(^|, )$dep( |,|$)" <<<"$depends" || fail "Depends lacks $dep: $depends"
done

# --- contents ---------------------------------------------------------------------
listing="$(dpkg-deb --contents "$deb")"
echo "$listing"
# Paths of regular files only, without the leading "./".
files="$(awk '$1 ~ /^-/ { p = $6; sub(/^\.\//, "", p); print $1, p }' <<<"$listing")"
expected=(
  "usr/bin/ZAQCHAT"
  "usr/share/applications/$app_id.desktop"
  "usr/share/icons/hicolor/16x16/apps/$app_id.png"
  "usr/share/icons/hicolor/32x32/apps/$app_id.png"
  "usr/share/icons/hicolor/48x48/apps/$app_id.png"
  "usr/share/icons/hicolor/64x64/apps/$app_id.png"
  "usr/share/icons/hicolor/128x128/apps/$app_id.png"
  "usr/share/icons/hicolor/256x256/apps/$app_id.png"
  "usr/share/metainfo/$app_id.metainfo.xml"
  "usr/share/doc/$pkg/copyright"
  "usr/share/doc/$pkg/changelog.gz"
  "usr/share/man/man1/ZAQCHAT.1.gz"
)
for path in "${expected[@]}"; do
  mode="$(awk -v p="$path" '$2 == p { print $1 }' <<<"$files")"
  if [ -z "$mode" ]; then
    fail "missing from package: $path"
    continue
  fi
  want="-rw-r--r--"
  [ "$path" = "usr/bin/ZAQCHAT" ] && want="-rwxr-xr-x"
  [ "$mode" = "$want" ] || fail "$path has mode $mode, want $want"
done
# Anything else means some install() rule leaks into the package (for
# example a bundled test framework installing its headers).
while read -r _ path; do
  [ -n "$path" ] || continue
  # grep reads the whole list (no -q): with pipefail, a grep that stops at
  # the first match makes printf fail on the closed pipe.
  printf '%s\n' "${expected[@]}" | grep -xF "$path" >/dev/null || fail "unexpected file in package: $path"
done <<<"$files"
bad_dirs="$(awk '$1 ~ /^d/ && $1 != "drwxr-xr-x"' <<<"$listing")"
[ -z "$bad_dirs" ] || fail "directories not 0755: $bad_dirs"

# --- unpack and validate the installed copies --------------------------------
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
dpkg-deb -x "$deb" "$tmp/root"
r="$tmp/root/usr"

if [ -f "$r/share/applications/$app_id.desktop" ]; then
  desktop-file-validate "$r/share/applications/$app_id.desktop" ||
    fail "desktop-file-validate rejected the desktop entry"
fi
if [ -f "$r/share/metainfo/$app_id.metainfo.xml" ]; then
  appstreamcli validate --no-net "$r/share/metainfo/$app_id.metainfo.xml" ||
    fail "appstreamcli rejected the metainfo"
fi
for size in 16 32 48 64 128 256; do
  icon="$r/share/icons/hicolor/${size}x${size}/apps/$app_id.png"
  [ -f "$icon" ] || continue
  file -b "$icon" | grep -q "PNG image data, $size x $size," ||
    fail "${icon#"$tmp/root/"} is not a ${size}x${size} PNG: $(file -b "$icon")"
done
if [ -f "$r/bin/ZAQCHAT" ]; then
  file -b "$r/bin/ZAQCHAT" | grep -q ', stripped' || fail "usr/bin/ZAQCHAT is not stripped"
fi

# --- lintian: errors fail, everything else is shown ----------------------------
if command -v lintian >/dev/null; then
  lint="$(lintian "$deb" 2>&1 || true)"
  [ -z "$lint" ] || echo "$lint"
  if grep -q '^E: ' <<<"$lint"; then
    fail "lintian reported errors"
  else
    note "lintian: no errors"
  fi
else
  note "lintian not installed, skipped"
fi

# --- the packaged executable starts ----------------------------------------------
# Starts the packaged program for 3 s with the given environment: still
# running then (timeout's 124) or a clean exit is a pass.
# With quiet=1, anything the program writes to stderr fails: a normal run on
# a desktop has nothing to warn about.
starts() {
  local where=$1 log=$2 quiet=$3
  shift 3
  mkdir -p -m 700 "$tmp/runtime"
  set +e
  (cd "$tmp" && env HOME="$tmp" XDG_RUNTIME_DIR="$tmp/runtime" "$@" \
    sh -c 'exec timeout 3 "$0" 2>"$1"' "$r/bin/ZAQCHAT" "$log.err" >"$log" 2>&1)
  local status=$?
  set -e
  cat "$log.err" >>"$log"
  if [ "$quiet" = 1 ] && [ -s "$log.err" ]; then
    cat "$log.err" >&2
    fail "packaged ZAQCHAT wrote to stderr $where"
  fi
  if [ "$status" -eq 124 ]; then
    note "packaged ZAQCHAT ran for 3 s $where"
  elif [ "$status" -eq 0 ]; then
    note "packaged ZAQCHAT exited cleanly $where"
  else
    cat "$log" >&2
    fail "packaged ZAQCHAT exited with status $status $where"
  fi
}

if [ -x "$r/bin/ZAQCHAT" ]; then
  starts "under QT_QPA_PLATFORM=offscreen" "$tmp/run.log" 0 QT_QPA_PLATFORM=offscreen
  # On a real X server too: the xcb plugin and the fonts it needs are found.
  if command -v xvfb-run >/dev/null; then
    starts "on Xvfb (QT_QPA_PLATFORM=xcb)" "$tmp/xrun.log" 1 \
      QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x1024x24 -dpi 96"
  else
    note "xvfb-run not installed, the start on an X server was skipped"
  fi
fi

finish

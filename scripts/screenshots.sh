#!/usr/bin/env bash
# Regenerates the README's pictures of the four windows: a real conversation
# between two copies, on an Xvfb X server with the openbox window manager, so
# the pictures show real title bars.
# Then, at scale 1, a few under KDE's kwin and on a dark desktop, and the
# setup and help windows under weston: on Wayland, and
# on XWayland, which the program prefers (README, "Wayland").
# Usage: scripts/screenshots.sh [OUTDIR [SCALE]]   (default docs/screenshots, 1)
set -euo pipefail
cd "$(dirname "$0")/.."
out="${1:-docs/screenshots}"
scale_given="${2:-}"  # at another scale: the openbox pictures only
scale="${2:-1}"
scripts/deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target zaq_screenshots
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d /tmp/zaq-runtime.XXXXXX)}
QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR="$scale" timeout 120 \
  xvfb-run -a -s "-screen 0 1280x1024x24 -dpi 96 -nolisten tcp" bash -c '
    openbox --sm-disable >/dev/null 2>&1 &
    wm=$!
    for _ in $(seq 100); do  # the window manager first, so it frames every window
      xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break
      sleep 0.1
    done
    build/release/tools/zaq_screenshots "$1"; status=$?
    kill $wm
    exit $status' screenshots "$out"

# Under KDE's kwin_x11 (Breeze title bars) and on a dark desktop (qt6ct's
# darker scheme, openbox): a few of the same pictures.
if [ -z "$scale_given" ] && command -v kwin_x11 >/dev/null && command -v qt6ct >/dev/null; then
  extra="$(mktemp -d /tmp/zaq-shots.XXXXXX)"
  mkdir -p "$extra/kde" "$extra/dark" "$extra/config/qt6ct" "$extra/run"
  chmod 700 "$extra/run"
  printf '%s\n' '[Appearance]' 'color_scheme_path=/usr/share/qt6ct/colors/darker.conf' 'custom_palette=true' \
    'style=Fusion' >"$extra/config/qt6ct/qt6ct.conf"
  QT_QPA_PLATFORM=xcb timeout 120 xvfb-run -a -s "-screen 0 1280x1024x24 -dpi 96 -nolisten tcp" \
    env XDG_CONFIG_HOME="$extra/kde" XDG_RUNTIME_DIR="$extra/run" dbus-run-session -- bash -c '
      KWIN_COMPOSE=N kwin_x11 --replace >/dev/null 2>&1 &
      wm=$!
      until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"; do sleep 0.1; done
      sleep 1  # kwin loads its decoration after it takes the screen
      build/release/tools/zaq_screenshots "$1"; status=$?
      kill $wm
      exit $status' screenshots "$extra/kde" 2>/dev/null
  QT_QPA_PLATFORM=xcb QT_QPA_PLATFORMTHEME=qt6ct XDG_CONFIG_HOME="$extra/config" timeout 120 \
    xvfb-run -a -s "-screen 0 1280x1024x24 -dpi 96 -nolisten tcp" bash -c '
      openbox --sm-disable >/dev/null 2>&1 &
      wm=$!
      until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"; do sleep 0.1; done
      build/release/tools/zaq_screenshots "$1"; status=$?
      kill $wm
      exit $status' screenshots "$extra/dark"
  for name in setup chat; do cp "$extra/kde/$name.png" "$out/kde-$name.png"; done
  for name in setup chat about; do cp "$extra/dark/$name.png" "$out/dark-$name.png"; done
  rm -rf "$extra"
  echo "wrote $out/kde-*.png $out/dark-*.png"
fi

# Under weston (headless): the same program on Qt's own Wayland client, and in
# the same session through XWayland, which it picks by itself.
if [ -z "$scale_given" ] && command -v weston >/dev/null; then
  runtime="$(mktemp -d /tmp/zaq-weston.XXXXXX)"
  chmod 700 "$runtime"
  socket="zaq-shots-$$"
  XDG_RUNTIME_DIR="$runtime" weston --backend=headless-backend.so --use-pixman --width=800 --height=520 \
    --socket="$socket" --no-config --idle-time=0 --debug --xwayland --log="$runtime/weston.log" >/dev/null 2>&1 &
  weston=$!
  trap 'kill $weston 2>/dev/null; rm -rf "$runtime"' EXIT
  for _ in $(seq 100); do
    grep -q "xserver listening on display" "$runtime/weston.log" 2>/dev/null && break
    sleep 0.1
  done
  display="$(sed -n 's/.*xserver listening on display \(:[0-9]*\).*/\1/p' "$runtime/weston.log" | head -n1)"
  shoot() {  # name, then the environment to run the program in
    local name="$1"; shift
    env XDG_RUNTIME_DIR="$runtime" WAYLAND_DISPLAY="$socket" "$@" \
      build/release/tools/zaq_screenshots --show >/dev/null 2>&1 &
    local shown=$!
    sleep 3  # the compositor places, decorates and paints the windows
    rm -f "$runtime"/wayland-screenshot-*.png
    (cd "$runtime" && XDG_RUNTIME_DIR="$runtime" WAYLAND_DISPLAY="$socket" weston-screenshooter)
    kill "$shown" 2>/dev/null || true
    wait "$shown" 2>/dev/null || true
    mv "$runtime"/wayland-screenshot-*.png "$out/$name.png"
    echo "wrote $out/$name.png"
  }
  shoot weston-wayland env -u DISPLAY QT_QPA_PLATFORM=wayland
  shoot weston-xwayland env -u QT_QPA_PLATFORM DISPLAY="$display"
fi

#!/usr/bin/env bash
# Regenerates the README's pictures of the four windows: a real conversation
# between two copies, on an Xvfb X server with the openbox window manager, so
# the pictures show real title bars.
# Usage: scripts/screenshots.sh [OUTDIR [SCALE]]   (default docs/screenshots, 1)
set -euo pipefail
cd "$(dirname "$0")/.."
out="${1:-docs/screenshots}"
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

#!/usr/bin/env bash
# Regenerates the README's pictures of the four windows: a real conversation
# between two copies, rendered on an Xvfb X server.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target zaq_screenshots
XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d /tmp/zaq-runtime.XXXXXX)} QT_QPA_PLATFORM=xcb \
  xvfb-run -a -s "-screen 0 1280x1024x24 -dpi 96" build/release/tools/zaq_screenshots docs/screenshots

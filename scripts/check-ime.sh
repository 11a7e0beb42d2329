#!/usr/bin/env bash
# Sends Korean typed through real input methods while a syllable is still
# being composed: IBus with ibus-hangul, then fcitx5 with fcitx5-hangul, each
# on an Xvfb X server with a session bus and a home of its own, against an
# ncat peer (scripts/check-ime.py drives it). Each part is bounded in time and
# fails loudly; a missing tool is a failure, never a skip.
# Usage: scripts/check-ime.sh [build-dir]   (default build/release)
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build/release}"
program="$(realpath "$build/src/ZAQCHAT" 2>/dev/null || true)"
[ -x "$program" ] || { echo "check-ime: $build/src/ZAQCHAT not built" >&2; exit 1; }
for tool in xvfb-run dbus-run-session openbox ncat ss gsettings gdbus ibus-daemon ibus fcitx5 fcitx5-remote; do
  command -v "$tool" >/dev/null || { echo "check-ime: $tool is missing (scripts/deps.sh installs it)" >&2; exit 1; }
done
for plugin in ibus fcitx5; do
  ls /usr/lib/*/qt6/plugins/platforminputcontexts/lib${plugin}platforminputcontextplugin.so >/dev/null 2>&1 ||
    { echo "check-ime: Qt's $plugin input-method module is missing" >&2; exit 1; }
done

for im in ibus fcitx; do
  echo "=== $im, Hangul"
  home="$(mktemp -d /tmp/zaq-ime.XXXXXX)"
  runtime="$home/runtime"
  mkdir -m 700 "$runtime"
  status=0
  # The home and runtime directory are set before the session bus starts,
  # so everything it starts on demand uses them too.
  env -u QT_IM_MODULE -u XMODIFIERS -u GTK_IM_MODULE HOME="$home" XDG_RUNTIME_DIR="$runtime" \
    XDG_CONFIG_HOME="$home/.config" XDG_CACHE_HOME="$home/.cache" \
    timeout 120 xvfb-run -a -s "-screen 0 1280x1024x24 -dpi 96 -nolisten tcp" \
    dbus-run-session -- /usr/bin/python3 scripts/check-ime.py "$program" "$im" || status=$?
  if [ "$status" -ne 0 ]; then
    echo "check-ime: $im part failed (status $status); the input method said:" >&2
    tail -n 20 "$home/ime.log" >&2 2>/dev/null || true
    rm -rf "$home"
    exit 1
  fi
  rm -rf "$home"
done
echo "check-ime: IBus and fcitx5 both send what was composing, once"

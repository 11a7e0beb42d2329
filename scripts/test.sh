#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the suite offscreen
# (with the machine's fonts, then with Debian's whole Noto family, unpacked
# once into .cache/fonts by scripts/fontsets.sh), under AddressSanitizer +
# UndefinedBehaviorSanitizer, the receive-path fuzzer for a bounded time
# (with both font sets), the Debian package check, a conversation heard through
# the Orca screen reader, on
# Debian 12 all of that again inside a Debian 13 system (scripts/debian13.sh),
# and last the suite again on a
# real X server (Xvfb), so the output ends with ctest's summary.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh --test

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d /tmp/zaq-runtime.XXXXXX)}
chmod 700 "$XDG_RUNTIME_DIR"

# Each step says how long the run has taken so far.
step() { printf '\n=== %s === (%d min %02d s)\n' "$*" $((SECONDS / 60)) $((SECONDS % 60)); }

# On Debian 12 the whole suite runs again inside Debian 13, the other system
# it is proven on (ZAQ_SKIP_DEBIAN13=1 leaves that out while working). Making
# that system and installing its packages waits on the network and the disk
# more than on the processor, so it goes on in the background meanwhile.
. /etc/os-release
debian13=0
if [ "${ID:-}" = debian ] && [ "${VERSION_ID:-}" = 12 ] && [ "${ZAQ_SKIP_DEBIAN13:-0}" != 1 ]; then
  debian13=1
  sudo=""
  if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
  prepared13=$(mktemp /tmp/zaq-debian13-prepare.XXXXXX.log)
  step "Debian 13: the system and its test packages, made in the background (log: $prepared13)"
  $sudo scripts/debian13.sh scripts/deps.sh --test >"$prepared13" 2>&1 &
  preparing13=$!
  # A run that stops early takes the background work with it (it unmounts
  # what it mounted on its way out).
  trap '[ -z "${preparing13:-}" ] || kill "$preparing13" 2>/dev/null || true' EXIT
fi

step "font set: Debian's whole Noto family, unpacked once into a cache folder"
time_fonts=$(date +%s)
noto=$(scripts/fontsets.sh noto)
echo "$noto ($(($(date +%s) - time_fonts)) s)"

step "layers: every include points down"
scripts/check-layers.py src

step "build (release)"
cmake --preset release >/dev/null
cmake --build --preset release -j "$jobs"

step "build (asan)"
cmake --preset asan >/dev/null
cmake --build --preset asan -j "$jobs"

if [ -d fuzz ] && [ -f fuzz/CMakeLists.txt ]; then
  step "fuzz the receive path"
  cmake --preset fuzz >/dev/null
  cmake --build --preset fuzz -j "$jobs"
  scripts/fuzz.sh build/fuzz "${ZAQ_FUZZ_SECONDS:-60}"
  step "fuzz the receive path with Debian's whole Noto family"
  FONTCONFIG_FILE=$noto scripts/fuzz.sh build/fuzz "${ZAQ_FUZZ_NOTO_SECONDS:-30}"
fi

if [ -x scripts/check-package.sh ]; then
  step "Debian package"
  scripts/check-package.sh build/release
fi

if [ "$(id -u)" -eq 0 ] && command -v setpriv >/dev/null; then
  step "privileged port as an ordinary user"
  scripts/as-user-test.sh build/release
fi

step "real desktops: openbox, kwin and mutter on X11, mutter and weston on Wayland, dark palettes"
scripts/check-desktop.sh build/release

step "Korean composed through IBus and fcitx5, sent while composing"
scripts/check-ime.sh build/release

step "a conversation heard through the Orca screen reader"
scripts/check-screenreader.sh build/release

if [ "$debian13" = 1 ]; then
  step "the whole suite again inside Debian 13"
  if ! wait "$preparing13"; then
    cat "$prepared13" >&2
    echo "test: FAIL: making the Debian 13 system failed (log above)" >&2
    exit 1
  fi
  preparing13=""
  tail -n 3 "$prepared13"
  rm -f "$prepared13"
  $sudo scripts/debian13.sh
fi

step "tests under AddressSanitizer + UndefinedBehaviorSanitizer (offscreen)"
ctest --preset asan -j "$jobs"

step "tests (offscreen)"
ctest --preset release -j "$jobs"

# Thousands of fonts: what Qt does when it looks for one must not freeze the
# windows. Not the soak: it types random text into the message box, where Qt
# 6.4 still tries every font for Thaana (about 35 s a font with these).
step "tests (offscreen, Debian's whole Noto family)"
FONTCONFIG_FILE=$noto ctest --preset release -j "$jobs" -E '^tst_soak$'

# One test at a time: windows of tests sharing one X server take the
# keyboard focus from each other.
step "tests (Xvfb)"
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x1024x24 -dpi 96" \
  ctest --preset release -j 1

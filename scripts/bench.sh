#!/usr/bin/env bash
# Builds the release preset and runs the benchmarks, each against a baseline
# measured in the same run, in interleaved rounds after a warm-up round
# (medians with the lowest and highest round):
#   bench_startup     process start to the setup window painted, against a
#                     bare Qt widget window (on Xvfb where it is installed)
#   bench_transcript  append cost per line at 10^3..10^6 lines against 10^3
#                     lines, and the whole-text replace against the append
#   bench_flood       100 MB of chat lines from a raw peer into a chat window,
#                     against a reader that only counts bytes; stall, memory
#   bench_roundtrip   Send -> the other's transcript -> Send back, p50/p99,
#                     against two plain QPlainTextEdit windows; at the bound
#   bench_hostile     random-byte and chat-line floods against a counting
#                     reader; a 1 MB line against the plain windows
#   bench_paste       1 MB and 10 MB pasted into the message box and sent,
#                     against an idle window; stalls, peak and final memory
# Each benchmark prints "goal met" or "GOAL MISSED" for its goals; this
# script ends with the missed ones and exits 1 when there is any.
#
# The figures are taken with the fonts a desktop has: the Noto fonts, CJK
# included, are fetched with apt and unpacked under build/bench-fonts for the
# benchmarks alone.
#
# Usage: scripts/bench.sh [--quick] [--rounds N]      (MB = 10^6 bytes)
set -euo pipefail
cd "$(dirname "$0")/.."

benches=(bench_startup bench_transcript bench_flood bench_roundtrip bench_hostile bench_paste)
fonts=(fonts-noto-core fonts-noto-cjk)

# The fonts a desktop has: the Noto fonts, CJK included, unpacked for the
# benchmarks alone. A fontconfig file of their own adds them to the system's
# fonts, so nothing on the machine changes (a desktop's default sans-serif
# becomes Noto Sans) and no root is needed.
fontdir=$PWD/build/bench-fonts
if [ ! -f "$fontdir/fonts.conf" ]; then
  echo "bench: unpacking ${fonts[*]} into $fontdir"
  rm -rf "$fontdir"
  mkdir -p "$fontdir/root" "$fontdir/cache"
  debs=$(mktemp -d /tmp/zaq-fonts.XXXXXX)
  chmod 777 "$debs" # apt's download user writes there
  (cd "$debs" && apt-get download -q "${fonts[@]}")
  for deb in "$debs"/*.deb; do
    dpkg-deb -x "$deb" "$fontdir/root"
  done
  rm -rf "$debs"
  cat >"$fontdir/fonts.conf.new" <<CONF
<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "urn:fontconfig:fonts.dtd">
<fontconfig>
  <cachedir>$fontdir/cache</cachedir>
  <include ignore_missing="yes">/etc/fonts/fonts.conf</include>
  <dir>$fontdir/root/usr/share/fonts</dir>
  <include ignore_missing="yes">$fontdir/root/usr/share/fontconfig/conf.avail/70-fonts-noto-cjk.conf</include>
</fontconfig>
CONF
  FONTCONFIG_FILE=$fontdir/fonts.conf.new fc-cache "$fontdir/root/usr/share/fonts"
  mv "$fontdir/fonts.conf.new" "$fontdir/fonts.conf"
fi
export FONTCONFIG_FILE=$fontdir/fonts.conf

cmake --preset release >/dev/null
cmake --build --preset release --target "${benches[@]}"

export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d /tmp/zaq-runtime.XXXXXX)}
chmod 700 "$XDG_RUNTIME_DIR"

echo "=== machine"
date -u '+%Y-%m-%d %H:%M UTC'
echo "CPU: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//'), $(nproc) cores"
echo "memory: $(awk '/MemTotal/ {printf "%.1f GB", $2 / 1e6}' /proc/meminfo)"
echo "load average at the start: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "Qt: $(dpkg-query -W -f='${Version}' libqt6core6 2>/dev/null || echo unknown)"
echo "fonts: $(fc-list | wc -l) files, default sans-serif $(fc-match -f '%{family[0]}' sans-serif);" \
  "$(for deb in "${fonts[@]}"; do apt-cache policy "$deb" | awk -v p="$deb" '/Candidate/ {printf "%s %s (unpacked), ", p, $2}'; done)" \
  "$(for p in fonts-dejavu-core fonts-liberation fonts-comic-neue; do
    dpkg-query -W -f='${Package} ${Version}, ' "$p" 2>/dev/null || true; done)"

# Qt's notes that the offscreen platform cannot raise a window go; its
# "OpenType support missing" warnings are counted by script, one line each
# (why they come: README, Limits and robustness).
quiet() {
  awk -v bench="$1" '/does not support (raise|propagateSizeHints)/ { next }
       /OpenType support missing for/ { count[$NF]++; next }
       { print; fflush() }
       END { for (script in count)
               printf "%s: Qt warned %d times: OpenType support missing, script %s\n", bench, count[script], script }'
}

log=$(mktemp /tmp/zaq-bench.XXXXXX)
trap 'rm -f "$log"' EXIT
failed=()
for bench in "${benches[@]}"; do
  printf '\n=== %s\n' "$bench"
  run=(env QT_QPA_PLATFORM=offscreen)
  if [ "$bench" = bench_startup ] && command -v xvfb-run >/dev/null; then
    run=(env -u QT_QPA_PLATFORM QT_QPA_PLATFORM=xcb xvfb-run -a -s '-screen 0 1280x1024x24')
  fi
  status=0
  "${run[@]}" "build/release/bench/$bench" "$@" \
    2> >(quiet "$bench" >&2) \
    | tee -a "$log" || status=$?
  # 1 is a missed goal (printed); anything else is a failure of the benchmark.
  if [ "$status" -gt 1 ]; then
    failed+=("$bench (exit status $status)")
  fi
done
echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"

printf '\n=== goals\n'
grep -c '^goal met: ' "$log" | sed 's/$/ met/'
if [ ${#failed[@]} -gt 0 ]; then
  printf 'FAILED: %s\n' "${failed[@]}"
fi
if grep '^GOAL MISSED: ' "$log" || [ ${#failed[@]} -gt 0 ]; then
  exit 1
fi
echo "every goal met"

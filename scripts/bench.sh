#!/usr/bin/env bash
# Builds the release preset and runs the benchmarks, each against a baseline
# measured in the same run, in interleaved rounds after a warm-up round
# (medians with the lowest and highest round):
#   bench_startup     process start to the setup window painted, against a
#                     plain Qt window with the same controls (on Xvfb where
#                     it is installed)
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
# The figures are taken with pinned font sets (scripts/fontsets.sh), never
# the machine's own fonts: the program's fonts and the Noto fonts a desktop
# has (core, CJK), then again with Debian's whole Noto family (about 2,900
# font files), each unpacked from the packages into a cache folder.
#
# Usage: scripts/bench.sh [--quick] [--rounds N] [--fonts bench|noto|both]
#        [--only NAME]...     (MB = 10^6 bytes)
set -euo pipefail
cd "$(dirname "$0")/.."

benches=(bench_startup bench_transcript bench_flood bench_roundtrip bench_hostile bench_paste)
sets=(bench noto)
args=()
only=()
while [ $# -gt 0 ]; do
  case $1 in
    --fonts) [ "$2" = both ] && sets=(bench noto) || sets=("$2"); shift 2 ;;
    --only) only+=("$2"); shift 2 ;;
    *) args+=("$1"); shift ;;
  esac
done
[ ${#only[@]} -gt 0 ] && benches=("${only[@]}")

declare -A conf
for set in "${sets[@]}"; do
  conf[$set]=$(scripts/fontsets.sh "$set")
done

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
for set in "${sets[@]}"; do
  echo "fonts, set $set: $(FONTCONFIG_FILE=${conf[$set]} fc-list | wc -l) files, default sans-serif" \
    "$(FONTCONFIG_FILE=${conf[$set]} fc-match -f '%{family[0]}' sans-serif); $(dirname "${conf[$set]}")/versions:" \
    "$(tr '\n' ',' <"$(dirname "${conf[$set]}")/versions")"
done

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
for set in "${sets[@]}"; do
  export FONTCONFIG_FILE=${conf[$set]}
  for bench in "${benches[@]}"; do
    printf '\n=== %s, fonts: %s (%s files)\n' "$bench" "$set" "$(fc-list | wc -l)" | tee -a "$log"
    run=(env QT_QPA_PLATFORM=offscreen)
    if [ "$bench" = bench_startup ] && command -v xvfb-run >/dev/null; then
      run=(env -u QT_QPA_PLATFORM QT_QPA_PLATFORM=xcb xvfb-run -a -s '-screen 0 1280x1024x24')
    fi
    status=0
    "${run[@]}" "build/release/bench/$bench" "${args[@]}" \
      2> >(quiet "$bench" >&2) \
      | sed -u "s/^\(goal met\|GOAL MISSED\): /&[$set] /" | tee -a "$log" || status=$?
    # 1 is a missed goal (printed); anything else is a failure of the benchmark.
    if [ "$status" -gt 1 ]; then
      failed+=("$bench, fonts $set (exit status $status)")
    fi
  done
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

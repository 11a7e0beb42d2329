#!/usr/bin/env bash
# Fuzzes the receive path for a bounded time and fails on any crash or
# broken check. Usage: scripts/fuzz.sh [build-dir] [seconds]
# The seed corpus is copied to a scratch directory, so what the fuzzer finds
# does not land in the repository; a crashing input is kept and named.
# An input that holds the thread for a second or more fails too (libFuzzer
# counts whole seconds: the tightest limit it has; the slowest input's time
# is printed). The fonts are the caller's: scripts/test.sh runs it again with
# FONTCONFIG_FILE set to Debian's whole Noto family (scripts/fontsets.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build/fuzz}
seconds=${2:-60}
harness=$build/fuzz/fuzz_receive
if [ ! -x "$harness" ]; then
  echo "fuzz.sh: $harness not found; build it with: cmake --preset fuzz && cmake --build --preset fuzz" >&2
  exit 2
fi

work=$(mktemp -d /tmp/zaq-fuzz.XXXXXX)
trap 'rm -rf "$work/corpus"' EXIT
mkdir -p "$work/corpus" "$work/crashes"
cp fuzz/corpus/* "$work/corpus/"

export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$work}
# Qt's own allocations that live until exit are not ours.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

status=0
"$harness" "$work/corpus" \
  -max_total_time="$seconds" -rss_limit_mb=2048 -max_len=4096 -timeout=1 \
  -artifact_prefix="$work/crashes/" -print_final_stats=1 2>"$work/log" || status=$?

grep -aE '^(stat::number_of_executed_units|stat::peak_rss_mb|slowest input)' "$work/log" || true
echo "fonts: $(fc-list | wc -l) files${FONTCONFIG_FILE:+ ($FONTCONFIG_FILE)}"
echo
if [ "$status" -ne 0 ] || ls "$work/crashes/"* >/dev/null 2>&1; then
  tail -n 60 "$work/log"
  echo "fuzz.sh: the receive path failed; inputs kept in $work/crashes" >&2
  exit 1
fi
echo "fuzz.sh: no failure in ${seconds}s"
rm -rf "$work"

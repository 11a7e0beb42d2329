#!/usr/bin/env bash
# Builds the release preset and runs the message-exchange benchmarks, each
# against a baseline measured in the same run:
#   bench_transcript  append cost per line at 10^3..10^6 lines, and the
#                     whole-text-replace approach for comparison
#   bench_flood       100 MB of chat lines from a raw peer into a chat window,
#                     against a reader that only counts bytes; stall and memory
#   bench_roundtrip   Send -> the other's transcript -> Send back, p50/p99,
#                     against a raw socket ping-pong
#   bench_hostile     random-byte and chat-line floods, and a 1 MB line:
#                     stalls against an idle window, memory
# Pass --quick for shorter runs (fewer lines, 20 MB flood).
set -euo pipefail
cd "$(dirname "$0")/.."

benches=(bench_transcript bench_flood bench_roundtrip bench_hostile)

cmake --preset release >/dev/null
cmake --build --preset release --target "${benches[@]}"

export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d /tmp/zaq-runtime.XXXXXX)}
chmod 700 "$XDG_RUNTIME_DIR"

for bench in "${benches[@]}"; do
  printf '\n=== %s ===\n' "$bench"
  "build/release/bench/$bench" "$@" 2> >(grep -v 'does not support raise' >&2)
done

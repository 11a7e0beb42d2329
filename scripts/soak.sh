#!/usr/bin/env bash
# The long soak: two copies send a million lines of random UTF-8 to each
# other at once and every transcript must come out exact.
# Usage: scripts/soak.sh [build-dir] [lines]   (defaults: build/release, 1000000)
# The suite's own run of the same test sends 1000 lines.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build/release}
lines=${2:-1000000}
test=$build/tests/tst_soak
if [ ! -x "$test" ]; then
  echo "soak.sh: $test not found; build it with: cmake --preset release && cmake --build --preset release" >&2
  exit 2
fi

export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d /tmp/zaq-runtime.XXXXXX)}
chmod 700 "$XDG_RUNTIME_DIR"
export ZAQ_SOAK_LINES=$lines
# Qt Test stops a test function after five minutes unless told otherwise.
export QTEST_FUNCTION_TIMEOUT=$((48 * 3600 * 1000))

start=$(date +%s)
"$test" -o -,txt 2>&1 | grep -v 'OpenType support missing'
echo "soak.sh: $lines lines in $(( $(date +%s) - start )) s"

#!/usr/bin/env bash
# Runs the tests that need an ordinary user (ports below 1024 are refused
# to them) as "nobody", from a copy of the test binary outside the build tree.
set -euo pipefail
build=${1:-build/release}
work=$(mktemp -d /tmp/zaq-user.XXXXXX)
trap 'rm -rf "$work"' EXIT
cp "$build/tests/tst_setup" "$work/"
chmod -R a+rX "$work"
chmod 1777 "$work"
XDG_RUNTIME_DIR="$work" QT_QPA_PLATFORM=offscreen \
  setpriv --reuid=nobody --regid=nogroup --clear-groups \
  "$work/tst_setup" privilegedPortNeedsRights

#!/usr/bin/env bash
# A conversation heard through Orca: runs the Orca screen reader headless (its
# speech goes to a file, not to a sound card) on a private Xvfb under openbox,
# starts ZAQ CHAT as a client of a loopback peer, lets the peer send two lines
# and leave, opens Help, and prints what Orca said. Fails unless Orca spoke
# "Connected",
# both lines and "Disconnected" with no key pressed, and never announced the
# transcript "Chat Room" as the focus. Bounded: it ends within two minutes.
#
# usage: scripts/check-screenreader.sh [build-dir]   (default build/release)
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build/release}
scripts/deps.sh --test
if [ ! -x "$build/src/ZAQCHAT" ]; then
  echo "check-screenreader: no $build/src/ZAQCHAT; build it first (cmake --preset release && cmake --build --preset release)" >&2
  exit 1
fi
echo "Orca $(orca --version 2>/dev/null | tail -n 1)"
exec timeout --kill-after=10 150 /usr/bin/python3 tests/atspi/orca_conversation.py "$build/src/ZAQCHAT"

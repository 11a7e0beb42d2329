#!/usr/bin/env bash
# Installs what is missing, builds the release configuration and starts ZAQ CHAT.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)" --target ZAQCHAT
exec build/release/src/ZAQCHAT "$@"

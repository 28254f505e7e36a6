#!/usr/bin/env bash
# Installs what is missing, builds the desktop program (in build/run, without
# tests or sanitizers) and starts it, with the part, project or image given
# as its first argument when there is one.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

cmake -S . -B build/run -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DRIDGEFORGE_SANITIZE=OFF -DRIDGEFORGE_TESTS=OFF -DRIDGEFORGE_BENCH=OFF >/dev/null
cmake --build build/run --target ridgeforge

if [ $# -gt 0 ]; then
  file=$(realpath -- "$1")
  exec build/run/ridgeforge "$file"
fi
exec build/run/ridgeforge

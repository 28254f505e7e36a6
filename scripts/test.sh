#!/usr/bin/env bash
# Installs what is missing, checks the include order of the layers, builds
# every test with AddressSanitizer and UndefinedBehaviorSanitizer (warnings as
# errors), runs them, then checks that the benchmarks build.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

# No #include may reach up the layer order.
python3 scripts/check_layers.py

jobs=$(nproc)
cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DRIDGEFORGE_SANITIZE=ON -DRIDGEFORGE_TESTS=ON -DRIDGEFORGE_BENCH=OFF -DRIDGEFORGE_WERROR=ON >/dev/null
cmake --build build/test -j "$jobs"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
(cd build/test && ctest -j "$jobs" --output-on-failure --timeout 600)

# Benchmarks are built (in Release) so that they keep compiling, but not run here.
cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DRIDGEFORGE_TESTS=OFF -DRIDGEFORGE_BENCH=ON -DRIDGEFORGE_WERROR=ON >/dev/null
cmake --build build/bench -j "$jobs" --target bench

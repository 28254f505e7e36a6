#!/usr/bin/env bash
# Takes the user manual's screenshots again (docs/manual/images/*.png): the
# main-road window test walks the program on a private Xvfb and writes the
# windows of its steps there. The build turns the manual into the PDF from
# the committed images, so run this only when the program's look changed.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DRIDGEFORGE_SANITIZE=ON -DRIDGEFORGE_TESTS=ON -DRIDGEFORGE_BENCH=OFF -DRIDGEFORGE_WERROR=ON >/dev/null
cmake --build build/test --target program_MainRoad_test

# A display of one's own may be given (RIDGEFORGE_DISPLAY=76); a server
# already running there is used as it is.
display_number=${RIDGEFORGE_DISPLAY:-}
if [ -z "$display_number" ]; then
  display_number=$((90 + RANDOM % 400))
  while [ -e "/tmp/.X${display_number}-lock" ]; do display_number=$((display_number + 1)); done
fi
if [ ! -e "/tmp/.X11-unix/X${display_number}" ]; then
  Xvfb ":${display_number}" -screen 0 1280x800x24 -dpi 96 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  trap 'kill "$xvfb_pid" 2>/dev/null || true' EXIT
fi
export DISPLAY=":${display_number}"
export LIBGL_ALWAYS_SOFTWARE=1
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${display_number}" ] && break; sleep 0.1; done

# See scripts/test.sh: the leak check at exit must not read dynamic TLS.
export ASAN_OPTIONS=intercept_tls_get_addr=0
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp"
images="$PWD/docs/manual/images"
mkdir -p "$images"
RIDGEFORGE_MANUAL_IMAGES="$images" RIDGEFORGE_TEST_TMP="$PWD/build/test/tests/tmp" \
  build/test/tests/program_MainRoad_test
echo "Screenshots written to $images"

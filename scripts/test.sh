#!/usr/bin/env bash
# Sets up the machine, builds, and runs the whole test suite; then the unit tests once more
# in an AddressSanitizer + UndefinedBehaviorSanitizer build.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

jobs=$(nproc)
bash scripts/build.sh build
(cd build && ctest --output-on-failure -j "$jobs")
# The README shows the windows of the user's day and the Wayland desktop; keep them current.
mkdir -p docs/screenshots
cp build/screenshots/{main,options,viewer}-window.png build/screenshots/wayland-desktop.png \
  docs/screenshots/

bash scripts/build.sh build-asan -DLUM_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
(cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
   ctest --output-on-failure -j "$jobs" -L unit)
bash scripts/fuzz.sh
echo "test: all passed"

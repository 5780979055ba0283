#!/usr/bin/env bash
# The mail list with 2,000 and 20,000 messages: build and refresh times, their ratio, and
# the memory of 20,000 records. Builds first when needed.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh build >/dev/null
QT_QPA_PLATFORM=offscreen build/tests/checker/list_bench

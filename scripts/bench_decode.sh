#!/usr/bin/env bash
# Times the decoders on hostile megabyte inputs (see tests/decode/bench/decode_bench.cpp).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh build >/dev/null
cmake --build build --target decode_bench >/dev/null
build/tests/decode/decode_bench

#!/usr/bin/env bash
# Sets up the machine, builds, and starts the checker.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh build
exec build/bin/lumwatchd

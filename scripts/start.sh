#!/usr/bin/env bash
# Sets up the machine, builds, and starts the checker: on the user's accounts when the
# settings store has some, otherwise on a private demo mailbox (scripts/demo.py; arguments
# go there, e.g. --port 22110 or --headless).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh build
exec python3 scripts/demo.py build/bin "$@"

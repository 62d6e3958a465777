#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the whole test suite through ctest.
# Usage: scripts/test.sh [ctest arguments...]   (PRESET=asan|tsan|ci picks another build)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
preset=${PRESET:-default}
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
ctest --preset "$preset" -j "$(nproc)" "$@"

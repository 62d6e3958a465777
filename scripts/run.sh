#!/usr/bin/env bash
# Installs what is missing, builds, and starts the application.
# Without options it runs against simulated devices on loopback only.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default
exec build/bin/tq50r-tool "${@:-response}"

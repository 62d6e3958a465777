#!/usr/bin/env bash
# Start-up of tq50r beside a bare window of the same size: each is started, painted once on the
# offscreen platform and ended, in turns, ROUNDS times; prints the medians of wall time and peak
# memory (RSS) of both and the ratios tq50r / bare window.
# Usage: bench/startup.sh [BUILD_DIR]   (default build; ROUNDS=N sets the count, default 41)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
rounds=${ROUNDS:-41}
cmake --build "$build" --target tq50r tq50r-bare-window tq50r-startup-bench >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A screen larger than the window, so that both windows open at their full 1070 x 768.
screen="$work/screen.json"
echo '{"screens":[{"name":"bench","x":0,"y":0,"width":1920,"height":1080,' \
  '"logicalDpi":96,"logicalBaseDpi":96,"dpr":1}]}' >"$screen"
export QT_QPA_PLATFORM="offscreen:configfile=$screen"
export LC_ALL=C.UTF-8
export XDG_RUNTIME_DIR="$work"

"$build/bin/tq50r-startup-bench" "$rounds" "$build/bin/tq50r-bare-window" -- \
  "$build/bin/tq50r" --loopback --quit-after-first-paint

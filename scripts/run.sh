#!/usr/bin/env bash
# Installs what is missing, builds, and starts the application.
# Without options it runs against simulated devices on loopback only.
# `scripts/run.sh --network [tq50r options]` starts it on the real network instead,
# without simulated devices.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default

# Simulated devices, when the simulator is built: two network devices and one
# USB device, all on loopback. They stop when the window closes.
sim_pid=""
sim_dir=""
stop_sim() {
  if [ -n "$sim_pid" ] && kill -0 "$sim_pid" 2>/dev/null; then
    kill "$sim_pid" 2>/dev/null || true
    # Give it a moment to go, then make sure (bounded wait).
    for _ in 1 2 3 4 5 6 7 8 9 10; do
      kill -0 "$sim_pid" 2>/dev/null || break
      sleep 0.2
    done
    kill -9 "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
  [ -z "$sim_dir" ] || rm -rf "$sim_dir"
}
trap stop_sim EXIT
trap 'exit 130' INT TERM

real_network=0
if [ "${1:-}" = "--network" ]; then
  real_network=1
  shift
fi

app_args=(--loopback)
[ "$real_network" -eq 0 ] || app_args=()
if [ "$real_network" -eq 0 ] && [ -x build/bin/tq50r-sim ]; then
  # The simulated USB device is a pseudo-terminal; a link with a fixed name
  # tells the application where to look for it.
  # Its standard output goes to a file: it lists the devices and then says "ready" once they all
  # listen.
  sim_dir=$(mktemp -d)
  sim_out="$sim_dir/sim.out"
  build/bin/tq50r-sim --devices 2 --serial 1 --serial-link "$sim_dir/ttySIM0" --no-stdin \
    </dev/null >"$sim_out" &
  sim_pid=$!
  app_args+=(--serial-port "$sim_dir/ttySIM0")
  # Waits at most 10 s (100 looks, 0.1 s apart) for "ready".
  sim_ready=0
  for _ in $(seq 100); do
    if grep -qx ready "$sim_out" 2>/dev/null; then
      sim_ready=1
      break
    fi
    kill -0 "$sim_pid" 2>/dev/null || break
    sleep 0.1
  done
  if [ "$sim_ready" -eq 1 ]; then
    sed '/^ready$/q' "$sim_out"
  elif kill -0 "$sim_pid" 2>/dev/null; then
    echo "run.sh: the simulator did not say it was ready within 10 s; starting anyway" >&2
  else
    echo "run.sh: the simulator did not start; going on without it" >&2
    sim_pid=""
  fi
fi

status=0
build/bin/tq50r ${app_args[@]+"${app_args[@]}"} "$@" || status=$?
exit "$status"

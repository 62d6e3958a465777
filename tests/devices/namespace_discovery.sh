#!/usr/bin/env bash
# Discovery on a real network stack: two network namespaces joined by a veth pair
# (198.18.0.1 for the application, 198.18.0.2 for a simulated device), real broadcast searches,
# real SSDP multicast and the kernel's ARP. The namespaces go away however the test ends.
# Usage: namespace_discovery.sh TOOL SIM
set -u
TOOL=$1
SIM=$2
SKIP=77

if [ "$(id -u)" != 0 ]; then
    echo "SKIP: creating network namespaces needs root"
    exit $SKIP
fi
if ! command -v ip >/dev/null || ! ip netns list >/dev/null 2>&1; then
    echo "SKIP: 'ip netns' is not available"
    exit $SKIP
fi

APP_NS="tq50r-app-$$"
DEV_NS="tq50r-dev-$$"
APP_IF="tqa$$"
DEV_IF="tqd$$"
APP_ADDR=198.18.0.1
DEV_ADDR=198.18.0.2
NOBODY_ADDR=198.18.0.3 # in the test range, on the veth, answered by nobody
WORK=$(mktemp -d)
SIM_PID=

cleanup() {
    if [ -n "$SIM_PID" ]; then
        kill "$SIM_PID" 2>/dev/null
        wait "$SIM_PID" 2>/dev/null
    fi
    ip netns del "$APP_NS" 2>/dev/null
    ip netns del "$DEV_NS" 2>/dev/null
    rm -rf "$WORK"
}
trap cleanup EXIT INT TERM

set -e
ip netns add "$APP_NS"
ip netns add "$DEV_NS"
ip link add "$APP_IF" type veth peer name "$DEV_IF"
ip link set "$APP_IF" netns "$APP_NS"
ip link set "$DEV_IF" netns "$DEV_NS"
for side in "$APP_NS:$APP_IF:$APP_ADDR" "$DEV_NS:$DEV_IF:$DEV_ADDR"; do
    IFS=: read -r ns dev addr <<<"$side"
    ip -n "$ns" link set lo up
    ip -n "$ns" addr add "$addr/24" dev "$dev"
    ip -n "$ns" link set "$dev" up
    # No default route: broadcast and multicast leave by the veth only.
    ip -n "$ns" route add 255.255.255.255/32 dev "$dev"
    ip -n "$ns" route add 224.0.0.0/4 dev "$dev"
done
DEV_MAC=$(ip netns exec "$DEV_NS" cat "/sys/class/net/$DEV_IF/address" | tr 'a-f' 'A-F')
set +e

failures=0
# check DISCOVERY SIM_TARGET KIND ROUTE: the device announces only to SIM_TARGET, so it is found
# through the path under test (a search answered, or a multicast announcement).
check() {
    local discovery=$1 target=$2 kind=$3 route=$4
    ip netns exec "$DEV_NS" "$SIM" --namespace-ok --address "$DEV_ADDR" --devices 1 \
        --tcp-port 0 --discovery "$discovery" --app-address "$target" --announce-ms 1000 \
        --no-stdin --max-runtime-s 30 >"$WORK/sim.out" 2>&1 &
    SIM_PID=$!
    for _ in $(seq 100); do
        grep -q '^ready' "$WORK/sim.out" && break
        sleep 0.1
    done
    local found
    found=$(ip netns exec "$APP_NS" timeout 60 "$TOOL" devices --seconds 5)
    kill "$SIM_PID" 2>/dev/null
    wait "$SIM_PID" 2>/dev/null
    SIM_PID=
    local expected="$DEV_ADDR ${DEV_MAC} $kind $route"
    if grep -qxF "$expected" <<<"$found"; then
        echo "ok: $route found: $expected"
    else
        echo "FAIL: $route: expected '$expected', the tool printed:"
        echo "$found"
        echo "simulator:"
        cat "$WORK/sim.out"
        failures=$((failures + 1))
    fi
}

check 8000 "$NOBODY_ADDR" network port8000
check ssdp 239.255.255.250 network ssdp
check module "$NOBODY_ADDR" module module

echo "$((3 - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]

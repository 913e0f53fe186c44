# Shared steps of the end-to-end scripts: a private X display, a tray host, a pseudo-terminal COM
# port, a seeded configuration store and the monitor itself. Every process started here is
# recorded and killed by its PID when the script ends.
set -euo pipefail

BUILD=${1:?build directory}
MONITOR=$BUILD/src/korvan-ups
SEED=$BUILD/tests/ups-seed-store
PTYHOLD=$BUILD/tests/ups-pty-hold
WORK=$(mktemp -d /tmp/korvan-e2e.XXXXXX)
export HOME=$WORK/home
export XDG_RUNTIME_DIR=$WORK/runtime
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
STORE=$HOME/.config/korvan-ups/registry.reg
COMDIR=/tmp/korvan-ups-com
PIDS=()

cleanup() {
    local pid
    for ((i = ${#PIDS[@]} - 1; i >= 0; i--)); do
        pid=${PIDS[i]}
        kill "$pid" 2>/dev/null || true
    done
    for pid in "${PIDS[@]}"; do wait "$pid" 2>/dev/null || true; done
    rm -rf "$WORK"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    [[ -n ${DISPLAY:-} ]] && import -window root "/tmp/korvan-e2e-failure.png" 2>/dev/null || true
    exit 1
}

# wait_until SECONDS COMMAND...: polls every 100 ms.
wait_until() {
    local limit=$1
    shift
    local deadline=$((SECONDS + limit))
    until "$@" >/dev/null 2>&1; do
        ((SECONDS < deadline)) || return 1
        sleep 0.1
    done
}

start_x() {
    local n
    for n in $(seq 90 140); do
        [[ -e /tmp/.X$n-lock || -e /tmp/.X11-unix/X$n ]] && continue
        Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >"$WORK/xvfb.log" 2>&1 &
        PIDS+=($!)
        export DISPLAY=":$n"
        wait_until 10 xdpyinfo || fail "Xvfb did not start"
        return 0
    done
    fail "no free display"
}

start_tray() {
    trayer --edge bottom --align right --widthtype pixel --width 100 --height 24 >"$WORK/trayer.log" 2>&1 &
    TRAY_PID=$!
    PIDS+=($TRAY_PID)
    wait_until 10 bash -c 'xwininfo -root -tree | grep -q "\"panel\" \"trayer\""' || fail "trayer did not start"
}

# start_pty N: COM N (1..4) opens as a pseudo-terminal.
start_pty() {
    mkdir -p "$COMDIR"
    "$PTYHOLD" "$COMDIR/COM$1" >"$WORK/pty$1.log" &
    PIDS+=($!)
    wait_until 5 test -L "$COMDIR/COM$1" || fail "pty for COM$1 not ready"
}

seed_store() { "$SEED" "$STORE" "$@" || fail "could not seed the store"; }

start_monitor() {
    "$MONITOR" >"$WORK/monitor.log" 2>&1 &
    MONITOR_PID=$!
    PIDS+=($MONITOR_PID)
}

main_window_visible() { xdotool search --onlyvisible --name '^Korvan Servicio UPS' | grep -q .; }

# The tray icon's window: the monitor's window embedded in the tray host, "+X+Y" absolute.
tray_icon_position() {
    xwininfo -root -tree | awk '/"korvan-ups"/ && $0 ~ / [0-9]+x[0-9]+\+/ {
        for (i = 1; i <= NF; i++) if ($i ~ /^[0-9]+x[0-9]+\+/) { split($i, g, /[x+]/); geo = g[1] }
        if (geo < 64) { print $NF; exit }
    }'
}

tray_icon_present() { [[ -n $(tray_icon_position) ]]; }

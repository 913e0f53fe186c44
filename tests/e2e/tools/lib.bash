# Shared steps of the end-to-end scripts: a private X display, a tray host, a pseudo-terminal COM
# port (those three in xsession.bash), a seeded configuration store and the monitor itself. Every
# process started here is recorded and killed by its PID when the script ends.
set -euo pipefail

BUILD=${1:?build directory}
MONITOR=$BUILD/src/korvan-ups
SEED=$BUILD/tests/ups-seed-store
WORK=$(mktemp -d /tmp/korvan-e2e.XXXXXX)
export HOME=$WORK/home
export XDG_RUNTIME_DIR=$WORK/runtime
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
STORE=$HOME/.config/korvan-ups/registry.reg
PIDS=()

cleanup() {
    end_processes "${PIDS[@]}"
    rm -rf "$WORK"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    [[ -n ${DISPLAY:-} ]] && import -window root "/tmp/korvan-e2e-failure.png" 2>/dev/null || true
    exit 1
}

remember_pid() { PIDS+=("$1"); }
PTYHOLD=$BUILD/tests/ups-pty-hold
SCRATCH=$WORK
DISPLAY_FIRST=90
source "$(dirname "${BASH_SOURCE[0]}")/xsession.bash"

seed_store() { "$SEED" "$STORE" "$@" || fail "could not seed the store"; }

start_monitor() {
    "$MONITOR" >"$WORK/monitor.log" 2>&1 &
    MONITOR_PID=$!
    PIDS+=($MONITOR_PID)
}

process_ended() { [[ $(ps -o stat= -p "$1" || true) != [^Z]* ]]; }  # gone, or a zombie

# The tray icon's window: the monitor's window embedded in the tray host, "+X+Y" absolute.
tray_icon_position() {
    xwininfo -root -tree | awk '/"korvan-ups"/ && $0 ~ / [0-9]+x[0-9]+\+/ {
        for (i = 1; i <= NF; i++) if ($i ~ /^[0-9]+x[0-9]+\+/) { split($i, g, /[x+]/); geo = g[1] }
        if (geo < 64) { print $NF; exit }
    }'
}

tray_icon_present() { [[ -n $(tray_icon_position) ]]; }

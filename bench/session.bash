# Shared steps of scripts/bench and scripts/soak (sourced): a private X display, a tray host, a
# pseudo-terminal COM port, a private network namespace for the SNMP ports, seeded configuration
# stores and per-process cost samples. Every process started here is recorded and ended by its
# PID when the calling script exits; nothing outside the script's own processes is touched.
# Needs: BUILD (a build folder with the tests' helpers, the simulator and the bench programs).

SESSION=$(mktemp -d /tmp/korvan-perf.XXXXXX)
export XDG_RUNTIME_DIR=$SESSION/runtime
mkdir -p "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
SESSION_PIDS=()
SESSION_LOCK_FD=

session_cleanup() {
    end_processes "${SESSION_PIDS[@]}"
    rm -rf "$SESSION"
}
trap session_cleanup EXIT

die() {
    echo "FAIL: $*" >&2
    exit 1
}

# Remembers a PID for the cleanup; disown_pid forgets one that has been ended and waited for,
# so that the cleanup never signals a number the system may have given to someone else since.
own() { SESSION_PIDS+=("$1"); }
disown_pid() {
    local kept=() p
    for p in "${SESSION_PIDS[@]}"; do [[ $p == "$1" ]] || kept+=("$p"); done
    SESSION_PIDS=("${kept[@]}")
}

remember_pid() { own "$1"; }
fail() { die "$@"; }
PTYHOLD=$BUILD/tests/ups-pty-hold
SCRATCH=$SESSION
DISPLAY_FIRST=150
source "$(dirname "${BASH_SOURCE[0]}")/../tests/e2e/tools/xsession.bash"

# Windows docked in the tray host (their owners' icons).
docked_count() {
    xwininfo -root -tree | awk '/"trayer"/ { in_tray = 1 } in_tray && / [0-9]+x[0-9]+\+/ { n++ } END { print n + 0 }'
}

# seed_store HOME-DIR [ups-seed-store options]: a configuration for a monitor whose HOME is there.
seed_store() {
    local home=$1
    shift
    mkdir -p "$home"
    "$BUILD/tests/ups-seed-store" "$home/.config/korvan-ups/registry.reg" "$@" ||
        die "could not seed the store"
}

# The SNMP ports 161 and 162 are machine-wide. Where the system allows it (root, unshare), the
# programs that use them run in a network namespace of this script's own, with only a loopback
# interface, so nothing else on the machine sees or disturbs them; otherwise they use the
# machine's loopback under the lock the SNMP end-to-end test takes. NET is the prefix for such
# programs.
NET=()
start_netns() {
    [[ -n ${NET_KIND:-} ]] && return 0  # already up
    if unshare -n true 2>/dev/null; then
        unshare -n sleep 7200 &
        local holder=$!
        own "$holder"
        wait_until 5 test -e "/proc/$holder/ns/net" || die "no network namespace"
        # The namespace of the sleep, not of the unshare still starting it.
        wait_until 5 bash -c "[[ \$(readlink /proc/$holder/ns/net) != \$(readlink /proc/$$/ns/net) ]]" ||
            die "the network namespace did not come up"
        NET=(nsenter "--net=/proc/$holder/ns/net" --)
        "${NET[@]}" ip link set lo up || die "no loopback in the namespace"
        NET_KIND="private network namespace (loopback only)"
    else
        exec {SESSION_LOCK_FD}>/tmp/korvan-e2e-snmp.lock
        flock -w 600 "$SESSION_LOCK_FD" || die "UDP 161/162 held by another run for 10 minutes"
        NET_KIND="machine loopback (under the SNMP test lock)"
    fi
}

# start_sim LOG [upssim options]: the simulator with commands from a FIFO on descriptor 3.
# SIM_FIFO is that FIFO (another writer may open it too).
start_sim() {
    local log=$1
    shift
    SIM_FIFO=$SESSION/upssim.in
    rm -f "$SIM_FIFO"
    mkfifo "$SIM_FIFO"
    "${NET[@]}" "$BUILD/tools/upssim/upssim" --listen 127.0.0.1:161 --traps 127.0.0.1:162 \
        --write-community privada "$@" <"$SIM_FIFO" >"$log" 2>&1 &
    SIM_PID=$!
    own "$SIM_PID"
    exec 3>"$SIM_FIFO"
    wait_until 10 grep -q "agent listening" "$log" || die "the simulator did not start: $(cat "$log")"
}
sim() { echo "$*" >&3; }
# stop_sim: ends the simulator started last (its input closed, then by its PID).
stop_sim() {
    exec 3>&-
    stop_own "$SIM_PID"
}
# stop_own PID: ends one of this script's processes and forgets it.
stop_own() {
    kill "$1" 2>/dev/null || true
    wait "$1" 2>/dev/null || true
    disown_pid "$1"
}
# ensure_x, ensure_pty N: the display, the pseudo-terminal of COM N, started once for all sections.
ensure_x() { [[ -n ${X_UP:-} ]] || { start_x && X_UP=1; }; }
declare -A PTY_UP=()
ensure_pty() { [[ -n ${PTY_UP[$1]:-} ]] || { start_pty "$1" && PTY_UP[$1]=1; }; }

# start_monitor HOME-DIR LOG [net]: the real monitor with that HOME; "net" runs it in the
# namespace of the SNMP ports.
start_monitor() {
    local home=$1 log=$2 prefix=()
    [[ ${3:-} == net ]] && prefix=("${NET[@]}")
    HOME=$home XDG_CONFIG_HOME=$home/.config "${prefix[@]}" "$BUILD/src/korvan-ups" >"$log" 2>&1 &
    MONITOR_PID=$!
    own "$MONITOR_PID"
}


# sample PID: "<cpu ns> <voluntary switches> <VmHWM kB> <VmRSS kB> <threads>" summed over the
# process's threads. schedstat's first field is the time on a CPU in ns, exact at loads where
# /proc/PID/stat's clock ticks read 0.
sample() {
    local pid=$1 cpu=0 vol=0 threads=0 t ns v
    for t in /proc/"$pid"/task/*; do
        read -r ns _ <"$t/schedstat" 2>/dev/null || continue
        v=$(awk '/^voluntary_ctxt_switches/ { print $2 }' "$t/status" 2>/dev/null) || continue
        cpu=$((cpu + ns))
        vol=$((vol + ${v:-0}))
        threads=$((threads + 1))
    done
    local hwm rss
    hwm=$(awk '/^VmHWM/ { print $2 }' /proc/"$pid"/status)
    rss=$(awk '/^VmRSS/ { print $2 }' /proc/"$pid"/status)
    echo "$cpu $vol $hwm $rss $threads"
}

# thread_sample PID: one line per thread, "<tid> <name> <voluntary switches> <cpu ns>".
thread_sample() {
    local t
    for t in /proc/"$1"/task/*; do
        printf '%s %s %s %s\n' "${t##*/}" "$(tr ' ' '_' <"$t/comm")" \
            "$(awk '/^voluntary_ctxt_switches/ { print $2 }' "$t/status")" "$(cut -d' ' -f1 "$t/schedstat")"
    done 2>/dev/null
}

# smaps_by_rss PID: the process's mappings, largest resident size first ("<Rss kB> <mapping>").
smaps_by_rss() {
    awk '/^[0-9a-f]+-[0-9a-f]+ / { name = ($6 == "" ? "[anon]" : $6) } /^Rss:/ { rss[name] += $2 }
        END { for (n in rss) if (rss[n] > 0) print rss[n], n }' "/proc/$1/smaps" | sort -rn
}

# own_pages_touched PID: the pages of the process's own memory marked accessed since its bits were
# cleared (1 written to /proc/PID/clear_refs): anonymous memory, heap, stacks and the program
# file's mappings. A shared library's pages are marked by whichever process touches them, so
# they are left out.
own_pages_touched() {
    local exe
    exe=$(readlink "/proc/$1/exe")
    awk -v exe="$exe" '/^[0-9a-f]+-[0-9a-f]+ / { own = ($6 == "" || $6 ~ /^\[(heap|stack)/ || $6 == exe) }
        /^Referenced:/ { if (own) kb += $2 } END { print kb / 4 }' "/proc/$1/smaps"
}

# machine_load: the one-minute load average and the busiest processes, for the record.
machine_load() { cut -d' ' -f1-3 /proc/loadavg; }

#!/usr/bin/env bash
# The real monitor under Xvfb in SNMP mode with trap monitoring, against the UPS simulator on
# 127.0.0.1:161 sending its traps to the monitor's 127.0.0.1:162: the monitor finds the agent and
# reads its identity; "mains off" brings the line-failure pop-up after the configured delay;
# "battery low" starts the critical countdown; "admin 5" and "admin cancel" bring the
# administrator's notices. The pop-up is recognised by its window title (the notice caption);
# screenshots of each step are kept in $BUILD/e2e-snmp/ for a look at the texts.
source "$(dirname "$0")/tools/lib.bash"

# UDP 161 and 162 are machine-wide: two runs of this test (from two build trees) take turns.
exec 9>/tmp/korvan-e2e-snmp.lock
flock -w 240 9 || fail "another run of the SNMP end-to-end test held the ports for 4 minutes"

SIM=$BUILD/tools/upssim/upssim
SHOTS=$BUILD/e2e-snmp
SIMLOG=$WORK/upssim.log
[[ -x $SIM ]] || fail "the simulator is not built: $SIM"
rm -rf "$SHOTS"
mkdir -p "$SHOTS"

shot() { import -window root "$SHOTS/$1.png" 2>/dev/null || true; }
sim_said() { grep -q -- "$1" "$SIMLOG"; }

# Commands reach the simulator through a FIFO held open on descriptor 3.
start_simulator() {
    mkfifo "$WORK/upssim.in"
    "$SIM" --listen 127.0.0.1:161 --traps 127.0.0.1:162 --write-community privada \
        --name "UPS Prueba E2E" --serial "E2E-SERIE" --model "Modelo E2E 900" \
        <"$WORK/upssim.in" >"$SIMLOG" 2>&1 &
    PIDS+=($!)
    exec 3>"$WORK/upssim.in"
    wait_until 10 sim_said "agent listening" || fail "the simulator did not start: $(cat "$SIMLOG")"
}
sim() { echo "$*" >&3; }

# Seconds (with tenths) from now until COMMAND... succeeds, at most LIMIT; empty on time-out.
time_until() {
    local limit=$1
    shift
    local start=$EPOCHREALTIME
    wait_until "$limit" "$@" || return 1
    awk -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.1f", b - a }'
}

start_x
start_simulator
# No tray host: the main window stays on the screen with the information lines.
seed_store --snmp 127.0.0.1 --trap --tmpfail 2 --tmplowb 12 --community privada
start_monitor

# Detection, status and identity reads, each visible in the simulator's log.
wait_until 20 sim_said "GETNEXT from 127.0.0.1:[0-9]* community \"ambito\" 1.3.6.1.4.1 -> 1.3.6.1.4.1.27431.1.1.1.1.0" ||
    fail "the monitor did not look for the agent"
wait_until 20 sim_said "GET .* 1.3.6.1.4.1.27431.1.1.2.4.0 -> UPS Prueba E2E" ||
    fail "the monitor did not read the identity"
wait_until 10 sim_said "community \"privada\" 1.3.6.1.4.1.27431.1.1.3.2.0 -> 1" ||
    fail "the monitor did not probe the write community"
wait_until 15 main_window_visible || fail "the main window is not shown"
sleep 1
shot 1-identity
echo "agent found, identity read (see $SHOTS/1-identity.png)"
popup_shown "Información" && fail "no pop-up expected before any event"

# Mains failure: the pop-up after CfgUps.tmpFail (2 s) of failure, caption left at "Información".
sim mains off
delay=$(time_until 10 popup_shown "Información") || fail "no line-failure pop-up after mains off"
shot 2-mains-off
awk -v d="$delay" 'BEGIN { exit !(d >= 1.0) }' || fail "line-failure pop-up too early (${delay} s)"
echo "mains off: line-failure pop-up after ${delay} s (tmpFail 2 s)"

# Battery low during the failure: the critical countdown (tmpLowB 12 s) announces itself under
# the caption "Batería Baja" from 10 s left.
sim battery low
delay=$(time_until 10 popup_shown "Batería Baja") || fail "no countdown pop-up after battery low"
shot 3-battery-low
echo "battery low: countdown pop-up after ${delay} s"

sim battery ok
sim mains on
sleep 4  # the last notice hides

# The administrator's switch-off: "La UPS se apagará en  5 minutos."
sim admin 5
delay=$(time_until 10 popup_shown "Aviso del administrador") ||
    fail "no administrator pop-up after admin 5"
shot 4-admin-5
echo "admin 5: administrator pop-up after ${delay} s"
wait_until 10 bash -c "! xdotool search --onlyvisible --name '^Aviso del administrador\$' | grep -q ." ||
    fail "the administrator pop-up did not hide"

# The cancel notice is shown under "Aviso del administrador", but the same tick's ordinary branch
# sets the pop-up's caption back to "Información".
sim admin cancel
delay=$(time_until 10 popup_shown "Información") ||
    fail "no pop-up after the switch-off was cancelled"
shot 5-admin-cancel
echo "admin cancel: 'Apagado de UPS suspendido' pop-up after ${delay} s"

kill -0 "$MONITOR_PID" 2>/dev/null || fail "the monitor ended"
grep -c "TRAP" "$SIMLOG" | xargs echo "traps sent by the simulator:"
echo "screenshots in $SHOTS"

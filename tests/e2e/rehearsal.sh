#!/usr/bin/env bash
# The outage rehearsal in the real monitor under Xvfb, with a fake logind on a private bus as the
# system bus and an X client window to be closed: the rehearsal's marked notices come up and it
# completes, and neither the logind nor the client got a request. Then a real critical state on
# the same rig powers off and closes the client, so the rig does see requests when they are made.
# With UPS_SHOTS=DIR the rehearsal's countdown notice is saved there as rehearsal-notice.png.
source "$(dirname "$0")/tools/lib.bash"
SHIM=$BUILD/tests/libups-modem-lines.so
PEER=$BUILD/tests/x11Peer
LOGIND=$BUILD/tests/fakeLogind
LOGIND_RECORD=$WORK/logind.record

start_x
start_pty 1
bus=$(dbus-daemon --session --print-address=1 --print-pid=1 --fork) || fail "no private bus"
remember_pid "$(sed -n 2p <<<"$bus")"
export DBUS_SYSTEM_BUS_ADDRESS=$(sed -n 1p <<<"$bus")
"$LOGIND" "$DBUS_SYSTEM_BUS_ADDRESS" "$LOGIND_RECORD" &
remember_pid $!

# start_peer: an X client with one titled window; PEER_LOG gets "delete <id>" if it is asked.
start_peer() {
    PEER_LOG=$WORK/peer-$1.log
    "$PEER" "titled:Documento de prueba" >"$PEER_LOG" &
    PEER_PID=$!
    remember_pid "$PEER_PID"
    wait_until 10 grep -q ready "$PEER_LOG" || fail "the X client did not come up"
}
monitor_with_lines() {
    LD_PRELOAD=$SHIM UPS_FAKE_MODEM_LINES=$1 "$MONITOR" >"$WORK/monitor-$1.log" 2>&1 &
    MONITOR_PID=$!
    remember_pid "$MONITOR_PID"
}

seed_store --com 0 --tmpfail 1 --tmpbat 10 --tmplowb 30 --shutdown
start_peer rehearsal
monitor_with_lines cts,dcd
wait_until 15 main_window_visible || fail "the window did not come up"
main=$(xdotool search --onlyvisible --name '^Korvan Servicio UPS' | head -1)
xdotool mousemove --window "$main" 60 60 click 3
sleep 1
xdotool key e
wait_until 10 popup_shown "Ensayo de corte" || fail "the menu entry did not open the rehearsal"
wait_until 10 popup_shown "ENSAYO - Información" || fail "no marked line-failure notice"
wait_until 30 popup_shown "ENSAYO - Batería Baja" || fail "no marked countdown notice"
if [[ -n ${UPS_SHOTS:-} ]]; then
    import -window "$(xdotool search --onlyvisible --name '^ENSAYO - Batería Baja$' | head -1)" \
        "$UPS_SHOTS/rehearsal-notice.png"
fi
wait_until 40 popup_shown "Ensayo de corte - completado" || fail "the rehearsal did not complete"
echo "rehearsal completed with marked notices"
[[ -s $LOGIND_RECORD ]] && fail "the rehearsal reached logind: $(cat "$LOGIND_RECORD")"
grep -q delete "$PEER_LOG" && fail "the rehearsal asked the X client to close"
kill -0 "$PEER_PID" && kill -0 "$MONITOR_PID" || fail "the X client or the monitor is gone"
echo "no power-off request, no close request"

kill "$MONITOR_PID"
wait "$MONITOR_PID" 2>/dev/null || true
kill "$PEER_PID"
seed_store --com 0 --tmpfail 1 --tmplowb 10 --shutdown
start_peer real
monitor_with_lines none
wait_until 30 grep -q "PowerOff false" "$LOGIND_RECORD" || fail "a real critical state did not power off"
wait_until 5 grep -q delete "$PEER_LOG" || fail "a real critical state did not close the X client"
echo "a real critical state powered off and closed the X client"

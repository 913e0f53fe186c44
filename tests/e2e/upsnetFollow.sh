#!/usr/bin/env bash
# The real monitor follows a UPS that upsd serves with the dummy-ups driver on loopback, with a
# fake logind on a private bus as the system bus. OL, then OB, then OB LB ends in the power-off;
# OL, then OB, then OL again ends in none. Skipped (77) only when Network UPS Tools is absent.
[[ -x /lib/nut/upsd && -x /lib/nut/dummy-ups ]] || { echo "no upsd/dummy-ups: skipped"; exit 77; }
source "$(dirname "$0")/tools/lib.bash"
LOGIND=$BUILD/tests/fakeLogind
LOGIND_RECORD=$WORK/logind.record
PEER_DIR=$WORK/upsd-peer

start_x
bus=$(dbus-daemon --session --print-address=1 --print-pid=1 --fork) || fail "no private bus"
remember_pid "$(sed -n 2p <<<"$bus")"
export DBUS_SYSTEM_BUS_ADDRESS=$(sed -n 1p <<<"$bus")
"$LOGIND" "$DBUS_SYSTEM_BUS_ADDRESS" "$LOGIND_RECORD" &
remember_pid $!

mkdir -p "$PEER_DIR"
python3 "$(dirname "$0")/../support/peers/upsdPeer.py" "$PEER_DIR" &
remember_pid $!
wait_until 10 test -s "$PEER_DIR/control" || fail "the upsd peer did not come up"
exec 3<>"/dev/tcp/127.0.0.1/$(cat "$PEER_DIR/control")"
# peer WORDS: one order to the peer; its answer must start with OK.
peer() {
    echo "$*" >&3
    read -r -t 30 PEER_ANSWER <&3 || fail "the upsd peer did not answer '$*'"
    [[ $PEER_ANSWER == OK* ]] || fail "the upsd peer answered '$PEER_ANSWER' to '$*'"
}
peer start OL
UPSD_PORT=${PEER_ANSWER#OK }

# follow_run: a monitor that follows the peer's UPS, ended by the caller.
follow_run() {
    seed_store --com 0 --tmpfail 1 --tmplowb 5 --shutdown \
        --follow 127.0.0.1 "$UPSD_PORT" sim follower followpw
    start_monitor
    wait_until 15 main_window_visible || fail "the window did not come up"
    sleep 3
    popup_shown "Información" && fail "OL must not announce a line failure"
    peer status OB
    wait_until 15 popup_shown "Información" || fail "OB did not announce the line failure"
}
powered_off() { grep -q "PowerOff" "$LOGIND_RECORD" 2>/dev/null; }

follow_run
peer status OB LB
wait_until 40 powered_off || fail "OB LB did not end in the power-off"
echo "OL, OB, OB LB: powered off ($(cat "$LOGIND_RECORD"))"
kill "$MONITOR_PID" 2>/dev/null || true
wait "$MONITOR_PID" 2>/dev/null || true
rm -f "$LOGIND_RECORD"

peer status OL
follow_run
peer status OL
sleep 12  # past the low-battery countdown the first run needed
powered_off && fail "a return to OL powered off: $(cat "$LOGIND_RECORD")"
kill -0 "$MONITOR_PID" || fail "the monitor ended after the return to OL"
echo "OL, OB, OL: no power-off"

#!/usr/bin/env bash
# The monitor's UPS network protocol server (run by ups-upsnet-serve, its state from our input)
# against Network UPS Tools' own programs on loopback: upsc lists and reads it, upscmd lists and
# runs the instant command, a lost link reads as stale data, and a follower upsmon of its own
# (its SHUTDOWNCMD only writes a marker) logs in and shuts down within 35 s on OB LB alone, and
# within 10 s once FSD is set, while the primary's wait sees it log out.
# UPSNET_SERVE runs another build of the server instead, e.g. the Windows one under Wine:
#   UPSNET_SERVE="wine build-win64/tests/win32/ups-upsnet-serve.exe" tests/e2e/upsnetServer.sh build
source "$(dirname "$0")/tools/lib.bash"

read -r -a SERVE <<<"${UPSNET_SERVE:-$BUILD/tests/ups-upsnet-serve}"
for tool in upsc upscmd /lib/nut/upsmon; do
    command -v "$tool" >/dev/null || { echo "SKIP: Network UPS Tools' $tool is not installed (nut-client)"; exit 77; }
done
[[ -n ${UPSNET_SERVE:-} || -x ${SERVE[0]} ]] || fail "not built: ${SERVE[0]}"

# upsmon drops to the user nut: its folder must be open to that group.
chgrp nut "$WORK" && chmod 750 "$WORK"
LOG=$WORK/serve.log
mkfifo "$WORK/serve.in"
"${SERVE[@]}" --port 0 --user admin:administrator:Adm1n-pass --user mon:follower:mon-pass \
    <"$WORK/serve.in" >"$LOG" 2>&1 &
PIDS+=($!)
exec 3>"$WORK/serve.in"
# The log without the CR a Windows build puts at each line's end.
said() { tr -d '\r' <"$LOG"; }
served() { said | grep -q -- "$1"; }
serve() { echo "$*" >&3; }
wait_until 10 served "^listening " || fail "the server did not start: $(cat "$LOG")"
PORT=$(said | sed -n 's/^listening 127.0.0.1:\([0-9]*\)$/\1/p' | head -n 1)
UPS=ups@127.0.0.1:$PORT
serve OL
serve commands on
wait_until 5 served "ok commands on" || fail "the server did not take the state: $(cat "$LOG")"

out=$(upsc "$UPS" 2>/dev/null) || fail "upsc could not read the server"
for line in "device.type: ups" "driver.name: korvan-ups-serial" "ups.status: OL"; do
    grep -qx "$line" <<<"$out" || fail "upsc did not show '$line': $out"
done
grep -q "battery.charge\|battery.runtime\|ups.load\|voltage" <<<"$out" && fail "invented readings: $out"
[[ $(upsc -l "127.0.0.1:$PORT" 2>/dev/null) == ups ]] || fail "upsc -l did not list the UPS"
upscmd -l "$UPS" 2>/dev/null | grep -q "^test.battery.start - " || fail "upscmd -l did not list the battery test"
[[ $(upscmd -u mon -p mon-pass "$UPS" test.battery.start 2>&1) == *ACCESS-DENIED* ]] ||
    fail "a follower ran the instant command"
upscmd -u admin -p Adm1n-pass "$UPS" test.battery.start 2>&1 | grep -q "^OK" || fail "upscmd was refused"
wait_until 5 served "^instcmd test.battery.start" || fail "the instant command did not reach the monitor"
serve "identity Korvan|Ups \"900\" \\ Serie|SN-42"
serve OB
wait_until 5 served "ok OB$" || fail "the server did not take the state"
[[ $(upsc "$UPS" ups.model 2>/dev/null) == 'Ups "900" \ Serie' ]] || fail "the model came back altered"
upscmd -l "$UPS" 2>/dev/null | grep -q "^beeper.mute - " || fail "upscmd -l did not list the alarm silence on battery"
upscmd -l "$UPS" 2>/dev/null | grep -q "test.battery.start" && fail "the battery test was offered on battery"
serve lost
wait_until 5 served "ok lost" || fail "the server did not take the state"
[[ $(upsc "$UPS" ups.status 2>&1) == *"Data stale"* ]] || fail "a lost link did not read as stale"
echo "upsc and upscmd: lists, reads, quoting, the one command, stale data"

# A follower upsmon in a private mount namespace (it always writes /run/nut/upsmon.pid).
MON=$WORK/mon
mkdir -p "$MON/run"
cat >"$MON/upsmon.conf" <<CONF
MONITOR $UPS 1 mon mon-pass secondary
MINSUPPLIES 1
SHUTDOWNCMD "/bin/sh -c 'date +%s.%N >> $MON/marker'"
POWERDOWNFLAG $MON/killpower
POLLFREQ 2
POLLFREQALERT 1
DEADTIME 6
FINALDELAY 2
CONF
chgrp -R nut "$MON" && chmod 640 "$MON/upsmon.conf" && chmod 770 "$MON" "$MON/run"
start_follower() {
    rm -f "$MON/marker" "$MON/killpower"
    unshare -m sh -c "mount --bind '$MON/run' /run/nut && NUT_CONFPATH='$MON' exec /lib/nut/upsmon -D" \
        >>"$MON/upsmon.log" 2>&1 &
    FOLLOWER=$!
    PIDS+=($FOLLOWER)
}
# After its SHUTDOWNCMD upsmon ends by itself; the next one may start only then.
follower_ended() {
    local pid
    pid=$(cat "$MON/run/upsmon.pid" 2>/dev/null) || return 0
    ! kill -0 "$FOLLOWER" 2>/dev/null && ! kill -0 "$pid" 2>/dev/null
}
logged_in() {
    serve logins
    sleep 0.2
    [[ $(said | grep "^logins " | tail -n 1) == "logins 1" ]]
}
marked() { [[ -s $MON/marker ]]; }
# Seconds from START (an $EPOCHREALTIME) to the marker's time.
since() { awk -v a="$1" -v b="$(head -n 1 "$MON/marker")" 'BEGIN { printf "%.1f", b - a }'; }

serve OL
start_follower
wait_until 30 logged_in || fail "the follower did not log in: $(tail -n 5 "$MON/upsmon.log")"
[[ $(upsc -c "$UPS" 2>/dev/null) == 127.0.0.1 ]] || fail "upsc -c did not list the follower"
start=$EPOCHREALTIME
serve OB LB
wait_until 40 marked || fail "the follower did not shut down on OB LB: $(tail -n 5 "$MON/upsmon.log")"
took=$(since "$start")
awk -v t="$took" 'BEGIN { exit !(t <= 35) }' || fail "the follower took ${took} s on OB LB"
echo "follower shut down ${took} s after OB LB (without FSD)"

wait_until 20 follower_ended || fail "the follower did not end: $(ps -o pid,user,args -p "$(cat "$MON/run/upsmon.pid")")"
wait "$FOLLOWER" 2>/dev/null || true
serve OL
start_follower
wait_until 30 logged_in || fail "the follower did not log in again: $(tail -n 5 "$MON/upsmon.log")"
start=$EPOCHREALTIME
serve handoff 15
wait_until 15 marked || fail "the follower did not shut down on FSD: $(tail -n 5 "$MON/upsmon.log")"
took=$(since "$start")
awk -v t="$took" 'BEGIN { exit !(t <= 10) }' || fail "the follower took ${took} s after FSD"
wait_until 20 served "^handoff 0 left" || fail "the primary's wait did not see the follower leave"
echo "follower shut down ${took} s after FSD; $(said | grep '^handoff')"
serve quit

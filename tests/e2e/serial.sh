#!/usr/bin/env bash
# The real monitor on a serial COM port: a pseudo-terminal whose modem lines come from the
# preloaded modem-lines library. With CTS and DCD up (mains present, battery normal) it stays
# quiet; with CTS down it announces the line failure in the pop-up; with both down it counts down
# on a low battery.
source "$(dirname "$0")/tools/lib.bash"
SHIM=$BUILD/tests/libups-modem-lines.so

start_x
start_pty 1
seed_store --com 0 --tmpfail 1

# monitor_with_lines LINES: the monitor with those modem lines on its pseudo-terminal.
monitor_with_lines() {
    LD_PRELOAD=$SHIM UPS_FAKE_MODEM_LINES=$1 "$MONITOR" >"$WORK/monitor-$1.log" 2>&1 &
    MONITOR_PID=$!
    PIDS+=($MONITOR_PID)
}
# Ended by SIGTERM, as the session's end or `kill` ends it: the monitor ends in order, with its
# end as the last event of its history.
HISTORY=$HOME/.local/share/korvan-ups/historial.db
last_event() { sqlite3 "file:$HISTORY?mode=ro" "select kind from events order by id desc limit 1"; }
stop_monitor() {
    kill -TERM "$MONITOR_PID"
    wait_until 15 process_ended "$MONITOR_PID" || fail "the monitor did not end on SIGTERM"
    local status=0
    wait "$MONITOR_PID" 2>/dev/null || status=$?
    ((status == 0)) || fail "SIGTERM ended the monitor with status $status instead of in order"
    [[ $(last_event) == monitor_ended ]] || fail "the history ends with '$(last_event)', not monitor_ended"
}
popup_gone() { ! popup_shown "Información" && ! popup_shown "Batería Baja"; }

monitor_with_lines cts,dcd
wait_until 15 main_window_visible || fail "the window did not come up"
sleep 4  # several ticks past the one-second line-failure delay
popup_shown "Información" && fail "mains present and battery normal must not raise the pop-up"
popup_shown "Batería Baja" && fail "a normal battery must not count down"
echo "CTS and DCD up: no notice"
stop_monitor
wait_until 10 popup_gone || fail "a pop-up outlived its monitor"

monitor_with_lines dcd
wait_until 15 popup_shown "Información" || fail "CTS down did not announce the line failure"
popup_shown "Batería Baja" && fail "a line failure alone must not count down"
echo "CTS down: line failure announced"
stop_monitor
wait_until 10 popup_gone || fail "a pop-up outlived its monitor"

monitor_with_lines none
wait_until 15 popup_shown "Batería Baja" || fail "CTS and DCD down did not count down on a low battery"
echo "CTS and DCD down: low-battery countdown"
stop_monitor
echo "SIGTERM: each run ended in order, its end written to the history"
